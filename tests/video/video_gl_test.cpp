// The video's pictures uploaded into an OpenGL texture on the thread that owns the
// context: the texture read back shows the picture's colour at its probe points.
#include <gtest/gtest.h>

#include "graphics/video_texture.h"
#include "tests/support/test_support.h"
#include "tests/video/gl_video_device.h"
#include "tests/video/video_fixture.h"

namespace {

using namespace videotest;

TEST(VideoGl, TheTextureShowsThePictureDueNow) {
  GlContext gl;
  if (!gl.Ok()) GTEST_SKIP() << "no OpenGL context: " << gl.Error();
  testsupport::TempDir dir;
  ASSERT_TRUE(WriteColourVideo(dir.Path("colours.mkv"), ColourClip("matroska", "mjpeg")));
  GlVideoDevice device;
  graphics::DynamicTexture* slot = nullptr;
  graphics::VideoTexture video;
  ManualClock clock;
  video.SetPlayClock(clock.Function());
  ASSERT_TRUE(video.CreateVideoTexture(&device, true, &slot, 0, 0, dir.WPath("colours.mkv")));
  video.Run();
  for (int picture : {0, 3, 4}) {
    clock.nowMs = 5000 + picture * kFrameMs + 30;
    ASSERT_TRUE(WaitUntil([&] { video.Update(); },
                          [&] {
                            return video.Source()->CurrentFrame() &&
                                   video.Source()->CurrentFrame()->timeMs == picture * kFrameMs && slot;
                          }));
    video.Update();
    const auto pixels = static_cast<GlDynamicTexture*>(slot)->ReadBack();
    const int probes[][2] = {{32, 24}, {4, 4}, {60, 44}};
    for (const auto& p : probes) {
      const uint8_t* px = &pixels[(size_t(p[1]) * 64 + size_t(p[0])) * 4];
      const uint32_t rgb = (uint32_t(px[0]) << 16) | (uint32_t(px[1]) << 8) | px[2];
      EXPECT_TRUE(ColourNear(rgb, kColours[picture])) << picture << " at " << p[0] << "," << p[1] << std::hex
                                                      << " got " << rgb;
      EXPECT_EQ(px[3], 0xFF);
    }
  }
}

}  // namespace
