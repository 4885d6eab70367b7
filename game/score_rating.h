// The band's star meter: the running total of every player's score measured against
// the total of their chart base scores, as a level from 0.0 to 6.0 whose whole part
// is stored with a result. A rise of the whole level flashes the meter for a second
// and plays a sound.
#pragma once

#include <array>
#include <cstdint>

#include "game/level_fade.h"

class Player;
class GameSound;

class ScoreRating {
 public:
  static constexpr int32_t kLevels = 6;
  static constexpr int32_t kLevelUpSound = 99;
  static constexpr std::array<float, kLevels + 1> kThresholds = {0.0f, 0.21f, 0.46f, 0.77f, 1.85f, 3.08f, 4.52f};

  ScoreRating() = default;

  // Totals the players' scores, recomputes the level and starts the flash (and the
  // sound, when a sound player is given) when the whole level rose.
  void Update(GameSound* sound);
  // The level from the two totals.
  void Compute();

  Player* players = nullptr;
  int32_t playerCount = 0;
  float totalScore = 0.0f;
  float totalBaseScore = 0.0f;
  float level = 0.0f;
  LevelFade flash;  // its value is the flash shown by the meter
  int32_t spare = 0;
};
