// Whole songs played through the application shell: the level-load job sets the song
// up on the Task thread, the song clock follows the stems rendered by the loopback
// audio device, a scripted controller plays the notes, and the results go into the
// song's "vl.dat" and "song.ini".
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "core/lang_ids.h"
#include "core/shell/shell_state.h"
#include "platform/paths.h"
#include "song/score_table.h"
#include "tests/game/level_test_harness.h"

namespace {

using namespace leveltest;

class LevelSongTest : public ::testing::Test, public LevelTestBase {
 protected:
  void SetUp() override { g_Settings.SYNCMETHOD = 2; }

  void UsePlayer(Profile& profile, const std::string& name, ChartBot& bot, int32_t difficulty = 3) {
    profile.PLAYERNAME = name;
    profile.path = dir.WPath("profiles/" + name + ".dat");
    LevelSession& s = Session();
    s.rosterCount = 1;
    s.roster[0] = LevelSlot();
    s.roster[0].profile = &profile;
    s.roster[0].kind = 2;
    s.roster[0].difficulty = difficulty;
    s.roster[0].controller = &bot;
  }

  // One song from the song-load screen to the menus; the player's final score.
  PlayerScore Play(const std::u16string& folder, bool quit = true) {
    ShellRun run(folder);
    EXPECT_TRUE(run.Load());
    EXPECT_TRUE(run.PlayToEnd());
    PlayerScore score;
    if (Level().playerCount > 0) score = Level().players[0].score();
    resultText = Session().ingame.resultText[0];
    run.Frame();  // the achievement checks of a finished song
    if (quit) {
      run.Act(InGameAction::kQuit);
      EXPECT_EQ(shell::GameState.load(), 1);
    }
    return score;
  }

