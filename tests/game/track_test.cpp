// Note spawning from a chart part: tempo, chords, hammer-ons, pro-string notes, the
// window's capacity, retiring, seeking, and the chart markers read on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/game/game_fixtures.h"

using namespace gametest;
using testsupport::MidiFileBuilder;
using testsupport::MidiTrackBuilder;

namespace {

// The active chart notes of window A in time order (then by lane).
std::vector<const NoteRecord*> Notes(const Player& p) {
  std::vector<const NoteRecord*> out;
  for (int s = 1; s < kNoteSlots; ++s) {
    if (p.track.notes[s].active) out.push_back(&p.track.notes[s]);
  }
  std::sort(out.begin(), out.end(), [](const NoteRecord* a, const NoteRecord* b) {
    return a->time != b->time ? a->time < b->time : a->lane < b->lane;
  });
  return out;
}

PlayerSpec PartOf(int kind, const char* track, int laneCount = 5, int difficulty = 3) {
  PlayerSpec s;
  s.kind = kind;
  s.trackName = track;
  s.laneCount = laneCount;
  s.difficulty = difficulty;
  return s;
}

}  // namespace

TEST(Track, TimesFollowTheTempoMapAndBeatLinesTheMeter) {
  MidiFileBuilder midi(480);
  midi.Track("tempo").Tempo(0, 500000).TimeSignature(0, 4, 2).Tempo(1920, 250000).TimeSignature(1920, 3, 2);
  midi.Track("PART GUITAR").Note(960, 96, 60).Note(1920, 97, 60).Note(2400, 98, 60).Note(4800, 99, 60);
  Harness h(midi.Build());
  Player& p = h.Setup(PlayerSpec());
  auto n = Notes(p);
  ASSERT_EQ(n.size(), 4u);
  EXPECT_FLOAT_EQ(n[0]->time, 1000.0f);
  EXPECT_FLOAT_EQ(n[1]->time, 2000.0f);
  EXPECT_FLOAT_EQ(n[2]->time, 2250.0f);
  EXPECT_FLOAT_EQ(n[3]->time, 3500.0f);
  EXPECT_EQ(n[3]->lane, 4);
  EXPECT_EQ(n[3]->serial, 3);

  std::vector<int> measures;
  for (const BeatLine& b : p.track.beats) {
    if (b.active && b.kind == BeatKind::kMeasure) measures.push_back(static_cast<int>(b.beat));
  }
  std::sort(measures.begin(), measures.end());
  ASSERT_GE(measures.size(), 4u);
  EXPECT_EQ(std::vector<int>(measures.begin(), measures.begin() + 4), (std::vector<int>{0, 4, 7, 10}));
  EXPECT_DOUBLE_EQ(p.track.tempo.BeatToMs(6.0), 2500.0);
}

TEST(Track, ChordsAndAutomaticHammerOns) {
  MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  MidiTrackBuilder& t = midi.Track("PART GUITAR");
  t.Note(1000, 96, 30).Note(1002, 97, 30);  // two ticks apart: one chord
  t.Note(2000, 96, 30).Note(2003, 98, 30);  // three ticks apart: two notes
  t.Note(3000, 96, 30).Note(3163, 97, 30);  // 163 ticks on another lane: hammer-on
  t.Note(4000, 96, 30).Note(4164, 97, 30);  // 164 ticks: strummed
  t.Note(5000, 96, 30).Note(5100, 96, 30);  // same lane: strummed
  t.Note(6000, 96, 30).Note(6100, 97, 30).Note(6100, 98, 30);  // a chord is never a hammer-on
  Harness h(midi.Build());
  Player& p = h.Setup(PlayerSpec());
  auto n = Notes(p);
  ASSERT_EQ(n.size(), 13u);
  EXPECT_EQ(n[0]->tick, n[1]->tick);
  EXPECT_EQ(n[0]->time, n[1]->time);
  EXPECT_NE(n[2]->tick, n[3]->tick);
  EXPECT_FALSE(n[1]->hammerOn);
  EXPECT_TRUE(n[3]->hammerOn);  // 3 ticks after a note of another lane
  EXPECT_TRUE(n[5]->hammerOn);
  EXPECT_FALSE(n[7]->hammerOn);
  EXPECT_FALSE(n[9]->hammerOn);
  EXPECT_FALSE(n[11]->hammerOn);
  EXPECT_FALSE(n[12]->hammerOn);
  for (const NoteRecord* r : n) EXPECT_TRUE(r->classified);
}

