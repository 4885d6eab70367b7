// Pictures through the asset store's texture cache, drawn on the shared unit square.
#include "graphics/image.h"

#include <cstring>

#include "core/log.h"
#include "core/utils.h"
#include "graphics/game_assets.h"
#include "platform/gfx/device.h"

namespace graphics {

namespace gfx = platform::gfx;

bool Image::Load(GameAssets* assets, std::u16string_view newPath) {
  path = std::u16string(newPath);
  texture = nullptr;
  gfx::Texture* loaded = nullptr;
  if (!assets || !assets->GetTexture(&loaded, false, path)) {
    texture = nullptr;
    return false;
  }
  int w = 0, h = 0;
  if (!gfx::ReadImageInfo(ToNarrow(path), w, h)) {
    Log(0, u"Could Not Get Texture Info:" + path);
    texture = nullptr;
    return false;
  }
  texture = loaded;
  ownTexture = loaded;
  width = w;
  height = h;
  ResetMaterial();
  transform.Reset();
  return true;
}

bool Image::LoadThemed(GameAssets* assets, std::u16string_view file, std::u16string_view themeFolder) {
  std::u16string first = std::u16string(themeFolder) + u"static/" + std::u16string(file);
  if (Load(assets, first)) return true;
  Log(0, u"ERROR! Could Not Load Texture:" + first);
  if (themeFolder == kDefaultThemeFolder) return false;
  std::u16string fallback = std::u16string(kDefaultThemeFolder) + u"static/" + std::u16string(file);
  Log(0, u"Loading Default:" + fallback);
  if (Load(assets, fallback)) return true;
  Log(0, u"ERROR! Could Not Load Texture:" + fallback);
  return false;
}

void Image::ResetMaterial() {
  material = gfx::Material{gfx::Vec4(1.0f), gfx::Vec4(0.0f), gfx::Vec4(0.0f), gfx::Vec4(1.0f), 0.0f};
}

bool Quad::Create() {
  primitiveCount_ = 2;
  vertexBuffer_.reset();
  if (!device_) return false;
  vertexBuffer_ = device_->CreateVertexBuffer(size_t(primitiveCount_) * 2 * kStride, kFormat);
  if (!vertexBuffer_) return false;
  const gfx::VertexPosNormalTex corners[4] = {
      {-1, -1, 0, 0, 0, 0, 0, 1},
      {-1, 1, 0, 0, 0, 0, 0, 0},
      {1, -1, 0, 0, 0, 0, 1, 1},
      {1, 1, 0, 0, 0, 0, 1, 0},
  };
  static_assert(sizeof(corners) == 4 * kStride);
  std::memcpy(vertexBuffer_->Lock(), corners, sizeof corners);
  vertexBuffer_->Unlock();
  return true;
}

void Quad::BindForDraw(const gfx::Material* material) {
  if (!device_) return;
  device_->SetStreamSource(vertexBuffer_.get(), kStride);
  device_->SetFVF(kFormat);
  if (material) device_->SetMaterial(*material);
  device_->SetTexture(1, nullptr);
}

gfx::Matrix Quad::WorldFor(int width, int height, const Transform& t, float size) {
  float sx, sy;
  if (size == 0.0f) {
    sx = float(width) * t.scale.x;
    sy = float(height) * t.scale.y;
  } else {
    sy = t.scale.y * size;
    sx = (height > 0 ? float(width) / float(height) : 0.0f) * size * t.scale.x;
  }
  if (t.rotation.x == 0.0f && t.rotation.y == 0.0f && t.rotation.z == 0.0f) {
    // Unturned (every glyph of a line and most pictures): the pivot moves cancel and
    // the chain below reduces to a scale and one translation. Written out, it gives
    // the same floats as the eight products it saves per draw.
    gfx::Matrix m;
    m.at(1, 1) = sx * t.postScale.x;
    m.at(2, 2) = sy * t.postScale.y;
    m.at(3, 3) = t.scale.z * t.postScale.z;
    m.at(4, 1) = t.position.x * t.postScale.x + t.postOffset.x;
    m.at(4, 2) = t.position.y * t.postScale.y + t.postOffset.y;
    m.at(4, 3) = t.position.z * t.postScale.z + t.postOffset.z;
    return m;
  }
  return gfx::Matrix::Scaling(sx, sy, t.scale.z) * gfx::Matrix::Translation(-t.pivot) *
         gfx::Matrix::RotationX(t.rotation.x) * gfx::Matrix::RotationY(t.rotation.y) *
         gfx::Matrix::RotationZ(t.rotation.z) * gfx::Matrix::Translation(t.pivot) *
         gfx::Matrix::Translation(t.position) * gfx::Matrix::Scaling(t.postScale) *
         gfx::Matrix::Translation(t.postOffset);
}

void Quad::Render3D(Image& image, bool keepMaterial, float size) {
  if (!device_ || !image.texture || image.material.diffuse.a <= 0.001f) return;
  world_ = gfx::Matrix();
  world_ = WorldFor(image.width, image.height, image.transform, size);
  device_->SetTransform(gfx::TransformKind::kWorld, world_);
  device_->SetTexture(0, image.texture);
  bool scroll = image.transform.HasTextureScroll();
  if (scroll) {
    gfx::Matrix m;
    m.at(3, 1) = image.transform.textureOffset.x;
    m.at(3, 2) = image.transform.textureOffset.y;
    device_->SetTextureStageState(0, gfx::TextureStageState::kTextureTransformFlags,
                                  uint32_t(gfx::TextureTransform::kCount2));
    device_->SetTransform(gfx::TransformKind::kTexture0, m);
  }
  if (!keepMaterial) BindForDraw(&image.material);
  device_->DrawPrimitive(gfx::PrimitiveType::kTriangleStrip, 0, uint32_t(primitiveCount_));
  if (scroll)
    device_->SetTextureStageState(0, gfx::TextureStageState::kTextureTransformFlags,
                                  uint32_t(gfx::TextureTransform::kDisable));
}

}  // namespace graphics
