// "settings/keyboard_keys.ini" from any bytes: the reader must end and keep every
// slot within its ten codes; names it gives have display names of bounded length.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "devices/input/device_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  DeviceDesc d;
  if (!ParseKeyboardKeys(text, d)) std::abort();
  if (d.name.size() > DeviceDesc::kNameMax) std::abort();
  for (const ButtonSlot& s : d.buttons.slots) {
    for (int32_t c : s.codes) {
      if (KeyNames::Name(static_cast<uint32_t>(c)).size() > 32) std::abort();
    }
  }
  return 0;
}