TEST(Track, HammerOnThresholdFollowsTheSongOptions) {
  MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  midi.Track("PART GUITAR").Note(1000, 96, 30).Note(1240, 97, 30).Note(2000, 96, 30).Note(2244, 97, 30);
  const std::string bytes = midi.Build();
  {
    Harness h(bytes);
    h.context.song.eighthNoteHopo = true;  // 240 + 3
    auto n = Notes(h.Setup(PlayerSpec()));
    EXPECT_TRUE(n[1]->hammerOn);
    EXPECT_FALSE(n[3]->hammerOn);
  }
  {
    Harness h(bytes);
    h.context.song.hopoFrequency = 241;  // 241 x 480 / 480 + 3 = 244
    auto n = Notes(h.Setup(PlayerSpec()));
    EXPECT_TRUE(n[1]->hammerOn);
    EXPECT_TRUE(n[3]->hammerOn);
  }
}

TEST(Track, ForceMarkers) {
  MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  MidiTrackBuilder& t = midi.Track("PART GUITAR");
  t.Note(1000, 96, 30).Note(1100, 97, 30);      // would be a hammer-on
  t.Note(1100, 102, 20);                        // B + 6: strum
  t.Note(3000, 96, 30).Note(3000, 101, 600);    // B + 5 from 3000: forced hammer-on
  t.Note(3480, 96, 30);                         // same lane, still forced
  Harness h(midi.Build());
  auto n = Notes(h.Setup(PlayerSpec()));
  ASSERT_EQ(n.size(), 4u);
  EXPECT_FALSE(n[1]->hammerOn);
  EXPECT_TRUE(n[2]->hammerOn);
  EXPECT_TRUE(n[3]->hammerOn);
}

TEST(Track, ProStringNotes) {
  MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  MidiTrackBuilder& t = midi.Track("PART REAL_GUITAR");
  t.Note(480, 96, 60, 103).Note(480, 97, 60, 105).Note(480, 101, 60, 100);  // a chord
  t.Note(960, 98, 60, 100, 2).Note(1440, 99, 60, 100, 4).Note(1920, 100, 60, 100, 5);
  t.Note(2400, 98, 60, 102).Note(2500, 98, 60, 104);  // same string, other fret: hammer-on
  Harness h(midi.Build());
  Player& p = h.Setup(PartOf(7, "PART REAL_GUITAR", 6));
  auto n = Notes(p);
  ASSERT_EQ(n.size(), 8u);
  // Strings 1..6 are lanes 2, 1, 5, 4, 3, 9 (slots 2, 1, 5, 4, 3, 6).
  EXPECT_EQ(n[0]->lane, 1);
  EXPECT_EQ(n[0]->fret, 5);
  EXPECT_EQ(n[1]->lane, 2);
  EXPECT_EQ(n[1]->fret, 3);
  EXPECT_EQ(n[2]->lane, 9);
  EXPECT_EQ(n[2]->fretSlot, 6);
  EXPECT_EQ(n[2]->fret, 0);
  ASSERT_GE(n[0]->group, 0);
  EXPECT_EQ(n[0]->group, n[1]->group);
  EXPECT_EQ(n[0]->group, n[2]->group);
  EXPECT_EQ(p.track.groups[n[0]->group].count, 3);
  EXPECT_TRUE(n[3]->unscored);
  EXPECT_TRUE(n[4]->anyFret);
  EXPECT_TRUE(n[5]->tap);
  EXPECT_EQ(n[6]->group, -1);
  EXPECT_FALSE(n[6]->hammerOn);
  EXPECT_TRUE(n[7]->hammerOn);
}

