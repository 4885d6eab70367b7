// The drawing device's start states, targets and viewports, vertex formats, the
// second stage's texture scroll, the mesh adapter, and the OpenGL back end's state
// cache and its frame recording (counted through its GL stub).
#include <gtest/gtest.h>

#include <functional>
#include <glm/gtc/matrix_transform.hpp>
#include <string>
#include <utility>

#include "graphics/render_mesh_device.h"
#include "graphics/scene_context.h"
#include "platform/gfx/gl_functions.h"
#include "platform/gfx/recording_device.h"

namespace {

namespace gfx = platform::gfx;

TEST(DeviceStateTest, StartStates) {
  gfx::RecordingRenderDevice d(640, 480);
  EXPECT_EQ(d.GetSamplerState(0, gfx::SamplerState::kMinFilter), uint32_t(gfx::Filter::kPoint));
  EXPECT_EQ(d.GetSamplerState(1, gfx::SamplerState::kMagFilter), uint32_t(gfx::Filter::kPoint));
  EXPECT_EQ(d.GetRenderState(gfx::RenderState::kCullMode), uint32_t(gfx::CullMode::kCounterClockwise));
  EXPECT_EQ(d.GetRenderState(gfx::RenderState::kZFunc), uint32_t(gfx::CompareFunc::kLessEqual));
  EXPECT_EQ(d.GetRenderState(gfx::RenderState::kAlphaBlendEnable), 0u);
  EXPECT_EQ(d.GetTextureStageState(0, gfx::TextureStageState::kColorOp), uint32_t(gfx::TextureOp::kModulate));
  EXPECT_EQ(d.GetTextureStageState(1, gfx::TextureStageState::kColorOp), uint32_t(gfx::TextureOp::kDisable));
  EXPECT_EQ(d.GetViewport(), (gfx::Viewport{0, 0, 640, 480, 0.0f, 1.0f}));
}

TEST(DeviceStateTest, TargetsResetTheViewportAndClearsKeepIt) {
  gfx::RecordingRenderDevice d(640, 480);
  auto target = d.CreateRenderTexture(128, 64);
  d.SetViewport({10, 20, 30, 40, 0.0f, 1.0f});
  d.Clear(gfx::clear::kTarget, 0xFF112233, 1.0f, 0);
  ASSERT_EQ(d.clears.size(), 1u);
  EXPECT_EQ(d.clears[0].viewport, (gfx::Viewport{10, 20, 30, 40, 0.0f, 1.0f}));
  d.SetRenderTarget(target.get());
  EXPECT_EQ(d.GetViewport(), (gfx::Viewport{0, 0, 128, 64, 0.0f, 1.0f}));
  d.SetRenderTarget(nullptr);
  EXPECT_EQ(d.GetViewport(), (gfx::Viewport{0, 0, 640, 480, 0.0f, 1.0f}));
}

TEST(DeviceStateTest, VertexStrideTable) {
  struct Case {
    uint32_t format, stride;
  };
  const Case cases[] = {
      {gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex1, 32},
      {gfx::fvf::kXyz | gfx::fvf::kDiffuse | gfx::fvf::kTex1, 24},
      {gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1, 28},
      {gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex2, 40},
      {gfx::fvf::kXyz, 12},
      {gfx::fvf::kNormal, 0},                     // no position
      {gfx::fvf::kXyz | 0x300, 0},                // three coordinate sets: not drawable
  };
  for (const Case& c : cases) EXPECT_EQ(gfx::VertexStride(c.format), c.stride) << std::hex << c.format;
}

TEST(DeviceStateTest, SecondStageScrollReadsItsOwnCoordinates) {
  gfx::RecordingRenderDevice d;
  struct V {
    float x, y, z, nx, ny, nz, u0, v0, u1, v1;
  };
  const V tri[3] = {{0, 0, 0, 0, 0, -1, 0, 0, 0.5f, 0.5f}, {1, 0, 0, 0, 0, -1, 1, 0, 1, 0.5f}, {0, 1, 0, 0, 0, -1, 0, 1, 0.5f, 1}};
  d.SetTextureStageState(1, gfx::TextureStageState::kTexCoordIndex, 1);
  d.SetTextureStageState(1, gfx::TextureStageState::kTextureTransformFlags, uint32_t(gfx::TextureTransform::kCount2));
  d.SetTransform(gfx::TransformKind::kTexture1, graphics::BuildTextureMatrix2D(64, 0, 1, 1, 256, 256));
  d.SetTextureStageState(0, gfx::TextureStageState::kTextureTransformFlags, uint32_t(gfx::TextureTransform::kCount2));
  gfx::Matrix scroll0;
  scroll0.at(3, 2) = 0.5f;
  d.SetTransform(gfx::TransformKind::kTexture0, scroll0);
  d.SetFVF(gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex2);
  d.DrawPrimitiveUP(gfx::PrimitiveType::kTriangleList, 1, tri, sizeof(V));
  ASSERT_EQ(d.draws.size(), 1u);
  EXPECT_EQ(d.draws[0].vertices[0].uv0, glm::vec2(0.0f, 0.5f));
  EXPECT_EQ(d.draws[0].vertices[0].uv1, glm::vec2(0.75f, 0.5f));
  EXPECT_EQ(d.draws[0].vertices[2].uv1, glm::vec2(0.75f, 1.0f));
}

TEST(DeviceStateTest, MeshAdapterDrawsIndexedModelVertices) {
  gfx::RecordingRenderDevice d;
  graphics::RenderMeshDevice mesh(&d);
  mesh.SetWorldTransform(glm::translate(glm::mat4(1.0f), glm::vec3(10, 0, 0)));
  glm::mat4 scroll(1.0f);
  scroll[2][0] = 0.25f;
  mesh.SetTextureTransform(0, &scroll);
  std::vector<platform::model::XVertex> v(3);
  v[1].position = {1, 0, 0};
  v[2].position = {0, 1, 0};
  v[2].uv0 = {0, 1};
  const uint32_t indices[3] = {2, 1, 0};
  mesh.DrawTriangles(v.data(), v.size(), indices, 3);
  ASSERT_EQ(d.draws.size(), 1u);
  EXPECT_EQ(d.draws[0].vertices[0].world, glm::vec3(10, 1, 0));
  EXPECT_EQ(d.draws[0].vertices[0].uv0, glm::vec2(0.25f, 1.0f));
  mesh.SetTextureTransform(0, nullptr);
  EXPECT_EQ(d.GetTextureStageState(0, gfx::TextureStageState::kTextureTransformFlags),
            uint32_t(gfx::TextureTransform::kDisable));
}

TEST(DeviceStateTest, GlBackEndSendsOnlyWhatChanged) {
  auto d = gfx::CreateGlRenderDeviceOverStub(320, 240);
  const gfx::VertexPosNormalTex quad[4] = {{-1, -1, 0, 0, 0, -1, 0, 1}, {-1, 1, 0, 0, 0, -1, 0, 0}, {1, -1, 0, 0, 0, -1, 1, 1}, {1, 1, 0, 0, 0, -1, 1, 0}};
  d->SetFVF(gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex1);
  auto draw = [&] {
    uint64_t before = gfx::StubGlCallCount();
    d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad, sizeof quad[0]);
    return gfx::StubGlCallCount() - before;
  };
  uint64_t first = draw();
  uint64_t same = draw();
  d->SetTransform(gfx::TransformKind::kWorld, gfx::Matrix::Translation(1, 0, 0));
  uint64_t moved = draw();
  d->SetRenderState(gfx::RenderState::kAlphaBlendEnable, 1);
  uint64_t blended = draw();
  EXPECT_GT(first, same);
  EXPECT_EQ(same, 2u);     // vertices and the draw
  EXPECT_EQ(moved, 4u);    // plus the uniform block and its binding
  EXPECT_GT(blended, moved);
  // Nothing drawable: no calls at all.
  uint64_t before = gfx::StubGlCallCount();
  d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 0, quad, sizeof quad[0]);
  const uint32_t bad[3] = {0, 1, 9};
  d->DrawIndexedPrimitiveUP(gfx::PrimitiveType::kTriangleList, 4, 1, bad, quad, sizeof quad[0]);
  EXPECT_EQ(gfx::StubGlCallCount(), before);
}

}  // namespace

