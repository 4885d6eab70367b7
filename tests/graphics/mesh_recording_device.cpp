// The call log of the mesh and model tests.
#include "mesh_recording_device.h"

#include <algorithm>

namespace velorin_test {

std::unique_ptr<platform::gfx::Texture> RecordingMeshDevice::CreateTextureFromFile(std::string_view path) {
  texturePaths.emplace_back(path);
  if (std::find(missing.begin(), missing.end(), std::string(path)) != missing.end()) return nullptr;
  auto texture = std::make_unique<platform::gfx::Texture>(0, 4, 4);
  textures[std::string(path)] = texture.get();
  return texture;
}

void RecordingMeshDevice::SetTexture(int stage, const platform::gfx::Texture* texture) {
  if (stage == 0 || stage == 1) stages_[stage] = texture;
}

void RecordingMeshDevice::SetTextureTransform(int stage, const glm::mat4* matrix) {
  if (stage != 0) return;
  ++textureTransformCalls;
  textureTransformOn = matrix != nullptr;
  if (matrix) textureTransform_ = *matrix;
}

void RecordingMeshDevice::DrawTriangles(const platform::model::XVertex* vertices, size_t vertexCount,
                                        const uint32_t* indices, size_t indexCount) {
  RecordedDraw draw;
  draw.world = world_;
  draw.material = material_;
  draw.stage0 = stages_[0];
  draw.stage1 = stages_[1];
  draw.textureTransformOn = textureTransformOn;
  draw.textureTransform = textureTransform_;
  for (size_t i = 0; i < indexCount; ++i) {
    if (indices[i] < vertexCount) draw.corners.push_back(vertices[indices[i]]);
  }
  draws.push_back(std::move(draw));
}

}  // namespace velorin_test
