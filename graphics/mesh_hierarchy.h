// An animated, possibly skinned .X model: its frame tree with local and combined
// matrices, one mesh container per mesh with the materials and textures it draws
// with, the animation controller that plays one set on track 0, processor skinning
// of every skinned container, and the draw of the whole tree through MeshDevice.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <glm/glm.hpp>

#include "graphics/animation.h"
#include "platform/gfx/device.h"
#include "platform/gfx/render_device.h"
#include "platform/model/xfile.h"

namespace graphics {

// A fixed-function material: what the device's lighting uses of a surface.
struct MeshMaterial {
  glm::vec4 diffuse{0.0f};
  glm::vec4 ambient{0.0f};
  glm::vec4 specular{0.0f};
  glm::vec4 emissive{0.0f};
  float power = 0.0f;
};

// What drawing a mesh needs of the rendering device.
class MeshDevice {
 public:
  virtual ~MeshDevice() = default;
  // Reads and parses a model file (a loader may have parsed it ahead on another
  // thread). False, with error set, when it cannot be read or is no model.
  virtual bool LoadModelFile(std::string_view path, platform::model::XModel& out, std::string* error) {
    return platform::model::LoadXFile(path, out, error);
  }
  // Null when the image cannot be read.
  virtual std::unique_ptr<platform::gfx::Texture> CreateTextureFromFile(std::string_view path) = 0;
  virtual void SetWorldTransform(const glm::mat4& world) = 0;
  virtual void SetMaterial(const MeshMaterial& material) = 0;
  // stage 0 or 1; null leaves the stage without a texture.
  virtual void SetTexture(int stage, const platform::gfx::Texture* texture) = 0;
  // Texture coordinates of stage 0 moved by the matrix (2D: (u, v, 1) x matrix); null switches it off.
  virtual void SetTextureTransform(int stage, const glm::mat4* matrix) = 0;
  // A triangle list: indices into vertices.
  virtual void DrawTriangles(const platform::model::XVertex* vertices, size_t vertexCount,
                             const uint32_t* indices, size_t indexCount) = 0;
  // The same triangles from a mesh that stays as loaded: indexCount of the mesh's
  // indices from firstIndex. `geometry` is the mesh's place for what the device keeps
  // of it between draws (empty before the first). By default drawn as DrawTriangles.
  virtual void DrawMeshTriangles(std::unique_ptr<platform::gfx::StaticGeometry>& geometry,
                                 const platform::model::XMesh& mesh, size_t firstIndex, size_t indexCount) {
    (void)geometry;
    DrawTriangles(mesh.vertices.data(), mesh.vertices.size(), mesh.indices.data() + firstIndex, indexCount);
  }
};

// The picture files a hierarchy loaded from path asks its device for, in the order it
// asks (each once): the materials' textures as found beside the model.
std::vector<std::string> ModelPictureFiles(std::string_view path, const platform::model::XModel& model);

// The place a texture pointer is kept (a slot of a texture table of the asset store).
// A hierarchy keeps the slot and reads it at every draw, so it draws with whatever
// the slot holds then.
using TextureSlot = const platform::gfx::Texture* const*;

// One mesh of the file with what drawing it needs.
struct MeshContainer {
  const platform::model::XMesh* mesh = nullptr;
  int frame = -1;
  std::vector<MeshMaterial> materials;  // drawing changes them in place
  std::vector<std::unique_ptr<platform::gfx::Texture>> textures;  // null where none was loaded
  std::vector<int> boneFrames;          // frame of each bone, -1 when no frame has its name
  std::vector<platform::model::XVertex> skinned;  // the working mesh of a skinned container
  std::vector<float> skinScratch;
  // The device's copy of an unskinned mesh, made at its first draw.
  std::unique_ptr<platform::gfx::StaticGeometry> geometry;
  bool IsSkinned() const { return mesh && !mesh->bones.empty(); }
};

class MeshHierarchy {
 public:
  explicit MeshHierarchy(MeshDevice* device);
  ~MeshHierarchy();
  MeshHierarchy(const MeshHierarchy&) = delete;
  MeshHierarchy& operator=(const MeshHierarchy&) = delete;

  // Reads the file; textures named by its materials are looked up beside the model.
  // On failure logs "Could Not Load:" + the file name and returns false.
  bool Load(std::string_view path);
  void Destroy();

  // Advances the animation by elapsedSeconds / speedDivisor (while playing), brings
  // every combined matrix up to date with world as the root's parent, and skins
  // every skinned container.
  void Update(float elapsedSeconds, const glm::mat4& world);
  // Draws the frame, its following siblings and all their descendants.
  void DrawFrame(int frame);
  void DrawAll() { DrawFrame(model_.frames.empty() ? -1 : 0); }

  void SetAnimationSet(uint32_t index);
  std::string GetAnimationSetName(uint32_t index) const;
  void SetAnimationSetByName(std::string_view name);
  // Stage 0: the override texture drawn on every subset; stage 1: the second-stage
  // texture. Other stages are ignored. Null clears.
  void SetTexture(TextureSlot slot, int stage);
  // The local matrix of a direct child of the root frame with exactly this name.
  bool FindFrame(std::string_view name, glm::mat4& matrix) const;

  bool HasFrames() const { return !model_.frames.empty(); }
  bool HasController() const { return controller_ != nullptr; }
  const AnimationController* Controller() const { return controller_.get(); }
  const glm::mat4& CombinedMatrix(int frame) const { return combined_.at(frame); }
  const std::vector<MeshContainer>& Containers() const { return containers_; }
  const platform::model::XModel& Data() const { return model_; }

  // The record's values, read and written by instances and their owners.
  uint32_t currentSet = 0;
  uint32_t setCount = 0;
  float animationTime = 0.0f;  // seconds played in the current set
  uint32_t lastUpdate = 0;     // millisecond clock of the last update
  float period = 0.0f;         // seconds of the current set
  float speedDivisor = 1.0f;
  bool playing = true;
  float alpha = 1.0f;
  glm::vec3 colour{1.0f};
  float emissiveLevel = 0.0f;
  bool emissiveFlag = false;
  glm::vec3 sphereCentre{0.0f};
  float sphereRadius = 0.0f;
  std::u16string fileName;

 private:
  void MakeContainers(const std::string& folder);
  void UpdateFrameMatrices(const glm::mat4& world);
  void SkinContainers();
  void DrawContainer(MeshContainer& container);
  void ComputeBoundingSphere();

  MeshDevice* device_;
  platform::model::XModel model_;
  std::vector<glm::mat4> locals_;
  std::vector<glm::mat4> combined_;
  std::vector<MeshContainer> containers_;
  std::vector<glm::mat4> boneMatrices_;  // scratch sized by the largest bone count
  std::unique_ptr<AnimationController> controller_;
  TextureSlot overrideTexture_ = nullptr;
  TextureSlot secondStageTexture_ = nullptr;
};

}  // namespace graphics
