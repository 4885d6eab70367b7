// Timed records that animate numbers from the millisecond clock. Their owner calls
// Update once per frame; nothing runs by itself.
//
// Times are 32-bit millisecond clock values. Every comparison of two of them looks at
// their difference, so a delay or interval that spans the clock's wrap-around (every
// 49.7 days) ends on time. A clock that steps backwards counts as standing still.
#pragma once

#include <cstdint>

// Moves one float, owned by the caller, towards a value at a speed in units per
// second: once, there and back (ping-pong), or for ever (repeat).
class ValueAnimator {
 public:
  // Starts a move of *target towards `to`; nothing happens when target is null.
  // A delay other than 0 holds the value for that many milliseconds first.
  void Start(float* target, bool pingPong, bool repeat, uint32_t delayMs, float speed, float to);
  void Update();

  float speed = 0;  // units per second; negative while the value decreases
  uint32_t lastTime = 0;
  float* target = nullptr;
  float to = 0;
  float initialTo = 0;
  float from = 0;
  float initialFrom = 0;
  bool running = false;
  bool decreasing = false;
  bool pingPong = false;
  bool repeat = false;
  bool endToggle = false;          // flips at the end of every leg
  bool stopAfterFirstEnd = false;  // clears ping-pong and repeat once endToggle is set
  uint32_t delayEnd = 0;
  bool delayPending = false;

 private:
  void Begin(float speedMagnitude);
};

// Flips a flag, owned by the caller, when an interval has run out: once, or every
// interval (repeat). It runs on an external clock when one is given.
class ToggleTimer {
 public:
  void Start(bool* target, bool repeat, const uint32_t* clock, float intervalMs);
  void Update();

  uint32_t due = 0;
  float interval = 0;
  bool* target = nullptr;
  bool running = false;
  bool repeat = false;
  const uint32_t* clock = nullptr;  // external clock, or null for the own clock
  uint32_t ownClock = 0;

 private:
  uint32_t Now() const { return clock ? *clock : ownClock; }
  uint32_t WholeInterval() const;
};

// A tween with its own copy of the value, written to the caller's float after every
// update: legs between two values, with ping-pong, endless repetition, a start delay,
// a delay before repetitions and a count of finished legs. The overshoot of a leg
// carries into the next one.
class ValueAnimator2 {
 public:
  void Reset();
  // Sets *target (when not null) to `from` and starts a leg towards `to`.
  void Start(int32_t legs, float to, float* target, bool pingPong, bool loop, const uint32_t* clock, int32_t delayMs,
             int32_t loopDelayMs, float speed, float from);
  void Update();

  float speed = 0;  // always the magnitude
  uint32_t lastTime = 0;
  float* target = nullptr;
  float to = 0;
  float from = 0;
  float legEnd = 0;
  float current = 0;
  bool pingPong = false;
  bool loop = false;
  bool decreasing = false;
  bool running = false;
  int32_t delay = 0;
  const uint32_t* clock = nullptr;  // external clock, or null for the own clock
  uint32_t ownClock = 0;
  uint32_t delayEnd = 0;
  bool delayPending = false;
  int32_t loopDelay = 0;
  int32_t legs = 0;

 private:
  uint32_t Now() const { return clock ? *clock : ownClock; }
};
