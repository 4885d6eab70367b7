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
#define STBI_NO_PNM  // its number reader overflows on long digit runs; no game file is PNM
#define STBI_NO_PIC
#define STBI_NO_JPEG  // sizes of JPEG files come from the walk below
#define STBI_NO_PSD
#define STBI_NO_LINEAR
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
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

// A JPEG's size from its frame header, found by walking the marker segments. The
// library's own walk builds the Huffman tables on the way, and a table that claims
// more codes than it may hold writes past its end in that version; the size needs
// none of them.
bool JpegSize(std::string_view b, int& w, int& h) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(b[i]); };
  size_t at = 2;
  while (at + 4 <= b.size()) {
    if (byte(at) != 0xFF) return false;
    const unsigned char marker = byte(at + 1);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      at += 2;
      continue;
    }
    const size_t length = (size_t(byte(at + 2)) << 8) | byte(at + 3);
    if (length < 2) return false;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7 || at + 9 > b.size()) return false;
      h = (byte(at + 5) << 8) | byte(at + 6);
      w = (byte(at + 7) << 8) | byte(at + 8);
      return true;
    }
    if (marker == 0xD9 || marker == 0xDA) return false;  // end of image, or scan data before a frame
    at += 2 + length;
  }
  return false;
}

}  // namespace

ImageProbe ProbeImage(std::string_view bytes, ImageHeader* header) {
  if (bytes.empty()) return ImageProbe::kNotImage;
  if (static_cast<unsigned char>(bytes[0]) == 0xFF) {
    // A JPEG, its start marker after any fill bytes.
    size_t soi = 0;
    while (soi < bytes.size() && static_cast<unsigned char>(bytes[soi]) == 0xFF) ++soi;
    int w = 0, h = 0;
    if (soi == 0 || soi >= bytes.size() || static_cast<unsigned char>(bytes[soi]) != 0xD8 ||
        !JpegSize(bytes.substr(soi - 1), w, h) || w <= 0 || h <= 0)
      return ImageProbe::kNotImage;
    if (header) *header = {w, h};
    if (w > kMaxImageSide || h > kMaxImageSide || static_cast<long long>(w) * h > kMaxImagePixels)
      return ImageProbe::kTooLarge;
    return ImageProbe::kFits;
  }
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
