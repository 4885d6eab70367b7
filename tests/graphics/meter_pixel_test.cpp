// The meters beside the board with the default theme's own models and pictures, on
// the OpenGL back end (headless): the rock meter and the energy bar fill up from their
// near end as far as their value says, and the badge shows the multiplier's picture.
// Probe points come from the board's own camera and layout.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>

#include "board_fixtures.h"
#include "gfx_fixtures.h"
#include "game/player.h"
#include "graphics/board_geometry.h"
#include "graphics/camera.h"
#include "graphics/frame_render.h"
#include "graphics/gameplay_render.h"
#include "graphics/player_board.h"
#include "graphics/scene_context.h"
#include "platform/gfx/render_device.h"

namespace {

namespace gfx = platform::gfx;
namespace fs = std::filesystem;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// Where the default meter models stand (content/models): the centre line of the rock
// meter's fill and of the energy bar, and how far up the board each runs.
constexpr float kRockX = 154.0f, kRockNear = 117.0f, kRockFar = 317.0f;
constexpr float kEnergyX = -154.0f, kEnergyNear = 72.0f, kEnergyFar = 318.0f;

fs::path RunFolder() {
  const char* run = std::getenv("VELORIN_RUN_DIR");
  return run && *run ? fs::path(run) : fs::path(VELORIN_TEST_RUN_DIR);
}

class MeterPixelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(RunFolder() / "themes/default/static/meters/Meter_Main.X"))
      GTEST_SKIP() << "the default theme is not built into " << RunFolder();
    context = std::make_unique<gfxtest::GlContext>(kWidth, kHeight);
    if (!context->Ok()) GTEST_SKIP() << "no OpenGL context could be made: " << context->Error();
    previous = fs::current_path();
    fs::current_path(RunFolder());
    device = gfx::CreateGlRenderDevice(kWidth, kHeight);
    assets = std::make_unique<graphics::GameAssets>(device.get());
    assets->LoadTextures(u"themes/default/");
    assets->LoadModels(u"themes/default/");
    cameras = graphics::CreateCameras();
    boardtest::SetupPlayer(player, 2, 5);
    player.track.meters.Setup(false);
    board = std::make_unique<graphics::PlayerBoard>(player, assets.get(), device.get());
  }
  void TearDown() override {
    board.reset();
    assets.reset();
    device.reset();
    context.reset();
    if (!previous.empty()) fs::current_path(previous);
  }

  gfx::ImageData Frame() {
    player.track.meters.Update(player.track.score);
    gfx::ImageData img;
    EXPECT_TRUE(boardtest::DrawBoardFrame(*device, *assets, *cameras, player, *board, kWidth, kHeight, img, [this] {
      // The device state every renderer assumes, the mask stage's among it.
      graphics::Globals().device = device.get();
      graphics::SetupProjection();
      graphics::Globals().device = nullptr;
    }));
    return img;
  }

  // Where board point (x, 3, z) lands on the screen.
  glm::ivec2 ScreenOf(float x, float z) {
    graphics::BoardCameraPose pose;
    graphics::SetCameraPreset(pose, 4, false);
    graphics::Camera cam;
    graphics::Camera::SetStereoEye(cam, 0, pose.position, pose.yaw, pose.pitch, pose.roll, 0.0f, 0, 0.0f);
    const gfx::Matrix m =
        cam.GetViewMatrix() * gfx::Matrix::PerspectiveFovLH(3.1415927f / 5.0f, 1.18f, 1.0f, 5000.0f);
    const glm::vec3 ndc = gfx::TransformCoord(glm::vec3(x, 3.0f, z), m);
    graphics::BoardLayout layout;
    layout.Allocate();
    layout.Append(false, false);
    layout.Order();
    const gfx::Viewport vp = layout.Viewport(0, true, 1.0f, kWidth, kHeight);
    return {int(float(vp.x) + (ndc.x + 1.0f) * 0.5f * float(vp.width)),
            int(float(vp.y) + (1.0f - ndc.y) * 0.5f * float(vp.height))};
  }

  // The brightest pixel (sum of its channels) of a 5 x 5 box round the point.
  static int Brightness(const gfx::ImageData& img, glm::ivec2 at) {
    int best = 0;
    for (int y = at.y - 2; y <= at.y + 2; ++y)
      for (int x = at.x - 2; x <= at.x + 2; ++x) {
        if (x < 0 || y < 0 || x >= img.width || y >= img.height) continue;
        const uint8_t* p = &img.rgba[(size_t(y) * size_t(img.width) + size_t(x)) * 4];
        best = std::max(best, p[0] + p[1] + p[2]);
      }
    return best;
  }
  static glm::ivec3 Colour(const gfx::ImageData& img, glm::ivec2 at) {
    const uint8_t* p = &img.rgba[(size_t(at.y) * size_t(img.width) + size_t(at.x)) * 4];
    return {p[0], p[1], p[2]};
  }

  // How far up a bar is lit: true for each probe along it whose fill shows.
  std::vector<bool> LitAlong(const gfx::ImageData& img, float x, float nearZ, float farZ) {
    std::vector<bool> lit;
    for (float t : {0.1f, 0.4f, 0.6f, 0.9f}) {
      const glm::ivec2 at = ScreenOf(x, nearZ + t * (farZ - nearZ));
      lit.push_back(Brightness(img, at) > kLitSum);
    }
    return lit;
  }

  // The lit fill is bright; the housing it stands in is near black.
  static constexpr int kLitSum = 250;

  fs::path previous;
  std::unique_ptr<gfxtest::GlContext> context;
  std::unique_ptr<gfx::RenderDevice> device;
  std::unique_ptr<graphics::GameAssets> assets;
  std::unique_ptr<graphics::Cameras> cameras;
  Player player;
  std::unique_ptr<graphics::PlayerBoard> board;
};

