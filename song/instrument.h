// The instrument numbering the whole program indexes by: careers, scores, audio
// stems, lane tables and players. The enumerator names are also the names of a
// career's instrument folders.
#pragma once

#include <cstdint>
#include <string_view>

enum class Instrument : int32_t {
  drums = 0,
  bass = 1,
  guitar = 2,
  keys = 3,
  vocals = 4,
  drums_adv = 5,
  bass_real = 6,
  guitar_real = 7,
  keys_adv = 8,
  vocals_harm = 9,
  guitar_rhythm = 10,
  guitar_coop = 11,
  dance = 12,
  drums_real = 13,
  keys_real = 14,
};

inline constexpr int32_t kInstrumentCount = 15;

constexpr int32_t InstrumentIndex(Instrument instrument) { return static_cast<int32_t>(instrument); }
// A kind stored as its index compares with an instrument by name: `kind == Instrument::keys`.
constexpr bool operator==(int32_t index, Instrument instrument) { return index == InstrumentIndex(instrument); }
constexpr bool IsInstrumentIndex(int32_t index) { return index >= 0 && index < kInstrumentCount; }

// "drums" ... "keys_real"; an empty text for an index outside 0-14.
const char* InstrumentName(int32_t index);
inline const char* InstrumentName(Instrument instrument) { return InstrumentName(InstrumentIndex(instrument)); }

// The index whose name equals `name` exactly, or -1.
int32_t InstrumentFromName(std::string_view name);

// Difficulties of a chart part: 0 easy, 1 medium, 2 hard, 3 expert; 4 is the extra
// difficulty of the gameplay engine, whose presence flag each track keeps as well.
inline constexpr int32_t kDifficultyCount = 5;
