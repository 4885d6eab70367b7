// Lane lines, their board-wide light effects and the edge pulse of a key-range move.
#include "graphics/lane_lines.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/log.h"
#include "core/utils.h"
#include "graphics/asset_model_draw.h"
#include "graphics/board_geometry.h"
#include "graphics/fret_manager.h"
#include "graphics/game_assets.h"
#include "graphics/scene_context.h"

namespace graphics {

namespace {

// Model slots of the asset store.
constexpr int32_t kLaneModel = 51;       // "board/Lane.X"
constexpr int32_t kLaneSidesModel = 52;  // "board/Lane_Sides.X"

// Slots of the asset store's fret texture table.
constexpr int32_t kLaneNormal = 60;
constexpr int32_t kLaneEnergy = 61;  // "board/Lane_VL.png"
constexpr int32_t kLaneGlow = 62;
constexpr int32_t kLaneMiss = 63;
constexpr int32_t kLaneRollEdge = 64;
constexpr int32_t kLaneOctave = 65;

constexpr float kGlowSpeed = 2.0f;     // energy glow: half a second
constexpr float kFlashSpeed = 1.5f;    // hit and miss flash, envelopes
constexpr float kWarningSpeed = 2.0f;  // a one-second swell and fade
constexpr float kSecondPulseSpeed = 3.0f;
// On a keyboard, the lines below the third and eighth notes of the octave (counted
// from A: C and F) are drawn full; the others at a quarter.
constexpr int32_t kOctaveLine = 2;
constexpr int32_t kFifthLine = 7;
constexpr float kQuietLine = 0.25f;

int32_t WholeLanes(float offset) {
  if (!std::isfinite(offset)) return 0;
  return static_cast<int32_t>(std::clamp(offset, -1.0e6f, 1.0e6f));
}

bool ValidPane(int32_t pane) { return pane == 0 || pane == 1; }

}  // namespace

void LaneLines::Setup(int32_t newLaneCount, int32_t newMode, bool newLefty, SceneContext* newScene, int32_t newKind,
                      const float laneOffsets[2], const int32_t newVisibleLanes[2]) {
  if (newLaneCount < 0 || newLaneCount > kMaxLaneCount) {
    Log(0, u"Lane lines: lane count " + ToWide(std::to_string(newLaneCount)) + u" out of range");
    newLaneCount = std::clamp(newLaneCount, 0, kMaxLaneCount);
  }
  laneCount = newLaneCount;
  mode = newMode;
  lefty = newLefty;
  scene = newScene;
  kind = newKind;
  for (int s = 0; s < 2; ++s) visibleLanes[s] = std::max(0, newVisibleLanes ? newVisibleLanes[s] : 0);
  const float noOffsets[2] = {0.0f, 0.0f};
  Layout(laneOffsets ? laneOffsets : noOffsets);
}

void LaneLines::Layout(const float laneOffsets[2]) {
  for (int s = 0; s < 2; ++s) {
    laneOffset[s] = laneOffsets[s];
    for (int32_t i = 0; i <= laneCount; ++i) {
      BoardGeometry::LanePositions(lines_[static_cast<size_t>(i)].place[s], i, visibleLanes[s], kind, lefty, mode, true,
                                   laneOffsets[s]);
    }
    const int32_t whole = WholeLanes(laneOffsets[s]);
    firstLine[s] = std::clamp(whole, 0, laneCount + 1);
    endLine[s] = std::clamp(whole + visibleLanes[s] + 1, firstLine[s], laneCount + 1);
  }
}

void LaneLines::EnergyGlowOn() {
  energyGlow = 0.0f;
  energyGlowAnim_.Start(&energyGlow, false, false, 0, kGlowSpeed, 1.0f);
}

void LaneLines::EnergyGlowOff() {
  energyGlow = 1.0f;
  energyGlowAnim_.Start(&energyGlow, false, false, 0, kGlowSpeed, 0.0f);
}

void LaneLines::StartHitFlash() {
  hitFlash = 1.0f;
  hitFlashAnim_.Start(&hitFlash, false, false, 0, kFlashSpeed, 0.0f);
}

void LaneLines::StartMissFlash() {
  missFlash = 1.0f;
  missFlashAnim_.Start(&missFlash, false, false, 0, kFlashSpeed, 0.0f);
}

void LaneLines::SetWarning(bool on) {
  if (warningOn && !on) {
    // Off means off now: the swell does not finish its turn.
    warning = 0.0f;
    warningAnim_.running = false;
    warningOn = false;
  } else if (!warningOn && on) {
    warning = 0.0f;
    warningAnim_.Start(&warning, true, true, 0, kWarningSpeed, 1.0f);
    warningOn = true;
  }
}

void LaneLines::ShowRangeMove(int32_t newRangeStart, int32_t s) {
  if (!ValidPane(s)) return;
  rangeStart[s] = newRangeStart;
  // A fade-out of an earlier move must not pull the new envelopes down.
  edgeEnvelopeAnim_[s].running = false;
  envelope2Anim_[s].running = false;
  edgeEnvelope[s] = 1.0f;
  envelope2[s] = 1.0f;
  edgePulse[s] = 0.0f;
  edgePulseAnim_[s].Start(&edgePulse[s], true, true, 0, kFlashSpeed, 1.0f);
  pulse2[s] = 0.0f;
  pulse2Anim_[s].Start(&pulse2[s], true, true, 0, kSecondPulseSpeed, 1.0f);
  edgeTimerDone[s] = false;
  secondTimerDone[s] = false;
  edgeTimer_[s].Start(&edgeTimerDone[s], false, nullptr, static_cast<float>(kEdgePulseMs));
  secondTimer_[s].Start(&secondTimerDone[s], false, nullptr, static_cast<float>(kSecondPulseMs));
}

void LaneLines::Update() {
  energyGlowAnim_.Update();
  hitFlashAnim_.Update();
  missFlashAnim_.Update();
  warningAnim_.Update();
  for (int s = 0; s < 2; ++s) {
    edgePulseAnim_[s].Update();
    edgeEnvelopeAnim_[s].Update();
    pulse2Anim_[s].Update();
    envelope2Anim_[s].Update();
    edgeTimer_[s].Update();
    secondTimer_[s].Update();
    if (edgeTimerDone[s]) {
      edgeTimerDone[s] = false;
      edgeEnvelopeAnim_[s].Start(&edgeEnvelope[s], false, false, 0, kFlashSpeed, 0.0f);
    }
    if (secondTimerDone[s]) {
      secondTimerDone[s] = false;
      envelope2Anim_[s].Start(&envelope2[s], false, false, 0, kFlashSpeed, 0.0f);
    }
  }
}

void LaneLines::DrawLine(int32_t i, int32_t s) {
  GameAssets* assets = scene->assets;
  auto& table = assets->fretTextures;
  LaneLine& line = lines_[static_cast<size_t>(i)];
  Transform place = line.place[s];
  const bool realKeys = board_kind::IsRealKeys(kind);
  const float v = KeyVisibility(kind, place.position.x);
  const int32_t note = ((i - 1) % 12 + 12) % 12;
  line.alpha[s] = (realKeys && note != kOctaveLine && note != kFifthLine) ? v * kQuietLine : v;
  const float a = line.alpha[s];

  auto draw = [&](int32_t texture, float alpha) {
    place.alpha = alpha;
    DrawAssetModel(assets, kLaneModel, &table[static_cast<size_t>(texture)], place);
  };
  if (a > 0.0f) {
    draw(realKeys && note == kOctaveLine ? kLaneOctave : kLaneNormal, a);
    if (energyGlow > 0.0f) draw(kLaneEnergy, energyGlow * a);
    if (hitFlash > 0.0f) draw(kLaneGlow, hitFlash * a);
    if (missFlash > 0.0f) draw(kLaneMiss, missFlash * a);
    if (warning > 0.0f) draw(kLaneMiss, warning * a);
  }
  if ((i == rangeStart[s] || i == rangeStart[s] + visibleLanes[s]) && edgePulse[s] > 0.0f && edgeEnvelope[s] > 0.0f)
    draw(kLaneRollEdge, edgeEnvelope[s] * edgePulse[s]);
}

void LaneLines::Draw(int32_t s) {
  if (!ValidPane(s) || !scene || !scene->assets) return;
  for (int32_t i = firstLine[s]; i < endLine[s]; ++i) DrawLine(i, s);

  GameAssets* assets = scene->assets;
  auto& table = assets->fretTextures;
  auto sides = [&](int32_t texture, float alpha) {
    if (alpha <= 0.0f) return;
    Transform neutral;
    neutral.alpha = alpha;
    DrawAssetModel(assets, kLaneSidesModel, &table[static_cast<size_t>(texture)], neutral);
  };
  sides(kLaneEnergy, energyGlow);
  sides(kLaneGlow, hitFlash);
  sides(kLaneMiss, missFlash);
  sides(kLaneMiss, warning);
}

}  // namespace graphics
