// JPEG pictures decoded by libjpeg-turbo: the decoder with a hardened record on
// damaged and hostile files, in place of the small built-in one.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/gfx/pixel_memory.h"

namespace platform::gfx {

// Decodes a whole JPEG file held in memory to RGBA, top row first. False (and the
// output left empty) for bytes that are no JPEG or that the library finds damaged;
// the caller has checked the size from the header already.
bool DecodeJpeg(std::string_view bytes, int& width, int& height, PixelVector& rgba);

}  // namespace platform::gfx
