// Judging: presses, strums and the passing of time turned into hits, misses and
// overhits on the notes of window A.
#include <algorithm>
#include <cmath>

#include "game/demo_player.h"
#include "game/player.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "song/instrument.h"

namespace {

constexpr int32_t kForbiddenSound = 100;
constexpr double kChordForgiveMs = 65.0;
constexpr int32_t kMaxCandidates = 19;
constexpr int32_t kFumbleChance[6] = {0, 1, 8, 12, 20, 35};
constexpr uint32_t kReactionDelay[6] = {0, 80, 120, 200, 300, 400};

bool Reached(uint32_t now, uint32_t until) { return static_cast<int32_t>(now - until) >= 0; }

// The lane that first sits on a fret slot (the freestyle tables are by lane).
int32_t SlotToLane(int32_t slot, int32_t kind, int32_t laneCount) {
  for (int32_t lane = 0; lane < kLaneSlots; ++lane) {
    if (LaneMap::FretIndex(lane, kind, laneCount) == slot) return lane;
  }
  return -1;
}

}  // namespace

bool Player::Hittable(const NoteRecord& n, double now) const {
  if (!n.active || n.hit || n.missed || n.unscored || n.unscored2) return false;
  const double t = n.time;
  return t - hitWindow <= now && now <= t + hitWindow;
}

int32_t Player::FindNoteOnLane(int32_t slot, int32_t value) const {
  const bool variants = kind == Instrument::drums_real && !(assistBits & 4);
  int32_t best = -1;
  for (int32_t s = 0; s < kNoteSlots; ++s) {
    const NoteRecord& n = track.notes[s];
    if (n.fretSlot != slot || !Hittable(n, songTime)) continue;
    if (variants && n.padVariant != value) {
      const bool pair = (n.padVariant == 1 && value == 3) || (n.padVariant == 3 && value == 1);
      if (!pair) continue;
    }
    if (best < 0 || n.time < track.notes[best].time) best = s;
  }
  return best;
}

void Player::SetLaneState(int32_t lane, bool pressed, int32_t value, int32_t velocity) {
  const int32_t slot = LaneMap::FretIndex(lane, kind, laneCount);
  if (slot < 0 || slot >= kLaneSlots) return;
  LaneState& state = track.lanes[slot];
  if (state.enabled) {
    state.held = pressed;
    if (pressed && LaneMap::IsKeysKind(kind)) track.fx->FretPress(slot);
    track.fx->FretHeld(slot, pressed);
    state.value = value;
  }
  SendLaneState(slot, value, pressed);
  UpdateOpenLane();
  if (!failed() && !judgingSuppressed) OnLaneInput(slot, pressed, value, velocity);
}

void Player::Strum(int32_t string, int32_t velocity) {
  if (failed() || judgingSuppressed) return;
  OnStrum(string, velocity);
}

void Player::OnLaneInput(int32_t slot, bool pressed, int32_t value, int32_t velocity) {
  if (slot < 0 || slot >= kLaneSlots) return;
  if (LaneMap::IsDrumKind(kind)) {
    if (!pressed) return;
    const int32_t found = FindNoteOnLane(slot, value);
    if (found >= 0 && track.notes[found].activation) {
      DrumActivationHit(found);
    } else if (found >= 0) {
      ApplyHits(&found, 1, false);
    } else {
      bool forgiven = false;
      if (songTime - activationChord.time <= kChordForgiveMs) {
        for (int32_t i = 0; i < activationChord.count; ++i) forgiven = forgiven || activationChord.lanes[i] == slot;
      }
      if (!forgiven) OnUnmatchedPress(slot, value, velocity);
    }
    return;
  }
  if (LaneMap::IsFiveFretKind(kind)) {
    if (track.UpdateFretState(slot)) SendScoreState();
    bool hit = FiveFretMatch(false, 1);
    if (!hit && strumFlag) hit = FiveFretMatch(false, 2);
    if (!hit && pressed) RefreshFretStates(slot);
    return;
  }
  if (LaneMap::IsProKind(kind)) {
    if (track.UpdateFretState(slot)) SendScoreState();
    if (strumFlag) ProTryHammerOn();
    return;
  }
  if (LaneMap::IsKeysKind(kind) || LaneMap::IsDanceKind(kind)) {
    if (track.UpdateFretState(slot)) SendScoreState();
    if (!pressed) return;
    const int32_t found = FindNoteOnLane(slot, value);
    if (found >= 0 && track.notes[found].activation) {
      // Dance gets an activation note like drums; hitting it activates energy too.
      DrumActivationHit(found);
    } else if (found >= 0) {
      ApplyHits(&found, 1, false);
    } else {
      OnUnmatchedPress(slot, 0, velocity);
    }
  }
}

