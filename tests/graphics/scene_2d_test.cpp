// Cameras, matrices, the sprite routines, stereo helpers and the texture-coordinate
// matrix, read from values and from the Recording back end's log.
#include <gtest/gtest.h>

#include <glm/gtc/constants.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include "graphics/camera.h"
#include "graphics/scene_context.h"
#include "platform/gfx/recording_device.h"

namespace {

namespace gfx = platform::gfx;

TEST(MatrixTest, RowVectorOrderAndLeftHandedTurns) {
  // Scale first, then move: (1, 0, 0) -> (2, 0, 0) -> (2, 5, 0).
  gfx::Matrix m = gfx::Matrix::Scaling(2, 2, 2) * gfx::Matrix::Translation(0, 5, 0);
  EXPECT_EQ(gfx::TransformCoord({1, 0, 0}, m), glm::vec3(2, 5, 0));
  EXPECT_EQ(m.at(4, 2), 5.0f);
  struct Case {
    gfx::Matrix turn;
    glm::vec3 in, out;
  };
  const float q = glm::half_pi<float>();
  const Case cases[] = {
      {gfx::Matrix::RotationZ(q), {1, 0, 0}, {0, 1, 0}},
      {gfx::Matrix::RotationX(q), {0, 1, 0}, {0, 0, 1}},
      {gfx::Matrix::RotationY(q), {0, 0, 1}, {1, 0, 0}},
      {gfx::Matrix::RotationAxis({0, 0, 1}, q), {1, 0, 0}, {0, 1, 0}},
  };
  for (const Case& c : cases) {
    glm::vec3 r = gfx::TransformCoord(c.in, c.turn);
    EXPECT_NEAR(glm::distance(r, c.out), 0.0f, 1e-5);
  }
  gfx::Matrix p = gfx::Matrix::PerspectiveFovLH(glm::pi<float>() / 4, 1.0f, 1.0f, 100.0f);
  EXPECT_NEAR(gfx::TransformCoord({0, 0, 1}, p).z, 0.0f, 1e-5);
  EXPECT_NEAR(gfx::TransformCoord({0, 0, 100}, p).z, 1.0f, 1e-5);
  // A glm column-vector matrix holds the same floats.
  EXPECT_EQ(gfx::Matrix(glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3))), gfx::Matrix::Translation(1, 2, 3));
}

TEST(CameraTest, ViewMatrices) {
  graphics::Camera c;
  EXPECT_EQ(c.GetViewMatrix(), gfx::Matrix());
  c.position = {0, 100, -200};
  c.pitch = 0.62f;
  gfx::Matrix first = c.GetViewMatrix();
  EXPECT_EQ(c.GetViewMatrix(), first);  // axes rebuilt from scratch each time
  EXPECT_LT(c.look.y, 0.0f);            // positive pitch looks down
  EXPECT_GT(c.look.z, 0.0f);
  // The eye itself lands at the view's origin; a point ahead along look lies on +z.
  EXPECT_NEAR(glm::length(gfx::TransformCoord(c.position, first)), 0.0f, 1e-3);
  glm::vec3 ahead = gfx::TransformCoord(c.position + c.look * 10.0f, first);
  EXPECT_NEAR(ahead.z, 10.0f, 1e-3);
  c.stereoAngle = 0.1f;
  EXPECT_EQ(c.GetViewMatrix(), first * gfx::Matrix::RotationY(0.1f));
}

TEST(CameraTest, FiveCamerasWithTheirDivisors) {
  auto cams = graphics::CreateCameras();
  ASSERT_NE(cams, nullptr);
  for (auto& c : cams->all) ASSERT_NE(c, nullptr);
  EXPECT_EQ(cams->Get(graphics::CameraId::kBoard)->fovDivisor, 5.0f);
  EXPECT_EQ(cams->Get(graphics::CameraId::kFourth)->fovDivisor, 5.0f);
  EXPECT_EQ(cams->Get(graphics::CameraId::kStage)->fovDivisor, 0.0f);
}

TEST(SceneRoutinesTest, StereoDepthOffsetTable) {
  const float k[] = {0.008f, 0.021f, 0.034f, 0.047f, 0.052f, -0.012f, 0.008f, 0.008f};
  for (int level = 0; level < 8; ++level)
    EXPECT_FLOAT_EQ(graphics::StereoDepthOffset(level, 1280, 1.6f), 1280 * k[level] / 1.6f) << level;
  EXPECT_FLOAT_EQ(graphics::StereoDepthOffset(-1, 1280, 1.6f), 1280 * 0.008f / 1.6f);
}

