// One placed mesh hierarchy: position, scale, a rotation about a pivot and an extra
// matrix put it in the world, and Update advances, places and draws it once per
// frame. The asset store keeps one instance per model slot and re-places it before
// every draw of that model.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include <glm/glm.hpp>

#include "graphics/mesh_hierarchy.h"
#include "graphics/transform.h"

namespace graphics {

class MeshInstance {
 public:
  explicit MeshInstance(MeshDevice* device = nullptr) : device_(device) {}
  ~MeshInstance();
  MeshInstance(const MeshInstance&) = delete;
  MeshInstance& operator=(const MeshInstance&) = delete;

  void SetDevice(MeshDevice* device) { device_ = device; }
  // Replaces any hierarchy with the file's; on failure the instance is left empty.
  bool Load(std::string_view path);
  // The per-frame step: advance, place and draw. Nothing happens without a hierarchy.
  void Update(bool force);

  MeshHierarchy* Hierarchy() { return hierarchy_.get(); }
  const MeshHierarchy* Hierarchy() const { return hierarchy_.get(); }

  // S(scale) x T(-pivot) x Rx x Ry x Rz x T(pivot) x T(position) x extra, scale first.
  glm::mat4 WorldMatrix() const;

  // Takes the three angles by name: the record keeps them in the order y, x, z, so
  // copying a rotation triple as a block would swap yaw and pitch.
  void SetRotation(float x, float y, float z) {
    rotationX = x;
    rotationY = y;
    rotationZ = z;
  }
  // Position, scale and rotation of a transform, each by name (the pivot stays).
  void PlaceAt(const Transform& t) {
    position = t.position;
    scale = t.scale;
    SetRotation(t.rotation.x, t.rotation.y, t.rotation.z);
  }

  glm::vec3 position{0.0f};
  glm::vec3 scale{1.0f};
  glm::vec3 pivot{0.0f};
  float rotationY = 0.0f;
  float rotationX = 0.0f;
  float rotationZ = 0.0f;
  glm::mat4 extra{1.0f};
  bool loop = false;           // false: the end of the set is acted on
  bool updatePending = true;   // the next update brings the frames up to date even when stopped
  std::function<void(MeshInstance&)> endCallback;

 private:
  MeshDevice* device_;
  std::unique_ptr<MeshHierarchy> hierarchy_;
};

}  // namespace graphics
