// Device state shared by the back ends, with a fresh device's start values.
#include "platform/gfx/state_device.h"

namespace platform::gfx {

void DeviceState::Reset(int width, int height) {
  for (auto& t : transforms) t = Matrix();
  material = Material();
  lights.fill(Light());
  lightOn.fill(false);
  render.fill(0);
  auto set = [&](RenderState s, uint32_t v) { render[size_t(s)] = v; };
  set(RenderState::kZEnable, 1);
  set(RenderState::kZWriteEnable, 1);
  set(RenderState::kZFunc, uint32_t(CompareFunc::kLessEqual));
  set(RenderState::kCullMode, uint32_t(CullMode::kCounterClockwise));
  set(RenderState::kLighting, 1);
  set(RenderState::kSrcBlend, uint32_t(BlendFactor::kOne));
  set(RenderState::kDestBlend, uint32_t(BlendFactor::kZero));
  set(RenderState::kBlendOp, uint32_t(BlendOp::kAdd));
  set(RenderState::kAlphaFunc, uint32_t(CompareFunc::kAlways));
  set(RenderState::kTextureFactor, 0xFFFFFFFF);
  set(RenderState::kColorVertex, 1);
  set(RenderState::kDiffuseMaterialSource, uint32_t(MaterialSource::kVertexColor));
  set(RenderState::kColorWriteEnable, 0xF);
  for (int i = 0; i < kTextureStages; ++i) {
    auto& st = stage[i];
    bool first = i == 0;
    st[size_t(TextureStageState::kColorOp)] = uint32_t(first ? TextureOp::kModulate : TextureOp::kDisable);
    st[size_t(TextureStageState::kColorArg1)] = uint32_t(TextureArg::kTexture);
    st[size_t(TextureStageState::kColorArg2)] = uint32_t(TextureArg::kCurrent);
    st[size_t(TextureStageState::kAlphaOp)] = uint32_t(first ? TextureOp::kSelectArg1 : TextureOp::kDisable);
    st[size_t(TextureStageState::kAlphaArg1)] = uint32_t(TextureArg::kTexture);
    st[size_t(TextureStageState::kAlphaArg2)] = uint32_t(TextureArg::kCurrent);
    st[size_t(TextureStageState::kTexCoordIndex)] = uint32_t(i);
    st[size_t(TextureStageState::kTextureTransformFlags)] = uint32_t(TextureTransform::kDisable);
    auto& sm = sampler[i];
    sm[size_t(SamplerState::kMinFilter)] = uint32_t(Filter::kPoint);
    sm[size_t(SamplerState::kMagFilter)] = uint32_t(Filter::kPoint);
    sm[size_t(SamplerState::kMipFilter)] = uint32_t(Filter::kNone);
    sm[size_t(SamplerState::kAddressU)] = uint32_t(Address::kWrap);
    sm[size_t(SamplerState::kAddressV)] = uint32_t(Address::kWrap);
  }
  textures.fill(nullptr);
  viewport = Viewport{0, 0, width, height, 0.0f, 1.0f};
  scissor = ScissorRect{0, 0, width, height};
  target = nullptr;
  fvf = 0;
  stream = nullptr;
  streamStride = 0;
}

ScissorRect DeviceState::TargetRect(int backBufferWidth, int backBufferHeight) const {
  if (target) return ScissorRect{0, 0, target->Width(), target->Height()};
  return ScissorRect{0, 0, backBufferWidth, backBufferHeight};
}

ScissorRect DeviceState::DrawArea(int backBufferWidth, int backBufferHeight) const {
  ScissorRect whole = TargetRect(backBufferWidth, backBufferHeight);
  if (!render[size_t(RenderState::kScissorTestEnable)]) return whole;
  return Intersect(scissor, whole);
}

ScissorRect DeviceState::ClearArea(int backBufferWidth, int backBufferHeight) const {
  ScissorRect port{viewport.x, viewport.y, viewport.x + viewport.width, viewport.y + viewport.height};
  return Intersect(port, DrawArea(backBufferWidth, backBufferHeight));
}

void StateDevice::SetBackBufferSize(int width, int height) {
  width_ = width;
  height_ = height;
  if (!state_.target) {
    state_.viewport = Viewport{0, 0, width, height, 0.0f, 1.0f};
    state_.scissor = ScissorRect{0, 0, width, height};
  }
}

void StateDevice::SetLight(int index, const Light& light) {
  if (index >= 0 && index < kMaxLights) state_.lights[index] = light;
}

void StateDevice::LightEnable(int index, bool enable) {
  if (index >= 0 && index < kMaxLights) state_.lightOn[index] = enable;
}

void StateDevice::SetTextureStageState(int stage, TextureStageState s, uint32_t value) {
  if (stage >= 0 && stage < kTextureStages) state_.stage[stage][size_t(s)] = value;
}

uint32_t StateDevice::GetTextureStageState(int stage, TextureStageState s) const {
  return stage >= 0 && stage < kTextureStages ? state_.stage[stage][size_t(s)] : 0;
}

void StateDevice::SetSamplerState(int stage, SamplerState s, uint32_t value) {
  if (stage >= 0 && stage < kTextureStages) state_.sampler[stage][size_t(s)] = value;
}

uint32_t StateDevice::GetSamplerState(int stage, SamplerState s) const {
  return stage >= 0 && stage < kTextureStages ? state_.sampler[stage][size_t(s)] : 0;
}

void StateDevice::SetTexture(int stage, const Texture* texture) {
  if (stage >= 0 && stage < kTextureStages) state_.textures[stage] = texture;
}

const Texture* StateDevice::GetTexture(int stage) const {
  return stage >= 0 && stage < kTextureStages ? state_.textures[stage] : nullptr;
}

void StateDevice::SetRenderTarget(const Texture* target) {
  state_.target = target;
  int w = target ? target->Width() : width_;
  int h = target ? target->Height() : height_;
  state_.viewport = Viewport{0, 0, w, h, 0.0f, 1.0f};
  state_.scissor = ScissorRect{0, 0, w, h};
}

}  // namespace platform::gfx