void Player::RefreshFretStates(int32_t pressedSlot) {
  // A fret pressed early for the next chord keeps the sustains that are held.
  int32_t next = -1;
  for (int32_t s = 0; s < kNoteSlots; ++s) {
    const NoteRecord& n = track.notes[s];
    if (!n.active || n.hit || n.missed || n.unscored || n.unscored2 || n.time + hitWindow < songTime) continue;
    if (next < 0 || n.time < track.notes[next].time) next = s;
  }
  if (next >= 0) {
    for (int32_t s = 0; s < kNoteSlots; ++s) {
      const NoteRecord& n = track.notes[s];
      if (n.active && !n.hit && !n.missed && n.time == track.notes[next].time && n.fretSlot == pressedSlot) return;
    }
  }
  // Otherwise a held fret above a sustained one that holds no sustain itself cuts it
  // (the sustained fret must stay the highest, as when it was hit).
  bool changed = false;
  for (int32_t s = 0; s <= laneCount && s < kLaneSlots; ++s) {
    LaneState& lane = track.lanes[s];
    if (!lane.sustaining || lane.autoHold) continue;
    bool above = false;
    for (int32_t h = s + 1; h <= laneCount && h < kLaneSlots; ++h) {
      above = above || (track.lanes[h].held && !track.lanes[h].sustaining);
    }
    if (!above) continue;
    lane.sustaining = false;
    lane.sustainNote = -1;
    track.fx->SustainEnd(s);
    changed = true;
  }
  if (changed) SendScoreState();
}

bool Player::HeldEquals(const int32_t* lanes, int32_t count) const {
  if (count <= 0) return false;
  const int32_t top = std::min(laneCount, kLaneSlots - 1);
  if (count == 1) {
    const int32_t l = lanes[0];
    if (l < 0 || l > top || !track.lanes[l].held) return false;
    for (int32_t h = l + 1; h <= top; ++h) {
      if (track.lanes[h].held) return false;
    }
    return true;
  }
  bool wanted[kLaneSlots] = {};
  for (int32_t i = 0; i < count; ++i) {
    if (lanes[i] >= 0 && lanes[i] < kLaneSlots) wanted[lanes[i]] = true;
  }
  for (int32_t s = 0; s <= top; ++s) {
    if (wanted[s] != track.lanes[s].held) return false;
  }
  return true;
}

bool Player::HeldIsLastStrum() const {
  if (lastStrumCount <= 0) return false;
  bool wanted[kLaneSlots] = {};
  for (int32_t i = 0; i < lastStrumCount; ++i) {
    if (lastStrumLanes[i] >= 0 && lastStrumLanes[i] < kLaneSlots) wanted[lastStrumLanes[i]] = true;
  }
  for (int32_t s = 0; s <= laneCount && s < kLaneSlots; ++s) {
    if (wanted[s] != track.lanes[s].held) return false;
  }
  return true;
}

