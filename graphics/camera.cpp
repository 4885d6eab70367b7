// Camera view matrices from yaw, pitch and roll.
#include "graphics/camera.h"

namespace graphics {

namespace gfx = platform::gfx;

gfx::Matrix Camera::GetViewMatrix() {
  up = glm::vec3(0.0f, 1.0f, 0.0f);
  look = glm::vec3(0.0f, 0.0f, 1.0f);
  right = glm::vec3(1.0f, 0.0f, 0.0f);
  gfx::Matrix yawTurn = gfx::Matrix::RotationAxis(up, yaw);
  look = gfx::TransformCoord(look, yawTurn);
  right = gfx::TransformCoord(right, yawTurn);
  gfx::Matrix pitchTurn = gfx::Matrix::RotationAxis(right, pitch);
  up = gfx::TransformCoord(up, pitchTurn);
  look = gfx::TransformCoord(look, pitchTurn);
  gfx::Matrix rollTurn = gfx::Matrix::RotationAxis(look, roll);
  right = gfx::TransformCoord(right, rollTurn);
  up = gfx::TransformCoord(up, rollTurn);
  gfx::Matrix v;
  v.at(1, 1) = right.x; v.at(1, 2) = up.x; v.at(1, 3) = look.x;
  v.at(2, 1) = right.y; v.at(2, 2) = up.y; v.at(2, 3) = look.y;
  v.at(3, 1) = right.z; v.at(3, 2) = up.z; v.at(3, 3) = look.z;
  v.at(4, 1) = -glm::dot(position, right);
  v.at(4, 2) = -glm::dot(position, up);
  v.at(4, 3) = -glm::dot(position, look);
  return v * gfx::Matrix::RotationY(stereoAngle);
}

std::unique_ptr<Cameras> CreateCameras() {
  auto c = std::make_unique<Cameras>();
  for (auto& cam : c->all) cam = std::make_unique<Camera>();
  c->Get(CameraId::kBoard)->fovDivisor = 5.0f;
  Camera* fourth = c->Get(CameraId::kFourth);
  fourth->position = glm::vec3(0.0f);
  fourth->yaw = fourth->pitch = fourth->roll = 0.0f;
  fourth->fovDivisor = 5.0f;
  return c;
}

}  // namespace graphics
