// The entry's start-up sequence, settings write-back, device request, the start-up
// load through to the menus, and the relaunch after a restart request.
#include <gtest/gtest.h>

#include "core/settings.h"
#include "core/shell/shell.h"
#include "platform/gfx/device.h"
#include "platform/paths.h"
#include "tests/shell/harness.h"

using namespace shelltest;

TEST(ShellEntry, StartsOnDefaultsLogsInOrderAndReachesTheMenus) {
  testsupport::TempDir dir;
  dir.MakeDir("settings");
  GameRun run;
  run.Run({}, [&] {
    ASSERT_TRUE(run.world.rec.WaitFor("menus.update", 10000));
    platform::gfx::Framework::RequestClose();
  });
  EXPECT_EQ(run.exitCode, 0);
  const auto log = dir.GameLogTexts();
  // The entry's lines, in order.
  int i = FindLog(log, "Argument 0:/opt/velorin/velorin");
  ASSERT_GE(i, 0);
  for (const char* line : {"Current Directory: ", "New Directory: " , "Config Loaded", "**Config Settings**",
                           "ModifyDeviceSettings() REZ = 1280x720", "Sprites Loaded", "Loading Basic Textures",
                           "Entering Main Loop", "Loading: ", "Loading: Complete", "Textures Report:1",
                           "Object Report:1", "Theme Report:1", "SFX Report:1"}) {
    const int next = FindLog(log, line, i + 1);
    EXPECT_GT(next, i) << line;
    if (next > i) i = next;
  }
  EXPECT_EQ(log[static_cast<size_t>(FindLog(log, "New Directory: "))], "New Directory: " + dir.path());
  // The summary block: 25 lines, booleans as 1 and 0, the play count already raised.
  const int block = FindLog(log, "**Config Settings**");
  ASSERT_GE(block, 0);
  const std::vector<std::string> expected = {
      "**Config Settings**", "X-Resolution Windowed: 1280", "Y-Resolution Windowed: 720",
      "X-Resolution Fullscreen: 1024", "Y-Resolution Fullscreen: 768", "Music Path: " + dir.path() + "/music/",
      "Theme: default", "Audio Calibration: 45", "Video Calibration: 0", "Display Adaptor: 0", "V Sync: 1",
      "Triple Buffer: 1", "Windowed Mode: 1", "Drunk Mode: 0", "Anti Aliasing: 2", "Sync Method: 0",
      "Debug Mode: 0", "Xinput: 1", "BG Mode: 1", "Menu Video BG: 0", "Use Song Video: 1", "Use Song Image: 1",
      "Server Version: 1.27", "Play Count: 1", "*******************"};
  ASSERT_GE(log.size(), static_cast<size_t>(block) + expected.size());
  for (size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(log[static_cast<size_t>(block) + k], expected[k]);
  // Seven step labels.
  int labels = 0;
  for (const std::string& l : log)
    if (l.rfind("Loading: ", 0) == 0 && l != "Loading: Complete") ++labels;
  EXPECT_EQ(labels, 7);
  // The settings file was completed and written back.
  const std::string config = dir.ReadUtf16("settings/config.ini");
  EXPECT_NE(config.find("PLAYCOUNT = \"1\""), std::string::npos);
  EXPECT_NE(config.find("XRESWINDOWED = \"1280\""), std::string::npos);
  // Start-up load in order; the menus on the music folder; the menu music started.
  Recorder& rec = run.world.rec;
  for (const char* c : {"installMessageHandler", "createCameras", "createSoundPlayer", "createSongSlots",
                        "createGameAssets", "createCtrlMain(1)", "createSharedQuad", "createSceneContext",
                        "createMenuManager", "loadTextures", "loadModels", "scanDevices(0)", "createQuads",
                        "loadFonts(data/fonts/)", "scanSongFolder", "loadInstrumentSounds", "jukeboxNext"})
    EXPECT_TRUE(rec.Has(c)) << c;
  EXPECT_LT(rec.IndexOf("createSoundPlayer"), rec.IndexOf("createMenuManager"));
  EXPECT_LT(rec.IndexOf("loadModels"), rec.IndexOf("scanSongFolder"));
  EXPECT_TRUE(rec.Has("initMenus(" + dir.path() + "/music/)"));
  EXPECT_EQ(shell::GameState.load(), 1);
  EXPECT_TRUE(run.relaunched.empty());
  const auto devices = run.framework.DeviceHistory();
  ASSERT_FALSE(devices.empty());
  EXPECT_TRUE(devices[0].windowed);
  EXPECT_EQ(devices[0].width, 1280);
  EXPECT_EQ(devices[0].height, 720);
}

TEST(ShellEntry, SecondStartRaisesThePlayCount) {
  testsupport::TempDir dir;
  WriteConfig(dir, {{"PLAYCOUNT", "41"}, {"FORCESTATE", "5"}});
  GameRun run;
  run.framework.options().maxFrames = 3;
  run.Run({}, nullptr);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(dir.ReadUtf16("settings/config.ini").find("PLAYCOUNT = \"42\""), std::string::npos);
  EXPECT_GE(FindLog(dir.GameLogTexts(), "Play Count: 42"), 0);
  // State 5 does nothing: no start-up load.
  EXPECT_FALSE(run.world.rec.Has("createSoundPlayer"));
}

TEST(ShellEntry, FullScreenBackBufferIsMultipliedByTheDisplayCountAndBadSizesFallBack) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> config;
    bool windowed;
    int width, height;
    const char* logLine;  // expected correction, or null
  };
  const Case cases[] = {
      {{{"WINDOWED", "FALSE"}, {"MULTIDISPLAY", "3"}, {"XRESFULLSCREEN", "800"}, {"YRESFULLSCREEN", "600"}},
       false, 2400, 600, nullptr},
      {{{"XRESWINDOWED", "-5"}, {"YRESWINDOWED", "0"}}, true, 1280, 720, "Invalid XRESWINDOWED -5, Using 1280"},
      {{{"MULTIDISPLAY", "0"}, {"XRESWINDOWED", "640"}, {"YRESWINDOWED", "480"}}, true, 640, 480,
       "Invalid MULTIDISPLAY 0, Using 1"},
  };
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    auto config = c.config;
    config.push_back({"FORCESTATE", "5"});
    WriteConfig(dir, config);
    GameRun run;
    run.framework.options().maxFrames = 2;
    run.Run({}, nullptr);
    const auto devices = run.framework.DeviceHistory();
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices[0].windowed, c.windowed);
    EXPECT_EQ(devices[0].width, c.width);
    EXPECT_EQ(devices[0].height, c.height);
    if (c.logLine) {
      EXPECT_GE(FindLog(dir.GameLogTexts(), c.logLine), 0) << c.logLine;
      // The corrected value is what the settings file keeps.
      EXPECT_EQ(dir.ReadUtf16("settings/config.ini").find("\"-5\""), std::string::npos);
    }
  }
}

