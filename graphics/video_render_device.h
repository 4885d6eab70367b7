// The video texture's dynamic textures on the drawing device: each one is a dynamic
// texture of the device, rewritten through its texture update. What draws the video
// takes the device texture from the slot's DeviceTexture().
#pragma once

#include <memory>

#include "graphics/video_texture.h"
#include "platform/gfx/render_device.h"

namespace graphics {

class RenderDeviceVideoTexture : public DynamicTexture {
 public:
  RenderDeviceVideoTexture(platform::gfx::RenderDevice& device, std::unique_ptr<platform::gfx::Texture> texture)
      : device_(device), texture_(std::move(texture)) {}
  int Width() const override { return texture_->Width(); }
  int Height() const override { return texture_->Height(); }
  bool Update(const uint8_t* rgba, int pitch) override;
  const platform::gfx::Texture* DeviceTexture() const { return texture_.get(); }

 private:
  platform::gfx::RenderDevice& device_;
  std::unique_ptr<platform::gfx::Texture> texture_;
};

class RenderDeviceVideoTextures : public DynamicTextureDevice {
 public:
  explicit RenderDeviceVideoTextures(platform::gfx::RenderDevice& device) : device_(device) {}
  std::unique_ptr<DynamicTexture> CreateDynamicTexture(int width, int height) override;

 private:
  platform::gfx::RenderDevice& device_;
};

}  // namespace graphics
