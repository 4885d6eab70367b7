// The lane tables of every instrument kind: playable notes, lanes, fret slots,
// colours, pads and the drum-mix event text.
#include <gtest/gtest.h>

#include <vector>

#include "game/lane_map.h"

TEST(LaneMap, PlayableNoteRanges) {
  struct Case {
    int kind, difficulty, lo, hi;
  };
  const std::vector<Case> cases = {
      {0, 0, 60, 65},  {5, 1, 72, 77},  {13, 2, 84, 89}, {0, 3, 96, 101}, {0, 4, 95, 101},
      {2, 0, 60, 64},  {1, 2, 84, 88},  {10, 3, 96, 100}, {11, 4, 96, 100}, {3, 3, 96, 100},
      {7, 0, 24, 29},  {6, 1, 48, 53},  {7, 2, 72, 77},  {6, 3, 96, 101}, {12, 0, 60, 63},
      {12, 3, 96, 99}, {8, 0, 48, 72},  {8, 4, 48, 72},  {14, 2, 21, 108}, {4, 1, 36, 84}, {9, 4, 36, 84},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " d" << c.difficulty);
    EXPECT_FALSE(LaneMap::IsPlayableNote(c.kind, c.lo - 1, c.difficulty));
    EXPECT_TRUE(LaneMap::IsPlayableNote(c.kind, c.lo, c.difficulty));
    EXPECT_TRUE(LaneMap::IsPlayableNote(c.kind, c.hi, c.difficulty));
    EXPECT_FALSE(LaneMap::IsPlayableNote(c.kind, c.hi + 1, c.difficulty));
  }
  // Keys, pro strings and dance have nothing above expert; unknown kinds nothing at all.
  for (int kind : {3, 6, 7, 12}) {
    for (int note = 0; note < 128; ++note) EXPECT_FALSE(LaneMap::IsPlayableNote(kind, note, 4)) << kind << " " << note;
  }
  EXPECT_FALSE(LaneMap::IsPlayableNote(15, 60, 0));
  EXPECT_FALSE(LaneMap::IsPlayableNote(2, 96, 5));
}

TEST(LaneMap, LaneOfNotes) {
  struct Case {
    int kind, difficulty, note;
    bool swap;
    int lane;
  };
  const std::vector<Case> cases = {
      {0, 3, 96, false, 0},  {0, 3, 97, false, 2},  {0, 3, 99, false, 4},  {0, 3, 100, false, 1},
      {0, 3, 101, false, 5}, {0, 3, 100, true, 5},  {0, 3, 101, true, 1},  {0, 4, 95, false, 0},
      {0, 4, 96, false, 0},  {0, 4, 98, false, 3},  {2, 0, 60, false, 1},  {2, 3, 100, false, 5},
      {3, 1, 73, false, 2},  {7, 0, 24, false, 2},  {7, 0, 25, false, 1},  {7, 0, 29, false, 9},
      {6, 3, 98, false, 5},  {12, 2, 84, false, 2}, {12, 2, 87, false, 1}, {8, 0, 48, false, 28},
      {14, 0, 21, false, 1}, {14, 0, 108, false, 88}, {4, 0, 36, false, 1}, {2, 3, 101, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " note " << c.note);
    EXPECT_EQ(LaneMap::NoteLane(c.kind, c.note, c.difficulty, c.swap), c.lane);
  }
  int piece = 0;
  EXPECT_EQ(LaneMap::NoteLane(0, 95, 4, false, &piece), 0);
  EXPECT_EQ(piece, 1);
}

