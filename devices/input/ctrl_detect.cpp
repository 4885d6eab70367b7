// Identification of a controller when a player joins with it.
#include <cstring>

#include "core/log.h"
#include "devices/input/ctrl.h"
#include "platform/threads.h"

using namespace platform::input;

namespace {

std::string Num(int64_t v) { return std::to_string(v); }

std::string VidLine(const DeviceDesc& d) {
  return "VID:" + Num(d.vid) + " PID:" + Num(d.pid) + " Name:" + d.name;
}

std::string_view Prefix(std::string_view s) { return s.substr(0, s.size() < 500 ? s.size() : 500); }

}  // namespace

bool CtrlDevice::DetectXInput() {
  if (!owner || xinputUser < 0) return false;
  InputBackend* in = owner->input;
  const uint32_t user = static_cast<uint32_t>(xinputUser);
  uint8_t subtype = 0;
  if (in->XInputGetCapabilities(user, &subtype) != kXOk) {
    // A pad that vanished is not identified as an unknown subtype.
    connected.store(0);
    LogNarrow("Controller Disconnected");
    return false;
  }
  switch (subtype) {
    case 1:
      desc.kind = desc.kindCopy = kind::kGamepad;
      LogNarrow("XInput Gamepad Detected Successfully");
      break;
    case 5:
      desc.kind = desc.kindCopy = kind::kDancePad;
      desc.tiltThreshold = 99;
      LogNarrow("XInput Dance Pad Detected Successfully");
      break;
    case 6:
    case 7:
    case 0x0B:
      desc.kind = desc.kindCopy = kind::kGuitar;
      desc.tiltThreshold = 99;
      LogNarrow("XInput Basic Guitar Detected Successfully");
      break;
    case 8: {
      XReport state;
      if (in->XInputPeekState(user, &state) != kXOk) {
        connected.store(0);
        LogNarrow("Controller Disconnected");
        return false;
      }
      desc.kind = desc.kindCopy = kind::kDrums;
      if (state.buttons & kXLeftThumb) {
        desc.drumLanes = 5;
        LogNarrow("XInput Basic 5 Lane Drums Detected Successfully");
      } else {
        desc.drumLanes = 4;
        LogNarrow("XInput Basic 4 Lane Drums Detected Successfully");
      }
      break;
    }
    case 0x0F:
      desc.kind = desc.kindCopy = kind::kKeys;
      desc.tiltThreshold = 99;
      LogNarrow("XInput Keys Detected Successfully");
      break;
    case 0x19:
      desc.kind = desc.kindCopy = kind::kRealGuitar;
      LogNarrow("XInput Real Guitar Detected Successfully");
      break;
    default:
      LogNarrow("Error: Unknown XInput Device Subtype " + Num(subtype));
      break;
  }
  xpad.kind.store(static_cast<uint32_t>(desc.kind));
  keyboardMarker = 0;
  detected = 1;
  return true;
}

bool CtrlDevice::GetVIDPID() {
  if (!device) {
    LogNarrow("GetVIDPID():DIDevice Does NOT Exist!");
    return false;
  }
  const uint32_t id = device->Info().productId;
  desc.vid = static_cast<int32_t>(id & 0xFFFF);
  desc.pid = static_cast<int32_t>(id >> 16);
  return true;
}

bool CtrlDevice::ReadState(JoyState* state) {
  if (!inputEnabled || !device) return false;
  device->Acquire();
  device->Poll();
  device->GetState(state);
  return true;
}

bool CtrlDevice::CheckAxis(int32_t rotationX, const DeviceDesc& candidate, int32_t candidateCount) const {
  if (candidateCount == 1) return true;
  const std::string_view name = Prefix(desc.name);
  if (name != "Controller (XBOX 360 For Windows)" && name != "Controller (Xbox 360 Wireless Receiver for Windows)")
    return true;
  if (candidate.kind == kind::kDrums) return rotationX >= 32747 && rotationX <= 32787;
  if (candidate.kind == kind::kGuitar) return rotationX < 32748 || rotationX > 32786;
  return true;
}

