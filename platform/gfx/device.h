// The rendering device the framework hands to the game's callbacks: the OpenGL 3.3
// core context of the window (or no context at all under the null back end), the
// back-buffer size, textures made from image files, render targets and the fill
// mode. Only the main thread may call it: OpenGL contexts belong to one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace platform::gfx {

// Decoded RGBA pixels of an image file (PNG, JPEG, BMP, TGA ...).
struct ImageData {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4 bytes, top row first
};

// Reads and decodes an image file (through the case-insensitive resolver). Any
// thread may call it. False when the file is missing, unreadable or not an image.
bool DecodeImageFile(std::string_view path, ImageData& out);

enum class FillMode { kSolid, kWireframe };

class Texture {
 public:
  Texture(uint32_t glName, int width, int height) : glName_(glName), width_(width), height_(height) {}
  ~Texture();
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;
  uint32_t GlName() const { return glName_; }  // 0 without a context
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  uint32_t glName_;
  int width_, height_;
};

// A surface that can be rendered into: a framebuffer object with a colour and a
// depth-stencil attachment. A render target's colour is a (possibly multisampled)
// renderbuffer; a render texture's colour is a texture that can be drawn from.
class RenderSurface {
 public:
  RenderSurface() = default;
  ~RenderSurface();
  RenderSurface(const RenderSurface&) = delete;
  RenderSurface& operator=(const RenderSurface&) = delete;

  uint32_t Framebuffer() const { return framebuffer_; }
  uint32_t ColorTexture() const { return colorTexture_; }  // 0 for a render target
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Samples() const { return samples_; }

 private:
  friend class Device;
  uint32_t framebuffer_ = 0, colorRenderbuffer_ = 0, colorTexture_ = 0, depthRenderbuffer_ = 0;
  int width_ = 0, height_ = 0, samples_ = 0;
};

class Device {
 public:
  // hasContext: an OpenGL context is current on the calling thread.
  explicit Device(bool hasContext) : hasContext_(hasContext) {}
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  bool HasContext() const { return hasContext_; }
  int BackBufferWidth() const { return width_; }
  int BackBufferHeight() const { return height_; }
  void SetBackBufferSize(int width, int height) {
    width_ = width;
    height_ = height;
  }

  // Binds the back buffer, sets the full viewport and clears colour, depth and stencil.
  void BeginFrame();

  void SetFillMode(FillMode mode);
  FillMode GetFillMode() const { return fillMode_; }

  // A texture of the file's own size; null when the file cannot be decoded.
  // Without a context the texture has no GL name but keeps the size.
  std::unique_ptr<Texture> CreateTextureFromFile(std::string_view path);
  std::unique_ptr<Texture> CreateTexture(const ImageData& image);

  // samples 0 (or 1): no multisampling.
  std::unique_ptr<RenderSurface> CreateRenderTarget(int width, int height, int samples);
  std::unique_ptr<RenderSurface> CreateRenderTexture(int width, int height);
  // The framebuffer name of the back buffer (render target 0).
  uint32_t BackBufferFramebuffer() const { return 0; }

 private:
  bool hasContext_;
  int width_ = 0, height_ = 0;
  FillMode fillMode_ = FillMode::kSolid;
};

}  // namespace platform::gfx
