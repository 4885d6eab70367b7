// The display over the boards with the level's in-game rules it follows: the end of a
// passed and a failed song (art, hint, the end screen's confirm and back and its lock),
// the rank list as the rating grows, time and score, the count-down, the lyrics lines
// and the calibration read-out. The level's players are real Player records; the
// controllers, the sounds and both clocks are the test's.
#include <gtest/gtest.h>

#include <deque>

#include "core/lang_ids.h"
#include "core/utils.h"
#include "game/level/level.h"
#include "game/lyrics.h"
#include "menus/screens/ingame_menus.h"
#include "platform/clock.h"
#include "tests/menus/menu_harness.h"

namespace {

using menus::InGameMenus;
using menustest::MenuHarness;
using menustest::RecordingTheme;
using menustest::ThemeEvent;
using Doc = InGameMenus::Doc;

// A player's controller whose presses the test queues; what the level does not read in
// a frame is dropped at its end, as the player's own update does in the game.
class ScriptedController : public LevelController {
 public:
  ScriptedController() {
    getEvents = [this](InputEvent* events, int32_t& count) {
      count = 0;
      for (const InputEvent& e : queued) events[count++] = e;
      queued.clear();
      return true;
    };
    clearEvents = [this] { queued.clear(); };
  }
  void Press(uint32_t id) {
    InputEvent e;
    e.id = id;
    e.pressed = true;
    e.value = 128;
    queued.push_back(e);
  }
  std::vector<InputEvent> queued;
};

class Sounds : public GameSound {
 public:
  Sounds() {
    play = [this](int32_t id, float, float) {
      played.push_back(id);
      return 1;
    };
  }
  int Count(int32_t id) const { return static_cast<int>(std::count(played.begin(), played.end(), id)); }
  std::vector<int32_t> played;
};

class InGameMenusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clock.clock.ms = 50000;
    Session().Reset();
    h.ctx.session = &Session();
    Session().settings = h.ctx.settings;
    h.ctx.now = [this] { return clock.clock.ms; };
    Session().songs = h.slots.data();
    auto info = std::make_unique<SongInfo>();
    info->name = "Night Drive";
    info->artist = "The Examples";
    info->song_length = 187400;
    h.slots[0].info = std::move(info);
    Session().sound = &sounds;
    Session().screens = &screens;
    display = std::make_unique<InGameMenus>(h.ctx);
    display->LoadTheme(u"dynamic/");
    display->Attach(screens);
  }
  void TearDown() override {
    Level().players.reset();
    Level().playerCount = 0;
    Level().info.fill(LevelPlayerInfo());
    Level().lyrics.reset();
    Level().rating.reset();
    Session().Reset();
  }

  void StartLevel(int32_t count) {
    Level().players = std::make_unique<Player[]>(static_cast<size_t>(count));
    Level().playerCount = count;
    for (int32_t i = 0; i < count; ++i) Level().info[static_cast<size_t>(i)].controller = &pads[static_cast<size_t>(i)];
    screens.Start(count);
    screens.Restart();
    Frame();
  }
  // One frame of the level: the screens' update, then the players read what is left.
  void Frame(double songMs = 1000.0) {
    screens.Update(songMs, songMs, 1.0);
    for (ScriptedController& pad : pads) pad.queued.clear();
  }
  void Advance(uint32_t ms) { clock.clock.AdvanceMs(ms); }
  RecordingTheme* T(Doc doc) const { return static_cast<RecordingTheme*>(display->Theme(doc)); }
  InGameAction TakeAction() {
    InGameState& ui = Session().ingame;
    if (!ui.actionPending) return InGameAction::kNone;
    ui.actionPending = false;
    return ui.action;
  }
  std::u16string Lang(int id) const { return h.ctx.Text(id); }

  platform::ScopedFakeClock clock;
  MenuHarness h{1};
  Sounds sounds;
  InGameScreens screens;
  std::array<ScriptedController, 4> pads;
  std::unique_ptr<InGameMenus> display;
};

