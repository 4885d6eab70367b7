#include "menus/shell_services.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <random>

#include "core/log.h"
#include "core/utils.h"
#include "core/settings.h"
#include "core/shell/shell_state.h"
#include "devices/audio/song_audio.h"
#include "devices/audio/sound_player.h"
#include "devices/input/ctrl.h"
#include "game/level/level_session.h"
#include "graphics/scene_context.h"
#include "graphics/shell_services.h"
#include "graphics/render_layers.h"
#include "menus/menu_manager.h"
#include "menus/screens/ingame_menus.h"
#include "menus/theme_screen.h"
#include "theme/theme_set.h"
#include "platform/clock.h"
#include "platform/gfx/device.h"
#include "platform/gfx/render_device.h"
#include "platform/paths.h"
#include "song/song_list.h"

namespace menus {
namespace {

std::unique_ptr<MenuContext> g_context;
std::unique_ptr<MenuManager> g_manager;
// What is drawn over the boards while a song plays; made with the menus, its themes
// loaded with theirs, and reached by the level through its in-game screens table.
std::unique_ptr<InGameMenus> g_inGame;
std::atomic<InGameMenus*> g_inGameReady{nullptr};
// The manager as the main thread's frame sees it: the Task thread makes and initialises
// it while the loading screen draws, so it is handed over once its menus are ready.
std::atomic<MenuManager*> g_ready{nullptr};
// The library's song count for the loading screen, once the scan has gathered it.
std::atomic<int32_t> g_gathered{-1};
SongList g_songList;
std::array<std::unique_ptr<CtrlDeviceController>, kMaxControllers> g_levelControllers;

CtrlDevice* Device(int32_t i) {
  if (!g_CtrlMain || i < 0 || i >= g_CtrlMain->count || i >= CtrlMain::kMaxDevices) return nullptr;
  return &g_CtrlMain->devices[i];
}

// The preview's stream: the song's "preview.ogg" or its stems, faded in.
class SongAudioPreview : public PreviewStream {
 public:
  explicit SongAudioPreview(std::unique_ptr<SongAudio> audio) : audio_(std::move(audio)) {}
  void Update() override { audio_->Update(); }
  void Stop() override { audio_->Stop(); }

 private:
  std::unique_ptr<SongAudio> audio_;
};

class SongAudioMusic : public MenuMusic {
 public:
  explicit SongAudioMusic(std::unique_ptr<SongAudio> audio) : audio_(std::move(audio)) {}
  bool IsFinished() override { return audio_->IsFinished(); }
  void Start() override { audio_->Start(); }
  void Stop() override { audio_->Stop(); }
  void Pause() override { audio_->Pause(); }
  void Restart() override {
    audio_->SeekMs(0);
    audio_->Resume();
  }
  void FadeOut(uint32_t) override { audio_->FadeOut(); }
  void Update() override { audio_->Update(); }

