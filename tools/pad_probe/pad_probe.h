// The controller probe's device table: up to 25 attached keyboards and game
// controllers, the choice of the one whose button is pressed first, and the lines
// printed for each of its events. Kept apart from main so tests can drive it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/padprobe/pad_source.h"

namespace padprobe {

constexpr int kMaxProbeDevices = 25;
constexpr int kButtonSlots = 18;

// A button mapping of a device file; the probe makes them all disabled and never
// enables one, so its reads add nothing beyond the device's own events.
struct ButtonSlot {
  int32_t offset = -1;
  int32_t pressValue = 0;
  int32_t releaseValue = 0;
  uint32_t holdDelayMs = 1000;
  uint32_t repeatMs = 100;
  uint32_t pressTime = 0;
};

struct ProbeDevice {
  std::unique_ptr<platform::padprobe::PadDevice> device;
  int32_t id = -1;
  std::string name = "Unknown Controller";
  std::string identity;
  std::array<ButtonSlot, kButtonSlots> slots{};
  std::array<int32_t, 3> otherIds{-1, -1, -1};
  bool keyboard = false;
  bool ready = false;

  // The device's buffered events (at most 100); 0 unless it is ready.
  int ReadEvents(platform::padprobe::PadEvent* out);
  // True when what was buffered holds a key going down, a press of buttons 0 to 9 or
  // the first hat pushed up or down.
  bool AnyButtonDown();
};

class DeviceTable {
 public:
  // Enumerates the source's devices into the table. A device seen again under an
  // identity already in the table takes that record over; past 25 devices the rest
  // are left out.
  void Enumerate(platform::padprobe::PadSource& source);
  int count() const { return count_; }
  ProbeDevice& device(int i) { return devices_[static_cast<size_t>(i)]; }
  // The first device, in table order, whose buffered events show a press; -1 if none.
  int FindPressed();
  // Reads every device once to drop what is buffered.
  void PollAllDevices();

 private:
  std::array<ProbeDevice, kMaxProbeDevices> devices_;
  int count_ = 0;
};

// "Button:<offset>Value:<data>" of one event.
std::string EventLine(const platform::padprobe::PadEvent& e);

}  // namespace padprobe
