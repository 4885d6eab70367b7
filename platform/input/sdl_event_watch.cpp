#include "platform/input/sdl_event_watch.h"

#include <SDL.h>

namespace platform::input {

namespace {

bool IsInputEvent(uint32_t type) {
  return type == SDL_KEYDOWN || type == SDL_KEYUP || (type >= SDL_JOYAXISMOTION && type <= SDL_CONTROLLERDEVICEREMAPPED);
}

int WatchInputEvent(void* backend, SDL_Event* event) {
  if (event && IsInputEvent(event->type)) static_cast<SdlInputBackend*>(backend)->HandleEvent(*event);
  return 0;
}

}  // namespace

WatchedSdlInput::WatchedSdlInput() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  backend_ = std::make_unique<SdlInputBackend>();
  SDL_AddEventWatch(WatchInputEvent, backend_.get());
}

WatchedSdlInput::~WatchedSdlInput() {
  SDL_DelEventWatch(WatchInputEvent, backend_.get());
  backend_.reset();
  // Nothing else of SDL left in use: let it release its global state.
  if (SDL_WasInit(0) == 0) SDL_Quit();
}

}  // namespace platform::input
