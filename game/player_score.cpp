#include "game/player_score.h"

#include <algorithm>

#include "game/game_services.h"
#include "platform/clock.h"
#include "song/instrument.h"

namespace {
constexpr int32_t kFailureSound = 98;

// The grace end is a wrapping 32-bit millisecond time: "reached" is a signed
// difference, so it keeps working across the wrap of the clock.
bool Reached(uint32_t now, uint32_t until) { return static_cast<int32_t>(now - until) >= 0; }
}  // namespace

void PlayerScore::Reset(bool full) {
  const bool keepNoFail = noFail;
  const int32_t keepNotes = noteCount;
  GameSound* keepSound = sound;
  // The kind decides the multiplier cap and the points; a restart keeps it (the note
  // set-up sets it again on a new board).
  const int32_t keepKind = full ? 0 : kind;
  score = 0;
  rockMeter = 75.0f;
  multiplier = 1;
  stepHits = 0;
  energy = 0;
  energyActive = false;
  energyStart = energyEnd = energyAtActivation = 0;
  failed = withdrawn = meterEmptied = false;
  streak = maxStreak = hits = misses = overhits = 0;
  meterWarning = 0;
  for (PhraseCounter& p : phrases) p = PhraseCounter();
  comboBroken = false;
  graceCount = 0;
  energyActivations = 0;
  graceUntil = 0;
  kind = keepKind;
  sound = keepSound;
  noFail = full ? false : keepNoFail;
  noteCount = full ? 0 : keepNotes;
}

int32_t PlayerScore::MultiplierCap() const {
  const bool bass = kind == Instrument::bass || kind == Instrument::bass_real;
  const int32_t cap = bass ? 6 : 4;
  return energyActive ? cap * 2 : cap;
}

void PlayerScore::AddHits(int32_t n) {
  streak += n;
  hits += n;
  maxStreak = std::max(maxStreak, streak);
  rockMeter += energyActive ? 3.0f : 1.33f;
  if (rockMeter > 100.0f) rockMeter = 100.0f;
  // A chord is one call: ten judgements raise the multiplier, before the points of
  // the tenth are added.
  if (multiplier < MultiplierCap()) {
    stepHits += 1;
    if (stepHits > 9) {
      stepHits = 0;
      multiplier += energyActive ? 2 : 1;
    }
  }
  if (kind == Instrument::bass_real || kind == Instrument::guitar_real) {
    score += static_cast<float>(multiplier * (n < 2 ? 60 : 120));
  } else {
    score += static_cast<float>(multiplier * n * 25);
  }
}

void PlayerScore::AddOverhit() {
  overhits += 1;
  ApplyMissRule();
}

void PlayerScore::AddMisses(int32_t n) {
  misses += n;
  ApplyMissRule();
}

void PlayerScore::CheckFailure() {
  if (rockMeter > 0.0f) return;
  if (!Reached(platform::TimeGetTime(), graceUntil)) return;
  rockMeter = 0.0f;
  meterEmptied = true;
  if (noFail || failed || withdrawn) return;
  if (sound) sound->Play(kFailureSound, 1.0f, 1.0f);
  failed = true;
}

void PlayerScore::ApplyMissRule() {
  rockMeter -= 2.0f;  // once per call, whatever the number of notes
  CheckFailure();
  stepHits = 0;
  multiplier = energyActive ? 2 : 1;
  if (streak >= 10) comboBroken = true;
  streak = 0;
}
