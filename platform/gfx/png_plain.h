// A fast reader for the PNG files the game itself ships: 8 bits a channel, RGB or
// RGBA, not interlaced. zlib inflates many rows at a time into a small staging window
// that they are unfiltered from into the decoded picture, which takes well under half
// the time of the general reader and makes no full-size copies. Any other PNG, and any file this reader finds odd, is left to the
// general reader, which then decides; so this path never refuses what it would accept.
#pragma once

#include <string_view>

#include "platform/gfx/device.h"

namespace platform::gfx {

enum class PlainPng { kDecoded, kNotPlain };

// out is width x height RGBA (top row first) on kDecoded, left empty otherwise.
// maxSide bounds each side.
PlainPng DecodePlainPng(std::string_view bytes, int maxSide, ImageData& out);

// False for a PNG file the general reader mishandles though it would refuse it in the
// end: a chunk that claims more bytes than the file holds (it allocates for the claim
// first, up to gigabytes), or an empty first data chunk (it copies from a null
// buffer). True for every other file, PNG or not.
bool PngFitsTheGeneralReader(std::string_view bytes);

}  // namespace platform::gfx