TEST_F(MeterPixelTest, RockMeterFillsFromItsNearEndAsFarAsTheMeterStands) {
  struct Case {
    float rock;
    std::vector<bool> lit;  // probes at a tenth, 0.4, 0.6 and 0.9 of the way up
  } cases[] = {
      {100.0f, {true, true, true, true}},
      {75.0f, {true, true, true, false}},
      {50.0f, {true, true, false, false}},
      {5.0f, {false, false, false, false}},
      {-3.0f, {false, false, false, false}},  // below zero in the grace time: empty
  };
  for (const Case& c : cases) {
    player.track.score.rockMeter = c.rock;
    const gfx::ImageData img = Frame();
    EXPECT_EQ(LitAlong(img, kRockX, kRockNear, kRockFar), c.lit) << "rock meter at " << c.rock;
  }
  // The fill takes the player's standing: green high, red low.
  player.track.score.rockMeter = 90.0f;
  glm::ivec3 high = Colour(Frame(), ScreenOf(kRockX, kRockNear + 30.0f));
  EXPECT_GT(high.y, high.x + 40) << "green while the meter is high";
  player.track.score.rockMeter = 20.0f;
  glm::ivec3 low = Colour(Frame(), ScreenOf(kRockX, kRockNear + 10.0f));
  EXPECT_GT(low.x, low.y + 40) << "red while it is low";
}

TEST_F(MeterPixelTest, EnergyBarShowsItsTwoHalvesByTheEnergy) {
  struct Case {
    float energy;
    std::vector<bool> lit;
  } cases[] = {
      {0.0f, {false, false, false, false}},
      {25.0f, {true, false, false, false}},
      {50.0f, {true, true, false, false}},
      {75.0f, {true, true, true, false}},
      {100.0f, {true, true, true, true}},
  };
  for (const Case& c : cases) {
    player.track.score.energy = c.energy;
    const gfx::ImageData img = Frame();
    EXPECT_EQ(LitAlong(img, kEnergyX, kEnergyNear, kEnergyFar), c.lit) << "energy at " << c.energy;
  }
}

}  // namespace
