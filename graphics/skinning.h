// Skinning on the processor: each vertex of a skinned mesh is moved by the weighted
// sum of its bones' matrices (bone offset x the bone frame's combined matrix), its
// normal likewise. A vertex that no bone weighs keeps its place.
#pragma once

#include <vector>

#include <glm/glm.hpp>

#include "platform/model/xfile.h"

namespace graphics {

// bone matrix = offset x combined, in the file's order (offset applied first).
glm::mat4 BoneMatrix(const glm::mat4& offset, const glm::mat4& combined);

// Writes the skinned vertices of mesh into out (resized to the mesh's vertex count
// once; later calls reuse it). boneMatrices has one entry per mesh bone.
void SkinMesh(const platform::model::XMesh& mesh, const std::vector<glm::mat4>& boneMatrices,
              std::vector<platform::model::XVertex>& out, std::vector<float>& weightScratch);

}  // namespace graphics