bool CtrlDevice::AnyButtonReleased() {
  if (xinputThread) {
    InputEvent scratch[kMaxFetchEvents];
    int32_t n = 0;
    EventSink sink(scratch, &n);
    {
      platform::NamedLock lock(OpenCtrlMutex());
      xpad.Drain(sink);
    }
    for (int32_t i = 0; i < n; ++i)
      if (scratch[i].id < 15) return true;
    return false;
  }
  int32_t n = 0;
  ReadBuffered(records_, &n);
  bool released = false;
  for (int32_t i = 0; i < n; ++i) {
    const DiRecord& r = records_[i];
    if (keyboardMarker == 1) {
      if (r.ofs <= 255 && !(r.data & 0x80)) released = true;
    } else if (r.ofs >= kOfsButton0 && r.ofs <= kOfsButton0 + 9) {
      if (!(r.data & 0x80)) released = true;
    } else if (r.ofs == kOfsPov0 && (r.data == 0 || r.data == 18000)) {
      released = true;
    }
  }
  return released;
}

// The join probe. It reads the device's raw records, not its button layout: a device
// nobody has joined with is not identified yet, so its layout is still empty and
// GetEvents would never see the press that is meant to identify it.
bool CtrlDevice::AnyButtonDown() {
  if (xinputThread) {
    InputEvent scratch[kMaxFetchEvents];
    int32_t n = 0;
    EventSink sink(scratch, &n);
    {
      platform::NamedLock lock(OpenCtrlMutex());
      xpad.Drain(sink);
    }
    for (int32_t i = 0; i < n; ++i)
      if (scratch[i].pressed && scratch[i].id < 15) return true;
    return false;
  }
  int32_t n = 0;
  ReadBuffered(records_, &n);
  bool pressed = false;
  for (int32_t i = 0; i < n; ++i) {
    const DiRecord& r = records_[i];
    if (keyboardMarker == 1) {
      if (r.ofs <= 255 && (r.data & 0x80)) pressed = true;
    } else if (r.ofs >= kOfsButton0 && r.ofs <= kOfsButton0 + 9) {
      if (r.data & 0x80) pressed = true;
    } else if (r.ofs == kOfsPov0 && (r.data == 0 || r.data == 18000)) {
      pressed = true;
    }
  }
  return pressed;
}

bool CtrlMain::DetectSettings(CtrlDevice& dev) {
  if (!dev.device) {
    LogNarrow("CtrlMain::DetectSettings():DI Device Does NOT Exist!");
    LogNarrow("Controller Detection Failed:");
    return false;
  }
  if (dev.keyboardMarker == 1) {
    ReadKeyboardKeys(dev.desc);
    dev.detected = 1;
    LogNarrow("Keyboard Detected Successfully");
    return true;
  }
  dev.GetVIDPID();
  auto candidates = std::make_unique<DeviceDesc[]>(kMaxDeviceMatches);
  int32_t n = 0;
  if (!ReadDeviceList(candidates.get(), &n, dev.desc.vid, dev.desc.pid, dev.desc.name)) {
    LogNarrow("CtrlMain::DetectSettings():Could Not Locate A Matching VID PID and Controller Name");
    LogNarrow(VidLine(dev.desc));
    LogNarrow("Controller Detection Failed");
    return false;
  }
  JoyState state;
  dev.ReadState(&state);
  int chosen = -1;
  for (int i = 0; i < n && chosen < 0; ++i) {
    const DeviceDesc& c = candidates[i];
    if (c.magicButton == -1) continue;
    bool match = false;
    if (c.magicButton == 1006) {
      match = c.magicData == static_cast<int32_t>(state.pov[0]);
    } else if (c.magicButton >= 0 && c.magicButton < 128) {
      // Any other number names no button of the device and never matches.
      match = (state.buttons[c.magicButton] & 0x80) != 0;
    }
    if (match && dev.CheckAxis(state.lRx, c, n)) chosen = i;
  }
  for (int i = 0; i < n && chosen < 0; ++i) {
    const DeviceDesc& c = candidates[i];
    if (c.magicButton == -1 && dev.CheckAxis(state.lRx, c, n)) chosen = i;
  }
  if (chosen < 0) {
    LogNarrow("CtrlMain::DetectSettings():Could Not Find Matching Magic Button Or Axis Check");
    LogNarrow(VidLine(dev.desc));
    LogNarrow("Controller Detection Failed");
    return false;
  }
  dev.desc = candidates[chosen];
  dev.detected = 1;
  if (dev.desc.buttons[slot::kOrange].codes[0] != -1) dev.desc.drumLanes = 5;
  std::string found = "CtrlMain::DetectSettings():Found Matching Magic Button:" + Num(dev.desc.magicButton);
  if (dev.desc.magicButton == 1006) found += Num(dev.desc.magicData);
  LogNarrow(found);
  LogNarrow(VidLine(dev.desc));
  LogNarrow("Friendly Name:" + dev.desc.friendlyName);
  LogNarrow("Controller Detected Successfully");
  return true;
}
