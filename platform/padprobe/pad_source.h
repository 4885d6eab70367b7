// What the controller probe reads: every attached keyboard and game controller, and
// each one's buffered events in the numbering of the classic joystick and keyboard
// data formats, so the probe prints the offsets and values a device-file author uses:
//   keyboard      offset = the key's scan code (set 1, extended keys 0x80 and up),
//                 data 0x80 down, 0 up (auto-repeat is not an event)
//   axes          X 0, Y 4, Z 8, Rx 12, Ry 16, Rz 20, sliders 24 and 28; data 0..65535
//   hats          POV 0..3 at 32, 36, 40, 44; data in hundredths of a degree clockwise
//                 from up, 4294967295 when centred
//   buttons 0-31  offset 48 + n; data 0x80 down, 0 up
// Sources: Linux evdev (/dev/input/event*), or a replay file named by
// VELORIN_PAD_REPLAY for tests and demonstrations. This library stands alone: it links
// nothing of the game.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform::padprobe {

constexpr uint32_t kAxisX = 0, kAxisY = 4, kAxisZ = 8, kAxisRx = 12, kAxisRy = 16, kAxisRz = 20;
constexpr uint32_t kSlider0 = 24, kSlider1 = 28;
constexpr uint32_t kPov0 = 32;
constexpr uint32_t kButton0 = 48;
constexpr int kMaxButtons = 32;
constexpr uint32_t kPressed = 0x80;
constexpr uint32_t kPovCentred = 0xFFFFFFFFu;
constexpr int kMaxBufferedEvents = 100;

enum class PadKind { kKeyboard, kController };

struct PadEvent {
  uint32_t offset = 0;
  uint32_t data = 0;
};

struct PadDeviceInfo {
  // The same physical device always gives the same identity, whichever node it is seen on.
  std::string identity;
  std::string name;
  PadKind kind = PadKind::kController;
};

class PadDevice {
 public:
  virtual ~PadDevice() = default;
  // Moves up to max buffered events, oldest first; 0 when there are none or the
  // device went away.
  virtual int Read(PadEvent* out, int max) = 0;
};

class PadSource {
 public:
  virtual ~PadSource() = default;
  using Found = std::function<void(std::unique_ptr<PadDevice>, const PadDeviceInfo&)>;
  // Calls `found` for each attached keyboard and game controller, in a fixed order.
  virtual void Enumerate(const Found& found) = 0;
  // Waits up to timeoutMs for any device to have something to read.
  virtual void Wait(int timeoutMs) = 0;
};

// The replay script: lines "device <identity> keyboard|controller <name>",
// "event <device line number from 0> <offset> <data>" and "wait"; '#' starts a
// comment. Events up to the first "wait" are buffered at once; each later group is
// released by a Wait call that finds every buffer empty. Null, and the reason, when
// the file cannot be read or a line is not understood.
std::unique_ptr<PadSource> LoadReplayPadSource(std::string_view path, std::string* error);

// The evdev source (devices the user cannot open are left out).
std::unique_ptr<PadSource> CreateEvdevPadSource();

// VELORIN_PAD_REPLAY's script when that is set, else evdev. A script that cannot be
// used is reported on standard error and gives a source with no devices.
std::unique_ptr<PadSource> CreatePadSource();

// The classic keyboard scan code of a Linux key code; 0 for keys it has none for.
uint32_t ScanCodeOfKey(uint16_t linuxKey);
// The POV value of a hat's two directions (-1, 0, 1 each; y -1 is up).
uint32_t PovOfHat(int x, int y);

}  // namespace platform::padprobe
