// State shared by the parts of the shell (not for other subsystems).
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <thread>
#include <utility>

#include "core/shell/shell.h"

namespace shell::internal {

extern Services g_services;
extern platform::gfx::Framework* g_framework;

// The singletons made by the start-up load (set after the object was made, so a
// thread that sees true may use it).
struct SingletonFlags {
  std::atomic<bool> soundPlayer{false}, songSlots{false}, gameAssets{false}, ctrlMain{false}, sharedQuad{false},
      sceneContext{false}, menuManager{false}, cameras{false};
};
extern SingletonFlags g_made;

// Main-thread state of the frame code and the window procedure.
extern uint32_t g_lastMouseMoveTime;
extern int g_quickMouseMoves;
extern bool g_cursorHidden;
extern bool g_fadeRunning;
extern uint32_t g_fadeStart;

// Logs "<what> not available" the first time a missing service is asked for.
void ReportMissing(const char* what);
void ResetMissingReports();

// Calls a service entry; a missing one is reported and skipped.
template <class Fn, class... A>
bool Invoke(const Fn& fn, const char* what, A&&... args) {
  if (!fn) {
    ReportMissing(what);
    return false;
  }
  fn(std::forward<A>(args)...);
  return true;
}

// Asks a service entry for a value; a missing one is reported and gives fallback.
template <class R, class Fn, class... A>
R Query(const Fn& fn, const char* what, R fallback, A&&... args) {
  if (!fn) {
    ReportMissing(what);
    return fallback;
  }
  return fn(std::forward<A>(args)...);
}

// Destroys a made object through its service; without the service nothing is done
// (an object the service cannot destroy could not have been made by it either).
template <class Fn>
void Destroy(const Fn& fn) {
  if (fn) fn();
}

// Threads.
void StartThread(ThreadId id);
// Asks a started thread to stop and waits until it has ended. Nothing happens for a
// thread that was never started.
void StopThread(ThreadId id);
void ResetThreads();
void MusicThread();
void TaskThread();
void NetThread();
void CtrlThread();
// Wakes the Ctrl thread after the controllers were scanned again.
void NoteDeviceChange();

// Back-buffer size from the settings (window or full screen).
void ComputeBackBuffer();
// Corrects display settings that no device can use (sizes below 1, MULTIDISPLAY
// below 1), each with a log line.
void CheckDisplaySettings();

void StartScreenFade();
void AdvanceScreenFade();

void ReleaseDeviceObjects();
void ReleaseLoadingScreenTextures();

}  // namespace shell::internal
