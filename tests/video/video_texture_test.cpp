// The video texture: the texture made on the first frame and written to the owner's
// slot, the uploads following the play clock, looping at the end, the theme's video
// commands, device loss and reset keeping the place, and the log lines of videos
// that cannot be set up.
#include "graphics/video_texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/video/video_fixture.h"

namespace {

using graphics::DynamicTexture;
using graphics::DynamicTextureDevice;
using graphics::VideoCommand;
using graphics::VideoState;
using graphics::VideoTexture;
using namespace videotest;

// Keeps what the video texture uploaded.
class RecordingTexture : public DynamicTexture {
 public:
  RecordingTexture(int w, int h) : width_(w), height_(h) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Update(const uint8_t* rgba, int pitch) override {
    EXPECT_GE(pitch, width_ * 4);
    pixels.assign(rgba, rgba + size_t(pitch) * size_t(height_));
    pitch_ = pitch;
    ++uploads;
    return true;
  }
  uint32_t Centre() const { return CentreColour(pixels.data(), pitch_ / 4, height_); }

  std::vector<uint8_t> pixels;
  int uploads = 0;

 private:
  int width_, height_;
  int pitch_ = 0;
};

class RecordingDevice : public DynamicTextureDevice {
 public:
  std::unique_ptr<DynamicTexture> CreateDynamicTexture(int w, int h) override {
    ++created;
    if (refuse) return nullptr;
    return std::make_unique<RecordingTexture>(w, h);
  }
  int created = 0;
  bool refuse = false;
};

class VideoTextureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteColourVideo(dir_.Path("colours.avi"), ColourClip("avi", "mpeg4")));
    video_.SetPlayClock(clock_.Function());
  }

  bool Create(bool loop, int32_t start = 0, int32_t stop = 0) {
    return video_.CreateVideoTexture(&device_, loop, &slot_, start, stop, dir_.WPath("colours.avi"));
  }

  RecordingTexture* Shown() { return static_cast<RecordingTexture*>(slot_); }

  // Runs the frame step until the slot's texture shows colour `index`.
  bool ShowsColour(int index) {
    return WaitUntil([this] { video_.Update(); },
                     [&] { return Shown() && !Shown()->pixels.empty() && ColourNear(Shown()->Centre(), kColours[index]); });
  }

  testsupport::TempDir dir_;
  ManualClock clock_;
  RecordingDevice device_;
  DynamicTexture* slot_ = nullptr;
  VideoTexture video_;
};

TEST_F(VideoTextureTest, TheSlotShowsEachPictureAtItsTime) {
  ASSERT_TRUE(Create(false));
  EXPECT_EQ(video_.videoWidth, 64.0f);
  EXPECT_EQ(video_.videoHeight, 48.0f);
  EXPECT_FALSE(video_.padded);
  EXPECT_EQ(slot_, nullptr);  // made on the main thread's first frame step
  EXPECT_EQ(video_.GetState(), VideoState::kStopped);
  ASSERT_TRUE(ShowsColour(0));
  ASSERT_NE(slot_, nullptr);
  EXPECT_EQ(slot_->Width(), 64);
  EXPECT_EQ(slot_->Height(), 48);
  EXPECT_TRUE(video_.Run());
  const int64_t start = clock_.nowMs;
  for (int i = 1; i < kFrameCount; ++i) {
    clock_.nowMs = start + int64_t(i) * kFrameMs + 20;
    EXPECT_TRUE(ShowsColour(i)) << i;
  }
  // No new picture, no upload.
  const int uploads = Shown()->uploads;
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(video_.Update());
  EXPECT_EQ(Shown()->uploads, uploads);
  EXPECT_EQ(device_.created, 1);
}

