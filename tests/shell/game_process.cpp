#include "tests/shell/game_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/file.h"
#include "platform/text.h"

extern char** environ;

namespace gametest {

pid_t StartGame(const std::string& exe, const std::string& fromFolder, bool silentAudio) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!fromFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, fromFolder.c_str());
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string path = exe;
  char* argv[] = {path.data(), nullptr};
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  // Mesa's software rasterizer runs its own worker threads, which ThreadSanitizer
  // cannot see into; one thread renders just as well for these tests.
  setenv("LP_NUM_THREADS", "0", 1);
  // The OpenGL driver keeps allocations until it is unloaded, after which the leak
  // checker of a sanitizer build cannot tell them from the game's; the in-process
  // tests check the shell's own allocations.
  setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
  if (silentAudio) setenv("VELORIN_AUDIO", "null", 1);
  pid_t pid = -1;
  if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (silentAudio) unsetenv("VELORIN_AUDIO");
  return pid;
}

pid_t StartGameWithoutDisplay(const std::string& exe, const std::string& stderrPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "SDL_VIDEODRIVER" || name == "ASAN_OPTIONS") continue;
    env.push_back(entry);
  }
  env.push_back("ASAN_OPTIONS=detect_leaks=0");
  env.push_back("VELORIN_AUDIO=null");
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string path = exe;
  char* argv[] = {path.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

std::string CopyRunFolder(const std::string& into) {
  namespace fs = std::filesystem;
  const char* runDir = std::getenv("VELORIN_RUN_DIR");
  if (!runDir || !*runDir) runDir = VELORIN_SHELL_RUN_DIR;
  if (!fs::exists(fs::path(runDir) / "velorin")) return std::string();
  const fs::path copy = fs::path(into) / "run";
  fs::copy(runDir, copy, fs::copy_options::recursive);
  fs::remove(copy / "game_log.txt");
  fs::remove(copy / "settings" / "config.ini");
  return copy.string();
}

int WaitForExit(pid_t pid, int timeoutMs, long long* elapsedMs) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    *elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (*elapsedMs > timeoutMs) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    usleep(2000);
  }
}

std::vector<std::string> LogTexts(const std::string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes) || bytes.size() < 2) return {};
  std::istringstream in(platform::Utf16ToUtf8(platform::DecodeUtf16LE(bytes.substr(2))));
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t dash = line.find(" - ");
    lines.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
  }
  return lines;
}

const std::string* FindLine(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& l : lines)
    if (l.rfind(prefix, 0) == 0) return &l;
  return nullptr;
}

bool WaitForLogLine(const std::string& logPath, const std::string& prefix) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  constexpr int kWaitMs = 300000;
#else
  constexpr int kWaitMs = 90000;
#endif
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (FindLine(LogTexts(logPath), prefix) == nullptr) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    usleep(50000);
  }
  return true;
}

}  // namespace gametest
