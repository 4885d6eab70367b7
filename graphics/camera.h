// The view cameras: a position and yaw, pitch and roll angles from which the view
// matrix is built each time a view is set, plus the toe-in angle of a stereo eye.
// Five are made at start-up and live for the whole run.
#pragma once

#include <array>
#include <cstdint>
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

  // Places the camera for one eye of a pass: position and angles as given; with a
  // stereo method (not 0) eye 0 moves left by `separation` and turns in by
  // -angleDegrees, any other eye moves right and turns by +angleDegrees.
  static void SetStereoEye(Camera& camera, int32_t stereoMethod, const glm::vec3& position, float yaw,
                           float pitch, float roll, float separation, int32_t eye, float angleDegrees);
};

// Where a board's camera sits: the pose of the profile's neck angle, which the
// gameplay render may offset per board before placing the board camera.
struct BoardCameraPose {
  float yaw = 0.0f;
  float pitch = 0.0f;
  float roll = 0.0f;
  glm::vec3 position{0.0f};
};

// One row of the neck-angle presets (position x and yaw are always 0).
struct CameraPresetRow {
  float y;
  float z;
  float pitch;  // radians
};
inline constexpr int32_t kCameraPresetCount = 10;
extern const CameraPresetRow kCameraPresets[kCameraPresetCount];

// Writes the preset's pose; roll pi when the board is shown upside down. A preset
// outside 0..9 (a profile file may hold anything) leaves the pose as it was.
bool SetCameraPreset(BoardCameraPose& pose, int32_t preset, bool flipped);

enum class CameraId { kBoard = 0, kStage = 1, kFreeLook = 2, kFourth = 3, kFifth = 4 };

struct Cameras {
  std::array<std::unique_ptr<Camera>, 5> all;
  Camera* Get(CameraId id) const { return all[size_t(id)].get(); }
};

// Board camera with divisor 5; stage and free-look cameras; a fourth one zeroed with
// divisor 5; a fifth one.
std::unique_ptr<Cameras> CreateCameras();

}  // namespace graphics
