#include "platform/midi/scripted_midi.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace platform::midi {

class ScriptedPort : public MidiInPort {
 public:
  ScriptedPort(ScriptedMidiBackend* b, uint32_t id) : b_(b), id_(id) {}
  ~ScriptedPort() override { Close(); }
  int PrepareBuffer() override { return b_->Failure(id_, "prepare"); }
  int AddBuffer() override { return b_->Failure(id_, "add"); }
  int Start() override {
    if (int f = b_->Failure(id_, "start")) return f;
    std::lock_guard<std::mutex> lock(b_->mutex_);
    b_->devs_[id_].started = true;
    return 0;
  }
  int Reset() override {
    if (int f = b_->Failure(id_, "reset")) return f;
    std::lock_guard<std::mutex> deliver(b_->deliver_);
    std::lock_guard<std::mutex> lock(b_->mutex_);
    b_->devs_[id_].started = false;
    return 0;
  }
  int Close() override {
    if (closed_) return 0;
    if (int f = b_->Failure(id_, "close")) return f;
    std::lock_guard<std::mutex> deliver(b_->deliver_);
    std::lock_guard<std::mutex> lock(b_->mutex_);
    ScriptedMidiBackend::Dev& d = b_->devs_[id_];
    d.started = false;
    d.open = false;
    d.sink = nullptr;
    closed_ = true;
    return 0;
  }
  int UnprepareBuffer() override { return 0; }

 private:
  ScriptedMidiBackend* b_;
  uint32_t id_;
  bool closed_ = false;
};

void ScriptedMidiBackend::SetDevices(std::vector<std::string> names) {
  std::lock_guard<std::mutex> lock(mutex_);
  names_ = std::move(names);
}

void ScriptedMidiBackend::SetUnavailable(std::string reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  available_ = false;
  reason_ = std::move(reason);
  names_.clear();
}

void ScriptedMidiBackend::FailStep(uint32_t id, const std::string& step, int code) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (code == 0) failures_.erase({id, step});
  else failures_[{id, step}] = code;
}

int ScriptedMidiBackend::Failure(uint32_t id, const std::string& step) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = failures_.find({id, step});
  return it == failures_.end() ? 0 : it->second;
}

bool ScriptedMidiBackend::IsStarted(uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = devs_.find(id);
  return it != devs_.end() && it->second.started;
}

bool ScriptedMidiBackend::WaitStarted(uint32_t id, uint32_t timeoutMs) {
  for (uint32_t waited = 0; waited <= timeoutMs; ++waited) {
    if (IsStarted(id)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

int ScriptedMidiBackend::OpenCount(uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = devs_.find(id);
  return it == devs_.end() ? 0 : it->second.opens;
}

bool ScriptedMidiBackend::InjectShort(uint32_t id, uint32_t packed, uint32_t timeMs) {
  std::lock_guard<std::mutex> deliver(deliver_);
  MidiInSink* sink = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = devs_.find(id);
    if (it == devs_.end() || !it->second.started) return false;
    sink = it->second.sink;
  }
  sink->OnShortMessage(packed, timeMs);
  return true;
}

bool ScriptedMidiBackend::InjectSysexChunk(uint32_t id, const std::vector<uint8_t>& bytes, uint32_t timeMs) {
  std::lock_guard<std::mutex> deliver(deliver_);
  MidiInSink* sink = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = devs_.find(id);
    if (it == devs_.end() || !it->second.started) return false;
    sink = it->second.sink;
  }
  sink->OnSysexChunk(bytes.data(), bytes.size(), timeMs);
  return true;
}

bool ScriptedMidiBackend::InjectSysex(uint32_t id, const std::vector<uint8_t>& message, uint32_t timeMs) {
  for (size_t at = 0; at < message.size(); at += kSysexChunk) {
    const size_t n = std::min(kSysexChunk, message.size() - at);
    std::vector<uint8_t> chunk(message.begin() + static_cast<long>(at), message.begin() + static_cast<long>(at + n));
    if (!InjectSysexChunk(id, chunk, timeMs)) return false;
  }
  return true;
}

bool ScriptedMidiBackend::Available() {
  std::lock_guard<std::mutex> lock(mutex_);
  return available_;
}

std::string ScriptedMidiBackend::Status() {
  std::lock_guard<std::mutex> lock(mutex_);
  return available_ ? "scripted" : reason_;
}

uint32_t ScriptedMidiBackend::NumInputs() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<uint32_t>(names_.size());
}

bool ScriptedMidiBackend::InputName(uint32_t id, std::string* name) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (id >= names_.size()) return false;
  *name = names_[id];
  return true;
}

int ScriptedMidiBackend::Open(uint32_t id, MidiInSink* sink, std::unique_ptr<MidiInPort>* port) {
  if (int f = Failure(id, "open")) return f;
  std::lock_guard<std::mutex> lock(mutex_);
  if (id >= names_.size()) return kErrBadDeviceId;
  Dev& d = devs_[id];
  if (d.open) return kErrAllocated;
  d.open = true;
  d.started = false;
  d.sink = sink;
  ++d.opens;
  *port = std::make_unique<ScriptedPort>(this, id);
  return 0;
}

}  // namespace platform::midi
