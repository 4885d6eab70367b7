// The built game, run headless in a copy of its run folder: it writes its log and
// settings, runs frames, and a SIGTERM ends it in an orderly way, quickly, with exit
// code 0.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"
#include "tests/shell/game_process.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;
using namespace gametest;

TEST(GameBinary, StartsHeadlessWritesLogAndSettingsAndEndsOnSigterm) {
  testsupport::TempDir dir;
  const fs::path copy = CopyRunFolder(dir.path());
  ASSERT_FALSE(copy.empty()) << "build the velorin target first";
  dir.MakeDir("elsewhere");
  const std::string log = (copy / "game_log.txt").string();

  for (int run = 1; run <= 2; ++run) {
    fs::remove(log);  // the new run's lines only
    const pid_t pid = StartGame((copy / "velorin").string(), dir.Path("elsewhere"), false);
    ASSERT_GT(pid, 0);
    // Frames run: the start-up load is reported done by frame move on the main thread.
    const bool ready = WaitForLogLine(log, "SFX Report:");
    if (!ready) kill(pid, SIGKILL);
    ASSERT_TRUE(ready) << "the game did not reach its main loop";
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    long long elapsed = 0;
    const int code = WaitForExit(pid, 3 * kShutdownBoundMs, &elapsed);
    EXPECT_EQ(code, 0);
    EXPECT_LT(elapsed, kShutdownBoundMs) << "shutdown took " << elapsed << " ms";

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

// With no display and no video driver asked for, the game must not run unseen: it says
// why on standard error and ends with a failure code. It ends within moments even
// though its online version check has only just started: several runs at once, so
// that some end while the check is still setting up its connection.
TEST(GameBinary, WithoutADisplaySaysWhyAndExitsNonZero) {
  testsupport::TempDir dir;
  const fs::path copy = CopyRunFolder(dir.path());
  ASSERT_FALSE(copy.empty()) << "build the velorin target first";
  constexpr int kRuns = 12;
  const auto errorsOf = [&dir](int run) { return dir.Path("stderr" + std::to_string(run) + ".txt"); };
  std::vector<pid_t> pids;
  for (int i = 0; i < kRuns; ++i) {
    pids.push_back(StartGameWithoutDisplay((copy / "velorin").string(), errorsOf(i)));
    ASSERT_GT(pids.back(), 0);
  }
  for (int i = 0; i < kRuns; ++i) {
    long long elapsed = 0;
    const int code = WaitForExit(pids[static_cast<size_t>(i)], 90000, &elapsed);
    EXPECT_NE(code, -1) << "run " << i << ": the game kept running without a display";
    EXPECT_EQ(code, 1) << "run " << i;
    std::string said;
    ASSERT_TRUE(platform::ReadWholeFile(errorsOf(i), said));
    EXPECT_NE(said.find("No display"), std::string::npos) << said;
    EXPECT_NE(said.find("SDL_VIDEODRIVER=offscreen"), std::string::npos) << said;
  }
  EXPECT_NE(FindLine(LogTexts((copy / "game_log.txt").string()), "Could Not Create The Window"), nullptr);
}
