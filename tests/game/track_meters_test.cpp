// The meter records of the note track: the chunk bar and badge follow the score, and
// every judged hit leaves its timing grade on its lane for a moment.
#include <gtest/gtest.h>

#include <vector>

#include "game/track_meters.h"
#include "platform/clock.h"
#include "song/instrument.h"
#include "tests/game/game_fixtures.h"

using namespace gametest;
using testsupport::MidiFileBuilder;

namespace {

// Meter table indexes by name.
constexpr int32_t kVeryEarly = 30, kEarly = 31, kPerfect = 32, kLate = 33, kVeryLate = 34;

TEST(TrackMeters, BadgeAndGradePictures) {
  const std::pair<int32_t, int32_t> badges[] = {{0, 11}, {1, 11}, {2, 12}, {3, 13}, {4, 14}, {5, 15},
                                                {6, 16}, {7, 16}, {8, 17}, {9, 17}, {10, 18}, {12, 19}, {16, 19}};
  for (const auto& [multiplier, texture] : badges)
    EXPECT_EQ(TrackMeters::MultiplierTexture(multiplier), texture) << multiplier;
  // Grades as judging names them: 0 late, 1 good-late, 2 perfect, 3 good-early, 4 early.
  const int32_t byGrade[] = {kVeryLate, kLate, kPerfect, kEarly, kVeryEarly};
  for (int32_t g = 0; g < 5; ++g) EXPECT_EQ(TrackMeters::AccuracyTexture(g), byGrade[g]) << g;
  EXPECT_EQ(TrackMeters::AccuracyTexture(-1), -1);
  EXPECT_EQ(TrackMeters::AccuracyTexture(5), -1);
}

TEST(TrackMeters, ChunkBarBadgeAndTheDrunkReadingFollowTheScore) {
  platform::ScopedFakeClock clock;
  clock.clock.ms = 10000;  // past any grace time
  PlayerScore score;
  score.kind = int32_t(Instrument::guitar);
  TrackMeters meters;
  meters.Setup(false);
  EXPECT_TRUE(meters.chunks[0].enabled);
  EXPECT_FALSE(meters.chunks[1].enabled);
  struct Check {
    int hits;       // AddHits calls before the check (0: a miss instead)
    int32_t chunks; // chunk-bar picture
    int32_t badge;
    int32_t drunk;
  } checks[] = {
      {9, 9, 11, 11},   // nine hits toward x2
      {1, 0, 12, 11},   // the tenth: x2, the bar starts again; the lagging reading shows x1
      {5, 5, 12, 11},
      {0, 0, 11, 12},   // a miss: back to x1, the lagging reading still x2
      {30, 10, 14, 13}, // thirty hits: x4, the cap, the bar full
  };
  for (const Check& s : checks) {
    if (s.hits == 0) {
      score.AddMisses(1);
      meters.Update(score);
    }
    for (int i = 0; i < s.hits; ++i) {
      score.AddHits(1);
      meters.Update(score);
    }
    EXPECT_EQ(meters.chunks[0].texture, s.chunks) << "after " << s.hits;
    EXPECT_EQ(meters.multiplier.texture, s.badge) << "after " << s.hits;
    EXPECT_EQ(meters.drunkMultiplierTexture, s.drunk) << "after " << s.hits;
  }
  // The two-hand keyboard uses the other set.
  meters.Setup(true);
  EXPECT_FALSE(meters.chunks[0].enabled);
  EXPECT_TRUE(meters.chunks[1].enabled);
}

TEST(TrackMeters, AMarkLastsThreeHundredMillisecondsAcrossTheClockWrap) {
  TrackMeters meters;
  meters.Setup(false);
  const uint32_t hit = 0xFFFFFF00u;  // the clock wraps 256 ms later
  meters.MarkAccuracy(3, 0, 2, hit);
  EXPECT_EQ(meters.AccuracyAlpha(3, 0, hit), 1.0f);
  EXPECT_EQ(meters.AccuracyAlpha(3, 0, hit + 200), 1.0f);
  EXPECT_NEAR(meters.AccuracyAlpha(3, 0, hit + 250), 0.5f, 1e-5f);
  EXPECT_EQ(meters.AccuracyAlpha(3, 0, hit + 300), 0.0f);
  EXPECT_EQ(meters.AccuracyAlpha(3, 1, hit), 0.0f) << "the other hand's lane";
  EXPECT_EQ(meters.AccuracyAlpha(2, 0, hit), 0.0f) << "another lane";
  meters.MarkAccuracy(92, 0, 2, hit);  // beyond the lanes: ignored
  meters.MarkAccuracy(3, 2, 2, hit);
  EXPECT_EQ(meters.Accuracy(92, 0), nullptr);
  EXPECT_EQ(meters.AccuracyAlpha(3, 2, hit), 0.0f);
}

// A lane-2 note at 2000 ms strummed at different times leaves its grade on lane 2.
TEST(TrackMeters, JudgedHitsMarkTheirLaneWithTheirGrade) {
  struct Case {
    double strum;
    int32_t mark;
  } cases[] = {{2000, kPerfect}, {2025, kLate}, {1975, kEarly}, {2060, kVeryLate}, {1940, kVeryEarly}};
  for (const Case& c : cases) {
    MidiFileBuilder midi(480);
    TempoTrack(midi);
    midi.Track("PART GUITAR").Note(1920, 97, 30).Note(2880, 96, 30);
    Harness h(midi.Build());
    Player& p = h.Setup(PlayerSpec());
    h.Run({{c.strum - 30, 2, true, 128}, {c.strum, 12, true, 128}}, 2500);
    ASSERT_EQ(p.score().hits, 1) << c.strum;
    const AccuracyMark* mark = p.track.meters.Accuracy(2, 0);
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->texture, c.mark) << "strummed at " << c.strum;
    EXPECT_EQ(p.track.meters.Accuracy(1, 0)->texture, -1) << "the other lanes keep none";
  }
}

}  // namespace
