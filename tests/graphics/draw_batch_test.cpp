// Draws in a row under one state go to GL as one: over the GL stub, which draws reach
// GL and in what order; on a headless context, that a joined draw paints what the
// separate draws paint (blend order, the turned corners of a strip's odd triangles,
// indexed draws' vertices).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gfx_fixtures.h"
#include "platform/gfx/gl_functions.h"
#include "platform/gfx/render_device.h"

namespace {

namespace gfx = platform::gfx;

// GL's primitive modes, as the stub logs them.
constexpr uint32_t kLines = 0x0001, kTriangles = 0x0004, kStrip = 0x0005;

// A screen-space quad from (x0, y0) to (x1, y1) as a strip: top left, top right,
// bottom left, bottom right.
struct Quad {
  gfx::VertexScreenColorTex v[4];
  Quad(float x0, float y0, float x1, float y1, uint32_t argb)
      : v{{x0, y0, 0, 1, argb, 0, 0}, {x1, y0, 0, 1, argb, 1, 0}, {x0, y1, 0, 1, argb, 0, 1}, {x1, y1, 0, 1, argb, 1, 1}} {}
};
const uint32_t kQuadList[6] = {0, 1, 2, 2, 1, 3};  // the same quad as an indexed list

class DrawBatchTest : public ::testing::Test {
 protected:
  DrawBatchTest() {
    gfx::ImageData pixels{2, 2, gfx::PixelVector(16, 200)};
    a = d->CreateTexture(pixels);
    b = d->CreateTexture(pixels);
    geometry = d->CreateStaticGeometry(quad.v, 4, sizeof quad.v[0], kQuadList, 6);
    gfx::StubGlLogDraws(true);
  }
  ~DrawBatchTest() override {
    gfx::StubGlLogDraws(false);
    gfx::StubGlTakeDraws();
  }

  // One held frame of the given draws; returns the draws that reached GL.
  std::vector<gfx::StubDraw> Frame(const std::function<void()>& draws) {
    gfx::StubGlTakeDraws();
    d->BeginFrameRecording();
    d->BeginScene();
    d->SetViewport(gfx::Viewport{0, 0, 320, 240, 0.0f, 1.0f});
    d->SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
    d->SetTexture(0, a.get());
    draws();
    d->EndScene();
    EXPECT_TRUE(d->EndFrameRecording(true));
    return gfx::StubGlTakeDraws();
  }
  void Strip() { d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad.v, sizeof quad.v[0]); }
  void List() { d->DrawIndexedPrimitiveUP(gfx::PrimitiveType::kTriangleList, 4, 2, kQuadList, quad.v, sizeof quad.v[0]); }
  void Lines() { d->DrawPrimitiveUP(gfx::PrimitiveType::kLineList, 2, quad.v, sizeof quad.v[0]); }

  std::unique_ptr<gfx::RenderDevice> d = gfx::CreateGlRenderDeviceOverStub(320, 240);
  Quad quad{10, 10, 60, 40, 0xFFFFFFFF};
  std::unique_ptr<gfx::Texture> a, b;
  std::unique_ptr<gfx::StaticGeometry> geometry;
};

TEST_F(DrawBatchTest, DrawsUnderOneStateJoinAndAnyDifferenceSplitsInOrder) {
  using Draws = std::vector<gfx::StubDraw>;
  const gfx::StubDraw strip{kStrip, 4, 0, false}, list{kTriangles, 6, 0, true};
  auto joined = [](int indices) { return gfx::StubDraw{kTriangles, indices, 0, true}; };
  struct Case {
    std::string what;
    std::function<void()> draws;
    Draws expected;
  };
  const std::vector<Case> cases = {
      {"one draw goes as it was made", [&] { Strip(); }, {strip}},
      {"three quads of one texture", [&] { Strip(); Strip(); Strip(); }, {joined(18)}},
      {"a strip and an indexed list", [&] { Strip(); List(); }, {joined(12)}},
      {"another texture between",
       [&] {
         Strip();
         Strip();
         d->SetTexture(0, b.get());
         Strip();
         d->SetTexture(0, a.get());
         Strip();
       },
       {joined(12), strip, strip}},
      {"blending switched on",
       [&] {
         Strip();
         d->SetRenderState(gfx::RenderState::kAlphaBlendEnable, 1);
         Strip();
       },
       {strip, strip}},
      {"another stage operation",
       [&] {
         Strip();
         d->SetTextureStageState(0, gfx::TextureStageState::kColorOp, uint32_t(gfx::TextureOp::kSelectArg1));
         List();
       },
       {strip, list}},
      {"another viewport",
       [&] {
         Strip();
         d->SetViewport(gfx::Viewport{0, 0, 160, 120, 0.0f, 1.0f});
         Strip();
       },
       {strip, strip}},
      {"a clear between", [&] {
         Strip();
         d->Clear(gfx::clear::kZBuffer, 0, 1.0f, 0);
         Strip();
       },
       {strip, strip}},
      {"a mesh between", [&] {
         Strip();
         d->DrawStaticGeometry(*geometry, gfx::PrimitiveType::kTriangleList, 0, 2);
         Strip();
         Strip();
       },
       {strip, list, joined(12)}},
      {"lines are not joined", [&] { Lines(); Lines(); }, {{kLines, 4, 0, false}, {kLines, 4, 0, false}}},
  };
  for (const Case& c : cases) {
    const Draws got = Frame(c.draws);
    ASSERT_EQ(got.size(), c.expected.size()) << c.what;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].mode, c.expected[i].mode) << c.what << ", draw " << i;
      EXPECT_EQ(got[i].count, c.expected[i].count) << c.what << ", draw " << i;
      EXPECT_EQ(got[i].indexed, c.expected[i].indexed) << c.what << ", draw " << i;
    }
  }
}