TEST(Track, WindowHoldsAtMost74NotesAndRefillsAsTheyRetire) {
  MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  MidiTrackBuilder& t = midi.Track("PART GUITAR");
  for (int k = 0; k < 100; ++k) t.Note(960 + 120 * k, 96 + k % 5, 30);  // every 125 ms from 1000
  Harness h(midi.Build());
  Player& p = h.Setup(PlayerSpec());
  EXPECT_EQ(Notes(p).size(), 74u);
  EXPECT_FALSE(p.track.notes[kActivationSlot].active);
  // Nobody plays: each note is missed, then retired 150 units (300 ms) past the frets.
  h.Frame(1085.0);
  EXPECT_EQ(p.score().misses, 1);
  EXPECT_TRUE(p.track.notes[1].active);
  h.Frame(1299.0);
  EXPECT_TRUE(p.track.notes[1].active);
  h.Frame(1301.0);  // 150.5 units past: retired by the next frame's retire step
  h.Frame(1302.0);
  EXPECT_FALSE(p.track.notes[1].active && p.track.notes[1].serial == 0);
  EXPECT_EQ(Notes(p).size(), 74u);  // refilled with the 75th note
  EXPECT_EQ(Notes(p).back()->serial, 74);
}

TEST(Track, SeekLeavesNoNoteBeforeTheTarget) {
  MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  MidiTrackBuilder& t = midi.Track("PART GUITAR");
  for (int k = 0; k < 200; ++k) t.Note(960 + 120 * k, 96 + k % 5, 30);
  Harness h(midi.Build());
  Player& p = h.Setup(PlayerSpec());
  EXPECT_TRUE(p.track.SeekTo(15000.0));
  auto n = Notes(p);
  ASSERT_FALSE(n.empty());
  EXPECT_GE(n.front()->time, 15000.0f);
  EXPECT_FLOAT_EQ(n.front()->time, 15000.0f);
  EXPECT_EQ(n.size(), 74u);
  for (const BeatLine& b : p.track.beats) {
    if (b.active) {
      EXPECT_GE(b.time, 15000.0f);
    }
  }
}

TEST(Track, SysexSpansNeedTheirSongOptionAndDifficulty) {
  MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  MidiTrackBuilder& t = midi.Track("PART BASS");
  t.ChartSysEx(960, 3, 1, 1).Note(960, 96, 30).Note(1440, 97, 30).ChartSysEx(1500, 3, 1, 0).Note(1920, 96, 30);
  t.ChartSysEx(2400, 255, 4, 1).Note(2400, 98, 30).ChartSysEx(2500, 255, 4, 0);
  const std::string bytes = midi.Build();
  struct Case {
    bool option;
    int difficulty;
    bool open, tap;
  };
  for (const Case& c : {Case{true, 3, true, true}, Case{false, 3, false, false}, Case{true, 4, true, true},
                        Case{true, 2, false, false}}) {
    SCOPED_TRACE(testing::Message() << c.option << " d" << c.difficulty);
    Harness h(bytes);
    h.context.song.sysexOpenBass = c.option;
    h.context.song.sysexSlider = c.option;
    Player& p = h.Setup(PartOf(1, "PART BASS", 5, c.difficulty));
    auto n = Notes(p);
    if (c.difficulty == 2) {
      EXPECT_TRUE(n.empty());
      continue;
    }
    ASSERT_EQ(n.size(), 4u);
    EXPECT_EQ(n[0]->lane, c.open ? 0 : 1);
    EXPECT_EQ(n[0]->fretSlot, c.open ? 0 : 1);
    EXPECT_EQ(n[1]->lane, 2);
    EXPECT_EQ(n[2]->lane, 1);  // after the span
    EXPECT_EQ(n[3]->tap, c.tap);
  }
}

