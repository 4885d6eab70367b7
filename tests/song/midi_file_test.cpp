// Decoding of "notes.mid": the event model, running status, meta and system-exclusive
// events, track names, the tempo map and loading from disk.
#include "song/midi_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/midi_builder.h"
#include "tests/support/test_support.h"

using testsupport::MidiChunk;
using testsupport::MidiFileBuilder;
using testsupport::MidiHeaderChunk;

namespace {

std::unique_ptr<MidiFile> Read(const std::string& bytes, bool stop = false) {
  auto chart = std::make_unique<MidiFile>();
  chart->LoadFromBytes(stop, bytes);
  return chart;
}

// A one-track file whose track body is exactly `body`.
std::string OneTrack(const std::string& body) { return MidiHeaderChunk(1, 1, 480) + MidiChunk("MTrk", body); }

std::vector<const MidiEvent*> Events(const MidiTrack& track) {
  std::vector<const MidiEvent*> out;
  for (const MidiEvent* e = track.events; e; e = e->next()) out.push_back(e);
  return out;
}

bool LogHas(const testsupport::TempDir& dir, const std::string& line) {
  const auto lines = dir.GameLogTexts();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

struct Expect {
  uint32_t delta;
  int32_t kind;
  int32_t channel;
  int32_t data1;
  int32_t data2;
};

}  // namespace

TEST(MidiFileDecode, ChannelMessagesAndRunningStatus) {
  struct Case {
    const char* what;
    std::string body;
    std::vector<Expect> events;
  } cases[] = {
      {"note on of velocity 0 is a note off", std::string("\x00\x90\x3C\x00", 4), {{0, 0x80, 1, 60, 0}}},
      {"running status after a note on, velocity 0 too",
       std::string("\x00\x90\x3C\x64\x10\x3E\x50\x10\x3C\x00", 10),
       {{0, 0x90, 1, 60, 100}, {16, 0x90, 1, 62, 80}, {16, 0x80, 1, 60, 0}}},
      {"a data byte after a control change repeats it", std::string("\x00\xB3\x07\x64\x00\x0A\x40", 7),
       {{0, 0xB0, 4, 7, 100}, {0, 0xB0, 4, 10, 64}}},
      {"note off keeps its velocity; channel 16", std::string("\x00\x8F\x3C\x40\x00\x9F\x3C\x01", 8),
       {{0, 0x80, 16, 60, 64}, {0, 0x90, 16, 60, 1}}},
      {"a four-byte delta time", std::string("\x81\x80\x80\x00\x90\x3C\x64", 7), {{2097152, 0x90, 1, 60, 100}}},
      {"program change has one data byte, also under running status", std::string("\x00\xC5\x07\x05\x09", 5),
       {{0, 0xC0, 6, 7, 0}, {5, 0xC0, 6, 9, 0}}},
      {"undecoded kinds stay in the list and in step",
       std::string("\x00\xA0\x3C\x40\x00\xD0\x20\x00\xE0\x00\x40\x00\x90\x3C\x64", 15),
       {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0x90, 1, 60, 100}}},
      {"running status of an undecoded kind is skipped like it",
       std::string("\x00\xE1\x00\x40\x00\x01\x40\x00\x90\x3C\x64", 11),
       {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0x90, 1, 60, 100}}},
      {"0xF7 is skipped by its length", std::string("\x00\xF7\x03\x01\x02\x03\x00\x90\x3C\x64", 10),
       {{0, 0, 0, 0, 0}, {0, 0x90, 1, 60, 100}}},
      {"0xF1 goes on at the next byte", std::string("\x00\xF1\x00\x90\x3C\x64", 6),
       {{0, 0, 0, 0, 0}, {0, 0x90, 1, 60, 100}}},
      {"running status survives meta events", std::string("\x00\x90\x3C\x64\x00\xFF\x01\x01x\x00\x3C\x00", 12),
       {{0, 0x90, 1, 60, 100}, {0, 0x01, 0, 0, 0}, {0, 0x80, 1, 60, 0}}},
      {"a data byte at the start of a track is an empty event; the byte is the next delta",
       std::string("\x00\x3C\x90\x3C\x64", 5), {{0, 0, 0, 0, 0}, {60, 0x90, 1, 60, 100}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    const auto chart = Read(OneTrack(c.body));
    ASSERT_EQ(chart->header.trackCount, 1);
    const auto events = Events(chart->tracks[0]);
    ASSERT_EQ(events.size(), c.events.size());
    EXPECT_EQ(chart->tracks[0].eventCount, int32_t(c.events.size()));
    for (size_t i = 0; i < events.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(events[i]->delta(), c.events[i].delta);
      EXPECT_EQ(events[i]->kind(), c.events[i].kind);
      EXPECT_EQ(events[i]->channel(), c.events[i].channel);
      EXPECT_EQ(events[i]->data1(), c.events[i].data1);
      EXPECT_EQ(events[i]->data2(), c.events[i].data2);
      EXPECT_EQ(chart->tracks[0].IndexOf(events[i]), int32_t(i));
      EXPECT_EQ(events[i]->prev(), i == 0 ? nullptr : events[i - 1]);
    }
  }
}

TEST(MidiFileDecode, UndecodedEventsAreLoggedWithTheirStatus) {
  testsupport::TempDir dir;
  Read(OneTrack(std::string("\x00\xA0\x3C\x40\x00\xE1\x00\x40\x00\x01\x40\x00\xF4\x00\xFF\x20\x01\x00", 18)));
  EXPECT_TRUE(LogHas(dir, "ERROR: UNKNOWN MIDI EVENT: 160"));
  EXPECT_TRUE(LogHas(dir, "ERROR: UNKNOWN MIDI EVENT: 225"));
  EXPECT_TRUE(LogHas(dir, "ERROR: UNKNOWN MIDI EVENT: 244"));
  EXPECT_TRUE(LogHas(dir, "ERROR: UNKNOWN META-EVENT: 32"));
  const auto lines = dir.GameLogTexts();
  // The repeat of 0xE1 under running status is logged as well.
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ERROR: UNKNOWN MIDI EVENT: 225"), 2);
}

TEST(MidiFileDecode, MetaEvents) {
  testsupport::TempDir dir;
  const std::string longText(300, 'a');
  MidiFileBuilder midi;
  auto& t = midi.Track("first name");
  t.Text(0, longText)
      .Meta(0, 0x7F, "seq")
      .Meta(0, 0x20, std::string(1, '\0'))
      .TimeSignature(10, 6, 3)
      .KeySignature(10, -3, 1)
      .Lyric(20, "la")
      .Meta(20, 0x06, std::string("mark\0hidden", 11))
      .Name("second name", 30)
      .Meta(30, 0x00, std::string("\x00\x01", 2))
      .NoteOn(40, 60);
  const auto chart = Read(midi.Build());
  const MidiTrack& track = chart->tracks[0];
  const auto e = Events(track);
  ASSERT_EQ(e.size(), 12u);  // the name, ten events, the end of track
  EXPECT_EQ(e[1]->kind(), 0x01);
  EXPECT_EQ(e[1]->text(), std::string(255, 'a'));
  EXPECT_EQ(e[2]->kind(), 0x7F);
  EXPECT_EQ(e[3]->kind(), 0);  // unknown type 0x20: skipped by its length
  EXPECT_EQ(e[4]->kind(), 0x58);
  EXPECT_EQ(e[4]->data1(), 6);
  EXPECT_EQ(e[4]->data2(), 3);
  EXPECT_EQ(e[4]->delta(), 10u);
  EXPECT_EQ(e[5]->kind(), 0x59);
  EXPECT_EQ(e[5]->data1(), -3);
  EXPECT_EQ(e[5]->data2(), 1);
  EXPECT_EQ(e[6]->kind(), 0x05);
  EXPECT_EQ(e[6]->text(), "la");
  EXPECT_EQ(e[7]->text(), "mark");  // a text holds what a C string would
  EXPECT_EQ(e[8]->kind(), 0x03);
  EXPECT_EQ(e[9]->kind(), 0x00);
  EXPECT_EQ(e[10]->kind(), 0x90);
  EXPECT_EQ(e[10]->delta(), 10u);
  EXPECT_EQ(e[11]->kind(), 0x2F);
  // Events that are not text keep "NONE".
  EXPECT_EQ(e[4]->text(), "NONE");
  EXPECT_EQ(e[10]->text(), "NONE");
  EXPECT_EQ(track.name, "second name");  // the last track-name event wins
}

TEST(MidiFileDecode, TempoNamesAnUnnamedTrackOnly) {
  MidiFileBuilder midi;
  midi.Track().Tempo(0, 500000);
  midi.Track("song title").Tempo(0, 400000);
  midi.Track().Tempo(0, 500000).Name("later", 10);
  const auto chart = Read(midi.Build());
  EXPECT_EQ(chart->tracks[0].name, "VL TEMPO TRACK");
  EXPECT_EQ(chart->tracks[0].events->data1(), 500000);
  EXPECT_EQ(chart->tracks[1].name, "song title");
  EXPECT_EQ(chart->tracks[1].events->next()->data1(), 400000);
  EXPECT_EQ(chart->tracks[2].name, "later");
}

TEST(MidiFileDecode, EventsAfterEndOfTrackAreDecodedAndIndexIsPerTrack) {
  MidiFileBuilder midi;
  midi.Track("a").Raw(0, std::string("\xFF\x2F\x00", 3)).NoteOn(5, 60).EndOfTrack(false);
  midi.Track("b").NoteOn(7, 61).NoteOn(9, 62);
  const auto chart = Read(midi.Build());
  const auto a = Events(chart->tracks[0]);
  ASSERT_EQ(a.size(), 3u);
  EXPECT_EQ(a[1]->kind(), 0x2F);
  EXPECT_EQ(a[2]->kind(), 0x90);
  EXPECT_EQ(a[2]->delta(), 5u);
  const auto b = Events(chart->tracks[1]);
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(chart->tracks[1].IndexOf(b[1]), 1);
  EXPECT_EQ(b[1]->delta(), 7u);
  EXPECT_EQ(b[2]->delta(), 2u);  // relative to the previous event of its own track
}

TEST(MidiFileDecode, SystemExclusive) {
  struct Case {
    int type;
    int value;
    int32_t code;
  } cases[] = {{2, 1, 3}, {2, 0, 4}, {1, 5, 1}, {1, 0, 2}, {10, 1, 19}, {10, 0, 20}, {11, 1, 0}, {0, 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type * 10 + c.value);
    MidiFileBuilder midi;
    midi.Track("PART GUITAR").ChartSysEx(0, 3, c.type, c.value).NoteOn(0, 96);
    const auto chart = Read(midi.Build());
    const auto e = Events(chart->tracks[0]);
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[1]->kind(), 0xF0);
    EXPECT_EQ(e[1]->channel(), 0);
    EXPECT_EQ(e[1]->data1(), c.code);
    EXPECT_EQ(e[1]->data2(), 3);
    EXPECT_EQ(e[2]->kind(), 0x90);
  }

