// Shared set-up of the audio tests: a loopback device rendered on request, a fake
// millisecond clock with a large start value, a temporary folder and helpers to
// write sound files and render frames.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/test_support.h"

namespace audiotest {

constexpr uint32_t kRate = 44100;

class LoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(platform::audio::testing::LiveEngineCount(), 0u);
    ASSERT_TRUE(platform::audio::testing::UseLoopback(kRate));
    platform::audio::testing::ClearFailures();
    clock_.clock.ms = 50000000;
  }
  void TearDown() override {
    platform::audio::testing::ClearFailures();
    EXPECT_EQ(platform::audio::testing::LiveEngineCount(), 0u) << "an engine outlived its test";
    EXPECT_EQ(platform::audio::testing::LiveVoiceCount(), 0u) << "a voice outlived its test";
  }

  // Renders frames and returns the stereo output.
  std::vector<float> Render(uint32_t frames) {
    std::vector<float> out;
    EXPECT_TRUE(platform::audio::testing::Render(frames, &out));
    return out;
  }

  void WriteOgg(const std::string& relative, const testsupport::OggSpec& params) {
    const std::string bytes = testsupport::MakeOgg(params);
    ASSERT_FALSE(bytes.empty()) << "encoder refused " << relative;
    dir_.WriteBytes(relative, bytes);
    platform::InvalidatePathCache();
  }

  // A stereo sine stem of the given length in frames.
  void WriteTone(const std::string& relative, int64_t frames, double frequency = 440.0, float amplitude = 0.25f,
                 int channels = 2, int rate = static_cast<int>(kRate)) {
    testsupport::OggSpec params;
    params.channels = channels;
    params.rate = rate;
    params.frames = frames;
    params.signal = testsupport::Sine(frequency, amplitude, rate);
    WriteOgg(relative, params);
  }

  std::u16string WPath(const std::string& relative) const { return dir_.WPath(relative); }

  testsupport::TempDir dir_;
  platform::ScopedFakeClock clock_;
};

inline double Rms(const std::vector<float>& stereo, size_t fromFrame = 0, size_t toFrame = SIZE_MAX) {
  toFrame = std::min(toFrame, stereo.size() / 2);
  if (fromFrame >= toFrame) return 0.0;
  double sum = 0.0;
  for (size_t i = 2 * fromFrame; i < 2 * toFrame; ++i) sum += static_cast<double>(stereo[i]) * stereo[i];
  return std::sqrt(sum / static_cast<double>(2 * (toFrame - fromFrame)));
}

// The first frame whose left or right sample reaches the threshold (-1: none).
inline int64_t FirstLoudFrame(const std::vector<float>& stereo, float threshold) {
  for (size_t i = 0; i < stereo.size(); ++i) {
    if (std::fabs(stereo[i]) >= threshold) return static_cast<int64_t>(i / 2);
  }
  return -1;
}

}  // namespace audiotest
