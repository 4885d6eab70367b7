#include "devices/input/text_field.h"

#include "core/utils.h"
#include "platform/input/keys.h"

TextField g_TextField;

namespace TextEntry {
void Reset() { g_TextField.Reset(); }
void Clear() { g_TextField.Clear(); }
void OnKey(uint32_t vk) { g_TextField.OnKey(vk); }
}  // namespace TextEntry

namespace {

constexpr char32_t kPound = 0xA3;
constexpr std::u32string_view kSymbols = U"!\"\u00A3$%^&*();:=+,<-_>/?'@[{\\|]}#~";

// Decodes one character at i (moving i past it); a byte that does not start a valid
// sequence is taken as Latin-1.
char32_t NextChar(std::string_view s, size_t& i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  auto cont = [&](size_t k) { return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80; };
  if (c < 0x80) {
    ++i;
    return c;
  }
  if ((c & 0xE0) == 0xC0 && c >= 0xC2 && cont(1)) {
    char32_t v = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
    i += 2;
    return v;
  }
  if ((c & 0xF0) == 0xE0 && cont(1) && cont(2)) {
    char32_t v = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
    i += 3;
    return v;
  }
  if ((c & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
    char32_t v = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6) | (static_cast<unsigned char>(s[i + 3]) & 0x3Fu);
    i += 4;
    return v;
  }
  ++i;
  return c;
}

void PushUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void PopChar(std::string& s) {
  if (s.empty()) return;
  size_t i = 0, last = 0;
  while (i < s.size()) {
    last = i;
    NextChar(s, i);
  }
  s.erase(last);
}

}  // namespace

size_t Utf8Length(std::string_view text) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++n) NextChar(text, i);
  return n;
}

void TextField::Reset() {
  saved.clear();
  Clear();
}

void TextField::Clear() {
  active = 0;
  target = nullptr;
  maxLength = 12;
  allowPeriod = allowSymbols = digitsOnly = noSpaces = 0;
  done = 0;
  cancelled = 0;
}

bool TextField::Bind(std::string* t) {
  target = t;
  if (t != &saved) saved = t ? *t : std::string();
  active = 1;
  done = 0;
  return true;
}

bool TextField::Room() const {
  return maxLength > 0 && Utf8Length(*target) < static_cast<size_t>(maxLength);
}

void TextField::Append(char32_t c) { PushUtf8(*target, c); }

bool TextField::Accepts(char32_t c) const {
  if (c >= '0' && c <= '9') return true;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return !digitsOnly;
  if (c == ' ') return !noSpaces;
  if (c == '.') return allowPeriod != 0;
  return allowSymbols && kSymbols.find(c) != std::u32string_view::npos;
}

void TextField::Paste() {
  // Pasted text obeys the same rules as typed text: what the field would refuse from
  // the keyboard (control characters such as CR and LF among them) is left out, and
  // nothing goes past the maximum length.
  const std::string clip = GetClipboardText();
  for (size_t i = 0; i < clip.size() && Room();) {
    const char32_t c = NextChar(clip, i);
    if (Accepts(c)) Append(c);
  }
}

void TextField::OnKey(uint32_t vk) {
  if (!active || !target) return;
  using platform::input::AsyncKeyDown;
  const bool upper = AsyncKeyDown(platform::input::kVkLShift) || AsyncKeyDown(platform::input::kVkRShift);
  const bool control = AsyncKeyDown(platform::input::kVkLControl) || AsyncKeyDown(platform::input::kVkRControl);
  if (control && vk == 'V') {
    Paste();
    return;
  }
  if (control && vk == 'C') {
    SetClipboardText(*target);
    return;
  }
  if (vk >= '0' && vk <= '9') {
    if (!upper) {
      if (Room()) Append(vk);
    } else if (allowSymbols && Room()) {
      static constexpr char32_t kShifted[10] = {')', '!', '"', kPound, '$', '%', '^', '&', '*', '('};
      Append(kShifted[vk - '0']);
    }
    return;
  }
  if (vk >= 'A' && vk <= 'Z') {
    if (!digitsOnly && Room()) Append(upper ? vk : vk + ('a' - 'A'));
    return;
  }
  auto symbol = [&](char32_t plain, char32_t shifted) {
    if (allowSymbols && Room()) Append(upper ? shifted : plain);
  };
  switch (vk) {
    case 0x08:
    case 0x2E:
      PopChar(*target);
      break;
    case 0x0D:
      Clear();
      done = 1;
      cancelled = 0;
      break;
    case 0x1B:
      if (target != &saved) *target = saved;
      Clear();
      done = 1;
      cancelled = 1;
      break;
    case 0x20:
      if (!noSpaces && Room()) Append(' ');
      break;
    case 0x6A: if (allowSymbols && Room()) Append('*'); break;
    case 0x6B: if (allowSymbols && Room()) Append('+'); break;
    case 0x6D: if (allowSymbols && Room()) Append('-'); break;
    case 0x6F: if (allowSymbols && Room()) Append('/'); break;
    case 0x6E: if (allowPeriod && Room()) Append('.'); break;
    case 0xBA: symbol(';', ':'); break;
    case 0xBB: symbol('=', '+'); break;
    case 0xBC: symbol(',', '<'); break;
    case 0xBD: symbol('-', '_'); break;
    case 0xBE:
      if (Room()) {
        if (!upper && allowPeriod) Append('.');
        else if (upper && allowSymbols) Append('>');
      }
      break;
    case 0xBF: symbol('/', '?'); break;
    case 0xC0: symbol('\'', '@'); break;
    case 0xDB: symbol('[', '{'); break;
    case 0xDC: symbol('\\', '|'); break;
    case 0xDD: symbol(']', '}'); break;
    case 0xDE: symbol('#', '~'); break;
    default:
      if (vk >= 0x60 && vk <= 0x69 && Room()) Append(U'0' + (vk - 0x60));
      break;
  }
}
