#include "game/player_track.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "song/instrument.h"
#include "song/midi_file.h"

namespace {

BoardEffects g_noEffects;

constexpr float kRetireDistance = -150.0f;
constexpr int32_t kPhraseCompleteSound = 96;
constexpr int32_t kEnergyOnSound = 94;
constexpr int32_t kEnergyOffSound = 95;
constexpr int32_t kEnergyLook = 68;
constexpr int32_t kNormalLook = 66;

bool IsNoteOn(const MidiEvent* e) { return e->kind() == kMidiNoteOn; }
bool IsNoteOff(const MidiEvent* e) { return e->kind() == kMidiNoteOff; }

void PlaySound(GameContext* context, int32_t id) {
  if (context && context->sound) context->sound->Play(id, 1.0f, 1.0f);
}

}  // namespace

PlayerTrack::PlayerTrack() : fx(&g_noEffects), context_(&defaultContext_) {
  std::fill(std::begin(lastSlotForNote_), std::end(lastSlotForNote_), -1);
  score.Reset(true);
}

void PlayerTrack::SetupNotes(const MidiEvent* partEvents, const MidiEvent* tempoEvents, int32_t ticksPerQuarter,
                             int32_t difficultyValue, int32_t kindValue, bool leftyValue, int32_t laneCountValue,
                             int32_t boardOptionValue, int32_t energyNoteValue, GameContext* context,
                             int32_t keysLow, int32_t keysHigh) {
  context_ = context ? context : &defaultContext_;
  if (!fx) fx = &g_noEffects;
  kind = kindValue;
  difficulty = std::clamp(difficultyValue, 0, 4);
  lefty = leftyValue;
  laneCount = LaneMap::NormalLaneCount(kind, laneCountValue);
  meters.Setup(kind == Instrument::keys_real);
  boardOption = boardOptionValue;
  energyNote = energyNoteValue;
  // A time-code division (high bit set) or 0 has no ticks per quarter note.
  ticksPerQuarter_ = (ticksPerQuarter > 0 && ticksPerQuarter < 0x8000) ? ticksPerQuarter : 480;
  baseNote = LaneMap::BaseNote(kind, difficulty);
  topNote = LaneMap::TopNote(kind, difficulty);

  for (NoteRecord& n : notes) n.Reset();
  for (BeatLine& b : beats) b = BeatLine();
  for (ChordGroup& g : groups) g = ChordGroup();
  for (int32_t s = 0; s < kLaneSlots; ++s) {
    lanes[s] = LaneState();
    lanes[s].enabled = s <= laneCount;
  }
  anySustainHeld_ = false;

  score.kind = kind;
  score.sound = context_->sound;
  // The easiest difficulty never fails.
  if (difficulty == 0) score.noFail = true;

  // The tempo map, and how far the chart goes (for the beat lines).
  tempo.Reset(ticksPerQuarter_);
  double tick = 0;
  double lastTick = 0;
  for (const MidiEvent* e = tempoEvents; e; e = e->next()) {
    tick += e->delta();
    if (e->kind() == kMetaTempo) tempo.AddTempo(tick, static_cast<uint32_t>(e->data1()));
    if (e->kind() == kMetaTimeSignature) tempo.AddTimeSignature(tick, e->data1());
    if (e->kind() == kMetaKeySignature) tempo.AddKeySignature(tick, e->data1(), e->data2());
  }
  lastTick = tick;
  tick = 0;
  for (const MidiEvent* e = partEvents; e; e = e->next()) tick += e->delta();
  lastTick = std::max(lastTick, tick);
  lastBeat_ = static_cast<int64_t>(std::ceil(lastTick / ticksPerQuarter_)) + 4;

  sections.Setup(energyNote, kind, laneCount, boardOption, difficulty);
  mix.Setup(energyNote, difficulty, kind);

  cursor_ = partEvents;
  partTick_ = 0;
  partTime_ = 0;
  keySigCursor_ = 0;
  serialCounter_ = 0;
  nextBeat_ = 0;
  beatSerial_ = 0;
  lastSpawnSlot = -1;
  std::fill(std::begin(lastSlotForNote_), std::end(lastSlotForNote_), -1);
  for (CountedKey& c : counted_) c = CountedKey();
  forceHopo_ = forceStrum_ = proHopo_ = slideSpan_ = Span();
  for (Span& s : sysex_) s = Span();
  for (Span& s : tom_) s = Span();
  spawnMixFlip = false;
  mixFlipStart_ = 0;
  groupTick_ = -1;
  groupCount_ = 0;
  prevGroupTick_ = -1;
  prevGroupLanes_ = 0;
  prevGroupValid_ = false;
  phraseOpen_ = false;
  phraseStart_ = 0;
  phraseNumber_ = 0;
  std::fill(std::begin(phraseFailed_), std::end(phraseFailed_), false);
  currentBeat = 0;
  currentTime = 0;
  whammyActive = false;
  whammyValue = 0;
  for (int h = 0; h < 2; ++h) {
    const int32_t wanted = h == 0 ? keysLow : keysHigh;
    visibleKeys[h] = std::clamp(wanted, 1, 88);
    keyWindow[h] = keyWindowTarget[h] = 0;
    keyMoveSpeed_[h] = 0;
    shownRange_[h] = -1;
  }
  keyMoveTime_ = platform::TimeGetTime();
  fx->IntroFade();
}

