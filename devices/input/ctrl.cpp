#include "devices/input/ctrl.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "platform/clock.h"
#include "platform/threads.h"

using namespace platform::input;

CtrlMain* g_CtrlMain = nullptr;

namespace {

std::string Num(int64_t v) { return std::to_string(v); }

std::atomic<bool> g_mutexMissingLogged{false};

}  // namespace

platform::MutexHandle OpenCtrlMutex() {
  platform::MutexHandle h = platform::OpenNamedMutex(kCtrlMutexName);
  if (!h) {
    if (!g_mutexMissingLogged.exchange(true)) LogNarrow("Error Opening Controller Mutex");
  } else {
    g_mutexMissingLogged.store(false);
  }
  return h;
}

namespace {

XGamepadReport FromReport(const XReport& r) {
  XGamepadReport g;
  g.packet = r.packet;
  g.buttons = r.buttons;
  g.leftTrigger = r.leftTrigger;
  g.rightTrigger = r.rightTrigger;
  g.leftX = r.leftX;
  g.leftY = r.leftY;
  g.rightX = r.rightX;
  g.rightY = r.rightY;
  return g;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Fetch

bool CtrlDevice::DrainQueue(EventSink& sink) {
  platform::NamedLock lock(OpenCtrlMutex());
  xpad.Drain(sink);
  const uint32_t lost = xpad.TakeDropped();
  if (lost > 0) LogNarrow("Controller Event Queue Full: " + Num(lost) + " Events Dropped");
  return true;
}

bool CtrlDevice::GetEvents(InputEvent* events, int32_t* count) {
  *count = 0;
  EventSink sink(events, count);
  if (xinputThread) {
    DrainQueue(sink);
  } else if (desc.method == 0) {
    PollDirectInput(sink);
  } else {
    PollEmulatedPad(sink);
  }
  if (midiLinked && midiList) midiList->Translate(midiDevice, sink, midiProfile);
  AddRepeats(sink);
  if (lefty == 1 && (desc.kind == kind::kDrums || desc.kind == kind::kRealDrums)) {
    for (int32_t i = 0; i < *count; ++i) {
      if (events[i].id == button::kGreen) events[i].id = button::kBlue;
      else if (events[i].id == button::kBlue) events[i].id = button::kGreen;
    }
  }
  if (sink.dropped > 0) {
    // Said when the loss begins, not on every frame of a flood.
    if (!dropLogged_) LogNarrow("Controller Events Dropped: " + Num(sink.dropped) + " Over The Limit Of 150");
    dropLogged_ = true;
  } else {
    dropLogged_ = false;
  }
  return *count != 0;
}

bool CtrlDevice::ReadBuffered(DiRecord* out, int32_t* n) {
  *n = 0;
  if (!inputEnabled || !connected.load() || !device) return false;
  if (device->Acquire() != kOk) return false;
  if (device->Poll() != kOk) return false;
  uint32_t got = 0;
  const int r = device->GetDeviceData(out, kBufferSize, &got);
  if (r != kOk && r != kBufferOverflow) return false;
  if (r == kBufferOverflow) {
    if (!overflowLogged_) LogNarrow("Controller Input Buffer Full, Input Dropped: " + desc.name);
    overflowLogged_ = true;
  } else {
    overflowLogged_ = false;
  }
  *n = static_cast<int32_t>(got);
  return true;
}

namespace {

struct SlotId {
  int slot;
  uint32_t id;
};
// Buttons that a record presses or releases, in the order they are tried.
constexpr SlotId kPressRelease[] = {
    {slot::kUp, 14},    {slot::kDown, 15}, {slot::kLeft, 16},  {slot::kRight, 17},    {slot::kGreen, 1},
    {slot::kRed, 2},    {slot::kYellow, 3}, {slot::kBlue, 4},  {slot::kOrange, 5},    {slot::kBass, 10},
    {slot::kBass2, 11}, {slot::kStart, 18}, {slot::kBack, 19}, {slot::kStrumUp, 12}, {slot::kStrumDown, 13},
};
// Axes matched by offset alone.
constexpr SlotId kAxes[] = {{slot::kWhammy, 21}, {slot::kSlider, 20}, {slot::kXGyro, 22}, {slot::kYGyro, 23}};
constexpr SlotId kToms[] = {{slot::kYellowTom, 7}, {slot::kBlueTom, 8}, {slot::kGreenTom, 9}};

}  // namespace

void CtrlDevice::PollDirectInput(EventSink& sink) {
  int32_t n = 0;
  ReadBuffered(records_, &n);
  const ButtonMap& map = desc.buttons;
  for (int32_t r = 0; r < n; ++r) {
    const DiRecord& rec = records_[r];
    const int32_t ofs = static_cast<int32_t>(rec.ofs);
    const int32_t data = static_cast<int32_t>(rec.data);
    bool ended = false;
    auto add = [&](uint32_t id, const ButtonSlot& s) {
      sink.Add(id, s.pressedValue == data, data, s.pressedValue, s.releasedValue, rec.timeMs);
    };
    for (int k = 0; k < ButtonSlot::kCodes && !ended; ++k) {
      for (const SlotId& t : kPressRelease) {
        const ButtonSlot& s = map[t.slot];
        if (s.codes[k] < 0 || s.codes[k] != ofs) continue;
        if (data != s.pressedValue && data != s.releasedValue) continue;
        add(t.id, s);
        if (data == s.pressedValue) {
          ended = true;  // a press ends the record; a release may release more buttons
          break;
        }
      }
      if (ended) break;
      for (const SlotId& t : kAxes) {
        const ButtonSlot& s = map[t.slot];
        if (s.codes[k] < 0 || s.codes[k] != ofs) continue;
        add(t.id, s);
        ended = true;
        break;
      }
      if (ended) break;
      for (const SlotId& t : kToms) {
        const ButtonSlot& s = map[t.slot];
        if (s.codes[k] < 0 || s.codes[k] != ofs) continue;
        if (data != s.pressedValue && data != s.releasedValue) continue;
        add(t.id, s);
        ended = true;
        break;
      }
    }
  }
}

void CtrlDevice::ApplyEmulated(const DiRecord& r) {
  struct Bit {
    int slot;
    uint16_t bit;
  };
  static constexpr Bit kBits[] = {
      {slot::kGreen, kXA},        {slot::kRed, kXB},           {slot::kYellow, kXY},         {slot::kBlue, kXX},
      {slot::kBack, kXBack},      {slot::kStart, kXStart},     {slot::kBass, kXLeftThumb},   {slot::kBass2, kXLeftShoulder},
      {slot::kCymbal, kXRightShoulder}, {slot::kTom, kXRightThumb},
  };
  static constexpr Bit kHat[] = {
      {slot::kUp, kXDpadUp}, {slot::kDown, kXDpadDown}, {slot::kLeft, kXDpadLeft}, {slot::kRight, kXDpadRight}};
  const int32_t ofs = static_cast<int32_t>(r.ofs);
  const int32_t data = static_cast<int32_t>(r.data);
  uint16_t& w = emuCurrent.buttons;
  for (const Bit& b : kBits) {
    const int32_t code = desc.buttons[b.slot].codes[0];
    if (code < 0 || code != ofs) continue;
    if (data != 0) w |= b.bit;
    else w &= static_cast<uint16_t>(~b.bit);
  }
  for (const Bit& b : kHat) {
    const ButtonSlot& s = desc.buttons[b.slot];
    if (s.codes[0] < 0 || s.codes[0] != ofs) continue;
    w &= static_cast<uint16_t>(~b.bit);
    if (data == s.pressedValue) w |= b.bit;
  }
  emuTimeMs = r.timeMs;
}

void CtrlDevice::EmitEdges(EventSink& sink) {
  const uint16_t cur = emuCurrent.buttons;
  const uint16_t changed = cur ^ emuPrevious.buttons;
  if (!changed) return;
  auto push = [&](uint32_t id, uint16_t bit) {
    const bool on = (cur & bit) != 0;
    sink.Add(id, on, on ? 128 : 0, 128, 0, emuTimeMs);
  };
  const bool cymbalChanged = (changed & kXRightShoulder) != 0;
  if ((changed & kXDpadUp) && !cymbalChanged) push(14, kXDpadUp);
  if ((changed & kXDpadDown) && !cymbalChanged) push(15, kXDpadDown);
  if (changed & kXDpadLeft) push(16, kXDpadLeft);
  if (changed & kXDpadRight) push(17, kXDpadRight);
  if (changed & kXBack) push(19, kXBack);
  if (changed & kXStart) push(18, kXStart);
  if (changed & kXLeftShoulder) push(10, kXLeftShoulder);
  if (changed & kXLeftThumb) push(11, kXLeftThumb);
  const bool cymbal = (cur & kXRightShoulder) != 0;
  const bool tom = (cur & kXRightThumb) != 0;
  const bool up = (cur & kXDpadUp) != 0, down = (cur & kXDpadDown) != 0;
  if (changed & kXA) push(tom && (!cymbal || up || down) ? 9 : 1, kXA);
  if (changed & kXB) push(2, kXB);
  if (changed & kXX) push(cymbal && down ? 4 : (tom ? 8 : 4), kXX);
  if (changed & kXY) push(cymbal && up ? 3 : (tom ? 7 : 3), kXY);
}

void CtrlDevice::PollEmulatedPad(EventSink& sink) {
  // Reads until the buffer is empty; the bound keeps a device that never stops
  // sending from holding the frame.
  for (int reads = 0; reads < 8; ++reads) {
    int32_t n = 0;
    ReadBuffered(records_, &n);
    if (n == 0) break;
    for (int32_t i = 0; i < n; ++i) {
      const DiRecord& r = records_[i];
      if (r.sequence != lastSequence) {
        if (desc.method == 1) EmitEdges(sink);
        emuPrevious = emuCurrent;
        lastSequence = r.sequence;
      }
      ApplyEmulated(r);
    }
  }
  if (desc.method == 1) EmitEdges(sink);
  emuPrevious = emuCurrent;
}

void CtrlDevice::AddRepeats(EventSink& sink) {
  const uint32_t now = platform::TimeGetTime();
  for (uint32_t i = 0; i < kHeldSlots; ++i) {
    HeldSlot& h = held[i];
    if (!h.repeatEnabled) continue;
    for (int32_t e = 0; e < sink.Count(); ++e) {
      const InputEvent& ev = sink.Events()[e];
      if (ev.id == i) h.pressTime = ev.pressed ? now : 0;
    }
    // Elapsed times as unsigned differences, so the 2^32 wrap of the clock is harmless.
    if (h.pressTime != 0 && now - h.pressTime > h.delay && now - h.lastRepeat > h.interval) {
      if (!sink.Add(i, true, 128, 0, 0, now)) continue;
      h.lastRepeat = now;
    }
  }
}

bool CtrlDevice::ClearEvents() {
  if (xinputThread) {
    if (connected.load()) {
      InputEvent scratch[kMaxFetchEvents];
      int32_t n = 0;
      EventSink sink(scratch, &n);
      platform::NamedLock lock(OpenCtrlMutex());
      while (xpad.QueuedCount() > 0) {
        n = 0;
        xpad.Drain(sink);
      }
      xpad.TakeDropped();
    }
  } else {
    int32_t n = 0;
    ReadBuffered(records_, &n);
  }
  if (midiLinked && midiList) midiList->Discard(midiDevice);
  return true;
}

// ---------------------------------------------------------------------------------
// Manager

CtrlMain::CtrlMain(bool xinputOn, InputBackend* in, platform::midi::MidiBackend* midiBackend)
    : xinput(xinputOn ? 1 : 0), midi(midiBackend), input(in) {
  ReadKeyboardKeys(keyboard);
  if (xinput) {
    FindXInputIds();
    count = 4;
    for (int i = 0; i < 4; ++i) {
      devices[i].xinputUser = i;
      devices[i].xinputThread = 1;
    }
  }
  midi.Enumerate();
  for (CtrlDevice& d : devices) {
    d.midiList = &midi;
    d.owner = this;
  }
}

CtrlMain::~CtrlMain() { midi.Stop(); }

void CtrlMain::FindXInputIds() { xinputIds = input->XInputIdList(); }

bool CtrlMain::ScanDevices(bool keepXInputEnabled) {
  if (xinput) {
    input->XInputEnable(true);
    FindXInputIds();
    for (uint32_t i = 0; i < 4; ++i) {
      XReport scratch;
      const uint32_t r = input->XInputPeekState(i, &scratch);
      if (r == kXOk) {
        devices[i].connected.store(1);
      } else if (r == kXNotConnected) {
        devices[i].detected = 0;
        devices[i].connected.store(0);
      } else {
        LogNarrow("XInput Device Scan Error:" + Num(r));
      }
    }
    if (!keepXInputEnabled) input->XInputEnable(false);
  }
  for (const DeviceInfo& info : input->EnumerateDevices()) OnEnumDevice(info);
  return true;
}

void CtrlMain::OnEnumDevice(const DeviceInfo& info) {
  if (xinput && std::find(xinputIds.begin(), xinputIds.end(), info.productId) != xinputIds.end()) return;
  if (info.type != kTypeGamepad && info.type != kTypeJoystick && info.type != kTypeKeyboard) return;
  int target = -1;
  for (int i = 0; i < count; ++i) {
    if (!devices[i].xinputThread && devices[i].instanceId == info.instanceId) {
      target = i;
      break;
    }
  }
  const bool fresh = target < 0;
  if (fresh) {
    if (count >= kMaxDevices) return;
    target = count;
  }
  CtrlDevice& d = devices[target];
  d.device.reset();
  d.instanceId = info.instanceId;
  d.device = input->CreateDevice(info.instanceId);  // null when it cannot be created
  d.keyboardMarker = info.type == kTypeKeyboard ? 1 : 0;
  d.connected.store(1);
  d.desc.name = info.productName.substr(0, DeviceDesc::kNameMax);
  if (fresh) ++count;
}

bool CtrlMain::DeviceChange(bool windowActive) {
  LogNarrow("CtrlDevice::DeviceChange():Device Added/Removed Event Detected");
  ScanDevices(windowActive);
  midi.Enumerate();
  return true;
}

bool CtrlMain::CheckDeviceChange(bool windowActive) {
  if (!input->TakeDeviceChange()) return false;
  return DeviceChange(windowActive);
}

bool CtrlMain::XInputPoll() {
  if (!xinput) return false;
  for (uint32_t i = 0; i < 4; ++i) {
    CtrlDevice& d = devices[i];
    if (!d.connected.load()) continue;
    // Every report waiting is translated on its own, so presses shorter than a pass
    // are not merged away; the bound keeps one pass short.
    for (int reports = 0; reports < 64; ++reports) {
      XReport r;
      if (input->XInputGetState(i, &r) != kXOk) {
        d.connected.store(0);
        break;
      }
      if (r.packet == d.xpad.previous.packet) break;
      d.xpad.current = FromReport(r);
      platform::NamedLock lock(OpenCtrlMutex());
      d.xpad.reportMs = r.timeMs;
      d.xpad.Translate();
      d.xpad.Commit();
    }
  }
  return true;
}

bool CtrlMain::ClearAllEvents() {
  for (int i = 0; i < count; ++i) devices[i].ClearEvents();
  return true;
}

void CtrlMain::FlushAll() {
  for (int i = 0; i < count; ++i) devices[i].inputEnabled = 1;
  for (int i = 0; i < count; ++i) devices[i].ClearEvents();
}

void CtrlMain::SetInputEnabled(uint8_t on) {
  for (int i = 0; i < count; ++i)
    if (devices[i].keyboardMarker == 1) devices[i].inputEnabled = on;
  for (int i = 0; i < count; ++i) devices[i].ClearEvents();
}

bool CtrlMain::ClearHeld() {
  for (int i = 0; i < count; ++i)
    for (HeldSlot& h : devices[i].held) h.pressTime = 0;
  return true;
}

void CtrlMain::ResetHeld(bool on) {
  for (int i = 0; i < count; ++i) {
    CtrlDevice& d = devices[i];
    for (HeldSlot& h : d.held) h.pressTime = 0;
    if (on) {
      for (int id = 12; id <= 17; ++id) d.held[id].repeatEnabled = 1;
    } else {
      for (int id = 12; id <= 15; ++id) d.held[id].repeatEnabled = 0;
    }
  }
}

void CtrlThreadProc(CtrlMain* main, std::atomic<int32_t>* runFlag) {
  runFlag->store(1);
  while (runFlag->load() != 2) {
    main->XInputPoll();
    platform::SleepMs(1);
  }
  runFlag->store(0);
}
