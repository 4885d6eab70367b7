#include "platform/midi/rtmidi_backend.h"

#include <RtMidi.h>

#include <algorithm>
#include <cstdlib>

#include "platform/clock.h"

namespace platform::midi {

namespace {

class RtPort : public MidiInPort {
 public:
  RtPort(std::unique_ptr<RtMidiIn> in, MidiInSink* sink) : in_(std::move(in)), sink_(sink) {}
  ~RtPort() override { Close(); }

  void Attach() { in_->setCallback(&RtPort::Callback, this); }

  int PrepareBuffer() override { return 0; }
  int AddBuffer() override { return 0; }
  int Start() override {
    std::lock_guard<std::mutex> lock(mutex_);
    started_ = true;
    return 0;
  }
  int Reset() override {
    std::lock_guard<std::mutex> lock(mutex_);
    started_ = false;
    return 0;
  }
  int Close() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      started_ = false;
      if (!in_) return 0;
    }
    try {
      in_->cancelCallback();
      in_->closePort();
    } catch (const RtMidiError&) {
      return kErrError;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    in_.reset();
    return 0;
  }
  int UnprepareBuffer() override { return 0; }

 private:
  static void Callback(double, std::vector<unsigned char>* message, void* user) {
    static_cast<RtPort*>(user)->Deliver(*message);
  }
  void Deliver(const std::vector<unsigned char>& m) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_ || m.empty()) return;
    const uint32_t now = platform::TimeGetTime();
    if (m[0] == 0xF0 || (m[0] < 0x80)) {
      // RtMidi hands over a whole SysEx message (or its continuation); pass it on in
      // buffer-sized chunks as the game's layer expects.
      for (size_t at = 0; at < m.size(); at += kSysexChunk) {
        const size_t n = std::min(kSysexChunk, m.size() - at);
        sink_->OnSysexChunk(m.data() + at, n, now);
      }
      return;
    }
    uint32_t packed = m[0];
    if (m.size() > 1) packed |= static_cast<uint32_t>(m[1]) << 8;
    if (m.size() > 2) packed |= static_cast<uint32_t>(m[2]) << 16;
    sink_->OnShortMessage(packed, now);
  }

  std::mutex mutex_;
  std::unique_ptr<RtMidiIn> in_;
  MidiInSink* sink_;
  bool started_ = false;
};

}  // namespace

RtMidiBackend::RtMidiBackend() {
  const char* through = std::getenv("VELORIN_MIDI_THROUGH");
  keepThrough_ = through && std::string(through) == "1";
  try {
    probe_ = std::make_unique<RtMidiIn>(RtMidi::UNSPECIFIED, "velorin");
    status_ = "MIDI: " + RtMidi::getApiDisplayName(probe_->getCurrentApi());
  } catch (const RtMidiError& e) {
    probe_.reset();
    status_ = "No MIDI System: " + e.getMessage();
  }
}

RtMidiBackend::~RtMidiBackend() = default;

bool RtMidiBackend::Available() {
  std::lock_guard<std::mutex> lock(mutex_);
  return probe_ != nullptr;
}

std::string RtMidiBackend::Status() {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

void RtMidiBackend::Refresh() {
  ports_.clear();
  if (!probe_) return;
  try {
    const unsigned n = probe_->getPortCount();
    for (unsigned i = 0; i < n; ++i) {
      std::string name = probe_->getPortName(i);
      if (!keepThrough_ && name.rfind("Midi Through", 0) == 0) continue;
      ports_.emplace_back(i, name);
    }
  } catch (const RtMidiError&) {
    ports_.clear();
  }
}

uint32_t RtMidiBackend::NumInputs() {
  std::lock_guard<std::mutex> lock(mutex_);
  Refresh();
  return static_cast<uint32_t>(ports_.size());
}

bool RtMidiBackend::InputName(uint32_t id, std::string* name) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (id >= ports_.size()) return false;
  *name = ports_[id].second;
  return true;
}

int RtMidiBackend::Open(uint32_t id, MidiInSink* sink, std::unique_ptr<MidiInPort>* port) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!probe_) return kErrNoDriver;
  if (id >= ports_.size()) return kErrBadDeviceId;
  try {
    auto in = std::make_unique<RtMidiIn>(RtMidi::UNSPECIFIED, "velorin", 1024);
    // SysEx, timing and active sensing are part of what the game reads.
    in->ignoreTypes(false, false, false);
    in->openPort(ports_[id].first, "velorin in");
    auto p = std::make_unique<RtPort>(std::move(in), sink);
    p->Attach();
    *port = std::move(p);
    return 0;
  } catch (const RtMidiError&) {
    return kErrAllocated;
  }
}

}  // namespace platform::midi
