// The scripted MIDI back end: tests name the devices, make chosen steps fail with a
// code, and inject short messages and SysEx chunks into an opened device (the sink
// runs on the injecting thread, as the system's callback thread would).
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/midi/midi_backend.h"

namespace platform::midi {

class ScriptedMidiBackend : public MidiBackend {
 public:
  void SetDevices(std::vector<std::string> names);
  void SetUnavailable(std::string reason);
  // Steps: "open", "prepare", "add", "start", "reset", "close". Code 0 clears.
  void FailStep(uint32_t id, const std::string& step, int code);

  // True while the device is open and started.
  bool IsStarted(uint32_t id);
  // Waits up to timeoutMs for the device to be started.
  bool WaitStarted(uint32_t id, uint32_t timeoutMs);
  int OpenCount(uint32_t id);

  // False when the device is not started (nothing delivered).
  bool InjectShort(uint32_t id, uint32_t packed, uint32_t timeMs);
  bool InjectSysexChunk(uint32_t id, const std::vector<uint8_t>& bytes, uint32_t timeMs);
  // Splits a whole SysEx message into chunks of kSysexChunk bytes.
  bool InjectSysex(uint32_t id, const std::vector<uint8_t>& message, uint32_t timeMs);

  bool Available() override;
  std::string Status() override;
  uint32_t NumInputs() override;
  bool InputName(uint32_t id, std::string* name) override;
  int Open(uint32_t id, MidiInSink* sink, std::unique_ptr<MidiInPort>* port) override;

 private:
  friend class ScriptedPort;
  struct Dev {
    MidiInSink* sink = nullptr;
    bool open = false;
    bool started = false;
    int opens = 0;
  };
  int Failure(uint32_t id, const std::string& step);

  std::mutex mutex_;
  // Held while a sink runs, so that Reset waits for a delivery in progress.
  std::mutex deliver_;
  std::vector<std::string> names_;
  std::map<uint32_t, Dev> devs_;
  std::map<std::pair<uint32_t, std::string>, int> failures_;
  bool available_ = true;
  std::string reason_;
};

}  // namespace platform::midi
