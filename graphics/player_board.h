// The visuals of one player's board: the neck parts and neck picture, a sustain
// ribbon for every note slot, the frets, lane lines and lane-section overlays, the
// animations the player's hits, presses, sustains, energy, warnings and misses
// start, and the camera shake of the kick. It fills the
// player's BoardEffects table so that gameplay starts those animations without
// knowing the renderer. Animations run on the millisecond clock, so they keep moving
// while the song is paused.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <glm/glm.hpp>

#include "core/animators.h"
#include "game/game_services.h"
#include "game/note_record.h"
#include "graphics/fret_manager.h"
#include "graphics/game_assets.h"
#include "graphics/lane_lines.h"
#include "graphics/lane_section_view.h"
#include "graphics/tail_ribbon.h"
#include "graphics/transform.h"

class Player;

namespace graphics {

// One of the six model parts of a neck.
struct NeckPart {
  Transform placement;
  int32_t texture = -1;  // index into the board texture table; -1 draws the model's own textures
  float alpha = 1.0f;
  int32_t model = 0;     // model slot of the asset store
  bool visible = true;
  bool enabled = false;
};

enum class NeckPartId : int32_t {
  kNeck = 0,
  kEnergyNeck = 1,
  kWarningNeck = 2,
  kSides = 3,
  kFretSides = 4,
  kFretBottom = 5,
};
inline constexpr int32_t kNeckParts = 6;

// Model slots and board-texture slots the neck parts use.
namespace board_slots {
inline constexpr int32_t kBoardModel = 45;
inline constexpr int32_t kSidesModel = 46;
inline constexpr int32_t kSidesKeysModel = 47;
inline constexpr int32_t kFretSidesModel = 35;
inline constexpr int32_t kFretBottomModel = 36;
inline constexpr int32_t kFretBottomKeysModel = 37;
inline constexpr int32_t kFretBottomKeysRealModel = 38;
inline constexpr int32_t kEnergyNeckTexture = 50;
inline constexpr int32_t kWarningNeckTexture = 52;
inline constexpr int32_t kSidesTexture = 66;
inline constexpr int32_t kSidesKeysTexture = 67;
inline constexpr int32_t kSidesEnergyTexture = 68;
inline constexpr int32_t kSidesSectionTexture = 69;
}  // namespace board_slots

class PlayerBoard {
 public:
  // Rates of the neck animations, per second.
  static constexpr float kEnergyFadeSpeed = 2.0f;
  static constexpr float kWarningPulseSpeed = 2.0f;
  // The kick's camera shake: how far down and how fast it springs back.
  static constexpr float kShakeDepth = 4.0f;
  static constexpr float kShakeSpeed = 60.0f;

  // Fills `player`'s effects table with this board's entries; `assets` and `device`
  // may be null (a board without drawing, as in tests of the triggers). The frets,
  // lines and overlays reach the store through `scene`; without one the board keeps
  // a scene record of its own over `assets` and `device`.
  PlayerBoard(Player& player, GameAssets* assets, platform::gfx::RenderDevice* device,
              SceneContext* scene = nullptr);
  ~PlayerBoard();
  PlayerBoard(const PlayerBoard&) = delete;
  PlayerBoard& operator=(const PlayerBoard&) = delete;

  BoardEffects& effects() { return effects_; }
  const Player& player() const { return player_; }

  // Sets the neck parts up for the player's instrument (its kind is known once the
  // level has set the board up); safe to call again.
  void SetupParts();
  // Lays the frets and lines out for the player's board shape when it changed (the
  // key window of a keys board moves), brings the overlays in step with the track's
  // sections and advances every animation to the millisecond clock; once per frame.
  void Update();
  // The profile's neck picture: `neckName` (or a random one when it is "[Random]" or
  // missing) from the theme's "static/necks/", else a random one of the default
  // theme's. False, with the board left without a neck, when none can be loaded.
  bool LoadProfileNeck(std::u16string_view themeFolder, std::u16string_view neckName);

  // What the effect triggers set, read by the renderer and tests.
  std::array<NeckPart, kNeckParts> parts;
  std::array<TailRibbon, kNoteSlots> tails;
  FretManager frets;
  LaneLines laneLines;
  LaneSectionView sections;
  // Per sub-board: the key window last moved towards lower keys (the range-change
  // neck rolls left then).
  bool rollLeft[2] = {false, false};
  glm::vec3 cameraShake{0.0f};
  bool energyLook = false;   // the sides and beat lines take their energy textures
  bool warningOn = false;
  int32_t laneSpacing = 0;   // LaneSpacing of every lane placement of this board
  // The neck picture the profile chose; null draws no neck.
  const platform::gfx::Texture* neckTexture = nullptr;
  // Fret slots lit by a hit and held, per slot the millisecond clock of the last hit
  // and press (the fret visuals read them).
  std::array<bool, 92> fretHeld{};
  std::array<uint32_t, 92> lastHit{};
  std::array<uint32_t, 92> lastPress{};
  std::array<bool, 92> sustaining{};
  uint32_t lastMiss = 0;
  uint32_t lastEnergyFlash = 0;

 private:
  void Fill();
  bool LoadNeck(const std::u16string& path);
  void StartShake();
  void LayoutEffects();
  // The sub-board a fret slot belongs to (the second hand's lanes of a two-hand board).
  int32_t PaneOf(int32_t slot) const;

  Player& player_;
  GameAssets* assets_;
  std::unique_ptr<SceneContext> ownScene_;
  SceneContext* scene_;
  // The board shape the frets and lines were laid out for.
  struct Shape {
    int32_t kind = -1, laneCount = -1, mode = -1;
    bool lefty = false;
    int32_t visible[2] = {0, 0};
    float offset[2] = {0.0f, 0.0f};
    bool operator==(const Shape&) const = default;
  };
  Shape shape_;
  int32_t keyRange_[2] = {0, 0};
  BoardEffects effects_;
  ValueAnimator energyFade_;
  ValueAnimator warningPulse_;
  ValueAnimator shake_;
};

// The boards of the level's players by player index: made by the level's set-up (on
// the Task thread, before the main thread draws them) and destroyed at tear-down.
class LevelBoards {
 public:
  static constexpr int32_t kMaxBoards = 15;
  // Replaces the board of `index` (nothing for an index outside 0..14).
  PlayerBoard* Create(Player& player, int32_t index, GameAssets* assets, platform::gfx::RenderDevice* device,
                      SceneContext* scene = nullptr);
  void DestroyAll();
  PlayerBoard* Get(int32_t index) const;

 private:
  std::array<std::unique_ptr<PlayerBoard>, kMaxBoards> boards_;
};

// The process's level boards.
LevelBoards& CurrentLevelBoards();

}  // namespace graphics
