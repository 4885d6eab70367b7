#include "platform/gfx/jpeg_decoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "platform/image_probe.h"

namespace platform::gfx {

namespace {

// The library reports fatal errors through a call that must not return: jump back
// to the decode call, which gives up on the file.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnFatalError(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(errors->jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings of damaged data: the result decides

}  // namespace

bool DecodeJpeg(std::string_view bytes, int& width, int& height, PixelVector& rgba) {
  width = height = 0;
  rgba.clear();
  if (bytes.size() < 4 || bytes.size() > 0xFFFFFFFFu) return false;
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnFatalError;
  errors.base.output_message = OnMessage;
  // Everything the jump can skip lives outside this frame's locals that change
  // after setjmp: the output vector is the caller's.
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    rgba.clear();
    rgba.shrink_to_fit();
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  // The frame header may differ from the one the probe found first: check again.
  const long long w = info.image_width, h = info.image_height;
  if (w <= 0 || h <= 0 || w > platform::kMaxImageSide || h > platform::kMaxImageSide ||
      w * h > platform::kMaxImagePixels) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_EXT_RGBA;
  jpeg_start_decompress(&info);
  if (info.output_components != 4 || info.output_width != static_cast<JDIMENSION>(w) ||
      info.output_height != static_cast<JDIMENSION>(h)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  rgba.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  const size_t stride = static_cast<size_t>(w) * 4;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = rgba.data() + static_cast<size_t>(info.output_scanline) * stride;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) break;
  }
  // The buffer is not cleared beforehand, so rows a damaged file never gave are
  // blanked here: the picture is the same on every decode.
  const size_t written = static_cast<size_t>(info.output_scanline) * stride;
  std::fill(rgba.begin() + static_cast<std::ptrdiff_t>(written), rgba.end(), uint8_t{0});
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

}  // namespace platform::gfx
