// The small full-screen texts drawn over the game (average delay, version, frame
// rate, debug lines) and the two viewers of the start-up states 9 and 10.
#include <cmath>
#include <memory>
#include <string>

#include "core/settings.h"
#include "core/version.h"
#include "devices/audio/song_audio.h"
#include "game/level/level.h"
#include "graphics/frame_internal.h"
#include "graphics/frame_render.h"
#include "graphics/model.h"
#include "graphics/render_layers.h"
#include "graphics/render_mesh_device.h"
#include "graphics/scene_context.h"
#include "graphics/shell_services.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace graphics {

namespace gfx = platform::gfx;

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kViewerGrey = 0xFF646464u;
constexpr const char* kViewerModelFile = "themes/default/static/notes/Note_Dance_Blue.X";

struct OverlayState {
  FpsCounter fps;
  // The viewer model draws through the device of the frame it was made in, and is made
  // again (keeping its place and turn) when that device is remade.
  std::unique_ptr<RenderMeshDevice> viewerDevice;
  std::unique_ptr<Model> viewerModel;
  bool viewerStarted = false;
  bool viewerRemake = false;
  bool stageViewerStarted = false;
};

OverlayState& O() {
  static OverlayState state;
  return state;
}

std::string Num(double value) { return platform::FormatNumber(value); }
std::string Num(float value) { return platform::FormatNumber(value); }

const Player* FirstPlayer() {
  const LevelState& level = Level();
  return level.players && level.playerCount > 0 ? &level.players[0] : nullptr;
}

// The song position the debug lines show: the audio's when it keeps the time.
double SongPositionMs() {
  if (g_Settings.SYNCMETHOD == 2) {
    SongAudio* audio = Session().CurrentAudio();
    if (audio) return audio->GetPositionMs(false);
  }
  const LevelState& level = Level();
  return level.clock ? level.clock->GetSongTime() : 0.0;
}

void DebugLine(gfx::SystemFont* font, float y, const std::string& text) {
  DrawTextAnchored(font, kWhite, text, 10.0f, y, 0.0f, 0.0f);
}

void EnableViewLights(gfx::RenderDevice& device) {
  for (int light = 0; light < 3; ++light) device.LightEnable(light, true);
}

}  // namespace

void FpsCounter::Tick(uint32_t nowMs) {
  ++frames;
  const uint32_t elapsed = nowMs - mark;
  if (elapsed > 1000) {
    rate = static_cast<float>(frames) / (static_cast<float>(elapsed) / 1000.0f);
    frames = 0;
    mark = nowMs;
  }
}

std::string AverageDelayText(double delaySum, int32_t hitCount) {
  if (delaySum == 0.0 || hitCount <= 0) return "Avg Delay: 0";
  return "Avg Delay: " + std::to_string(static_cast<long long>(std::floor(delaySum / hitCount)));
}

void DrawAverageDelay() {
  gfx::RenderDevice* device = frame::Device();
  if (!device) return;
  device->Clear(gfx::clear::kZBuffer, 0, 1.0f, 0);
  gfx::Sprite* sprite = frame::SharedSprite();
  if (sprite) sprite->Begin(gfx::sprite_flags::kAlphaBlend);
  const SceneContext* scene = CurrentSceneContext();
  const bool practice = scene && scene->practice;
  if (g_Settings.SHOWAVERAGEDELAY && !practice) {
    const Player* first = FirstPlayer();
    const std::string text = first ? AverageDelayText(first->hitDelaySum, first->hitDelayCount) : "Avg Delay: 0";
    DrawTextAnchored(OverlayFont(1), kWhite, text, float(frame::RenderWidth() / 2), 100.0f, 50.0f, 50.0f);
  }
  if (g_Settings.SHOWVERSION) {
    const uint32_t t = platform::TimeGetTime();
    const uint32_t colour = gfx::Argb(180, (t / 100) % 255, (t / 180) % 120, (t / 160) % 255);
    DrawTextAnchored(OverlayFont(1), colour, "v" + Num(kGameVersion), 5.0f, float(frame::RenderHeight()), 0.0f,
                     100.0f);
  }
  if (sprite) sprite->End();
}

void DrawPlayOverlays() {
  gfx::RenderDevice* device = frame::Device();
  if (!device) return;
  DrawAverageDelay();
  device->Clear(gfx::clear::kZBuffer, 0, 1.0f, 0);
  Layers().RenderInGameMenus();
  if (g_Settings.DEBUGMODE) DrawDebugInfo();
  if (g_Settings.DRAWFPS) DrawFps();
}

void DrawFps() {
  OverlayState& o = O();
  o.fps.Tick(platform::TimeGetTime());
  DrawTextAnchored(OverlayFont(1), kWhite, std::to_string(o.fps.Shown(frame::Stereo())), 0.0f, 0.0f, 0.0f, 0.0f);
}

