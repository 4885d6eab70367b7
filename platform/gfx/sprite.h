// The 2D sprite: pictures drawn in screen pixels (from the top-left corner) through a
// 2D transform, tinted by an ARGB colour, with alpha blending. Drawn through the
// RenderDevice, so every back end sees ordinary state and draw calls.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gfx/render_device.h"

namespace platform::gfx {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

namespace sprite_flags {
constexpr uint32_t kAlphaBlend = 0x10;
}

class Sprite {
 public:
  explicit Sprite(RenderDevice* device) : device_(device) {}
  Sprite(const Sprite&) = delete;
  Sprite& operator=(const Sprite&) = delete;

  RenderDevice* Device() const { return device_; }
  // Sets the device up for screen-space pictures (saved states come back at End).
  void Begin(uint32_t flags);
  void End();
  bool InScene() const { return begun_; }
  void SetTransform(const Matrix& m) { transform_ = m; }
  const Matrix& GetTransform() const { return transform_; }
  // Draws the source rectangle of the texture (the whole texture when null) with its
  // top-left at position - centre, through the transform; z of position is the depth.
  void Draw(const Texture* texture, const Rect* source, const Vec3* centre, const Vec3* position,
            uint32_t argb);
  void OnLostDevice() {}
  void OnResetDevice() {}

 private:
  RenderDevice* device_;
  Matrix transform_;
  bool begun_ = false;
  uint32_t flags_ = 0;
  struct SavedState {
    RenderState state;
    uint32_t value;
  };
  std::vector<SavedState> saved_;
  struct SavedStageState {
    int stage;
    TextureStageState state;
    uint32_t value;
  };
  // The texture-stage states a draw changes, put back by End like the render states,
  // so that the 3D drawing after a sprite finds the stages as it set them.
  std::vector<SavedStageState> savedStages_;
  uint32_t savedFvf_ = 0;
};

}  // namespace platform::gfx
