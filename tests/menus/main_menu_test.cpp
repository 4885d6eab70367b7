// The main menu and the manager's switching: rows, moves at the ends, requests and
// the frame on which they land, joining and the default profile.
#include <gtest/gtest.h>

#include "core/lang_ids.h"
#include "core/utils.h"
#include "menus/input_map.h"
#include "song/song_list.h"
#include "song/song_record.h"
#include "tests/menus/menu_harness.h"

namespace menustest {
namespace {

using menus::Menu;

TEST(MenuInputMap, ButtonsAndNotesMapToActions) {
  struct Case {
    uint32_t id;
    int32_t kind;
    bool up, down, confirm, back;
  };
  const Case cases[] = {
      {3, 1, false, false, false, false},  // a guitar's yellow is no move
      {3, 0, true, false, false, false},   // a drum kit's yellow pad is up
      {4, 5, false, true, false, false},
      {104, 1, true, false, false, false},
      {105, 1, false, true, false, false},
      {112, 1, false, false, true, false},
      {102, 1, false, false, false, true},
      {100, 1, false, false, false, false},  // no note id
      {1, 3, false, false, true, false},
      {9, 3, false, false, true, false},
      {13, 3, false, true, false, false},
      {14, 3, true, false, false, false},
  };
  for (const Case& c : cases) {
    const menus::MenuActions a = menus::MapButton(c.id, c.kind);
    EXPECT_EQ(a.up, c.up) << c.id << " kind " << c.kind;
    EXPECT_EQ(a.down, c.down) << c.id << " kind " << c.kind;
    EXPECT_EQ(a.confirm, c.confirm) << c.id << " kind " << c.kind;
    EXPECT_EQ(a.back, c.back) << c.id << " kind " << c.kind;
  }
  EXPECT_TRUE(menus::IsSearchButton(5));
  EXPECT_TRUE(menus::IsSearchButton(107));
  EXPECT_FALSE(menus::IsSearchButton(106));
}

class MainMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.AddSong("Alpha", "Alpha", "Band");
    h.Init();
    h.Join(0);
    h.Frame();
  }
  MenuHarness h;
};

TEST_F(MainMenuTest, RowsRequestTheirScreensOnTheFrameOfTheConfirm) {
  RecordingTheme* t = h.Theme("menu_main");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Row("list_name", 0), u"T" + ToWide(std::to_string(LANG("LANG_MENU_MAIN_QUICKPLAY"))));
  EXPECT_EQ(t->Row("list_name", 6), u"T" + ToWide(std::to_string(LANG("LANG_MENU_MAIN_QUIT"))));
  // Up on row 0 changes nothing and fires nothing.
  const size_t before = t->events.size();
  h.Press(0, 14);
  h.Frame();
  EXPECT_EQ(h.manager->mainMenu()->selectedRow, 0);
  EXPECT_EQ(t->events.size(), before);
  // Down to practice, confirm: song select with the practice flag.
  h.Press(0, 15);
  h.Frame();
  h.Press(0, 15);
  h.Frame();
  EXPECT_EQ(t->Count({"list_name", "2", "hover_on"}), 1);
  h.Press(0, 1);
  h.Frame();
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kSongSelect));
  EXPECT_TRUE(h.session.practice);
  EXPECT_EQ(h.sounds.back(), menus::Sound::kConfirm);
}

TEST_F(MainMenuTest, DownStopsAtQuitAndQuitEndsTheMenus) {
  for (int i = 0; i < 9; ++i) {
    h.Press(0, 15);
    h.Frame();
  }
  EXPECT_EQ(h.manager->mainMenu()->selectedRow, 6);
  h.Press(0, 1);
  h.Frame();
  EXPECT_TRUE(h.manager->exitRequest.load());
  EXPECT_EQ(h.manager->exitCode.load(), 0);
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kMain));
}

TEST_F(MainMenuTest, BackOnAScreenThisBuildLacksReturnsToTheMainMenu) {
  h.Press(0, 15);
  h.Frame();
  h.Press(0, 15);
  h.Frame();
  h.Press(0, 15);
  h.Frame();
  h.Press(0, 1);  // network
  h.Frame();
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kNetwork));
  h.Press(0, 2);
  h.Frame();
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kMain));
}

