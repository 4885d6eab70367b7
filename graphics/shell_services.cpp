// The graphics entries of the shell's service table and the process-wide objects
// they make. The drawing device is made on the main thread (with the sprite, when
// the window's device is created); Task-thread entries only decode into memory.
#include "graphics/shell_services.h"

#include <atomic>
#include <memory>

#include "game/level/level_session.h"
#include "game/player.h"
#include "graphics/frame_internal.h"
#include "graphics/frame_render.h"
#include "graphics/play_backgrounds.h"
#include "graphics/player_board.h"
#include "graphics/render_layers.h"
#include "graphics/scene_context.h"

namespace graphics {

namespace gfx = platform::gfx;

namespace {

struct Process {
  std::unique_ptr<Cameras> cameras;
  std::unique_ptr<GameAssets> assets;
  std::unique_ptr<Quad> sharedQuad;
  std::unique_ptr<SceneContext> scene;
  // The scene as the main thread sees it: the Task thread makes the scene while the
  // loading screen draws, so it is handed over only once it is whole.
  std::atomic<SceneContext*> current{nullptr};
  gfx::Sprite* sprite = nullptr;
  LevelVisuals visuals;
};

Process& P() {
  static Process process;
  return process;
}

// The load jobs make some of these objects on the Task thread while the main thread
// draws the loading screen from the others: only a pointer that changes is written, so
// the main thread's reads of the unchanged ones never meet a write.
template <class T>
void Publish(T*& field, T* value) {
  if (field != value) field = value;
}

void SyncGlobals() {
  SceneGlobals& g = Globals();
  Publish(g.cameras, P().cameras.get());
  Publish(g.assets, P().assets.get());
  Publish(g.quad, P().sharedQuad.get());
  Publish(g.sprite, P().sprite ? &P().sprite : nullptr);
}

class SpriteObject : public shell::DeviceObject {
 public:
  explicit SpriteObject(gfx::RenderDevice* device) : sprite_(device) {
    P().sprite = &sprite_;
    SyncGlobals();
  }
  // The sprite goes with its device, before the device itself.
  ~SpriteObject() override {
    OnFrameDeviceDestroyed();
    if (P().sprite == &sprite_) P().sprite = nullptr;
    SyncGlobals();
  }
  void OnLostDevice() override {
    sprite_.OnLostDevice();
    OnFrameDeviceLost();
  }
  void OnResetDevice() override { sprite_.OnResetDevice(); }

 private:
  gfx::Sprite sprite_;
};

// The overlay fonts by height: the 18-pixel one first, the 22-pixel one second.
int OverlayFontIndex(int height) { return height <= 18 ? 0 : 1; }

class FontObject : public shell::DeviceObject {
 public:
  FontObject(std::unique_ptr<gfx::SystemFont> font, int height) : font_(std::move(font)), index_(OverlayFontIndex(height)) {
    if (!Globals().systemFont) Globals().systemFont = font_.get();
    SetOverlayFont(index_, font_.get());
  }
  ~FontObject() override {
    if (Globals().systemFont == font_.get()) Globals().systemFont = nullptr;
    if (OverlayFont(index_) == font_.get()) SetOverlayFont(index_, nullptr);
  }
  void OnLostDevice() override { font_->OnLostDevice(); }
  void OnResetDevice() override { font_->OnResetDevice(); }