// Five-fret matcher. onlyFlag 0: a strum; 1: fret-only play of tap notes; 2: of
// hammer-on notes.
bool Player::FiveFretMatch(bool strum, int32_t onlyFlag) {
  const double now = songTime;
  const double w = hitWindow;
  float times[kMaxCandidates];
  int32_t count = 0;
  float earliest = 0;
  bool anyHittable = false;
  for (const NoteRecord& n : track.notes) {
    if (!Hittable(n, now)) continue;
    if (!anyHittable || n.time < earliest) earliest = n.time;
    anyHittable = true;
    if (onlyFlag == 1 && !n.tap) continue;
    if (onlyFlag == 2 && !n.hammerOn) continue;
    bool seen = false;
    for (int32_t i = 0; i < count; ++i) seen = seen || times[i] == n.time;
    if (!seen && count < kMaxCandidates) times[count++] = n.time;
  }
  if (count == 0) return false;
  const bool byDistance = track.score.streak == 0;
  std::sort(times, times + count, [&](float a, float b) {
    if (byDistance) {
      const double da = std::fabs(a - now), db = std::fabs(b - now);
      if (da != db) return da < db;
    }
    return a < b;
  });

  const int32_t top = std::min(laneCount, kLaneSlots - 1);
  for (int32_t c = 0; c < count; ++c) {
    const float t = times[c];
    int32_t chord[kNoteSlots];
    int32_t n = 0;
    bool inChord[kLaneSlots] = {};
    for (int32_t s = 0; s < kNoteSlots; ++s) {
      const NoteRecord& note = track.notes[s];
      if (note.time != t || !Hittable(note, now)) continue;
      if (onlyFlag == 1 && !note.tap) continue;
      if (onlyFlag == 2 && !note.hammerOn) continue;
      chord[n++] = s;
      if (note.fretSlot >= 0 && note.fretSlot < kLaneSlots) inChord[note.fretSlot] = true;
    }
    if (n == 0) continue;
    bool match = true;
    if (n == 1) {
      const int32_t l = track.notes[chord[0]].fretSlot;
      match = l >= 0 && l <= top && track.lanes[l].held;
      for (int32_t h = l + 1; match && h <= top; ++h) match = !track.lanes[h].held;
    } else {
      for (int32_t s = 0; match && s <= top; ++s) {
        const LaneState& lane = track.lanes[s];
        if (inChord[s]) {
          match = lane.held;
        } else if (lane.held && s > 0) {
          // Another held fret must be holding a sustain that is still in play.
          match = lane.sustaining && lane.sustainStart - w <= now && now <= lane.sustainEnd + w;
        }
      }
    }
    if (!match) continue;

    if (!strum) {
      // Fret-only play never skips an earlier chord.
      if (t != earliest) return false;
    } else {
      if (t != earliest && track.score.streak > 0 && HeldIsLastStrum() && now - strumTime < w) return false;
      // Earlier chords that are still hittable are missed.
      for (int32_t guard = 0; guard < kMaxCandidates; ++guard) {
        float first = t;
        bool found = false;
        for (const NoteRecord& note : track.notes) {
          if (Hittable(note, now) && note.time < t && (!found || note.time < first)) {
            first = note.time;
            found = true;
          }
        }
        if (!found) break;
        MissChordAt(first);
      }
    }
    ApplyHits(chord, n, false);
    lastStrumCount = 0;
    for (int32_t i = 0; i < n && lastStrumCount < 10; ++i)
      lastStrumLanes[lastStrumCount++] = track.notes[chord[i]].fretSlot;
    return true;
  }
  return false;
}

