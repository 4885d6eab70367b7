// The words by which the main thread and the long-lived threads hand work to each
// other, and the other process-wide values of the application shell. Every word
// that one thread writes and another polls is atomic.
#pragma once

#include <atomic>
#include <cstdint>

namespace shell {

// 0 start-up loading, 1 menus, 2 playing, 3 song loading, 4 online start,
// 8 idle, 9 note-model view, 10 stage view; 5-7 do nothing.
extern std::atomic<int> GameState;

// The Task thread's work order: 0 idle, 3 start-up load requested, 4 start-up load
// done, 1 level load requested, 2 level load done.
extern std::atomic<int> TaskStep;

// The hosted server's run word: 0 stopped, 1 running, 2 stop requested (answered
// 0), 3 start requested (answered 1).
extern std::atomic<int> ServerRunState;

// ThreadRunFlag values. The Music thread also has 4 (pause requested) and 5 (paused).
enum ThreadRun : int {
  kThreadStopped = 0,
  kThreadRunning = 1,
  kThreadStopRequested = 2,
  kThreadPauseRequested = 4,
  kThreadPaused = 5,
};

enum class ThreadId { kMusic, kTask, kNet, kCtrl };
std::atomic<int>& ThreadRunFlag(ThreadId id);

// Pauses the Music thread so that the caller may replace or free song stems: asks
// for a pause and waits (50 ms per poll) until the thread answers. Returns true
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

// The step of the start-up load now running (0..7) and the loading bar (0..1).
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
