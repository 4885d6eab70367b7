#include "tests/shell/fake_services.h"

#include <algorithm>
#include <chrono>

#include "core/utils.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace shelltest {

void Recorder::Add(std::string call) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
  }
  cv_.notify_all();
  if (hook) hook(call);
}

std::vector<std::string> Recorder::Calls() {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

bool Recorder::Has(const std::string& call) { return IndexOf(call) >= 0; }

int Recorder::Count(const std::string& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
}

int Recorder::IndexOf(const std::string& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = std::find(calls_.begin(), calls_.end(), call);
  return it == calls_.end() ? -1 : static_cast<int>(it - calls_.begin());
}

bool Recorder::WaitFor(const std::string& call, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return std::find(calls_.begin(), calls_.end(), call) != calls_.end(); });
}

void Recorder::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

namespace {

class FakeDeviceObject : public shell::DeviceObject {
 public:
  FakeDeviceObject(Recorder& rec, std::string name) : rec_(rec), name_(std::move(name)) {}
  ~FakeDeviceObject() override { rec_.Add(name_ + ".release"); }
  void OnLostDevice() override { rec_.Add(name_ + ".lost"); }
  void OnResetDevice() override { rec_.Add(name_ + ".reset"); }

 private:
  Recorder& rec_;
  std::string name_;
};

}  // namespace

