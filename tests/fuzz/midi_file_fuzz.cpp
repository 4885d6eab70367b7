// The chart reader from any bytes: it must stay inside the buffer, end, and leave a
// chart whose lists and counts agree, with and without stop-when-complete.
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/log.h"
#include "song/midi_file.h"

namespace {

void CheckChart(const MidiFile& chart) {
  if (chart.header.trackCount > kMidiTrackSlots) __builtin_trap();
  for (int t = 0; t < kMidiTrackSlots; ++t) {
    const MidiTrack& track = chart.tracks[t];
    if (t >= chart.header.trackCount && track.events) __builtin_trap();
    if (track.name.size() > kMidiTextMax) __builtin_trap();
    int32_t count = 0;
    const MidiEvent* prev = nullptr;
    for (const MidiEvent* e = track.events; e; e = e->next()) {
      if (e->prev() != prev || track.IndexOf(e) != count || e->text().size() > kMidiTextMax) __builtin_trap();
      prev = e;
      ++count;
    }
    if (count != track.eventCount || prev != track.lastEvent) __builtin_trap();
  }
  if (chart.sectionCount < 0 || chart.sectionCount > kChartSectionSlots) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    // Damaged input logs on every run: send the log where no file can be made, so
    // that it neither fills the disk nor slows the runs.
    SetLogFolder(u"/dev/null/velorin_midi_fuzz");
    std::freopen("/dev/null", "w", stdout);  // the log copies every line to the console
    return true;
  }();
  (void)quiet;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  static MidiFile chart;  // reused, as a song reloads its chart
  for (bool stop : {false, true}) {
    chart.LoadFromBytes(stop, bytes);
    chart.ReadSections();
    CheckChart(chart);
    for (int i = -1; i <= 15; ++i) {
      for (int part = -1; part <= 4; ++part) {
        const int32_t found = chart.FindTrack(i, part);
        if (found >= chart.header.trackCount) __builtin_trap();
      }
    }
    for (int i = 0; i < chart.sectionCount; ++i) {
      const float ms = chart.sections[i].timeMs;
      if (ms != ms) __builtin_trap();  // a time that is not a number
    }
    (void)chart.TickToMs(uint64_t(size) * 1000);
  }
  return 0;
}
