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

#include "core/menu_ids.h"
#include "core/settings.h"
#include "game/game_services.h"
#include "game/level/in_game_action.h"
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
  std::function<void()> clearEvents;
  void ClearEvents() { if (clearEvents) clearEvents(); }
  std::function<bool()> isKeyboard;
  bool IsKeyboard() const { return isKeyboard ? isKeyboard() : false; }
  std::function<bool()> isGamepad;
  bool IsGamepad() const { return isGamepad ? isGamepad() : false; }
  // The drum lane count the device reports (4 or 5).
  std::function<int32_t()> detectedDrumLanes;
  int32_t DetectedDrumLanes() const { return detectedDrumLanes ? detectedDrumLanes() : 4; }
  // The left-handed drum layout: the device trades its outer pads.
  std::function<void(bool)> setLefty;
  void SetLefty(bool on) { if (setLefty) setLefty(on); }
};

// The controller manager's device (CtrlDevice::GetEvents, ClearEvents): its entries
// filled over the device.
class CtrlDeviceController : public LevelController {
 public:
  explicit CtrlDeviceController(CtrlDevice* device);
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
  InGameAction action = InGameAction::kNone;
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
  double chartTime = 0.0;          // ms, of the frame the screens last stepped
  // After a pass or a failure the end screen ignores confirm and back for a while, so
  // the presses that were meant for the last notes do not skip it.
  bool inputLocked = false;
  uint32_t inputLockUntil = 0;     // platform::TimeGetTime ms
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
// class keeps the rules the level depends on (what the screens draw plugs into its
// entries): the end of the count-down raises
// action 2, a practice position outside its range raises action 9, the song fails
// once every player has failed, and the song end marks the song finished.
class InGameScreens {
 public:
  InGameScreens() = default;
  InGameScreens(const InGameScreens&) = delete;
  InGameScreens& operator=(const InGameScreens&) = delete;
  void Start(int32_t playerCount);
  void Restart();
  void Update(double chartTime, double songTime, double speed);
  void UpdateLyrics(double chartTime);
  void ShowSongEnd();
  void Pause(Player* player);
  void OpenPauseForPlayer(Player* player);
  std::function<void(uint32_t)> showRankAlert;
  void ShowRankAlert(uint32_t eventBits) { if (showRankAlert) showRankAlert(eventBits); }
  // PauseMenu::Open: binds the options screens to the player (or none).
  std::function<void(Player*)> openPauseMenu;
  void OpenPauseMenu(Player* player) { if (openPauseMenu) openPauseMenu(player); }
  // The options screens rebuilt for a player, or for none (the song's own options).
  std::function<void(Player*)> rebuildOptions;
  void RebuildOptions(Player* player) { if (rebuildOptions) rebuildOptions(player); }
  std::function<void(int32_t)> updatePlayerBox;
  void UpdatePlayerBox(int32_t index) { if (updatePlayerBox) updatePlayerBox(index); }
  std::function<void(Player*)> bindPracticeProfile;
  void BindPracticeProfile(Player* player) { if (bindPracticeProfile) bindPracticeProfile(player); }
  std::function<void()> buildPracticeLists;
  void BuildPracticeLists() { if (buildPracticeLists) buildPracticeLists(); }

  // The display drawn over the boards follows the rules above through these: bound to
  // the level's players (Start; may run on the Task thread), started over (Restart),
  // stepped each frame, told of the song's end (passed, or every player failed) and
  // of the lyrics' time.
  std::function<void(int32_t)> startDisplay;
  std::function<void()> restartDisplay;
  std::function<void(double, double, double)> updateDisplay;
  std::function<void()> songEndDisplay;
  std::function<void(double)> updateLyricsDisplay;

  // How long the end screen ignores confirm and back after a pass or a failure.
  static constexpr uint32_t kSongEndLockMs = 2000;

