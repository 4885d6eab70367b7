// Image loading through the asset store and quad placement, read from the call log
// of the Recording back end.
#include <gtest/gtest.h>

#include <glm/gtc/constants.hpp>

#include "gfx_fixtures.h"
#include "graphics/game_assets.h"
#include "graphics/image.h"
#include "platform/gfx/recording_device.h"
#include "test_support.h"

namespace {

namespace gfx = platform::gfx;
using graphics::GameAssets;
using graphics::Image;
using graphics::Quad;

struct Bounds {
  glm::vec2 min{1e9f}, max{-1e9f}, centre{0.0f};
};

Bounds Of(const gfx::RecordedDraw& d) {
  Bounds b;
  for (const auto& v : d.vertices) {
    b.min = glm::min(b.min, glm::vec2(v.world));
    b.max = glm::max(b.max, glm::vec2(v.world));
    b.centre += glm::vec2(v.world) / float(d.vertices.size());
  }
  return b;
}

class QuadImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gfxtest::WritePng(dir.Path("pic.png"), 64, 32, 0xFF0000FF));
    ASSERT_TRUE(gfxtest::WritePng(dir.Path("one.png"), 1, 1, 0xFFFFFFFF));
    quad.Create();
  }
  Image Loaded(const char* name) {
    Image image;
    EXPECT_TRUE(image.Load(&assets, dir.WPath(name)));
    return image;
  }
  testsupport::TempDir dir;
  gfx::RecordingRenderDevice device;
  GameAssets assets{&device};
  Quad quad{&device};
};

TEST_F(QuadImageTest, PlacementTable) {
  const float d = 10.0f;
  struct Case {
    const char* what;
    const char* file;
    float size;
    graphics::Transform t;
    glm::vec2 min, max, centre;
  };
  graphics::Transform scaled;
  scaled.scale = {2, 3, 1};
  graphics::Transform aboutOrigin;
  aboutOrigin.pivot = {-d, 0, 0};
  aboutOrigin.position = {d, 0, 0};
  aboutOrigin.rotation.z = glm::half_pi<float>();
  graphics::Transform post;
  post.position = {1, 0, 0};
  post.postScale = {2, 2, 1};
  post.postOffset = {5, 0, 0};
  const Case cases[] = {
      {"own size", "pic.png", 0.0f, graphics::Transform(), {-64, -32}, {64, 32}, {0, 0}},
      {"own size times scale", "pic.png", 0.0f, scaled, {-128, -96}, {128, 96}, {0, 0}},
      {"height from size, width by aspect", "pic.png", 10.0f, graphics::Transform(), {-20, -10}, {20, 10}, {0, 0}},
      {"pivot turns about the origin", "one.png", 0.0f, aboutOrigin, {-1, d - 1}, {1, d + 1}, {0, d}},
      {"post-scale then post-offset", "one.png", 0.0f, post, {5, -2}, {9, 2}, {7, 0}},
  };
  for (const Case& c : cases) {
    Image image = Loaded(c.file);
    image.transform = c.t;
    device.ClearLog();
    quad.Render3D(image, false, c.size);
    ASSERT_EQ(device.draws.size(), 1u) << c.what;
    Bounds b = Of(device.draws[0]);
    EXPECT_NEAR(b.min.x, c.min.x, 1e-3) << c.what;
    EXPECT_NEAR(b.min.y, c.min.y, 1e-3) << c.what;
    EXPECT_NEAR(b.max.x, c.max.x, 1e-3) << c.what;
    EXPECT_NEAR(b.max.y, c.max.y, 1e-3) << c.what;
    EXPECT_NEAR(b.centre.x, c.centre.x, 1e-3) << c.what;
    EXPECT_NEAR(b.centre.y, c.centre.y, 1e-3) << c.what;
    EXPECT_EQ(device.draws[0].type, gfx::PrimitiveType::kTriangleStrip);
    EXPECT_EQ(device.draws[0].primitiveCount, 2u);
  }
}

