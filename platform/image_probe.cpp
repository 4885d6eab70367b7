#include "platform/image_probe.h"

#include <climits>
#include <cstdio>
#include <string>

#include "platform/file.h"

// Only the header readers are used here; kept private to this file so the decoder
// elsewhere may compile its own copy.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace platform {

namespace {
// Enough for every header stb reads, a JPEG's frame header after its metadata
// blocks included.
constexpr size_t kHeaderBytes = size_t(1) << 20;
}  // namespace

ImageProbe ProbeImage(std::string_view bytes, ImageHeader* header) {
  if (bytes.empty()) return ImageProbe::kNotImage;
  if (bytes.size() > static_cast<size_t>(INT_MAX)) bytes = bytes.substr(0, INT_MAX);
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()), &w, &h,
                             &channels) ||
      w <= 0 || h <= 0)
    return ImageProbe::kNotImage;
  if (header) *header = {w, h};
  if (w > kMaxImageSide || h > kMaxImageSide || static_cast<long long>(w) * h > kMaxImagePixels)
    return ImageProbe::kTooLarge;
  return ImageProbe::kFits;
}

bool ImageFitsTheGame(std::string_view bytes, std::string_view nameForLog) {
  ImageHeader size;
  const ImageProbe probe = ProbeImage(bytes, &size);
  if (probe == ImageProbe::kTooLarge) {
    FileNotice("Image too large, not loaded: " + std::string(nameForLog) + " (" + std::to_string(size.width) + "x" +
               std::to_string(size.height) + ")");
  }
  return probe == ImageProbe::kFits;
}

ImageProbe ProbeImageFile(std::string_view path, ImageHeader* header) {
  FILE* f = OpenFile(path, "rb");
  if (!f) return ImageProbe::kNotImage;
  std::string head(kHeaderBytes, '\0');
  const size_t n = std::fread(head.data(), 1, head.size(), f);
  std::fclose(f);
  head.resize(n);
  return ProbeImage(head, header);
}

}  // namespace platform
