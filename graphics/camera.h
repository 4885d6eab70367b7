// The view cameras: a position and yaw, pitch and roll angles from which the view
// matrix is built each time a view is set, plus the toe-in angle of a stereo eye.
// Five are made at start-up and live for the whole run.
#pragma once

#include <array>
#include <memory>

#include <glm/glm.hpp>

#include "platform/gfx/matrix.h"

namespace graphics {

struct Camera {
  glm::vec3 position{0.0f};
  float yaw = 0.0f;
  float pitch = 0.0f;
  float roll = 0.0f;
  glm::vec3 up{0.0f, 1.0f, 0.0f};
  glm::vec3 look{0.0f, 0.0f, 1.0f};
  glm::vec3 right{1.0f, 0.0f, 0.0f};
  float stereoScale = 0.0f;
  float stereoAngle = 0.0f;  // radians about the world Y axis, after the view
  float stereoReserved = 0.0f;
  float fovDivisor = 0.0f;   // vertical field of view is pi / divisor; set before use

  // Rebuilds the three axes from the angles and returns the view matrix.
  platform::gfx::Matrix GetViewMatrix();
};

enum class CameraId { kBoard = 0, kStage = 1, kFreeLook = 2, kFourth = 3, kFifth = 4 };

struct Cameras {
  std::array<std::unique_ptr<Camera>, 5> all;
  Camera* Get(CameraId id) const { return all[size_t(id)].get(); }
};

// Board camera with divisor 5; stage and free-look cameras; a fourth one zeroed with
// divisor 5; a fifth one.
std::unique_ptr<Cameras> CreateCameras();

}  // namespace graphics
