// The fast reader of the game's own PNG files: every row filter, RGB and RGBA, odd
// sizes and pictures split over many data chunks come out exactly as written; the PNG
// kinds it does not read, and damaged files, are left to the general reader, which
// decodes or refuses them as before.
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/png_plain.h"

namespace {

namespace gfx = platform::gfx;
using gfx::PlainPng;

std::vector<uint8_t> Noise(size_t bytes, uint32_t seed) {
  std::vector<uint8_t> px(bytes);
  for (size_t i = 0; i < bytes; ++i) {
    seed = seed * 1664525u + 1013904223u;
    // Smooth runs with noise on top, so every filter has something to predict.
    px[i] = uint8_t((i / 7) * 3 + (seed >> 29));
  }
  return px;
}

void Append(std::string& out, const void* data, int length, void*) {
  out.append(static_cast<const char*>(data), size_t(length));
}

std::string EncodePng(int w, int h, int channels, const std::vector<uint8_t>& px, int filter) {
  std::string out;
  stbi_write_force_png_filter = filter;
  stbi_write_png_to_func([](void* ctx, void* data, int size) { Append(*static_cast<std::string*>(ctx), data, size, nullptr); },
                         &out, w, h, channels, px.data(), w * channels);
  stbi_write_force_png_filter = -1;
  return out;
}

uint32_t Be32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
         uint32_t(uint8_t(s[at + 3]));
}

std::string Chunk(const std::string& type, const std::string& body) {
  std::string c;
  for (uint32_t v : {uint32_t(body.size())})
    for (int k = 3; k >= 0; --k) c += char((v >> (8 * k)) & 0xFF);
  c += type + body;
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(c.data() + 4), uInt(c.size() - 4));
  for (int k = 3; k >= 0; --k) c += char((crc >> (8 * k)) & 0xFF);
  return c;
}

// The same file with its data chunk cut into pieces of `piece` bytes, and `extra`
// chunks put in after the header.
std::string Rechunk(const std::string& png, size_t piece, const std::string& extra = "") {
  std::string out = png.substr(0, 8 + 25) + extra;
  std::string data;
  for (size_t at = 8 + 25; at + 12 <= png.size();) {
    const uint32_t length = Be32(png, at);
    const std::string type = png.substr(at + 4, 4);
    if (type == "IDAT") data += png.substr(at + 8, length);
    at += 12 + length;
  }
  for (size_t at = 0; at < data.size(); at += piece) out += Chunk("IDAT", data.substr(at, piece));
  return out + Chunk("IEND", "");
}

std::vector<uint8_t> AsRgba(const std::vector<uint8_t>& px, int channels) {
  if (channels == 4) return px;
  std::vector<uint8_t> rgba;
  for (size_t i = 0; i < px.size(); i += 3) rgba.insert(rgba.end(), {px[i], px[i + 1], px[i + 2], 255});
  return rgba;
}

TEST(PlainPng, EveryFilterAndLayoutComesOutAsWritten) {
  struct Case {
    int w, h, channels, filter;
    size_t piece;  // data chunk size; 0 keeps the writer's single chunk
  };
  const Case cases[] = {
      {1, 1, 4, 0, 0},    {17, 5, 4, 1, 0},   {33, 9, 4, 2, 0},  {64, 3, 4, 3, 0},   {31, 31, 4, 4, 0},
      {1, 40, 3, 0, 0},   {17, 5, 3, 1, 0},   {33, 9, 3, 2, 0},  {63, 4, 3, 3, 0},   {30, 29, 3, 4, 0},
      {200, 120, 4, -1, 0}, {200, 120, 3, -1, 0}, {129, 77, 4, 2, 1}, {129, 77, 3, 4, 7}, {300, 40, 4, 4, 4096},
      // More rows than the reader inflates at once, with rows cut by chunk ends and by
      // the reader's own pieces, and rows so long that a piece holds one or two.
      {100, 700, 4, 4, 0}, {260, 300, 4, 2, 1000}, {257, 301, 3, 3, 333}, {8192, 3, 4, 2, 0}, {8000, 5, 3, 1, 5000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " channels " + std::to_string(c.channels) +
                 " filter " + std::to_string(c.filter) + " piece " + std::to_string(c.piece));
    const std::vector<uint8_t> px = Noise(size_t(c.w) * size_t(c.h) * size_t(c.channels), uint32_t(c.w * 31 + c.h));
    std::string png = EncodePng(c.w, c.h, c.channels, px, c.filter);
    ASSERT_FALSE(png.empty());
    if (c.piece) png = Rechunk(png, c.piece, Chunk("gAMA", std::string("\0\0\xb1\x8f", 4)));
    gfx::ImageData out;
    ASSERT_EQ(gfx::DecodePlainPng(png, 16384, out), PlainPng::kDecoded);
    EXPECT_EQ(out.width, c.w);
    EXPECT_EQ(out.height, c.h);
    EXPECT_TRUE(out.rgba == AsRgba(px, c.channels));
    // The general entry point gives the same.
    gfx::ImageData general;
    ASSERT_TRUE(gfx::DecodeImageBytes(png, "test", general));
    EXPECT_TRUE(general.rgba == out.rgba);
  }
}

