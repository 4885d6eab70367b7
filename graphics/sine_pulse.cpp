// The sine pulse on the millisecond clock.
#include "graphics/sine_pulse.h"

#include <cmath>

#include "platform/clock.h"

namespace graphics {

namespace {
constexpr double kPi = 3.14159265358979323846;
}  // namespace

SinePulse::SinePulse() : start(platform::TimeGetTime()) {}

void SinePulse::Start(float* newTarget, float newFrom, float newTo, float newSpeed, bool newRepeat) {
  target = newTarget;
  from = newFrom;
  to = newTo;
  speed = newSpeed;
  repeat = newRepeat;
  running = target != nullptr;
}

float SinePulse::ValueAt(uint32_t now) const {
  // Unsigned difference: a clock that wrapped since the pulse was made still counts on.
  const double phase = static_cast<double>(static_cast<uint32_t>(now - start)) / 10000.0 * speed;
  const double s = (!repeat && phase >= kPi) ? 0.0 : std::sin(phase);
  return from + (to - from) * static_cast<float>(s);
}

void SinePulse::Update() {
  if (!running || !target) return;
  *target = ValueAt(platform::TimeGetTime());
}

}  // namespace graphics