TEST_F(InGameMenusTest, EveryDocumentLoadsAndTheBannerShowsTheSongForThreeSeconds) {
  for (int32_t d = 0; d < static_cast<int32_t>(Doc::kCount); ++d)
    ASSERT_NE(display->Theme(static_cast<Doc>(d)), nullptr) << InGameMenus::DocumentName(static_cast<Doc>(d));
  StartLevel(1);
  EXPECT_EQ(T(Doc::kOsd)->GetText("song_name"), u"Night Drive");
  EXPECT_EQ(T(Doc::kOsd)->GetText("song_artist"), u"The Examples");
  EXPECT_EQ(T(Doc::kOsd)->GetText("button_helper"), u"");
  display->Render();
  EXPECT_EQ(T(Doc::kOsd)->renders, 1);
  EXPECT_EQ(T(Doc::kOsdMain)->renders, 1);
  Advance(InGameMenus::kBannerMs);
  Frame();
  display->Render();
  EXPECT_EQ(T(Doc::kOsd)->renders, 1) << "the banner is gone after 3 s while the song plays";
  EXPECT_EQ(T(Doc::kOsdMain)->renders, 2);
  EXPECT_EQ(T(Doc::kPassHolder)->renders + T(Doc::kFailHolder)->renders, 0);
}

// After a pass confirm goes on and back plays again; after a failure confirm plays
// again and back quits. Neither answers for 2000 ms after the end.
TEST_F(InGameMenusTest, TheEndScreenAnswersConfirmAndBackOnlyOnceItsLockIsOver) {
  struct Case {
    const char* name;
    bool fail;
    uint32_t button;
    InGameAction expected;
    int32_t sound;
  };
  const Case cases[] = {
      {"pass, confirm", false, 1, InGameAction::kNextSong, 105},
      {"pass, back", false, 2, InGameAction::kRestart, 104},
      {"pass, confirm by a note", false, 112, InGameAction::kNextSong, 105},
      {"fail, confirm", true, 9, InGameAction::kRestart, 105},
      {"fail, back", true, 2, InGameAction::kQuit, 104},
      {"fail, back by a note", true, 114, InGameAction::kQuit, 104},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartLevel(1);
    if (c.fail) {
      Level().players[0].score().failed = true;
    } else {
      screens.ShowSongEnd();
    }
    Frame();
    ASSERT_EQ(Session().ingame.songFailed, c.fail);
    ASSERT_EQ(Session().ingame.songPassed, !c.fail);
    sounds.played.clear();
    // A press the moment the song ends and one just before the lock lifts are ignored.
    pads[0].Press(c.button);
    Frame();
    Advance(InGameScreens::kSongEndLockMs - 1);
    pads[0].Press(c.button);
    Frame();
    EXPECT_EQ(TakeAction(), InGameAction::kNone);
    EXPECT_TRUE(sounds.played.empty());
    // A button that is neither leaves the end screen alone.
    Advance(1);
    pads[0].Press(5);
    Frame();
    EXPECT_EQ(TakeAction(), InGameAction::kNone);
    pads[0].Press(c.button);
    Frame();
    EXPECT_EQ(TakeAction(), c.expected);
    EXPECT_EQ(sounds.Count(c.sound), 1);
  }
}

TEST_F(InGameMenusTest, AFailedSongShowsItsArtAndHintPlaysTheFailureOnceAndHidesTheLyrics) {
  StartLevel(2);
  Level().lyrics = std::make_unique<VocalTrack>();
  LyricPhrase* phrase = Level().lyrics->AppendPhrase();
  phrase->words[0].text = "la";
  phrase->wordCount = 1;
  phrase->end = 99999.0f;
  h.ctx.settings->LYRICS = 1;
  display->UpdateLyrics(500.0);
  ASSERT_TRUE(display->LyricsPresent());
  Level().players[0].score().failed = true;
  Frame();
  EXPECT_FALSE(Session().ingame.songFailed) << "one of two players failed";
  Level().players[1].score().failed = true;
  Frame();
  Frame();
  EXPECT_TRUE(Session().ingame.songFailed);
  EXPECT_EQ(sounds.Count(92), 1);
  EXPECT_EQ(T(Doc::kOsd)->GetText("button_helper"), Lang(LANG("LANG_GAME_INFO_HELPER_1B")));
  Advance(InGameMenus::kBannerMs);
  Frame();
  display->Render();
  EXPECT_EQ(T(Doc::kFailHolder)->renders, 1);
  EXPECT_EQ(T(Doc::kPassHolder)->renders, 0);
  EXPECT_EQ(T(Doc::kOsd)->renders, 1) << "the end hint stays after the banner";
  EXPECT_EQ(T(Doc::kLyrics)->renders, 0);
}

