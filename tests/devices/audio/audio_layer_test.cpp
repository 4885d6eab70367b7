// The audio layer over the loopback device: positions, queue, output PCM, gains,
// meter, engine lifetime and the silent device.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "tests/devices/audio/audio_test_env.h"

namespace {

using audiotest::kRate;
using platform::audio::Engine;
using platform::audio::SourceVoice;
using platform::audio::WaveFormat;

class AudioLayerTest : public audiotest::LoopbackTest {
 protected:
  void SetUp() override {
    LoopbackTest::SetUp();
    engine_ = Engine::Create();
    ASSERT_TRUE(engine_);
    ASSERT_TRUE(engine_->CreateMastering());
  }
  void TearDown() override {
    engine_.reset();
    LoopbackTest::TearDown();
  }

  std::unique_ptr<SourceVoice> Voice(const WaveFormat& f, float maxRatio = 2.0f) {
    auto v = engine_->CreateSourceVoice(f, maxRatio);
    EXPECT_TRUE(v);
    return v;
  }

  std::unique_ptr<Engine> engine_;
};

// A stereo 16-bit buffer of constant samples.
std::vector<int16_t> Constant(uint32_t frames, int16_t left, int16_t right) {
  std::vector<int16_t> v(2 * frames);
  for (uint32_t i = 0; i < frames; ++i) v[2 * i] = left, v[2 * i + 1] = right;
  return v;
}

TEST_F(AudioLayerTest, PositionCountsSourceFramesAcrossSpeedPauseAndRecycling) {
  auto voice = Voice(WaveFormat::Pcm16(2, kRate));
  // Sixteen small buffers, so that the position is carried across taking them back.
  std::vector<int16_t> pcm = Constant(4000, 1000, -1000);
  for (int i = 0; i < 16; ++i) ASSERT_TRUE(voice->Submit(pcm.data(), 4000 * 4, i == 15));
  EXPECT_EQ(voice->GetState().samplesPlayed, 0u);
  voice->Start();
  Render(10000);
  EXPECT_EQ(voice->GetState().samplesPlayed, 10000u);
  EXPECT_EQ(voice->GetState().buffersQueued, 14u);  // two played, the third playing

  voice->SetFrequencyRatio(1.5f);
  Render(10000);
  EXPECT_EQ(voice->GetState().samplesPlayed, 25000u);

  voice->Stop();
  Render(5000);
  EXPECT_EQ(voice->GetState().samplesPlayed, 25000u);
  voice->Start();
  voice->SetFrequencyRatio(1.0f);
  Render(5000);
  EXPECT_EQ(voice->GetState().samplesPlayed, 30000u);

  // Played to the end: everything is counted, nothing is queued, and the count stays.
  Render(40000);
  EXPECT_EQ(voice->GetState().samplesPlayed, 64000u);
  EXPECT_EQ(voice->GetState().buffersQueued, 0u);
  Render(1000);
  EXPECT_EQ(voice->GetState().samplesPlayed, 64000u);
}

TEST_F(AudioLayerTest, StarvedVoiceGoesOnWhenTheNextBufferArrives) {
  auto voice = Voice(WaveFormat::Pcm16(2, kRate));
  std::vector<int16_t> pcm = Constant(1000, 2000, 2000);
  ASSERT_TRUE(voice->Submit(pcm.data(), 1000 * 4, false));
  voice->Start();
  Render(3000);  // ran dry after 1000 frames
  EXPECT_EQ(voice->GetState().samplesPlayed, 1000u);
  EXPECT_EQ(voice->GetState().buffersQueued, 0u);
  ASSERT_TRUE(voice->Submit(pcm.data(), 1000 * 4, false));
  std::vector<float> out = Render(500);
  EXPECT_EQ(voice->GetState().samplesPlayed, 1500u);
  EXPECT_NEAR(out[0], 2000 / 32768.0, 1e-6);

  // A stopped voice that ran dry does not start by itself when fed.
  Render(1000);
  voice->Stop();
  ASSERT_TRUE(voice->Submit(pcm.data(), 1000 * 4, false));
  out = Render(500);
  EXPECT_EQ(voice->GetState().samplesPlayed, 2000u);
  EXPECT_EQ(out[0], 0.0f);
  voice->Start();
  Render(500);
  EXPECT_EQ(voice->GetState().samplesPlayed, 2500u);
}

TEST_F(AudioLayerTest, OutputCarriesTheSamplesTimesVoiceAndMasterGain) {
  auto voice = Voice(WaveFormat::Pcm16(2, kRate));
  std::vector<int16_t> pcm = Constant(20000, 8192, -4096);
  ASSERT_TRUE(voice->Submit(pcm.data(), 20000 * 4, true));
  voice->Start();
  std::vector<float> out = Render(4000);
  EXPECT_NEAR(out[2 * 3000], 0.25, 1e-6);
  EXPECT_NEAR(out[2 * 3000 + 1], -0.125, 1e-6);

  voice->SetVolume(0.5f);
  engine_->SetMasterVolume(0.5f);
  out = Render(4000);  // gain changes glide over the first mix of the change
  EXPECT_NEAR(out[2 * 3000], 0.0625, 1e-6);
  EXPECT_FLOAT_EQ(voice->GetVolume(), 0.5f);
  EXPECT_FLOAT_EQ(engine_->GetMasterVolume(), 0.5f);

  voice->SetVolume(2.0f);  // above unity is allowed
  engine_->SetMasterVolume(1.0f);
  out = Render(4000);
  EXPECT_NEAR(out[2 * 3000], 0.5, 1e-6);

  engine_->DestroyMastering();
  out = Render(4000);
  EXPECT_EQ(out[2 * 3000], 0.0f);
}

struct FormatCase {
  const char* name;
  WaveFormat format;
  std::vector<uint8_t> frame;  // one frame of the format, repeated
  float left, right;           // expected output
};

std::vector<uint8_t> Le16(std::initializer_list<int> v) {
  std::vector<uint8_t> out;
  for (int s : v) out.push_back(static_cast<uint8_t>(s & 0xFF)), out.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
  return out;
}

TEST_F(AudioLayerTest, EveryFormatPlaysAsStereo) {
  auto make = [](platform::audio::SampleType t, uint16_t ch, uint16_t bits,
                 platform::audio::ChannelOrder order = platform::audio::ChannelOrder::kWave) {
    WaveFormat f;
    f.type = t;
    f.channels = ch;
    f.sampleRate = kRate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<uint16_t>(ch * bits / 8);
    f.order = order;
    return f;
  };
  using platform::audio::ChannelOrder;
  using platform::audio::SampleType;
  const float half = 0.5f;
  std::vector<uint8_t> floatFrame(4);
  std::memcpy(floatFrame.data(), &half, 4);
  const float c = 0.70710678f * 0.25f;
  const std::vector<FormatCase> cases = {
      {"mono 16", make(SampleType::kPcm, 1, 16), Le16({8192}), 0.25f, 0.25f},
      {"mono 8", make(SampleType::kPcm, 1, 8), {192}, 0.5f, 0.5f},
      {"stereo 8", make(SampleType::kPcm, 2, 8), {192, 64}, 0.5f, -0.5f},
      {"stereo 24", make(SampleType::kPcm, 2, 24), {0x00, 0x00, 0x40, 0x00, 0x00, 0xE0}, 0.5f, -0.25f},
      {"mono 32", make(SampleType::kPcm, 1, 32), {0x00, 0x00, 0x00, 0x20}, 0.25f, 0.25f},
      {"mono float", make(SampleType::kFloat, 1, 32), floatFrame, 0.5f, 0.5f},
      // Vorbis order L C R: the centre goes to both sides at half power.
      {"vorbis 3ch centre", make(SampleType::kPcm, 3, 16, ChannelOrder::kVorbis), Le16({0, 8192, 0}), c, c},
      {"vorbis 3ch right", make(SampleType::kPcm, 3, 16, ChannelOrder::kVorbis), Le16({0, 0, 8192}), 0.0f, 0.25f},
      // 5.1 in Vorbis order L C R RL RR LFE: the LFE is dropped.
      {"vorbis 6ch lfe", make(SampleType::kPcm, 6, 16, ChannelOrder::kVorbis), Le16({0, 0, 0, 0, 0, 8192}), 0.0f,
       0.0f},
      {"vorbis 6ch rear left", make(SampleType::kPcm, 6, 16, ChannelOrder::kVorbis), Le16({0, 0, 0, 8192, 0, 0}), c,
       0.0f},
      // WAVE order FL FR FC ...: the third channel is the centre.
      {"wave 3ch centre", make(SampleType::kPcm, 3, 16), Le16({0, 0, 8192}), c, c},
  };
  for (const FormatCase& fc : cases) {
    SCOPED_TRACE(fc.name);
    auto voice = Voice(fc.format);
    ASSERT_TRUE(voice);
    std::vector<uint8_t> pcm;
    for (int i = 0; i < 8000; ++i) pcm.insert(pcm.end(), fc.frame.begin(), fc.frame.end());
    ASSERT_TRUE(voice->Submit(pcm.data(), static_cast<uint32_t>(pcm.size()), true));
    voice->Start();
    std::vector<float> out = Render(4000);
    EXPECT_NEAR(out[2 * 3000], fc.left, 1e-4);
    EXPECT_NEAR(out[2 * 3000 + 1], fc.right, 1e-4);
    EXPECT_EQ(voice->GetState().samplesPlayed, 4000u);
    voice.reset();
    Render(1000);
  }
}

TEST_F(AudioLayerTest, RefusesWhatItCannotPlay) {
  WaveFormat nine = WaveFormat::Pcm16(9, kRate);
  WaveFormat badAlign = WaveFormat::Pcm16(2, kRate);
  badAlign.blockAlign = 3;
  WaveFormat noRate = WaveFormat::Pcm16(2, 0);
  WaveFormat float16 = WaveFormat::Pcm16(1, kRate);
  float16.type = platform::audio::SampleType::kFloat;
  for (const WaveFormat& f : {nine, badAlign, noRate, float16, WaveFormat{}}) {
    int32_t error = 0;
    EXPECT_FALSE(engine_->CreateSourceVoice(f, 2.0f, &error));
    EXPECT_EQ(error, platform::audio::kErrorBadFormat);
  }
  // A partial trailing frame is ignored; less than a frame queues nothing.
  auto voice = Voice(WaveFormat::Pcm16(2, kRate));
  std::vector<int16_t> pcm = Constant(100, 1, 1);
  ASSERT_TRUE(voice->Submit(pcm.data(), 100 * 4 - 2, true));
  ASSERT_TRUE(voice->Submit(pcm.data(), 3, true));
  voice->Start();
  Render(500);
  EXPECT_EQ(voice->GetState().samplesPlayed, 99u);
  // The ratio stays within its limits.
  voice->SetFrequencyRatio(5.0f);
  EXPECT_FLOAT_EQ(voice->GetFrequencyRatio(), 2.0f);
  voice->SetFrequencyRatio(0.0f);
  EXPECT_FLOAT_EQ(voice->GetFrequencyRatio(), 1.0f / 1024.0f);
  // No more than the queue holds.
  for (uint32_t i = 0; i < platform::audio::kMaxQueuedBuffers; ++i) ASSERT_TRUE(voice->Submit(pcm.data(), 400, false));
  int32_t error = 0;
  EXPECT_FALSE(voice->Submit(pcm.data(), 400, false, &error));
  EXPECT_EQ(error, platform::audio::kErrorQueueFull);
}

TEST_F(AudioLayerTest, VoicesStartedTogetherStayFrameAligned) {
  std::vector<std::unique_ptr<SourceVoice>> voices;
  std::vector<SourceVoice*> raw;
  std::vector<int16_t> pcm = Constant(30000, 100, 100);
  for (int i = 0; i < 6; ++i) {
    voices.push_back(Voice(WaveFormat::Pcm16(2, kRate)));
    ASSERT_TRUE(voices.back()->Submit(pcm.data(), 30000 * 4, true));
    raw.push_back(voices.back().get());
  }
  engine_->StartVoices(raw);
  for (uint32_t frames : {1u, 333u, 4096u, 10007u}) {
    Render(frames);
    const uint64_t first = voices[0]->GetState().samplesPlayed;
    for (auto& v : voices) EXPECT_EQ(v->GetState().samplesPlayed, first);
  }
  engine_->SetFrequencyRatios(raw, 1.25f);
  Render(4000);
  engine_->StopVoices(raw);
  Render(100);
  const uint64_t first = voices[0]->GetState().samplesPlayed;
  EXPECT_EQ(first, 1u + 333 + 4096 + 10007 + 5000);
  for (auto& v : voices) EXPECT_EQ(v->GetState().samplesPlayed, first);
}

TEST_F(AudioLayerTest, MeterMeasuresThePcmPlayedSinceTheLastRead) {
  auto voice = Voice(WaveFormat::Pcm16(2, kRate));
  std::vector<int16_t> pcm = Constant(20000, 16384, -8192);
  for (int i = 10000; i < 20000; ++i) pcm[2 * i] = 4096;  // quieter second half on the left
  voice->EnableMeter(true);
  ASSERT_TRUE(voice->Submit(pcm.data(), 20000 * 4, true));
  voice->SetVolume(0.1f);  // the meter reads before the voice gain
  voice->Start();
  float peaks[2], rms[2];
  Render(5000);
  ASSERT_EQ(voice->ReadMeter(peaks, rms, 2), 2u);
  EXPECT_NEAR(peaks[0], 0.5f, 1e-6);
  EXPECT_NEAR(peaks[1], 0.25f, 1e-6);
  EXPECT_NEAR(rms[0], 0.5f, 1e-6);
  Render(7000);  // now in the quieter half
  voice->ReadMeter(peaks, rms, 2);
  EXPECT_NEAR(peaks[0], 0.5f, 1e-6);  // frames 5000..12000 include both halves
  Render(3000);
  voice->ReadMeter(peaks, rms, 2);
  EXPECT_NEAR(peaks[0], 0.125f, 1e-6);
  voice->ReadMeter(peaks, rms, 2);  // nothing played since
  EXPECT_EQ(peaks[0], 0.0f);
}

TEST_F(AudioLayerTest, EngineEndTakesItsVoicesWithIt) {
  auto voice = Voice(WaveFormat::Pcm16(2, kRate));
  std::vector<int16_t> pcm = Constant(10000, 8192, 8192);
  ASSERT_TRUE(voice->Submit(pcm.data(), 10000 * 4, true));
  voice->Start();
  Render(1000);
  EXPECT_EQ(platform::audio::testing::LiveVoiceCount(), 1u);
  engine_.reset();
  EXPECT_EQ(platform::audio::testing::LiveVoiceCount(), 0u);
  std::vector<float> out = Render(1000);
  EXPECT_EQ(out[1000], 0.0f);
  // The orphaned voice answers safely.
  EXPECT_EQ(voice->GetState().buffersQueued, 0u);
  EXPECT_EQ(voice->GetState().samplesPlayed, 1000u);
  int32_t error = 0;
  EXPECT_FALSE(voice->Submit(pcm.data(), 400, false, &error));
  EXPECT_EQ(error, platform::audio::kErrorEngineGone);
  voice->Start();
  voice->SetVolume(1.0f);
  voice.reset();
}

TEST_F(AudioLayerTest, InjectedFailuresAndMissingMastering) {
  using platform::audio::testing::FailNext;
  using platform::audio::testing::Operation;
  int32_t error = 0;
  FailNext(Operation::kCreateEngine);
  EXPECT_FALSE(Engine::Create(&error));
  EXPECT_EQ(error, platform::audio::kErrorInjected);
  EXPECT_TRUE(Engine::Create());  // one failure only

  auto bare = Engine::Create();
  EXPECT_FALSE(bare->CreateSourceVoice(WaveFormat::Pcm16(2, kRate), 2.0f, &error));
  EXPECT_EQ(error, platform::audio::kErrorNoMastering);
  FailNext(Operation::kCreateMastering);
  EXPECT_FALSE(bare->CreateMastering());
  EXPECT_TRUE(bare->CreateMastering());

  FailNext(Operation::kCreateSource);
  EXPECT_FALSE(engine_->CreateSourceVoice(WaveFormat::Pcm16(2, kRate), 2.0f));
  auto voice = Voice(WaveFormat::Pcm16(2, kRate));
  std::vector<int16_t> pcm = Constant(100, 1, 1);
  FailNext(Operation::kSubmit);
  EXPECT_FALSE(voice->Submit(pcm.data(), 400, true));
  EXPECT_EQ(voice->GetState().buffersQueued, 0u);
  EXPECT_TRUE(voice->Submit(pcm.data(), 400, true));
}

// The engine on the silent device the game falls back to without a sound device;
// the device is closed again afterwards.
class AudioSilentDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(platform::audio::testing::LiveEngineCount(), 0u);
    ::setenv("VELORIN_AUDIO", "null", 1);
    ASSERT_TRUE(platform::audio::testing::UseDefaultDevice());
    engine = Engine::Create();
    ASSERT_TRUE(engine);
    ASSERT_TRUE(engine->CreateMastering());
  }
  void TearDown() override {
    engine.reset();
    ::unsetenv("VELORIN_AUDIO");
    platform::audio::Shutdown();
    EXPECT_FALSE(platform::audio::GetDeviceInfo().open);
  }
  std::unique_ptr<Engine> engine;
};