// Frame recording on the GL back end: a frame that paints what the last drawn frame
// painted sends nothing to GL; any change to what is seen sends the whole frame.
class FrameSkipTest : public ::testing::Test {
 protected:
  FrameSkipTest() {
    quad[0] = {10, 10, 0, 1, 0xFFFFFFFF, 0, 0};
    quad[1] = {110, 10, 0, 1, 0xFFFFFFFF, 1, 0};
    quad[2] = {10, 60, 0, 1, 0xFFFFFFFF, 0, 1};
    quad[3] = {110, 60, 0, 1, 0xFFFFFFFF, 1, 1};
    gfx::ImageData pixels{2, 2, std::vector<uint8_t>(16, 200)};
    picture = d->CreateTexture(pixels);
    dynamic = d->CreateDynamicTexture(2, 2);
  }
  // One frame: a clear and a textured quad, as the menus draw; `change` alters it
  // before the draw. Returns {drawn, GL calls made}.
  std::pair<bool, uint64_t> Frame(const std::function<void()>& change = {}, bool force = false) {
    const uint64_t before = gfx::StubGlCallCount();
    d->BeginFrameRecording();
    d->BeginScene();
    d->SetViewport(gfx::Viewport{0, 0, 320, 240, 0.0f, 1.0f});
    d->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF102030u, 1.0f, 0);
    d->SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
    d->SetTexture(0, picture.get());
    if (change) change();
    d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad, sizeof quad[0]);
    d->EndScene();
    const bool drawn = d->EndFrameRecording(force);
    return {drawn, gfx::StubGlCallCount() - before};
  }

  std::unique_ptr<gfx::RenderDevice> d = gfx::CreateGlRenderDeviceOverStub(320, 240);
  gfx::VertexScreenColorTex quad[4];
  std::unique_ptr<gfx::Texture> picture, dynamic;
};

