// The 3D stage behind the boards: a venue, a layout model whose top-level frames
// place the stage objects ("DO-<model>-<key>-<flags>" loads <model>.X, "IO-<key>-
// <newkey>" shares the instance of the first object keyed <key>), a camera that cuts
// between seven shots every 8 seconds, and animated objects that play "activate"
// then "active" while any player's energy runs (the camera then holds shot 4), and
// "deactivate" then "unactive" when it ends. Everything runs on the millisecond
// clock, so the stage keeps moving while a song is paused.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/camera.h"
#include "graphics/mesh_instance.h"
#include "graphics/transform.h"

class Player;

namespace platform::gfx {
class RenderDevice;
}

namespace graphics {

struct StageObject {
  MeshInstance* instance = nullptr;  // shared with its source for "IO-" copies; not owned
  Transform placement;
  std::string rawName = "No Raw Name";
  std::string parentName = "No Parent Name";
  std::string friendlyName = "No Friendly Name";
  bool animated = false;  // "a": takes part in activation
  bool copy = false;      // an "IO-" copy never switches animation itself
  bool flagC = false;
  bool flagB = false;
};

// One camera shot: position, yaw and pitch.
struct StageShot {
  float x, y, z, yaw, pitch;
};
inline constexpr int kStageShots = 7;
extern const std::array<StageShot, kStageShots> kStageShotTable;
inline constexpr uint32_t kStageShotMs = 8000;
inline constexpr int kStageHeldShot = 4;
inline constexpr int kMaxStageObjects = 300;

class Stage {
 public:
  // Loads the stage's models from `root` + "data/backgrounds/stage/" (root is the
  // program folder, with its '/'), with the layout of detail 1 low, 2 medium, 3 high
  // (any other detail loads no layout), and sets the light up on `device`.
  Stage(int32_t detail, MeshDevice* meshDevice, platform::gfx::RenderDevice* device, Camera* camera,
        std::u16string root = std::u16string());
  ~Stage();
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;

  // Light 2: a white point light at (0, 0, 600), range 3000, not enabled. Again
  // after every device reset.
  void SetupLight();
  // Once per gameplay frame: the camera cycle (unless events are off), then activation.
  void Update();
  void Draw();
  void CameraCycle();
  void UpdateActivation();
  // Every object back to "unactive" (a new level, the stage viewer).
  void DeactivateAll();

  void SetPlayers(Player* players, int32_t count) {
    players_ = players;
    playerCount_ = count;
  }
  void SetCamera(Camera* camera) { camera_ = camera; }
  void SetDevice(platform::gfx::RenderDevice* device) { device_ = device; }

  int32_t Detail() const { return detail_; }
  bool Activated() const { return activated_; }
  int32_t ObjectCount() const { return int32_t(objects_.size()); }
  int32_t InstanceCount() const { return int32_t(instances_.size()); }
  const StageObject& Object(int32_t i) const { return *objects_.at(size_t(i)); }
  MeshInstance& Fixed(int i) { return fixed_.at(size_t(i)); }
  int ShotIndex() const { return shotIndex_; }
  uint32_t ShotTimer() const { return shotTimer_; }

  bool forcedActive = false;
  float roll = 0.0f;
  bool eventsOff = false;

 private:
  void Load();
  void LoadObjects();
  void LoadCopies();
  std::string StageFolder() const;

  MeshDevice* meshDevice_;
  platform::gfx::RenderDevice* device_;
  Camera* camera_;
  std::u16string root_;
  Player* players_ = nullptr;
  int32_t playerCount_ = 0;
  std::array<MeshInstance, 8> fixed_;  // 0 venue, 1 layout, 2 prop
  std::vector<std::unique_ptr<MeshInstance>> instances_;
  std::vector<std::unique_ptr<StageObject>> objects_;
  int32_t detail_;
  bool activated_ = false;
  uint32_t shotTimer_ = 0;
  int shotIndex_ = 0;
};

// Splits "DO-<model>-<key>-<flags>" (or "IO-<key>-<newkey>") at its dashes: the
// text between the first and the second, between the second and the third, and
// after the third. Missing parts are empty.
void SplitStageFrameName(const std::string& name, std::string& first, std::string& second, std::string& rest);

}  // namespace graphics
