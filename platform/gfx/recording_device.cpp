// The Recording back end: state like the others, plus a call log and every draw's
// vertices as the fixed-function transform would place them.
#include "platform/gfx/recording_device.h"

#include <cstring>

namespace platform::gfx {

namespace {

const char* TransformName(TransformKind k) {
  switch (k) {
    case TransformKind::kWorld: return "World";
    case TransformKind::kView: return "View";
    case TransformKind::kProjection: return "Projection";
    case TransformKind::kTexture0: return "Texture0";
    case TransformKind::kTexture1: return "Texture1";
  }
  return "?";
}

Vec2 ApplyTextureTransform(const DeviceState& s, int stage, Vec2 uv) {
  if (s.stage[stage][size_t(TextureStageState::kTextureTransformFlags)] != uint32_t(TextureTransform::kCount2))
    return uv;
  const Matrix& m = s.transforms[size_t(stage == 0 ? TransformKind::kTexture0 : TransformKind::kTexture1)];
  // (u, v, 1) x the matrix's first two columns: row 3 carries the scroll.
  return Vec2(uv.x * m.at(1, 1) + uv.y * m.at(2, 1) + m.at(3, 1), uv.x * m.at(1, 2) + uv.y * m.at(2, 2) + m.at(3, 2));
}

}  // namespace

void RecordingRenderDevice::SetTransform(TransformKind kind, const Matrix& m) {
  StateDevice::SetTransform(kind, m);
  log.push_back(std::string("SetTransform ") + TransformName(kind));
}

void RecordingRenderDevice::SetRenderState(RenderState s, uint32_t value) {
  StateDevice::SetRenderState(s, value);
  log.push_back("SetRenderState " + std::to_string(int(s)) + " " + std::to_string(value));
}

void RecordingRenderDevice::SetTexture(int stage, const Texture* texture) {
  StateDevice::SetTexture(stage, texture);
  std::string what = texture ? std::to_string(texture->Width()) + "x" + std::to_string(texture->Height()) : "none";
  log.push_back("SetTexture " + std::to_string(stage) + " " + what);
}

void RecordingRenderDevice::SetMaterial(const Material& material) {
  StateDevice::SetMaterial(material);
  log.push_back("SetMaterial");
}

void RecordingRenderDevice::SetViewport(const Viewport& v) {
  StateDevice::SetViewport(v);
  log.push_back("SetViewport " + std::to_string(v.x) + " " + std::to_string(v.y) + " " + std::to_string(v.width) +
                " " + std::to_string(v.height));
}

void RecordingRenderDevice::SetScissorRect(const ScissorRect& r) {
  StateDevice::SetScissorRect(r);
  log.push_back("SetScissorRect " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                std::to_string(r.right) + " " + std::to_string(r.bottom));
}

void RecordingRenderDevice::Clear(uint32_t flags, uint32_t color, float z, uint32_t) {
  clears.push_back({flags, color, z, state_.viewport, state_.ClearArea(width_, height_)});
  log.push_back("Clear " + std::to_string(flags));
}

void RecordingRenderDevice::DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  log.push_back("DrawPrimitive " + std::to_string(primitiveCount));
  const VertexBuffer* vb = state_.stream;
  uint32_t stride = state_.streamStride;
  uint32_t count = VertexCountOf(type, primitiveCount);
  if (!vb || stride == 0 || (size_t(startVertex) + count) * stride > vb->Bytes()) {
    log.push_back("DrawPrimitive refused: stream too short");
    return;
  }
  Record(type, primitiveCount, vb->Data() + size_t(startVertex) * stride, stride, nullptr, count);
}

void RecordingRenderDevice::DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                                            uint32_t stride) {
  log.push_back("DrawPrimitiveUP " + std::to_string(primitiveCount));
  Record(type, primitiveCount, static_cast<const uint8_t*>(vertices), stride, nullptr,
         VertexCountOf(type, primitiveCount));
}

void RecordingRenderDevice::DrawIndexedPrimitiveUP(PrimitiveType type, uint32_t, uint32_t primitiveCount,
                                                   const uint32_t* indices, const void* vertices, uint32_t stride) {
  log.push_back("DrawIndexedPrimitiveUP " + std::to_string(primitiveCount));
  Record(type, primitiveCount, static_cast<const uint8_t*>(vertices), stride, indices,
         VertexCountOf(type, primitiveCount));
}

void RecordingRenderDevice::Record(PrimitiveType type, uint32_t primitiveCount, const uint8_t* data, uint32_t stride,
                                   const uint32_t* indices, uint32_t count) {
  RecordedDraw d;
  d.type = type;
  d.primitiveCount = primitiveCount;
  d.state = state_;
  uint32_t format = state_.fvf;
  Matrix world = state_.transforms[size_t(TransformKind::kWorld)];
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* v = data + size_t(indices ? indices[i] : i) * stride;
    DrawnVertex out;
    size_t at = 0;
    std::memcpy(&out.position, v, 12);
    at = (format & fvf::kXyzRhw) ? 16 : 12;
    out.world = (format & fvf::kXyzRhw) ? out.position : TransformCoord(out.position, world);
    if (format & fvf::kNormal) at += 12;
    if (format & fvf::kDiffuse) {
      std::memcpy(&out.color, v + at, 4);
      at += 4;
    }
    if (format & fvf::kSpecular) at += 4;
    uint32_t texCount = (format & fvf::kTexCountMask) >> 8;
    Vec2 uv[2] = {Vec2(0.0f), Vec2(0.0f)};
    for (uint32_t t = 0; t < texCount && t < 2; ++t) std::memcpy(&uv[t], v + at + t * 8, 8);
    auto coord = [&](int stage) {
      uint32_t index = state_.stage[stage][size_t(TextureStageState::kTexCoordIndex)];
      return ApplyTextureTransform(state_, stage, uv[index < 2 ? index : 0]);
    };
    out.uv0 = coord(0);
    out.uv1 = coord(1);
    d.vertices.push_back(out);
  }
  draws.push_back(std::move(d));
}

std::unique_ptr<Texture> RecordingRenderDevice::CreateTexture(const ImageData& image) {
  log.push_back("CreateTexture " + std::to_string(image.width) + "x" + std::to_string(image.height));
  return std::make_unique<Texture>(image.width, image.height, TextureKind::kStatic);
}

std::unique_ptr<Texture> RecordingRenderDevice::CreateTexture(ImageData&& image) {
  return CreateTexture(static_cast<const ImageData&>(image));
}

std::unique_ptr<Texture> RecordingRenderDevice::CreateDynamicTexture(int w, int h) {
  log.push_back("CreateDynamicTexture " + std::to_string(w) + "x" + std::to_string(h));
  return std::make_unique<Texture>(w, h, TextureKind::kDynamic);
}

void RecordingRenderDevice::UpdateTexture(Texture&, const uint8_t*, int w, int h) {
  log.push_back("UpdateTexture " + std::to_string(w) + "x" + std::to_string(h));
}

std::unique_ptr<Texture> RecordingRenderDevice::CreateRenderTexture(int w, int h) {
  log.push_back("CreateRenderTexture " + std::to_string(w) + "x" + std::to_string(h));
  return std::make_unique<Texture>(w, h, TextureKind::kRenderTarget);
}

void RecordingRenderDevice::SetRenderTarget(const Texture* target) {
  StateDevice::SetRenderTarget(target);
  log.push_back(target ? "SetRenderTarget texture" : "SetRenderTarget back buffer");
}

}  // namespace platform::gfx
