// The achievement checks of a playing level.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "game/level/achievements.h"
#include "tests/game/level_test_harness.h"

namespace {

using namespace leveltest;

constexpr const char* kHash = "00112233445566778899aabbccddeeff";

class Gamepad : public LevelController {
 public:
  Gamepad() {
    isGamepad = [this]() { return IsGamepad(); };
  }
  bool IsGamepad() const { return true; }
};

class LevelAchievementsTest : public ::testing::Test, public LevelTestBase {
 public:
  LevelAchievementsTest() {
    songs[0].info = std::make_unique<SongInfo>();
    songs[0].scores = std::make_unique<ScoreTable>();
    songs[0].scores->chartHash = kHash;
    g_Settings.BACKGROUND = 0;
  }

  // n players at expert with ten notes each, none hit; profiles saved in the temp folder.
  void Players(int32_t n) {
    LevelState& level = Level();
    level.playerCount = n;
    level.players = std::make_unique<Player[]>(static_cast<size_t>(n));
    level.rating = std::make_unique<ScoreRating>();
    profiles.clear();
    profiles.resize(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      Profile& pr = profiles[static_cast<size_t>(i)];
      pr.PLAYERNAME = "P" + std::to_string(i);
      pr.path = dir.WPath("profiles/P" + std::to_string(i) + ".dat");
      Player& p = level.players[static_cast<size_t>(i)];
      p.options.name = pr.PLAYERNAME;
      p.difficulty = 3;
      p.score().noteCount = 10;
      level.info[static_cast<size_t>(i)].profile = &pr;
    }
    Session().ingame = InGameState();
    menus.achievements.clear();
  }
  Player& P(int32_t i) { return Level().players[static_cast<size_t>(i)]; }
  void FullCombo(int32_t i) { P(i).score().hits = P(i).score().noteCount; }

  std::set<int32_t> Awarded(int32_t i) const {
    std::set<int32_t> out;
    for (int32_t k = 0; k < kAchievementKinds; ++k) {
      if (profiles[static_cast<size_t>(i)].achievements[static_cast<size_t>(k)]) out.insert(k);
    }
    return out;
  }

