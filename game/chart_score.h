// The base score of one chart part: for each difficulty the points a perfect player
// gets without multiplier, and the number of notes. Walked once at level set-up from
// the raw chart events.
#pragma once

#include <cstdint>

class MidiFile;
class MidiEvent;

class ChartScore {
 public:
  static constexpr int32_t kDifficulties = 5;
  static constexpr int32_t kLaneSlotTables = 7;
  static constexpr int32_t kKeySlots = 89;

  ChartScore();
  void Reset();
  // Always true. `first` is the head of the part's event list (may be null).
  bool Compute(const MidiFile* chart, const MidiEvent* first, int32_t kind, int32_t difficulty);

  float baseScore[kDifficulties] = {};
  int32_t noteCount[kDifficulties] = {};
  int32_t kind = 0;
  int32_t difficulty = 0;
  int32_t ticksPerQuarter = 480;

 private:
  struct Span {
    uint32_t start = 0;
    uint32_t end = 0;
  };
  void Apply(Span& slot, int32_t d, bool noteOn);

  Span lanes_[kLaneSlotTables][kDifficulties];
  Span keys_[kKeySlots][kDifficulties];
  uint32_t tick_ = 0;
  int64_t lastStart_[kDifficulties] = {};
  int32_t chordSize_[kDifficulties] = {};
};
