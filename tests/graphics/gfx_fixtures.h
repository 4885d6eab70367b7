// Small picture fixtures for the drawing tests: PNG files of a given size and colour
// written into a folder, and a headless OpenGL context for the pixel tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace gfxtest {

// A width x height PNG filled with one RGBA colour; false when it cannot be written.
bool WritePng(const std::string& path, int width, int height, uint32_t rgba);
// A PNG whose left half is one colour and right half another.
bool WriteSplitPng(const std::string& path, int width, int height, uint32_t leftRgba, uint32_t rightRgba);

// An offscreen OpenGL 3.3 core context (SDL's offscreen driver); Ok() is false when
// none could be made, with the reason in Error().
class GlContext {
 public:
  GlContext(int width, int height);
  ~GlContext();
  bool Ok() const { return ok_; }
  const std::string& Error() const { return error_; }

 private:
  bool ok_ = false;
  std::string error_;
  void* window_ = nullptr;
  void* context_ = nullptr;
};

}  // namespace gfxtest
