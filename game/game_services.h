// What a Player reaches outside gameplay: sound effects, the game client, its
// controller, the visuals of its board, and the per-level context that the menus and
// the level set-up fill in. Each is a table of callbacks (an empty entry does the
// default the wrapper beside it names) so that the level can plug in the real sound
// player, network client and renderer, and tests plug in fakes, the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/settings.h"
#include "game/game_message.h"

struct InputEvent;
class DemoPlayer;

// The sound-effect player as gameplay uses it.
class GameSound {
 public:
  GameSound() = default;
  GameSound(const GameSound&) = delete;
  GameSound& operator=(const GameSound&) = delete;
  // Starts effect `id`; the play handle, or -1 when nothing plays.
  std::function<int32_t(int32_t, float, float)> play;
  int32_t Play(int32_t id, float frequencyRatio, float volume) { return play ? play(id, frequencyRatio, volume) : -1; }
  // Fades the voice under the handle to the volume; nothing when no voice has it.
  std::function<void(int32_t, float)> setVolume;
  void SetVolume(int32_t handle, float volume) { if (setVolume) setVolume(handle, volume); }
  // The base frequency ratio of the voice under the handle; below 0 when none has it.
  std::function<float(int32_t)> baseRatio;
  float BaseRatio(int32_t handle) { return baseRatio ? baseRatio(handle) : -1.0f; }
  std::function<void(int32_t, float)> setRatio;
  void SetRatio(int32_t handle, float ratio) { if (setRatio) setRatio(handle, ratio); }
  // Carries the fades of the effect voices on; called once a frame while a song plays.
  std::function<void()> update;
  void Update() { if (update) update(); }
};

// The game client: senders look at Connected first and send nothing offline.
class GameNetLink {
 public:
  GameNetLink() = default;
  GameNetLink(const GameNetLink&) = delete;
  GameNetLink& operator=(const GameNetLink&) = delete;
  std::function<bool()> isConnected;
  bool Connected() const { return isConnected ? isConnected() : false; }
  std::function<void(const GameMessage&)> send;
  void Send(const GameMessage& message) { if (send) send(message); }
};

// The controller a local player reads (CtrlDevice::GetEvents): moves up to 150
// pending events into the array and sets the count.
class PlayerInput {
 public:
  PlayerInput() = default;
  PlayerInput(const PlayerInput&) = delete;
  PlayerInput& operator=(const PlayerInput&) = delete;
  std::function<bool(InputEvent*, int32_t&)> getEvents;
  bool GetEvents(InputEvent* events, int32_t& count) {
    if (getEvents) return getEvents(events, count);
    count = 0;
    return true;
  }
};