void Player::OnStrum(int32_t lane, int32_t velocity) {
  if (autoStrumGuard && pendingChord) {
    pendingChord = false;
    OnUnmatchedPress(pendingLane, 0, 128);
    strumFlag = false;
  }
  const double now = songTime;
  if (LaneMap::IsFiveFretKind(kind)) {
    if (FiveFretMatch(true, 0)) {
      strumFlag = true;
      return;
    }
    if (HeldIsLastStrum() && now - strumTime < hitWindow) {
      // A second stroke of the chord just played: forgiven once.
      strumTime = -hitWindow;
      return;
    }
    if (autoStrumGuard) {
      // The earliest hittable chord becomes the pending strum, waiting for its frets.
      int32_t first = -1;
      for (int32_t s = 0; s < kNoteSlots; ++s) {
        if (Hittable(track.notes[s], now) && (first < 0 || track.notes[s].time < track.notes[first].time)) first = s;
      }
      if (first >= 0) {
        strumFlag = false;
        pendingStrum = ChordRecord();
        for (int32_t s = 0; s < kNoteSlots; ++s) {
          const NoteRecord& n = track.notes[s];
          if (Hittable(n, now) && n.time == track.notes[first].time && pendingStrum.count < 10) {
            pendingStrum.lanes[pendingStrum.count++] = n.fretSlot;
          }
        }
        pendingStrum.time = now;
        pendingLane = HighestHeldLane();
        pendingChord = true;
        return;
      }
    }
    OnUnmatchedPress(HighestHeldLane(), 0, velocity);
    strumFlag = false;
    return;
  }
  if (LaneMap::IsProKind(kind)) {
    static constexpr int32_t kStringLanes[6] = {2, 1, 5, 4, 3, 9};
    if (lane < 1 || lane > 6) return;
    const int32_t slot = LaneMap::FretIndex(kStringLanes[lane - 1], kind, laneCount);
    if (slot < 0) return;
    const int32_t heldFret = track.lanes[slot].value;
    int32_t found = -1;
    for (int32_t s = 0; s < kNoteSlots; ++s) {
      const NoteRecord& n = track.notes[s];
      if (n.fretSlot != slot || !Hittable(n, now) || !(n.anyFret || n.fret == heldFret)) continue;
      if (found < 0 || n.time < track.notes[found].time) found = s;
    }
    if (found < 0) {
      history.Record(slot, heldFret, velocity, now);
      return;
    }
    const int32_t g = track.notes[found].group;
    if (g < 0) {
      ApplyHits(&found, 1, false);
      strumFlag = true;
      return;
    }
    ChordGroup& group = track.groups[g];
    group.plucks += 1;
    int32_t unplayed[kMaxGroupNotes];
    int32_t count = 0;
    bool fretsHeld = true;
    for (int32_t i = 0; i < group.count; ++i) {
      const NoteRecord& n = track.notes[group.slots[i]];
      if (!n.active || n.hit || n.missed || n.unscored) continue;
      unplayed[count++] = group.slots[i];
      const int32_t fs = n.fretSlot;
      fretsHeld = fretsHeld && fs >= 0 && (n.anyFret || track.lanes[fs].value == n.fret);
    }
    if (group.plucks < count - 1 && group.plucks < 3) return;
    if (!fretsHeld) return;
    history.Flush(now);
    ApplyHits(unplayed, count, false);
    group.plucks = 0;
    strumFlag = true;
  }
}

bool Player::ProTryHammerOn() {
  const double now = songTime;
  int32_t found = -1;
  for (int32_t s = 0; s < kNoteSlots; ++s) {
    const NoteRecord& n = track.notes[s];
    if (!n.hammerOn || !Hittable(n, now)) continue;
    if (found < 0 || n.time < track.notes[found].time) found = s;
  }
  if (found < 0) return false;
  const NoteRecord& note = track.notes[found];
  auto fretHeld = [this](const NoteRecord& n) {
    return n.fretSlot >= 0 && (n.anyFret || track.lanes[n.fretSlot].value == n.fret);
  };
  if (note.group < 0) {
    if (!fretHeld(note)) return false;
    ApplyHits(&found, 1, false);
    return true;
  }
  const ChordGroup& group = track.groups[note.group];
  int32_t unplayed[kMaxGroupNotes];
  int32_t count = 0;
  for (int32_t i = 0; i < group.count; ++i) {
    const NoteRecord& n = track.notes[group.slots[i]];
    if (!n.active || n.hit || n.missed || n.unscored) continue;
    if (!fretHeld(n)) return false;
    unplayed[count++] = group.slots[i];
  }
  if (count == 0) return false;
  ApplyHits(unplayed, count, false);
  return true;
}

void Player::PendingStrumStep() {
  if (!pendingChord) return;
  if (songTime > pendingStrum.time + speed * 50.0) {
    pendingChord = false;
    OnUnmatchedPress(pendingLane, 0, 128);
    strumFlag = false;
    return;
  }
  if (!HeldEquals(pendingStrum.lanes, pendingStrum.count)) return;
  autoStrumGuard = false;
  OnStrum(0, 128);
  autoStrumCount += 1;
  pendingChord = false;
  autoStrumGuard = true;
}

void Player::FretMissEffect(int32_t slot) {
  track.fx->FretMiss(slot);
  if (!track.flashRaised) {
    track.flashRaised = true;
    track.fx->MissFlash();
  }
  // A wrong press during an energy phrase loses that phrase.
  if (track.mix.phraseActive) track.FailPhrase(track.mix.phraseNumber);
}

