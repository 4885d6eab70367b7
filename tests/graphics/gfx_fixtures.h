// Small picture fixtures for the drawing tests: PNG files of a given size and colour
// written into a folder, and a headless OpenGL context for the pixel tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gfx/render_device.h"

namespace gfxtest {

// A width x height PNG filled with one RGBA colour; false when it cannot be written.
bool WritePng(const std::string& path, int width, int height, uint32_t rgba);
// A PNG whose left half is one colour and right half another.
bool WriteSplitPng(const std::string& path, int width, int height, uint32_t leftRgba, uint32_t rightRgba);

// A screen-space quad from (x0, y0) to (x1, y1) at depth z in one vertex colour, its
// texture coordinates spanning 0..1 (the pixel tests' building block).
void Quad(platform::gfx::RenderDevice& d, float x0, float y0, float x1, float y1, float z, uint32_t colour);

// Starts a scene of screen-space quads over the whole width x height picture: no
// culling, no lighting, the depth test on or off.
void BeginFlatScene(platform::gfx::RenderDevice& d, int width, int height, bool depthTest);

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
