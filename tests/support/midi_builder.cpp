#include "tests/support/midi_builder.h"

#include <algorithm>

namespace testsupport {

namespace {

char Byte(int value) { return static_cast<char>(value & 0xFF); }

void AppendBigEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += Byte(int(value >> (8 * i)));
}

}  // namespace

std::string MidiVarLen(uint32_t value) {
  std::string out(1, Byte(value & 0x7F));
  value >>= 7;
  while (value != 0) {
    out.insert(out.begin(), Byte(0x80 | (value & 0x7F)));
    value >>= 7;
  }
  return out;
}

std::string MidiChunk(std::string_view tag, std::string_view body) {
  std::string out(tag.substr(0, 4));
  out.resize(4, ' ');
  AppendBigEndian(out, uint32_t(body.size()), 4);
  out += body;
  return out;
}

std::string MidiHeaderChunk(uint16_t format, uint16_t trackCount, uint16_t division) {
  std::string body;
  AppendBigEndian(body, format, 2);
  AppendBigEndian(body, trackCount, 2);
  AppendBigEndian(body, division, 2);
  return MidiChunk("MThd", body);
}

MidiTrackBuilder& MidiTrackBuilder::Add(uint32_t tick, uint8_t status, std::string bytes) {
  events_.push_back({tick, status, std::move(bytes)});
  return *this;
}

MidiTrackBuilder& MidiTrackBuilder::Channel(uint32_t tick, int kind, int channel, std::string data) {
  const uint8_t status = uint8_t(kind | ((channel - 1) & 0x0F));
  return Add(tick, status, std::string(1, Byte(status)) + data);
}

MidiTrackBuilder& MidiTrackBuilder::Meta(uint32_t tick, int type, std::string_view data) {
  std::string bytes = "\xFF";
  bytes += Byte(type);
  bytes += MidiVarLen(uint32_t(data.size()));
  bytes += data;
  return Add(tick, 0, std::move(bytes));
}

MidiTrackBuilder& MidiTrackBuilder::Name(std::string_view name, uint32_t tick) { return Meta(tick, 0x03, name); }
MidiTrackBuilder& MidiTrackBuilder::Text(uint32_t tick, std::string_view text) { return Meta(tick, 0x01, text); }
MidiTrackBuilder& MidiTrackBuilder::Lyric(uint32_t tick, std::string_view text) { return Meta(tick, 0x05, text); }

MidiTrackBuilder& MidiTrackBuilder::Tempo(uint32_t tick, uint32_t microsecondsPerQuarter) {
  std::string data;
  AppendBigEndian(data, microsecondsPerQuarter, 3);
  return Meta(tick, 0x51, data);
}

MidiTrackBuilder& MidiTrackBuilder::TimeSignature(uint32_t tick, int numerator, int denominatorPower, int clocks,
                                                  int thirtySeconds) {
  const std::string data{Byte(numerator), Byte(denominatorPower), Byte(clocks), Byte(thirtySeconds)};
  return Meta(tick, 0x58, data);
}

MidiTrackBuilder& MidiTrackBuilder::KeySignature(uint32_t tick, int sharps, int minor) {
  const std::string data{Byte(sharps), Byte(minor)};
  return Meta(tick, 0x59, data);
}

MidiTrackBuilder& MidiTrackBuilder::NoteOn(uint32_t tick, int note, int velocity, int channel) {
  return Channel(tick, 0x90, channel, std::string{Byte(note), Byte(velocity)});
}

MidiTrackBuilder& MidiTrackBuilder::NoteOff(uint32_t tick, int note, int velocity, int channel) {
  return Channel(tick, 0x80, channel, std::string{Byte(note), Byte(velocity)});
}

MidiTrackBuilder& MidiTrackBuilder::Note(uint32_t tick, int note, uint32_t length, int velocity, int channel) {
  NoteOn(tick, note, velocity, channel);
  return zeroVelocityOff_ ? NoteOn(tick + length, note, 0, channel) : NoteOff(tick + length, note, 0, channel);
}

MidiTrackBuilder& MidiTrackBuilder::Control(uint32_t tick, int controller, int value, int channel) {
  return Channel(tick, 0xB0, channel, std::string{Byte(controller), Byte(value)});
}

MidiTrackBuilder& MidiTrackBuilder::Program(uint32_t tick, int program, int channel) {
  return Channel(tick, 0xC0, channel, std::string{Byte(program)});
}

MidiTrackBuilder& MidiTrackBuilder::SysEx(uint32_t tick, std::string_view body) {
  std::string bytes = "\xF0";
  bytes += MidiVarLen(uint32_t(body.size()));
  bytes += body;
  return Add(tick, 0, std::move(bytes));
}

MidiTrackBuilder& MidiTrackBuilder::ChartSysEx(uint32_t tick, int difficulty, int type, int value) {
  const std::string body{'V', 'L', '\0', '\0', Byte(difficulty), Byte(type), Byte(value), Byte(0xF7)};
  return SysEx(tick, body);
}

MidiTrackBuilder& MidiTrackBuilder::Raw(uint32_t tick, std::string_view bytes) {
  return Add(tick, 0, std::string(bytes));
}

MidiTrackBuilder& MidiTrackBuilder::RunningStatus(bool on) {
  runningStatus_ = on;
  return *this;
}

MidiTrackBuilder& MidiTrackBuilder::ZeroVelocityNoteOff(bool on) {
  zeroVelocityOff_ = on;
  return *this;
}

MidiTrackBuilder& MidiTrackBuilder::EndOfTrack(bool on) {
  endOfTrack_ = on;
  return *this;
}

std::string MidiTrackBuilder::Bytes() const {
  std::vector<const Event*> order;
  order.reserve(events_.size());
  for (const Event& e : events_) order.push_back(&e);
  std::stable_sort(order.begin(), order.end(), [](const Event* a, const Event* b) { return a->tick < b->tick; });

  std::string out;
  uint32_t tick = 0;
  uint8_t lastStatus = 0;
  for (const Event* e : order) {
    out += MidiVarLen(e->tick - tick);
    tick = e->tick;
    if (e->status != 0 && runningStatus_ && e->status == lastStatus) {
      out.append(e->bytes, 1, std::string::npos);
    } else {
      out += e->bytes;
    }
    if (e->status != 0) lastStatus = e->status;
  }
  if (endOfTrack_) out += std::string("\x00\xFF\x2F\x00", 4);
  return out;
}

MidiFileBuilder::MidiFileBuilder(uint16_t division, uint16_t format) : division_(division), format_(format) {}

MidiTrackBuilder& MidiFileBuilder::Track(std::string_view name) {
  MidiTrackBuilder& track = tracks_.emplace_back();
  if (!name.empty()) track.Name(name);
  return track;
}

MidiFileBuilder& MidiFileBuilder::DeclaredTrackCount(uint16_t count) {
  declared_ = count;
  return *this;
}

std::string MidiFileBuilder::Build() const {
  const uint16_t count = declared_ >= 0 ? uint16_t(declared_) : uint16_t(tracks_.size());
  std::string out = MidiHeaderChunk(format_, count, division_);
  for (const MidiTrackBuilder& track : tracks_) out += MidiChunk("MTrk", track.Bytes());
  return out;
}

}  // namespace testsupport
