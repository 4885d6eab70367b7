// MIDI input through RtMidi (ALSA sequencer on Linux). SysEx, timing and active
// sensing are delivered, not filtered. The system's "Midi Through" ports are left out
// of the device list, so that device 0 is an instrument (VELORIN_MIDI_THROUGH=1 keeps
// them). Without a MIDI system (no sequencer) the list is empty and Status() says why.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/midi/midi_backend.h"

class RtMidiIn;

namespace platform::midi {

class RtMidiBackend : public MidiBackend {
 public:
  RtMidiBackend();
  ~RtMidiBackend() override;

  bool Available() override;
  std::string Status() override;
  uint32_t NumInputs() override;
  bool InputName(uint32_t id, std::string* name) override;
  int Open(uint32_t id, MidiInSink* sink, std::unique_ptr<MidiInPort>* port) override;

 private:
  void Refresh();  // mutex held

  std::mutex mutex_;
  std::unique_ptr<RtMidiIn> probe_;
  std::string status_;
  bool keepThrough_ = false;
  // Game device id -> RtMidi port number and name.
  std::vector<std::pair<unsigned, std::string>> ports_;
};

}  // namespace platform::midi