int32_t PlayerTrack::FreeNoteSlot() const {
  for (int32_t s = 1; s < kNoteSlots; ++s) {
    if (!notes[s].active) return s;
  }
  return -1;
}

void PlayerTrack::SpawnNotes() {
  while (cursor_) {
    if (FreeNoteSlot() < 0) break;
    const MidiEvent* e = cursor_;
    cursor_ = cursor_->next();
    HandleEvent(e);
    if (!cursor_) FinishHopoGroup();
  }
}

void PlayerTrack::HandleEvent(const MidiEvent* e) {
  partTick_ += e->delta();
  const std::vector<TempoMap::KeySignature>& keys = tempo.keySignatures();
  while (keySigCursor_ < keys.size() && keys[keySigCursor_].tick <= partTick_) {
    const TempoMap::KeySignature& k = keys[keySigCursor_++];
    mix.AddKeySignature(tempo.TickToMs(k.tick), k.first, k.second);
  }
  partTime_ = tempo.TickToMs(partTick_);

  ChartEventInfo info;
  info.kind = e->kind();
  info.channel = e->channel();
  info.note = e->data1();
  info.velocity = e->data2();
  info.timeMs = partTime_;
  info.tick = partTick_;
  info.spanNotes = e->spanNotes().data();
  info.text = e->text().data();  // stored with a NUL after it

  const bool playable = (IsNoteOn(e) || IsNoteOff(e)) && LaneMap::IsPlayableNote(kind, e->data1(), difficulty);
  int32_t newSlot = -1;
  if (IsNoteOn(e) && playable) {
    int32_t piece = 0;
    const int32_t lane =
        LaneMap::NoteLane(kind, e->data1(), difficulty, context_->song.drumLayoutSwap, &piece);
    newSlot = FreeNoteSlot();
    if (newSlot >= 0) AddNote(newSlot, lane, e, piece);
  }
  ApplySpans(e);
  sections.OnChartEvent(info, ticksPerQuarter_);
  if (playable && IsNoteOff(e) && !LaneMap::IsDrumKind(kind)) EndSustainOf(e);
  if (LaneMap::IsProKind(kind) && newSlot >= 0) ApplyProHammerOn(newSlot);
  MarkPhrase(e, newSlot);
  mix.AddChartEvent(info);
  if (e->kind() == kMetaEndOfTrack) FinishHopoGroup();
}

void PlayerTrack::ReleaseSlot(int32_t slot) {
  NoteRecord& n = notes[slot];
  if (!n.active) return;
  if (n.group >= 0 && n.group < kNoteSlots) {
    ChordGroup& g = groups[n.group];
    int32_t kept = 0;
    for (int32_t i = 0; i < g.count; ++i) {
      if (g.slots[i] != slot) g.slots[kept++] = g.slots[i];
    }
    g.count = kept;
    if (kept == 0) g = ChordGroup();
  }
  for (int32_t s = 0; s < kLaneSlots; ++s) {
    if (lanes[s].sustaining && lanes[s].sustainNote == slot) {
      lanes[s].sustaining = false;
      lanes[s].sustainNote = -1;
      fx->SustainEnd(s);
    }
  }
  n.Reset();
}

int32_t PlayerTrack::LaneSpanValue(const NoteRecord& n) const {
  if (LaneMap::IsProKind(kind)) return n.fret;
  if (kind == Instrument::drums_real) return n.padVariant;
  return 0;
}

