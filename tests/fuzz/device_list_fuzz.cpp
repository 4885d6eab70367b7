// "settings/device_list.ini" from any bytes: the reader must end, stay inside the
// text and never fill more records than the caller's 40.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "devices/input/device_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static auto records = std::make_unique<DeviceDesc[]>(kMaxDeviceMatches);
  // Match what the first block names, so matching blocks are exercised too.
  int32_t count = 0;
  if (ParseDeviceList(text, records.get(), &count, -1, -1, "")) {
    if (count < 1 || count > kMaxDeviceMatches) std::abort();
  }
  for (int vid : {0, 1118, 4794}) {
    count = -5;
    const bool ok = ParseDeviceList(text, records.get(), &count, vid, 654, "Pad");
    if (ok ? (count < 1 || count > kMaxDeviceMatches) : count != -5) std::abort();
    for (int32_t i = 0; ok && i < count; ++i) {
      if (records[i].name.size() > DeviceDesc::kNameMax || records[i].friendlyName.size() > DeviceDesc::kNameMax)
        std::abort();
    }
  }
  return 0;
}
