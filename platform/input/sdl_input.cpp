#include "platform/input/sdl_input.h"

#include <SDL.h>

#include <cstdio>

#include "platform/clock.h"
#include "platform/input/keys.h"

namespace platform::input {

namespace {

constexpr uint32_t kAxisOffsets[8] = {kOfsX, kOfsY, kOfsZ, kOfsRx, kOfsRy, kOfsRz, kOfsSlider0, kOfsSlider1};

uint32_t PovFromHat(uint8_t hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return kPovCentre;
  }
}

// The XInput capability subtype that stands for SDL's joystick type.
uint8_t SubtypeOf(SDL_JoystickType t) {
  switch (t) {
    case SDL_JOYSTICK_TYPE_WHEEL: return 2;
    case SDL_JOYSTICK_TYPE_ARCADE_STICK: return 3;
    case SDL_JOYSTICK_TYPE_FLIGHT_STICK: return 4;
    case SDL_JOYSTICK_TYPE_DANCE_PAD: return 5;
    case SDL_JOYSTICK_TYPE_GUITAR: return 6;
    case SDL_JOYSTICK_TYPE_DRUM_KIT: return 8;
    case SDL_JOYSTICK_TYPE_ARCADE_PAD: return 0x13;
    default: return 1;
  }
}

uint16_t XButton(uint8_t b) {
  switch (b) {
    case SDL_CONTROLLER_BUTTON_A: return kXA;
    case SDL_CONTROLLER_BUTTON_B: return kXB;
    case SDL_CONTROLLER_BUTTON_X: return kXX;
    case SDL_CONTROLLER_BUTTON_Y: return kXY;
    case SDL_CONTROLLER_BUTTON_BACK: return kXBack;
    case SDL_CONTROLLER_BUTTON_START: return kXStart;
    case SDL_CONTROLLER_BUTTON_LEFTSTICK: return kXLeftThumb;
    case SDL_CONTROLLER_BUTTON_RIGHTSTICK: return kXRightThumb;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: return kXLeftShoulder;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: return kXRightShoulder;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return kXDpadUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return kXDpadDown;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return kXDpadLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return kXDpadRight;
    case SDL_CONTROLLER_BUTTON_GUIDE: return kXGuide;
    case SDL_CONTROLLER_BUTTON_MISC1: return kXMisc;
    default: return 0;
  }
}

// The buttons beyond the sixteen bits.
uint8_t ExtraButton(uint8_t button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_PADDLE1: return kXPaddle1;
    case SDL_CONTROLLER_BUTTON_PADDLE2: return kXPaddle2;
    case SDL_CONTROLLER_BUTTON_PADDLE3: return kXPaddle3;
    case SDL_CONTROLLER_BUTTON_PADDLE4: return kXPaddle4;
    case SDL_CONTROLLER_BUTTON_TOUCHPAD: return kXTouchpad;
    default: return 0;
  }
}

// SDL's Y axes grow downwards, XInput's upwards.
int16_t Flip(int16_t v) { return v == -32768 ? int16_t(32767) : static_cast<int16_t>(-v); }

uint8_t TriggerByte(int16_t v) {
  if (v <= 0) return 0;
  return static_cast<uint8_t>((static_cast<int32_t>(v) * 255 + 16383) / 32767);
}

}  // namespace

SdlInputBackend::SdlInputBackend() {
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) == 0) {
    ok_ = true;
  } else {
    error_ = SDL_GetError();
  }
  DeviceInfo k;
  k.instanceId = "keyboard";
  k.productId = 0;
  k.type = kTypeKeyboard;
  k.productName = "Keyboard";
  AttachDevice(k);
  TakeDeviceChange();  // the keyboard is there from the start
  hidOk_ = SDL_hid_init() == 0;
  if (ok_) {
    // Devices present now are announced by SDL as added events on the next pump;
    // open them at once so the first scan sees them.
    for (int i = 0; i < SDL_NumJoysticks(); ++i) Added(i);
  }
}

