// The drawing device's start states, targets and viewports, vertex formats, the
// second stage's texture scroll, the mesh adapter, and the OpenGL back end's state
// cache (counted through its GL stub).
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

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

TEST(DeviceStateTest, ScissorRectIsKeptLoggedAndResetByTargets) {
  gfx::RecordingRenderDevice d(640, 480);
  EXPECT_EQ(d.GetScissorRect(), (gfx::ScissorRect{0, 0, 640, 480}));
  EXPECT_EQ(d.GetRenderState(gfx::RenderState::kScissorTestEnable), 0u);
  d.SetScissorRect({10, 20, 110, 70});
  EXPECT_EQ(d.GetScissorRect(), (gfx::ScissorRect{10, 20, 110, 70}));
  ASSERT_FALSE(d.log.empty());
  EXPECT_EQ(d.log.back(), "SetScissorRect 10 20 110 70");
  // A draw carries the rectangle in its state snapshot.
  const gfx::VertexScreenColorTex v[3] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0}, {9, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                                          {0, 9, 0, 1, 0xFFFFFFFF, 0, 0}};
  d.SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
  d.DrawPrimitiveUP(gfx::PrimitiveType::kTriangleList, 1, v, sizeof v[0]);
  ASSERT_EQ(d.draws.size(), 1u);
  EXPECT_EQ(d.draws[0].state.scissor, (gfx::ScissorRect{10, 20, 110, 70}));
  auto target = d.CreateRenderTexture(128, 64);
  d.SetRenderTarget(target.get());
  EXPECT_EQ(d.GetScissorRect(), (gfx::ScissorRect{0, 0, 128, 64}));
  d.SetScissorRect({1, 2, 3, 4});
  d.SetRenderTarget(nullptr);
  EXPECT_EQ(d.GetScissorRect(), (gfx::ScissorRect{0, 0, 640, 480}));
  d.SetScissorRect({1, 2, 3, 4});
  d.ResetStates();
  EXPECT_EQ(d.GetScissorRect(), (gfx::ScissorRect{0, 0, 640, 480}));
}

TEST(DeviceStateTest, ClearAreaIsTheViewportCutToTheScissorWhileOn) {
  struct Case {
    const char* what;
    gfx::Viewport viewport;
    gfx::ScissorRect scissor;
    bool on;
    gfx::ScissorRect area;
  };
  const Case cases[] = {
      {"off: the viewport", {10, 20, 100, 50, 0, 1}, {0, 0, 5, 5}, false, {10, 20, 110, 70}},
      {"on: the overlap", {10, 20, 100, 50, 0, 1}, {50, 0, 300, 40}, true, {50, 20, 110, 40}},
      {"on: scissor inside", {0, 0, 640, 480, 0, 1}, {8, 4, 24, 20}, true, {8, 4, 24, 20}},
      {"on: apart", {0, 0, 100, 100, 0, 1}, {200, 200, 300, 300}, true, {200, 200, 200, 200}},
      {"off: viewport past the target", {600, 400, 100, 100, 0, 1}, {0, 0, 640, 480}, false, {600, 400, 640, 480}},
      {"on: scissor past the target", {0, 0, 640, 480, 0, 1}, {-50, -50, 9000, 30}, true, {0, 0, 640, 30}},
  };
  for (const Case& c : cases) {
    gfx::RecordingRenderDevice d(640, 480);
    d.SetViewport(c.viewport);
    d.SetScissorRect(c.scissor);
    d.SetRenderState(gfx::RenderState::kScissorTestEnable, c.on ? 1 : 0);
    d.Clear(gfx::clear::kTarget, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(d.clears.size(), 1u) << c.what;
    EXPECT_EQ(d.clears[0].area, c.area) << c.what;
    EXPECT_EQ(d.clears[0].area.Empty(), c.area.right <= c.area.left) << c.what;
  }
}

TEST(DeviceStateTest, GlBackEndSendsTheScissorOnlyWhenItChanges) {
  auto d = gfx::CreateGlRenderDeviceOverStub(320, 240);
  const gfx::VertexPosNormalTex quad[4] = {{-1, -1, 0, 0, 0, -1, 0, 1}, {-1, 1, 0, 0, 0, -1, 0, 0}, {1, -1, 0, 0, 0, -1, 1, 1}, {1, 1, 0, 0, 0, -1, 1, 0}};
  d->SetFVF(gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex1);
  auto draw = [&] {
    uint64_t before = gfx::StubGlCallCount();
    d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad, sizeof quad[0]);
    return gfx::StubGlCallCount() - before;
  };
  draw();
  d->SetScissorRect({10, 10, 100, 100});
  EXPECT_EQ(draw(), 2u);  // the test is off: the rectangle does not matter
  d->SetRenderState(gfx::RenderState::kScissorTestEnable, 1);
  EXPECT_GT(draw(), 2u);  // the test turned on and its rectangle
  EXPECT_EQ(draw(), 2u);
  d->SetScissorRect({20, 10, 100, 100});
  EXPECT_EQ(draw(), 3u);  // the new rectangle only
  // A clear cut to the same rectangle leaves it in GL: only the write masks the clear
  // opened come back. One cut by a smaller viewport leaves its own rectangle, which
  // the next draw replaces.
  d->Clear(gfx::clear::kTarget, 0xFF000000, 1.0f, 0);
  EXPECT_EQ(draw(), 4u);  // colour and depth masks, vertices, draw
  d->SetViewport({0, 0, 50, 50, 0.0f, 1.0f});
  draw();
  d->Clear(gfx::clear::kTarget, 0xFF000000, 1.0f, 0);
  EXPECT_EQ(draw(), 5u);  // rectangle, colour and depth masks, vertices, draw
}

}  // namespace
