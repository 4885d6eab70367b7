#include "devices/audio/wave_file.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/file.h"

namespace wavefile {
namespace {

uint16_t U16(const char* p) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}

uint32_t U32(const char* p) {
  return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) | (static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24);
}

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;

// The fixed tail of the sub-format GUIDs of the extensible form.
constexpr unsigned char kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

Result ParseFormat(const char* p, uint32_t size, platform::audio::WaveFormat* f) {
  if (size < 16) return Result::kBadFormat;
  uint16_t tag = U16(p);
  const uint16_t channels = U16(p + 2);
  const uint32_t rate = U32(p + 4);
  const uint16_t blockAlign = U16(p + 12);
  const uint16_t bits = U16(p + 14);
  if (tag == kTagExtensible) {
    if (size < 40 || U16(p + 16) < 22) return Result::kBadFormat;
    f->channelMask = U32(p + 20);
    if (std::memcmp(p + 26, kGuidTail, sizeof kGuidTail) != 0) return Result::kBadFormat;
    tag = U16(p + 24);
  }
  if (tag == kTagPcm) {
    f->type = platform::audio::SampleType::kPcm;
  } else if (tag == kTagFloat) {
    f->type = platform::audio::SampleType::kFloat;
  } else {
    return Result::kBadFormat;
  }
  f->channels = channels;
  f->sampleRate = rate;
  f->bitsPerSample = bits;
  f->blockAlign = blockAlign;
  f->order = platform::audio::ChannelOrder::kWave;
  return platform::audio::IsPlayable(*f) ? Result::kOk : Result::kBadFormat;
}

}  // namespace

Result Parse(std::string_view bytes, WaveData* out) {
  if (bytes.size() > kMaxFileBytes) return Result::kTooLarge;
  if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") return Result::kNotWave;
  // Chunks are read up to the end of the RIFF chunk or of the file, whichever comes first.
  const uint64_t riffEnd = 8ull + U32(bytes.data() + 4);
  if (riffEnd < 12) return Result::kNotWave;
  const uint64_t end = std::min<uint64_t>(riffEnd, bytes.size());

  bool haveFormat = false;
  bool haveData = false;
  platform::audio::WaveFormat format;
  uint64_t dataOffset = 0;
  uint64_t dataSize = 0;
  uint64_t pos = 12;
  while (pos + 8 <= end) {
    const char* header = bytes.data() + pos;
    const uint32_t size = U32(header + 4);
    const uint64_t body = pos + 8;
    const bool fits = body + size <= end;
    if (std::memcmp(header, "fmt ", 4) == 0) {
      if (haveFormat) return Result::kBadFormat;
      if (!fits) return Result::kBadChunk;
      Result r = ParseFormat(bytes.data() + body, size, &format);
      if (r != Result::kOk) return r;
      haveFormat = true;
    } else if (std::memcmp(header, "data", 4) == 0) {
      if (haveData) return Result::kBadChunk;
      // A data chunk that claims more bytes than the file holds was cut short (a
      // copy or a recording that stopped): the samples that are there still play.
      dataOffset = body;
      dataSize = fits ? size : end - body;
      haveData = true;
      if (!fits) break;
    } else if (!fits) {
      break;  // a trailing chunk cut short: what came before still stands
    }
    pos = body + size + (size & 1);
  }
  if (!haveFormat) return Result::kBadFormat;
  if (!haveData) return Result::kNoData;
  const uint64_t whole = dataSize - dataSize % format.blockAlign;
  out->format = format;
  out->data.assign(bytes.begin() + static_cast<ptrdiff_t>(dataOffset),
                   bytes.begin() + static_cast<ptrdiff_t>(dataOffset + whole));
  return Result::kOk;
}

Result Load(std::u16string_view path, WaveData* out) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes, kMaxFileBytes)) {
    return Result::kCannotRead;
  }
  return Parse(bytes, out);
}

}  // namespace wavefile