 private:
  std::unique_ptr<gfx::SystemFont> font_;
  int index_;
};

// The records the shell's view and debug keys move.
struct ViewRecords {
  shell::BoardCamera boardPose;
  shell::FreeLookCamera freeLook;
  shell::NoteViewTurn noteTurn;
  Transform* noteModel = nullptr;
};

ViewRecords& Views() {
  static ViewRecords records;
  return records;
}

void Forward(const std::function<void()>& entry) {
  if (entry) entry();
}

}  // namespace

RenderLayers& Layers() {
  static RenderLayers layers;
  return layers;
}

shell::BoardCamera& BoardCameraKeys() { return Views().boardPose; }

void SyncFreeLookFromCamera(const Camera& camera) {
  shell::FreeLookCamera& r = Views().freeLook;
  r.position = shell::Vec3{camera.position.x, camera.position.y, camera.position.z};
  r.yaw = camera.yaw;
  r.pitch = camera.pitch;
  r.roll = camera.roll;
}

void ApplyFreeLookToCamera(Camera& camera) {
  const shell::FreeLookCamera& r = Views().freeLook;
  camera.position = glm::vec3(r.position.x, r.position.y, r.position.z);
  camera.yaw = r.yaw;
  camera.pitch = r.pitch;
  camera.roll = r.roll;
}

void SetNoteViewModel(Transform* placement, bool keepTurn) {
  Views().noteModel = placement;
  if (!keepTurn) Views().noteTurn = shell::NoteViewTurn();
}

void ApplyNoteViewTurn() {
  ViewRecords& v = Views();
  if (!v.noteModel) return;
  v.noteModel->rotation.y = v.noteTurn.angle1;
  v.noteModel->rotation.x = v.noteTurn.angle2;
}

// The level's visuals: the board of each player.
static void RegisterLevelVisuals(LevelVisuals& visuals) {
  visuals.createBoard = [](Player& player, int32_t index) {
    PlayerBoard* board =
        CurrentLevelBoards().Create(player, index, Globals().assets, Globals().device, CurrentSceneContext());
    const LevelSession& session = Session();
    if (!board || session.practice) return;
    const Settings& s = session.settings ? *session.settings : g_Settings;
    board->LoadProfileNeck(s.themeFolder.empty() ? s.THEME : s.themeFolder, player.options.neckName);
  };
  visuals.destroyBoards = [] { CurrentLevelBoards().DestroyAll(); };
}

void RegisterShellServices(shell::Services& services) {
  RegisterLevelVisuals(P().visuals);
  Session().visuals = &P().visuals;
  shell::GraphicsServices& g = services.graphics;
  g.createSprite = [](gfx::Device& device) -> std::unique_ptr<shell::DeviceObject> {
    // The drawing device is made here, on the main thread, before any loading.
    Globals().device = &device.Render();
    return std::make_unique<SpriteObject>(Globals().device);
  };
  g.createFont = [](gfx::Device& device, int height, int weight,
                    const std::u16string& face) -> std::unique_ptr<shell::DeviceObject> {
    Globals().device = &device.Render();
    auto font = gfx::SystemFont::Create(Globals().device, height, weight, face);
    if (!font) return nullptr;
    return std::make_unique<FontObject>(std::move(font), height);
  };
  g.createCameras = [] {
    P().cameras = CreateCameras();
    SyncGlobals();
  };
  g.destroyCameras = [] {
    P().cameras.reset();
    SyncGlobals();
  };
  g.createGameAssets = [] {
    P().assets = std::make_unique<GameAssets>(Globals().device);
    SyncGlobals();
  };
  g.destroyGameAssets = [] {
    P().assets.reset();
    SyncGlobals();
  };
  g.loadTextures = [](const std::u16string& theme) {
    if (P().assets) P().assets->LoadTextures(theme);
  };
  g.loadModels = [](const std::u16string& theme) {
    if (P().assets) P().assets->LoadModels(theme);
  };
  g.texturesLoaded = [] { return P().assets ? int(P().assets->texturesLoaded.load()) : 0; };
  g.modelsLoaded = [] { return P().assets ? int(P().assets->modelsLoaded.load()) : 0; };
  g.createSharedQuad = [](gfx::Device*) {
    P().sharedQuad = std::make_unique<Quad>(Globals().device);
    P().sharedQuad->Create();
    SyncGlobals();
  };
  g.destroySharedQuad = [] {
    if (P().sharedQuad) P().sharedQuad->Release();
    P().sharedQuad.reset();
    SyncGlobals();
  };
  g.createSceneContext = [](const shell::SceneContextInit& init) {
    SyncGlobals();
    auto scene = std::make_unique<SceneContext>();
    scene->Init(init.backBufferWidth, init.backBufferHeight, init.settings);
    P().current.store(nullptr);
    P().scene = std::move(scene);
    P().current.store(P().scene.get());
  };
  g.destroySceneContext = [] {
    P().current.store(nullptr);
    if (P().scene) P().scene->Release();
    P().scene.reset();
  };
  // The font list's quad and its default colours are made by the fonts step, once the
  // asset store the glyphs come from exists; the scene context starts without them.
  g.createQuads = [] {
    if (P().scene) P().scene->fonts.Init(Globals().device, P().assets.get());
  };
  g.loadFonts = [](const std::u16string& folder) {
    if (P().scene) P().scene->fonts.LoadAll(folder);
  };
  g.setPracticeMode = [](bool on) {
    if (P().scene) P().scene->practice = on;
  };

  // The frame.
  g.renderFrame = [] { RenderFrame(); };
  g.setupProjection = [] { SetupProjection(); };
  g.releasePlayBackgroundTexture = [] {
    frame::DropPlayPicture();
    ReleaseFrameResources();
  };

  // The scene context's entries.
  g.takeResolutionChangeRequest = [] {
    SceneContext* scene = P().scene.get();
    if (!scene || !scene->resolutionChangeRequested) return false;
    scene->resolutionChangeRequested = false;
    return true;
  };
  g.sceneScale = []() -> float* { return P().scene ? &P().scene->half : nullptr; };
  g.leaderId = [] { return Session().leaderId; };
  g.boardCamera = [] { return &Views().boardPose; };
  g.freeLookCamera = [] { return &Views().freeLook; };
  g.noteViewModel = []() -> shell::NoteViewTurn* { return Views().noteModel ? &Views().noteTurn : nullptr; };
  g.destroyNoteViewModel = [] { frame::ReleaseViewerModel(); };

  // Videos, the stage and the reactive background: passed on to their code.
  g.videoEvent = [] { Forward(Layers().videoEvent); };
  g.videosDeviceLost = [] { Forward(Layers().videosDeviceLost); };
  g.videosDeviceReset = [] { Forward(Layers().videosDeviceReset); };
  g.setupStageLight = [] { Forward(Layers().setupStageLight); };
  g.reloadReactiveBackground = [] { Forward(Layers().reloadReactiveBackground); };
  g.destroyVideoBackground = [] { Forward(Layers().destroyVideoBackground); };
  g.destroyStage = [] { Forward(Layers().destroyStage); };
  g.destroyReactiveBackground = [] { Forward(Layers().destroyReactiveBackground); };

  // The level's background pictures.
  LevelVisuals& visuals = P().visuals;
  visuals.loadBackgroundImage = [](const std::u16string& path) { return LoadPlayBackgroundImage(path); };
  visuals.loadSongImage = [](const std::u16string& path) { return LoadPlayBackgroundImage(path); };
  visuals.releaseBackgroundImage = [] { ReleasePlayBackgroundImage(); };
  // The video background and the stage.
  RegisterPlayBackgrounds(visuals, Layers());
}

SceneContext* CurrentSceneContext() { return P().current.load(); }

}  // namespace graphics
