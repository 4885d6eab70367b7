// The words by which the main thread and the long-lived threads hand work to each
// other, and the other process-wide values of the application shell. Every word
// that one thread writes and another waits on is a WakeWord: a change wakes the
// threads waiting for it, so no thread polls.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace shell {

// An atomic int whose every change wakes the threads blocked in WaitForWords. It
// reads and writes as the std::atomic<int> it replaces.
class WakeWord {
 public:
  constexpr explicit WakeWord(int value) : value_(value) {}
  WakeWord(const WakeWord&) = delete;
  WakeWord& operator=(const WakeWord&) = delete;

  int load() const { return value_.load(); }
  operator int() const { return load(); }
  void store(int value);
  WakeWord& operator=(int value) {
    store(value);
    return *this;
  }
  bool compare_exchange_strong(int& expected, int desired);

 private:
  std::atomic<int> value_;
};

using WakeClock = std::chrono::steady_clock;
// Blocks until `ready` holds or `deadline` passes; `ready` is checked at the call and
// again after every change of a WakeWord (and every WakeWaiters). Returns `ready`'s
// last answer. `ready` must not write a WakeWord.
bool WaitForWords(const std::function<bool()>& ready, WakeClock::time_point deadline);
bool WaitForWords(const std::function<bool()>& ready);  // no deadline
// Wakes the waiting threads for a change that is not a WakeWord's (a device change).
void WakeWaiters();

// The game states. The numbers are kept: the settings' FORCESTATE names a state by
// its number; 5-7 do nothing.
enum class State : int {
  kStartupLoading = 0,
  kMenus = 1,
  kPlaying = 2,
  kSongLoading = 3,
  kOnlineStart = 4,
  kIdle = 8,
  kNoteModelView = 9,
  kStageView = 10,
};
// The current game state, as its number (a State).
extern WakeWord GameState;
inline State CurrentState() { return static_cast<State>(GameState.load()); }
inline void SetState(State state) { GameState.store(static_cast<int>(state)); }

// The Task thread's work order.
enum class Task : int {
  kIdle = 0,
  kLevelLoadRequested = 1,
  kLevelLoadDone = 2,
  kStartupLoadRequested = 3,
  kStartupLoadDone = 4,
};
extern WakeWord TaskStep;
inline Task CurrentTask() { return static_cast<Task>(TaskStep.load()); }
inline void SetTask(Task task) { TaskStep.store(static_cast<int>(task)); }

// The hosted server's run word: a stop request is answered kStopped, a start request
// kRunning.
enum class ServerRun : int {
  kStopped = 0,
  kRunning = 1,
  kStopRequested = 2,
  kStartRequested = 3,
};
extern WakeWord ServerRunState;

// ThreadRunFlag values. The Music thread also has 4 (pause requested) and 5 (paused).
enum ThreadRun : int {
  kThreadStopped = 0,
  kThreadRunning = 1,
  kThreadStopRequested = 2,
  kThreadPauseRequested = 4,
  kThreadPaused = 5,
};

enum class ThreadId { kMusic, kTask, kNet, kCtrl };
WakeWord& ThreadRunFlag(ThreadId id);

// Pauses the Music thread so that the caller may replace or free song stems: asks
// for a pause and waits until the thread answers (it answers at once). Returns true
// once it is paused; false when it is not running or is being stopped, in which
// case it services nothing any more once this returns. Never overwrites a stop
// request.
bool PauseMusicThread();
// Lets a paused Music thread run again. Only a paused thread is resumed: a stop
// request written meanwhile is kept.
void ResumeMusicThread();

// The back-buffer size (resolution width x MULTIDISPLAY, resolution height). Main
// thread only; the scene context keeps their addresses.
extern int BackBufferWidth;
extern int BackBufferHeight;

// True while the game's window is the active application.
extern std::atomic<bool> WindowActive;

// The steps of the start-up load; each number is also the language string the load
// logs for it.
enum class LoadStepId : int {
  kNone = 0,
  kTextures = 1,
  kModels = 2,
  kControllers = 3,
  kFonts = 4,
  kMenus = 5,
  kSongs = 6,
  kSounds = 7,
};
// The step of the start-up load now running (a LoadStepId) and the loading bar (0..1).
extern std::atomic<int> LoadStep;
extern std::atomic<bool> LoadProgressActive;
extern std::atomic<float> LoadProgress;
// The loading screen's fade into the menus, 1 to 0 in one second.
extern std::atomic<float> ScreenFade;

// Song time (ms) at which the leading client last sent its song position; the
// level set-up resets it.
extern std::atomic<double> LastSyncSongTime;

extern std::atomic<bool> RelaunchRequested;

}  // namespace shell
