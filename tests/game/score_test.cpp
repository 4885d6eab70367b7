// The running score of a player and the base score of a chart part.
#include <gtest/gtest.h>

#include <memory>

#include "game/chart_score.h"
#include "game/player_score.h"
#include "platform/clock.h"
#include "song/midi_file.h"
#include "tests/game/game_fixtures.h"
#include "tests/support/midi_builder.h"

using gametest::RecordingSound;

TEST(PlayerScore, MultiplierRisesOnTheTenthJudgementBeforeItsPoints) {
  PlayerScore s;
  s.kind = 2;
  for (int i = 0; i < 9; ++i) s.AddHits(1);
  EXPECT_EQ(s.multiplier, 1);
  EXPECT_FLOAT_EQ(s.score, 225.0f);
  s.AddHits(1);
  EXPECT_EQ(s.multiplier, 2);
  EXPECT_EQ(s.stepHits, 0);
  EXPECT_FLOAT_EQ(s.score, 275.0f);
  // A chord counts one step and adds its notes to the streak.
  s.AddHits(3);
  EXPECT_EQ(s.stepHits, 1);
  EXPECT_EQ(s.streak, 13);
  EXPECT_FLOAT_EQ(s.score, 275.0f + 2 * 3 * 25);
  EXPECT_NEAR(s.rockMeter, 75.0f + 11 * 1.33f, 1e-4);
}

TEST(PlayerScore, CapsByKindAndEnergy) {
  struct Case {
    int kind;
    bool energy;
    int start, expected;
  };
  for (const Case& c : {Case{2, false, 4, 4}, Case{2, true, 7, 9}, Case{1, false, 6, 6}, Case{1, false, 5, 6},
                        Case{6, true, 10, 12}, Case{6, true, 12, 12}, Case{7, true, 8, 8}}) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " energy " << c.energy << " from " << c.start);
    PlayerScore s;
    s.kind = c.kind;
    s.energyActive = c.energy;
    s.multiplier = c.start;
    for (int i = 0; i < 10; ++i) s.AddHits(1);
    // Steps of 2 in energy can pass an odd cap once (7 -> 9 under 8), never after.
    EXPECT_EQ(s.multiplier, c.expected);
  }
}

TEST(PlayerScore, ProStringPoints) {
  PlayerScore s;
  s.kind = 7;
  s.AddHits(1);
  EXPECT_FLOAT_EQ(s.score, 60.0f);
  s.AddHits(6);
  EXPECT_FLOAT_EQ(s.score, 180.0f);
  s.multiplier = 3;
  s.AddHits(2);
  EXPECT_FLOAT_EQ(s.score, 180.0f + 360.0f);
}

TEST(PlayerScore, MissRuleAndFailure) {
  platform::ScopedFakeClock clock;
  clock.clock.ms = 50000;
  RecordingSound sound;
  PlayerScore s;
  s.sound = &sound;
  s.kind = 2;
  for (int i = 0; i < 12; ++i) s.AddHits(1);
  s.energyActive = true;
  s.AddMisses(5);
  // One call costs 2.0 whatever the number of notes.
  EXPECT_NEAR(s.rockMeter, 75.0f + 12 * 1.33f - 2.0f, 1e-4);
  EXPECT_EQ(s.misses, 5);
  EXPECT_EQ(s.multiplier, 2);
  EXPECT_EQ(s.streak, 0);
  EXPECT_TRUE(s.comboBroken);
  s.energyActive = false;

  // Before the grace time the meter may go below zero without failing.
  s.rockMeter = 1.0f;
  s.graceUntil = 51000;
  s.AddOverhit();
  EXPECT_FLOAT_EQ(s.rockMeter, -1.0f);
  EXPECT_FALSE(s.failed);
  EXPECT_FALSE(s.meterEmptied);
  clock.clock.ms = 51000;
  s.AddOverhit();
  EXPECT_FLOAT_EQ(s.rockMeter, 0.0f);
  EXPECT_TRUE(s.meterEmptied);
  EXPECT_TRUE(s.failed);
  s.AddOverhit();
  EXPECT_EQ(sound.Count(98), 1);  // the failure sound once
  EXPECT_EQ(s.overhits, 3);

  PlayerScore noFail;
  noFail.sound = &sound;
  noFail.noFail = true;
  noFail.rockMeter = 1.0f;
  noFail.AddOverhit();
  EXPECT_TRUE(noFail.meterEmptied);
  EXPECT_FALSE(noFail.failed);
  EXPECT_EQ(sound.Count(98), 1);
}

