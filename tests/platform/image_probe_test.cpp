// The size check before decoding: headers of pictures too large for the game are
// refused from their first bytes, whatever the file claims to hold after them.
#include "platform/image_probe.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/support/test_support.h"

namespace {

void PutBig32(std::string& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// The signature and header chunk of a PNG: all a size check may need.
std::string PngHeader(uint32_t width, uint32_t height) {
  std::string out("\x89PNG\r\n\x1A\n", 8);
  PutBig32(out, 13);
  out += "IHDR";
  PutBig32(out, width);
  PutBig32(out, height);
  out += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA, no interlace
  PutBig32(out, 0);                               // checksum (not checked for a size)
  return out;
}

// A BMP's file and info headers.
std::string BmpHeader(int32_t width, int32_t height) {
  std::string out = "BM";
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  put32(54);
  put32(0);
  put32(54);
  put32(40);
  put32(static_cast<uint32_t>(width));
  put32(static_cast<uint32_t>(height));
  out += std::string("\x01\x00\x18\x00", 4);  // one plane, 24 bits
  out += std::string(24, '\0');
  return out;
}

// A JPEG's start, an application block, then its frame header.
std::string JpegHeader(uint16_t width, uint16_t height) {
  std::string out("\xFF\xD8\xFF\xE0\x00\x04" "ab", 8);
  out += std::string("\xFF\xC0\x00\x11\x08", 5);
  out.push_back(static_cast<char>(height >> 8));
  out.push_back(static_cast<char>(height & 0xFF));
  out.push_back(static_cast<char>(width >> 8));
  out.push_back(static_cast<char>(width & 0xFF));
  out += std::string(10, '\x01');
  return out;
}

}  // namespace

TEST(ImageProbe, SizesTheGameCannotDrawAreRefusedFromTheHeader) {
  struct Case {
    const char* name;
    std::string bytes;
    platform::ImageProbe expected;
    int width, height;
  };
  const int side = platform::kMaxImageSide;
  const std::vector<Case> cases = {
      {"small PNG", PngHeader(640, 480), platform::ImageProbe::kFits, 640, 480},
      {"largest square", PngHeader(4096, 4096), platform::ImageProbe::kFits, 4096, 4096},
      {"longest strip", PngHeader(side, 16), platform::ImageProbe::kFits, side, 16},
      {"16384 square", PngHeader(16384, 16384), platform::ImageProbe::kTooLarge, 16384, 16384},
      {"one pixel too many", PngHeader(4097, 4096), platform::ImageProbe::kTooLarge, 4097, 4096},
      {"side too long", PngHeader(side + 1, 1), platform::ImageProbe::kTooLarge, side + 1, 1},
      {"BMP too large", BmpHeader(20000, 20000), platform::ImageProbe::kTooLarge, 20000, 20000},
      {"BMP small", BmpHeader(32, 32), platform::ImageProbe::kFits, 32, 32},
      {"JPEG", JpegHeader(800, 600), platform::ImageProbe::kFits, 800, 600},
      {"JPEG too large", JpegHeader(16384, 16384), platform::ImageProbe::kTooLarge, 16384, 16384},
      // A Huffman table claiming more codes than fit, and no frame header.
      {"JPEG with a bad table first", std::string("\xFF\xD8\xFF\xC4\xD8\xFF", 6) + std::string(100, '\0'),
       platform::ImageProbe::kNotImage, 0, 0},
      {"not an image", std::string("hello, not a picture"), platform::ImageProbe::kNotImage, 0, 0},
      {"empty", std::string(), platform::ImageProbe::kNotImage, 0, 0},
      {"PNG cut in its header", PngHeader(64, 64).substr(0, 20), platform::ImageProbe::kNotImage, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::ImageHeader header;
    EXPECT_EQ(platform::ProbeImage(c.bytes, &header), c.expected);
    if (c.expected != platform::ImageProbe::kNotImage) {
      EXPECT_EQ(header.width, c.width);
      EXPECT_EQ(header.height, c.height);
    }
    EXPECT_EQ(platform::ImageFitsTheGame(c.bytes, c.name), c.expected == platform::ImageProbe::kFits);
  }
}

TEST(ImageProbe, FilesAreProbedAndRefusalsLogged) {
  testsupport::TempDir dir;
  static std::vector<std::string> lines;
  lines.clear();
  platform::SetFileNoticeSink([](const std::string& line) { lines.push_back(line); });
  dir.WriteBytes("huge.png", PngHeader(16384, 16384));
  dir.WriteBytes("fine.png", PngHeader(256, 128));
  platform::ImageHeader header;
  EXPECT_EQ(platform::ProbeImageFile(dir.Path("fine.png"), &header), platform::ImageProbe::kFits);
  EXPECT_EQ(header.width, 256);
  EXPECT_EQ(platform::ProbeImageFile(dir.Path("huge.png")), platform::ImageProbe::kTooLarge);
  EXPECT_EQ(platform::ProbeImageFile(dir.Path("missing.png")), platform::ImageProbe::kNotImage);
  EXPECT_FALSE(platform::ImageFitsTheGame(dir.ReadBytes("huge.png"), "huge.png"));
  platform::SetFileNoticeSink(nullptr);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Image too large, not loaded: huge.png (16384x16384)");
}
