// The input recorder: fetching due events, and a recorded run played back to the
// same result.
#include <gtest/gtest.h>

#include "tests/game/game_fixtures.h"

using namespace gametest;

namespace {

InputEvent At(double time, uint32_t id) {
  InputEvent e;
  e.id = id;
  e.time = time;
  e.pressed = true;
  e.value = 128;
  return e;
}

}  // namespace

TEST(DemoEventList, FetchesDueEventsAndLeavesOneSlotFree) {
  DemoEventList list;
  EXPECT_EQ(list.name, "Demo Player");
  EXPECT_EQ(list.value4, -1);
  for (int i = 0; i < 5; ++i) list.Record(At(100.0 * i, static_cast<uint32_t>(i + 1)));
  EXPECT_EQ(list.count(), 5);
  InputEvent events[Player::kMaxEvents];
  int32_t count = 0;
  // Recording never points the cursor at the events.
  EXPECT_TRUE(list.FetchEvents(events, count, 1000.0));
  EXPECT_EQ(count, 0);
  list.Rewind();
  EXPECT_TRUE(list.FetchEvents(events, count, 200.0));  // equal time included
  EXPECT_EQ(count, 3);
  EXPECT_EQ(events[2].id, 3u);

  count = 149;
  EXPECT_FALSE(list.FetchEvents(events, count, 1000.0));
  EXPECT_EQ(count, 149);
  EXPECT_EQ(list.cursor()->id, 4u);
  count = 148;
  EXPECT_FALSE(list.FetchEvents(events, count, 1000.0));
  EXPECT_EQ(count, 149);
  EXPECT_EQ(events[148].id, 4u);
  count = 0;
  EXPECT_TRUE(list.FetchEvents(events, count, 1000.0));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(list.cursor(), nullptr);

  EXPECT_TRUE(list.Reset());
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.first(), nullptr);

  DemoPlayer recorder;
  EXPECT_FLOAT_EQ(recorder.version, 1.27f);
  EXPECT_EQ(recorder.List(15), nullptr);
  EXPECT_EQ(recorder.List(-1), nullptr);
}

TEST(DemoPlayer, RecordedRunReplaysToTheSameResult) {
  std::vector<std::pair<double, int32_t>> notes;
  for (int k = 0; k < 12; ++k) {
    if (k != 4) notes.push_back({2000.0 + 500.0 * k + (k == 7 ? 33 : 0), 1 + k % 3});
  }
  std::vector<Step> script = StrumNotes(notes);
  script.push_back({7250.0, 12, true, 128});  // an overhit
  script.push_back({5750.0, 19, true, 128});  // energy (25 only: not enough)

  Harness live(ReferenceGuitarChart(true));
  live.settings.RECORDGAMEPLAY = true;
  Player& a = live.Setup(PlayerSpec());
  live.Run(script, 9000);
  const DemoEventList* recorded = live.recorder.List(0);
  ASSERT_NE(recorded, nullptr);
  EXPECT_GT(recorded->count(), static_cast<int32_t>(script.size()));  // the events and the miss

  Harness replay(ReferenceGuitarChart(true));
  replay.playback.CopyFrom(live.recorder);
  Player& b = replay.Setup(PlayerSpec());
  b.demoPlayback = true;
  // The live controller is not read in playback.
  replay.input.Push(12, true, 128);
  // Frames at other times than the live run's: each event is judged at its own time.
  for (double t = 3.0; t <= 9000.0; t += 7.0) replay.Frame(t);

  const PlayerScore& x = a.score();
  const PlayerScore& y = b.score();
  EXPECT_EQ(y.hits, x.hits);
  EXPECT_EQ(y.misses, x.misses);
  EXPECT_EQ(y.overhits, x.overhits);
  EXPECT_EQ(y.streak, x.streak);
  EXPECT_EQ(y.maxStreak, x.maxStreak);
  EXPECT_EQ(y.multiplier, x.multiplier);
  EXPECT_FLOAT_EQ(y.score, x.score);
  EXPECT_FLOAT_EQ(y.rockMeter, x.rockMeter);
  EXPECT_FLOAT_EQ(y.energy, x.energy);
  EXPECT_EQ(b.perfectCount, a.perfectCount);
  EXPECT_EQ(b.goodCount, a.goodCount);
  EXPECT_EQ(x.misses, 1);
  EXPECT_EQ(x.overhits, 1);
  EXPECT_EQ(a.goodCount, 1);
  // The live time is back after the replayed events.
  EXPECT_DOUBLE_EQ(b.songTime, replay.lastFrame);
}
