// Pictures decoded for textures: PNG, BMP and TGA by the small built-in reader, JPEG
// by libjpeg-turbo, every other format refused, and damaged JPEG files refused whole.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "tests/support/test_support.h"

namespace {

using platform::gfx::DecodeImageBytes;
using platform::gfx::ImageData;

// A width x height JPEG whose left half is red and right half blue.
std::string MakeJpeg(int width, int height) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    const bool left = x < width / 2;
    row[static_cast<size_t>(x) * 3 + 0] = left ? 255 : 0;
    row[static_cast<size_t>(x) * 3 + 1] = 0;
    row[static_cast<size_t>(x) * 3 + 2] = left ? 0 : 255;
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&info, &r, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string bytes(reinterpret_cast<const char*>(out), size);
  std::free(out);
  return bytes;
}

// The red, green and blue of one pixel.
std::vector<int> Pixel(const ImageData& image, int x, int y) {
  const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 4;
  return {image.rgba[at], image.rgba[at + 1], image.rgba[at + 2], image.rgba[at + 3]};
}

void ExpectNear(const std::vector<int>& got, const std::vector<int>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 24) << "channel " << i;
}

}  // namespace

TEST(ImageDecode, JpegPicturesDecodeThroughTheHardenedLibrary) {
  const std::string jpeg = MakeJpeg(32, 16);
  ImageData image;
  ASSERT_TRUE(DecodeImageBytes(jpeg, "red_blue.jpg", image));
  EXPECT_EQ(image.width, 32);
  EXPECT_EQ(image.height, 16);
  ASSERT_EQ(image.rgba.size(), 32u * 16u * 4u);
  ExpectNear(Pixel(image, 4, 8), {255, 0, 0, 255});
  ExpectNear(Pixel(image, 28, 8), {0, 0, 255, 255});
}

// A 2 x 2 GIF: header, screen, image descriptor, a two-byte LZW block, trailer.
constexpr unsigned char kTinyGif[] = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0, 0, 0, ',', 0, 0,
                                      0,   0,   2,   0,   2,   0,   0, 2, 2, 'D', 1, 0, ';'};

TEST(ImageDecode, DamagedAndForeignFilesAreRefusedWhole) {
  const std::string jpeg = MakeJpeg(32, 16);
  struct Case {
    const char* name;
    std::string bytes;
  };
  std::string noFrame = jpeg.substr(0, 20);  // the start marker and little else
  std::string badTables = jpeg;
  for (size_t i = 20; i < 200 && i < badTables.size(); ++i) badTables[i] = static_cast<char>(0xFF);
  const Case cases[] = {
      {"a JPEG cut after its first segment", noFrame},
      {"a JPEG whose tables are overwritten", badTables},
      // Formats no game file uses: their readers are not built in.
      {"PNM", std::string("P6\n2 2\n255\n") + std::string(12, '\x7F')},
      {"GIF", std::string(reinterpret_cast<const char*>(kTinyGif), sizeof kTinyGif)},
      {"text", "not a picture at all"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageData image;
    EXPECT_FALSE(DecodeImageBytes(c.bytes, c.name, image));
    EXPECT_TRUE(image.rgba.empty());
    EXPECT_EQ(image.width, 0);
  }
}

// Pictures decoded ahead on another thread come out exactly as a decode at the time
// of use would give them, whatever the file holds or lacks, and in any order taken.
TEST(ImagePrefetch, TakesWhatADirectDecodeGives) {
  testsupport::TempDir dir;
  dir.WriteBytes("wide.jpg", MakeJpeg(96, 32));
  dir.WriteBytes("small.jpg", MakeJpeg(8, 8));
  dir.WriteBytes("broken.png", "\x89PNG\r\n\x1a\n but nothing after it");
  dir.WriteBytes("later.jpg", MakeJpeg(16, 4));
  const std::vector<std::string> listed = {dir.Path("wide.jpg"), dir.Path("missing.png"), dir.Path("broken.png"),
                                           dir.Path("small.jpg")};
  platform::gfx::ImagePrefetch prefetch(listed);
  struct Case {
    std::string path;
    const char* what;
  };
  // Out of list order, one taken twice (the second time it is decoded again), and one
  // never listed.
  const Case cases[] = {{dir.Path("small.jpg"), "listed last, taken first"},
                        {dir.Path("missing.png"), "a missing file"},
                        {dir.Path("broken.png"), "a damaged file"},
                        {dir.Path("wide.jpg"), "listed first"},
                        {dir.Path("wide.jpg"), "taken a second time"},
                        {dir.Path("later.jpg"), "never listed"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImageData direct, taken;
    const bool directOk = platform::gfx::DecodeImageFile(c.path, direct);
    taken.width = 1;  // a refused file leaves nothing of an earlier picture behind
    const bool takenOk = prefetch.Take(c.path, taken);
    EXPECT_EQ(takenOk, directOk);
    if (!directOk) {
      EXPECT_EQ(taken.width, 0);
      EXPECT_TRUE(taken.rgba.empty());
      continue;
    }
    EXPECT_EQ(taken.width, direct.width);
    EXPECT_EQ(taken.height, direct.height);
    EXPECT_EQ(taken.rgba, direct.rgba);
  }
  ImageData wide;
  ASSERT_TRUE(prefetch.Take(dir.Path("wide.jpg"), wide));
  ExpectNear(Pixel(wide, 4, 16), {255, 0, 0, 255});
  ExpectNear(Pixel(wide, 90, 16), {0, 0, 255, 255});
}

// Taking the first picture while the others are still being decoded, then dropping
// the rest: the taken one is whole, and the decoding thread ends with the object.
TEST(ImagePrefetch, UntakenPicturesEndWithTheObject) {
  testsupport::TempDir dir;
  std::vector<std::string> listed;
  for (int i = 0; i < 6; ++i) {
    dir.WriteBytes("p" + std::to_string(i) + ".jpg", MakeJpeg(512, 256));
    listed.push_back(dir.Path("p" + std::to_string(i) + ".jpg"));
  }
  ImageData first;
  {
    platform::gfx::ImagePrefetch prefetch(listed);
    ASSERT_TRUE(prefetch.Take(listed[0], first));
  }
  ASSERT_EQ(first.width, 512);
  ASSERT_EQ(first.rgba.size(), size_t{512} * 256 * 4);
  ExpectNear(Pixel(first, 10, 100), {255, 0, 0, 255});
  ExpectNear(Pixel(first, 500, 100), {0, 0, 255, 255});
}