TEST(MenuJoining, FirstPlayerTakesTheDefaultProfileLaterOnesTheGuest) {
  MenuHarness h(3);
  h.AddProfile("Ada");
  h.ctx.settings->DEFAULTPROFILE = h.dir.WPath("profiles/Ada.dat");
  h.Init();
  h.Join(1);
  h.Frame();
  EXPECT_TRUE(h.ctx.seats[1].inPlay);
  EXPECT_EQ(h.ctx.seats[1].profile.PLAYERNAME, "Ada");
  EXPECT_EQ(h.sounds.back(), menus::Sound::kJoined);
  // The joining press itself does not act in the menu.
  EXPECT_EQ(h.manager->mainMenu()->selectedRow, 0);
  h.Join(0);
  h.Frame();
  EXPECT_EQ(h.ctx.seats[0].profile.PLAYERNAME, "Guest");
  // Both got a drop-down box.
  EXPECT_NE(h.manager->dropDowns()->BoxOf(0), nullptr);
  EXPECT_NE(h.manager->dropDowns()->BoxOf(1), nullptr);
  // An unknown device joins nobody and alerts only when asked to.
  h.controllers[2].identifies = false;
  h.ctx.settings->SHOWPROFILEMESSAGE = true;
  h.Join(2);
  h.Frame();
  EXPECT_FALSE(h.ctx.seats[2].inPlay);
  ASSERT_EQ(h.alerts.size(), 1u);
  EXPECT_EQ(h.alerts[0], "Unknown Controller (Please Profile Your Device)");
}

TEST(MenuJoining, MissingDefaultProfileFallsBackToGuestForGood) {
  MenuHarness h(1);
  h.ctx.settings->DEFAULTPROFILE = u"profiles/Gone.dat";
  h.Init();
  h.Join(0);
  h.Frame();
  EXPECT_EQ(h.ctx.seats[0].profile.PLAYERNAME, "Guest");
  EXPECT_EQ(h.ctx.settings->DEFAULTPROFILE, u"profiles/Guest.dat");
  const auto log = h.dir.GameLogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "Could Not Find Default Profile:profiles/Gone.dat Reverting To Guest"),
            log.end());
}

TEST(MenuLegend, HintsFollowTheScreenAndChangeFiresOnce) {
  MenuHarness h(1);
  h.ctx.settings->mixer.MENUMUSIC = 1;
  h.Init();
  h.Join(0);
  h.Frame();
  RecordingTheme* o = h.Theme("menu_overlay");
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->GetText("button_select"), u"T" + ToWide(std::to_string(LANG("LANG_BUTTONS_PLAY_SONG"))));
  EXPECT_EQ(o->GetText("keyboard_green"), u"K1");
  EXPECT_EQ(o->GetText("keyboard_orange"), u"");  // no search hint on the main menu
  EXPECT_EQ(o->GetText("keyboard_left"), u"K16");
  h.Frames(3);
  EXPECT_EQ(o->Count({"button_select", "", "change"}), 1);
  h.ctx.settings->mixer.MENUMUSIC = 0;
  h.Frame();
  EXPECT_EQ(o->GetText("button_select"), u"");
  EXPECT_EQ(o->GetText("keyboard_select"), u"");
  EXPECT_EQ(o->Count({"button_select", "", "change"}), 2);
}

}  // namespace
}  // namespace menustest

namespace menustest {
namespace {

// A jukebox stream that only remembers it was started.
class FakeMusic : public menus::MenuMusic {
 public:
  bool IsFinished() override { return false; }
  void Start() override {}
  void Stop() override {}
  void Pause() override {}
  void Restart() override {}
  void FadeOut(uint32_t) override {}
  void Update() override {}
};

TEST(MenuJukebox, HistoryWalksBackAndForthOverFiveSlots) {
  MenuHarness h(1);
  SongList list;
  for (const char16_t* f : {u"A/", u"B/", u"C/", u"D/", u"E/", u"F/", u"G/"}) list.Append()->folder = f;
  h.ctx.songList = &list;
  uint32_t next = 0;
  h.ctx.random = [&] { return next++; };  // A, B, C ... in turn
  std::vector<std::u16string> played;
  h.ctx.loadMusic = [&](const std::u16string& folder) -> std::unique_ptr<menus::MenuMusic> {
    played.push_back(folder);
    return std::make_unique<FakeMusic>();
  };
  h.Init();
  menus::MenuManager& mm = *h.manager;
  EXPECT_FALSE(mm.JukeboxNext());  // menu music off: nothing
  h.ctx.settings->mixer.MENUMUSIC = 1;
  ASSERT_TRUE(mm.JukeboxNext());
  mm.JukeboxNext();
  mm.JukeboxNext();
  mm.JukeboxPrevious();
  mm.JukeboxPrevious();
  mm.JukeboxPrevious();  // the slot before A is empty: A stays
  mm.JukeboxNext();
  mm.JukeboxNext();
  mm.JukeboxNext();  // past the newest: a new song
  const std::vector<std::u16string> expected{u"A/", u"B/", u"C/", u"B/", u"A/", u"B/", u"C/", u"D/"};
  EXPECT_EQ(played, expected);
  // Two more fill the slots; the next overwrites the oldest, and going back walks the
  // four older songs and stops before the newest.
  mm.JukeboxNext();
  mm.JukeboxNext();
  mm.JukeboxNext();
  played.clear();
  for (int i = 0; i < 5; ++i) mm.JukeboxPrevious();
  EXPECT_EQ(played, (std::vector<std::u16string>{u"F/", u"E/", u"D/", u"C/"}));
}

}  // namespace
}  // namespace menustest
