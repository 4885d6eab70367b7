#include "devices/midi/midi_profiles.h"

#include "core/log.h"
#include "devices/midi/tag_reader.h"

namespace {

constexpr ButtonName kMidiButtons[] = {
    {"RED", slot::kRed},         {"YELLOW", slot::kYellow},       {"YELLOW_C", slot::kYellowC},
    {"YELLOW_O", slot::kYellowO}, {"YELLOW_P", slot::kYellowP},   {"YELLOW_S", slot::kYellowS},
    {"YELLOW_TOM", slot::kYellowTom}, {"BLUE", slot::kBlue},      {"BLUE_TOM", slot::kBlueTom},
    {"GREEN", slot::kGreen},     {"GREEN_TOM", slot::kGreenTom},  {"ORANGE", slot::kOrange},
    {"BASS", slot::kBass},       {"RIM", slot::kRim},             {"UP", slot::kUp},
    {"DOWN", slot::kDown},       {"LEFT", slot::kLeft},           {"RIGHT", slot::kRight},
    {"BACK", slot::kBack},       {"START", slot::kStart},
};
constexpr int kMidiButtonCount = sizeof kMidiButtons / sizeof kMidiButtons[0];

// note, channel, threshold into the slot's first free alternative.
void AddAlternative(ButtonSlot& s, const std::string& value) {
  const int k = s.FirstFree();
  if (k < 0) return;  // ten alternatives is the most a slot holds
  const std::vector<int32_t> n = ParseNumberList(value, 3);
  // A value with no number at all adds nothing.
  if (value.find_first_not_of(" \t\r\n") == std::string::npos) return;
  if (n.size() > 0) s.codes[k] = n[0];
  if (n.size() > 1) s.second[k] = n[1];
  if (n.size() > 2) s.third[k] = n[2];
}

}  // namespace

int ParseMidiProfiles(std::string_view text, MidiProfile* out, int max) {
  for (int i = 0; i < max; ++i) out[i].Reset();
  TagReader r(text);
  std::string tag;
  int count = 0;
  while (count < max && r.NextTag(&tag)) {
    if (!tag.empty() && tag[0] == '/') continue;  // a stray closing tag opens nothing
    MidiProfile& p = out[count];
    p.Reset();
    bool closed = false;
    while (!closed && r.NextTag(&tag)) {
      if (tag == "/DEVICE") closed = true;
      else if (tag == "NAME") p.name = r.Value();
      else if (tag == "DESCRIPTION") p.description = r.Value();
      else if (tag == "TYPE") p.type = ParseDeviceNumber(r.Value(64));
      else if (tag == "METHOD") p.method = ParseDeviceNumber(r.Value(64));
      else if (tag == "BUTTONS") {
        while (r.NextTag(&tag) && tag != "/BUTTONS") {
          const int s = FindButton(kMidiButtons, kMidiButtonCount, tag.data(), tag.size());
          if (s >= 0) AddAlternative(p.buttons[s], r.Value(1024));
        }
      }
    }
    if (closed) ++count;
    else p.Reset();  // a block cut off by the end of the file is dropped
  }
  return count;
}

int ReadMidiProfiles(MidiProfile* out, int max) {
  std::string text;
  if (!ReadDeviceFile(kMidiProfilesPath, &text)) {
    for (int i = 0; i < max; ++i) out[i].Reset();
    LogNarrow("Error: Could Not Open Midi Config!");
    return 0;
  }
  return ParseMidiProfiles(text, out, max);
}
