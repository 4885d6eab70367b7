// Writes Standard MIDI Files for tests, so that a chart fixture reads as a few lines
// of code. Events are placed at absolute ticks; each track is written in tick order
// (events at one tick in the order they were added) with the deltas worked out.
// Only bytes come out: nothing here knows the game's chart reader.
//
//   testsupport::MidiFileBuilder midi(480);
//   midi.Track("tempo").Tempo(0, 500000).TimeSignature(0, 4, 2);
//   midi.Track("PART GUITAR").Note(0, 96, 240).Note(480, 97, 240);
//   std::string bytes = midi.Build();
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// The variable-length form of a number (one to four bytes for values below 2^28).
std::string MidiVarLen(uint32_t value);
// A chunk: 4-byte tag, big-endian 32-bit length, the body.
std::string MidiChunk(std::string_view tag, std::string_view body);
// The "MThd" chunk.
std::string MidiHeaderChunk(uint16_t format, uint16_t trackCount, uint16_t division);

class MidiTrackBuilder {
 public:
  // Channels are 1-16; data values are written as given (masked to a byte).
  MidiTrackBuilder& Name(std::string_view name, uint32_t tick = 0);
  MidiTrackBuilder& Text(uint32_t tick, std::string_view text);
  MidiTrackBuilder& Lyric(uint32_t tick, std::string_view text);
  MidiTrackBuilder& Meta(uint32_t tick, int type, std::string_view data);
  MidiTrackBuilder& Tempo(uint32_t tick, uint32_t microsecondsPerQuarter);
  MidiTrackBuilder& TimeSignature(uint32_t tick, int numerator, int denominatorPower, int clocks = 24,
                                  int thirtySeconds = 8);
  MidiTrackBuilder& KeySignature(uint32_t tick, int sharps, int minor);
  MidiTrackBuilder& NoteOn(uint32_t tick, int note, int velocity = 100, int channel = 1);
  MidiTrackBuilder& NoteOff(uint32_t tick, int note, int velocity = 0, int channel = 1);
  // A note on at `tick` and its end `length` ticks later (a note off, or a note on
  // of velocity 0 with ZeroVelocityNoteOff).
  MidiTrackBuilder& Note(uint32_t tick, int note, uint32_t length, int velocity = 100, int channel = 1);
  MidiTrackBuilder& Control(uint32_t tick, int controller, int value, int channel = 1);
  MidiTrackBuilder& Program(uint32_t tick, int program, int channel = 1);
  // 0xF0, the body's length, the body; the body carries its own closing 0xF7.
  MidiTrackBuilder& SysEx(uint32_t tick, std::string_view body);
  // The chart's own system-exclusive event: 'V' 'L' 0 0 difficulty type value 0xF7.
  MidiTrackBuilder& ChartSysEx(uint32_t tick, int difficulty, int type, int value);
  // The delta time and then these bytes exactly as given.
  MidiTrackBuilder& Raw(uint32_t tick, std::string_view bytes);

  // Leaves out the status byte of a channel message that repeats the previous
  // channel message's status, as most chart editors write (meta and system-exclusive
  // events in between do not break the run).
  MidiTrackBuilder& RunningStatus(bool on = true);
  MidiTrackBuilder& ZeroVelocityNoteOff(bool on = true);
  // Whether Bytes() ends with an end-of-track event at the last tick (default on).
  MidiTrackBuilder& EndOfTrack(bool on);

  // The chunk body: every event in tick order.
  std::string Bytes() const;

 private:
  struct Event {
    uint32_t tick;
    uint8_t status;     // channel-message status byte, 0 for other events
    std::string bytes;  // everything after the delta (status byte included)
  };
  MidiTrackBuilder& Add(uint32_t tick, uint8_t status, std::string bytes);
  MidiTrackBuilder& Channel(uint32_t tick, int kind, int channel, std::string data);

  std::vector<Event> events_;
  bool runningStatus_ = false;
  bool zeroVelocityOff_ = false;
  bool endOfTrack_ = true;
};

class MidiFileBuilder {
 public:
  explicit MidiFileBuilder(uint16_t division = 480, uint16_t format = 1);

  // A new track, at the end; named with a track-name event at tick 0 unless `name`
  // is empty. The reference stays valid while the builder lives.
  MidiTrackBuilder& Track(std::string_view name = {});
  // Writes this track count in the header instead of the real one.
  MidiFileBuilder& DeclaredTrackCount(uint16_t count);

  std::string Build() const;

 private:
  uint16_t division_;
  uint16_t format_;
  int declared_ = -1;
  std::deque<MidiTrackBuilder> tracks_;
};

}  // namespace testsupport
