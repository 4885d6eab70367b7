#include "dense_chart.h"

#include <algorithm>
#include <vector>

namespace bench {
namespace {

std::string VarLen(uint32_t value) {
  std::string out(1, static_cast<char>(value & 0x7F));
  for (value >>= 7; value != 0; value >>= 7) out.insert(out.begin(), static_cast<char>(0x80 | (value & 0x7F)));
  return out;
}

std::string Chunk(const char* tag, const std::string& body) {
  std::string out(tag, 4);
  const uint32_t n = static_cast<uint32_t>(body.size());
  for (int i = 3; i >= 0; --i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
  return out + body;
}

struct TimedEvent {
  uint32_t tick;
  std::string bytes;
};

std::string TrackBytes(const std::string& name, std::vector<TimedEvent> events) {
  std::stable_sort(events.begin(), events.end(), [](const TimedEvent& a, const TimedEvent& b) { return a.tick < b.tick; });
  std::string out = VarLen(0) + "\xFF\x03" + VarLen(static_cast<uint32_t>(name.size())) + name;
  uint32_t last = 0;
  for (const TimedEvent& e : events) {
    out += VarLen(e.tick - last) + e.bytes;
    last = e.tick;
  }
  out += VarLen(0) + std::string("\xFF\x2F\x00", 3);
  return Chunk("MTrk", out);
}

std::string NoteOn(int note, int velocity, int channel = 1) {
  return {static_cast<char>(0x90 | (channel - 1)), static_cast<char>(note), static_cast<char>(velocity)};
}
std::string NoteOff(int note, int channel = 1) {
  return {static_cast<char>(0x80 | (channel - 1)), static_cast<char>(note), 0};
}

// A dense expert part: a note every sixteenth (120 ticks) for `steps` steps.
std::string DensePart(const std::string& name, int base, int width, bool pro, uint32_t steps) {
  std::vector<TimedEvent> ev;
  uint32_t seed = 12345;
  for (uint32_t s = 0; s < steps; ++s) {
    const uint32_t tick = 1920 + s * 120;
    seed = seed * 1103515245u + 12345u;
    const int lane = static_cast<int>((seed >> 16) % static_cast<uint32_t>(width));
    const bool chord = (seed >> 8) % 5 == 0;
    const uint32_t length = (seed >> 4) % 7 == 0 ? 480 : 60;
    const int velocity = pro ? 100 + static_cast<int>((seed >> 12) % 12) : 100;
    ev.push_back({tick, NoteOn(base + lane, velocity)});
    ev.push_back({tick + length, NoteOff(base + lane)});
    if (chord) {
      const int other = base + (lane + 2) % width;
      ev.push_back({tick, NoteOn(other, velocity)});
      ev.push_back({tick + length, NoteOff(other)});
    }
    if (s % 64 == 0) {
      ev.push_back({tick, NoteOn(116, 100)});
      ev.push_back({tick + 16 * 120, NoteOff(116)});
    }
    if (s % 512 == 256) {
      ev.push_back({tick, NoteOn(pro ? 115 : 103, 100)});
      ev.push_back({tick + 64 * 120, NoteOff(pro ? 115 : 103)});
    }
  }
  return TrackBytes(name, ev);
}

}  // namespace

std::string DenseChart(uint32_t steps) {
  std::string tempo = TrackBytes("tempo", {{0, std::string("\xFF\x51\x03\x05\xB8\xD8", 6)},  // 375000 us
                                           {0, std::string("\xFF\x58\x04\x04\x02\x18\x08", 7)}});
  std::string header = Chunk("MThd", std::string("\x00\x01\x00\x07\x01\xE0", 6));  // 7 tracks, 480
  return header + tempo + DensePart("PART GUITAR", 96, 5, false, steps) + DensePart("PART BASS", 96, 5, false, steps) +
         DensePart("PART RHYTHM", 96, 5, false, steps) + DensePart("PART KEYS", 96, 5, false, steps) +
         DensePart("PART DRUMS", 96, 5, false, steps) + DensePart("PART REAL_GUITAR", 96, 6, true, steps);
}

}  // namespace bench
