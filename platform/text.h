// Text helpers of the platform layer: UTF-16 strings, UTF-8 at the boundary,
// number formatting in the classic locale, ASCII case folding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Decodes UTF-8. A byte that does not start a valid sequence is taken as Latin-1
// (0xE9 becomes U+00E9), so any byte string widens without loss of length.
std::u16string Utf8ToUtf16(std::string_view text);

// True when every byte belongs to a well-formed UTF-8 sequence (ASCII included).
bool IsValidUtf8(std::string_view text);

// Encodes UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Formats with C++ streams in the classic locale, default float form ("1.27").
std::string FormatNumber(double value);
std::string FormatNumber(float value);
std::u16string FormatNumberW(double value);
std::u16string FormatNumberW(float value);
std::u16string FormatIntW(long long value);

char ToLowerAscii(char c);
char16_t ToLowerAscii(char16_t c);
char ToUpperAscii(char c);
bool EqualsNoCaseAscii(std::string_view a, std::string_view b);
bool EqualsNoCaseAscii(std::u16string_view a, std::u16string_view b);
// <0, 0, >0 like the C runtime's case-insensitive compare (ASCII folding to lower case).
int CompareNoCaseAscii(std::string_view a, std::string_view b);
std::string ToLowerAscii(std::string_view s);

// The C runtime's atoi as MSVC has it: leading white space, optional sign, decimal
// digits up to the first other character, no digits gives 0, overflow clamps.
int32_t AtoI(std::string_view text);
int32_t AtoI(std::u16string_view text);

// strtod in the classic locale; a text that is not a number gives 0.
double StrToD(std::string_view text);
double StrToD(std::u16string_view text);

bool StartsWith(std::u16string_view text, std::u16string_view prefix);
bool EndsWith(std::u16string_view text, std::u16string_view suffix);

}  // namespace platform
