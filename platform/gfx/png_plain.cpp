// The plain PNG reader: chunks, row-by-row inflate, unfiltering, RGB widened to RGBA.
#include "platform/gfx/png_plain.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform::gfx {

namespace {

uint32_t ReadBe32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Undoes one row's filter in place: row holds the filtered bytes, prior the row above
// as decoded (null for the first row). bpp is bytes per pixel.
bool Unfilter(int filter, unsigned char* row, const unsigned char* prior, size_t length, size_t bpp) {
  switch (filter) {
    case 0: return true;
    case 1:
      for (size_t i = bpp; i < length; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
      return true;
    case 2:
      if (prior)
        for (size_t i = 0; i < length; ++i) row[i] = uint8_t(row[i] + prior[i]);
      return true;
    case 3:
      for (size_t i = 0; i < length; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0;
        const int up = prior ? prior[i] : 0;
        row[i] = uint8_t(row[i] + ((left + up) >> 1));
      }
      return true;
    case 4:
      for (size_t i = 0; i < length; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0;
        const int up = prior ? prior[i] : 0;
        const int upLeft = prior && i >= bpp ? prior[i - bpp] : 0;
        row[i] = uint8_t(row[i] + Paeth(left, up, upLeft));
      }
      return true;
    default: return false;
  }
}

struct Inflater {
  z_stream z{};
  bool open = false;
  ~Inflater() {
    if (open) inflateEnd(&z);
  }
};

PlainPng Decode(std::string_view bytes, int maxSide, ImageData& out) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t size = bytes.size();
  if (size < 8 + 25 || std::memcmp(data, kSignature, 8) != 0) return PlainPng::kNotPlain;
  size_t at = 8;
  // IHDR first, exactly 13 bytes.
  if (ReadBe32(data + at) != 13 || std::memcmp(data + at + 4, "IHDR", 4) != 0) return PlainPng::kNotPlain;
  const unsigned char* header = data + at + 8;
  const uint32_t width = ReadBe32(header), height = ReadBe32(header + 4);
  const int depth = header[8], colour = header[9];
  if (width == 0 || height == 0 || width > uint32_t(maxSide) || height > uint32_t(maxSide)) return PlainPng::kNotPlain;
  if (depth != 8 || (colour != 2 && colour != 6) || header[10] != 0 || header[11] != 0 || header[12] != 0)
    return PlainPng::kNotPlain;
  at += 8 + 13 + 4;
  const size_t channels = colour == 6 ? 4 : 3;
  const size_t rowBytes = size_t(width) * channels;

  // The stream's two-byte header is read here and the rest inflated raw: the
  // checksum at its end is not worked out, as the general reader does not either
  // (it costs about as much as the unfiltering).
  Inflater inflater;
  if (inflateInit2(&inflater.z, -15) != Z_OK) return PlainPng::kNotPlain;
  inflater.open = true;
  unsigned char streamHeader[2];
  size_t headerHad = 0;
  out.rgba.resize(size_t(width) * size_t(height) * 4);
  // Each row: the filter byte, then the row's bytes. An RGBA row is inflated straight
  // into its place in the picture; an RGB row into a pair of rows, then widened.
  std::vector<unsigned char> filterAndRow(1 + rowBytes), rgbPrior(channels == 3 ? rowBytes : 0);
  uint32_t y = 0;
  size_t filled = 0;  // bytes of the current row (filter byte included) inflated so far
  bool streamEnded = false, sawEnd = false;
  auto rowTarget = [&](size_t offset) -> unsigned char* {
    // The filter byte goes to filterAndRow[0]; the row's bytes to the picture (RGBA)
    // or to filterAndRow (RGB).
    if (channels == 4 && offset > 0) return out.rgba.data() + size_t(y) * rowBytes + (offset - 1);
    return filterAndRow.data() + offset;
  };
  auto finishRow = [&]() -> bool {
    const int filter = filterAndRow[0];
    if (channels == 4) {
      unsigned char* row = out.rgba.data() + size_t(y) * rowBytes;
      return Unfilter(filter, row, y ? row - rowBytes : nullptr, rowBytes, 4);
    }
    unsigned char* row = filterAndRow.data() + 1;
    if (!Unfilter(filter, row, y ? rgbPrior.data() : nullptr, rowBytes, 3)) return false;
    unsigned char* dst = out.rgba.data() + size_t(y) * size_t(width) * 4;
    for (size_t x = 0; x < width; ++x) {
      dst[x * 4] = row[x * 3];
      dst[x * 4 + 1] = row[x * 3 + 1];
      dst[x * 4 + 2] = row[x * 3 + 2];
      dst[x * 4 + 3] = 255;
    }
    std::memcpy(rgbPrior.data(), row, rowBytes);
    return true;
  };

  while (!sawEnd) {
    if (size - at < 12) return PlainPng::kNotPlain;
    const uint32_t length = ReadBe32(data + at);
    const unsigned char* type = data + at + 4;
    if (length > size - at - 12) return PlainPng::kNotPlain;
    const unsigned char* body = data + at + 8;
    at += size_t(length) + 12;
    if (std::memcmp(type, "IDAT", 4) == 0) {
      if (streamEnded) continue;  // stray bytes after the picture, as the general reader allows
      uint32_t skip = 0;
      while (headerHad < 2 && skip < length) streamHeader[headerHad++] = body[skip++];
      if (headerHad < 2) continue;
      if (skip > 0) {
        // Deflate, a window zlib allows, no preset dictionary, and the check bits.
        const unsigned cmf = streamHeader[0], flags = streamHeader[1];
        if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (flags & 0x20) || (cmf * 256 + flags) % 31 != 0)
          return PlainPng::kNotPlain;
      }
      inflater.z.next_in = const_cast<unsigned char*>(body + skip);
      inflater.z.avail_in = length - skip;
      // zlib may hold decoded bits after taking the last input byte, so a row is asked
      // for until it gives nothing more.
      while (y < height) {
        const size_t want = 1 + rowBytes - filled;
        // The filter byte and the row's bytes are not contiguous for RGBA rows.
        const size_t piece = (channels == 4 && filled == 0) ? 1 : want;
        inflater.z.next_out = rowTarget(filled);
        inflater.z.avail_out = uInt(piece);
        const int result = inflate(&inflater.z, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return PlainPng::kNotPlain;
        const size_t produced = piece - inflater.z.avail_out;
        filled += produced;
        if (filled == 1 + rowBytes) {
          if (!finishRow()) return PlainPng::kNotPlain;
          ++y;
          filled = 0;
        }
        if (result == Z_STREAM_END) {
          streamEnded = true;
          break;
        }
        if (result == Z_BUF_ERROR || (inflater.z.avail_in == 0 && produced == 0)) break;
      }
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      sawEnd = true;
    } else if (std::memcmp(type, "IHDR", 4) == 0 || std::memcmp(type, "tRNS", 4) == 0 ||
               std::memcmp(type, "CgBI", 4) == 0 || !(type[0] & 0x20)) {
      // A second header, a transparent colour, another vendor's variant or an unknown
      // critical chunk: the general reader's call. (A suggested palette of an RGB file
      // is critical too, and harmless, but no file of ours has one.)
      return PlainPng::kNotPlain;
    }
  }
  if (y != height) return PlainPng::kNotPlain;
  out.width = int(width);
  out.height = int(height);
  return PlainPng::kDecoded;
}

}  // namespace

bool PngFitsTheGeneralReader(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t size = bytes.size();
  if (size < 8 || std::memcmp(data, "\x89PNG", 4) != 0) return true;
  bool sawData = false;
  for (size_t at = 8; size - at >= 8;) {
    const uint32_t length = ReadBe32(data + at);
    const unsigned char* type = data + at + 4;
    if (length > size - at - 8) return false;
    if (std::memcmp(type, "IDAT", 4) == 0) {
      if (!sawData && length == 0) return false;
      sawData = true;
    }
    if (std::memcmp(type, "IEND", 4) == 0) return true;
    at += size_t(length) + 8 + std::min<size_t>(4, size - at - 8 - length);
  }
  return true;
}

PlainPng DecodePlainPng(std::string_view bytes, int maxSide, ImageData& out) {
  out = ImageData();
  const PlainPng result = Decode(bytes, maxSide, out);
  if (result != PlainPng::kDecoded) out = ImageData();
  return result;
}

}  // namespace platform::gfx