// Without a sound device the game runs silent: the device renders into nowhere in
// real time, so voices play out.
TEST_F(AudioSilentDevice, PlaysOutWithoutASoundDevice) {
  const platform::audio::DeviceInfo info = platform::audio::GetDeviceInfo();
  EXPECT_TRUE(info.open);
  EXPECT_TRUE(info.silent);
  auto voice = engine->CreateSourceVoice(WaveFormat::Pcm16(2, kRate), 2.0f);
  ASSERT_TRUE(voice);
  std::vector<int16_t> pcm = Constant(2205, 100, 100);  // 50 ms
  ASSERT_TRUE(voice->Submit(pcm.data(), 2205 * 4, true));
  voice->Start();
  bool drained = false;
  for (int i = 0; i < 200 && !drained; ++i) {  // up to two seconds
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    drained = voice->GetState().buffersQueued == 0;
  }
  EXPECT_TRUE(drained);
  EXPECT_EQ(voice->GetState().samplesPlayed, 2205u);
  EXPECT_FALSE(platform::audio::testing::Render(100));  // only a loopback device renders on request
}

// The silent device renders a period at a time, but never ahead of the clock: a
// second of sound takes a second to play out, and at no point has more been played
// than the time since the start allows (plus the one period rendered at once).
// Slowness on a loaded machine only makes the positions lag, which is allowed.
TEST_F(AudioSilentDevice, PlaysNoFasterThanRealTime) {
  const uint32_t rate = platform::audio::GetDeviceInfo().sampleRate;
  ASSERT_GT(rate, 0u);
  auto voice = engine->CreateSourceVoice(WaveFormat::Pcm16(2, rate), 2.0f);
  ASSERT_TRUE(voice);
  const uint32_t frames = rate;  // one second
  std::vector<int16_t> pcm = Constant(frames, 100, 100);
  ASSERT_TRUE(voice->Submit(pcm.data(), frames * 4, true));
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  voice->Start();
  const double periodAllowance = 0.040;  // one rendering period and some
  bool drained = false;
  double worstLead = -1.0;
  while (!drained && Clock::now() - start < std::chrono::seconds(30)) {
    const platform::audio::VoiceState state = voice->GetState();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double played = static_cast<double>(state.samplesPlayed) / rate;
    worstLead = std::max(worstLead, played - elapsed);
    drained = state.buffersQueued == 0;
    if (!drained) std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  const double total = std::chrono::duration<double>(Clock::now() - start).count();
  ASSERT_TRUE(drained) << "a second of sound did not play out in 30 s";
  EXPECT_EQ(voice->GetState().samplesPlayed, frames);
  EXPECT_LE(worstLead, periodAllowance) << "the silent device ran ahead of the clock";
  EXPECT_GE(total, 1.0 - periodAllowance);
}

}  // namespace
