// Recorded frames on a headless OpenGL context, each compared with a full draw of the
// same frame by a device that holds nothing from earlier ones. The scenes are made
// to catch what a partial frame could get wrong when its packets share device
// states and remember where they reach: runs of draws under one state broken by
// another and taken up again, a small quad among many under one state that moves
// and changes colour, a texture whose pixels change under the same state (between
// frames and in the middle of one), and a layer that leaves a place it covered.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gfx_fixtures.h"
#include "probe_compare.h"
#include "platform/gfx/render_device.h"

namespace {

namespace gfx = platform::gfx;
using gfx::RenderState;
constexpr int kSize = 64;
using gfxtest::Quad;

// A 4 x 4 texture of two colours in a pattern that frame f picks.
std::vector<uint8_t> Pattern(int f) {
  std::vector<uint8_t> rgba;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const bool on = ((x + y + f) % 3) == 0;
      const uint8_t px[4] = {uint8_t(on ? 240 : 30), uint8_t(on ? 60 : 200), uint8_t(40 + 50 * (f % 4)), 255};
      rgba.insert(rgba.end(), px, px + 4);
    }
  return rgba;
}

struct Textures {
  std::unique_ptr<gfx::Texture> still, changing;
};

Textures MakeTextures(gfx::RenderDevice& d) {
  Textures t;
  gfx::ImageData image;
  image.width = image.height = 4;
  const std::vector<uint8_t> seven = Pattern(7);
  image.rgba.assign(seven.begin(), seven.end());
  t.still = d.CreateTexture(image);
  t.changing = d.CreateDynamicTexture(4, 4);
  return t;
}

