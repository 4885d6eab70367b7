// The same writer with zlib doing the deflate (the writer's documented hook).
#include <zlib.h>

#include <cstdlib>
#include <string>

namespace {
unsigned char* ZlibCompress(unsigned char* data, int length, int* outLength, int level) {
  uLongf size = compressBound(uLong(length));
  auto* out = static_cast<unsigned char*>(std::malloc(size));
  if (!out) return nullptr;
  if (compress2(out, &size, data, uLong(length), level) != Z_OK) {
    std::free(out);
    return nullptr;
  }
  *outLength = int(size);
  return out;
}
}  // namespace

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBIW_ZLIB_COMPRESS ZlibCompress
#include <stb_image_write.h>

#include "png_writers.h"

namespace pngbench {

namespace {
void Append(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
}
}  // namespace

std::string EncodeZlibDeflate(int width, int height, const uint8_t* rgba, int filter, int level) {
  stbi_write_force_png_filter = filter;
  stbi_write_png_compression_level = level;
  std::string out;
  if (!stbi_write_png_to_func(Append, &out, width, height, 4, rgba, width * 4)) out.clear();
  return out;
}

}  // namespace pngbench