TEST_F(InGameMenusTest, APassedSongShowsThePassArtAndItsHint) {
  StartLevel(1);
  screens.ShowSongEnd();
  EXPECT_EQ(T(Doc::kOsd)->GetText("button_helper"), Lang(LANG("LANG_GAME_INFO_HELPER_1A")));
  display->Render();
  EXPECT_EQ(T(Doc::kPassHolder)->renders, 1);
  EXPECT_EQ(T(Doc::kFailHolder)->renders, 0);
  // Playing it again takes the art and the hint away.
  screens.Restart();
  Frame();
  display->Render();
  EXPECT_EQ(T(Doc::kPassHolder)->renders, 1);
  EXPECT_EQ(T(Doc::kOsd)->GetText("button_helper"), u"");
}

TEST_F(InGameMenusTest, TheRankListGrowsARowPerRankAndFillsItsLastOne) {
  StartLevel(1);
  RecordingTheme* main = T(Doc::kOsdMain);
  const ThemeEvent rankUp{"list_rank", "", "rank_up"};
  struct Step {
    float level;
    std::vector<std::u16string> rows;
    int rankUps;
  };
  const Step steps[] = {
      {0.5f, {u"50"}, 0},
      {2.37f, {u"100", u"100", u"37"}, 1},
      {2.9f, {u"100", u"100", u"90"}, 1},
      {5.99f, {u"100", u"100", u"100", u"100", u"100", u"99"}, 2},
      {6.0f, {u"100", u"100", u"100", u"100", u"100", u"100"}, 3},
      {7.5f, {u"100", u"100", u"100", u"100", u"100", u"100"}, 4},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.level);
    display->ShowRankAlert(0, 1234567.0f, s.level);
    Frame();
    ASSERT_EQ(display->RankRowCount(), static_cast<int32_t>(s.rows.size()));
    ASSERT_EQ(main->lists["list_rank"].count, static_cast<int32_t>(s.rows.size()));
    for (size_t i = 0; i < s.rows.size(); ++i) EXPECT_EQ(main->Row("list_rank", static_cast<int32_t>(i)), s.rows[i]);
    EXPECT_EQ(main->Count(rankUp), s.rankUps);
  }
  EXPECT_EQ(main->GetText("game_score"), u"1,234,567");
  display->ShowRankAlert(0, 0.0f, 0.0f);
  Frame();
  EXPECT_EQ(main->GetText("game_score"), u"0");
  EXPECT_EQ(display->RankRowCount(), 1);
  // The speed-change warning on the alert document.
  display->ShowRankAlert(2, 0.0f, 0.0f);
  display->ShowRankAlert(1, 0.0f, 0.0f);
  EXPECT_EQ(T(Doc::kAlert)->Count({"alert_speed_change", "", "warning_on"}), 1);
  EXPECT_EQ(T(Doc::kAlert)->Count({"alert_speed_change", "", "warning_off"}), 1);
}

TEST_F(InGameMenusTest, TimeLeftAndProgressFromTheStartToPastTheEnd) {
  StartLevel(1);
  RecordingTheme* main = T(Doc::kOsdMain);
  const std::pair<double, std::pair<std::u16string, std::u16string>> cases[] = {
      {0.0, {u"3:07", u"0"}},
      {120000.0, {u"1:07", u"64"}},
      {180000.0, {u"0:07", u"96"}},
      {190000.0, {u"0:00", u"100"}},
  };
  for (const auto& [position, expected] : cases) {
    Frame(position);
    EXPECT_EQ(main->GetText("game_time"), expected.first) << position;
    EXPECT_EQ(main->GetText("game_time_progress"), expected.second) << position;
  }
}

