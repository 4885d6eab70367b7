// Pixel tests of the OpenGL back end on a headless context: lighting terms, the
// alpha test against depth, texture scroll, viewport clears and render textures.
// Each reads back a few probe points with a tolerance.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "gfx_fixtures.h"
#include "platform/gfx/render_device.h"
#include "platform/gfx/sprite.h"

namespace {

namespace gfx = platform::gfx;
constexpr int kSize = 64;

class GlPixelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context = std::make_unique<gfxtest::GlContext>(kSize, kSize);
    if (!context->Ok()) GTEST_SKIP() << "no OpenGL context could be made: " << context->Error();
    device = gfx::CreateGlRenderDevice(kSize, kSize);
    device->BeginScene();
    // A view of the square -1..1 with depth 0..1, nothing culled or lit unless asked.
    device->SetTransform(gfx::TransformKind::kProjection, gfx::Matrix::OrthoOffCenterLH(-1, 1, -1, 1, 0, 1));
    device->SetRenderState(gfx::RenderState::kCullMode, uint32_t(gfx::CullMode::kNone));
    device->SetRenderState(gfx::RenderState::kLighting, 0);
  }
  void TearDown() override {
    device.reset();
    context.reset();
  }

  // A square from (x0, y0) to (x1, y1) at depth z, facing the viewer, u 0..1 left to
  // right, v 0..1 top to bottom.
  void DrawSquare(float x0, float y0, float x1, float y1, float z) {
    const gfx::VertexPosNormalTex v[4] = {
        {x0, y0, z, 0, 0, -1, 0, 1}, {x0, y1, z, 0, 0, -1, 0, 0}, {x1, y0, z, 0, 0, -1, 1, 1}, {x1, y1, z, 0, 0, -1, 1, 0}};
    device->SetFVF(gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex1);
    device->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, v, sizeof v[0]);
  }

  std::unique_ptr<gfx::Texture> SplitTexture(uint32_t left, uint32_t right) {
    gfx::ImageData image;
    image.width = 2;
    image.height = 1;
    auto put = [&](uint32_t c) {
      for (int s = 24; s >= 0; s -= 8) image.rgba.push_back(uint8_t(c >> s));
    };
    put(left);
    put(right);
    return device->CreateTexture(image);
  }

  void ExpectPixel(const gfx::ImageData& img, int x, int y, int r, int g, int b, const char* what) {
    const uint8_t* p = &img.rgba[(size_t(y) * img.width + x) * 4];
    EXPECT_NEAR(p[0], r, 3) << what << " red at " << x << "," << y;
    EXPECT_NEAR(p[1], g, 3) << what << " green at " << x << "," << y;
    EXPECT_NEAR(p[2], b, 3) << what << " blue at " << x << "," << y;
  }

  gfx::ImageData Read() {
    gfx::ImageData img;
    EXPECT_TRUE(device->ReadPixels(img));
    EXPECT_EQ(img.width, device->GetRenderTarget() ? device->GetRenderTarget()->Width() : kSize);
    return img;
  }

  std::unique_ptr<gfxtest::GlContext> context;
  std::unique_ptr<gfx::RenderDevice> device;
};

TEST_F(GlPixelTest, LitMaterialAddsEmissiveAmbientAndDiffuse) {
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF000000, 1.0f, 0);
  device->SetRenderState(gfx::RenderState::kLighting, 1);
  device->SetRenderState(gfx::RenderState::kAmbient, gfx::Argb(255, 128, 128, 128));
  gfx::Light light;
  light.type = gfx::LightType::kDirectional;
  light.direction = {0, 0, 1};  // into the screen, onto the square's front
  light.diffuse = {1, 1, 1, 1};
  device->SetLight(0, light);
  device->LightEnable(0, true);
  gfx::Material m;
  m.diffuse = {0.6f, 0, 0, 1};
  m.ambient = {0, 0, 0.4f, 1};
  m.emissive = {0, 0.25f, 0, 1};
  device->SetMaterial(m);
  device->SetTexture(0, nullptr);
  DrawSquare(-1, -1, 0, 1, 0.5f);  // left half lit
  device->LightEnable(0, false);
  DrawSquare(0, -1, 1, 1, 0.5f);   // right half: emissive and ambient only
  gfx::ImageData img = Read();
  ExpectPixel(img, 16, 32, 153, 64, 51, "lit");
  ExpectPixel(img, 48, 32, 0, 64, 51, "unlit by the light");
}

