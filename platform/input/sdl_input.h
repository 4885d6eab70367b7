// The SDL2 input back end. Joysticks appear in the DirectInput view (raw buttons,
// axes and hats, SDL's product name, vendor and product id); the ones SDL knows as
// game controllers also take one of the four XInput user slots, whose reports are
// built from SDL's controller events, one report per event so that nothing is
// coalesced. The keyboard is one device of the DirectInput view with DirectInput key
// codes; the system's key repeat is filtered out.
//
// SDL events arrive on the thread that pumps them (the main thread): the window's
// event loop hands every event to HandleEvent; programs without one call PumpEvents.
#pragma once

#include <map>
#include <string>

#include "platform/input/device_store.h"

union SDL_Event;
struct _SDL_Joystick;
struct _SDL_GameController;
struct SDL_hid_device_;

namespace platform::input {

class SdlInputBackend : public DeviceStore {
 public:
  SdlInputBackend();
  ~SdlInputBackend() override;
  SdlInputBackend(const SdlInputBackend&) = delete;
  SdlInputBackend& operator=(const SdlInputBackend&) = delete;

  // False when SDL's joystick subsystem could not start (keyboard input still works
  // through HandleEvent).
  bool Ok() const { return ok_; }
  const std::string& Error() const { return error_; }

  // Takes the input events of SDL; other events are ignored. Returns true when the
  // event was an input event.
  bool HandleEvent(const SDL_Event& event);
  // Pumps SDL and handles the input events waiting in its queue (for programs that
  // have no event loop of their own); takes the raw reports too.
  void PumpEvents();
  // Moves the raw reports the devices' HID interfaces sent since the last call into
  // their queues (ReadRawReport). Devices whose HID interface cannot be opened (no
  // access to it, no such interface) give none.
  void PollRawReports();

 private:
  struct Stick {
    _SDL_Joystick* joystick = nullptr;
    _SDL_GameController* controller = nullptr;
    std::string instanceId;
    int pad = -1;  // XInput user slot, -1 none
    XReport report;
    uint32_t lastTimestamp = 0;
    uint32_t sequence = 0;
    SDL_hid_device_* hid = nullptr;  // the raw HID interface, when it could be opened
    std::string hidPath;
  };
  void OpenRawReports(Stick& s, uint16_t vid, uint16_t pid);
  static void CloseRawReports(Stick& s);
  void Added(int deviceIndex);
  void Removed(int32_t instance);
  uint32_t DeliveryMs(uint32_t sdlTimestamp) const;
  uint32_t Sequence(Stick& s, uint32_t sdlTimestamp);

  bool ok_ = false;
  bool hidOk_ = false;
  std::string error_;
  std::map<int32_t, Stick> sticks_;  // by SDL instance id
  bool padUsed_[4] = {false, false, false, false};
  uint32_t keySequence_ = 0;
};

}  // namespace platform::input