SdlInputBackend::~SdlInputBackend() {
  for (auto& [id, s] : sticks_) {
    CloseRawReports(s);
    if (s.controller) SDL_GameControllerClose(s.controller);
    else if (s.joystick) SDL_JoystickClose(s.joystick);
  }
  sticks_.clear();
  if (hidOk_) SDL_hid_exit();
  if (ok_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
}

void SdlInputBackend::OpenRawReports(Stick& s, uint16_t vid, uint16_t pid) {
  if (!hidOk_ || vid == 0) return;
  SDL_hid_device_info* list = SDL_hid_enumerate(vid, pid);
  for (SDL_hid_device_info* i = list; i && !s.hid; i = i->next) {
    if (!i->path) continue;
    bool taken = false;
    for (const auto& [other, st] : sticks_) taken = taken || st.hidPath == i->path;
    if (taken) continue;
    s.hid = SDL_hid_open_path(i->path, 0);
    if (s.hid) {
      SDL_hid_set_nonblocking(s.hid, 1);
      s.hidPath = i->path;
    }
  }
  SDL_hid_free_enumeration(list);
}

void SdlInputBackend::CloseRawReports(Stick& s) {
  if (s.hid) SDL_hid_close(s.hid);
  s.hid = nullptr;
  s.hidPath.clear();
}

void SdlInputBackend::PollRawReports() {
  unsigned char buf[kMaxRawReport];
  for (auto& [id, s] : sticks_) {
    if (!s.hid) continue;
    // A bounded drain: a device that never stops sending cannot hold the loop.
    for (size_t n = 0; n < kRawReportQueue; ++n) {
      const int got = SDL_hid_read(s.hid, buf, sizeof buf);
      if (got < 0) {
        CloseRawReports(s);  // unplugged, or the interface went away
        break;
      }
      if (got == 0) break;
      AddRawReport(s.instanceId, buf, static_cast<size_t>(got));
    }
  }
}

uint32_t SdlInputBackend::DeliveryMs(uint32_t sdlTimestamp) const {
  // SDL stamps events with its own tick count; move that onto the game's clock.
  const uint32_t age = SDL_GetTicks() - sdlTimestamp;
  return platform::TimeGetTime() - (age < 60000 ? age : 0);
}

uint32_t SdlInputBackend::Sequence(Stick& s, uint32_t sdlTimestamp) {
  // Changes SDL read from one device report carry the same time stamp.
  if (s.sequence == 0 || sdlTimestamp != s.lastTimestamp) ++s.sequence;
  s.lastTimestamp = sdlTimestamp;
  return s.sequence;
}

void SdlInputBackend::Added(int deviceIndex) {
  const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(deviceIndex);
  if (instance < 0 || sticks_.count(instance)) return;
  Stick s;
  if (SDL_IsGameController(deviceIndex)) {
    s.controller = SDL_GameControllerOpen(deviceIndex);
    if (s.controller) s.joystick = SDL_GameControllerGetJoystick(s.controller);
  }
  if (!s.joystick) s.joystick = SDL_JoystickOpen(deviceIndex);
  if (!s.joystick) return;

  const uint16_t vid = SDL_JoystickGetVendor(s.joystick);
  const uint16_t pid = SDL_JoystickGetProduct(s.joystick);
  // A stable identity: the device node when SDL knows it, else the GUID and serial.
  std::string id;
  if (const char* path = SDL_JoystickPath(s.joystick)) id = path;
  if (id.empty()) {
    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(s.joystick), guid, sizeof guid);
    id = guid;
    if (const char* serial = SDL_JoystickGetSerial(s.joystick)) id += std::string("#") + serial;
    // Two identical devices without a path or serial: number them.
    int n = 0;
    for (const auto& [other, st] : sticks_)
      if (st.instanceId.rfind(id, 0) == 0) ++n;
    if (n) id += "#" + std::to_string(n);
  }
  s.instanceId = id;

  DeviceInfo info;
  info.instanceId = id;
  info.productId = static_cast<uint32_t>(vid) | static_cast<uint32_t>(pid) << 16;
  const SDL_JoystickType type = SDL_JoystickGetType(s.joystick);
  info.type = (type == SDL_JOYSTICK_TYPE_FLIGHT_STICK || type == SDL_JOYSTICK_TYPE_THROTTLE) ? kTypeJoystick
                                                                                              : kTypeGamepad;
  if (const char* name = SDL_JoystickName(s.joystick)) info.productName = name;
  AttachDevice(info);
  OpenRawReports(s, vid, pid);

  if (s.controller) {
    for (int p = 0; p < 4; ++p) {
      if (!padUsed_[p]) {
        padUsed_[p] = true;
        s.pad = p;
        AttachPad(static_cast<uint32_t>(p), info.productId, SubtypeOf(type));
        break;
      }
    }
  }
  sticks_[instance] = s;
}

void SdlInputBackend::Removed(int32_t instance) {
  auto it = sticks_.find(instance);
  if (it == sticks_.end()) return;
  Stick& s = it->second;
  DetachDevice(s.instanceId);
  if (s.pad >= 0) {
    DetachPad(static_cast<uint32_t>(s.pad));
    padUsed_[s.pad] = false;
  }
  CloseRawReports(s);
  if (s.controller) SDL_GameControllerClose(s.controller);
  else if (s.joystick) SDL_JoystickClose(s.joystick);
  sticks_.erase(it);
}

