// MIDI-in devices: every input device of the system is opened with an IO thread of
// its own that moves the raw messages the system delivered into a ring of decoded
// events and keeps the device's activity (0 idle, 1 system messages within 1000 ms,
// 2 played within 200 ms). A controller linked to a device turns its events into
// InputEvents through a MIDI profile.
//
// Rings: the raw ring (system callback thread -> IO thread) and the decoded ring (IO
// thread -> main thread) each hold 512 messages, with one writer and one reader and
// atomic indexes. A full ring drops what arrives (and the IO thread logs the loss),
// so a stalled reader never sees a half-overwritten record.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devices/input/input_event.h"
#include "devices/midi/midi_profiles.h"
#include "platform/midi/midi_backend.h"

constexpr int kMidiRing = 512;
constexpr int kMidiSysexKept = 64;
// The most InputEvents one message turns into (a SysEx button report: nine buttons
// and a hat that releases one direction and presses another), with room to spare.
constexpr int kMaxEventsPerMidiMessage = 16;

struct MidiRawMessage {
  uint32_t shortMessage = 0;  // status | data1 << 8 | data2 << 16
  uint8_t sysex[kMidiSysexKept] = {};
  uint32_t sysexLength = 0;  // 0 for a short message; the full length of a SysEx message
  uint32_t timeMs = 0;       // when the system delivered it (platform::TimeGetTime)
};

struct MidiInEvent {
  int32_t type = 0;     // status >> 4: 8 note off, 9 note on, 11 control change, 14 pitch bend, 15 system
  int32_t channel = 0;  // status & 15
  int32_t note = 0;     // first data byte
  int32_t value = 0;    // second data byte
  int32_t sysexLength = 0;
  uint8_t sysex[kMidiSysexKept] = {};
  uint32_t timeMs = 0;  // delivery time
};

// A ring with one writer thread and one reader thread.
template <typename T>
class SpscRing {
 public:
  // False (nothing stored) when the ring is full.
  bool Push(const T& item) {
    const uint32_t w = write_.load(std::memory_order_relaxed);
    if (w - read_.load(std::memory_order_acquire) >= kMidiRing) return false;
    items_[w % kMidiRing] = item;
    write_.store(w + 1, std::memory_order_release);
    return true;
  }
  // Copies the oldest item without removing it; false when the ring is empty.
  bool Peek(T& out) const {
    const uint32_t r = read_.load(std::memory_order_relaxed);
    if (r == write_.load(std::memory_order_acquire)) return false;
    out = items_[r % kMidiRing];
    return true;
  }
  // Removes the oldest item (after a Peek that returned true).
  void PopOne() { read_.store(read_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }
  // Moves up to max items, oldest first.
  int PopMany(T* out, int max) {
    const uint32_t r = read_.load(std::memory_order_relaxed);
    const uint32_t w = write_.load(std::memory_order_acquire);
    int n = 0;
    while (n < max && r + static_cast<uint32_t>(n) != w) {
      out[n] = items_[(r + static_cast<uint32_t>(n)) % kMidiRing];
      ++n;
    }
    read_.store(r + static_cast<uint32_t>(n), std::memory_order_release);
    return n;
  }
  void Clear() {
    read_.store(0);
    write_.store(0);
  }

 private:
  T items_[kMidiRing];
  std::atomic<uint32_t> read_{0};
  std::atomic<uint32_t> write_{0};
};

// The system side of one device.
class MidiDevice : public platform::midi::MidiInSink {
 public:
  explicit MidiDevice(platform::midi::MidiBackend* backend) : backend_(backend) {}
  ~MidiDevice() override { close(); }
  MidiDevice(const MidiDevice&) = delete;
  MidiDevice& operator=(const MidiDevice&) = delete;

  void open(uint32_t deviceId);
  void close();
  // Moves up to 512 raw records, oldest first; 0 and a log line (once per device)
  // when the device is not open.
  int32_t poll(MidiRawMessage* out);
  bool isOpen() const { return port_ != nullptr && started_; }
  // Messages lost because the raw ring was full; reading resets the count.
  uint32_t TakeDropped() { return dropped_.exchange(0); }