TEST_F(GlPixelTest, AlphaTestedGlyphLeavesNoHoleInTheDepthBuffer) {
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF000000, 1.0f, 0);
  auto glyph = SplitTexture(0xFFFFFF00, 0xFFFFFFFF);  // left transparent, right opaque white
  device->SetRenderState(gfx::RenderState::kAlphaTestEnable, 1);
  device->SetRenderState(gfx::RenderState::kAlphaRef, 1);
  device->SetRenderState(gfx::RenderState::kAlphaFunc, uint32_t(gfx::CompareFunc::kGreaterEqual));
  device->SetTexture(0, glyph.get());
  DrawSquare(-1, -1, 1, 1, 0.2f);  // near
  device->SetRenderState(gfx::RenderState::kAlphaTestEnable, 0);
  device->SetTexture(0, nullptr);
  const gfx::VertexPosColorTex behind[4] = {{-1, -1, 0.8f, 0xFF00FF00, 0, 0}, {-1, 1, 0.8f, 0xFF00FF00, 0, 0},
                                            {1, -1, 0.8f, 0xFF00FF00, 0, 0}, {1, 1, 0.8f, 0xFF00FF00, 0, 0}};
  device->SetFVF(gfx::fvf::kXyz | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
  device->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, behind, sizeof behind[0]);
  gfx::ImageData img = Read();
  ExpectPixel(img, 10, 32, 0, 255, 0, "behind the transparent half");
  ExpectPixel(img, 54, 32, 255, 255, 255, "the opaque half");
}

TEST_F(GlPixelTest, TextureScrollMovesStageCoordinates) {
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF000000, 1.0f, 0);
  device->SetRenderState(gfx::RenderState::kZFunc, uint32_t(gfx::CompareFunc::kAlways));
  auto tex = SplitTexture(0xFF0000FF, 0x00FF00FF);  // red | green
  device->SetTexture(0, tex.get());
  device->SetTextureStageState(0, gfx::TextureStageState::kTextureTransformFlags,
                               uint32_t(gfx::TextureTransform::kCount2));
  gfx::Matrix scroll;
  scroll.at(3, 1) = 0.5f;
  device->SetTransform(gfx::TransformKind::kTexture0, scroll);
  DrawSquare(-1, -1, 1, 1, 0.5f);
  gfx::ImageData img = Read();
  ExpectPixel(img, 8, 32, 0, 255, 0, "scrolled left half");
  ExpectPixel(img, 56, 32, 255, 0, 0, "scrolled right half wraps");
  device->SetTextureStageState(0, gfx::TextureStageState::kTextureTransformFlags,
                               uint32_t(gfx::TextureTransform::kDisable));
  DrawSquare(-1, -1, 1, 1, 0.5f);
  img = Read();
  ExpectPixel(img, 8, 32, 255, 0, 0, "unscrolled left half");
}

TEST_F(GlPixelTest, ClearIsLimitedToTheViewportMeasuredFromTheTop) {
  device->Clear(gfx::clear::kTarget, 0xFFFF0000, 1.0f, 0);
  device->SetViewport(gfx::Viewport{0, 0, 32, 16, 0.0f, 1.0f});
  device->Clear(gfx::clear::kTarget, 0xFF0000FF, 1.0f, 0);
  gfx::ImageData img = Read();
  ExpectPixel(img, 4, 4, 0, 0, 255, "inside the top-left viewport");
  ExpectPixel(img, 4, 40, 255, 0, 0, "below it");
  ExpectPixel(img, 48, 4, 255, 0, 0, "right of it");
}

