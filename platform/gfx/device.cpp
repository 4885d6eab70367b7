#include "platform/gfx/device.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>

#include "platform/file.h"
#include "platform/image_probe.h"
#include "platform/threads.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
// The built-in JPEG and PNM readers write out of bounds and overflow on hostile
// files: JPEG goes to libjpeg-turbo, and no game file is PNM, PSD, PIC, HDR or GIF.
#define STBI_NO_JPEG
#define STBI_NO_PNM
#define STBI_NO_PSD
#define STBI_NO_PIC
#define STBI_NO_HDR
#define STBI_NO_GIF
#define STBI_NO_LINEAR
#include <stb_image.h>

#include "platform/gfx/jpeg_decoder.h"
#include "platform/gfx/png_plain.h"
#include "platform/gfx/render_device.h"

namespace platform::gfx {

RenderDevice& Device::Render() {
  if (!render_) {
    std::unique_ptr<RenderDevice> made = hasContext_ ? CreateGlRenderDevice(width_, height_)
                                                     : CreateNullRenderDevice(width_, height_);
    render_ = std::move(made);
  }
  return *render_;
}

void Device::SetBackBufferSize(int width, int height) {
  width_ = width;
  height_ = height;
  if (render_) render_->SetBackBufferSize(width, height);
}


namespace {
// Image files larger than this are not game content.
constexpr size_t kMaxImageFileBytes = size_t(256) << 20;
// Neither side of a texture may exceed this (also bounds the decoded allocation).
constexpr int kMaxImageSide = 16384;

bool IsJpeg(std::string_view bytes) {
  return bytes.size() >= 3 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xD8 &&
         static_cast<uint8_t>(bytes[2]) == 0xFF;
}
}  // namespace

bool DecodeImageFile(std::string_view path, ImageData& out) {
  out = ImageData();
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes, kMaxImageFileBytes) || bytes.empty()) return false;
  return DecodeImageBytes(bytes, path, out);
}

bool DecodeImageBytes(std::string_view bytes, std::string_view nameForLog, ImageData& out) {
  out = ImageData();
  if (bytes.empty() || !platform::ImageFitsTheGame(bytes, nameForLog)) return false;
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return false;
  if (IsJpeg(bytes)) return DecodeJpeg(bytes, out.width, out.height, out.rgba);
  // The game's own pictures take the fast path; every other file the general reader.
  if (DecodePlainPng(bytes, kMaxImageSide, out) == PlainPng::kDecoded) return true;
  out = ImageData();  // what the fast path left half-written goes; a refusal leaves out empty
  if (!PngFitsTheGeneralReader(bytes)) return false;
  int w = 0, h = 0, channels = 0;
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  const int len = static_cast<int>(bytes.size());
  if (!stbi_info_from_memory(data, len, &w, &h, &channels)) return false;
  if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) return false;
  stbi_uc* pixels = stbi_load_from_memory(data, len, &w, &h, &channels, 4);
  if (!pixels) return false;
  out.width = w;
  out.height = h;
  out.rgba.assign(pixels, pixels + static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  stbi_image_free(pixels);
  return true;
}

bool ReadImageInfo(std::string_view path, int& width, int& height) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes, kMaxImageFileBytes) || bytes.empty()) return false;
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return false;
  int w = 0, h = 0, channels = 0;
  if (IsJpeg(bytes)) {
    platform::ImageHeader header;
    if (platform::ProbeImage(bytes, &header) != platform::ImageProbe::kFits) return false;
    width = header.width;
    height = header.height;
    return true;
  }
  if (!stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()), &w, &h,
                             &channels))
    return false;
  if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) return false;
  width = w;
  height = h;
  return true;
}

void TextureRegistry::Add(Texture* texture) {
  std::lock_guard<std::mutex> lock(mutex_);
  textures_.insert(texture);
}

void TextureRegistry::Remove(Texture* texture) {
  std::lock_guard<std::mutex> lock(mutex_);
  textures_.erase(texture);
}

size_t TextureRegistry::Size() {
  std::lock_guard<std::mutex> lock(mutex_);
  return textures_.size();
}

void Texture::Track(std::shared_ptr<TextureRegistry> registry) {
  if (registry_) registry_->Remove(this);
  registry_ = std::move(registry);
  if (registry_) registry_->Add(this);
}

void Texture::ForgetDeviceCopy(PixelVector pixels) {
  glName_ = 0;
  framebuffer_ = 0;
  depthRenderbuffer_ = 0;
  uploaded_ = false;
  shared_.reset();
  pending_ = std::move(pixels);
}

PixelVector& Texture::PendingPixels() {
  if (shared_) {
    pending_ = shared_->rgba;
    shared_.reset();
  }
  return pending_;
}

const uint8_t* Texture::PendingData() const {
  if (shared_) return shared_->rgba.empty() ? nullptr : shared_->rgba.data();
  return pending_.empty() ? nullptr : pending_.data();
}

void Texture::SharePendingPixels(std::shared_ptr<const ImageData> image) {
  pending_.clear();
  pending_.shrink_to_fit();
  shared_ = std::move(image);
}

void Texture::DropPendingPixels() {
  pending_.clear();
  pending_.shrink_to_fit();
  shared_.reset();
}

