// What the application shell calls in the subsystems above it (song data, audio and
// input devices, gameplay, graphics, menus, networking). The shell cannot link them
// (they stand on it), so the game's main fills in this table at start-up with what
// is built. An empty entry is a service that does not exist yet: the shell skips
// it and logs "<group>: <name> not available" once.
//
// A subsystem plugs in by providing "<folder>/shell_services.h" declaring
//   void RegisterShellServices(shell::Services& services);
// in its own namespace (song::, devices::, game::, graphics::, theme::, menus::,
// net::); the game's main finds and calls it when that header exists.
//
// Threads: entries marked [task] run on the Task thread, [music] on the Music
// thread, [net] on the Net thread, [ctrl] on the Ctrl thread; all others on the
// main thread. A [task] entry must never wait for the main thread: the main thread
// stops the Task thread at shutdown and waits for it. OpenGL is main-thread only,
// so [task] loaders decode into memory and upload on first use.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/gfx/device.h"

class Settings;

namespace shell {

// The session message the shell sends (type 1, code 39): type, code and the six
// 32-bit arguments a2..a7 of the game's network message; the strings stay empty.
struct OutgoingMessage {
  int32_t type = 0;
  int32_t code = 0;
  std::array<int32_t, 6> args{};  // a2, a3, a4, a5, a6, a7
  int32_t& a6() { return args[4]; }
  int32_t& a7() { return args[5]; }
};

// The values of the gameplay render's board camera, set by the camera presets and
// moved by the debug keys.
struct BoardCamera {
  float pitch = 0.62f;
  float yaw = 0.0f;
  float roll = 0.0f;
  float x = 0.0f;
  float height = 280.0f;
  float z = -288.0f;
};

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

// The free-look camera of the note-model and stage views, moved by the view keys.
struct FreeLookCamera {
  float pitch = 0, yaw = 0, roll = 0;
  Vec3 position, up{0, 1, 0}, look{0, 0, 1}, right{1, 0, 0};
};

// The two turn angles of the note-view model.
struct NoteViewTurn {
  float angle1 = 0;
  float angle2 = 0;
};

// A device-dependent object the shell owns for the renderers (the shared sprite,
// the overlay fonts): told when the device is lost and reset.
class DeviceObject {
 public:
  virtual ~DeviceObject() = default;
  virtual void OnLostDevice() = 0;
  virtual void OnResetDevice() = 0;
};

// What the scene context is made from. The graphics code takes the other
// singletons (controllers, text field, assets) from their own subsystems.
struct SceneContextInit {
  int* backBufferWidth = nullptr;
  int* backBufferHeight = nullptr;
  Settings* settings = nullptr;
  platform::gfx::Device* device = nullptr;
};

// Song data: the 26 song slots.
struct SongServices {
  std::function<void()> createSongSlots;   // [task] 26 empty songs
  std::function<void()> destroySongSlots;
  // [music] SongAudio::Update of the slot's song; false when it has no audio.
  std::function<bool(int slot)> updateSongAudio;
  // The length in seconds of the slot's longest stem.
  std::function<double(int slot)> longestStemSeconds;
  // [task] The slot's song information says "vl_calibrator" = 1.
  std::function<bool(int slot)> isCalibrationSong;
};

// Audio and input devices.
struct DeviceServices {
  std::function<void()> createSoundPlayer;  // [task]
  std::function<void()> destroySoundPlayer;
  std::function<int()> soundsLoaded;        // of 298; read while loading
  std::function<void()> loadInstrumentSounds;  // [task]
  std::function<void(bool xinput)> createCtrlMain;  // [task] construct + CtrlMain::Init
  std::function<void(bool windowActive)> scanDevices;  // [task] CtrlMain::ScanDevices
  std::function<void()> xinputPoll;                    // [ctrl] CtrlMain::XInputPoll
  std::function<bool()> xinputPadsConnected;           // [ctrl] any pad for XInputPoll to read
  std::function<void()> clearAllEvents;                // CtrlMain::ClearAllEvents
  std::function<void()> deviceChange;                  // CtrlDevice::DeviceChange (rescan)
  std::function<void()> destroyCtrlMain;               // CtrlMain::Shutdown + delete
  std::function<void(bool enable)> xinputEnable;
  std::function<void(uint32_t virtualKey)> textEntryOnKey;  // TextEntry::OnKey
};

// Gameplay engine.
struct GameplayServices {
  std::function<void()> updateSongLoad;     // GameState 3
  std::function<void()> updateOnlineStart;  // GameState 4
  std::function<void()> updateGameplay;     // GameState 2
  std::function<void()> checkAchievements;  // GameState 2, after updateGameplay
  std::function<void(bool)> setupLevel;     // [task]
  std::function<void(bool)> quitToMenus;
  std::function<bool()> hasLevelPlayers;
  std::function<void()> requestPause;       // Player::RequestPause on the first player
  std::function<bool()> hasSongClock;
  std::function<double()> songTime;         // SongClock::GetSongTime, ms
  std::function<float()> ratingValue;       // the ScoreRating's value, 0 without one
  std::function<void()> destroyScoreRating;
  std::function<void()> destroySongClock;   // ends the timer period too
  std::function<void()> destroyPlayers;
  std::function<void()> destroyVocalTrack;
};

// Graphics and scene rendering.
struct GraphicsServices {
  std::function<void()> renderFrame;        // RenderFrame, once per frame
  std::function<void()> setupProjection;    // SetupProjection, after each device reset
  std::function<void()> createCameras;
  std::function<void()> destroyCameras;
  std::function<void()> createGameAssets;   // [task]
  std::function<void(const std::u16string& themeFolder)> loadTextures;  // [task]
  std::function<void(const std::u16string& themeFolder)> loadModels;    // [task]
  std::function<int()> texturesLoaded;      // of 294
  std::function<int()> modelsLoaded;        // of 77
  std::function<void()> createQuads;        // [task] GameAssets::CreateQuads
  std::function<void(const std::u16string& folder)> loadFonts;  // [task] FontManager::LoadAll
  std::function<void()> destroyGameAssets;
  std::function<void(platform::gfx::Device*)> createSharedQuad;  // [task] Quad::Create
  std::function<void()> destroySharedQuad;
  std::function<void(const SceneContextInit&)> createSceneContext;  // [task]
  std::function<void()> destroySceneContext;  // SceneContext::Release + delete
  // Scene-context fields.
  std::function<bool()> takeResolutionChangeRequest;  // reads and clears the flag
  std::function<void(bool)> setPracticeMode;          // [task]
  std::function<float*()> sceneScale;
  std::function<int()> currentSongIndex;              // [music] [task]
  std::function<int()> leaderId;
  std::function<BoardCamera*()> boardCamera;
  std::function<FreeLookCamera*()> freeLookCamera;
  std::function<NoteViewTurn*()> noteViewModel;  // null when no note-view model was loaded
  std::function<void()> destroyNoteViewModel;    // Model::Release + free
  // Videos of the video background and of the reactive background's theme.
  std::function<void()> videoEvent;          // VideoTexture::Play on each
  std::function<void()> videosDeviceLost;    // keep the play position, service step
  std::function<void()> videosDeviceReset;   // VideoTexture::Reset on each
  std::function<void()> setupStageLight;     // Stage::SetupLight when the stage exists
  std::function<void()> reloadReactiveBackground;
  std::function<std::unique_ptr<DeviceObject>(platform::gfx::Device&)> createSprite;
  std::function<std::unique_ptr<DeviceObject>(platform::gfx::Device&, int height, int weight,
                                              const std::u16string& face)>
      createFont;
  std::function<void()> destroyVideoBackground;
  std::function<void()> destroyStage;
  std::function<void()> destroyReactiveBackground;
  std::function<void()> releasePlayBackgroundTexture;
};

// Menu screens.
struct MenuServices {
  std::function<void()> createMenuManager;  // [task] constructor only
  std::function<void()> destroyMenus;       // DestroyMenus + delete
  std::function<void(const std::u16string& musicFolder)> initMenus;  // [task]
  std::function<void()> update;
  std::function<bool()> exitRequested;
  std::function<int()> exitCode;            // 0 quit, 1 a song was chosen
  std::function<bool()> restartRequested;   // the options screen's restart flag
  std::function<void(int)> setCurrentMenu;  // [task] and main
  std::function<bool()> updateJukebox;      // [music] false when there is no jukebox audio
  std::function<int()> themesLoaded;        // of 26
  std::function<void(int state)> setLoadState;  // [task] SongLoadMenu::SetLoadState
  std::function<void()> jukeboxNext;
  std::function<void()> pauseJukebox;
  std::function<void()> scanSongFolder;     // [task]
  std::function<void(const std::u16string& themeFolder)> loadMenuThemes;
  std::function<void(int command)> controlAllVideos;
  std::function<void(const std::u16string& folder)> openSongPath;  // [task] SongMenu::OpenPath
  std::function<void()> resetPlayerSlots;   // PlayerMenu::ResetSlots
  std::function<void(int kind, const std::u16string& title, const std::u16string& text)> pushAchievement;
};

// Networking.
struct NetServices {
  // Makes the game's network message handler the game client's message callback.
  std::function<void()> installMessageHandler;
  // Cancels the online version check and waits for its thread: nothing of the
  // network may still run once the game is on its way out of the program.
  std::function<void()> stopVersionCheck;
  std::function<void()> receive;            // GameClient::Receive
  std::function<bool()> isConnected;
  std::function<int()> ownId;
  std::function<bool()> backToLobbyRequested;
  std::function<void()> clearBackToLobby;
  // Clears the client's outgoing message, fills it from this and sends it.
  std::function<void(const OutgoingMessage&)> send;
  std::function<void()> serverTick;             // [net] GameServer::Tick
  std::function<void(int maxMs)> serverWait;    // [net] until a socket has data, at most maxMs
  std::function<void()> serverCloseListener;    // [net] shut down and close the listening socket
  std::function<bool()> serverRegistrationRunning;  // [net]
  std::function<void()> serverReset;            // [net] GameServer::Reset
};

struct Services {
  SongServices song;
  DeviceServices devices;
  GameplayServices gameplay;
  GraphicsServices graphics;
  MenuServices menus;
  NetServices net;
};

}  // namespace shell