TEST_F(GlPixelTest, RenderTextureDrawnBackUpsideRight) {
  auto target = device->CreateRenderTexture(32, 32);
  ASSERT_NE(target, nullptr);
  device->SetRenderTarget(target.get());
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF00FF00, 1.0f, 0);  // green
  // The top half red, in screen pixels of the target.
  const gfx::VertexScreenColorTex top[4] = {{0, 0, 0.5f, 1, 0xFFFF0000, 0, 0}, {32, 0, 0.5f, 1, 0xFFFF0000, 0, 0},
                                            {0, 16, 0.5f, 1, 0xFFFF0000, 0, 0}, {32, 16, 0.5f, 1, 0xFFFF0000, 0, 0}};
  device->SetTexture(0, nullptr);
  device->SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
  device->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, top, sizeof top[0]);
  gfx::ImageData inside = Read();
  ExpectPixel(inside, 16, 4, 255, 0, 0, "target top");
  ExpectPixel(inside, 16, 28, 0, 255, 0, "target bottom");
  device->SetRenderTarget(nullptr);
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF000000, 1.0f, 0);
  gfx::Sprite sprite(device.get());
  sprite.Begin(gfx::sprite_flags::kAlphaBlend);
  sprite.SetTransform(gfx::Matrix::Scaling(2, 2, 1));
  sprite.Draw(target.get(), nullptr, nullptr, nullptr, 0xFFFFFFFF);
  sprite.End();
  gfx::ImageData img = Read();
  ExpectPixel(img, 32, 8, 255, 0, 0, "drawn back: top");
  ExpectPixel(img, 32, 56, 0, 255, 0, "drawn back: bottom");
}

TEST_F(GlPixelTest, ScissorRectKeepsDrawsAndClearsInsideMeasuredFromTheTop) {
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFFFF0000, 1.0f, 0);  // red
  device->SetRenderState(gfx::RenderState::kZFunc, uint32_t(gfx::CompareFunc::kAlways));
  device->SetTexture(0, nullptr);
  device->SetScissorRect({8, 4, 24, 20});  // near the top-left corner
  device->SetRenderState(gfx::RenderState::kScissorTestEnable, 1);
  const gfx::VertexPosColorTex blue[4] = {{-1, -1, 0.5f, 0xFF0000FF, 0, 0}, {-1, 1, 0.5f, 0xFF0000FF, 0, 0},
                                          {1, -1, 0.5f, 0xFF0000FF, 0, 0}, {1, 1, 0.5f, 0xFF0000FF, 0, 0}};
  device->SetFVF(gfx::fvf::kXyz | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
  device->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, blue, sizeof blue[0]);
  // A clear of the whole viewport reaches only the scissor rectangle.
  device->SetScissorRect({40, 40, 56, 56});
  device->Clear(gfx::clear::kTarget, 0xFF00FF00, 1.0f, 0);
  gfx::ImageData img = Read();
  ExpectPixel(img, 16, 12, 0, 0, 255, "inside the drawn rectangle");
  ExpectPixel(img, 16, 52, 255, 0, 0, "the same columns near the bottom");
  ExpectPixel(img, 40, 12, 255, 0, 0, "right of the drawn rectangle");
  ExpectPixel(img, 48, 48, 0, 255, 0, "inside the cleared rectangle");
  ExpectPixel(img, 48, 12, 255, 0, 0, "the same columns near the top");
  // Off again: the whole target is drawn.
  device->SetRenderState(gfx::RenderState::kScissorTestEnable, 0);
  device->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, blue, sizeof blue[0]);
  img = Read();
  ExpectPixel(img, 48, 48, 0, 0, 255, "scissor off");
}

