// The command line: the framework's flags, the song folder and "/p".
#include <gtest/gtest.h>

#include "core/settings.h"
#include "core/shell/shell.h"
#include "core/utils.h"
#include "platform/gfx/framework.h"
#include "tests/shell/harness.h"

using namespace shelltest;

namespace {

void SetArgs(const std::vector<std::string>& args) {
  std::vector<const char*> p;
  for (const auto& a : args) p.push_back(a.c_str());
  SetCommandLine(static_cast<int>(p.size()), p.data());
}

}  // namespace

TEST(ShellCommandLine, FrameworkFlagsAreTakenOutOfTheGamesArguments) {
  struct Case {
    std::vector<std::string> in;
    std::vector<std::string> kept;
    int windowed, width, height, adapter, quitAfter;
  };
  const Case cases[] = {
      {{"v", "-windowed"}, {"v"}, 1, 0, 0, -1, 0},
      {{"v", "-FullScreen", "/songs/a"}, {"v", "/songs/a"}, 0, 0, 0, -1, 0},
      {{"v", "-width:800", "-height:600", "-adapter:1"}, {"v"}, -1, 800, 600, 1, 0},
      {{"v", "/songs/a", "-forcehal", "/p", "-forceref", "-nostats"}, {"v", "/songs/a", "/p"}, -1, 0, 0, -1, 0},
      {{"v", "-quitafterframe:5", "-forcevsync:0"}, {"v"}, -1, 0, 0, -1, 5},
      // Not flags: a value missing or not a number, an unknown name, a path.
      {{"v", "-width", "-width:x", "-windowedx", "-p"}, {"v", "-width", "-width:x", "-windowedx", "-p"}, -1, 0, 0, -1, 0},
      // Argument 0 is never a flag.
      {{"-windowed"}, {"-windowed"}, -1, 0, 0, -1, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.in;
    const platform::gfx::FrameworkFlags f = platform::gfx::ParseFrameworkFlags(args);
    EXPECT_EQ(args, c.kept);
    EXPECT_EQ(f.windowed, c.windowed);
    EXPECT_EQ(f.width, c.width);
    EXPECT_EQ(f.height, c.height);
    EXPECT_EQ(f.adapter, c.adapter);
    EXPECT_EQ(f.quitAfterFrame, c.quitAfter);
  }
}

TEST(ShellCommandLine, SongFolderArgumentTable) {
  struct Case {
    std::vector<std::string> args;
    bool present;
    std::string folder, parent;
    bool practice;
  };
  const Case cases[] = {
      {{"v"}, false, "", "", false},
      {{"v", ""}, false, "", "", false},
      {{"v", "/m/songs/one"}, true, "/m/songs/one", "/m/songs/", false},
      {{"v", "/m/songs/one/"}, true, "/m/songs/one", "/m/songs/", false},
      {{"v", "/m/songs/one\""}, true, "/m/songs/one", "/m/songs/", false},
      {{"v", "C:\\m\\songs\\one\\"}, true, "C:/m/songs/one", "C:/m/songs/", false},
      {{"v", "/m/songs/one", "/P"}, true, "/m/songs/one", "/m/songs/", true},
      {{"v", "/m/songs/one", "/p"}, true, "/m/songs/one", "/m/songs/", true},
      {{"v", "/m/songs/one", "/x"}, true, "/m/songs/one", "/m/songs/", false},
  };
  for (const Case& c : cases) {
    SetArgs(c.args);
    const shell::SongFolderArgument a = shell::ReadSongFolderArgument();
    EXPECT_EQ(a.present, c.present) << c.args.size();
    EXPECT_EQ(ToNarrow(a.folder), c.folder);
    EXPECT_EQ(ToNarrow(a.parent), c.parent);
    EXPECT_EQ(a.practice, c.practice);
  }
  SetArgs({});
}

TEST(ShellCommandLine, ARelativeSongFolderIsMadeAbsoluteAgainstTheStartFolder) {
  testsupport::TempDir dir;
  dir.MakeDir("music/My Song");
  std::vector<std::string> args = {"v", "music/My Song/"};
  shell::MakeSongFolderAbsolute(args, dir.path());
  EXPECT_EQ(args[1], dir.path() + "/music/My Song");
  // A folder that does not exist is joined as written.
  args = {"v", "gone/x\""};
  shell::MakeSongFolderAbsolute(args, "/start");
  EXPECT_EQ(args[1], "/start/gone/x\"");
  args = {"v", "/abs/y", "/p"};
  shell::MakeSongFolderAbsolute(args, "/start");
  EXPECT_EQ(args[1], "/abs/y");
  EXPECT_EQ(args[2], "/p");
}

TEST(ShellCommandLine, TheStartupLoadOpensTheSongFolderInPracticeMode) {
  testsupport::TempDir dir;
  dir.MakeDir("settings");
  dir.MakeDir("songs/Band - Tune");
  GameRun run;
  run.Run({"-windowed", "songs/Band - Tune/", "/P"}, [&] {
    ASSERT_TRUE(run.world.rec.WaitFor("menus.update", 10000));
    platform::gfx::Framework::RequestClose();
  });
  Recorder& r = run.world.rec;
  const std::string folder = dir.path() + "/songs/Band - Tune";
  EXPECT_TRUE(r.Has("initMenus(" + dir.path() + "/songs/)"));
  EXPECT_TRUE(r.Has("setCurrentMenu(1)"));
  EXPECT_TRUE(r.Has("setPracticeMode(1)"));
  EXPECT_TRUE(r.Has("openSongPath(" + folder + ")"));
  EXPECT_LT(r.IndexOf("initMenus(" + dir.path() + "/songs/)"), r.IndexOf("openSongPath(" + folder + ")"));
  // Every argument was logged, the framework flag too; the flag made the window.
  const auto log = dir.GameLogTexts();
  EXPECT_GE(FindLog(log, "Argument 1:-windowed"), 0);
  EXPECT_GE(FindLog(log, "Argument 3:/P"), 0);
  ASSERT_FALSE(run.framework.DeviceHistory().empty());
  EXPECT_TRUE(run.framework.DeviceHistory()[0].windowed);
}

TEST(ShellCommandLine, AMissingSongFolderIsLoggedSaidOnTheConsoleAndTheMenusOpenAtTheMusicFolder) {
  testsupport::TempDir dir;
  dir.MakeDir("settings");
  GameRun run;
  testing::internal::CaptureStderr();
  run.Run({"songs/No Such Song", "/p"}, [&] {
    ASSERT_TRUE(run.world.rec.WaitFor("menus.update", 10000));
    platform::gfx::Framework::RequestClose();
  });
  const std::string console = testing::internal::GetCapturedStderr();
  const std::string missing = dir.path() + "/songs/No Such Song";
  EXPECT_NE(console.find("Song folder not found: " + missing), std::string::npos) << console;
  EXPECT_GE(FindLog(dir.GameLogTexts(), "Song folder not found: " + missing), 0);
  Recorder& r = run.world.rec;
  EXPECT_FALSE(r.Has("openSongPath(" + missing + ")"));
  EXPECT_FALSE(r.Has("setPracticeMode(1)"));
  EXPECT_TRUE(r.Has("initMenus(" + ToNarrow(g_Settings.MUSICPATH) + ")"));
  // A folder that is there is kept as it is.
  dir.MakeDir("songs/Here");
  std::vector<std::string> args = {"v", dir.path() + "/songs/Here", "/p"};
  EXPECT_FALSE(shell::DropMissingSongFolder(args));
  EXPECT_EQ(args.size(), 3u);
}

TEST(ShellCommandLine, WithoutXInputNoControllerThreadButTheScanStillRuns) {
  testsupport::TempDir dir;
  WriteConfig(dir, {{"XINPUT", "FALSE"}});
  GameRun run;
  bool ctrlStarted = true;
  run.Run({}, [&] {
    ASSERT_TRUE(run.world.rec.WaitFor("menus.update", 10000));
    ctrlStarted = shell::ThreadStarted(shell::ThreadId::kCtrl);
    platform::gfx::Framework::RequestClose();
  });
  EXPECT_FALSE(ctrlStarted);
  EXPECT_TRUE(run.world.rec.Has("createCtrlMain(0)"));
  EXPECT_TRUE(run.world.rec.Has("scanDevices(0)"));
  EXPECT_FALSE(run.world.rec.Has("xinputPoll"));
}