TEST_F(FrameSkipTest, UnchangedFrameSendsNothingAndChangesAreDrawn) {
  const auto first = Frame();
  EXPECT_TRUE(first.first);
  EXPECT_GT(first.second, 0u);
  const auto again = Frame();
  EXPECT_FALSE(again.first);
  EXPECT_EQ(again.second, 0u);

  // Each change of what the frame shows draws it (and then the same frame is skipped).
  struct Case {
    const char* what;
    std::function<void()> change;
  };
  const uint8_t frameA[16] = {1, 2, 3, 4};
  const Case cases[] = {
      {"vertex moved", [&] { quad[1].x = 111; }},
      {"vertex colour", [&] { quad[2].color = 0x80FFFFFF; }},
      {"texture", [&] { d->SetTexture(0, dynamic.get()); }},
      {"dynamic texture pixels", [&] {
         d->SetTexture(0, dynamic.get());
         d->UpdateTexture(*dynamic, frameA, 2, 2);
       }},
      {"blend state", [&] { d->SetRenderState(gfx::RenderState::kAlphaBlendEnable, 0); }},
      {"texture factor", [&] { d->SetRenderState(gfx::RenderState::kTextureFactor, 0xFF00FF00u); }},
      {"material", [&] { gfx::Material m; m.diffuse.a = 0.5f; d->SetMaterial(m); }},
      {"world transform", [&] { d->SetTransform(gfx::TransformKind::kWorld, gfx::Matrix::Translation(0, 1, 0)); }},
      {"viewport", [&] { d->SetViewport(gfx::Viewport{0, 0, 160, 120, 0.0f, 1.0f}); }},
      {"sampler", [&] { d->SetSamplerState(0, gfx::SamplerState::kMagFilter, uint32_t(gfx::Filter::kLinear)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The change stays in force for the frames after it; a dynamic texture's new
    // pixels are a change every time they are given.
    const auto changed = Frame(c.change);
    EXPECT_TRUE(changed.first);
    EXPECT_GT(changed.second, 0u);
    if (std::string(c.what) == "dynamic texture pixels") {
      EXPECT_TRUE(Frame(c.change).first);
      EXPECT_FALSE(Frame([&] { d->SetTexture(0, dynamic.get()); }).first);  // no new pixels
      continue;
    }
    EXPECT_FALSE(Frame(c.change).first);
  }
}

TEST_F(FrameSkipTest, ForcedResizedAndReadFramesAreDrawn) {
  Frame();
  ASSERT_FALSE(Frame().first);
  EXPECT_TRUE(Frame({}, true).first);  // exposed or shown again
  ASSERT_FALSE(Frame().first);
  d->SetBackBufferSize(640, 480);  // a new back buffer holds no picture
  EXPECT_TRUE(Frame().first);
  ASSERT_FALSE(Frame().first);
  // Reading the pixels needs the draws made so far: the frame goes to GL.
  gfx::ImageData out;
  const auto read = Frame([&] { d->ReadPixels(out); });
  EXPECT_TRUE(read.first);
  EXPECT_GT(read.second, 0u);
}

TEST_F(FrameSkipTest, TextureDeletedOrReplacedInsideTheFrameIsSafe) {
  Frame();
  ASSERT_FALSE(Frame().first);
  // A texture made where the old one lived is a new picture even at the same address.
  picture.reset();
  gfx::ImageData other{2, 2, std::vector<uint8_t>(16, 10)};
  picture = d->CreateTexture(other);
  EXPECT_TRUE(Frame().first);
  // A texture drawn and then deleted before the frame ends is drawn while it exists.
  std::unique_ptr<gfx::Texture> brief = d->CreateTexture(other);
  d->BeginFrameRecording();
  d->SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
  d->SetTexture(0, brief.get());
  d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad, sizeof quad[0]);
  d->SetTexture(0, nullptr);
  const uint64_t before = gfx::StubGlCallCount();
  brief.reset();
  EXPECT_GT(gfx::StubGlCallCount(), before);  // the held draw went out first
  EXPECT_TRUE(d->EndFrameRecording(false));
}

TEST_F(FrameSkipTest, RenderTextureFedBackDrawsEveryFrame) {
  std::unique_ptr<gfx::Texture> target = d->CreateRenderTexture(64, 64);
  ASSERT_TRUE(target);
  // Drawn into and then shown in the same frame: the same each frame, skipped.
  auto drawnThenShown = [&] {
    d->SetRenderTarget(target.get());
    d->SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
    d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad, sizeof quad[0]);
    d->SetRenderTarget(nullptr);
    d->SetTexture(0, target.get());
  };
  Frame(drawnThenShown);
  EXPECT_FALSE(Frame(drawnThenShown).first);
  // Shown before being drawn into (last frame's picture fed back): changes each frame.
  auto shownThenDrawn = [&] {
    d->SetTexture(0, target.get());
    d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad, sizeof quad[0]);
    d->SetRenderTarget(target.get());
    d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad, sizeof quad[0]);
    d->SetRenderTarget(nullptr);
  };
  Frame(shownThenDrawn);
  EXPECT_TRUE(Frame(shownThenDrawn).first);
  EXPECT_TRUE(Frame(shownThenDrawn).first);
}

