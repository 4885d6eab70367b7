#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <locale>
#include <sstream>

namespace platform {

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    int len = 0;
    uint32_t cp = 0;
    uint32_t minimum = 0;
    if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; minimum = 0x80; }
    else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; minimum = 0x800; }
    else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; minimum = 0x10000; }
    bool ok = len > 0 && i + len <= n;
    for (int k = 1; ok && k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (cc & 0x3F);
    }
    if (ok && (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (!ok) {
      out.push_back(c);  // Latin-1 fall-back for a stray byte
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

bool IsValidUtf8(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return Utf16ToUtf8(Utf8ToUtf16(s)) == s;
  return true;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

namespace {
template <typename T>
std::string FormatWithStream(T value) {
  std::ostringstream os;
  os.imbue(std::locale::classic());
  os << value;
  return os.str();
}
std::u16string WidenAscii(const std::string& s) { return std::u16string(s.begin(), s.end()); }
}  // namespace

std::string FormatNumber(double value) { return FormatWithStream(value); }
std::string FormatNumber(float value) { return FormatWithStream(value); }
std::u16string FormatNumberW(double value) { return WidenAscii(FormatWithStream(value)); }
std::u16string FormatNumberW(float value) { return WidenAscii(FormatWithStream(value)); }
std::u16string FormatIntW(long long value) { return WidenAscii(std::to_string(value)); }

char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char16_t ToLowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }
char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
  return true;
}

bool EqualsNoCaseAscii(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
  return true;
}

int CompareNoCaseAscii(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const int ca = static_cast<unsigned char>(ToLowerAscii(a[i]));
    const int cb = static_cast<unsigned char>(ToLowerAscii(b[i]));
    if (ca != cb) return ca - cb;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ToLowerAscii(c);
  return out;
}

namespace {
template <typename Ch>
int32_t AtoIImpl(std::basic_string_view<Ch> t) {
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || (t[i] >= 9 && t[i] <= 13))) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  }
  long long v = 0;
  bool overflow = false;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
    if (!overflow) {
      v = v * 10 + (t[i] - '0');
      if (v > 2147483648LL) overflow = true;
    }
    ++i;
  }
  if (negative) v = -v;
  if (overflow || v > INT32_MAX) return negative ? INT32_MIN : INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}
}  // namespace

int32_t AtoI(std::string_view text) { return AtoIImpl<char>(text); }
int32_t AtoI(std::u16string_view text) { return AtoIImpl<char16_t>(text); }

double StrToD(std::string_view text) {
  std::string s(text);
  // strtod semantics: leading blanks, then the longest number prefix.
  const char* begin = s.c_str();
  while (*begin == ' ' || (*begin >= 9 && *begin <= 13)) ++begin;
  char* end = nullptr;
  // strtod uses LC_NUMERIC; the program never changes it from "C".
  double v = std::strtod(begin, &end);
  if (end == begin) return 0.0;
  return v;
}

double StrToD(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (char16_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return StrToD(std::string_view(narrow));
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}
bool EndsWith(std::u16string_view text, std::u16string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace platform
