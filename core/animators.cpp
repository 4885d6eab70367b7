#include "core/animators.h"

#include <cmath>
#include <utility>

#include "platform/clock.h"

namespace {

// True once `now` has reached `end`, also when the clock wrapped in between.
bool Reached(uint32_t now, uint32_t end) { return static_cast<int32_t>(now - end) >= 0; }

// Milliseconds from `last` to `now`; a clock that went back gives 0.
uint32_t Elapsed(uint32_t now, uint32_t last) {
  const int32_t d = static_cast<int32_t>(now - last);
  return d > 0 ? static_cast<uint32_t>(d) : 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// ValueAnimator

void ValueAnimator::Start(float* targetValue, bool pingPongOn, bool repeatOn, uint32_t delayMs, float unitsPerSecond,
                          float toValue) {
  if (!targetValue) return;
  const uint32_t now = platform::TimeGetTime();
  delayPending = delayMs != 0;
  delayEnd = delayPending ? now + delayMs : 0;
  pingPong = pingPongOn;
  repeat = repeatOn;
  to = toValue;
  initialTo = toValue;
  target = targetValue;
  lastTime = now;
  from = *target;
  initialFrom = *target;
  running = true;
  endToggle = false;
  stopAfterFirstEnd = false;
  Begin(std::fabs(unitsPerSecond));
}

void ValueAnimator::Begin(float speedMagnitude) {
  decreasing = *target > to;
  speed = decreasing ? -speedMagnitude : speedMagnitude;
}

void ValueAnimator::Update() {
  if (!running || !target) return;
  const uint32_t now = platform::TimeGetTime();
  if (delayPending) {
    if (Reached(now, delayEnd)) {
      delayPending = false;
      delayEnd = 0;
      lastTime = now;  // the move starts from here, without a jump
    }
    return;
  }
  *target += speed * static_cast<float>(Elapsed(now, lastTime)) / 1000.0f;
  lastTime = now;

  const bool legEnded = decreasing ? to >= *target : *target >= to;
  if (legEnded) {
    endToggle = !endToggle;
    *target = to;
    if (pingPong) {
      std::swap(from, to);
      speed = -speed;
      decreasing = !decreasing;
      if (!repeat) pingPong = false;  // one return trip, then rest at the first value
    } else if (repeat) {
      // Round again from the start value. endToggle and stopAfterFirstEnd carry over,
      // so that they keep working in a loop.
      *target = from;
      Begin(std::fabs(speed));
    } else {
      running = false;
    }
  }
  if (stopAfterFirstEnd && endToggle) {
    pingPong = false;
    repeat = false;
  }
}

// ---------------------------------------------------------------------------
// ToggleTimer

uint32_t ToggleTimer::WholeInterval() const {
  // Negative or not-a-number intervals fire at once; the wrap-safe comparison allows
  // at most half the clock's range.
  if (!(interval > 0)) return 0;
  if (interval >= 2147483647.0f) return 2147483647u;
  return static_cast<uint32_t>(interval);
}

void ToggleTimer::Start(bool* flag, bool repeatOn, const uint32_t* externalClock, float intervalMs) {
  ownClock = platform::TimeGetTime();
  interval = intervalMs;
  clock = externalClock;
  repeat = repeatOn;
  target = flag;
  running = flag != nullptr;
  due = Now() + WholeInterval();
}

void ToggleTimer::Update() {
  if (!running) return;
  ownClock = platform::TimeGetTime();
  if (!Reached(Now(), due)) return;
  *target = !*target;
  if (repeat) {
    due = Now() + WholeInterval();
  } else {
    running = false;
  }
}

// ---------------------------------------------------------------------------
// ValueAnimator2

void ValueAnimator2::Reset() { *this = ValueAnimator2(); }

void ValueAnimator2::Start(int32_t legCount, float toValue, float* targetValue, bool pingPongOn, bool loopOn,
                           const uint32_t* externalClock, int32_t delayMs, int32_t loopDelayMs, float unitsPerSecond,
                           float fromValue) {
  pingPong = pingPongOn;
  loop = loopOn;
  speed = std::fabs(unitsPerSecond);
  to = toValue;
  legEnd = toValue;
  from = fromValue;
  current = fromValue;
  delay = delayMs;
  clock = externalClock;
  loopDelay = loopDelayMs;
  legs = legCount;
  target = targetValue;
  if (target) *target = fromValue;
  ownClock = platform::TimeGetTime();
  lastTime = Now();
  decreasing = fromValue > toValue;
  running = true;
  delayPending = delayMs != 0;
  delayEnd = delayPending ? Now() + static_cast<uint32_t>(delayMs) : 0;
}

void ValueAnimator2::Update() {
  if (!running) return;
  // The own clock follows the millisecond clock at every update, also while a delay
  // runs, so that the delay can end.
  ownClock = platform::TimeGetTime();
  const uint32_t now = Now();
  if (delayPending) {
    if (Reached(now, delayEnd)) {
      lastTime = delayEnd;  // the time of the delay does not count
      delayPending = false;
      delayEnd = 0;
    }
    return;
  }

  const float step = speed * static_cast<float>(Elapsed(now, lastTime)) / 1000.0f;
  current += decreasing ? -step : step;
  const bool legEnded = decreasing ? legEnd >= current : current >= legEnd;
  if (legEnded) {
    ++legs;
    const float overshoot = current - legEnd;
    current = legEnd;
    const float oldFrom = from, oldTo = to;
    if (pingPong && loop) {
      // Out and straight back; the loop delay comes after each full cycle.
      Start(legs, oldFrom, target, true, true, clock, legs % 2 == 0 ? loopDelay : 0, loopDelay, speed, oldTo);
      current -= overshoot;
    } else if (pingPong) {
      Start(legs, oldFrom, target, false, false, clock, 0, loopDelay, speed, oldTo);
      current -= overshoot;
    } else if (loop) {
      Start(legs, oldTo, target, false, true, clock, loopDelay, loopDelay, speed, oldFrom);
      current += overshoot;
    } else {
      running = false;
    }
  }
  if (target) *target = current;
  lastTime = now;
}