TEST_F(VideoTextureTest, ALoopingVideoRestartsAtItsStart) {
  ASSERT_TRUE(Create(true, 100, 0));
  ASSERT_TRUE(ShowsColour(1));  // the range starts at picture 1
  video_.Run();
  clock_.nowMs += 550;
  ASSERT_TRUE(ShowsColour(5));
  clock_.nowMs += 100;  // past the end: the end event rewinds to 100 ms
  ASSERT_TRUE(ShowsColour(1));
  EXPECT_EQ(video_.GetState(), VideoState::kRunning);
  EXPECT_LT(video_.GetCurrentPositionMs(), 200);
  clock_.nowMs += 120;
  EXPECT_TRUE(ShowsColour(2));
}

TEST_F(VideoTextureTest, WithoutLoopTheLastPictureStays) {
  ASSERT_TRUE(Create(false));
  video_.Run();
  clock_.nowMs += 10000;
  ASSERT_TRUE(ShowsColour(5));
  // The end holds the position at the end of the last picture.
  EXPECT_TRUE(WaitUntil([this] { video_.Update(); },
                        [this] { return video_.GetCurrentPositionMs() == kFrameCount * kFrameMs; }));
  EXPECT_EQ(video_.GetState(), VideoState::kRunning);
  EXPECT_TRUE(ColourNear(Shown()->Centre(), kColours[5]));
  // Stop rewinds.
  EXPECT_TRUE(video_.Stop());
  EXPECT_EQ(video_.GetState(), VideoState::kStopped);
  EXPECT_EQ(video_.GetCurrentPositionMs(), 0);
  EXPECT_TRUE(ShowsColour(0));
}

TEST_F(VideoTextureTest, ThemeCommandsRunPauseStopAndSurviveADeviceReset) {
  ASSERT_TRUE(Create(true));
  ASSERT_TRUE(ShowsColour(0));
  video_.Control(VideoCommand::kRun, nullptr);
  EXPECT_EQ(video_.GetState(), VideoState::kRunning);
  EXPECT_EQ(video_.Volume(), graphics::kMutedVolume);
  clock_.nowMs += 230;
  ASSERT_TRUE(ShowsColour(2));
  video_.Control(VideoCommand::kPause, nullptr);
  clock_.nowMs += 5000;
  for (int i = 0; i < 10; ++i) video_.Control(VideoCommand::kHandleEvents, nullptr), video_.Update();
  EXPECT_EQ(video_.GetCurrentPositionMs(), 230);
  EXPECT_TRUE(ColourNear(Shown()->Centre(), kColours[2]));
  video_.Control(VideoCommand::kRun, nullptr);
  clock_.nowMs += 100;
  ASSERT_TRUE(ShowsColour(3));

  video_.Control(VideoCommand::kSaveAndRelease, nullptr);
  EXPECT_EQ(video_.savedState, VideoState::kRunning);
  EXPECT_EQ(video_.savedPositionMs, 330);
  EXPECT_EQ(slot_, nullptr);
  EXPECT_FALSE(video_.HasVideo());
  // Without a video every command is harmless.
  EXPECT_FALSE(video_.Run());
  EXPECT_FALSE(video_.HandleEvents());
  EXPECT_FALSE(video_.Update());
  EXPECT_EQ(video_.GetState(), VideoState::kStopped);

  RecordingDevice second;
  video_.Control(VideoCommand::kReset, &second);
  EXPECT_EQ(video_.GetState(), VideoState::kRunning);
  EXPECT_EQ(video_.GetCurrentPositionMs(), 330);
  EXPECT_TRUE(ShowsColour(3));
  EXPECT_EQ(second.created, 1);
  clock_.nowMs += 100;
  EXPECT_TRUE(ShowsColour(4));

  video_.Control(VideoCommand::kStop, nullptr);
  EXPECT_EQ(video_.GetState(), VideoState::kStopped);
  EXPECT_TRUE(ShowsColour(0));
}

