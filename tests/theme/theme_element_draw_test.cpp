// Drawing images, texts and backgrounds on the Recording back end: anchors, colour
// and alpha, device states of the flags, replacement of texts by child images,
// highlights, value fxs, swapped textures and background fall-backs.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "graphics/bitmap_font.h"
#include "platform/clock.h"
#include "recording_theme.h"
#include "theme/glyph_log.h"
#include "theme/menu_theme.h"

namespace {

namespace gfx = platform::gfx;
using themetest::RecordingTheme;
using themetest::RectOf;

constexpr const char* kDir = "themes/default/dynamic/";
constexpr std::u16string_view kWDir = u"themes/default/dynamic/";

std::string At(const char* relative) { return std::string(kDir) + relative; }

TEST(ThemeImageDraw, ScreenAnchorMovesByTheWindowsAspect) {
  struct Case {
    int width, height;
    const char* screenPos;
    float x, y;
    bool drawn;
  } cases[] = {
      {1920, 1080, "0,0", -1280.0f, 720.0f, true},
      {1280, 720, "50,50", 0.0f, 0.0f, true},
      {1024, 768, "100,100", 960.0f, -720.0f, true},
      {1280, 720, "75,25", 640.0f, 360.0f, true},
      {1280, 0, "50,50", 0.0f, 0.0f, false},  // a minimised window draws nothing
      {0, 720, "50,50", 0.0f, 0.0f, false},
  };
  for (const Case& c : cases) {
    RecordingTheme h(c.width > 0 ? c.width : 16, c.height > 0 ? c.height : 16);
    h.SetWindowSize(c.width, c.height);
    h.WritePicture(At("p.png"), 8, 8);
    h.WriteDocument(At("a.ini"), std::string("<image><path>p.png</path><screen_pos>") + c.screenPos +
                                     "</screen_pos></image>");
    auto theme = h.Load(kWDir, u"a");
    ASSERT_NE(theme, nullptr);
    const auto& draws = h.Render(*theme);
    ASSERT_EQ(draws.size(), c.drawn ? 1u : 0u) << c.screenPos << " " << c.width << "x" << c.height;
    if (!c.drawn) continue;
    const auto r = RectOf(draws[0]);
    EXPECT_NEAR(r.Centre().x, c.x, 0.01f) << c.screenPos;
    EXPECT_NEAR(r.Centre().y, c.y, 0.01f) << c.screenPos;
    EXPECT_NEAR(r.Size().x, 16.0f, 0.01f) << "a pixel is two units at scale 100";
  }
}

TEST(ThemeImageDraw, ColourAlphaAndFlags) {
  RecordingTheme h;
  h.WritePicture(At("p.png"), 8, 8);
  h.WriteDocument(At("c.ini"),
                  "<image><path>p.png</path><colour>100,0,0</colour><alpha>50</alpha></image>"
                  "<image><path>p.png</path><z_clear><no_culling><position>5,0,0</position></image>"
                  "<image><path>p.png</path><alpha>0</alpha></image>");
  auto theme = h.Load(kWDir, u"c");
  ASSERT_NE(theme, nullptr);
  const auto& draws = h.Render(*theme);
  ASSERT_EQ(draws.size(), 2u) << "an invisible image is not drawn";
  EXPECT_EQ(draws[0].state.material.diffuse, gfx::Vec4(1.0f, 0.0f, 0.0f, 0.5f));
  EXPECT_EQ(draws[0].state.render[size_t(gfx::RenderState::kCullMode)], uint32_t(gfx::CullMode::kCounterClockwise));
  EXPECT_EQ(draws[1].state.render[size_t(gfx::RenderState::kCullMode)], uint32_t(gfx::CullMode::kNone));
  ASSERT_EQ(h.device.clears.size(), 1u);
  EXPECT_EQ(h.device.clears[0].flags, gfx::clear::kZBuffer);
  EXPECT_FLOAT_EQ(h.device.clears[0].z, 1.0f);
  EXPECT_EQ(h.device.GetRenderState(gfx::RenderState::kCullMode), uint32_t(gfx::CullMode::kCounterClockwise))
      << "culling comes back after a no_culling element";
}

TEST(ThemeImageDraw, FxsFoldIntoTheElementAndAdditiveAlphaAdds) {
  platform::ScopedFakeClock clock;
  RecordingTheme h;
  h.WritePicture(At("p.png"), 8, 8);
  h.WriteDocument(At("f.ini"),
                  "<image><id>pic</id><path>p.png</path><alpha>50</alpha><scale>50,50,100</scale>"
                  "<fx><target>scale_x</target><fx_type>set</fx_type><end>200</end></fx>"
                  "<fx><id>pic</id><trigger>warning_on</trigger><target>alpha</target><fx_type>set</fx_type>"
                  "<end>25</end><additive_alpha>true</additive_alpha></fx></image>");
  auto theme = h.Load(kWDir, u"f");
  ASSERT_NE(theme, nullptr);
  auto draws = h.Render(*theme);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_NEAR(RectOf(draws[0]).Size().x, 16.0f, 0.01f) << "idle fx started by the load: 0.5 x 2";
  EXPECT_NEAR(RectOf(draws[0]).Size().y, 8.0f, 0.01f);
  EXPECT_FLOAT_EQ(draws[0].state.material.diffuse.a, 0.5f);
  theme->TriggerEvent("pic", "", "warning_on");
  draws = h.Render(*theme);
  EXPECT_FLOAT_EQ(draws[0].state.material.diffuse.a, 0.75f);
  theme->TriggerEvent("pic", "", "warning_off");
  draws = h.Render(*theme);
  EXPECT_FLOAT_EQ(draws[0].state.material.diffuse.a, 0.5f);
  theme->StopAnimations();
  draws = h.Render(*theme);
  EXPECT_NEAR(RectOf(draws[0]).Size().x, 8.0f, 0.01f) << "stopped: back to the element's own look";
  theme->ResetElements();
  draws = h.Render(*theme);
  EXPECT_NEAR(RectOf(draws[0]).Size().x, 16.0f, 0.01f);
}

TEST(ThemeImageDraw, SwappedTexturesAreHeldWhileShown) {
  RecordingTheme h;
  h.WritePicture(At("own.png"), 8, 8);
  h.WriteDocument(At("d.ini"),
                  "<image><id>art</id><dynamic>true</dynamic><path>own.png</path></image>"
                  "<image><id>art</id><path>own.png</path><position>100,0,0</position></image>"
                  "<image><id>banner</id><dynamic>true</dynamic></image>");
  auto theme = h.Load(kWDir, u"d");
  ASSERT_NE(theme, nullptr);
  gfx::ImageData pixels;
  pixels.width = 32;
  pixels.height = 16;
  pixels.rgba.assign(32 * 16 * 4, 0xFF);
  std::shared_ptr<const gfx::Texture> art = h.device.CreateTexture(pixels);
  std::weak_ptr<const gfx::Texture> watch = art;
  theme->SetImageTexture(art, "ART");
  theme->SetImageTexture(art, "banner");
  art.reset();  // the screen lets go of its album art at once
  ASSERT_FALSE(watch.expired()) << "the theme keeps the texture it shows";
  h.Render(*theme);
  EXPECT_EQ(h.DrawsOfSize(32, 16).size(), 2u) << "the dynamic image and the path-less one, at the texture's size";
  EXPECT_EQ(h.DrawsOfSize(8, 8).size(), 1u) << "the image without dynamic keeps its picture";
  const auto swapped = h.DrawsOfSize(32, 16);
  EXPECT_NEAR(RectOf(swapped[0]).Size().x, 64.0f, 0.01f);
  theme->SetImageTexture(nullptr, "art");
  theme->SetImageTexture(nullptr, "banner");
  EXPECT_TRUE(watch.expired()) << "released when no image shows it";
  h.Render(*theme);
  EXPECT_EQ(h.DrawsOfSize(8, 8).size(), 2u);
  EXPECT_EQ(h.device.draws.size(), 2u) << "a dynamic image without a picture of its own draws nothing again";
}

class ThemeTextDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    h.WriteFont("themes/default/dynamic/fonts", "default", u"abcdefghxyz0123456789", 16, 32);
    h.WriteFont("themes/default/dynamic/fonts", "default", u"ABCDEFGHXYZ", 20, 32);
    h.WritePicture(At("true.png"), 6, 6);
    h.WritePicture(At("true2.png"), 10, 10);
    h.WritePicture(At("any.png"), 12, 12);
    ASSERT_TRUE(h.LoadFonts(u"themes/default/dynamic/fonts/"));
  }
  std::unique_ptr<theme::MenuTheme> LoadText(const std::string& document) {
    h.WriteDocument(At("t.ini"), document);
    return h.Load(kWDir, u"t");
  }
  RecordingTheme h;
};