shell::Services MakeServices(FakeWorld& w) {
  Recorder& r = w.rec;
  auto rec = [&r](const char* name) { return [&r, name] { r.Add(name); }; };
  shell::Services s;

  s.song.createSongSlots = rec("createSongSlots");
  s.song.destroySongSlots = rec("destroySongSlots");
  s.song.updateSongAudio = [&r](int slot) {
    r.Add("updateSongAudio(" + std::to_string(slot) + ")");
    return true;
  };
  s.song.longestStemSeconds = [&w](int) { return w.stemSeconds; };
  s.song.isCalibrationSong = [&w](int) { return w.calibrationSong; };

  s.devices.createSoundPlayer = rec("createSoundPlayer");
  s.devices.destroySoundPlayer = rec("destroySoundPlayer");
  s.devices.soundsLoaded = [] { return 298; };
  s.devices.loadInstrumentSounds = rec("loadInstrumentSounds");
  s.devices.createCtrlMain = [&r](bool x) { r.Add(std::string("createCtrlMain(") + (x ? "1" : "0") + ")"); };
  s.devices.scanDevices = [&r](bool a) { r.Add(std::string("scanDevices(") + (a ? "1" : "0") + ")"); };
  s.devices.xinputPoll = [&w] {
    w.polls.fetch_add(1);
    if (!w.pollRecorded.exchange(true)) w.rec.Add("xinputPoll");
  };
  s.devices.xinputPadsConnected = [&w] { return w.padsConnected.load(); };
  s.devices.clearAllEvents = rec("clearAllEvents");
  s.devices.deviceChange = rec("deviceChange");
  s.devices.destroyCtrlMain = rec("destroyCtrlMain");
  s.devices.xinputEnable = [&r](bool e) { r.Add(std::string("xinputEnable(") + (e ? "1" : "0") + ")"); };
  s.devices.textEntryOnKey = [&r](uint32_t vk) { r.Add("textEntryOnKey(" + std::to_string(vk) + ")"); };

  s.gameplay.updateSongLoad = rec("updateSongLoad");
  s.gameplay.updateOnlineStart = rec("updateOnlineStart");
  s.gameplay.updateGameplay = rec("updateGameplay");
  s.gameplay.checkAchievements = rec("checkAchievements");
  s.gameplay.setupLevel = [&r](bool b) { r.Add(std::string("setupLevel(") + (b ? "1" : "0") + ")"); };
  s.gameplay.quitToMenus = [&r](bool b) { r.Add(std::string("quitToMenus(") + (b ? "1" : "0") + ")"); };
  s.gameplay.hasLevelPlayers = [&w] { return w.levelPlayers.load(); };
  s.gameplay.requestPause = rec("requestPause");
  s.gameplay.hasSongClock = [&w] { return w.songClock; };
  s.gameplay.songTime = [&w] { return w.songTime; };
  s.gameplay.ratingValue = [&w] { return w.rating; };
  s.gameplay.destroyScoreRating = rec("destroyScoreRating");
  s.gameplay.destroySongClock = rec("destroySongClock");
  s.gameplay.destroyPlayers = rec("destroyPlayers");
  s.gameplay.destroyVocalTrack = rec("destroyVocalTrack");

  auto& g = s.graphics;
  g.renderFrame = [] {};
  g.createCameras = rec("createCameras");
  g.destroyCameras = rec("destroyCameras");
  g.createGameAssets = rec("createGameAssets");
  g.loadTextures = [&r](const std::u16string&) { r.Add("loadTextures"); };
  g.loadModels = [&r](const std::u16string&) { r.Add("loadModels"); };
  g.texturesLoaded = [] { return 294; };
  g.modelsLoaded = [] { return 77; };
  g.createQuads = rec("createQuads");
  g.loadFonts = [&r](const std::u16string& f) { r.Add("loadFonts(" + ToNarrow(f) + ")"); };
  g.destroyGameAssets = rec("destroyGameAssets");
  g.createSharedQuad = [&r](platform::gfx::Device*) { r.Add("createSharedQuad"); };
  g.destroySharedQuad = rec("destroySharedQuad");
  g.createSceneContext = [&r](const shell::SceneContextInit& init) {
    r.Add(init.backBufferWidth && init.settings ? "createSceneContext" : "createSceneContext(incomplete)");
  };
  g.destroySceneContext = rec("destroySceneContext");
  g.takeResolutionChangeRequest = [&w] {
    const bool b = w.resolutionRequest;
    w.resolutionRequest = false;
    return b;
  };
  g.setPracticeMode = [&r](bool b) { r.Add(std::string("setPracticeMode(") + (b ? "1" : "0") + ")"); };
  g.sceneScale = [&w] { return &w.scale; };
  g.currentSongIndex = [&w] { return w.songIndex; };
  g.leaderId = [&w] { return w.leaderId; };
  g.boardCamera = [&w] { return &w.board; };
  g.freeLookCamera = [&w] { return &w.freeLook; };
  g.noteViewModel = [&w] { return w.noteModelLoaded ? &w.noteModel : nullptr; };
  g.destroyNoteViewModel = rec("destroyNoteViewModel");
  g.videoEvent = rec("videoEvent");
  g.videosDeviceLost = rec("videosDeviceLost");
  g.videosDeviceReset = rec("videosDeviceReset");
  g.setupStageLight = rec("setupStageLight");
  g.reloadReactiveBackground = rec("reloadReactiveBackground");
  g.createSprite = [&r](platform::gfx::Device&) -> std::unique_ptr<shell::DeviceObject> {
    return std::make_unique<FakeDeviceObject>(r, "sprite");
  };
  g.createFont = [&r](platform::gfx::Device&, int h, int weight, const std::u16string& face)
      -> std::unique_ptr<shell::DeviceObject> {
    return std::make_unique<FakeDeviceObject>(r, "font" + std::to_string(h) + "/" + std::to_string(weight) + "/" +
                                                     ToNarrow(face));
  };
  g.destroyVideoBackground = rec("destroyVideoBackground");
  g.destroyStage = rec("destroyStage");
  g.destroyReactiveBackground = rec("destroyReactiveBackground");
  g.releasePlayBackgroundTexture = rec("releasePlayBackgroundTexture");

  auto& m = s.menus;
  m.createMenuManager = rec("createMenuManager");
  m.destroyMenus = rec("destroyMenus");
  m.initMenus = [&r](const std::u16string& f) { r.Add("initMenus(" + ToNarrow(f) + ")"); };
  m.update = [&w] {
    if (!w.updateRecorded.exchange(true)) w.rec.Add("menus.update");
  };
  m.exitRequested = [&w] { return w.menuExit; };
  m.exitCode = [&w] { return w.menuExitCode; };
  m.restartRequested = [&w] { return w.restart; };
  m.setCurrentMenu = [&w](int n) {
    w.currentMenu = n;
    w.rec.Add("setCurrentMenu(" + std::to_string(n) + ")");
  };
  m.updateJukebox = [] { return true; };
  m.themesLoaded = [] { return 26; };
  m.setLoadState = [&r](int st) { r.Add("setLoadState(" + std::to_string(st) + ")"); };
  m.jukeboxNext = rec("jukeboxNext");
  m.pauseJukebox = rec("pauseJukebox");
  m.scanSongFolder = rec("scanSongFolder");
  m.loadMenuThemes = [&r](const std::u16string& f) { r.Add("loadMenuThemes(" + ToNarrow(f) + ")"); };
  m.controlAllVideos = [&r](int c) { r.Add("controlAllVideos(" + std::to_string(c) + ")"); };
  m.openSongPath = [&r](const std::u16string& f) { r.Add("openSongPath(" + ToNarrow(f) + ")"); };
  m.resetPlayerSlots = rec("resetPlayerSlots");
  m.pushAchievement = [&r](int kind, const std::u16string&, const std::u16string&) {
    r.Add("pushAchievement(" + std::to_string(kind) + ")");
  };

  auto& n = s.net;
  n.installMessageHandler = rec("installMessageHandler");
  n.stopVersionCheck = rec("stopVersionCheck");
  n.receive = [] {};
  n.isConnected = [&w] { return w.connected.load(); };
  n.ownId = [&w] { return w.ownId; };
  n.backToLobbyRequested = [&w] { return w.backToLobby; };
  n.clearBackToLobby = [&w] {
    w.backToLobby = false;
    w.rec.Add("clearBackToLobby");
  };
  n.send = [&w](const shell::OutgoingMessage& msg) { w.sent.push_back(msg); };
  n.serverTick = [&w] { w.serverTicks.fetch_add(1); };
  if (w.withServerWait) {
    n.serverWait = [&w](int maxMs) {
      w.lastServerWaitMs.store(maxMs);
      w.serverWaits.fetch_add(1);
      platform::SleepMs(1);  // as a wait that found data at once
    };
  }
  n.serverCloseListener = rec("serverCloseListener");
  n.serverRegistrationRunning = [] { return false; };
  n.serverReset = rec("serverReset");
  return s;
}

}  // namespace shelltest
