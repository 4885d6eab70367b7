// The Music thread's pause handshake and the thread stop, as the level code and
// shutdown use them.
#include <gtest/gtest.h>

#include <chrono>

#include "core/settings.h"
#include "core/shell/shell.h"
#include "core/shell/shell_internal.h"
#include "platform/clock.h"
#include "tests/shell/harness.h"

using namespace shelltest;
using shell::ThreadId;

namespace {

class ThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_Settings.SetDefaults();
    shell::AttachForTesting(nullptr, MakeServices(world_));
    shell::SetSingletonsForTesting({true, true, true, true, true, true, true, true});
    shell::GameState = 8;  // nothing for the Task thread to do
    shell::StartLoadingScreen();
    // Each thread takes its flag to 1 as it starts.
    for (ThreadId id : {ThreadId::kMusic, ThreadId::kTask, ThreadId::kNet}) WaitForFlag(id, 1);
  }
  void TearDown() override { shell::AttachForTesting(nullptr, shell::Services()); }
  static bool WaitForFlag(ThreadId id, int value, int timeoutMs = 5000) {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
      if (shell::ThreadRunFlag(id).load() == value) return true;
      platform::SleepMs(5);
    }
    return false;
  }
  testsupport::TempDir dir_;
  FakeWorld world_;
};

long long MsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

TEST_F(ThreadsTest, APauseIsAnsweredWithinAPassAndResumeRestartsService) {
  shell::GameState = 2;  // the Music thread services the current song
  ASSERT_TRUE(world_.rec.WaitFor("updateSongAudio(0)", 2000));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(shell::PauseMusicThread());
  EXPECT_LT(MsSince(start), 500);
  EXPECT_EQ(shell::ThreadRunFlag(ThreadId::kMusic).load(), 5);
  const int serviced = world_.rec.Count("updateSongAudio(0)");
  platform::SleepMs(200);
  EXPECT_EQ(world_.rec.Count("updateSongAudio(0)"), serviced);  // nothing while paused
  shell::ResumeMusicThread();
  EXPECT_EQ(shell::ThreadRunFlag(ThreadId::kMusic).load(), 1);
  platform::SleepMs(200);
  EXPECT_GT(world_.rec.Count("updateSongAudio(0)"), serviced);
  shell::Shutdown();
}

TEST_F(ThreadsTest, AStopWhilePausedEndsTheThreadAndAResumeCannotRestartIt) {
  ASSERT_TRUE(shell::PauseMusicThread());
  std::thread stopper([] { shell::Shutdown(); });
  stopper.join();
  // A requester that resumes after shutdown leaves the stopped thread stopped.
  shell::ResumeMusicThread();
  EXPECT_EQ(shell::ThreadRunFlag(ThreadId::kMusic).load(), 0);
  EXPECT_FALSE(shell::ThreadStarted(ThreadId::kMusic));
  // And a pause of a stopped thread does not wait.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(shell::PauseMusicThread());
  EXPECT_LT(MsSince(start), 100);
}

TEST_F(ThreadsTest, APauseRequestedWhileTheThreadIsStoppingDoesNotHang) {
  std::atomic<bool> result{true};
  std::atomic<bool> finished{false};
  std::thread requester([&] {
    platform::SleepMs(20);
    result = shell::PauseMusicThread();
    finished = true;
  });
  shell::Shutdown();
  requester.join();
  EXPECT_TRUE(finished.load());
  // Either paused before the stop, or told the thread is gone; never stuck.
  EXPECT_EQ(shell::ThreadRunFlag(ThreadId::kMusic).load(), 0);
  (void)result.load();
}

TEST_F(ThreadsTest, TheServerRunWordIsAnsweredByTheNetThread) {
  shell::ServerRunState = 3;
  for (int i = 0; i < 200 && shell::ServerRunState.load() != 1; ++i) platform::SleepMs(2);
  EXPECT_EQ(shell::ServerRunState.load(), 1);
  shell::ServerRunState = 2;
  for (int i = 0; i < 200 && shell::ServerRunState.load() != 0; ++i) platform::SleepMs(2);
  EXPECT_EQ(shell::ServerRunState.load(), 0);
  shell::Shutdown();
  EXPECT_TRUE(world_.rec.Has("serverCloseListener"));
  EXPECT_TRUE(world_.rec.Has("serverReset"));
}

TEST_F(ThreadsTest, ALevelLoadRequestIsPickedUpAndReported) {
  world_.calibrationSong = true;
  dir_.MakeDir("settings");
  g_Settings.configPath = u"settings/config.ini";
  g_Settings.AUDIOCALIBRATION = 90;
  g_Settings.VIDEOCALIBRATION = 30;
  shell::TaskStep = 1;
  for (int i = 0; i < 300 && shell::TaskStep.load() != 2; ++i) platform::SleepMs(5);
  EXPECT_EQ(shell::TaskStep.load(), 2);
  shell::Shutdown();
  // The calibration song starts from the default delays, saved before it starts.
  EXPECT_EQ(g_Settings.AUDIOCALIBRATION, 45);
  EXPECT_EQ(g_Settings.VIDEOCALIBRATION, 0);
  const std::string config = dir_.ReadUtf16("settings/config.ini");
  EXPECT_NE(config.find("AUDIOCALIBRATION = \"45\""), std::string::npos);
  EXPECT_NE(config.find("VIDEOCALIBRATION = \"0\""), std::string::npos);
  const auto log = dir_.GameLogTexts();
  EXPECT_LT(FindLog(log, "Loading Song"), FindLog(log, "Load Complete"));
}

