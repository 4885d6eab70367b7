// A video background through the video texture: set up muted and running, drawn
// stretched over the window once a frame has arrived, and driven by the theme's
// video commands (pause, stop, save and release before a device reset, reset after).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "recording_theme.h"
#include "theme/menu_theme.h"
#include "video_writer.h"

namespace {

using themetest::RecordingTheme;
using themetest::RectOf;

// Draws until the video's first frame is on its texture (the decoder runs on a thread
// of its own); generous, as sanitizer builds on a busy machine are slow.
bool DrawUntilVideoFrame(theme::ThemeBackground& background) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < until) {
    background.Draw();
    if (background.VideoDeviceTexture()) return true;
    std::this_thread::yield();
  }
  return false;
}

TEST(ThemeVideoBackground, RunsMutedDrawsAndFollowsTheCommands) {
  RecordingTheme h;
  h.settings.MENUVIDEOBG = true;
  h.dir.MakeDir("themes/default/dynamic/video");
  videotest::ClipLayout layout;
  layout.frames = 20;
  ASSERT_TRUE(videotest::WriteVideo(h.dir.Path("themes/default/dynamic/video/loop.avi"), layout,
                                    videotest::SolidColours([](int) { return 0x3366CCu; })));
  h.WriteDocument("themes/t/dynamic/v.ini",
                  "<background><bg_type>video</bg_type><path>video\\loop.avi</path></background>");
  auto theme = h.Load(u"themes/t/dynamic/", u"v");
  ASSERT_NE(theme, nullptr);
  theme::ThemeBackground& background = *theme->Backgrounds()[0];
  ASSERT_TRUE(background.loaded) << "found in the default theme after the theme's own folder";
  EXPECT_EQ(h.CountLogLines("Failed To Load BG Video: themes/t/dynamic/video/loop.avi Loading Default"), 1u);
  ASSERT_NE(background.video, nullptr);
  EXPECT_EQ(background.video->Volume(), graphics::kMutedVolume);
  EXPECT_EQ(background.video->GetState(), graphics::VideoState::kRunning);

  ASSERT_TRUE(DrawUntilVideoFrame(background));
  h.Render(*theme);
  const auto draws = h.DrawsOfSize(64, 48);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_NEAR(RectOf(draws[0]).Size().x, 1280.0f, 0.5f);
  EXPECT_NEAR(RectOf(draws[0]).Size().y, 720.0f, 0.5f);

  theme->ControlVideo(static_cast<int32_t>(graphics::VideoCommand::kPause));
  EXPECT_EQ(background.video->GetState(), graphics::VideoState::kPaused);
  theme->ControlVideo(static_cast<int32_t>(graphics::VideoCommand::kRun));
  EXPECT_EQ(background.video->GetState(), graphics::VideoState::kRunning);
  theme->ControlVideo(static_cast<int32_t>(graphics::VideoCommand::kSaveAndRelease));
  EXPECT_EQ(background.videoTexture, nullptr) << "the texture goes before the device reset";
  EXPECT_EQ(background.video->savedState, graphics::VideoState::kRunning);
  h.Render(*theme);
  EXPECT_TRUE(h.DrawsOfSize(64, 48).empty());
  theme->ControlVideo(static_cast<int32_t>(graphics::VideoCommand::kReset));
  EXPECT_EQ(background.video->GetState(), graphics::VideoState::kRunning);
  ASSERT_TRUE(DrawUntilVideoFrame(background));
  theme->ControlVideo(static_cast<int32_t>(graphics::VideoCommand::kStop));
  EXPECT_EQ(background.video->GetState(), graphics::VideoState::kStopped);
  theme->ControlVideo(99);  // unknown commands do nothing

  h.settings.MENUVIDEOBG = false;
  h.Render(*theme);
  EXPECT_TRUE(h.device.draws.empty()) << "menu videos switched off: nothing drawn";
}

}  // namespace
