#include "song/instrument.h"

namespace {

constexpr const char* kInstrumentNames[kInstrumentCount] = {
    "drums",     "bass",        "guitar",        "keys",        "vocals",
    "drums_adv", "bass_real",   "guitar_real",   "keys_adv",    "vocals_harm",
    "guitar_rhythm", "guitar_coop", "dance",     "drums_real",  "keys_real",
};

}  // namespace

const char* InstrumentName(int32_t index) {
  return IsInstrumentIndex(index) ? kInstrumentNames[index] : "";
}

int32_t InstrumentFromName(std::string_view name) {
  for (int32_t i = 0; i < kInstrumentCount; ++i) {
    if (name == kInstrumentNames[i]) return i;
  }
  return -1;
}