TEST(SceneRoutinesTest, TextureMatrix2D) {
  gfx::Matrix m = graphics::BuildTextureMatrix2D(64, 32, 2, 0.5f, 256, 128);
  EXPECT_FLOAT_EQ(m.at(1, 1), 2.0f);
  EXPECT_FLOAT_EQ(m.at(2, 2), 0.5f);
  EXPECT_FLOAT_EQ(m.at(3, 1), 0.25f + 0.5f);
  EXPECT_FLOAT_EQ(m.at(3, 2), -0.25f + 0.25f);
  EXPECT_FLOAT_EQ(m.at(4, 4), 1.0f);
}

struct SpriteFixture : ::testing::Test {
  gfx::RecordingRenderDevice device;
  gfx::Sprite sprite{&device};
  gfx::Sprite* shared = &sprite;
  std::unique_ptr<gfx::Texture> texture = device.CreateDynamicTexture(256, 128);
  glm::vec2 Min() const {
    glm::vec2 m(1e9f);
    for (auto& v : device.draws.back().vertices) m = glm::min(m, glm::vec2(v.world));
    return m;
  }
  glm::vec2 Max() const {
    glm::vec2 m(-1e9f);
    for (auto& v : device.draws.back().vertices) m = glm::max(m, glm::vec2(v.world));
    return m;
  }
};

