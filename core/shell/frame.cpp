// Frame move and frame render: per-frame housekeeping, the network client step and
// the dispatch on the game state.
#include <algorithm>
#include <bit>

#include "core/log.h"
#include "core/menu_ids.h"
#include "core/settings.h"
#include "core/shell/shell_internal.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace shell {

using namespace internal;

namespace {

// The session message by which the leader tells the others its song's progress; the
// numbers travel on the wire.
enum class MessageType : int32_t { kSession = 1 };
enum class SessionCode : int32_t { kSessionStatus = 39 };

constexpr float kTextureCount = 294.0f;
constexpr float kModelCount = 77.0f;
constexpr float kMenuThemeCount = 26.0f;
constexpr float kSoundCount = 298.0f;

struct LoadCounters {
  int textures = 0, models = 0, themes = 0, sounds = 0;
};

LoadCounters ReadLoadCounters() {
  LoadCounters c;
  if (g_made.gameAssets.load()) {
    c.textures = Query(g_services.graphics.texturesLoaded, "Graphics: loaded texture count", 0);
    c.models = Query(g_services.graphics.modelsLoaded, "Graphics: loaded model count", 0);
  }
  if (g_made.menuManager.load()) c.themes = Query(g_services.menus.themesLoaded, "Menu screens: loaded theme count", 0);
  if (g_made.soundPlayer.load()) c.sounds = Query(g_services.devices.soundsLoaded, "Devices: loaded sound count", 0);
  return c;
}

void LogReport(const char* label, float fraction) { LogNarrow(std::string(label) + platform::FormatNumber(fraction)); }

}  // namespace

namespace internal {

uint32_t g_fadeStart = 0;
bool g_fadeRunning = false;

void StartScreenFade() {
  ScreenFade.store(1.0f);
  g_fadeStart = platform::TimeGetTime();
  g_fadeRunning = true;
}

// The loading screen fades out over one second, advanced once per menu frame.
void AdvanceScreenFade() {
  if (!g_fadeRunning) return;
  const uint32_t elapsed = platform::TimeGetTime() - g_fadeStart;
  const float value = 1.0f - static_cast<float>(elapsed) / 1000.0f;
  if (value <= 0.0f) {
    ScreenFade.store(0.0f);
    g_fadeRunning = false;
  } else {
    ScreenFade.store(value);
  }
}

}  // namespace internal

void OnFrameMove(double, float) { UpdateFrame(); }

void OnFrameRender(platform::gfx::Device&, double, float) {
  if (g_services.graphics.renderFrame) {
    g_services.graphics.renderFrame();
    return;
  }
  ReportMissing("Graphics: RenderFrame");
  // The idle state waits in its render; without a renderer the wait stays.
  if (CurrentState() == State::kIdle) platform::SleepMs(100);
}

void UpdateFrame() {
  const State state = CurrentState();
  if (platform::TimeGetTime() - g_lastMouseMoveTime >= 1000 && g_Settings.WINDOWED && !g_cursorHidden &&
      state != State::kStartupLoading) {
    g_cursorHidden = true;
    if (g_framework) g_framework->ShowCursor(false);
  }
  if (g_made.sceneContext.load() &&
      Query(g_services.graphics.takeResolutionChangeRequest, "Graphics: SceneContext resolution request", false))
    ApplyResolution();
  UpdateNetworkClient();
  switch (CurrentState()) {
    case State::kStartupLoading:
      UpdateStartupLoading();
      break;
    case State::kMenus:
      UpdateMenus();
      break;
    case State::kPlaying:
      Invoke(g_services.gameplay.updateGameplay, "Gameplay: UpdateGameplay");
      Invoke(g_services.gameplay.checkAchievements, "Gameplay: CheckAchievements");
      break;
    case State::kSongLoading:
      Invoke(g_services.gameplay.updateSongLoad, "Gameplay: UpdateSongLoad");
      break;
    case State::kOnlineStart:
      Invoke(g_services.gameplay.updateOnlineStart, "Gameplay: UpdateOnlineStart");
      break;
    default:
      break;
  }
}

