// Sustain ribbons: the amplitude history, the edge shapes and the strip they make.
#include "graphics/tail_ribbon.h"

#include <algorithm>
#include <cmath>

namespace graphics {

namespace gfx = platform::gfx;

namespace {

constexpr float kHalfPi = 1.5707964f;

}  // namespace

TailRibbon::TailRibbon(gfx::RenderDevice* device) : device_(device) {
  place[0].Reset();
  place[1].Reset();
  Reset();
}

void TailRibbon::Reset() {
  length_ = 100.0f;
  width_ = 5.0f;
  segmentLength_ = 10.0f;
  segmentCount_ = 10;
  zOffset = 0.0f;
  bendStart = 0.0f;
  scrolling_ = false;
  lastScroll_ = 0.0f;
  style_ = 0;
  bend = 0;
  segments_.clear();
  vertices_.clear();
}

bool TailRibbon::SetLength(TextureSlot texture, int32_t style, float length, float width, float step) {
  texture_ = texture;
  style_ = style;
  material_ = gfx::Material();
  material_.diffuse = gfx::Vec4(0.0f);
  material_.ambient = gfx::Vec4(1.0f);
  material_.specular = gfx::Vec4(0.9f, 0.6f, 0.6f, 0.0f);
  material_.emissive = gfx::Vec4(1.0f);
  material_.power = 0.0f;
  length_ = std::isfinite(length) ? std::max(length, 0.0f) : 0.0f;
  width_ = width;
  // A ribbon shorter than one step is one segment of its full length; an empty one
  // has a single edge pair and draws nothing.
  float steps = (step > 0.0f && std::isfinite(step)) ? std::trunc(length_ / step) : 0.0f;
  if (steps < 1.0f && length_ > 0.0f) steps = 1.0f;
  steps = std::min(steps, static_cast<float>(kMaxSegments - 1));
  const int32_t count = static_cast<int32_t>(steps) + 1;
  segmentLength_ = steps > 0.0f ? length_ / steps : 0.0f;
  if (count != segmentCount_ || segments_.size() != static_cast<size_t>(count)) {
    std::vector<RibbonSegment> fresh(static_cast<size_t>(count));
    const size_t keep = std::min(segments_.size(), fresh.size());
    std::copy(segments_.begin(), segments_.begin() + static_cast<std::ptrdiff_t>(keep), fresh.begin());
    segments_ = std::move(fresh);
  }
  segmentCount_ = count;
  return true;
}

void TailRibbon::Scroll(float position, float amplitude) {
  if (!scrolling_) {
    scrolling_ = true;
    lastScroll_ = position;
    return;
  }
  float d = position - lastScroll_;
  if (!(d >= kScrollStep)) {
    // Backwards (a seek, or audio-clock jitter): start counting again from here.
    if (d < 0.0f || !std::isfinite(d)) lastScroll_ = position;
    return;
  }
  const float whole = std::floor(d / kScrollStep);
  const float rest = d - whole * kScrollStep;
  const int32_t count = static_cast<int32_t>(segments_.size());
  const int32_t n = whole >= static_cast<float>(count) ? count : static_cast<int32_t>(whole);
  for (int32_t i = count - 1; i >= n; --i) segments_[static_cast<size_t>(i)] = segments_[static_cast<size_t>(i - n)];
  for (int32_t i = 0; i < n; ++i) {
    segments_[static_cast<size_t>(i)] = RibbonSegment{amplitude, position - kScrollStep * static_cast<float>(i)};
  }
  lastScroll_ = position - rest;
}

float TailRibbon::EdgeOffset(int32_t shape, int32_t side, float a, float p) {
  switch (shape) {
    case 0: return std::sin(p / 100.0f) * 10.0f * a;
    case 1: return std::sin(p / 100.0f + 10.0f) * 10.0f * a;
    case 2: return std::sin(p / 100.0f - 10.0f) * 10.0f * a;
    case 3: return std::sin(p / 100.0f + kHalfPi) * 10.0f * a;
    case 4: return std::sin(p / 100.0f - kHalfPi) * 10.0f * a;
    case 5: return std::sin(p / 25.0f) > 0.0f ? 10.0f * a : -10.0f * a;
    case 6: return std::sin(p / 100.0f) * 10.0f * a + std::sin(p / 10.0f) * 5.0f * a;
    case 7: {
      const float w = std::sin(p / 100.0f) * 5.0f * a + std::sin(p / 10.0f) * 2.0f * a + 10.0f * a;
      return side == 0 ? -w : w;
    }
    default: return 0.0f;
  }
}

const std::vector<TailRibbon::Vertex>& TailRibbon::BuildStrip(int32_t shape, int32_t pane) {
  const Transform& t = place[pane == 1 ? 1 : 0];
  const int32_t count = segmentCount_;
  vertices_.resize(static_cast<size_t>(count) * 2);
  const float bendFrom = std::min(bendStart, 0.0f);
  const float bendSpan = length_ - bendFrom;
  for (int32_t i = 0; i < count; ++i) {
    const RibbonSegment seg = i < static_cast<int32_t>(segments_.size()) ? segments_[static_cast<size_t>(i)]
                                                                        : RibbonSegment();
    const float x = static_cast<float>(i) * segmentLength_;
    float bendShift = 0.0f;
    if (bend != 0 && bendSpan != 0.0f) {
      const float r = (x - bendFrom) / bendSpan * (width_ + 8.0f) - (width_ + 8.0f) / 2.0f;
      bendShift = bend == 2 ? r : bend == 1 ? -r : 0.0f;
    }
    const float f = x + zOffset;
    float alpha = t.alpha;
    if (f >= kFadeEnd) {
      alpha = 0.0f;
    } else if (f > kFadeStart) {
      alpha = (1.0f - (f - kFadeStart) / (kFadeEnd - kFadeStart)) * t.alpha;
    }
    const float clamped = std::clamp(alpha, 0.0f, 1.0f);
    const uint32_t diffuse = (static_cast<uint32_t>(clamped * 255.0f) << 24) | 0xFFFFFFu;
    const float v = (i % 2 == 0) ? 0.97f : 0.03f;
    for (int32_t side = 0; side < 2; ++side) {
      Vertex& out = vertices_[static_cast<size_t>(i * 2 + side)];
      const float y = EdgeOffset(shape, side, seg.amplitude, seg.position) +
                      (side == 0 ? -width_ / 2.0f : width_ / 2.0f) + bendShift;
      out = Vertex{x, y, 0.0f, 0.0f, 0.0f, 1.0f, diffuse, side == 0 ? 0.03f : 0.97f, v};
    }
  }
  return vertices_;
}

gfx::Matrix TailRibbon::WorldMatrix(int32_t pane) const {
  const Transform& t = place[pane == 1 ? 1 : 0];
  return gfx::Matrix::Scaling(t.scale) * gfx::Matrix::RotationX(t.rotation.x) *
         gfx::Matrix::RotationY(t.rotation.y - kHalfPi) * gfx::Matrix::RotationZ(t.rotation.z + kHalfPi) *
         gfx::Matrix::Translation(t.position.x, t.position.y, t.position.z + zOffset);
}

void TailRibbon::DrawStrip(int32_t shape, int32_t pane) {
  const std::vector<Vertex>& v = BuildStrip(shape, pane);
  if (v.size() < 4) return;
  device_->DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, static_cast<uint32_t>(v.size() - 2), v.data(),
                           sizeof(Vertex));
}