TEST_F(SpriteFixture, DrawCroppedFitAndAnchorTable) {
  struct Case {
    const char* what;
    int32_t fit;
    float x, y, scale, centreX, centreY, stereo;
    int32_t right;
    glm::vec2 min, max;
  };
  const Case cases[] = {
      {"fit to height", 1, 0, 0, 1, 0, 0, 0, 0, {0, 0}, {1440, 720}},
      {"stretch", 2, 0, 0, 1, 0, 0, 0, 0, {0, 0}, {1280, 720}},
      {"given scale, centred", 0, 100, 100, 1, 50, 50, 0, 0, {-28, 36}, {228, 164}},
      {"stereo, left eye", 0, 0, 0, 1, 0, 0, 64, 0, {-64, 0}, {-64 + 256 * 1.1f, 128 * 1.1f}},
      {"stereo, right eye", 0, 0, 0, 1, 0, 0, 64, 1, {64, 0}, {64 + 256 * 1.1f, 128 * 1.1f}},
  };
  for (const Case& c : cases) {
    graphics::Sprite::DrawCropped(&shared, texture.get(), 0.0f, 0.0f, c.fit, 1280, 720, 0.5f, c.stereo, c.right, c.x,
                                  c.y, c.scale, c.scale, c.centreX, c.centreY, 0, 0, 0, 0);
    ASSERT_FALSE(device.draws.empty());
    EXPECT_NEAR(Min().x, c.min.x, 1e-2) << c.what;
    EXPECT_NEAR(Min().y, c.min.y, 1e-2) << c.what;
    EXPECT_NEAR(Max().x, c.max.x, 1e-2) << c.what;
    EXPECT_NEAR(Max().y, c.max.y, 1e-2) << c.what;
    EXPECT_EQ(device.draws.back().vertices[0].color, 0x7FFFFFFFu) << c.what;
    EXPECT_EQ(sprite.GetTransform(), gfx::Matrix()) << "transform set back";
  }
  size_t before = device.draws.size();
  graphics::Sprite::DrawCropped(&shared, nullptr, 0, 0, 1, 1280, 720, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(device.draws.size(), before);
}

TEST_F(SpriteFixture, CroppedSourceSamplesItsRectangle) {
  graphics::Sprite::DrawCropped(&shared, texture.get(), 0, 0, 0, 1280, 720, 1, 0, 0, 10, 20, 1, 1, 0, 0, 64, 32, 128.9f,
                                96.5f);
  EXPECT_NEAR(Max().x - Min().x, 64.0f, 1e-3);  // 64..128 after truncation
  EXPECT_NEAR(Max().y - Min().y, 64.0f, 1e-3);
  EXPECT_NEAR(device.draws.back().vertices[0].uv0.x, 0.25f, 1e-6);
  EXPECT_NEAR(device.draws.back().vertices[0].uv0.y, 0.25f, 1e-6);
}

TEST_F(SpriteFixture, StereoEyeTable) {
  struct Case {
    int32_t method, eye;
    uint32_t tint;
    float left, width;
  };
  const Case cases[] = {
      {1, 0, 0xFFFFFFFF, 0, 128}, {1, 1, 0xFFFFFFFF, 639, 128}, {2, 0, 0xFF00FFFF, 0, 256},
      {2, 1, 0xFFFF0000, 0, 256}, {3, 0, 0xFFFF00FF, 0, 256},   {3, 1, 0xFF00FF00, 0, 256},
      {4, 0, 0xFF0000FF, 0, 256}, {4, 1, 0xFFFFFF00, 0, 256},   {9, 1, 0xFFFFFFFF, 0, 256},
  };
  for (const Case& c : cases) {
    graphics::DrawStereoEye(&sprite, texture.get(), c.eye, c.method, 1279);
    EXPECT_EQ(device.draws.back().vertices[0].color, c.tint) << c.method << "/" << c.eye;
    EXPECT_NEAR(Min().x, c.left, 1e-3) << c.method << "/" << c.eye;
    EXPECT_NEAR(Max().x - Min().x, c.width, 1e-3) << c.method << "/" << c.eye;
  }
}

// A sprite draw between two 3D draws: the mask stage and the first stage's operations
// the 3D drawing set are back once the sprite ends (the meters read their level
// through the mask stage after the background's sprite).
TEST_F(SpriteFixture, EndPutsTheTextureStagesBack) {
  using gfx::TextureStageState;
  device.SetTextureStageState(1, TextureStageState::kColorOp, uint32_t(gfx::TextureOp::kSelectArg2));
  device.SetTextureStageState(0, TextureStageState::kColorArg2, uint32_t(gfx::TextureArg::kCurrent));
  device.SetTextureStageState(0, TextureStageState::kTextureTransformFlags, uint32_t(gfx::TextureTransform::kCount2));
  sprite.Begin(gfx::sprite_flags::kAlphaBlend);
  sprite.Draw(texture.get(), nullptr, nullptr, nullptr, 0xFFFFFFFF);
  EXPECT_EQ(device.GetTextureStageState(1, TextureStageState::kColorOp), uint32_t(gfx::TextureOp::kDisable));
  sprite.End();
  EXPECT_EQ(device.GetTextureStageState(1, TextureStageState::kColorOp), uint32_t(gfx::TextureOp::kSelectArg2));
  EXPECT_EQ(device.GetTextureStageState(0, TextureStageState::kColorArg2), uint32_t(gfx::TextureArg::kCurrent));
  EXPECT_EQ(device.GetTextureStageState(0, TextureStageState::kTextureTransformFlags),
            uint32_t(gfx::TextureTransform::kCount2));
  // A draw outside Begin / End does its own and puts them back too.
  sprite.Draw(texture.get(), nullptr, nullptr, nullptr, 0xFFFFFFFF);
  EXPECT_EQ(device.GetTextureStageState(1, TextureStageState::kColorOp), uint32_t(gfx::TextureOp::kSelectArg2));
}

TEST(SystemFontTest, AnchoredBoxTable) {
  gfx::RecordingRenderDevice device;
  auto font = gfx::SystemFont::Create(&device, 18, 700, u"Arial");
  ASSERT_NE(font, nullptr) << "the system face is missing (fonts-dejavu-core)";
  gfx::Rect whole;
  font->DrawText(nullptr, "Status", whole, gfx::text_format::kCalcRect, 0);
  ASSERT_GT(whole.Width(), 0);
  ASSERT_GT(whole.Height(), 0);
  struct Case {
    float ax, ay;
    int left, top;
  };
  const int w = whole.Width(), h = whole.Height();
  const Case cases[] = {{0, 0, 200, 100}, {100, 100, 200 - w, 100 - h}, {50, 50, int(200 - w * 0.5f), int(100 - h * 0.5f)}};
  for (const Case& c : cases) {
    gfx::Rect box = graphics::AnchoredTextBox(font.get(), "Status", 200, 100, c.ax, c.ay);
    EXPECT_EQ(box.left, c.left) << c.ax;
    EXPECT_EQ(box.top, c.top) << c.ay;
    EXPECT_EQ(box.Width(), w);
  }
  device.ClearLog();
  graphics::DrawTextAnchored(font.get(), 0xFFFFFFFF, "Status", 200, 100, 50, 50);
  EXPECT_EQ(device.draws.size(), 6u);  // one quad a letter
}

}  // namespace
