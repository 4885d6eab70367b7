// Bitmap fonts on tiny picture fixtures: loading by code, measuring, justification,
// highlights, case, length limits and font choice, read from the Recording log.
#include <gtest/gtest.h>

#include "gfx_fixtures.h"
#include "graphics/bitmap_font.h"
#include "graphics/game_assets.h"
#include "platform/gfx/recording_device.h"
#include "test_support.h"

namespace {

namespace gfx = platform::gfx;
using graphics::FontManager;

class BitmapFontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.MakeDir("fonts/Big");
    dir.MakeDir("fonts/big2");
    // 'A' 8 wide, 'B' 16 wide (named with a leading zero), space 4 wide, all 16 high.
    ASSERT_TRUE(gfxtest::WritePng(dir.Path("fonts/Big/65.png"), 8, 16, 0xFFFFFFFF));
    ASSERT_TRUE(gfxtest::WritePng(dir.Path("fonts/Big/066.png"), 16, 16, 0xFFFFFFFF));
    ASSERT_TRUE(gfxtest::WritePng(dir.Path("fonts/Big/32.png"), 4, 16, 0xFFFFFFFF));
    ASSERT_TRUE(gfxtest::WritePng(dir.Path("fonts/Big/C.png"), 50, 16, 0xFFFFFFFF));    // code 0: ignored
    ASSERT_TRUE(gfxtest::WritePng(dir.Path("fonts/Big/300.png"), 50, 16, 0xFFFFFFFF));  // past 255: ignored
    ASSERT_TRUE(gfxtest::WritePng(dir.Path("fonts/big2/65.png"), 2, 16, 0xFFFFFFFF));
    fonts.Init(&device, &assets);
    ASSERT_TRUE(fonts.LoadAll(dir.WPath("fonts/")));
    device.ClearLog();
  }
  // Left and right edges of each drawn glyph.
  std::vector<std::pair<float, float>> Edges() const {
    std::vector<std::pair<float, float>> out;
    for (const auto& d : device.draws) {
      float lo = 1e9f, hi = -1e9f;
      for (const auto& v : d.vertices) {
        lo = std::min(lo, v.world.x);
        hi = std::max(hi, v.world.x);
      }
      out.emplace_back(lo, hi);
    }
    return out;
  }
  testsupport::TempDir dir;
  gfx::RecordingRenderDevice device;
  graphics::GameAssets assets{&device};
  FontManager fonts;
};

TEST_F(BitmapFontTest, LoadsCodesFromNumberedFiles) {
  EXPECT_EQ(fonts.FontCount(), 2u);
  const graphics::BitmapFont* big = fonts.FindFont(u"BIG");
  ASSERT_NE(big, nullptr);
  EXPECT_NE(big->glyphs['A'].texture, nullptr);
  EXPECT_NE(big->glyphs['B'].texture, nullptr);
  EXPECT_NE(big->glyphs[' '].texture, nullptr);
  for (int c = 0; c < 256; ++c)
    if (c != 'A' && c != 'B' && c != ' ') {
      EXPECT_EQ(big->glyphs[c].texture, nullptr) << c;
    }
}

