// The 2D sprite drawn as pre-transformed screen quads through the device.
#include "platform/gfx/sprite.h"

namespace platform::gfx {

namespace {
constexpr RenderState kTouched[] = {RenderState::kLighting,         RenderState::kZEnable,
                                    RenderState::kZWriteEnable,     RenderState::kCullMode,
                                    RenderState::kAlphaBlendEnable, RenderState::kSrcBlend,
                                    RenderState::kDestBlend,        RenderState::kAlphaTestEnable};
struct StageState {
  int stage;
  TextureStageState state;
};
constexpr StageState kStagesTouched[] = {
    {0, TextureStageState::kColorOp},  {0, TextureStageState::kColorArg1},
    {0, TextureStageState::kColorArg2}, {0, TextureStageState::kAlphaOp},
    {0, TextureStageState::kAlphaArg1}, {0, TextureStageState::kAlphaArg2},
    {0, TextureStageState::kTextureTransformFlags}, {1, TextureStageState::kColorOp}};
}  // namespace

void Sprite::Begin(uint32_t flags) {
  if (begun_ || !device_) return;
  begun_ = true;
  flags_ = flags;
  saved_.clear();
  for (RenderState s : kTouched) saved_.push_back({s, device_->GetRenderState(s)});
  savedStages_.clear();
  for (const StageState& s : kStagesTouched)
    savedStages_.push_back({s.stage, s.state, device_->GetTextureStageState(s.stage, s.state)});
  savedFvf_ = 0;
  device_->SetRenderState(RenderState::kLighting, 0);
  device_->SetRenderState(RenderState::kZEnable, 0);
  device_->SetRenderState(RenderState::kZWriteEnable, 0);
  device_->SetRenderState(RenderState::kCullMode, uint32_t(CullMode::kNone));
  bool blend = (flags & sprite_flags::kAlphaBlend) != 0;
  device_->SetRenderState(RenderState::kAlphaBlendEnable, blend ? 1 : 0);
  device_->SetRenderState(RenderState::kSrcBlend, uint32_t(BlendFactor::kSrcAlpha));
  device_->SetRenderState(RenderState::kDestBlend, uint32_t(BlendFactor::kInvSrcAlpha));
  device_->SetRenderState(RenderState::kAlphaTestEnable, 0);
}

void Sprite::End() {
  if (!begun_) return;
  for (const SavedState& s : saved_) device_->SetRenderState(s.state, s.value);
  saved_.clear();
  for (const SavedStageState& s : savedStages_) device_->SetTextureStageState(s.stage, s.state, s.value);
  savedStages_.clear();
  begun_ = false;
}

void Sprite::Draw(const Texture* texture, const Rect* source, const Vec3* centre, const Vec3* position,
                  uint32_t argb) {
  if (!texture || !device_ || texture->Width() <= 0 || texture->Height() <= 0) return;
  bool ownScene = !begun_;
  if (ownScene) Begin(sprite_flags::kAlphaBlend);
  Rect src = source ? *source : Rect{0, 0, texture->Width(), texture->Height()};
  Vec3 c = centre ? *centre : Vec3(0.0f);
  Vec3 p = position ? *position : Vec3(0.0f);
  float x0 = p.x - c.x, y0 = p.y - c.y;
  float w = float(src.Width()), h = float(src.Height());
  float tw = float(texture->Width()), th = float(texture->Height());
  float u0 = float(src.left) / tw, u1 = float(src.right) / tw;
  float v0 = float(src.top) / th, v1 = float(src.bottom) / th;
  const Vec2 corners[4] = {{x0, y0}, {x0 + w, y0}, {x0, y0 + h}, {x0 + w, y0 + h}};
  const Vec2 uvs[4] = {{u0, v0}, {u1, v0}, {u0, v1}, {u1, v1}};
  VertexScreenColorTex v[4];
  for (int i = 0; i < 4; ++i) {
    Vec3 at = TransformCoord(Vec3(corners[i], p.z), transform_);
    v[i] = VertexScreenColorTex{at.x, at.y, p.z, 1.0f, argb, uvs[i].x, uvs[i].y};
  }
  device_->SetTexture(0, texture);
  device_->SetTexture(1, nullptr);
  device_->SetTextureStageState(0, TextureStageState::kColorOp, uint32_t(TextureOp::kModulate));
  device_->SetTextureStageState(0, TextureStageState::kColorArg1, uint32_t(TextureArg::kTexture));
  device_->SetTextureStageState(0, TextureStageState::kColorArg2, uint32_t(TextureArg::kDiffuse));
  device_->SetTextureStageState(0, TextureStageState::kAlphaOp, uint32_t(TextureOp::kModulate));
  device_->SetTextureStageState(0, TextureStageState::kAlphaArg1, uint32_t(TextureArg::kTexture));
  device_->SetTextureStageState(0, TextureStageState::kAlphaArg2, uint32_t(TextureArg::kDiffuse));
  device_->SetTextureStageState(0, TextureStageState::kTextureTransformFlags, uint32_t(TextureTransform::kDisable));
  device_->SetTextureStageState(1, TextureStageState::kColorOp, uint32_t(TextureOp::kDisable));
  device_->SetFVF(fvf::kXyzRhw | fvf::kDiffuse | fvf::kTex1);
  device_->DrawPrimitiveUP(PrimitiveType::kTriangleStrip, 2, v, sizeof(VertexScreenColorTex));
  if (ownScene) End();
}

}  // namespace platform::gfx