TEST_F(DrawBatchTest, MadeAndSentDrawsAreCounted) {
  Frame([&] {
    Strip();
    Strip();
    d->SetTexture(0, b.get());
    List();
  });
  const gfx::FrameSendStats stats = d->LastFrameSendStats();
  EXPECT_EQ(stats.recordedDraws, 3u);
  EXPECT_EQ(stats.sentDraws, 2u);
  EXPECT_GE(stats.sendMs, 0.0);
}

// A mesh drawn again under the state of the draw before sends only the draw; any
// change to the state sends the uniform block again.
TEST_F(DrawBatchTest, SameStateSendsNoNewUniforms) {
  struct Case {
    std::string what;
    std::function<void()> between;
    uint64_t extraCalls;  // GL calls the second mesh draw adds to the frame
  };
  const std::vector<Case> cases = {
      {"same state", [] {}, 1},
      {"another material", [&] {
         gfx::Material m;
         m.emissive = {1, 0, 0, 1};
         d->SetMaterial(m);
       },
       3},  // the block, its binding and the draw
  };
  auto mesh = [&] { d->DrawStaticGeometry(*geometry, gfx::PrimitiveType::kTriangleList, 0, 2); };
  for (const Case& c : cases) {
    // Made resident first, so that neither counted frame sends the mesh itself.
    Frame(mesh);
    uint64_t before = gfx::StubGlCallCount();
    Frame(mesh);
    const uint64_t one = gfx::StubGlCallCount() - before;
    before = gfx::StubGlCallCount();
    Frame([&] {
      mesh();
      c.between();
      mesh();
    });
    EXPECT_EQ(gfx::StubGlCallCount() - before - one, c.extraCalls) << c.what;
  }
}

// On a real context: blended quads joined into one draw keep their order, a strip's
// odd triangles survive culling, and an indexed quad lands where its vertices are.
TEST(DrawBatchPixelTest, JoinedDrawsPaintWhatSeparateDrawsPaint) {
  constexpr int kSize = 64;
  gfxtest::GlContext context(kSize, kSize);
  if (!context.Ok()) GTEST_SKIP() << "no OpenGL context could be made: " << context.Error();
  auto device = gfx::CreateGlRenderDevice(kSize, kSize);
  device->BeginFrameRecording();
  device->BeginScene();
  device->SetRenderState(gfx::RenderState::kLighting, 0);
  device->SetRenderState(gfx::RenderState::kZEnable, 0);
  // Counter-clockwise culled: a strip's odd triangle turned the wrong way round would
  // be culled and leave its half of the quad black.
  device->SetRenderState(gfx::RenderState::kCullMode, uint32_t(gfx::CullMode::kCounterClockwise));
  device->SetRenderState(gfx::RenderState::kAlphaBlendEnable, 1);
  device->SetRenderState(gfx::RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
  device->SetRenderState(gfx::RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
  device->SetTexture(0, nullptr);
  device->SetTextureStageState(0, gfx::TextureStageState::kColorOp, uint32_t(gfx::TextureOp::kSelectArg1));
  device->SetTextureStageState(0, gfx::TextureStageState::kColorArg1, uint32_t(gfx::TextureArg::kDiffuse));
  device->SetTextureStageState(0, gfx::TextureStageState::kAlphaOp, uint32_t(gfx::TextureOp::kSelectArg1));
  device->SetTextureStageState(0, gfx::TextureStageState::kAlphaArg1, uint32_t(gfx::TextureArg::kDiffuse));
  device->SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
  const Quad red(0, 0, 40, 32, 0x80FF0000), green(24, 0, 64, 32, 0x8000FF00), blue(0, 40, 64, 64, 0xFF0000FF);
  device->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, red.v, sizeof red.v[0]);
  device->DrawIndexedPrimitiveUP(gfx::PrimitiveType::kTriangleList, 4, 2, kQuadList, green.v, sizeof green.v[0]);
  const gfx::VertexScreenColorTex blueList[6] = {blue.v[0], blue.v[1], blue.v[2], blue.v[2], blue.v[1], blue.v[3]};
  device->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleList, 2, blueList, sizeof blueList[0]);
  device->EndScene();
  ASSERT_TRUE(device->EndFrameRecording(true));
  EXPECT_EQ(device->LastFrameSendStats().recordedDraws, 3u);
  EXPECT_EQ(device->LastFrameSendStats().sentDraws, 1u) << "the three draws share every state";

  gfx::ImageData img;
  ASSERT_TRUE(device->ReadPixels(img));
  ASSERT_EQ(img.width, kSize);
  struct Probe {
    int x, y, r, g, b;
    const char* what;
  };
  // Half-transparent red over black reads 128; green drawn after it halves the red.
  const Probe probes[] = {
      {6, 4, 128, 0, 0, "red, its strip's first triangle"},
      {20, 28, 128, 0, 0, "red, its strip's second triangle"},
      {32, 16, 64, 128, 0, "green over red"},
      {58, 28, 0, 128, 0, "green alone, its second triangle"},
      {4, 60, 0, 0, 255, "blue, the plain list"},
      {32, 36, 0, 0, 0, "the gap between"},
  };
  for (const Probe& p : probes) {
    const uint8_t* px = &img.rgba[(size_t(p.y) * img.width + p.x) * 4];
    EXPECT_NEAR(px[0], p.r, 3) << p.what;
    EXPECT_NEAR(px[1], p.g, 3) << p.what;
    EXPECT_NEAR(px[2], p.b, 3) << p.what;
  }
}

}  // namespace
