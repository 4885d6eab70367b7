// The frame's passes, the screen each game state draws, the stereoscopic combine, the
// play background and the overlay texts, read from the Recording back end's log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/shell/shell_state.h"
#include "game/level/level.h"
#include "graphics/frame_render.h"
#include "graphics/render_layers.h"
#include "graphics/scene_context.h"
#include "platform/gfx/recording_device.h"
#include "tests/graphics/gfx_fixtures.h"
#include "tests/support/test_support.h"

namespace {

namespace gfx = platform::gfx;
using graphics::Layers;

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::make_unique<SettingsSnapshot>();
    g_Settings.SetDefaults();
    shell::BackBufferWidth = 1280;
    shell::BackBufferHeight = 720;
    shell::SetState(shell::State::kMenus);
    shell::ScreenFade.store(0.0f);
    cameras_ = graphics::CreateCameras();
    graphics::SceneGlobals& g = graphics::Globals();
    g.device = &device_;
    g.sprite = &spritePtr_;
    g.cameras = cameras_.get();
  }
  void TearDown() override {
    graphics::ReleaseFrameResources();
    graphics::ReleasePlayBackgroundImage();
    graphics::PlayBackgroundTexture();  // the release takes effect at the next draw
    graphics::SceneGlobals& g = graphics::Globals();
    g.device = nullptr;
    g.sprite = nullptr;
    g.cameras = nullptr;
    graphics::RenderLayers& l = Layers();
    l.renderMenus = nullptr;
    l.renderSongLoadTheme = nullptr;
    l.drawReactiveBackground = nullptr;
    l.videoBackgroundTexture = nullptr;
    l.stageViewerStep = nullptr;
    shell::SetState(shell::State::kStartupLoading);
    saved_.reset();
  }

  // Keeps the process's settings record for the test's changes.
  struct SettingsSnapshot {
    int32_t stereo = g_Settings.STEREOSCOPICMETHOD, background = g_Settings.BACKGROUND;
    bool songImage = g_Settings.songImageBackgroundOn, songVideo = g_Settings.songVideoBackgroundOn;
    ~SettingsSnapshot() {
      g_Settings.STEREOSCOPICMETHOD = stereo;
      g_Settings.BACKGROUND = background;
      g_Settings.songImageBackgroundOn = songImage;
      g_Settings.songVideoBackgroundOn = songVideo;
    }
  };

  int Count(const std::string& line) const {
    return int(std::count(device_.log.begin(), device_.log.end(), line));
  }

  gfx::RecordingRenderDevice device_{1280, 720};
  gfx::Sprite sprite_{&device_};
  gfx::Sprite* spritePtr_ = &sprite_;
  std::unique_ptr<graphics::Cameras> cameras_;
  std::unique_ptr<SettingsSnapshot> saved_;
};

TEST_F(FrameTest, EachGameStateDrawsItsScreenInOneScene) {
  struct Case {
    shell::State state;
    int clears;
    uint32_t firstFlags, firstColour;
    const char* hook;  // the layer entry the screen reaches, or null
  };
  const uint32_t kTargetDepth = gfx::clear::kTarget | gfx::clear::kZBuffer;
  const Case cases[] = {
      {shell::State::kStartupLoading, 1, kTargetDepth, 0xFF000000u, nullptr},
      {shell::State::kMenus, 1, kTargetDepth, 0xFF000000u, "menus"},
      {shell::State::kPlaying, 1, kTargetDepth | gfx::clear::kStencil, 0xFF000000u, nullptr},
      {shell::State::kOnlineStart, 1, kTargetDepth | gfx::clear::kStencil, 0xFF000000u, nullptr},
      {shell::State::kSongLoading, 1, kTargetDepth, 0xFF000000u, "song load"},
      {shell::State::kStageView, 1, kTargetDepth, 0xFF646464u, "stage viewer"},
      {shell::State(5), 0, 0, 0, nullptr},
      {shell::State(6), 0, 0, 0, nullptr},
      {shell::State(7), 0, 0, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.state));
    std::vector<std::string> reached;
    Layers().renderMenus = [&](int32_t) { reached.push_back("menus"); };
    Layers().renderSongLoadTheme = [&](int32_t) { reached.push_back("song load"); };
    Layers().stageViewerStep = [&] { reached.push_back("stage viewer"); };
    device_.SetViewport(gfx::Viewport{10, 20, 30, 40, 0.0f, 1.0f});
    device_.ClearLog();
    shell::SetState(c.state);
    graphics::RenderFrame();
    EXPECT_EQ(Count("BeginScene"), 1);
    EXPECT_EQ(Count("EndScene"), 1);
    ASSERT_EQ(int(device_.clears.size()), c.clears);
    if (c.clears > 0) {
      EXPECT_EQ(device_.clears[0].flags, c.firstFlags);
      EXPECT_EQ(device_.clears[0].color, c.firstColour);
      // The pass covers the whole render size.
      EXPECT_EQ(device_.clears[0].viewport, (gfx::Viewport{0, 0, 1280, 720, 0.0f, 1.0f}));
    }
    EXPECT_EQ(reached, c.hook ? std::vector<std::string>{c.hook} : std::vector<std::string>{});
  }
}

