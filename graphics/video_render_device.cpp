// Video frames into the drawing device's dynamic textures.
#include "graphics/video_render_device.h"

namespace graphics {

bool RenderDeviceVideoTexture::Update(const uint8_t* rgba, int pitch) {
  // The device takes whole pictures of packed rows, which is what the video source
  // hands out.
  if (!rgba || pitch != Width() * 4) return false;
  device_.UpdateTexture(*texture_, rgba, Width(), Height());
  return true;
}

std::unique_ptr<DynamicTexture> RenderDeviceVideoTextures::CreateDynamicTexture(int width, int height) {
  auto texture = device_.CreateDynamicTexture(width, height);
  if (!texture) return nullptr;
  return std::make_unique<RenderDeviceVideoTexture>(device_, std::move(texture));
}

}  // namespace graphics