TEST(PlainPng, OtherKindsAndDamageGoToTheGeneralReader) {
  const std::vector<uint8_t> grey = Noise(20 * 10, 5), rgba = Noise(20 * 10 * 4, 6);
  const std::string good = EncodePng(20, 10, 4, rgba, 2);
  std::string wide = good;
  wide[8 + 8 + 8] = 16;  // header's bit depth
  std::string laced = good;
  laced[8 + 8 + 12] = 1;  // interlaced
  std::string badStream = good;
  ASSERT_EQ(badStream.substr(8 + 25 + 4, 4), "IDAT");
  badStream[8 + 25 + 8] = 0x79;  // the stream's method: not deflate
  const std::string keyed = Rechunk(EncodePng(20, 10, 3, Noise(600, 7), 0), 1 << 20, Chunk("tRNS", std::string(6, '\0')));
  struct Case {
    const char* name;
    std::string bytes;
    bool generalDecodes;
  };
  const Case cases[] = {
      {"grey", EncodePng(20, 10, 1, grey, 0), true},
      {"grey and alpha", EncodePng(20, 10, 2, Noise(400, 8), 0), true},
      {"a transparent colour", keyed, true},
      {"16 bits a channel", wide, false},  // the data no longer fits the header
      {"interlaced", laced, false},
      {"a stream that is not deflate", badStream, false},
      {"an empty first data chunk, then damage", good.substr(0, 8 + 25) + Chunk("IDAT", "") + "x\xda\x95 junk", false},
      {"a chunk claiming a gigabyte", good.substr(0, 8 + 25) + std::string("\x40\0\0\0IDATx\xda", 10), false},
      {"cut short", good.substr(0, good.size() - 20), false},
      {"header only", good.substr(0, 8 + 25), false},
      {"not a PNG", std::string("GIF89a") + std::string(40, '\0'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gfx::ImageData out;
    out.width = 5;
    EXPECT_EQ(gfx::DecodePlainPng(c.bytes, 16384, out), PlainPng::kNotPlain);
    EXPECT_EQ(out.width, 0);
    EXPECT_TRUE(out.rgba.empty());
    gfx::ImageData general;
    EXPECT_EQ(gfx::DecodeImageBytes(c.bytes, "test", general), c.generalDecodes);
    if (c.generalDecodes) {
      EXPECT_EQ(general.rgba.size(), size_t(20 * 10 * 4));
    }
  }
  // An empty data chunk before the data is allowed.
  gfx::ImageData spaced;
  EXPECT_EQ(gfx::DecodePlainPng(good.substr(0, 8 + 25) + Chunk("IDAT", "") + good.substr(8 + 25), 16384, spaced),
            PlainPng::kDecoded);
  EXPECT_TRUE(spaced.rgba == rgba);
  // A side past the bound is not read here.
  gfx::ImageData out;
  EXPECT_EQ(gfx::DecodePlainPng(good, 19, out), PlainPng::kNotPlain);
  EXPECT_EQ(gfx::DecodePlainPng(good, 20, out), PlainPng::kDecoded);
}

}  // namespace
