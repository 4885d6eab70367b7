// The video source: each picture at its time on a hand-moved clock, in two containers
// and codecs; the end, pause, seeks (also between key frames), the play range; files
// that are no playable video; stopping while the decoder thread is busy.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/video/video_source.h"
#include "tests/support/test_support.h"
#include "tests/video/video_fixture.h"

namespace {

using platform::video::OpenError;
using platform::video::OpenResult;
using platform::video::PlayState;
using platform::video::SourceOptions;
using platform::video::VideoSource;
using namespace videotest;

struct Clip {
  const char* name;
  const char* file;
  const char* container;
  const char* codec;
  int keyframeInterval;
};

const Clip kClips[] = {
    {"Mpeg4InAvi", "colours.avi", "avi", "mpeg4", 1},
    {"MjpegInMatroska", "colours.mkv", "matroska", "mjpeg", 1},
    {"Mpeg4InAviSparseKeys", "sparse.avi", "avi", "mpeg4", 4},
};

class VideoSourceTest : public ::testing::TestWithParam<Clip> {
 protected:
  void SetUp() override {
    path_ = dir_.Path(GetParam().file);
    ASSERT_TRUE(WriteColourVideo(path_, ColourClip(GetParam().container, GetParam().codec,
                                                   GetParam().keyframeInterval)));
    SourceOptions options;
    options.clockMs = clock_.Function();
    OpenResult result;
    source_ = VideoSource::Open(path_, options, result);
    ASSERT_NE(source_, nullptr) << int(result.error);
    ASSERT_EQ(result.error, OpenError::kNone);
  }

  // Moves the clock to `positionMs` of a video that runs since clock 5000 + startMs.
  // Waits for the picture with the given index and returns its centre colour.
  uint32_t ColourOnceShowing(int index) {
    const int64_t wanted = int64_t(index) * kFrameMs;
    const bool arrived = WaitUntil([this] { source_->Service(); },
                                   [&] { return source_->CurrentFrame() && source_->CurrentFrame()->timeMs == wanted; });
    EXPECT_TRUE(arrived) << "picture " << index << " never became current";
    const platform::video::Frame* f = source_->CurrentFrame();
    return f ? CentreColour(f->rgba.data(), f->width, f->height) : 0;
  }

  testsupport::TempDir dir_;
  std::string path_;
  ManualClock clock_;
  std::unique_ptr<VideoSource> source_;
};

TEST_P(VideoSourceTest, EachPictureAppearsAtItsTime) {
  EXPECT_EQ(source_->Width(), 64);
  EXPECT_EQ(source_->Height(), 48);
  EXPECT_EQ(source_->GetPlayState(), PlayState::kStopped);
  source_->Run();
  EXPECT_EQ(source_->GetPlayState(), PlayState::kRunning);
  const int64_t start = clock_.nowMs;
  for (int i = 0; i < kFrameCount; ++i) {
    clock_.nowMs = start + int64_t(i) * kFrameMs + kFrameMs / 2;
    EXPECT_EQ(source_->PositionMs(), int64_t(i) * kFrameMs + kFrameMs / 2);
    EXPECT_TRUE(ColourNear(ColourOnceShowing(i), kColours[i])) << std::hex << ColourOnceShowing(i);
    const platform::video::Frame* f = source_->CurrentFrame();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->rgba[3], 0xFF);  // opaque
    EXPECT_EQ(f->rgba.size(), size_t(64 * 48 * 4));
  }
  // A picture is not shown before its time, however far ahead the decoder is.
  clock_.nowMs = start + kFrameMs - 1;
  source_->Seek(0);
  source_->Run();
  EXPECT_TRUE(ColourNear(ColourOnceShowing(0), kColours[0]));
  for (int i = 0; i < 20; ++i) source_->Service();
  EXPECT_EQ(source_->CurrentFrame()->timeMs, 0);
}

