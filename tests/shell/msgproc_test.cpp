// The window procedure on synthetic messages, the device-settings callback and the
// device callbacks.
#include <gtest/gtest.h>

#include <cmath>

#include "core/settings.h"
#include "core/utils.h"
#include "core/shell/shell.h"
#include "platform/clock.h"
#include "tests/shell/harness.h"

using namespace shelltest;
using namespace platform::gfx;

namespace {

class MsgProcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.MakeDir("settings");
    g_Settings.SetDefaults();
    g_Settings.configPath = u"settings/config.ini";
    shell::AttachForTesting(&fw_, MakeServices(world_));
    InstallShellCallbacks(fw_);
    ASSERT_TRUE(fw_.CreateDevice(g_Settings.WINDOWED, 1280, 720));
    world_.rec.Clear();
  }
  void TearDown() override {
    fw_.Shutdown();
    shell::AttachForTesting(nullptr, shell::Services());
  }
  bool Send(uint32_t msg, uintptr_t wParam, intptr_t lParam = 0) {
    bool noFurther = false;
    EXPECT_EQ(shell::MsgProc(nullptr, msg, wParam, lParam, &noFurther), 0);
    return noFurther;
  }
  void MakeAll() {
    shell::SetSingletonsForTesting({true, true, true, true, true, true, true, true});
  }

  testsupport::TempDir dir_;
  FakeWorld world_;
  NullFramework fw_;
};

}  // namespace

TEST_F(MsgProcTest, AltEnterTogglesWindowedSavesAndMovesTheDevice) {
  g_Settings.WINDOWED = false;
  g_Settings.XRESWINDOWED = 800;
  g_Settings.YRESWINDOWED = 600;
  g_Settings.XRESFULLSCREEN = 1024;
  g_Settings.YRESFULLSCREEN = 768;
  g_Settings.MULTIDISPLAY = 2;
  MakeAll();
  EXPECT_TRUE(Send(WM_SYSKEYDOWN, VK_RETURN, kKeyAltDownBit));
  EXPECT_TRUE(g_Settings.WINDOWED);
  EXPECT_NE(dir_.ReadUtf16("settings/config.ini").find("WINDOWED = \"TRUE\""), std::string::npos);
  DeviceSettings s = fw_.GetDeviceSettings();
  EXPECT_TRUE(s.windowed);
  EXPECT_EQ(s.width, 1600);
  EXPECT_EQ(s.height, 600);
  EXPECT_EQ(world_.rec.Count("clearAllEvents"), 1);
  // The device went through lost and reset.
  EXPECT_TRUE(world_.rec.Has("sprite.lost"));
  EXPECT_TRUE(world_.rec.Has("sprite.reset"));

  EXPECT_TRUE(Send(WM_SYSKEYDOWN, VK_RETURN, kKeyAltDownBit));
  EXPECT_FALSE(g_Settings.WINDOWED);
  EXPECT_NE(dir_.ReadUtf16("settings/config.ini").find("WINDOWED = \"FALSE\""), std::string::npos);
  s = fw_.GetDeviceSettings();
  EXPECT_FALSE(s.windowed);
  EXPECT_EQ(s.width, 2048);
  EXPECT_EQ(s.height, 768);
  EXPECT_EQ(s.refreshRate, 60);
}

TEST_F(MsgProcTest, FullscreenTheDisplayRefusesFallsBackToTheDesktopOrStaysWindowed) {
  // The display has only its desktop mode, 1920x1080.
  fw_.options().fullscreenOnlyAtDisplayMode = true;
  g_Settings.WINDOWED = true;
  g_Settings.XRESFULLSCREEN = 1024;
  g_Settings.YRESFULLSCREEN = 768;
  ASSERT_TRUE(g_Settings.Save());
  MakeAll();
  EXPECT_TRUE(Send(WM_SYSKEYDOWN, VK_RETURN, kKeyAltDownBit));
  DeviceSettings s = fw_.GetDeviceSettings();
  EXPECT_FALSE(s.windowed);
  EXPECT_EQ(s.width, 1920);
  EXPECT_EQ(s.height, 1080);
  EXPECT_EQ(shell::BackBufferWidth, 1920);
  EXPECT_EQ(shell::BackBufferHeight, 1080);
  EXPECT_FALSE(g_Settings.WINDOWED);
  // The chosen full-screen size stays for a display that has it.
  EXPECT_EQ(g_Settings.XRESFULLSCREEN, 1024);
  EXPECT_NE(dir_.ReadUtf16("settings/config.ini").find("WINDOWED = \"FALSE\""), std::string::npos);
  EXPECT_GE(FindLog(dir_.GameLogTexts(), "Fullscreen 1024x768 Not Available, Using Desktop Mode 1920x1080"), 0);

  // Back to the window; then a display whose mode cannot be read: nothing takes
  // effect, so nothing is saved and the window stays.
  EXPECT_TRUE(Send(WM_SYSKEYDOWN, VK_RETURN, kKeyAltDownBit));
  EXPECT_TRUE(g_Settings.WINDOWED);
  fw_.options().displayMode = DisplayMode{1600, 900, 60};
  fw_.options().displayModeReadable = false;
  EXPECT_TRUE(Send(WM_SYSKEYDOWN, VK_RETURN, kKeyAltDownBit));
  EXPECT_TRUE(g_Settings.WINDOWED);
  EXPECT_TRUE(fw_.GetDeviceSettings().windowed);
  EXPECT_NE(dir_.ReadUtf16("settings/config.ini").find("WINDOWED = \"TRUE\""), std::string::npos);
  EXPECT_EQ(shell::BackBufferWidth, fw_.GetDeviceSettings().width);
}

