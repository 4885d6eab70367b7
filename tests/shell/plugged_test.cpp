// The built game with the song data and the devices plugged into its shell, run
// headless with the audio layer's silent device: every service of those two is there
// (no "not available" line of theirs), the start-up load makes the sound player, the
// song slots and the controller manager and loads the sound table, frames run in the
// menus, and a SIGTERM ends it with exit code 0.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::vector<std::string> GameLog(const std::string& path) {
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

pid_t StartHeadless(const std::string& exe) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string path = exe;
  char* argv[] = {path.data(), nullptr};
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("VELORIN_AUDIO", "null", 1);  // the audio layer's silent device
  setenv("LP_NUM_THREADS", "0", 1);    // see binary_test.cpp: one render thread suffices
  setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
  pid_t pid = -1;
  if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  unsetenv("VELORIN_AUDIO");
  return pid;
}

// The exit code, 128 + the signal for a killed process, or -1 after the time-out
// (the process is then killed).
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

TEST(PluggedGame, RunsHeadlessWithSongDataAndDevicesAndEndsOnSigterm) {
  const char* runDir = std::getenv("VELORIN_RUN_DIR");
  if (!runDir || !*runDir) runDir = VELORIN_SHELL_RUN_DIR;
  ASSERT_TRUE(fs::exists(fs::path(runDir) / "velorin")) << "build the velorin target first";
  testsupport::TempDir dir;
  const fs::path copy = fs::path(dir.path()) / "run";
  fs::copy(runDir, copy, fs::copy_options::recursive);
  fs::remove(copy / "game_log.txt");
  fs::remove(copy / "settings" / "config.ini");  // the defaults: XINPUT on, so the Ctrl thread runs too
  const std::string log = (copy / "game_log.txt").string();

  const pid_t pid = StartHeadless((copy / "velorin").string());
  ASSERT_GT(pid, 0);
  // The four load reports come from frame move once the start-up load is done.
  bool loaded = false;
  for (int i = 0; i < 2000 && !loaded; ++i) {
    loaded = FindLine(GameLog(log), "SFX Report:") != nullptr;
    if (!loaded) usleep(10000);
  }
  if (!loaded) kill(pid, SIGKILL);
  ASSERT_TRUE(loaded) << "the start-up load did not finish";
  usleep(300000);  // frames in the menus state, the Music and Ctrl threads running
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  long long elapsed = 0;
  EXPECT_EQ(WaitForExit(pid, 5000, &elapsed), 0);
  EXPECT_LT(elapsed, 2000) << "shutdown took " << elapsed << " ms";

  const std::vector<std::string> lines = GameLog(log);
  for (const std::string& l : lines) {
    const bool ours = l.rfind("Devices:", 0) == 0 || l.rfind("Song data:", 0) == 0;
    EXPECT_FALSE(ours && l.size() >= 14 && l.compare(l.size() - 14, 14, " not available") == 0) << l;
  }
  for (const char* want : {"Entering Main Loop", "No Sound Device Found: Playing Silent", "Loading: Complete"}) {
    EXPECT_NE(FindLine(lines, want), nullptr) << want;
  }
  // The sound table was attempted: every id of it counts, the theme sounds without a
  // second theme to fall back on excepted.
  const std::string* sfx = FindLine(lines, "SFX Report:");
  ASSERT_NE(sfx, nullptr);
  EXPECT_GT(std::stod(sfx->substr(11)), 0.8) << *sfx;
  EXPECT_NE(FindLine(lines, "Could Not Open:"), nullptr) << "the sound table looked for its files";
}

}  // namespace
