// The replay source: devices and their events from a script file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/padprobe/pad_source.h"

namespace platform::padprobe {

namespace {

struct ReplayState {
  std::vector<std::deque<PadEvent>> queues;                   // per device line
  std::deque<std::vector<std::pair<int, PadEvent>>> pending;  // groups not yet released
};

class ReplayDevice : public PadDevice {
 public:
  ReplayDevice(std::shared_ptr<ReplayState> state, int index) : state_(std::move(state)), index_(index) {}
  int Read(PadEvent* out, int max) override {
    auto& q = state_->queues[static_cast<size_t>(index_)];
    int n = 0;
    while (n < max && !q.empty()) {
      out[n++] = q.front();
      q.pop_front();
    }
    return n;
  }

 private:
  std::shared_ptr<ReplayState> state_;
  int index_;
};

class ReplaySource : public PadSource {
 public:
  ReplaySource(std::vector<PadDeviceInfo> devices, std::shared_ptr<ReplayState> state)
      : devices_(std::move(devices)), state_(std::move(state)) {
    Release();
  }
  void Enumerate(const Found& found) override {
    for (size_t i = 0; i < devices_.size(); ++i)
      found(std::make_unique<ReplayDevice>(state_, static_cast<int>(i)), devices_[i]);
  }
  void Wait(int timeoutMs) override {
    for (const auto& q : state_->queues)
      if (!q.empty()) return;
    if (state_->pending.empty()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
      return;
    }
    Release();
  }

 private:
  void Release() {
    if (state_->pending.empty()) return;
    for (const auto& [device, event] : state_->pending.front())
      state_->queues[static_cast<size_t>(device)].push_back(event);
    state_->pending.pop_front();
  }

  std::vector<PadDeviceInfo> devices_;
  std::shared_ptr<ReplayState> state_;
};

bool ParseLine(const std::string& line, std::vector<PadDeviceInfo>& devices, ReplayState& state,
               std::string* error) {
  std::istringstream in(line);
  std::string word;
  if (!(in >> word) || word[0] == '#') return true;
  if (word == "wait") {
    state.pending.emplace_back();
    return true;
  }
  if (word == "device") {
    PadDeviceInfo info;
    std::string kind;
    if (!(in >> info.identity >> kind) || (kind != "keyboard" && kind != "controller")) {
      *error = "a device line needs an identity and keyboard or controller";
      return false;
    }
    info.kind = kind == "keyboard" ? PadKind::kKeyboard : PadKind::kController;
    std::getline(in >> std::ws, info.name);
    devices.push_back(info);
    state.queues.emplace_back();
    return true;
  }
  if (word == "event") {
    long device = -1;
    unsigned long offset = 0, data = 0;
    if (!(in >> device >> offset >> data) || device < 0 || static_cast<size_t>(device) >= devices.size() ||
        offset > 0xFFFFFFFFul || data > 0xFFFFFFFFul) {
      *error = "an event line needs a declared device, an offset and a value";
      return false;
    }
    state.pending.back().emplace_back(static_cast<int>(device),
                                      PadEvent{static_cast<uint32_t>(offset), static_cast<uint32_t>(data)});
    return true;
  }
  *error = "unknown word " + word;
  return false;
}

// No devices: what a source that could not be made offers.
class EmptySource : public PadSource {
 public:
  void Enumerate(const Found&) override {}
  void Wait(int timeoutMs) override { std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs)); }
};

}  // namespace

std::unique_ptr<PadSource> LoadReplayPadSource(std::string_view path, std::string* error) {
  std::ifstream file{std::string(path)};
  if (!file) {
    *error = "cannot read " + std::string(path);
    return nullptr;
  }
  std::vector<PadDeviceInfo> devices;
  auto state = std::make_shared<ReplayState>();
  state->pending.emplace_back();
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!ParseLine(line, devices, *state, error)) {
      *error = "line " + std::to_string(number) + ": " + *error;
      return nullptr;
    }
  }
  return std::make_unique<ReplaySource>(std::move(devices), std::move(state));
}

std::unique_ptr<PadSource> CreatePadSource() {
  const char* path = std::getenv("VELORIN_PAD_REPLAY");
  if (!path || !*path) return CreateEvdevPadSource();
  std::string error;
  std::unique_ptr<PadSource> source = LoadReplayPadSource(path, &error);
  if (source) return source;
  std::fprintf(stderr, "Pad replay not used: %s\n", error.c_str());
  return std::make_unique<EmptySource>();
}

}  // namespace platform::padprobe