// The world matrix of an unturned picture is written out rather than multiplied
// through the whole chain; it must hold the very floats the chain gives (pivot,
// post-scale and post-offset included), and a turn by a hair must land next to it.
TEST(QuadWorld, UnturnedMatrixHoldsTheFloatsOfTheFullChain) {
  struct Case {
    const char* what;
    int width, height;
    float size;
    glm::vec3 position, scale, pivot, postScale, postOffset;
  };
  const Case cases[] = {
      {"neutral", 64, 32, 0.0f, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}},
      {"glyph with a pivot", 13, 37, 0.35f, {-120.1f, 33.3f, 0.7f}, {0.9f, 1.1f, 1}, {17.3f, -2.2f, 0}, {1, 1, 1},
       {0, 0, 0}},
      {"mirrored, post-placed", 7, 3, 0.0f, {0.1f, -0.3f, 5}, {-1.5f, 0.25f, -2}, {-4.4f, 9.9f, 1.1f},
       {0.3f, -3, 1.7f}, {11.1f, -0.01f, 2.5f}},
      {"no height", 8, 0, 2.5f, {1, 2, 3}, {2, 2, 2}, {1, 1, 1}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}},
  };
  for (const Case& c : cases) {
    graphics::Transform t;
    t.position = c.position;
    t.scale = c.scale;
    t.pivot = c.pivot;
    t.postScale = c.postScale;
    t.postOffset = c.postOffset;
    float sx = float(c.width) * t.scale.x, sy = float(c.height) * t.scale.y;
    if (c.size != 0.0f) {
      sy = t.scale.y * c.size;
      sx = (c.height > 0 ? float(c.width) / float(c.height) : 0.0f) * c.size * t.scale.x;
    }
    const gfx::Matrix chain = gfx::Matrix::Scaling(sx, sy, t.scale.z) * gfx::Matrix::Translation(-t.pivot) *
                              gfx::Matrix::RotationX(0) * gfx::Matrix::RotationY(0) * gfx::Matrix::RotationZ(0) *
                              gfx::Matrix::Translation(t.pivot) * gfx::Matrix::Translation(t.position) *
                              gfx::Matrix::Scaling(t.postScale) * gfx::Matrix::Translation(t.postOffset);
    const gfx::Matrix fast = Quad::WorldFor(c.width, c.height, t, c.size);
    for (int r = 1; r <= 4; ++r)
      for (int col = 1; col <= 4; ++col)
        EXPECT_EQ(fast.at(r, col), chain.at(r, col)) << c.what << " _" << r << col;

    t.rotation.z = 1e-6f;
    const gfx::Matrix turned = Quad::WorldFor(c.width, c.height, t, c.size);
    for (int r = 1; r <= 4; ++r)
      for (int col = 1; col <= 4; ++col)
        EXPECT_NEAR(turned.at(r, col), fast.at(r, col), 1e-3f) << c.what << " turned _" << r << col;
  }
}

TEST_F(QuadImageTest, TextureUprightAndScrolledOnlyWhileDrawing) {
  Image image = Loaded("pic.png");
  quad.Render3D(image, false, 0.0f);
  // Vertex 0 is the bottom-left corner and samples the picture's bottom row.
  EXPECT_EQ(device.draws[0].vertices[0].uv0, glm::vec2(0, 1));
  EXPECT_EQ(device.draws[0].vertices[3].uv0, glm::vec2(1, 0));
  image.transform.textureOffset = {0.25f, 0.5f, 0.0f};
  device.ClearLog();
  quad.Render3D(image, false, 0.0f);
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].vertices[0].uv0, glm::vec2(0.25f, 1.5f));
  EXPECT_EQ(device.GetTextureStageState(0, gfx::TextureStageState::kTextureTransformFlags),
            uint32_t(gfx::TextureTransform::kDisable));
  // w alone still counts as a scroll being set (and moves nothing).
  image.transform.textureOffset = {0.0f, 0.0f, 1.0f};
  device.ClearLog();
  quad.Render3D(image, false, 0.0f);
  EXPECT_EQ(device.draws[0].state.stage[0][size_t(gfx::TextureStageState::kTextureTransformFlags)],
            uint32_t(gfx::TextureTransform::kCount2));
  EXPECT_EQ(device.draws[0].vertices[0].uv0, glm::vec2(0, 1));
}

TEST_F(QuadImageTest, MaterialAlphaThresholdAndKeepMaterial) {
  Image image = Loaded("pic.png");
  image.material.diffuse.a = 0.001f;
  quad.Render3D(image, false, 0.0f);
  EXPECT_TRUE(device.draws.empty());
  image.material.diffuse.a = 0.0011f;
  quad.Render3D(image, false, 0.0f);
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_FLOAT_EQ(device.draws[0].state.material.diffuse.a, 0.0011f);
  EXPECT_EQ(device.draws[0].state.fvf, Quad::kFormat);
  EXPECT_EQ(device.draws[0].state.textures[1], nullptr);
  gfx::Material other;
  other.diffuse = {0, 1, 0, 1};
  device.SetMaterial(other);
  quad.Render3D(image, true, 0.0f);
  EXPECT_EQ(device.draws[1].state.material.diffuse, other.diffuse);
}

TEST_F(QuadImageTest, ImagesShareTheCachedTextureAndFailuresLeaveNone) {
  Image a = Loaded("pic.png");
  {
    Image b = Loaded("pic.png");
    EXPECT_EQ(a.texture, b.texture);
  }
  EXPECT_EQ(assets.TextureCacheSize(), 1u);
  quad.Render3D(a, false, 0.0f);
  EXPECT_EQ(device.draws.size(), 1u);
  Image missing;
  EXPECT_FALSE(missing.Load(&assets, dir.WPath("none.png")));
  EXPECT_EQ(missing.texture, nullptr);
  quad.Render3D(missing, false, 0.0f);
  EXPECT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(a.width, 64);
  EXPECT_EQ(a.height, 32);
  EXPECT_EQ(a.material.emissive, glm::vec4(1));
  EXPECT_EQ(a.material.ambient, glm::vec4(0));
}

TEST_F(QuadImageTest, ThemedLoadFallsBackToDefaultTheme) {
  dir.MakeDir("themes/default/static");
  ASSERT_TRUE(gfxtest::WritePng(dir.Path("themes/default/static/logo.png"), 4, 4, 0xFFFFFFFF));
  Image image;
  EXPECT_TRUE(image.LoadThemed(&assets, u"logo.png", u"themes/Other/"));
  EXPECT_EQ(image.path, u"themes/default/static/logo.png");
  auto lines = dir.GameLogTexts();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Loading Default:themes/default/static/logo.png"), lines.end());
  Image none;
  EXPECT_FALSE(none.LoadThemed(&assets, u"gone.png", u"themes/default/"));
}

}  // namespace