void Player::MarkPiece(const NoteRecord& n, bool hit) {
  if (!LaneMap::IsDrumKind(kind) || n.drumPiece < 1 || n.drumPiece >= kDrumPieceFlags) return;
  (hit ? pieceHit : pieceMissed)[n.drumPiece] = true;
}

void Player::OnUnmatchedPress(int32_t slot, int32_t value, int32_t velocity) {
  if (!track.sections.inBreak()) {
    const bool pedal = kind == Instrument::drums_real && value == 2;
    if (!pedal && !track.sections.Covered(slot, value) && kind != Instrument::dance) {
      FretMissEffect(slot);
      track.score.AddOverhit();
    }
  } else {
    Freestyle(slot, value);
  }
  SendPress(slot, value, velocity);
  SendScoreState();
}

int32_t Player::FreestyleSound(int32_t slot, int32_t value) const {
  int32_t lane = SlotToLane(slot, kind, laneCount);
  if (lane < 0) return -1;
  if (LaneMap::IsDrumKind(kind)) {
    if (track.mix.mixFlip) lane = LaneMap::MirrorDrumLane(lane, kind, laneCount);
    if (options.drumSwap == 1 && (kind == Instrument::drums_adv || kind == Instrument::drums_real)) {
      if (lane == 1) {
        lane = 4;
      } else if (lane == 4) {
        lane = 1;
      }
    }
    const int32_t kit = std::clamp(options.drumKit, 1, 6);
    const int32_t base = (kit - 1) * 11;
    int32_t piece = -1;
    if (laneCount == 5) {
      static constexpr int32_t k5[6] = {0, 5, 1, 2, 4, 6};
      if (lane >= 0 && lane < 6) piece = k5[lane];
    } else if (laneCount == 4) {
      static constexpr int32_t k4[5] = {0, 5, 1, 3, 4};
      if (lane >= 0 && lane < 5) piece = k4[lane];
    } else if (laneCount == 7) {
      static constexpr int32_t k7[9] = {0, 6, 1, 2, 7, -1, 3, 4, 5};
      static constexpr int32_t kHiHat[4] = {2, 8, 9, 10};
      if (lane == 3) {
        piece = kHiHat[std::clamp(value, 0, 3)];
      } else if (lane >= 0 && lane < 9) {
        piece = k7[lane];
      }
    }
    return piece < 0 ? -1 : base + piece;
  }
  if (LaneMap::IsFiveFretKind(kind) || LaneMap::IsProKind(kind)) {
    if (kind == Instrument::bass || kind == Instrument::bass_real) return 165;
    const int32_t bank = 120 + 15 * std::clamp(options.guitarSound, 0, 2);
    return bank + std::clamp(slot, 0, 14);
  }
  if (kind == Instrument::dance) {
    static constexpr int32_t kDance[5] = {-1, 293, 292, 290, 291};
    return lane >= 1 && lane <= 4 ? kDance[lane] : -1;
  }
  if (LaneMap::IsKeysKind(kind)) {
    // The key bank: ids 181..268 are the keys 1..88 of a piano.
    int32_t key = lane;
    if (kind == Instrument::keys) {
      static constexpr int32_t kWhite[6] = {0, 0, 2, 4, 5, 7};
      key = lane >= 1 && lane <= 5 ? 40 + kWhite[lane] : -1;
    } else if (kind == Instrument::keys_adv) {
      key = lane;  // lanes 28..52 are keys 28..52
    }
    return key >= 1 && key <= 88 ? 180 + key : -1;
  }
  return -1;
}

void Player::Freestyle(int32_t slot, int32_t value) {
  if (slot < 0 || slot >= kLaneSlots) return;
  laneHit[slot] = true;
  const Settings* s = context ? context->settings : nullptr;
  GameSound* sound = context ? context->sound : nullptr;
  if (!s || !sound) return;
  const int32_t mode = s->mixer.FREESTYLESFX;
  if (mode == 0 || (mode == 2 && remote)) return;
  if (!remote && LaneMap::IsDrumKind(kind) && s->mixer.DRUMPLAYALONG) return;
  const int32_t id = FreestyleSound(slot, value);
  if (id < 0) return;
  if (laneVoices[slot] >= 0) sound->SetVolume(laneVoices[slot], 0.0f);
  laneVoices[slot] = sound->Play(id, 1.0f, 1.0f);
}

