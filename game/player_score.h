// The running result of one player: points, rock meter, streak, multiplier, the hit
// and miss counters and the stored values of the energy meter.
#pragma once

#include <cstdint>

class GameSound;

constexpr int32_t kMaxEnergyPhrases = 100;

struct PhraseCounter {
  int32_t hits = 0;
  int32_t notes = 0;
};

class PlayerScore {
 public:
  PlayerScore() { Reset(true); }

  // Back to the start of a song; `full` also clears the no-fail flag and the note count.
  void Reset(bool full);

  // n notes hit by one judgement (a single note, or one chord of n notes).
  void AddHits(int32_t n);
  // One press that hit nothing.
  void AddOverhit();
  // n notes missed at once.
  void AddMisses(int32_t n);

  // Multiplier cap: bass kinds 6 (12 in energy), all others 4 (8 in energy).
  int32_t MultiplierCap() const;
  // The failure rule on the current meter (meter 0 or less once the grace time has
  // passed): meter emptied and, unless no-fail, failed or withdrawn, the failure
  // sound and failed. Used by the shared miss rule and by the remote score state.
  void CheckFailure();

  int32_t kind = 0;
  float score = 0;
  float rockMeter = 75.0f;
  int32_t multiplier = 1;
  int32_t stepHits = 0;
  float energy = 0;
  bool energyActive = false;
  float energyStart = 0;
  float energyEnd = 0;
  float energyAtActivation = 0;
  bool failed = false;
  bool withdrawn = false;
  bool meterEmptied = false;
  bool noFail = false;
  int32_t streak = 0;
  int32_t maxStreak = 0;
  int32_t hits = 0;
  int32_t noteCount = 0;
  int32_t misses = 0;
  int32_t overhits = 0;
  int32_t meterWarning = 0;
  PhraseCounter phrases[kMaxEnergyPhrases];
  GameSound* sound = nullptr;
  bool comboBroken = false;
  int32_t graceCount = 0;
  int32_t energyActivations = 0;
  uint32_t graceUntil = 0;  // platform::TimeGetTime ms

 private:
  void ApplyMissRule();
};
