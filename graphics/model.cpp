// Loading and drawing of static models.
#include "graphics/model.h"

#include <glm/gtc/matrix_transform.hpp>

#include "core/log.h"
#include "core/utils.h"
#include "platform/paths.h"

namespace graphics {
namespace {

using platform::model::XMesh;
using platform::model::XModel;

// All meshes of the file in one, each placed by its frame's combined matrix.
void JoinMeshes(const XModel& model, XMesh& out) {
  std::vector<glm::mat4> combined(model.frames.size(), glm::mat4(1.0f));
  for (size_t i = 0; i < model.frames.size(); ++i) {
    int parent = model.frames[i].parent;
    combined[i] = (parent < 0 ? glm::mat4(1.0f) : combined[parent]) * model.frames[i].transform;
  }
  out = XMesh{};
  out.materialsFromFile = false;
  for (size_t f = 0; f < model.frames.size(); ++f) {
    const glm::mat4& m = combined[f];
    const glm::mat3 normalTurn = glm::transpose(glm::inverse(glm::mat3(m)));
    for (int index : model.frames[f].meshes) {
      const XMesh& mesh = model.meshes[index];
      const uint32_t base = static_cast<uint32_t>(out.vertices.size());
      for (auto v : mesh.vertices) {
        v.position = glm::vec3(m * glm::vec4(v.position, 1.0f));
        v.normal = normalTurn * v.normal;
        out.vertices.push_back(v);
      }
      for (size_t s = 0; s < mesh.subsets.size(); ++s) {
        platform::model::XSubset subset{static_cast<uint32_t>(out.indices.size()), mesh.subsets[s].indexCount};
        for (uint32_t k = 0; k < subset.indexCount; ++k)
          out.indices.push_back(base + mesh.indices[mesh.subsets[s].firstIndex + k]);
        out.subsets.push_back(subset);
        out.materials.push_back(mesh.materialsFromFile ? mesh.materials[s] : platform::model::XMaterial{});
      }
      out.materialsFromFile = out.materialsFromFile || mesh.materialsFromFile;
      out.hasNormals = out.hasNormals || mesh.hasNormals;
      out.uvSetCount = std::max(out.uvSetCount, mesh.uvSetCount);
    }
  }
}

}  // namespace

bool Model::LoadFromX(std::string_view path) {
  Release();
  XModel model;
  std::string error;
  if (!platform::model::LoadXFile(path, model, &error) || model.meshes.empty()) {
    Log(0, u"Could Not Load:" + ToWide(path));
    return false;
  }
  JoinMeshes(model, mesh_);
  std::string folder;
  SplitPathNarrow(path, &folder, nullptr);
  for (const auto& m : mesh_.materials) {
    MeshMaterial material;
    material.diffuse = m.diffuse;
    material.ambient = m.diffuse;  // the file gives no ambient colour: the diffuse stands in
    material.specular = glm::vec4(m.specular, 1.0f);
    material.emissive = glm::vec4(m.emissive, 1.0f);
    material.power = m.power;
    materials_.push_back(material);
    std::unique_ptr<platform::gfx::Texture> texture;
    if (!m.textureFile.empty()) {
      std::string name = platform::ToSlashes(m.textureFile);
      std::string file = folder.empty() || name[0] == '/' ? name : folder + "/" + name;
      if (device_) texture = device_->CreateTextureFromFile(file);
      if (!texture) Log(0, u"Could Not Load Texture:" + ToWide(m.textureFile));
    }
    textures_.push_back(std::move(texture));
  }
  loaded_ = true;
  return true;
}

void Model::Render() {
  if (!loaded_ || !device_) return;
  const glm::mat4 identity(1.0f);
  // Scale, then x, y and z turns, then the move (glm's rightmost factor first).
  world_ = glm::translate(identity, transform.position) *
           glm::rotate(identity, transform.rotation.z, glm::vec3(0, 0, 1)) *
           glm::rotate(identity, transform.rotation.y, glm::vec3(0, 1, 0)) *
           glm::rotate(identity, transform.rotation.x, glm::vec3(1, 0, 0)) * glm::scale(identity, transform.scale);
  device_->SetWorldTransform(world_);
  const glm::vec3& offset = transform.textureOffset;
  // The sum decides: offsets that cancel out, such as (0.25, -0.25), scroll nothing.
  const bool scroll = offset.x + offset.y + offset.z != 0.0f;
  if (scroll) {
    glm::mat4 move(1.0f);
    move[2][0] = offset.x;  // third row: (u, v, 1) picks up the offset
    move[2][1] = offset.y;
    device_->SetTextureTransform(0, &move);
  }
  for (size_t i = 0; i < materials_.size(); ++i) {
    materials_[i].diffuse = glm::vec4(transform.colour, transform.alpha);
    device_->SetMaterial(materials_[i]);
    device_->SetTexture(0, textures_[i].get());
    const auto& subset = mesh_.subsets[i];
    if (subset.indexCount > 0)
      device_->DrawTriangles(mesh_.vertices.data(), mesh_.vertices.size(), mesh_.indices.data() + subset.firstIndex,
                             subset.indexCount);
  }
  if (scroll) device_->SetTextureTransform(0, nullptr);
}

void Model::Release() {
  textures_.clear();
  materials_.clear();
  mesh_ = platform::model::XMesh{};
  loaded_ = false;
}

}  // namespace graphics
