// Shared helpers of the video tests: a short clip of solid colours written at test
// time, a play clock moved by hand, and waiting (with a generous limit, never a
// fixed sleep) until the decoder thread has delivered the frame a test expects.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/video/video_source.h"
#include "tests/video/video_writer.h"

namespace videotest {

// Ten pictures a second, 100 ms each; picture i shows kColours[i].
inline constexpr int kFrameMs = 100;
inline constexpr uint32_t kColours[] = {0xE02020, 0x20C020, 0x2020E0, 0xF0F0F0, 0xE0E020, 0x20E0E0};
inline constexpr int kFrameCount = 6;

inline ClipLayout ColourClip(std::string container, std::string codec, int keyframeInterval = 1) {
  ClipLayout layout;
  layout.container = std::move(container);
  layout.codec = std::move(codec);
  layout.width = 64;
  layout.height = 48;
  layout.fps = 1000 / kFrameMs;
  layout.frames = kFrameCount;
  layout.keyframeInterval = keyframeInterval;
  return layout;
}

inline bool WriteColourVideo(const std::string& path, const ClipLayout& layout) {
  return WriteVideo(path, layout, SolidColours([](int i) { return kColours[i % kFrameCount]; }));
}

// The colour at the centre of a frame, 0xRRGGBB.
inline uint32_t CentreColour(const uint8_t* rgba, int width, int height) {
  const uint8_t* p = rgba + (size_t(height / 2) * size_t(width) + size_t(width / 2)) * 4;
  return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

inline bool ColourNear(uint32_t a, uint32_t b, int tolerance = 24) {
  for (int shift = 0; shift <= 16; shift += 8) {
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
  }
  return true;
}

// A play clock that moves only when the test says so.
struct ManualClock {
  int64_t nowMs = 5000;  // not 0, so that a clock mistaken for a position shows
  std::function<int64_t()> Function() {
    return [this] { return nowMs; };
  }
};

// Calls `step` until `done` holds; fails the test after a long limit instead of hanging.
bool WaitUntil(const std::function<void()>& step, const std::function<bool()>& done, int limitMs = 20000);

}  // namespace videotest