// Effect triggers of one board. The judging state itself stays in the Player; the
// renderer's board objects implement this to start their animations. Every call
// has an empty default so that a board without visuals (tests, the server) can use
// the base class as it is. Lanes are fret slots.
class BoardEffects {
 public:
  BoardEffects() = default;
  BoardEffects(const BoardEffects&) = delete;
  BoardEffects& operator=(const BoardEffects&) = delete;
  std::function<bool(const std::u16string&)> loadNeck;
  bool LoadNeck(const std::u16string& path) { return loadNeck ? loadNeck(path) : true; }
  std::function<void()> releaseNeck;
  void ReleaseNeck() { if (releaseNeck) releaseNeck(); }
  std::function<void(int32_t, bool)> fretHeld;
  void FretHeld(int32_t slot, bool held) { if (fretHeld) fretHeld(slot, held); }
  std::function<void(int32_t)> fretPress;
  void FretPress(int32_t slot) { if (fretPress) fretPress(slot); }
  std::function<void(int32_t, bool)> noteHitEffect;
  void NoteHitEffect(int32_t slot, bool mine) { if (noteHitEffect) noteHitEffect(slot, mine); }
  std::function<void(int32_t, int32_t)> sustainStart;
  void SustainStart(int32_t slot, int32_t noteSlot) { if (sustainStart) sustainStart(slot, noteSlot); }
  std::function<void(int32_t)> sustainEnd;
  void SustainEnd(int32_t slot) { if (sustainEnd) sustainEnd(slot); }
  std::function<void(int32_t)> fretMiss;
  void FretMiss(int32_t slot) { if (fretMiss) fretMiss(slot); }
  std::function<void(int32_t)> badHit;
  void BadHit(int32_t slot) { if (badHit) badHit(slot); }
  // grade: 0 late, 1 good-late, 2 perfect, 3 good-early, 4 early; shown 300 ms.
  std::function<void(int32_t, int32_t)> timingGrade;
  void TimingGrade(int32_t slot, int32_t grade) { if (timingGrade) timingGrade(slot, grade); }
  // 68 energy look, 66 normal
  std::function<void(int32_t)> boardState;
  void BoardState(int32_t state) { if (boardState) boardState(state); }
  std::function<void(bool)> energyGlow;
  void EnergyGlow(bool on) { if (energyGlow) energyGlow(on); }
  std::function<void()> energyFlash;
  void EnergyFlash() { if (energyFlash) energyFlash(); }
  std::function<void()> missFlash;
  void MissFlash() { if (missFlash) missFlash(); }
  std::function<void(bool)> warning;
  void Warning(bool on) { if (warning) warning(on); }
  std::function<void()> fillGlow;
  void FillGlow() { if (fillGlow) fillGlow(); }
  std::function<void()> introFade;
  void IntroFade() { if (introFade) introFade(); }
  std::function<void(int32_t, int32_t)> keyRangeMove;
  void KeyRangeMove(int32_t hand, int32_t rangeStart) { if (keyRangeMove) keyRangeMove(hand, rangeStart); }
};

// The song.ini options that change how a chart part is read.
struct SongOptions {
  int32_t hopoFrequency = 0;   // ticks per 480; 0 = not set
  bool eighthNoteHopo = false;
  bool sysexOpenBass = false;
  bool sysexSlider = false;
  bool sysexProSlide = false;
  bool sysexHighHatCtrl = false;
  bool drumLayoutSwap = false;  // the fifth and sixth drum notes trade lanes
  int32_t multiplierNote = 0;   // 0 = the track's own energy note
  int32_t keysLaneCountLeft = 0;
  int32_t keysLaneCountRight = 0;
};

// The profile values a Player reads, copied in by the level set-up.
struct PlayerOptions {
  std::string name;
  std::u16string neckName;
  bool leftyGuitar = false, leftyDrums = false, leftyKeys = false;
  int32_t drumAssist = 0, fiveFretAssist = 0, keysAssist = 0, danceAssist = 0;
  int32_t assistLevel = 0;   // 0..5
  int32_t noteSpeed = 32, proNoteSpeed = 32;
  int32_t boardOption = 0, drumBoardOption = 0, keysOption1 = 0, keysOption2 = 0;
  int32_t keyLayout = 0;     // kind 3: 1 or 2, else the default layout
  int32_t strumAxis = 0;     // 0 any
  int32_t strumAxisThreshold = 0;
  int32_t tiltOption = 0;
  int32_t tiltSensitivity = -1;  // percent; -1 digital
  int32_t whammyDirection = 1;
  int32_t drumSwap = 0;      // 1 = lanes 1 and 4 exchanged on kinds 5 and 13
  int32_t drumKit = 1;       // 1..6
  int32_t guitarSound = 0;   // 0..2
};

// The per-level values that the scene context carries for the players.
struct GameContext {
  Settings* settings = &g_Settings;
  GameSound* sound = nullptr;
  GameNetLink* net = nullptr;
  DemoPlayer* recorder = nullptr;   // written while RECORDGAMEPLAY is on
  DemoPlayer* playback = nullptr;   // read by players in demo playback
  bool practice = false;
  bool career = false;
  int32_t gameMode = 0;     // game type, 0..6
  int32_t playerCount = 1;
  SongOptions song;
};
