// RIFF WAVE files of the sound effects: integer PCM of 8, 16, 24 or 32 bits, 32-bit
// float, and the extensible form of either, one to eight channels. The whole data
// chunk is read into memory. A file whose header does not match its bytes (a chunk
// running past the end of the file, a format record that contradicts itself) is
// refused, never trusted.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/audio/audio.h"

namespace wavefile {

constexpr size_t kMaxFileBytes = size_t(64) << 20;  // larger sound effects are refused

enum class Result { kOk, kCannotRead, kNotWave, kBadFormat, kBadChunk, kNoData, kTooLarge };

struct WaveData {
  platform::audio::WaveFormat format;
  std::vector<uint8_t> data;  // whole frames only
};

// Parses the bytes of a file.
Result Parse(std::string_view bytes, WaveData* out);
// Reads a file (through the case-insensitive resolver) and parses it.
Result Load(std::u16string_view path, WaveData* out);

}  // namespace wavefile