TEST_P(VideoSourceTest, EndsOnceAndKeepsTheLastPicture) {
  source_->Run();
  clock_.nowMs += kFrameCount * kFrameMs + 1000;
  ASSERT_TRUE(WaitUntil([this] { source_->Service(); },
                        [this] { return source_->GetPlayState() == PlayState::kEnded; }));
  EXPECT_TRUE(source_->TakeEndEvent());
  EXPECT_FALSE(source_->TakeEndEvent());
  EXPECT_EQ(source_->PositionMs(), kFrameCount * kFrameMs);  // held at the end
  EXPECT_TRUE(ColourNear(CentreColour(source_->CurrentFrame()->rgba.data(), 64, 48), kColours[kFrameCount - 1]));
  clock_.nowMs += 5000;
  source_->Service();
  EXPECT_FALSE(source_->TakeEndEvent());
  // A seek leaves the end and plays again.
  source_->Seek(0);
  EXPECT_EQ(source_->GetPlayState(), PlayState::kRunning);
  EXPECT_TRUE(ColourNear(ColourOnceShowing(0), kColours[0]));
}

TEST_P(VideoSourceTest, PauseHoldsThePictureAndThePosition) {
  source_->Run();
  clock_.nowMs += 2 * kFrameMs + 10;
  EXPECT_TRUE(ColourNear(ColourOnceShowing(2), kColours[2]));
  source_->Pause();
  EXPECT_EQ(source_->GetPlayState(), PlayState::kPaused);
  clock_.nowMs += 60000;
  for (int i = 0; i < 50; ++i) source_->Service();
  EXPECT_EQ(source_->PositionMs(), 2 * kFrameMs + 10);
  EXPECT_EQ(source_->CurrentFrame()->timeMs, 2 * kFrameMs);
  EXPECT_FALSE(source_->TakeEndEvent());
  // Running again goes on from where it stood, not from where the clock went.
  source_->Run();
  clock_.nowMs += kFrameMs;
  EXPECT_EQ(source_->PositionMs(), 3 * kFrameMs + 10);
  EXPECT_TRUE(ColourNear(ColourOnceShowing(3), kColours[3]));
}

TEST_P(VideoSourceTest, SeeksLandOnThePictureShowingThere) {
  struct Case {
    int64_t targetMs;
    int picture;
  };
  const Case cases[] = {{350, 3}, {120, 1}, {500, 5}, {0, 0}, {299, 2}, {400, 4}};
  for (bool running : {false, true}) {
    if (running) source_->Run();
    for (const Case& c : cases) {
      source_->Seek(c.targetMs);
      EXPECT_EQ(source_->PositionMs(), c.targetMs);
      EXPECT_TRUE(ColourNear(ColourOnceShowing(c.picture), kColours[c.picture])) << c.targetMs;
    }
  }
}

TEST_P(VideoSourceTest, StopRewindsAndAPlayRangeEndsAtItsStop) {
  source_->Run();
  clock_.nowMs += 3 * kFrameMs + 50;
  ColourOnceShowing(3);
  source_->Stop();
  EXPECT_EQ(source_->GetPlayState(), PlayState::kStopped);
  EXPECT_EQ(source_->PositionMs(), 0);
  EXPECT_TRUE(ColourNear(ColourOnceShowing(0), kColours[0]));

  source_->SetRange(200, 400);
  EXPECT_EQ(source_->PositionMs(), 200);
  EXPECT_TRUE(ColourNear(ColourOnceShowing(2), kColours[2]));
  source_->Run();
  clock_.nowMs += 150;
  EXPECT_TRUE(ColourNear(ColourOnceShowing(3), kColours[3]));
  clock_.nowMs += 1000;
  ASSERT_TRUE(WaitUntil([this] { source_->Service(); }, [this] { return source_->TakeEndEvent(); }));
  EXPECT_EQ(source_->PositionMs(), 400);
  EXPECT_EQ(source_->CurrentFrame()->timeMs, 300);  // picture 4 lies past the stop
}

INSTANTIATE_TEST_SUITE_P(Clips, VideoSourceTest, ::testing::ValuesIn(kClips),
                         [](const ::testing::TestParamInfo<Clip>& info) { return std::string(info.param.name); });

