// A chart as chart editors write one: a named tempo track with a port meta event,
// parts in the common note ranges written with running status and velocity-0 note
// offs (or with true note offs), energy phrases at 116 or, in older charts, at 103,
// solos, drum tom markers, lyrics and the events track. Every expected number below
// was counted by hand from the fixture.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "song/midi_file.h"
#include "tests/support/midi_builder.h"
#include "tests/support/test_support.h"

using testsupport::MidiFileBuilder;

namespace {

using Flags = std::array<bool, 5>;
using Counts = std::array<uint32_t, 5>;

std::string EditorChart() {
  MidiFileBuilder midi(480);
  midi.Track("My Song")
      .Meta(0, 0x21, std::string(1, '\0'))  // port prefix, as exports carry
      .Tempo(0, 500000)
      .TimeSignature(0, 4, 2)
      .Tempo(3840, 600000);

  // Guitar: running status, velocity-0 note offs; text first at the solo's tick.
  auto& g = midi.Track("PART GUITAR").RunningStatus().ZeroVelocityNoteOff();
  g.Text(0, "[idle]").Text(1920, "[play]");
  g.Note(0, 116, 1920);                                        // energy phrase, bar 1
  const int expertBar1[] = {96, 97, 98, 99, 100, 99, 98, 97};  // eighth notes
  for (int i = 0; i < 8; ++i) g.Note(uint32_t(i) * 240, expertBar1[i], i == 7 ? 240 : 120);
  g.Note(240, 101, 120);                                       // forced-strum marker, no gem
  for (int i = 0; i < 4; ++i) g.Note(uint32_t(i) * 480, 84 + i, 240);  // hard
  g.Note(0, 72, 240).Note(960, 74, 240);                       // medium
  g.Note(0, 60, 480);                                          // easy
  // Bar 2 is a solo: 2 + 2 + 1 + 1 expert notes, 2 hard, 1 medium, no easy.
  g.Note(1920, 96, 120).Note(1920, 98, 120).Note(1920, 103, 1920);
  g.Note(2400, 97, 120).Note(2400, 99, 120);
  g.ChartSysEx(2880, 3, 1, 1).Note(2880, 100, 120).Note(3360, 96, 120);
  g.Note(1920, 88, 240).Note(2880, 84, 240);
  g.Note(1920, 76, 480);

  // Drums: true note offs, no running status.
  auto& d = midi.Track("PART DRUMS");
  d.Text(0, "[mix 3 drums0]");
  for (int i = 0; i < 8; ++i) d.Note(uint32_t(i) * 240, i % 2 ? 97 : 96, 60);
  d.Note(0, 95, 60).Note(480, 95, 60);                         // double kick
  d.Note(0, 110, 960).Note(960, 111, 960);                     // tom markers
  d.Note(0, 60, 60).Note(480, 61, 60).Note(0, 72, 60).Note(0, 84, 60);
  d.Note(1920, 116, 960).Note(1920, 103, 1920);                // energy, solo
  d.Note(1920, 98, 60).Note(2400, 99, 60).Note(2880, 100, 60).Note(3360, 96, 60).Note(3360, 95, 60);

  // Bass from an older chart: 103 marks the energy phrases, no 116 anywhere.
  auto& b = midi.Track("PART BASS").ZeroVelocityNoteOff();
  b.Note(0, 103, 960);
  for (int i = 0; i < 4; ++i) b.Note(uint32_t(i) * 480, 96 + i, 240);
  b.Note(0, 84, 240).Note(960, 86, 240);

  auto& v = midi.Track("PART VOCALS").RunningStatus().ZeroVelocityNoteOff();
  v.Note(0, 105, 1800);
  const char* words[] = {"Hel-", "lo", "world", "now"};
  for (int i = 0; i < 4; ++i) v.Note(uint32_t(i) * 480, 60 + 2 * i, 400).Lyric(uint32_t(i) * 480, words[i]);

  // Pro guitar: velocity 100 + fret, channel 2 notes are ghost notes.
  auto& r = midi.Track("PART REAL_GUITAR");
  r.Note(0, 115, 1920);
  r.Note(0, 96, 120, 103, 1).Note(480, 97, 120, 105, 1).Note(960, 98, 120, 100, 2).Note(1440, 99, 120, 107, 1);
  r.Note(0, 24, 120, 100, 1).Note(0, 48, 120, 100, 1).Note(0, 72, 120, 100, 1);

  midi.Track("EVENTS")
      .Text(0, "[music_start]")
      .Text(0, "[section Intro]")
      .Text(1920, "[section Verse 1]")
      .Text(3840, "[prc_chorus_1]")
      .Text(7680, "[end]");
  return midi.Build();
}

// Note ons per difficulty range of a five-lane part (60-64, 72-76, 84-88, 96-100).
std::array<int, 4> FiveLaneNoteOns(const MidiTrack& track) {
  std::array<int, 4> out{};
  for (const MidiEvent* e = track.events; e; e = e->next()) {
    if (e->kind() != kMidiNoteOn) continue;
    for (int d = 0; d < 4; ++d) {
      if (e->data1() >= 60 + 12 * d && e->data1() <= 64 + 12 * d) ++out[d];
    }
  }
  return out;
}

int CountKind(const MidiTrack& track, int32_t kind) {
  int n = 0;
  for (const MidiEvent* e = track.events; e; e = e->next()) n += e->kind() == kind;
  return n;
}

const MidiEvent* FirstNoteOn(const MidiTrack& track, int note) {
  for (const MidiEvent* e = track.events; e; e = e->next()) {
    if (e->kind() == kMidiNoteOn && e->data1() == note) return e;
  }
  return nullptr;
}

}  // namespace

