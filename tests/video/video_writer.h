// Writes short video files for the video tests and the benchmark with FFmpeg's own
// encoders, so no video file has to live in the source tree.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace videotest {

struct ClipLayout {
  std::string container = "avi";   // FFmpeg's short name of the muxer
  std::string codec = "mpeg4";     // FFmpeg's name of the encoder
  int width = 64;
  int height = 48;
  int fps = 10;
  int frames = 6;
  int keyframeInterval = 1;        // 1: every picture is a key frame
  int bitRate = 400000;
};

// Fills one picture: 4 x width BGRA bytes per row, top row first.
using Painter = std::function<void(int frame, uint8_t* bgra, int width, int height)>;

// False (with the reason on stderr) when the file could not be written.
bool WriteVideo(const std::string& path, const ClipLayout& layout, const Painter& paint);

// One solid colour per picture, 0xRRGGBB.
Painter SolidColours(std::function<uint32_t(int frame)> colourOf);

}  // namespace videotest