void PlayerTrack::AddNote(int32_t slot, int32_t lane, const MidiEvent* e, int32_t drumPiece) {
  ReleaseSlot(slot);
  CountedKey& counted = counted_[slot];
  if (counted.slot >= 0) sections.AdjustLaneCount(counted.slot, counted.value, false, counted.tick);
  counted = CountedKey();
  NoteRecord& n = notes[slot];
  if (LaneMap::IsDrumKind(kind) && drumSwap == 1 && (kind == Instrument::drums_adv || kind == Instrument::drums_real)) {
    if (lane == 1) {
      lane = 4;
    } else if (lane == 4) {
      lane = 1;
    }
  }
  n.lane = lane;
  n.fretSlot = LaneMap::FretIndex(lane, kind, laneCount);
  n.active = true;
  n.time = static_cast<float>(partTime_);
  n.endTime = n.time;
  n.tick = static_cast<float>(partTick_);
  n.endTick = n.tick;
  n.serial = serialCounter_++;
  n.drumPiece = drumPiece;
  n.note = e->data1();

  if (LaneMap::IsFiveFretKind(kind)) {
    // Notes less than 3 ticks apart are played as one chord.
    if (lastSpawnSlot >= 0 && lastSpawnSlot != slot && notes[lastSpawnSlot].active) {
      const NoteRecord& prev = notes[lastSpawnSlot];
      if (n.tick > prev.tick && n.tick - prev.tick < 3.0f) {
        n.time = n.endTime = prev.time;
        n.tick = n.endTick = prev.tick;
      }
    }
    if (groupCount_ > 0 && n.tick != groupTick_) FinishHopoGroup();
    if (groupCount_ == 0) groupTick_ = n.tick;
    if (groupCount_ < kMaxGroupNotes) groupSlots_[groupCount_++] = slot;
  }
  if (kind == Instrument::keys_real) n.hand = std::clamp(e->channel() - 1, 0, 1);
  if (LaneMap::IsProKind(kind)) {
    n.fret = e->data2() - 100;
    switch (e->channel()) {
      case 2: n.unscored = true; break;
      case 3: n.channelFlag[0] = true; break;
      case 4: n.anyFret = true; break;
      case 5: n.tap = true; break;
      case 6: n.channelFlag[1] = true; break;
      default: break;
    }
    // Join (or found) the chord group of the notes at the same time.
    for (int32_t s = 1; s < kNoteSlots; ++s) {
      NoteRecord& other = notes[s];
      if (s == slot || !other.active || other.time != n.time) continue;
      int32_t g = other.group;
      if (g < 0) {
        for (int32_t i = 0; i < kNoteSlots; ++i) {
          if (!groups[i].used) {
            g = i;
            break;
          }
        }
        if (g < 0) break;
        groups[g] = ChordGroup();
        groups[g].used = true;
        groups[g].slots[groups[g].count++] = s;
        groups[g].lowLane = groups[g].highLane = other.lane;
        other.group = g;
      }
      ChordGroup& group = groups[g];
      if (group.count < kMaxGroupNotes) {
        group.slots[group.count++] = slot;
        group.lowLane = std::min(group.lowLane, lane);
        group.highLane = std::max(group.highLane, lane);
        n.group = g;
      }
      break;
    }
  }
  if (kind == Instrument::dance && e->channel() == 2) n.forbidden = true;
  // The vocal kinds have no judging: their notes are shown, never scored or missed.
  if (LaneMap::IsVocalKind(kind)) n.unscored = true;

  lastSpawnSlot = slot;
  lastSlotForNote_[e->data1() & 127] = slot;
  if (n.fretSlot >= 0) {
    counted = {n.fretSlot, LaneSpanValue(n), n.tick};
    sections.AdjustLaneCount(counted.slot, counted.value, true, counted.tick);
  }
}

double PlayerTrack::HopoThreshold() const {
  const SongOptions& song = context_->song;
  int32_t h;
  if (song.hopoFrequency > 0) {
    h = static_cast<int32_t>(static_cast<int64_t>(song.hopoFrequency) * ticksPerQuarter_ / 480);
  } else if (song.eighthNoteHopo) {
    h = ticksPerQuarter_ / 2;
  } else {
    h = ticksPerQuarter_ / 3;
  }
  return h + 3.0;
}

void PlayerTrack::FinishHopoGroup() {
  if (groupCount_ == 0) return;
  uint32_t lanesMask = 0;
  int32_t live = 0;
  for (int32_t i = 0; i < groupCount_; ++i) {
    const NoteRecord& n = notes[groupSlots_[i]];
    if (!n.active || n.tick != groupTick_) continue;
    ++live;
    if (n.lane >= 0 && n.lane < 32) lanesMask |= 1u << n.lane;
  }
  const double h = HopoThreshold();
  for (int32_t i = 0; i < groupCount_; ++i) {
    NoteRecord& n = notes[groupSlots_[i]];
    if (!n.active || n.tick != groupTick_ || n.classified) continue;
    n.classified = true;
    n.hammerOn = false;
    if (live > 1 || !prevGroupValid_) continue;  // a chord is never a hammer-on
    const double distance = groupTick_ - prevGroupTick_;
    const bool laneInPrevious = n.lane >= 0 && n.lane < 32 && (prevGroupLanes_ & (1u << n.lane));
    n.hammerOn = distance > 0 && distance <= h && !laneInPrevious;
  }
  if (live > 0) {
    prevGroupTick_ = groupTick_;
    prevGroupLanes_ = lanesMask;
    prevGroupValid_ = true;
  }
  groupCount_ = 0;
}