 private:
  // The end screen's confirm and back: after a pass, confirm goes on to the next song
  // and back plays it again; after a failure, confirm plays it again and back quits.
  void SongEndInput();
  void LockSongEndInput();
  // Until a pause menu is bound, a paused song still answers its players: pause or
  // confirm counts down and resumes, back quits, so nobody is stuck on a held board.
  void PausedInput();
};

// What the level asks of the renderer: backgrounds, the stage, cameras, textures.
// Loaders return false when the thing could not be made (the default: nothing is).
class LevelVisuals {
 public:
  LevelVisuals() = default;
  LevelVisuals(const LevelVisuals&) = delete;
  LevelVisuals& operator=(const LevelVisuals&) = delete;
  std::function<bool(const std::u16string&)> loadSongVideo;
  bool LoadSongVideo(const std::u16string& path) { return loadSongVideo ? loadSongVideo(path) : false; }
  std::function<bool(const std::u16string&)> loadSongImage;
  bool LoadSongImage(const std::u16string& path) { return loadSongImage ? loadSongImage(path) : false; }
  std::function<bool(const std::u16string&)> loadBackgroundImage;
  bool LoadBackgroundImage(const std::u16string& path) {
    return loadBackgroundImage ? loadBackgroundImage(path) : false;
  }
  std::function<bool(const std::u16string&)> loadBackgroundVideo;
  bool LoadBackgroundVideo(const std::u16string& path) {
    return loadBackgroundVideo ? loadBackgroundVideo(path) : false;
  }
  std::function<void(const std::string&, const std::u16string&)> loadReactive;
  void LoadReactive(const std::string& name, const std::u16string& folder) {
    if (loadReactive) loadReactive(name, folder);
  }
  std::function<void()> ensureStage;
  void EnsureStage() { if (ensureStage) ensureStage(); }
  std::function<bool()> hasStage;
  bool HasStage() const { return hasStage ? hasStage() : false; }
  std::function<void(Player*, int32_t)> bindStage;
  void BindStage(Player* players, int32_t count) { if (bindStage) bindStage(players, count); }
  std::function<void()> updateStage;
  void UpdateStage() { if (updateStage) updateStage(); }
  std::function<bool()> hasReactive;
  bool HasReactive() const { return hasReactive ? hasReactive() : false; }
  std::function<void()> sendReactiveEvents;
  void SendReactiveEvents() { if (sendReactiveEvents) sendReactiveEvents(); }
  std::function<void()> resetReactiveTheme;
  void ResetReactiveTheme() { if (resetReactiveTheme) resetReactiveTheme(); }
  std::function<void()> deleteReactive;
  void DeleteReactive() { if (deleteReactive) deleteReactive(); }
  std::function<bool()> hasVideo;
  bool HasVideo() const { return hasVideo ? hasVideo() : false; }
  // plays with its own sound muted
  std::function<void()> videoRun;
  void VideoRun() { if (videoRun) videoRun(); }
  std::function<void()> videoPause;
  void VideoPause() { if (videoPause) videoPause(); }
  // rewinds
  std::function<void()> videoStop;
  void VideoStop() { if (videoStop) videoStop(); }
  std::function<void()> deleteVideo;
  void DeleteVideo() { if (deleteVideo) deleteVideo(); }
  std::function<void()> releaseBackgroundImage;
  void ReleaseBackgroundImage() { if (releaseBackgroundImage) releaseBackgroundImage(); }
  std::function<void()> resetCameras;
  void ResetCameras() { if (resetCameras) resetCameras(); }
  std::function<void()> preloadTextures;
  void PreloadTextures() { if (preloadTextures) preloadTextures(); }
  // The board visuals of player `index`, made at level set-up before the player's
  // board is set up (they fill its BoardEffects table); every one is destroyed at
  // tear-down, after the players.
  std::function<void(Player&, int32_t)> createBoard;
  void CreateBoard(Player& player, int32_t index) { if (createBoard) createBoard(player, index); }
  std::function<void()> destroyBoards;
  void DestroyBoards() { if (destroyBoards) destroyBoards(); }
};

// What the level asks of the menus and the lobby. Every call does nothing by
// default; the menus fill the entries of what they show.
class LevelMenus {
 public:
  LevelMenus() = default;
  LevelMenus(const LevelMenus&) = delete;
  LevelMenus& operator=(const LevelMenus&) = delete;
  // Song-load screen.
  std::function<void()> loadBanner;
  void LoadBanner() { if (loadBanner) loadBanner(); }
  std::function<void()> refreshSongLoad;
  void RefreshSongLoad() { if (refreshSongLoad) refreshSongLoad(); }
  std::function<void()> songLoadInput;
  void SongLoadInput() { if (songLoadInput) songLoadInput(); }
  // Back from a song.
  std::function<void()> resetAfterSong;
  void ResetAfterSong() { if (resetAfterSong) resetAfterSong(); }
  std::function<void(int32_t)> setCurrentMenu;
  void SetCurrentMenu(int32_t menu) { if (setCurrentMenu) setCurrentMenu(menu); }
  std::function<void()> resumeMenuMusic;
  void ResumeMenuMusic() { if (resumeMenuMusic) resumeMenuMusic(); }
  std::function<void(int32_t)> controlAllVideos;  // a menu::VideoCommand number
  void ControlAllVideos(menu::VideoCommand command) {
    if (controlAllVideos) controlAllVideos(static_cast<int32_t>(command));
  }
  std::function<void()> quitProgram;
  void QuitProgram() { if (quitProgram) quitProgram(); }
  std::function<void(int32_t, const std::u16string&, const std::u16string&)> pushAchievement;
  void PushAchievement(int32_t kind, const std::u16string& title, const std::u16string& name) {
    if (pushAchievement) pushAchievement(kind, title, name);
  }
  // Lobby.
  std::function<void(const std::string&)> addChatLine;
  void AddChatLine(const std::string& text) { if (addChatLine) addChatLine(text); }
  std::function<void()> buildRoster;
  void BuildRoster() { if (buildRoster) buildRoster(); }
  std::function<void(const std::string&, const std::string&, int32_t)> setChosenSong;
  void SetChosenSong(const std::string& name, const std::string& path, int32_t value) {
    if (setChosenSong) setChosenSong(name, path, value);
  }
  std::function<void()> clearRoster;
  void ClearRoster() { if (clearRoster) clearRoster(); }
  std::function<void(const std::string&, int32_t, int32_t)> addRosterPlayer;
  void AddRosterPlayer(const std::string& name, int32_t id, int32_t state) {
    if (addRosterPlayer) addRosterPlayer(name, id, state);
  }
  std::function<void()> playCrowdSound;
  void PlayCrowdSound() { if (playCrowdSound) playCrowdSound(); }
  // Ends the lobby's chat editing when it is open (text entry cleared, controller
  // input enabled again, chat text emptied).
  std::function<void()> endChatEditing;
  void EndChatEditing() { if (endChatEditing) endChatEditing(); }
  // Player select.
  std::function<void()> resetSlots;
  void ResetSlots() { if (resetSlots) resetSlots(); }
  std::function<void(int32_t)> removePlayer;
  void RemovePlayer(int32_t playerId) { if (removePlayer) removePlayer(playerId); }
  std::function<int32_t()> getSlotCount;
  int32_t SlotCount() const { return getSlotCount ? getSlotCount() : 0; }
  std::function<bool(int32_t)> slotHasController;
  bool SlotHasController(int32_t slot) const { return slotHasController ? slotHasController(slot) : false; }
  std::function<void(int32_t, int32_t)> grantPlayerId;
  void GrantPlayerId(int32_t slot, int32_t playerId) { if (grantPlayerId) grantPlayerId(slot, playerId); }
  std::function<void(const GameMessage&)> applyRemoteSlot;
  void ApplyRemoteSlot(const GameMessage& message) { if (applyRemoteSlot) applyRemoteSlot(message); }
  std::function<void()> startGame;
  void StartGame() { if (startGame) startGame(); }
  std::function<void(int32_t)> addRemoteSlot;
  void AddRemoteSlot(int32_t playerId) { if (addRemoteSlot) addRemoteSlot(playerId); }
  std::function<void(int32_t, int32_t, bool, bool, bool, const uint8_t (&)[4], const uint8_t (&)[3], bool,
                     const std::string&)>
      applyRemotePlayer;
  void ApplyRemotePlayer(int32_t playerId, int32_t a5, bool f1, bool f2, bool f0, const uint8_t (&a3)[4],
                         const uint8_t (&a4)[3], bool f3, const std::string& name) {
    if (applyRemotePlayer) applyRemotePlayer(playerId, a5, f1, f2, f0, a3, a4, f3, name);
  }
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
