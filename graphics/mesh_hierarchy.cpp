// Loading, animating, skinning and drawing a frame hierarchy.
#include "graphics/mesh_hierarchy.h"

#include <algorithm>

#include "core/log.h"
#include "core/utils.h"
#include "graphics/skinning.h"
#include "platform/clock.h"
#include "platform/paths.h"

namespace graphics {
namespace {

using platform::model::XMaterial;
using platform::model::XMesh;

constexpr const char* kNoSetText = "Error: No set exists";

MeshMaterial FromFile(const XMaterial& m) {
  MeshMaterial out;
  out.diffuse = m.diffuse;
  out.specular = glm::vec4(m.specular, 1.0f);
  out.emissive = glm::vec4(m.emissive, 1.0f);
  out.power = m.power;
  return out;
}

// The stand-in for a mesh whose file gives no material.
MeshMaterial DefaultMaterial() {
  MeshMaterial out;
  out.diffuse = glm::vec4(0.5f, 0.5f, 0.5f, 0.0f);
  out.specular = glm::vec4(0.5f, 0.5f, 0.5f, 0.0f);
  return out;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The texture file of a material, looked up beside the model: the name as written
// relative to the model's folder, else its file-name part alone there. The process's
// current folder is never changed for it.
bool FindTextureBesideModel(const std::string& folder, const std::string& name, std::string& found) {
  std::string path = platform::ToSlashes(name);
  bool absolute = !path.empty() && path[0] == '/';
  std::string candidate = absolute || folder.empty() ? path : folder + "/" + path;
  if (platform::IsRegularFile(candidate)) {
    found = candidate;
    return true;
  }
  std::string base = BaseName(path);
  candidate = folder.empty() ? base : folder + "/" + base;
  if (!base.empty() && platform::IsRegularFile(candidate)) {
    found = candidate;
    return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> ModelPictureFiles(std::string_view path, const platform::model::XModel& model) {
  std::string folder, name;
  SplitPathNarrow(path, &folder, &name);
  std::vector<std::string> files;
  for (const auto& frame : model.frames)
    for (int meshIndex : frame.meshes) {
      if (meshIndex < 0 || size_t(meshIndex) >= model.meshes.size()) continue;
      const XMesh& mesh = model.meshes[size_t(meshIndex)];
      if (!mesh.materialsFromFile) continue;
      for (const auto& material : mesh.materials) {
        std::string found;
        if (material.textureFile.empty() || !FindTextureBesideModel(folder, material.textureFile, found)) continue;
        if (std::find(files.begin(), files.end(), found) == files.end()) files.push_back(std::move(found));
      }
    }
  return files;
}

MeshHierarchy::MeshHierarchy(MeshDevice* device) : lastUpdate(platform::TimeGetTime()), device_(device) {}

MeshHierarchy::~MeshHierarchy() = default;

bool MeshHierarchy::Load(std::string_view path) {
  Destroy();
  std::string folder, name;
  SplitPathNarrow(path, &folder, &name);
  fileName = ToWide(name);
  std::string error;
  const bool parsed = device_ ? device_->LoadModelFile(path, model_, &error)
                              : platform::model::LoadXFile(path, model_, &error);
  if (!parsed) {
    Log(0, u"Could Not Load:" + fileName);
    return false;
  }
  locals_.clear();
  for (const auto& frame : model_.frames) locals_.push_back(frame.transform);
  combined_.assign(model_.frames.size(), glm::mat4(1.0f));
  if (!model_.animationSets.empty()) {
    controller_ = std::make_unique<AnimationController>(model_);
    setCount = controller_->GetMaxNumAnimationSets();
    // The loader leaves set 0 on the track; its period is known from the start, so
    // an instance that does not loop plays it to its end.
    period = static_cast<float>(controller_->GetSetPeriod(0));
  }
  MakeContainers(folder);
  UpdateFrameMatrices(glm::mat4(1.0f));
  ComputeBoundingSphere();
  return true;
}

void MeshHierarchy::MakeContainers(const std::string& folder) {
  size_t boneMaximum = 0;
  for (size_t f = 0; f < model_.frames.size(); ++f) {
    for (int meshIndex : model_.frames[f].meshes) {
      const XMesh& mesh = model_.meshes[meshIndex];
      MeshContainer container;
      container.mesh = &mesh;
      container.frame = static_cast<int>(f);
      if (!mesh.materialsFromFile || mesh.materials.empty()) {
        container.materials.assign(std::max<size_t>(1, mesh.materials.size()), DefaultMaterial());
      } else {
        for (const auto& m : mesh.materials) container.materials.push_back(FromFile(m));
      }
      container.textures.resize(container.materials.size());
      for (size_t i = 0; i < mesh.materials.size() && mesh.materialsFromFile; ++i) {
        const std::string& texture = mesh.materials[i].textureFile;
        if (texture.empty()) continue;
        std::string found;
        if (!FindTextureBesideModel(folder, texture, found)) {
          LogNarrow("Could not find texture: " + texture);
          continue;
        }
        container.textures[i] = device_ ? device_->CreateTextureFromFile(found) : nullptr;
        if (!container.textures[i]) LogNarrow("Could not load texture: " + texture);
      }
      if (!mesh.bones.empty()) {
        for (const auto& bone : mesh.bones) container.boneFrames.push_back(model_.FindFrame(bone.frameName));
        container.skinned = mesh.vertices;
        boneMaximum = std::max(boneMaximum, mesh.bones.size());
        LogNarrow("Mesh has skinning info.\n Number of bones is: " + std::to_string(mesh.bones.size()));
      }
      containers_.push_back(std::move(container));
    }
  }
  boneMatrices_.assign(boneMaximum, glm::mat4(0.0f));
}

void MeshHierarchy::Destroy() {
  controller_.reset();
  containers_.clear();
  model_ = platform::model::XModel{};
  locals_.clear();
  combined_.clear();
  boneMatrices_.clear();
  fileName.clear();
  setCount = 0;
}

void MeshHierarchy::Update(float elapsedSeconds, const glm::mat4& world) {
  float t = elapsedSeconds / speedDivisor;
  if (controller_ && playing) controller_->AdvanceTime(t, locals_);
  animationTime += t;
  UpdateFrameMatrices(world);
  SkinContainers();
}

void MeshHierarchy::UpdateFrameMatrices(const glm::mat4& world) {
  // Frames are stored parents first, so one pass in order reaches every parent
  // before its children; top-level frames take the world as their parent.
  for (size_t i = 0; i < locals_.size(); ++i) {
    int parent = model_.frames[i].parent;
    combined_[i] = (parent < 0 ? world : combined_[parent]) * locals_[i];
  }
}

void MeshHierarchy::SkinContainers() {
  // Every skinned container is skinned, each with its own bones.
  for (auto& container : containers_) {
    if (!container.IsSkinned()) continue;
    const auto& bones = container.mesh->bones;
    for (size_t b = 0; b < bones.size(); ++b) {
      int frame = container.boneFrames[b];
      boneMatrices_[b] = frame < 0 ? glm::mat4(1.0f) : BoneMatrix(bones[b].offset, combined_[frame]);
    }
    SkinMesh(*container.mesh, boneMatrices_, container.skinned, container.skinScratch);
  }
}

void MeshHierarchy::DrawFrame(int frame) {
  for (int f = frame; f >= 0 && static_cast<size_t>(f) < model_.frames.size(); f = model_.frames[f].nextSibling) {
    for (auto& container : containers_) {
      if (container.frame == f) DrawContainer(container);
    }
    DrawFrame(model_.frames[f].firstChild);
  }
}

void MeshHierarchy::DrawContainer(MeshContainer& container) {
  if (!device_) return;
  const XMesh& mesh = *container.mesh;
  // Skinned vertices are already in world space.
  device_->SetWorldTransform(container.IsSkinned() ? glm::mat4(1.0f) : combined_[container.frame]);
  const auto& vertices = container.IsSkinned() ? container.skinned : mesh.vertices;
  for (size_t i = 0; i < container.materials.size(); ++i) {
    MeshMaterial& material = container.materials[i];
    material.diffuse = glm::vec4(colour, alpha);
    if (emissiveFlag) material.emissive = glm::vec4(emissiveLevel);
    device_->SetMaterial(material);
    device_->SetTexture(0, overrideTexture_ ? *overrideTexture_ : container.textures[i].get());
    device_->SetTexture(1, secondStageTexture_ ? *secondStageTexture_ : nullptr);
    if (i >= mesh.subsets.size()) continue;
    const auto& subset = mesh.subsets[i];
    if (subset.indexCount == 0) continue;
    // A skinned mesh changes at every update; any other is drawn from the device's copy.
    if (container.IsSkinned())
      device_->DrawTriangles(vertices.data(), vertices.size(), mesh.indices.data() + subset.firstIndex,
                             subset.indexCount);
    else
      device_->DrawMeshTriangles(container.geometry, mesh, subset.firstIndex, subset.indexCount);
  }
}

void MeshHierarchy::SetAnimationSet(uint32_t index) {
  if (index >= setCount) index = 0;
  if (index == currentSet) return;
  currentSet = index;
  if (controller_) {
    controller_->SetTrackAnimationSet(index);
    controller_->SetTrackPosition(0.0);
    controller_->SetTrackEnable(true);
    controller_->SetTrackSpeed(1.0f);
    controller_->SetTrackWeight(1.0f);
    period = static_cast<float>(controller_->GetSetPeriod(index));
  }
  animationTime = 0.0f;
  playing = true;
}

std::string MeshHierarchy::GetAnimationSetName(uint32_t index) const {
  if (!controller_ || index >= setCount) return kNoSetText;
  return controller_->GetSetName(index);
}

void MeshHierarchy::SetAnimationSetByName(std::string_view name) {
  for (uint32_t i = 0; i < setCount; ++i) {
    if (controller_->GetSetName(i) == name) {
      SetAnimationSet(i);
      return;
    }
  }
}

void MeshHierarchy::SetTexture(TextureSlot slot, int stage) {
  if (stage == 0) overrideTexture_ = slot;
  if (stage == 1) secondStageTexture_ = slot;
}

bool MeshHierarchy::FindFrame(std::string_view name, glm::mat4& matrix) const {
  if (model_.frames.empty()) return false;
  for (int c = model_.frames[0].firstChild; c >= 0; c = model_.frames[c].nextSibling) {
    if (model_.frames[c].name == name) {
      matrix = locals_[c];
      return true;
    }
  }
  return false;
}

void MeshHierarchy::ComputeBoundingSphere() {
  // Centre: the middle of the box around every vertex placed by its frame; radius:
  // the farthest vertex from it.
  glm::vec3 low(0.0f), high(0.0f);
  bool any = false;
  auto visit = [&](auto&& fn) {
    for (const auto& container : containers_) {
      const glm::mat4& m = combined_[container.frame];
      for (const auto& v : container.mesh->vertices) fn(glm::vec3(m * glm::vec4(v.position, 1.0f)));
    }
  };
  visit([&](glm::vec3 p) {
    low = any ? glm::min(low, p) : p;
    high = any ? glm::max(high, p) : p;
    any = true;
  });
  sphereCentre = (low + high) * 0.5f;
  sphereRadius = 0.0f;
  visit([&](glm::vec3 p) { sphereRadius = std::max(sphereRadius, glm::length(p - sphereCentre)); });
}

}  // namespace graphics