TEST(PlayerScore, ResetKeepsNoFailAndNotesUnlessFull) {
  PlayerScore s;
  s.kind = 7;
  s.noFail = true;
  s.noteCount = 40;
  s.score = 900;
  s.failed = true;
  s.phrases[3].hits = 2;
  s.Reset(false);
  EXPECT_TRUE(s.noFail);
  EXPECT_EQ(s.noteCount, 40);
  EXPECT_EQ(s.kind, 7);
  EXPECT_EQ(s.score, 0.0f);
  EXPECT_FALSE(s.failed);
  EXPECT_FLOAT_EQ(s.rockMeter, 75.0f);
  EXPECT_EQ(s.phrases[3].hits, 0);
  s.Reset(true);
  EXPECT_FALSE(s.noFail);
  EXPECT_EQ(s.noteCount, 0);
}

namespace {

std::unique_ptr<ChartScore> Score(testsupport::MidiFileBuilder& midi, int kind, int difficulty) {
  static MidiFile chart;
  chart.LoadFromBytes(false, midi.Build());
  auto score = std::make_unique<ChartScore>();
  score->Compute(&chart, chart.tracks[1].events, kind, difficulty);
  return score;
}

}  // namespace

TEST(ChartScore, DrumsCountNote95OnlyAboveExpert) {
  testsupport::MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  midi.Track("PART DRUMS").Note(0, 96, 60).Note(480, 97, 60).Note(960, 95, 60).Note(1440, 60, 60);
  auto s = Score(midi, 0, 3);
  EXPECT_EQ(s->noteCount[3], 2);
  EXPECT_EQ(s->noteCount[4], 3);
  EXPECT_EQ(s->noteCount[0], 1);
  EXPECT_FLOAT_EQ(s->baseScore[4], 75.0f);
}

TEST(ChartScore, ProChordsAndGhosts) {
  testsupport::MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  testsupport::MidiTrackBuilder& t = midi.Track("PART REAL_GUITAR");
  for (int n = 96; n <= 101; ++n) t.Note(0, n, 60, 103);     // a chord of six strings
  t.Note(480, 96, 60, 103);                                  // a single note
  t.Note(960, 97, 60, 103, 2);                               // a ghost on channel 2
  auto s = Score(midi, 7, 3);
  EXPECT_EQ(s->noteCount[3], 7);
  EXPECT_FLOAT_EQ(s->baseScore[3], 120.0f + 60.0f);
}

TEST(ChartScore, SustainBonusStartsAboveAQuarterBeat) {
  testsupport::MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  midi.Track("PART GUITAR").Note(0, 96, 120).Note(480, 97, 121).Note(1920, 98, 960);
  auto s = Score(midi, 2, 3);
  // 120 ticks (exactly a quarter of 480) earns nothing; 121 ticks earn 121/240 x 5;
  // 960 ticks earn 20.
  EXPECT_NEAR(s->baseScore[3], 75.0f + 121.0f / 240.0f * 5.0f + 20.0f, 1e-4);
  EXPECT_EQ(s->noteCount[4], 3);
}

TEST(ChartScore, KeysVocalsDanceAndStrayNoteOffs) {
  testsupport::MidiFileBuilder midi(480);
  gametest::TempoTrack(midi);
  midi.Track("PART REAL_KEYS_VL_X").Note(0, 21, 60).Note(0, 108, 60).Note(0, 20, 60).NoteOff(1200, 60);
  auto keys = Score(midi, 14, 2);
  EXPECT_EQ(keys->noteCount[2], 3);  // 21, 108 and the note-off of 60 without its note-on
  // The stray note-off counts from tick 0: 1200 ticks of sustain.
  EXPECT_NEAR(keys->baseScore[2], 75.0f + 1200.0f / 240.0f * 5.0f, 1e-4);
  EXPECT_EQ(keys->noteCount[3], 0);

  auto vocals = Score(midi, 4, 2);
  EXPECT_EQ(vocals->noteCount[2], 0);
  EXPECT_EQ(vocals->baseScore[2], 0.0f);

  testsupport::MidiFileBuilder dance(480);
  gametest::TempoTrack(dance);
  dance.Track("PART DANCE").Note(0, 96, 60).Note(480, 99, 60).Note(960, 98, 60, 100, 2);
  auto d = Score(dance, 12, 3);
  EXPECT_EQ(d->noteCount[3], 2);
}