TEST_F(BitmapFontTest, MeasureTable) {
  const graphics::BitmapFont& big = *fonts.FindFont(u"Big");
  struct Case {
    std::u16string text;
    float size;
    float width;
  };
  const Case cases[] = {
      {u"AB", 0.0f, 48.0f},           // pixel widths, 2 units a pixel
      {u"AB", 4.0f, 24.0f},           // 2 x size high: A 8, B 16 wide
      {u"A B", 0.0f, 56.0f},
      {u"A\tB", 0.0f, 48.0f},         // a tab takes no room
      {u"A\u0100B", 0.0f, 48.0f},     // nor does a code past 255
      {u"Ac", 0.0f, 16.0f},           // nor a code without a picture
      {u"", 0.0f, 0.0f},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(FontManager::MeasureText(big, c.text, c.size), c.width);
}

TEST_F(BitmapFontTest, JustificationTable) {
  struct Case {
    float justification;
    float scaleX;
    float firstLeft;
  };
  // "AB" is 48 units wide at size 0.
  const Case cases[] = {{0.0f, 1.0f, 100.0f}, {0.5f, 1.0f, 76.0f}, {1.0f, 1.0f, 52.0f}, {0.5f, 2.0f, 52.0f}};
  for (const Case& c : cases) {
    graphics::Transform t;
    t.position.x = 100.0f;
    t.justification.x = c.justification;
    t.scale.x = c.scaleX;
    device.ClearLog();
    ASSERT_TRUE(fonts.DrawText(&t, 0, 0, -1, -1, u"AB", u"Big", 0.0f));
    auto edges = Edges();
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_NEAR(edges[0].first, c.firstLeft, 1e-3) << c.justification;
    EXPECT_NEAR(edges[0].second, edges[1].first, 1e-3) << "glyphs sit edge to edge";
    EXPECT_NEAR(edges[1].second - edges[0].first, 48.0f * c.scaleX, 1e-3);
  }
}

TEST_F(BitmapFontTest, HighlightCaseAndLengthTable) {
  struct Case {
    const char* what;
    int32_t textCase, maxLength, first, last;
    std::u16string text;
    std::vector<bool> highlighted;  // per drawn glyph
  };
  const Case cases[] = {
      {"third to fifth highlighted", 0, 0, 2, 4, u"ABABAB", {false, false, true, true, true, false}},
      {"first after last: none", 0, 0, 4, 2, u"ABAB", {false, false, false, false}},
      {"length limit", 0, 3, -1, -1, u"ABABA", {false, false, false}},
      {"limit past the end", 0, 9, -1, -1, u"AB", {false, false}},
      {"upper case", 1, 0, -1, -1, u"ab", {false, false}},
      {"lower case leaves nothing drawable", 2, 0, -1, -1, u"AB", {}},
  };
  graphics::Transform t;
  t.colour = {1, 0, 0};
  t.highlight = {0, 0, 1};
  for (const Case& c : cases) {
    device.ClearLog();
    EXPECT_TRUE(fonts.DrawText(&t, c.textCase, c.maxLength, c.first, c.last, c.text, u"big", 0.0f)) << c.what;
    ASSERT_EQ(device.draws.size(), c.highlighted.size()) << c.what;
    for (size_t i = 0; i < c.highlighted.size(); ++i) {
      glm::vec4 expected = c.highlighted[i] ? glm::vec4(0, 0, 1, 1) : glm::vec4(1, 0, 0, 1);
      EXPECT_EQ(device.draws[i].state.material.diffuse, expected) << c.what << " glyph " << i;
      EXPECT_EQ(glm::vec3(device.draws[i].state.material.emissive), glm::vec3(expected)) << c.what;
    }
  }
}

TEST_F(BitmapFontTest, LaterFontOfTheSameNameWinsAndMissingDrawsNothing) {
  ASSERT_TRUE(fonts.LoadFont(dir.WPath("fonts/big2/"), u"bIG"));
  graphics::Transform t;
  ASSERT_TRUE(fonts.DrawText(&t, 0, 0, -1, -1, u"A", u"Big", 0.0f));
  auto edges = Edges();
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_NEAR(edges[0].second - edges[0].first, 4.0f, 1e-3);  // the 2-pixel picture
  device.ClearLog();
  EXPECT_FALSE(fonts.DrawText(&t, 0, 0, -1, -1, u"A", u"Nope", 0.0f));
  t.alpha = 0.001f;
  EXPECT_FALSE(fonts.DrawText(&t, 0, 0, -1, -1, u"A", u"Big", 0.0f));
  EXPECT_TRUE(device.draws.empty());
  FontManager empty;
  empty.Init(&device, &assets);
  t.alpha = 1.0f;
  EXPECT_FALSE(empty.DrawText(&t, 0, 0, -1, -1, u"A", u"Big", 0.0f));
}

TEST_F(BitmapFontTest, RotatedStringTurnsAboutItsAnchor) {
  graphics::Transform t;
  t.position = {100, 0, 0};
  t.rotation.z = 3.14159265f;  // half a turn: the string lies left of the anchor
  ASSERT_TRUE(fonts.DrawText(&t, 0, 0, -1, -1, u"AB", u"Big", 0.0f));
  auto edges = Edges();
  ASSERT_EQ(edges.size(), 2u);
  EXPECT_NEAR(edges[0].second, 100.0f, 1e-3);
  EXPECT_NEAR(edges[1].first, 52.0f, 1e-3);
}

}  // namespace