TEST_F(GlPixelTest, ScissorRectOnARenderTextureIsMeasuredFromItsTop) {
  auto target = device->CreateRenderTexture(32, 32);
  ASSERT_NE(target, nullptr);
  device->SetRenderTarget(target.get());
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF00FF00, 1.0f, 0);  // green
  device->SetScissorRect({0, 0, 32, 8});  // the top quarter
  device->SetRenderState(gfx::RenderState::kScissorTestEnable, 1);
  device->Clear(gfx::clear::kTarget, 0xFFFF0000, 1.0f, 0);  // red
  gfx::ImageData img = Read();
  ExpectPixel(img, 16, 2, 255, 0, 0, "top rows of the target");
  ExpectPixel(img, 16, 28, 0, 255, 0, "bottom rows of the target");
}

// A mesh drawn from the device's own copy, subset by subset, with streamed draws in
// between (which use other buffers): each draw lands where its own vertices say,
// also in the next frame, and a subset holding an index past the vertices is refused
// while the sound one beside it draws.
TEST_F(GlPixelTest, StaticGeometryDrawsItsSubsetsAmongStreamedDraws) {
  // Two squares: the top-left one (indices 0..5) and the top-right one (6..11).
  const gfx::VertexPosNormalTex v[8] = {
      {-1, 0, 0.5f, 0, 0, -1, 0, 0}, {-1, 1, 0.5f, 0, 0, -1, 0, 0}, {0, 0, 0.5f, 0, 0, -1, 0, 0},
      {0, 1, 0.5f, 0, 0, -1, 0, 0},  {0, 0, 0.5f, 0, 0, -1, 0, 0},  {0, 1, 0.5f, 0, 0, -1, 0, 0},
      {1, 0, 0.5f, 0, 0, -1, 0, 0},  {1, 1, 0.5f, 0, 0, -1, 0, 0}};
  const uint32_t indices[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
  auto geometry = device->CreateStaticGeometry(v, 8, sizeof v[0], indices, 12);
  ASSERT_NE(geometry, nullptr);
  // Unlit by any light, a square shows its material's emissive colour.
  device->SetRenderState(gfx::RenderState::kLighting, 1);
  device->SetTexture(0, nullptr);
  auto emissive = [&](float r, float g, float b) {
    gfx::Material m;
    m.diffuse = {0, 0, 0, 1};
    m.emissive = {r, g, b, 1};
    device->SetMaterial(m);
  };
  auto drawSubset = [&](const gfx::StaticGeometry& g, uint32_t first) {
    device->SetFVF(gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex1);
    device->DrawStaticGeometry(g, gfx::PrimitiveType::kTriangleList, first, 2);
  };
  for (int frame = 0; frame < 2; ++frame) {
    device->BeginScene();
    device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF000000, 1.0f, 0);
    emissive(1, 0, 0);
    drawSubset(*geometry, 0);
    emissive(0, 1, 0);
    DrawSquare(-1, -1, 1, 0, 0.5f);  // the bottom half, streamed
    emissive(0, 0, 1);
    drawSubset(*geometry, 6);
    gfx::ImageData img = Read();
    ExpectPixel(img, 16, 16, 255, 0, 0, frame ? "first subset, next frame" : "first subset");
    ExpectPixel(img, 48, 16, 0, 0, 255, frame ? "second subset, next frame" : "second subset");
    ExpectPixel(img, 32, 48, 0, 255, 0, frame ? "streamed square, next frame" : "streamed square");
  }

  const uint32_t broken[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 99};
  auto half = device->CreateStaticGeometry(v, 8, sizeof v[0], broken, 12);
  ASSERT_NE(half, nullptr);
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF000000, 1.0f, 0);
  emissive(1, 1, 1);
  drawSubset(*half, 0);
  drawSubset(*half, 6);
  device->DrawStaticGeometry(*half, gfx::PrimitiveType::kTriangleList, 9, 2);  // runs past the indices
  gfx::ImageData img = Read();
  ExpectPixel(img, 16, 16, 255, 255, 255, "sound subset of a broken mesh");
  ExpectPixel(img, 48, 16, 0, 0, 0, "subset with an index past the vertices");
}

}  // namespace
