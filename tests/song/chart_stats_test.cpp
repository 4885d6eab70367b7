// The chart statistics gathered while notes are decoded (difficulties present,
// completeness, solo span counts, energy note, tom markers) and the practice
// sections of the "EVENTS" track.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "song/midi_file.h"
#include "tests/support/midi_builder.h"
#include "tests/support/test_support.h"

using testsupport::MidiFileBuilder;
using testsupport::MidiTrackBuilder;

namespace {

std::unique_ptr<MidiFile> Read(const std::string& bytes, bool stop = false) {
  auto chart = std::make_unique<MidiFile>();
  chart->LoadFromBytes(stop, bytes);
  return chart;
}

using Flags = std::array<bool, 5>;
using Counts = std::array<uint32_t, 5>;

// The note-on event of `note` that comes `nth` (from 0) in the track.
const MidiEvent* FindNoteOn(const MidiTrack& track, int note, int nth = 0) {
  for (const MidiEvent* e = track.events; e; e = e->next()) {
    if (e->kind() == kMidiNoteOn && e->data1() == note && nth-- == 0) return e;
  }
  return nullptr;
}

}  // namespace

TEST(ChartStats, EveryNoteNumberMapsToItsDifficulty) {
  struct Family {
    const char* track;
    // The inclusive note range of each difficulty 0-3, and whether the expert range
    // and note 95 set the fifth flag.
    int ranges[4][2];
    bool expertSetsFifth;
    bool note95SetsFifth;
  } families[] = {
      {"PART GUITAR", {{60, 64}, {72, 76}, {84, 88}, {96, 100}}, true, false},
      {"PART DRUMS", {{60, 65}, {72, 77}, {84, 89}, {96, 101}}, false, true},
      {"PART REAL_BASS", {{24, 29}, {48, 53}, {72, 77}, {96, 101}}, false, false},
      {"PART VOCALS", {{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}, false, false},
  };
  for (const Family& f : families) {
    for (int note = 0; note < 128; ++note) {
      SCOPED_TRACE(std::string(f.track) + " note " + std::to_string(note));
      Flags expected{};
      for (int d = 0; d < 4; ++d) {
        if (note >= f.ranges[d][0] && note <= f.ranges[d][1]) {
          expected[d] = true;
          if (d == 3 && f.expertSetsFifth) expected[4] = true;
        }
      }
      if (note == 95 && f.note95SetsFifth) expected[4] = true;
      MidiFileBuilder midi;
      midi.Track(f.track).NoteOn(0, note);
      EXPECT_EQ(Read(midi.Build())->tracks[0].difficultyPresent, expected);
    }
  }
}

TEST(ChartStats, FiveLaneCompletesOnlyWithEveryRange) {
  for (const char* name : {"PART GUITAR", "PART BASS", "T1 GEMS", "PART RHYTHM", "PART GUITAR COOP", "PART DANCE",
                           "PART KEYS"}) {
    SCOPED_TRACE(name);
    MidiFileBuilder midi;
    midi.Track(name).Note(0, 96, 10).Note(20, 100, 10).Note(40, 65, 10).Note(60, 101, 10);
    auto chart = Read(midi.Build(), true);
    const MidiTrack& expertOnly = chart->tracks[0];
    EXPECT_EQ(expertOnly.family(), ChartFamily::kFiveLane);
    EXPECT_EQ(expertOnly.difficultyPresent, (Flags{false, false, false, true, true}));
    EXPECT_FALSE(expertOnly.complete);
    EXPECT_EQ(expertOnly.eventCount, 10);  // never complete, so decoded to the end

    MidiFileBuilder all;
    all.Track(name).Note(0, 96, 10).Note(20, 64, 10).Note(40, 76, 10).Note(60, 84, 10).Note(80, 60, 10);
    chart = Read(all.Build(), true);
    const MidiTrack& track = chart->tracks[0];
    EXPECT_TRUE(track.complete);
    EXPECT_EQ(track.difficultyPresent, (Flags{true, true, true, true, true}));
    // Stopped at the note on of 84, the first event after which every range was seen.
    EXPECT_EQ(track.eventCount, 8);
    EXPECT_EQ(track.lastEvent->data1(), 84);

    // Without the option the same track is decoded whole.
    EXPECT_EQ(Read(all.Build(), false)->tracks[0].eventCount, 12);
  }
}

TEST(ChartStats, DrumsNeedNote95AndMarkTomNotes) {
  for (const char* name : {"PART DRUMS", "PART DRUM", "PART REAL_DRUMS_VL"}) {
    SCOPED_TRACE(name);
    MidiFileBuilder midi;
    midi.Track(name).Note(0, 65, 10).Note(10, 77, 10).Note(20, 89, 10).Note(30, 101, 10).Note(40, 111, 10);
    auto chart = Read(midi.Build(), true);
    const MidiTrack& noKick = chart->tracks[0];
    EXPECT_EQ(noKick.difficultyPresent, (Flags{true, true, true, true, false}));
    EXPECT_FALSE(noKick.complete);
    EXPECT_TRUE(noKick.hasTomMarkers);

    MidiFileBuilder kick;
    kick.Track(name).Note(0, 60, 10).Note(10, 72, 10).Note(20, 84, 10).Note(30, 96, 10).NoteOff(40, 95);
    chart = Read(kick.Build(), true);
    EXPECT_TRUE(chart->tracks[0].complete);  // a note off sets presence as well
    EXPECT_FALSE(chart->tracks[0].hasTomMarkers);
  }
  // A five-lane track has no note 65 gem and no tom markers.
  MidiFileBuilder midi;
  midi.Track("PART GUITAR").Note(0, 65, 10).Note(10, 110, 10);
  const auto chart = Read(midi.Build());
  EXPECT_EQ(chart->tracks[0].difficultyPresent, (Flags{}));
  EXPECT_FALSE(chart->tracks[0].hasTomMarkers);
}

TEST(ChartStats, ProStringsSkipChannelTwoInCountsAndHaveNoFifthFlag) {
  for (const char* name : {"PART REAL_GUITAR", "PART REAL_GUITAR_22", "PART REAL_BASS", "PART REAL_BASS_22"}) {
    SCOPED_TRACE(name);
    MidiFileBuilder midi;
    auto& t = midi.Track(name);
    t.Note(0, 115, 1000)                  // solo span
        .Note(0, 96, 10, 103, 1)          // counted
        .Note(20, 101, 10, 100, 2)        // channel 2: presence only
        .Note(40, 97, 10, 105, 3)         // counted
        .Note(60, 103, 10)                // not a solo marker here, not a gem
        .Note(80, 24, 10, 100, 2);        // presence of easy only
    const auto chart = Read(midi.Build());
    const MidiTrack& track = chart->tracks[0];
    EXPECT_EQ(track.family(), ChartFamily::kProStrings);
    EXPECT_EQ(track.difficultyPresent, (Flags{true, false, false, true, false}));
    EXPECT_FALSE(track.complete);
    const MidiEvent* solo = FindNoteOn(track, 115);
    ASSERT_NE(solo, nullptr);
    EXPECT_EQ(solo->spanNotes(), (Counts{0, 0, 0, 2, 0}));

    MidiFileBuilder all;
    all.Track(name).Note(0, 29, 10).Note(10, 48, 10).Note(20, 77, 10).Note(30, 96, 10);
    EXPECT_TRUE(Read(all.Build())->tracks[0].complete);
  }
}

TEST(ChartStats, OtherTracksCompleteAtTheirFirstNoteUnlessUnnamed) {
  MidiFileBuilder midi;
  midi.Track("PART VOCALS").Note(0, 50, 10).Note(20, 52, 10).Lyric(20, "la");
  midi.Track("VENUE").Text(0, "[lighting ()]").Note(10, 40, 10).Note(20, 41, 10);
  midi.Track().Note(0, 60, 10).Note(20, 62, 10);
  const auto stopped = Read(midi.Build(), true);
  EXPECT_TRUE(stopped->tracks[0].complete);
  EXPECT_EQ(stopped->tracks[0].eventCount, 2);  // name, first note
  EXPECT_EQ(stopped->tracks[0].difficultyPresent, (Flags{}));
  EXPECT_EQ(stopped->tracks[1].eventCount, 3);
  EXPECT_FALSE(stopped->tracks[2].complete);
  EXPECT_EQ(stopped->tracks[2].eventCount, 5);

  const auto full = Read(midi.Build(), false);
  EXPECT_TRUE(full->tracks[0].complete);
  EXPECT_EQ(full->tracks[0].eventCount, 7);
}

TEST(ChartStats, SoloSpansCountTheNotesOfTheirTickOnward) {
  MidiFileBuilder midi;
  auto& t = midi.Track("PART GUITAR");
  t.Note(0, 60, 10)                     // before the span, another tick
      .Note(100, 96, 10)                // two expert notes at the marker's tick, before it
      .Note(100, 97, 10)
      .Note(100, 103, 500)              // span 100-600
      .Note(100, 84, 10)                // at the same tick, after the marker
      .Note(200, 98, 10)
      .Note(200, 72, 10)
      .NoteOff(300, 99)                 // a note off: presence, no count
      .Note(700, 96, 10)                // after the span
      .Note(800, 116, 10);
  const auto chart = Read(midi.Build());
  const MidiTrack& track = chart->tracks[0];
  const MidiEvent* solo = FindNoteOn(track, 103);
  ASSERT_NE(solo, nullptr);
  // Expert counts also into index 4; hard and medium only into their own.
  EXPECT_EQ(solo->spanNotes(), (Counts{0, 1, 1, 3, 3}));
  EXPECT_EQ(track.openSolo, nullptr);
  EXPECT_EQ(track.energyNote, 116);
  // Only the note ons of the last tick are in the tick counts.
  EXPECT_EQ(track.tickNotes, (Counts{}));

  // Drums: note 95 counts into index 4 only, expert into 3 and 4.
  MidiFileBuilder drums;
  drums.Track("PART DRUMS").Note(0, 103, 100).Note(0, 95, 10).Note(10, 96, 10).Note(20, 100, 10).Note(30, 66, 10);
  const auto d = Read(drums.Build());
  EXPECT_EQ(FindNoteOn(d->tracks[0], 103)->spanNotes(), (Counts{0, 0, 0, 2, 3}));
  EXPECT_EQ(d->tracks[0].energyNote, 103);
}

TEST(ChartStats, EnergyNoteBecomes116OnANoteOffToo) {
  MidiFileBuilder midi;
  midi.Track("PART BASS").Note(0, 96, 10).NoteOff(20, 116);
  midi.Track("EVENTS").Note(0, 116, 10);
  const auto chart = Read(midi.Build());
  EXPECT_EQ(chart->tracks[0].energyNote, 116);
  EXPECT_EQ(chart->tracks[1].energyNote, 116);
}

TEST(ChartStats, TickCountsResetAtANewTickEvenWhenAnotherEventCarriesTheDelta) {
  // At tick 480 a text event and a system-exclusive event come first and carry the
  // delta; the notes there have delta 0. The marker must see only the two notes of
  // tick 480, not the three of tick 0.
  MidiFileBuilder midi;
  midi.Track("PART GUITAR")
      .NoteOn(0, 96)
      .NoteOn(0, 97)
      .NoteOn(0, 98)
      .Text(480, "[play]")
      .ChartSysEx(480, 3, 1, 1)
      .NoteOn(480, 99)
      .NoteOn(480, 100)
      .NoteOn(480, 103);
  const auto chart = Read(midi.Build());
  EXPECT_EQ(FindNoteOn(chart->tracks[0], 103)->spanNotes(), (Counts{0, 0, 0, 2, 2}));
}

TEST(ChartStats, StopWhenCompleteGivesTheSameAvailability) {
  MidiFileBuilder midi;
  midi.Track("song").Tempo(0, 500000);
  auto& guitar = midi.Track("PART GUITAR");
  auto& drums = midi.Track("PART DRUMS");
  auto& keys = midi.Track("PART KEYS");
  auto& real = midi.Track("PART REAL_GUITAR");
  for (uint32_t i = 0; i < 200; ++i) {
    const uint32_t tick = i * 120;
    guitar.Note(tick, 60 + 12 * (i % 4) + int(i % 5), 60);
    drums.Note(tick, i % 7 == 0 ? 95 : 60 + 12 * (i % 4) + int(i % 6), 60);
    keys.Note(tick, 96 + int(i % 5), 60);  // expert only
    real.Note(tick, 24 + 24 * int(i % 3) + int(i % 6), 60, 100 + int(i % 22), 1 + int(i % 3));
  }
  const auto full = Read(midi.Build(), false);
  const auto scan = Read(midi.Build(), true);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(scan->tracks[i].difficultyPresent, full->tracks[i].difficultyPresent);
    EXPECT_EQ(scan->tracks[i].complete, full->tracks[i].complete);
  }
  EXPECT_TRUE(full->tracks[1].complete);
  EXPECT_TRUE(full->tracks[2].complete);
  EXPECT_FALSE(full->tracks[3].complete);
  EXPECT_FALSE(full->tracks[4].complete);  // the expert range never comes
  EXPECT_LT(scan->tracks[1].eventCount, full->tracks[1].eventCount);
  EXPECT_EQ(scan->tracks[3].eventCount, full->tracks[3].eventCount);
}