TEST(ChartRealistic, EditorChartReadsAsCountedByHand) {
  testsupport::TempDir dir;
  dir.WriteBytes("Song/notes.mid", EditorChart());
  MidiFile chart;
  ASSERT_TRUE(chart.Load(false, dir.WPath("Song/notes.mid")));
  ASSERT_EQ(chart.header.trackCount, 7);
  EXPECT_EQ(chart.header.division, 480);
  EXPECT_EQ(chart.tracks[0].name, "My Song");

  const int guitarIndex = chart.FindTrack(Instrument::guitar, 0);
  ASSERT_EQ(guitarIndex, 1);
  const MidiTrack& guitar = chart.tracks[guitarIndex];
  EXPECT_EQ(FiveLaneNoteOns(guitar), (std::array<int, 4>{1, 3, 6, 14}));
  // 14 + 6 + 3 + 1 gems, the forced-strum marker, 116 and 103: every one ended.
  EXPECT_EQ(CountKind(guitar, kMidiNoteOn), 27);
  EXPECT_EQ(CountKind(guitar, kMidiNoteOff), 27);
  EXPECT_EQ(CountKind(guitar, kMidiSysEx), 1);
  EXPECT_EQ(guitar.difficultyPresent, (Flags{true, true, true, true, true}));
  EXPECT_TRUE(guitar.complete);
  EXPECT_EQ(guitar.energyNote, 116);
  EXPECT_EQ(FirstNoteOn(guitar, 103)->spanNotes(), (Counts{0, 1, 2, 6, 6}));

  const MidiTrack& drums = chart.tracks[chart.FindTrack(Instrument::drums, 0)];
  EXPECT_EQ(chart.FindTrack(Instrument::drums_adv, 0), 2);
  EXPECT_TRUE(drums.hasTomMarkers);
  EXPECT_TRUE(drums.complete);
  EXPECT_EQ(drums.energyNote, 116);
  EXPECT_EQ(FirstNoteOn(drums, 103)->spanNotes(), (Counts{0, 0, 0, 4, 5}));
  EXPECT_EQ(CountKind(drums, kMidiNoteOn), 23);
  EXPECT_EQ(CountKind(drums, kMidiNoteOff), 23);

  const MidiTrack& bass = chart.tracks[chart.FindTrack(Instrument::bass, 0)];
  EXPECT_EQ(bass.difficultyPresent, (Flags{false, false, true, true, true}));
  EXPECT_FALSE(bass.complete);
  EXPECT_EQ(bass.energyNote, 103);  // so 103 marks energy here, not a solo
  EXPECT_EQ(FiveLaneNoteOns(bass), (std::array<int, 4>{0, 0, 2, 4}));

  const MidiTrack& vocals = chart.tracks[chart.FindTrack(Instrument::vocals, 0)];
  EXPECT_TRUE(vocals.complete);
  EXPECT_EQ(CountKind(vocals, kMetaLyric), 4);
  EXPECT_EQ(CountKind(vocals, kMidiNoteOn), 5);
  const MidiEvent* lyric = vocals.events;
  while (lyric && lyric->kind() != kMetaLyric) lyric = lyric->next();
  ASSERT_NE(lyric, nullptr);
  EXPECT_EQ(lyric->text(), "Hel-");

  const MidiTrack& real = chart.tracks[chart.FindTrack(Instrument::guitar_real, 1)];
  EXPECT_EQ(real.difficultyPresent, (Flags{true, true, true, true, false}));
  EXPECT_TRUE(real.complete);
  EXPECT_EQ(FirstNoteOn(real, 115)->spanNotes(), (Counts{1, 1, 1, 3, 0}));
  EXPECT_EQ(FirstNoteOn(real, 97)->data2(), 105);
  EXPECT_EQ(FirstNoteOn(real, 98)->channel(), 2);

  ASSERT_TRUE(chart.ReadSections());
  ASSERT_EQ(chart.sectionCount, 3);
  EXPECT_EQ(chart.sections[0].name, "Intro");
  EXPECT_EQ(chart.sections[0].timeMs, 0.0f);
  EXPECT_EQ(chart.sections[1].name, "Verse 1");
  EXPECT_FLOAT_EQ(chart.sections[1].timeMs, 2000.0f);
  EXPECT_EQ(chart.sections[2].name, "chorus_1");
  EXPECT_FLOAT_EQ(chart.sections[2].timeMs, 4000.0f);
  EXPECT_EQ(chart.sections[2].tick, 3840.0f);
  EXPECT_FLOAT_EQ(chart.TickToMs(7680), 4000.0f + 8 * 600.0f);

  // The port prefix of the tempo track is logged and passed over.
  const auto lines = dir.GameLogTexts();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ERROR: UNKNOWN META-EVENT: 33"), lines.end());

  // A scan that stops when complete finds the same parts and difficulties.
  MidiFile scan;
  ASSERT_TRUE(scan.Load(true, dir.WPath("Song/notes.mid")));
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(scan.tracks[i].difficultyPresent, chart.tracks[i].difficultyPresent) << i;
    EXPECT_EQ(scan.tracks[i].complete, chart.tracks[i].complete) << i;
  }
  EXPECT_LT(scan.tracks[guitarIndex].eventCount, guitar.eventCount);
}