void TailRibbon::Draw(int32_t pane) {
  if (!device_ || segmentCount_ < 2) return;
  const gfx::Matrix world = WorldMatrix(pane);
  device_->SetTransform(gfx::TransformKind::kWorld, world);
  device_->SetMaterial(material_);
  device_->SetTexture(0, texture_ ? *texture_ : nullptr);
  device_->SetTexture(1, nullptr);
  device_->SetFVF(kVertexFormat);
  device_->SetRenderState(gfx::RenderState::kZEnable, 0);
  device_->SetRenderState(gfx::RenderState::kZWriteEnable, 0);
  switch (static_cast<RibbonStyle>(style_)) {
    case RibbonStyle::kSwell: DrawStrip(7, pane); break;
    case RibbonStyle::kWave: DrawStrip(0, pane); break;
    case RibbonStyle::kMirrored:
      DrawStrip(0, pane);
      // The reflection in the plane y = 0 of the strip turns its winding round.
      device_->SetTransform(gfx::TransformKind::kWorld, gfx::Matrix::Scaling(1.0f, -1.0f, 1.0f) * world);
      device_->SetRenderState(gfx::RenderState::kCullMode, uint32_t(gfx::CullMode::kClockwise));
      DrawStrip(0, pane);
      device_->SetRenderState(gfx::RenderState::kCullMode, uint32_t(gfx::CullMode::kCounterClockwise));
      break;
    case RibbonStyle::kLayered:
      for (int32_t shape = 0; shape <= 4; ++shape) DrawStrip(shape, pane);
      break;
    case RibbonStyle::kSquare: DrawStrip(5, pane); break;
    case RibbonStyle::kRipple: DrawStrip(6, pane); break;
  }
  device_->SetRenderState(gfx::RenderState::kZEnable, 1);
  device_->SetRenderState(gfx::RenderState::kZWriteEnable, 1);
}

}  // namespace graphics
