// Every character the shipped language files and default theme documents use has a
// glyph with ink in the generated bitmap fonts, in both places fonts are read from.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "core/utils.h"
#include "platform/gfx/device.h"

namespace {

namespace fs = std::filesystem;

std::u16string ReadUtf8File(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return ToWide(s.str());
}

std::set<char16_t> CharactersOfShippedTexts(std::vector<std::string>* sources) {
  std::set<char16_t> used;
  const fs::path content = fs::path(VELORIN_TEST_SOURCE_DIR) / "content";
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(content / "languages")) {
    if (e.path().extension() == ".txt") files.push_back(e.path());
  }
  if (fs::exists(content / "themes")) {
    for (const auto& e : fs::recursive_directory_iterator(content / "themes")) {
      if (e.path().extension() == ".ini") files.push_back(e.path());
    }
  }
  for (const fs::path& f : files) {
    sources->push_back(f.string());
    for (char16_t c : ReadUtf8File(f)) {
      if (c != u'\r' && c != u'\n' && c != u'\t' && c != 0xFEFF) used.insert(c);
    }
  }
  return used;
}

bool IsBlank(char16_t c) { return c == u' ' || c == 0xA0 || c == 0xAD; }

bool HasInk(const platform::gfx::ImageData& image) {
  for (size_t i = 3; i < image.rgba.size(); i += 4) {
    if (image.rgba[i] != 0) return true;
  }
  return false;
}

TEST(GlyphCoverage, GeneratedFontsDrawEveryShippedCharacter) {
  std::vector<std::string> sources;
  const std::set<char16_t> used = CharactersOfShippedTexts(&sources);
  ASSERT_GE(sources.size(), 4u) << "the four language files at least";
  ASSERT_FALSE(used.empty());
  const fs::path run(VELORIN_TEST_RUN_DIR);
  for (const char* fontFolder : {"data/fonts/default", "themes/default/dynamic/fonts/default"}) {
    const fs::path folder = run / fontFolder;
    ASSERT_TRUE(fs::is_directory(folder)) << folder << " is made by the content build";
    for (char16_t c : used) {
      EXPECT_TRUE(c >= 32 && c <= 255) << "character code " << unsigned(c) << " has no glyph slot in a bitmap font";
      const fs::path glyph = folder / (std::to_string(unsigned(c)) + ".png");
      platform::gfx::ImageData image;
      ASSERT_TRUE(platform::gfx::DecodeImageFile(glyph.string(), image)) << glyph;
      if (!IsBlank(c)) {
        EXPECT_TRUE(HasInk(image)) << "the glyph of code " << unsigned(c) << " is empty: " << glyph;
      }
    }
  }
}

}  // namespace
