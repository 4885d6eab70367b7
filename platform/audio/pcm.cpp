#include "platform/audio/pcm.h"

#include <algorithm>
#include <cstring>

namespace platform::audio::pcm {
namespace {

constexpr float kHalfPower = 0.70710678f;

// Speaker bits of the WAVE channel mask, lowest first.
enum Speaker : uint32_t {
  kFrontLeft = 0x1,
  kFrontRight = 0x2,
  kFrontCenter = 0x4,
  kLowFrequency = 0x8,
  kBackLeft = 0x10,
  kBackRight = 0x20,
  kFrontLeftOfCenter = 0x40,
  kFrontRightOfCenter = 0x80,
  kBackCenter = 0x100,
  kSideLeft = 0x200,
  kSideRight = 0x400,
  kTopCenter = 0x800,
  kTopFrontLeft = 0x1000,
  kTopFrontCenter = 0x2000,
  kTopFrontRight = 0x4000,
  kTopBackLeft = 0x8000,
  kTopBackCenter = 0x10000,
  kTopBackRight = 0x20000,
};

void GainsOf(uint32_t speaker, float* left, float* right) {
  switch (speaker) {
    case kFrontLeft:
    case kFrontLeftOfCenter:
      *left = 1.0f, *right = 0.0f;
      return;
    case kFrontRight:
    case kFrontRightOfCenter:
      *left = 0.0f, *right = 1.0f;
      return;
    case kLowFrequency:
      *left = 0.0f, *right = 0.0f;
      return;
    case kBackLeft:
    case kSideLeft:
    case kTopFrontLeft:
    case kTopBackLeft:
      *left = kHalfPower, *right = 0.0f;
      return;
    case kBackRight:
    case kSideRight:
    case kTopFrontRight:
    case kTopBackRight:
      *left = 0.0f, *right = kHalfPower;
      return;
    case kFrontCenter:
    case kBackCenter:
    case kTopCenter:
    case kTopFrontCenter:
    case kTopBackCenter:
    default:
      *left = kHalfPower, *right = kHalfPower;
      return;
  }
}

// Speaker positions of Vorbis streams (channel mapping 0 and 1).
constexpr uint32_t kVorbisSpeakers[kMaxChannels + 1][kMaxChannels] = {
    {},
    {kFrontCenter},
    {kFrontLeft, kFrontRight},
    {kFrontLeft, kFrontCenter, kFrontRight},
    {kFrontLeft, kFrontRight, kBackLeft, kBackRight},
    {kFrontLeft, kFrontCenter, kFrontRight, kBackLeft, kBackRight},
    {kFrontLeft, kFrontCenter, kFrontRight, kBackLeft, kBackRight, kLowFrequency},
    {kFrontLeft, kFrontCenter, kFrontRight, kSideLeft, kSideRight, kBackCenter, kLowFrequency},
    {kFrontLeft, kFrontCenter, kFrontRight, kSideLeft, kSideRight, kBackLeft, kBackRight, kLowFrequency},
};

inline int32_t ReadS24(const uint8_t* p) {
  int32_t v = static_cast<int32_t>(p[0]) | (static_cast<int32_t>(p[1]) << 8) | (static_cast<int32_t>(p[2]) << 16);
  if (v & 0x800000) v -= 0x1000000;
  return v;
}

}  // namespace

Target TargetFor(const WaveFormat& f) {
  const bool narrowInt = f.type == SampleType::kPcm && (f.bitsPerSample == 8 || f.bitsPerSample == 16);
  if (narrowInt && f.channels == 2) return f.bitsPerSample == 16 ? Target::kStereo16Direct : Target::kStereo8Direct;
  if (narrowInt && f.channels == 1) return Target::kStereo16;
  return Target::kStereoFloat;
}

uint32_t TargetFrameBytes(Target target) {
  switch (target) {
    case Target::kStereo8Direct:
      return 2;
    case Target::kStereo16Direct:
    case Target::kStereo16:
      return 4;
    case Target::kStereoFloat:
      return 8;
  }
  return 4;
}

float SampleAt(const WaveFormat& f, const uint8_t* data, uint32_t frame, uint32_t channel) {
  const uint8_t* p = data + static_cast<size_t>(frame) * f.blockAlign + static_cast<size_t>(channel) * (f.bitsPerSample / 8);
  if (f.type == SampleType::kFloat) {
    float v;
    std::memcpy(&v, p, sizeof v);
    return v == v ? v : 0.0f;  // NaN plays as silence
  }
  switch (f.bitsPerSample) {
    case 8:
      return (static_cast<int>(p[0]) - 128) / 128.0f;
    case 16: {
      int16_t v = static_cast<int16_t>(p[0] | (p[1] << 8));
      return v / 32768.0f;
    }
    case 24:
      return ReadS24(p) / 8388608.0f;
    case 32: {
      uint32_t u = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                   (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
      return static_cast<float>(static_cast<int32_t>(u) / 2147483648.0);
    }
  }
  return 0.0f;
}

StereoGains DownmixGains(const WaveFormat& f) {
  StereoGains g{};
  const uint32_t n = std::min<uint32_t>(f.channels, kMaxChannels);
  if (n == 1) {
    g.left[0] = g.right[0] = 1.0f;
    return g;
  }
  if (n == 2) {
    g.left[0] = 1.0f;
    g.right[1] = 1.0f;
    return g;
  }
  uint32_t speakers[kMaxChannels] = {};
  if (f.order == ChannelOrder::kVorbis) {
    for (uint32_t c = 0; c < n; ++c) speakers[c] = kVorbisSpeakers[n][c];
  } else {
    // The mask names the speakers of the channels in bit order; without one the
    // channels take the positions in bit order from the front left on.
    uint32_t mask = f.channelMask ? f.channelMask : 0xFFFFFFFFu;
    uint32_t c = 0;
    for (uint32_t bit = 1; bit && c < n; bit <<= 1) {
      if (mask & bit) speakers[c++] = bit;
    }
    // Channels beyond the mask keep 0: taken as centre.
  }
  for (uint32_t c = 0; c < n; ++c) GainsOf(speakers[c], &g.left[c], &g.right[c]);
  return g;
}

void Convert(const WaveFormat& f, const StereoGains& gains, Target target, const uint8_t* data, uint32_t frames,
             std::vector<uint8_t>& out) {
  const size_t bytes = static_cast<size_t>(frames) * TargetFrameBytes(target);
  if (out.size() < bytes) out.resize(bytes);
  const uint32_t n = f.channels;
  if (target == Target::kStereo16) {
    // Mono 8 or 16 bit: the sample on both sides.
    int16_t* o = reinterpret_cast<int16_t*>(out.data());
    for (uint32_t i = 0; i < frames; ++i) {
      int16_t v;
      if (f.bitsPerSample == 8) {
        v = static_cast<int16_t>((static_cast<int>(data[i]) - 128) * 256);
      } else {
        v = static_cast<int16_t>(data[2 * i] | (data[2 * i + 1] << 8));
      }
      o[2 * i] = v;
      o[2 * i + 1] = v;
    }
    return;
  }
  float* o = reinterpret_cast<float*>(out.data());
  for (uint32_t i = 0; i < frames; ++i) {
    float l = 0.0f, r = 0.0f;
    for (uint32_t c = 0; c < n && c < kMaxChannels; ++c) {
      const float s = SampleAt(f, data, i, c);
      l += s * gains.left[c];
      r += s * gains.right[c];
    }
    o[2 * i] = l;
    o[2 * i + 1] = r;
  }
}

}  // namespace platform::audio::pcm
