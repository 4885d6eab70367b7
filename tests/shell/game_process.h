// Runs the built game as a separate process for the tests that check it whole.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace gametest {

// How long the game may take to end after SIGTERM. The bound catches a shutdown that
// hangs on a thread or a wait, not a slow one: a machine busy with other builds can
// take seconds to free the loaded pictures and models, and a sanitizer build runs many
// times slower still.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long long kShutdownBoundMs = 60000;
#else
constexpr long long kShutdownBoundMs = 10000;
#endif

// Starts the game headless (offscreen video, one render thread, no leak check of the
// OpenGL driver's allocations), standard output and error to /dev/null. It starts in
// `fromFolder` when that is not empty, and with the audio layer's silent device when
// `silentAudio` is set. -1 when it cannot be started.
pid_t StartGame(const std::string& exe, const std::string& fromFolder, bool silentAudio);

// Starts the game as on a machine with no display: DISPLAY, WAYLAND_DISPLAY and
// SDL_VIDEODRIVER unset, standard error to `stderrPath`. -1 when it cannot be started.
pid_t StartGameWithoutDisplay(const std::string& exe, const std::string& stderrPath);

// A copy of the built run folder under `into`, without a game log or settings file,
// so the game starts as on a first run. Empty when the game has not been built.
std::string CopyRunFolder(const std::string& into);

// The exit code, 128 + the signal for a killed process, or -1 after the time-out
// (the process is then killed). `elapsedMs` is how long it took.
int WaitForExit(pid_t pid, int timeoutMs, long long* elapsedMs);

// The lines of a UTF-16 log file without their time stamps.
std::vector<std::string> LogTexts(const std::string& path);

// The first line that begins with the prefix, or null.
const std::string* FindLine(const std::vector<std::string>& lines, const std::string& prefix);

// Polls the log until a line begins with the prefix. Loading every picture, model and
// sound takes long in a sanitizer build on a machine busy with other builds, so the
// wait is generous there: it bounds a start-up that hangs, not a slow one.
bool WaitForLogLine(const std::string& logPath, const std::string& prefix);

}  // namespace gametest