  std::vector<Profile> profiles;
};

TEST_F(LevelAchievementsTest, EachConditionAwardsItsAchievement) {
  struct Case {
    const char* name;
    int32_t players;
    std::function<void(LevelAchievementsTest&)> set;
    std::set<int32_t> first;  // awarded to player 0
  };
  const std::vector<Case> cases = {
      {"nothing yet", 1, [](LevelAchievementsTest&) {}, {}},
      {"perfection denied", 1, [](LevelAchievementsTest& t) {
         Session().ingame.songPassed = true;
         t.P(0).score().hits = 9;
       }, {0}},
      {"energy on the stage", 1, [](LevelAchievementsTest& t) {
         g_Settings.BACKGROUND = 2;
         t.P(0).score().energyActive = true;
       }, {1}},
      {"friends", 3, [](LevelAchievementsTest&) { Session().ingame.songPassed = true; }, {2}},
      {"braggin", 9, [](LevelAchievementsTest&) { Session().ingame.songPassed = true; }, {2, 3}},
      {"life guard", 1, [](LevelAchievementsTest& t) {
         Session().ingame.songPassed = true;
         t.P(0).score().graceCount = 1;
       }, {4}},
      {"hero", 1, [](LevelAchievementsTest& t) {
         Session().ingame.songPassed = true;
         t.P(0).score().graceCount = 5;
       }, {4, 5}},
      {"step to perfection", 1, [](LevelAchievementsTest& t) {
         Session().ingame.songPassed = true;
         t.P(0).difficulty = 2;
         t.FullCombo(0);
       }, {7}},
      {"perfection", 1, [](LevelAchievementsTest& t) {
         Session().ingame.songPassed = true;
         t.FullCombo(0);
       }, {6}},
      {"top rating", 1, [](LevelAchievementsTest&) {
         Session().ingame.songPassed = true;
         Level().rating->level = 6.0f;
       }, {8}},
      {"bat hero", 1, [](LevelAchievementsTest& t) {
         Session().ingame.songPassed = true;
         Session().boardRolled = true;
         t.P(0).score().noteCount = 100;
         t.FullCombo(0);
       }, {6, 22}},
      {"multi full combo", 2, [](LevelAchievementsTest& t) {
         Session().ingame.songPassed = true;
         t.FullCombo(0);
         t.FullCombo(1);
       }, {6, 10}},
      {"multi top rating", 2, [](LevelAchievementsTest&) {
         Session().ingame.songPassed = true;
         Level().rating->level = 6.0f;
       }, {8, 9}},
      {"star", 1, [](LevelAchievementsTest& t) { t.P(0).score().energyActivations = 7; }, {17}},
      {"failed late", 1, [](LevelAchievementsTest&) {
         Session().ingame.songFailed = true;
         Session().ingame.failedSecondsLeft = 15.0f;
       }, {18}},
      {"failed early", 1, [](LevelAchievementsTest&) {
         Session().ingame.songFailed = true;
         Session().ingame.failedSecondsLeft = 15.5f;
       }, {}},
      {"another player's name", 2, [](LevelAchievementsTest& t) { t.P(1).options.name = "YOUR MOTHER"; }, {19}},
      {"the only one failed", 2, [](LevelAchievementsTest& t) {
         Session().ingame.songPassed = true;
         t.P(0).score().failed = true;
       }, {21}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_Settings.BACKGROUND = 0;
    Session().boardRolled = false;
    Players(c.players);
    c.set(*this);
    CheckAchievements();
    EXPECT_EQ(Awarded(0), c.first);
  }
}

TEST_F(LevelAchievementsTest, AnAwardSavesTheProfileAndShowsThePopUpOnce) {
  Players(1);
  P(0).score().energyActivations = 7;
  CheckAchievements();
  CheckAchievements();
  ASSERT_EQ(menus.achievements.size(), 1u);
  EXPECT_EQ(menus.achievements[0].kind, 17);
  EXPECT_EQ(menus.achievements[0].name, u"P0");
  EXPECT_EQ(menus.achievements[0].title, g_Settings.language.GetString(AchievementTitleId(17)));
  Profile read;
  ASSERT_TRUE(read.Load(profiles[0].path));
  EXPECT_TRUE(read.achievements[17]);
}

TEST_F(LevelAchievementsTest, AnAidOfOnePlayerSwitchesAchievementsOffForAll) {
  const std::vector<std::pair<const char*, std::function<void(LevelAchievementsTest&)>>> aids = {
      {"drunk hit window", [](LevelAchievementsTest& t) { t.P(1).hitWindow = 170.0; }},
      {"assist", [](LevelAchievementsTest& t) { t.P(1).assistBits = 4; }},
      {"no fail used", [](LevelAchievementsTest& t) {
         t.P(1).score().noFail = true;
         t.P(1).score().meterEmptied = true;
       }},
      {"calibration song", [](LevelAchievementsTest& t) { t.songs[0].info->vl_calibrator = true; }},
  };
  for (const auto& [name, set] : aids) {
    SCOPED_TRACE(name);
    songs[0].info->vl_calibrator = false;
    Players(2);
    P(0).score().energyActivations = 7;
    set(*this);
    CheckAchievements();
    EXPECT_TRUE(Awarded(0).empty());
    EXPECT_TRUE(menus.achievements.empty());
  }
}

TEST_F(LevelAchievementsTest, RemoteAndReadOnlyPlayersGetNothingButStillCount) {
  Players(3);
  P(1).remote = true;
  profiles[2].READONLY = true;
  Session().ingame.songPassed = true;
  CheckAchievements();
  EXPECT_EQ(Awarded(0), (std::set<int32_t>{2}));  // three players: friends
  EXPECT_TRUE(Awarded(1).empty());
  EXPECT_TRUE(Awarded(2).empty());
}

TEST_F(LevelAchievementsTest, SongListsGrowOncePerSongAndTheirThresholdsCount) {
  Players(1);
  for (int i = 0; i < 19; ++i) profiles[0].AddListEntry(kTopRatedList, "hash" + std::to_string(i));
  Session().ingame.songPassed = true;
  Level().rating->level = 6.0f;
  FullCombo(0);
  CheckAchievements();
  CheckAchievements();  // the same song again: entered once
  EXPECT_EQ(profiles[0].listCounts[kTopRatedList], 20);
  EXPECT_EQ(profiles[0].listCounts[kFullComboList], 1);
  EXPECT_EQ(Awarded(0), (std::set<int32_t>{6, 8, 11}));  // both lists in one frame, and 20 top-rated songs

  // A song without a chart hash is not counted.
  Players(1);
  songs[0].scores->chartHash.clear();
  Session().ingame.songPassed = true;
  Level().rating->level = 6.0f;
  FullCombo(0);
  CheckAchievements();
  EXPECT_EQ(profiles[0].listCounts[kTopRatedList], 0);
  EXPECT_FALSE(profiles[0].achievements[8]);
}

TEST_F(LevelAchievementsTest, ALaneFlipOnAGamepadIsWrong) {
  Gamepad pad;
  LevelController other;
  for (LevelController* c : {static_cast<LevelController*>(&pad), &other}) {
    Players(1);
    Level().info[0].controller = c;
    P(0).track.mix.mixFlip = true;
    CheckAchievements();
    EXPECT_EQ(Awarded(0).count(20), c == &pad ? 1u : 0u);
  }
}

}  // namespace
