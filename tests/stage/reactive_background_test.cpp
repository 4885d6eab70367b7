// The reactive background's song events: beats per step with catch-up, energy on and
// off across players, notes per lane and the combo break, with and without a theme.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "game/player.h"
#include "recording_theme.h"
#include "theme/reactive_background.h"

namespace theme {
namespace {

constexpr const char* kDocument =
    "<image><id>ring</id><path>ring.png</path>"
    "<fx><id>beat_event</id><trigger>1</trigger><target>alpha</target><fx_type>set</fx_type><end>50</end></fx>"
    "</image>\n";

class ReactiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h_.WritePicture("bg/ring.png", 16, 16);
    h_.WriteDocument("bg/abstract_main.ini", kDocument);
    ASSERT_TRUE(reactive_.Load(u"abstract_main", u"bg/"));
    reactive_.listener = [this](std::string_view id, std::string_view row, std::string_view trigger) {
      events_.push_back(std::string(id) + "|" + std::string(row) + "|" + std::string(trigger));
    };
    players_ = std::make_unique<Player[]>(2);
  }
  std::vector<std::string> Frame() {
    events_.clear();
    reactive_.SendSongEvents(players_.get(), 2);
    for (int p = 0; p < 2; ++p) {
      for (bool& hit : players_[p].laneHit) hit = false;
      players_[p].score().comboBroken = false;
    }
    return events_;
  }

  themetest::RecordingTheme h_;
  ReactiveBackground reactive_{&h_.context};
  std::unique_ptr<Player[]> players_;
  std::vector<std::string> events_;
};

using Events = std::vector<std::string>;

TEST_F(ReactiveTest, EachBeatStepFiresOnceAFrameAndCatchesUp) {
  players_[0].track.currentBeat = 0.5;
  EXPECT_EQ(Frame(), Events{});
  players_[0].track.currentBeat = 8.0;
  EXPECT_EQ(Frame(), (Events{"beat_event||1", "beat_event||2", "beat_event||4", "beat_event||8"}));
  EXPECT_FLOAT_EQ(reactive_.NextBeat(1), 2.0f);
  EXPECT_FLOAT_EQ(reactive_.NextBeat(2), 4.0f);
  EXPECT_FLOAT_EQ(reactive_.NextBeat(4), 8.0f);
  EXPECT_FLOAT_EQ(reactive_.NextBeat(8), 16.0f);
  // Step 1 and 2 still lag behind beat 8: one event each per frame until caught up.
  EXPECT_EQ(Frame(), (Events{"beat_event||1", "beat_event||2", "beat_event||4"}));
  EXPECT_EQ(Frame(), (Events{"beat_event||1", "beat_event||2"}));
  for (int i = 0; i < 5; ++i) Frame();  // up to 9: beat 8 itself fires too
  EXPECT_FLOAT_EQ(reactive_.NextBeat(1), 9.0f);
  EXPECT_EQ(Frame(), Events{});
  // The second player's beat is never read.
  players_[1].track.currentBeat = 100.0;
  EXPECT_EQ(Frame(), Events{});
}

TEST_F(ReactiveTest, EnergyOnOnceWhileAnyPlayerHasItAndOffWhenNone) {
  players_[0].score().energyActive = true;
  EXPECT_EQ(Frame(), Events{"state_event||vl_on"});
  players_[1].score().energyActive = true;
  EXPECT_EQ(Frame(), Events{});
  players_[0].score().energyActive = false;
  EXPECT_EQ(Frame(), Events{});
  EXPECT_TRUE(reactive_.EnergyShown());
  players_[1].score().energyActive = false;
  EXPECT_EQ(Frame(), Events{"state_event||vl_off"});
  EXPECT_EQ(Frame(), Events{});
}

TEST_F(ReactiveTest, NotesSendTheirLaneOncePerFrameAndKeysFoldToSeven) {
  struct Case {
    int32_t kind;
    int lane;
    const char* value;
  };
  const Case cases[] = {{8, 9, "3"}, {14, 9, "3"}, {2, 9, "9"}, {0, 0, "0"}, {3, 91, "91"}, {8, 91, "1"}};
  for (const Case& c : cases) {
    players_[0].kind = c.kind;
    players_[1].kind = 2;
    players_[0].laneHit[c.lane] = true;
    players_[1].laneHit[c.lane] = true;  // the first player decides; one event pair
    EXPECT_EQ(Frame(), (Events{std::string("note_event|") + c.value + "|hit", "note_event||hit"}))
        << c.kind << " " << c.lane;
  }
  players_[0].kind = 2;
  players_[1].laneHit[2] = true;
  players_[0].laneHit[5] = true;
  EXPECT_EQ(Frame(), (Events{"note_event|2|hit", "note_event||hit", "note_event|5|hit", "note_event||hit"}));
}

TEST_F(ReactiveTest, ComboBreakOnceWhateverTheNumberOfPlayers) {
  players_[0].score().comboBroken = true;
  players_[1].score().comboBroken = true;
  EXPECT_EQ(Frame(), Events{"state_event||combo_break"});
  EXPECT_EQ(Frame(), Events{});
}

TEST_F(ReactiveTest, WithoutAThemeNothingIsSentButTheCountsMoveOn) {
  EXPECT_FALSE(reactive_.Load(u"missing_theme", u"nowhere/"));
  EXPECT_EQ(reactive_.Theme(), nullptr);
  // The name and folder of the last good load stay, so a reload brings it back.
  EXPECT_EQ(reactive_.Name(), u"abstract_main");
  EXPECT_EQ(reactive_.Folder(), u"bg/");
  players_[0].track.currentBeat = 4.0;
  players_[0].score().energyActive = true;
  players_[0].laneHit[3] = true;
  EXPECT_EQ(Frame(), Events{});
  EXPECT_FLOAT_EQ(reactive_.NextBeat(1), 2.0f);
  EXPECT_FLOAT_EQ(reactive_.NextBeat(4), 8.0f);
  EXPECT_TRUE(reactive_.EnergyShown());
  EXPECT_TRUE(reactive_.Reload());
  EXPECT_NE(reactive_.Theme(), nullptr);
}

TEST_F(ReactiveTest, TheThemeIsDrawnAndItsFxAnswerTheBeat) {
  ASSERT_NE(reactive_.Theme(), nullptr);
  const auto before = h_.Render(*reactive_.Theme());
  ASSERT_FALSE(before.empty());
  players_[0].track.currentBeat = 1.0;
  EXPECT_EQ(Frame(), Events{"beat_event||1"});
  EXPECT_FALSE(h_.Render(*reactive_.Theme()).empty());
}

}  // namespace
}  // namespace theme