  // Other messages keep 0 and 0; the reader goes on past their 0xF7, or by their
  // length when they have none.
  MidiFileBuilder midi;
  midi.Track("x")
      .SysEx(0, std::string("\x7E\x7F\x09\x01\xF7", 5))
      .SysEx(0, std::string("VL\x00\x05\x02\x01\xF7", 7))
      .SysEx(0, std::string("\x43\x10", 2))
      .NoteOn(0, 60);
  const auto chart = Read(midi.Build());
  const auto e = Events(chart->tracks[0]);
  ASSERT_EQ(e.size(), 6u);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(e[i]->kind(), 0xF0);
    EXPECT_EQ(e[i]->data1(), 0);
    EXPECT_EQ(e[i]->data2(), 0);
  }
  EXPECT_EQ(e[4]->kind(), 0x90);
  EXPECT_EQ(e[4]->data1(), 60);
}

TEST(MidiFileTempo, TickToTimeAcrossTempoChanges) {
  MidiFileBuilder midi(480);
  midi.Track("song").Tempo(0, 500000).TimeSignature(0, 4, 2).Tempo(1920, 250000).Text(2000, "x").Tempo(3840, 1000000);
  const auto chart = Read(midi.Build());
  struct Case {
    uint64_t tick;
    float ms;
  } cases[] = {
      {0, 0.0f},       {480, 500.0f},  {1920, 2000.0f}, {2400, 2250.0f},
      {3840, 3000.0f}, {4320, 4000.0f}, {3839, 2999.4792f},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(chart->TickToMs(c.tick), c.ms) << c.tick;
}

TEST(MidiFileTempo, NoTimeBeforeTheFirstTempoOrWithoutAUsableDivision) {
  {
    MidiFileBuilder midi(480);
    midi.Track("song").Tempo(960, 500000);
    const auto chart = Read(midi.Build());
    EXPECT_EQ(chart->TickToMs(480), 0.0f);
    EXPECT_EQ(chart->TickToMs(960), 0.0f);
    EXPECT_FLOAT_EQ(chart->TickToMs(1440), 500.0f);
  }
  // Only track 0 holds the tempo map.
  {
    MidiFileBuilder midi(480);
    midi.Track("song");
    midi.Track("other").Tempo(0, 500000);
    EXPECT_EQ(Read(midi.Build())->TickToMs(4800), 0.0f);
  }
  for (uint16_t division : {uint16_t(0), uint16_t(0xE728)}) {
    testsupport::TempDir dir;
    MidiFileBuilder midi(division);
    midi.Track("song").Tempo(0, 500000).NoteOn(480, 60);
    const auto chart = Read(midi.Build());
    EXPECT_EQ(chart->TickToMs(480), 0.0f);
    EXPECT_EQ(chart->tracks[0].eventCount, 4);  // the events are still all there
    EXPECT_TRUE(LogHas(dir, "ERROR: MIDI DIVISION NOT SUPPORTED: " + std::to_string(division)));
  }
}

TEST(MidiFileLoad, FromDisk) {
  testsupport::TempDir dir;
  MidiFileBuilder midi(192);
  midi.Track("PART GUITAR").Note(0, 96, 96);
  const std::string bytes = midi.Build();
  dir.WriteBytes("song/notes.mid", bytes);

  MidiFile chart;
  ASSERT_TRUE(chart.Load(false, dir.WPath("song/notes.mid")));
  EXPECT_EQ(chart.header.division, 192);
  EXPECT_EQ(chart.header.trackCount, 1);
  EXPECT_EQ(chart.header.format, 1);
  EXPECT_EQ(chart.header.length, 6u);
  EXPECT_EQ(chart.tracks[0].eventCount, 4);
  // The file's bytes go once the events are built; the events hold their own texts:
  // four 12-byte events and the track name with its length byte and NUL.
  EXPECT_TRUE(chart.buffer.empty());
  EXPECT_EQ(chart.tracks[0].chunk, nullptr);
  EXPECT_EQ(chart.tracks[0].HeldBytes(), (4 * sizeof(MidiEvent) + 1 + 11 + 1 + 3) / 4 * 4);  // the next track starts aligned
  EXPECT_EQ(chart.HeldBytes(), chart.tracks[0].HeldBytes());
  EXPECT_EQ(chart.tracks[0].events->text(), "PART GUITAR");

  // The case of the name does not matter.
  MidiFile other;
  EXPECT_TRUE(other.Load(true, dir.Path("SONG/Notes.MID")));
  EXPECT_TRUE(other.stopWhenComplete);
  EXPECT_TRUE(other.tracks[0].stopWhenComplete);

  // A file that is missing or is a folder: false, and nothing logged (the caller logs).
  MidiFile missing;
  EXPECT_FALSE(missing.Load(false, dir.WPath("song/none.mid")));
  EXPECT_FALSE(missing.Load(false, dir.WPath("song")));
  EXPECT_TRUE(dir.GameLogTexts().empty());

  // A second load replaces the first; Clear empties the chart.
  MidiFileBuilder two;
  two.Track("a");
  two.Track("b");
  chart.LoadFromBytes(false, two.Build());
  EXPECT_EQ(chart.header.trackCount, 2);
  EXPECT_EQ(chart.tracks[0].name, "a");
  EXPECT_EQ(chart.tracks[0].eventCount, 2);
  chart.Clear();
  EXPECT_TRUE(chart.buffer.empty());
  EXPECT_EQ(chart.header.trackCount, 0);
  EXPECT_EQ(chart.tracks[0].events, nullptr);
  EXPECT_EQ(chart.tracks[0].name, "");
  MidiFile::Delete(new MidiFile);
  MidiFile::Delete(nullptr);
}

TEST(MidiFileTracks, FindTrackByInstrumentAndPart) {
  MidiFileBuilder midi;
  for (const char* name : {"song", "T1 GEMS", "PART GUITAR", "PART DRUM", "PART DRUMS", "PART REAL_BASS_22",
                           "PART REAL_GUITAR", "PART REAL_GUITAR_22", "PART REAL_KEYS_H", "PART REAL_KEYS_VL_X",
                           "HARM2", "PART BASS", "PART KEYS", "PART VOCALS", "PART RHYTHM", "PART GUITAR COOP",
                           "PART DANCE", "PART REAL_DRUMS_VL", "EVENTS", "part bass", "PART BASS ",
                           "PART REAL_KEYS_E", "PART REAL_KEYS_M", "PART REAL_KEYS_X", "PART REAL_KEYS_VL_E",
                           "PART REAL_KEYS_VL_M", "PART REAL_KEYS_VL_H", "HARM1", "HARM3", "PART REAL_BASS"}) {
    midi.Track(name);
  }
  const auto chart = Read(midi.Build());
  struct Case {
    int instrument;
    int part;
    int32_t track;
  } cases[] = {
      // drums, drums_adv, guitar (T1 GEMS comes first), bass, keys, vocals
      {0, 0, 3}, {5, 0, 3}, {2, 0, 1}, {2, 3, 1}, {1, 0, 11}, {1, 7, 11}, {3, 0, 12}, {4, 0, 13},
      // pro strings: part 0 either name, 1 the plain track, 2 the "_22" track
      {6, 0, 5}, {6, 1, 29}, {6, 2, 5}, {6, 3, -1}, {7, 0, 6}, {7, 1, 6}, {7, 2, 7},
      // keys_adv and keys_real by difficulty, harmonies by line
      {8, 0, 21}, {8, 1, 22}, {8, 2, 8}, {8, 3, 23}, {8, 4, -1}, {8, -1, -1},
      {14, 0, 24}, {14, 1, 25}, {14, 2, 26}, {14, 3, 9}, {14, 4, -1},
      {9, 0, 27}, {9, 1, 10}, {9, 2, 28}, {9, 3, -1},
      {10, 0, 14}, {11, 0, 15}, {12, 0, 16}, {13, 0, 17}, {15, 0, -1}, {-1, 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(chart->FindTrack(c.instrument, c.part), c.track) << c.instrument << " part " << c.part;
  }
  EXPECT_EQ(chart->FindTrack(Instrument::guitar_real, 2), 7);
  EXPECT_EQ(chart->FindEventsTrack(), 18);

  const auto empty = Read(MidiHeaderChunk(1, 0, 480));
  EXPECT_EQ(empty->header.trackCount, 0);
  EXPECT_EQ(empty->FindTrack(2, 0), -1);
  EXPECT_EQ(empty->FindEventsTrack(), -1);
  EXPECT_FALSE(empty->ReadSections());
}

TEST(Instruments, NamesAndNumbers) {
  const char* names[] = {"drums",     "bass",          "guitar",      "keys",  "vocals",
                         "drums_adv", "bass_real",     "guitar_real", "keys_adv", "vocals_harm",
                         "guitar_rhythm", "guitar_coop", "dance",     "drums_real", "keys_real"};
  for (int32_t i = 0; i < kInstrumentCount; ++i) {
    EXPECT_STREQ(InstrumentName(i), names[i]);
    EXPECT_EQ(InstrumentFromName(names[i]), i);
  }
  EXPECT_EQ(InstrumentIndex(Instrument::keys_real), 14);
  EXPECT_STREQ(InstrumentName(Instrument::vocals_harm), "vocals_harm");
  EXPECT_STREQ(InstrumentName(15), "");
  EXPECT_STREQ(InstrumentName(-1), "");
  EXPECT_EQ(InstrumentFromName("Drums"), -1);
}
