// Bakes one bitmap font: a PNG per character code 32..255, named "<code>.png".
//   velorin_font_baker <font file> <pixel size> <output folder>
// Codes are Windows-1252 (Latin-1 with the printable 0x80..0x9F extras). Every
// picture of a font has the same height with the baseline on the same row, and is
// as wide as the glyph's advance, so glyphs set edge to edge sit on one line. Glyphs
// are white; their coverage is the alpha, tinted when drawn. Codes the code page
// leaves undefined get an empty picture a space wide.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace fs = std::filesystem;

namespace {

// Unicode code points of Windows-1252's 0x80..0x9F; 0 where the code page has none.
constexpr uint32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t CodePoint(int code) {
  if (code >= 0x80 && code <= 0x9F) return kHighControls[code - 0x80];
  return static_cast<uint32_t>(code);
}

// The dot of "i" and "j" sits a few pixels over the stem; the pictures are drawn at a
// fraction of their size, where so narrow a gap closes and "i" reads as "l". The dot
// is lifted until the gap is kMinDotGap of the picture's height, as far as the
// picture's top allows; everything else of the glyph stays where it was.
constexpr float kMinDotGap = 0.12f;

void OpenDotGap(std::vector<uint8_t>& rgba, int width, int height) {
  auto inked = [&](int y) {
    for (int x = 0; x < width; ++x)
      if (rgba[(static_cast<size_t>(y) * width + x) * 4 + 3] != 0) return true;
    return false;
  };
  int dotTop = 0;
  while (dotTop < height && !inked(dotTop)) ++dotTop;
  int dotEnd = dotTop;
  while (dotEnd < height && inked(dotEnd)) ++dotEnd;
  int stemTop = dotEnd;
  while (stemTop < height && !inked(stemTop)) ++stemTop;
  if (dotTop >= height || stemTop >= height || stemTop == dotEnd) return;  // no separate dot
  const int wanted = static_cast<int>(std::ceil(kMinDotGap * static_cast<float>(height)));
  const int lift = std::min(wanted - (stemTop - dotEnd), dotTop - 1);
  if (lift <= 0) return;
  for (int y = dotTop; y < dotEnd; ++y) {
    uint8_t* from = &rgba[static_cast<size_t>(y) * width * 4];
    uint8_t* to = &rgba[static_cast<size_t>(y - lift) * width * 4];
    for (int x = 0; x < width; ++x) {
      to[x * 4 + 3] = from[x * 4 + 3];
      from[x * 4 + 3] = 0;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <font file> <pixel size> <output folder>\n", argv[0]);
    return 2;
  }
  const int pixel_size = std::atoi(argv[2]);
  if (pixel_size < 4 || pixel_size > 512) {
    std::fprintf(stderr, "pixel size %s out of range 4..512\n", argv[2]);
    return 2;
  }
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, argv[1], 0, &face) != 0) {
    std::fprintf(stderr, "could not open font %s\n", argv[1]);
    return 1;
  }
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_size));
  // One line box for every glyph: the face's ascender above the baseline and its
  // descender below, a pixel of room at either end.
  const int ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6) + 1;
  const int descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6) + 1;
  const int height = ascent + descent;
  FT_Load_Char(face, ' ', FT_LOAD_DEFAULT);
  const int space_advance = std::max(1, static_cast<int>((face->glyph->advance.x + 32) >> 6));

  fs::path folder = argv[3];
  std::error_code error;
  fs::create_directories(folder, error);
  int failed = 0;
  for (int code = 32; code <= 255; ++code) {
    uint32_t point = CodePoint(code);
    int width = space_advance;
    std::vector<uint8_t> rgba;
    bool drawn = point != 0 && FT_Load_Char(face, point, FT_LOAD_RENDER) == 0;
    if (drawn) width = std::max(1, static_cast<int>((face->glyph->advance.x + 32) >> 6));
    rgba.assign(static_cast<size_t>(width) * height * 4, 0);
    for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = rgba[i + 1] = rgba[i + 2] = 255;
    if (drawn) {
      const FT_Bitmap& bitmap = face->glyph->bitmap;
      const int left = face->glyph->bitmap_left;
      const int top = ascent - face->glyph->bitmap_top;
      for (int y = 0; y < static_cast<int>(bitmap.rows); ++y) {
        for (int x = 0; x < static_cast<int>(bitmap.width); ++x) {
          // Ink beyond the advance box (a few overhanging glyphs) is clipped: the
          // picture's width must stay the advance.
          int px = left + x, py = top + y;
          if (px < 0 || px >= width || py < 0 || py >= height) continue;
          uint8_t a = bitmap.buffer[y * bitmap.pitch + x];
          rgba[(static_cast<size_t>(py) * width + px) * 4 + 3] = a < 3 ? 0 : a;
        }
      }
    }
    if (drawn && (code == 'i' || code == 'j')) OpenDotGap(rgba, width, height);
    std::string path = (folder / (std::to_string(code) + ".png")).string();
    if (!stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4)) {
      std::fprintf(stderr, "could not write %s\n", path.c_str());
      ++failed;
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return failed == 0 ? 0 : 1;
}
