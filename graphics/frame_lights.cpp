// The frame's lights on their own, so that a program drawing a theme without the
// rest of the frame render (the theme screenshots) lights it exactly as the game does.
#include <glm/glm.hpp>

#include "graphics/frame_render.h"

namespace graphics {

namespace gfx = platform::gfx;

void SetFrameLights(gfx::RenderDevice& device, bool specularHighlights) {
  using gfx::RenderState;
  gfx::Light sun;
  sun.type = gfx::LightType::kDirectional;
  sun.diffuse = gfx::Vec4(1.0f);
  sun.specular = gfx::Vec4(0.0f);
  sun.ambient = gfx::Vec4(0.0f);
  sun.direction = glm::normalize(gfx::Vec3(0.0f, -10.0f, 10.0f));
  sun.range = 1000.0f;
  sun.attenuation0 = 1.0f;
  device.SetLight(0, sun);
  device.LightEnable(0, true);
  if (specularHighlights) {
    gfx::Light shine;
    shine.type = gfx::LightType::kPoint;
    shine.diffuse = gfx::Vec4(0.0f);
    shine.specular = gfx::Vec4(1.0f);
    shine.ambient = gfx::Vec4(0.0f);
    shine.position = gfx::Vec3(0.0f, 400.0f, 220.0f);
    shine.range = 1000.0f;
    shine.attenuation0 = 1.0f;
    device.SetLight(1, shine);
    device.LightEnable(1, true);
    device.SetRenderState(RenderState::kSpecularEnable, 1);
  }
  device.SetRenderState(RenderState::kAmbient, 0xFF505050u);
}

}  // namespace graphics
