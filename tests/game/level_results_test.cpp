// The end of a song: the reasons that store nothing, the stored results and the texts
// of the player boxes.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>

#include "core/lang_ids.h"
#include "platform/text.h"
#include "song/career.h"
#include "song/career_user.h"
#include "song/score_table.h"
#include "tests/game/level_test_harness.h"

namespace {

using namespace leveltest;

constexpr const char* kHash = "0123456789abcdef0123456789abcdef";

class LevelResultsTest : public ::testing::Test, public LevelTestBase {
 protected:
  LevelResultsTest() {
    dir.MakeDir("Song");
    folder = dir.WPath("Song") + u"/";
    songs[0].folder = folder;
    songs[0].info = std::make_unique<SongInfo>();
    songs[0].scores = std::make_unique<ScoreTable>();
    songs[0].scores->folder = folder;
    songs[0].scores->chartHash = kHash;
  }

  struct PlayerEntry {
    std::string name;
    int32_t kind = 2;
    int32_t difficulty = 3;
    int32_t hits = 10;
    int32_t notes = 10;
    int32_t overhits = 0;
    bool remote = false;
    bool guest = false;
  };

  void Players(const std::vector<PlayerEntry>& specs, float total, float ratingLevel) {
    LevelState& level = Level();
    level.playerCount = static_cast<int32_t>(specs.size());
    level.players = std::make_unique<Player[]>(specs.size());
    for (size_t i = 0; i < specs.size(); ++i) {
      Player& p = level.players[i];
      p.options.name = specs[i].name;
      p.kind = specs[i].kind;
      p.difficulty = specs[i].difficulty;
      p.remote = specs[i].remote;
      p.score().hits = specs[i].hits;
      p.score().noteCount = specs[i].notes;
      p.score().overhits = specs[i].overhits;
      level.info[i].guest = specs[i].guest;
    }
    level.rating = std::make_unique<ScoreRating>();
    level.rating->totalScore = total;
    level.rating->level = ratingLevel;
  }

  ScoreTable Stored() {
    ScoreTable t;
    t.Load(folder);
    return t;
  }
  std::u16string Reason(const char* key) { return g_Settings.language.GetString(LanguageId(key)); }
  static int32_t LanguageId(const char* key) { return FindLanguageIdByName(platform::Utf8ToUtf16(key)); }

