// Lane lines and the board-wide lights over them: the effect values on a fixed
// millisecond clock and what each draw sends to the Recording back end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "board_fx_fixtures.h"
#include "graphics/fret_manager.h"
#include "graphics/lane_lines.h"
#include "platform/clock.h"

namespace {

namespace gfx = platform::gfx;
using boardfxtest::DrawnObject;
using graphics::LaneLines;

constexpr int kLaneModel = 51, kLaneSidesModel = 52;
constexpr int kNormal = 60, kEnergy = 61, kGlow = 62, kMiss = 63, kRollEdge = 64, kOctave = 65;

class LaneLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    board.FillFretTextures();
    ASSERT_TRUE(board.LoadSquare(kLaneModel, 1.0f, 300.0f));
    ASSERT_TRUE(board.LoadSquare(kLaneSidesModel, 120.0f, 300.0f));
    clock.clock.AdvanceMs(5000);
  }
  void Setup(int32_t kind, int32_t laneCount, int32_t visible0, int32_t visible1, float offset1 = 0.0f) {
    const float offsets[2] = {0.0f, offset1};
    const int32_t visible[2] = {visible0, visible1};
    lines.Setup(laneCount, 0, false, &board.scene, kind, offsets, visible);
  }
  void Advance(uint32_t ms) {
    clock.clock.AdvanceMs(ms);
    lines.Update();
  }
  std::vector<DrawnObject> DrawPane(int32_t pane) {
    device.ClearLog();
    lines.Draw(pane);
    return boardfxtest::DrawnObjects(device, board);
  }
  static std::vector<int> Textures(const std::vector<DrawnObject>& drawn, int model) {
    std::vector<int> out;
    for (const DrawnObject& o : drawn) {
      if (o.model == model) out.push_back(o.texture);
    }
    return out;
  }

  platform::ScopedFakeClock clock;
  gfx::RecordingRenderDevice device;
  boardfxtest::BoardScene board{&device};
  LaneLines lines;
};

TEST_F(LaneLinesTest, FiveLaneBoardDrawsSixPlainLinesWithoutEffects) {
  Setup(2, 5, 5, 5);
  const auto drawn = DrawPane(0);
  EXPECT_EQ(Textures(drawn, kLaneModel), std::vector<int>(6, kNormal));
  EXPECT_TRUE(Textures(drawn, kLaneSidesModel).empty());
  // Boundary i lies at the start of lane i: the lines run left to right across the
  // board, the outer ones at its edges.
  float lastX = -1000.0f;
  for (int i = 0; i <= 5; ++i) {
    const float x = lines.Line(i).place[0].position.x;
    EXPECT_GT(x, lastX);
    lastX = x;
  }
  EXPECT_NEAR(lines.Line(0).place[0].position.x, -lines.Line(5).place[0].position.x, 1e-3f);
}

TEST_F(LaneLinesTest, EnergyGlowFadesInOverHalfASecondAndOut) {
  Setup(2, 5, 5, 5);
  lines.EnergyGlowOn();
  EXPECT_EQ(lines.energyGlow, 0.0f);
  Advance(250);
  EXPECT_NEAR(lines.energyGlow, 0.5f, 1e-4f);
  auto drawn = DrawPane(0);
  std::vector<int> expected;
  for (int i = 0; i <= 5; ++i) {
    expected.push_back(kNormal);
    expected.push_back(kEnergy);
  }
  EXPECT_EQ(Textures(drawn, kLaneModel), expected);
  ASSERT_EQ(Textures(drawn, kLaneSidesModel), std::vector<int>{kEnergy});
  const auto sides =
      std::find_if(drawn.begin(), drawn.end(), [](const DrawnObject& o) { return o.model == kLaneSidesModel; });
  EXPECT_NEAR(sides->alpha, 0.5f, 1e-4f);
  EXPECT_EQ(sides - drawn.begin(), 12) << "the sides follow the lines";
  Advance(250);
  EXPECT_EQ(lines.energyGlow, 1.0f);
  Advance(250);
  EXPECT_EQ(lines.energyGlow, 1.0f) << "and stays";

  lines.EnergyGlowOff();
  Advance(250);
  EXPECT_NEAR(lines.energyGlow, 0.5f, 1e-4f);
  Advance(250);
  EXPECT_EQ(lines.energyGlow, 0.0f);
  EXPECT_TRUE(Textures(DrawPane(0), kLaneSidesModel).empty());
}

