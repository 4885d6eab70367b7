// What every back end shares: vertex format sizes, primitive counts, textures from
// files, and the Null back end.
#include "platform/gfx/render_device.h"

#include "platform/gfx/state_device.h"

#include <algorithm>

namespace platform::gfx {

uint32_t VertexStride(uint32_t format) {
  uint32_t bytes = 0;
  if (format & fvf::kXyz) bytes += 12;
  else if (format & fvf::kXyzRhw) bytes += 16;
  else return 0;
  if (format & fvf::kNormal) bytes += 12;
  if (format & fvf::kDiffuse) bytes += 4;
  if (format & fvf::kSpecular) bytes += 4;
  uint32_t texCount = (format & fvf::kTexCountMask) >> 8;
  if (texCount > 2) return 0;
  return bytes + texCount * 8;
}

uint32_t VertexCountOf(PrimitiveType type, uint32_t n) {
  if (n == 0) return 0;
  switch (type) {
    case PrimitiveType::kPointList: return n;
    case PrimitiveType::kLineList: return n * 2;
    case PrimitiveType::kLineStrip: return n + 1;
    case PrimitiveType::kTriangleList: return n * 3;
    case PrimitiveType::kTriangleStrip:
    case PrimitiveType::kTriangleFan: return n + 2;
  }
  return 0;
}

ScissorRect Intersect(const ScissorRect& a, const ScissorRect& b) {
  ScissorRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
  if (r.Empty()) return ScissorRect{r.left, r.top, r.left, r.top};
  return r;
}

StaticGeometry::StaticGeometry(const void* vertices, uint32_t vertexCount, uint32_t stride,
                               const uint32_t* indices, uint32_t indexCount)
    : vertices_(static_cast<const uint8_t*>(vertices)),
      vertexCount_(vertexCount),
      stride_(stride),
      indices_(indices),
      indexCount_(indexCount) {
  for (uint32_t i = 0; i < indexCount && !anyIndexPastEnd_; ++i) anyIndexPastEnd_ = indices[i] >= vertexCount;
}

bool StaticGeometry::RangeInBounds(uint32_t first, uint32_t count) const {
  if (first > indexCount_ || count > indexCount_ - first) return false;
  if (!anyIndexPastEnd_) return true;
  for (uint32_t i = first; i < first + count; ++i)
    if (indices_[i] >= vertexCount_) return false;
  return true;
}

std::unique_ptr<StaticGeometry> RenderDevice::CreateStaticGeometry(const void* vertices, uint32_t vertexCount,
                                                                   uint32_t stride, const uint32_t* indices,
                                                                   uint32_t indexCount) {
  if (!vertices || !indices || vertexCount == 0 || indexCount == 0 || stride == 0) return nullptr;
  return std::make_unique<StaticGeometry>(vertices, vertexCount, stride, indices, indexCount);
}

void RenderDevice::DrawStaticGeometry(const StaticGeometry& g, PrimitiveType type, uint32_t firstIndex,
                                      uint32_t primitiveCount) {
  const uint32_t count = VertexCountOf(type, primitiveCount);
  if (count == 0 || !g.RangeInBounds(firstIndex, count)) return;
  DrawIndexedPrimitiveUP(type, g.VertexCount(), primitiveCount, g.Indices() + firstIndex, g.Vertices(), g.Stride());
}

std::unique_ptr<Texture> RenderDevice::CreateTextureFromFile(std::string_view path) {
  ImageData image;
  if (!DecodeImageFile(path, image)) return nullptr;
  return CreateTexture(std::move(image));
}

namespace {

class NullRenderDevice : public StateDevice {
 public:
  using StateDevice::StateDevice;
  BackEnd Kind() const override { return BackEnd::kNull; }
  void Clear(uint32_t, uint32_t, float, uint32_t) override {}
  void DrawPrimitive(PrimitiveType, uint32_t, uint32_t) override {}
  void DrawPrimitiveUP(PrimitiveType, uint32_t, const void*, uint32_t) override {}
  void DrawIndexedPrimitiveUP(PrimitiveType, uint32_t, uint32_t, const uint32_t*, const void*, uint32_t) override {}
  std::unique_ptr<Texture> CreateTexture(const ImageData& image) override {
    return std::make_unique<Texture>(image.width, image.height, TextureKind::kStatic);
  }
  std::unique_ptr<Texture> CreateTexture(ImageData&& image) override {
    return std::make_unique<Texture>(image.width, image.height, TextureKind::kStatic);
  }
  std::unique_ptr<Texture> CreateDynamicTexture(int w, int h) override {
    return std::make_unique<Texture>(w, h, TextureKind::kDynamic);
  }
  void UpdateTexture(Texture&, const uint8_t*, int, int) override {}
  std::unique_ptr<Texture> CreateRenderTexture(int w, int h) override {
    return std::make_unique<Texture>(w, h, TextureKind::kRenderTarget);
  }
  bool ReadPixels(ImageData&) override { return false; }
  void BeginScene() override {}
  void EndScene() override {}
};

}  // namespace

std::unique_ptr<RenderDevice> CreateNullRenderDevice(int width, int height) {
  return std::make_unique<NullRenderDevice>(width, height);
}

}  // namespace platform::gfx
