// The level's video background and the stage, plugged into the level and the frame.
#include "graphics/play_backgrounds.h"

#include <mutex>
#include <thread>
#include <vector>

#include "core/settings.h"
#include "game/level/level_session.h"
#include "graphics/camera.h"
#include "graphics/game_assets.h"
#include "graphics/render_layers.h"
#include "graphics/scene_context.h"
#include "graphics/video_render_device.h"
#include "platform/gfx/render_device.h"

namespace graphics {

namespace gfx = platform::gfx;

namespace {

struct Backgrounds {
  std::thread::id mainThread;
  std::recursive_mutex mutex;
  std::unique_ptr<VideoTexture> video;
  DynamicTexture* videoSlot = nullptr;
  // Videos deleted off the main thread: their textures go with the next frame.
  std::vector<std::unique_ptr<VideoTexture>> retired;
  std::unique_ptr<RenderDeviceVideoTextures> textures;
  gfx::RenderDevice* texturesDevice = nullptr;
  std::unique_ptr<Stage> stage;
  bool viewerStarted = false;
};

Backgrounds& B() {
  static Backgrounds backgrounds;
  return backgrounds;
}

bool OnMainThread() { return std::this_thread::get_id() == B().mainThread; }

DynamicTextureDevice* VideoDevice() {
  Backgrounds& b = B();
  gfx::RenderDevice* device = Globals().device;
  if (!device) return nullptr;
  if (!b.textures || b.texturesDevice != device) {
    b.textures = std::make_unique<RenderDeviceVideoTextures>(*device);
    b.texturesDevice = device;
  }
  return b.textures.get();
}

void DeleteVideo() {
  Backgrounds& b = B();
  std::lock_guard<std::recursive_mutex> lock(b.mutex);
  if (!b.video) return;
  if (OnMainThread()) {
    b.video.reset();
  } else {
    b.retired.push_back(std::move(b.video));
  }
  b.videoSlot = nullptr;
}

// Opens a looping, silent video from the start to its end; it stays stopped until
// the song starts.
bool LoadVideo(const std::u16string& path) {
  Backgrounds& b = B();
  std::lock_guard<std::recursive_mutex> lock(b.mutex);
  DeleteVideo();
  auto video = std::make_unique<VideoTexture>();
  if (!video->CreateVideoTexture(VideoDevice(), true, &b.videoSlot, 0, 0, path)) {
    b.videoSlot = nullptr;
    if (OnMainThread()) {
      video.reset();
    } else {
      b.retired.push_back(std::move(video));
    }
    return false;
  }
  video->SetVolume(kMutedVolume);
  b.video = std::move(video);
  return true;
}

const gfx::Texture* VideoFrame() {
  Backgrounds& b = B();
  std::lock_guard<std::recursive_mutex> lock(b.mutex);
  b.retired.clear();
  if (!b.video) return nullptr;
  b.video->Update();
  auto* texture = static_cast<RenderDeviceVideoTexture*>(b.videoSlot);
  return texture ? texture->DeviceTexture() : nullptr;
}

template <class Fn>
void WithVideo(Fn&& fn) {
  Backgrounds& b = B();
  std::lock_guard<std::recursive_mutex> lock(b.mutex);
  if (b.video) fn(*b.video);
}

Camera* StageCamera() { return Globals().cameras ? Globals().cameras->Get(CameraId::kStage) : nullptr; }

MeshDevice* StageMeshDevice() { return Globals().assets ? Globals().assets->MeshDeviceOf() : nullptr; }

void EnsureStage() {
  Backgrounds& b = B();
  if (b.stage) return;
  const Settings& s = Session().settings ? *Session().settings : g_Settings;
  b.stage = std::make_unique<Stage>(s.STAGEDETAIL, StageMeshDevice(), Globals().device, StageCamera());
}

void StageViewerStep() {
  Backgrounds& b = B();
  if (!b.viewerStarted) {
    b.viewerStarted = true;
    EnsureStage();
    b.stage->DeactivateAll();
    b.stage->SetPlayers(nullptr, 0);
  }
  Stage& stage = *b.stage;
  stage.SetCamera(StageCamera());
  stage.SetDevice(Globals().device);
  if (!stage.eventsOff) stage.CameraCycle();
  stage.UpdateActivation();
  stage.Draw();
}

}  // namespace

Stage* CurrentStage() { return B().stage.get(); }

VideoTexture* CurrentVideoBackground() { return B().video.get(); }

void RegisterPlayBackgrounds(LevelVisuals& visuals, RenderLayers& layers) {
  B().mainThread = std::this_thread::get_id();

  visuals.loadSongVideo = [](const std::u16string& path) { return LoadVideo(path); };
  visuals.loadBackgroundVideo = [](const std::u16string& path) { return LoadVideo(path); };
  visuals.hasVideo = [] {
    std::lock_guard<std::recursive_mutex> lock(B().mutex);
    return B().video != nullptr;
  };
  visuals.videoRun = [] {
    WithVideo([](VideoTexture& v) {
      v.Run();
      v.SetVolume(kMutedVolume);
    });
  };
  visuals.videoPause = [] { WithVideo([](VideoTexture& v) { v.Pause(); }); };
  visuals.videoStop = [] { WithVideo([](VideoTexture& v) { v.Stop(); }); };
  visuals.deleteVideo = [] { DeleteVideo(); };

  visuals.ensureStage = [] { EnsureStage(); };
  visuals.hasStage = [] { return B().stage != nullptr; };
  visuals.bindStage = [](Player* players, int32_t count) {
    if (!B().stage) return;
    B().stage->SetPlayers(players, count);
    B().stage->DeactivateAll();
  };
  visuals.updateStage = [] {
    if (!B().stage) return;
    B().stage->SetCamera(StageCamera());
    B().stage->Update();
  };

  layers.videoBackgroundTexture = [] { return VideoFrame(); };
  layers.drawStage = [](int32_t) {
    if (!B().stage) return;
    B().stage->SetDevice(Globals().device);
    B().stage->Draw();
  };
  layers.stageViewerStep = [] { StageViewerStep(); };
  layers.videoEvent = [] { WithVideo([](VideoTexture& v) { v.HandleEvents(); }); };
  layers.videosDeviceLost = [] { WithVideo([](VideoTexture& v) { v.Release(); }); };
  layers.videosDeviceReset = [] { WithVideo([](VideoTexture& v) { v.Reset(VideoDevice()); }); };
  layers.setupStageLight = [] {
    if (!B().stage) return;
    B().stage->SetDevice(Globals().device);
    B().stage->SetupLight();
  };
  layers.destroyVideoBackground = [] {
    std::lock_guard<std::recursive_mutex> lock(B().mutex);
    B().video.reset();
    B().videoSlot = nullptr;
    B().retired.clear();
    B().textures.reset();
    B().texturesDevice = nullptr;
  };
  layers.destroyStage = [] {
    B().stage.reset();
    B().viewerStarted = false;
  };
}

}  // namespace graphics
