// A hit lights its fret: the fret row drawn by the OpenGL back end on a headless
// context, seen from straight above, probed at the hit lane and at a lane beside it.
#include <gtest/gtest.h>

#include <memory>

#include "board_fx_fixtures.h"
#include "gfx_fixtures.h"
#include "graphics/fret_manager.h"
#include "platform/clock.h"
#include "platform/gfx/render_device.h"

namespace {

namespace gfx = platform::gfx;
constexpr int kSize = 96;

class FretPixelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context = std::make_unique<gfxtest::GlContext>(kSize, kSize);
    if (!context->Ok()) GTEST_SKIP() << "no OpenGL context could be made: " << context->Error();
    device = gfx::CreateGlRenderDevice(kSize, kSize);
    board = std::make_unique<boardfxtest::BoardScene>(device.get());
    // The fret body and the hit glow lie flat on the board, the glow a little above.
    ASSERT_TRUE(board->LoadSquare(19, 20.0f, 10.0f, 0.0f));
    ASSERT_TRUE(board->LoadSquare(34, 22.0f, 12.0f, 0.5f));
    for (int colour = 1; colour <= 5; ++colour) board->SetFretTexture(colour, Texture(0, 0, 128));
    board->SetFretTexture(123, Texture(255, 255, 0));  // the yellow glow of lane 3

    const float offsets[2] = {0.0f, 0.0f};
    const int32_t visible[2] = {5, 5};
    ASSERT_TRUE(frets.Load(5, 0, false, &board->scene, 2, offsets, visible));

    device->BeginScene();
    // The board seen from above: x to the right, the board's depth axis up the screen.
    device->SetTransform(gfx::TransformKind::kView,
                         gfx::Matrix::LookAtLH({0.0f, 1000.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}));
    device->SetTransform(gfx::TransformKind::kProjection, gfx::Matrix::OrthoOffCenterLH(-120, 120, -120, 120, 1, 2000));
    // Lit as the board is, with no light: the models show their emissive colour and
    // take their opacity from the material, where the glow's fade goes.
    device->SetRenderState(gfx::RenderState::kLighting, 1);
    device->SetRenderState(gfx::RenderState::kAmbient, 0);
    device->SetRenderState(gfx::RenderState::kCullMode, uint32_t(gfx::CullMode::kNone));
    // The frame's stage set-up: opacity is the texture's times the lit diffuse.
    device->SetTextureStageState(0, gfx::TextureStageState::kAlphaOp, uint32_t(gfx::TextureOp::kModulate));
    device->SetTextureStageState(0, gfx::TextureStageState::kAlphaArg1, uint32_t(gfx::TextureArg::kTexture));
    device->SetTextureStageState(0, gfx::TextureStageState::kAlphaArg2, uint32_t(gfx::TextureArg::kDiffuse));
    device->SetRenderState(gfx::RenderState::kAlphaBlendEnable, 1);
    device->SetRenderState(gfx::RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
    device->SetRenderState(gfx::RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
  }
  void TearDown() override {
    frets.scene = nullptr;
    board.reset();
    device.reset();
    context.reset();
  }

  std::unique_ptr<gfx::Texture> Texture(uint8_t r, uint8_t g, uint8_t b) {
    gfx::ImageData image;
    image.width = 1;
    image.height = 1;
    image.rgba = {r, g, b, 255};
    return device->CreateTexture(image);
  }

  // One frame of the row as the board draws it: frets, then the glows with depth off.
  gfx::ImageData DrawRow() {
    device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF000000, 1.0f, 0);
    frets.Draw(0);
    device->SetRenderState(gfx::RenderState::kZEnable, 0);
    device->SetRenderState(gfx::RenderState::kZWriteEnable, 0);
    frets.DrawGlows(0);
    device->SetRenderState(gfx::RenderState::kZEnable, 1);
    device->SetRenderState(gfx::RenderState::kZWriteEnable, 1);
    gfx::ImageData img;
    EXPECT_TRUE(device->ReadPixels(img));
    return img;
  }

  // The pixel over board point (x, z).
  static void ExpectColour(const gfx::ImageData& img, float x, float z, int r, int g, int b, const char* what) {
    const int px = static_cast<int>((x + 120.0f) / 240.0f * kSize);
    const int py = static_cast<int>((120.0f - z) / 240.0f * kSize);
    ASSERT_EQ(img.width, kSize);
    const uint8_t* p = &img.rgba[(static_cast<size_t>(py) * kSize + static_cast<size_t>(px)) * 4];
    EXPECT_NEAR(p[0], r, 3) << what << " red at " << px << "," << py;
    EXPECT_NEAR(p[1], g, 3) << what << " green at " << px << "," << py;
    EXPECT_NEAR(p[2], b, 3) << what << " blue at " << px << "," << py;
  }

  platform::ScopedFakeClock clock;
  std::unique_ptr<gfxtest::GlContext> context;
  std::unique_ptr<gfx::RenderDevice> device;
  std::unique_ptr<boardfxtest::BoardScene> board;
  graphics::FretManager frets;
};

TEST_F(FretPixelTest, AHitLightsTheFret) {
  const float lane3 = frets.FretAt(3).lanePlace[0].position.x;
  const float lane1 = frets.FretAt(1).lanePlace[0].position.x;
  ASSERT_LT(lane1, -60.0f);

  gfx::ImageData before = DrawRow();
  ExpectColour(before, lane3, 0.0f, 0, 0, 128, "lane 3 before the hit");
  ExpectColour(before, lane1, 0.0f, 0, 0, 128, "lane 1");
  ExpectColour(before, lane3, 60.0f, 0, 0, 0, "the board beyond the frets");

  clock.clock.AdvanceMs(1000);
  frets.NoteHit(3, graphics::FretGlow::kNoteHit, 0, false);
  frets.Update(1, 0.0f);
  gfx::ImageData lit = DrawRow();
  ExpectColour(lit, lane3, 0.0f, 255, 255, 0, "lane 3 at the hit");
  ExpectColour(lit, lane1, 0.0f, 0, 0, 128, "lane 1 beside it");

  // Half way through the glow's 0.2 s the fret shows through it.
  clock.clock.AdvanceMs(100);
  frets.Update(1, 0.0f);
  gfx::ImageData fading = DrawRow();
  ExpectColour(fading, lane3, 0.0f, 128, 128, 64, "lane 3 as the glow fades");

  clock.clock.AdvanceMs(200);
  frets.Update(1, 0.0f);
  gfx::ImageData after = DrawRow();
  ExpectColour(after, lane3, 0.0f, 0, 0, 128, "lane 3 once the glow is gone");
}

}  // namespace
