// MIDI input under the game's MIDI-in layer, shaped like the system interface it
// stands in for: a numbered list of input devices with names, and per opened device
// the open / prepare-buffer / add-buffer / start / reset / close / unprepare steps,
// each answering 0 or an error code. Incoming data is handed to a sink on the back
// end's own thread: short messages packed as status | data1 << 8 | data2 << 16, and
// System Exclusive data in chunks of at most kSysexChunk bytes (the last chunk of a
// message ends with 0xF7). Active sensing, clock and the other system messages are
// delivered like any other. Back ends: RtMidi (rtmidi_backend.h) and a scripted one
// for tests (scripted_midi.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform::midi {

constexpr size_t kSysexChunk = 256;

// Error codes of the steps (0 is success).
constexpr int kErrBadDeviceId = 2;
constexpr int kErrNoDriver = 6;
constexpr int kErrAllocated = 4;
constexpr int kErrInvalidHandle = 5;
constexpr int kErrError = 1;

class MidiInSink {
 public:
  virtual ~MidiInSink() = default;
  // timeMs is platform::TimeGetTime() when the message arrived.
  virtual void OnShortMessage(uint32_t packed, uint32_t timeMs) = 0;
  virtual void OnSysexChunk(const uint8_t* data, size_t size, uint32_t timeMs) = 0;
};

class MidiInPort {
 public:
  virtual ~MidiInPort() = default;
  virtual int PrepareBuffer() = 0;
  virtual int AddBuffer() = 0;
  virtual int Start() = 0;
  // Stops delivery; no sink call begins after Reset returns.
  virtual int Reset() = 0;
  virtual int Close() = 0;
  virtual int UnprepareBuffer() = 0;
};

class MidiBackend {
 public:
  virtual ~MidiBackend() = default;
  // False when the system has no MIDI service at all; Status() then says why.
  virtual bool Available() = 0;
  virtual std::string Status() = 0;
  // Safe to call from any thread.
  virtual uint32_t NumInputs() = 0;
  // False when the id is not a device; name is UTF-8.
  virtual bool InputName(uint32_t id, std::string* name) = 0;
  // 0 and the opened port, or an error code.
  virtual int Open(uint32_t id, MidiInSink* sink, std::unique_ptr<MidiInPort>* port) = 0;
};

}  // namespace platform::midi
