// Closing the game at the moments where the threads hand work to each other: during
// the start-up load, during a level load, and in the idle state. Each run has a
// time-out, and the suite runs under ThreadSanitizer too.
#include <gtest/gtest.h>

#include "core/shell/shell.h"
#include "platform/clock.h"
#include "tests/shell/harness.h"

using namespace shelltest;
using shell::ThreadId;

namespace {

// The fixed order in which shutdown deletes the process-wide objects.
const std::vector<std::string> kDestroyOrder = {
    "destroyScoreRating", "destroySongClock",   "destroyPlayers",     "destroySharedQuad",
    "destroyVideoBackground", "destroyCtrlMain", "destroySceneContext", "destroyMenus",
    "destroyStage",       "destroyCameras",     "destroyGameAssets",  "destroySongSlots",
    "destroySoundPlayer", "destroyReactiveBackground", "destroyVocalTrack", "releasePlayBackgroundTexture"};

void ExpectInOrder(Recorder& rec, const std::vector<std::string>& calls) {
  int last = -1;
  for (const std::string& c : calls) {
    const int i = rec.IndexOf(c);
    ASSERT_GE(i, 0) << c << " was not called";
    EXPECT_GT(i, last) << c << " out of order";
    last = i;
  }
}

void ExpectAllThreadsEnded() {
  for (ThreadId id : {ThreadId::kMusic, ThreadId::kTask, ThreadId::kNet, ThreadId::kCtrl}) {
    EXPECT_FALSE(shell::ThreadStarted(id));
    EXPECT_EQ(shell::ThreadRunFlag(id).load(), 0);
  }
}

}  // namespace

TEST(ShellShutdown, DuringTheStartupLoadStopsTheJobAtTheNextStepAndDeletesWhatExists) {
  testsupport::TempDir dir;
  dir.MakeDir("settings");
  GameRun run;
  std::atomic<bool> release{false};
  // The texture step runs until the close request has been made.
  run.world.rec.hook = [&](const std::string& call) {
    if (call == "loadTextures")
      while (!release.load()) platform::SleepMs(5);
  };
  run.Run({}, [&] {
    ASSERT_TRUE(run.world.rec.WaitFor("loadTextures", 10000));
    platform::gfx::Framework::RequestClose();
    platform::SleepMs(50);
    release.store(true);
  });
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_LT(run.elapsedMs, 5000);
  Recorder& rec = run.world.rec;
  EXPECT_FALSE(rec.Has("loadModels"));  // the next step label saw the stop
  ExpectInOrder(rec, kDestroyOrder);
  // The device objects go after everything that was made on the device.
  EXPECT_GT(rec.IndexOf("sprite.release"), rec.IndexOf("releasePlayBackgroundTexture"));
  const auto log = dir.GameLogTexts();
  EXPECT_GE(FindLog(log, "Loading: "), 0);
  EXPECT_LT(FindLog(log, "Loading: Complete"), 0);
  ExpectAllThreadsEnded();
}

TEST(ShellShutdown, AfterTheControllerThreadStartedItIsStoppedBeforeTheControllersAreDeleted) {
  testsupport::TempDir dir;
  dir.MakeDir("settings");
  GameRun run;
  std::atomic<bool> release{false};
  run.world.rec.hook = [&](const std::string& call) {
    if (call == "scanDevices(0)" || call == "scanDevices(1)")
      while (!release.load()) platform::SleepMs(5);
  };
  std::atomic<int> ctrlFlag{-1};
  run.Run({}, [&] {
    ASSERT_TRUE(run.world.rec.WaitFor("xinputPoll", 10000));
    ctrlFlag = shell::ThreadRunFlag(ThreadId::kCtrl).load();
    platform::gfx::Framework::RequestClose();
    platform::SleepMs(30);
    release.store(true);
  });
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ctrlFlag.load(), 1);
  EXPECT_TRUE(run.world.rec.Has("destroyCtrlMain"));
  ExpectAllThreadsEnded();
}

TEST(ShellShutdown, DuringALevelLoadThatPausesTheMusicThreadNeitherHangs) {
  testsupport::TempDir dir;
  dir.MakeDir("settings");
  GameRun run;
  run.world.menuExit = true;  // the menus choose a song at once
  run.world.menuExitCode = 1;
  std::atomic<bool> closeSent{false};
  std::atomic<bool> paused{false};
  run.world.rec.hook = [&](const std::string& call) {
    if (call == "updateSongLoad" && shell::TaskStep.load() == 0) shell::TaskStep.store(1);
    if (call == "setupLevel(1)") {
      // As the level set-up does: pause the Music thread while the stems change.
      paused = shell::PauseMusicThread();
      while (!closeSent.load()) platform::SleepMs(5);
      platform::SleepMs(100);  // still working when shutdown begins
      shell::ResumeMusicThread();
    }
  };
  run.Run({}, [&] {
    ASSERT_TRUE(run.world.rec.WaitFor("setupLevel(1)", 10000));
    platform::gfx::Framework::RequestClose();
    closeSent = true;
  });
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(paused.load());
  Recorder& rec = run.world.rec;
  ExpectInOrder(rec, {"pauseJukebox", "setLoadState(0)", "setupLevel(1)", "setLoadState(1)", "setLoadState(2)"});
  ExpectInOrder(rec, kDestroyOrder);
  const auto log = dir.GameLogTexts();
  EXPECT_GE(FindLog(log, "Load Complete"), 0);
  ExpectAllThreadsEnded();
}

TEST(ShellShutdown, InTheIdleStateNoLoadRunsAndTheControllerThreadIsSkipped) {
  testsupport::TempDir dir;
  WriteConfig(dir, {{"FORCESTATE", "8"}});
  GameRun run;
  int flags[4] = {-1, -1, -1, -1};
  run.Run({}, [&] {
    // The three threads the idle state runs each set their flag once started; the
    // Ctrl thread must still be unstarted once they all are.
    for (int waited = 0; waited < 60000; waited += 10) {
      if (shell::ThreadRunFlag(ThreadId::kMusic).load() == 1 && shell::ThreadRunFlag(ThreadId::kTask).load() == 1 &&
          shell::ThreadRunFlag(ThreadId::kNet).load() == 1)
        break;
      platform::SleepMs(10);
    }
    platform::SleepMs(200);  // room for a wrongly started Ctrl thread to show itself
    flags[0] = shell::ThreadRunFlag(ThreadId::kMusic).load();
    flags[1] = shell::ThreadRunFlag(ThreadId::kTask).load();
    flags[2] = shell::ThreadRunFlag(ThreadId::kNet).load();
    flags[3] = shell::ThreadRunFlag(ThreadId::kCtrl).load();
    platform::gfx::Framework::RequestClose();
  });
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(flags[0], 1);
  EXPECT_EQ(flags[1], 1);
  EXPECT_EQ(flags[2], 1);
  EXPECT_EQ(flags[3], 0);
  Recorder& rec = run.world.rec;
  EXPECT_FALSE(rec.Has("createSoundPlayer"));
  EXPECT_FALSE(rec.Has("createMenuManager"));
  EXPECT_EQ(shell::TaskStep.load(), 0);
  // The Net thread's stop closes the listener and resets the server.
  ExpectInOrder(rec, {"serverCloseListener", "serverReset"});
  EXPECT_FALSE(rec.Has("destroyCtrlMain"));  // never made
  ExpectAllThreadsEnded();
}
