// The row of frets at the strike line of one player's board: one Fret per lane slot
// with its press dip, pad light, key tilt, hold glow, hit glow and hit flame (spinning
// spark layers and a small ring of sparks), laid out on the board's arc and drawn
// for each of the player's two sub-boards. Every animation runs on the millisecond
// clock, not the song clock, so frets keep moving while the song is paused.
#pragma once

#include <array>
#include <cstdint>

#include <glm/glm.hpp>

#include "core/animators.h"
#include "graphics/image.h"
#include "graphics/sine_pulse.h"
#include "graphics/transform.h"

namespace graphics {

struct SceneContext;

// Instrument kinds as the board reads them (the player track's kind).
namespace board_kind {
inline bool IsDrums(int32_t kind) { return kind == 0 || kind == 5 || kind == 13; }
inline bool IsKeys(int32_t kind) { return kind == 3 || kind == 8 || kind == 14; }
inline bool IsRealKeys(int32_t kind) { return kind == 8 || kind == 14; }
inline bool IsProStrings(int32_t kind) { return kind == 6 || kind == 7; }
inline bool IsDance(int32_t kind) { return kind == 12; }
inline bool IsFiveFret(int32_t kind) { return kind == 1 || kind == 2 || kind == 10 || kind == 11; }
constexpr int32_t kDrumsWithHiHat = 13;
constexpr int32_t kKeysFiveLane = 3;
}  // namespace board_kind

// How much of a real-keys board object shows at lane placement x: keys slide out of
// view between |x| 118 and 121. Other kinds always show (1.0).
float KeyVisibility(int32_t kind, float x);

// One spark of a fret's flame.
struct Particle {
  glm::vec3 position{0.0f};  // offset from the lane's position
  glm::vec3 velocity{0.0f};  // units per millisecond
  float alpha = 0.0f;
  bool alive = false;
  float gravity = 0.001f;  // taken off velocity y per millisecond
  float fade = 0.003f;     // taken off alpha per millisecond
  uint32_t lastUpdate = 0;
};

// The hit flame of one fret: two spinning spark layers, the ray of the keys kinds and
// the fret's ring of sparks.
class FretFlame {
 public:
  static constexpr int kSparks = 30;
  static constexpr uint32_t kEmitIntervalMs = 30;

  FretFlame() = default;
  FretFlame(const FretFlame&) = delete;
  FretFlame& operator=(const FretFlame&) = delete;

  // Lights the flame; a flame already burning is left alone.
  void Start();
  // Fades the flame out over 0.2 s.
  void Stop();
  // Animators and pulses, then one spark emission (at most every 30 ms) and one step
  // of every spark.
  void Update(float sparkStrength);
  void EmitSpark(float sparkStrength);
  void StepSparks();

  std::array<Particle, kSparks> sparks{};
  uint32_t lastEmit = 0;
  int32_t next = 0;  // the ring slot the next spark is born in
  Transform layerA, layerB, ray;
  ValueAnimator fade, spinA, spinB;
  SinePulse rayPulseAnim, rayScaleZ, layerAScaleX, layerBScaleX, layerAScaleZ, layerBScaleZ;
  bool disabled = false;
  bool drumFlag = false;
  bool rayEnabled = false;
  float alpha = 0.0f;
  float rayPulse = 1.0f;
  bool active = false;
};

// The hit glow of one fret: a flash that widens and fades in 0.2 s.
class FretGlow {
 public:
  enum Kind : int32_t { kNoteHit = 0, kMine = 1 };

  FretGlow() = default;
  FretGlow(const FretGlow&) = delete;
  FretGlow& operator=(const FretGlow&) = delete;

  // (Re)starts the glow unless disabled.
  void Start(int32_t glowKind);
  void Update();

  Transform place;
  ValueAnimator alphaAnim, scaleX, scaleZ;
  bool disabled = false;
  bool drumFlag = false;
  float alpha = 0.0f;
  int32_t glowKind = kNoteHit;
};

// The moving part of a fret: its press dip, the flash of the kick bar, the short
// light of a drum pad and the tilt and hold glow of a key.
class FretButton {
 public:
  static constexpr float kLightMs = 50.0f;

  FretButton() = default;
  FretButton(const FretButton&) = delete;
  FretButton& operator=(const FretButton&) = delete;

  // The press dip of the button.
  void Press();
  // The lane is pressed (true) or released (false).
  void SetHeld(bool held);
  // Advances what the button's modes use; the press dip always.
  void Update();

