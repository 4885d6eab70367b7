// The shape of the generated background video, shared by its generator and its test.
#pragma once

namespace bgvideo {

inline constexpr int kWidth = 640;
inline constexpr int kHeight = 360;
inline constexpr int kFramesPerSecond = 24;
inline constexpr int kFrames = 96;  // four seconds; the motion repeats after the last frame
inline constexpr const char* kFileName = "calm_waves.avi";

}  // namespace bgvideo