void DrawDebugInfo() {
  gfx::SystemFont* small = OverlayFont(0);
  if (const Camera* stage = frame::GetCamera(CameraId::kStage)) {
    DebugLine(small, 20.0f, "Position X: " + Num(stage->position.x) + " Y: " + Num(stage->position.y) +
                                " Z: " + Num(stage->position.z));
    DebugLine(small, 40.0f, "Yaw: " + Num(stage->yaw) + " Pitch: " + Num(stage->pitch) + " Roll: " + Num(stage->roll));
  }
  const SceneContext* scene = CurrentSceneContext();
  DebugLine(small, 50.0f, "Debug: " + Num(scene ? scene->half : 0.0f));
  // The song and player lines exist only while a level does.
  const Player* first = FirstPlayer();
  const LevelState& level = Level();
  if (!first) return;
  DebugLine(small, 60.0f, "Tick Count: " + Num(SongPositionMs()));
  const double average = first->hitDelayCount > 0 ? first->hitDelaySum / first->hitDelayCount : 0.0;
  DebugLine(small, 70.0f, "Average Delay: " + Num(average + g_Settings.AUDIOCALIBRATION));
  DebugLine(small, 80.0f, "Raw Tick Count: " + Num(level.clock ? level.clock->RawTime() : 0.0));
  DebugLine(small, 90.0f, "Current Beat: " + Num(first->track.currentBeat));
  if (first->strumFlag) DebugLine(small, 100.0f, "HOPO ALLOWED");

  const int32_t count = level.playerCount;
  if (count <= 0) return;
  const int32_t column = frame::RenderWidth() / count;
  const float height = float(frame::RenderHeight());
  gfx::SystemFont* large = OverlayFont(1);
  for (int32_t i = 0; i < count; ++i) {
    const PlayerScore& s = level.players[size_t(i)].score();
    const float x = float(i * column + column / 2);
    DrawTextAnchored(large, kWhite, "Chunks: " + std::to_string(s.stepHits), x, height - 20.0f, 50.0f, 50.0f);
    DrawTextAnchored(large, kWhite, "Multiplier: " + std::to_string(s.multiplier), x, height - 35.0f, 50.0f, 50.0f);
    DrawTextAnchored(large, kWhite, "Score: " + std::to_string(static_cast<long long>(s.score)), x, height - 50.0f,
                     50.0f, 50.0f);
    DrawTextAnchored(large, kWhite, "Velorin: " + Num(s.energy), x, height - 65.0f, 50.0f, 50.0f);
    DrawTextAnchored(large, kWhite, "Rock Meter: " + Num(s.rockMeter), x, height - 80.0f, 50.0f, 50.0f);
    DrawTextAnchored(large, kWhite, "Combo: " + std::to_string(s.streak), x, height - 95.0f, 50.0f, 50.0f);
  }
}

void RenderModelViewer() {
  gfx::RenderDevice* device = frame::Device();
  Camera* camera = frame::GetCamera(CameraId::kFreeLook);
  if (!device || !camera) return;
  OverlayState& o = O();
  if (!o.viewerStarted || o.viewerRemake) {
    const bool remake = o.viewerStarted;
    o.viewerStarted = true;
    o.viewerRemake = false;
    o.viewerDevice = std::make_unique<RenderMeshDevice>(device);
    auto model = std::make_unique<Model>(o.viewerDevice.get());
    if (o.viewerModel) model->transform = o.viewerModel->transform;
    o.viewerModel = std::move(model);
    if (o.viewerModel->LoadFromX(kViewerModelFile)) SetNoteViewModel(&o.viewerModel->transform, remake);
    if (!remake) {
      camera->position = glm::vec3(0.0f, 0.0f, -500.0f);
      SyncFreeLookFromCamera(*camera);
    }
  }
  ApplyFreeLookToCamera(*camera);
  ApplyNoteViewTurn();
  EnableViewLights(*device);
  camera->fovDivisor = 5.0f;
  frame::SetPerspective(5.0f, 10000.0f, frame::Aspect());
  device->SetTransform(gfx::TransformKind::kView, camera->GetViewMatrix());
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, frame::kOpaqueBlack, 1.0f, 0);
  if (o.viewerModel) o.viewerModel->Render();
  if (g_Settings.DEBUGMODE) DrawDebugInfo();
  if (g_Settings.DRAWFPS) DrawFps();
}

void RenderStageViewer() {
  gfx::RenderDevice* device = frame::Device();
  Camera* camera = frame::GetCamera(CameraId::kStage);
  if (!device || !camera) return;
  OverlayState& o = O();
  if (!o.stageViewerStarted) {
    // The scene context of start-up serves the viewer too: a second one would
    // leave the first behind with its fonts.
    o.stageViewerStarted = true;
    camera->position = glm::vec3(0.0f);
    camera->yaw = camera->pitch = camera->roll = 0.0f;
    camera->fovDivisor = 5.0f;
  }
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, kViewerGrey, 1.0f, 0);
  EnableViewLights(*device);
  frame::SetPerspective(camera->fovDivisor, 5000.0f, frame::Aspect());
  device->SetTransform(gfx::TransformKind::kView, camera->GetViewMatrix());
  Layers().StageViewerStep();
}

namespace frame {
void ReleaseViewerModel() {
  OverlayState& o = O();
  SetNoteViewModel(nullptr);
  if (o.viewerModel) o.viewerModel->Release();
  o.viewerModel.reset();
  o.viewerDevice.reset();
  o.viewerStarted = false;
  o.viewerRemake = false;
  o.stageViewerStarted = false;
}

void RemakeViewerModel() {
  OverlayState& o = O();
  if (!o.viewerModel) return;
  // Its textures go with the old device; the placement stays for the new model.
  SetNoteViewModel(nullptr, true);
  o.viewerModel->Release();
  o.viewerRemake = true;
}
}  // namespace frame

}  // namespace graphics
