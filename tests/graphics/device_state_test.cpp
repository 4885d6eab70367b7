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

// Frame recording on the GL back end: a frame that paints what the last drawn frame
// painted sends nothing to GL; any change to what is seen sends the whole frame.
class FrameSkipTest : public ::testing::Test {
 protected:
  FrameSkipTest() {
    quad[0] = {10, 10, 0, 1, 0xFFFFFFFF, 0, 0};
    quad[1] = {110, 10, 0, 1, 0xFFFFFFFF, 1, 0};
    quad[2] = {10, 60, 0, 1, 0xFFFFFFFF, 0, 1};
    quad[3] = {110, 60, 0, 1, 0xFFFFFFFF, 1, 1};
    gfx::ImageData pixels{2, 2, gfx::PixelVector(16, 200)};
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
  gfx::ImageData other{2, 2, gfx::PixelVector(16, 10)};
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

// A draw's own scissor rectangle and the changed part both bound what a partly redrawn
// frame touches; the scissor is part of what the frame shows.
TEST_F(FrameSkipTest, ScissorIsPartOfTheFrameAndCutsTheChangedPart) {
  auto scissored = [&](gfx::ScissorRect r, bool on) {
    return [this, r, on] {
      d->SetScissorRect(r);
      d->SetRenderState(gfx::RenderState::kScissorTestEnable, on ? 1 : 0);
    };
  };
  // The scissor set for a frame's draw stays in force for the next frame's clear, so
  // a change is seen by two frames before they repeat.
  const struct {
    const char* what;
    gfx::ScissorRect rect;
    bool on;
  } steps[] = {{"on", {0, 0, 60, 240}, true},
               {"the rectangle moved", {0, 0, 70, 240}, true},
               {"the test turned off", {0, 0, 70, 240}, false},
               {"a rectangle while off is not seen", {0, 0, 90, 240}, false}};
  Frame();
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    const bool off = !step.on && std::string(step.what) != "the test turned off";
    EXPECT_EQ(Frame(scissored(step.rect, step.on)).first, !off);
    Frame(scissored(step.rect, step.on));
    EXPECT_FALSE(Frame(scissored(step.rect, step.on)).first);
  }

  // The quad moves (x 10..110 to 30..130, y 10..60); then a full-screen quad and a
  // clear, each with a scissor of its own, are drawn again cut to both rectangles.
  gfx::VertexScreenColorTex screen[4] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0}, {320, 0, 0, 1, 0xFFFFFFFF, 1, 0},
                                         {0, 240, 0, 1, 0xFFFFFFFF, 0, 1}, {320, 240, 0, 1, 0xFFFFFFFF, 1, 1}};
  struct Case {
    const char* what;
    bool clear;
    gfx::ScissorRect scissor;
    int left, right;  // of the expected GL rectangle
  };
  const Case cases[] = {{"draw", false, {50, 0, 320, 240}, 50, 130}, {"clear", true, {60, 0, 100, 240}, 60, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (auto& v : quad) v.x = (v.x > 60 ? 110.0f : 10.0f);
    auto frame = [&] {
      d->BeginFrameRecording();
      d->SetViewport(gfx::Viewport{0, 0, 320, 240, 0.0f, 1.0f});
      d->SetRenderState(gfx::RenderState::kScissorTestEnable, 0);
      d->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF102030u, 1.0f, 0);
      d->SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
      d->SetTexture(0, picture.get());
      d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad, sizeof quad[0]);
      d->SetScissorRect(c.scissor);
      d->SetRenderState(gfx::RenderState::kScissorTestEnable, 1);
      if (c.clear)
        d->Clear(gfx::clear::kTarget, 0xFF000000u, 1.0f, 0);
      else
        d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, screen, sizeof screen[0]);
      return d->EndFrameRecording(false);
    };
    frame();
    ASSERT_FALSE(frame());
    for (auto& v : quad) v.x += 20;
    ASSERT_TRUE(frame());
    const gfx::StubRect r = gfx::StubGlLastScissor();
    EXPECT_EQ(r.x, c.left);
    EXPECT_GE(r.x + r.w, c.right);
    EXPECT_LE(r.x + r.w, c.right + 4);
    // GL's rows run from the bottom: y 10..60 of 240 is 180..230, with slack.
    EXPECT_GE(r.y, 170);
    EXPECT_LE(r.y, 180);
    EXPECT_GE(r.y + r.h, 230);
    EXPECT_LE(r.y + r.h, 240);
  }
}

