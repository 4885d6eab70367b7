// The controller manager and its devices. CtrlMain owns up to 20 CtrlDevice slots:
// with XInput on, slots 0..3 are the four XInput pads (read by the Ctrl thread every
// millisecond, their events queued under "Ctrl Mutex"), the others are joysticks of
// the DirectInput view and the system keyboard, read on the thread that fetches.
// Every screen and player fetches its events with CtrlDevice::GetEvents.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devices/input/device_files.h"
#include "devices/input/input_event.h"
#include "devices/input/xpad.h"
#include "devices/midi/midi_in.h"
#include "platform/input/input_backend.h"
#include "platform/threads.h"

class CtrlMain;

struct HeldSlot {
  uint8_t repeatEnabled = 0;
  uint32_t pressTime = 0;  // ms; 0 = not held
  uint32_t delay = 500;
  uint32_t lastRepeat = 0;
  uint32_t interval = 100;
};

class CtrlDevice {
 public:
  static constexpr int kHeldSlots = 20;

  CtrlDevice() = default;
  ~CtrlDevice() = default;
  CtrlDevice(const CtrlDevice&) = delete;
  CtrlDevice& operator=(const CtrlDevice&) = delete;

  // Fills events (an array of 150) with this frame's events; true when count > 0.
  bool GetEvents(InputEvent* events, int32_t* count);
  // Reads and discards everything pending.
  bool ClearEvents();
  // The buffered read of the DirectInput view (at most 150 records).
  bool ReadBuffered(platform::input::DiRecord* out, int32_t* n);
  void PollDirectInput(EventSink& sink);
  void PollEmulatedPad(EventSink& sink);
  void AddRepeats(EventSink& sink);

  // Identification.
  bool DetectXInput();
  bool AnyButtonReleased();
  bool AnyButtonDown();
  bool GetVIDPID();
  bool ReadState(platform::input::JoyState* state);
  bool CheckAxis(int32_t rotationX, const DeviceDesc& candidate, int32_t candidateCount) const;

  // The DirectInput view's device (null for XInput pads, free slots and devices that
  // could not be created) and its stable identity.
  std::unique_ptr<platform::input::DiDevice> device;
  std::string instanceId;
  XPad xpad;
  DeviceDesc desc;
  HeldSlot held[kHeldSlots];
  // Emulated pad (METHOD other than 0): button words built from DirectInput records.
  XGamepadReport emuCurrent;
  XGamepadReport emuPrevious;
  uint32_t lastSequence = 0;
  uint32_t emuTimeMs = 0;

  uint8_t xinputThread = 0;  // 1: an XInput pad read by the Ctrl thread
  int32_t xinputUser = -1;
  uint8_t detected = 0;
  std::atomic<uint8_t> connected{0};  // written by the scan and the Ctrl thread
  uint8_t inputEnabled = 1;
  int32_t keyboardMarker = -1;  // 1 system keyboard, 0 game controller or detected pad
  uint32_t midiLinked = 0;
  int32_t midiDevice = -1;
  int32_t midiProfile = -1;
  MidiInList* midiList = nullptr;
  uint8_t flagsA[3] = {0, 0, 0};
  // The lefty flag of the player profile attached to this controller: swaps green
  // and blue on drum kits.
  uint8_t lefty = 0;
  uint8_t flagsB[3] = {0, 0, 0};

  CtrlMain* owner = nullptr;

 private:
  void EmitEdges(EventSink& sink);
  void ApplyEmulated(const platform::input::DiRecord& r);
  bool DrainQueue(EventSink& sink);

  platform::input::DiRecord records_[platform::input::kBufferSize];
  bool overflowLogged_ = false;
  bool dropLogged_ = false;
};

class CtrlMain {
 public:
  static constexpr int kMaxDevices = 20;

  // Builds the manager: keyboard layout, XInput slots, MIDI-in devices. It does not
  // scan the DirectInput view; ScanDevices does.
  CtrlMain(bool xinputOn, platform::input::InputBackend* input, platform::midi::MidiBackend* midi);
  ~CtrlMain();
  CtrlMain(const CtrlMain&) = delete;
  CtrlMain& operator=(const CtrlMain&) = delete;

  bool ScanDevices(bool keepXInputEnabled);
  // The device-change handler: rescans the controllers and the MIDI-in devices.
  bool DeviceChange(bool windowActive);
  // Runs DeviceChange when the input layer reports devices added or removed.
  bool CheckDeviceChange(bool windowActive);
  // One pass of the Ctrl thread; false at once when XInput is off.
  bool XInputPoll();
  bool ClearAllEvents();
  void FlushAll();
  void SetInputEnabled(uint8_t on);
  bool ClearHeld();
  void ResetHeld(bool on);
  void FindXInputIds();
  // Identifies a DirectInput device or the keyboard.
  bool DetectSettings(CtrlDevice& device);

  CtrlDevice devices[kMaxDevices];
  int32_t count = 0;
  const uint8_t xinput;
  std::vector<uint32_t> xinputIds;
  MidiInList midi;
  DeviceDesc keyboard;
  platform::input::InputBackend* const input;

 private:
  void OnEnumDevice(const platform::input::DeviceInfo& info);
};

// The Ctrl thread's body: sets *runFlag to 1, polls every millisecond until another
// thread writes 2, then writes 0.
void CtrlThreadProc(CtrlMain* main, std::atomic<int32_t>* runFlag);

// The name of the mutex that guards the XInput pads' queues.
constexpr const char* kCtrlMutexName = "Ctrl Mutex";

// Opens "Ctrl Mutex" by name; when it does not exist, logs "Error Opening Controller
// Mutex" (once until it exists again) and gives null, and the caller goes on unlocked.
platform::MutexHandle OpenCtrlMutex();

// The process's controller manager (created by the start-up load).
extern CtrlMain* g_CtrlMain;
