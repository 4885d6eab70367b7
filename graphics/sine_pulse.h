// A float that swings between two values along a sine on the millisecond clock: the
// breathing of held-key glows, hit flames and lane-section widths. The phase counts
// from the moment the pulse was made (never from its start), so a pulse restarted
// mid-swing carries on where the clock puts it.
#pragma once

#include <cstdint>

namespace graphics {

class SinePulse {
 public:
  // Takes the clock's time as the phase origin.
  SinePulse();
  SinePulse(const SinePulse&) = delete;
  SinePulse& operator=(const SinePulse&) = delete;

  // Runs *target between from and to; speed scales the phase (units per 10 s). A
  // pulse without repeat makes one half wave and then rests at from.
  void Start(float* target, float from, float to, float speed, bool repeat);
  void Stop() { running = false; }
  // Writes the value of the current phase into the target while running.
  void Update();
  // The value the pulse has at clock time `now` (also while stopped).
  float ValueAt(uint32_t now) const;

  float* target = nullptr;
  float from = 0.0f;
  float to = 1.0f;
  float speed = 1.0f;
  bool running = false;
  bool repeat = true;
  uint32_t start = 0;
};

}  // namespace graphics
