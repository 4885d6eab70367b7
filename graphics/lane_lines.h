// The lines drawn on a player's board between and around the lanes, and the
// board-wide light effects laid over them: the energy glow, the hit flash, the miss
// flash, the rock-meter warning and the pulsing edge lines that mark a move of the
// visible key range. Effects run on the millisecond clock, not the song clock.
#pragma once

#include <array>
#include <cstdint>

#include "core/animators.h"
#include "graphics/transform.h"

namespace graphics {

struct SceneContext;

// One boundary between lanes: boundary i lies at the start of lane i.
struct LaneLine {
  Transform place[2];             // per sub-board
  float alpha[2] = {1.0f, 1.0f};  // per sub-board, rewritten by every draw
};

class LaneLines {
 public:
  static constexpr int kLines = 92;  // boundaries 0..lane count; lane count at most 91
  static constexpr int kMaxLaneCount = kLines - 1;
  static constexpr uint32_t kEdgePulseMs = 4000;
  static constexpr uint32_t kSecondPulseMs = 3000;

  LaneLines() = default;
  LaneLines(const LaneLines&) = delete;
  LaneLines& operator=(const LaneLines&) = delete;

  // Stores the board's shape and lays the lines out. A lane count outside 0..91 is
  // clamped (logged).
  void Setup(int32_t laneCount, int32_t mode, bool lefty, SceneContext* scene, int32_t kind, const float laneOffsets[2],
             const int32_t visibleLanes[2]);
  // Places every boundary on both sub-boards for these lane offsets.
  void Layout(const float laneOffsets[2]);

  void EnergyGlowOn();    // fades in over 0.5 s
  void EnergyGlowOff();   // fades out over 0.5 s
  void StartHitFlash();   // an energy phrase completed: 1 falling to 0 in about 0.67 s
  void StartMissFlash();  // a miss: the same on the miss texture
  // The rock-meter warning swells and fades every second while on; switching it off
  // stops it at once. Calls that do not change the state do nothing.
  void SetWarning(bool on);
  // The visible key range of sub-board `pane` moved to start at `rangeStart`: its two
  // edge lines pulse for 4 s and then fade out.
  void ShowRangeMove(int32_t rangeStart, int32_t pane);
  // Once per frame.
  void Update();
  // The lines of sub-board `pane` (0 or 1), then the board sides of every running
  // board-wide effect.
  void Draw(int32_t pane);

  const LaneLine& Line(int32_t i) const { return lines_[i < 0 ? 0 : i >= kLines ? kLines - 1 : i]; }

  // Board-wide effect values, 0..1.
  float energyGlow = 0.0f;
  float hitFlash = 0.0f;
  float missFlash = 0.0f;
  float warning = 0.0f;
  bool warningOn = false;
  // Per sub-board.
  float edgePulse[2] = {0.0f, 0.0f};
  float edgeEnvelope[2] = {0.0f, 0.0f};
  float pulse2[2] = {0.0f, 0.0f};  // read by the board's range-change neck
  float envelope2[2] = {0.0f, 0.0f};
  int32_t rangeStart[2] = {0, 0};
  bool edgeTimerDone[2] = {false, false};
  bool secondTimerDone[2] = {false, false};

  int32_t laneCount = 5;
  int32_t visibleLanes[2] = {5, 5};
  int32_t firstLine[2] = {0, 0};
  int32_t endLine[2] = {0, 0};
  float laneOffset[2] = {0.0f, 0.0f};
  int32_t mode = 0;
  int32_t kind = 0;
  bool lefty = false;
  SceneContext* scene = nullptr;

 private:
  void DrawLine(int32_t i, int32_t pane);

  ValueAnimator energyGlowAnim_, hitFlashAnim_, missFlashAnim_, warningAnim_;
  ValueAnimator edgePulseAnim_[2], edgeEnvelopeAnim_[2], pulse2Anim_[2], envelope2Anim_[2];
  ToggleTimer edgeTimer_[2], secondTimer_[2];
  std::array<LaneLine, kLines> lines_{};
};

}  // namespace graphics
