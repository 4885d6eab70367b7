// The video texture over the drawing device's dynamic textures: one texture made on
// the first picture, one update per new picture (recording back end), and the
// picture's colour in the OpenGL back end's texture read back.
#include "graphics/video_render_device.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/gfx/recording_device.h"
#include "tests/support/test_support.h"
#include "tests/video/gl_video_device.h"
#include "tests/video/video_fixture.h"

namespace {

using namespace videotest;

class VideoRenderDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteColourVideo(dir_.Path("colours.avi"), ColourClip("avi", "mpeg4")));
    video_.SetPlayClock(clock_.Function());
  }
  // Runs the frame step until picture `index` is the source's current one.
  bool Reach(int index) {
    clock_.nowMs = 5000 + int64_t(index) * kFrameMs + 10;
    return WaitUntil([this] { video_.Update(); }, [&] {
      const auto* f = video_.Source()->CurrentFrame();
      return f && f->timeMs == int64_t(index) * kFrameMs && slot_;
    });
  }

  testsupport::TempDir dir_;
  ManualClock clock_;
  graphics::DynamicTexture* slot_ = nullptr;
  graphics::VideoTexture video_;
};

TEST_F(VideoRenderDeviceTest, OneTextureAndOneUpdatePerPicture) {
  platform::gfx::RecordingRenderDevice device;
  graphics::RenderDeviceVideoTextures textures(device);
  ASSERT_TRUE(video_.CreateVideoTexture(&textures, false, &slot_, 0, 0, dir_.WPath("colours.avi")));
  video_.Run();
  for (int i = 0; i < kFrameCount; ++i) ASSERT_TRUE(Reach(i)) << i;
  for (int i = 0; i < 10; ++i) video_.Update();
  const auto& log = device.log;
  EXPECT_EQ(std::count(log.begin(), log.end(), "CreateDynamicTexture 64x48"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "UpdateTexture 64x48"), kFrameCount);
  ASSERT_NE(slot_, nullptr);
  EXPECT_NE(static_cast<graphics::RenderDeviceVideoTexture*>(slot_)->DeviceTexture(), nullptr);
  video_.Release();
  EXPECT_EQ(slot_, nullptr);
}

TEST_F(VideoRenderDeviceTest, TheOpenGlTextureHoldsThePicture) {
  GlContext gl;
  if (!gl.Ok()) GTEST_SKIP() << "no OpenGL context: " << gl.Error();
  auto device = platform::gfx::CreateGlRenderDevice(64, 64);
  ASSERT_NE(device, nullptr);
  graphics::RenderDeviceVideoTextures textures(*device);
  ASSERT_TRUE(video_.CreateVideoTexture(&textures, false, &slot_, 0, 0, dir_.WPath("colours.avi")));
  video_.Run();
  for (int picture : {1, 4}) {
    ASSERT_TRUE(Reach(picture));
    const auto* texture = static_cast<graphics::RenderDeviceVideoTexture*>(slot_)->DeviceTexture();
    ASSERT_NE(texture->GlName(), 0u);
    std::vector<uint8_t> pixels(64 * 48 * 4);
    glBindTexture(GL_TEXTURE_2D, texture->GlName());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    EXPECT_TRUE(ColourNear(CentreColour(pixels.data(), 64, 48), kColours[picture])) << picture;
    const uint8_t* corner = pixels.data() + (3 * 64 + 3) * 4;  // the pixel at (3, 3)
    EXPECT_TRUE(ColourNear(CentreColour(corner, 1, 1), kColours[picture])) << picture;
  }
  video_.Release();  // the texture goes while the context still lives
}

}  // namespace
