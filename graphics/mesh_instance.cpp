// The per-frame step of a placed mesh hierarchy.
#include "graphics/mesh_instance.h"

#include <glm/gtc/matrix_transform.hpp>

#include "platform/clock.h"

namespace graphics {

MeshInstance::~MeshInstance() {
  if (hierarchy_) hierarchy_->Destroy();
}

bool MeshInstance::Load(std::string_view path) {
  if (hierarchy_) hierarchy_->Destroy();
  hierarchy_ = std::make_unique<MeshHierarchy>(device_);
  if (!hierarchy_->Load(path)) {
    hierarchy_.reset();
    return false;
  }
  hierarchy_->SetAnimationSet(0);
  return true;
}

glm::mat4 MeshInstance::WorldMatrix() const {
  const glm::mat4 identity(1.0f);
  // Written in glm's order: the rightmost factor applies first.
  return extra * glm::translate(identity, position) * glm::translate(identity, pivot) *
         glm::rotate(identity, rotationZ, glm::vec3(0, 0, 1)) * glm::rotate(identity, rotationY, glm::vec3(0, 1, 0)) *
         glm::rotate(identity, rotationX, glm::vec3(1, 0, 0)) * glm::translate(identity, -pivot) *
         glm::scale(identity, scale);
}

void MeshInstance::Update(bool force) {
  if (!hierarchy_) return;
  const uint32_t now = platform::TimeGetTime();
  const float elapsed = static_cast<float>(static_cast<uint32_t>(now - hierarchy_->lastUpdate)) * 0.001f;
  hierarchy_->lastUpdate = now;
  const glm::mat4 world = WorldMatrix();

  if (updatePending) hierarchy_->Update(elapsed, world);

  MeshHierarchy* h = hierarchy_.get();
  if (!loop && elapsed / h->speedDivisor + h->animationTime >= h->period) {
    if (endCallback) {
      endCallback(*this);
      h = hierarchy_.get();  // the callback may have loaded another file
      if (!h) return;
    } else {
      h->playing = false;
    }
  }
  if ((h->playing && !updatePending) || force) h->Update(elapsed, world);
  if (h->alpha > 0.0f && h->HasFrames()) h->DrawAll();
  updatePending = false;
}

}  // namespace graphics
