#include "core/utils.h"

#include <mutex>
#include <vector>

#include "platform/clipboard.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/text.h"

namespace {
std::mutex g_cmdMutex;
std::vector<std::u16string> g_args;
std::u16string g_exeOverride;

std::u16string TwoDigits(uint32_t v) {
  std::u16string s = platform::FormatIntW(v);
  return v < 10 ? u"0" + s : s;
}
}  // namespace

std::u16string ToWide(std::string_view text) { return platform::Utf8ToUtf16(text); }
std::string ToNarrow(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

bool EqualsNoCase(std::string_view a, std::string_view b) { return platform::EqualsNoCaseAscii(a, b); }
bool EqualsNoCaseW(std::u16string_view a, std::u16string_view b) { return platform::EqualsNoCaseAscii(a, b); }

std::u16string GetCurrentFolder() { return platform::PathFromNative(platform::CurrentDirectory()); }

void SetCommandLine(int argc, const char* const* argv) {
  std::lock_guard<std::mutex> lock(g_cmdMutex);
  g_args.clear();
  for (int i = 0; i < argc; ++i) g_args.push_back(platform::PathFromNative(argv[i] ? argv[i] : ""));
}

int GetCommandLineArgCount() {
  std::lock_guard<std::mutex> lock(g_cmdMutex);
  return static_cast<int>(g_args.size());
}

std::u16string GetCommandLineArg(int n) {
  std::lock_guard<std::mutex> lock(g_cmdMutex);
  if (n < 0 || n >= static_cast<int>(g_args.size())) return std::u16string();
  return g_args[static_cast<size_t>(n)];
}

std::u16string GetExeFolder() {
  {
    std::lock_guard<std::mutex> lock(g_cmdMutex);
    if (!g_exeOverride.empty()) return g_exeOverride;
  }
  return platform::PathFromNative(platform::ExecutableFolder());
}

void SetExeFolderOverride(std::u16string folder) {
  std::lock_guard<std::mutex> lock(g_cmdMutex);
  if (!folder.empty() && folder.back() != u'/') folder += u'/';
  g_exeOverride = std::move(folder);
}

void SplitPath(std::u16string_view path, std::u16string* folder, std::u16string* name) {
  std::u16string p = platform::ToSlashes(path);
  size_t slash = p.rfind(u'/');
  if (slash == std::u16string::npos) {
    if (folder) folder->clear();
    if (name) *name = p;
    return;
  }
  if (folder) *folder = p.substr(0, slash);
  if (name) *name = p.substr(slash + 1);
}

void SplitPathNarrow(std::string_view path, std::string* folder, std::string* name) {
  std::string p = platform::ToSlashes(path);
  size_t slash = p.rfind('/');
  if (slash == std::string::npos) {
    if (folder) folder->clear();
    if (name) *name = p;
    return;
  }
  if (folder) *folder = p.substr(0, slash);
  if (name) *name = p.substr(slash + 1);
}

bool FindFileOrBaseName(std::string& path) {
  if (platform::PathExists(path)) return true;
  std::string name;
  SplitPathNarrow(path, nullptr, &name);
  if (!name.empty() && platform::PathExists(name)) {
    path = name;
    return true;
  }
  return false;
}

std::u16string GetParentFolder(std::u16string_view input) {
  std::u16string path = platform::ToSlashes(input);
  size_t i = path.rfind(u'/');
  if (i == 0) return std::u16string();  // at the root
  std::u16string p = i == std::u16string::npos ? path : path.substr(0, i);
  if (p.size() == 2 && p[1] == u':') return std::u16string();  // a drive root such as "C:/"
  size_t j = p.rfind(u'/');
  return j == std::u16string::npos ? p : p.substr(j + 1);
}

namespace {
// Reads up to the delimiter (dropped); false at the end of the stream with nothing read.
bool ReadToChar(std::istream& in, char delimiter, std::string& out) {
  out.clear();
  char c;
  bool any = false;
  while (in.get(c)) {
    any = true;
    if (c == delimiter) return true;
    out.push_back(c);
  }
  return any;
}
}  // namespace

bool IsDeviceTag(std::istream& in) {
  std::string skipped, tag;
  ReadToChar(in, '<', skipped);
  ReadToChar(in, '>', tag);
  return tag == "DEVICE";
}

std::string ReadTagValue(std::istream& in) {
  std::string value, closing;
  ReadToChar(in, '<', value);
  ReadToChar(in, '>', closing);
  return value;
}

std::string ReadTag(std::istream& in) {
  std::string skipped, tag;
  ReadToChar(in, '<', skipped);
  ReadToChar(in, '>', tag);
  if (tag.compare(0, 3, "!--") != 0) return tag;
  if (tag.size() >= 2 && tag.compare(tag.size() - 2, 2, "--") == 0) return std::string();
  std::string piece = tag;
  for (;;) {
    if (!in.good() || in.peek() == std::char_traits<char>::eof()) return piece;
    ReadToChar(in, '>', piece);
    if (piece.size() >= 2 && piece.compare(piece.size() - 2, 2, "--") == 0) return std::string();
  }
}

Float3 ParseFloatList(int kind, std::u16string_view text) {
  Float3 r;
  if (text.empty()) return r;
  float v[3] = {0, 0, 0};
  size_t start = 0;
  for (int k = 0; k < 3 && start <= text.size(); ++k) {
    size_t comma = text.find(u',', start);
    std::u16string_view piece = text.substr(start, comma == std::u16string_view::npos ? std::u16string_view::npos : comma - start);
    v[k] = static_cast<float>(platform::StrToD(piece));
    if (comma == std::u16string_view::npos) break;
    start = comma + 1;
  }
  float factor = 1.0f;
  if (kind == 1 || kind == 3 || kind == 4 || kind == 5 || kind == 6) factor = 0.01f;
  else if (kind == 2) factor = 0.017453292f;
  r.x = v[0] * factor;
  r.y = v[1] * factor;
  r.z = v[2] * factor;
  return r;
}

bool MatchSuffixedNames(std::string_view a, std::string_view b) {
  const size_t i = a.rfind('_');
  const size_t j = b.rfind('_');
  if (i == 0 || j == 0) return false;
  std::string_view prefixA = i == std::string_view::npos ? a : a.substr(0, i);
  std::string_view prefixB = j == std::string_view::npos ? b : b.substr(0, j);
  if (!EqualsNoCase(prefixA, prefixB)) return false;
  std::string_view suffixA = i == std::string_view::npos ? a : a.substr(i + 1);
  std::string_view suffixB = j == std::string_view::npos ? b : b.substr(j + 1);
  return !EqualsNoCase(suffixA, suffixB);
}

float RandomRange(float a, float b) {
  const float lo = a < b ? a : b;
  const float hi = a < b ? b : a;
  const float r = static_cast<float>(platform::Rand()) / 32768.0f;
  return lo + r * (hi - lo);
}

std::string GetWrappedLine(std::string_view text, int width, int line) {
  if (width < 1 || line < 0) return std::string();
  const size_t w = static_cast<size_t>(width);
  size_t p = 0;
  int k = 0;
  while (p + w < text.size()) {
    std::string_view window = text.substr(p, w + 1);
    size_t s = window.rfind(' ');
    std::string_view piece;
    if (s == std::string_view::npos) {
      piece = text.substr(p, w);
      p += w;
    } else {
      piece = text.substr(p, s);
      p += s + 1;
    }
    if (k == line) return std::string(piece);
    ++k;
  }
  if (k == line) return std::string(text.substr(p));
  return std::string();
}

void SplitTimeMs(uint32_t ms, std::u16string* hours, std::u16string* minutes, std::u16string* seconds,
                 std::u16string* hundredths) {
  const uint32_t h = ms / 3600000u;
  const uint32_t m = (ms % 3600000u) / 60000u;
  const uint32_t s = (ms % 60000u) / 1000u;
  const uint32_t c = (ms - ((h * 60u + m) * 60u + s) * 1000u) / 10u;
  if (hours) *hours = platform::FormatIntW(h);
  if (minutes) *minutes = TwoDigits(m);
  if (seconds) *seconds = TwoDigits(s);
  if (hundredths) *hundredths = TwoDigits(c);
}

void FormatMinutesSeconds(float t, std::u16string* minutesText, std::u16string* secondsText) {
  if (!(t > 0)) t = 0;
  const double total = static_cast<double>(t);
  const long long minutes = static_cast<long long>(total / 60.0);
  const long long secs = static_cast<long long>(total - static_cast<double>(minutes) * 60.0);
  if (minutesText) *minutesText = platform::FormatIntW(minutes);
  if (secondsText) *secondsText = TwoDigits(static_cast<uint32_t>(secs));
}

std::u16string GetTimeStamp(bool withColons) {
  const platform::LocalDateTime t = platform::LocalNow();
  char buf[81];
  std::snprintf(buf, sizeof buf, withColons ? "%04d-%02d-%02d-%02d:%02d:%02d" : "%04d-%02d-%02d-%02d%02d%02d", t.year,
                t.month, t.day, t.hour, t.minute, t.second);
  return ToWide(buf);
}

std::u16string GroupDigits(int64_t value) {
  const bool negative = value < 0;
  std::u16string digits = platform::FormatIntW(negative ? -value : value);
  std::u16string out;
  const size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out.push_back(u',');
    out.push_back(digits[i]);
  }
  return negative ? u"-" + out : out;
}

