// What the meters beside a player's board show: the chunk bar of hits toward the next
// multiplier step, the multiplier badge and the hit-accuracy mark of each lane. The
// track brings them up to date from its score every frame and from judging; the board
// renderer only reads them. Values are texture indexes into the asset store's meter
// table (the one that starts with "Meter_Chunk_Bar_0").
#pragma once

#include <cstdint>

#include "game/lane_map.h"

class PlayerScore;

struct MeterPart {
  int32_t texture = -1;  // meter table index, -1 = nothing to show
  bool enabled = false;
};

struct AccuracyMark {
  int32_t texture = -1;  // meter table index of the grade, -1 = no mark
  uint32_t shownAt = 0;  // millisecond clock of the hit
};

class TrackMeters {
 public:
  // Meter table indexes.
  static constexpr int32_t kChunkBarFirst = 0;     // Meter_Chunk_Bar_0 .. _10
  static constexpr int32_t kChunkBarLast = 10;
  static constexpr int32_t kMultiplierFirst = 11;  // Meter_Multiplier_1, 2, 3, 4, 5, 6, 8, 10, 12
  static constexpr int32_t kAccuracyFirst = 30;    // Accuracy_Very_Early .. Accuracy_Very_Late
  // How long a mark stays, and the last part of that over which it fades.
  static constexpr uint32_t kAccuracyShowMs = 300;
  static constexpr uint32_t kAccuracyFadeMs = 100;
  static constexpr int32_t kHands = 2;

  // The badge of a multiplier value; values without their own picture show the
  // nearest lower one (the highest above 12).
  static int32_t MultiplierTexture(int32_t multiplier);
  // The picture of a judging grade (0 late, 1 good-late, 2 perfect, 3 good-early,
  // 4 early): the table runs from very early to very late.
  static int32_t AccuracyTexture(int32_t grade);

  void Reset();
  // Which chunk bar and badge the board has: the wide two-hand keyboard uses its own
  // set (part 1), every other board part 0.
  void Setup(bool wideBoard);
  // From the score, once a frame: the chunk bar shows the step hits (full at the cap),
  // the badge the multiplier.
  void Update(const PlayerScore& score);
  // A judged hit on `lane` (lane number, not fret slot) of `hand`'s sub-board.
  void MarkAccuracy(int32_t lane, int32_t hand, int32_t grade, uint32_t now);
  // The mark's opacity at `now`: 1 while shown, fading over the last 100 ms, then 0.
  float AccuracyAlpha(int32_t lane, int32_t hand, uint32_t now) const;
  const AccuracyMark* Accuracy(int32_t lane, int32_t hand) const;

  MeterPart chunks[2];
  MeterPart multiplier;
  // What the badge shows instead under the drunk-mode hit window: the multiplier of
  // the step before, a reading that lags behind play.
  int32_t drunkMultiplierTexture = kMultiplierFirst;

 private:
  int32_t lastMultiplier_ = 1;
  AccuracyMark accuracy_[kHands][kLaneSlots];
};