// The play screen's video is released and reset by the device callbacks alone, with
// nobody saving its place first: it still goes on from where it was.
TEST_F(VideoTextureTest, ReleaseAndResetAloneKeepThePlace) {
  ASSERT_TRUE(Create(false));
  video_.Run();
  clock_.nowMs += 420;
  ASSERT_TRUE(ShowsColour(4));
  EXPECT_TRUE(video_.Release());
  EXPECT_EQ(slot_, nullptr);
  EXPECT_TRUE(video_.Reset(&device_));
  EXPECT_EQ(video_.GetState(), VideoState::kRunning);
  EXPECT_EQ(video_.GetCurrentPositionMs(), 420);
  EXPECT_TRUE(ShowsColour(4));
}

TEST_F(VideoTextureTest, AResetWhoseFileIsGoneFailsAndLeavesNoVideo) {
  ASSERT_TRUE(Create(false));
  video_.Release();
  std::remove(dir_.Path("colours.avi").c_str());
  EXPECT_FALSE(video_.Reset(&device_));
  const auto lines = dir_.GameLogTexts();
  EXPECT_EQ(lines.back(), "Failed To Reset The Video Device!");
  EXPECT_FALSE(video_.HasVideo());
  EXPECT_FALSE(video_.Pause());
  EXPECT_EQ(video_.GetCurrentPositionMs(), 0);
}

TEST_F(VideoTextureTest, ATextureTheDeviceRefusesIsLoggedOnce) {
  device_.refuse = true;
  ASSERT_TRUE(Create(false));
  video_.Run();
  for (int i = 0; i < 5; ++i) {
    clock_.nowMs += kFrameMs;
    WaitUntil([this] { video_.Update(); }, [this] { return device_.created > 0; });
  }
  EXPECT_EQ(device_.created, 1);
  EXPECT_EQ(slot_, nullptr);
  const auto lines = dir_.GameLogTexts();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "SetMediaType() - Could Not Create Normal Texture (Non-Dynamic)"),
            1);
}

// Each kind of unplayable file: CreateVideoTexture says false, the slot stays empty
// and the log carries the lines that the owners' fall-back lines follow.
TEST(VideoTextureOpen, UnplayableFilesLogTheirReason) {
  testsupport::TempDir dir;
  ASSERT_TRUE(WriteColourVideo(dir.Path("good.avi"), ColourClip("avi", "mpeg4")));
  const std::string good = dir.ReadBytes("good.avi");
  dir.WriteBytes("truncated.avi", good.substr(0, good.find("movi") + 12));
  dir.WriteBytes("notes.avi", "not a video\n");
  dir.WriteBytes("empty.avi", "");
  ASSERT_TRUE(WriteColourVideo(dir.Path("narrow.avi"), [] {
    ClipLayout s = ColourClip("avi", "mpeg4");
    s.width = 12;
    s.height = 240;
    return s;
  }()));

  struct Case {
    const char* file;
    std::vector<std::string> lines;
  };
  const std::string prefix = "VideoTexture::CreateVideoTexture() : ";
  const Case cases[] = {
      {"missing.avi", {prefix + "AddSourceFilter() Failed!", "File or object not found"}},
      {"notes.avi", {prefix + "AddSourceFilter() Failed!", "The media type of this file was not recognized"}},
      {"empty.avi", {prefix + "AddSourceFilter() Failed!", "The media type of this file was not recognized"}},
      {"truncated.avi", {prefix + "Render() Source Output Pin Failed!"}},
      {"narrow.avi", {"CheckMediaType() - Found Matching Format!", "SetMediaType() - Rez Too Low:12x240"}},
  };
  for (const Case& c : cases) {
    RecordingDevice device;
    DynamicTexture* slot = nullptr;
    VideoTexture video;
    const size_t before = dir.GameLogTexts().size();
    EXPECT_FALSE(video.CreateVideoTexture(&device, true, &slot, 0, 0, dir.WPath(c.file))) << c.file;
    EXPECT_FALSE(video.Update());
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(device.created, 0);
    const auto lines = dir.GameLogTexts();
    ASSERT_EQ(lines.size(), before + c.lines.size()) << c.file;
    for (size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(lines[before + i], c.lines[i]) << c.file;
  }
}

}  // namespace