  // MidiInSink (system callback thread)
  void OnShortMessage(uint32_t packed, uint32_t timeMs) override;
  void OnSysexChunk(const uint8_t* data, size_t size, uint32_t timeMs) override;

 private:
  platform::midi::MidiBackend* backend_;
  std::unique_ptr<platform::midi::MidiInPort> port_;
  bool started_ = false;
  bool prepared_ = false;
  std::atomic<uint8_t> flags_{0};  // 0x80: closing
  SpscRing<MidiRawMessage> raw_;
  // The SysEx message being assembled (callback thread only).
  MidiRawMessage assembling_;
  std::atomic<uint32_t> dropped_{0};
  bool loggedNotOpen_ = false;
};

class MidiIn {
 public:
  MidiIn(uint32_t deviceId, platform::midi::MidiBackend* backend);
  ~MidiIn();
  MidiIn(const MidiIn&) = delete;
  MidiIn& operator=(const MidiIn&) = delete;

  void threadBegin();
  void threadEnd();
  void Decode(const MidiRawMessage* records, int32_t n);
  // Moves up to 512 decoded events, oldest first.
  int32_t Drain(MidiInEvent* out);
  // The oldest decoded event stays queued until TakeNext removes it.
  bool PeekNext(MidiInEvent& out) const { return decoded_.Peek(out); }
  void TakeNext() { decoded_.PopOne(); }
  // One pass of the IO thread without the thread: poll and decode.
  void PumpOnce();

  static std::u16string GetDeviceName(platform::midi::MidiBackend* backend, uint32_t deviceId);

  uint32_t deviceId() const { return deviceId_; }
  const std::u16string& name() const { return name_; }
  void setName(std::u16string name) { name_ = std::move(name); }
  int32_t activity() const { return activity_.load(); }
  MidiDevice& device() { return device_; }
  uint8_t lastSysexButtons[4] = {0, 0, 0, 0};  // main thread only

 private:
  void ThreadProc();

  uint32_t deviceId_;
  std::u16string name_;
  MidiDevice device_;
  SpscRing<MidiInEvent> decoded_;
  std::atomic<int32_t> activity_{0};
  std::atomic<uint32_t> lastSystemMs_{0};
  std::atomic<uint32_t> lastChannelMs_{0};
  bool everSystem_ = false;
  bool everChannel_ = false;
  std::thread thread_;
  std::atomic<uint8_t> running_{0};
  bool overflowLogged_ = false;
  MidiRawMessage scratch_[kMidiRing];
};

class MidiInList {
 public:
  explicit MidiInList(platform::midi::MidiBackend* backend);
  ~MidiInList();
  MidiInList(const MidiInList&) = delete;
  MidiInList& operator=(const MidiInList&) = delete;

  bool Enumerate();
  // Enumeration without IO threads: the devices are opened on the calling thread and
  // PumpAll moves their messages (tests drive the layer this way).
  bool EnumerateUnthreaded();
  void PumpAll();
  bool Stop();
  bool Discard(int32_t deviceIndex);
  // Appends the device's pending events through the profile, oldest first. A message
  // whose events do not all fit the array stays queued, with every later one, for
  // the next call: false then, and when the index is not a device.
  bool Translate(int32_t deviceIndex, InputEvent* events, int32_t* count, int32_t profileIndex);
  bool Translate(int32_t deviceIndex, EventSink& sink, int32_t profileIndex);

  int32_t count() const { return static_cast<int32_t>(devices_.size()); }
  MidiIn* device(int32_t i) { return i >= 0 && i < count() ? devices_[static_cast<size_t>(i)].get() : nullptr; }
  int32_t profileCount() const { return profileCount_; }
  const MidiProfile& profile(int32_t i) const { return profiles_[i]; }
  MidiProfile* profiles() { return profiles_.get(); }
  platform::midi::MidiBackend* backend() const { return backend_; }

 private:
  bool EnumerateImpl(bool threads);
  void TranslateOne(MidiIn& dev, const MidiInEvent& e, const MidiProfile& p, EventSink& sink);

  platform::midi::MidiBackend* backend_;
  std::vector<std::unique_ptr<MidiIn>> devices_;
  std::unique_ptr<MidiProfile[]> profiles_;
  int32_t profileCount_ = 0;
  MidiInEvent drained_[kMidiRing];
};