TEST_F(LaneLinesTest, HitAndMissFlashesFallInTwoThirdsOfASecond) {
  Setup(2, 5, 5, 5);
  lines.StartHitFlash();
  lines.StartMissFlash();
  Advance(200);
  EXPECT_NEAR(lines.hitFlash, 0.7f, 1e-4f);
  EXPECT_NEAR(lines.missFlash, 0.7f, 1e-4f);
  const auto drawn = DrawPane(0);
  const auto lane0 = Textures(drawn, kLaneModel);
  ASSERT_GE(lane0.size(), 3u);
  EXPECT_EQ((std::vector<int>{lane0[0], lane0[1], lane0[2]}), (std::vector<int>{kNormal, kGlow, kMiss}));
  EXPECT_EQ(Textures(drawn, kLaneSidesModel), (std::vector<int>{kGlow, kMiss}));
  Advance(467);
  EXPECT_NEAR(lines.hitFlash, 0.0f, 1e-3f);
  Advance(1);
  EXPECT_EQ(lines.hitFlash, 0.0f);
  EXPECT_EQ(lines.missFlash, 0.0f);
}

TEST_F(LaneLinesTest, WarningSwellsUntilSwitchedOffAndStopsAtOnce) {
  Setup(2, 5, 5, 5);
  lines.SetWarning(true);
  Advance(250);
  EXPECT_NEAR(lines.warning, 0.5f, 1e-4f);
  lines.SetWarning(true);  // no restart
  EXPECT_NEAR(lines.warning, 0.5f, 1e-4f);
  Advance(250);
  EXPECT_NEAR(lines.warning, 1.0f, 1e-4f);
  Advance(250);
  EXPECT_NEAR(lines.warning, 0.5f, 1e-4f) << "and fades again";
  EXPECT_EQ(Textures(DrawPane(0), kLaneSidesModel), std::vector<int>{kMiss});

  lines.SetWarning(false);
  EXPECT_EQ(lines.warning, 0.0f);
  for (int i = 0; i < 8; ++i) {
    Advance(125);
    EXPECT_EQ(lines.warning, 0.0f) << "no last swell after switching off";
  }
  EXPECT_TRUE(Textures(DrawPane(0), kLaneSidesModel).empty());
  lines.SetWarning(false);
  EXPECT_FALSE(lines.warningOn);
}

TEST_F(LaneLinesTest, KeyboardLinesAreFullAtOctaveAndFifthOnly) {
  Setup(14, 88, 88, 88);
  const auto drawn = DrawPane(0);
  const auto textures = Textures(drawn, kLaneModel);
  ASSERT_EQ(textures.size(), 89u);
  int full = 0;
  for (int i = 0; i <= 88; ++i) {
    const int note = ((i - 1) % 12 + 12) % 12;
    const bool strong = note == 2 || note == 7;
    full += strong ? 1 : 0;
    EXPECT_EQ(lines.Line(i).alpha[0], strong ? 1.0f : 0.25f) << "line " << i;
    EXPECT_EQ(textures[static_cast<size_t>(i)], note == 2 ? kOctave : kNormal) << "line " << i;
  }
  EXPECT_EQ(full, 15);
}

