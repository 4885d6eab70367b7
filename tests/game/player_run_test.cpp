// Whole runs of a chart with scripted input at exact times: the reference guitar run
// and its miss, overhit, timing, energy and drums variants.
#include <gtest/gtest.h>

#include "tests/game/game_fixtures.h"

using namespace gametest;

namespace {

std::vector<std::pair<double, int32_t>> ReferenceNotes() {
  std::vector<std::pair<double, int32_t>> notes;
  for (int k = 0; k < 12; ++k) notes.push_back({2000.0 + 500.0 * k, 1 + k % 3});
  return notes;
}

std::vector<Step> ReferenceScript(int skip = -1, double firstAt = 2000.0) {
  auto notes = ReferenceNotes();
  if (skip >= 0) notes.erase(notes.begin() + skip);
  if (firstAt != 2000.0 && skip != 0) notes[0].first = firstAt;
  return StrumNotes(notes);
}

}  // namespace

TEST(PlayerRun, ReferenceGuitarRun) {
  Harness h(ReferenceGuitarChart());
  Player& p = h.Setup(PlayerSpec());
  EXPECT_EQ(p.chartScore.noteCount[3], 12);
  EXPECT_FLOAT_EQ(p.chartScore.baseScore[3], 300.0f);
  h.Run(ReferenceScript(), 10000);

  const PlayerScore& s = p.score();
  EXPECT_EQ(s.hits, 12);
  EXPECT_EQ(s.streak, 12);
  EXPECT_EQ(s.maxStreak, 12);
  EXPECT_EQ(s.stepHits, 2);
  EXPECT_EQ(s.multiplier, 2);
  // Nine notes at 25, then the tenth call raises the multiplier before its points.
  EXPECT_FLOAT_EQ(s.score, 375.0f);
  EXPECT_NEAR(s.rockMeter, 75.0f + 12 * 1.33f, 1e-3);
  EXPECT_EQ(s.energy, 0.0f);
  EXPECT_EQ(s.misses, 0);
  EXPECT_EQ(s.overhits, 0);
  EXPECT_FALSE(s.comboBroken);
  EXPECT_EQ(p.perfectCount, 12);
  EXPECT_EQ(p.hitDelayCount, 12);
  EXPECT_DOUBLE_EQ(p.hitDelaySum, 0.0);
  EXPECT_FALSE(s.failed);
}

struct RunCase {
  const char* name;
  std::vector<Step> script;
  float score;
  int hits, misses, overhits, streak, maxStreak, multiplier;
  bool comboBroken;
  float meter;
};

TEST(PlayerRun, MissOverhitAndWindowVariants) {
  std::vector<Step> extraStrum = ReferenceScript();
  extraStrum.push_back({7250.0, 12, true, 128});  // between N11 and N12
  const float gain = 1.33f;
  const std::vector<RunCase> cases = {
      {"skip N5", ReferenceScript(4), 275.0f, 11, 1, 0, 7, 7, 1, false, 75 + 4 * gain - 2 + 7 * gain},
      {"skip N11", ReferenceScript(10), 300.0f, 11, 1, 0, 1, 10, 1, true, 75 + 10 * gain - 2 + gain},
      // The overhit breaks the streak of 11 and resets the multiplier before N12.
      {"extra strum", extraStrum, 350.0f, 12, 0, 1, 1, 11, 1, true, 75 + 12 * gain - 2},
      // The window includes its edges: 85 ms early is a hit ...
      {"N1 at -85", ReferenceScript(-1, 1915.0), 375.0f, 12, 0, 0, 12, 12, 2, false, 75 + 12 * gain},
      {"N1 at +84", ReferenceScript(-1, 2084.0), 375.0f, 12, 0, 0, 12, 12, 2, false, 75 + 12 * gain},
      // ... but at 85 ms late the miss check of the frame comes first, and the strum
      // then hits nothing.
      {"N1 at +85", ReferenceScript(-1, 2085.0), 325.0f, 11, 1, 1, 11, 11, 2, false, 75 - 2 - 2 + 11 * gain},
      {"N1 at +86", ReferenceScript(-1, 2086.0), 325.0f, 11, 1, 1, 11, 11, 2, false, 75 - 2 - 2 + 11 * gain},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h(ReferenceGuitarChart());
    Player& p = h.Setup(PlayerSpec());
    h.Run(c.script, 10000);
    const PlayerScore& s = p.score();
    EXPECT_FLOAT_EQ(s.score, c.score);
    EXPECT_EQ(s.hits, c.hits);
    EXPECT_EQ(s.misses, c.misses);
    EXPECT_EQ(s.overhits, c.overhits);
    EXPECT_EQ(s.streak, c.streak);
    EXPECT_EQ(s.maxStreak, c.maxStreak);
    EXPECT_EQ(s.multiplier, c.multiplier);
    EXPECT_EQ(s.comboBroken, c.comboBroken);
    EXPECT_NEAR(s.rockMeter, c.meter, 1e-3);
  }
}

