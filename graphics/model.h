// A static (not animated) .X model: one mesh built from every mesh of the file placed
// by its frames, one subset per material with its texture, and a placement that
// positions, scales, rotates, tints, fades and scrolls it when drawn.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include <glm/glm.hpp>

#include "graphics/mesh_hierarchy.h"
#include "graphics/transform.h"

namespace graphics {

class Model {
 public:
  explicit Model(MeshDevice* device = nullptr) : device_(device) {}
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  void SetDevice(MeshDevice* device) { device_ = device; }
  // Textures named by the materials are read relative to the model's folder; a
  // texture that fails leaves its subset untextured. On failure the model stays empty.
  bool LoadFromX(std::string_view path);
  // Draws every subset with the placement; nothing without a mesh.
  void Render();
  // Frees textures, materials and mesh; the model can be loaded again.
  void Release();

  bool Loaded() const { return loaded_; }
  uint32_t MaterialCount() const { return static_cast<uint32_t>(materials_.size()); }
  const std::vector<MeshMaterial>& Materials() const { return materials_; }
  const platform::gfx::Texture* TextureOf(uint32_t material) const { return textures_.at(material).get(); }
  // The world matrix of the last draw.
  const glm::mat4& World() const { return world_; }

  // Pivot, post-scale and post-offset play no part in drawing a model.
  Transform transform;

 private:
  MeshDevice* device_;
  bool loaded_ = false;
  platform::model::XMesh mesh_;
  std::vector<MeshMaterial> materials_;
  std::vector<std::unique_ptr<platform::gfx::Texture>> textures_;
  glm::mat4 world_{1.0f};
};

}  // namespace graphics
