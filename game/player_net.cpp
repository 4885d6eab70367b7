// The game messages a local Player sends, and the handlers that apply received ones
// to a remote Player.
#include <algorithm>
#include <bit>
#include <cmath>

#include "game/player.h"
#include "platform/clock.h"
#include "song/instrument.h"

namespace {

constexpr int32_t kForbiddenSound = 100;
constexpr double kRemoteMissAfterMs = 1000.0;

int32_t FloatBits(float f) { return std::bit_cast<int32_t>(f); }
float BitsFloat(int32_t bits) { return std::bit_cast<float>(bits); }

}  // namespace

bool Player::Send(GameMessage& m) {
  if (remote || !context || !context->net || !context->net->Connected()) return false;
  m.Set(MessageType::kGame);
  // The score state packs the slot with its step hits and multiplier.
  if (!m.Is(GameCode::kScoreState)) m.a2 = netSlot;
  context->net->Send(m);
  return true;
}

void Player::SendHit(int32_t serial) {
  GameMessage m;
  m.Set(GameCode::kNoteHit);
  m.a3 = serial;
  Send(m);
}

void Player::SendPress(int32_t slot, int32_t value, int32_t velocity) {
  GameMessage m;
  m.Set(GameCode::kPress);
  m.a3 = slot;
  m.a4 = static_cast<int32_t>((static_cast<uint32_t>(velocity) << 16) | (static_cast<uint32_t>(value) & 0xFFFFu));
  Send(m);
}

void Player::SendLaneState(int32_t slot, int32_t value, bool pressed) {
  GameMessage m;
  m.Set(GameCode::kFretState);
  m.a3 = static_cast<int32_t>((static_cast<uint32_t>(slot) & 255u) | ((static_cast<uint32_t>(value) & 255u) << 8) |
                              ((pressed ? 1u : 0u) << 16));
  Send(m);
}

void Player::SendEnergy() {
  GameMessage m;
  m.Set(GameCode::kEnergy);
  Send(m);
}

void Player::SendMiss(int32_t serial) {
  GameMessage m;
  m.Set(GameCode::kMiss);
  m.a3 = serial;
  Send(m);
}

// Judgements call this after every change and the missed-note check once a frame, so
// a fast frame would flood the host: the server relays only so many messages a second
// for one client and drops the rest, hits and misses among them. A state that changed
// goes out at most every kScoreStateIntervalMs (the next call after that sends the
// newest); an unchanged one is repeated every kScoreStateRepeatMs, which lets the
// other machines apply the failure rule once the grace time has passed.
void Player::SendScoreState() {
  if (remote || !context || !context->net || !context->net->Connected()) return;
  const PlayerScore& s = track.score;
  GameMessage m;
  m.Set(GameCode::kScoreState);
  m.a3 = static_cast<int32_t>((static_cast<uint32_t>(perfectCount) & 0xFFFFu) |
                              ((static_cast<uint32_t>(goodCount) & 0xFFFFu) << 16));
  m.a4 = static_cast<int32_t>((static_cast<uint32_t>(s.hits) & 0xFFFFu) |
                              ((static_cast<uint32_t>(s.maxStreak) & 0xFFFFu) << 16));
  m.a6 = FloatBits(s.score);
  m.a7 = FloatBits(s.rockMeter);
  m.a2 =
      static_cast<int32_t>((static_cast<uint32_t>(netSlot) & 255u) | ((static_cast<uint32_t>(s.stepHits) & 255u) << 8) |
                           ((static_cast<uint32_t>(s.multiplier) & 255u) << 16));
  const int32_t fields[5] = {m.a2, m.a3, m.a4, m.a6, m.a7};
  const uint32_t now = platform::TimeGetTime();
  if (scoreStateSent_) {
    const bool same = std::equal(std::begin(fields), std::end(fields), std::begin(scoreStateFields_));
    if (now - scoreStateSentAt_ < (same ? kScoreStateRepeatMs : kScoreStateIntervalMs)) return;
  }
  if (!Send(m)) return;
  scoreStateSent_ = true;
  scoreStateSentAt_ = now;
  std::copy(std::begin(fields), std::end(fields), std::begin(scoreStateFields_));
}

void Player::SendWhammy(bool on) {
  GameMessage m;
  m.Set(GameCode::kEnergyFlag);
  m.a3 = on ? 1 : 0;
  Send(m);
}

void Player::RemoteHit(int32_t serial) {
  PlayerScore& s = track.score;
  for (int32_t slot = 0; slot < kNoteSlots; ++slot) {
    NoteRecord& n = track.notes[slot];
    if (!n.active || n.serial != serial || n.hit || n.missed) continue;
    if (n.fretSlot >= 0 && n.fretSlot < kLaneSlots) laneHit[n.fretSlot] = true;
    MarkPiece(n, true);
    if (n.unscored || n.unscored2) {
      n.hit = true;
    } else if (n.forbidden) {
      n.hit = true;
      FretMissEffect(n.fretSlot);
      s.AddOverhit();
      if (context && context->sound) context->sound->Play(kForbiddenSound, 1.0f, 1.0f);
    } else {
      track.OnNoteHit(slot, (assistBits & 1) != 0);
      if (!n.activation) {
        // Points and meter come with the score state.
        s.streak += 1;
        s.hits += 1;
        if (s.streak > s.maxStreak) s.maxStreak = s.streak;
      }
    }
  }
}

