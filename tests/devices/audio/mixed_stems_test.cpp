// A song's stems mixed by the layer into one stream against the same song with every
// stem a source of its own: what the loopback device renders must match (stem
// levels, mutes, volume changes, seeks, a device at another rate), and the song's
// position must read the same, exact to the frame.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "devices/audio/song_audio.h"
#include "tests/devices/audio/audio_test_env.h"

namespace {

using audiotest::kRate;

constexpr int64_t kPiece = 2205;  // frames between pumps, 50 ms as the Music thread pumps

class MixedStemsTest : public audiotest::LoopbackTest {
 protected:
  void SetUp() override {
    LoopbackTest::SetUp();
    savedMixer_ = g_Settings.mixer;
    const char* names[] = {"drums.ogg", "rhythm.ogg", "guitar.ogg", "song.ogg"};
    double frequency = 196.0;
    for (const char* name : names) {
      testsupport::OggSpec params;
      params.frames = 3 * kRate;
      params.quality = 0.4f;
      // A tone that swells, so that a frame out of place shows.
      params.signal = [frequency](int64_t frame, int channel) {
        const double t = static_cast<double>(frame) / kRate;
        return static_cast<float>(0.2 * std::sin(2 * M_PI * frequency * (1.0 + 0.01 * channel) * t) *
                                  (0.6 + 0.4 * std::sin(2 * M_PI * 1.3 * t)));
      };
      WriteOgg(std::string("s/") + name, params);
      frequency *= 1.26;
    }
  }
  void TearDown() override {
    platform::audio::testing::MixVoices(true);
    g_Settings.mixer = savedMixer_;
    LoopbackTest::TearDown();
  }

  struct Step {
    int64_t atFrame;  // rendered frames before it, a multiple of kPiece
    std::function<void(SongAudio&, MixerSettings&)> act;
  };
  struct Run {
    std::vector<float> out;
    std::vector<double> positions;  // the song position after every piece
    std::vector<std::vector<double>> stemPositions;
  };

  // Plays the song for frames rendered on the device, pumping between pieces.
  Run Play(bool mixed, uint32_t deviceRate, const std::vector<Step>& steps, int64_t frames) {
    Run run;
    platform::audio::testing::MixVoices(mixed);
    EXPECT_TRUE(platform::audio::testing::UseLoopback(deviceRate));
    MixerSettings mix;
    {
      SongAudio audio;
      audio.ApplyMixer(&mix);
      for (const Step& s : steps) {
        if (s.atFrame == 0) s.act(audio, mix);
      }
      EXPECT_TRUE(audio.LoadStems(WPath("s/")));
      audio.Update();
      audio.Start();
      for (int64_t done = 0; done < frames; done += kPiece) {
        for (const Step& s : steps) {
          if (s.atFrame == done && done > 0) s.act(audio, mix);
        }
        std::vector<float> part = Render(static_cast<uint32_t>(kPiece));
        run.out.insert(run.out.end(), part.begin(), part.end());
        audio.Update();
        run.positions.push_back(audio.GetPositionMs(false));
        std::vector<double> stems;
        for (int slot : {0, 1, 2, 11}) stems.push_back(audio.stems[slot].GetPositionMs());
        run.stemPositions.push_back(stems);
      }
    }
    return run;
  }

