// PNG writers for the encoding comparison: the picture generators' own writer with a
// chosen row filter, and the same writer handing its deflate to zlib.
#pragma once

#include <cstdint>
#include <string>

namespace pngbench {

// filter: -1 picks one per row (the generators' setting), 0..4 forces one for every row.
std::string EncodeOwnDeflate(int width, int height, const uint8_t* rgba, int filter, int level);
std::string EncodeZlibDeflate(int width, int height, const uint8_t* rgba, int filter, int level);

}  // namespace pngbench
