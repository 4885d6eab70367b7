// PCM helpers of the audio layer: reading one sample of any supported format as a
// float, and turning a source buffer into the stereo form the device is fed with.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/audio/audio.h"

namespace platform::audio::pcm {

// The form a source format is played in.
enum class Target { kStereo16Direct, kStereo8Direct, kStereo16, kStereoFloat };
Target TargetFor(const WaveFormat& format);
uint32_t TargetFrameBytes(Target target);

// One sample at frame f, channel c, as -1..1.
float SampleAt(const WaveFormat& format, const uint8_t* data, uint32_t frame, uint32_t channel);

// Left and right gain of each source channel when it is folded into stereo.
struct StereoGains {
  float left[kMaxChannels];
  float right[kMaxChannels];
};
StereoGains DownmixGains(const WaveFormat& format);

// Converts frames of the source format into the target form (kStereo16 or
// kStereoFloat), resizing out as needed.
void Convert(const WaveFormat& format, const StereoGains& gains, Target target, const uint8_t* data,
             uint32_t frames, std::vector<uint8_t>& out);

}  // namespace platform::audio::pcm
