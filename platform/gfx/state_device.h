// The state every back end keeps the same way: transforms, material, lights, render,
// stage and sampler states, textures, viewport and target, with the start values of
// a fresh device. Back ends derive from it and add what they do with a draw.
#pragma once

#include <array>

#include "platform/gfx/render_device.h"

namespace platform::gfx {

struct DeviceState {
  std::array<Matrix, 5> transforms{};
  Material material;
  std::array<Light, kMaxLights> lights{};
  std::array<bool, kMaxLights> lightOn{};
  std::array<uint32_t, size_t(RenderState::kCount)> render{};
  std::array<std::array<uint32_t, size_t(TextureStageState::kCount)>, kTextureStages> stage{};
  std::array<std::array<uint32_t, size_t(SamplerState::kCount)>, kTextureStages> sampler{};
  std::array<const Texture*, kTextureStages> textures{};
  Viewport viewport;
  ScissorRect scissor;
  const Texture* target = nullptr;
  uint32_t fvf = 0;
  const VertexBuffer* stream = nullptr;
  uint32_t streamStride = 0;

  // The start values: z on (less-equal), counter-clockwise culling, lighting on,
  // no blending (one, zero), no alpha test, stage 0 modulates texture by diffuse,
  // stage 1 off, point filtering, wrapping.
  void Reset(int width, int height);

  // The whole current target as a rectangle (the back buffer's size when no texture
  // target is set).
  ScissorRect TargetRect(int backBufferWidth, int backBufferHeight) const;
  // What a draw may touch: the scissor rectangle inside the target while the scissor
  // test is on, otherwise the whole target.
  ScissorRect DrawArea(int backBufferWidth, int backBufferHeight) const;
  // What a clear touches: the viewport inside the target, cut to the scissor
  // rectangle while the scissor test is on.
  ScissorRect ClearArea(int backBufferWidth, int backBufferHeight) const;
};

class StateDevice : public RenderDevice {
 public:
  StateDevice(int width, int height) : width_(width), height_(height) { state_.Reset(width, height); }

  int BackBufferWidth() const override { return width_; }
  int BackBufferHeight() const override { return height_; }
  void SetBackBufferSize(int width, int height) override;
  void ResetStates() override { state_.Reset(width_, height_); }

  void SetTransform(TransformKind kind, const Matrix& m) override { state_.transforms[size_t(kind)] = m; }
  const Matrix& GetTransform(TransformKind kind) const override { return state_.transforms[size_t(kind)]; }
  void SetMaterial(const Material& material) override { state_.material = material; }
  const Material& GetMaterial() const override { return state_.material; }
  void SetLight(int index, const Light& light) override;
  void LightEnable(int index, bool enable) override;
  void SetRenderState(RenderState s, uint32_t value) override { state_.render[size_t(s)] = value; }
  uint32_t GetRenderState(RenderState s) const override { return state_.render[size_t(s)]; }
  void SetTextureStageState(int stage, TextureStageState s, uint32_t value) override;
  uint32_t GetTextureStageState(int stage, TextureStageState s) const override;
  void SetSamplerState(int stage, SamplerState s, uint32_t value) override;
  uint32_t GetSamplerState(int stage, SamplerState s) const override;
  void SetTexture(int stage, const Texture* texture) override;
  const Texture* GetTexture(int stage) const override;
  void SetViewport(const Viewport& viewport) override { state_.viewport = viewport; }
  const Viewport& GetViewport() const override { return state_.viewport; }
  void SetScissorRect(const ScissorRect& rect) override { state_.scissor = rect; }
  const ScissorRect& GetScissorRect() const override { return state_.scissor; }
  void SetFVF(uint32_t format) override { state_.fvf = format; }
  void SetStreamSource(const VertexBuffer* buffer, uint32_t stride) override {
    state_.stream = buffer;
    state_.streamStride = stride;
  }
  void SetRenderTarget(const Texture* target) override;
  const Texture* GetRenderTarget() const override { return state_.target; }
  std::unique_ptr<VertexBuffer> CreateVertexBuffer(size_t bytes, uint32_t format) override {
    return std::make_unique<VertexBuffer>(bytes, format);
  }
  const DeviceState& State() const { return state_; }

 protected:
  DeviceState state_;
  int width_, height_;
};

}  // namespace platform::gfx
