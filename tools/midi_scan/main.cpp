// midi_scan: a console check of MIDI instruments. It opens every MIDI-in device with
// the game's MIDI-in layer, prints each message that reaches the first device until
// Esc is pressed (or no device is left), closes the devices and pauses. The device
// lines the layer logs go to "game_log.txt" only, so the console shows just the
// messages.
#include <csignal>
#include <cstdio>
#include <memory>

#include "core/log.h"
#include "devices/midi/midi_in.h"
#include "platform/console_keys.h"
#include "platform/file.h"
#include "platform/midi/replay_midi.h"
#include "platform/paths.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

void PrintChannelMessage(const MidiInEvent& e) {
  std::printf("Device: %02d  Type: %02d  Channel: %02d Note: %02d  Value: %03d\n", 0, e.type, e.channel, e.note,
              e.value);
}

// The layer keeps at most kMidiSysexKept bytes of a long message: those are printed.
void PrintSysex(const MidiInEvent& e) {
  std::fputs("Sysex:", stdout);
  const int kept = e.sysexLength < kMidiSysexKept ? e.sysexLength : kMidiSysexKept;
  for (int i = 0; i < kept; ++i) std::printf(" %02d", e.sysex[i]);
  std::fputc('\n', stdout);
}

// False when there is no device to read.
bool PrintMidiEvents(MidiInList& list) {
  MidiIn* device = list.device(0);
  if (!device) return false;
  static MidiInEvent events[kMidiRing];
  const int32_t n = device->Drain(events);
  for (int32_t i = 0; i < n; ++i) {
    if (events[i].sysexLength != 0) PrintSysex(events[i]);
    else if (events[i].type != 15) PrintChannelMessage(events[i]);
  }
  if (n > 0) std::fflush(stdout);
  return true;
}

void RunMidiScan() {
  std::fputs("Velorin Midi Scan Tool v1.2 - NOXE\n", stdout);
  std::fflush(stdout);
  std::unique_ptr<platform::midi::MidiBackend> backend = platform::midi::CreateMidiBackend();
  auto list = std::make_unique<MidiInList>(backend.get());
  list->Enumerate();
  if (FILE* f = platform::OpenFile(u"settings/midi_profiles.ini", "rb")) std::fclose(f);
  else LogNarrow("Error: Could Not Open Midi Config!");

  platform::ConsoleKeys keys;
  while (!g_stop && list->count() > 0) {
    PrintMidiEvents(*list);
    if (keys.Wait(1) == platform::ConsoleKeys::kEscape) break;
  }
  list->Stop();
}

}  // namespace

int main() {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  // Like the game, the tool works in its own folder: its settings and log are there.
  platform::SetCurrentDirectory(platform::ExecutableFolder());
  SetLogEcho(false);
  RunMidiScan();
  platform::ConsolePause();
  return 0;
}