TEST(Track, TomMarkersAndTheMixFlip) {
  MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  MidiTrackBuilder& t = midi.Track("PART DRUMS");
  t.Note(960, 110, 200).Note(960, 98, 30).Note(1440, 98, 30);  // yellow: tom, then cymbal
  t.Text(1920, "[mix 3 drums0d]").Note(1920, 97, 30).Note(2400, 98, 30).Text(2880, "[mix 3 drums0]");
  t.Note(2880, 97, 30);
  const std::string bytes = midi.Build();
  {
    Harness h(bytes);
    auto n = Notes(h.Setup(PartOf(13, "PART DRUMS", 7)));
    ASSERT_EQ(n.size(), 5u);
    EXPECT_EQ(n[0]->lane, 6);  // the yellow tom of a seven-lane board
    EXPECT_EQ(n[0]->drumPiece, 4);
    EXPECT_EQ(n[1]->lane, 3);
    EXPECT_EQ(n[2]->lane, 3);  // the flip moves red onto yellow with variant 3
    EXPECT_EQ(n[2]->padVariant, 3);
    EXPECT_EQ(n[3]->lane, 2);
    EXPECT_EQ(n[3]->padVariant, 2);
    EXPECT_EQ(n[4]->lane, 2);  // flip off again
    EXPECT_EQ(n[4]->padVariant, 0);
  }
  {
    Harness h(bytes);
    auto n = Notes(h.Setup(PartOf(0, "PART DRUMS", 4)));
    ASSERT_EQ(n.size(), 5u);
    EXPECT_EQ(n[0]->lane, 3);  // four-lane boards keep their lanes
    EXPECT_EQ(n[0]->drumPiece, 4);
    EXPECT_EQ(n[2]->lane, 2);
    EXPECT_EQ(n[2]->padVariant, 3);
    EXPECT_EQ(n[3]->lane, 3);
    EXPECT_EQ(n[3]->padVariant, 2);
  }
}

TEST(Track, KindsWithoutJudgingAndHands) {
  MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  midi.Track("PART VOCALS").Note(960, 60, 100);
  midi.Track("PART REAL_KEYS_VL_X").Note(960, 21, 60, 100, 2).Note(960, 108, 60, 100, 1);
  const std::string bytes = midi.Build();
  {
    Harness h(bytes);
    Player& p = h.Setup(PartOf(4, "PART VOCALS", 49));
    auto n = Notes(p);
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0]->lane, 25);
    EXPECT_TRUE(n[0]->unscored);
    h.Run({}, 3000);
    EXPECT_EQ(p.score().misses, 0);  // shown, never missed
  }
  {
    Harness h(bytes);
    auto n = Notes(h.Setup(PartOf(14, "PART REAL_KEYS_VL_X", 88)));
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0]->lane, 1);
    EXPECT_EQ(n[0]->hand, 1);
    EXPECT_EQ(n[1]->lane, 88);
    EXPECT_EQ(n[1]->hand, 0);
  }
}

TEST(Track, BreaksSolosAndTheirBonus) {
  MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  MidiTrackBuilder& t = midi.Track("PART GUITAR");
  // Notes at 2000, 6999 (a gap of 4999 ms) and 12000 ... (a gap of 5001 ms).
  t.Note(1920, 96, 30).Note(6719, 97, 30);
  // A solo of 40 notes every 125 ms from 12000 ms (103 marks solos once the part
  // marks its energy phrases with 116).
  t.Note(0, 116, 10);
  t.Note(11520, 103, 40 * 120);
  for (int k = 0; k < 40; ++k) t.Note(11520 + 120 * k, 96 + k % 2, 30);
  Harness h(midi.Build());
  Player& p = h.Setup(PlayerSpec());
  const auto& sections = p.track.sections.sections();
  ASSERT_FALSE(sections.empty());
  EXPECT_EQ(sections[0].type, kSectionBreak);
  EXPECT_FLOAT_EQ(sections[0].start, -90000.0f);
  EXPECT_FLOAT_EQ(sections[0].end, 2000.0f);
  int breaks = 0;
  const LaneSection* solo = nullptr;
  for (const LaneSection& s : sections) {
    if (s.type == kSectionBreak) ++breaks;
    if (s.type == kSectionSolo) solo = &s;
  }
  ASSERT_NE(solo, nullptr);
  EXPECT_EQ(solo->soloNotes, 40);
  EXPECT_FLOAT_EQ(solo->start, 12000.0f);
  // The intro, the 5001 ms gap (not the 4999 ms one) and the end of the track.
  EXPECT_EQ(breaks, 3);
  EXPECT_FLOAT_EQ(sections.back().start, 16875.0f);

  // Hit 38 of the 40 solo notes (the first two are left out).
  std::vector<std::pair<double, int32_t>> notes = {{2000, 1}, {6999, 2}};
  for (int k = 2; k < 40; ++k) notes.push_back({12000.0 + 125.0 * k, 1 + k % 2});
  h.Run(StrumNotes(notes), 17080);
  const float beforeEnd = p.score().score;
  h.Frame(17084.0);
  EXPECT_FLOAT_EQ(p.score().score, beforeEnd);
  h.Frame(17085.0);  // the solo's end plus the hit window
  EXPECT_FLOAT_EQ(p.score().score, beforeEnd + 50.0f * 38);  // 95 %: 50 points per hit, once
  h.Run(StrumNotes(notes), 18000);
  EXPECT_FLOAT_EQ(p.score().score, beforeEnd + 50.0f * 38);
}

