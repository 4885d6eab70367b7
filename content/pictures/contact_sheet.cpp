// Lays every picture of the run folder on one sheet, each over a checkerboard (so
// transparency shows) with its name under it, grouped by folder; bitmap fonts are
// shown as sample lines set from their glyph pictures. PNGs in the extra folder
// (for example thumbnails of the models) get a section of their own.
//   velorin_contact_sheet_tool <run folder> <sheet.png> <label font> [extra folder]
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include "canvas.h"
#include "lettering.h"

namespace fs = std::filesystem;
using namespace velorin::pictures;

namespace {

constexpr int kColumns = 20;
constexpr int kThumb = 160;
constexpr int kCellW = 168;
constexpr int kCellH = 196;
constexpr int kHeaderH = 44;
constexpr int kFontRowH = 96;

struct Picture {
  std::string label;
  std::vector<uint8_t> rgba;
  int width = 0, height = 0;
};

bool Load(const fs::path& path, Picture* picture) {
  int w = 0, h = 0, n = 0;
  unsigned char* data = stbi_load(path.string().c_str(), &w, &h, &n, 4);
  if (!data) {
    std::fprintf(stderr, "could not decode %s\n", path.string().c_str());
    return false;
  }
  picture->rgba.assign(data, data + static_cast<size_t>(w) * h * 4);
  picture->width = w;
  picture->height = h;
  stbi_image_free(data);
  return true;
}

Canvas ToCanvas(const Picture& picture) {
  Canvas canvas(picture.width, picture.height);
  canvas.Over([&](float x, float y) {
    const uint8_t* p = &picture.rgba[(static_cast<size_t>(y) * picture.width + static_cast<size_t>(x)) * 4];
    return Colour{p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f};
  });
  return canvas;
}

bool IsGlyph(const fs::path& path) {
  // ".../fonts/<font>/<code>.png"
  return path.parent_path().parent_path().filename() == "fonts";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <run folder> <sheet.png> <label font> [extra folder]\n", argv[0]);
    return 2;
  }
  const fs::path run = argv[1];
  Lettering font(argv[3]);
  if (!font.ok()) return 1;

  std::map<std::string, std::vector<fs::path>> sections;  // folder -> pictures
  std::map<std::string, std::map<int, fs::path>> fonts;   // font folder -> code -> glyph
  std::error_code error;
  for (fs::recursive_directory_iterator it(run, error), end; it != end; it.increment(error)) {
    if (error) break;
    const fs::path& path = it->path();
    if (!it->is_regular_file() || path.extension() != ".png") continue;
    std::string folder = fs::relative(path.parent_path(), run).generic_string();
    if (IsGlyph(path)) fonts[folder][std::atoi(path.stem().string().c_str())] = path;
    else sections[folder].push_back(path);
  }
  if (argc > 4 && fs::is_directory(argv[4])) {
    for (const auto& entry : fs::directory_iterator(argv[4]))
      if (entry.path().extension() == ".png") sections["extra: " + fs::path(argv[4]).filename().string()].push_back(entry.path());
  }

  int height = 0;
  for (auto& [folder, paths] : sections) {
    std::sort(paths.begin(), paths.end());
    height += kHeaderH + static_cast<int>((paths.size() + kColumns - 1) / kColumns) * kCellH;
  }
  if (!fonts.empty()) height += kHeaderH + static_cast<int>(fonts.size()) * kFontRowH;
  const int width = kColumns * kCellW;
  Canvas sheet(width, std::max(height, 1));
  sheet.Over([](float, float) { return Hex(0x3A3A3C); });

  TextStyle label;
  label.top = label.bottom = Hex(0xF5F5F7);
  TextStyle header = label;
  header.top = header.bottom = Hex(0xFFB340);
  int y = 0, count = 0;
  for (const auto& [folder, paths] : sections) {
    font.Draw(sheet, folder + "  (" + std::to_string(paths.size()) + ")", width / 2.0f, y + kHeaderH / 2.0f, 26, header, width - 20.0f);
    y += kHeaderH;
    for (size_t i = 0; i < paths.size(); ++i) {
      int cx = static_cast<int>(i % kColumns) * kCellW, cy = y + static_cast<int>(i / kColumns) * kCellH;
      int tx = cx + (kCellW - kThumb) / 2, ty = cy + 4;
      sheet.Over(tx, ty, tx + kThumb, ty + kThumb, [&](float px, float py) {
        bool dark = ((static_cast<int>(px - tx) / 10) + (static_cast<int>(py - ty) / 10)) % 2;
        return dark ? Hex(0x8E8E93) : Hex(0xC7C7CC);
      });
      Picture picture;
      if (Load(paths[i], &picture)) {
        float scale = std::min(float(kThumb) / picture.width, float(kThumb) / picture.height);
        scale = std::min(scale, 4.0f);
        float w = picture.width * scale, h = picture.height * scale;
        sheet.Place(ToCanvas(picture), tx + (kThumb - w) / 2, ty + (kThumb - h) / 2, w, h);
        ++count;
      }
      std::string name = paths[i].stem().string() + " " + std::to_string(picture.width) + "x" + std::to_string(picture.height);
      font.Draw(sheet, name, cx + kCellW / 2.0f, ty + kThumb + 16, 13, label, kCellW - 6.0f);
    }
    y += static_cast<int>((paths.size() + kColumns - 1) / kColumns) * kCellH;
  }
  if (!fonts.empty()) {
    font.Draw(sheet, "bitmap fonts", width / 2.0f, y + kHeaderH / 2.0f, 26, header, width - 20.0f);
    y += kHeaderH;
    const std::string sample = "Velorin 0123456789 Quick brown fox! \xC0\xC9\xCE\xD5\xDC \xE0\xE9\xEE\xF5\xFC \x80\xA3\xA9\xBF";
    for (const auto& [folder, glyphs] : fonts) {
      font.Draw(sheet, folder + " (" + std::to_string(glyphs.size()) + " glyphs)", 200, y + kFontRowH / 2.0f, 18, label, 380);
      float x = 420;
      for (unsigned char ch : sample) {
        auto found = glyphs.find(ch);
        if (found == glyphs.end()) continue;
        Picture glyph;
        if (!Load(found->second, &glyph)) continue;
        float scale = 64.0f / glyph.height;
        sheet.Over(static_cast<int>(x), y + 16, static_cast<int>(x + glyph.width * scale) + 1, y + 16 + 64, [](float, float) {
          return Hex(0x1C1C1E);
        });
        sheet.Place(ToCanvas(glyph), x, y + 16.0f, glyph.width * scale, 64);
        x += glyph.width * scale;
      }
      y += kFontRowH;
    }
  }
  if (!sheet.WritePng(argv[2])) return 1;
  std::printf("contact sheet: %d pictures, %zu fonts, %dx%d\n", count, fonts.size(), width, height);
  return 0;
}