ImagePrefetch::ImagePrefetch(std::vector<std::string> paths) {
  entries_.reserve(paths.size());
  for (std::string& p : paths) {
    Entry e;
    e.path = std::move(p);
    entries_.push_back(std::move(e));
  }
  // The list does not change after this point; only the results are shared.
  thread_ = std::thread([this] {
    platform::SetCurrentThreadName("vl-pictures");
    for (Entry& e : entries_) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
      }
      ImageData image;
      const bool ok = DecodeImageFile(e.path, image);
      std::lock_guard<std::mutex> lock(mutex_);
      e.ok = ok;
      e.image = std::move(image);
      e.done = true;
      decoded_.notify_all();
    }
  });
}

ImagePrefetch::~ImagePrefetch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  if (thread_.joinable()) thread_.join();
}

bool ImagePrefetch::Take(std::string_view path, ImageData& out) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (Entry& e : entries_) {
    if (e.path != path || e.taken) continue;
    decoded_.wait(lock, [&] { return e.done; });
    e.taken = true;
    out = std::move(e.image);
    return e.ok;
  }
  lock.unlock();
  return DecodeImageFile(path, out);
}

Texture::~Texture() {
  TextureReleasing(this);
  if (registry_) registry_->Remove(this);
  if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
  if (depthRenderbuffer_) glDeleteRenderbuffers(1, &depthRenderbuffer_);
  if (glName_) {
    GLuint name = glName_;
    glDeleteTextures(1, &name);
  }
}

RenderSurface::~RenderSurface() {
  if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
  if (colorRenderbuffer_) glDeleteRenderbuffers(1, &colorRenderbuffer_);
  if (depthRenderbuffer_) glDeleteRenderbuffers(1, &depthRenderbuffer_);
  if (colorTexture_) glDeleteTextures(1, &colorTexture_);
}

uint64_t Texture::NextSerial() {
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

void Device::BeginFrame() {
  if (!hasContext_) return;
  if (render_) {
    render_->BeginFrameRecording();
    return;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, width_, height_);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClearDepth(1.0);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

bool Device::EndFrame(bool force) {
  if (!hasContext_ || !render_) return true;
  return render_->EndFrameRecording(force);
}

void Device::SetFillMode(FillMode mode) {
  fillMode_ = mode;
  if (hasContext_) glPolygonMode(GL_FRONT_AND_BACK, mode == FillMode::kWireframe ? GL_LINE : GL_FILL);
}

std::unique_ptr<Texture> Device::CreateTextureFromFile(std::string_view path) {
  ImageData image;
  if (!DecodeImageFile(path, image)) return nullptr;
  return CreateTexture(image);
}

std::unique_ptr<Texture> Device::CreateTexture(const ImageData& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgba.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4)
    return nullptr;
  // Made through the drawing interface, which uploads it at its first use and takes it
  // along when the device is made again; uploaded now, as the caller may read its name.
  std::unique_ptr<Texture> texture = Render().CreateTexture(image);
  if (texture) Render().Preload(*texture);
  return texture;
}

std::shared_ptr<RenderDevice> Device::HandOverRender() {
  if (render_) render_->DetachContext();
  return std::move(render_);
}

bool Device::TakeOverRender(std::shared_ptr<RenderDevice> render) {
  if (!render) return false;
  if ((render->Kind() == BackEnd::kOpenGL) != hasContext_) return false;
  render_ = std::move(render);
  render_->AttachContext();
  // A new device starts from the default states, as a device made for the first time.
  render_->ResetStates();
  render_->SetBackBufferSize(width_, height_);
  return true;
}

std::unique_ptr<RenderSurface> Device::CreateRenderTarget(int width, int height, int samples) {
  auto s = std::make_unique<RenderSurface>();
  s->width_ = std::max(width, 1);
  s->height_ = std::max(height, 1);
  s->samples_ = samples > 1 ? samples : 0;
  if (!hasContext_) return s;
  glGenFramebuffers(1, &s->framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, s->framebuffer_);
  glGenRenderbuffers(1, &s->colorRenderbuffer_);
  glBindRenderbuffer(GL_RENDERBUFFER, s->colorRenderbuffer_);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, s->samples_, GL_RGBA8, s->width_, s->height_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s->colorRenderbuffer_);
  glGenRenderbuffers(1, &s->depthRenderbuffer_);
  glBindRenderbuffer(GL_RENDERBUFFER, s->depthRenderbuffer_);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, s->samples_, GL_DEPTH24_STENCIL8, s->width_, s->height_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, s->depthRenderbuffer_);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return s;
}

std::unique_ptr<RenderSurface> Device::CreateRenderTexture(int width, int height) {
  auto s = std::make_unique<RenderSurface>();
  s->width_ = std::max(width, 1);
  s->height_ = std::max(height, 1);
  if (!hasContext_) return s;
  glGenTextures(1, &s->colorTexture_);
  glBindTexture(GL_TEXTURE_2D, s->colorTexture_);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, s->width_, s->height_, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  glGenFramebuffers(1, &s->framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, s->framebuffer_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s->colorTexture_, 0);
  glGenRenderbuffers(1, &s->depthRenderbuffer_);
  glBindRenderbuffer(GL_RENDERBUFFER, s->depthRenderbuffer_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, s->width_, s->height_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, s->depthRenderbuffer_);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return s;
}

}  // namespace platform::gfx