TEST_F(FrameTest, TheLoadingScreenFadesOverTheMenusWithADepthClearOnly) {
  bool menusDrawn = false;
  Layers().renderMenus = [&](int32_t) { menusDrawn = true; };
  shell::ScreenFade.store(0.5f);
  device_.ClearLog();
  graphics::RenderFrame();
  EXPECT_TRUE(menusDrawn);
  ASSERT_EQ(device_.clears.size(), 2u);
  EXPECT_EQ(device_.clears[1].flags, gfx::clear::kZBuffer);  // the menus stay visible under it
}

TEST_F(FrameTest, StereoDrawsTwoEyePassesAndAddsThemUpOnTheBackBuffer) {
  struct Pass {
    int32_t eye;
    bool second;
    const gfx::Texture* target;
  };
  struct Case {
    int32_t method;
    int32_t leftX0, leftX1, rightX0, rightX1;
    uint32_t firstTint, secondTint;
  };
  const Case cases[] = {
      {1, 0, 640, 640, 1280, 0xFFFFFFFFu, 0xFFFFFFFFu},  // side by side, each squeezed to half
      {2, 0, 1280, 0, 1280, 0xFF00FFFFu, 0xFFFF0000u},   // cyan and red over each other
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    g_Settings.STEREOSCOPICMETHOD = c.method;
    std::vector<Pass> passes;
    Layers().renderMenus = [&](int32_t eye) {
      passes.push_back({eye, graphics::SecondEyePass(), device_.GetRenderTarget()});
    };
    device_.ClearLog();
    graphics::RenderFrame();
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_EQ(passes[0].eye, 0);
    EXPECT_FALSE(passes[0].second);
    EXPECT_EQ(passes[1].eye, 1);
    EXPECT_TRUE(passes[1].second);
    ASSERT_NE(passes[0].target, nullptr);
    ASSERT_NE(passes[1].target, nullptr);
    EXPECT_NE(passes[0].target, passes[1].target);
    EXPECT_FALSE(graphics::SecondEyePass());
    EXPECT_EQ(device_.GetRenderTarget(), nullptr);
    // Three scenes: the two passes and the combine.
    EXPECT_EQ(Count("BeginScene"), 3);
    ASSERT_GE(device_.draws.size(), 2u);
    const gfx::RecordedDraw& first = device_.draws[device_.draws.size() - 2];
    const gfx::RecordedDraw& second = device_.draws.back();
    // Pass 1's picture is shown as eye 0, pass 0's as eye 1.
    EXPECT_EQ(first.state.textures[0], passes[1].target);
    EXPECT_EQ(second.state.textures[0], passes[0].target);
    for (const gfx::RecordedDraw* d : {&first, &second}) {
      EXPECT_EQ(d->state.render[size_t(gfx::RenderState::kAlphaBlendEnable)], 1u);
      EXPECT_EQ(d->state.render[size_t(gfx::RenderState::kSrcBlend)], uint32_t(gfx::BlendFactor::kOne));
      EXPECT_EQ(d->state.render[size_t(gfx::RenderState::kDestBlend)], uint32_t(gfx::BlendFactor::kOne));
    }
    auto span = [](const gfx::RecordedDraw& d) {
      float lo = 1e9f, hi = -1e9f;
      for (const gfx::DrawnVertex& v : d.vertices) {
        lo = std::min(lo, v.world.x);
        hi = std::max(hi, v.world.x);
      }
      return std::pair<int, int>(int(std::lround(lo)), int(std::lround(hi)));
    };
    EXPECT_EQ(span(first), (std::pair<int, int>(c.leftX0, c.leftX1)));
    EXPECT_EQ(span(second), (std::pair<int, int>(c.rightX0, c.rightX1)));
    EXPECT_EQ(first.vertices[0].color, c.firstTint);
    EXPECT_EQ(second.vertices[0].color, c.secondTint);
  }
}

