// The built game, run headless in a copy of its run folder: it writes its log and
// settings, runs frames, and a SIGTERM ends it in an orderly way, quickly, with exit
// code 0.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/file.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::vector<std::string> LogTexts(const std::string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes) || bytes.size() < 2) return {};
  std::vector<std::string> lines;
  std::string text = platform::Utf16ToUtf8(platform::DecodeUtf16LE(bytes.substr(2)));
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t dash = line.find(" - ");
    lines.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
  }
  return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const auto& l : lines)
    if (l.rfind(prefix, 0) == 0) return true;
  return false;
}

struct Started {
  pid_t pid = -1;
};

// Starts the game from a folder other than its own, as a user would from a shell.
Started StartGame(const std::string& exe, const std::string& fromFolder) {
  Started s;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, fromFolder.c_str());
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::string path = exe;
  char* argv[] = {path.data(), nullptr};
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  // Mesa's software rasterizer runs its own worker threads, which ThreadSanitizer
  // cannot see into; one thread renders just as well for this test.
  setenv("LP_NUM_THREADS", "0", 1);
  // The OpenGL driver keeps allocations until it is unloaded, after which the leak
  // checker of a sanitizer build cannot tell them from the game's; the in-process
  // tests check the shell's own allocations.
  setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
  if (posix_spawn(&s.pid, path.c_str(), &actions, nullptr, argv, environ) != 0) s.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return s;
}

// Waits for the process to end; -1 after the time-out (the process is then killed).
int WaitExit(pid_t pid, int timeoutMs, long long* elapsedMs) {
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

}  // namespace

TEST(GameBinary, StartsHeadlessWritesLogAndSettingsAndEndsOnSigterm) {
  const char* runDir = std::getenv("VELORIN_RUN_DIR");
  if (!runDir || !*runDir) runDir = VELORIN_SHELL_RUN_DIR;
  ASSERT_TRUE(fs::exists(fs::path(runDir) / "velorin")) << "build the velorin target first";
  testsupport::TempDir dir;
  const fs::path copy = fs::path(dir.path()) / "run";
  fs::copy(runDir, copy, fs::copy_options::recursive);
  fs::remove(copy / "game_log.txt");
  fs::remove(copy / "settings" / "config.ini");
  dir.MakeDir("elsewhere");
  const std::string log = (copy / "game_log.txt").string();

  for (int run = 1; run <= 2; ++run) {
    fs::remove(log);  // the new run's lines only
    Started g = StartGame((copy / "velorin").string(), dir.Path("elsewhere"));
    ASSERT_GT(g.pid, 0);
    // Frames run: the start-up load is reported done by frame move on the main thread.
    bool ready = false;
    for (int i = 0; i < 2000 && !ready; ++i) {
      ready = HasLine(LogTexts(log), "SFX Report:");
      if (!ready) usleep(10000);
    }
    if (!ready) kill(g.pid, SIGKILL);
    ASSERT_TRUE(ready) << "the game did not reach its main loop";
    ASSERT_EQ(kill(g.pid, SIGTERM), 0);
    long long elapsed = 0;
    const int code = WaitExit(g.pid, 5000, &elapsed);
    EXPECT_EQ(code, 0);
    EXPECT_LT(elapsed, 1000) << "shutdown took " << elapsed << " ms";

    std::string bytes;
    ASSERT_TRUE(platform::ReadWholeFile(log, bytes));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));  // UTF-16LE with its byte-order mark
    const auto lines = LogTexts(log);
    // The entry's lines in order, through "Entering Main Loop".
    const std::vector<std::string> order = {"Argument 0:" + (copy / "velorin").string(),
                                            "Current Directory: " + dir.Path("elsewhere"),
                                            "New Directory: " + copy.string(),
                                            "Loading Language Data",
                                            "Language Loading Complete",
                                            "Config Loaded",
                                            "**Config Settings**",
                                            "Play Count: " + std::to_string(run),
                                            "*******************",
                                            "ModifyDeviceSettings() REZ = 1280x720",
                                            "Loading Basic Textures",
                                            "Entering Main Loop"};
    size_t at = 0;
    for (const std::string& want : order) {
      while (at < lines.size() && lines[at] != want) ++at;
      ASSERT_LT(at, lines.size()) << "missing or out of order: " << want;
    }
    std::string config;
    ASSERT_TRUE(platform::ReadWholeFile((copy / "settings" / "config.ini").string(), config));
    const std::string text = platform::Utf16ToUtf8(platform::DecodeUtf16LE(config.substr(2)));
    EXPECT_NE(text.find("PLAYCOUNT = \"" + std::to_string(run) + "\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("WINDOWED = \"TRUE\""), std::string::npos);
  }
}