void PlayerTrack::ApplyProHammerOn(int32_t slot) {
  NoteRecord& n = notes[slot];
  if (n.classified) return;
  const int32_t third = context_->song.eighthNoteHopo ? ticksPerQuarter_ / 2 : ticksPerQuarter_ / 3;
  const double limit = third + 3.0;
  float nearest = -1;
  for (int32_t s = 1; s < kNoteSlots; ++s) {
    const NoteRecord& o = notes[s];
    if (s == slot || !o.active || o.tick >= n.tick) continue;
    if (n.tick - o.tick <= limit && o.tick > nearest) nearest = o.tick;
  }
  bool hammer = false;
  if (nearest >= 0) {
    for (int32_t s = 1; s < kNoteSlots; ++s) {
      const NoteRecord& o = notes[s];
      if (s != slot && o.active && o.tick == nearest && o.fretSlot == n.fretSlot && o.fret != n.fret) hammer = true;
    }
  }
  n.hammerOn = hammer;
  // Notes at one time are hammer-ons only when all of them are.
  bool all = hammer;
  for (int32_t s = 1; s < kNoteSlots; ++s) {
    const NoteRecord& o = notes[s];
    if (s != slot && o.active && o.time == n.time) all = all && o.hammerOn;
  }
  for (int32_t s = 1; s < kNoteSlots; ++s) {
    NoteRecord& o = notes[s];
    if (o.active && o.time == n.time && !o.classified) o.hammerOn = all;
  }
}

void PlayerTrack::ApplySpans(const MidiEvent* e) {
  const bool on = IsNoteOn(e);
  const bool off = IsNoteOff(e);
  const int32_t note = e->data1();
  const SongOptions& song = context_->song;
  auto openClose = [&](Span& span) {
    if (on) {
      span.open = true;
      span.start = partTime_;
    } else if (off) {
      span.open = false;
    }
  };

  if (LaneMap::IsDrumKind(kind)) {
    if ((on || off) && note >= 110 && note <= 112) openClose(tom_[note - 110]);
    if (e->kind() == kMetaText) {
      bool flipOn = false;
      if (LaneMap::ParseMixEvent(difficulty, e->text(), &flipOn)) {
        spawnMixFlip = flipOn;
        mixFlipStart_ = partTime_;
      }
    }
    static constexpr int32_t kTomLanes[3] = {3, 4, 1};
    static constexpr int32_t kTomLanes7[3] = {6, 7, 8};
    for (int32_t i = 0; i < 3; ++i) {
      if (!tom_[i].open) continue;
      for (NoteRecord& n : notes) {
        if (!n.active || n.activation || n.tomDone || n.time < tom_[i].start || n.lane != kTomLanes[i]) continue;
        n.tomDone = true;
        n.drumPiece = 4;
        if (laneCount == 7) {
          n.lane = kTomLanes7[i];
          n.fretSlot = LaneMap::FretIndex(n.lane, kind, laneCount);
        }
      }
    }
    if (spawnMixFlip) {
      const bool moves = laneCount == 5 || laneCount == 7;
      for (NoteRecord& n : notes) {
        if (!n.active || n.activation || n.mixDone || n.tomDone || n.time < mixFlipStart_) continue;
        if (n.lane == 2) {
          n.padVariant = 3;
          if (moves) n.lane = 3;
        } else if (n.lane == 3) {
          n.padVariant = 2;
          if (moves) n.lane = 2;
        } else {
          continue;
        }
        n.mixDone = true;
        n.fretSlot = LaneMap::FretIndex(n.lane, kind, laneCount);
      }
    }
  }

  if (e->kind() == kMidiSysEx) {
    const int32_t d = e->data2();
    const bool forMe = d == difficulty || d == 255 || (d == 3 && difficulty == 4);
    const int32_t code = e->data1();
    if (forMe && code >= 1 && code <= 20) {
      Span& span = sysex_[(code + 1) / 2];
      span.open = (code % 2) == 1;
      if (span.open) span.start = partTime_;
    }
  }
  for (int32_t t = 1; t <= 10; ++t) {
    if (!sysex_[t].open) continue;
    for (NoteRecord& n : notes) {
      if (!n.active || n.activation || n.time < sysex_[t].start) continue;
      if (LaneMap::IsFiveFretKind(kind)) {
        if (t == 1 && song.sysexOpenBass && n.lane == 1) {
          n.lane = 0;
          n.fretSlot = LaneMap::FretIndex(0, kind, laneCount);
          n.classified = true;
          n.hammerOn = false;
        } else if (t == 4 && song.sysexSlider) {
          n.classified = true;
          n.hammerOn = false;
          n.tap = true;
        }
      } else if (LaneMap::IsProKind(kind)) {
        if (t == 2 && song.sysexProSlide) n.slide = 1;
        if (t == 3 && song.sysexProSlide) n.slide = 2;
        if (t == 9) n.channelFlag[2] = true;
      } else if (LaneMap::IsDrumKind(kind)) {
        if (song.sysexHighHatCtrl && n.lane == 3) {
          if (t == 5) n.padVariant = 1;
          if (t == 6) n.padVariant = 2;
          if (t == 8) n.padVariant = 3;
        }
        if (t == 7 && n.lane == 2) n.rim = true;
      }
    }
  }

  if (LaneMap::IsFiveFretKind(kind)) {
    if ((on || off) && note == baseNote + 5) openClose(forceHopo_);
    if ((on || off) && note == baseNote + 6) openClose(forceStrum_);
    for (int32_t which = 0; which < 2; ++which) {
      const Span& span = which == 0 ? forceHopo_ : forceStrum_;
      if (!span.open) continue;
      for (NoteRecord& n : notes) {
        if (!n.active || n.classified || n.time < span.start) continue;
        n.classified = true;
        n.hammerOn = which == 0;
      }
    }
  }

  if (LaneMap::IsProKind(kind)) {
    if ((on || off) && note == 102) openClose(proHopo_);
    if (on && note == baseNote + 7) {
      slideSpan_.open = true;
      slideSpan_.start = partTime_;
      const bool up = (e->data2() > 107 && e->channel() != 1) || (e->data2() <= 107 && e->channel() == 1);
      slideSpan_.value = up ? 1 : 2;
    } else if (off && note == baseNote + 7) {
      slideSpan_.open = false;
    }
    if (proHopo_.open) {
      for (NoteRecord& n : notes) {
        if (!n.active || n.classified || n.time < proHopo_.start) continue;
        n.classified = true;
        n.hammerOn = true;
      }
    }
    if (slideSpan_.open) {
      for (int32_t s = 1; s < kNoteSlots; ++s) {
        NoteRecord& n = notes[s];
        if (!n.active || n.time < slideSpan_.start) continue;
        n.slide = slideSpan_.value;
        n.hasSustain = true;
      }
    }
  }
}