TEST_F(FrameTest, EyeImagesFollowTheRenderSize) {
  g_Settings.STEREOSCOPICMETHOD = 1;
  const gfx::Texture* target = nullptr;
  Layers().renderMenus = [&](int32_t) { target = device_.GetRenderTarget(); };
  graphics::RenderFrame();
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->Width(), 1280);
  shell::BackBufferWidth = 800;
  shell::BackBufferHeight = 600;
  graphics::RenderFrame();
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->Width(), 800);
  EXPECT_EQ(target->Height(), 600);
  shell::BackBufferWidth = 1280;
  shell::BackBufferHeight = 720;
}

TEST_F(FrameTest, WithoutStereoEveryPassIsEyeZero) {
  std::vector<int32_t> eyes;
  Layers().renderMenus = [&](int32_t eye) {
    eyes.push_back(eye);
    EXPECT_FALSE(graphics::SecondEyePass());
    EXPECT_EQ(device_.GetRenderTarget(), nullptr);
  };
  graphics::RenderFrame();
  graphics::RenderFrame();
  EXPECT_EQ(eyes, (std::vector<int32_t>{0, 0}));
}

TEST_F(FrameTest, ThePlayBackgroundFollowsTheModeAndItsOverrides) {
  testsupport::TempDir dir;
  const std::string picture = dir.Path("back.png");
  ASSERT_TRUE(gfxtest::WritePng(picture, 64, 32, 0xFF336699u));
  std::vector<int32_t> reactive;
  Layers().drawReactiveBackground = [&](int32_t eye) { reactive.push_back(eye); };
  gfx::Texture video(320, 240, gfx::TextureKind::kDynamic);
  Layers().videoBackgroundTexture = [&]() -> const gfx::Texture* { return &video; };
  shell::SetState(shell::State::kPlaying);

  ASSERT_TRUE(graphics::LoadPlayBackgroundImage(std::u16string(picture.begin(), picture.end())));
  EXPECT_FALSE(graphics::LoadPlayBackgroundImage(u"/no/such/picture.png"));
  g_Settings.BACKGROUND = 0;
  device_.ClearLog();
  graphics::RenderFrame();
  ASSERT_EQ(device_.draws.size(), 1u);
  // Stretched over the whole screen.
  float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
  for (const gfx::DrawnVertex& v : device_.draws[0].vertices) {
    x0 = std::min(x0, v.world.x);
    x1 = std::max(x1, v.world.x);
    y0 = std::min(y0, v.world.y);
    y1 = std::max(y1, v.world.y);
  }
  EXPECT_NEAR(x0, 0.0f, 0.5f);
  EXPECT_NEAR(x1, 1280.0f, 0.5f);
  EXPECT_NEAR(y0, 0.0f, 0.5f);
  EXPECT_NEAR(y1, 720.0f, 0.5f);
  EXPECT_EQ(device_.draws[0].state.textures[0]->Width(), 64);

  // A song's video wins over the setting; its frame is drawn the same way.
  g_Settings.songVideoBackgroundOn = true;
  device_.ClearLog();
  graphics::RenderFrame();
  ASSERT_EQ(device_.draws.size(), 1u);
  EXPECT_EQ(device_.draws[0].state.textures[0], &video);
  g_Settings.songVideoBackgroundOn = false;

  g_Settings.BACKGROUND = 1;
  device_.ClearLog();
  graphics::RenderFrame();
  EXPECT_TRUE(device_.draws.empty());
  EXPECT_EQ(reactive, (std::vector<int32_t>{0}));
  // The song's own picture wins over the reactive background.
  g_Settings.songImageBackgroundOn = true;
  device_.ClearLog();
  graphics::RenderFrame();
  EXPECT_EQ(device_.draws.size(), 1u);
  g_Settings.songImageBackgroundOn = false;

  // Beyond the known modes only the clear is left; a released picture is not drawn.
  g_Settings.BACKGROUND = 4;
  device_.ClearLog();
  graphics::RenderFrame();
  EXPECT_TRUE(device_.draws.empty());
  EXPECT_EQ(device_.clears.size(), 1u);
  g_Settings.BACKGROUND = 0;
  graphics::ReleasePlayBackgroundImage();
  device_.ClearLog();
  graphics::RenderFrame();
  EXPECT_TRUE(device_.draws.empty());
}

