// The stage background: its models, objects and copies, the camera cycle and the
// energy activation of the animated objects.
#include "graphics/stage.h"

#include "core/log.h"
#include "core/utils.h"
#include "game/player.h"
#include "platform/clock.h"
#include "platform/gfx/render_device.h"

namespace graphics {

const std::array<StageShot, kStageShots> kStageShotTable = {{
    {0.0f, 75.0f, -300.0f, 0.0f, 0.12f},
    {-134.0f, -60.0f, 435.0f, 0.48f, 5.64f},
    {67.0f, -89.0f, -638.0f, 3.08f, 0.12f},
    {453.3f, -115.5f, -311.8f, 5.85f, 6.2f},
    {-85.0f, 239.0f, 1134.0f, 3.12f, 0.28f},
    {-357.6f, 444.0f, -851.0f, 0.28f, 0.36f},
    {1011.0f, 391.0f, 269.5f, 5.08f, 0.44f},
}};

void SplitStageFrameName(const std::string& name, std::string& first, std::string& second, std::string& rest) {
  first.clear();
  second.clear();
  rest.clear();
  const size_t d1 = name.find('-');
  if (d1 == std::string::npos) return;
  const size_t d2 = name.find('-', d1 + 1);
  first = name.substr(d1 + 1, d2 == std::string::npos ? std::string::npos : d2 - d1 - 1);
  if (d2 == std::string::npos) return;
  const size_t d3 = name.find('-', d2 + 1);
  second = name.substr(d2 + 1, d3 == std::string::npos ? std::string::npos : d3 - d2 - 1);
  if (d3 != std::string::npos) rest = name.substr(d3 + 1);
}

namespace {

// The frames directly under the layout model's root, in sibling order.
template <class Fn>
void ForEachTopFrame(const MeshInstance& layout, Fn&& fn) {
  const MeshHierarchy* h = layout.Hierarchy();
  if (!h || !h->HasFrames()) return;
  const auto& frames = h->Data().frames;
  for (int c = frames[0].firstChild; c >= 0; c = frames[size_t(c)].nextSibling) fn(frames[size_t(c)].name);
}

void PlayOnce(MeshInstance& instance, const char* set, void (*onEnd)(MeshInstance&)) {
  instance.loop = false;
  if (MeshHierarchy* h = instance.Hierarchy()) h->SetAnimationSetByName(set);
  instance.endCallback = onEnd;
}

void OnActivateEnd(MeshInstance& instance) {
  instance.loop = true;
  if (MeshHierarchy* h = instance.Hierarchy()) h->SetAnimationSetByName("active");
}

void OnDeactivateEnd(MeshInstance& instance) {
  instance.loop = true;
  if (MeshHierarchy* h = instance.Hierarchy()) h->SetAnimationSetByName("unactive");
}

}  // namespace

Stage::Stage(int32_t detail, MeshDevice* meshDevice, platform::gfx::RenderDevice* device, Camera* camera,
             std::u16string root)
    : meshDevice_(meshDevice), device_(device), camera_(camera), root_(std::move(root)), detail_(detail) {
  Load();
  SetupLight();
}

Stage::~Stage() {
  objects_.clear();
  instances_.clear();
}

std::string Stage::StageFolder() const { return ToNarrow(root_) + "data/backgrounds/stage/"; }

void Stage::Load() {
  const std::string folder = StageFolder();
  for (auto& instance : fixed_) instance.SetDevice(meshDevice_);
  fixed_[0].Load(folder + "background.X");
  fixed_[0].loop = true;
  const char* layout = detail_ == 1 ? "dummy_low.X" : detail_ == 2 ? "dummy_medium.X" : detail_ == 3 ? "dummy_high.X"
                                                                                                      : nullptr;
  if (layout) fixed_[1].Load(folder + layout);
  fixed_[1].loop = true;
  fixed_[2].Load(folder + "cat_medium.X");
  fixed_[2].loop = true;
  LoadObjects();
  LoadCopies();
}

void Stage::LoadObjects() {
  const std::string folder = StageFolder();
  ForEachTopFrame(fixed_[1], [&](const std::string& name) {
    if (name.find("DO-") == std::string::npos) return;
    if (objects_.size() >= size_t(kMaxStageObjects) || instances_.size() >= size_t(kMaxStageObjects)) {
      LogNarrow("Too Many Stage Objects, Skipped: " + name);
      return;
    }
    std::string model, key, flags;
    SplitStageFrameName(name, model, key, flags);
    if (model.empty()) {
      LogNarrow("Stage Object Without A Model Name, Skipped: " + name);
      return;
    }
    auto instance = std::make_unique<MeshInstance>(meshDevice_);
    instance->Load(folder + model + ".X");
    auto object = std::make_unique<StageObject>();
    object->instance = instance.get();
    object->rawName = name;
    object->parentName = key;
    for (char c : flags) {
      if (c == 'a') object->animated = true;
      if (c == 'b') object->flagB = true;
      if (c == 'c') object->flagC = true;
    }
    instances_.push_back(std::move(instance));
    objects_.push_back(std::move(object));
  });
}

void Stage::LoadCopies() {
  ForEachTopFrame(fixed_[1], [&](const std::string& name) {
    if (name.find("IO-") == std::string::npos) return;
    if (objects_.size() >= size_t(kMaxStageObjects)) {
      LogNarrow("Too Many Stage Objects, Skipped: " + name);
      return;
    }
    std::string key, second, rest;
    SplitStageFrameName(name, key, second, rest);
    auto object = std::make_unique<StageObject>();
    const StageObject* source = nullptr;
    for (const auto& o : objects_) {
      if (o->parentName == key) {
        source = o.get();
        break;
      }
    }
    if (source) {
      *object = *source;
      object->copy = true;
      object->rawName = name;
    } else {
      LogNarrow("ERROR: Could Not Find Parent Object: " + key);
    }
    // The new key is everything after the second dash.
    const size_t d1 = name.find('-');
    const size_t d2 = d1 == std::string::npos ? std::string::npos : name.find('-', d1 + 1);
    object->parentName = d2 == std::string::npos ? std::string() : name.substr(d2 + 1);
    objects_.push_back(std::move(object));
  });
}

void Stage::SetupLight() {
  if (!device_) return;
  platform::gfx::Light light;
  light.type = platform::gfx::LightType::kPoint;
  light.diffuse = platform::gfx::Vec4(1.0f);
  light.specular = platform::gfx::Vec4(0.0f);
  light.ambient = platform::gfx::Vec4(0.0f);
  light.position = platform::gfx::Vec3(0.0f, 0.0f, 600.0f);
  light.range = 3000.0f;
  light.attenuation0 = 1.0f;
  light.attenuation1 = 0.0f;
  light.attenuation2 = 0.0f;
  device_->SetLight(2, light);
}

void Stage::Update() {
  if (!eventsOff) CameraCycle();
  UpdateActivation();
}

void Stage::Draw() {
  fixed_[1].Update(false);
  const MeshHierarchy* layout = fixed_[1].Hierarchy();
  for (const auto& object : objects_) {
    MeshInstance* instance = object->instance;
    if (!instance) continue;
    glm::mat4 matrix(1.0f);
    if (layout && layout->FindFrame(object->rawName, matrix)) instance->extra = matrix;
    instance->rotationZ = roll;
    instance->Update(false);
  }
  fixed_[0].Update(false);
}

void Stage::CameraCycle() {
  const uint32_t now = platform::TimeGetTime();
  if (shotTimer_ == 0) shotTimer_ = now;
  if (now - shotTimer_ >= kStageShotMs) {
    shotTimer_ = now;
    shotIndex_ = shotIndex_ >= kStageShots - 1 ? 0 : shotIndex_ + 1;
  }
  if (activated_) {
    shotTimer_ = now;
    shotIndex_ = kStageHeldShot;
  }
  if (!camera_) return;
  const StageShot& shot = kStageShotTable[size_t(shotIndex_)];
  camera_->position = glm::vec3(shot.x, shot.y, shot.z);
  camera_->yaw = shot.yaw;
  camera_->pitch = shot.pitch;
  camera_->roll = 0.0f;
  camera_->fovDivisor = 5.0f;
}

void Stage::UpdateActivation() {
  bool active = forcedActive;
  for (int32_t i = 0; players_ && i < playerCount_ && !active; ++i) active = players_[i].score().energyActive;
  if (active == activated_) return;
  activated_ = active;
  for (const auto& object : objects_) {
    if (!object->animated || object->copy || !object->instance) continue;
    if (active) {
      PlayOnce(*object->instance, "activate", OnActivateEnd);
    } else {
      PlayOnce(*object->instance, "deactivate", OnDeactivateEnd);
    }
  }
}

void Stage::DeactivateAll() {
  const uint32_t now = platform::TimeGetTime();
  for (const auto& instance : instances_) {
    instance->endCallback = nullptr;
    instance->updatePending = true;
    instance->loop = true;
    if (MeshHierarchy* h = instance->Hierarchy()) {
      h->lastUpdate = now;
      h->SetAnimationSet(0);
      h->SetAnimationSetByName("unactive");
    }
  }
  activated_ = false;
  forcedActive = false;
}

}  // namespace graphics
