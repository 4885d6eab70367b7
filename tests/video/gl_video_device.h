// An OpenGL stand-in for the device layer's dynamic textures, for the video pixel test
// and the upload benchmark: a hidden SDL window with a 3.3 core context (the offscreen
// driver on machines without a display) and RGBA textures rewritten with
// glTexSubImage2D.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/video_texture.h"

namespace videotest {

class GlContext {
 public:
  GlContext();
  ~GlContext();
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;
  bool Ok() const { return context_ != nullptr; }
  const std::string& Error() const { return error_; }
  void Finish();

 private:
  void* window_ = nullptr;
  void* context_ = nullptr;
  std::string error_;
};

class GlDynamicTexture : public graphics::DynamicTexture {
 public:
  GlDynamicTexture(uint32_t name, int width, int height) : name_(name), width_(width), height_(height) {}
  ~GlDynamicTexture() override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Update(const uint8_t* rgba, int pitch) override;
  // The texture's pixels read back from the GL, RGBA, top row first.
  std::vector<uint8_t> ReadBack() const;

 private:
  uint32_t name_;
  int width_, height_;
};

class GlVideoDevice : public graphics::DynamicTextureDevice {
 public:
  std::unique_ptr<graphics::DynamicTexture> CreateDynamicTexture(int width, int height) override;
};

}  // namespace videotest