// A device that counts the textures made on it.
class CountingDevice : public gfx::RecordingRenderDevice {
 public:
  using gfx::RecordingRenderDevice::RecordingRenderDevice;
  std::unique_ptr<gfx::Texture> CreateTexture(const gfx::ImageData& image) override {
    ++made;
    return gfx::RecordingRenderDevice::CreateTexture(image);
  }
  std::unique_ptr<gfx::Texture> CreateTexture(gfx::ImageData&& image) override {
    ++made;
    return gfx::RecordingRenderDevice::CreateTexture(std::move(image));
  }
  int made = 0;
};

// Another adapter or multisampling destroys the device and makes a new one: the play
// picture and the viewer model are made again on the new device and drawn through it.
TEST_F(FrameTest, AFullDeviceRemakeMakesThePlayPictureAndTheViewerModelAgain) {
  testsupport::TempDir dir;
  const std::string picture = dir.Path("back.png");
  ASSERT_TRUE(gfxtest::WritePng(picture, 64, 32, 0xFF336699u));
  graphics::SceneGlobals& g = graphics::Globals();
  auto first = std::make_unique<CountingDevice>(1280, 720);
  auto firstSprite = std::make_unique<gfx::Sprite>(first.get());
  gfx::Sprite* firstShared = firstSprite.get();
  g.device = first.get();
  g.sprite = &firstShared;

  shell::SetState(shell::State::kPlaying);
  g_Settings.BACKGROUND = 0;
  ASSERT_TRUE(graphics::LoadPlayBackgroundImage(std::u16string(picture.begin(), picture.end())));
  graphics::RenderFrame();
  const int pictureMade = first->made;
  EXPECT_GT(pictureMade, 0);

  CountingDevice second(1280, 720);
  gfx::Sprite secondSprite(&second);
  gfx::Sprite* secondShared = &secondSprite;
  auto remake = [&] {
    graphics::OnFrameDeviceDestroyed();  // while the old device still exists
    firstSprite.reset();
    first.reset();
    g.device = &second;
    g.sprite = &secondShared;
  };
  remake();
  graphics::RenderFrame();
  EXPECT_EQ(second.made, pictureMade) << "the picture is made again from its pixels";
  ASSERT_EQ(second.draws.size(), 1u);
  ASSERT_NE(second.draws[0].state.textures[0], nullptr);
  EXPECT_EQ(second.draws[0].state.textures[0]->Width(), 64);

  // The note-model viewer: its model's textures come from the device it draws on.
  const char* run = std::getenv("VELORIN_RUN_DIR");
  const std::filesystem::path folder = run && *run ? run : VELORIN_TEST_RUN_DIR;
  if (!std::filesystem::exists(folder / "themes/default/static/notes/Note_Dance_Blue.X")) return;
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  shell::SetState(shell::State::kNoteModelView);
  graphics::RenderFrame();
  const int modelPictures = second.made - pictureMade;
  EXPECT_GT(modelPictures, 0) << "the model's pictures";
  CountingDevice third(1280, 720);
  gfx::Sprite thirdSprite(&third);
  gfx::Sprite* thirdShared = &thirdSprite;
  graphics::OnFrameDeviceDestroyed();
  g.device = &third;
  g.sprite = &thirdShared;
  graphics::RenderFrame();
  std::filesystem::current_path(previous);
  EXPECT_EQ(third.made, modelPictures) << "the same pictures again, on the new device";
  EXPECT_FALSE(third.draws.empty()) << "the model draws through the new device";
  graphics::ReleaseFrameResources();
  g.device = &device_;
  g.sprite = &spritePtr_;
}

TEST_F(FrameTest, TheBaseRenderStateAndProjection) {
  graphics::SetupProjection();
  using gfx::RenderState;
  EXPECT_EQ(device_.GetRenderState(RenderState::kZFunc), uint32_t(gfx::CompareFunc::kLessEqual));
  EXPECT_EQ(device_.GetRenderState(RenderState::kCullMode), uint32_t(gfx::CullMode::kCounterClockwise));
  EXPECT_EQ(device_.GetRenderState(RenderState::kAlphaTestEnable), 1u);
  EXPECT_EQ(device_.GetRenderState(RenderState::kAlphaRef), 3u);
  EXPECT_EQ(device_.GetRenderState(RenderState::kAlphaFunc), uint32_t(gfx::CompareFunc::kGreaterEqual));
  EXPECT_EQ(device_.GetRenderState(RenderState::kAmbient), 0xFF505050u);
  EXPECT_EQ(device_.GetTextureStageState(1, gfx::TextureStageState::kColorOp),
            uint32_t(gfx::TextureOp::kSelectArg2));
  EXPECT_EQ(device_.GetTextureStageState(1, gfx::TextureStageState::kTexCoordIndex), 1u);
  EXPECT_EQ(device_.GetTransform(gfx::TransformKind::kProjection),
            gfx::Matrix::PerspectiveFovLH(3.14159265358979f / 5.0f, 1280.0f / 720.0f, 1.0f, 5000.0f));
}

