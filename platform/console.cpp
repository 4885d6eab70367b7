#include "platform/console.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/text.h"

namespace platform {

namespace {
std::mutex g_consoleMutex;
}

void ConsoleWriteLine(std::string_view utf8) {
  std::lock_guard<std::mutex> lock(g_consoleMutex);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ConsoleWriteLine(std::u16string_view text) { ConsoleWriteLine(Utf16ToUtf8(text)); }

void DebugOutput(std::u16string_view text) {
  static const bool enabled = std::getenv("VELORIN_DEBUG_OUTPUT") != nullptr;
  if (!enabled) return;
  std::string s = Utf16ToUtf8(text);
  std::lock_guard<std::mutex> lock(g_consoleMutex);
  std::fwrite(s.data(), 1, s.size(), stderr);
}

}  // namespace platform
