// "settings/midi_profiles.ini" from any bytes: at most 100 profiles, ten alternatives
// per button, and the reader ends.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "devices/midi/midi_profiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static std::unique_ptr<MidiProfile[]> profiles(new MidiProfile[kMaxMidiProfiles]);
  const int n = ParseMidiProfiles(text, profiles.get(), kMaxMidiProfiles);
  if (n < 0 || n > kMaxMidiProfiles) std::abort();
  // Reading the same bytes again gives the same profiles (nothing accumulates).
  const int32_t firstCode = n > 0 ? profiles[0].buttons[slot::kRed].codes[0] : 0;
  if (ParseMidiProfiles(text, profiles.get(), kMaxMidiProfiles) != n) std::abort();
  if (n > 0 && profiles[0].buttons[slot::kRed].codes[0] != firstCode) std::abort();
  return 0;
}