void PlayerTrack::EndSustainOf(const MidiEvent* e) {
  const int32_t slot = lastSlotForNote_[e->data1() & 127];
  if (slot < 0) return;
  NoteRecord& n = notes[slot];
  if (!n.active || n.note != e->data1() || partTick_ < n.tick) return;
  n.endTime = static_cast<float>(partTime_);
  n.endTick = static_cast<float>(partTick_);
  if (partTick_ - n.tick > ticksPerQuarter_ / 4) n.hasSustain = true;
  lastSlotForNote_[e->data1() & 127] = -1;
}

void PlayerTrack::MarkPhrase(const MidiEvent* e, int32_t newSlot) {
  const bool canMark = phraseNumber_ < kMaxEnergyPhrases;
  if (newSlot >= 0 && phraseOpen_ && canMark) {
    NoteRecord& n = notes[newSlot];
    n.energyPhrase = true;
    n.phrase = phraseNumber_;
    if (!n.unscored) score.phrases[phraseNumber_].notes += 1;
  }
  if (e->data1() != energyNote) return;
  if (IsNoteOn(e)) {
    phraseStart_ = partTime_;
    phraseOpen_ = canMark;
    if (!canMark) return;  // a part holds at most 100 phrases; later ones give no energy
    const float t = static_cast<float>(partTime_);
    for (NoteRecord& n : notes) {
      if (!n.active || n.activation || n.phrase >= 0 || n.time != t) continue;
      n.energyPhrase = true;
      n.phrase = phraseNumber_;
      if (!n.unscored) score.phrases[phraseNumber_].notes += 1;
    }
  } else if (IsNoteOff(e)) {
    const int32_t closing = phraseNumber_;
    phraseOpen_ = false;
    phraseNumber_ += 1;
    // Every note of it may have been hit before its end was read.
    if (closing < kMaxEnergyPhrases && !phraseFailed_[closing]) {
      const PhraseCounter& p = score.phrases[closing];
      if (p.notes > 0 && p.hits == p.notes) {
        score.energy = std::min(100.0f, score.energy + 25.0f);
        if (score.energyActive) ComputeEnergyEnd();
        PlaySound(context_, kPhraseCompleteSound);
        fx->EnergyFlash();
      }
    }
  }
}

