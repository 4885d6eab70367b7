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

// A mesh drawn range by range through the adapter's kept geometry draws what the
// plain indexed draw of the same range draws, and the geometry is made once.
TEST(DeviceStateTest, MeshAdapterDrawsKeptMeshRangesLikePlainDraws) {
  platform::model::XMesh m;
  m.vertices.resize(4);
  m.vertices[1].position = {1, 0, 0};
  m.vertices[2].position = {0, 1, 0};
  m.vertices[3].position = {1, 1, 0};
  m.vertices[3].uv0 = {1, 1};
  m.indices = {0, 1, 2, 2, 1, 3};
  gfx::RecordingRenderDevice plain, kept;
  graphics::RenderMeshDevice plainMesh(&plain), keptMesh(&kept);
  std::unique_ptr<gfx::StaticGeometry> geometry;
  for (size_t first : {size_t(3), size_t(0)}) {
    plainMesh.DrawTriangles(m.vertices.data(), m.vertices.size(), m.indices.data() + first, 3);
    keptMesh.DrawMeshTriangles(geometry, m, first, 3);
  }
  const gfx::StaticGeometry* made = geometry.get();
  keptMesh.DrawMeshTriangles(geometry, m, 0, 6);
  EXPECT_EQ(geometry.get(), made);
  ASSERT_EQ(kept.draws.size(), 3u);
  ASSERT_EQ(plain.draws.size(), 2u);
  for (size_t d = 0; d < plain.draws.size(); ++d) {
    ASSERT_EQ(kept.draws[d].vertices.size(), plain.draws[d].vertices.size());
    for (size_t i = 0; i < plain.draws[d].vertices.size(); ++i) {
      EXPECT_EQ(kept.draws[d].vertices[i].world, plain.draws[d].vertices[i].world) << d << ":" << i;
      EXPECT_EQ(kept.draws[d].vertices[i].uv0, plain.draws[d].vertices[i].uv0) << d << ":" << i;
    }
  }
  EXPECT_EQ(kept.draws[0].vertices[2].world, glm::vec3(1, 1, 0));  // the second triangle's last corner
  EXPECT_EQ(kept.draws[2].vertices.size(), 6u);
}

// Geometry the back end keeps costs one call per repeated draw; after a streamed draw
// it binds its buffers again; a range it cannot draw costs nothing.
TEST(DeviceStateTest, GlBackEndDrawsStaticGeometryWithoutResendingIt) {
  auto d = gfx::CreateGlRenderDeviceOverStub(320, 240);
  const gfx::VertexPosNormalTex quad[4] = {{-1, -1, 0, 0, 0, -1, 0, 1}, {-1, 1, 0, 0, 0, -1, 0, 0}, {1, -1, 0, 0, 0, -1, 1, 1}, {1, 1, 0, 0, 0, -1, 1, 0}};
  const uint32_t indices[6] = {0, 1, 2, 2, 1, 3};
  auto g = d->CreateStaticGeometry(quad, 4, sizeof quad[0], indices, 6);
  ASSERT_NE(g, nullptr);
  d->SetFVF(gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex1);
  auto calls = [&](auto&& draw) {
    uint64_t before = gfx::StubGlCallCount();
    draw();
    return gfx::StubGlCallCount() - before;
  };
  auto drawStatic = [&](uint32_t first, uint32_t triangles) {
    d->DrawStaticGeometry(*g, gfx::PrimitiveType::kTriangleList, first, triangles);
  };
  uint64_t first = calls([&] { drawStatic(0, 2); });
  EXPECT_EQ(calls([&] { drawStatic(0, 2); }), 1u);  // the draw alone
  EXPECT_EQ(calls([&] { drawStatic(3, 1); }), 1u);  // another range of the same buffers
  uint64_t streamed = calls([&] { d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad, sizeof quad[0]); });
  EXPECT_GT(streamed, 2u);  // the ring buffer is bound again before its vertices are sent
  uint64_t back = calls([&] { drawStatic(0, 2); });
  EXPECT_GT(back, 1u);
  EXPECT_LT(back, first);

  struct Refused {
    uint32_t first, triangles;
    const char* why;
  };
  for (const Refused& r : {Refused{0, 0, "no triangles"}, Refused{6, 1, "starts at the end"},
                           Refused{3, 2, "runs past the end"}, Refused{0xFFFFFFFFu, 1, "start wraps around"}}) {
    EXPECT_EQ(calls([&] { drawStatic(r.first, r.triangles); }), 0u) << r.why;
  }
  const uint32_t bad[6] = {0, 1, 2, 2, 1, 7};
  auto broken = d->CreateStaticGeometry(quad, 4, sizeof quad[0], bad, 6);
  ASSERT_NE(broken, nullptr);
  EXPECT_GT(calls([&] { d->DrawStaticGeometry(*broken, gfx::PrimitiveType::kTriangleList, 0, 1); }), 0u);
  EXPECT_EQ(calls([&] { d->DrawStaticGeometry(*broken, gfx::PrimitiveType::kTriangleList, 3, 1); }), 0u)
      << "an index past the vertices";
  EXPECT_EQ(d->CreateStaticGeometry(quad, 0, sizeof quad[0], indices, 6), nullptr);
  EXPECT_EQ(d->CreateStaticGeometry(quad, 4, sizeof quad[0], indices, 0), nullptr);
}

}  // namespace
