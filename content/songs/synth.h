// The audio of a demo song, synthesised from its arrangement: plucked strings for
// the guitars and the bass, an electric piano, a pad, a formant voice and a drum kit
// made of noise and swept sines. Every stem is stereo at 44.1 kHz and the whole mix
// stays below full scale.
#pragma once

#include <cstdint>
#include <vector>

#include "content/songs/arrangement.h"

namespace demo {

inline constexpr int kSampleRate = 44100;
// Audio after the end of the last note: the final chord rings out and fades.
inline constexpr double kTailSeconds = 2.0;

struct Stereo {
  std::vector<float> left, right;
  int64_t Frames() const { return static_cast<int64_t>(left.size()); }
};

struct Stems {
  Stereo drums;   // "drums.ogg"
  Stereo rhythm;  // "rhythm.ogg": bass and rhythm guitar
  Stereo guitar;  // "guitar.ogg": lead and second guitar
  Stereo keys;    // "keys.ogg"
  Stereo vocals;  // "vocals.ogg": lead voice and the chorus harmonies
  Stereo song;    // "song.ogg": the backing pad
};

Stems Render(const Arrangement& a);

// The mix of every stem from `fromSeconds` for `seconds`, faded in and out.
Stereo PreviewMix(const Stems& stems, double fromSeconds, double seconds);

}  // namespace demo
