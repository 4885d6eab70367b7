// The built game with the song data and the devices plugged into its shell, run
// headless with the audio layer's silent device: every service of those two is there
// (no "not available" line of theirs), the start-up load makes the sound player, the
// song slots and the controller manager and loads the sound table, frames run in the
// menus, and a SIGTERM ends it with exit code 0.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/shell/game_process.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;
using namespace gametest;

TEST(PluggedGame, RunsHeadlessWithSongDataAndDevicesAndEndsOnSigterm) {
  testsupport::TempDir dir;
  const fs::path copy = CopyRunFolder(dir.path());
  ASSERT_FALSE(copy.empty()) << "build the velorin target first";
  // Default settings: XINPUT on, so the Ctrl thread runs too.
  const std::string log = (copy / "game_log.txt").string();

  const pid_t pid = StartGame((copy / "velorin").string(), "", true);
  ASSERT_GT(pid, 0);
  // The four load reports come from frame move once the start-up load is done.
  const bool loaded = WaitForLogLine(log, "SFX Report:");
  if (!loaded) kill(pid, SIGKILL);
  ASSERT_TRUE(loaded) << "the start-up load did not finish";
  usleep(300000);  // frames in the menus state, the Music and Ctrl threads running
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  long long elapsed = 0;
  EXPECT_EQ(WaitForExit(pid, 3 * kShutdownBoundMs, &elapsed), 0);
  EXPECT_LT(elapsed, kShutdownBoundMs) << "shutdown took " << elapsed << " ms";

  const std::vector<std::string> lines = LogTexts(log);
  for (const std::string& l : lines) {
    const bool ours = l.rfind("Devices:", 0) == 0 || l.rfind("Song data:", 0) == 0;
    EXPECT_FALSE(ours && l.size() >= 14 && l.compare(l.size() - 14, 14, " not available") == 0) << l;
  }
  for (const char* want : {"Entering Main Loop", "No Sound Device Found: Playing Silent", "Loading: Complete"}) {
    EXPECT_NE(FindLine(lines, want), nullptr) << want;
  }
  // The sound table was loaded: every id of it counts, and the run folder the build
  // fills holds every file it names.
  const std::string* sfx = FindLine(lines, "SFX Report:");
  ASSERT_NE(sfx, nullptr);
  EXPECT_GT(std::stod(sfx->substr(11)), 0.8) << *sfx;
  const std::string* missing = FindLine(lines, "Could Not Open:");
  EXPECT_EQ(missing, nullptr) << *missing;
}