TEST_F(FrameSkipTest, OnlyTheChangedPartIsDrawnAgain) {
  // A second, still quad at the bottom right; the first one moves.
  gfx::VertexScreenColorTex still[4] = {{200, 180, 0, 1, 0xFFFFFFFF, 0, 0}, {300, 180, 0, 1, 0xFFFFFFFF, 1, 0},
                                        {200, 230, 0, 1, 0xFFFFFFFF, 0, 1}, {300, 230, 0, 1, 0xFFFFFFFF, 1, 1}};
  auto both = [&] { d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, still, sizeof still[0]); };
  Frame(both);
  ASSERT_FALSE(Frame(both).first);
  for (auto& v : quad) v.x += 20;  // x 10..110 becomes 30..130, y 10..60
  EXPECT_TRUE(Frame(both).first);
  const gfx::StubRect r = gfx::StubGlLastScissor();
  // The old and new places of the moved quad (GL's rows run from the bottom: y 10..60
  // of 240 is 180..230), with a little slack; the still quad is outside.
  EXPECT_LE(r.x, 10);
  EXPECT_GE(r.x + r.w, 130);
  EXPECT_LT(r.x + r.w, 200);
  EXPECT_LE(r.y, 180);
  EXPECT_GE(r.y + r.h, 230);
  EXPECT_GT(r.y, 0);
  EXPECT_LT(r.w * r.h, 320 * 240 / 4);
  // A change over most of the picture draws all of it.
  for (auto& v : still) v.y -= 170;
  for (auto& v : still) v.x = v.x > 250 ? 310 : 0;
  EXPECT_TRUE(Frame(both).first);
  EXPECT_EQ(gfx::StubGlLastScissor().w, 320);  // the whole viewport's clear
}