void PlayerTrack::RetireNotes() {
  for (int32_t s = 0; s < kNoteSlots; ++s) {
    NoteRecord& n = notes[s];
    if (!n.active || !(n.hit || n.missed)) continue;
    const float passed = n.hasSustain ? n.endPosition : n.position;
    if (passed < kRetireDistance) ReleaseSlot(s);
  }
  // Of the beat lines that have passed, the most recent one stays.
  int32_t newest = -1;
  for (int32_t s = 1; s < kNoteSlots; ++s) {
    const BeatLine& b = beats[s];
    if (b.active && b.position < kRetireDistance && (newest < 0 || b.time > beats[newest].time)) newest = s;
  }
  for (int32_t s = 1; s < kNoteSlots; ++s) {
    BeatLine& b = beats[s];
    if (b.active && b.position < kRetireDistance && s != newest) b = BeatLine();
  }
}

void PlayerTrack::SpawnBeatLines() {
  for (int32_t s = 1; s < kNoteSlots && nextBeat_ <= lastBeat_; ++s) {
    BeatLine& b = beats[s];
    if (b.active) continue;
    b.active = true;
    b.kind = tempo.IsMeasureStart(nextBeat_) ? BeatKind::kMeasure : BeatKind::kBeat;
    b.time = static_cast<float>(tempo.BeatToMs(static_cast<double>(nextBeat_)));
    b.beat = static_cast<float>(nextBeat_);
    b.serial = beatSerial_++;
    b.position = (b.time - videoCalibration_ - currentTime) / noteSpeedFactor_;
    ++nextBeat_;
  }
}

void PlayerTrack::ScrollNotes(float videoCalibration, double hitWindow, float speed, double songTime,
                              float noteSpeedFactor) {
  videoCalibration_ = videoCalibration;
  hitWindow_ = hitWindow;
  noteSpeedFactor_ = noteSpeedFactor > 0.01f ? noteSpeedFactor : 0.01f;
  const float f = noteSpeedFactor_;
  const float t = static_cast<float>(songTime);
  currentTime = t;
  currentBeat = BeatAt(songTime);
  boardScroll = t / f - 100.0f;

  const bool limit = context_->practice && practiceLimitOn;
  for (NoteRecord& n : notes) {
    if (!n.active) continue;
    n.unscored2 = limit && n.time > practiceLimitTime - 1001.0;
    const float d = (n.time - videoCalibration - t) / f;
    n.position = d;
    n.endPosition = (n.endTime - videoCalibration - t) / f;
    float alpha = d <= 350.0f ? 1.0f : 1.0f - (d - 350.0f) / 220.0f;
    if (alpha < 0) alpha = 0;
    if (n.unscored) alpha *= 0.3f;
    n.alpha = alpha;
    n.drawn = d <= 700.0f;
  }
  for (BeatLine& b : beats) {
    if (b.active) b.position = (b.time - videoCalibration - t) / f;
  }

  sections.FindActive(songTime, hitWindow);
  if (const int32_t bonus = sections.TakePendingBonus()) score.score += static_cast<float>(bonus);
  mix.Advance(songTime, speed);
  if (kind == Instrument::keys_adv || kind == Instrument::keys_real) MoveKeyWindows();
  if (LaneMap::IsDrumKind(kind) || LaneMap::IsDanceKind(kind)) UpdateActivationNote();

  if (score.energyActive) {
    const double span = static_cast<double>(score.energyEnd) - score.energyStart;
    const double e0 = score.energyAtActivation;
    const double energy = span > 0 ? e0 - (songTime - score.energyStart) / span * e0 : 0.0;
    score.energy = static_cast<float>(std::min(energy, 100.0));
    if (score.energy <= 0) {
      score.energy = 0;
      score.energyActive = false;
      score.multiplier /= 2;
      EndEnergy();
    }
  }
  ScoreSustains();

  if (score.rockMeter <= 20.0f && !score.meterWarning) {
    score.meterWarning = 1;
    fx->Warning(true);
  } else if (score.rockMeter > 20.0f && score.meterWarning) {
    score.meterWarning = 0;
    fx->Warning(false);
  }
  meters.Update(score);
}

void PlayerTrack::MoveKeyWindows() {
  const uint32_t now = platform::TimeGetTime();
  const float seconds = static_cast<float>(now - keyMoveTime_) / 1000.0f;
  keyMoveTime_ = now;
  const int32_t hands = kind == Instrument::keys_real ? 2 : 1;
  for (int32_t h = 0; h < hands; ++h) {
    if (mix.rangeChangeActive[h]) {
      mix.rangeChangeActive[h] = false;
      const int32_t last = std::max(0, 88 - visibleKeys[h]);
      keyWindowTarget[h] = static_cast<float>(std::clamp(mix.currentRange[h], 0, last));
      // Half a second for any distance.
      keyMoveSpeed_[h] = std::fabs(keyWindowTarget[h] - keyWindow[h]) * 2.0f;
    }
    const float step = keyMoveSpeed_[h] * seconds;
    if (keyWindow[h] < keyWindowTarget[h]) {
      keyWindow[h] = std::min(keyWindowTarget[h], keyWindow[h] + step);
    } else if (keyWindow[h] > keyWindowTarget[h]) {
      keyWindow[h] = std::max(keyWindowTarget[h], keyWindow[h] - step);
    }
    const int32_t shown = static_cast<int32_t>(keyWindow[h]);
    if (shown != shownRange_[h]) {
      shownRange_[h] = shown;
      fx->KeyRangeMove(h, shown);
    }
  }
}

