#include "content/songs/arrangement.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace demo {
namespace {

constexpr int kBeat = kTicksPerBeat;
constexpr int k8th = kBeat / 2;
constexpr int k16th = kBeat / 4;

// A small deterministic generator: the songs must come out the same on every build.
class Rng {
 public:
  explicit Rng(uint32_t seed) : s_(seed ? seed : 1u) {}
  uint32_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

 private:
  uint32_t s_;
};

int Mod12(int v) { return ((v % 12) + 12) % 12; }

// The pitch of class `pc` nearest to `target` (the lower one on a tie).
int Near(int pc, int target) {
  int p = target - Mod12(target - pc);
  if (target - p > 6) p += 12;
  return p;
}

// As Near, moved by octaves into [lo, hi] (the window must span an octave).
int NearIn(int pc, int target, int lo, int hi) {
  int p = Near(pc, target);
  while (p < lo) p += 12;
  while (p > hi) p -= 12;
  return p;
}

int Third(const Chord& c) { return c.minor ? 3 : 4; }

bool InChord(const Chord& c, int pitch) {
  const int i = Mod12(pitch - c.root);
  return i == 0 || i == Third(c) || i == 7;
}

// The close triad voicing (root position or an inversion) inside [lo, hi] whose mean
// lies nearest to `center`.
std::vector<int> Triad(const Chord& c, int center, int lo, int hi) {
  std::vector<int> best;
  int bestScore = 1 << 30;
  for (int r = lo - 12; r <= hi; ++r) {
    if (Mod12(r) != c.root) continue;
    const int t = r + Third(c), f = r + 7;
    const std::vector<std::vector<int>> shapes = {{r, t, f}, {t, f, r + 12}, {f, r + 12, t + 12}};
    for (const auto& s : shapes) {
      if (s.front() < lo || s.back() > hi) continue;
      const int score = std::abs(s[0] + s[1] + s[2] - 3 * center);
      if (score < bestScore) {
        bestScore = score;
        best = s;
      }
    }
  }
  if (best.empty()) throw std::logic_error("no triad voicing in range");
  return best;
}

std::vector<int> PowerChord(const Chord& c, int center, int lo, int hi) {
  const int r = NearIn(c.root, center, lo, hi);
  return {r, r + 7, r + 12};
}

const int kMajorScale[7] = {0, 2, 4, 5, 7, 9, 11};
const int kMinorScale[7] = {0, 2, 3, 5, 7, 8, 10};
const int kMajorPentatonic[5] = {0, 2, 4, 7, 9};
const int kMinorPentatonic[5] = {0, 3, 5, 7, 10};

// Pitches of a scale counted in steps from a tonic pitch (step 0), any octave.
struct Scale {
  const int* steps;
  int size;
  int tonic;
  int Pitch(int degree) const {
    const int octave = degree >= 0 ? degree / size : -((-degree + size - 1) / size);
    return tonic + 12 * octave + steps[degree - octave * size];
  }
  // The degree whose pitch is a tone of the chord and lies nearest to `degree`.
  int NearestChordTone(int degree, const Chord& c, bool rootOrThirdOnly = false) const {
    for (int d = 0; d < 2 * size; ++d) {
      for (int sign : {-1, 1}) {
        const int cand = degree + sign * d;
        const int i = Mod12(Pitch(cand) - c.root);
        const bool ok = rootOrThirdOnly ? (i == 0 || i == Third(c)) : InChord(c, Pitch(cand));
        if (ok) return cand;
      }
    }
    return degree;
  }
};

void Add(std::vector<Note>& out, int tick, int length, int pitch, int velocity, uint8_t flags = 0) {
  out.push_back({tick, length, pitch, velocity, flags});
}

void AddChord(std::vector<Note>& out, int tick, int length, const std::vector<int>& pitches, int velocity,
              uint8_t flags = 0) {
  for (int p : pitches) Add(out, tick, length, p, velocity, flags);
}

// ---------------------------------------------------------------------------------
// Drums

struct Groove {
  std::vector<int> kick, snare, ghost, doubleKick;  // positions in sixteenths of the bar
  DrumPiece cymbal = DrumPiece::kHiHat;
  int cymbalEvery = 2;  // sixteenths between cymbal strokes
  int snareVelocity = 105;
};

Groove GrooveFor(Style style, SectionKind kind, int barInSection) {
  Groove g;
  switch (style) {
    case Style::kRock:
      switch (kind) {
        case SectionKind::kVerse: g = {{0, 8, 10}, {4, 12}, {15}, {}, DrumPiece::kHiHat, 2, 105}; break;
        case SectionKind::kChorus: g = {{0, 6, 8}, {4, 12}, {}, {}, DrumPiece::kRide, 2, 110}; break;
        case SectionKind::kSolo:
          g = {{0, 2, 8, 10}, {4, 12}, {}, {}, DrumPiece::kRide, 2, 110};
          if (barInSection >= 2) g.doubleKick = {9, 11};
          break;
        default: g = {{0, 8}, {4, 12}, {}, {}, DrumPiece::kHiHat, 2, 100}; break;
      }
      break;
    case Style::kDrive:
      switch (kind) {
        case SectionKind::kIntro: g = {{0, 4, 8, 12}, {4, 12}, {}, {}, DrumPiece::kHiHat, 2, 105}; break;
        case SectionKind::kVerse: g = {{0, 6, 8, 14}, {4, 12}, {}, {}, DrumPiece::kHiHat, 2, 105}; break;
        case SectionKind::kChorus:
          g = {{0, 2, 8, 10}, {4, 12}, {}, {9, 11}, DrumPiece::kHiHatOpen, 2, 112};
          break;
        case SectionKind::kSolo: g = {{0, 8, 10}, {4, 12}, {}, {}, DrumPiece::kRide, 2, 110}; break;
        default: g = {{0, 8}, {4, 12}, {}, {}, DrumPiece::kHiHat, 2, 105}; break;
      }
      break;
    case Style::kWaltz:
      switch (kind) {
        case SectionKind::kIntro: g = {{0}, {4, 8}, {}, {}, DrumPiece::kRide, 4, 75}; break;
        case SectionKind::kVerse: g = {{0}, {4, 8}, {}, {}, DrumPiece::kHiHat, 2, 75}; break;
        case SectionKind::kChorus: g = {{0, 10}, {4, 8}, {}, {}, DrumPiece::kRide, 2, 95}; break;
        case SectionKind::kSolo: g = {{0, 10}, {4, 8}, {}, {11}, DrumPiece::kRide, 2, 100}; break;
        default: g = {{0}, {4, 8}, {}, {}, DrumPiece::kHiHat, 2, 80}; break;
      }
      break;
  }
  return g;
}

// The toms of a fill, from its first sixteenth to the end of the bar.
struct FillStroke {
  int at;  // sixteenth in the bar
  DrumPiece piece;
};

std::vector<FillStroke> FillFor(Style style) {
  using P = DrumPiece;
  switch (style) {
    case Style::kRock:
      return {{8, P::kTomHigh},  {9, P::kTomHigh},  {10, P::kTomHigh},  {11, P::kTomHigh},
              {12, P::kTomMid},  {13, P::kTomMid},  {14, P::kTomFloor}, {15, P::kTomFloor}};
    case Style::kDrive:
      return {{8, P::kTomHigh}, {10, P::kTomHigh}, {12, P::kTomMid}, {13, P::kTomMid},
              {14, P::kTomFloor}, {15, P::kTomFloor}};
    case Style::kWaltz:
      return {{8, P::kTomHigh}, {9, P::kTomMid}, {10, P::kTomFloor}, {11, P::kTomFloor}};
  }
  return {};
}

void PlayDrums(Arrangement& a, const SongSpec& params) {
  const int sixteenths = a.beatsPerBar * 4;
  auto hit = [&](int tick, DrumPiece piece, int velocity) { a.drums.push_back({tick, piece, velocity}); };
  for (const SectionMark& s : a.sections) {
    const int firstBar = s.tick / a.ticksPerBar;
    for (int b = 0; b < s.bars; ++b) {
      const int bar = firstBar + b;
      const int t0 = a.TickOfBar(bar);
      if (s.kind == SectionKind::kLeadIn) {
        for (int beat = 0; beat < a.beatsPerBar; ++beat) hit(t0 + beat * kBeat, DrumPiece::kSticks, 90);
        continue;
      }
      const bool last = b == s.bars - 1;
      if (s.kind == SectionKind::kOutro && last) {  // the final hit, left to ring
        hit(t0, DrumPiece::kKick, 115);
        hit(t0, DrumPiece::kCrash, 120);
        hit(t0, DrumPiece::kSnare, 100);
        continue;
      }
      const bool fill = last && s.kind != SectionKind::kOutro;
      const int fillFrom = fill ? 8 : sixteenths;
      const bool crash = b == 0 || (s.kind == SectionKind::kChorus && b == 2);
      const Groove g = GrooveFor(params.style, s.kind, b);
      if (crash) hit(t0, DrumPiece::kCrash, 115);
      for (int i = 0; i < fillFrom; ++i) {
        const int t = t0 + i * k16th;
        if (std::find(g.kick.begin(), g.kick.end(), i) != g.kick.end()) hit(t, DrumPiece::kKick, 110);
        if (std::find(g.doubleKick.begin(), g.doubleKick.end(), i) != g.doubleKick.end())
          hit(t, DrumPiece::kKickDouble, 95);
        if (std::find(g.snare.begin(), g.snare.end(), i) != g.snare.end()) hit(t, DrumPiece::kSnare, g.snareVelocity);
        if (std::find(g.ghost.begin(), g.ghost.end(), i) != g.ghost.end()) hit(t, DrumPiece::kSnareGhost, 45);
        if (i % g.cymbalEvery == 0 && !(crash && i == 0)) hit(t, g.cymbal, i % 4 == 0 ? 95 : 70);
      }
      if (fill) {
        const std::vector<FillStroke> strokes = FillFor(params.style);
        for (const FillStroke& f : strokes) {
          hit(t0 + f.at * k16th, f.piece, f.at % 2 == 0 ? 105 : 90);
          if (f.at % 4 == 0) hit(t0 + f.at * k16th, DrumPiece::kKick, 100);
        }
        a.fills.push_back({t0 + strokes.front().at * k16th, t0 + a.ticksPerBar});
      }
    }
  }
  std::stable_sort(a.drums.begin(), a.drums.end(), [](const DrumHit& x, const DrumHit& y) { return x.tick < y.tick; });
}

// ---------------------------------------------------------------------------------
// Bass, guitars, keys, pad

struct BarContext {
  int bar = 0;
  int tick = 0;
  int inSection = 0;
  int sectionBars = 0;
  SectionKind kind = SectionKind::kVerse;
  Chord chord;
  bool lastOfSong = false;
};

void PlayBass(Arrangement& a, const SongSpec& params, const BarContext& c) {
  const int r = NearIn(c.chord.root, 34, 28, 39);
  const int bar = a.ticksPerBar;
  if (c.lastOfSong || (c.kind == SectionKind::kOutro)) {
    Add(a.bass, c.tick, bar - 60, r, 105);
    return;
  }
  switch (params.style) {
    case Style::kRock:
      if (c.kind == SectionKind::kIntro) {
        Add(a.bass, c.tick, 2 * kBeat - 60, r, 100);
        Add(a.bass, c.tick + 2 * kBeat, 2 * kBeat - 60, r, 95);
      } else if (c.kind == SectionKind::kChorus) {
        Add(a.bass, c.tick, 3 * k8th - 40, r, 110);
        Add(a.bass, c.tick + 3 * k8th, k8th - 40, r, 95);
        Add(a.bass, c.tick + 2 * kBeat, kBeat - 40, r + 7, 100);
        Add(a.bass, c.tick + 3 * kBeat, kBeat - 40, r + 12, 100);
      } else {
        for (int i = 0; i < 8; ++i) Add(a.bass, c.tick + i * k8th, k8th - 30, r, i % 2 ? 90 : 105);
      }
      break;
    case Style::kDrive:
      for (int i = 0; i < 8; ++i) {
        const int p = (c.kind == SectionKind::kChorus && i == 7) ? r + 7 : r;
        Add(a.bass, c.tick + i * k8th, k8th - 30, p, i % 2 ? 95 : 110);
      }
      break;
    case Style::kWaltz:
      if (c.kind == SectionKind::kIntro) {
        Add(a.bass, c.tick, 3 * kBeat - 60, r, 100);
      } else {
        Add(a.bass, c.tick, kBeat + k8th, r, 105);
        Add(a.bass, c.tick + 2 * kBeat, kBeat - 40, r + 7, 90);
      }
      break;
  }
}

void PlayGuitar(Arrangement& a, const SongSpec& params, const BarContext& c) {
  const std::vector<int> power = PowerChord(c.chord, 45, 40, 51);
  const int bar = a.ticksPerBar;
  if (c.kind == SectionKind::kOutro) {
    AddChord(a.guitar, c.tick, bar - 60, power, 110, kAccent);
    return;
  }
  auto arpeggio = [&](std::vector<Note>& out, const std::vector<int>& tones, const std::vector<int>& order,
                      int velocity) {
    for (size_t i = 0; i < order.size(); ++i)
      Add(out, c.tick + static_cast<int>(i) * k8th, k8th - 20, tones[static_cast<size_t>(order[i])], velocity);
  };
  const int r = NearIn(c.chord.root, 52, 47, 58);
  const std::vector<int> tones = {r, r + 7, r + 12, r + 12 + Third(c.chord), r + 19};
  switch (params.style) {
    case Style::kRock:
      if (c.kind == SectionKind::kIntro) {
        arpeggio(a.guitar, tones, {0, 1, 2, 3, 4, 3, 2, 1}, 95);
      } else if (c.kind == SectionKind::kVerse) {
        AddChord(a.guitar, c.tick, k8th - 20, power, 110, kAccent);
        for (int i = 1; i < 8; ++i) AddChord(a.guitar, c.tick + i * k8th, k8th - 60, power, 85, kMuted);
      } else if (c.kind == SectionKind::kChorus) {
        AddChord(a.guitar, c.tick, 3 * k8th - 40, power, 115, kAccent);
        AddChord(a.guitar, c.tick + 3 * k8th, k8th - 40, power, 100);
        AddChord(a.guitar, c.tick + 2 * kBeat, 2 * kBeat - 60, power, 110);
      }
      break;
    case Style::kDrive:
      if (c.kind == SectionKind::kIntro) {
        for (int i = 0; i < 8; ++i) AddChord(a.guitar, c.tick + i * k8th, k8th - 40, power, i % 2 ? 95 : 110);
      } else if (c.kind == SectionKind::kVerse) {
        for (int i = 0; i < 8; ++i) {
          if (i % 4 == 0) {
            AddChord(a.guitar, c.tick + i * k8th, k8th - 20, power, 110, kAccent);
          } else {
            AddChord(a.guitar, c.tick + i * k8th, k8th - 60, power, 85, kMuted);
          }
        }
      } else if (c.kind == SectionKind::kChorus) {
        for (int i = 0; i < 8; ++i) AddChord(a.guitar, c.tick + i * k8th, k8th - 30, power, i % 2 ? 100 : 115);
      }
      break;
    case Style::kWaltz:
      if (c.kind == SectionKind::kIntro) {
        arpeggio(a.guitar, tones, {0, 1, 2, 3, 2, 1}, 90);
      } else if (c.kind == SectionKind::kVerse) {
        // A picked counter-line of chord tones, one a beat.
        const std::vector<int> line = {tones[2], tones[3], tones[1]};
        for (int i = 0; i < 3; ++i) Add(a.guitar, c.tick + i * kBeat, kBeat - 40, line[static_cast<size_t>(i)], 95);
      } else if (c.kind == SectionKind::kChorus) {
        AddChord(a.guitar, c.tick, 2 * kBeat - 60, power, 110, kAccent);
        AddChord(a.guitar, c.tick + 2 * kBeat, kBeat - 40, power, 100);
      }
      break;
  }
}

void PlayGuitar2(Arrangement& a, const SongSpec& params, const BarContext& c) {
  const int bar = a.ticksPerBar;
  const std::vector<int> high = PowerChord(c.chord, 52, 47, 58);
  const std::vector<int> triad = Triad(c.chord, 67, 60, 76);
  const std::vector<int> tones = {triad[0], triad[1], triad[2], triad[0] + 12};
  auto arpeggio = [&](const std::vector<int>& order) {
    for (size_t i = 0; i < order.size(); ++i)
      Add(a.guitar2, c.tick + static_cast<int>(i) * k8th, k8th - 20, tones[static_cast<size_t>(order[i])], 85);
  };
  if (c.kind == SectionKind::kOutro) {
    AddChord(a.guitar2, c.tick, bar - 60, high, 100);
    return;
  }
  if (c.kind == SectionKind::kIntro) {
    AddChord(a.guitar2, c.tick, bar - 60, high, 95);
    return;
  }
  if (c.kind == SectionKind::kSolo) {
    if (params.beatsPerBar == 3) {
      AddChord(a.guitar2, c.tick, bar - 60, high, 95);
    } else {
      AddChord(a.guitar2, c.tick, 2 * kBeat - 60, high, 95);
      AddChord(a.guitar2, c.tick + 2 * kBeat, 2 * kBeat - 60, high, 90);
    }
    return;
  }
  if (c.kind == SectionKind::kVerse) {
    if (params.beatsPerBar == 3) {
      arpeggio({0, 1, 2, 3, 2, 1});
    } else {
      arpeggio({0, 1, 2, 3, 2, 1, 2, 1});
    }
    return;
  }
  // Chorus: doubles the lead guitar's rhythm an octave up.
  switch (params.style) {
    case Style::kRock:
      AddChord(a.guitar2, c.tick, 3 * k8th - 40, high, 105);
      AddChord(a.guitar2, c.tick + 3 * k8th, k8th - 40, high, 95);
      AddChord(a.guitar2, c.tick + 2 * kBeat, 2 * kBeat - 60, high, 100);
      break;
    case Style::kDrive:
      for (int i = 0; i < 8; ++i) AddChord(a.guitar2, c.tick + i * k8th, k8th - 30, high, i % 2 ? 90 : 105);
      break;
    case Style::kWaltz:
      arpeggio({0, 1, 2, 3, 2, 1});
      break;
  }
}

void PlayRhythm(Arrangement& a, const SongSpec& params, const BarContext& c) {
  const std::vector<int> triad = Triad(c.chord, 60, 52, 67);
  const int bar = a.ticksPerBar;
  if (c.kind == SectionKind::kIntro || c.kind == SectionKind::kOutro) {
    AddChord(a.rhythm, c.tick, bar - 60, triad, 90);
    return;
  }
  if (params.beatsPerBar == 3) {  // the "pah pah" of the waltz
    const int length = c.kind == SectionKind::kVerse ? k8th : kBeat - 60;
    AddChord(a.rhythm, c.tick + kBeat, length, triad, 85);
    AddChord(a.rhythm, c.tick + 2 * kBeat, length, triad, 80);
    return;
  }
  if (c.kind == SectionKind::kVerse) {  // off-beat stabs
    for (int i = 0; i < 4; ++i) AddChord(a.rhythm, c.tick + i * kBeat + k8th, k16th, triad, 90);
  } else if (c.kind == SectionKind::kChorus && params.style == Style::kDrive) {
    for (int i = 0; i < 8; ++i) AddChord(a.rhythm, c.tick + i * k8th, k8th - 40, triad, i % 2 ? 80 : 95);
  } else {
    for (int i = 0; i < 4; ++i) AddChord(a.rhythm, c.tick + i * kBeat, kBeat - 120, triad, i % 2 ? 85 : 95);
  }
}

void PlayKeys(Arrangement& a, const SongSpec& params, const BarContext& c) {
  const std::vector<int> right = Triad(c.chord, 64, 55, 72);
  const int root = NearIn(c.chord.root, 41, 36, 47);
  const std::vector<int> left = {root, root + 7};
  const int bar = a.ticksPerBar;
  if (c.kind == SectionKind::kIntro || c.kind == SectionKind::kOutro) {
    AddChord(a.keysRight, c.tick, bar - 60, right, 90);
    AddChord(a.keysLeft, c.tick, bar - 60, left, 85);
    return;
  }
  if (params.beatsPerBar == 3) {
    Add(a.keysLeft, c.tick, kBeat - 40, root, 90);
    if (c.kind == SectionKind::kSolo) Add(a.keysLeft, c.tick, kBeat - 40, root + 7, 80);
    AddChord(a.keysRight, c.tick + kBeat, kBeat - 80, right, 80);
    AddChord(a.keysRight, c.tick + 2 * kBeat, kBeat - 80, right, 75);
    return;
  }
  if (c.kind == SectionKind::kChorus) {
    for (int i = 0; i < 4; ++i) AddChord(a.keysRight, c.tick + i * kBeat, kBeat - 60, right, i % 2 ? 80 : 90);
    AddChord(a.keysLeft, c.tick, 2 * kBeat - 60, left, 90);
    AddChord(a.keysLeft, c.tick + 2 * kBeat, 2 * kBeat - 60, left, 85);
  } else if (c.kind == SectionKind::kVerse && params.style == Style::kDrive) {
    AddChord(a.keysRight, c.tick, 3 * k8th - 40, right, 90);
    AddChord(a.keysRight, c.tick + 3 * k8th, 3 * k8th - 40, right, 85);
    AddChord(a.keysRight, c.tick + 3 * kBeat, kBeat - 60, right, 85);
    AddChord(a.keysLeft, c.tick, bar - 60, left, 85);
  } else {
    AddChord(a.keysRight, c.tick, 2 * kBeat - 60, right, 88);
    AddChord(a.keysRight, c.tick + 2 * kBeat, 2 * kBeat - 60, right, 82);
    AddChord(a.keysLeft, c.tick, bar - 60, left, 85);
  }
}

// The guitar solo: a pentatonic line in cells of eighths and sixteenths, sixteenth
// runs slurred, every bar starting on a chord tone and the last bar ending on a held
// note.
void PlaySolo(Arrangement& a, const SongSpec& params, Rng& rng, const SectionMark& s) {
  const Scale penta{params.minorKey ? kMinorPentatonic : kMajorPentatonic, 5, Near(params.keyRoot, 64)};
  struct Cell {
    std::vector<int> sixteenths;
    int weight;
  };
  std::vector<Cell> cells;
  switch (params.style) {
    case Style::kRock:
      cells = {{{2, 2}, 3}, {{4}, 1}, {{1, 1, 2}, 2}, {{2, 1, 1}, 2}, {{1, 1, 1, 1}, 2}, {{3, 1}, 1}};
      break;
    case Style::kDrive:
      cells = {{{2, 2}, 4}, {{4}, 2}, {{1, 1, 2}, 1}, {{2, 1, 1}, 1}, {{1, 1, 1, 1}, 1}};
      break;
    case Style::kWaltz:
      cells = {{{2, 2}, 3}, {{4}, 2}, {{1, 1, 2}, 1}, {{3, 1}, 1}, {{1, 1, 1, 1}, 1}};
      break;
  }
  int total = 0;
  for (const Cell& c : cells) total += c.weight;
  const int firstBar = s.tick / a.ticksPerBar;
  int degree = penta.NearestChordTone(5, a.chordOfBar[static_cast<size_t>(firstBar)]);
  int direction = 1;
  for (int b = 0; b < s.bars; ++b) {
    const int bar = firstBar + b;
    const Chord& chord = a.chordOfBar[static_cast<size_t>(bar)];
    const bool lastBar = b == s.bars - 1;
    for (int beat = 0; beat < a.beatsPerBar; ++beat) {
      std::vector<int> cell;
      if (lastBar && beat == 1) {  // the closing note, held to the end of the bar
        degree = penta.NearestChordTone(degree, chord, true);
        Add(a.guitar, a.TickOfBar(bar) + kBeat, (a.beatsPerBar - 1) * kBeat - 60, penta.Pitch(degree), 110, kAccent);
        break;
      }
      int pick = rng.Below(total);
      for (const Cell& c : cells) {
        if (pick < c.weight) {
          cell = c.sixteenths;
          break;
        }
        pick -= c.weight;
      }
      int at = a.TickOfBar(bar) + beat * kBeat;
      for (size_t i = 0; i < cell.size(); ++i) {
        const bool run = cell[i] == 1 || (i > 0 && cell[i - 1] == 1);
        if (beat == 0 && i == 0) {
          degree = penta.NearestChordTone(degree, chord);
        } else {
          const int pitch = penta.Pitch(degree);
          if (pitch >= 78) direction = -1;
          if (pitch <= 64) direction = 1;
          if (run) {
            degree += direction;
          } else {
            const int r = rng.Below(10);
            const int step = r < 4 ? direction : r < 6 ? 2 * direction : r < 8 ? -direction : 0;
            degree += step;
            if (rng.Below(4) == 0) direction = -direction;
          }
        }
        const int length = cell[i] * k16th;
        const uint8_t flags = (run && i > 0) ? kLegato : 0;
        Add(a.guitar, at, flags ? length - 10 : length - 30, penta.Pitch(degree), flags ? 90 : 105, flags);
        at += length;
      }
    }
  }
}

// ---------------------------------------------------------------------------------
// Vocals

std::vector<std::string> SplitSyllables(const std::string& line, std::vector<std::string>* sounds) {
  std::vector<std::string> out;
  std::istringstream words(line);
  std::string word;
  while (words >> word) {
    size_t from = 0;
    while (true) {
      const size_t dash = word.find('-', from);
      const std::string part = word.substr(from, dash == std::string::npos ? std::string::npos : dash - from);
      out.push_back(dash == std::string::npos ? part : part + "-");
      std::string sound;
      for (char ch : part) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        if (ch >= 'a' && ch <= 'z') sound += ch;
      }
      sounds->push_back(sound);
      if (dash == std::string::npos) break;
      from = dash + 1;
    }
  }
  return out;
}

