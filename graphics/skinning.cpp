// The weighted blend of bone matrices over a mesh's vertices.
#include "graphics/skinning.h"

namespace graphics {

glm::mat4 BoneMatrix(const glm::mat4& offset, const glm::mat4& combined) { return combined * offset; }

void SkinMesh(const platform::model::XMesh& mesh, const std::vector<glm::mat4>& boneMatrices,
              std::vector<platform::model::XVertex>& out, std::vector<float>& weightScratch) {
  const size_t count = mesh.vertices.size();
  out.resize(count);
  weightScratch.assign(count, 0.0f);
  for (size_t v = 0; v < count; ++v) {
    out[v] = mesh.vertices[v];
    out[v].position = glm::vec3(0.0f);
    out[v].normal = glm::vec3(0.0f);
  }
  for (size_t b = 0; b < mesh.bones.size() && b < boneMatrices.size(); ++b) {
    const glm::mat4& m = boneMatrices[b];
    const glm::mat3 turn(m);
    for (const auto& w : mesh.bones[b].weights) {
      if (w.vertex >= count) continue;
      const auto& source = mesh.vertices[w.vertex];
      out[w.vertex].position += w.weight * glm::vec3(m * glm::vec4(source.position, 1.0f));
      out[w.vertex].normal += w.weight * (turn * source.normal);
      weightScratch[w.vertex] += w.weight;
    }
  }
  for (size_t v = 0; v < count; ++v) {
    if (weightScratch[v] == 0.0f) out[v] = mesh.vertices[v];
  }
}

}  // namespace graphics