  std::u16string resultText;
};

TEST_F(LevelSongTest, PerfectRunStoresItsScoreAndARunWithMissesStoresASecondBelowIt) {
  Watchdog dog(120, "two whole songs");
  const std::u16string folder = WriteSongFolder(dir, "Reference", ReferenceChart(), 10.0);

  Profile alice;
  ChartBot perfect;
  UsePlayer(alice, "Alice", perfect);
  const PlayerScore first = Play(folder);
  EXPECT_EQ(first.hits, 12);
  EXPECT_EQ(first.misses, 0);
  EXPECT_EQ(first.overhits, 0);
  EXPECT_FLOAT_EQ(first.score, 375.0f);
  EXPECT_EQ(resultText, u"New High Score");

  ScoreTable table;
  ASSERT_TRUE(table.Load(folder));
  ASSERT_EQ(table.count, 1);
  EXPECT_EQ(table.entries[0].name, "Alice");
  EXPECT_EQ(table.entries[0].score, 375);
  EXPECT_EQ(table.entries[0].rating, 3);     // 375 of a base of 300: level 3.44
  EXPECT_EQ(table.entries[0].percent, 200);  // every note at expert, no overhit
  EXPECT_EQ(table.entries[0].difficulty, 3);
  EXPECT_EQ(table.entries[0].instrument, 2);
  EXPECT_EQ(table.entries[0].players, 1);
  EXPECT_EQ(IniValue(folder, "count"), "1");
  EXPECT_EQ(IniValue(folder, "song_length"), "10000");
  EXPECT_FALSE(IniValue(folder, "last_play").empty());
  // Finished on expert without a miss: the full-combo list took the song once.
  EXPECT_TRUE(alice.achievements[6]);
  EXPECT_EQ(alice.listCounts[1], 1);
  ASSERT_FALSE(menus.achievements.empty());
  EXPECT_EQ(menus.achievements[0].name, u"Alice");

  // The fifth note is left out: the streak and multiplier start over after it.
  Profile bob;
  ChartBot missing;
  missing.skip = {4};
  UsePlayer(bob, "Bob", missing);
  const PlayerScore second = Play(folder);
  EXPECT_EQ(second.hits, 11);
  EXPECT_EQ(second.misses, 1);
  EXPECT_FLOAT_EQ(second.score, 275.0f);

  ASSERT_TRUE(table.Load(folder));
  ASSERT_EQ(table.count, 2);
  EXPECT_EQ(table.entries[0].name, "Alice");
  EXPECT_EQ(table.entries[1].name, "Bob");
  EXPECT_EQ(table.entries[1].score, 275);
  EXPECT_EQ(table.entries[1].rating, 3);
  EXPECT_EQ(table.entries[1].percent, 91);
  EXPECT_EQ(IniValue(folder, "count"), "2");

  // Alice again, with the misses: her better score stays and the box says so.
  ChartBot again;
  again.skip = {4};
  UsePlayer(alice, "Alice", again);
  Play(folder);
  EXPECT_EQ(resultText, u"You Didn't Beat Your High Score");
  ASSERT_TRUE(table.Load(folder));
  EXPECT_EQ(table.count, 2);
  EXPECT_EQ(table.entries[0].score, 375);
  EXPECT_EQ(IniValue(folder, "count"), "3");
}

TEST_F(LevelSongTest, SpeedModeShowsWhyTheResultIsNotStoredAndStillCountsThePlay) {
  Watchdog dog(60, "a song at speed 1.2");
  const std::u16string folder = WriteSongFolder(dir, "Fast", ReferenceChart(), 10.0);
  Profile alice;
  ChartBot bot;
  UsePlayer(alice, "Alice", bot);
  Session().gameType = 2;  // 1.2 times as fast

  ShellRun run(folder);
  ASSERT_TRUE(run.Load());
  EXPECT_DOUBLE_EQ(Level().clock->speed, 1.2);
  ASSERT_TRUE(run.PlayToEnd());
  // The stems play faster: ten seconds of song in a little over eight of audio output.
  EXPECT_LT(run.frames, 900);
  EXPECT_EQ(Level().players[0].score().hits, 12);
  EXPECT_EQ(Session().ingame.resultText[0], g_Settings.language.GetString(LANG("LANG_SCORE_ERROR_GAME_MODE")));
  run.Act(InGameAction::kQuit);

  ScoreTable table;
  ASSERT_TRUE(table.Load(folder));
  EXPECT_EQ(table.count, 0);
  EXPECT_EQ(IniValue(folder, "count"), "1");
  EXPECT_EQ(Session().gameType, 0);  // back to co-operative for the next song
}

// A demo song of the run folder, when the content is there: every note hit, and the
// stored score is the band's total.
TEST_F(LevelSongTest, DemoSongOfTheRunFolderPlaysThrough) {
  const char* run = std::getenv("VELORIN_RUN_DIR");
  std::vector<std::filesystem::path> demos;
  if (run) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(run) / "music", ec)) {
      if (e.is_directory() && std::filesystem::exists(e.path() / "notes.mid")) demos.push_back(e.path());
    }
  }
  std::sort(demos.begin(), demos.end());
  const std::filesystem::path demo = demos.empty() ? std::filesystem::path() : demos.front();
  if (demo.empty()) GTEST_SKIP() << "no demo song in the run folder's music/";
  Watchdog dog(300, "the demo song");
  std::filesystem::copy(demo, dir.Path("Demo"), std::filesystem::copy_options::recursive);
  std::filesystem::remove(dir.Path("Demo/vl.dat"));
  const std::u16string folder = dir.WPath("Demo") + u"/";
  // The run folder's copy may have been played already (the window checks play it).
  const std::string countBefore = IniValue(folder, "count");
  const int playsBefore = countBefore.empty() ? 0 : std::stoi(countBefore);
  Profile alice;
  ChartBot bot;
  UsePlayer(alice, "Alice", bot);

  ShellRun runner(folder);
  ASSERT_TRUE(runner.Load());
  ASSERT_GT(Level().players[0].score().noteCount, 0) << "the demo song has no expert guitar part";
  for (int i = 0; i < 60000 && !Session().ingame.songFinished; ++i) runner.Frame();
  ASSERT_TRUE(Session().ingame.songFinished);
  const PlayerScore& s = Level().players[0].score();
  EXPECT_EQ(s.misses, 0);
  EXPECT_EQ(s.hits, s.noteCount);
  const int32_t total = static_cast<int32_t>(Level().rating->totalScore);
  const int32_t rating = static_cast<int32_t>(Level().rating->level);
  EXPECT_EQ(static_cast<int32_t>(s.score), total);  // one player: the band total is its score
  runner.Act(InGameAction::kQuit);
  ScoreTable table;
  ASSERT_TRUE(table.Load(folder));
  ASSERT_EQ(table.count, 1);
  EXPECT_EQ(table.entries[0].name, "Alice");
  EXPECT_EQ(table.entries[0].score, total);
  EXPECT_EQ(table.entries[0].rating, rating);
  EXPECT_EQ(table.entries[0].percent, 200);
  EXPECT_EQ(IniValue(folder, "count"), std::to_string(playsBefore + 1));
}

}  // namespace