namespace {
int WeekdayOf(int year, int month, int day) {
  // Sakamoto's method: 0 Sunday .. 6 Saturday.
  static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + t[month - 1] + day) % 7;
}

void EasterSunday(int y, int& month, int& day) {
  const int c = y / 100;
  const int n = y % 19;
  const int k = (c - 17) / 25;
  int i = c - c / 4 - (c - k) / 3 + 19 * n + 15;
  i = i % 30;
  i = i - (i / 28) * (1 - (i / 28) * (29 / (i + 1)) * ((21 - n) / 11));
  const int j = (y + y / 4 + i + 2 - c + c / 4) % 7;
  const int l = i - j;
  month = 3 + (l + 40) / 44;
  day = l + 28 - 31 * (month / 4);
}
}  // namespace

int HolidayIdOf(const platform::LocalDateTime& date) {
  const int d = date.day;
  const int m = date.month;
  if (m == 10 && d >= 29) return 1;
  if (m == 11 && d <= 2) return 1;
  if (m == 11 && d == 5) return 2;
  if (m == 11) {
    const int w = WeekdayOf(date.year, 11, 1);
    if (d == 22 + (11 - w) % 7) return 3;
  }
  if (m == 12 && d >= 18 && d <= 30) return 4;
  if (m == 12 && d == 31) return 5;
  if (m == 1 && d == 1) return 5;
  if (m == 4 && d == 1) return 6;
  if (m == 7 && d == 4) return 7;
  if (m == 3 || m == 4) {
    int em = 0, ed = 0;
    EasterSunday(date.year, em, ed);
    if (em == m && ed == d) return 8;
  }
  if (m == 2 && d == 14) return 9;
  return 0;
}

int GetHolidayId() { return HolidayIdOf(platform::LocalNow()); }

std::string GetClipboardText() { return platform::ClipboardGetText(); }
bool SetClipboardText(std::string_view text) { return platform::ClipboardSetText(text); }
