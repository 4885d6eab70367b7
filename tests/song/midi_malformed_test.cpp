// Damaged charts: every case logs an error and keeps what was whole, and no read
// goes past the file (run under the address sanitizer to see the last part).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "song/midi_file.h"
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

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

std::string OneTrack(const std::string& body) { return MidiHeaderChunk(1, 1, 480) + MidiChunk("MTrk", body); }

std::string ChunkWithLength(uint32_t length, const std::string& body) {
  std::string out = "MTrk";
  for (int i = 3; i >= 0; --i) out += static_cast<char>((length >> (8 * i)) & 0xFF);
  return out + body;
}

bool LogHas(const testsupport::TempDir& dir, const std::string& line) {
  const auto lines = dir.GameLogTexts();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A realistic small chart: tempo map, a guitar part with running status, energy,
// solo and system-exclusive events, drums, vocals with lyrics and the events track.
std::string SampleChart() {
  MidiFileBuilder midi(480);
  midi.Track("Sample Song").Tempo(0, 500000).TimeSignature(0, 4, 2).Tempo(3840, 400000).KeySignature(3840, 2, 0);
  auto& guitar = midi.Track("PART GUITAR").RunningStatus().ZeroVelocityNoteOff();
  guitar.Note(0, 116, 1920).Note(960, 103, 960).ChartSysEx(960, 3, 1, 1).Text(0, "[idle]");
  for (uint32_t i = 0; i < 24; ++i) guitar.Note(i * 240, 60 + 12 * int(i % 4) + int(i % 5), 120);
  auto& drums = midi.Track("PART DRUMS");
  for (uint32_t i = 0; i < 16; ++i) drums.Note(i * 240, i % 3 == 0 ? 95 : 96 + int(i % 5), 60).Note(i * 240, 110, 60);
  midi.Track("PART VOCALS").Note(0, 105, 960).Note(0, 60, 200).Lyric(0, "Hel-").Note(240, 62, 200).Lyric(240, "lo");
  midi.Track("EVENTS").Text(0, "[music_start]").Text(960, "[section intro]").Text(3840, "[prc_verse_1]");
  return midi.Build();
}

bool SameEvent(const MidiEvent& a, const MidiEvent& b) {
  return a.delta() == b.delta() && a.kind() == b.kind() && a.channel() == b.channel() && a.data1() == b.data1() &&
         a.data2() == b.data2() && a.text() == b.text();
}

}  // namespace

