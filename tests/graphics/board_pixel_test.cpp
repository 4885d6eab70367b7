// The board on the OpenGL back end (headless): a note reaches the fret's place on the
// screen at its time, and a held sustain's ribbon runs from the fret to its end.
// Probe points come from the same camera, layout and lane maths the board uses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "board_fixtures.h"
#include "gfx_fixtures.h"
#include "graphics/board_geometry.h"
#include "graphics/camera.h"
#include "graphics/gameplay_render.h"
#include "graphics/player_board.h"
#include "platform/gfx/render_device.h"
#include "test_support.h"

namespace {

namespace gfx = platform::gfx;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

class BoardPixelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context = std::make_unique<gfxtest::GlContext>(kWidth, kHeight);
    if (!context->Ok()) GTEST_SKIP() << "no OpenGL context could be made: " << context->Error();
    ASSERT_TRUE(boardtest::WriteBoardTheme(dir.path(), {"Note_Guitar"},
                                           {{"Note_Guitar_Yellow", 0xFF2020FF}, {"Tail_Hit_Yellow", 0x20FF20FF}},
                                           0x808080FF));
    device = gfx::CreateGlRenderDevice(kWidth, kHeight);
    assets = std::make_unique<graphics::GameAssets>(device.get());
    assets->LoadTextures(u"themes/default/");
    assets->LoadModels(u"themes/default/");
    cameras = graphics::CreateCameras();
    boardtest::SetupPlayer(player, 2, 5);
    board = std::make_unique<graphics::PlayerBoard>(player, assets.get(), device.get());
  }
  void TearDown() override {
    board.reset();
    assets.reset();
    device.reset();
    context.reset();
  }

  gfx::ImageData Frame() {
    gfx::ImageData img;
    EXPECT_TRUE(boardtest::DrawBoardFrame(*device, *assets, *cameras, player, *board, kWidth, kHeight, img));
    return img;
  }

  // Where a point of lane `lane` at board distance `z` lands on the screen.
  glm::ivec2 ScreenOf(int32_t lane, float z) {
    graphics::Transform t;
    graphics::BoardGeometry::LanePositions(t, lane, 5, 2, false, 0, false, 0.0f);
    graphics::BoardCameraPose pose;
    graphics::SetCameraPreset(pose, 4, false);
    graphics::Camera cam;
    graphics::Camera::SetStereoEye(cam, 0, pose.position, pose.yaw, pose.pitch, pose.roll, 0.0f, 0, 0.0f);
    const gfx::Matrix m =
        cam.GetViewMatrix() * gfx::Matrix::PerspectiveFovLH(3.1415927f / 5.0f, 1.18f, 1.0f, 5000.0f);
    const glm::vec3 ndc = gfx::TransformCoord(glm::vec3(t.position.x, t.position.y, z), m);
    graphics::BoardLayout layout;
    layout.Allocate();
    layout.Append(false, false);
    layout.Order();
    const gfx::Viewport vp = layout.Viewport(0, true, 1.0f, kWidth, kHeight);
    return {int(float(vp.x) + (ndc.x + 1.0f) * 0.5f * float(vp.width)),
            int(float(vp.y) + (1.0f - ndc.y) * 0.5f * float(vp.height))};
  }

  static glm::ivec3 Pixel(const gfx::ImageData& img, glm::ivec2 at) {
    const uint8_t* p = &img.rgba[(size_t(at.y) * size_t(img.width) + size_t(at.x)) * 4];
    return {p[0], p[1], p[2]};
  }

  testsupport::TempDir dir;
  std::unique_ptr<gfxtest::GlContext> context;
  std::unique_ptr<gfx::RenderDevice> device;
  std::unique_ptr<graphics::GameAssets> assets;
  std::unique_ptr<graphics::Cameras> cameras;
  Player player;
  std::unique_ptr<graphics::PlayerBoard> board;
};

MATCHER_P2(NearColour, want, tolerance, "") {
  return std::abs(arg.x - want.x) <= tolerance && std::abs(arg.y - want.y) <= tolerance &&
         std::abs(arg.z - want.z) <= tolerance;
}

TEST_F(BoardPixelTest, NoteOnLaneThreeReachesTheFretAtItsTime) {
  const glm::ivec3 red(0xFF, 0x20, 0x20), black(0, 0, 0);
  const glm::ivec2 fret = ScreenOf(3, 0.0f);
  const glm::ivec2 ahead = ScreenOf(3, 250.0f);
  ASSERT_GT(fret.y, ahead.y) << "further up the board is higher on the screen";

  // Still on its way: the note is ahead of the fret.
  boardtest::PutNote(player, 1, 3, 250.0f);
  gfx::ImageData img = Frame();
  EXPECT_THAT(Pixel(img, ahead), NearColour(red, 8));
  EXPECT_THAT(Pixel(img, fret), NearColour(black, 8));

  // At its time the note is on the fret; the neighbouring lanes stay empty.
  boardtest::PutNote(player, 1, 3, 0.0f);
  img = Frame();
  EXPECT_THAT(Pixel(img, fret), NearColour(red, 8));
  EXPECT_THAT(Pixel(img, ahead), NearColour(black, 8));
  EXPECT_THAT(Pixel(img, ScreenOf(1, 0.0f)), NearColour(black, 8));
  EXPECT_THAT(Pixel(img, ScreenOf(5, 0.0f)), NearColour(black, 8));
}

TEST_F(BoardPixelTest, HeldSustainRunsFromTheFretToItsEnd) {
  const glm::ivec3 green(0x20, 0xFF, 0x20), black(0, 0, 0);
  boardtest::PutNote(player, 1, 3, -40.0f);
  boardtest::PutSustain(player, 1, 300.0f, true, true);
  const gfx::ImageData img = Frame();
  for (float z : {5.0f, 100.0f, 200.0f, 290.0f}) {
    EXPECT_THAT(Pixel(img, ScreenOf(3, z)), NearColour(green, 10)) << "along the ribbon at " << z;
  }
  EXPECT_THAT(Pixel(img, ScreenOf(3, 330.0f)), NearColour(black, 8)) << "beyond its end";
  EXPECT_THAT(Pixel(img, ScreenOf(3, -30.0f)), NearColour(black, 8)) << "behind the fret";
  EXPECT_THAT(Pixel(img, ScreenOf(2, 150.0f)), NearColour(black, 8)) << "on the next lane";
}

}  // namespace
