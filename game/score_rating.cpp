#include "game/score_rating.h"

#include <cmath>

#include "game/player.h"

void ScoreRating::Compute() {
  const float base = totalBaseScore;
  const float s = totalScore;
  int32_t whole = 0;
  for (int32_t i = kLevels; i >= 1; --i) {
    if (s >= base * kThresholds[static_cast<size_t>(i)]) {
      whole = i;
      break;
    }
  }
  // The top level has no threshold above it: it is the meter's end.
  if (whole == kLevels) {
    level = static_cast<float>(kLevels);
    return;
  }
  const float low = base * kThresholds[static_cast<size_t>(whole)];
  const float high = base * kThresholds[static_cast<size_t>(whole) + 1];
  level = high > low ? static_cast<float>(whole) + (s - low) / (high - low) : static_cast<float>(whole);
}

void ScoreRating::Update(GameSound* sound) {
  float total = 0.0f;
  for (int32_t i = 0; players && i < playerCount; ++i) total += players[i].score().score;
  totalScore = total;
  const float oldWhole = std::floor(level);
  Compute();
  if (std::floor(level) > oldWhole) {
    flash.Start(1.0f, 0.0f, 1.0f);
    if (sound) sound->Play(kLevelUpSound, 1.0f, 1.0f);
  }
  flash.Update();
}