void SingSection(Arrangement& a, const SongSpec& params, Rng& rng, const SectionMark& s, const SectionSpec& src) {
  const Scale scale{params.minorKey ? kMinorScale : kMajorScale, 7, Near(params.keyRoot, 62)};
  const bool chorus = s.kind == SectionKind::kChorus;
  const int lo = chorus ? 1 : -1;
  const int hi = chorus ? 7 : 5;
  const int slot = k8th;
  const int restSlots = params.beatsPerBar == 3 ? 2 : 4;
  const int window = 4 * params.beatsPerBar - restSlots;  // eighths sung in a two-bar line
  const int firstBar = s.tick / a.ticksPerBar;
  for (size_t line = 0; line < src.lyrics.size(); ++line) {
    std::vector<std::string> sounds;
    const std::vector<std::string> syllables = SplitSyllables(src.lyrics[line], &sounds);
    const int count = static_cast<int>(syllables.size());
    if (count == 0 || count > window) throw std::logic_error("lyric line does not fit its two bars");
    // Durations in eighths: the last syllable held longest, the spare eighths spread.
    std::vector<int> slots(static_cast<size_t>(count), 1);
    int spare = window - count;
    const int hold = std::min(spare, 3);
    slots.back() += hold;
    spare -= hold;
    for (int j = 0; j < spare; ++j) slots[static_cast<size_t>(((2 * j + 1) * (count - 1)) / (2 * spare))] += 1;

    const int lineBar = firstBar + 2 * static_cast<int>(line);
    Phrase lead, high, low;
    lead.start = high.start = low.start = a.TickOfBar(lineBar);
    int at = lead.start;
    int degree = 0;
    int barOfPrevious = -1;
    for (int i = 0; i < count; ++i) {
      const int bar = at / a.ticksPerBar;
      const Chord& chord = a.chordOfBar[static_cast<size_t>(bar)];
      // The chord tone inside the section's range nearest to a degree.
      auto snap = [&](int wanted, bool rootOrThird) {
        int best = std::clamp(wanted, lo, hi);
        int bestDistance = 1 << 30;
        for (int d = lo; d <= hi; ++d) {
          const int i = Mod12(scale.Pitch(d) - chord.root);
          const bool tone = rootOrThird ? (i == 0 || i == Third(chord)) : InChord(chord, scale.Pitch(d));
          if (tone && std::abs(d - wanted) < bestDistance) {
            best = d;
            bestDistance = std::abs(d - wanted);
          }
        }
        return best;
      };
      if (i == 0) {
        degree = snap(lo + 2, false);
      } else if (i == count - 1) {
        degree = snap(degree, true);
      } else if (bar != barOfPrevious) {
        degree = snap(degree, false);
      } else {
        const int direction = 2 * i < count ? 1 : -1;
        const int r = rng.Below(10);
        degree = std::clamp(degree + (r < 5 ? direction : r < 7 ? 0 : r < 9 ? -direction : 2 * direction), lo, hi);
      }
      barOfPrevious = bar;
      const size_t k = static_cast<size_t>(i);
      const int length = slots[k] * slot;
      const bool joins = syllables[k].back() == '-';
      const bool melisma = i == count - 1 && line % 2 == 1 && slots[k] >= 3;
      const int sungLength = melisma ? length - slot : length;
      auto sing = [&](Phrase& p, int shift) {
        p.syllables.push_back({at, sungLength - (joins ? 20 : 40), scale.Pitch(degree + shift), syllables[k], sounds[k]});
        if (melisma) {
          p.syllables.push_back({at + sungLength, slot - 40, scale.Pitch(degree + shift - 1), "+", ""});
        }
      };
      sing(lead, 0);
      if (chorus) {
        sing(high, 2);
        sing(low, -2);
      }
      at += length;
    }
    lead.end = high.end = low.end = lead.syllables.back().tick + lead.syllables.back().length;
    a.lead.push_back(lead);
    if (chorus) {
      a.harmonyHigh.push_back(high);
      a.harmonyLow.push_back(low);
    }
  }
}

}  // namespace