TEST_F(MsgProcTest, TheRenderSizeIsTheSizeTheWindowReallyHas) {
  // The window manager gave the window another size: the device is reset at it and
  // the renderers draw at it.
  world_.rec.Clear();
  fw_.PostMessage(WM_SIZE, 0, (500 << 16) | 900);
  fw_.options().maxFrames = 1;
  fw_.MainLoop();
  EXPECT_EQ(fw_.GetDeviceSettings().width, 900);
  EXPECT_EQ(shell::BackBufferWidth, 900);
  EXPECT_EQ(shell::BackBufferHeight, 500);
  EXPECT_EQ(g_Settings.renderWidth, 900);
  EXPECT_EQ(g_Settings.renderHeight, 500);
  EXPECT_TRUE(world_.rec.Has("sprite.lost"));
  EXPECT_TRUE(world_.rec.Has("sprite.reset"));
}

TEST(FrameworkFlagsTest, FlagsAreInForceBeforeTheSettingsCallbackRuns) {
  NullFramework fw;
  std::vector<std::string> args{"game", "-windowed", "-width:1000"};
  fw.Init(true, &args);
  DeviceSettings seen;
  FrameworkCallbacks cb;
  cb.modifyDeviceSettings = [&](DeviceSettings& s) {
    seen = s;
    return true;
  };
  BackBufferDesc reset;
  cb.deviceReset = [&](Device&, const BackBufferDesc& d) { reset = d; };
  fw.SetCallbacks(std::move(cb));
  fw.CreateWindow(u"t", 0, "");
  ASSERT_TRUE(fw.CreateDevice(false, 1280, 720));
  EXPECT_TRUE(seen.windowed);
  EXPECT_EQ(seen.width, 1000);
  EXPECT_EQ(reset.width, 1000);
  fw.Shutdown();
}

TEST_F(MsgProcTest, AltAloneIsSwallowedOtherSystemKeysPassThrough) {
  EXPECT_TRUE(Send(WM_SYSKEYDOWN, VK_MENU));
  EXPECT_FALSE(Send(WM_SYSKEYDOWN, VK_F1 + 3));
  EXPECT_FALSE(world_.rec.Has("textEntryOnKey(18)"));
  EXPECT_EQ(fw_.DeviceHistory().size(), 1u);  // no device change
}

TEST_F(MsgProcTest, FocusLossPausesOnlyAnOfflineSongWithPlayers) {
  struct Case {
    bool connected;
    int state;
    bool players;
    bool pauses;
  };
  const Case cases[] = {{false, 2, true, true},  {true, 2, true, false}, {false, 1, true, false},
                        {false, 2, false, false}, {false, 4, true, false}};
  for (const Case& c : cases) {
    world_.rec.Clear();
    world_.connected = c.connected;
    world_.levelPlayers = c.players;
    shell::GameState = c.state;
    shell::WindowActive = true;
    Send(WM_ACTIVATEAPP, 0);
    EXPECT_FALSE(shell::WindowActive.load());
    EXPECT_EQ(world_.rec.Has("requestPause"), c.pauses) << c.connected << c.state << c.players;
    EXPECT_TRUE(world_.rec.Has("xinputEnable(0)"));
  }
  world_.rec.Clear();
  Send(WM_ACTIVATEAPP, 1);
  EXPECT_TRUE(shell::WindowActive.load());
  EXPECT_TRUE(world_.rec.Has("xinputEnable(1)"));
  // Without XInput the pads are left alone.
  g_Settings.XINPUT = false;
  world_.rec.Clear();
  Send(WM_ACTIVATEAPP, 0);
  Send(WM_ACTIVATEAPP, 1);
  EXPECT_EQ(world_.rec.Calls().size(), 0u);
}