TEST_F(ThemeTextDraw, ChildImagesStandInForWords) {
  auto theme = LoadText(
      "<text><id>flag</id><dynamic>true</dynamic>"
      "<image><replace_id>True</replace_id><path>true.png</path></image>"
      "<image><replace_id>true2</replace_id><path>true2.png</path></image>"
      "<image><generic_replacer>true</generic_replacer><path>any.png</path></image></text>"
      "<text><id>plain</id><dynamic>true</dynamic></text>");
  ASSERT_NE(theme, nullptr);
  struct Case {
    std::u16string text;
    size_t sixes, tens, twelves, glyphs;
  } cases[] = {
      {u"TRUE", 1, 0, 0, 0},
      {u"true2", 0, 1, 0, 0},
      {u"xyz", 0, 0, 1, 0},
      {u"", 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    theme->SetText("flag", c.text);
    theme->SetText("plain", u"");
    h.Render(*theme);
    EXPECT_EQ(h.DrawsOfSize(6, 6).size(), c.sixes) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(h.DrawsOfSize(10, 10).size(), c.tens) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(h.DrawsOfSize(12, 12).size(), c.twelves) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(h.device.draws.size(), c.sixes + c.tens + c.twelves + c.glyphs);
  }
  theme->SetText("plain", u"xyz");
  h.Render(*theme);
  EXPECT_EQ(h.DrawsOfSize(16, 32).size(), 3u) << "a text without children draws its letters";
}

TEST_F(ThemeTextDraw, MaxLengthCaseAndHighlight) {
  auto theme = LoadText(
      "<text><id>t</id><dynamic>true</dynamic><max_length>5</max_length><case>upper</case>"
      "<colour>0,0,100</colour><colour_highlight>100,0,0</colour_highlight><case>shouting</case></text>");
  ASSERT_NE(theme, nullptr);
  theme->SetText("t", u"abcdefgh");
  theme->SetTextHighlight(0, 2, "t");
  const auto& draws = h.Render(*theme);
  ASSERT_EQ(draws.size(), 5u);
  EXPECT_EQ(h.DrawsOfSize(20, 32).size(), 5u) << "upper case glyphs; an unknown case word changes nothing";
  for (size_t i = 0; i < 5; ++i) {
    const gfx::Vec4 d = draws[i].state.material.diffuse;
    EXPECT_EQ(d, i < 3 ? gfx::Vec4(1, 0, 0, 1) : gfx::Vec4(0, 0, 1, 1)) << "character " << i;
  }
  theme->SetTextHighlight(-1, -1, "t");
  h.Render(*theme);
  EXPECT_EQ(h.device.draws[0].state.material.diffuse, gfx::Vec4(0, 0, 1, 1));
}

TEST_F(ThemeTextDraw, ValueFxFollowsTheNumberShown) {
  auto theme = LoadText(
      "<text><id>a</id><dynamic>true</dynamic></text>"
      "<text><id>b</id><dynamic>true</dynamic><position>0,300,0</position>"
      "<fx><target>scale_x</target><fx_type>value</fx_type><start>0</start><end>100</end></fx></text>");
  ASSERT_NE(theme, nullptr);
  theme->SetText("a", u"75");
  theme->SetText("b", u"75");
  const auto& draws = h.Render(*theme);
  ASSERT_EQ(draws.size(), 4u);
  auto span = [&](size_t first) {
    return RectOf(draws[first + 1]).max.x - RectOf(draws[first]).min.x;
  };
  EXPECT_NEAR(span(2) / span(0), 0.75f, 1e-3f);
}

TEST_F(ThemeTextDraw, CharactersWithoutGlyphsAreLeftOutAndLoggedOnce) {
  theme::ForgetLoggedGlyphs();
  auto theme = LoadText("<text><id>t</id><dynamic>true</dynamic></text>");
  ASSERT_NE(theme, nullptr);
  theme->SetText("t", u"a\u00e9a\u20ac\u00e9");
  h.Render(*theme);
  EXPECT_EQ(h.device.draws.size(), 2u) << "only the two a's have pictures";
  h.Render(*theme);
  EXPECT_EQ(h.CountLogLines("No Glyph For Character Code 233 In Font default"), 1u);
  EXPECT_EQ(h.CountLogLines("No Glyph For Character Code 8364 In Font default"), 1u);
}

// A screen sets its texts every frame. Setting the same text again must draw exactly
// what it drew before; a changed text is looked at again for characters without
// pictures, and so is every text once the logged codes were forgotten.
TEST_F(ThemeTextDraw, TextSetAgainDrawsTheSameAndAChangedOneIsCheckedAgain) {
  theme::ForgetLoggedGlyphs();
  auto theme = LoadText("<text><id>t</id><dynamic>true</dynamic></text>");
  ASSERT_NE(theme, nullptr);
  auto rects = [&](const auto& draws) {
    std::vector<std::array<float, 4>> out;
    for (const auto& d : draws) {
      const auto r = RectOf(d);
      out.push_back({r.min.x, r.min.y, r.max.x, r.max.y});
    }
    return out;
  };
  theme->SetText("t", u"a\u00e9aa");
  const auto first = rects(h.Render(*theme));
  ASSERT_EQ(first.size(), 3u);
  for (int frame = 0; frame < 3; ++frame) {
    theme->SetText("t", u"a\u00e9aa");
    EXPECT_EQ(rects(h.Render(*theme)), first) << "frame " << frame;
  }
  EXPECT_EQ(theme->GetText("t"), u"a\u00e9aa");
  EXPECT_EQ(h.CountLogLines("No Glyph For Character Code 233 In Font default"), 1u);

  theme->SetText("t", u"a\u00e8");  // a new missing code in a changed text
  EXPECT_EQ(h.Render(*theme).size(), 1u);
  EXPECT_EQ(h.CountLogLines("No Glyph For Character Code 232 In Font default"), 1u);
  theme->SetText("t", u"aa");
  EXPECT_EQ(h.Render(*theme).size(), 2u);

  theme->SetText("t", u"a\u00e8");
  h.Render(*theme);
  theme::ForgetLoggedGlyphs();
  h.Render(*theme);  // the same text, but the log was forgotten: it is noted again
  EXPECT_EQ(h.CountLogLines("No Glyph For Character Code 232 In Font default"), 2u);
}

TEST_F(ThemeTextDraw, KindsDrawInAFixedOrderWhateverTheDocumentSays) {
  h.WritePicture(At("bg.png"), 32, 18);
  auto theme = LoadText(
      "<text><english>x</english></text><image><path>true.png</path></image>"
      "<background><path>bg.png</path></background><image><path>true2.png</path></image>");
  ASSERT_NE(theme, nullptr);
  const auto& draws = h.Render(*theme);
  ASSERT_EQ(draws.size(), 4u);
  const int expected[4][2] = {{32, 18}, {6, 6}, {10, 10}, {16, 32}};  // background, images in order, text
  for (size_t i = 0; i < 4; ++i) {
    ASSERT_NE(draws[i].state.textures[0], nullptr);
    EXPECT_EQ(draws[i].state.textures[0]->Width(), expected[i][0]) << "draw " << i;
    EXPECT_EQ(draws[i].state.textures[0]->Height(), expected[i][1]) << "draw " << i;
  }
}

TEST(ThemeBackground, PictureFallsBackToTheDefaultTheme) {
  struct Case {
    bool inTheme, inDefault;
    bool loaded;
    size_t fallbackLines;
  } cases[] = {
      {true, false, true, 0},
      {false, true, true, 1},
      {false, false, false, 1},
  };
  for (const Case& c : cases) {
    RecordingTheme h;
    if (c.inTheme) h.WritePicture("themes/t/dynamic/bg.png", 16, 9);
    if (c.inDefault) h.WritePicture("themes/default/dynamic/bg.png", 16, 9);
    h.WriteDocument("themes/t/dynamic/b.ini",
                    "<background><bg_type>IMAGE</bg_type><path>bg.png</path><bg_type>film</bg_type></background>"
                    "<image><path>bg.png</path></image>");
    auto theme = h.Load(u"themes/t/dynamic/", u"b");
    ASSERT_NE(theme, nullptr);
    ASSERT_EQ(theme->Backgrounds().size(), 1u);
    EXPECT_EQ(theme->Backgrounds()[0]->loaded, c.loaded);
    EXPECT_EQ(h.CountLogLines("Failed To Load BG Image: themes/t/dynamic/bg.png Loading Default"), c.fallbackLines);
    theme->TriggerEvent("", "", "hover_on");  // backgrounds take no events
    const auto& draws = h.Render(*theme);
    if (!c.loaded) {
      EXPECT_FALSE(theme->Backgrounds()[0]->Draw());
      continue;
    }
    ASSERT_EQ(draws.size(), 2u) << "the background and then the image";
    const auto r = RectOf(draws[0]);
    EXPECT_NEAR(r.Size().x, 1280.0f, 0.5f) << "stretched over the window";
    EXPECT_NEAR(r.Size().y, 720.0f, 0.5f);
  }
}

TEST(ThemeBackground, VideoBackgrounds) {
  {
    RecordingTheme h;
    h.settings.MENUVIDEOBG = false;
    h.WriteDocument(At("v.ini"), "<background><bg_type>video</bg_type><path>loop.avi</path></background>");
    auto theme = h.Load(kWDir, u"v");
    ASSERT_NE(theme, nullptr);
    EXPECT_FALSE(theme->Backgrounds()[0]->loaded);
    EXPECT_EQ(h.CountLogLines("Video Background Setup Skipped (Disabled)"), 1u);
    EXPECT_FALSE(theme->Backgrounds()[0]->Draw());
    EXPECT_TRUE(theme->ControlVideo(0));
    EXPECT_FALSE(theme->Backgrounds()[0]->ControlVideo(0)) << "no video to command";
  }
  {
    RecordingTheme h;
    h.settings.MENUVIDEOBG = true;
    h.WriteDocument("themes/t/dynamic/v.ini", "<background><bg_type>video</bg_type><path>missing.avi</path></background>");
    auto theme = h.Load(u"themes/t/dynamic/", u"v");
    ASSERT_NE(theme, nullptr);
    EXPECT_FALSE(theme->Backgrounds()[0]->loaded);
    EXPECT_EQ(h.CountLogLines("Could Not Setup Menu Video Background!"), 2u);
    EXPECT_EQ(h.CountLogLines("Failed To Load BG Video: themes/t/dynamic/missing.avi Loading Default"), 1u);
    EXPECT_EQ(theme->Backgrounds()[0]->video, nullptr);
  }
}

TEST(ThemeBackground, StereoDepthOffset) {
  struct Case {
    bool linked;
    int32_t boardDepth;
    float factor;
  } cases[] = {{false, 0, 0.034f}, {false, 5, 0.034f}, {true, 0, 0.008f}, {true, 1, 0.021f}, {true, 2, 0.034f},
               {true, 3, 0.047f}, {true, 4, 0.052f}, {true, 5, -0.012f}, {true, 9, 0.008f}, {true, -1, 0.008f}};
  for (const Case& c : cases) {
    EXPECT_FLOAT_EQ(theme::ThemeBackground::DepthFactor(c.linked, c.boardDepth), c.factor)
        << c.linked << " " << c.boardDepth;
  }
  RecordingTheme h;
  theme::ThemeBackground background;
  background.owner = &h.context;
  background.boardDepthStereoLink = true;
  h.settings.BOARDDEPTH = 1;
  h.settings.STEREOSCOPICMETHOD = 0;
  EXPECT_FLOAT_EQ(background.DepthOffset(), 0.0f);
  h.settings.STEREOSCOPICMETHOD = 2;
  EXPECT_NEAR(background.DepthOffset(), 1280.0f * 0.021f / (1280.0f / 720.0f), 1e-3f);
}

}  // namespace