Arrangement Arrange(const SongSpec& params) {
  Arrangement a;
  a.params = &params;
  a.beatsPerBar = params.beatsPerBar;
  a.ticksPerBar = params.beatsPerBar * kBeat;
  a.microsecondsPerBeat = static_cast<uint32_t>(60e6 / params.bpm + 0.5);
  for (const SectionSpec& s : params.sections) {
    a.sections.push_back({s.name, a.TickOfBar(a.bars), s.kind, static_cast<int>(s.chords.size())});
    for (const Chord& c : s.chords) a.chordOfBar.push_back(c);
    a.bars += static_cast<int>(s.chords.size());
  }
  a.endTick = a.TickOfBar(a.bars);

  Rng rng(params.seed);
  PlayDrums(a, params);
  for (size_t i = 0; i < a.sections.size(); ++i) {
    const SectionMark& s = a.sections[i];
    if (s.kind == SectionKind::kLeadIn) continue;
    const int firstBar = s.tick / a.ticksPerBar;
    for (int b = 0; b < s.bars; ++b) {
      BarContext c;
      c.bar = firstBar + b;
      c.tick = a.TickOfBar(c.bar);
      c.inSection = b;
      c.sectionBars = s.bars;
      c.kind = s.kind;
      c.chord = a.chordOfBar[static_cast<size_t>(c.bar)];
      c.lastOfSong = c.bar == a.bars - 1;
      PlayBass(a, params, c);
      PlayGuitar(a, params, c);
      PlayGuitar2(a, params, c);
      PlayRhythm(a, params, c);
      PlayKeys(a, params, c);
      AddChord(a.pad, c.tick, a.ticksPerBar, Triad(c.chord, 55, 48, 64), 70);
    }
    if (s.kind == SectionKind::kSolo) {
      a.solo = {s.tick, s.tick + s.bars * a.ticksPerBar};
      PlaySolo(a, params, rng, s);
    }
    if (!params.sections[i].lyrics.empty()) SingSection(a, params, rng, s, params.sections[i]);
    // Energy phrases: the second half of a verse, the first half of a chorus, the outro.
    const int lastTick = s.tick + s.bars * a.ticksPerBar - 1;
    if (s.kind == SectionKind::kVerse) a.energy.push_back({s.tick + 2 * a.ticksPerBar, lastTick});
    if (s.kind == SectionKind::kChorus) a.energy.push_back({s.tick, s.tick + 2 * a.ticksPerBar - 1});
    if (s.kind == SectionKind::kOutro) a.energy.push_back({s.tick, lastTick});
  }
  auto byTick = [](const Note& x, const Note& y) { return x.tick < y.tick || (x.tick == y.tick && x.pitch < y.pitch); };
  for (auto* part : {&a.bass, &a.guitar, &a.guitar2, &a.rhythm, &a.keysLeft, &a.keysRight, &a.pad})
    std::stable_sort(part->begin(), part->end(), byTick);
  return a;
}

}  // namespace demo