TEST_F(MsgProcTest, EveryKeyGoesToTheTextFieldFirstAndDebugKeysNeedDebugMode) {
  shell::GameState = 1;
  MakeAll();
  const uint32_t keys[] = {VK_PRIOR, VK_NEXT, VK_NUMPAD6, VK_NUMPAD4, VK_HOME, VK_END, VK_NUMPAD9, VK_NUMPAD7,
                           VK_NUMPAD8, VK_NUMPAD2, VK_ADD, VK_SUBTRACT, VK_F8, VK_F9, VK_F11, VK_F12, 'A', VK_SPACE};
  for (bool debug : {false, true}) {
    g_Settings.DEBUGMODE = debug;
    world_.board = shell::BoardCamera();
    world_.scale = 0.5f;
    world_.rec.Clear();
    for (uint32_t vk : keys) {
      EXPECT_TRUE(Send(WM_KEYDOWN, vk)) << vk;  // the framework never sees key presses
      EXPECT_TRUE(world_.rec.Has("textEntryOnKey(" + std::to_string(vk) + ")")) << vk;
    }
    const shell::BoardCamera start;
    if (!debug) {
      EXPECT_FLOAT_EQ(world_.board.pitch, start.pitch);
      EXPECT_FLOAT_EQ(world_.board.height, start.height);
      EXPECT_FLOAT_EQ(world_.scale, 0.5f);
      EXPECT_FALSE(world_.rec.Has("pushAchievement(0)"));
      EXPECT_FALSE(world_.rec.Has("reloadReactiveBackground"));
      EXPECT_EQ(fw_.GetDevice()->GetFillMode(), FillMode::kSolid);
    } else {
      // Each pair cancels out; the pop-ups, wireframe and the theme reload happen.
      EXPECT_NEAR(world_.board.pitch, start.pitch, 1e-5);
      EXPECT_NEAR(world_.board.height, start.height, 1e-4);
      EXPECT_NEAR(world_.scale, 0.5f, 1e-6);
      EXPECT_TRUE(world_.rec.Has("pushAchievement(0)"));
      EXPECT_TRUE(world_.rec.Has("pushAchievement(1)"));
      EXPECT_TRUE(world_.rec.Has("reloadReactiveBackground"));
      EXPECT_EQ(world_.rec.Count("loadMenuThemes(" + ToNarrow(g_Settings.themeFolder) + ")"), 1);
      EXPECT_EQ(fw_.GetDevice()->GetFillMode(), FillMode::kWireframe);
      // The text field saw the key before its effect.
      EXPECT_LT(world_.rec.IndexOf("textEntryOnKey(119)"), world_.rec.IndexOf("pushAchievement(0)"));
    }
  }
  // Single debug keys move the board camera by their step.
  g_Settings.DEBUGMODE = true;
  world_.board = shell::BoardCamera();
  Send(WM_KEYDOWN, VK_PRIOR);
  Send(WM_KEYDOWN, VK_HOME);
  Send(WM_KEYDOWN, VK_NUMPAD9);
  Send(WM_KEYDOWN, VK_NUMPAD2);
  Send(WM_KEYDOWN, VK_NUMPAD6);
  Send(WM_KEYDOWN, VK_ADD);
  EXPECT_FLOAT_EQ(world_.board.pitch, 0.66f);
  EXPECT_FLOAT_EQ(world_.board.height, 285.0f);
  EXPECT_FLOAT_EQ(world_.board.x, 5.0f);
  EXPECT_FLOAT_EQ(world_.board.z, -293.0f);
  EXPECT_FLOAT_EQ(world_.board.yaw, 0.04f);
  EXPECT_FLOAT_EQ(world_.scale, 0.51f);
  Send(WM_KEYDOWN, VK_F10);
  EXPECT_EQ(fw_.GetDevice()->GetFillMode(), FillMode::kSolid);
}

