#include "game/lane_sections.h"
#include "song/instrument.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr double kOpenEnd = 900000.0;   // a marker without its note-off lasts this long
constexpr double kBreakGapMs = 5000.0;
constexpr double kIntroStart = -90000.0;
constexpr double kSoloShownAfterEnd = 3000.0;
constexpr int32_t kNoteOn = 0x90;
constexpr int32_t kNoteOff = 0x80;
constexpr int32_t kEndOfTrack = 0x2F;
constexpr int32_t kText = 0x01;
}  // namespace

int32_t* LaneSection::Counter(int32_t slot, int32_t value) {
  if (!counters || slot < 0 || slot >= kLaneSlots || value < 0 || value >= kLaneSpanValues) return nullptr;
  return &counters[static_cast<size_t>(slot * kLaneSpanValues + value)];
}

const int32_t* LaneSection::Counter(int32_t slot, int32_t value) const {
  return const_cast<LaneSection*>(this)->Counter(slot, value);
}

void GradeSolo(int32_t hits, int32_t notes, int32_t* grade, int32_t* pointsPerHit) {
  if (notes <= 0) {
    *grade = 6;
    *pointsPerHit = 0;
    return;
  }
  // Whole percent in integers: 38 of 40 is 95, not 94.999...
  const int64_t p = static_cast<int64_t>(hits) * 100 / notes;
  if (p >= 100) {
    *grade = 0, *pointsPerHit = 100;
  } else if (p >= 95) {
    *grade = 1, *pointsPerHit = 50;
  } else if (p >= 90) {
    *grade = 2, *pointsPerHit = 30;
  } else if (p >= 80) {
    *grade = 3, *pointsPerHit = 20;
  } else if (p >= 70) {
    *grade = 4, *pointsPerHit = 10;
  } else if (p >= 60) {
    *grade = 5, *pointsPerHit = 5;
  } else {
    *grade = 6, *pointsPerHit = 0;
  }
}

void LaneSectionList::Setup(int32_t energyNote, int32_t kind, int32_t laneCount, int32_t options,
                            int32_t difficulty) {
  Clear();
  energyNote_ = energyNote;
  kind_ = kind;
  laneCount_ = laneCount;
  options_ = options;
  difficulty_ = difficulty;
}

void LaneSectionList::Clear() {
  sections_.clear();
  inBreak_ = soloActive_ = laneSpanActive_ = false;
  currentSolo_ = currentSpan_ = -1;
  lastNoteTime_ = 0;
  std::fill(std::begin(lastTick_), std::end(lastTick_), 0.0f);
  firstNoteSeen_ = false;
}

LaneSection& LaneSectionList::Append(int32_t type, double startMs, double endMs, double startTick,
                                     double endTick) {
  LaneSection s;
  s.type = type;
  s.start = static_cast<float>(startMs);
  s.end = static_cast<float>(endMs);
  s.startTick = static_cast<float>(startTick);
  s.endTick = static_cast<float>(endTick);
  if (type == kSectionLaneSpan) {
    s.counters = std::make_unique<int32_t[]>(static_cast<size_t>(kLaneSlots * kLaneSpanValues));
    s.kind = kind_;
    s.laneCount = laneCount_;
    s.options = options_;
  }
  sections_.push_back(std::move(s));
  return sections_.back();
}

LaneSection* LaneSectionList::LastOfType(int32_t type) {
  for (auto it = sections_.rbegin(); it != sections_.rend(); ++it) {
    if (it->type == type) return &*it;
  }
  return nullptr;
}