 private:
  std::unique_ptr<SongAudio> audio_;
};

std::shared_ptr<const Picture> DecodePicture(const std::u16string& path) {
  platform::gfx::ImageData image;
  if (!platform::gfx::DecodeImageFile(platform::PathToNative(path), image)) return nullptr;
  auto picture = std::make_shared<Picture>();
  picture->width = image.width;
  picture->height = image.height;
  // Screens keep their pictures (a banner, album art) for as long as they show: on the
  // general heap, not in the decode arena whose chunks a load hands back whole.
  picture->rgba.assign(image.rgba.begin(), image.rgba.end());
  return picture;
}

std::u16string DynamicFolder(std::u16string_view themeFolder) {
  std::u16string dynamic(themeFolder);
  if (!dynamic.empty() && dynamic.back() != u'/') dynamic += u'/';
  return dynamic + u"dynamic/";
}

// Every theme's background video, with the documents over the boards.
void ControlAllVideos(int32_t command) {
  theme::MenuThemes().ControlAllVideos(command);
  if (InGameMenus* inGame = g_inGameReady.load()) inGame->ControlVideo(command);
}

void FillContext(MenuContext& c) {
  c.settings = &g_Settings;
  c.session = &Session();
  c.songList = &g_songList;
  c.loadTheme = [](const std::string& document, const std::u16string& folder) {
    return LoadMenuTheme(graphics::CurrentSceneContext(), document, folder);
  };
  c.text = [](int32_t id) { return g_Settings.language.GetString(id); };
  c.playSound = [](Sound s) {
    if (g_SoundPlayer) g_SoundPlayer->Play(static_cast<uint32_t>(s), 1.0f, 1.0f);
  };
  c.now = [] { return platform::TimeGetTime(); };
  c.clearDepth = [] {
    graphics::SceneContext* scene = graphics::CurrentSceneContext();
    if (scene && scene->device) scene->device->Clear(platform::gfx::clear::kZBuffer, 0, 1.0f, 0);
  };
  c.random = [] {
    static std::mt19937 rng(platform::TimeGetTime());
    return static_cast<uint32_t>(rng());
  };
  c.controllerCount = [] { return g_CtrlMain ? std::min(g_CtrlMain->count, kMaxControllers) : 0; };
  c.getEvents = [](int32_t i, InputEvent* events) {
    CtrlDevice* d = Device(i);
    int32_t n = 0;
    if (d) d->GetEvents(events, &n);
    return n;
  };
  // A controller not yet in play joins on a press. It is not identified yet, so its
  // raw input is probed: its button layout is only known after the join.
  c.anyButtonDown = [](int32_t i) {
    CtrlDevice* d = Device(i);
    return d && d->AnyButtonDown();
  };
  c.identify = [](int32_t i) {
    CtrlDevice* d = Device(i);
    if (!d) return false;
    if (d->xinputThread) return d->DetectXInput();
    return g_CtrlMain->DetectSettings(*d);
  };
  c.present = [](int32_t i) { CtrlDevice* d = Device(i); return d && d->connected.load() != 0; };
  c.kind = [](int32_t i) { CtrlDevice* d = Device(i); return d ? d->desc.kind : 3; };
  c.setKind = [](int32_t i, int32_t k) { if (CtrlDevice* d = Device(i)) d->desc.kind = k; };
  c.isKeyboard = [](int32_t i) { CtrlDevice* d = Device(i); return d && d->keyboardMarker == 1; };
  c.drumLanes = [](int32_t i) { CtrlDevice* d = Device(i); return d ? d->desc.drumLanes : 4; };
  c.clearEvents = [](int32_t i) { if (CtrlDevice* d = Device(i)) d->ClearEvents(); };
  c.clearHeld = [] { if (g_CtrlMain) g_CtrlMain->ClearHeld(); };
  c.resetHeld = [](bool on) { if (g_CtrlMain) g_CtrlMain->ResetHeld(on); };
  c.clearAllEvents = [] { if (g_CtrlMain) g_CtrlMain->ClearAllEvents(); };
  c.controlAllVideos = &ControlAllVideos;
  c.levelController = [](int32_t i) -> LevelController* {
    CtrlDevice* d = Device(i);
    if (!d) return nullptr;
    auto& slot = g_levelControllers[static_cast<size_t>(i)];
    if (!slot) slot = std::make_unique<CtrlDeviceController>(d);
    return slot.get();
  };
  c.loadPreview = [](const std::u16string& folder, double start, int32_t) -> std::unique_ptr<PreviewStream> {
    auto audio = std::make_unique<SongAudio>();
    if (!audio->LoadPreview(&g_Settings.mixer, folder, start)) return nullptr;
    audio->Update();
    audio->Start();
    return std::make_unique<SongAudioPreview>(std::move(audio));
  };
  c.loadMusic = [](const std::u16string& folder) -> std::unique_ptr<MenuMusic> {
    auto audio = std::make_unique<SongAudio>();
    if (!audio->LoadStems(folder)) return nullptr;
    audio->ApplyMixer(&g_Settings.mixer);
    return std::make_unique<SongAudioMusic>(std::move(audio));
  };
  c.pauseMusicThread = [](uint32_t timeoutMs) {
    shell::WakeWord& flag = shell::ThreadRunFlag(shell::ThreadId::kMusic);
    if (flag.load() != shell::kThreadRunning) return false;
    flag.store(shell::kThreadPauseRequested);
    const auto deadline = shell::WakeClock::now() + std::chrono::milliseconds(timeoutMs);
    if (!shell::WaitForWords([&flag] { return flag.load() == shell::kThreadPaused; }, deadline))
      LogNarrow("Jukebox: the music thread did not pause");
    return true;
  };
  c.resumeMusicThread = [] { shell::ThreadRunFlag(shell::ThreadId::kMusic).store(shell::kThreadRunning); };
  c.decodePicture = &DecodePicture;
}

void FillLevelMenus(LevelMenus& m) {
  m.loadBanner = [] { if (g_manager && g_manager->songLoadMenu()) g_manager->songLoadMenu()->LoadBanner(); };
  m.refreshSongLoad = [] { if (g_manager && g_manager->songLoadMenu()) g_manager->songLoadMenu()->Refresh(); };
  m.songLoadInput = [] {
    if (!g_manager || !g_manager->songLoadMenu()) return;
    g_manager->songLoadMenu()->Input();
    if (g_manager->songLoadMenu()->TakeStart()) Session().songLoadStart = true;
  };
  m.resetAfterSong = [] { if (g_manager) g_manager->ResetAfterSong(); };
  m.setCurrentMenu = [](int32_t menu) { if (g_manager) g_manager->SwitchTo(menu); };
  m.controlAllVideos = &ControlAllVideos;
  m.resetSlots = [] { if (g_manager && g_manager->playerMenu()) g_manager->playerMenu()->ResetSlots(); };
  m.removePlayer = [](int32_t id) { if (g_manager && g_manager->playerMenu()) g_manager->playerMenu()->RemovePlayer(id); };
  m.getSlotCount = [] { return g_manager && g_manager->playerMenu() ? g_manager->playerMenu()->slotCount : 0; };
  m.applyRemoteSlot = [](const GameMessage& msg) {
    if (g_manager && g_manager->playerMenu()) g_manager->playerMenu()->ApplyNetMessage(msg);
  };
  m.addRemoteSlot = [](int32_t id) {
    if (!g_manager || !g_manager->playerMenu()) return;
    GameMessage msg;
    msg.type = 2;
    msg.code = 27;
    msg.a2 = id;
    g_manager->playerMenu()->ApplyNetMessage(msg);
  };
}

// The frame's drawing entries of the menus, where the renderer offers them.
// The screen size the boxes are laid out across; 16:9 until the scene knows better.
void ScreenSize(float* w, float* h) {
  *w = 1920.0f;
  *h = 1080.0f;
  if (graphics::SceneContext* scene = graphics::CurrentSceneContext()) {
    if (scene->screenWidth && scene->screenHeight && *scene->screenHeight > 0) {
      *w = static_cast<float>(*scene->screenWidth);
      *h = static_cast<float>(*scene->screenHeight);
    }
  }
}


void FillRenderLayers() {
  graphics::RenderLayers& layers = graphics::Layers();
  layers.renderMenus = [](int32_t) {
    MenuManager* manager = g_ready.load();
    if (!manager) return;
    float w = 0, h = 0;
    ScreenSize(&w, &h);
    manager->Render(w, h);
  };
  layers.renderSongLoadTheme = [](int32_t) {
    MenuManager* manager = g_ready.load();
    if (manager && manager->songLoadMenu() && manager->songLoadMenu()->theme())
      manager->songLoadMenu()->theme()->Render(0, 0, 1);
  };
  layers.songListCount = [] { return g_gathered.load(); };
  layers.renderInGameMenus = [] {
    InGameMenus* inGame = g_inGameReady.load();
    if (!inGame) return;
    float w = 0, h = 0;
    ScreenSize(&w, &h);
    inGame->Render(w, h);
  };
}

// The level's in-game screens: its rules, with the display of InGameMenus attached
// once the menus are made. Until then (and in a run without menus) the entries are
// empty and the rules run alone.
InGameScreens& LevelScreens() {
  static InGameScreens screens;
  return screens;
}

}  // namespace

MenuManager* Manager() { return g_manager.get(); }
MenuContext* Context() { return g_context.get(); }

void RegisterShellServices(shell::Services& services) {
  FillRenderLayers();
  static LevelMenus levelMenus;
  FillLevelMenus(levelMenus);
  Session().menus = &levelMenus;
  Session().screens = &LevelScreens();
  shell::MenuServices& m = services.menus;
  m.createMenuManager = [] {
    g_context = std::make_unique<MenuContext>();
    FillContext(*g_context);
    g_manager = std::make_unique<MenuManager>(*g_context);
    g_inGame = std::make_unique<InGameMenus>(*g_context);
  };
  m.destroyMenus = [] {
    g_ready.store(nullptr);
    g_inGameReady.store(nullptr);
    InGameScreens& screens = LevelScreens();
    screens.startDisplay = nullptr;
    screens.restartDisplay = nullptr;
    screens.updateDisplay = nullptr;
    screens.songEndDisplay = nullptr;
    screens.updateLyricsDisplay = nullptr;
    screens.showRankAlert = nullptr;
    screens.updatePlayerBox = nullptr;
    g_inGame.reset();
    if (g_manager) g_manager->DestroyMenus();
    g_manager.reset();
    g_context.reset();
  };
  m.initMenus = [](const std::u16string& musicFolder) {
    if (!g_manager) return;
    // The shared theme set (and with it the bitmap fonts) first; the screens then read
    // their own documents.
    theme::MenuThemes().LoadAll(graphics::CurrentSceneContext(), g_Settings.themeFolder);
    g_manager->InitMenus(musicFolder, g_Settings.themeFolder);
    if (g_inGame) {
      g_inGame->LoadTheme(DynamicFolder(g_Settings.themeFolder));
      g_inGame->Attach(LevelScreens());
    }
    g_inGameReady.store(g_inGame.get());
    g_ready.store(g_manager.get());
  };
  // A reload of the theme set (the theme chosen in the options, the reload key)
  // rebuilds the screens from the same folder, once the set's fonts are in again.
  // The documents over the boards come from the same theme and are read again with it.
  theme::MenuThemes().AddReloadListener([](std::u16string_view themeFolder) {
    if (MenuManager* manager = g_ready.load()) manager->LoadMenuThemes(std::u16string(themeFolder));
    if (InGameMenus* inGame = g_inGameReady.load()) inGame->LoadTheme(DynamicFolder(themeFolder));
  });
  m.update = [] { if (MenuManager* manager = g_ready.load()) manager->Update(); };
  m.exitRequested = [] { MenuManager* manager = g_ready.load(); return manager && manager->exitRequest.load(); };
  m.exitCode = [] { MenuManager* manager = g_ready.load(); return manager ? manager->exitCode.load() : 0; };
  m.restartRequested = [] { return g_manager && g_manager->restartRequested; };
  m.setCurrentMenu = [](int32_t menu) { if (g_manager) g_manager->SwitchTo(menu); };
  m.updateJukebox = [] { return g_manager && g_manager->UpdateJukeboxAudio(); };
  m.setLoadState = [](int32_t state) {
    if (g_manager && g_manager->songLoadMenu()) g_manager->songLoadMenu()->SetLoadState(state);
  };
  m.jukeboxNext = [] { if (g_manager) g_manager->JukeboxNext(); };
  m.pauseJukebox = [] { if (g_manager) g_manager->PauseJukebox(); };
  m.scanSongFolder = [] {
    g_songList.Clear();
    LogNarrow("Scanning Song Folder:" + ToNarrow(g_Settings.MUSICPATH));
    ScanSongFolders(g_Settings.MUSICPATH, g_songList, true);
    g_gathered.store(g_songList.count);
    LogNarrow("Gathered " + std::to_string(g_songList.count) + " Songs");
  };
  m.openSongPath = [](const std::u16string& folder) {
    if (g_manager && g_manager->songMenu()) g_manager->songMenu()->OpenPath(folder);
  };
  m.resetPlayerSlots = [] { if (g_manager && g_manager->playerMenu()) g_manager->playerMenu()->ResetSlots(); };
}

}  // namespace menus
