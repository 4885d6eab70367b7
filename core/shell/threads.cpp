// The long-lived threads (Music, Task, Net, Ctrl), their run flags and the words
// shared with the main thread.
#include <mutex>
#include <set>
#include <string>

#include "core/log.h"
#include "core/settings.h"
#include "core/shell/shell_internal.h"
#include "platform/clock.h"

namespace shell {

std::atomic<int> GameState{0};
std::atomic<int> TaskStep{0};
std::atomic<int> ServerRunState{0};
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
  std::atomic<int> flag{kThreadStopped};
  // Written by the thread that starts it (the main thread, or the Task thread for
  // the Ctrl thread) and read by the main thread only after that thread is joined.
  std::thread thread;
};

std::array<ThreadSlot, 4> g_threads;

ThreadSlot& Slot(ThreadId id) { return g_threads[static_cast<size_t>(id)]; }

// A thread takes its flag from 0 to 1 as it starts; a stop request written before
// it ran makes it end at once.
bool EnterRunning(std::atomic<int>& flag) {
  int expected = kThreadStopped;
  if (flag.compare_exchange_strong(expected, kThreadRunning)) return true;
  flag.store(kThreadStopped);
  return false;
}

std::mutex g_missingMutex;
std::set<std::string> g_missing;

}  // namespace

std::atomic<int>& ThreadRunFlag(ThreadId id) { return Slot(id).flag; }

bool PauseMusicThread() {
  std::atomic<int>& flag = ThreadRunFlag(ThreadId::kMusic);
  for (;;) {
    int v = flag.load();
    if (v == kThreadPaused) return true;
    if (v == kThreadStopped) return false;
    if (v == kThreadStopRequested) {
      // The thread ends within one pass (it services nothing after reading 2).
      while (flag.load() == kThreadStopRequested) platform::SleepMs(10);
      return false;
    }
    if (v == kThreadRunning) {
      if (!flag.compare_exchange_strong(v, kThreadPauseRequested)) continue;
    }
    platform::SleepMs(50);
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

void StartThread(ThreadId id) {
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

void MusicThread() {
  std::atomic<int>& flag = ThreadRunFlag(ThreadId::kMusic);
  if (!EnterRunning(flag)) return;
  for (;;) {
    int v = flag.load();
    if (v == kThreadPauseRequested) {
      flag.compare_exchange_strong(v, kThreadPaused);  // no audio service in this pass
    } else if (v == kThreadRunning) {
      const State state = CurrentState();
      if (state == State::kMenus && g_made.menuManager.load()) {
        Query(g_services.menus.updateJukebox, "Menu screens: jukebox audio", false);
      } else if (state == State::kPlaying && g_made.songSlots.load() && g_made.sceneContext.load()) {
        const int slot = Query(g_services.graphics.currentSongIndex, "Graphics: SceneContext song index", -1);
        if (slot >= 0) Query(g_services.song.updateSongAudio, "Song data: SongAudio::Update", false, slot);
      }
    }
    platform::SleepMs(50);
    if (flag.load() == kThreadStopRequested) break;
  }
  flag.store(kThreadStopped);
}

void TaskThread() {
  std::atomic<int>& flag = ThreadRunFlag(ThreadId::kTask);
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
    platform::SleepMs(100);
    if (flag.load() == kThreadStopRequested) break;
  }
  flag.store(kThreadStopped);
}

void NetThread() {
  std::atomic<int>& flag = ThreadRunFlag(ThreadId::kNet);
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
    platform::SleepMs(1);
    if (flag.load() == kThreadStopRequested) break;
  }
  Destroy(g_services.net.serverCloseListener);
  if (g_services.net.serverRegistrationRunning) {
    while (g_services.net.serverRegistrationRunning()) platform::SleepMs(2);
  }
  Destroy(g_services.net.serverReset);
  flag.store(kThreadStopped);
}

void CtrlThread() {
  std::atomic<int>& flag = ThreadRunFlag(ThreadId::kCtrl);
  if (!EnterRunning(flag)) return;
  for (;;) {
    if (g_made.ctrlMain.load()) Invoke(g_services.devices.xinputPoll, "Devices: CtrlMain::XInputPoll");
    platform::SleepMs(1);
    if (flag.load() == kThreadStopRequested) break;
  }
  flag.store(kThreadStopped);
}

}  // namespace internal

bool ThreadStarted(ThreadId id) { return Slot(id).thread.joinable(); }

}  // namespace shell
