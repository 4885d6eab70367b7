#include "core/log.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "core/utils.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace {

std::mutex g_logMutex;
std::u16string g_logFolder;  // empty: the program folder
std::atomic<bool> g_echo{true};
thread_local std::vector<DeferredLogLine>* t_deferred = nullptr;

const char16_t* FileNameOfMode(int32_t mode) {
  return (mode == 2 || mode == 3) ? u"server_log.txt" : u"game_log.txt";
}

std::u16string LogPath(int32_t mode) {
  std::u16string folder = GetLogFolder();
  if (!folder.empty() && folder.back() != u'/') folder += u'/';
  return folder + FileNameOfMode(mode);
}

void StartAfresh(int32_t mode) {
  std::lock_guard<std::mutex> lock(g_logMutex);
  FILE* f = platform::OpenFile(LogPath(mode), "wb");
  if (!f) return;
  static const unsigned char bom[2] = {0xFF, 0xFE};
  std::fwrite(bom, 1, 2, f);
  std::fclose(f);
}

bool Append(int32_t mode, const std::u16string& text) {
  platform::DebugOutput(text + u"\r\n");
  std::lock_guard<std::mutex> lock(g_logMutex);
  const std::time_t now = platform::CalendarTime();
  FILE* f = platform::OpenFile(LogPath(mode), "ab");
  if (!f) return false;
  const platform::LocalDateTime t = platform::ToLocal(now);
  std::u16string line = FormatCtime(t.year, t.month, t.day, t.hour, t.minute, t.second, t.weekday);
  line += u" - ";
  line += text;
  line += u"\r\n";
  const std::string bytes = platform::EncodeUtf16LE(line);
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

struct ErrorText {
  uint32_t code;
  const char* name;
  const char* description;
};

// The failure codes the platform layer reports, with their names and descriptions.
const ErrorText kErrorTexts[] = {
    {0x80004001u, "E_NOTIMPL", "Not implemented"},
    {0x80004002u, "E_NOINTERFACE", "No such interface supported"},
    {0x80004003u, "E_POINTER", "Invalid pointer"},
    {0x80004004u, "E_ABORT", "Operation aborted"},
    {0x80004005u, "E_FAIL", "Unspecified error"},
    {0x8000FFFFu, "E_UNEXPECTED", "Catastrophic failure"},
    {0x80070005u, "E_ACCESSDENIED", "General access denied error"},
    {0x8007000Eu, "E_OUTOFMEMORY", "Ran out of memory"},
    {0x80070057u, "E_INVALIDARG", "One or more arguments are invalid"},
    {0x8876017Cu, "D3DERR_OUTOFVIDEOMEMORY", "Out of video memory"},
    {0x88760868u, "D3DERR_DEVICELOST", "Device lost"},
    {0x88760869u, "D3DERR_DEVICENOTRESET", "Device not reset"},
    {0x8876086Au, "D3DERR_NOTAVAILABLE", "Not available"},
    {0x8876086Cu, "D3DERR_INVALIDCALL", "Invalid call"},
    {0x88760B59u, "D3DXERR_INVALIDDATA", "Invalid data"},
};

}  // namespace

void SetLogFolder(std::u16string folder) {
  std::lock_guard<std::mutex> lock(g_logMutex);
  g_logFolder = std::move(folder);
}

std::u16string GetLogFolder() {
  // Read without the lock only by the log calls, which already hold it.
  return g_logFolder.empty() ? GetExeFolder() : g_logFolder;
}

std::u16string FormatCtime(int year, int month, int day, int hour, int minute, int second, int weekday) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s %s %02d %02d:%02d:%02d %04d", kDays[((weekday % 7) + 7) % 7],
                kMonths[((month - 1) % 12 + 12) % 12], day, hour, minute, second, year);
  return ToWide(buf);
}

void SetLogEcho(bool on) { g_echo.store(on); }

std::vector<DeferredLogLine>* SetThreadLogBuffer(std::vector<DeferredLogLine>* buffer) {
  std::vector<DeferredLogLine>* previous = t_deferred;
  t_deferred = buffer;
  return previous;
}

void ReplayLogLines(const std::vector<DeferredLogLine>& lines) {
  for (const DeferredLogLine& line : lines) {
    if (line.narrow) LogEx(line.mode, line.narrowText);
    else Log(line.mode, line.text);
  }
}

bool Log(int32_t mode, std::u16string text) {
  if (t_deferred) {
    t_deferred->push_back(DeferredLogLine{mode, false, std::move(text), {}});
    return true;
  }
  if (g_echo.load()) platform::ConsoleWriteLine(text);
  if (mode == 0) return Append(0, text);
  if (mode == 1) StartAfresh(1);
  return false;
}

bool LogEx(int32_t mode, std::string text) {
  if (t_deferred) {
    t_deferred->push_back(DeferredLogLine{mode, true, {}, std::move(text)});
    return true;
  }
  if (g_echo.load()) platform::ConsoleWriteLine(text);
  switch (mode) {
    case 0:
    case 2:
      return Append(mode, ToWide(text));
    case 1:
    case 3:
      StartAfresh(mode);
      return false;
    default:
      return false;
  }
}

bool LogNarrow(std::string text) { return LogEx(0, std::move(text)); }

namespace {
// What the file layer refuses or sets aside goes to the game log, from the moment
// the log is linked in.
[[maybe_unused]] const bool g_fileNoticesLogged = [] {
  platform::SetFileNoticeSink([](const std::string& line) { LogNarrow(line); });
  return true;
}();
}  // namespace

void LogDirectXError(int32_t result) {
  if (result >= 0) return;
  const uint32_t code = static_cast<uint32_t>(result);
  std::string name, description;
  for (const ErrorText& e : kErrorTexts) {
    if (e.code == code) {
      name = e.name;
      description = e.description;
    }
  }
  if (name.empty()) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%08X", code);
    name = buf;
    description = "Unknown error";
  }
  LogEx(0, "DirectX Reported Error: " + name + " - " + description);
}