  Transform button, holdGlow;
  ValueAnimator flash, scaleX, scaleZ, press, tilt;
  SinePulse holdGlowAlphaPulse, holdGlowScaleZ;
  ToggleTimer light;
  bool lit = false;
  bool flashMode = false;  // the kick bar of a drum board
  bool padMode = false;    // a drum pad
  bool holdMode = false;   // a key
  float flashAlpha = 0.0f;
  float holdGlowAlpha = 0.0f;
};

// One lane slot of the fret row.
class Fret {
 public:
  Fret() = default;
  Fret(const Fret&) = delete;
  Fret& operator=(const Fret&) = delete;

  // The press dip of the whole fret.
  void Press();

  FretGlow glow;
  FretButton button;
  FretFlame flame;
  ValueAnimator press;     // on own.position.y
  Transform lanePlace[2];  // the lane's placement on each sub-board
  Transform own;           // offset and scale of the fret model
  bool sustaining = false;
  int32_t sustainNote = -1;
  float sustainEnd = 0.0f;
  int32_t hitPane = 0;  // the sub-board of the last hit
  bool effects = true;  // glow and flame run for this fret
  bool kickBar = false;
  bool drum = false;
  float sustainPosition = 0.0f;
  float sustainLength = 0.0f;
  int32_t colour = -1;     // LaneMap colour index, -1 none
  int32_t fretNumber = 0;  // pro strings: the digit shown
  int32_t hihat = 1;       // kind 13: the hi-hat state of the hi-hat fret
};

class FretManager {
 public:
  static constexpr int kFretSlots = 92;  // lane 0 (open or kick) and up to 91 lanes
  static constexpr int kMaxLaneCount = kFretSlots - 1;
  static constexpr int kParticleImages = 10;  // by colour index; 0 stays empty

  FretManager();
  ~FretManager();
  FretManager(const FretManager&) = delete;
  FretManager& operator=(const FretManager&) = delete;

  // Stores the board's shape, loads the spark pictures, lays the frets out and gives
  // the drum and keys frets their modes. A lane count outside 0..91 is clamped (logged).
  bool Load(int32_t laneCount, int32_t mode, bool lefty, SceneContext* scene, int32_t kind, const float laneOffsets[2],
            const int32_t visibleLanes[2]);
  // Places every fret on both sub-boards for these lane offsets; sets colours and the
  // lane range each sub-board draws.
  bool Layout(const float laneOffsets[2]);
  // Once per frame: hi-hat state, flames of ended sustains, then every animation.
  void Update(int32_t hihat, float sparkStrength);
  // The frets of sub-board `pane` (0 or 1): kick bar, frets, keys and numbers, then the
  // flames of frets last hit on this sub-board with depth off.
  void Draw(int32_t pane);
  // The hit glows of sub-board `pane` (drawn after the note heads).
  void DrawGlows(int32_t pane);

  // What a note hit on fret `slot` starts, for the player's board to call: the glow
  // (kind 0 note, 1 mine) and flame where effects run, the press dip on five-fret
  // boards (not for hits that come from a sustain), all frets for an open note; the
  // hit's sub-board is where its flame and glow show. A lane press or release goes to
  // FretAt(slot).button.SetHeld; a sustain keeps its fret's flame burning while the
  // board sets the fret's sustaining, sustainPosition and sustainLength.
  void NoteHit(int32_t slot, int32_t glowKind, int32_t pane, bool fromSustain);

  Fret& FretAt(int32_t slot) { return frets_[ClampSlot(slot)]; }
  const Fret& FretAt(int32_t slot) const { return frets_[ClampSlot(slot)]; }

  int32_t laneCount = 5;
  int32_t mode = 0;
  float laneOffset[2] = {0.0f, 0.0f};
  int32_t visibleLanes[2] = {5, 5};
  int32_t firstLane[2] = {0, 0};
  int32_t endLane[2] = {0, 0};
  bool lefty = false;
  int32_t kind = 0;
  SceneContext* scene = nullptr;

 private:
  static int32_t ClampSlot(int32_t slot) { return slot < 0 ? 0 : slot >= kFretSlots ? kFretSlots - 1 : slot; }
  void DrawFret(int32_t lane, int32_t pane);
  void DrawKey(Fret& fret, const Transform& lanePlace, float visibility);
  void DrawFlame(Fret& fret, const Transform& lanePlace, float visibility);
  bool ParticlesOn() const;

  std::array<Image, kParticleImages> particles_;
  std::array<Fret, kFretSlots> frets_;
};

}  // namespace graphics
