// Presses that found no note, held back for 65 ms, so that a pro-strings chord played
// string by string is not judged as a row of overhits.
#pragma once

#include <cstdint>

#include "game/lane_map.h"

struct ParkedPress {
  double time = 0;
  int32_t lane = 0;
  int32_t value = 0;
  int32_t velocity = 128;
  bool pending = false;
};

class InputHistory {
 public:
  static constexpr int32_t kSlots = 20;
  static constexpr double kHoldMs = 65.0;
  static constexpr double kRepeatMs = 100.0;

  InputHistory();

  void Clear();
  // Parks a press. True when it is parked or counts as already handled (the same
  // lane and value again within 100 ms of the last record, or within 65 ms after a
  // flush); false when all 20 slots are pending and the press is lost.
  bool Record(int32_t lane, int32_t value, int32_t velocity, double now);
  // A chord was played: presses parked within the last 65 ms belonged to it.
  void Flush(double now);
  // Copies out, in slot order, every press that has waited 65 ms and frees its slot.
  int32_t TakeDue(ParkedPress out[kSlots], double now);

  const ParkedPress& slot(int32_t i) const { return slots_[i]; }

 private:
  ParkedPress slots_[kSlots];
  int32_t lastValue_[kLaneSlots];
  double lastRecordTime_;
  double flushTime_;
  bool flushed_;
};