TEST_F(FrameTest, PlayOverlaysClearDepthBeforeTheInGameMenus) {
  size_t clearsBeforeMenus = 0;
  Layers().renderInGameMenus = [&] { clearsBeforeMenus = device_.clears.size(); };
  device_.ClearLog();
  graphics::DrawPlayOverlays();
  Layers().renderInGameMenus = nullptr;
  // The average delay's depth clear, then the one that puts the menus over everything.
  ASSERT_EQ(clearsBeforeMenus, 2u);
  EXPECT_EQ(device_.clears[1].flags, gfx::clear::kZBuffer);
}

TEST(FrameTexts, LoadingStepAndAverageDelay) {
  EXPECT_TRUE(graphics::LoadingStepText(6, 1234).ends_with(" 1234"));
  EXPECT_FALSE(graphics::LoadingStepText(6, -1).ends_with(" -1"));  // no song list yet
  EXPECT_FALSE(graphics::LoadingStepText(5, 1234).ends_with(" 1234"));
  struct Case {
    double sum;
    int32_t hits;
    const char* text;
  };
  const Case cases[] = {
      {0.0, 0, "Avg Delay: 0"}, {25.0, 0, "Avg Delay: 0"}, {25.0, 2, "Avg Delay: 12"}, {-25.0, 2, "Avg Delay: -13"}};
  for (const Case& c : cases) EXPECT_EQ(graphics::AverageDelayText(c.sum, c.hits), c.text);
}

TEST(FrameTexts, TheFrameRateIsHalvedInStereo) {
  graphics::FpsCounter fps;
  fps.mark = 1000;
  for (int i = 0; i < 60; ++i) fps.Tick(1000 + uint32_t(i) * 10);
  EXPECT_EQ(fps.Shown(false), 0);  // no second has passed yet
  fps.Tick(2001);
  EXPECT_EQ(fps.frames, 0);
  EXPECT_NEAR(fps.rate, 61.0f / 1.001f, 0.01f);
  EXPECT_EQ(fps.Shown(false), 60);
  EXPECT_EQ(fps.Shown(true), 30);
}

TEST_F(FrameTest, DebugLinesDrawWithAndWithoutALevel) {
  auto small = gfx::SystemFont::Create(&device_, 18, 700, u"Arial");
  auto large = gfx::SystemFont::Create(&device_, 22, 700, u"Arial");
  ASSERT_TRUE(small && large);
  graphics::SetOverlayFont(0, small.get());
  graphics::SetOverlayFont(1, large.get());
  shell::BackBufferWidth = 1920;
  shell::BackBufferHeight = 1080;
  // No level: the camera lines only (no player to read, no division by a count of 0).
  ASSERT_EQ(Level().playerCount, 0);
  device_.ClearLog();
  graphics::DrawDebugInfo();
  const size_t withoutLevel = device_.draws.size();
  EXPECT_GT(withoutLevel, 0u);

  // Four players on a 1920-pixel screen: a column each, centred at 240, 720, 1200, 1680.
  LevelState& level = Level();
  level.players = std::make_unique<Player[]>(4);
  level.playerCount = 4;
  device_.ClearLog();
  graphics::DrawDebugInfo();
  EXPECT_GT(device_.draws.size(), withoutLevel);
  for (int column = 0; column < 4; ++column) {
    float lo = 1e9f, hi = -1e9f;
    for (const gfx::RecordedDraw& d : device_.draws)
      for (const gfx::DrawnVertex& v : d.vertices)
        if (v.world.y > 1080.0f - 30.0f && v.world.x >= column * 480.0f && v.world.x < (column + 1) * 480.0f) {
          lo = std::min(lo, v.world.x);
          hi = std::max(hi, v.world.x);
        }
    ASSERT_LT(lo, hi) << column;
    EXPECT_NEAR((lo + hi) / 2.0f, 240.0f + 480.0f * float(column), 6.0f) << column;
  }
  level.players.reset();
  level.playerCount = 0;
  graphics::SetOverlayFont(0, nullptr);
  graphics::SetOverlayFont(1, nullptr);
  shell::BackBufferWidth = 1280;
  shell::BackBufferHeight = 720;
}

}  // namespace
