// The rendering device the framework hands to the game's callbacks: the OpenGL 3.3
// core context of the window (or no context at all under the null back end), the
// back-buffer size, textures made from image files, render targets and the fill
// mode. Only the main thread may call it: OpenGL contexts belong to one thread.
#pragma once

#include <cstdint>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "platform/gfx/pixel_memory.h"

namespace platform::gfx {

class RenderDevice;
class Texture;

// The textures one drawing interface has made and not yet freed, so that it can take
// them from one OpenGL context to the next when the device is made again. Textures
// are made on any thread, so the list has a lock.
class TextureRegistry {
 public:
  void Add(Texture* texture);
  void Remove(Texture* texture);
  // f must neither make nor free textures.
  template <class F>
  void ForEach(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Texture* t : textures_) f(*t);
  }
  size_t Size();

 private:
  std::mutex mutex_;
  std::unordered_set<Texture*> textures_;
};

// Decoded RGBA pixels of an image file: PNG, JPEG, BMP or TGA (other formats are
// refused: no game file uses them).
struct ImageData {
  int width = 0;
  int height = 0;
  PixelVector rgba;  // width * height * 4 bytes, top row first
};

// Reads and decodes an image file (through the case-insensitive resolver). Any
// thread may call it. False when the file is missing, unreadable or not an image.
bool DecodeImageFile(std::string_view path, ImageData& out);
// The same for a file's bytes in memory; `nameForLog` names it in a refusal.
bool DecodeImageBytes(std::string_view bytes, std::string_view nameForLog, ImageData& out);
// The pixel size of an image file without decoding it. False when unreadable.
bool ReadImageInfo(std::string_view path, int& width, int& height);

// Decodes a list of image files, in order, on a thread of its own while the caller
// goes on with other work; Take then hands over one file's pixels, waiting for its
// decode if need be. The result is what DecodeImageFile gives at the time of the
// decode. A file not in the list, or taken before, is decoded by Take itself. The
// destructor waits for the thread.
class ImagePrefetch {
 public:
  explicit ImagePrefetch(std::vector<std::string> paths);
  ~ImagePrefetch();
  ImagePrefetch(const ImagePrefetch&) = delete;
  ImagePrefetch& operator=(const ImagePrefetch&) = delete;
  bool Take(std::string_view path, ImageData& out);

 private:
  struct Entry {
    std::string path;
    bool done = false;
    bool taken = false;
    bool ok = false;
    ImageData image;
  };
  std::vector<Entry> entries_;
  std::mutex mutex_;
  std::condition_variable decoded_;
  bool stopping_ = false;  // set by the destructor: pictures not begun are not decoded
  std::thread thread_;
};

enum class FillMode { kSolid, kWireframe };

enum class TextureKind { kStatic, kDynamic, kRenderTarget };

// A texture of the device. Made from decoded pixels, it keeps them until the main
// thread's first use uploads them (Task-thread loads decode into memory only).
class Texture {
 public:
  Texture(uint32_t glName, int width, int height)
      : serial_(NextSerial()), glName_(glName), width_(width), height_(height) {}
  Texture(int width, int height, TextureKind kind)
      : serial_(NextSerial()), width_(width), height_(height), kind_(kind) {}
  ~Texture();
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;
  uint32_t GlName() const { return glName_; }  // 0 without a context or before upload
  int Width() const { return width_; }
  int Height() const { return height_; }
  TextureKind Kind() const { return kind_; }

  // Pixels waiting for upload (RGBA, top row first); empty once uploaded. They may be
  // held in a decode that other textures share (a picture several models name);
  // PendingPixels then first gives the texture its own copy, PendingData does not.
  bool HasPendingPixels() const { return !pending_.empty() || (shared_ && !shared_->rgba.empty()); }
  PixelVector& PendingPixels();
  const uint8_t* PendingData() const;
  void SharePendingPixels(std::shared_ptr<const ImageData> image);
  // After the upload: the texture's hold on its pixels ends.
  void DropPendingPixels();
  // Back-end names (set by the OpenGL back end; deleted with the texture).
  void SetGlNames(uint32_t texture, uint32_t framebuffer, uint32_t depth) {
    glName_ = texture;
    framebuffer_ = framebuffer;
    depthRenderbuffer_ = depth;
  }
  uint32_t Framebuffer() const { return framebuffer_; }
  uint32_t DepthRenderbuffer() const { return depthRenderbuffer_; }
  // The back end has made its copy of the texture (pixels uploaded, names made).
  bool Uploaded() const { return uploaded_ || glName_ != 0; }
  void MarkUploaded() { uploaded_ = true; }
  // The context that held the back end's copy is going: its names are dropped without
  // being deleted (the back end has deleted them), and the pixels wait for the next
  // context's first use, as after the texture was made.
  void ForgetDeviceCopy(PixelVector pixels);
  // Listed in the registry until freed.
  void Track(std::shared_ptr<TextureRegistry> registry);

  // Tells textures apart for as long as the process runs: a texture made where a
  // deleted one lived gets a new serial, so a frame drawing it is not taken for the
  // frame before.
  uint64_t Serial() const { return serial_; }
  // Goes up whenever the pixels change after the texture was made (a new dynamic
  // frame, a draw into a render texture).
  uint64_t ContentVersion() const { return contentVersion_; }
  void ContentChanged() { ++contentVersion_; }

 private:
  static uint64_t NextSerial();
  uint64_t serial_;
  uint64_t contentVersion_ = 0;
  std::shared_ptr<TextureRegistry> registry_;
  bool uploaded_ = false;
  uint32_t glName_ = 0;
  int width_, height_;
  TextureKind kind_ = TextureKind::kStatic;
  uint32_t framebuffer_ = 0, depthRenderbuffer_ = 0;
  PixelVector pending_;
  std::shared_ptr<const ImageData> shared_;  // read only; pending_ is empty while set
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
  // Also tells the drawing interface, when it has been made.
  void SetBackBufferSize(int width, int height);

  // Binds the back buffer, sets the full viewport and clears colour, depth and stencil.
  // With the drawing interface made, the frame that follows is recorded rather than
  // drawn at once, so that EndFrame can tell whether it shows anything new.
  void BeginFrame();
  // Ends the frame BeginFrame started. True when it was drawn and must be presented:
  // its picture differs from the last one drawn, or `force` (the window was resized,
  // exposed or shown again). False when it would draw the last picture again; then
  // nothing of it reached OpenGL and the back buffer still holds that picture.
  bool EndFrame(bool force);

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

  // The drawing interface of this device: OpenGL when a context is current, else Null.
  // Made on first use, on the main thread.
  RenderDevice& Render();

  // A device made again (another adapter or multisampling) keeps the drawing interface
  // of the one before, so that everything holding it, and every texture it made, stays
  // valid. HandOverRender runs while this device's context is still current: the
  // textures keep their pixels in memory and the context's names are deleted; null
  // when no interface was made. TakeOverRender runs on the new device (its context
  // current): the interface makes its own objects again, and the textures upload at
  // their next use. An interface of the other kind (OpenGL against Null) is refused.
  std::shared_ptr<RenderDevice> HandOverRender();
  bool TakeOverRender(std::shared_ptr<RenderDevice> render);

 private:
  bool hasContext_;
  int width_ = 0, height_ = 0;
  FillMode fillMode_ = FillMode::kSolid;
  std::shared_ptr<RenderDevice> render_;
};

}  // namespace platform::gfx