TEST(LaneMap, FretSlotsAndColours) {
  struct Row {
    int kind, laneCount;
    std::vector<int> colour, fret;
  };
  const std::vector<Row> rows = {
      {0, 4, {0, 2, 3, 4, 1, -1}, {0, 4, 1, 2, 3, 4, 2, 3, 4, -1}},
      {0, 5, {0, 2, 3, 4, 5, 1, -1}, {0, 5, 1, 2, 3, 4, 2, 3, 5, -1}},
      {2, 5, {0, 1, 2, 3, 4, 5, -1}, {0, 1, 2, 3, 4, 5, -1}},
      {3, 5, {0, 1, 2, 3, 4, 5, -1}, {0, 1, 2, 3, 4, 5, -1}},
      {13, 7, {0, 2, 3, 6, 4, 7, 1, 8, -1}, {0, 6, 1, 2, 4, 6, 3, 5, 7, -1}},
      {7, 6, {0, 2, 1, 5, 4, 3, -1, -1, -1, 9, -1}, {0, 2, 1, 5, 4, 3, -1, -1, -1, 6, -1}},
      {12, 4, {0, 2, 4, 3, 1, -1}, {0, 4, 1, 3, 2, 0, -1}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "kind " << r.kind << " lanes " << r.laneCount);
    for (size_t lane = 0; lane < r.colour.size(); ++lane)
      EXPECT_EQ(LaneMap::ColourIndex(static_cast<int>(lane), r.kind, r.laneCount), r.colour[lane]) << lane;
    for (size_t lane = 0; lane < r.fret.size(); ++lane)
      EXPECT_EQ(LaneMap::FretIndex(static_cast<int>(lane), r.kind, r.laneCount), r.fret[lane]) << lane;
  }
  // Wide boards: the lane itself, but never outside the 92 slots.
  EXPECT_EQ(LaneMap::FretIndex(88, 14, 88), 88);
  EXPECT_EQ(LaneMap::FretIndex(-20, 14, 88), -1);
  EXPECT_EQ(LaneMap::FretIndex(92, 14, 88), -1);
  // Combinations the tables do not hold have no slot at all.
  EXPECT_EQ(LaneMap::FretIndex(1, 0, 7), -1);
  EXPECT_EQ(LaneMap::FretIndex(1, 5, 5), -1);
  EXPECT_EQ(LaneMap::FretIndex(1, 12, 5), -1);
  EXPECT_EQ(LaneMap::FretIndex(1, 15, 5), -1);
}

TEST(LaneMap, LaneCountsAreAlwaysPlayable) {
  EXPECT_EQ(LaneMap::NormalLaneCount(0, 5), 5);
  for (int bad : {0, 3, 6, 7, -1, 1000}) {
    const int lanes = LaneMap::NormalLaneCount(0, bad);
    EXPECT_EQ(lanes, 4) << bad;
    for (int lane = 0; lane <= 4; ++lane) EXPECT_GE(LaneMap::FretIndex(lane, 0, lanes), 0);
  }
  EXPECT_EQ(LaneMap::NormalLaneCount(13, 4), 7);
  EXPECT_EQ(LaneMap::NormalLaneCount(7, 5), 6);
  EXPECT_EQ(LaneMap::NormalLaneCount(14, 5), 88);
  EXPECT_EQ(LaneMap::NormalLaneCount(12, 5), 4);
  EXPECT_EQ(LaneMap::NormalLaneCount(9, 5), 49);
  EXPECT_EQ(LaneMap::NormalLaneCount(2, 9), 5);
}

