// The size check every image passes before it is decoded: the header alone tells
// the width and height, so a picture larger than the game can draw is refused
// before gigabytes of pixels are made from a few bytes.
#pragma once

#include <string_view>

namespace platform {

// The largest side of an image the game decodes, and the largest pixel count (a
// 4096 x 4096 picture is 64 MB of RGBA; nothing the game draws on screen needs more).
constexpr int kMaxImageSide = 8192;
constexpr long long kMaxImagePixels = 4096LL * 4096LL;

enum class ImageProbe {
  kFits,      // a known image format whose size the game can take
  kNotImage,  // no header of a format the decoder knows
  kTooLarge,  // a side or the pixel count beyond the limits above
};

struct ImageHeader {
  int width = 0;
  int height = 0;
};

// Reads the header of an image held in memory (only its first bytes are looked at).
ImageProbe ProbeImage(std::string_view bytes, ImageHeader* header = nullptr);

// The check at a decoder's door: true when the image may be decoded; a picture too
// large is logged with its name ("Image too large, not loaded: ...").
bool ImageFitsTheGame(std::string_view bytes, std::string_view nameForLog);

// The same for a file, reading no more of it than its header needs.
ImageProbe ProbeImageFile(std::string_view path, ImageHeader* header = nullptr);

}  // namespace platform