TEST_F(MsgProcTest, ViewKeysWorkInTheViewStatesWhateverDebugModeSays) {
  g_Settings.DEBUGMODE = false;
  shell::GameState = 10;
  world_.freeLook = shell::FreeLookCamera();
  world_.freeLook.up = {0, 1, 0};
  world_.freeLook.look = {0, 0, 1};
  world_.freeLook.right = {1, 0, 0};
  Send(WM_KEYDOWN, VK_NEXT);  // pitch 0 - 0.04 wraps to just below 2 pi
  EXPECT_NEAR(world_.freeLook.pitch, 6.28318530718f - 0.04f, 1e-5);
  Send(WM_KEYDOWN, VK_PRIOR);
  Send(WM_KEYDOWN, VK_PRIOR);
  EXPECT_NEAR(world_.freeLook.pitch, 0.04f, 1e-4);
  Send(WM_KEYDOWN, VK_HOME);
  Send(WM_KEYDOWN, VK_NUMPAD8);
  Send(WM_KEYDOWN, VK_NUMPAD8);
  Send(WM_KEYDOWN, VK_NUMPAD7);
  EXPECT_FLOAT_EQ(world_.freeLook.position.y, 8.0f);
  EXPECT_FLOAT_EQ(world_.freeLook.position.z, 16.0f);
  EXPECT_FLOAT_EQ(world_.freeLook.position.x, -8.0f);
  // Arrows turn the note-view model only when one was loaded.
  Send(WM_KEYDOWN, VK_LEFT);
  EXPECT_FLOAT_EQ(world_.noteModel.angle1, 0.0f);
  world_.noteModelLoaded = true;
  Send(WM_KEYDOWN, VK_LEFT);
  Send(WM_KEYDOWN, VK_UP);
  Send(WM_KEYDOWN, VK_UP);
  EXPECT_FLOAT_EQ(world_.noteModel.angle1, 0.1f);
  EXPECT_FLOAT_EQ(world_.noteModel.angle2, 0.2f);
  // The board camera is not a view key's business.
  EXPECT_FLOAT_EQ(world_.board.height, 280.0f);
  EXPECT_TRUE(world_.rec.Has("textEntryOnKey(37)"));
}

TEST_F(MsgProcTest, DeviceChangeRescansControllersAfterADelay) {
  MakeAll();
  const uint32_t before = platform::TimeGetTime();
  EXPECT_TRUE(Send(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED));
  EXPECT_GE(platform::TimeGetTime() - before, 100u);
  EXPECT_EQ(world_.rec.Count("deviceChange"), 1);
  EXPECT_FALSE(Send(WM_DEVICECHANGE, 0x8000));  // other device events pass through
  EXPECT_EQ(world_.rec.Count("deviceChange"), 1);
}

TEST_F(MsgProcTest, VideoEventServicesEveryVideo) {
  MakeAll();
  EXPECT_FALSE(Send(WM_APP + 1, 0));
  EXPECT_TRUE(world_.rec.Has("videoEvent"));
  EXPECT_TRUE(world_.rec.Has("controlAllVideos(3)"));
}

TEST_F(MsgProcTest, CursorHidesAfterASecondAndReturnsAfterFourQuickMoves) {
  platform::ScopedFakeClock clock;
  clock.clock.ms = 10000;
  shell::AttachForTesting(&fw_, MakeServices(world_));  // last mouse move := now
  g_Settings.WINDOWED = true;
  shell::GameState = 8;
  fw_.ShowCursor(true);
  clock.clock.AdvanceMs(999);
  shell::UpdateFrame();
  EXPECT_TRUE(fw_.cursorShown());
  clock.clock.AdvanceMs(1);
  shell::UpdateFrame();
  EXPECT_FALSE(fw_.cursorShown());
  clock.clock.AdvanceMs(1500);
  Send(WM_MOUSEMOVE, 0);  // a slow move starts the count again
  for (int i = 1; i <= 4; ++i) {
    EXPECT_FALSE(fw_.cursorShown()) << i;
    clock.clock.AdvanceMs(1000);  // at most a second apart
    Send(WM_MOUSEMOVE, 0);
  }
  EXPECT_TRUE(fw_.cursorShown());
  // Never hidden during the start-up load, nor in full screen.
  for (auto [state, windowed] : {std::pair{0, true}, std::pair{1, false}}) {
    shell::AttachForTesting(&fw_, MakeServices(world_));
    shell::GameState = state;
    g_Settings.WINDOWED = windowed;
    fw_.ShowCursor(true);
    clock.clock.AdvanceMs(5000);
    shell::UpdateFrame();
    EXPECT_TRUE(fw_.cursorShown()) << state;
  }
}