TEST(MidiMalformed, EachCaseLogsAndKeepsWhatWasWhole) {
  const std::string note = Bytes({0x00, 0x90, 0x3C, 0x64});
  struct Case {
    const char* what;
    std::string bytes;
    int trackCount;
    std::vector<int> eventCounts;
    std::string log;
  } cases[] = {
      {"zero bytes", "", 0, {}, "ERROR: MIDI FILE TOO SHORT: 0 BYTES"},
      {"a header cut short", MidiHeaderChunk(1, 1, 480).substr(0, 13), 0, {}, "ERROR: MIDI FILE TOO SHORT: 13 BYTES"},
      {"fewer tracks than declared", MidiHeaderChunk(1, 2, 480) + MidiChunk("MTrk", note), 1, {1},
       "ERROR: MIDI FILE ENDS BEFORE TRACK 1 OF 2"},
      {"an absurd track count", MidiHeaderChunk(1, 65535, 480) + MidiChunk("MTrk", note) + MidiChunk("MTrk", note), 2,
       {1, 1}, "ERROR: MIDI FILE DECLARES 65535 TRACKS, READING 35"},
      {"a chunk header cut short", MidiHeaderChunk(1, 1, 480) + "MTrk\x00", 0, {},
       "ERROR: MIDI FILE ENDS BEFORE TRACK 0 OF 1"},
      {"a chunk length past the end", MidiHeaderChunk(1, 2, 480) + ChunkWithLength(0xFFFFFFFF, note + note), 1, {2},
       "ERROR: MIDI TRACK 0 RUNS PAST THE END OF THE FILE"},
      {"a delta time cut short", OneTrack(note + Bytes({0x81, 0x80})), 1, {1}, "ERROR: MIDI TRACK 0 CUT SHORT"},
      {"a delta time with no event after it", OneTrack(note + Bytes({0x00})), 1, {1}, "ERROR: MIDI TRACK 0 CUT SHORT"},
      {"a note with one data byte", OneTrack(Bytes({0x00, 0x90, 0x3C})), 1, {0}, "ERROR: MIDI TRACK 0 CUT SHORT"},
      {"a program change without its byte", OneTrack(note + Bytes({0x00, 0xC0})), 1, {1},
       "ERROR: MIDI TRACK 0 CUT SHORT"},
      {"an undecoded message cut short", OneTrack(note + Bytes({0x00, 0xE0, 0x01})), 1, {1},
       "ERROR: MIDI TRACK 0 CUT SHORT"},
      {"a meta length past the chunk", OneTrack(note + Bytes({0x00, 0xFF, 0x01, 0x7F, 'a', 'b', 'c'})), 1, {1},
       "ERROR: MIDI TRACK 0 CUT SHORT"},
      {"a meta length cut short", OneTrack(note + Bytes({0x00, 0xFF, 0x01, 0x81})), 1, {1},
       "ERROR: MIDI TRACK 0 CUT SHORT"},
      {"a meta type cut off", OneTrack(note + Bytes({0x00, 0xFF})), 1, {1}, "ERROR: MIDI TRACK 0 CUT SHORT"},
      {"a system-exclusive message without its end", OneTrack(note + Bytes({0x00, 0xF0, 0x05, 0x01, 0x02})), 1, {1},
       "ERROR: MIDI TRACK 0 CUT SHORT"},
      {"a chart event cut short", OneTrack(note + Bytes({0x00, 0xF0, 0x08, 'V', 'L', 0, 0, 3})), 1, {1},
       "ERROR: MIDI TRACK 0 CUT SHORT"},
      {"a 0xF7 message past the chunk", OneTrack(note + Bytes({0x00, 0xF7, 0x09, 0x01})), 1, {1},
       "ERROR: MIDI TRACK 0 CUT SHORT"},
      {"a short tempo event", OneTrack(Bytes({0x00, 0xFF, 0x51, 0x01, 0x07}) + note), 1, {2},
       "ERROR: SHORT META-EVENT: 81"},
      {"a short time signature", OneTrack(Bytes({0x00, 0xFF, 0x58, 0x01, 0x04}) + note), 1, {2},
       "ERROR: SHORT META-EVENT: 88"},
      {"a short key signature", OneTrack(Bytes({0x00, 0xFF, 0x59, 0x00}) + note), 1, {2},
       "ERROR: SHORT META-EVENT: 89"},
      {"a division of 0", MidiHeaderChunk(1, 1, 0) + MidiChunk("MTrk", note), 1, {1},
       "ERROR: MIDI DIVISION NOT SUPPORTED: 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    const auto chart = Read(c.bytes);
    ASSERT_EQ(chart->header.trackCount, c.trackCount);
    for (size_t i = 0; i < c.eventCounts.size(); ++i) EXPECT_EQ(chart->tracks[i].eventCount, c.eventCounts[i]);
    for (int i = c.trackCount; i < kMidiTrackSlots; ++i) EXPECT_EQ(chart->tracks[i].events, nullptr);
    EXPECT_TRUE(LogHas(dir, c.log));
    EXPECT_EQ(chart->FindTrack(2, 0), -1);
    EXPECT_FALSE(chart->ReadSections());
  }
}

TEST(MidiMalformed, ShortMetaEventsDoNotTakeTheirFields) {
  testsupport::TempDir dir;
  const auto chart = Read(OneTrack(Bytes({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1, 0x00, 0x90, 0x3C, 0x64})));
  const MidiTrack& track = chart->tracks[0];
  ASSERT_EQ(track.eventCount, 2);
  EXPECT_EQ(track.events->kind(), 0);
  EXPECT_EQ(track.events->data1(), 0);
  EXPECT_EQ(track.name, "");  // not a tempo track
  EXPECT_EQ(track.lastEvent->kind(), 0x90);
}

TEST(MidiMalformed, FortyTracksFillTheThirtyFiveSlots) {
  testsupport::TempDir dir;
  MidiFileBuilder midi;
  for (int i = 0; i < 40; ++i) midi.Track("t" + std::to_string(i)).NoteOn(0, 60);
  const auto chart = Read(midi.Build());
  EXPECT_EQ(chart->header.trackCount, 35);
  EXPECT_EQ(chart->tracks[34].name, "t34");
  EXPECT_TRUE(LogHas(dir, "ERROR: MIDI FILE DECLARES 40 TRACKS, READING 35"));
}

TEST(MidiMalformed, LongVarLenNumbersEndAtTheFourthByte) {
  // A fifth continuation byte is not part of the number: the fourth ends it.
  const auto chart = Read(OneTrack(Bytes({0x81, 0x81, 0x81, 0x81, 0x90, 0x3C, 0x64})));
  ASSERT_EQ(chart->tracks[0].eventCount, 1);
  EXPECT_EQ(chart->tracks[0].events->delta(), (1u << 21) | (1u << 14) | (1u << 7) | 1u);
  EXPECT_EQ(chart->tracks[0].events->kind(), 0x90);

  uint32_t value = 7;
  const uint8_t cut[] = {0x81, 0x80};
  EXPECT_EQ(ReadVarLen(cut, 2, value), 0);
  EXPECT_EQ(ReadVarLen(cut, 0, value), 0);
  EXPECT_EQ(value, 7u);
  const uint8_t full[] = {0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_EQ(ReadVarLen(full, 4, value), 4);
  EXPECT_EQ(value, 0x0FFFFFFFu);
}

TEST(MidiMalformed, ErrorLinesAreBoundedPerLoad) {
  testsupport::TempDir dir;
  std::string body;
  for (int i = 0; i < 200; ++i) body += Bytes({0x00, 0xF4});
  const auto chart = Read(OneTrack(body));
  EXPECT_EQ(chart->tracks[0].eventCount, 200);  // every one is still in the list
  const auto lines = dir.GameLogTexts();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ERROR: UNKNOWN MIDI EVENT: 244"), 32);
  EXPECT_TRUE(LogHas(dir, "ERROR: FURTHER MIDI ERRORS NOT LOGGED"));
}

TEST(MidiMalformed, EventCountIsBounded) {
  testsupport::TempDir dir;
  // Program changes under running status: two bytes an event.
  std::string body = Bytes({0x00, 0xC0, 0x00});
  body.reserve(5u << 20);
  for (int i = 0; i < (2 << 20) + 10; ++i) body += Bytes({0x00, 0x01});
  const auto chart = Read(OneTrack(body));
  EXPECT_EQ(chart->tracks[0].eventCount, 2 << 20);
  EXPECT_TRUE(LogHas(dir, "ERROR: MIDI EVENT LIMIT REACHED: 2097152"));
}

TEST(MidiMalformed, OversizedFileIsRefusedWithALogLine) {
  testsupport::TempDir dir;
  std::string bytes = MidiHeaderChunk(1, 1, 480) + ChunkWithLength((16u << 20), "");
  bytes.resize((16u << 20) + 100, '\0');
  dir.WriteBytes("notes.mid", bytes);
  MidiFile chart;
  EXPECT_TRUE(chart.Load(false, dir.WPath("notes.mid")));
  EXPECT_EQ(chart.header.trackCount, 0);
  EXPECT_TRUE(chart.buffer.empty());
  EXPECT_TRUE(LogHas(dir, "ERROR: MIDI FILE TOO LARGE (over 16777216 bytes)"));
}

TEST(MidiMalformed, EveryTruncationKeepsTheWholeEventsOfTheFullChart) {
  testsupport::TempDir dir;
  const std::string bytes = SampleChart();
  const auto full = Read(bytes);
  ASSERT_EQ(full->header.trackCount, 5);
  for (size_t n = 0; n <= bytes.size(); ++n) {
    SCOPED_TRACE(n);
    // A copy of exactly n bytes, so that the sanitizer sees any read beyond it.
    const auto cut = Read(bytes.substr(0, n));
    ASSERT_LE(cut->header.trackCount, full->header.trackCount);
    for (int t = 0; t < cut->header.trackCount; ++t) {
      const MidiEvent* a = cut->tracks[t].events;
      const MidiEvent* b = full->tracks[t].events;
      for (; a; a = a->next(), b = b->next()) {
        ASSERT_NE(b, nullptr);
        ASSERT_TRUE(SameEvent(*a, *b)) << "track " << t << " event " << cut->tracks[t].IndexOf(a);
      }
      // Tracks before the last one read are whole.
      if (t + 1 < cut->header.trackCount) {
        EXPECT_EQ(cut->tracks[t].eventCount, full->tracks[t].eventCount);
      }
    }
  }
}

TEST(MidiMalformed, DamagedBytesAnywhereAreSurvived) {
  testsupport::TempDir dir;
  const std::string bytes = SampleChart();
  for (size_t i = 0; i < bytes.size(); ++i) {
    for (int value : {0x00, 0x7F, 0x80, 0xF0, 0xFF}) {
      std::string damaged = bytes;
      damaged[i] = static_cast<char>(value);
      for (bool stop : {false, true}) {
        const auto chart = Read(damaged, stop);
        ASSERT_LE(chart->header.trackCount, 35);
        int total = 0;
        for (int t = 0; t < chart->header.trackCount; ++t) {
          int counted = 0;
          for (const MidiEvent* e = chart->tracks[t].events; e; e = e->next()) {
            ASSERT_LE(e->text().size(), kMidiTextMax);
            ++counted;
          }
          ASSERT_EQ(counted, chart->tracks[t].eventCount);
          total += counted;
        }
        // No more events than bytes: each takes at least one.
        ASSERT_LE(size_t(total), damaged.size());
        chart->ReadSections();
        ASSERT_LE(chart->sectionCount, 100);
      }
    }
  }
}

// The file is read in one piece sized from the file: the size bound holds exactly at
// its edge, and a folder in the chart's place is unreadable, not too large.
TEST(MidiMalformed, SizeBoundEdgeAndAFolderInPlaceOfTheChart) {
  testsupport::TempDir dir;
  for (size_t size : {size_t(16) << 20, (size_t(16) << 20) + 1}) {
    SCOPED_TRACE(size);
    std::string bytes = MidiHeaderChunk(1, 1, 480) + ChunkWithLength(0, "");
    bytes.resize(size, '\0');
    dir.WriteBytes("notes.mid", bytes);
    MidiFile chart;
    EXPECT_TRUE(chart.Load(false, dir.WPath("notes.mid")));
    const bool refused = size > (size_t(16) << 20);
    EXPECT_EQ(chart.header.trackCount, refused ? 0 : 1);
    EXPECT_EQ(LogHas(dir, "ERROR: MIDI FILE TOO LARGE (over 16777216 bytes)"), refused);
  }
  dir.MakeDir("folder.mid");
  MidiFile chart;
  EXPECT_FALSE(chart.Load(false, dir.WPath("folder.mid")));
  EXPECT_TRUE(chart.buffer.empty());
}
