// Image headers from any bytes: the size check reads only the header, ends, and
// never calls a picture beyond the limits one that fits.
#include <cstdint>
#include <string_view>

#include "platform/image_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  platform::ImageHeader header;
  const platform::ImageProbe probe = platform::ProbeImage(bytes, &header);
  if (probe == platform::ImageProbe::kFits) {
    if (header.width <= 0 || header.height <= 0 || header.width > platform::kMaxImageSide ||
        header.height > platform::kMaxImageSide ||
        static_cast<long long>(header.width) * header.height > platform::kMaxImagePixels)
      __builtin_trap();
  }
  if (platform::ImageFitsTheGame(bytes, "fuzz") != (probe == platform::ImageProbe::kFits)) __builtin_trap();
  return 0;
}
