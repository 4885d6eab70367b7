// MIDI bytes as a device sends them (short messages and SysEx chunks in any order,
// any length), decoded and translated through each kind of profile: the decoder keeps
// within its rings, and a fetch never hands over more events than its array holds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/log.h"
#include "devices/input/input_event.h"
#include "devices/midi/midi_in.h"
#include "platform/midi/scripted_midi.h"
#include "platform/paths.h"
#include "tests/fuzz/scratch_folder.h"

namespace {

// One profile per translation method: notes, keys, strings, SysEx guitar, pedal, bend.
constexpr const char* kProfiles =
    "<DEVICE><NAME>Kit</NAME><TYPE>0</TYPE><METHOD>0</METHOD><BUTTONS>"
    "<RED>38,9,0</RED><GREEN>49,9,0</GREEN><BASS>36,9,0</BASS><YELLOW_TOM>48,9,20</YELLOW_TOM>"
    "<YELLOW>42,9,0</YELLOW><YELLOW_C>42,9,0</YELLOW_C></BUTTONS></DEVICE>\n"
    "<DEVICE><NAME>Keys</NAME><TYPE>4</TYPE><METHOD>1</METHOD><BUTTONS><START>84,0,0</START></BUTTONS></DEVICE>\n"
    "<DEVICE><NAME>Strings</NAME><TYPE>6</TYPE><METHOD>4</METHOD></DEVICE>\n"
    "<DEVICE><NAME>SysEx guitar</NAME><TYPE>6</TYPE><METHOD>2</METHOD></DEVICE>\n"
    "<DEVICE><NAME>Hi-hat pedal</NAME><METHOD>3</METHOD></DEVICE>\n"
    "<DEVICE><NAME>Bend</NAME><METHOD>5</METHOD></DEVICE>\n";

struct World {
  platform::midi::ScriptedMidiBackend backend;
  MidiInList list{&backend};
};

World& TheWorld() {
  static World* world = [] {
    SetLogFolder(u"/dev/null/velorin_midi_device_fuzz");
    std::freopen("/dev/null", "w", stdout);
    const std::string& folder = fuzzsupport::ScratchFolder("midi_device_fuzz");
    std::filesystem::create_directories(folder + "/settings");
    std::ofstream(folder + "/settings/midi_profiles.ini") << kProfiles;
    // The profiles are read from the working folder while the list enumerates; the
    // fuzzer's own folder comes back at once, since the corpus path it was given may be
    // relative and it reads and writes there between runs.
    const std::string fuzzerFolder = std::filesystem::current_path().string();
    if (::chdir(folder.c_str()) != 0) __builtin_trap();
    platform::InvalidatePathCache();
    auto* w = new World;
    w->backend.SetDevices({"Device"});
    if (!w->list.EnumerateUnthreaded() || w->list.count() != 1) __builtin_trap();
    if (::chdir(fuzzerFolder.c_str()) != 0) __builtin_trap();
    platform::InvalidatePathCache();
    return w;
  }();
  return *world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  World& w = TheWorld();
  uint32_t timeMs = 1000;
  size_t at = 0;
  while (at < size) {
    const uint8_t tag = data[at++];
    timeMs += tag & 7;
    if ((tag & 0x80) == 0) {
      // A short message: up to three bytes, packed as the system delivers them.
      uint32_t packed = 0;
      for (int i = 0; i < 3 && at < size; ++i) packed |= static_cast<uint32_t>(data[at++]) << (8 * i);
      w.backend.InjectShort(0, packed, timeMs);
    } else {
      // A SysEx chunk of the length the tag gives.
      const size_t length = std::min<size_t>((tag >> 3) & 15, size - at);
      std::vector<uint8_t> chunk(data + at, data + at + length);
      at += length;
      w.backend.InjectSysexChunk(0, chunk, timeMs);
    }
  }
  w.list.PumpAll();
  for (int32_t profile = -1; profile <= w.list.profileCount(); ++profile) {
    InputEvent events[kMaxFetchEvents];
    int32_t count = 0;
    w.list.Translate(0, events, &count, profile);
    if (count < 0 || count > static_cast<int32_t>(kMaxFetchEvents)) __builtin_trap();
  }
  // Whatever a profile left queued goes, so runs do not carry into each other.
  w.list.Discard(0);
  return 0;
}