TEST_F(InGameMenusTest, TheCountDownShowsWholeSecondsLeftThenEmptiesAndResumes) {
  StartLevel(1);
  InGameState& ui = Session().ingame;
  ui.countDownShown = true;
  ui.countDownEnd = clock.clock.ms + 3000;
  RecordingTheme* osd = T(Doc::kOsd);
  const std::pair<uint32_t, std::u16string> steps[] = {{1, u"3"}, {999, u"3"}, {1, u"2"}, {1000, u"1"}};
  for (const auto& [advance, shown] : steps) {
    Advance(advance);
    Frame();
    EXPECT_EQ(osd->GetText("countdown_timer"), shown);
  }
  display->Render();
  EXPECT_EQ(T(Doc::kLyrics)->renders, 0);
  Advance(999);
  Frame();
  EXPECT_EQ(osd->GetText("countdown_timer"), u"");
  EXPECT_EQ(TakeAction(), InGameAction::kResume);
}

// Two lines from the current phrase, the sung part lit by character (not byte) index;
// with one phrase left the second line is emptied.
TEST_F(InGameMenusTest, LyricsShowTwoPhrasesWithTheSungPartLit) {
  StartLevel(1);
  Level().lyrics = std::make_unique<VocalTrack>();
  VocalTrack& track = *Level().lyrics;
  LyricPhrase* a = track.AppendPhrase();
  a->words[0] = {"Café", 0.0f, false};
  a->words[1] = {"noir", 500.0f, false};
  a->wordCount = 2;
  a->start = 0.0f;
  a->end = 1000.0f;
  LyricPhrase* b = track.AppendPhrase();
  b->words[0] = {"encore", 1500.0f, false};
  b->wordCount = 1;
  b->start = 1200.0f;
  b->end = 2000.0f;
  RecordingTheme* lyrics = T(Doc::kLyrics);

  display->UpdateLyrics(100.0);
  EXPECT_EQ(lyrics->GetText("lyrics_0"), u"Café noir ");
  EXPECT_EQ(lyrics->highlights["lyrics_0"], std::make_pair(0, 4));
  EXPECT_EQ(lyrics->GetText("lyrics_1"), u"encore ");
  EXPECT_EQ(lyrics->highlights["lyrics_1"], std::make_pair(-1, -1));
  display->UpdateLyrics(600.0);
  EXPECT_EQ(lyrics->highlights["lyrics_0"], std::make_pair(0, 9));
  EXPECT_EQ(lyrics->Count({"lyrics", "", "change"}), 0);

  display->UpdateLyrics(1600.0);
  EXPECT_EQ(lyrics->GetText("lyrics_0"), u"encore ");
  EXPECT_EQ(lyrics->highlights["lyrics_0"], std::make_pair(0, 6));
  EXPECT_EQ(lyrics->GetText("lyrics_1"), u"");
  EXPECT_EQ(lyrics->highlights["lyrics_1"], std::make_pair(-1, -1));
  EXPECT_EQ(lyrics->Count({"lyrics", "", "change"}), 1);
}

TEST_F(InGameMenusTest, TheCalibrationSongShowsItsReadOutAndNothingOfTheSongBanner) {
  h.slots[0].info->vl_calibrator = true;
  h.ctx.settings->AUDIOCALIBRATION = 40;
  StartLevel(1);
  RecordingTheme* cal = T(Doc::kCalibration);
  EXPECT_EQ(cal->GetText("state"), Lang(LANG("LANG_GAME_CALIBRATE_AUDIO")));
  EXPECT_EQ(cal->GetText("audio_delay"), u"");
  EXPECT_EQ(T(Doc::kOsd)->texts.count("song_name"), 0u);
  Player& p = Level().players[0];
  p.hitDelaySum = 3 * 61.0 + 1.0;
  p.hitDelayCount = 3;
  screens.ShowSongEnd();
  EXPECT_EQ(cal->GetText("audio_delay"), Lang(LANG("LANG_GAME_AUDIO_DELAY")) + u":61");
  EXPECT_EQ(cal->GetText("button_helper_a"), Lang(LANG("LANG_GAME_CALIBRATE_HELPER_1A")));
  Session().ingame.calibrationStep = 1;
  Frame();
  EXPECT_EQ(cal->GetText("state"), Lang(LANG("LANG_GAME_CALIBRATE_VIDEO")));
  EXPECT_EQ(cal->GetText("video_delay"), Lang(LANG("LANG_GAME_VIDEO_DELAY")) + u":21");
  display->Render();
  EXPECT_EQ(cal->renders, 1);
  EXPECT_EQ(T(Doc::kOsd)->renders, 0);
}

}  // namespace
