// Recorded frames on a headless OpenGL context where one layer in the middle of a
// still picture animates: the frames that draw only the damaged part again, from the
// kept copy of the layers beneath it, must give the picture a full draw of the same
// frame gives. Checked with the picture in a framebuffer of the back end's own and in
// the kept back buffer, with a later layer that is depth-tested against the
// animated one (so depth must be restored as well as colour).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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

// Frame f of the scene: two background layers, a bar in the middle that moves and
// changes colour, a translucent band over it and a depth-tested strip behind it.
void DrawScene(gfx::RenderDevice& d, gfx::Texture* checker, int f) {
  gfxtest::BeginFlatScene(d, kSize, kSize, true);
  d.SetRenderState(RenderState::kZWriteEnable, 1);
  d.SetRenderState(RenderState::kZFunc, uint32_t(gfx::CompareFunc::kLess));
  d.Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF000000u, 1.0f, 0);
  d.SetTexture(0, checker);
  Quad(d, 0, 0, kSize, kSize, 0.8f, 0xFFFFFFFFu);  // textured background
  d.SetTexture(0, nullptr);
  d.SetRenderState(RenderState::kAlphaBlendEnable, 1);
  d.SetRenderState(RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
  d.SetRenderState(RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
  Quad(d, 0, 0, kSize, kSize, 0.7f, 0x80204080u);  // translucent wash, writes depth 0.7
  // The bar: moves right 5 pixels a frame, back every fourth, and changes colour, so
  // that the later frames' damage lies inside what the earlier ones asked for.
  const float x = float(2 + 5 * (f % 4));
  const uint32_t colours[3] = {0xFFFF2020u, 0xFF20FF20u, 0xFF2020FFu};
  Quad(d, x, 20, x + 14, 32, 0.3f, colours[f % 3]);
  Quad(d, 0, 24, kSize, 30, 0.2f, 0x6060F0F0u);    // translucent band over the bar
  Quad(d, 0, 28, kSize, 36, 0.5f, 0xFFF0E000u);    // behind the bar, in front of the wash
  d.SetRenderState(RenderState::kAlphaBlendEnable, 0);
  d.EndScene();
}

std::unique_ptr<gfx::Texture> Checker(gfx::RenderDevice& d) {
  gfx::ImageData image;
  image.width = 4;
  image.height = 4;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const bool on = (x + y) % 2 == 0;
      const uint8_t px[4] = {uint8_t(on ? 230 : 40), uint8_t(on ? 180 : 90), uint8_t(on ? 60 : 160), 255};
      image.rgba.insert(image.rgba.end(), px, px + 4);
    }
  return d.CreateTexture(image);
}

// Frames 0..frames-1 of a scene recorded by one device (each must be drawn), the
// picture read back after each, and the draws each frame sent to GL.
template <typename Scene>
void RecordFrames(int width, int height, int frames, bool backBufferKept, const Scene& scene,
                  std::vector<gfx::ImageData>& got, std::vector<uint32_t>* sent = nullptr) {
  got.assign(size_t(frames), {});
  if (sent) sent->assign(size_t(frames), 0);
  auto recorded = gfx::CreateGlRenderDevice(width, height);
  recorded->SetBackBufferKept(backBufferKept);
  auto checker = Checker(*recorded);
  for (int f = 0; f < frames; ++f) {
    recorded->BeginFrameRecording();
    scene(*recorded, checker.get(), f);
    ASSERT_TRUE(recorded->EndFrameRecording(false)) << "frame " << f << " changed and must be drawn";
    if (sent) (*sent)[size_t(f)] = recorded->LastFrameSendStats().sentDraws;
    ASSERT_TRUE(recorded->ReadPixels(got[size_t(f)]));
  }
}

class GlUnderlayTest : public ::testing::TestWithParam<bool> {};

