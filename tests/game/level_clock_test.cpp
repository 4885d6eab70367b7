// The song clock (time sources, speed, the last-man-standing ramp) and the score
// rating meter.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "game/level/level_session.h"
#include "game/player.h"
#include "game/score_rating.h"
#include "game/level/song_clock.h"
#include "platform/clock.h"
#include "song/song.h"
#include "tests/game/level_test_harness.h"

namespace {

using leveltest::RecordingSfx;

class LevelClockTest : public ::testing::Test {
 protected:
  LevelClockTest() {
    settings.SYNCMETHOD = 0;
    session.settings = &settings;
    session.songs = songs.get();
    session.sound = &sfx;
    fake.clock.ms = 1000;
    fake.clock.ns = 7000000000;
  }

  platform::ScopedFakeClock fake;
  Settings settings;
  std::unique_ptr<Song[]> songs = std::make_unique<Song[]>(kSongSlotCount);
  LevelSession session;
  RecordingSfx sfx;
};

TEST_F(LevelClockTest, SpeedOfTheGameTypeScalesTheSongTimeButNotTheRealTime) {
  struct Case {
    int32_t type;
    double songAfterOneSecond;
  };
  for (const Case& c : {Case{0, 1000.0}, Case{1, 1000.0}, Case{2, 1200.0}, Case{3, 1400.0}, Case{4, 1600.0},
                        Case{5, 1000.0}, Case{6, 1000.0}}) {
    SCOPED_TRACE(c.type);
    session.gameType = c.type;
    SongClock clock(&session);
    clock.ApplyGameSpeed();
    clock.Restart(false);
    fake.clock.AdvanceMs(1000);
    EXPECT_NEAR(clock.Tick(), c.songAfterOneSecond, 1e-9);
    EXPECT_DOUBLE_EQ(clock.realTime, 1000.0);
    EXPECT_DOUBLE_EQ(clock.GetSongTime(), clock.songTime);
  }
}

TEST_F(LevelClockTest, WithoutASongListTheGameSpeedIsNotApplied) {
  session.songs = nullptr;
  session.gameType = 4;
  SongClock clock(&session);
  clock.ApplyGameSpeed();
  EXPECT_DOUBLE_EQ(clock.speed, 1.0);
}

TEST_F(LevelClockTest, SyncMethodOneReadsTheCounterAndOthersTheMillisecondClock) {
  for (int32_t method : {0, 1, 2}) {
    SCOPED_TRACE(method);
    settings.SYNCMETHOD = method;
    SongClock clock(&session);
    clock.Restart(false);
    fake.clock.ns += 250000000;  // a quarter second on the counter only
    clock.Tick();
    EXPECT_DOUBLE_EQ(clock.songTime, method == 1 ? 250.0 : 0.0);
    fake.clock.ms += 40;  // 40 ms on the millisecond clock only
    clock.Tick();
    EXPECT_DOUBLE_EQ(clock.songTime, method == 1 ? 250.0 : 40.0);
    // With SYNCMETHOD 2 a song without audio follows the clock's own time.
    EXPECT_DOUBLE_EQ(clock.GetSongTime(), clock.songTime);
  }
}

TEST_F(LevelClockTest, MillisecondClockWrapAndPausedIntervalAreNotCounted) {
  fake.clock.ms = 0xFFFFFF00u;
  SongClock clock(&session);
  clock.Restart(false);
  fake.clock.ms += 0x200;  // across the 32-bit wrap
  EXPECT_DOUBLE_EQ(clock.Tick(), 512.0);
  // A five-second pause, then a restart that keeps the time.
  fake.clock.AdvanceMs(5000);
  clock.Restart(true);
  EXPECT_DOUBLE_EQ(clock.GetSongTime(), 512.0);
  fake.clock.AdvanceMs(100);
  EXPECT_DOUBLE_EQ(clock.Tick(), 612.0);
  clock.SetSongTime(3000.0);
  fake.clock.AdvanceMs(10);
  EXPECT_DOUBLE_EQ(clock.Tick(), 3010.0);
  clock.Restart(false);
  EXPECT_DOUBLE_EQ(clock.songTime, 0.0);
  EXPECT_DOUBLE_EQ(clock.realTime, 0.0);
}

TEST_F(LevelClockTest, LastManStandingRampsToExactlyTwoInTenStepsWithAWarningBeforeEach) {
  session.gameType = 5;
  SongClock clock(&session);
  clock.ApplyGameSpeed();
  clock.Restart(false);
  std::vector<double> warnings, steps;
  for (int frame = 1; frame <= 4000; ++frame) {  // 400 s of real time, 100 ms frames
    fake.clock.AdvanceMs(100);
    clock.Tick();
    clock.UpdateSpeedRamp();
    if (clock.eventBits & SongClock::kSpeedWarningBit) warnings.push_back(clock.realTime);
    if (clock.eventBits & SongClock::kSpeedStepBit) steps.push_back(clock.realTime);
  }
  ASSERT_EQ(steps.size(), 10u);
  ASSERT_EQ(warnings.size(), 10u);
  EXPECT_DOUBLE_EQ(warnings[0], 23000.0);
  EXPECT_DOUBLE_EQ(steps[0], 25000.0);
  EXPECT_DOUBLE_EQ(steps[9], 250000.0);
  EXPECT_EQ(clock.speed, 2.0);  // exactly: the ramp has ended
  EXPECT_EQ(sfx.Count(101), 10);
}

TEST_F(LevelClockTest, SpeedChangesOutsideZeroToTwoAreRefused) {
  SongClock clock(&session);
  EXPECT_FALSE(clock.ChangeSpeed(2.05));
  EXPECT_FALSE(clock.ChangeSpeed(-0.05));
  EXPECT_DOUBLE_EQ(clock.speed, 1.0);
  EXPECT_TRUE(clock.ChangeSpeed(0.5));
  fake.clock.AdvanceMs(1000);
  EXPECT_DOUBLE_EQ(clock.Tick(), 500.0);
  // Sums of steps land on the grid.
  double s = 1.0;
  for (int i = 0; i < 10; ++i) s = SnapSpeed(s + 0.1);
  EXPECT_EQ(s, 2.0);
  for (int i = 0; i < 20; ++i) s = SnapSpeed(s - 0.05);
  EXPECT_EQ(s, 1.0);
}

class ScoreRatingTest : public ::testing::Test {
 protected:
  ScoreRatingTest() {
    rating.players = players.get();
    rating.playerCount = 2;
  }
  float LevelAt(float base, float total) {
    rating.totalBaseScore = base;
    players[0].score().score = total / 2;
    players[1].score().score = total / 2;
    rating.Update(&sfx);
    return rating.level;
  }