void PlayerTrack::UpdateActivationNote() {
  NoteRecord& a = notes[kActivationSlot];
  if (score.energy >= 50.0f && !score.energyActive && !a.active) {
    int32_t best = -1;
    for (int32_t s = 1; s < kNoteSlots; ++s) {
      const BeatLine& b = beats[s];
      if (!b.active || b.kind != BeatKind::kMeasure || b.beat < currentBeat + 25.0) continue;
      if (best < 0 || b.beat < beats[best].beat) best = s;
    }
    if (best >= 0) {
      const BeatLine& b = beats[best];
      a.Reset();
      a.active = true;
      a.activation = true;
      a.lane = (kind == Instrument::drums && laneCount == 5) ? 5 : 1;
      a.fretSlot = LaneMap::FretIndex(a.lane, kind, laneCount);
      a.time = a.endTime = b.time;
      a.tick = a.endTick = b.beat * ticksPerQuarter_;
      a.serial = kActivationSerialBase + static_cast<int32_t>(b.beat);
      a.position = (a.time - videoCalibration_ - currentTime) / noteSpeedFactor_;
      a.endPosition = a.position;
      fx->FillGlow();
    }
  }
  if (!a.active || !a.activation || a.hit || a.missed) return;
  // Move off a pad that other notes of the same moment use.
  bool used[kLaneSlots] = {};
  bool crowded = false;
  for (int32_t s = 1; s < kNoteSlots; ++s) {
    const NoteRecord& n = notes[s];
    if (!n.active || std::fabs(n.time - a.time) > 8.0f) continue;
    crowded = true;
    if (n.fretSlot >= 0 && n.fretSlot < kLaneSlots) used[n.fretSlot] = true;
  }
  if (!crowded) return;
  for (int32_t pad = 0; pad < 4; ++pad) {
    const int32_t lane = LaneMap::PadToLane(kind, laneCount, pad);
    const int32_t slot = LaneMap::FretIndex(lane, kind, laneCount);
    if (lane > 0 && slot >= 0 && !used[slot]) {
      a.lane = lane;
      a.fretSlot = slot;
      return;
    }
  }
}

void PlayerTrack::OnNoteHit(int32_t slot, bool assistAll) {
  if (slot < 0 || slot >= kNoteSlots) return;
  NoteRecord& n = notes[slot];
  n.hit = true;
  const int32_t fret = n.fretSlot;
  if (fret >= 0 && fret < kLaneSlots) {
    fx->NoteHitEffect(fret, false);
    if (n.hasSustain && n.endTime > n.time) {
      LaneState& lane = lanes[fret];
      lane.sustaining = true;
      lane.sustainNote = slot;
      lane.sustainStart = n.time;
      lane.sustainEnd = n.endTime;
      lane.sustainEndBeat = BeatAt(n.endTime);
      lane.lastScoredBeat = BeatAt(n.time);
      lane.sustainPhrase = n.energyPhrase;
      lane.sustainFret = n.fret;
      lane.sustainAnyFret = n.anyFret;
      lane.sustainSlide = n.slide;
      lane.autoHold = assistAll;
      anySustainHeld_ = true;
      fx->SustainStart(fret, slot);
    }
  }
  if (n.unscored || n.activation) return;
  sections.CountSoloHit(n.tick);
  if (!n.energyPhrase || n.phrase < 0 || n.phrase >= kMaxEnergyPhrases || phraseFailed_[n.phrase]) return;
  PhraseCounter& p = score.phrases[n.phrase];
  p.hits += 1;
  // A phrase still being read may gain notes; it completes when its end is read.
  const bool stillOpen = phraseOpen_ && phraseNumber_ == n.phrase;
  if (p.hits == p.notes && !stillOpen) {
    score.energy = std::min(100.0f, score.energy + 25.0f);
    if (score.energyActive) ComputeEnergyEnd();
    PlaySound(context_, kPhraseCompleteSound);
    fx->EnergyFlash();
  }
}

void PlayerTrack::MarkMissed(int32_t slot) {
  if (slot < 0 || slot >= kNoteSlots) return;
  NoteRecord& n = notes[slot];
  n.missed = true;
  if (n.energyPhrase) FailPhrase(n.phrase);
}

