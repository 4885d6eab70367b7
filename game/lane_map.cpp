#include "game/lane_map.h"
#include "devices/input/device_files.h"
#include "song/instrument.h"

#include <array>

namespace LaneMap {

namespace {

constexpr int32_t kNone = -1;

template <size_t N>
int32_t Lookup(const std::array<int32_t, N>& table, int32_t lane) {
  if (lane < 0 || lane >= static_cast<int32_t>(N)) return kNone;
  return table[static_cast<size_t>(lane)];
}

// Lanes of the drum boards, pro strings, dance and the five-lane kinds.
constexpr std::array<int32_t, 5> kColourDrums4 = {0, 2, 3, 4, 1};
constexpr std::array<int32_t, 9> kFretDrums4 = {0, 4, 1, 2, 3, 4, 2, 3, 4};
constexpr std::array<int32_t, 6> kColourDrums5 = {0, 2, 3, 4, 5, 1};
constexpr std::array<int32_t, 9> kFretDrums5 = {0, 5, 1, 2, 3, 4, 2, 3, 5};
constexpr std::array<int32_t, 6> kFiveLane = {0, 1, 2, 3, 4, 5};
constexpr std::array<int32_t, 8> kColourDrums7 = {0, 2, 3, 6, 4, 7, 1, 8};
constexpr std::array<int32_t, 9> kFretDrums7 = {0, 6, 1, 2, 4, 6, 3, 5, 7};
// Pro strings: lanes 0..5 and lane 9 (the sixth string).
constexpr std::array<int32_t, 10> kColourPro = {0, 2, 1, 5, 4, 3, kNone, kNone, kNone, 9};
constexpr std::array<int32_t, 10> kFretPro = {0, 2, 1, 5, 4, 3, kNone, kNone, kNone, 6};
constexpr std::array<int32_t, 5> kColourDance = {0, 2, 4, 3, 1};
constexpr std::array<int32_t, 6> kFretDance = {0, 4, 1, 3, 2, 0};

bool IsWideLaneKind(int32_t kind) {
  return kind == Instrument::vocals || kind == Instrument::keys_adv || kind == Instrument::vocals_harm ||
         kind == Instrument::keys_real;
}

int32_t WideLane(int32_t lane) { return lane >= 0 && lane < kLaneSlots ? lane : kNone; }

}  // namespace

bool IsDrumKind(int32_t kind) {
  return kind == Instrument::drums || kind == Instrument::drums_adv || kind == Instrument::drums_real;
}
bool IsFiveFretKind(int32_t kind) {
  return kind == Instrument::bass || kind == Instrument::guitar || kind == Instrument::guitar_rhythm ||
         kind == Instrument::guitar_coop;
}
bool IsProKind(int32_t kind) { return kind == Instrument::bass_real || kind == Instrument::guitar_real; }
bool IsKeysKind(int32_t kind) {
  return kind == Instrument::keys || kind == Instrument::keys_adv || kind == Instrument::keys_real;
}
bool IsVocalKind(int32_t kind) { return kind == Instrument::vocals || kind == Instrument::vocals_harm; }
bool IsDanceKind(int32_t kind) { return kind == Instrument::dance; }

int32_t NormalLaneCount(int32_t kind, int32_t requested) {
  switch (static_cast<Instrument>(kind)) {
    case Instrument::drums: return requested == 5 ? 5 : 4;
    case Instrument::drums_adv:
    case Instrument::drums_real: return 7;
    case Instrument::bass_real:
    case Instrument::guitar_real: return 6;
    case Instrument::keys_adv:
    case Instrument::keys_real: return 88;
    case Instrument::dance: return 4;
    case Instrument::vocals:
    case Instrument::vocals_harm: return 49;
    default: return 5;
  }
}

int32_t BaseNote(int32_t kind, int32_t difficulty) {
  int32_t base;
  if (IsProKind(kind)) {
    base = (difficulty + 1) * 24;
  } else if (kind == Instrument::keys_adv) {
    return 48;
  } else if (kind == Instrument::keys_real) {
    return 21;
  } else if (IsVocalKind(kind)) {
    return 36;
  } else {
    base = (difficulty + 5) * 12;
  }
  if (difficulty == 4) base -= 12;
  return base;
}

int32_t TopNote(int32_t kind, int32_t difficulty) {
  const int32_t base = BaseNote(kind, difficulty);
  if (IsDrumKind(kind) || IsProKind(kind)) return base + 5;
  if (kind == Instrument::dance) return base + 3;
  if (IsVocalKind(kind)) return 84;
  if (kind == Instrument::keys_adv) return 72;
  if (kind == Instrument::keys_real) return 108;
  return base + 4;
}

bool IsPlayableNote(int32_t kind, int32_t note, int32_t d) {
  auto in = [note](int32_t lo, int32_t hi) { return note >= lo && note <= hi; };
  if (d < 0 || d > 4) return false;
  if (IsDrumKind(kind)) {
    if (d == 4) return in(95, 101);
    return in(60 + 12 * d, 65 + 12 * d);
  }
  if (IsFiveFretKind(kind) || kind == Instrument::keys) {
    if (d == 4) return kind != Instrument::keys && in(96, 100);
    return in(60 + 12 * d, 64 + 12 * d);
  }
  if (IsProKind(kind)) {
    if (d == 4) return false;
    return in(24 + 24 * d, 29 + 24 * d);
  }
  if (kind == Instrument::dance) {
    if (d == 4) return false;
    return in(60 + 12 * d, 63 + 12 * d);
  }
  if (kind == Instrument::keys_adv) return in(48, 72);
  if (kind == Instrument::keys_real) return in(21, 108);
  if (IsVocalKind(kind)) return in(36, 84);
  return false;
}

int32_t NoteLane(int32_t kind, int32_t note, int32_t difficulty, bool drumLayoutSwap, int32_t* drumPiece) {
  if (!IsPlayableNote(kind, note, difficulty)) return kNone;
  const int32_t o = note - BaseNote(kind, difficulty);
  if (IsDrumKind(kind)) {
    // Note 95 at the level above expert is a second kick.
    const int32_t offset = (difficulty == 4 && note == 95) ? 0 : o;
    if (drumPiece) *drumPiece = offset + 1;
    switch (offset) {
      case 0: return 0;
      case 1: return 2;
      case 2: return 3;
      case 3: return 4;
      case 4: return drumLayoutSwap ? 5 : 1;
      case 5: return drumLayoutSwap ? 1 : 5;
      default: return kNone;
    }
  }
  if (IsFiveFretKind(kind) || kind == Instrument::keys) return o + 1;
  if (IsProKind(kind)) {
    static constexpr std::array<int32_t, 6> kStrings = {2, 1, 5, 4, 3, 9};
    return Lookup(kStrings, o);
  }
  if (kind == Instrument::dance) {
    static constexpr std::array<int32_t, 4> kDance = {2, 4, 3, 1};
    return Lookup(kDance, o);
  }
  if (kind == Instrument::keys_adv || kind == Instrument::keys_real) return note - 20;
  if (IsVocalKind(kind)) return note - 35;
  return kNone;
}

int32_t ColourIndex(int32_t lane, int32_t kind, int32_t laneCount) {
  if (kind == Instrument::drums && laneCount == 4) return Lookup(kColourDrums4, lane);
  if (kind == Instrument::drums && laneCount == 5) return Lookup(kColourDrums5, lane);
  if (IsFiveFretKind(kind) || kind == Instrument::keys) return Lookup(kFiveLane, lane);
  if (IsWideLaneKind(kind)) return WideLane(lane);
  if ((kind == Instrument::drums_adv || kind == Instrument::drums_real) && laneCount == 7)
    return Lookup(kColourDrums7, lane);
  if (IsProKind(kind)) return Lookup(kColourPro, lane);
  if (kind == Instrument::dance && laneCount == 4) return Lookup(kColourDance, lane);
  return kNone;
}

int32_t FretIndex(int32_t lane, int32_t kind, int32_t laneCount) {
  if (kind == Instrument::drums && laneCount == 4) return Lookup(kFretDrums4, lane);
  if (kind == Instrument::drums && laneCount == 5) return Lookup(kFretDrums5, lane);
  if (IsFiveFretKind(kind) || kind == Instrument::keys) return Lookup(kFiveLane, lane);
  if (IsWideLaneKind(kind)) return WideLane(lane);
  if ((kind == Instrument::drums_adv || kind == Instrument::drums_real) && laneCount == 7)
    return Lookup(kFretDrums7, lane);
  if (IsProKind(kind)) return Lookup(kFretPro, lane);
  if (kind == Instrument::dance && laneCount == 4) return Lookup(kFretDance, lane);
  return kNone;
}

bool CanPlayPart(int32_t controllerType, int32_t kind, const bool availability[6]) {
  if (!availability || !availability[0]) return false;
  bool anyDifficulty = false;
  for (int i = 1; i < 6; ++i) anyDifficulty = anyDifficulty || availability[i];
  if (!anyDifficulty) return false;
  switch (static_cast<ControllerType>(controllerType)) {
    case ControllerType::kDrums:
    case ControllerType::kRealDrums: return IsDrumKind(kind);
    case ControllerType::kGuitar:
      return kind == Instrument::bass || kind == Instrument::guitar || kind == Instrument::keys ||
             kind == Instrument::guitar_rhythm || kind == Instrument::guitar_coop;
    case ControllerType::kGamepad:
    case ControllerType::kKeyboard: return IsInstrumentIndex(kind) && !IsVocalKind(kind);
    case ControllerType::kKeys: return IsKeysKind(kind);
    case ControllerType::kRealGuitar:
      return kind == Instrument::bass || kind == Instrument::guitar || kind == Instrument::keys ||
             kind == Instrument::bass_real || kind == Instrument::guitar_real || kind == Instrument::guitar_rhythm ||
             kind == Instrument::guitar_coop;
    case ControllerType::kDancePad: return kind == Instrument::dance;
    default: return false;
  }
}

int32_t PadToLane(int32_t kind, int32_t laneCount, int32_t pad) {
  if (pad < 0 || pad > 3) return 0;
  if (kind == Instrument::dance && laneCount == 4) {
    static constexpr std::array<int32_t, 4> kDance = {1, 3, 4, 2};
    return kDance[static_cast<size_t>(pad)];
  }
  if (IsDrumKind(kind)) {
    static constexpr std::array<int32_t, 4> k4 = {1, 4, 3, 2};
    static constexpr std::array<int32_t, 4> k5 = {5, 1, 4, 3};
    static constexpr std::array<int32_t, 4> k7 = {1, 4, 8, 7};
    if (laneCount == 4) return k4[static_cast<size_t>(pad)];
    if (laneCount == 5) return k5[static_cast<size_t>(pad)];
    if (laneCount == 7) return k7[static_cast<size_t>(pad)];
  }
  return 0;
}

int32_t TrackToIndexA(int32_t k) {
  static constexpr std::array<int32_t, 17> kTable = {0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13, 14, -1, -1, 4, 9};
  return Lookup(kTable, k);
}

int32_t TrackToIndexB(int32_t k) {
  static constexpr std::array<int32_t, 15> kTable = {0, 1, 2, 3, 15, 4, 5, 6, 7, 16, 8, 9, 10, 11, 12};
  return Lookup(kTable, k);
}

int32_t EffectSlot(int32_t e) {
  if (e < 0 || e > 10) return kNone;
  switch (e) {
    case 0: return 30;
    case 2: return 31;
    case 5: return 26;
    case 7: return 27;
    case 8: return 28;
    case 10: return 29;
    default: return 25;
  }
}

int32_t MirrorDrumLane(int32_t lane, int32_t kind, int32_t laneCount) {
  if (!IsDrumKind(kind) || lane < 1) return lane;
  const int32_t slot = FretIndex(lane, kind, laneCount);
  if (slot < 1) return lane;
  const int32_t mirrored = laneCount - slot + 1;
  // The first lane above 0 that sits on the mirrored slot.
  for (int32_t l = 1; l <= 8; ++l) {
    if (FretIndex(l, kind, laneCount) == mirrored) return l;
  }
  return lane;
}

bool ParseMixEvent(int32_t difficulty, std::string_view text, bool* flipOn) {
  if (flipOn) *flipOn = false;
  const size_t mix = text.find("[mix ");
  if (mix == std::string_view::npos) return false;
  const size_t digitAt = mix + 5;
  if (digitAt >= text.size()) return false;
  // One character read as a number, as a C string conversion does: a non-digit is 0.
  const char c = text[digitAt];
  const int32_t value = (c >= '0' && c <= '9') ? c - '0' : 0;
  if (value != difficulty && !(difficulty == 4 && value == 3)) return false;
  const size_t drums = text.find(" drums", digitAt);
  if (drums == std::string_view::npos) return false;
  const size_t restAt = drums + 6 + 1;  // " drums" and the character after it
  if (flipOn && restAt <= text.size()) *flipOn = text.substr(restAt) == "d]";
  return true;
}

}  // namespace LaneMap
