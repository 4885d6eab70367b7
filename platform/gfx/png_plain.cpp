// The plain PNG reader: chunks, inflate into a staging window, unfiltering, RGB widened to RGBA.
#include "platform/gfx/png_plain.h"

#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform::gfx {

namespace {

// Room for the filtered rows inflated in one call (at least one row).
constexpr size_t kWindowBytes = size_t(64) << 10;

uint32_t ReadBe32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Undoes one row's filter: src holds the row's filtered bytes, dst receives the decoded
// row, prior is the decoded row above (null for the first row). The three never
// overlap, so each loop reads only what it must and the compiler is free to keep
// values in registers. Bpp (bytes per pixel) is a template argument so that the
// per-pixel loops of Sub, Average and Paeth unroll over the channels.
template <size_t Bpp>
bool UnfilterRow(int filter, const unsigned char* __restrict src, unsigned char* __restrict dst,
                 const unsigned char* __restrict prior, size_t length) {
  switch (filter) {
    case 0:
      std::memcpy(dst, src, length);
      return true;
    case 1:
      for (size_t i = 0; i < Bpp; ++i) dst[i] = src[i];
      for (size_t i = Bpp; i < length; ++i) dst[i] = uint8_t(src[i] + dst[i - Bpp]);
      return true;
    case 2: {
      if (!prior) {
        std::memcpy(dst, src, length);
        return true;
      }
      // The game's own pictures are all filtered this way: sixteen bytes a step.
      size_t i = 0;
#if defined(__SSE2__)
      for (; i + 16 <= length; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_add_epi8(a, b));
      }
#endif
      for (; i < length; ++i) dst[i] = uint8_t(src[i] + prior[i]);
      return true;
    }
    case 3:
      if (!prior) {
        for (size_t i = 0; i < Bpp; ++i) dst[i] = src[i];
        for (size_t i = Bpp; i < length; ++i) dst[i] = uint8_t(src[i] + (dst[i - Bpp] >> 1));
        return true;
      }
      for (size_t i = 0; i < Bpp; ++i) dst[i] = uint8_t(src[i] + (prior[i] >> 1));
      for (size_t i = Bpp; i < length; i += Bpp)
        for (size_t c = 0; c < Bpp; ++c)
          dst[i + c] = uint8_t(src[i + c] + ((unsigned(dst[i + c - Bpp]) + prior[i + c]) >> 1));
      return true;
    case 4:
      if (!prior) {  // above and above-left are zero: Paeth picks the left byte
        for (size_t i = 0; i < Bpp; ++i) dst[i] = src[i];
        for (size_t i = Bpp; i < length; ++i) dst[i] = uint8_t(src[i] + dst[i - Bpp]);
        return true;
      }
      for (size_t i = 0; i < Bpp; ++i) dst[i] = uint8_t(src[i] + prior[i]);  // left and above-left are zero
      for (size_t i = Bpp; i < length; i += Bpp)
        for (size_t c = 0; c < Bpp; ++c) {
          const int a = dst[i + c - Bpp], b = prior[i + c], cc = prior[i + c - Bpp];
          // Branch-free form of the predictor: the nearest of left, above and
          // above-left to left + above - above-left, ties in that order.
          const int pa = std::abs(b - cc), pb = std::abs(a - cc), pc = std::abs(a + b - 2 * cc);
          const int pick = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : cc);
          dst[i + c] = uint8_t(src[i + c] + pick);
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
  // The filtered rows (each a filter byte and the row's bytes) are inflated many at a
  // time into a staging window of a few dozen kilobytes, which stays in the cache, and
  // unfiltered from there into the picture. Asking zlib for large pieces keeps it in
  // its fast loop, which it leaves whenever fewer than a few hundred bytes of room
  // remain. The window is kept per thread, so a decode thread does not allocate and
  // fault in fresh pages for every picture.
  const size_t stride = 1 + rowBytes;
  const size_t rowsPerWindow = std::max<size_t>(1, kWindowBytes / stride);
  thread_local std::vector<unsigned char> window;
  thread_local std::vector<unsigned char> rgbRows;
  if (window.size() < rowsPerWindow * stride) window.resize(rowsPerWindow * stride);
  if (channels == 3 && rgbRows.size() < 2 * rowBytes) rgbRows.resize(2 * rowBytes);
  unsigned char* rgbRow[2] = {rgbRows.data(), rgbRows.data() + rowBytes};
  const size_t totalBytes = size_t(height) * stride;
  size_t inflated = 0;   // bytes of the filtered rows inflated so far
  size_t windowed = 0;   // bytes in the window, from the start of its first row
  uint32_t y = 0;
  bool streamEnded = false, sawEnd = false;
  // Unfilters the whole rows in the window and moves a part row to its front.
  auto finishRows = [&]() -> bool {
    size_t at = 0;
    for (; windowed - at >= stride; at += stride, ++y) {
      const unsigned char* src = window.data() + at;
      if (channels == 4) {
        unsigned char* row = out.rgba.data() + size_t(y) * rowBytes;
        if (!UnfilterRow<4>(src[0], src + 1, row, y ? row - rowBytes : nullptr, rowBytes)) return false;
        continue;
      }
      unsigned char* row = rgbRow[y & 1];
      if (!UnfilterRow<3>(src[0], src + 1, row, y ? rgbRow[(y + 1) & 1] : nullptr, rowBytes)) return false;
      unsigned char* dst = out.rgba.data() + size_t(y) * size_t(width) * 4;
      for (size_t x = 0; x < width; ++x) {
        dst[x * 4] = row[x * 3];
        dst[x * 4 + 1] = row[x * 3 + 1];
        dst[x * 4 + 2] = row[x * 3 + 2];
        dst[x * 4 + 3] = 255;
      }
    }
    if (at > 0 && windowed > at) std::memmove(window.data(), window.data() + at, windowed - at);
    windowed -= at;
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
      // zlib may hold decoded bits after taking the last input byte, so output is
      // asked for until it gives nothing more. Never more than the picture's rows:
      // what follows them in the stream is ignored.
      while (inflated < totalBytes) {
        const size_t room = std::min(rowsPerWindow * stride - windowed, totalBytes - inflated);
        inflater.z.next_out = window.data() + windowed;
        inflater.z.avail_out = uInt(room);
        const int result = inflate(&inflater.z, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return PlainPng::kNotPlain;
        const size_t produced = room - inflater.z.avail_out;
        inflated += produced;
        windowed += produced;
        if (windowed >= stride && !finishRows()) return PlainPng::kNotPlain;
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
