// Draws meshes and models through the renderer's drawing device: the mesh code's
// world, material, texture and scroll calls become device state, and its triangles
// an indexed draw in the model vertex format (position, normal, two coordinate pairs).
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "graphics/mesh_hierarchy.h"
#include "platform/gfx/render_device.h"

namespace graphics {

class ImageDecodePool;

class RenderMeshDevice : public MeshDevice {
 public:
  explicit RenderMeshDevice(platform::gfx::RenderDevice* device) : device_(device) {}
  platform::gfx::RenderDevice* Device() const { return device_; }
  // While on, each picture file is decoded once and every texture made from it reads
  // the same pixels until its upload (the gameplay models name the same pictures many
  // times). With a pool, models and pictures it has queued are taken from it instead
  // of being read here. Turning it off lets go of the kept pixels and the pool. Used by
  // one thread at a time.
  void ShareDecodes(bool on, ImageDecodePool* pool = nullptr);

  bool LoadModelFile(std::string_view path, platform::model::XModel& out, std::string* error) override;
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
  ImageDecodePool* pool_ = nullptr;
  std::unordered_map<std::string, std::shared_ptr<const platform::gfx::ImageData>> decoded_;
};

}  // namespace graphics
