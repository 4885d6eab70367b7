// Value readers of theme documents, free of the C locale.
#include "theme/theme_values.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/utils.h"

namespace theme {

namespace {

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Leading white space as the number readers skip it.
size_t SkipSpace(std::u16string_view v) {
  size_t i = 0;
  while (i < v.size() && (v[i] == u' ' || v[i] == u'\t' || v[i] == u'\r' || v[i] == u'\n')) ++i;
  return i;
}

}  // namespace

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool SameName(std::string_view a, std::u16string_view b) {
  // Screens look elements up by name every frame, so a mismatch ends at the first
  // differing character. An ASCII prefix widens to itself, so a difference within it
  // is a difference after widening too.
  for (size_t i = 0; i < a.size(); ++i) {
    const auto byte = static_cast<unsigned char>(a[i]);
    // Narrow names are UTF-8: anything beyond ASCII is compared after widening.
    if (byte >= 0x80) return SameName(std::u16string_view(ToWide(a)), b);
    if (i >= b.size() || FoldAscii(static_cast<char16_t>(byte)) != FoldAscii(b[i])) return false;
  }
  return a.size() == b.size();
}

bool ParseBool(std::u16string_view value) { return SameName(u"true", value) || SameName(u"yes", value); }

int32_t ParseInt(std::u16string_view value) {
  size_t i = SkipSpace(value);
  bool negative = false;
  if (i < value.size() && (value[i] == u'-' || value[i] == u'+')) negative = value[i++] == u'-';
  int64_t n = 0;
  for (; i < value.size() && IsDigit(value[i]); ++i) {
    n = n * 10 + (value[i] - u'0');
    if (n > INT32_MAX) n = int64_t(INT32_MAX) + 1;  // saturate; the sign decides below
  }
  if (negative) n = -n;
  if (n > INT32_MAX) return INT32_MAX;
  if (n < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(n);
}

float ParseFloat(std::u16string_view value) {
  size_t i = SkipSpace(value);
  bool negative = false;
  if (i < value.size() && (value[i] == u'-' || value[i] == u'+')) negative = value[i++] == u'-';
  double mantissa = 0.0;
  bool digits = false;
  for (; i < value.size() && IsDigit(value[i]); ++i) {
    mantissa = mantissa * 10.0 + (value[i] - u'0');
    digits = true;
  }
  if (i < value.size() && value[i] == u'.') {
    ++i;
    double scale = 0.1;
    for (; i < value.size() && IsDigit(value[i]); ++i) {
      mantissa += (value[i] - u'0') * scale;
      scale *= 0.1;
      digits = true;
    }
  }
  if (!digits) return 0.0f;
  if (i < value.size() && (value[i] == u'e' || value[i] == u'E')) {
    size_t j = i + 1;
    bool expNegative = false;
    if (j < value.size() && (value[j] == u'-' || value[j] == u'+')) expNegative = value[j++] == u'-';
    if (j < value.size() && IsDigit(value[j])) {
      int exponent = 0;
      for (; j < value.size() && IsDigit(value[j]); ++j) exponent = std::min(exponent * 10 + (value[j] - u'0'), 400);
      mantissa *= std::pow(10.0, expNegative ? -exponent : exponent);
    }
  }
  double result = negative ? -mantissa : mantissa;
  if (std::isnan(result)) return 0.0f;  // a run of digits too long for a double, scaled down again
  // Out-of-range numbers become the largest float of their sign, never inf.
  if (result > 3.0e38) result = 3.0e38;
  if (result < -3.0e38) result = -3.0e38;
  return static_cast<float>(result);
}

glm::vec3 ParseVector(std::u16string_view value, ValueUnit unit) {
  glm::vec3 v(0.0f);
  size_t start = 0;
  for (int k = 0; k < 3 && !value.empty(); ++k) {
    const size_t comma = value.find(u',', start);
    v[k] = ParseFloat(value.substr(start, comma == std::u16string_view::npos ? std::u16string_view::npos : comma - start));
    if (comma == std::u16string_view::npos) break;
    start = comma + 1;
  }
  if (unit == ValueUnit::kPercent) return v * 0.01f;
  if (unit == ValueUnit::kDegrees) return v * kDegreesToRadians;
  return v;
}

float ParsePercent(std::u16string_view value) { return ParseFloat(value) / 100.0f; }

std::u16string JoinThemePath(std::u16string_view folder, std::u16string_view path) {
  std::u16string out(folder);
  out += path;
  for (char16_t& c : out) {
    if (c == u'\\') c = u'/';
  }
  return out;
}

int LanguageSlot(int32_t languageIndex) {
  return (languageIndex >= 0 && languageIndex < kThemeLanguages) ? languageIndex : 0;
}

}  // namespace theme
