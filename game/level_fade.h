// A float that moves in a straight line to a target at a fixed speed per second on
// the wall clock (platform::TimeGetTime), advanced once per frame: the level's play
// fade and the rating meter's level-up flash.
#pragma once

#include <cstdint>

#include "platform/clock.h"

struct LevelFade {
  float value = 0.0f;
  float target = 0.0f;
  float speed = 1.0f;  // units per second, always positive
  uint32_t last = 0;
  bool running = false;

  // Sets the value and starts it towards the target.
  void Start(float from, float to, float unitsPerSecond) {
    value = from;
    target = to;
    speed = unitsPerSecond > 0.0f ? unitsPerSecond : 1.0f;
    last = platform::TimeGetTime();
    running = value != target;
  }

  void Update() {
    if (!running) return;
    const uint32_t now = platform::TimeGetTime();
    const float step = speed * static_cast<float>(now - last) / 1000.0f;
    last = now;
    if (value < target) {
      value += step;
      if (value >= target) value = target;
    } else {
      value -= step;
      if (value <= target) value = target;
    }
    running = value != target;
  }
};