TEST(ChartSections, NamesFromSectionAndPracticeMarkers) {
  MidiFileBuilder midi(480);
  midi.Track("song").Tempo(0, 500000).Tempo(1920, 250000);
  midi.Track("EVENTS")
      .Text(0, "[music_start]")
      .Text(960, "[section verse 1]")
      .Text(1920, "[prc_chorus_a]")
      .Text(2400, "[section bridge] extra]")
      .Text(2400, "[section no end")
      .Lyric(2400, "[section lyric]")
      .Text(2880, "[prc_]")
      .Text(2880, "[Section caps]")
      .Text(3360, "[end]");
  const auto chart = Read(midi.Build());
  ASSERT_TRUE(chart->ReadSections());
  struct Expected {
    const char* name;
    float ms;
    float tick;
  } expected[] = {
      {"verse 1", 1000.0f, 960.0f},
      {"chorus_a", 2000.0f, 1920.0f},
      {"bridge", 2250.0f, 2400.0f},
      {"", 2500.0f, 2880.0f},
  };
  ASSERT_EQ(chart->sectionCount, 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(chart->sections[i].name, expected[i].name);
    EXPECT_FLOAT_EQ(chart->sections[i].timeMs, expected[i].ms);
    EXPECT_EQ(chart->sections[i].tick, expected[i].tick);
  }
  // Reading again gives the same sections, not twice as many.
  ASSERT_TRUE(chart->ReadSections());
  EXPECT_EQ(chart->sectionCount, 4);
}

TEST(ChartSections, AtMostOneHundredAndNoTimesWithoutTempo) {
  MidiFileBuilder midi(480);
  midi.Track("song");
  auto& events = midi.Track("EVENTS");
  for (int i = 0; i < 105; ++i) events.Text(uint32_t(i) * 480, "[prc_s" + std::to_string(i) + "]");
  const auto chart = Read(midi.Build());
  ASSERT_TRUE(chart->ReadSections());
  ASSERT_EQ(chart->sectionCount, 100);
  EXPECT_EQ(chart->sections[99].name, "s99");
  EXPECT_EQ(chart->sections[99].tick, 99.0f * 480.0f);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(chart->sections[i].timeMs, 0.0f);

  MidiFileBuilder none;
  none.Track("song").Tempo(0, 500000);
  none.Track("events").Text(0, "[section a]");
  const auto noEvents = Read(none.Build());
  EXPECT_FALSE(noEvents->ReadSections());
  EXPECT_EQ(noEvents->sectionCount, 0);
}
