#include "content/songs/charts.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "tests/support/midi_builder.h"

namespace demo {
namespace {

using testsupport::MidiFileBuilder;
using testsupport::MidiTrackBuilder;

constexpr int kExpert = 3;
constexpr int kDifficulties = 4;
constexpr int kShortGem = 60;          // ticks of a note without a sustain
constexpr int kSustainFrom = 360;      // musical length from which a note is charted as a sustain
constexpr int kMinSustain = 240;
// Notes closer than this after a different note become hammer-ons by themselves
// (the game's rule for charts without their own setting).
constexpr int kAutoHopoTicks = kTicksPerBeat / 3 + 3;
constexpr int kEnergyNote = 116;
constexpr int kSoloNote = 103;
constexpr int kProSoloNote = 115;

// What is struck at one tick.
struct Strike {
  int tick = 0;
  int length = 0;
  std::vector<int> pitches;  // ascending
  uint8_t flags = 0;
};

std::vector<Strike> Strikes(const std::vector<Note>& notes) {
  std::vector<Strike> out;
  for (const Note& n : notes) {
    if (out.empty() || out.back().tick != n.tick) {
      out.push_back({n.tick, n.length, {}, n.flags});
    }
    Strike& s = out.back();
    s.length = std::max(s.length, n.length);
    if (std::find(s.pitches.begin(), s.pitches.end(), n.pitch) == s.pitches.end()) s.pitches.push_back(n.pitch);
  }
  for (Strike& s : out) std::sort(s.pitches.begin(), s.pitches.end());
  return out;
}

// How strong a position in the bar is: 0 the downbeat, 1 a beat, 2 an eighth,
// 3 a sixteenth, 4 anything finer.
int Weight(const Arrangement& a, int tick) {
  const int pos = tick % a.ticksPerBar;
  if (pos == 0) return 0;
  if (pos % kTicksPerBeat == 0) return 1;
  if (pos % (kTicksPerBeat / 2) == 0) return 2;
  if (pos % (kTicksPerBeat / 4) == 0) return 3;
  return 4;
}

struct Thinning {
  int maxWeight;
  double minGapSeconds;
  int minGapTicks = 0;
};

// Easy to expert: beats at most every 0.55 s and never on neighbouring beats, eighths
// at 0.28 s, sixteenths at 0.16 s, all.
const Thinning kThin[kDifficulties] = {{1, 0.55, kTicksPerBeat + 1}, {2, 0.28}, {3, 0.16}, {4, 0.0}};

// The ticks a charter keeps at a difficulty: the strongest positions first, and none
// closer than the difficulty's gap to a position already kept.
std::set<int> KeptTicks(const Arrangement& a, const std::vector<int>& ticks, Thinning t) {
  std::vector<int> order;
  for (int tick : ticks) {
    if (Weight(a, tick) <= t.maxWeight) order.push_back(tick);
  }
  std::stable_sort(order.begin(), order.end(), [&](int x, int y) { return Weight(a, x) < Weight(a, y); });
  std::set<int> kept;
  for (int tick : order) {
    const double at = a.SecondsAt(tick);
    auto next = kept.lower_bound(tick);
    bool crowded = false;
    auto tooClose = [&](int other) {
      const int ticks = std::abs(other - tick);
      return other != tick && (std::fabs(a.SecondsAt(other) - at) < t.minGapSeconds - 1e-9 || ticks < t.minGapTicks);
    };
    if (next != kept.end() && tooClose(*next)) crowded = true;
    if (next != kept.begin() && tooClose(*std::prev(next))) crowded = true;
    if (!crowded) kept.insert(tick);
  }
  return kept;
}

std::vector<Strike> Thin(const Arrangement& a, const std::vector<Strike>& strikes, int difficulty) {
  std::vector<int> ticks;
  for (const Strike& s : strikes) ticks.push_back(s.tick);
  const std::set<int> kept = KeptTicks(a, ticks, kThin[difficulty]);
  std::vector<Strike> out;
  for (const Strike& s : strikes) {
    if (kept.count(s.tick)) out.push_back(s);
  }
  return out;
}

// The charted length of a strike: a sustain for long notes, cut short of the next
// charted strike.
int ChartLength(const std::vector<Strike>& kept, size_t i) {
  const Strike& s = kept[i];
  if (s.length < kSustainFrom) return kShortGem;
  int length = s.length;
  if (i + 1 < kept.size()) length = std::min(length, kept[i + 1].tick - s.tick - kShortGem);
  return length >= kMinSustain ? length : kShortGem;
}

void Markers(MidiTrackBuilder& t, const std::vector<TickRange>& ranges, int note) {
  for (const TickRange& r : ranges) t.Note(static_cast<uint32_t>(r.start), note, static_cast<uint32_t>(r.end - r.start));
}

// Runs of consecutive items that satisfy `want`, as tick spans closing just after the
// last item of each run.
template <class Item, class Want>
std::vector<TickRange> Runs(const std::vector<Item>& items, Want want) {
  std::vector<TickRange> out;
  bool open = false;
  for (size_t i = 0; i < items.size(); ++i) {
    if (want(i)) {
      if (!open) out.push_back({items[i].tick, 0});
      out.back().end = items[i].tick + 30;
      open = true;
    } else {
      open = false;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------
// Five-lane parts (guitar, bass, rhythm, co-op, keys)

struct Gem {
  int tick = 0;
  int length = 0;
  std::vector<int> lanes;
  bool legato = false;
};

bool IsPowerChord(const std::vector<int>& p) {
  return p.size() == 3 && p[1] - p[0] == 7 && p[2] - p[0] == 12;
}

int ChordWidth(const Arrangement& a, const Strike& s, int difficulty) {
  const int full = IsPowerChord(s.pitches) ? 2 : std::min<int>(static_cast<int>(s.pitches.size()), 3);
  switch (difficulty) {
    case 0: return 1;
    case 1: return (full > 1 && Weight(a, s.tick) <= 1 && s.length >= kSustainFrom) ? 2 : 1;
    case 2: return std::min(full, 2);
    default: return full;
  }
}

// The height of a strike: the mean of its pitches.
double Height(const Strike& s) {
  double sum = 0.0;
  for (int p : s.pitches) sum += p;
  return sum / static_cast<double>(s.pitches.size());
}

int SectionOf(const Arrangement& a, int tick) {
  int section = 0;
  for (size_t k = 0; k < a.sections.size(); ++k) {
    if (a.sections[k].tick <= tick) section = static_cast<int>(k);
  }
  return section;
}

// Lanes follow the height of the music within each section: the lowest strike of the
// section sits on the left, the highest on the right, so a phrase that climbs climbs
// across the frets. Where two different pitches would share a lane, the second moves
// one lane the way the pitch goes; a repeated note or chord stays put.
std::vector<Gem> FiveLaneGems(const Arrangement& a, const std::vector<Strike>& all, int difficulty) {
  const int laneCount = difficulty == 0 ? 3 : difficulty == 1 ? 4 : 5;
  std::map<int, std::pair<double, double>> range;  // section -> lowest, highest height
  for (const Strike& s : all) {
    const int section = SectionOf(a, s.tick);
    auto [it, fresh] = range.try_emplace(section, Height(s), Height(s));
    if (!fresh) {
      it->second.first = std::min(it->second.first, Height(s));
      it->second.second = std::max(it->second.second, Height(s));
    }
  }
  const std::vector<Strike> kept = Thin(a, all, difficulty);
  std::map<int, size_t> indexOf;  // tick -> position in the whole part
  for (size_t k = 0; k < all.size(); ++k) indexOf[all[k].tick] = k;
  std::vector<Gem> gems;
  int lastLane = -1;
  double lastHeight = 0.0;
  for (size_t i = 0; i < kept.size(); ++i) {
    const Strike& s = kept[i];
    const int width = ChordWidth(a, s, difficulty);
    const int maxStart = laneCount - width;
    const double h = Height(s);
    const auto [lo, hi] = range[SectionOf(a, s.tick)];
    int lane = hi > lo ? static_cast<int>(std::lround((h - lo) * maxStart / (hi - lo))) : maxStart / 2;
    if (lastLane >= 0 && h == lastHeight) {
      lane = std::min(lastLane, maxStart);
    } else if (lastLane >= 0 && lane == lastLane) {
      const int moved = lane + (h > lastHeight ? 1 : -1);
      if (moved >= 0 && moved <= maxStart) lane = moved;
    }
    Gem g;
    g.tick = s.tick;
    g.length = ChartLength(kept, i);
    for (int w = 0; w < width; ++w) g.lanes.push_back(lane + w);
    // A slur survives only where the note slurred from is charted too.
    g.legato = (s.flags & kLegato) && width == 1 && i > 0 && indexOf[kept[i - 1].tick] + 1 == indexOf[s.tick];
    gems.push_back(g);
    lastLane = lane;
    lastHeight = h;
  }
  return gems;
}

bool AutoHammerOn(const std::vector<Gem>& gems, size_t i) {
  if (i == 0 || gems[i].lanes.size() != 1) return false;
  const Gem& prev = gems[i - 1];
  const int distance = gems[i].tick - prev.tick;
  const bool sameLane = std::find(prev.lanes.begin(), prev.lanes.end(), gems[i].lanes[0]) != prev.lanes.end();
  return distance > 0 && distance <= kAutoHopoTicks && !sameLane;
}

void WriteFiveLane(MidiTrackBuilder& t, const Arrangement& a, const std::vector<Note>& notes) {
  const std::vector<Strike> strikes = Strikes(notes);
  for (int d = 0; d < kDifficulties; ++d) {
    const int base = 60 + 12 * d;
    const std::vector<Gem> gems = FiveLaneGems(a, strikes, d);
    // Where the automatic rule would get the articulation wrong, say it: slurred notes
    // it would strum become forced hammer-ons, strummed ones it would slur forced strums.
    Markers(t, Runs(gems, [&](size_t i) { return gems[i].legato && !AutoHammerOn(gems, i) && i > 0 &&
                                                 std::find(gems[i - 1].lanes.begin(), gems[i - 1].lanes.end(),
                                                           gems[i].lanes[0]) == gems[i - 1].lanes.end(); }),
            base + 5);
    Markers(t, Runs(gems, [&](size_t i) { return !gems[i].legato && AutoHammerOn(gems, i); }), base + 6);
    for (const Gem& g : gems) {
      for (int lane : g.lanes) t.Note(static_cast<uint32_t>(g.tick), base + lane, static_cast<uint32_t>(g.length));
    }
  }
}

// ---------------------------------------------------------------------------------
// Drums

enum class DrumRole { kKick, kSnare, kGhost, kCymbal, kCrash, kTom, kNone };

DrumRole RoleOf(DrumPiece p) {
  switch (p) {
    case DrumPiece::kKick: return DrumRole::kKick;
    case DrumPiece::kSnare: return DrumRole::kSnare;
    case DrumPiece::kSnareGhost: return DrumRole::kGhost;
    case DrumPiece::kHiHat:
    case DrumPiece::kHiHatOpen:
    case DrumPiece::kRide: return DrumRole::kCymbal;
    case DrumPiece::kCrash: return DrumRole::kCrash;
    case DrumPiece::kTomHigh:
    case DrumPiece::kTomMid:
    case DrumPiece::kTomFloor: return DrumRole::kTom;
    default: return DrumRole::kNone;
  }
}

// The pad of a piece: 0 kick, 1 snare, 2 yellow, 3 blue, 4 green (toms by marker).
int PadOf(DrumPiece p) {
  switch (p) {
    case DrumPiece::kKick:
    case DrumPiece::kKickDouble: return 0;
    case DrumPiece::kSnare:
    case DrumPiece::kSnareGhost: return 1;
    case DrumPiece::kHiHat:
    case DrumPiece::kHiHatOpen:
    case DrumPiece::kTomHigh: return 2;
    case DrumPiece::kRide:
    case DrumPiece::kTomMid: return 3;
    default: return 4;  // crash, floor tom
  }
}

// Per difficulty and role: easy keeps kick and snare on the beats, the crashes and
// the toms on the beats, and no time-keeping cymbal; medium adds the cymbal on the
// beats; hard plays eighths; expert everything but the second pedal, which only the
// extra kick note (95) carries.
bool RoleThinning(DrumRole role, int difficulty, Thinning* out) {
  switch (role) {
    case DrumRole::kGhost: *out = {4, 0.0}; return difficulty == kExpert;
    case DrumRole::kCrash: *out = {4, 0.0}; return true;
    case DrumRole::kCymbal:
      if (difficulty == 0) return false;
      *out = difficulty == 1 ? Thinning{1, 0.28} : difficulty == 2 ? Thinning{2, 0.14} : Thinning{4, 0.0};
      return true;
    case DrumRole::kKick:
    case DrumRole::kSnare:
    case DrumRole::kTom:
      *out = difficulty == 0   ? Thinning{1, 0.5}
             : difficulty == 1 ? Thinning{2, 0.28}
             : difficulty == 2 ? Thinning{3, 0.14}
                               : Thinning{4, 0.0};
      return true;
    default: return false;
  }
}

void WriteDrums(MidiTrackBuilder& t, const Arrangement& a) {
  // Tom markers turn the yellow, blue and green notes of the fills into toms.
  for (const TickRange& f : a.fills) {
    const std::pair<DrumPiece, int> toms[] = {{DrumPiece::kTomHigh, 110}, {DrumPiece::kTomMid, 111},
                                              {DrumPiece::kTomFloor, 112}};
    for (const auto& [piece, marker] : toms) {
      int first = -1, last = -1;
      for (const DrumHit& h : a.drums) {
        if (h.piece != piece || h.tick < f.start || h.tick >= f.end) continue;
        if (first < 0) first = h.tick;
        last = h.tick;
      }
      if (first >= 0) t.Note(static_cast<uint32_t>(first), marker, static_cast<uint32_t>(last - first + kShortGem));
    }
  }
  for (const DrumHit& h : a.drums) {
    if (h.piece == DrumPiece::kKickDouble) t.Note(static_cast<uint32_t>(h.tick), 95, kShortGem);
  }
  for (int d = 0; d < kDifficulties; ++d) {
    const int base = 60 + 12 * d;
    std::vector<DrumHit> kept;
    for (DrumRole role : {DrumRole::kKick, DrumRole::kSnare, DrumRole::kGhost, DrumRole::kCymbal, DrumRole::kCrash,
                          DrumRole::kTom}) {
      Thinning th{};
      if (!RoleThinning(role, d, &th)) continue;
      std::vector<int> ticks;
      for (const DrumHit& h : a.drums) {
        if (RoleOf(h.piece) == role) ticks.push_back(h.tick);
      }
      const std::set<int> keep = KeptTicks(a, ticks, th);
      for (const DrumHit& h : a.drums) {
        if (RoleOf(h.piece) == role && keep.count(h.tick)) kept.push_back(h);
      }
    }
    std::stable_sort(kept.begin(), kept.end(), [](const DrumHit& x, const DrumHit& y) { return x.tick < y.tick; });
    for (size_t i = 0; i < kept.size(); ++i) {
      const DrumHit& h = kept[i];
      // On easy one hand plays at a time: a crash wins over the snare beside it.
      if (d == 0 && RoleOf(h.piece) == DrumRole::kSnare) {
        const bool crash = std::any_of(kept.begin(), kept.end(), [&](const DrumHit& o) {
          return o.tick == h.tick && RoleOf(o.piece) == DrumRole::kCrash;
        });
        if (crash) continue;
      }
      t.Note(static_cast<uint32_t>(h.tick), base + PadOf(h.piece), kShortGem);
    }
  }
}

// ---------------------------------------------------------------------------------
// Dance: steps on the kick and the snare, the feet taking turns, jumps on crashes.

void WriteDance(MidiTrackBuilder& t, const Arrangement& a) {
  struct Step {
    int tick;
    bool kick = false, snare = false, crash = false;
  };
  std::vector<Step> steps;
  for (const DrumHit& h : a.drums) {
    const DrumRole role = RoleOf(h.piece);
    if (role != DrumRole::kKick && role != DrumRole::kSnare && role != DrumRole::kCrash) continue;
    if (steps.empty() || steps.back().tick != h.tick) steps.push_back({h.tick});
    Step& s = steps.back();
    s.kick |= role == DrumRole::kKick;
    s.snare |= role == DrumRole::kSnare;
    s.crash |= role == DrumRole::kCrash;
  }
  const Thinning thin[kDifficulties] = {{1, 0.75, kTicksPerBeat + 1}, {1, 0.4}, {2, 0.25}, {2, 0.14}};
  for (int d = 0; d < kDifficulties; ++d) {
    const int base = 60 + 12 * d;
    std::vector<int> ticks;
    for (const Step& s : steps) ticks.push_back(s.tick);
    const std::set<int> keep = KeptTicks(a, ticks, thin[d]);
    int foot = 0;
    for (const Step& s : steps) {
      if (!keep.count(s.tick)) continue;
      std::vector<int> arrows;  // 0 left, 1 down, 2 up, 3 right
      if (s.crash && d >= 2) {
        arrows = {0, 3};
      } else if (s.snare) {
        arrows = {foot == 0 ? 1 : 2};
      } else {
        arrows = {foot == 0 ? 0 : 3};
      }
      foot = 1 - foot;
      for (int arrow : arrows) t.Note(static_cast<uint32_t>(s.tick), base + arrow, kShortGem);
    }
  }
}

// ---------------------------------------------------------------------------------
// Pro strings: every note on a string and fret, as a player would finger it.

struct Fretted {
  int tick = 0;
  int length = 0;
  std::vector<std::pair<int, int>> notes;  // string, fret
};

const int kGuitarStrings[6] = {40, 45, 50, 55, 59, 64};
const int kBassStrings[4] = {28, 33, 38, 43};

// The strings and frets for pitches (ascending) on neighbouring strings, nearest the
// hand's position; null when the shape does not fit the neck.
bool Finger(const std::vector<int>& pitches, const int* open, int strings, double& hand,
            std::vector<std::pair<int, int>>* out) {
  const int n = static_cast<int>(pitches.size());
  double bestCost = 1e9;
  std::vector<std::pair<int, int>> best;
  double bestPosition = hand;
  for (int first = 0; first + n <= strings; ++first) {
    std::vector<std::pair<int, int>> shape;
    int lo = 99, hi = -1;
    double sum = 0;
    int fretted = 0;
    bool ok = true;
    for (int i = 0; i < n; ++i) {
      const int fret = pitches[static_cast<size_t>(i)] - open[first + i];
      if (fret < 0 || fret > 20) ok = false;
      if (fret > 0) {
        lo = std::min(lo, fret);
        hi = std::max(hi, fret);
        sum += fret;
        ++fretted;
      }
      shape.push_back({first + i, fret});
    }
    if (!ok || (fretted > 1 && hi - lo > 4)) continue;
    const double position = fretted ? sum / fretted : hand;
    const double cost = std::fabs(position - hand) + 0.05 * position;
    if (cost < bestCost) {
      bestCost = cost;
      best = shape;
      bestPosition = position;
    }
  }
  if (best.empty()) return false;
  hand = bestPosition;
  *out = best;
  return true;
}

std::vector<Fretted> ProGems(const Arrangement& a, const std::vector<Strike>& all, int difficulty, const int* open,
                             int strings) {
  const std::vector<Strike> kept = Thin(a, all, difficulty);
  std::vector<Fretted> out;
  double hand = 3.0;
  for (size_t i = 0; i < kept.size(); ++i) {
    const Strike& s = kept[i];
    std::vector<int> pitches = s.pitches;
    // Hard keeps two strings of a chord, medium and easy its root.
    const size_t keep = difficulty >= kExpert ? pitches.size() : difficulty == 2 ? 2 : 1;
    if (pitches.size() > keep) pitches.resize(keep);
    Fretted f;
    f.tick = s.tick;
    f.length = ChartLength(kept, i);
    if (!Finger(pitches, open, strings, hand, &f.notes)) {
      pitches.resize(1);
      if (!Finger(pitches, open, strings, hand, &f.notes)) continue;
    }
    out.push_back(f);
  }
  return out;
}

void WritePro(MidiTrackBuilder& t, const Arrangement& a, const std::vector<Note>& notes, const int* open, int strings,
              bool withSolo) {
  const std::vector<Strike> strikes = Strikes(notes);
  if (withSolo && a.solo.end > a.solo.start) Markers(t, {a.solo}, kProSoloNote);
  for (int d = 0; d < kDifficulties; ++d) {
    const int base = 24 * (d + 1);
    const std::vector<Fretted> gems = ProGems(a, strikes, d, open, strings);
    for (const Fretted& g : gems) {
      for (const auto& [string, fret] : g.notes)
        t.Note(static_cast<uint32_t>(g.tick), base + string, static_cast<uint32_t>(g.length), 100 + fret, 1);
    }
  }
}

// ---------------------------------------------------------------------------------
// Pro keys

std::vector<int> Reduce(const std::vector<int>& pitches, size_t keepTop) {
  if (pitches.size() <= keepTop) return pitches;
  return std::vector<int>(pitches.end() - static_cast<long>(keepTop), pitches.end());
}

// Where the visible key window of one hand starts (a MIDI note), and when it moves so
// that the notes of every bar are in view.
std::vector<std::pair<int, int>> KeyWindows(const Arrangement& a, const std::vector<Strike>& strikes, int width,
                                            int lowest, int highest) {
  std::vector<std::pair<int, int>> moves;
  int start = -1;
  int previousTick = -1;
  for (size_t i = 0; i < strikes.size();) {
    const int bar = strikes[i].tick / a.ticksPerBar;
    int lo = 127, hi = 0;
    size_t j = i;
    for (; j < strikes.size() && strikes[j].tick / a.ticksPerBar == bar; ++j) {
      lo = std::min(lo, strikes[j].pitches.front());
      hi = std::max(hi, strikes[j].pitches.back());
    }
    if (start < 0 || lo < start || hi > start + width - 1) {
      int wanted = lo < start || start < 0 ? lo : hi - width + 1;
      wanted = std::clamp(wanted, lowest, highest);
      const int at = start < 0 ? 0 : std::max(previousTick + 1, a.TickOfBar(bar) - 2 * kTicksPerBeat);
      moves.push_back({at, wanted});
      start = wanted;
    }
    previousTick = strikes[j - 1].tick;
    i = j;
  }
  return moves;
}

void WriteKeysHand(MidiTrackBuilder& t, const Arrangement& a, const std::vector<Strike>& strikes, int difficulty,
                   size_t keepTop, int channel) {
  const std::vector<Strike> kept = Thin(a, strikes, difficulty);
  for (size_t i = 0; i < kept.size(); ++i) {
    const int length = ChartLength(kept, i);
    for (int p : Reduce(kept[i].pitches, keepTop))
      t.Note(static_cast<uint32_t>(kept[i].tick), p, static_cast<uint32_t>(length), 100, channel);
  }
}

// The one-hand pro keys part (notes 48-72), one track per difficulty; notes 0-11 move
// its key window (note n shows from MIDI note 48 + n).
void WriteProKeys(MidiTrackBuilder& t, const Arrangement& a, int difficulty) {
  const std::vector<Strike> right = Strikes(a.keysRight);
  for (const auto& [tick, start] : KeyWindows(a, right, 18, 48, 59))
    t.Note(static_cast<uint32_t>(tick), start - 48, kShortGem);
  const size_t keep[kDifficulties] = {1, 2, 3, 3};
  WriteKeysHand(t, a, right, difficulty, keep[difficulty], 1);
}

// The two-hand keyboard part (notes 21-108; left hand on channel 1, right on 2), one
// track per difficulty; note 13 moves the left hand's window and note 12 the right
// hand's, to the MIDI note given as velocity.
void WriteRealKeys(MidiTrackBuilder& t, const Arrangement& a, int difficulty) {
  const std::vector<Strike> left = Strikes(a.keysLeft);
  const std::vector<Strike> right = Strikes(a.keysRight);
  for (const auto& [tick, start] : KeyWindows(a, left, 18, 21, 91))
    t.Note(static_cast<uint32_t>(tick), 13, kShortGem, start);
  for (const auto& [tick, start] : KeyWindows(a, right, 18, 21, 91))
    t.Note(static_cast<uint32_t>(tick), 12, kShortGem, start);
  const size_t keepLeft[kDifficulties] = {1, 1, 2, 2};
  const size_t keepRight[kDifficulties] = {1, 2, 3, 3};
  WriteKeysHand(t, a, left, difficulty, keepLeft[difficulty], 1);
  WriteKeysHand(t, a, right, difficulty, keepRight[difficulty], 2);
}

// ---------------------------------------------------------------------------------
// Vocals: a phrase marker (105) around each line, a lyric event and a pitched note per
// syllable, energy phrases around the lines sung inside the bands' energy phrases.

void WriteVocals(MidiTrackBuilder& t, const Arrangement& a, const std::vector<Phrase>& phrases, bool energy) {
  for (const Phrase& p : phrases) {
    t.Note(static_cast<uint32_t>(p.start), 105, static_cast<uint32_t>(p.end - p.start));
    if (energy) {
      const bool inside = std::any_of(a.energy.begin(), a.energy.end(),
                                      [&](const TickRange& r) { return p.start >= r.start && p.start < r.end; });
      if (inside) t.Note(static_cast<uint32_t>(p.start), kEnergyNote, static_cast<uint32_t>(p.end - p.start));
    }
    for (const Syllable& s : p.syllables) {
      t.Lyric(static_cast<uint32_t>(s.tick), s.lyric);
      t.Note(static_cast<uint32_t>(s.tick), s.pitch, static_cast<uint32_t>(s.length));
    }
  }
}

// ---------------------------------------------------------------------------------

int RatingFor(double notesPerSecond) { return std::clamp(static_cast<int>(notesPerSecond / 1.1) + 1, 1, 6); }

double Density(const Arrangement& a, size_t strikes) {
  int from = 0;
  for (const SectionMark& s : a.sections) {
    if (s.kind == SectionKind::kLeadIn) from = s.tick + s.bars * a.ticksPerBar;
  }
  const double seconds = a.SecondsAt(a.endTick) - a.SecondsAt(from);
  return seconds > 0 ? static_cast<double>(strikes) / seconds : 0.0;
}

size_t DrumStrikes(const Arrangement& a) {
  std::set<int> ticks;
  for (const DrumHit& h : a.drums) {
    if (RoleOf(h.piece) != DrumRole::kNone && RoleOf(h.piece) != DrumRole::kGhost) ticks.insert(h.tick);
  }
  return ticks.size();
}

size_t Syllables(const std::vector<Phrase>& phrases) {
  size_t n = 0;
  for (const Phrase& p : phrases) n += p.syllables.size();
  return n;
}

}  // namespace

Chart MakeChart(const Arrangement& a) {
  MidiFileBuilder midi(kTicksPerBeat);
  midi.Track().Tempo(0, a.microsecondsPerBeat).TimeSignature(0, a.beatsPerBar, 2);

  auto& events = midi.Track("EVENTS");
  for (const SectionMark& s : a.sections) {
    if (!s.name.empty()) events.Text(static_cast<uint32_t>(s.tick), "[section " + s.name + "]");
  }

  auto& drums = midi.Track("PART DRUMS");
  Markers(drums, a.energy, kEnergyNote);
  WriteDrums(drums, a);

  auto fiveLane = [&](const char* name, const std::vector<Note>& notes, bool solo) {
    auto& t = midi.Track(name);
    Markers(t, a.energy, kEnergyNote);
    if (solo && a.solo.end > a.solo.start) Markers(t, {a.solo}, kSoloNote);
    WriteFiveLane(t, a, notes);
  };
  fiveLane("PART BASS", a.bass, false);
  fiveLane("PART GUITAR", a.guitar, true);
  fiveLane("PART KEYS", a.keysRight, false);

  WriteVocals(midi.Track("PART VOCALS"), a, a.lead, true);
  WriteVocals(midi.Track("HARM1"), a, a.lead, false);
  WriteVocals(midi.Track("HARM2"), a, a.harmonyHigh, false);
  WriteVocals(midi.Track("HARM3"), a, a.harmonyLow, false);

  auto& realBass = midi.Track("PART REAL_BASS");
  Markers(realBass, a.energy, kEnergyNote);
  WritePro(realBass, a, a.bass, kBassStrings, 4, false);
  auto& realGuitar = midi.Track("PART REAL_GUITAR");
  Markers(realGuitar, a.energy, kEnergyNote);
  WritePro(realGuitar, a, a.guitar, kGuitarStrings, 6, true);

  const char* const proKeys[kDifficulties] = {"PART REAL_KEYS_E", "PART REAL_KEYS_M", "PART REAL_KEYS_H",
                                              "PART REAL_KEYS_X"};
  for (int d = 0; d < kDifficulties; ++d) {
    auto& t = midi.Track(proKeys[d]);
    Markers(t, a.energy, kEnergyNote);
    WriteProKeys(t, a, d);
  }

  fiveLane("PART RHYTHM", a.rhythm, false);
  fiveLane("PART GUITAR COOP", a.guitar2, false);

  auto& dance = midi.Track("PART DANCE");
  Markers(dance, a.energy, kEnergyNote);
  WriteDance(dance, a);

  auto& realDrums = midi.Track("PART REAL_DRUMS_VL");
  Markers(realDrums, a.energy, kEnergyNote);
  WriteDrums(realDrums, a);

  const char* const realKeys[kDifficulties] = {"PART REAL_KEYS_VL_E", "PART REAL_KEYS_VL_M", "PART REAL_KEYS_VL_H",
                                               "PART REAL_KEYS_VL_X"};
  for (int d = 0; d < kDifficulties; ++d) {
    auto& t = midi.Track(realKeys[d]);
    Markers(t, a.energy, kEnergyNote);
    WriteRealKeys(t, a, d);
  }

  Chart chart;
  chart.bytes = midi.Build();

  auto& r = chart.ratings;
  r["diff_drums"] = RatingFor(Density(a, DrumStrikes(a)));
  r["diff_bass"] = RatingFor(Density(a, Strikes(a.bass).size()));
  r["diff_guitar"] = RatingFor(Density(a, Strikes(a.guitar).size()));
  r["diff_keys"] = RatingFor(Density(a, Strikes(a.keysRight).size()));
  r["diff_vocals"] = RatingFor(Density(a, Syllables(a.lead)));
  r["diff_rhythm"] = RatingFor(Density(a, Strikes(a.rhythm).size()));
  r["diff_guitar_coop"] = RatingFor(Density(a, Strikes(a.guitar2).size()));
  r["diff_dance"] = std::max(1, r["diff_drums"] - 1);
  // The pro parts ask for more of the same music: one step up.
  r["diff_drums_real"] = std::min(6, r["diff_drums"] + 1);
  r["diff_drums_real_vl"] = std::min(6, r["diff_drums"] + 1);
  r["diff_bass_real"] = std::min(6, r["diff_bass"] + 1);
  r["diff_guitar_real"] = std::min(6, r["diff_guitar"] + 1);
  r["diff_keys_real"] = std::min(6, r["diff_keys"] + 1);
  r["diff_keys_real_vl"] = std::min(6, r["diff_keys"] + 2);
  r["diff_vocals_harm"] = std::min(6, r["diff_vocals"] + 1);
  r["diff_band"] = (r["diff_drums"] + r["diff_bass"] + r["diff_guitar"] + r["diff_vocals"] + 2) / 4;
  return chart;
}

}  // namespace demo