// Static geometry draws are held with the frame like the others: in order, skipped
// when they repeat, drawn when which geometry or which range changes.
TEST_F(FrameSkipTest, StaticGeometryIsHeldWithTheFrame) {
  const gfx::VertexScreenColorTex mesh[4] = {{150, 100, 0, 1, 0xFFFFFFFF, 0, 0}, {200, 100, 0, 1, 0xFFFFFFFF, 1, 0},
                                             {150, 150, 0, 1, 0xFFFFFFFF, 0, 1}, {200, 150, 0, 1, 0xFFFFFFFF, 1, 1}};
  const uint32_t indices[6] = {0, 1, 2, 2, 1, 3};
  std::unique_ptr<gfx::StaticGeometry> g = d->CreateStaticGeometry(mesh, 4, sizeof mesh[0], indices, 6);
  ASSERT_NE(g, nullptr);
  uint32_t first = 0, triangles = 2;
  auto drawMesh = [&] { d->DrawStaticGeometry(*g, gfx::PrimitiveType::kTriangleList, first, triangles); };
  EXPECT_TRUE(Frame(drawMesh).first);
  const auto again = Frame(drawMesh);
  EXPECT_FALSE(again.first);
  EXPECT_EQ(again.second, 0u) << "the mesh draw went to GL in a skipped frame";
  EXPECT_TRUE(Frame().first) << "the mesh is gone from the frame";
  EXPECT_TRUE(Frame(drawMesh).first);
  triangles = 1;
  EXPECT_TRUE(Frame(drawMesh).first) << "fewer triangles";
  first = 3;
  EXPECT_TRUE(Frame(drawMesh).first) << "another range";
  EXPECT_FALSE(Frame(drawMesh).first);
  // Another geometry, even one made where the freed one lived, is a new picture.
  const gfx::VertexScreenColorTex moved[4] = {{10, 100, 0, 1, 0xFFFFFFFF, 0, 0}, {60, 100, 0, 1, 0xFFFFFFFF, 1, 0},
                                              {10, 150, 0, 1, 0xFFFFFFFF, 0, 1}, {60, 150, 0, 1, 0xFFFFFFFF, 1, 1}};
  g.reset();
  g = d->CreateStaticGeometry(moved, 4, sizeof moved[0], indices, 6);
  ASSERT_NE(g, nullptr);
  EXPECT_TRUE(Frame(drawMesh).first);
  EXPECT_FALSE(Frame(drawMesh).first);

  // Held in order with the other draws, and sent out before the geometry is freed.
  d->BeginFrameRecording();
  d->SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
  d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad, sizeof quad[0]);
  drawMesh();
  const uint64_t held = gfx::StubGlCallCount();
  g.reset();
  EXPECT_GT(gfx::StubGlCallCount(), held) << "the held frame went out before the geometry was freed";
  EXPECT_TRUE(d->EndFrameRecording(false));
}

// A remade context holds none of the old picture: the first frame after it is drawn
// whole, even where only a small part changed.
TEST_F(FrameSkipTest, FrameAfterContextRemakeIsDrawnWhole) {
  Frame();
  ASSERT_FALSE(Frame().first);
  for (auto& v : quad) v.x += 20;
  ASSERT_TRUE(Frame().first);
  ASSERT_LT(gfx::StubGlLastScissor().w, 320) << "a small change is drawn in part";
  ASSERT_FALSE(Frame().first);

  d->DetachContext();
  d->AttachContext();
  const auto remade = Frame();
  EXPECT_TRUE(remade.first) << "the same frame in a new context";
  EXPECT_GT(remade.second, 0u);
  ASSERT_FALSE(Frame().first);
  d->DetachContext();
  d->AttachContext();
  for (auto& v : quad) v.x += 20;
  EXPECT_TRUE(Frame().first);
  const gfx::StubRect r = gfx::StubGlLastScissor();
  EXPECT_EQ(r.w, 320);
  EXPECT_EQ(r.h, 240);

  // A frame held when the context goes is dropped, not played into the next one.
  d->BeginFrameRecording();
  d->SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
  d->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, quad, sizeof quad[0]);
  d->DetachContext();
  d->AttachContext();
  EXPECT_TRUE(d->EndFrameRecording(false)) << "no frame held: nothing to skip";
  EXPECT_TRUE(Frame().first);
  EXPECT_FALSE(Frame().first);
}