TEST_F(MsgProcTest, ModifyDeviceSettingsChecksAdapterAndSamples) {
  struct Case {
    int adapter, aa, maxSamples, startSamples;
    bool vsync, triple;
    int wantAdapter, wantSamples;
    PresentInterval wantInterval;
    int wantBuffers;
  };
  const Case cases[] = {
      {0, 2, 4, 0, true, true, 0, 2, PresentInterval::kOne, 2},
      {0, 4, 4, 0, false, false, 0, 4, PresentInterval::kImmediate, 1},
      {0, 3, 4, 2, true, true, 0, 0, PresentInterval::kOne, 2},   // 3 asks for none
      {0, 16, 4, 2, true, true, 0, 0, PresentInterval::kOne, 2},  // so does 16
      {0, 8, 4, 2, true, true, 0, 2, PresentInterval::kOne, 2},   // unsupported: keeps the choice
      {5, 2, 4, 0, true, true, 0, 2, PresentInterval::kOne, 2},   // no such display
      {-1, 0, 4, 0, true, true, 0, 0, PresentInterval::kOne, 2},
  };
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    g_Settings.DISPLAYADAPTOR = c.adapter;
    g_Settings.ANTIALIASING = c.aa;
    g_Settings.VSYNC = c.vsync;
    g_Settings.TRIPLEBUFFER = c.triple;
    fw_.options().maxSamples = c.maxSamples;
    DeviceSettings s;
    s.width = 640;
    s.height = 480;
    s.multisampleSamples = c.startSamples;
    ASSERT_TRUE(shell::ModifyDeviceSettings(s));
    EXPECT_EQ(s.adapter, c.wantAdapter);
    EXPECT_EQ(s.multisampleSamples, c.wantSamples) << c.aa;
    EXPECT_EQ(s.multisampleQuality, 0);
    EXPECT_EQ(s.presentInterval, c.wantInterval);
    EXPECT_EQ(s.backBufferCount, c.wantBuffers);
    EXPECT_EQ(s.behaviorFlags, kMixedVertexProcessing | kMultithreaded);
    const auto log = dir.GameLogTexts();
    EXPECT_GE(FindLog(log, "ModifyDeviceSettings() REZ = 640x480"), 0);
    EXPECT_EQ(FindLog(log, "Display Adaptor ") >= 0, c.adapter != 0) << c.adapter;
  }
  // A display mode that cannot be read refuses the settings.
  testsupport::TempDir dir;
  g_Settings.DISPLAYADAPTOR = 0;
  fw_.options().displayModeReadable = false;
  DeviceSettings s;
  EXPECT_FALSE(shell::ModifyDeviceSettings(s));
  EXPECT_GE(FindLog(dir.GameLogTexts(), "ERROR:Could not get Present Parameters"), 0);
  fw_.options().displayModeReadable = true;
}

TEST_F(MsgProcTest, DeviceObjectsFollowTheDevice) {
  MakeAll();
  ASSERT_NE(shell::SharedSprite(), nullptr);
  ASSERT_NE(shell::OverlayFont(0), nullptr);
  ASSERT_NE(shell::StereoRenderTarget(1), nullptr);
  EXPECT_EQ(shell::StereoRenderTarget(0)->Width(), 1280);
  DeviceSettings s = fw_.GetDeviceSettings();
  s.width = 800;
  s.height = 600;
  world_.rec.Clear();
  fw_.ChangeDevice(s);
  Recorder& r = world_.rec;
  EXPECT_LT(r.IndexOf("sprite.lost"), r.IndexOf("controlAllVideos(4)"));
  EXPECT_LT(r.IndexOf("controlAllVideos(4)"), r.IndexOf("setupStageLight"));
  EXPECT_LT(r.IndexOf("setupStageLight"), r.IndexOf("sprite.reset"));
  EXPECT_TRUE(r.Has("font18/700/Arial.reset"));
  EXPECT_TRUE(r.Has("font22/700/Arial.reset"));
  EXPECT_TRUE(r.Has("controlAllVideos(5)"));
  EXPECT_EQ(shell::StereoRenderTexture(0)->Width(), 800);
  EXPECT_EQ(shell::StereoRenderTexture(0)->Height(), 600);
  fw_.Shutdown();
  EXPECT_TRUE(r.Has("sprite.release"));
  EXPECT_EQ(shell::SharedSprite(), nullptr);
  EXPECT_EQ(shell::StereoRenderTarget(0), nullptr);
}