void LaneSectionList::OnChartEvent(const ChartEventInfo& e, int32_t ticksPerQuarter) {
  const bool on = e.kind == kNoteOn;
  const bool off = e.kind == kNoteOff;
  if (!on && !off && e.kind != kEndOfTrack) return;
  const bool pro = LaneMap::IsProKind(kind_);

  if (on || off) {
    const int32_t n = e.note;
    const bool solo = (n == 103 && energyNote_ != 103 && !pro) || (n == 115 && pro);
    if (solo) {
      if (on) {
        LaneSection& s = Append(kSectionSolo, e.timeMs, e.timeMs + kOpenEnd, e.tick, e.tick + kOpenEnd);
        if (e.spanNotes && difficulty_ >= 0 && difficulty_ < 5) {
          s.soloNotes = static_cast<int32_t>(std::min<uint32_t>(e.spanNotes[difficulty_], 1u << 30));
        }
      } else if (LaneSection* s = LastOfType(kSectionSolo)) {
        s->end = static_cast<float>(e.timeMs);
        s->endTick = static_cast<float>(e.tick);
      }
    }
    const bool span = (n == 126 && !LaneMap::IsKeysKind(kind_)) || n == 127;
    if (span) {
      if (on) {
        Append(kSectionLaneSpan, e.timeMs, e.timeMs + kOpenEnd, e.tick, e.tick + kOpenEnd);
      } else if (LaneSection* s = LastOfType(kSectionLaneSpan)) {
        s->end = static_cast<float>(e.timeMs);
        s->endTick = static_cast<float>(e.tick);
      }
    }
  }

  const bool playable = (on || off) && LaneMap::IsPlayableNote(kind_, e.note, difficulty_);
  if (playable && on) {
    const float t = static_cast<float>(e.timeMs);
    if (!firstNoteSeen_) {
      Append(kSectionBreak, kIntroStart, t, 0, e.tick);
      firstNoteSeen_ = true;
    } else if (t - lastNoteTime_ >= kBreakGapMs) {
      Append(kSectionBreak, lastNoteTime_, t, 0, e.tick);
    }
    lastNoteTime_ = t;
    lastTick_[e.note & 127] = static_cast<float>(e.tick);
  } else if (playable && off) {
    if (e.tick - lastTick_[e.note & 127] > ticksPerQuarter / 4) lastNoteTime_ = static_cast<float>(e.timeMs);
  } else if (e.kind == kEndOfTrack) {
    Append(kSectionBreak, lastNoteTime_, e.timeMs + kOpenEnd, 0, e.tick + kOpenEnd);
  }
}

void LaneSectionList::FindActive(double t, double margin) {
  inBreak_ = soloActive_ = laneSpanActive_ = false;
  currentSolo_ = currentSpan_ = -1;
  for (size_t i = 0; i < sections_.size(); ++i) {
    LaneSection& s = sections_[i];
    switch (s.type) {
      case kSectionBreak:
        if (s.start <= t && t <= s.end) inBreak_ = true;
        break;
      case kSectionLaneSpan:
        if (s.start <= t && t <= s.end) {
          laneSpanActive_ = true;
          currentSpan_ = static_cast<int32_t>(i);
        }
        break;
      case kSectionSolo:
        if (s.start <= t && t <= s.end + kSoloShownAfterEnd) {
          currentSolo_ = static_cast<int32_t>(i);
          soloActive_ = true;
        }
        if (t >= s.end + margin && !s.finished) {
          s.finished = true;
          s.bonusPending = true;
          GradeSolo(s.soloHits, s.soloNotes, &s.grade, &s.bonusPerHit);
          s.bonus = s.bonusPerHit * s.soloHits;
        }
        break;
      default:
        break;
    }
  }
}

void LaneSectionList::AdjustLaneCount(int32_t slot, int32_t value, bool increase, double tick) {
  for (LaneSection& s : sections_) {
    if (s.type != kSectionLaneSpan || !(s.startTick <= tick && tick < s.endTick)) continue;
    if (int32_t* c = s.Counter(slot, value)) *c += increase ? 1 : -1;
  }
}

bool LaneSectionList::Covered(int32_t slot, int32_t value) const {
  if (!laneSpanActive_ || currentSpan_ < 0) return false;
  const int32_t* c = sections_[static_cast<size_t>(currentSpan_)].Counter(slot, value);
  return c && *c != 0;
}