void Player::RecordMiss(int32_t serial) {
  if (!LocalRecording()) return;
  DemoEventList* list = context->recorder->List(demoIndex);
  if (!list) return;
  InputEvent e;
  e.id = kRecordedMissCode;
  e.pressed = true;
  e.flag = 1;
  e.word = static_cast<uint32_t>(serial);
  e.time = songTime;
  list->Record(e);
}

// Marks the note of a slot missed. An activation note only ends; a ghost, a second
// unscored note or a mine cannot be missed and counts as taken. True when it was a
// scored note, which the caller counts as a miss.
bool Player::MissSlot(int32_t slot) {
  NoteRecord& n = track.notes[slot];
  if (n.activation) {
    n.missed = true;
    return false;
  }
  if (n.unscored || n.unscored2 || n.forbidden) {
    n.hit = true;
    return false;
  }
  track.MarkMissed(slot);
  MarkPiece(n, false);
  return true;
}

void Player::CheckMissedNotes() {
  const double now = songTime;
  int32_t missed = 0;
  for (int32_t s = 0; s < kNoteSlots; ++s) {
    NoteRecord& n = track.notes[s];
    if (!n.active || n.missed || n.hit || now < n.time + hitWindow) continue;
    RecordMiss(n.serial);
    if (MissSlot(s)) ++missed;
    SendMiss(n.serial);
  }
  if (missed > 0) {
    track.score.AddMisses(missed);
    strumFlag = false;
  }
  SendScoreState();
}

void Player::MissChordAt(float time) {
  int32_t missed = 0;
  for (int32_t s = 0; s < kNoteSlots; ++s) {
    NoteRecord& n = track.notes[s];
    if (n.time != time || !Hittable(n, songTime)) continue;
    RecordMiss(n.serial);
    track.MarkMissed(s);
    MarkPiece(n, false);
    SendMiss(n.serial);
    ++missed;
  }
  if (missed > 0) track.score.AddMisses(missed);
}

void Player::MissNotes(int32_t serial) {
  int32_t missed = 0;
  for (int32_t s = 0; s < kNoteSlots; ++s) {
    NoteRecord& n = track.notes[s];
    if (!n.active || n.serial != serial || n.hit || n.missed) continue;
    if (MissSlot(s)) ++missed;
    SendMiss(n.serial);
  }
  if (missed > 0) {
    track.score.AddMisses(missed);
    strumFlag = false;
  }
  SendScoreState();
}

void Player::GradeTiming(const NoteRecord& n) {
  const double d = songTime - n.time;
  int32_t grade;
  if (std::fabs(d) <= 10.0) {
    ++perfectCount;
    grade = 2;
  } else if (d > 10.0 && d <= 40.0) {
    ++goodCount;
    grade = 1;
  } else if (d < -10.0 && d >= -40.0) {
    ++goodCount;
    grade = 3;
  } else {
    ++lateCount;
    grade = d > 0 ? 0 : 4;
  }
  const int32_t audio = context && context->settings ? context->settings->AUDIOCALIBRATION : 0;
  hitDelaySum += audio + d;
  hitDelayCount += 1;
  track.meters.MarkAccuracy(n.lane, kind == Instrument::keys_real ? n.hand : 0, grade, platform::TimeGetTime());
  track.fx->TimingGrade(n.fretSlot, grade);
}

