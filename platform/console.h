// Console and debugger output. Standard output is written as UTF-8 through one
// narrow path (mixing wide and narrow output on one stream loses text).
#pragma once

#include <string_view>

namespace platform {

// Writes the text and a newline to standard output.
void ConsoleWriteLine(std::string_view utf8);
void ConsoleWriteLine(std::u16string_view text);

// The debugger channel: written to standard error when VELORIN_DEBUG_OUTPUT is set.
void DebugOutput(std::u16string_view text);

}  // namespace platform
