// Draws meshes and models through the renderer's drawing device: the mesh code's
// world, material, texture and scroll calls become device state, and its triangles
// an indexed draw in the model vertex format (position, normal, two coordinate pairs).
#pragma once

#include <string>
#include <unordered_map>

#include "graphics/mesh_hierarchy.h"
#include "platform/gfx/render_device.h"

namespace graphics {

class RenderMeshDevice : public MeshDevice {
 public:
  explicit RenderMeshDevice(platform::gfx::RenderDevice* device) : device_(device) {}
  platform::gfx::RenderDevice* Device() const { return device_; }
  // While on, each picture file is decoded once and every texture made from it gets
  // its own copy of the pixels (the gameplay models name the same pictures many
  // times). Turning it off frees the kept pixels. Used by one thread at a time.
  void ShareDecodes(bool on);

  std::unique_ptr<platform::gfx::Texture> CreateTextureFromFile(std::string_view path) override;
  void SetWorldTransform(const glm::mat4& world) override;
  void SetMaterial(const MeshMaterial& material) override;
  void SetTexture(int stage, const platform::gfx::Texture* texture) override;
  void SetTextureTransform(int stage, const glm::mat4* matrix) override;
  void DrawTriangles(const platform::model::XVertex* vertices, size_t vertexCount, const uint32_t* indices,
                     size_t indexCount) override;
  void DrawMeshTriangles(std::unique_ptr<platform::gfx::StaticGeometry>& geometry,
                         const platform::model::XMesh& mesh, size_t firstIndex, size_t indexCount) override;

 private:
  platform::gfx::RenderDevice* device_;
  bool shareDecodes_ = false;
  std::unordered_map<std::string, platform::gfx::ImageData> decoded_;
};

}  // namespace graphics