TEST(PlayerRun, MissIsJudgedBeforeTheFramesInput) {
  Harness h(ReferenceGuitarChart());
  Player& p = h.Setup(PlayerSpec());
  h.Run(ReferenceScript(4), 3600);
  h.Frame(4084.0);
  EXPECT_EQ(p.score().misses, 0);
  h.Frame(4085.0);
  EXPECT_EQ(p.score().misses, 1);
  EXPECT_EQ(p.score().streak, 0);
  EXPECT_EQ(p.score().multiplier, 1);
  // The miss was reported with the note's serial (N5 is the fifth note: serial 4).
  const auto misses = h.net.OfCode(14);
  ASSERT_EQ(misses.size(), 1u);
  EXPECT_EQ(misses[0].a3, 4);
  EXPECT_EQ(misses[0].a2, 3);
}

TEST(PlayerRun, TimingGrades) {
  struct GradeCase {
    double at;
    int perfect, good, late;
    int grade;
  };
  for (const GradeCase& c : {GradeCase{2010.0, 12, 0, 0, 2}, GradeCase{2011.0, 11, 1, 0, 1},
                             GradeCase{2041.0, 11, 0, 1, 0}, GradeCase{1989.0, 11, 1, 0, 3},
                             GradeCase{1959.0, 11, 0, 1, 4}}) {
    SCOPED_TRACE(c.at);
    Harness h(ReferenceGuitarChart());
    Player& p = h.Setup(PlayerSpec());
    h.Run(ReferenceScript(-1, c.at), 10000);
    EXPECT_EQ(p.perfectCount, c.perfect);
    EXPECT_EQ(p.goodCount, c.good);
    EXPECT_EQ(p.lateCount, c.late);
    ASSERT_FALSE(h.board.grades.empty());
    EXPECT_EQ(h.board.grades[0].second, c.grade);
    EXPECT_DOUBLE_EQ(p.hitDelaySum, c.at - 2000.0);
  }
}

TEST(PlayerRun, EnergyPhrasesActivationAndDrain) {
  Harness h(ReferenceGuitarChart(true));
  Player& p = h.Setup(PlayerSpec());
  std::vector<Step> script = ReferenceScript();
  script.push_back({5750.0, 19, true, 128});
  h.Run(script, 5740);
  EXPECT_FLOAT_EQ(p.score().energy, 50.0f);
  EXPECT_EQ(h.sound.Count(96), 2);
  EXPECT_EQ(h.board.energyFlashes, 2);
  EXPECT_EQ(p.score().multiplier, 1);

  h.Run(script, 5750);
  const PlayerScore& s = p.score();
  ASSERT_TRUE(s.energyActive);
  EXPECT_EQ(s.multiplier, 2);
  EXPECT_EQ(h.sound.Count(94), 1);
  EXPECT_EQ(s.energyActivations, 1);
  // Beat 11.5 plus 32 beats: beat 43.5 at 120 beats per minute.
  EXPECT_FLOAT_EQ(s.energyEnd, 21750.0f);
  EXPECT_EQ(h.board.states, std::vector<int32_t>({68}));
  ASSERT_EQ(h.net.OfCode(13).size(), 1u);

  h.Run(script, 13750);
  EXPECT_FLOAT_EQ(s.score, 550.0f);
  EXPECT_EQ(s.multiplier, 4);
  EXPECT_NEAR(s.rockMeter, 75.0f + 8 * 1.33f + 4 * 3.0f, 1e-3);
  EXPECT_NEAR(s.energy, 25.0f, 1e-3);

  h.Run(script, 21740);
  EXPECT_TRUE(s.energyActive);
  h.Run(script, 21750);
  EXPECT_FALSE(s.energyActive);
  EXPECT_EQ(s.energy, 0.0f);
  EXPECT_EQ(s.multiplier, 2);
  EXPECT_EQ(h.sound.Count(95), 1);
  EXPECT_EQ(h.board.states, std::vector<int32_t>({68, 66}));
}