// Files that are no playable video fail at opening with the reason, never hang.
TEST(VideoSourceOpen, FilesThatAreNoPlayableVideo) {
  testsupport::TempDir dir;
  ASSERT_TRUE(WriteColourVideo(dir.Path("good.avi"), ColourClip("avi", "mpeg4")));
  const std::string good = dir.ReadBytes("good.avi");
  const size_t movi = good.find("movi");
  ASSERT_NE(movi, std::string::npos);
  dir.WriteBytes("header_only.avi", good.substr(0, movi + 12));
  dir.WriteBytes("empty.avi", "");
  dir.WriteBytes("text.avi", "This is a text file and no video at all.\n");
  std::string noise(4096, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = char((i * 2654435761u) >> 13);
  dir.WriteBytes("noise.avi", noise);
  ASSERT_TRUE(WriteColourVideo(dir.Path("narrow.avi"), [] {
    ClipLayout s = ColourClip("avi", "mpeg4");
    s.width = 12;
    s.height = 32;
    return s;
  }()));
  dir.MakeDir("folder.avi");

  struct Case {
    const char* file;
    OpenError error;
  };
  const Case cases[] = {
      {"missing.avi", OpenError::kNotFound},   {"folder.avi", OpenError::kNotFound},
      {"empty.avi", OpenError::kUnknownFormat}, {"text.avi", OpenError::kUnknownFormat},
      {"noise.avi", OpenError::kUnknownFormat}, {"header_only.avi", OpenError::kNoFrame},
      {"narrow.avi", OpenError::kTooSmall},
  };
  for (const Case& c : cases) {
    OpenResult result;
    EXPECT_EQ(VideoSource::Open(dir.Path(c.file), SourceOptions{}, result), nullptr) << c.file;
    EXPECT_EQ(result.error, c.error) << c.file;
  }
  OpenResult narrow;
  VideoSource::Open(dir.Path("narrow.avi"), SourceOptions{}, narrow);
  EXPECT_EQ(narrow.width, 12);
  EXPECT_EQ(narrow.height, 32);
}

// A file cut in the middle shows the pictures it still holds, then ends.
TEST(VideoSourceOpen, AFileCutInTheMiddleEnds) {
  testsupport::TempDir dir;
  ASSERT_TRUE(WriteColourVideo(dir.Path("good.avi"), ColourClip("avi", "mpeg4")));
  const std::string good = dir.ReadBytes("good.avi");
  const size_t movi = good.find("movi");
  ASSERT_NE(movi, std::string::npos);
  dir.WriteBytes("cut.avi", good.substr(0, movi + (good.size() - movi) / 2));
  ManualClock clock;
  SourceOptions options;
  options.clockMs = clock.Function();
  OpenResult result;
  auto source = VideoSource::Open(dir.Path("cut.avi"), options, result);
  ASSERT_NE(source, nullptr) << int(result.error);
  source->Run();
  clock.nowMs += 100000;
  ASSERT_TRUE(WaitUntil([&] { source->Service(); }, [&] { return source->GetPlayState() == PlayState::kEnded; }));
  ASSERT_NE(source->CurrentFrame(), nullptr);
  EXPECT_LT(source->CurrentFrame()->timeMs, int64_t(kFrameCount - 1) * kFrameMs);
  EXPECT_TRUE(source->TakeEndEvent());
}

// Destroying a source while its thread decodes (seeking far into a clip with one
// key frame) joins the thread; sanitizer builds check the hand-over for races.
TEST(VideoSourceThread, StopWhileDecodingJoins) {
  testsupport::TempDir dir;
  ClipLayout layout = ColourClip("avi", "mpeg4", 600);
  layout.frames = 600;
  layout.width = 160;
  layout.height = 96;
  ASSERT_TRUE(WriteColourVideo(dir.Path("long.avi"), layout));
  for (int round = 0; round < 12; ++round) {
    ManualClock clock;
    SourceOptions options;
    options.clockMs = clock.Function();
    options.queueFrames = 1 + round % 4;
    OpenResult result;
    auto source = VideoSource::Open(dir.Path("long.avi"), options, result);
    ASSERT_NE(source, nullptr);
    source->Run();
    source->Seek(int64_t(round) * 4000);
    for (int i = 0; i < round; ++i) {
      clock.nowMs += 40;
      source->Service();
    }
    source.reset();  // must return: the thread is told to stop between pictures
  }
}

}  // namespace