  platform::ScopedFakeClock fake;
  std::unique_ptr<Player[]> players = std::make_unique<Player[]>(2);
  ScoreRating rating;
  RecordingSfx sfx;
};

TEST_F(ScoreRatingTest, LevelFollowsTheThresholdsOfTheBaseScore) {
  struct Case {
    float base, total, level;
  };
  const Case cases[] = {
      {0.0f, 0.0f, 6.0f},         // no base score: every threshold is 0
      {300.0f, 0.0f, 0.0f},
      {1000.0f, 210.0f, 1.0f},    // exactly at 0.21
      {300.0f, 375.0f, 3.0f + (375.0f - 231.0f) / (555.0f - 231.0f)},
      {1000.0f, 4520.0f, 6.0f},   // the top, never more
      {1000.0f, 90000.0f, 6.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.total << " of " << c.base);
    rating.level = 0.0f;
    EXPECT_NEAR(LevelAt(c.base, c.total), c.level, 1e-4);
    EXPECT_NEAR(rating.totalScore, c.total, 1e-3);
  }
  rating.level = 0.0f;
  const float below = LevelAt(1000.0f, 209.9f);
  EXPECT_LT(below, 1.0f);
  EXPECT_GT(below, 0.99f);
}

TEST_F(ScoreRatingTest, ARiseFlashesAndSoundsOnceAFallIsSilent) {
  LevelAt(1000.0f, 100.0f);
  EXPECT_EQ(sfx.Count(99), 0);
  LevelAt(1000.0f, 800.0f);  // from level 0 to 3 in one frame
  EXPECT_EQ(sfx.Count(99), 1);
  EXPECT_FLOAT_EQ(rating.flash.value, 1.0f);
  fake.clock.AdvanceMs(500);
  LevelAt(1000.0f, 800.0f);
  EXPECT_NEAR(rating.flash.value, 0.5f, 1e-4);
  LevelAt(1000.0f, 300.0f);  // down to level 1
  EXPECT_EQ(sfx.Count(99), 1);
  LevelAt(1000.0f, 500.0f);  // up to 2 again
  EXPECT_EQ(sfx.Count(99), 2);
}

}  // namespace
