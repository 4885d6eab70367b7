#include "platform/midi/replay_midi.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/midi/rtmidi_backend.h"
#include "platform/midi/scripted_midi.h"

namespace platform::midi {

namespace {

struct Script {
  std::vector<std::string> devices;
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> sends;
};

bool ParseSend(std::istringstream& in, uint32_t deviceCount, Script& script, std::string* error) {
  long device = -1;
  if (!(in >> device) || device < 0 || static_cast<uint32_t>(device) >= deviceCount) {
    *error = "send names no declared device";
    return false;
  }
  std::vector<uint8_t> bytes;
  std::string word;
  while (in >> word) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(word.c_str(), &end, 16);
    if (*end != '\0' || word.size() > 2 || v > 0xFF) {
      *error = "not a hex byte: " + word;
      return false;
    }
    bytes.push_back(static_cast<uint8_t>(v));
  }
  if (bytes.empty() || bytes[0] < 0x80) {
    *error = "a message starts with a status byte";
    return false;
  }
  script.sends.emplace_back(static_cast<uint32_t>(device), std::move(bytes));
  return true;
}

bool ParseScript(std::istream& file, Script& script, std::string* error) {
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word[0] == '#') continue;
    if (word == "device") {
      std::string name;
      std::getline(in >> std::ws, name);
      script.devices.push_back(name);
    } else if (word != "send" || !ParseSend(in, static_cast<uint32_t>(script.devices.size()), script, error)) {
      if (word != "send") *error = "unknown word " + word;
      *error = "line " + std::to_string(number) + ": " + *error;
      return false;
    }
  }
  return true;
}

// The scripted back end with a feeder per opened device: once the game's layer has
// started the device, the feeder delivers that device's messages and ends.
class ReplayBackend : public MidiBackend {
 public:
  explicit ReplayBackend(Script script) : script_(std::move(script)) { inner_.SetDevices(script_.devices); }
  ~ReplayBackend() override {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& t : feeders_) t.join();
  }

  bool Available() override { return inner_.Available(); }
  std::string Status() override { return "replay"; }
  uint32_t NumInputs() override { return inner_.NumInputs(); }
  bool InputName(uint32_t id, std::string* name) override { return inner_.InputName(id, name); }
  int Open(uint32_t id, MidiInSink* sink, std::unique_ptr<MidiInPort>* port) override {
    // Each device's IO thread opens it, so opens may come from several threads at once.
    const int r = inner_.Open(id, sink, port);
    std::lock_guard<std::mutex> lock(mutex_);
    if (r == 0) feeders_.emplace_back([this, id] { Feed(id); });
    return r;
  }

 private:
  void Feed(uint32_t id) {
    if (!inner_.WaitStarted(id, 10000)) return;
    for (const auto& [device, bytes] : script_.sends) {
      if (device != id) continue;
      const uint32_t now = platform::TimeGetTime();
      const bool delivered = bytes[0] == 0xF0
                                 ? inner_.InjectSysex(id, bytes, now)
                                 : inner_.InjectShort(id, bytes[0] | (bytes.size() > 1 ? bytes[1] << 8 : 0) |
                                                              (bytes.size() > 2 ? bytes[2] << 16 : 0),
                                                      now);
      if (!delivered) return;  // closed meanwhile
    }
  }

  Script script_;
  ScriptedMidiBackend inner_;
  std::mutex mutex_;
  std::vector<std::thread> feeders_;
};

// No devices, and the reason the script could not be used.
class BrokenBackend : public MidiBackend {
 public:
  explicit BrokenBackend(std::string why) : why_(std::move(why)) {}
  bool Available() override { return false; }
  std::string Status() override { return why_; }
  uint32_t NumInputs() override { return 0; }
  bool InputName(uint32_t, std::string*) override { return false; }
  int Open(uint32_t, MidiInSink*, std::unique_ptr<MidiInPort>*) override { return kErrBadDeviceId; }

 private:
  std::string why_;
};

}  // namespace

std::unique_ptr<MidiBackend> LoadReplayMidiBackend(std::string_view scriptPath, std::string* error) {
  std::ifstream file{std::string(scriptPath)};
  if (!file) {
    *error = "cannot read " + std::string(scriptPath);
    return nullptr;
  }
  Script script;
  if (!ParseScript(file, script, error)) return nullptr;
  return std::make_unique<ReplayBackend>(std::move(script));
}

std::unique_ptr<MidiBackend> CreateMidiBackend() {
  const char* path = std::getenv("VELORIN_MIDI_SCRIPT");
  if (!path || !*path) return std::make_unique<RtMidiBackend>();
  std::string error;
  std::unique_ptr<MidiBackend> backend = LoadReplayMidiBackend(path, &error);
  if (!backend) return std::make_unique<BrokenBackend>("MIDI Script Not Used: " + error);
  return backend;
}

}  // namespace platform::midi