void Player::RemotePress(int32_t slot, int32_t value, int32_t velocity) {
  (void)velocity;
  if (slot < 0 || slot >= kLaneSlots) return;
  if (track.sections.inBreak()) {
    Freestyle(slot, value);
    return;
  }
  if ((kind == Instrument::drums_real && value == 2) || track.sections.Covered(slot, value)) return;
  PlayerScore& s = track.score;
  FretMissEffect(slot);
  s.overhits += 1;
  if (s.streak >= 10) s.comboBroken = true;
  s.streak = 0;
}

void Player::RemoteFretState(int32_t slot, int32_t value, bool pressed) {
  if (slot < 0 || slot >= kLaneSlots) return;
  LaneState& state = track.lanes[slot];
  if (!state.enabled) return;
  state.held = pressed;
  if (pressed && LaneMap::IsKeysKind(kind)) track.fx->FretPress(slot);
  track.fx->FretHeld(slot, pressed);
  state.value = value;
  UpdateOpenLane();
  if (LaneMap::IsFiveFretKind(kind) || LaneMap::IsProKind(kind)) track.UpdateFretState(slot);
}

void Player::RemoteMiss(int32_t serial, bool breakStreak) {
  PlayerScore& s = track.score;
  for (int32_t slot = 0; slot < kNoteSlots; ++slot) {
    NoteRecord& n = track.notes[slot];
    if (!n.active || n.serial != serial || n.hit || n.missed) continue;
    if (MissSlot(slot)) s.overhits += 1;
  }
  if (breakStreak) {
    if (s.streak >= 10) s.comboBroken = true;
    s.streak = 0;
  }
}

void Player::RemoteState(int32_t stepHits, int32_t multiplier, float meter, int32_t hits, int32_t maxStreak,
                         int32_t perfect, int32_t good, float scoreValue) {
  // The score feeds the band total that goes into every player's stored result.
  if (!std::isfinite(meter) || !std::isfinite(scoreValue)) return;
  PlayerScore& s = track.score;
  s.stepHits = stepHits;
  s.multiplier = multiplier > 0 ? multiplier : 1;
  s.rockMeter = meter;
  s.hits = hits;
  s.maxStreak = maxStreak;
  s.score = scoreValue;
  perfectCount = perfect;
  goodCount = good;
  lateCount = hits - perfect - good > 0 ? hits - perfect - good : 0;
  s.CheckFailure();
}

void Player::RemoteWhammy(bool on) {
  track.whammyActive = on;
  track.whammyValue = on ? 1.0f : 0.0f;
}

void Player::RemoteMissStep() {
  for (int32_t slot = 0; slot < kNoteSlots; ++slot) {
    const NoteRecord& n = track.notes[slot];
    if (!n.active || n.hit || n.missed || songTime < n.time + kRemoteMissAfterMs) continue;
    RemoteMiss(n.serial, false);
  }
}

bool Player::ApplyRemoteMessage(const GameMessage& m) {
  if (!remote || !m.Is(MessageType::kGame)) return false;
  const bool slotMatches = m.Is(GameCode::kScoreState) ? (m.a2 & 255) == netSlot : m.a2 == netSlot;
  if (!slotMatches) return false;
  const uint32_t a3 = static_cast<uint32_t>(m.a3);
  const uint32_t a4 = static_cast<uint32_t>(m.a4);
  switch (m.AsGameCode()) {
    case GameCode::kNoteHit: RemoteHit(m.a3); return true;
    case GameCode::kPress: {
      const int32_t slot = m.a3;
      const int32_t value = static_cast<int32_t>(a4 & 0xFFFFu);
      const int32_t velocity = static_cast<int32_t>(a4 >> 16);
      // The lane indexes the lane arrays; the value is only looked up with bounds.
      if (slot < 0 || slot > laneCount || slot >= kLaneSlots) return false;
      RemotePress(slot, value, velocity);
      return true;
    }
    case GameCode::kFretState: {
      const int32_t slot = static_cast<int32_t>(a3 & 255u);
      const int32_t value = static_cast<int32_t>((a3 >> 8) & 255u);
      const bool pressed = ((a3 >> 16) & 255u) == 1;
      if (slot > laneCount || slot >= kLaneSlots) return false;
      RemoteFretState(slot, value, pressed);
      return true;
    }
    case GameCode::kEnergy: track.ActivateEnergy(); return true;
    case GameCode::kMiss: RemoteMiss(m.a3, true); return true;
    case GameCode::kScoreState: {
      const uint32_t a2 = static_cast<uint32_t>(m.a2);
      const float meter = BitsFloat(m.a7);
      const float scoreValue = BitsFloat(m.a6);
      if (!std::isfinite(meter) || !std::isfinite(scoreValue)) return false;
      RemoteState(static_cast<int32_t>((a2 >> 8) & 255u), static_cast<int32_t>((a2 >> 16) & 255u), meter,
                  static_cast<int32_t>(a4 & 0xFFFFu), static_cast<int32_t>(a4 >> 16),
                  static_cast<int32_t>(a3 & 0xFFFFu), static_cast<int32_t>(a3 >> 16), scoreValue);
      return true;
    }
    case GameCode::kEnergyFlag: RemoteWhammy(m.a3 == 1); return true;
    default: return false;
  }
}