bool SdlInputBackend::HandleEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      if (e.key.repeat) return true;  // the system's repeat is not a new press
      const uint32_t dik = DikFromScancode(e.key.keysym.scancode);
      if (!dik) return true;
      const uint32_t data = e.type == SDL_KEYDOWN ? 0x80u : 0u;
      AddRecord("keyboard", DiRecord{dik, data, DeliveryMs(e.key.timestamp), ++keySequence_});
      return true;
    }
    case SDL_JOYDEVICEADDED:
      Added(e.jdevice.which);
      return true;
    case SDL_JOYDEVICEREMOVED:
      Removed(e.jdevice.which);
      return true;
    case SDL_JOYAXISMOTION: {
      auto it = sticks_.find(e.jaxis.which);
      if (it == sticks_.end() || e.jaxis.axis >= 8) return true;
      const uint32_t data = static_cast<uint32_t>(static_cast<int32_t>(e.jaxis.value) + 32768);
      const uint32_t ofs = kAxisOffsets[e.jaxis.axis];
      ApplyToState(it->second.instanceId, ofs, data);
      AddRecord(it->second.instanceId,
                DiRecord{ofs, data, DeliveryMs(e.jaxis.timestamp), Sequence(it->second, e.jaxis.timestamp)});
      return true;
    }
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
      auto it = sticks_.find(e.jbutton.which);
      if (it == sticks_.end() || e.jbutton.button >= 128) return true;
      const uint32_t ofs = kOfsButton0 + e.jbutton.button;
      const uint32_t data = e.jbutton.state == SDL_PRESSED ? 0x80u : 0u;
      ApplyToState(it->second.instanceId, ofs, data);
      AddRecord(it->second.instanceId,
                DiRecord{ofs, data, DeliveryMs(e.jbutton.timestamp), Sequence(it->second, e.jbutton.timestamp)});
      return true;
    }
    case SDL_JOYHATMOTION: {
      auto it = sticks_.find(e.jhat.which);
      if (it == sticks_.end() || e.jhat.hat >= 4) return true;
      const uint32_t ofs = kOfsPov0 + 4u * e.jhat.hat;
      const uint32_t data = PovFromHat(e.jhat.value);
      ApplyToState(it->second.instanceId, ofs, data);
      AddRecord(it->second.instanceId,
                DiRecord{ofs, data, DeliveryMs(e.jhat.timestamp), Sequence(it->second, e.jhat.timestamp)});
      return true;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      auto it = sticks_.find(e.cbutton.which);
      if (it == sticks_.end() || it->second.pad < 0) return true;
      const uint16_t bit = XButton(e.cbutton.button);
      const uint8_t extra = ExtraButton(e.cbutton.button);
      if (!bit && !extra) return true;
      XReport& r = it->second.report;
      const bool pressed = e.cbutton.state == SDL_PRESSED;
      if (pressed) r.buttons |= bit;
      else r.buttons &= static_cast<uint16_t>(~bit);
      if (pressed) r.extraButtons |= extra;
      else r.extraButtons &= static_cast<uint8_t>(~extra);
      r.timeMs = DeliveryMs(e.cbutton.timestamp);
      AddReport(static_cast<uint32_t>(it->second.pad), r);
      return true;
    }
    case SDL_CONTROLLERAXISMOTION: {
      auto it = sticks_.find(e.caxis.which);
      if (it == sticks_.end() || it->second.pad < 0) return true;
      XReport& r = it->second.report;
      const int16_t v = e.caxis.value;
      switch (e.caxis.axis) {
        case SDL_CONTROLLER_AXIS_LEFTX: r.leftX = v; break;
        case SDL_CONTROLLER_AXIS_LEFTY: r.leftY = Flip(v); break;
        case SDL_CONTROLLER_AXIS_RIGHTX: r.rightX = v; break;
        case SDL_CONTROLLER_AXIS_RIGHTY: r.rightY = Flip(v); break;
        case SDL_CONTROLLER_AXIS_TRIGGERLEFT: r.leftTrigger = TriggerByte(v); break;
        case SDL_CONTROLLER_AXIS_TRIGGERRIGHT: r.rightTrigger = TriggerByte(v); break;
        default: return true;
      }
      r.timeMs = DeliveryMs(e.caxis.timestamp);
      AddReport(static_cast<uint32_t>(it->second.pad), r);
      return true;
    }
    default:
      return false;
  }
}

void SdlInputBackend::PumpEvents() {
  SDL_PumpEvents();
  SDL_Event events[64];
  for (;;) {
    const int n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_KEYDOWN, SDL_CONTROLLERDEVICEREMAPPED);
    if (n <= 0) break;
    for (int i = 0; i < n; ++i) HandleEvent(events[i]);
  }
  PollRawReports();
}

}  // namespace platform::input
