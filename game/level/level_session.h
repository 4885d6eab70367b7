// What a level is made from and what it reaches outside gameplay. The menus fill the
// session (the set list, the players chosen, the game type and mode flags) before a
// song is loaded; the in-game screens, the renderer, the menus and the game client
// plug in through the small interfaces below, each with a default that does what a
// level needs when that subsystem is not there (tests, a headless run).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/settings.h"
#include "game/game_services.h"
#include "song/midi_file.h"
#include "song/song_list.h"

class Song;
class SongAudio;
class Profile;
class Career;
class Player;
class CtrlDevice;

constexpr int32_t kMaxLevelPlayers = 15;

// A player's controller as the level uses it: the Player reads its events, the level
// drops them at playback start and resume, and the set-up reads the device's kind.
class LevelController : public PlayerInput {
 public:
  bool GetEvents(InputEvent* /*events*/, int32_t& count) override {
    count = 0;
    return true;
  }
  virtual void ClearEvents() {}
  virtual bool IsKeyboard() const { return false; }
  virtual bool IsGamepad() const { return false; }
  // The drum lane count the device reports (4 or 5).
  virtual int32_t DetectedDrumLanes() const { return 4; }
};

// The controller manager's device (CtrlDevice::GetEvents, ClearEvents).
class CtrlDeviceController : public LevelController {
 public:
  explicit CtrlDeviceController(CtrlDevice* device) : device_(device) {}
  bool GetEvents(InputEvent* events, int32_t& count) override;
  void ClearEvents() override;
  bool IsKeyboard() const override;
  bool IsGamepad() const override;
  int32_t DetectedDrumLanes() const override;

 private:
  CtrlDevice* device_;
};

// One player of the level as the player select screen (or the career screen) chose it.
struct LevelSlot {
  Profile* profile = nullptr;  // not owned; null plays with default options
  bool guest = false;          // the guest profile: its results are not stored
  int32_t kind = 2;            // Instrument 0..14
  int32_t difficulty = 3;      // 0..4
  bool remote = false;
  int32_t netSlot = 0;
  LevelController* controller = nullptr;  // not owned; null for remote players
  bool remoteFiveLaneDrums = false;       // a remote drummer's five-lane option
};

// The in-game screens' state that the frame update reads and writes.
struct InGameState {
  bool actionPending = false;
  int32_t action = 0;  // InGameAction 1..10
  bool paused = false;
  bool practiceMenuOpen = false;
  bool songFinished = false;
  bool songFailed = false;
  bool songPassed = false;         // finished without every player failing
  float failedSecondsLeft = 0.0f;  // of the song, when it was failed
  bool countIn = false;
  bool countDownShown = false;
  uint32_t countDownEnd = 0;       // platform::TimeGetTime ms
  uint32_t songEndTime = 0;        // when the end screen started
  int32_t calibrationStep = 0;
  // Practice.
  double rangeStart = 0.0, rangeEnd = 0.0, savedRangeEnd = 0.0;
  bool rangeFlag = false;
  double jumpPoint = 0.0;
  int32_t practiceSelected = 0;
  std::array<int32_t, 4> sectionChoice{-1, -1, -1, -1};
  std::array<ChartSection, kChartSectionSlots> sections;
  int32_t sectionCount = 0;
  // The result text of each player box.
  std::array<std::u16string, kMaxLevelPlayers> resultText;
};

// The in-game screens (player boxes, pause and options screens, alerts, lyrics). The
// base class keeps the rules the level depends on: the end of the count-down raises
// action 2, a practice position outside its range raises action 9, the song fails
// once every player has failed, and the song end marks the song finished.
class InGameScreens {
 public:
  virtual ~InGameScreens() = default;
  virtual void Start(int32_t playerCount);
  virtual void Restart();
  virtual void Update(double chartTime, double songTime, double speed);
  virtual void UpdateLyrics(double chartTime);
  virtual void ShowSongEnd();
  virtual void Pause(Player* player);
  virtual void OpenPauseForPlayer(Player* player);
  virtual void ShowRankAlert(uint32_t /*eventBits*/) {}
  // PauseMenu::Open: binds the options screens to the player (or none).
  virtual void OpenPauseMenu(Player* /*player*/) {}
  // The options screens rebuilt for a player, or for none (the song's own options).
  virtual void RebuildOptions(Player* /*player*/) {}
  virtual void UpdatePlayerBox(int32_t /*index*/) {}
  virtual void BindPracticeProfile(Player* /*player*/) {}
  virtual void BuildPracticeLists() {}
};

// What the level asks of the renderer: backgrounds, the stage, cameras, textures.
// Loaders return false when the thing could not be made (the default: nothing is).
class LevelVisuals {
 public:
  virtual ~LevelVisuals() = default;
  virtual bool LoadSongVideo(const std::u16string& /*path*/) { return false; }
  virtual bool LoadSongImage(const std::u16string& /*path*/) { return false; }
  virtual bool LoadBackgroundImage(const std::u16string& /*path*/) { return false; }
  virtual bool LoadBackgroundVideo(const std::u16string& /*path*/) { return false; }
  virtual void LoadReactive(const std::string& /*name*/, const std::u16string& /*folder*/) {}
  virtual void EnsureStage() {}
  virtual bool HasStage() const { return false; }
  virtual void BindStage(Player* /*players*/, int32_t /*count*/) {}
  virtual void UpdateStage() {}
  virtual bool HasReactive() const { return false; }
  virtual void SendReactiveEvents() {}
  virtual void ResetReactiveTheme() {}
  virtual void DeleteReactive() {}
  virtual bool HasVideo() const { return false; }
  virtual void VideoRun() {}    // plays with its own sound muted
  virtual void VideoPause() {}
  virtual void VideoStop() {}   // rewinds
  virtual void DeleteVideo() {}
  virtual void ReleaseBackgroundImage() {}
  virtual void ResetCameras() {}
  virtual void PreloadTextures() {}
};

