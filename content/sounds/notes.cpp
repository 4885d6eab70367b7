// The instrument note sets of "data/sfx/": three guitar sets (clean, driven, muted) and
// a bass of fifteen notes each, and five keyboard sets (piano, electric piano, organ,
// lead, pad) of twenty-two notes each. Note n sits n semitones above the set's root.
// Usage: velorin_sfx_notes <run folder>
#include <cstdio>
#include <string>

#include "content/sounds/dsp.h"

namespace {

using sfx::Buffer;

struct NoteSet {
  const char* folder;
  int notes;
  double rootMidi;
  Buffer (*make)(double hz, uint32_t seed);
};

Buffer CleanGuitar(double hz, uint32_t seed) {
  Buffer b = sfx::Pluck(seed, hz, 1.4, 0.2, 0.7);
  sfx::Reverb(b, 0.12, 0.4, 0.3);
  return b;
}
Buffer DrivenGuitar(double hz, uint32_t seed) {
  Buffer b = sfx::Pluck(seed, hz, 1.2, 0.1, 0.9);
  sfx::Mix(b, sfx::Pluck(seed + 7, hz * 1.4983, 1.2, 0.1, 0.9), 0.7);  // a fifth above: power chord
  sfx::Drive(b, 6.0);
  sfx::LowPass(b, 5000);
  return b;
}
Buffer MutedGuitar(double hz, uint32_t seed) {
  Buffer b = sfx::Pluck(seed, hz, 0.25, 0.9, 0.5);
  sfx::FadeTail(b, 0.15);
  return b;
}
Buffer Bass(double hz, uint32_t seed) {
  Buffer b = sfx::Pluck(seed, hz, 1.3, 0.6, 0.4);
  sfx::Mix(b, sfx::Additive(hz, 1.3, {1.0}, 0.004, 1.2), 0.4);
  return b;
}
Buffer Piano(double hz, uint32_t) {
  Buffer b = sfx::Additive(hz, 1.6, {1.0, 0.5, 0.3, 0.2, 0.12, 0.08, 0.05}, 0.002, 1.5);
  sfx::Mix(b, sfx::Additive(hz * 1.002, 1.6, {0.5, 0.2}, 0.002, 1.2), 0.5);  // second string, beating
  return b;
}
Buffer ElectricPiano(double hz, uint32_t) {
  Buffer b = sfx::Fm(hz, 1.4, 1.0, 1.8, 0.002, 1.3);
  sfx::Mix(b, sfx::Fm(hz, 0.3, 14.0, 0.8, 0.001, 0.2), 0.2);  // the tine's bell
  return b;
}
Buffer Organ(double hz, uint32_t) {
  Buffer b = sfx::Additive(hz, 0.9, {1.0, 0.7, 0.0, 0.5, 0.0, 0.0, 0.0, 0.35}, 0.005, 30.0);
  sfx::FadeTail(b, 0.08);
  return b;
}
Buffer Lead(double hz, uint32_t) {
  Buffer b = sfx::Saws(hz, 0.8, 9, 3500, 0.004, 0.12);
  sfx::Drive(b, 1.5);
  return b;
}
Buffer Pad(double hz, uint32_t) {
  Buffer b = sfx::Saws(hz, 1.6, 14, 1400, 0.03, 0.7);
  sfx::Mix(b, sfx::Saws(hz * 2.0, 1.6, -11, 1400, 0.03, 0.7), 0.4);
  sfx::Reverb(b, 0.3, 0.8, 0.5);
  return b;
}

const NoteSet kSets[] = {
    {"guitar1", 15, 52, CleanGuitar},   // E3 upward
    {"guitar2", 15, 52, DrivenGuitar},
    {"guitar3", 15, 52, MutedGuitar},
    {"bass1", 15, 28, Bass},            // E1 upward
    {"keys1", 22, 60, Piano},           // middle C upward
    {"keys2", 22, 60, ElectricPiano},
    {"keys3", 22, 60, Organ},
    {"keys4", 22, 60, Lead},
    {"keys5", 22, 60, Pad},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <run folder>\n", argv[0]);
    return 2;
  }
  bool ok = true;
  uint32_t seed = 5000;
  for (const NoteSet& set : kSets) {
    const std::string folder = std::string(argv[1]) + "/data/sfx/" + set.folder + "/";
    for (int n = 0; n < set.notes; ++n) {
      ok = sfx::Finish(set.make(sfx::NoteHz(set.rootMidi + n), ++seed), folder + std::to_string(n) + ".wav") && ok;
    }
  }
  return ok ? 0 : 1;
}