TEST_F(LaneLinesTest, RealKeyLinesFadeAtTheBoardsEdge) {
  // 24 of 48 keys in view, the window part-way through a move to key 12: line 12 lies
  // just past the board's edge, where keys and lines fade out.
  Setup(8, 48, 24, 24, 12.3f);
  EXPECT_EQ(lines.firstLine[1], 12);
  EXPECT_EQ(lines.endLine[1], 37);
  const auto drawn = DrawPane(1);
  const float x = lines.Line(12).place[1].position.x;
  ASSERT_GT(std::fabs(x), 118.0f);
  ASSERT_LT(std::fabs(x), 121.0f);
  const float v = graphics::KeyVisibility(8, x);
  EXPECT_NEAR(lines.Line(12).alpha[1], 0.25f * v, 1e-6f) << "a quarter line, faded";
  ASSERT_FALSE(drawn.empty());
  EXPECT_NEAR(drawn[0].alpha, 0.25f * v, 1e-6f);
  EXPECT_EQ(lines.Line(15).alpha[1], 1.0f) << "an octave line well inside the board";
}

TEST_F(LaneLinesTest, RangeMovePulsesItsEdgesForFourSecondsThenFades) {
  Setup(8, 48, 24, 24);
  lines.ShowRangeMove(0, 0);
  EXPECT_EQ(lines.edgeEnvelope[0], 1.0f);
  Advance(333);
  EXPECT_NEAR(lines.edgePulse[0], 0.5f, 1e-3f);  // 1.5 a second, there and back
  EXPECT_NEAR(lines.pulse2[0], 1.0f, 2e-3f);     // 3 a second
  auto drawn = DrawPane(0);
  std::vector<int> edges;
  for (int i = 0; i < static_cast<int>(drawn.size()); ++i) {
    if (drawn[static_cast<size_t>(i)].texture == kRollEdge) edges.push_back(i);
  }
  ASSERT_EQ(edges.size(), 2u) << "lines 0 and 24, the edges of the range";
  EXPECT_NEAR(drawn[static_cast<size_t>(edges[0])].alpha, 0.5f, 1e-3f);
  EXPECT_TRUE(Textures(DrawPane(1), kLaneModel).size() > 0);
  EXPECT_EQ(
      std::count_if(device.draws.begin(), device.draws.end(),
                    [&](const gfx::RecordedDraw& d) { return board.FretSlotOf(d.state.textures[0]) == kRollEdge; }),
      0)
      << "the other sub-board does not pulse";

  Advance(2667);  // 3 s: the second envelope starts to fall
  EXPECT_EQ(lines.envelope2[0], 1.0f);
  Advance(333);
  EXPECT_NEAR(lines.envelope2[0], 0.5f, 1e-3f);
  Advance(666);  // 3999 ms
  EXPECT_EQ(lines.edgeEnvelope[0], 1.0f);
  Advance(1);
  EXPECT_EQ(lines.edgeEnvelope[0], 1.0f);
  Advance(333);
  EXPECT_NEAR(lines.edgeEnvelope[0], 0.5f, 1e-3f);
  Advance(334);
  EXPECT_EQ(lines.edgeEnvelope[0], 0.0f);
  drawn = DrawPane(0);
  EXPECT_EQ(std::count_if(drawn.begin(), drawn.end(), [](const DrawnObject& o) { return o.texture == kRollEdge; }), 0);
  EXPECT_GE(lines.edgePulse[0], 0.0f) << "the pulse runs on under the closed envelope";

  // A new move while the old one fades opens the envelope again.
  lines.ShowRangeMove(0, 0);
  Advance(100);
  EXPECT_EQ(lines.edgeEnvelope[0], 1.0f);
}

TEST_F(LaneLinesTest, LaneCountBeyondTheLinesIsClamped) {
  Setup(8, 300, 300, 300);
  EXPECT_EQ(lines.laneCount, LaneLines::kMaxLaneCount);
  EXPECT_EQ(lines.endLine[0], LaneLines::kLines);
  const auto drawn = DrawPane(0);
  const size_t shown = Textures(drawn, kLaneModel).size();
  EXPECT_GT(shown, 0u);
  EXPECT_LE(shown, static_cast<size_t>(LaneLines::kLines));
  const auto log = board.dir.GameLogTexts();
  EXPECT_TRUE(std::find(log.begin(), log.end(), "Lane lines: lane count 300 out of range") != log.end());
}

}  // namespace