void Player::ApplyHits(const int32_t* slots, int32_t count, bool perNote) {
  int32_t scored = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t s = slots[i];
    if (s < 0 || s >= kNoteSlots) continue;
    NoteRecord& n = track.notes[s];
    if (n.fretSlot >= 0 && n.fretSlot < kLaneSlots) laneHit[n.fretSlot] = true;
    MarkPiece(n, true);
    if (n.unscored || n.unscored2) {
      n.hit = true;
    } else if (n.forbidden) {
      n.hit = true;
      FretMissEffect(n.fretSlot);
      track.score.AddOverhit();
      track.fx->BadHit(n.fretSlot);
      if (context && context->sound) context->sound->Play(kForbiddenSound, 1.0f, 1.0f);
    } else {
      strumTime = n.time;
      lastHitTime = n.time;
      track.OnNoteHit(s, (assistBits & 1) != 0);
      if (!n.activation) {
        GradeTiming(n);
        ++scored;
      }
    }
    SendHit(n.serial);
  }
  // A judgement that hit no scored note (a mine, an activation note alone) gains nothing.
  if (scored > 0) {
    if (perNote) {
      for (int32_t i = 0; i < scored; ++i) track.score.AddHits(1);
    } else {
      track.score.AddHits(scored);
    }
  }
  SendScoreState();
}

void Player::DrumActivationHit(int32_t slot) {
  const float t = track.notes[slot].time;
  int32_t chord[kNoteSlots];
  int32_t count = 0;
  activationChord = ChordRecord();
  for (int32_t s = 0; s < kNoteSlots; ++s) {
    const NoteRecord& n = track.notes[s];
    if (!n.active || n.hit || n.missed || n.unscored || n.unscored2 || n.forbidden) continue;
    if (std::fabs(n.time - t) >= 10.0f) continue;
    chord[count++] = s;
    if (!n.activation && activationChord.count < 10) activationChord.lanes[activationChord.count++] = n.fretSlot;
  }
  activationChord.time = songTime;
  ApplyHits(chord, count, true);
  if (track.ActivateEnergy()) {
    reviveRequest = true;
    SendEnergy();
  }
}

bool Player::AssistCooldown(uint32_t now) {
  const int32_t level = std::clamp(options.assistLevel, 0, 5);
  const uint32_t delay = kReactionDelay[level];
  const uint32_t since = now - assistLastHit;
  if (since >= delay) return false;
  const uint32_t remaining = delay - since;
  const int32_t chance = kFumbleChance[level] * (1 + static_cast<int32_t>(remaining / 35));
  if (platform::Rand() % 100 < chance) {
    if (platform::Rand() % 2 == 0) {
      const int32_t lane = 1 + platform::Rand() % 4;
      const int32_t fret = LaneMap::FretIndex(lane, kind, laneCount);
      if (fret >= 0) OnUnmatchedPress(fret, 0, 80);
    }
    assistFumbleUntil = now + 500;
  }
  return true;
}

void Player::AssistStep() {
  const uint32_t now = platform::TimeGetTime();
  if (!Reached(now, assistFumbleUntil)) return;
  const int32_t level = std::clamp(options.assistLevel, 0, 5);
  if (Reached(now, assistNextCheck)) {
    if (kFumbleChance[level] > 0 && platform::Rand() % 100 < kFumbleChance[level]) {
      assistFumbleUntil = now + 500;
      return;
    }
    assistNextCheck = now + 1000;
  }

  int32_t kept[kNoteSlots];
  int32_t count = 0;
  float earliest = 0;
  int32_t activation = -1;
  for (int32_t s = 0; s < kNoteSlots; ++s) {
    const NoteRecord& n = track.notes[s];
    if (!n.active || n.hit || n.missed || n.unscored || n.unscored2 || n.forbidden) continue;
    if (n.time > songTime) continue;
    const bool chosen = (assistBits & 1) || ((assistBits & 2) && n.lane == 0) || ((assistBits & 8) && n.hand == 1) ||
                        ((assistBits & 16) && n.hand == 0);
    if (!chosen) continue;
    if (count == 0 || n.time < earliest) {
      earliest = n.time;
      count = 0;
      activation = -1;
    }
    if (n.time == earliest) {
      kept[count++] = s;
      if (n.activation) activation = s;
    }
  }
  if (activation >= 0) {
    DrumActivationHit(activation);
  } else if (count > 0 && !AssistCooldown(now)) {
    ApplyHits(kept, count, LaneMap::IsDrumKind(kind));
    assistLastHit = now;
  }
  if (LaneMap::IsFiveFretKind(kind) || LaneMap::IsProKind(kind) || LaneMap::IsKeysKind(kind)) RequestEnergy();
  OnWhammy(1.0f);
}
