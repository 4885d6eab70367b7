// One Ogg stem over the loopback device: buffering, the two-step end, positions,
// seeks, fades on the shared mastering gain, the meter and files that are not what
// they claim.
#include "devices/audio/ogg_stem.h"

#include <random>

#include "tests/devices/audio/audio_test_env.h"

namespace {

using audiotest::kRate;

constexpr uint32_t kStereoBufferFrames = CAudio::kBufferBytes / 4;

class OggStemTest : public audiotest::LoopbackTest {
 protected:
  // A stem on an engine of its own.
  std::unique_ptr<CAudio> NewStem() {
    auto stem = std::make_unique<CAudio>();
    EXPECT_TRUE(stem->CreateEngine());
    return stem;
  }

  static void Start(CAudio& stem) {
    stem.sourceVoice->Start();
    stem.playing = true;
  }

  // Renders and pumps until the stem has ended (at most maxFrames); the frames
  // rendered, or -1 when it did not end.
  int64_t PlayToEnd(CAudio& stem, int64_t maxFrames, std::vector<float>* out = nullptr) {
    int64_t rendered = 0;
    while (!stem.ended && rendered < maxFrames) {
      stem.Update();
      std::vector<float> part = Render(4096);
      if (out) out->insert(out->end(), part.begin(), part.end());
      rendered += 4096;
    }
    stem.Update();
    stem.Update();
    return stem.ended ? rendered : -1;
  }
};

TEST_F(OggStemTest, ShortStreamIsOneSilencePaddedBufferAndEndsInTwoPumps) {
  WriteTone("short.ogg", 8820);  // 0.2 s
  auto stem = NewStem();
  ASSERT_TRUE(stem->Open(WPath("short.ogg")));
  EXPECT_TRUE(stem->ready);
  EXPECT_NEAR(stem->totalLength, 0.2, 1e-9);
  EXPECT_EQ(stem->channels, 2u);
  EXPECT_EQ(stem->sampleRate, 44100);
  stem->Update();
  EXPECT_TRUE(stem->endOfStreamSubmitted);
  EXPECT_EQ(stem->sourceVoice->GetState().buffersQueued, 1u);
  EXPECT_EQ(stem->ringIndex, 1u);
  Start(*stem);
  Render(10000);
  stem->Update();
  EXPECT_FALSE(stem->finished);  // the padded tail still plays
  Render(kStereoBufferFrames - 10000);
  EXPECT_EQ(stem->sourceVoice->GetState().buffersQueued, 0u);
  stem->Update();
  EXPECT_TRUE(stem->finished);
  EXPECT_FALSE(stem->ended);
  stem->Update();
  EXPECT_TRUE(stem->ended);
  EXPECT_FALSE(stem->playing);
  EXPECT_FALSE(stem->sourceVoice->IsStarted());
  EXPECT_NEAR(stem->GetPositionMs(), kStereoBufferFrames / 44.1, 1e-6);
}

TEST_F(OggStemTest, KeepsTwentyNineBuffersQueued) {
  WriteTone("long.ogg", 15 * kRate);
  auto stem = NewStem();
  ASSERT_TRUE(stem->Open(WPath("long.ogg")));
  stem->Update();
  EXPECT_EQ(stem->sourceVoice->GetState().buffersQueued, 29u);
  EXPECT_EQ(stem->ringIndex, 29u);
  stem->Update();  // full: nothing decoded
  EXPECT_EQ(stem->ringIndex, 29u);
  Start(*stem);
  Render(kStereoBufferFrames * 2);
  EXPECT_EQ(stem->sourceVoice->GetState().buffersQueued, 27u);
  stem->Update();
  EXPECT_EQ(stem->sourceVoice->GetState().buffersQueued, 29u);
  EXPECT_EQ(stem->ringIndex, 1u);  // wrapped round the ring of 30
  EXPECT_NEAR(stem->GetPositionMs(), 2.0 * kStereoBufferFrames / 44.1, 1e-6);
}

// Every channel count plays to its end in whole frames, whatever the frame size does
// to the buffer size (three, five, six and seven channels do not divide it).
// The stems are at 22.05 kHz, which also has them converted to the device rate (and
// keeps libvorbisenc out of its 5.1 set-up, which leaks a block at 44.1 kHz).
TEST_F(OggStemTest, AnyChannelCountPlaysToTheEnd) {
  constexpr int kStemRate = 22050;
  for (int channels = 1; channels <= 8; ++channels) {
    SCOPED_TRACE(channels);
    const std::string name = "ch" + std::to_string(channels) + ".ogg";
    WriteTone(name, kStemRate, 440.0, 0.25f, channels, kStemRate);
    auto stem = NewStem();
    ASSERT_TRUE(stem->Open(WPath(name)));
    EXPECT_EQ(stem->channels, static_cast<uint32_t>(channels));
    stem->Update();
    Start(*stem);
    std::vector<float> out;
    ASSERT_NE(PlayToEnd(*stem, 20 * kRate, &out), -1);
    const uint32_t frameBytes = 2u * channels;
    const uint32_t perBuffer = CAudio::FillLimit(channels) / frameBytes;
    EXPECT_EQ(CAudio::FillLimit(channels) % frameBytes, 0u);
    const uint64_t buffers = kStemRate / perBuffer + 1;
    EXPECT_NEAR(stem->GetPositionMs(), buffers * perBuffer / 22.05, 1e-6);
    EXPECT_GT(audiotest::Rms(out, 0, kRate), 0.05);  // the tone was heard
  }
}

TEST_F(OggStemTest, FilesThatAreNotWhatTheyClaim) {
  testsupport::OggSpec params;
  params.frames = 3 * kRate;
  params.signal = testsupport::Sine(300.0, 0.3f, kRate);
  const std::string good = testsupport::MakeOgg(params);
  std::mt19937 random(7);
  std::string garbage(20000, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  std::string corrupt = good;
  for (size_t i = good.size() * 2 / 3; i < good.size() * 2 / 3 + 500; ++i) corrupt[i] = static_cast<char>(random());
  std::string headerPage = good.substr(0, 200);
  struct Case {
    const char* name;
    std::string bytes;
    bool opens;
  };
  const std::vector<Case> cases = {
      {"empty", "", false},
      {"garbage", garbage, false},
      {"text", "OggS is not enough", false},
      {"headers cut", headerPage, false},
      {"cut in half", good.substr(0, good.size() / 2), true},
      {"corrupt middle", corrupt, true},
      {"trailing garbage", good + garbage, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir_.WriteBytes("bad.ogg", c.bytes);
    auto stem = NewStem();
    EXPECT_EQ(stem->Open(WPath("bad.ogg")), c.opens);
    EXPECT_EQ(stem->ready, c.opens);
    if (!c.opens) {
      EXPECT_FALSE(stem->sourceVoice);
      stem->Update();  // a stem that is not ready does nothing
      EXPECT_EQ(stem->GetPositionMs(), 0.0);
      EXPECT_EQ(stem->ReadMeter(), 0.0f);
      continue;
    }
    stem->Update();
    Start(*stem);
    EXPECT_NE(PlayToEnd(*stem, 10 * kRate), -1);
  }
  EXPECT_TRUE(dir_.GameLogTexts().empty());
  auto stem = NewStem();
  EXPECT_FALSE(stem->Open(WPath("missing.ogg")));
}

TEST_F(OggStemTest, PositionAboveTheLimitReadsZero) {
  WriteTone("a.ogg", kRate);
  auto stem = NewStem();
  ASSERT_TRUE(stem->Open(WPath("a.ogg")));
  stem->baseFrames = static_cast<uint64_t>(9999999.0 * 44.1);  // just at the limit
  EXPECT_NEAR(stem->GetPositionMs(), 9999999.0, 0.05);
  stem->baseFrames += 100;
  EXPECT_EQ(stem->GetPositionMs(), 0.0);
}

TEST_F(OggStemTest, FadesDriveTheSharedMasteringGain) {
  WriteTone("a.ogg", kRate);
  WriteTone("b.ogg", kRate);
  auto first = NewStem();
  CAudio second;
  second.engine = first->engine;
  second.ownsEngine = false;
  ASSERT_TRUE(first->Open(WPath("a.ogg")));
  ASSERT_TRUE(second.Open(WPath("b.ogg")));

  second.fadeInActive = true;
  second.fadeInTarget = 0.8f;
  second.fadeDuration = 1000;
  second.fadeStart = clock_.clock.ms;
  clock_.clock.AdvanceMs(500);
  second.Update();
  EXPECT_FLOAT_EQ(first->engine->GetMasterVolume(), 0.4f);
  clock_.clock.AdvanceMs(500);
  second.Update();
  EXPECT_FALSE(second.fadeInActive);
  EXPECT_FLOAT_EQ(first->engine->GetMasterVolume(), 0.8f);

  first->fadeOutActive = true;
  first->fadeOutStartVolume = 0.8f;
  first->fadeDuration = 1000;
  first->fadeStart = clock_.clock.ms;
  clock_.clock.AdvanceMs(250);
  first->Update();
  EXPECT_FLOAT_EQ(first->engine->GetMasterVolume(), 0.6f);
  EXPECT_FALSE(first->fadeOutDone);
  clock_.clock.AdvanceMs(750);
  first->Update();
  EXPECT_FLOAT_EQ(first->engine->GetMasterVolume(), 0.0f);
  EXPECT_TRUE(first->fadeOutDone);
  EXPECT_TRUE(first->fadeOutActive);  // cleared by the stem set, not here

  // Both voices follow the one gain.
  second.Update();
  second.sourceVoice->Start();
  first->sourceVoice->Start();
  first->Update();
  std::vector<float> out = Render(4000);
  EXPECT_EQ(audiotest::Rms(out, 2000), 0.0);
}

TEST_F(OggStemTest, MeterReadsThePeakOfThePlayingPcm) {
  WriteTone("mono.ogg", kRate, 441.0, 0.5f, 1);
  auto stem = NewStem();
  EXPECT_EQ(stem->ReadMeter(), 0.0f);
  ASSERT_TRUE(stem->Open(WPath("mono.ogg")));
  EXPECT_TRUE(stem->meterAttached);
  stem->Update();
  Start(*stem);
  Render(4410);
  EXPECT_NEAR(stem->ReadMeter(), 0.5f, 0.05f);
  stem->sourceVoice->SetVolume(0.0f);  // measured before the voice gain
  Render(4410);
  EXPECT_NEAR(stem->ReadMeter(), 0.5f, 0.05f);
}

TEST_F(OggStemTest, SeekLandsWhereAskedAndPastTheEndStaysAtTheEnd) {
  testsupport::OggSpec params;
  params.frames = 2 * kRate;
  params.signal = testsupport::BurstAt(kRate, 4410, kRate);  // a burst at 1.0 s
  WriteOgg("burst.ogg", params);

  auto stem = NewStem();
  ASSERT_TRUE(stem->Open(WPath("burst.ogg")));
  ASSERT_TRUE(stem->SeekSeconds(0.75));
  EXPECT_EQ(stem->baseFrames, static_cast<uint64_t>(0.75 * kRate));
  EXPECT_NEAR(stem->GetPositionMs(), 750.0, 1e-6);
  stem->Update();
  Start(*stem);
  std::vector<float> out = Render(kRate / 2);
  const int64_t loud = audiotest::FirstLoudFrame(out, 0.3f);
  EXPECT_NEAR(static_cast<double>(loud), 0.25 * kRate, 64.0);
  EXPECT_NEAR(stem->GetPositionMs(), 1250.0, 1e-6);

  for (double at : {2.0, 2.5, 1000.0}) {
    SCOPED_TRACE(at);
    auto late = NewStem();
    ASSERT_TRUE(late->Open(WPath("burst.ogg")));
    ASSERT_TRUE(late->SeekSeconds(at));
    EXPECT_NEAR(late->GetPositionMs(), 2000.0, 1e-6);
    late->Update();
    EXPECT_TRUE(late->endOfStreamSubmitted);
    Start(*late);
    std::vector<float> tail;
    ASSERT_NE(PlayToEnd(*late, 4 * kRate, &tail), -1);
    EXPECT_EQ(audiotest::FirstLoudFrame(tail, 0.01f), -1) << "the stem started over";
    EXPECT_NEAR(late->GetPositionMs(), (2.0 * kRate + kStereoBufferFrames) / 44.1, 1e-6);
  }

  auto early = NewStem();
  ASSERT_TRUE(early->Open(WPath("burst.ogg")));
  ASSERT_TRUE(early->SeekSeconds(-3.0));
  EXPECT_EQ(early->baseFrames, 0u);
}

}  // namespace

namespace {

// Sign changes of the left channel of interleaved stereo output.
int LeftZeroCrossings(const std::vector<float>& stereo) {
  int n = 0;
  for (size_t i = 2; i < stereo.size(); i += 2) n += (stereo[i - 2] < 0.0f) != (stereo[i] < 0.0f);
  return n;
}

}  // namespace

// A device that can change its rate takes the rate of a song's first stem, so the
// stems are mixed without conversion; the tone still comes out at its own pitch.
// A device that cannot change (a test's fixed loopback) keeps its rate.
TEST_F(OggStemTest, FirstStemMovesAFollowingDeviceToItsRate) {
  ASSERT_TRUE(platform::audio::testing::UseLoopback(48000, true));
  WriteTone("tone.ogg", 2 * kRate, 441.0, 0.5f, 2, static_cast<int>(kRate));
  {
    auto stem = NewStem();
    ASSERT_EQ(platform::audio::GetDeviceInfo().sampleRate, 48000u);
    ASSERT_TRUE(stem->Open(WPath("tone.ogg")));
    EXPECT_EQ(platform::audio::GetDeviceInfo().sampleRate, kRate);
    stem->Update();
    Start(*stem);
    Render(4410);  // past the start
    // 0.4 s of a 441 Hz tone at the device's rate: 2 x 441 x 0.4 sign changes; at
    // 48 kHz output without the change it would read 324.
    const std::vector<float> out = Render(kRate * 2 / 5);
    EXPECT_NEAR(LeftZeroCrossings(out), 353, 4);
  }
  ASSERT_TRUE(platform::audio::testing::UseLoopback(kRate));
  WriteTone("tone48.ogg", 4800, 441.0, 0.5f, 2, 48000);
  auto stem = NewStem();
  ASSERT_TRUE(stem->Open(WPath("tone48.ogg")));
  EXPECT_EQ(platform::audio::GetDeviceInfo().sampleRate, kRate);
  EXPECT_FALSE(platform::audio::PreferSampleRate(48000));
  EXPECT_TRUE(platform::audio::PreferSampleRate(kRate));
}
