#include "game/input_history.h"

InputHistory::InputHistory() { Clear(); }

void InputHistory::Clear() {
  for (ParkedPress& s : slots_) s = ParkedPress();
  for (int32_t& v : lastValue_) v = -1;
  lastRecordTime_ = -1.0e12;
  flushTime_ = 0;
  flushed_ = false;
}

bool InputHistory::Record(int32_t lane, int32_t value, int32_t velocity, double now) {
  const bool laneOk = lane >= 0 && lane < kLaneSlots;
  if (laneOk && lastRecordTime_ + kRepeatMs >= now && lastValue_[lane] == value) return true;
  if (flushed_ && flushTime_ + kHoldMs >= now) return true;
  for (ParkedPress& s : slots_) {
    if (s.pending) continue;
    s.time = now;
    s.lane = lane;
    s.value = value;
    s.velocity = velocity;
    s.pending = true;
    // The repeat rule needs to know what was parked last.
    lastRecordTime_ = now;
    if (laneOk) lastValue_[lane] = value;
    return true;
  }
  return false;
}

void InputHistory::Flush(double now) {
  flushed_ = true;
  flushTime_ = now;
  for (ParkedPress& s : slots_) {
    if (s.pending && s.time + kHoldMs >= now) s = ParkedPress();
  }
}

int32_t InputHistory::TakeDue(ParkedPress out[kSlots], double now) {
  int32_t count = 0;
  for (ParkedPress& s : slots_) {
    if (!s.pending || now < s.time + kHoldMs) continue;
    out[count++] = s;
    s = ParkedPress();
  }
  return count;
}
