// The display over the boards with the level's in-game rules it follows: the end of a
// passed and a failed song (art, hint, the end screen's confirm and back and its lock),
// the rank list as the rating grows, time and score, the count-down, the lyrics lines
// and the calibration read-out; each player's result box and solo box. The level's
// players are real Player records; the controllers, the sounds and both clocks are the
// test's.
#include <gtest/gtest.h>

#include <deque>

#include "core/lang_ids.h"
#include "core/utils.h"
#include "game/level/level.h"
#include "game/lyrics.h"
#include "game/lane_sections.h"
#include "menus/screens/ingame_menus.h"
#include "platform/clock.h"
#include "tests/menus/menu_harness.h"

namespace {

using menus::InGameMenus;
using menustest::MenuHarness;
using menustest::RecordingTheme;
using menustest::ThemeEvent;
using Doc = InGameMenus::Doc;
using menus::PlayerBox;

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

// A video command reaches every document over the boards and the boxes of the slots
// in play; the boxes of empty slots are not drawn and hear nothing.
TEST_F(InGameMenusTest, VideoCommandsReachEveryDocumentAndTheBoxesInPlay) {
  StartLevel(2);
  display->ControlVideo(2);
  for (int32_t d = 0; d < static_cast<int32_t>(Doc::kCount); ++d)
    EXPECT_EQ(T(static_cast<Doc>(d))->videoCommands, std::vector<int32_t>{2})
        << InGameMenus::DocumentName(static_cast<Doc>(d));
  for (int32_t slot = 0; slot < 3; ++slot) {
    const std::vector<int32_t> expected = slot < 2 ? std::vector<int32_t>{2} : std::vector<int32_t>{};
    auto* box = static_cast<RecordingTheme*>(display->Box(slot).theme());
    auto* solo = static_cast<RecordingTheme*>(display->Solo(slot).theme());
    ASSERT_NE(box, nullptr);
    ASSERT_NE(solo, nullptr);
    EXPECT_EQ(box->videoCommands, expected) << "slot " << slot;
    EXPECT_EQ(solo->videoCommands, expected) << "slot " << slot;
  }
}

// A theme read again mid-game (another theme chosen, the reload key) gives every
// document a fresh copy, and the rank list and the display's texts are written on the
// new ones at once rather than on documents that are gone.
TEST_F(InGameMenusTest, ReadingTheThemeAgainRebuildsTheDocumentsWithTheirTexts) {
  StartLevel(1);
  display->ShowRankAlert(0, 1234567.0f, 2.37f);
  const size_t loaded = h.themes["game_osd_main"].size();
  display->LoadTheme(u"dynamic/");
  ASSERT_EQ(h.themes["game_osd_main"].size(), loaded + 1);
  RecordingTheme* newMain = T(Doc::kOsdMain);
  ASSERT_EQ(newMain, h.Theme("game_osd_main"));
  EXPECT_EQ(newMain->Row("list_rank", 2), u"37");
  EXPECT_EQ(newMain->GetText("game_score"), u"1,234,567");
  EXPECT_EQ(T(Doc::kOsd)->GetText("song_name"), u"Night Drive");
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

// The boxes of every slot, as the recording theme saw them.
RecordingTheme* BoxTheme(InGameMenus& d, int32_t slot) { return static_cast<RecordingTheme*>(d.Box(slot).theme()); }
RecordingTheme* SoloTheme(InGameMenus& d, int32_t slot) { return static_cast<RecordingTheme*>(d.Solo(slot).theme()); }

// One box per joined player, none for the other slots; at the song's end each shows its
// player's record, the percentages guarded against empty counts.
TEST_F(InGameMenusTest, APlayerBoxPerJoinedPlayerShowsItsRecordAtTheSongsEnd) {
  struct Row {
    const char* name;
    int32_t difficulty;
    float score;
    int32_t hits, notes, maxStreak, lives, perfect, good, late;
    std::u16string skill, hitcounts, accuracy, perfectShare, goodShare, lateShare;
  };
  const Row rows[] = {
      {"Ana", 4, 1234.9f, 412, 530, 97, 2, 1, 1, 1, Lang(LANG("LANG_SKILL_EXPERT_PLUS")), u"412/530", u"77%",
       u"33.33%", u"33.33%", u"33.33%"},
      {"Bo", 5, 0.0f, 0, 0, 0, 0, 0, 0, 0, u"", u"0/0", u"0%", u"0%", u"0%", u"0%"},
      {"Céline", 0, 80.0f, 3, 4, 3, 3, 2, 1, 0, Lang(LANG("LANG_SKILL_EASY")), u"3/4", u"75%", u"66.67%",
       u"33.33%", u"0%"},
  };
  const int32_t count = static_cast<int32_t>(std::size(rows));
  StartLevel(count);
  for (int32_t i = 0; i < count; ++i) {
    const Row& r = rows[i];
    Player& p = Level().players[static_cast<size_t>(i)];
    p.options.name = r.name;
    p.difficulty = r.difficulty;
    p.score().score = r.score;
    p.score().hits = r.hits;
    p.score().noteCount = r.notes;
    p.score().maxStreak = r.maxStreak;
    p.revivesLeft = r.lives;
    p.perfectCount = r.perfect;
    p.goodCount = r.good;
    p.lateCount = r.late;
  }
  for (int32_t slot = 0; slot < InGameMenus::kSlots; ++slot) {
    ASSERT_NE(BoxTheme(*display, slot), nullptr) << slot;
    EXPECT_EQ(display->Box(slot).player != nullptr, slot < count) << slot;
  }
  display->Render();
  for (int32_t i = 0; i < count; ++i) EXPECT_EQ(BoxTheme(*display, i)->renders, 0) << "no box while all play";

  Session().ingame.resultText[0] = u"New High Score";
  Frame(187000.0);
  screens.ShowSongEnd();
  display->Render();
  for (int32_t i = 0; i < InGameMenus::kSlots; ++i) {
    EXPECT_EQ(BoxTheme(*display, i)->renders, i < count ? 1 : 0) << i;
    EXPECT_EQ(display->Box(i).finished, i < count) << i;
  }
  for (int32_t i = 0; i < count; ++i) {
    const Row& r = rows[i];
    SCOPED_TRACE(r.name);
    RecordingTheme* t = BoxTheme(*display, i);
    EXPECT_EQ(t->GetText("player_status"), u"");
    EXPECT_EQ(t->GetText("player_name"), ToWide(r.name));
    EXPECT_EQ(t->GetText("player_skill"), r.skill);
    EXPECT_EQ(t->GetText("player_score"), ToWide(std::to_string(static_cast<int64_t>(r.score))));
    EXPECT_EQ(t->GetText("player_hitcounts"), r.hitcounts);
    EXPECT_EQ(t->GetText("player_accuracy"), r.accuracy);
    EXPECT_EQ(t->GetText("player_maxcombo"), ToWide(std::to_string(r.maxStreak)));
    EXPECT_EQ(t->GetText("player_lives"), ToWide(std::to_string(r.lives)));
    EXPECT_EQ(t->GetText("player_accuracy_perfect"), r.perfectShare);
    EXPECT_EQ(t->GetText("player_accuracy_normal"), r.goodShare);
    EXPECT_EQ(t->GetText("player_accuracy_sloppy"), r.lateShare);
    EXPECT_EQ(t->GetText("player_deathtime"), u"03:07:00") << "the song's end is the finished box's time";
  }
  EXPECT_EQ(BoxTheme(*display, 0)->GetText("player_scoreinfo"), u"New High Score");
  EXPECT_EQ(BoxTheme(*display, 1)->GetText("player_scoreinfo"), u"");
}

// A player who fails is dead at that moment and keeps it; when the last one fails every
// box shows the failed state; revived players and a new start clear the boxes.
TEST_F(InGameMenusTest, PlayerBoxStatesFollowThePlayersRecord) {
  StartLevel(2);
  Player& first = Level().players[0];
  Player& second = Level().players[1];
  // A failure empties the meter, as the score's failure rule does.
  auto fail = [](Player& p) {
    p.score().failed = true;
    p.score().rockMeter = 0.0f;
  };
  fail(first);
  Frame(137450.0);
  PlayerBox& box0 = display->Box(0);
  EXPECT_TRUE(box0.dead);
  EXPECT_FALSE(display->Box(1).AnyState());
  EXPECT_EQ(BoxTheme(*display, 0)->GetText("player_status"), Lang(LANG("LANG_GENERAL_DEAD")));
  EXPECT_EQ(BoxTheme(*display, 0)->GetText("player_deathtime"), u"02:17:45");
  display->Render();
  EXPECT_EQ(BoxTheme(*display, 0)->renders, 1);
  EXPECT_EQ(BoxTheme(*display, 1)->renders, 0);
  EXPECT_EQ(sounds.Count(98), 0) << "the failure's own sound is the score's, not played twice";

  fail(second);
  Frame(150000.0);
  ASSERT_TRUE(Session().ingame.songFailed);
  EXPECT_TRUE(display->Box(1).failed);
  EXPECT_TRUE(box0.failed && box0.dead);
  EXPECT_EQ(BoxTheme(*display, 0)->GetText("player_status"), u"") << "failed is read last and shows no word";
  EXPECT_EQ(BoxTheme(*display, 0)->GetText("player_deathtime"), u"02:17:45") << "a dead box keeps its time";
  EXPECT_EQ(BoxTheme(*display, 1)->GetText("player_deathtime"), u"02:30:00");
  display->Render();
  EXPECT_EQ(BoxTheme(*display, 1)->renders, 1);

  // Playing again starts the players afresh, and the boxes with them.
  screens.Restart();
  for (int32_t i = 0; i < 2; ++i) Level().players[static_cast<size_t>(i)].score().Reset(false);
  Frame(0.0);
  for (int32_t i = 0; i < 2; ++i) {
    EXPECT_FALSE(display->Box(i).AnyState()) << i;
    EXPECT_EQ(BoxTheme(*display, i)->GetText("player_deathtime"), u"00:00:00");
  }
}

TEST_F(InGameMenusTest, ARevivedPlayersBoxIsClearedWhetherTheReviveStepSaysSoOrNot) {
  for (const bool toldByTheLevel : {true, false}) {
    SCOPED_TRACE(toldByTheLevel);
    StartLevel(2);
    Player& p = Level().players[0];
    p.score().failed = true;
    p.score().rockMeter = 0.0f;
    Frame(5000.0);
    ASSERT_TRUE(display->Box(0).dead);
    p.score().failed = false;
    p.score().rockMeter = 75.0f;
    if (toldByTheLevel) screens.UpdatePlayerBox(0);
    Frame(6000.0);
    EXPECT_FALSE(display->Box(0).AnyState());
    EXPECT_EQ(BoxTheme(*display, 0)->GetText("player_status"), u"");
    EXPECT_FALSE(Session().ingame.songFailed);
  }
}

// In the head-to-head types the song ends once one player is left, that player the
// winner; at a passed end those out or below the best score lose. A lone player is not
// the last one standing.
TEST_F(InGameMenusTest, HeadToHeadBoxesShowTheWinnerAndTheLosers) {
  const std::u16string winner = Lang(LANG("LANG_GENERAL_WINNER"));
  Session().gameType = 1;
  StartLevel(3);
  Level().players[0].score().failed = true;
  Frame(1000.0);
  EXPECT_FALSE(Session().ingame.songFinished) << "two players are still in";
  Level().players[2].score().failed = true;
  Frame(2000.0);
  ASSERT_TRUE(Session().ingame.songFinished);
  EXPECT_TRUE(Session().ingame.songPassed);
  EXPECT_TRUE(display->Box(1).winner);
  EXPECT_EQ(BoxTheme(*display, 1)->GetText("player_status"), winner);
  for (int32_t i : {0, 2}) {
    EXPECT_TRUE(display->Box(i).loser) << i;
    EXPECT_EQ(BoxTheme(*display, i)->GetText("player_status"), u"") << i;
  }
  EXPECT_EQ(sounds.Count(90) + sounds.Count(91), 1);

  // A passed versus song: the tied best both win, the lower score and the player who
  // was out lose.
  StartLevel(4);
  const float scores[] = {500.0f, 900.0f, 900.0f, 2000.0f};
  for (int32_t i = 0; i < 4; ++i) Level().players[static_cast<size_t>(i)].score().score = scores[i];
  Level().players[3].score().failed = true;
  Frame(1000.0);
  screens.ShowSongEnd();
  const bool wins[] = {false, true, true, false};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(display->Box(i).winner, wins[i]) << i;
    EXPECT_EQ(display->Box(i).loser, !wins[i]) << i;
  }

  StartLevel(1);
  Frame(1000.0);
  Frame(2000.0);
  EXPECT_FALSE(Session().ingame.songFinished) << "one player alone plays on";
  EXPECT_FALSE(display->Box(0).AnyState());
}

// The boxes stand where the boards are: one board in the middle at full size, four side
// by side at the same smaller scale, left to right in player order.
TEST_F(InGameMenusTest, BoxesArePlacedAtTheirBoards) {
  StartLevel(1);
  const InGameMenus::BoxPlacement one = display->PlaceBoxes(0, 1920.0f, 1080.0f);
  EXPECT_NEAR(one.x, 0.0f, 0.01f);
  EXPECT_FLOAT_EQ(one.scale, 1.0f);

  StartLevel(4);
  const float width = 1920.0f / 1080.0f * 1440.0f;
  float lastX = -width;
  for (int32_t i = 0; i < 4; ++i) {
    const InGameMenus::BoxPlacement at = display->PlaceBoxes(i, 1920.0f, 1080.0f);
    EXPECT_NEAR(at.scale, width * InGameMenus::kBoxFill / 4.0f / InGameMenus::kBoxBaseWidth, 1e-4f) << i;
    EXPECT_GT(at.x, lastX + at.scale * InGameMenus::kBoxBaseWidth * 0.99f) << i;
    EXPECT_LT(std::abs(at.x) + at.scale * InGameMenus::kBoxBaseWidth / 2.0f, width / 2.0f) << "on screen " << i;
    lastX = at.x;
  }
  for (int32_t i = 0; i < 4; ++i) Level().players[static_cast<size_t>(i)].score().failed = true;
  Frame(1000.0);
  display->Render(1920.0f, 1080.0f);
  for (int32_t i = 0; i < 4; ++i) {
    const InGameMenus::BoxPlacement at = display->PlaceBoxes(i, 1920.0f, 1080.0f);
    EXPECT_FLOAT_EQ(BoxTheme(*display, i)->lastRender.x, at.x) << i;
    EXPECT_FLOAT_EQ(BoxTheme(*display, i)->lastRender.scale, at.scale) << i;
  }
}

// A player's part with one solo of `notes` notes (at the player's skill) from 10 s to
// 15 s, on a real section list.
void AddSolo(Player& p, uint32_t notes) {
  LaneSectionList& sections = p.track.sections;
  sections.Setup(116, 2, 5, 0, 3);
  static uint32_t spans[5];
  std::fill(std::begin(spans), std::end(spans), notes);
  ChartEventInfo on;
  on.kind = 0x90;
  on.note = 103;
  on.velocity = 100;
  on.timeMs = 10000.0;
  on.tick = 19200.0;
  on.spanNotes = spans;
  sections.OnChartEvent(on, 480);
  ChartEventInfo off = on;
  off.kind = 0x80;
  off.timeMs = 15000.0;
  off.tick = 28800.0;
  off.spanNotes = nullptr;
  sections.OnChartEvent(off, 480);
}

// The solo box shows while its player is inside a solo: the share hit so far (0% for a
// solo without notes), then the rating and points once the solo is graded, and it hides
// again a little after.
TEST_F(InGameMenusTest, TheSoloBoxShowsDuringASoloWithItsPercentageAndRating) {
  StartLevel(2);
  Player& p = Level().players[0];
  AddSolo(p, 20);
  AddSolo(Level().players[1], 0);
  LaneSectionList& sections = p.track.sections;
  RecordingTheme* solo = SoloTheme(*display, 0);
  RecordingTheme* empty = SoloTheme(*display, 1);
  auto at = [&](double t) {
    for (int32_t i = 0; i < 2; ++i) Level().players[static_cast<size_t>(i)].track.sections.FindActive(t, 85.0);
    Frame(t);
    display->Render();
  };
  at(9000.0);
  EXPECT_EQ(solo->renders, 0);
  at(10500.0);
  EXPECT_EQ(solo->renders, 1);
  EXPECT_EQ(solo->GetText("solo_percent"), u"0%");
  EXPECT_EQ(empty->GetText("solo_percent"), u"0%") << "a solo without notes";
  for (int k = 0; k < 13; ++k) sections.CountSoloHit(19200.0 + 100.0 * k);
  at(12000.0);
  EXPECT_EQ(solo->GetText("solo_percent"), u"65%");
  EXPECT_EQ(solo->GetText("solo_rating"), u"");
  EXPECT_EQ(solo->GetText("solo_points"), u"");
  at(15100.0);
  EXPECT_EQ(solo->GetText("solo_rating"), Lang(LANG("LANG_GAME_SOLO_OKAY")));
  EXPECT_EQ(solo->GetText("solo_points"), u"65");
  EXPECT_EQ(empty->GetText("solo_rating"), Lang(LANG("LANG_GAME_SOLO_MESSY")));
  EXPECT_EQ(empty->GetText("solo_points"), u"0");
  const int shown = solo->renders;
  at(18100.0);
  EXPECT_EQ(solo->renders, shown) << "gone once the solo's rating has had its time";
  EXPECT_EQ(BoxTheme(*display, 0)->renders, 0) << "the player box stays hidden throughout";
}

// A broken combo of ten or more flashes the solo box once per break, though the score's
// flag stays set; a short streak breaking does nothing.
TEST_F(InGameMenusTest, TheSoloBoxFlashesOncePerBrokenCombo) {
  StartLevel(1);
  PlayerScore& s = Level().players[0].score();
  RecordingTheme* solo = SoloTheme(*display, 0);
  const ThemeEvent flash{"state_event", "", "combo_break"};
  struct Step {
    int32_t streak;
    bool broken;
    int flashes;
  };
  const Step steps[] = {{5, false, 0}, {0, false, 0}, {12, false, 0}, {0, true, 1}, {0, true, 1},
                        {3, true, 1},  {0, true, 1},  {10, true, 1},  {0, true, 2}};
  for (const Step& step : steps) {
    s.streak = step.streak;
    s.comboBroken = step.broken;
    Frame();
    EXPECT_EQ(solo->Count(flash), step.flashes) << "streak " << step.streak;
  }
}

// Weakest link: every 30 s the one player who gained the least since the last
// checkpoint is out, after five ticks a second apart; a tie at the bottom marks no one
// new. When one player is left, that player wins.
TEST_F(InGameMenusTest, WeakestLinkPutsOutTheLowestGainAfterFiveTicks) {
  Session().gameType = 6;
  StartLevel(3);
  auto scores = [&](float a, float b, float c) {
    const float all[] = {a, b, c};
    for (int32_t i = 0; i < 3; ++i) Level().players[static_cast<size_t>(i)].score().score = all[i];
  };
  struct Step {
    double chartMs;
    float a, b, c;
    int ticks;           // sound 102 so far
    bool out0, out1, out2;
  };
  const Step steps[] = {
      {1000.0, 100, 50, 50, 0, false, false, false},    // a tie at the bottom: nobody marked
      {20000.0, 100, 60, 50, 0, false, false, false},   // the third is marked
      {24000.0, 100, 70, 70, 0, false, false, false},   // a tie again: the mark stays
      {24999.0, 100, 70, 70, 0, false, false, false},
      {25000.0, 100, 70, 70, 1, false, false, false},
      {26000.0, 100, 70, 70, 2, false, false, false},
      {29000.0, 100, 70, 70, 3, false, false, false},   // one tick a frame, not a burst
      {29100.0, 100, 70, 70, 4, false, false, false},
      {29200.0, 100, 70, 70, 5, false, false, false},
      {29500.0, 100, 70, 70, 5, false, false, false},
      {30000.0, 100, 70, 70, 5, false, false, true},    // out at the checkpoint
      {31000.0, 100, 80, 70, 5, false, false, true},    // gains from here: 0 and 10
      {55000.0, 100, 80, 70, 6, false, false, true},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.chartMs);
    scores(st.a, st.b, st.c);
    Frame(st.chartMs);
    EXPECT_EQ(sounds.Count(102), st.ticks);
    const bool out[] = {st.out0, st.out1, st.out2};
    for (int32_t i = 0; i < 3; ++i) {
      EXPECT_EQ(Level().players[static_cast<size_t>(i)].failed(), out[i]) << i;
      EXPECT_EQ(display->Box(i).dead, out[i]) << i;
    }
  }
  EXPECT_EQ(sounds.Count(98), 1);
  EXPECT_EQ(BoxTheme(*display, 2)->GetText("player_deathtime"), u"00:30:00");
  EXPECT_FALSE(Session().ingame.songFinished);
  // The first player gained nothing since 30 s and goes out at 60 s; the second is the
  // last one standing.
  Frame(60000.0);
  EXPECT_TRUE(Level().players[0].failed());
  EXPECT_TRUE(Session().ingame.songFinished);
  EXPECT_TRUE(display->Box(1).winner);
  EXPECT_EQ(BoxTheme(*display, 1)->GetText("player_status"), Lang(LANG("LANG_GENERAL_WINNER")));
}

}  // namespace
