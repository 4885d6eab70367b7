// The picture decoder from any bytes: the size check, then PNG, BMP or TGA by the
// built-in reader or JPEG by libjpeg-turbo. A decoded picture holds exactly its
// pixels and never more than the game allows; anything else is refused.
#include <cstdint>
#include <string_view>

#include "platform/gfx/device.h"
#include "platform/image_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // A few bytes may name a picture of millions of pixels that the game would decode:
  // such runs only cost time here, so they are left to the size check's own target.
  platform::ImageHeader header;
  if (platform::ProbeImage(bytes, &header) == platform::ImageProbe::kFits &&
      static_cast<long long>(header.width) * header.height > 512LL * 512LL)
    return 0;
  platform::gfx::ImageData image;
  if (platform::gfx::DecodeImageBytes(bytes, "fuzz", image)) {
    if (image.width <= 0 || image.height <= 0) __builtin_trap();
    if (image.width > platform::kMaxImageSide || image.height > platform::kMaxImageSide) __builtin_trap();
    if (image.rgba.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4)
      __builtin_trap();
  } else if (!image.rgba.empty()) {
    __builtin_trap();
  }
  return 0;
}
