// The SDL input back end fed by an event watch: for the game, whose window loop takes
// SDL's events out of the queue for itself. SDL hands every event it queues to its
// watchers on the thread that queues it (the main thread's pump), so the back end sees
// keys and joysticks as they arrive. Start on the main thread, before the window.
#pragma once

#include <memory>

#include "platform/input/sdl_input.h"

namespace platform::input {

class WatchedSdlInput {
 public:
  // Starts the back end (SDL's own signal handlers off: the game handles SIGINT and
  // SIGTERM itself) and installs the watch.
  WatchedSdlInput();
  // Removes the watch and stops the back end; releases SDL when nothing else uses it.
  ~WatchedSdlInput();
  WatchedSdlInput(const WatchedSdlInput&) = delete;
  WatchedSdlInput& operator=(const WatchedSdlInput&) = delete;

  SdlInputBackend& Backend() { return *backend_; }

 private:
  std::unique_ptr<SdlInputBackend> backend_;
};

}  // namespace platform::input
