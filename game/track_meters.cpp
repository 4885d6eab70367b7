#include "game/track_meters.h"

#include <algorithm>

#include "game/player_score.h"

namespace {

// The multiplier values that have a badge, in the table's order.
constexpr int32_t kBadgeValues[] = {1, 2, 3, 4, 5, 6, 8, 10, 12};
constexpr int32_t kBadgeCount = int32_t(sizeof kBadgeValues / sizeof kBadgeValues[0]);

// Grades 0 late .. 4 early against the table's very-early .. very-late order.
constexpr int32_t kAccuracyByGrade[5] = {4, 3, 2, 1, 0};

bool ValidMark(int32_t lane, int32_t hand) {
  return lane >= 0 && lane < kLaneSlots && hand >= 0 && hand < TrackMeters::kHands;
}

}  // namespace

int32_t TrackMeters::MultiplierTexture(int32_t multiplier) {
  int32_t index = 0;
  for (int32_t i = 0; i < kBadgeCount; ++i)
    if (kBadgeValues[i] <= multiplier) index = i;
  return kMultiplierFirst + index;
}

int32_t TrackMeters::AccuracyTexture(int32_t grade) {
  if (grade < 0 || grade > 4) return -1;
  return kAccuracyFirst + kAccuracyByGrade[grade];
}

void TrackMeters::Reset() {
  for (MeterPart& c : chunks) c.texture = kChunkBarFirst;
  multiplier.texture = kMultiplierFirst;
  drunkMultiplierTexture = kMultiplierFirst;
  lastMultiplier_ = 1;
  for (auto& hand : accuracy_)
    for (AccuracyMark& m : hand) m = AccuracyMark();
}

void TrackMeters::Setup(bool wideBoard) {
  Reset();
  chunks[0].enabled = !wideBoard;
  chunks[1].enabled = wideBoard;
  multiplier.enabled = true;
}

void TrackMeters::Update(const PlayerScore& score) {
  // At the cap the multiplier cannot rise: the bar stays full instead of counting on.
  const bool capped = score.multiplier >= score.MultiplierCap();
  const int32_t lit = capped ? kChunkBarLast : std::clamp(score.stepHits, 0, kChunkBarLast);
  for (MeterPart& c : chunks) c.texture = kChunkBarFirst + lit;
  if (score.multiplier != lastMultiplier_) {
    drunkMultiplierTexture = MultiplierTexture(lastMultiplier_);
    lastMultiplier_ = score.multiplier;
  }
  multiplier.texture = MultiplierTexture(score.multiplier);
}

void TrackMeters::MarkAccuracy(int32_t lane, int32_t hand, int32_t grade, uint32_t now) {
  if (!ValidMark(lane, hand)) return;
  AccuracyMark& m = accuracy_[hand][lane];
  m.texture = AccuracyTexture(grade);
  m.shownAt = now;
}

float TrackMeters::AccuracyAlpha(int32_t lane, int32_t hand, uint32_t now) const {
  if (!ValidMark(lane, hand)) return 0.0f;
  const AccuracyMark& m = accuracy_[hand][lane];
  if (m.texture < 0) return 0.0f;
  // A wrapping clock: the age is the unsigned difference.
  const uint32_t age = now - m.shownAt;
  if (age >= kAccuracyShowMs) return 0.0f;
  const uint32_t fadeFrom = kAccuracyShowMs - kAccuracyFadeMs;
  if (age <= fadeFrom) return 1.0f;
  return 1.0f - float(age - fadeFrom) / float(kAccuracyFadeMs);
}

const AccuracyMark* TrackMeters::Accuracy(int32_t lane, int32_t hand) const {
  return ValidMark(lane, hand) ? &accuracy_[hand][lane] : nullptr;
}
