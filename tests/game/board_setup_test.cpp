// Board set-up: the neck image with its fallbacks and log lines, board mode and
// revives, lefty and assist bits by kind, and the note speed taken from a profile.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/game/game_fixtures.h"
#include "tests/support/test_support.h"

using namespace gametest;

namespace {

bool HasLine(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

}  // namespace

TEST(BoardSetup, NeckFromTheThemeOrTheDefaultNecks) {
  testsupport::TempDir dir;
  dir.WriteBytes("themes/default/static/necks/plain.png", "png");
  dir.WriteBytes("themes/mine/static/necks/Wood.png", "png");
  dir.WriteBytes("themes/mine/static/necks/notes.txt", "x");
  {
    Harness h(ReferenceGuitarChart());
    h.context.practice = false;
    h.settings.THEME = u"themes\\mine\\";
    h.settings.themeFolder.clear();
    PlayerOptions o;
    o.neckName = u"Wood.png";
    h.Setup(PlayerSpec(), o);
    ASSERT_EQ(h.board.necks.size(), 1u);
    EXPECT_EQ(h.board.necks[0], u"themes/mine/static/necks/Wood.png");
    EXPECT_TRUE(h.player->neckLoaded);
    // "[Random]" or a missing name picks one of the theme's images.
    o.neckName = u"missing.png";
    h.Setup(PlayerSpec(), o);
    EXPECT_EQ(h.board.necks.back(), u"themes/mine/static/necks/Wood.png");
  }
  {
    Harness h(ReferenceGuitarChart());
    h.context.practice = false;
    h.settings.THEME = u"themes/empty/";
    h.settings.themeFolder.clear();
    h.board.neckLoads = false;
    h.Setup(PlayerSpec());
    ASSERT_EQ(h.board.necks.size(), 1u);
    EXPECT_EQ(h.board.necks[0], u"themes/default/static/necks/plain.png");
    EXPECT_FALSE(h.player->neckLoaded);
    const auto lines = dir.GameLogTexts();
    EXPECT_TRUE(HasLine(lines, "ERROR:No Random Files Found:themes/empty/static/necks/"));
    EXPECT_TRUE(HasLine(lines, "Loading From Default Necks"));
    EXPECT_TRUE(HasLine(lines, "ERROR! Could Not Load Neck:themes/default/static/necks/plain.png"));
  }
  {
    // Practice boards load no neck.
    Harness h(ReferenceGuitarChart());
    h.Setup(PlayerSpec());
    EXPECT_TRUE(h.board.necks.empty());
  }
}

TEST(BoardSetup, BoardModeRevivesLeftyAndAssistBits) {
  struct Case {
    int gameMode, players, boardMode, revives;
  };
  for (const Case& c : {Case{0, 1, 0, 0}, Case{0, 2, 3, 3}, Case{1, 2, 0, 0}, Case{5, 3, 0, 0}, Case{7, 3, 0, 0},
                        Case{4, 3, 3, 3}}) {
    Harness h(ReferenceGuitarChart());
    h.context.gameMode = c.gameMode;
    h.context.playerCount = c.players;
    Player& p = h.Setup(PlayerSpec());
    EXPECT_EQ(p.boardMode, c.boardMode) << c.gameMode << " " << c.players;
    EXPECT_EQ(p.revivesLeft, c.revives);
  }
  struct AssistCase {
    int kind, laneCount, option;
    uint32_t bits;
  };
  for (const AssistCase& c : {AssistCase{0, 4, 1, 1}, AssistCase{0, 4, 2, 2}, AssistCase{13, 7, 4, 6},
                              AssistCase{5, 7, 3, 0}, AssistCase{7, 6, 1, 1}, AssistCase{3, 5, 1, 1},
                              AssistCase{14, 88, 2, 8}, AssistCase{14, 88, 3, 16}, AssistCase{8, 88, 2, 0},
                              AssistCase{12, 4, 1, 1}, AssistCase{4, 49, 1, 0}}) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " option " << c.option);
    Harness h(ReferenceGuitarChart());
    PlayerOptions o;
    o.drumAssist = o.fiveFretAssist = o.keysAssist = o.danceAssist = c.option;
    PlayerSpec params;
    params.kind = c.kind;
    params.laneCount = c.laneCount;
    EXPECT_EQ(h.Setup(params, o).assistBits, c.bits);
  }
  PlayerOptions o;
  o.leftyDrums = true;
  Harness h(ReferenceGuitarChart());
  PlayerSpec drums;
  drums.kind = 0;
  drums.laneCount = 4;
  EXPECT_TRUE(h.Setup(drums, o).lefty);
  PlayerSpec dance;
  dance.kind = 12;
  dance.laneCount = 4;
  o.leftyGuitar = o.leftyKeys = true;
  EXPECT_FALSE(h.Setup(dance, o).lefty);
}

TEST(BoardSetup, NoteSpeedIsKeptInRangeAndBadLaneCountsAreMended) {
  struct Case {
    int noteSpeed;
    float expectedPosition;  // of the note at 2000 ms seen at 1000 ms
  };
  // f = (52 - speed) / 10, limited to the speeds 2..50.
  for (const Case& c : {Case{32, 500.0f}, Case{52, 5000.0f}, Case{200, 5000.0f}, Case{-10, 200.0f}, Case{42, 1000.0f}}) {
    Harness h(ReferenceGuitarChart());
    PlayerOptions o;
    o.noteSpeed = c.noteSpeed;
    Player& p = h.Setup(PlayerSpec(), o);
    h.Frame(1000.0);
    EXPECT_FLOAT_EQ(p.track.notes[1].position, c.expectedPosition) << c.noteSpeed;
  }
  Harness h(ReferenceGuitarChart());
  PlayerSpec params;
  params.kind = 0;
  params.laneCount = 9;  // not a drum board: made a four-lane one
  Player& p = h.Setup(params);
  EXPECT_EQ(p.laneCount, 4);
}

TEST(BoardSetup, PauseReleasesEveryLane) {
  Harness h(ReferenceGuitarChart());
  Player& p = h.Setup(PlayerSpec());
  h.input.Push(1, true, 128);
  h.input.Push(3, true, 128);
  h.Frame(100);
  ASSERT_TRUE(p.track.lanes[1].held);
  h.net.sent.clear();
  EXPECT_TRUE(p.RequestPause());
  EXPECT_TRUE(p.menuRequest);
  EXPECT_EQ(p.menuRequestCode, 1);
  EXPECT_FALSE(p.track.lanes[1].held);
  EXPECT_FALSE(p.track.lanes[3].held);
  EXPECT_TRUE(p.track.lanes[0].held);  // the open lane
  EXPECT_EQ(h.net.OfCode(12).size(), 6u);  // lanes 0..5 of the board
}