TEST_P(GlUnderlayTest, FramesDrawnFromTheUnderlayMatchFullDraws) {
  gfxtest::GlContext context(kSize, kSize);
  if (!context.Ok()) GTEST_SKIP() << "no OpenGL context could be made: " << context.Error();
  // One device at a time: a device keeps GL objects bound (its vertex array) that
  // another one in the same context would replace.
  constexpr int kFrames = 10;
  std::vector<gfx::ImageData> got;
  ASSERT_NO_FATAL_FAILURE(RecordFrames(kSize, kSize, kFrames, GetParam(), DrawScene, got));
  for (int f = 0; f < kFrames; ++f) {
    // The same frame drawn whole by a device that holds nothing from earlier frames.
    gfx::ImageData want;
    {
      auto full = gfx::CreateGlRenderDevice(kSize, kSize);
      auto checker = Checker(*full);
      DrawScene(*full, checker.get(), f);
      ASSERT_TRUE(full->ReadPixels(want));
    }
    const gfx::ImageData& img = got[size_t(f)];
    ASSERT_EQ(img.rgba.size(), want.rgba.size());
    // Probes along the rows the bar, the band and the strip cover, where the bar is,
    // where it was and where it has not been yet, and one row above it.
    EXPECT_EQ(gfxtest::ProbeMismatches(img, want, {18, 22, 26, 29, 31, 34}, 3, f), 0) << "frame " << f;
  }
}

// A small bar gliding steadily across a still background, as a menu's glint does:
// the frames play the background again (to make the underlay) only now and then, not
// each time the bar reaches a part the underlay did not hold yet, and still paint
// what a full draw paints.
TEST_P(GlUnderlayTest, AGlidingBarHasItsUnderlayMadeOnlyNowAndThen) {
  constexpr int kWide = 256, kHigh = 64, kFrames = 90;
  gfxtest::GlContext context(kWide, kHigh);
  if (!context.Ok()) GTEST_SKIP() << "no OpenGL context could be made: " << context.Error();
  auto scene = [](gfx::RenderDevice& d, gfx::Texture* checker, int f) {
    gfxtest::BeginFlatScene(d, kWide, kHigh, false);
    d.Clear(gfx::clear::kTarget, 0xFF000000u, 1.0f, 0);
    d.SetTexture(0, checker);
    Quad(d, 0, 0, kWide, kHigh, 0.8f, 0xFFFFFFFFu);
    d.SetTexture(0, nullptr);
    d.SetRenderState(RenderState::kAlphaBlendEnable, 1);
    d.SetRenderState(RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
    d.SetRenderState(RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
    Quad(d, 0, 0, kWide, kHigh, 0.7f, 0x80204080u);
    const float x = float(4 + 2 * f);  // 2 pixels a frame, left to right
    Quad(d, x, 24, x + 12, 32, 0.3f, 0xC0FFE0A0u);
    d.SetRenderState(RenderState::kAlphaBlendEnable, 0);
    d.EndScene();
  };
  std::vector<gfx::ImageData> got;
  std::vector<uint32_t> sent;
  ASSERT_NO_FATAL_FAILURE(RecordFrames(kWide, kHigh, kFrames, GetParam(), scene, got, &sent));
  // A frame that makes the underlay sends the background's draws besides the bar.
  uint32_t least = ~0u;
  for (int f = 1; f < kFrames; ++f) least = std::min(least, sent[size_t(f)]);
  int makings = 0;
  for (int f = 1; f < kFrames; ++f) makings += sent[size_t(f)] > least ? 1 : 0;
  EXPECT_LE(makings, 8) << "of " << kFrames - 1 << " frames after the first";
  for (int f : {1, 2, 17, 45, 89}) {
    gfx::ImageData want;
    {
      auto full = gfx::CreateGlRenderDevice(kWide, kHigh);
      auto checker = Checker(*full);
      scene(*full, checker.get(), f);
      ASSERT_TRUE(full->ReadPixels(want));
    }
    EXPECT_EQ(gfxtest::ProbeMismatches(got[size_t(f)], want, {22, 25, 28, 31, 34}, 3, f), 0) << "frame " << f;
  }
}

INSTANTIATE_TEST_SUITE_P(Picture, GlUnderlayTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return std::string(i.param ? "BackBufferKept" : "OwnFramebuffer");
                         });

}  // namespace