TEST(LaneMap, PadsIndexesAndEffects) {
  const int dance[4] = {1, 3, 4, 2}, d4[4] = {1, 4, 3, 2}, d5[4] = {5, 1, 4, 3}, d7[4] = {1, 4, 8, 7};
  for (int pad = 0; pad < 4; ++pad) {
    EXPECT_EQ(LaneMap::PadToLane(12, 4, pad), dance[pad]);
    EXPECT_EQ(LaneMap::PadToLane(0, 4, pad), d4[pad]);
    EXPECT_EQ(LaneMap::PadToLane(0, 5, pad), d5[pad]);
    EXPECT_EQ(LaneMap::PadToLane(13, 7, pad), d7[pad]);
    EXPECT_EQ(LaneMap::PadToLane(2, 5, pad), 0);
  }
  EXPECT_EQ(LaneMap::PadToLane(0, 4, 4), 0);
  const std::vector<int> a = {0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13, 14, -1, -1, 4, 9, -1};
  for (size_t k = 0; k < a.size(); ++k) EXPECT_EQ(LaneMap::TrackToIndexA(static_cast<int>(k)), a[k]) << k;
  const std::vector<int> b = {0, 1, 2, 3, 15, 4, 5, 6, 7, 16, 8, 9, 10, 11, 12, -1};
  for (size_t k = 0; k < b.size(); ++k) EXPECT_EQ(LaneMap::TrackToIndexB(static_cast<int>(k)), b[k]) << k;
  EXPECT_EQ(LaneMap::TrackToIndexA(-1), -1);
  const std::vector<int> fx = {30, 25, 31, 25, 25, 26, 25, 27, 28, 25, 29};
  for (size_t e = 0; e < fx.size(); ++e) EXPECT_EQ(LaneMap::EffectSlot(static_cast<int>(e)), fx[e]) << e;
  EXPECT_EQ(LaneMap::EffectSlot(11), -1);
  EXPECT_EQ(LaneMap::EffectSlot(-1), -1);
}

TEST(LaneMap, CanPlayPart) {
  const bool present[6] = {true, false, false, true, false, false};
  const bool absent[6] = {false, true, true, true, true, true};
  const bool empty[6] = {true, false, false, false, false, false};
  EXPECT_TRUE(LaneMap::CanPlayPart(0, 13, present));
  EXPECT_FALSE(LaneMap::CanPlayPart(0, 2, present));
  EXPECT_TRUE(LaneMap::CanPlayPart(1, 3, present));
  EXPECT_FALSE(LaneMap::CanPlayPart(1, 6, present));
  EXPECT_TRUE(LaneMap::CanPlayPart(2, 12, present));
  EXPECT_FALSE(LaneMap::CanPlayPart(3, 9, present));
  EXPECT_TRUE(LaneMap::CanPlayPart(4, 14, present));
  EXPECT_TRUE(LaneMap::CanPlayPart(6, 7, present));
  EXPECT_TRUE(LaneMap::CanPlayPart(7, 12, present));
  EXPECT_FALSE(LaneMap::CanPlayPart(8, 2, present));
  EXPECT_FALSE(LaneMap::CanPlayPart(2, 2, absent));
  EXPECT_FALSE(LaneMap::CanPlayPart(2, 2, empty));
}

TEST(LaneMap, MirrorDrumLane) {
  // Five lanes: slots 1..5 mirror to 5..1.
  EXPECT_EQ(LaneMap::MirrorDrumLane(2, 0, 5), 1);  // slot 1 -> slot 5
  EXPECT_EQ(LaneMap::MirrorDrumLane(3, 0, 5), 5);  // slot 2 -> slot 4
  EXPECT_EQ(LaneMap::MirrorDrumLane(4, 0, 5), 4);  // slot 3 stays
  EXPECT_EQ(LaneMap::MirrorDrumLane(0, 0, 5), 0);
  EXPECT_EQ(LaneMap::MirrorDrumLane(2, 2, 5), 2);  // not a drum kind
}

TEST(LaneMap, ParseMixEvent) {
  struct Case {
    int difficulty;
    const char* text;
    bool match, flip;
  };
  const std::vector<Case> cases = {
      {3, "[mix 3 drums0d]", true, true},  {4, "[mix 3 drums0d]", true, true},
      {3, "[mix 3 drums0]", true, false},  {3, "[mix 2 drums0d]", false, false},
      {2, "[mix 2 drums1d]", true, true},  {3, "[mix 3 drums0dnoflip]", true, false},
      {3, "x [mix 3 drums2d]", true, true}, {3, "[mix 3 guitar0d]", false, false},
      {3, "[mix 3", false, false},         {0, "[mix x drums0d]", true, true},
      {3, "", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.difficulty << " " << c.text);
    bool flip = !c.flip;
    EXPECT_EQ(LaneMap::ParseMixEvent(c.difficulty, c.text, &flip), c.match);
    if (c.match) {
      EXPECT_EQ(flip, c.flip);
    }
  }
}
