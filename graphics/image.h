// A picture file drawn as a textured rectangle in 3D, and the unit square (Quad) every
// picture and glyph is drawn with. Images take their texture from the asset store's
// cache and never own it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "graphics/transform.h"
#include "platform/gfx/render_device.h"

namespace graphics {

class GameAssets;

class Image {
 public:
  Image() = default;

  bool Load(GameAssets* assets, std::u16string_view path);
  // theme folder + "static/" + file, falling back to the default theme's file.
  bool LoadThemed(GameAssets* assets, std::u16string_view file, std::u16string_view themeFolder);
  // White diffuse and emissive, no ambient or specular.
  void ResetMaterial();

  int Width() const { return width; }
  int Height() const { return height; }
  // Points the displayed texture back at the image's own.
  void RestoreOwnTexture() { texture = ownTexture; }

  const platform::gfx::Texture* texture = nullptr;     // the one drawn
  const platform::gfx::Texture* ownTexture = nullptr;  // the one this image loaded
  platform::gfx::Material material;
  int width = 0, height = 0;  // of the file, in pixels
  std::u16string path;
  Transform transform;
};

// The unit square: four vertices (position, normal, one coordinate pair) drawn as a
// strip, 2 units wide and high about the origin, texture upright.
class Quad {
 public:
  static constexpr uint32_t kFormat = platform::gfx::fvf::kXyz | platform::gfx::fvf::kNormal | platform::gfx::fvf::kTex1;
  static constexpr uint32_t kStride = 32;

  explicit Quad(platform::gfx::RenderDevice* device = nullptr) : device_(device) {}
  void SetDevice(platform::gfx::RenderDevice* device) { device_ = device; }
  platform::gfx::RenderDevice* Device() const { return device_; }

  bool Create();
  void Release() { vertexBuffer_.reset(); }
  // Stream, vertex format and material for drawing; stage 1 emptied.
  void BindForDraw(const platform::gfx::Material* material);
  // size 0: the picture's own pixel size (2 units a pixel, times scale); else the
  // picture is 2 x size high and as wide as its aspect gives.
  void Render3D(Image& image, bool keepMaterial, float size);
  // The world matrix of the last draw.
  const platform::gfx::Matrix& World() const { return world_; }
  int PrimitiveCount() const { return primitiveCount_; }

  // The world matrix Render3D sets for a picture of that size and transform.
  static platform::gfx::Matrix WorldFor(int width, int height, const Transform& t, float size);

 private:
  platform::gfx::RenderDevice* device_;
  platform::gfx::Matrix world_;
  std::unique_ptr<platform::gfx::VertexBuffer> vertexBuffer_;
  int primitiveCount_ = 2;
};

}  // namespace graphics