TEST(ShellEntry, QuitWithARestartRequestRelaunchesTheProgramAfterShutdown) {
  for (bool restart : {false, true}) {
    testsupport::TempDir dir;
    dir.MakeDir("settings");
    GameRun run;
    run.world.menuExit = true;
    run.world.menuExitCode = 0;
    run.world.restart = restart;
    run.Run({}, nullptr);
    EXPECT_EQ(run.exitCode, 0);
    if (restart) {
      ASSERT_EQ(run.relaunched.size(), 1u);
      EXPECT_EQ(run.relaunched[0], platform::ExecutablePath());
      // Only once everything was shut down.
      EXPECT_TRUE(run.world.rec.Has("releasePlayBackgroundTexture"));
    } else {
      EXPECT_TRUE(run.relaunched.empty());
    }
    // The version check's thread is gone before the program's exit-time clean-up can
    // pull libraries from under it.
    Recorder& rec = run.world.rec;
    ASSERT_TRUE(rec.Has("stopVersionCheck"));
    EXPECT_LT(rec.IndexOf("installMessageHandler"), rec.IndexOf("stopVersionCheck"));
    EXPECT_LT(rec.IndexOf("stopVersionCheck"), rec.IndexOf("releasePlayBackgroundTexture"));
  }
}

TEST(ShellEntry, WindowStyleAndTitle) {
  EXPECT_EQ(shell::FormatBuildDate("Dec  9 2025"), u"9th December 2025");
  EXPECT_EQ(shell::FormatBuildDate("Jan 21 2026"), u"21st January 2026");
  EXPECT_EQ(shell::FormatBuildDate("Feb 12 2026"), u"12th February 2026");
  EXPECT_EQ(shell::FormatBuildDate("Mar 23 2026"), u"23rd March 2026");
  EXPECT_EQ(shell::FormatBuildDate("Apr 02 2026"), u"2nd April 2026");
  EXPECT_EQ(shell::WindowTitle().rfind(u"Velorin v1.27 ", 0), 0u);
  for (const auto& [style, expected] :
       std::vector<std::pair<std::string, uint32_t>>{{"1", platform::gfx::kWindowStylePopup},
                                                     {"0", platform::gfx::kWindowStyleCaption},
                                                     {"2", platform::gfx::kWindowStyleCaption}}) {
    testsupport::TempDir dir;
    WriteConfig(dir, {{"WINDOWSTYLE", style}, {"FORCESTATE", "5"}});
    GameRun run;
    run.framework.options().maxFrames = 1;
    run.Run({}, nullptr);
    EXPECT_EQ(run.framework.style(), expected) << style;
    EXPECT_EQ(run.framework.title(), shell::WindowTitle());
  }
}

TEST(ShellEntry, TheWindowIconIsTheOneTheContentBuildMakes) {
  testsupport::TempDir dir;
  WriteConfig(dir, {{"FORCESTATE", "5"}});
  GameRun run;
  run.framework.options().maxFrames = 1;
  run.Run({}, nullptr);
  ASSERT_EQ(run.framework.iconPath(), shell::kWindowIconPath);
  platform::gfx::ImageData icon;
  ASSERT_TRUE(platform::gfx::DecodeImageFile(std::string(VELORIN_SHELL_RUN_DIR) + "/" + run.framework.iconPath(), icon));
  EXPECT_EQ(icon.width, 256);
  EXPECT_EQ(icon.height, 256);
}

TEST(ShellEntry, SpawnDetachedStartsAProgram) {
  testsupport::TempDir dir;
  // A missing program cannot start.
  EXPECT_FALSE(shell::SpawnDetached(dir.Path("no_such_program")));
  EXPECT_TRUE(shell::SpawnDetached("/bin/true"));
}
