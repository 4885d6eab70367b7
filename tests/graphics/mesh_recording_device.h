// A MeshDevice that draws nothing and keeps a log of every call, with the state in
// force at each draw, for the mesh and model tests to read.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "graphics/mesh_hierarchy.h"

namespace velorin_test {

struct RecordedDraw {
  glm::mat4 world{1.0f};
  graphics::MeshMaterial material;
  const platform::gfx::Texture* stage0 = nullptr;
  const platform::gfx::Texture* stage1 = nullptr;
  bool textureTransformOn = false;
  glm::mat4 textureTransform{1.0f};
  std::vector<platform::model::XVertex> corners;  // the drawn triangles' corners in order
};

class RecordingMeshDevice : public graphics::MeshDevice {
 public:
  std::unique_ptr<platform::gfx::Texture> CreateTextureFromFile(std::string_view path) override;
  void SetWorldTransform(const glm::mat4& world) override { world_ = world; }
  void SetMaterial(const graphics::MeshMaterial& material) override { material_ = material; }
  void SetTexture(int stage, const platform::gfx::Texture* texture) override;
  void SetTextureTransform(int stage, const glm::mat4* matrix) override;
  void DrawTriangles(const platform::model::XVertex* vertices, size_t vertexCount, const uint32_t* indices,
                     size_t indexCount) override;

  // Files asked for, in order, and the texture made for each (paths in `missing` fail).
  std::vector<std::string> texturePaths;
  std::map<std::string, const platform::gfx::Texture*> textures;
  std::vector<std::string> missing;
  std::vector<RecordedDraw> draws;
  int textureTransformCalls = 0;
  bool textureTransformOn = false;

 private:
  glm::mat4 world_{1.0f};
  graphics::MeshMaterial material_;
  const platform::gfx::Texture* stages_[2] = {nullptr, nullptr};
  glm::mat4 textureTransform_{1.0f};
};

}  // namespace velorin_test
