// Sound files made at test time: Ogg Vorbis streams encoded from a signal function,
// and RIFF WAVE files built field by field (so that broken headers can be made too).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A signal: the sample (-1..1) of a channel at a frame.
using Signal = std::function<float(int64_t frame, int channel)>;

struct OggSpec {
  int channels = 2;
  int rate = 44100;
  int64_t frames = 44100;
  float quality = 0.0f;  // vorbisenc VBR quality, -0.1..1
  Signal signal;         // silence when empty
};

// The bytes of an Ogg Vorbis file; empty when the encoder refuses the settings.
std::string MakeOgg(const OggSpec& params);

// A sine of the given frequency and amplitude on every channel.
Signal Sine(double frequency, float amplitude, int rate);
// Silence with a burst of a 1 kHz tone (amplitude 0.8) from frame `at` for `length` frames.
Signal BurstAt(int64_t at, int64_t length, int rate);

struct WavSpec {
  uint16_t formatTag = 1;  // 1 PCM, 3 float, 0xFFFE extensible
  uint16_t subFormat = 1;  // extensible only: 1 PCM, 3 float
  uint16_t channels = 1;
  uint32_t rate = 22050;
  uint16_t bits = 16;
  uint32_t channelMask = 0;  // extensible only
  std::string data;          // the PCM bytes
  // Chunks written before "fmt " (id, body); odd bodies get their pad byte.
  std::vector<std::pair<std::string, std::string>> chunksBefore;
  std::vector<std::pair<std::string, std::string>> chunksBetween;  // between "fmt " and "data"
  // Header values that do not match the bytes (-1: the true value).
  int64_t dataSizeField = -1;
  int64_t riffSizeField = -1;
  int64_t blockAlignField = -1;
  bool omitFormat = false;
  bool omitData = false;
};

std::string MakeWav(const WavSpec& params);
// 16-bit PCM of the samples, little-endian.
std::string Pcm16Bytes(const std::vector<int16_t>& samples);

}  // namespace testsupport