void UpdateNetworkClient() {
  const NetServices& net = g_services.net;
  if (!Invoke(net.receive, "Networking: GameClient::Receive")) return;

  if (Query(net.isConnected, "Networking: client connected flag", false) && CurrentState() == State::kPlaying &&
      g_made.sceneContext.load() &&
      Query(net.ownId, "Networking: client id", -1) ==
          Query(g_services.graphics.leaderId, "Graphics: SceneContext leader id", -2) &&
      Query(g_services.gameplay.hasSongClock, "Gameplay: SongClock", false)) {
    const double songTime = Query(g_services.gameplay.songTime, "Gameplay: SongClock::GetSongTime", 0.0);
    if (songTime >= LastSyncSongTime.load() + 1000.0) {
      OutgoingMessage m;
      m.type = static_cast<int32_t>(MessageType::kSession);
      m.code = static_cast<int32_t>(SessionCode::kSessionStatus);
      const float rating = Query(g_services.gameplay.ratingValue, "Gameplay: ScoreRating", 0.0f);
      double length = 0.0;
      const int slot = Query(g_services.graphics.currentSongIndex, "Graphics: SceneContext song index", -1);
      if (slot >= 0 && g_made.songSlots.load())
        length = Query(g_services.song.longestStemSeconds, "Song data: longest stem", 0.0, slot);
      const float remaining = static_cast<float>(length - songTime / 1000.0);
      m.a6() = std::bit_cast<int32_t>(rating);
      m.a7() = std::bit_cast<int32_t>(remaining);
      Invoke(net.send, "Networking: GameClient::Send", m);
      LastSyncSongTime.store(Query(g_services.gameplay.songTime, "Gameplay: SongClock::GetSongTime", songTime));
    }
  }

  if (!Query(net.backToLobbyRequested, "Networking: back-to-lobby flag", false)) return;
  const State state = CurrentState();
  if (state == State::kMenus) {
    if (g_made.menuManager.load()) {
      Invoke(g_services.menus.setCurrentMenu, "Menu screens: current menu", menu::kNetwork);
      Invoke(g_services.menus.resetPlayerSlots, "Menu screens: PlayerMenu::ResetSlots");
    }
    Invoke(net.clearBackToLobby, "Networking: clear back-to-lobby flag");
  } else if (state == State::kPlaying || state == State::kOnlineStart) {
    Invoke(g_services.gameplay.quitToMenus, "Gameplay: QuitToMenus", false);
    SetState(State::kMenus);
    if (g_made.menuManager.load()) Invoke(g_services.menus.setCurrentMenu, "Menu screens: current menu", menu::kNetwork);
    Invoke(net.clearBackToLobby, "Networking: clear back-to-lobby flag");
  }
}

void UpdateStartupLoading() {
  const Task step = CurrentTask();
  if (step == Task::kIdle) {
    SetTask(Task::kStartupLoadRequested);
  } else if (step == Task::kStartupLoadDone) {
    const LoadCounters c = ReadLoadCounters();
    LogReport("Textures Report:", static_cast<float>(c.textures) / kTextureCount);
    LogReport("Object Report:", static_cast<float>(c.models) / kModelCount);
    LogReport("Theme Report:", static_cast<float>(c.themes) / kMenuThemeCount);
    LogReport("SFX Report:", static_cast<float>(c.sounds) / kSoundCount);
    SetTask(Task::kIdle);
    SetState(State::kMenus);
    if (g_made.menuManager.load()) Invoke(g_services.menus.jukeboxNext, "Menu screens: JukeboxNext");
    StartScreenFade();
  }
  if (LoadProgressActive.load()) {
    const LoadCounters c = ReadLoadCounters();
    LoadProgress.store((static_cast<float>(c.textures) / kTextureCount + static_cast<float>(c.models) / kModelCount +
                        static_cast<float>(c.themes) / kMenuThemeCount + static_cast<float>(c.sounds) / kSoundCount) *
                       0.25f);
  }
  platform::SleepMs(16);
}

void UpdateMenus() {
  AdvanceScreenFade();
  if (!g_made.menuManager.load()) return;
  if (!Query(g_services.menus.exitRequested, "Menu screens: exit request", false)) {
    Invoke(g_services.menus.update, "Menu screens: MenuManager::Update");
    return;
  }
  const auto code = static_cast<menu::ExitCode>(Query(g_services.menus.exitCode, "Menu screens: exit code", 0));
  if (code == menu::ExitCode::kQuit) {
    if (Query(g_services.menus.restartRequested, "Menu screens: restart flag", false)) RelaunchRequested.store(true);
    if (g_framework) g_framework->Quit(0);
  } else if (code == menu::ExitCode::kPlaySong) {
    Invoke(g_services.menus.pauseJukebox, "Menu screens: PauseJukebox");
    SetState(State::kSongLoading);
  }
}

bool ApplyResolution() {
  if (!g_framework) return true;
  platform::gfx::DeviceSettings s = g_framework->GetDeviceSettings();
  ComputeBackBuffer();
  s.width = BackBufferWidth;
  s.height = BackBufferHeight;
  s.windowed = g_Settings.WINDOWED;
  if (g_framework->ChangeDevice(s)) return true;
  if (s.windowed) return false;
  // The display refuses that full-screen mode: the desktop's own mode serves.
  platform::gfx::DisplayMode desktop;
  if (!g_framework->GetDisplayMode(s.adapter, desktop) || desktop.width < 1 || desktop.height < 1) return false;
  Log(0, u"Fullscreen " + platform::FormatIntW(s.width) + u"x" + platform::FormatIntW(s.height) +
             u" Not Available, Using Desktop Mode " + platform::FormatIntW(desktop.width) + u"x" +
             platform::FormatIntW(desktop.height));
  s.width = desktop.width;
  s.height = desktop.height;
  return g_framework->ChangeDevice(s);
}

bool ToggleFullscreen() {
  const bool wasWindowed = g_Settings.WINDOWED;
  g_Settings.WINDOWED = !wasWindowed;
  if (!ApplyResolution()) {
    // Nothing changed: the settings keep the mode the game is still in.
    g_Settings.WINDOWED = wasWindowed;
    Log(0, wasWindowed ? u"Could Not Switch To Fullscreen" : u"Could Not Switch To Windowed Mode");
    if (g_framework && g_framework->GetDevice()) {
      platform::gfx::DeviceSettings back = g_framework->GetDeviceSettings();
      BackBufferWidth = back.width;
      BackBufferHeight = back.height;
    }
    return false;
  }
  if (!g_Settings.Save()) Log(0, u"Could Not Save Settings: " + g_Settings.configPath);
  return true;
}

}  // namespace shell