  std::u16string folder;
};

TEST_F(LevelResultsTest, EveryReasonStoresNothingAndTheLastOneExaminedIsShown) {
  struct Case {
    const char* name;
    std::function<void()> set;
    const char* key;
  };
  const std::vector<Case> cases = {
      {"debug", [] { g_Settings.DEBUGMODE = true; }, "LANG_SCORE_ERROR_DEBUG_MODE"},
      {"game type", [] { Session().gameType = 1; }, "LANG_SCORE_ERROR_GAME_MODE"},
      {"drunk", [] { g_Settings.DRUNK = true; }, "LANG_SCORE_ERROR_DRUNK_MODE"},
      {"practice", [] { Session().practice = true; }, "LANG_SCORE_ERROR_PRACTICE"},
      {"calibration", [this] { songs[0].info->vl_calibrator = true; }, "LANG_SCORE_ERROR_CALIBRATING"},
      {"no fail", [] {
         g_Settings.NOFAILMODE = 2;
         Level().players[1].score().meterEmptied = true;
       }, "LANG_SCORE_ERROR_NO_FAIL_MODE"},
      {"guest", [] { Level().info[1].guest = true; }, "LANG_SCORE_ERROR_GUEST"},
      {"assist", [] { Level().players[0].assistBits = 1; }, "LANG_SCORE_ERROR_BOT"},
      {"debug and assist", [] {
         g_Settings.DEBUGMODE = true;
         Level().players[1].assistBits = 2;
       }, "LANG_SCORE_ERROR_BOT"},
      {"practice and guest", [] {
         Session().practice = true;
         Level().info[0].guest = true;
       }, "LANG_SCORE_ERROR_GUEST"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_Settings.DEBUGMODE = g_Settings.DRUNK = false;
    g_Settings.NOFAILMODE = 0;
    Session().gameType = 0;
    Session().practice = false;
    songs[0].info->vl_calibrator = false;
    Players({{"Ann"}, {"Ben"}}, 500.0f, 3.5f);
    c.set();
    ShowHighScoreResult();
    EXPECT_EQ(Session().ingame.resultText[0], Reason(c.key));
    EXPECT_EQ(Session().ingame.resultText[1], Reason(c.key));
    EXPECT_EQ(songs[0].scores->count, 0);
    EXPECT_EQ(dir.ReadBytes("Song/vl.dat"), "");
  }
  // A guest in a career is no reason.
  g_Settings.DEBUGMODE = false;
  Session().practice = false;
  Session().career = true;
  Players({{"Ann", 2, 3, 10, 10, 0, false, true}}, 100.0f, 1.0f);
  ShowHighScoreResult();
  EXPECT_EQ(songs[0].scores->count, 0);  // the guest is not stored...
  EXPECT_TRUE(Session().ingame.resultText[0].empty());
}

TEST_F(LevelResultsTest, EachLocalPlayerStoresTheBandTotalUnderItsOwnNameKindAndDifficulty) {
  Players({{"Ann", 2, 3}, {"Ben", 1, 2}, {"Cat", 0, 1}}, 1234.9f, 4.8f);
  ShowHighScoreResult();
  const ScoreTable t = Stored();
  ASSERT_EQ(t.count, 3);
  const std::pair<std::string, int32_t> expected[] = {{"Ann", 2}, {"Ben", 1}, {"Cat", 0}};
  for (int32_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const ScoreEntry& e = t.entries[static_cast<size_t>(i)];
    EXPECT_EQ(e.name, expected[i].first);
    EXPECT_EQ(e.instrument, expected[i].second);
    EXPECT_EQ(e.difficulty, 3 - i);
    EXPECT_EQ(e.score, 1234);
    EXPECT_EQ(e.rating, 4);
    EXPECT_EQ(e.percent, 100);  // mean difficulty 2: a perfect band is 100, not 200
    EXPECT_EQ(e.players, 3);
    EXPECT_EQ(Session().ingame.resultText[static_cast<size_t>(i)], u"New High Score");
  }
}

TEST_F(LevelResultsTest, AccuracyIsTwoHundredOnlyForAPerfectBandAtExpert) {
  struct Case {
    const char* name;
    std::vector<PlayerEntry> players;
    int32_t percent;
  };
  const std::vector<Case> cases = {
      {"perfect expert", {{"Ann", 2, 3, 12, 12}}, 200},
      {"perfect expert plus", {{"Ann", 2, 4, 12, 12}}, 200},
      {"perfect hard", {{"Ann", 2, 2, 12, 12}}, 100},
      {"an overhit", {{"Ann", 2, 3, 12, 12, 1}}, 100},
      {"a miss", {{"Ann", 2, 3, 11, 12}}, 91},
      // A part without notes has no accuracy: it is left out of the mean.
      {"a vocalist without notes", {{"Ann", 2, 3, 12, 12}, {"Ben", 4, 3, 0, 0}}, 200},
      {"no notes at all", {{"Ann", 4, 3, 0, 0}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir.Path("Song/vl.dat"));
    songs[0].scores = std::make_unique<ScoreTable>();
    songs[0].scores->folder = folder;
    Players(c.players, 300.0f, 2.0f);
    ShowHighScoreResult();
    const ScoreTable t = Stored();
    ASSERT_GE(t.count, 1);
    EXPECT_EQ(t.entries[0].percent, c.percent);
  }
}

TEST_F(LevelResultsTest, RemotePlayersShowNoTextAndStoreNothingAndTextsCompareWithTheBest) {
  struct Case {
    float total;
    const char16_t* ann;
  };
  for (const Case& c : {Case{600.0f, u"You Beat Your High Score"}, Case{500.0f, u"You Matched Your High Score"},
                        Case{400.0f, u"You Didn't Beat Your High Score"}}) {
    SCOPED_TRACE(c.total);
    std::filesystem::remove(dir.Path("Song/vl.dat"));
    songs[0].scores = std::make_unique<ScoreTable>();
    songs[0].scores->folder = folder;
    songs[0].scores->AddScore(2, 500, 3, 90, 3, 1, "Ann");  // with others: any instrument
    Players({{"Ann"}, {"Rem", 2, 3, 10, 10, 0, true}}, c.total, 3.0f);
    ShowHighScoreResult();
    EXPECT_EQ(Session().ingame.resultText[0], c.ann);
    EXPECT_EQ(Session().ingame.resultText[1], u"");
    EXPECT_EQ(Level().info[1].bestScore, -1);
  }
  // Nobody named Rem was stored; a first score is new even when it is 0.
  const ScoreTable t = Stored();
  for (int32_t i = 0; i < t.count; ++i) EXPECT_NE(t.entries[static_cast<size_t>(i)].name, "Rem");
  Players({{"Eve"}}, 0.0f, 0.0f);
  ShowHighScoreResult();
  EXPECT_EQ(Session().ingame.resultText[0], u"New High Score");
}

TEST_F(LevelResultsTest, ANonFiniteBandTotalIsNeverStored) {
  Players({{"Ann"}}, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity());
  ShowHighScoreResult();
  const ScoreTable t = Stored();
  ASSERT_EQ(t.count, 1);
  EXPECT_EQ(t.entries[0].score, 0);
  EXPECT_EQ(t.entries[0].rating, 0);
}

TEST_F(LevelResultsTest, CareerSavesTheUsersProgressAndEmptiesTheTexts) {
  Career career;
  career.users.resize(1);
  CareerUser& user = career.users[0];
  user.file = dir.WPath("user_1.dat");
  user.name = "Ann";
  career.selectedUser = &user;
  CareerTrack& track = career.tracks[2];
  track.tiers.resize(2);
  track.tiers[0].songCount = 3;
  track.tiers[1].songCount = 1;
  career.selectedTrack = &track;
  Session().career = true;
  Session().careerData = &career;

  Players({{"Ann"}}, 777.0f, 5.2f);
  ShowHighScoreResult();
  EXPECT_TRUE(Session().ingame.resultText[0].empty());
  ASSERT_EQ(user.results.size(), 1u);
  EXPECT_EQ(user.results.front().hash, kHash);
  EXPECT_EQ(user.results.front().score, 777);
  EXPECT_EQ(user.results.front().rating, 5);
  EXPECT_EQ(user.results.front().percent, 200);
  EXPECT_EQ(user.progress, 25);  // one song of the track's four
  CareerUser read;
  UserData::Read(read, user.file);
  EXPECT_EQ(read.results.size(), 1u);
  EXPECT_EQ(Stored().count, 1);  // the song's score file has it too
}

}  // namespace