TEST(LaneSections, SoloWithoutNotesPaysNothing) {
  int grade = -1, points = -1;
  GradeSolo(0, 0, &grade, &points);
  EXPECT_EQ(grade, 6);
  EXPECT_EQ(points, 0);
  struct Case {
    int hits, notes, grade, points;
  };
  for (const Case& c : {Case{40, 40, 0, 100}, Case{38, 40, 1, 50}, Case{36, 40, 2, 30}, Case{32, 40, 3, 20},
                        Case{28, 40, 4, 10}, Case{24, 40, 5, 5}, Case{23, 40, 6, 0}}) {
    GradeSolo(c.hits, c.notes, &grade, &points);
    EXPECT_EQ(grade, c.grade) << c.hits;
    EXPECT_EQ(points, c.points) << c.hits;
  }
  LaneSectionList list;
  list.Setup(116, 2, 5, 0, 3);
  ChartEventInfo on;
  on.kind = 0x90;
  on.note = 103;
  on.timeMs = 1000;
  list.OnChartEvent(on, 480);
  list.FindActive(901084.0, 85.0);  // never closed: it lasts 900000 ms
  EXPECT_FALSE(list.sections()[0].finished);
  list.FindActive(901085.0, 85.0);
  EXPECT_TRUE(list.sections()[0].finished);
  EXPECT_EQ(list.TakePendingBonus(), 0);
}

TEST(LaneSections, MixListAppliesNodesInTimeAndLooksAheadForKeyRanges) {
  MixSectionList mix;
  mix.Setup(116, 3, 14);
  auto event = [](int kind, int note, int velocity, double t) {
    ChartEventInfo e;
    e.kind = kind;
    e.note = note;
    e.velocity = velocity;
    e.timeMs = t;
    return e;
  };
  mix.AddChartEvent(event(0x90, 116, 100, 1000));
  mix.AddChartEvent(event(0x80, 116, 0, 2000));
  mix.AddChartEvent(event(0x90, 12, 40, 5000));  // hand 1 to range 19
  mix.AddKeySignature(2500, -2, 1);
  mix.Advance(1000.0, 1.0);
  EXPECT_FALSE(mix.phraseActive);  // applied only once the time is past it
  mix.Advance(1500.0, 1.0);
  EXPECT_TRUE(mix.phraseActive);
  EXPECT_FALSE(mix.rangeChangeComing[1]);
  mix.Advance(2100.0, 1.0);
  EXPECT_FALSE(mix.phraseActive);
  EXPECT_EQ(mix.phraseNumber, 1);
  EXPECT_TRUE(mix.rangeChangeComing[1]);  // within 3000 ms ahead
  EXPECT_EQ(mix.nextRange[1], 19);
  mix.Advance(3000.0, 1.0);
  EXPECT_EQ(mix.keySignature[0], 1);
  EXPECT_EQ(mix.keySignature[1], -2);
  mix.Advance(5001.0, 1.0);
  EXPECT_EQ(mix.currentRange[1], 19);
  EXPECT_TRUE(mix.rangeChangeActive[1]);
  EXPECT_FALSE(mix.rangeChangeComing[1]);
  EXPECT_TRUE(mix.nodes().empty());
}
