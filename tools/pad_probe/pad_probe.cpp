#include "tools/pad_probe/pad_probe.h"

namespace padprobe {

using platform::padprobe::PadEvent;

int ProbeDevice::ReadEvents(PadEvent* out) {
  if (!ready || !device) return 0;
  return device->Read(out, platform::padprobe::kMaxBufferedEvents);
}

bool ProbeDevice::AnyButtonDown() {
  PadEvent events[platform::padprobe::kMaxBufferedEvents];
  const int n = ReadEvents(events);
  for (int i = 0; i < n; ++i) {
    const PadEvent& e = events[i];
    const bool down = (e.data & platform::padprobe::kPressed) != 0;
    if (keyboard) {
      if (e.offset < 256 && down) return true;
      continue;
    }
    const uint32_t firstButton = platform::padprobe::kButton0;
    if (e.offset >= firstButton && e.offset <= firstButton + 9 && down) return true;
    if (e.offset == platform::padprobe::kPov0 && (e.data == 0 || e.data == 18000)) return true;
  }
  return false;
}

void DeviceTable::Enumerate(platform::padprobe::PadSource& source) {
  source.Enumerate([this](std::unique_ptr<platform::padprobe::PadDevice> device,
                          const platform::padprobe::PadDeviceInfo& info) {
    ProbeDevice* record = nullptr;
    for (int i = 0; i < count_ && !record; ++i)
      if (devices_[static_cast<size_t>(i)].identity == info.identity) record = &devices_[static_cast<size_t>(i)];
    const bool isNew = record == nullptr;
    if (isNew) {
      if (count_ >= kMaxProbeDevices) return;
      record = &devices_[static_cast<size_t>(count_)];
    }
    record->device = std::move(device);  // an old interface of the same device closes here
    record->identity = info.identity;
    if (!info.name.empty()) record->name = info.name;
    record->keyboard = info.kind == platform::padprobe::PadKind::kKeyboard;
    record->ready = true;
    if (isNew) ++count_;
  });
}

int DeviceTable::FindPressed() {
  for (int i = 0; i < count_; ++i)
    if (devices_[static_cast<size_t>(i)].AnyButtonDown()) return i;
  return -1;
}

void DeviceTable::PollAllDevices() {
  PadEvent events[platform::padprobe::kMaxBufferedEvents];
  for (int i = 0; i < count_; ++i) devices_[static_cast<size_t>(i)].ReadEvents(events);
}

std::string EventLine(const PadEvent& e) {
  return "Button:" + std::to_string(e.offset) + "Value:" + std::to_string(e.data);
}

}  // namespace padprobe
