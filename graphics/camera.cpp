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

void Camera::SetStereoEye(Camera& camera, int32_t stereoMethod, const glm::vec3& position, float yaw,
                          float pitch, float roll, float separation, int32_t eye, float angleDegrees) {
  constexpr float kRadiansPerDegree = 0.017453292f;
  camera.position = position;
  camera.yaw = yaw;
  camera.pitch = pitch;
  camera.roll = roll;
  camera.stereoScale = 1.0f;
  camera.stereoReserved = 0.0f;
  if (stereoMethod == 0) {
    camera.stereoAngle = 0.0f;
    return;
  }
  const float side = eye == 0 ? -1.0f : 1.0f;
  camera.position.x = position.x + side * separation;
  camera.stereoAngle = side * angleDegrees * kRadiansPerDegree;
}

// Height, distance back and downward tilt of each neck angle. Presets 5 and 7 sit
// further back than the ones before them.
const CameraPresetRow kCameraPresets[kCameraPresetCount] = {
    {180.0f, -403.0f, 0.22f}, {225.0f, -353.0f, 0.38f}, {245.0f, -333.0f, 0.46f}, {265.0f, -318.0f, 0.54f},
    {292.0f, -298.0f, 0.62f}, {325.0f, -303.0f, 0.66f}, {390.0f, -328.0f, 0.70f}, {520.0f, -323.0f, 0.82f},
    {760.0f, -233.0f, 1.06f}, {1015.0f, -38.0f, 1.30f},
};

bool SetCameraPreset(BoardCameraPose& pose, int32_t preset, bool flipped) {
  if (preset < 0 || preset >= kCameraPresetCount) return true;
  const CameraPresetRow& row = kCameraPresets[preset];
  pose.position = glm::vec3(0.0f, row.y, row.z);
  pose.yaw = 0.0f;
  pose.pitch = row.pitch;
  pose.roll = flipped ? 3.1415927f : 0.0f;
  return true;
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
