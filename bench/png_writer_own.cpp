// The picture generators' writer as they use it, with its own deflate.
#include <string>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "png_writers.h"

namespace pngbench {

namespace {
void Append(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
}
}  // namespace

std::string EncodeOwnDeflate(int width, int height, const uint8_t* rgba, int filter, int level) {
  stbi_write_force_png_filter = filter;
  stbi_write_png_compression_level = level;
  std::string out;
  if (!stbi_write_png_to_func(Append, &out, width, height, 4, rgba, width * 4)) out.clear();
  return out;
}

}  // namespace pngbench
