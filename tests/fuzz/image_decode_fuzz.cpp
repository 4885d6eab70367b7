// The picture decoder from any bytes: the size check, then PNG, BMP or TGA by the
// built-in reader or JPEG by libjpeg-turbo. A decoded picture holds exactly its
// pixels and never more than the game allows; anything else is refused.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/gfx/device.h"
#include "platform/image_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    std::freopen("/dev/null", "w", stderr);  // refusals are said once each
    return true;
  }();
  (void)quiet;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
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
