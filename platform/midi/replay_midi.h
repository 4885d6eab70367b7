// A MIDI back end that plays a script file instead of a system's instruments, so a
// console program can be driven end to end without hardware. The script names the
// devices and, per device, the messages it sends once it is started:
//   device Keyboard
//   device Pads
//   send 0 90 3C 64        (device number, then the message's bytes in hex)
//   send 0 F0 7E 7F 09 01 F7
// Blank lines and lines starting with '#' are skipped. Each started device delivers
// its messages in order from a thread of its own, as a system's callback would.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/midi/midi_backend.h"

namespace platform::midi {

// The back end of a script file; null (and the reason in `error`) when the file
// cannot be read or has a line that is not understood.
std::unique_ptr<MidiBackend> LoadReplayMidiBackend(std::string_view scriptPath, std::string* error);

// The back end a program uses: the script named by VELORIN_MIDI_SCRIPT when that is
// set, else the system's (RtMidi). A script that cannot be loaded gives a back end
// with no devices whose Status() says why.
std::unique_ptr<MidiBackend> CreateMidiBackend();

}  // namespace platform::midi
