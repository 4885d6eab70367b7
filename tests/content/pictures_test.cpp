// The pictures and bitmap fonts of the built run folder, read the way the game reads
// them: every row of the asset store's fixed texture tables is there, decodes and
// shows something; cut-out margins stay below the alpha-test threshold; the necks
// scroll without a seam; every font has all 224 glyphs on one line box. Last, the
// generators write the same bytes again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include "picture_list.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;
using velorin::pictures::PictureEntry;

namespace {

std::string RunFolder() {
  const char* run = std::getenv("VELORIN_RUN_DIR");
  return run ? std::string(run) : std::string(VELORIN_TEST_RUN_DIR);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;
  const unsigned char* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

bool Decode(const std::string& path, Image* image) {
  int n = 0;
  unsigned char* data = stbi_load(path.c_str(), &image->width, &image->height, &n, 4);
  if (!data) return false;
  image->rgba.assign(data, data + static_cast<size_t>(image->width) * image->height * 4);
  stbi_image_free(data);
  return true;
}

std::vector<PictureEntry> Pictures() {
  std::vector<PictureEntry> entries;
  EXPECT_TRUE(velorin::pictures::ReadPictureList(VELORIN_PICTURE_LIST, &entries));
  return entries;
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// Pictures that add light around a point: their border must be fully clear. (Lane
// pictures repeat along the lane and reach its ends by design.)
bool IsSoftSprite(const std::string& name) {
  if (name.rfind("Lane_", 0) == 0) return false;
  return Contains(name, "Glow") || Contains(name, "Particle") || Contains(name, "Spark") || name == "ring" ||
         name == "spark";
}

// What makes a picture drawn rather than blank: visible texels in its middle, and
// more than one colour.
::testing::AssertionResult IsDrawn(const Image& image) {
  bool centre_visible = false;
  for (int y = image.height / 4; y < image.height * 3 / 4 + 1 && !centre_visible; ++y)
    for (int x = image.width / 4; x < image.width * 3 / 4 + 1; ++x)
      if (image.At(x, y)[3] > 0) {
        centre_visible = true;
        break;
      }
  if (!centre_visible) return ::testing::AssertionFailure() << "nothing visible in the middle";
  std::set<uint32_t> colours;
  for (size_t i = 0; i < image.rgba.size() && colours.size() < 3; i += 4)
    colours.insert(static_cast<uint32_t>(image.rgba[i]) << 24 | image.rgba[i + 1] << 16 | image.rgba[i + 2] << 8 |
                   image.rgba[i + 3]);
  if (colours.size() < 2) return ::testing::AssertionFailure() << "one flat colour";
  return ::testing::AssertionSuccess();
}

TEST(Pictures, FixedTexturesFillTheFiveTablesOnce) {
  // Table sizes and the number of files each holds, as the asset store loads them.
  const std::map<std::string, std::pair<int, int>> tables = {
      {"note", {160, 82}}, {"fret", {131, 98}}, {"tail", {221, 17}}, {"meter", {50, 40}}, {"number", {60, 57}}};
  std::map<std::string, std::set<int>> slots;
  std::set<std::string> paths;
  int rows = 0;
  for (const PictureEntry& entry : Pictures()) {
    EXPECT_TRUE(paths.insert(entry.path).second) << entry.path << " listed twice";
    if (entry.table == "-") continue;
    ++rows;
    auto table = tables.find(entry.table);
    ASSERT_NE(table, tables.end()) << entry.table;
    EXPECT_GE(entry.slot, 0) << entry.path;
    EXPECT_LT(entry.slot, table->second.first) << entry.path;
    EXPECT_TRUE(slots[entry.table].insert(entry.slot).second) << entry.table << " slot " << entry.slot << " twice";
    EXPECT_EQ(entry.path.rfind("themes/default/static/", 0), 0u) << entry.path;
  }
  EXPECT_EQ(rows, 294);
  for (const auto& [name, sizes] : tables) EXPECT_EQ(static_cast<int>(slots[name].size()), sizes.second) << name;
}

TEST(Pictures, EveryListedPictureDecodesAndIsDrawn) {
  const std::string run = RunFolder();
  int checked = 0;
  for (const PictureEntry& entry : Pictures()) {
    SCOPED_TRACE(entry.path);
    Image image;
    ASSERT_TRUE(Decode(run + "/" + entry.path, &image)) << "missing or undecodable";
    ++checked;
    // Texels below the alpha-test threshold are cut to fully clear.
    bool faint = false;
    for (size_t i = 3; i < image.rgba.size(); i += 4) faint |= image.rgba[i] > 0 && image.rgba[i] < 3;
    EXPECT_FALSE(faint) << "has texels with alpha 1 or 2";
    const std::string name = entry.Name();
    if (name == "Fret_Kill_Box") {
      // A depth-only occluder: every texel clear.
      bool clear = true;
      for (size_t i = 3; i < image.rgba.size(); i += 4) clear &= image.rgba[i] == 0;
      EXPECT_TRUE(clear);
      continue;
    }
    EXPECT_TRUE(IsDrawn(image));
    if (IsSoftSprite(name)) {
      bool border_clear = true;
      for (int x = 0; x < image.width; ++x) border_clear &= image.At(x, 0)[3] == 0 && image.At(x, image.height - 1)[3] == 0;
      for (int y = 0; y < image.height; ++y) border_clear &= image.At(0, y)[3] == 0 && image.At(image.width - 1, y)[3] == 0;
      EXPECT_TRUE(border_clear) << "soft sprite reaches its border";
    }
  }
  EXPECT_GT(checked, 294);
}

TEST(Pictures, ScreenPicturesHaveTheSizesTheyAreDrawnAt) {
  struct Size {
    const char* path;
    int width, height;
  };
  // The progress bar is drawn at its pixel size and must be 244 wide; the frame
  // holds it; full-screen pictures are twice 1280 x 720; the icon is square.
  const Size sizes[] = {{"data/2d/loading_bar.png", 244, -1},
                        {"data/2d/loading_background.png", 2560, 1440},
                        {"data/icons/velorin.png", 256, 256}};
  for (const Size& size : sizes) {
    Image image;
    ASSERT_TRUE(Decode(RunFolder() + "/" + size.path, &image)) << size.path;
    EXPECT_EQ(image.width, size.width) << size.path;
    if (size.height > 0) {
      EXPECT_EQ(image.height, size.height) << size.path;
    }
  }
  Image frame, bar;
  ASSERT_TRUE(Decode(RunFolder() + "/data/2d/loading_frame.png", &frame));
  ASSERT_TRUE(Decode(RunFolder() + "/data/2d/loading_bar.png", &bar));
  EXPECT_GT(frame.width, bar.width);
  EXPECT_GT(frame.height, bar.height);
  for (int i = 0; i < 10; ++i)
    EXPECT_TRUE(fs::exists(RunFolder() + "/data/2d/logo_" + std::to_string(i) + ".png")) << "logo " << i;
}

TEST(Pictures, NecksScrollWithoutASeamAndShowLines) {
  int necks = 0;
  for (const auto& file : fs::directory_iterator(RunFolder() + "/themes/default/static/necks")) {
    if (file.path().extension() != ".png") continue;
    ++necks;
    SCOPED_TRACE(file.path().string());
    Image image;
    ASSERT_TRUE(Decode(file.path().string(), &image));
    EXPECT_EQ(image.height % 2, 0);
    // Mean brightness of each row across the neck's middle.
    std::vector<double> rows(image.height, 0.0);
    for (int y = 0; y < image.height; ++y) {
      for (int x = image.width / 4; x < image.width * 3 / 4; ++x) rows[y] += image.At(x, y)[1];
      rows[y] /= image.width / 2;
      EXPECT_EQ(image.At(image.width / 2, y)[3], 255) << "row " << y << " not opaque";
    }
    // The last row runs on into the first as smoothly as neighbouring rows do.
    double seam = std::fabs(rows.back() - rows.front());
    double typical = 0;
    for (int y = 1; y < image.height; ++y) typical += std::fabs(rows[y] - rows[y - 1]);
    typical /= image.height - 1;
    EXPECT_LT(seam, typical * 4 + 2.0);
    // Beat-like lines: rows clearly brighter than the neck's median.
    std::vector<double> sorted = rows;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    double median = sorted[sorted.size() / 2];
    int bright = static_cast<int>(std::count_if(rows.begin(), rows.end(), [&](double r) { return r > median + 40; }));
    EXPECT_GE(bright, 4);
    EXPECT_LT(bright, image.height / 8);
  }
  EXPECT_GE(necks, 2);
}

// Every font folder the game reads: the program's own and the default theme's.
std::vector<fs::path> FontFolders() {
  std::vector<fs::path> folders;
  for (const char* root : {"/data/fonts", "/themes/default/dynamic/fonts"}) {
    for (const auto& font : fs::directory_iterator(RunFolder() + root))
      if (font.is_directory()) folders.push_back(font.path());
  }
  std::sort(folders.begin(), folders.end());
  return folders;
}

TEST(BitmapFonts, EveryGlyphSharesOneLineBox) {
  EXPECT_TRUE(fs::exists(RunFolder() + "/data/fonts/default/65.png"));
  EXPECT_TRUE(fs::exists(RunFolder() + "/themes/default/dynamic/fonts/default/65.png"));
  const std::vector<fs::path> folders = FontFolders();
  ASSERT_FALSE(folders.empty());
  for (const fs::path& folder : folders) {
    SCOPED_TRACE(folder.string());
    int height = -1;
    std::map<int, Image> glyphs;
    for (int code = 32; code <= 255; ++code) {
      Image glyph;
      ASSERT_TRUE(Decode((folder / (std::to_string(code) + ".png")).string(), &glyph)) << "code " << code;
      if (height < 0) height = glyph.height;
      EXPECT_EQ(glyph.height, height) << "code " << code;
      EXPECT_GT(glyph.width, 0) << "code " << code;
      for (size_t i = 0; i < glyph.rgba.size(); i += 4)
        if (glyph.rgba[i + 3] > 0) {
          ASSERT_TRUE(glyph.rgba[i] == 255 && glyph.rgba[i + 1] == 255 && glyph.rgba[i + 2] == 255)
              << "code " << code << " not white";
        }
      glyphs[code] = std::move(glyph);
    }
    auto inked = [](const Image& g) {
      int count = 0;
      for (size_t i = 3; i < g.rgba.size(); i += 4) count += g.rgba[i] > 128;
      return count;
    };
    auto lowest_ink_row = [](const Image& g) {
      for (int y = g.height - 1; y >= 0; --y)
        for (int x = 0; x < g.width; ++x)
          if (g.At(x, y)[3] > 128) return y;
      return -1;
    };
    EXPECT_EQ(inked(glyphs[32]), 0) << "space has ink";
    for (int code : {int('A'), int('g'), int('0'), 0xC9, 0xE9, 0x80}) EXPECT_GT(inked(glyphs[code]), 20) << "code " << code;
    // Letters without descenders rest on one baseline; descenders go below it.
    const int baseline = lowest_ink_row(glyphs['x']);
    for (int code : {int('a'), int('n'), int('H'), int('0'), 0xC9}) EXPECT_NEAR(lowest_ink_row(glyphs[code]), baseline, 1) << "code " << code;
    EXPECT_GT(lowest_ink_row(glyphs['g']), baseline + 2);
    // Widths are advances: a wide letter is wider than a narrow one.
    EXPECT_GT(glyphs['W'].width, glyphs['i'].width);
    // Drawn small, "i" and "j" must not read as "l": the blank rows between the dot and
    // the stem are a tenth of the line box at least, and the stem keeps its place on
    // the baseline.
    auto dot_gap = [](const Image& g) {
      auto inked_row = [&g](int y) {
        for (int x = 0; x < g.width; ++x)
          if (g.At(x, y)[3] > 128) return true;
        return false;
      };
      int y = 0;
      while (y < g.height && !inked_row(y)) ++y;
      while (y < g.height && inked_row(y)) ++y;
      const int dot_end = y;
      while (y < g.height && !inked_row(y)) ++y;
      return y < g.height ? y - dot_end : 0;  // no second piece: no dot
    };
    for (int code : {int('i'), int('j')}) EXPECT_GE(dot_gap(glyphs[code]) * 10, height) << "code " << code;
    EXPECT_NEAR(lowest_ink_row(glyphs['i']), baseline, 1);
    EXPECT_EQ(dot_gap(glyphs['l']), 0) << "l has no dot";
  }
}

TEST(ContentGenerators, WriteTheSameBytesAgain) {
  testsupport::TempDir dir;
  const std::string run = RunFolder();
  const std::pair<const char*, const char*> jobs[] = {{VELORIN_BOARD_PICTURES_PROGRAM, "tails"},
                                                      {VELORIN_METER_PICTURES_PROGRAM, "numbers"}};
  for (const auto& [program, job] : jobs) {
    const std::string command = std::string("\"") + program + "\" \"" + VELORIN_PICTURE_LIST + "\" \"" + dir.path() +
                                "\" \"" + VELORIN_BOLD_FONT + "\" " + job;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  int compared = 0;
  for (const PictureEntry& entry : Pictures()) {
    if (entry.job != "tails" && entry.job != "numbers") continue;
    const std::string fresh = ReadAll(dir.path() + "/" + entry.path);
    EXPECT_FALSE(fresh.empty()) << entry.path;
    EXPECT_TRUE(fresh == ReadAll(run + "/" + entry.path)) << entry.path << " differs";
    ++compared;
  }
  EXPECT_EQ(compared, 17 + 57);

  const std::string font = std::string("\"") + VELORIN_FONT_BAKER_PROGRAM + "\" \"" + VELORIN_DEFAULT_FONT_FILE +
                           "\" " + VELORIN_DEFAULT_FONT_SIZE + " \"" + dir.path() + "/font\"";
  ASSERT_EQ(std::system(font.c_str()), 0) << font;
  for (int code = 32; code <= 255; ++code) {
    const std::string name = "/" + std::to_string(code) + ".png";
    EXPECT_TRUE(ReadAll(dir.path() + "/font" + name) == ReadAll(run + "/data/fonts/default" + name)) << code;
  }

  // A job the list does not have, or one another program paints, is refused and
  // writes nothing.
  const std::string wrong = std::string("\"") + VELORIN_BOARD_PICTURES_PROGRAM + "\" \"" + VELORIN_PICTURE_LIST + "\" \"" +
                            dir.path() + "/other\" \"" + VELORIN_BOLD_FONT + "\" no_such_job 2>/dev/null";
  EXPECT_NE(std::system(wrong.c_str()), 0);
  EXPECT_FALSE(fs::exists(dir.path() + "/other"));
  const std::string foreign = std::string("\"") + VELORIN_BOARD_PICTURES_PROGRAM + "\" \"" + VELORIN_PICTURE_LIST +
                              "\" \"" + dir.path() + "/foreign\" \"" + VELORIN_BOLD_FONT + "\" notes 2>/dev/null";
  EXPECT_NE(std::system(foreign.c_str()), 0);
  EXPECT_FALSE(fs::exists(dir.path() + "/foreign"));
}

}  // namespace
