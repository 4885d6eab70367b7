// The long-lived threads (Music, Task, Net, Ctrl), their run flags and the words
// shared with the main thread.
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "core/log.h"
#include "core/settings.h"
#include "core/shell/shell_internal.h"
#include "platform/clock.h"
#include "platform/threads.h"

namespace shell {

namespace {

// Every WakeWord change and every WakeWaiters takes this mutex before it notifies,
// so a waiter that checked its condition under the mutex cannot miss the change.
std::mutex g_wakeMutex;
std::condition_variable g_wakeSignal;

}  // namespace

void WakeWaiters() {
  { std::lock_guard<std::mutex> lock(g_wakeMutex); }
  g_wakeSignal.notify_all();
}

void WakeWord::store(int value) {
  value_.store(value);
  WakeWaiters();
}

bool WakeWord::compare_exchange_strong(int& expected, int desired) {
  if (!value_.compare_exchange_strong(expected, desired)) return false;
  WakeWaiters();
  return true;
}

bool WaitForWords(const std::function<bool()>& ready, WakeClock::time_point deadline) {
  std::unique_lock<std::mutex> lock(g_wakeMutex);
  return g_wakeSignal.wait_until(lock, deadline, ready);
}

bool WaitForWords(const std::function<bool()>& ready) {
  std::unique_lock<std::mutex> lock(g_wakeMutex);
  g_wakeSignal.wait(lock, ready);
  return true;
}

WakeWord GameState{0};
WakeWord TaskStep{0};
WakeWord ServerRunState{0};
int BackBufferWidth = 0;
int BackBufferHeight = 0;
std::atomic<bool> WindowActive{false};
std::atomic<int> LoadStep{0};
std::atomic<bool> LoadProgressActive{false};
std::atomic<float> LoadProgress{0.0f};
std::atomic<float> ScreenFade{0.0f};
std::atomic<double> LastSyncSongTime{0.0};
std::atomic<bool> RelaunchRequested{false};

namespace {

struct ThreadSlot {
  WakeWord flag{kThreadStopped};
  // Written by the thread that starts it (the main thread, or the Task thread for
  // the Ctrl thread) and read by the main thread only after that thread is joined.
  std::thread thread;
};

std::array<ThreadSlot, 4> g_threads;

ThreadSlot& Slot(ThreadId id) { return g_threads[static_cast<size_t>(id)]; }

// A thread takes its flag from 0 to 1 as it starts; a stop request written before
// it ran makes it end at once.
bool EnterRunning(WakeWord& flag) {
  int expected = kThreadStopped;
  if (flag.compare_exchange_strong(expected, kThreadRunning)) return true;
  flag.store(kThreadStopped);
  return false;
}

std::mutex g_missingMutex;
std::set<std::string> g_missing;

}  // namespace

WakeWord& ThreadRunFlag(ThreadId id) { return Slot(id).flag; }

bool PauseMusicThread() {
  WakeWord& flag = ThreadRunFlag(ThreadId::kMusic);
  for (;;) {
    int v = flag.load();
    if (v == kThreadPaused) return true;
    if (v == kThreadStopped) return false;
    if (v == kThreadStopRequested) {
      // The thread ends within one pass (it services nothing after reading 2).
      WaitForWords([&flag] { return flag.load() != kThreadStopRequested; });
      return false;
    }
    if (v == kThreadRunning) {
      if (!flag.compare_exchange_strong(v, kThreadPauseRequested)) continue;
      v = kThreadPauseRequested;
    }
    // The thread answers a pause or a stop with a change of the flag.
    WaitForWords([&flag, v] { return flag.load() != v; });
  }
}

void ResumeMusicThread() {
  int expected = kThreadPaused;
  ThreadRunFlag(ThreadId::kMusic).compare_exchange_strong(expected, kThreadRunning);
}

namespace internal {

Services g_services;
platform::gfx::Framework* g_framework = nullptr;
SingletonFlags g_made;

void ReportMissing(const char* what) {
  {
    std::lock_guard<std::mutex> lock(g_missingMutex);
    if (!g_missing.insert(what).second) return;
  }
  LogNarrow(std::string(what) + " not available");
}

void ResetMissingReports() {
  std::lock_guard<std::mutex> lock(g_missingMutex);
  g_missing.clear();
}

// The process can end through exit() while the shell's threads still run (Xlib calls
// it when the X server goes away). Each thread is asked to stop and joined when it
// ends within the bound; one that does not (busy in a long load) is let go, so that
// its std::thread does not end the process with terminate().
void StopThreadsAtExit() {
  constexpr auto kExitBound = std::chrono::milliseconds(3000);
  const auto deadline = WakeClock::now() + kExitBound;
  for (ThreadSlot& s : g_threads)
    if (s.thread.joinable()) s.flag.store(kThreadStopRequested);
  for (ThreadSlot& s : g_threads) {
    if (!s.thread.joinable()) continue;
    if (s.thread.get_id() == std::this_thread::get_id()) {
      s.thread.detach();
      continue;
    }
    if (WaitForWords([&s] { return s.flag.load() == kThreadStopped; }, deadline)) s.thread.join();
    else s.thread.detach();
  }
}

void StartThread(ThreadId id) {
  static const bool exitHandler = std::atexit(StopThreadsAtExit) == 0;
  (void)exitHandler;
  ThreadSlot& s = Slot(id);
  if (s.thread.joinable()) return;
  switch (id) {
    case ThreadId::kMusic: s.thread = std::thread(MusicThread); break;
    case ThreadId::kTask: s.thread = std::thread(TaskThread); break;
    case ThreadId::kNet: s.thread = std::thread(NetThread); break;
    case ThreadId::kCtrl: s.thread = std::thread(CtrlThread); break;
  }
  // Thread priorities stay as they are: raising them needs privileges here.
}

void StopThread(ThreadId id) {
  ThreadSlot& s = Slot(id);
  if (!s.thread.joinable()) return;
  // Whatever the flag held (running, paused, or not yet started), 2 asks the
  // thread to end; it answers with 0 as its last act, which joining waits for.
  s.flag.store(kThreadStopRequested);
  s.thread.join();
  s.flag.store(kThreadStopped);
}

void ResetThreads() {
  for (ThreadSlot& s : g_threads) {
    if (s.thread.joinable()) {
      s.flag.store(kThreadStopRequested);
      s.thread.join();
    }
    s.flag.store(kThreadStopped);
  }
}

namespace {

constexpr auto kStreamPeriod = std::chrono::milliseconds(50);
constexpr auto kPadPollPeriod = std::chrono::milliseconds(1);
constexpr auto kServerTickPeriod = std::chrono::milliseconds(1);
// The longest a hosted server waits for socket data before its timers run again.
constexpr int kServerWaitMs = 20;
// A thread waiting for a made object or a device change looks again after this,
// in case the change came by a path that wakes no one.
constexpr auto kRecheckPeriod = std::chrono::milliseconds(1000);

std::atomic<uint32_t> g_deviceChanges{0};

bool StopRequested(const WakeWord& flag) { return flag.load() == kThreadStopRequested; }

bool IsServerRequest(int state) {
  return state == static_cast<int>(ServerRun::kRunning) || state == static_cast<int>(ServerRun::kStopRequested) ||
         state == static_cast<int>(ServerRun::kStartRequested);
}

}  // namespace

void NoteDeviceChange() {
  g_deviceChanges.fetch_add(1);
  WakeWaiters();
}

// Streams audio every 50 ms while the menus or a song play; in every other state,
// and while paused, it sleeps until its flag or the game state changes.
void MusicThread() {
  platform::SetCurrentThreadName("vl-music");
  WakeWord& flag = ThreadRunFlag(ThreadId::kMusic);
  if (!EnterRunning(flag)) return;
  for (;;) {
    // The sleep below compares against the words as this pass read them: a pause
    // or a state change written after these reads must wake the thread, so they
    // are never read again after the pass has decided what to do.
    int v = flag.load();
    if (v == kThreadStopRequested) break;
    const int seenState = GameState.load();
    bool streaming = false;
    if (v == kThreadPauseRequested) {
      if (!flag.compare_exchange_strong(v, kThreadPaused)) continue;  // changed again; look anew
      v = kThreadPaused;  // no audio service in this pass
    } else if (v == kThreadRunning) {
      const State state = static_cast<State>(seenState);
      if (state == State::kMenus) {
        streaming = true;
        if (g_made.menuManager.load()) Query(g_services.menus.updateJukebox, "Menu screens: jukebox audio", false);
      } else if (state == State::kPlaying) {
        streaming = true;
        if (g_made.songSlots.load() && g_made.sceneContext.load()) {
          const int slot = Query(g_services.graphics.currentSongIndex, "Graphics: SceneContext song index", -1);
          if (slot >= 0) Query(g_services.song.updateSongAudio, "Song data: SongAudio::Update", false, slot);
        }
      }
    }
    if (streaming) {
      WaitForWords([&flag] { return flag.load() != kThreadRunning; }, WakeClock::now() + kStreamPeriod);
    } else {
      WaitForWords([&flag, v, seenState] { return flag.load() != v || GameState.load() != seenState; });
    }
    if (StopRequested(flag)) break;
  }
  flag.store(kThreadStopped);
}

// Sleeps until a job is asked for (or the thread is told to stop).
void TaskThread() {
  platform::SetCurrentThreadName("vl-task");
  WakeWord& flag = ThreadRunFlag(ThreadId::kTask);
  if (!EnterRunning(flag)) return;
  for (;;) {
    const Task step = CurrentTask();
    if (step == Task::kStartupLoadRequested) {
      LoadAll();
      SetTask(Task::kStartupLoadDone);  // also when the job stopped early
    } else if (step == Task::kLevelLoadRequested) {
      LoadLevelJob();
      SetTask(Task::kLevelLoadDone);
    }
    WaitForWords([&flag] {
      const Task t = CurrentTask();
      return StopRequested(flag) || t == Task::kStartupLoadRequested || t == Task::kLevelLoadRequested;
    });
    if (StopRequested(flag)) break;
  }
  flag.store(kThreadStopped);
}

// While no server is hosted it sleeps until the run word asks for something; a
// running server is ticked whenever a socket has data, and at least every 20 ms
// for its timers.
void NetThread() {
  platform::SetCurrentThreadName("vl-net");
  WakeWord& flag = ThreadRunFlag(ThreadId::kNet);
  if (!EnterRunning(flag)) return;
  for (;;) {
    int state = ServerRunState.load();
    if (state == static_cast<int>(ServerRun::kRunning)) {
      Invoke(g_services.net.serverTick, "Networking: GameServer::Tick");
      state = ServerRunState.load();
    }
    if (state == static_cast<int>(ServerRun::kStopRequested)) {
      ServerRunState.compare_exchange_strong(state, static_cast<int>(ServerRun::kStopped));
    } else if (state == static_cast<int>(ServerRun::kStartRequested)) {
      ServerRunState.compare_exchange_strong(state, static_cast<int>(ServerRun::kRunning));
    }
    if (ServerRunState.load() == static_cast<int>(ServerRun::kRunning)) {
      if (g_services.net.serverWait) {
        g_services.net.serverWait(kServerWaitMs);
      } else {
        WaitForWords(
            [&flag] { return StopRequested(flag) || ServerRunState.load() != static_cast<int>(ServerRun::kRunning); },
            WakeClock::now() + kServerTickPeriod);
      }
    } else {
      WaitForWords([&flag] { return StopRequested(flag) || IsServerRequest(ServerRunState.load()); });
    }
    if (StopRequested(flag)) break;
  }
  Destroy(g_services.net.serverCloseListener);
  if (g_services.net.serverRegistrationRunning) {
    while (g_services.net.serverRegistrationRunning()) platform::SleepMs(2);
  }
  Destroy(g_services.net.serverReset);
  flag.store(kThreadStopped);
}

// Polls the pads every millisecond while one is connected; with none it sleeps
// until a device change (or a stop request).
void CtrlThread() {
  platform::SetCurrentThreadName("vl-ctrl");
  WakeWord& flag = ThreadRunFlag(ThreadId::kCtrl);
  if (!EnterRunning(flag)) return;
  for (;;) {
    const uint32_t changes = g_deviceChanges.load();
    bool pads = false;
    if (g_made.ctrlMain.load()) {
      Invoke(g_services.devices.xinputPoll, "Devices: CtrlMain::XInputPoll");
      // Without the answer the pads are polled as if one were there.
      pads = !g_services.devices.xinputPadsConnected || g_services.devices.xinputPadsConnected();
    }
    if (pads) {
      WaitForWords([&flag] { return StopRequested(flag); }, WakeClock::now() + kPadPollPeriod);
    } else {
      WaitForWords([&flag, changes] { return StopRequested(flag) || g_deviceChanges.load() != changes; },
                   WakeClock::now() + kRecheckPeriod);
    }
    if (StopRequested(flag)) break;
  }
  flag.store(kThreadStopped);
}

}  // namespace internal

bool ThreadStarted(ThreadId id) { return Slot(id).thread.joinable(); }

}  // namespace shell
