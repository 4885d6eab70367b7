// What a Player reaches outside gameplay: sound effects, the game client, its
// controller, the visuals of its board, and the per-level context that the menus and
// the level set-up fill in. Each is a small interface so that the level can plug in
// the real sound player, network client and renderer, and tests plug in fakes.
#pragma once

#include <cstdint>
#include <string>

#include "core/settings.h"
#include "game/game_message.h"

struct InputEvent;
class DemoPlayer;

// The sound-effect player as gameplay uses it.
class GameSound {
 public:
  virtual ~GameSound() = default;
  // Starts effect `id`; the play handle, or -1 when nothing plays.
  virtual int32_t Play(int32_t id, float frequencyRatio, float volume) = 0;
  // Fades the voice under the handle to the volume; nothing when no voice has it.
  virtual void SetVolume(int32_t handle, float volume) = 0;
  // The base frequency ratio of the voice under the handle; below 0 when none has it.
  virtual float BaseRatio(int32_t handle) = 0;
  virtual void SetRatio(int32_t handle, float ratio) = 0;
};

// The game client: senders look at Connected first and send nothing offline.
class GameNetLink {
 public:
  virtual ~GameNetLink() = default;
  virtual bool Connected() const = 0;
  virtual void Send(const GameMessage& message) = 0;
};

// The controller a local player reads (CtrlDevice::GetEvents): moves up to 150
// pending events into the array and sets the count.
class PlayerInput {
 public:
  virtual ~PlayerInput() = default;
  virtual bool GetEvents(InputEvent* events, int32_t& count) = 0;
};

// Effect triggers of one board. The judging state itself stays in the Player; the
// renderer's board objects implement this to start their animations. Every call
// has an empty default so that a board without visuals (tests, the server) can use
// the base class as it is. Lanes are fret slots.
class BoardEffects {
 public:
  virtual ~BoardEffects() = default;
  virtual bool LoadNeck(const std::u16string& /*path*/) { return true; }
  virtual void ReleaseNeck() {}
  virtual void FretHeld(int32_t /*slot*/, bool /*held*/) {}
  virtual void FretPress(int32_t /*slot*/) {}
  virtual void NoteHitEffect(int32_t /*slot*/, bool /*mine*/) {}
  virtual void SustainStart(int32_t /*slot*/, int32_t /*noteSlot*/) {}
  virtual void SustainEnd(int32_t /*slot*/) {}
  virtual void FretMiss(int32_t /*slot*/) {}
  virtual void BadHit(int32_t /*slot*/) {}
  // grade: 0 late, 1 good-late, 2 perfect, 3 good-early, 4 early; shown 300 ms.
  virtual void TimingGrade(int32_t /*slot*/, int32_t /*grade*/) {}
  virtual void BoardState(int32_t /*state*/) {}  // 68 energy look, 66 normal
  virtual void EnergyGlow(bool /*on*/) {}
  virtual void EnergyFlash() {}
  virtual void MissFlash() {}
  virtual void Warning(bool /*on*/) {}
  virtual void FillGlow() {}
  virtual void IntroFade() {}
  virtual void KeyRangeMove(int32_t /*hand*/, int32_t /*rangeStart*/) {}
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