TEST(PlayerRun, MissedPhraseNoteGivesNoEnergy) {
  Harness h(ReferenceGuitarChart(true));
  Player& p = h.Setup(PlayerSpec());
  h.Run(ReferenceScript(2), 10000);  // N3 is in the first phrase
  EXPECT_FLOAT_EQ(p.score().energy, 25.0f);
  EXPECT_EQ(h.sound.Count(96), 1);
}

TEST(PlayerRun, EnergyBelowHalfCannotBeActivated) {
  Harness h(ReferenceGuitarChart(true));
  Player& p = h.Setup(PlayerSpec());
  std::vector<Step> script = ReferenceScript();
  script.push_back({3750.0, 19, true, 128});  // 25 energy
  h.Run(script, 4000);
  EXPECT_FALSE(p.score().energyActive);
  EXPECT_TRUE(h.net.OfCode(13).empty());
  EXPECT_EQ(h.sound.Count(94), 0);
}

TEST(PlayerRun, DrumsActivationNoteHitsItsChordAndForgivesItsLanes) {
  testsupport::MidiFileBuilder midi(480);
  TempoTrack(midi);
  testsupport::MidiTrackBuilder& part = midi.Track("PART DRUMS");
  const int notes[8] = {96, 97, 98, 99, 100, 97, 98, 99};
  const uint32_t codes[8] = {10, 2, 3, 4, 1, 2, 3, 4};
  for (int k = 0; k < 8; ++k) part.Note(480 * (4 + k), notes[k], 60);
  part.Note(1900, 116, 1500).Note(3800, 116, 1500);
  part.Note(480 * 36, 96, 60).Note(480 * 36, 98, 60);  // a kick and a yellow at 18000 ms
  part.Note(480 * 38, 97, 60);                          // 19000 ms
  Harness h(midi.Build());
  PlayerSpec params;
  params.kind = 0;
  params.laneCount = 4;
  params.trackName = "PART DRUMS";
  Player& p = h.Setup(params);

  std::vector<Step> script;
  for (int k = 0; k < 8; ++k) script.push_back({2000.0 + 500.0 * k, codes[k], true, 128});
  h.Run(script, 5600);
  EXPECT_FLOAT_EQ(p.score().energy, 50.0f);
  // The activation note waits at the first measure start 25 beats or more ahead:
  // beat 36, on lane 1 of a four-lane board (fret slot 4).
  const NoteRecord& a = p.track.notes[kActivationSlot];
  ASSERT_TRUE(a.active);
  EXPECT_TRUE(a.activation);
  EXPECT_FLOAT_EQ(a.time, 18000.0f);
  EXPECT_EQ(a.lane, 1);
  EXPECT_EQ(a.fretSlot, 4);
  EXPECT_EQ(h.board.fillGlows, 1);

  script.push_back({18000.0, 1, true, 128});   // the activation pad
  script.push_back({18020.0, 10, true, 128});  // kick of the same chord: forgiven
  script.push_back({18065.0, 3, true, 128});   // yellow, 65 ms on: forgiven
  script.push_back({18066.0, 3, true, 128});   // 66 ms on: an overhit
  script.push_back({19000.0, 2, true, 128});
  h.Run(script, 19100);
  const PlayerScore& s = p.score();
  EXPECT_TRUE(s.energyActive);
  EXPECT_EQ(s.hits, 11);
  EXPECT_EQ(s.overhits, 1);
  EXPECT_EQ(s.misses, 0);
  // 8 x 25, the chord per note (25, then the tenth call at x2: 50), energy doubles
  // the multiplier to 4... and the overhit brings it back to 2 (in energy): 2 x 25.
  EXPECT_FLOAT_EQ(s.score, 200.0f + 25.0f + 50.0f + 50.0f);
  EXPECT_EQ(s.multiplier, 2);
  EXPECT_EQ(h.sound.Count(94), 1);
}