// What the level asks of the menus and the lobby. Every call does nothing by
// default; the menus override what they show.
class LevelMenus {
 public:
  virtual ~LevelMenus() = default;
  // Song-load screen.
  virtual void LoadBanner() {}
  virtual void RefreshSongLoad() {}
  virtual void SongLoadInput() {}
  // Back from a song.
  virtual void ResetAfterSong() {}
  virtual void SetCurrentMenu(int32_t /*menu*/) {}
  virtual void ResumeMenuMusic() {}
  virtual void ControlAllVideos(int32_t /*command*/) {}
  virtual void QuitProgram() {}
  virtual void PushAchievement(int32_t /*kind*/, const std::u16string& /*title*/, const std::u16string& /*name*/) {}
  // Lobby.
  virtual void AddChatLine(const std::string& /*text*/) {}
  virtual void BuildRoster() {}
  virtual void SetChosenSong(const std::string& /*name*/, const std::string& /*path*/, int32_t /*value*/) {}
  virtual void ClearRoster() {}
  virtual void AddRosterPlayer(const std::string& /*name*/, int32_t /*id*/, int32_t /*state*/) {}
  virtual void PlayCrowdSound() {}
  // Ends the lobby's chat editing when it is open (text entry cleared, controller
  // input enabled again, chat text emptied).
  virtual void EndChatEditing() {}
  // Player select.
  virtual void ResetSlots() {}
  virtual void RemovePlayer(int32_t /*playerId*/) {}
  virtual int32_t SlotCount() const { return 0; }
  virtual bool SlotHasController(int32_t /*slot*/) const { return false; }
  virtual void GrantPlayerId(int32_t /*slot*/, int32_t /*playerId*/) {}
  virtual void ApplyRemoteSlot(const GameMessage& /*message*/) {}
  virtual void StartGame() {}
  virtual void AddRemoteSlot(int32_t /*playerId*/) {}
  virtual void ApplyRemotePlayer(int32_t /*playerId*/, int32_t /*a5*/, bool /*f1*/, bool /*f2*/, bool /*f0*/,
                                 const uint8_t (&/*a3*/)[4], const uint8_t (&/*a4*/)[3], bool /*f3*/,
                                 const std::string& /*name*/) {}
};

struct LevelSession {
  LevelSession();
  LevelSession(const LevelSession&) = delete;
  LevelSession& operator=(const LevelSession&) = delete;

  // Every value back to its start (the services back to the defaults).
  void Reset();

  Settings* settings = &g_Settings;

  // The set list: song slots (not owned; null: the song data's slots), the songs in
  // the set and the current one.
  Song* songs = nullptr;
  int32_t songCount = 1;
  int32_t songIndex = 0;
  // The song library, whose records take the play count and last play (not owned).
  SongList* library = nullptr;
  // The song hash list that crosses the network.
  SongList songHashes;

  int32_t gameType = 0;  // 0 co-op .. 6
  bool practice = false;
  bool career = false;
  bool demoPlayback = false;
  bool boardRolled = false;
  int32_t leaderId = -1;

  std::array<LevelSlot, kMaxLevelPlayers> roster;
  int32_t rosterCount = 0;
  LevelSlot careerSlot;
  Career* careerData = nullptr;  // the career played (its selected user and track)

  // Set by the song-load screen when the player confirms the loaded song.
  bool songLoadStart = false;

  InGameState ingame;

  // Services (not owned; null falls back to the defaults).
  GameSound* sound = nullptr;
  GameNetLink* net = nullptr;
  std::function<bool()> limbo;  // the game client's limbo flag
  InGameScreens* screens = nullptr;
  LevelVisuals* visuals = nullptr;
  LevelMenus* menus = nullptr;
  // Every controller: held buttons cleared (and wait-for-release set or cleared),
  // pending events dropped, and the spectator's pause check (a press of button 18
  // on any controller in use). Default to the controller manager.
  std::function<void(bool waitForRelease)> resetHeld;
  std::function<void()> clearAllEvents;
  std::function<bool()> spectatorPausePressed;

  bool Online() const { return net && net->Connected(); }
  bool InLimbo() const { return limbo && limbo(); }
  // The song slots the set list indexes: `songs`, or the song data's while they exist.
  Song* Slots() const;
  Song* CurrentSong() const;
  SongAudio* CurrentAudio() const;
  GameSound* Sound() const;
  InGameScreens& Screens() const;
  LevelVisuals& Visuals() const;
  LevelMenus& Menus() const;
  // Sound effect `id` at frequency ratio and volume 1.0; nothing without a sound player.
  void PlaySound(int32_t id) const;
};

// The process's session.
LevelSession& Session();
