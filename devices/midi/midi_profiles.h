// MIDI instrument profiles ("settings/midi_profiles.ini"): which notes on which
// channels stand for which logical buttons, and the profile's extra rules (METHOD).
#pragma once

#include <cstdint>
#include <string>

#include "devices/midi/button_map.h"

struct MidiProfile {
  int32_t type = 0;
  int32_t method = 0;
  std::string name;
  std::string description;
  ButtonMap buttons;

  void Reset() {
    type = 0;
    method = 0;
    name.clear();
    description.clear();
    buttons.Reset();
  }
};

constexpr int kMaxMidiProfiles = 100;
constexpr const char* kMidiProfilesPath = "settings/midi_profiles.ini";

// Reads the profiles into out[0..max-1] (every slot is reset first); returns how many
// were read. A missing file is logged as "Error: Could Not Open Midi Config!" and gives 0.
int ReadMidiProfiles(MidiProfile* out, int max = kMaxMidiProfiles);
// The same over bytes already in memory.
int ParseMidiProfiles(std::string_view text, MidiProfile* out, int max = kMaxMidiProfiles);