void Blend(gfx::RenderDevice& d, bool on) {
  d.SetRenderState(RenderState::kAlphaBlendEnable, on ? 1 : 0);
  d.SetRenderState(RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
  d.SetRenderState(RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
}

// Each frame changes one part of the picture, in turn, so that most frames draw only
// that part again: the walking glyph, the changing texture's pixels (between
// frames), the layer that comes and goes, and the sliding band together with new
// pixels for the changing texture in the middle of the frame.
int Phase(int f) { return f % 4; }
int Count(int f, int phase) { return f / 4 + (Phase(f) >= phase ? 1 : 0); }  // of frames 0..f in that phase
int PatternBetween(int f) { return Phase(f) == 1 ? Count(f, 1) : -1; }
int PatternInside(int f) { return Phase(f) == 3 ? 20 + Count(f, 3) : -1; }

void Update(gfx::RenderDevice& d, gfx::Texture& t, int pattern) {
  if (pattern < 0) return;
  const std::vector<uint8_t> pixels = Pattern(pattern);
  d.UpdateTexture(t, pixels.data(), 4, 4);
}

// Frame f of the scene.
void DrawScene(gfx::RenderDevice& d, Textures& t, int f) {
  Update(d, *t.changing, PatternBetween(f));
  gfxtest::BeginFlatScene(d, kSize, kSize, false);
  d.Clear(gfx::clear::kTarget, 0xFF101010u, 1.0f, 0);
  d.SetTexture(0, t.still.get());
  Quad(d, 0, 0, kSize, kSize, 0.5f, 0xFFFFFFFFu);  // background
  d.SetTexture(0, nullptr);
  Blend(d, true);
  // A row of small quads under one state (a text's glyphs), one of which walks along
  // the row in a colour of its own; then a different state, then the first again.
  const int walker = Count(f, 0) % 6;
  for (int i = 0; i < 6; ++i)
    Quad(d, float(2 + 10 * i), 4, float(9 + 10 * i), 12, 0.5f, i == walker ? 0xFFFF4040u : 0xC0E0E0E0u);
  d.SetTexture(0, t.changing.get());
  Quad(d, 4, 16, 28, 30, 0.5f, 0xFFFFFFFFu);  // the changing texture, under its own state
  d.SetTexture(0, nullptr);
  for (int i = 0; i < 6; ++i) Quad(d, float(2 + 10 * i), 34, float(9 + 10 * i), 40, 0.5f, 0x9040F040u);
  // A layer on in some frames only: the frames after it paint its place again with
  // what lies beneath.
  if (Count(f, 2) % 2 == 1) Quad(d, 34, 14, 60, 30, 0.5f, 0xE02040FFu);
  // The draw above shows the texture's pixels before this update, the one below after.
  Update(d, *t.changing, PatternInside(f));
  d.SetTexture(0, t.changing.get());
  Quad(d, 8, 46, 40, 60, 0.5f, 0xFFFFFFFFu);
  d.SetTexture(0, nullptr);
  // A band that slides a pixel at a time over the still part of the picture.
  const float x = float(40 + Count(f, 3) % 7);
  Quad(d, x, 44, x + 12, 58, 0.5f, 0xA0FFD000u);
  Blend(d, false);
  d.EndScene();
}

// The frames a device that keeps its picture gives, each read back after it is drawn.
std::vector<gfx::ImageData> Recorded(bool kept, int frames) {
  std::vector<gfx::ImageData> got(static_cast<size_t>(frames));
  auto d = gfx::CreateGlRenderDevice(kSize, kSize);
  d->SetBackBufferKept(kept);
  Textures t = MakeTextures(*d);
  int partial = 0;
  uint32_t whole = 0;
  for (int f = 0; f < frames; ++f) {
    d->BeginFrameRecording();
    DrawScene(*d, t, f);
    EXPECT_TRUE(d->EndFrameRecording(false)) << "frame " << f << " changed and must be drawn";
    // The first frame is drawn whole; a frame that draws only its changed part
    // sends fewer draws than that.
    const uint32_t sent = d->LastFrameSendStats().sentDraws;
    if (f == 0) whole = sent;
    else if (sent < whole) ++partial;
    EXPECT_TRUE(d->ReadPixels(got[size_t(f)])) << "frame " << f;
  }
  // Otherwise the comparison below would check only whole frames. The frames that
  // change a small part and no texture's pixels show it by their count of draws.
  int small = 0;
  for (int f = 1; f < frames; ++f) small += Phase(f) == 0 || Phase(f) == 2;
  EXPECT_GE(partial, small) << "frames that drew only their changed part";
  return got;
}

gfx::ImageData Full(int f) {
  gfx::ImageData want;
  auto d = gfx::CreateGlRenderDevice(kSize, kSize);
  Textures t = MakeTextures(*d);
  // The changing texture's pixels as the frames before left them.
  for (int g = 0; g < f; ++g) {
    Update(*d, *t.changing, PatternBetween(g));
    Update(*d, *t.changing, PatternInside(g));
  }
  DrawScene(*d, t, f);
  EXPECT_TRUE(d->ReadPixels(want));
  return want;
}

class GlPartialFrameTest : public ::testing::TestWithParam<bool> {};

TEST_P(GlPartialFrameTest, FramesOfSharedStatesMatchFullDraws) {
  gfxtest::GlContext context(kSize, kSize);
  if (!context.Ok()) GTEST_SKIP() << "no OpenGL context could be made: " << context.Error();
  constexpr int kFrames = 14;
  // One device at a time: a device keeps GL objects bound that another would replace.
  const std::vector<gfx::ImageData> got = Recorded(GetParam(), kFrames);
  for (int f = 0; f < kFrames; ++f) {
    const gfx::ImageData want = Full(f);
    const gfx::ImageData& img = got[size_t(f)];
    ASSERT_EQ(img.rgba.size(), want.rgba.size()) << "frame " << f;
    ASSERT_EQ(img.rgba.size(), size_t(kSize) * kSize * 4);
    // Probes over every layer: the glyph row, the textured quads, the layer that
    // comes and goes, the sliding band and the background between them (and off
    // the rows where a texture's texels meet, which rounding may give either).
    EXPECT_EQ(gfxtest::ProbeMismatches(img, want, {2, 6, 10, 18, 24, 28, 36, 38, 48, 52, 57, 62}, 2, f), 0) << "frame " << f;
  }
}

// A frame recorded again unchanged is not drawn, and one whose only change is a
// texture's pixels under the same state is.
TEST(GlPartialFrameSkipTest, ATexturesNewPixelsUnderTheSameStateRedrawTheFrame) {
  gfxtest::GlContext context(kSize, kSize);
  if (!context.Ok()) GTEST_SKIP() << "no OpenGL context could be made: " << context.Error();
  auto d = gfx::CreateGlRenderDevice(kSize, kSize);
  d->SetBackBufferKept(true);
  auto tex = d->CreateDynamicTexture(4, 4);
  ASSERT_TRUE(tex);
  auto frame = [&](int pattern) {
    if (pattern >= 0) {
      const std::vector<uint8_t> pixels = Pattern(pattern);
      d->UpdateTexture(*tex, pixels.data(), 4, 4);
    }
    d->BeginFrameRecording();
    gfxtest::BeginFlatScene(*d, kSize, kSize, false);
    d->SetTexture(0, tex.get());
    for (int i = 0; i < 4; ++i) Quad(*d, float(16 * i), 0, float(16 * i + 16), kSize, 0.5f, 0xFFFFFFFFu);
    d->SetTexture(0, nullptr);
    d->EndScene();
    return d->EndFrameRecording(false);
  };
  struct Step {
    int pattern;  // the texture's new pixels before the frame; -1 for none
    bool drawn;
  };
  const Step steps[] = {{0, true}, {-1, false}, {1, true}, {-1, false}, {-1, false}, {2, true}};
  for (size_t i = 0; i < std::size(steps); ++i) EXPECT_EQ(frame(steps[i].pattern), steps[i].drawn) << "step " << i;
}

INSTANTIATE_TEST_SUITE_P(Picture, GlPartialFrameTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return std::string(i.param ? "BackBufferKept" : "OwnFramebuffer");
                         });

}  // namespace