void PlayerTrack::FailPhrase(int32_t phrase) {
  if (phrase < 0 || phrase >= kMaxEnergyPhrases) return;
  phraseFailed_[phrase] = true;
  for (NoteRecord& n : notes) {
    if (n.active && n.phrase == phrase) n.energyPhrase = false;
  }
  for (LaneState& l : lanes) {
    if (l.sustaining && l.sustainNote >= 0 && notes[l.sustainNote].phrase == phrase) l.sustainPhrase = false;
  }
  if (phraseOpen_ && phraseNumber_ == phrase) phraseOpen_ = false;
}

bool PlayerTrack::UpdateFretState(int32_t slot) {
  if (slot < 0 || slot >= kLaneSlots) return false;
  LaneState& lane = lanes[slot];
  if (!lane.sustaining) return false;
  bool keep;
  if (LaneMap::IsProKind(kind)) {
    const int32_t v = lane.value;
    keep = lane.autoHold || lane.sustainAnyFret || v == lane.sustainFret ||
           (lane.sustainSlide == 1 && v > lane.sustainFret) || (lane.sustainSlide == 2 && v < lane.sustainFret);
  } else {
    keep = lane.held || lane.autoHold;
  }
  if (keep) return false;
  lane.sustaining = false;
  lane.sustainNote = -1;
  fx->SustainEnd(slot);
  anySustainHeld_ = false;
  for (const LaneState& l : lanes) anySustainHeld_ = anySustainHeld_ || l.sustaining;
  return true;
}

bool PlayerTrack::ActivateEnergy() {
  if (score.energy < 50.0f || score.energyActive) return false;
  score.energyActivations += 1;
  fx->BoardState(kEnergyLook);
  fx->EnergyGlow(true);
  PlaySound(context_, kEnergyOnSound);
  ComputeEnergyEnd();
  return true;
}

void PlayerTrack::ComputeEnergyEnd() {
  const double beatNow = BeatAt(currentTime);
  const double p = beatNow + score.energy * 64.0 / 100.0;
  const double b = std::floor(p);
  const double t0 = tempo.BeatToMs(b);
  const double t1 = tempo.BeatToMs(b + 1);
  double end = t0 + (p - b) * (t1 - t0);
  // Beats past the chart's end come from its last tempo, so the end is always ahead.
  if (end <= currentTime) end = currentTime + 1.0;
  score.energyStart = currentTime;
  score.energyEnd = static_cast<float>(end);
  score.energyAtActivation = score.energy;
  if (!score.energyActive) score.multiplier *= 2;
  score.energyActive = true;
}

void PlayerTrack::EndEnergy() {
  fx->BoardState(kNormalLook);
  PlaySound(context_, kEnergyOffSound);
  fx->EnergyGlow(false);
}

void PlayerTrack::ScoreSustains() {
  double bestPhraseStep = 0;
  bool any = false;
  for (int32_t s = 0; s <= laneCount && s < kLaneSlots; ++s) {
    LaneState& lane = lanes[s];
    if (!lane.sustaining) continue;
    const double upTo = std::min(currentBeat, lane.sustainEndBeat);
    const double step = upTo - lane.lastScoredBeat;
    if (step > 0) {
      score.score += static_cast<float>(score.multiplier * step * 5.0);
      lane.lastScoredBeat = upTo;
      if (lane.sustainPhrase && step > bestPhraseStep) bestPhraseStep = step;
    }
    if (currentBeat >= lane.sustainEndBeat) {
      lane.sustaining = false;
      lane.sustainNote = -1;
      fx->SustainEnd(s);
    } else {
      any = true;
    }
  }
  anySustainHeld_ = any;
  if (whammyActive && bestPhraseStep > 0) {
    score.energy = static_cast<float>(std::min(100.0, score.energy + bestPhraseStep * 1.1));
    if (score.energyActive) ComputeEnergyEnd();
  }
}

bool PlayerTrack::SeekTo(double t) {
  for (LaneState& l : lanes) {
    if (l.sustaining) fx->SustainEnd(static_cast<int32_t>(&l - lanes));
    l.sustaining = false;
    l.sustainNote = -1;
  }
  for (;;) {
    int32_t reset = 0;
    for (int32_t s = 0; s < kNoteSlots; ++s) {
      if (notes[s].active && notes[s].time < t) {
        ReleaseSlot(s);
        ++reset;
      }
    }
    for (BeatLine& b : beats) {
      if (b.active && b.time < t) {
        b = BeatLine();
        ++reset;
      }
    }
    SpawnNotes();
    SpawnBeatLines();
    ScrollNotes(videoCalibration_, hitWindow_, 1.0f, t, noteSpeedFactor_);
    if (reset == 0) break;
  }
  return true;
}
