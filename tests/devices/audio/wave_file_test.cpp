// RIFF WAVE reading: the formats a sound effect may come in, and the headers that lie.
#include "devices/audio/wave_file.h"

#include <gtest/gtest.h>

#include "tests/support/audio_fixtures.h"

namespace {

using testsupport::MakeWav;
using testsupport::WavSpec;
using wavefile::Result;

WavSpec Pcm16Mono(std::vector<int16_t> samples) {
  WavSpec s;
  s.data = testsupport::Pcm16Bytes(samples);
  return s;
}

TEST(WaveFile, ReadsEveryPlayableForm) {
  struct Case {
    const char* name;
    WavSpec params;
    platform::audio::SampleType type;
    uint16_t channels, bits;
    size_t bytes;
  };
  auto with = [](WavSpec s, auto change) {
    change(s);
    return s;
  };
  const WavSpec base = Pcm16Mono({1, 2, 3, 4});
  const std::vector<Case> cases = {
      {"16-bit mono", base, platform::audio::SampleType::kPcm, 1, 16, 8},
      {"8-bit stereo", with(base, [](WavSpec& s) { s.channels = 2, s.bits = 8; }), platform::audio::SampleType::kPcm,
       2, 8, 8},
      {"24-bit stereo, partial frame dropped",
       with(base, [](WavSpec& s) { s.channels = 2, s.bits = 24, s.data = std::string(14, '\1'); }),
       platform::audio::SampleType::kPcm, 2, 24, 12},
      {"float", with(base, [](WavSpec& s) { s.formatTag = 3, s.bits = 32; }), platform::audio::SampleType::kFloat, 1,
       32, 8},
      {"extensible PCM 6 channels",
       with(base, [](WavSpec& s) { s.formatTag = 0xFFFE, s.channels = 6, s.channelMask = 0x3F, s.data = std::string(24, '\0'); }),
       platform::audio::SampleType::kPcm, 6, 16, 24},
      {"extensible float",
       with(base, [](WavSpec& s) { s.formatTag = 0xFFFE, s.subFormat = 3, s.bits = 32; }),
       platform::audio::SampleType::kFloat, 1, 32, 8},
      {"LIST and odd chunk before fmt, fact between",
       with(base,
            [](WavSpec& s) {
              s.chunksBefore = {{"LIST", "INFOabc"}, {"junk", "x"}};
              s.chunksBetween = {{"fact", "1234"}};
            }),
       platform::audio::SampleType::kPcm, 1, 16, 8},
      {"RIFF size larger than the file", with(base, [](WavSpec& s) { s.riffSizeField = 1 << 30; }),
       platform::audio::SampleType::kPcm, 1, 16, 8},
      {"empty data", with(base, [](WavSpec& s) { s.data.clear(); }), platform::audio::SampleType::kPcm, 1, 16, 0},
      // A recording cut short keeps the samples it holds.
      {"data size beyond the file", with(base, [](WavSpec& s) { s.dataSizeField = 0xFFFFFFF0; }),
       platform::audio::SampleType::kPcm, 1, 16, 8},
      {"data size one byte beyond", with(base, [](WavSpec& s) { s.dataSizeField = 9; }),
       platform::audio::SampleType::kPcm, 1, 16, 8},
      {"data cut mid-frame",
       with(base, [](WavSpec& s) { s.bits = 24, s.dataSizeField = 100, s.data = std::string(8, '\2'); }),
       platform::audio::SampleType::kPcm, 1, 24, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wavefile::WaveData wave;
    ASSERT_EQ(wavefile::Parse(MakeWav(c.params), &wave), Result::kOk);
    EXPECT_EQ(wave.format.type, c.type);
    EXPECT_EQ(wave.format.channels, c.channels);
    EXPECT_EQ(wave.format.bitsPerSample, c.bits);
    EXPECT_EQ(wave.format.sampleRate, 22050u);
    EXPECT_EQ(wave.data.size(), c.bytes);
    EXPECT_EQ(std::string(wave.data.begin(), wave.data.end()), c.params.data.substr(0, c.bytes));
  }
}

TEST(WaveFile, RefusesHeadersThatLie) {
  struct Case {
    const char* name;
    std::string bytes;
    Result expected;
  };
  auto with = [](auto change) {
    WavSpec s = Pcm16Mono({1, 2, 3, 4});
    change(s);
    return MakeWav(s);
  };
  std::string truncatedFmt = with([](WavSpec&) {});
  truncatedFmt.resize(12 + 8 + 10);
  const std::vector<Case> cases = {
      {"format chunk cut short", truncatedFmt, Result::kBadChunk},
      {"format record too short", with([](WavSpec& s) { s.chunksBefore = {{"fmt ", "12345678"}}, s.omitFormat = true; }),
       Result::kBadFormat},
      {"block align contradicts", with([](WavSpec& s) { s.blockAlignField = 4; }), Result::kBadFormat},
      {"no channels", with([](WavSpec& s) { s.channels = 0; }), Result::kBadFormat},
      {"nine channels", with([](WavSpec& s) { s.channels = 9, s.data = std::string(18, '\0'); }), Result::kBadFormat},
      {"no sample rate", with([](WavSpec& s) { s.rate = 0; }), Result::kBadFormat},
      {"12-bit samples", with([](WavSpec& s) { s.bits = 12; }), Result::kBadFormat},
      {"ADPCM", with([](WavSpec& s) { s.formatTag = 2; }), Result::kBadFormat},
      {"extensible with a foreign GUID",
       with([](WavSpec& s) {
         s.formatTag = 0xFFFE;
         s.subFormat = 0x55;
       }),
       Result::kBadFormat},
      {"two data chunks", with([](WavSpec& s) { s.chunksBetween = {{"data", "ab"}}; }), Result::kBadChunk},
      {"no format", with([](WavSpec& s) { s.omitFormat = true; }), Result::kBadFormat},
      {"no data", with([](WavSpec& s) { s.omitData = true; }), Result::kNoData},
      {"not RIFF", std::string("RIFX") + std::string(40, '\0'), Result::kNotWave},
      {"RIFF of another kind", std::string("RIFF\x04\0\0\0AVI ", 12), Result::kNotWave},
      {"too short", std::string("RIFF"), Result::kNotWave},
      {"RIFF size below its own header", with([](WavSpec& s) { s.riffSizeField = 2; }), Result::kNotWave},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wavefile::WaveData wave;
    EXPECT_EQ(wavefile::Parse(c.bytes, &wave), c.expected);
  }
}

}  // namespace