namespace {

template <class Pred>
bool WaitUntil(Pred pred, int timeoutMs = 10000) {
  for (int waited = 0; waited < timeoutMs; waited += 2) {
    if (pred()) return true;
    platform::SleepMs(2);
  }
  return pred();
}

// The same threads with the hosted server's socket wait filled in.
class ServerWaitTest : public ThreadsTest {
 protected:
  void SetUp() override {
    world_.withServerWait = true;
    ThreadsTest::SetUp();
  }
};

}  // namespace

// Blocking threads must still take every hand-over word at once: each change below
// is seen only because writing the word wakes the thread waiting for it.
TEST_F(ThreadsTest, BlockedThreadsWakeForEveryHandOverAndStopPromptly) {
  // The Task thread sleeps until a job is asked for, twice in a row.
  for (int round = 0; round < 2; ++round) {
    shell::SetTask(shell::Task::kLevelLoadRequested);
    ASSERT_TRUE(WaitUntil([] { return shell::CurrentTask() == shell::Task::kLevelLoadDone; })) << round;
    shell::SetTask(shell::Task::kIdle);
  }
  // The Music thread, idle in state 8, answers a pause and a resume.
  ASSERT_TRUE(shell::PauseMusicThread());
  shell::ResumeMusicThread();
  // Shutdown wakes every sleeping thread.
  const auto start = std::chrono::steady_clock::now();
  shell::Shutdown();
  EXPECT_LT(MsSince(start), 5000);
  for (ThreadId id : {ThreadId::kMusic, ThreadId::kTask, ThreadId::kNet}) {
    EXPECT_FALSE(shell::ThreadStarted(id));
    EXPECT_EQ(shell::ThreadRunFlag(id).load(), 0);
  }
}

// A pause written just after the Music thread looked at its flag must still be
// answered: back-to-back pauses and resumes land in every gap of its pass.
TEST_F(ThreadsTest, PausesAndResumesBackToBackAreAllAnswered) {
  constexpr int kRounds = 3000;
  std::atomic<int> answered{0};
  std::atomic<bool> done{false};
  std::thread requester([&] {
    for (int i = 0; i < kRounds; ++i) {
      if (!shell::PauseMusicThread()) break;
      answered.fetch_add(1);
      shell::ResumeMusicThread();
    }
    done = true;
  });
  // A lost wake-up leaves the requester waiting; the stop below frees it either way.
  WaitUntil([&done] { return done.load(); }, 60000);
  shell::Shutdown();
  requester.join();
  EXPECT_EQ(answered.load(), kRounds);
}

TEST_F(ThreadsTest, WithoutPadsTheCtrlThreadSleepsUntilADeviceChange) {
  world_.padsConnected = false;
  shell::internal::StartThread(ThreadId::kCtrl);
  ASSERT_TRUE(WaitForFlag(ThreadId::kCtrl, 1));
  ASSERT_TRUE(WaitUntil([this] { return world_.polls.load() >= 1; }));
  // Polling every millisecond would make hundreds of passes here; a sleeping thread
  // makes none, or one more for each second of its safety re-check.
  const int before = world_.polls.load();
  const auto start = std::chrono::steady_clock::now();
  platform::SleepMs(300);
  EXPECT_LE(world_.polls.load() - before, 2 + MsSince(start) / 1000);

  // A pad arrives: the device-change message wakes the thread, which polls again.
  world_.padsConnected = true;
  bool noFurther = false;
  shell::MsgProc(nullptr, platform::gfx::WM_DEVICECHANGE, platform::gfx::DBT_DEVNODES_CHANGED, 0, &noFurther);
  const int woken = world_.polls.load();
  EXPECT_TRUE(WaitUntil([this, woken] { return world_.polls.load() >= woken + 20; }));

  // And it ends when told, whether it polls or sleeps.
  world_.padsConnected = false;
  shell::Shutdown();
  EXPECT_FALSE(shell::ThreadStarted(ThreadId::kCtrl));
  EXPECT_EQ(shell::ThreadRunFlag(ThreadId::kCtrl).load(), 0);
}

TEST_F(ServerWaitTest, AStoppedServerIsNotTickedAndARunningOneWaitsOnItsSockets) {
  platform::SleepMs(50);
  EXPECT_EQ(world_.serverTicks.load(), 0);
  EXPECT_EQ(world_.serverWaits.load(), 0);

  shell::ServerRunState = static_cast<int>(shell::ServerRun::kStartRequested);
  ASSERT_TRUE(WaitUntil([] { return shell::ServerRunState.load() == 1; }));
  ASSERT_TRUE(WaitUntil([this] { return world_.serverTicks.load() >= 3 && world_.serverWaits.load() >= 3; }));
  // Bounded, so that the server's timers still run without data.
  EXPECT_GT(world_.lastServerWaitMs.load(), 0);
  EXPECT_LE(world_.lastServerWaitMs.load(), 50);

  shell::ServerRunState = static_cast<int>(shell::ServerRun::kStopRequested);
  ASSERT_TRUE(WaitUntil([] { return shell::ServerRunState.load() == 0; }));
  const int ticks = world_.serverTicks.load();
  platform::SleepMs(50);
  EXPECT_EQ(world_.serverTicks.load(), ticks);  // a tick under way ends before the stop is answered
  shell::Shutdown();
}