void LaneSectionList::CountSoloHit(double tick) {
  for (LaneSection& s : sections_) {
    if (s.type == kSectionSolo && s.startTick <= tick && tick < s.endTick) s.soloHits += 1;
  }
}

int32_t LaneSectionList::TakePendingBonus() {
  int32_t bonus = 0;
  for (LaneSection& s : sections_) {
    if (s.type == kSectionSolo && s.bonusPending) {
      bonus += s.bonus;
      s.bonusPending = false;
    }
  }
  return bonus;
}

const LaneSection* LaneSectionList::currentSolo() const {
  return currentSolo_ >= 0 ? &sections_[static_cast<size_t>(currentSolo_)] : nullptr;
}

void MixSectionList::Setup(int32_t energyNote, int32_t difficultyValue, int32_t kindValue) {
  Clear();
  energyNote_ = energyNote;
  difficulty = difficultyValue;
  kind = kindValue;
}

void MixSectionList::Clear() {
  nodes_.clear();
  phraseActive = false;
  phraseNumber = 0;
  mixFlip = false;
  keySignature[0] = keySignature[1] = 0;
  for (int h = 0; h < 2; ++h) {
    currentRange[h] = nextRange[h] = 0;
    rangeChangeActive[h] = rangeChangeComing[h] = false;
  }
}

void MixSectionList::Add(double time, int32_t type, int32_t a, int32_t b) {
  Node n;
  n.time = static_cast<float>(time);
  n.type = type;
  n.a = a;
  n.b = b;
  nodes_.push_back(n);
}

void MixSectionList::AddChartEvent(const ChartEventInfo& e) {
  if ((e.kind == kNoteOn || e.kind == kNoteOff) && e.note == energyNote_) {
    Add(e.timeMs, e.kind == kNoteOn ? kPhraseOn : kPhraseOff, 0, 0);
  }
  if (e.kind == kText && e.text) {
    bool flipOn = false;
    if (LaneMap::ParseMixEvent(difficulty, e.text, &flipOn)) Add(e.timeMs, flipOn ? kMixFlipOn : kMixFlipOff, 0, 0);
  }
  if (e.kind == kNoteOn) {
    if (kind == Instrument::keys_adv && e.note >= 0 && e.note <= 11) Add(e.timeMs, kKeysRange, 0, e.note + 27);
    if (kind == Instrument::keys_real && e.note == 12) Add(e.timeMs, kKeysRange, 1, e.velocity - 21);
    if (kind == Instrument::keys_real && e.note == 13) Add(e.timeMs, kKeysRange, 0, e.velocity - 21);
  }
}

void MixSectionList::AddKeySignature(double timeMs, int32_t first, int32_t second) {
  Add(timeMs, kKeySignature, first, second);
}

void MixSectionList::Advance(double t, double speed) {
  size_t kept = 0;
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const Node n = nodes_[i];
    if (!(n.time < t)) {
      nodes_[kept++] = n;
      continue;
    }
    switch (n.type) {
      case kPhraseOn: phraseActive = true; break;
      case kPhraseOff:
        phraseNumber += 1;
        phraseActive = false;
        break;
      case kMixFlipOn: mixFlip = true; break;
      case kMixFlipOff: mixFlip = false; break;
      case kKeysRange:
        if (n.a == 0 || n.a == 1) {
          currentRange[n.a] = n.b;
          rangeChangeActive[n.a] = true;
          rangeChangeComing[n.a] = false;
        }
        break;
      case kKeySignature:
        keySignature[0] = n.b;
        keySignature[1] = n.a;
        break;
      default: break;
    }
  }
  nodes_.resize(kept);
  if (kind != Instrument::keys_adv && kind != Instrument::keys_real) return;
  for (int32_t hand = 0; hand < 2; ++hand) {
    for (Node& n : nodes_) {
      if (n.type != kKeysRange || n.a != hand || !(n.time < t + speed * 3000.0)) continue;
      nextRange[hand] = n.b;
      if (!n.shown) {
        n.shown = true;
        rangeChangeComing[hand] = true;
      }
      break;
    }
  }
}
