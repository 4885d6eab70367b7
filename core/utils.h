// Small free functions used all over the program: text conversion, paths, the
// command line, tag readers for narrow streams, formatting, dates, random numbers
// and the clipboard. Paths use '/'.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

#include "platform/clock.h"

// Narrow text is UTF-8: widening decodes it (a stray byte is taken as Latin-1),
// narrowing encodes UTF-8. ASCII is unchanged either way.
std::u16string ToWide(std::string_view text);
std::string ToNarrow(std::u16string_view text);

bool EqualsNoCase(std::string_view a, std::string_view b);
bool EqualsNoCaseW(std::u16string_view a, std::u16string_view b);

// The current folder, without a trailing '/'.
std::u16string GetCurrentFolder();

// The command line as the program received it; argument 0 is the program's path.
void SetCommandLine(int argc, const char* const* argv);
int GetCommandLineArgCount();
std::u16string GetCommandLineArg(int n);

// The folder of the running executable, ending in '/'.
std::u16string GetExeFolder();
// Tests run the program's file code in a folder of their own.
void SetExeFolderOverride(std::u16string folder);

// '\' becomes '/'; folder is everything before the last '/', name the rest.
void SplitPath(std::u16string_view path, std::u16string* folder, std::u16string* name);
void SplitPathNarrow(std::string_view path, std::string* folder, std::string* name);

// True when the path exists; otherwise, when its file-name part exists in the
// current folder, the path becomes that name and the result is true.
bool FindFileOrBaseName(std::string& path);

// The name of the folder that holds the path's last element: "/a/b/" and "/a/b/f.txt"
// both give "b"; a path at the root, or a drive root "C:/", gives an empty text.
std::u16string GetParentFolder(std::u16string_view path);

// Narrow tag readers of the device description files.
bool IsDeviceTag(std::istream& in);
std::string ReadTagValue(std::istream& in);
std::string ReadTag(std::istream& in);

struct Float3 {
  float x = 0, y = 0, z = 0;
};
// "x,y,z" of a theme document; kinds 1, 3, 4, 5, 6 are percent, 2 degrees, others as read.
Float3 ParseFloatList(int kind, std::u16string_view text);

// "hover_on" and "hover_off": same prefix before the last '_', different suffix.
bool MatchSuffixedNames(std::string_view a, std::string_view b);

// lo + rand()/32768 * (hi - lo).
float RandomRange(float a, float b);

// Line n of the text wrapped at w characters. A run without a blank longer than
// the width is broken hard at w characters.
std::string GetWrappedLine(std::string_view text, int width, int line);

void SplitTimeMs(uint32_t ms, std::u16string* hours, std::u16string* minutes, std::u16string* seconds,
                 std::u16string* hundredths);
void FormatMinutesSeconds(float seconds, std::u16string* minutesText, std::u16string* secondsText);

// Local time as "%Y-%m-%d-%H:%M:%S" (flag true) or "%Y-%m-%d-%H%M%S" (false).
std::u16string GetTimeStamp(bool withColons);

// 1234567 gives "1,234,567".
std::u16string GroupDigits(int64_t value);

// The holiday of today's local date: 0 none, 1 Halloween (29 Oct - 2 Nov), 2 5 Nov,
// 3 the fourth Thursday of November, 4 18-30 Dec, 5 New Year, 6 1 Apr, 7 4 Jul,
// 8 Easter Sunday, 9 14 Feb.
int GetHolidayId();
int HolidayIdOf(const platform::LocalDateTime& date);

// Clipboard text (UTF-8); empty when the clipboard holds none or there is none.
std::string GetClipboardText();
bool SetClipboardText(std::string_view text);