  MixerSettings savedMixer_;
};

TEST_F(MixedStemsTest, OneMixedStreamSoundsAndCountsAsSourcesOfTheirOwn) {
  // Frames after a change that the two paths may differ in: the mixed stream has
  // up to its lead already mixed at the old levels.
  constexpr int64_t kSettle = kRate / 4;
  struct Case {
    const char* name;
    uint32_t deviceRate;
    std::vector<Step> steps;
    std::vector<int64_t> changes;  // frames where the paths may part for kSettle
  };
  const auto volumes = [](SongAudio&, MixerSettings& m) {
    m.stemVolume[0] = 100, m.stemVolume[1] = 60, m.stemVolume[2] = 30, m.stemVolume[11] = 80;
  };
  const std::vector<Case> cases = {
      {"a level per stem", kRate, {{0, volumes}}, {}},
      {"a muted stem", kRate, {{0, volumes}, {0, [](SongAudio&, MixerSettings& m) { m.stemMute[1] = true; }}}, {}},
      {"a volume change and a mute mid-song",
       kRate,
       {{0, volumes},
        {10 * kPiece, [](SongAudio&, MixerSettings& m) { m.stemVolume[2] = 100; }},
        {20 * kPiece, [](SongAudio&, MixerSettings& m) { m.stemMute[11] = true; }}},
       {10 * kPiece, 20 * kPiece}},
      {"a seek", kRate, {{0, volumes}, {8 * kPiece, [](SongAudio& a, MixerSettings&) { a.SeekMs(1700.0); }}},
       {8 * kPiece}},
      {"a device at 48 kHz", 48000, {{0, volumes}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int64_t frames = 30 * kPiece;
    const Run apart = Play(false, c.deviceRate, c.steps, frames);
    const Run mixed = Play(true, c.deviceRate, c.steps, frames);
    ASSERT_EQ(apart.out.size(), mixed.out.size());
    EXPECT_GT(audiotest::Rms(apart.out), 0.05) << "the song played silent";

    // Sample for sample, away from the changes.
    double worst = 0.0;
    int64_t worstFrame = -1;
    for (int64_t f = 0; f < frames; ++f) {
      const bool settling = std::any_of(c.changes.begin(), c.changes.end(),
                                        [&](int64_t at) { return f >= at && f < at + kSettle; });
      if (settling) continue;
      for (int ch = 0; ch < 2; ++ch) {
        const double d = std::fabs(apart.out[size_t(2 * f + ch)] - mixed.out[size_t(2 * f + ch)]);
        if (d > worst) worst = d, worstFrame = f;
      }
    }
    EXPECT_LT(worst, 2e-3) << "at frame " << worstFrame;

    // The song's clock and every stem's position read the same after every piece.
    ASSERT_EQ(apart.positions.size(), mixed.positions.size());
    for (size_t i = 0; i < apart.positions.size(); ++i) {
      EXPECT_DOUBLE_EQ(mixed.positions[i], apart.positions[i]) << "piece " << i;
      for (size_t s = 0; s < mixed.stemPositions[i].size(); ++s) {
        EXPECT_DOUBLE_EQ(mixed.stemPositions[i][s], mixed.positions[i]) << "piece " << i << " stem " << s;
      }
    }
    if (c.deviceRate == kRate) {
      // At the stems' rate a rendered frame is a song frame: the clock is exact.
      const double seekMs = c.name == std::string("a seek") ? 1700.0 : 0.0;
      const int64_t from = seekMs > 0.0 ? 8 * kPiece : 0;
      const double expected = seekMs + static_cast<double>(frames - from) * 1000.0 / kRate;
      EXPECT_NEAR(mixed.positions.back(), expected, 1e-6);
    }
  }
}

// The level of each stem is its own: a stem alone at half volume renders at half the
// level of the same stem at full volume, and the others add nothing.
TEST_F(MixedStemsTest, EachStemKeepsItsOwnLevel) {
  auto alone = [](int slot, int volume) {
    return Step{0, [slot, volume](SongAudio&, MixerSettings& m) {
                  for (int i = 0; i < kMixerStemCount; ++i) m.stemVolume[i] = i == slot ? volume : 0;
                }};
  };
  for (int slot : {0, 2, 11}) {
    SCOPED_TRACE(slot);
    const Run full = Play(true, kRate, {alone(slot, 100)}, 10 * kPiece);
    const Run half = Play(true, kRate, {alone(slot, 50)}, 10 * kPiece);
    const double rmsFull = audiotest::Rms(full.out);
    ASSERT_GT(rmsFull, 0.05);
    EXPECT_NEAR(audiotest::Rms(half.out) / rmsFull, 0.5, 0.005);
  }
}

// Mixed voices straight on the layer, with PCM of known levels.
class MixedVoicesTest : public audiotest::LoopbackTest {
 protected:
  using Voice = std::unique_ptr<platform::audio::SourceVoice>;

  void SetUp() override {
    LoopbackTest::SetUp();
    engine_ = platform::audio::Engine::Create();
    ASSERT_TRUE(engine_);
    ASSERT_TRUE(engine_->CreateMastering());
  }
  void TearDown() override {
    engine_.reset();
    LoopbackTest::TearDown();
  }

  Voice Make() {
    Voice v = engine_->CreateMixedVoice(platform::audio::WaveFormat::Pcm16(2, kRate), 2.0f);
    EXPECT_TRUE(v);
    return v;
  }
  // A buffer of one level on both sides; kept until the test ends (the layer reads it).
  const std::vector<int16_t>& Level(float level, uint32_t frames) {
    pcm_.emplace_back(2 * frames, static_cast<int16_t>(std::lround(level * 32768.0f)));
    return pcm_.back();
  }
  static bool Submit(platform::audio::SourceVoice& v, const std::vector<int16_t>& pcm, bool last = false) {
    return v.Submit(pcm.data(), static_cast<uint32_t>(pcm.size() * sizeof(int16_t)), last);
  }
  // The mean of the left side over frames [from, to).
  static double Mean(const std::vector<float>& out, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t f = from; f < to; ++f) sum += out[2 * f];
    return sum / static_cast<double>(to - from);
  }

  std::unique_ptr<platform::audio::Engine> engine_;
  std::vector<std::vector<int16_t>> pcm_;
};

// A stream that runs dry goes on from where it stopped when PCM comes again, playing
// nothing twice; a member with nothing queued does not hold the others back once the
// stream is dry, and plays its own PCM late (as a source of its own would).
TEST_F(MixedVoicesTest, ADryStreamGoesOnWithoutReplaying) {
  Voice a = Make(), b = Make();
  ASSERT_TRUE(Submit(*a, Level(0.25f, 4410)));
  ASSERT_TRUE(Submit(*b, Level(0.125f, 4410)));
  platform::audio::SourceVoice* both[] = {a.get(), b.get()};
  engine_->StartVoices(both);
  std::vector<float> out = Render(8820);
  EXPECT_NEAR(Mean(out, 0, 4410), 0.375, 1e-3);
  EXPECT_NEAR(Mean(out, 4410, 8820), 0.0, 1e-6);
  EXPECT_EQ(a->GetState().samplesPlayed, 4410u);
  EXPECT_EQ(b->GetState().samplesPlayed, 4410u);
  EXPECT_EQ(a->GetState().buffersQueued, 0u);

  ASSERT_TRUE(Submit(*a, Level(0.5f, 2205)));
  out = Render(4410);
  EXPECT_NEAR(Mean(out, 0, 2205), 0.5, 1e-3);
  EXPECT_NEAR(Mean(out, 2205, 4410), 0.0, 1e-6);
  EXPECT_EQ(a->GetState().samplesPlayed, 6615u);
  EXPECT_EQ(b->GetState().samplesPlayed, 4410u);

  ASSERT_TRUE(Submit(*b, Level(0.125f, 2205), true));
  out = Render(4410);
  EXPECT_NEAR(Mean(out, 0, 2205), 0.125, 1e-3);
  EXPECT_NEAR(Mean(out, 2205, 4410), 0.0, 1e-6);
  EXPECT_EQ(b->GetState().samplesPlayed, 6615u);
}

// Stop pauses the whole stream at once when no member plays on; a member stopped
// alone stops counting once what was mixed of it has played. A ratio set on one
// member is every member's.
TEST_F(MixedVoicesTest, StopRatioAndVolumeOfMembers) {
  Voice a = Make(), b = Make();
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(Submit(*a, Level(0.25f, 4410)));
    ASSERT_TRUE(Submit(*b, Level(0.125f, 4410)));
  }
  platform::audio::SourceVoice* both[] = {a.get(), b.get()};
  engine_->StartVoices(both);
  Render(4410);
  engine_->StopVoices(both);
  std::vector<float> out = Render(4410);
  EXPECT_NEAR(Mean(out, 0, 4410), 0.0, 1e-6) << "the stream played on while stopped";
  EXPECT_EQ(a->GetState().samplesPlayed, 4410u);
  engine_->StartVoices(both);
  out = Render(4410);
  EXPECT_NEAR(Mean(out, 0, 4410), 0.375, 1e-3);
  EXPECT_EQ(b->GetState().samplesPlayed, 8820u);

  b->Stop();
  out = Render(kRate);  // a second: far past what is mixed ahead
  const uint64_t bStopped = b->GetState().samplesPlayed;
  EXPECT_LT(bStopped, 8820u + kRate / 4);
  EXPECT_NEAR(Mean(out, kRate / 2, kRate), 0.25, 1e-3) << "the stopped member still sounds";
  EXPECT_EQ(a->GetState().samplesPlayed, 8820u + kRate);

  a->SetFrequencyRatio(1.5f);
  EXPECT_FLOAT_EQ(b->GetFrequencyRatio(), 1.5f);
  a->SetVolume(2.0f);
  out = Render(kRate / 2);
  EXPECT_NEAR(Mean(out, kRate / 4, kRate / 2), 0.5, 1e-3);
  EXPECT_EQ(b->GetState().samplesPlayed, bStopped);
}

}  // namespace
