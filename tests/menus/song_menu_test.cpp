// Song select over a real folder: sorting keeps the chosen song, folders open and
// close on the entry that was left, the command-line road opens a song's folder and
// chooses it, the playlist limit, the preview thread and the album art worker.
#include <gtest/gtest.h>

#include <thread>

#include "core/lang_ids.h"
#include "core/utils.h"
#include "menus/screens/song_menu.h"
#include "platform/clock.h"
#include "tests/menus/menu_harness.h"

namespace menustest {
namespace {

using menus::Menu;
using menus::SongMenu;

class SongMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.AddSong("Cobalt", "Cobalt", "Zed", {2}, 1);
    h.AddSong("Amber", "Amber", "Yuri", {2}, 5);
    h.AddSong("Band/Bravo", "Bravo", "Band", {0, 2}, 3);
    h.AddSong("Band/Delta", "Delta", "Band", {0}, 2);
    h.dir.MakeDir("Music/Band");
  }
  void Open() {
    h.Init();
    h.Join(0);
    h.Frame();
    h.manager->SwitchTo(static_cast<int32_t>(Menu::kSongSelect));
    h.Frame();
  }
  SongMenu& menu() { return *h.manager->songMenu(); }
  int32_t RowOf(const std::u16string& name) {
    for (int32_t i = 2; i < menu().EntryCount(); ++i)
      if (menu().State(i).displayName == name) return i;
    return -1;
  }
  MenuHarness h{1};
};

TEST_F(SongMenuTest, SortOrderKeepsTheSelectedSongSelected) {
  Open();
  // Sorted by name: Amber, Band (no song.ini: a folder named by its path), Cobalt.
  ASSERT_EQ(menu().EntryCount(), 5);
  menu().selectedRow = RowOf(u"Cobalt");
  menu().SetSortOrder(4);  // rating, higher first: Amber 5, Cobalt 1
  EXPECT_EQ(menu().State(menu().selectedRow).displayName, u"Cobalt");
  EXPECT_LT(RowOf(u"Amber"), RowOf(u"Cobalt"));
  RecordingTheme* t = h.Theme("menu_songselect");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Row("list_name", RowOf(u"Amber")), u"Amber");
  EXPECT_EQ(t->Row("list_rating", RowOf(u"Amber")), u"5");
  EXPECT_EQ(t->Row("list_filetype", RowOf(u"Band")), u"folder");
  EXPECT_EQ(t->Row("list_filetype", 0), u"option");
  // Code 19 on function 0 from the last order wraps to name order, song still held.
  menu().sortOrder = 8;
  h.Press(0, 19);
  h.Frame();
  EXPECT_EQ(menu().sortOrder, 0);
  EXPECT_EQ(menu().State(menu().selectedRow).displayName, u"Cobalt");
}

TEST_F(SongMenuTest, FolderOpensAndBackSelectsTheFolderLeft) {
  Open();
  menu().selectedRow = RowOf(u"Band");
  h.Press(0, 1);
  h.Frame();
  EXPECT_EQ(menu().currentFolder, h.music + u"Band/");
  EXPECT_EQ(menu().EntryCount(), 4);
  h.Press(0, 2);
  h.Frame();
  EXPECT_EQ(menu().currentFolder, h.music);
  EXPECT_EQ(menu().State(menu().selectedRow).displayName, u"Band");
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kSongSelect));
  // Back at the music folder leaves for the main menu and ends practice.
  h.session.practice = true;
  h.Press(0, 2);
  h.Frame();
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kMain));
  EXPECT_FALSE(h.session.practice);
}

TEST_F(SongMenuTest, BackOutsideTheMusicFolderReturnsToIt) {
  h.dir.MakeDir("Data/Calibrator/Song");
  Open();
  menu().Enter(true, false, h.dir.WPath("Data/Calibrator") + u"/");
  h.Press(0, 2);
  h.Frame();
  EXPECT_EQ(menu().currentFolder, h.music);
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kSongSelect));
}

TEST_F(SongMenuTest, OpenPathSelectsAndChoosesTheSongOrOnlyShowsAMissingOne) {
  Open();
  menu().OpenPath(h.music + u"Band/Delta/");
  EXPECT_EQ(menu().currentFolder, h.music + u"Band/");
  EXPECT_EQ(menu().State(menu().selectedRow).displayName, u"Delta");
  EXPECT_TRUE(menu().changeFlag);
  EXPECT_EQ(menu().requestedMenu, static_cast<int32_t>(Menu::kPlayerSelect));
  EXPECT_EQ(h.slots[0].folder, h.music + u"Band/Delta/");
  // A folder that is gone: the list opens, nothing is chosen.
  menu().changeFlag = false;
  h.slots[0].folder = u"NO PATH";
  menu().OpenPath(h.music + u"Band/Gone");
  EXPECT_FALSE(menu().changeFlag);
  EXPECT_EQ(h.slots[0].folder, u"NO PATH");
  // An empty folder with only the option rows chooses nothing either.
  h.dir.MakeDir("Music/Empty");
  menu().OpenPath(h.music + u"Empty/Nothing");
  EXPECT_FALSE(menu().changeFlag);
}

TEST_F(SongMenuTest, StaleChartShowsTheUpdateMessageForOneFrame) {
  Open();
  h.dir.WriteBytes("Music/Amber/notes.mid", "a changed chart");
  menu().selectedRow = RowOf(u"Amber");
  h.Press(0, 1);
  h.Frame();
  ASSERT_TRUE(menu().chartCheckPending);
  const auto rows = menu().MessageRows();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[1], u"T" + ToWide(std::to_string(LANG("LANG_SONG_SELECT_UPDATE_1"))));
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kSongSelect));
  h.Frame();
  EXPECT_FALSE(menu().chartCheckPending);
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kPlayerSelect));
}

TEST_F(SongMenuTest, FreeModeWrapsOverTheOptionRowsOtherModesSkipThem) {
  Open();
  menu().selectedRow = 0;
  h.Press(0, 14);
  h.Frame();
  EXPECT_EQ(menu().selectedRow, menu().EntryCount() - 1);
  h.session.practice = true;
  h.Frame();
  RecordingTheme* t = h.Theme("menu_songselect");
  EXPECT_EQ(t->Count({"list_name", "0", "disable_on"}), 1);
  EXPECT_EQ(t->Count({"list_name", "1", "disable_on"}), 1);
  h.Press(0, 15);
  h.Frame();
  EXPECT_EQ(menu().selectedRow, 2);
  h.Press(0, 14);
  h.Frame();
  EXPECT_EQ(menu().selectedRow, menu().EntryCount() - 1);
}

TEST_F(SongMenuTest, PlaylistTakesTwentyFiveSongsAtMost) {
  for (int i = 0; i < 26; ++i) h.AddSong("Many/S" + std::to_string(100 + i), "S" + std::to_string(100 + i), "X", {2});
  h.Init();
  h.Join(0);
  h.Frame();
  menus::SongMenu& m = menu();
  m.Enter(true, false, h.music + u"Many/");
  m.selectedRow = 0;
  m.Confirm(0);  // playlist mode on
  ASSERT_TRUE(m.playlistMode);
  for (int32_t row = 2; row < m.EntryCount(); ++row) {
    m.selectedRow = row;
    m.Confirm(0);
  }
  EXPECT_EQ(m.PlaylistCount(), 25);
  EXPECT_FALSE(m.State(m.EntryCount() - 1).inPlaylist);
  EXPECT_TRUE(m.State(m.EntryCount() - 2).inPlaylist);
  EXPECT_EQ(h.Theme("menu_songselect")->Row("list_playlist", 0), u"1- S100");
  // Launch: the set list is the playlist.
  m.selectedRow = 0;
  m.Confirm(0);
  EXPECT_EQ(m.requestedMenu, static_cast<int32_t>(Menu::kPlayerSelect));
  EXPECT_EQ(h.session.songCount, 25);
}

// The way back from a song: the legend's animations stopped and its elements reset,
// every video told to run muted, and the play list the player built kept for the next
// round; only a career's set list, which its own screen chooses, is emptied, and the
// song under the cursor stays selected either way.
TEST_F(SongMenuTest, TheWayBackFromASongResetsTheLegendAndKeepsAPlayerBuiltPlayList) {
  struct Case {
    const char* name;
    bool career;
    int32_t listAfter;
  };
  for (const Case& c : {Case{"free play", false, 2}, Case{"career", true, 0}}) {
    SCOPED_TRACE(c.name);
    MenuHarness fresh{1};
    fresh.AddSong("Cobalt", "Cobalt", "Zed", {2}, 1);
    fresh.AddSong("Amber", "Amber", "Yuri", {2}, 5);
    fresh.Init();
    fresh.Join(0);
    fresh.Frame();
    SongMenu& m = *fresh.manager->songMenu();
    m.Enter(true, false, fresh.music);
    m.selectedRow = 0;
    m.Confirm(0);  // play list mode on
    ASSERT_TRUE(m.playlistMode);
    for (int32_t row = 2; row < m.EntryCount(); ++row) {
      m.selectedRow = row;
      m.Confirm(0);
    }
    ASSERT_EQ(m.PlaylistCount(), 2);
    const int32_t selected = m.selectedRow;
    RecordingTheme* legend = fresh.Theme("menu_overlay");
    ASSERT_NE(legend, nullptr);
    const int stops = legend->animationStops, resets = legend->elementResets;

    fresh.session.career = c.career;
    fresh.manager->ResetAfterSong();
    EXPECT_EQ(legend->animationStops, stops + 1);
    EXPECT_EQ(legend->elementResets, resets + 1);
    EXPECT_EQ(fresh.videoCommands, std::vector<int32_t>{0});
    EXPECT_EQ(m.PlaylistCount(), c.listAfter);
    EXPECT_EQ(m.State(2).inPlaylist, c.listAfter > 0);
    EXPECT_EQ(m.selectedRow, selected);
  }
}

// Back from a song, the played song's row shows what the level just stored: its new
// best result and its play count; a song that was not played is not read again.
TEST_F(SongMenuTest, AfterASongItsRowShowsTheStoredResultAndPlayCount) {
  Open();
  menu().scoreFilter = 2;  // the guitar's results
  h.Frame();
  const int32_t amber = RowOf(u"Amber"), cobalt = RowOf(u"Cobalt");
  ASSERT_GE(amber, 2);
  ASSERT_GE(cobalt, 2);
  EXPECT_EQ(menu().Cell(menus::kColTopScore, amber), u"");
  EXPECT_EQ(menu().Cell(menus::kColPlayCount, amber), u"");
  menu().selectedRow = amber;
  h.Press(0, 1);
  h.Frames(2);
  ASSERT_EQ(h.manager->current, static_cast<int32_t>(Menu::kPlayerSelect));

  // What the end of the song writes: the result into the score file, the play count
  // into "song.ini". Cobalt's file changes too, behind the screen's back.
  const std::string player = menu().scorePlayerName;
  for (const char* folder : {"Music/Amber/", "Music/Cobalt/"}) {
    ScoreTable table;
    ASSERT_TRUE(table.Load(h.dir.WPath(folder)));
    ASSERT_TRUE(table.AddScore(1, 4321, 3, 88, 2, 2, player));
    ASSERT_TRUE(SetSongIniValue(h.dir.WPath(folder), "count", "1"));
  }
  h.manager->ResetAfterSong();
  h.manager->SwitchTo(static_cast<int32_t>(Menu::kSongSelect));
  h.Frame();
  EXPECT_EQ(menu().Cell(menus::kColTopScore, amber), u"4321");
  EXPECT_EQ(menu().Cell(menus::kColTopAccuracy, amber), u"88%");
  EXPECT_EQ(menu().Cell(menus::kColPlayCount, amber), u"1");
  EXPECT_EQ(h.Theme("menu_songselect")->Row("list_topscore_score", amber), u"4321");
  EXPECT_EQ(menu().Cell(menus::kColTopScore, cobalt), u"");
  EXPECT_EQ(menu().Cell(menus::kColPlayCount, cobalt), u"");
}

TEST_F(SongMenuTest, NetworkChoiceIsAnnouncedAndReturnsToTheLobby) {
  Open();
  h.online = true;
  menu().selectedRow = RowOf(u"Amber");
  menu().Confirm(0);
  ASSERT_EQ(h.sent.size(), 2u);
  EXPECT_EQ(h.sent[0].code, 27);
  EXPECT_EQ(h.sent[0].str1, "Yuri - Amber");
  EXPECT_EQ(h.sent[0].str2.size(), 32u);
  EXPECT_EQ(h.sent[1].code, 28);
  EXPECT_EQ(h.sent[1].args[1], 2);
  EXPECT_EQ(menu().requestedMenu, static_cast<int32_t>(Menu::kLobby));
}

// A preview stream that counts its updates from whatever thread plays it.
struct PreviewProbe {
  std::atomic<int> made{0}, updates{0}, stopped{0};
  std::atomic<bool> offMain{false};
  std::thread::id main = std::this_thread::get_id();
};

class ProbeStream : public menus::PreviewStream {
 public:
  explicit ProbeStream(PreviewProbe& p) : p_(p) { p_.made++; }
  void Update() override {
    p_.updates++;
    if (std::this_thread::get_id() != p_.main) p_.offMain = true;
  }
  void Stop() override { p_.stopped++; }

 private:
  PreviewProbe& p_;
};

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 1000 && !done(); ++i) platform::SleepMs(10);
  return done();
}

TEST_F(SongMenuTest, PreviewStartsAfterTheSelectionRestsAndStopsOnLeaving) {
  PreviewProbe probe;
  h.ctx.loadPreview = [&](const std::u16string& folder, double start, int32_t) -> std::unique_ptr<menus::PreviewStream> {
    EXPECT_EQ(start, 500.0);
    EXPECT_NE(folder.find(u"Amber"), std::u16string::npos);
    return std::make_unique<ProbeStream>(probe);
  };
  h.ctx.settings->mixer.SONGPREVIEWTYPE = 1;
  Open();
  ASSERT_EQ(RowOf(u"Amber") + 1, RowOf(u"Cobalt"));  // a folder without song.ini sorts by its path
  menu().selectedRow = RowOf(u"Cobalt");
  h.Press(0, 14);  // onto Amber
  h.Frame();
  ASSERT_EQ(menu().State(menu().selectedRow).displayName, u"Amber");
  h.clock += 999;
  h.Frame();
  EXPECT_EQ(menu().PreviewFlagValue(), SongMenu::kPreviewNone);
  h.clock += 1;
  h.Frame();
  EXPECT_EQ(menu().PreviewFlagValue(), SongMenu::kPreviewRunning);
  EXPECT_TRUE(WaitFor([&] { return probe.updates.load() > 0; }));
  EXPECT_TRUE(probe.offMain.load());
  // Leaving the screen stops the preview before the next screen runs.
  h.Press(0, 2);
  h.Press(0, 2);
  h.Frame();
  h.Frame();
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kMain));
  EXPECT_EQ(menu().PreviewFlagValue(), SongMenu::kPreviewNone);
  EXPECT_EQ(probe.stopped.load(), 1);
}

TEST_F(SongMenuTest, NoPreviewWhenTurnedOffOrOnAFolder) {
  std::atomic<int> made{0};
  h.ctx.loadPreview = [&](const std::u16string&, double, int32_t) -> std::unique_ptr<menus::PreviewStream> {
    made++;
    return nullptr;
  };
  Open();
  menu().selectedRow = RowOf(u"Amber");
  menu().previewTimer = h.clock;
  h.clock += 2000;
  h.Frame();
  EXPECT_EQ(made.load(), 0);  // SONGPREVIEWTYPE 0
  h.ctx.settings->mixer.SONGPREVIEWTYPE = 2;
  menu().selectedRow = RowOf(u"Band");
  menu().previewTimer = h.clock;
  h.clock += 2000;
  h.Frame();
  menu().WaitPreviewThread();
  EXPECT_EQ(made.load(), 0);
  // A song whose preview cannot load: logged, the flag back at none.
  menu().selectedRow = RowOf(u"Cobalt");
  menu().previewTimer = h.clock;
  h.clock += 2000;
  h.Frame();
  menu().WaitPreviewThread();
  EXPECT_EQ(made.load(), 1);
  EXPECT_EQ(menu().PreviewFlagValue(), SongMenu::kPreviewNone);
}

TEST_F(SongMenuTest, AlbumArtIsDecodedOffTheMainThreadAndShown) {
  std::atomic<bool> offMain{false};
  const std::thread::id main = std::this_thread::get_id();
  h.ctx.decodePicture = [&](const std::u16string& path) -> std::shared_ptr<const menus::Picture> {
    if (std::this_thread::get_id() != main) offMain = true;
    if (path.find(u"Amber/album.png") == std::u16string::npos) return nullptr;
    auto p = std::make_shared<menus::Picture>();
    p->width = 7;
    return p;
  };
  Open();
  menu().selectedRow = RowOf(u"Cobalt");
  h.Press(0, 14);  // onto Amber
  h.Frame();
  ASSERT_TRUE(menu().WaitAlbumArt(10000));
  h.Frame();
  EXPECT_TRUE(offMain.load());
  RecordingTheme* t = h.Theme("menu_songselect");
  ASSERT_TRUE(t->images["album_art"]);
  EXPECT_EQ(t->images["album_art"]->width, 7);
  // Moving to a song without "album.png" gives the element its own image back.
  h.Press(0, 15);
  h.Frame();
  ASSERT_TRUE(menu().WaitAlbumArt(10000));
  h.Frame();
  EXPECT_FALSE(t->images["album_art"]);
}

}  // namespace
}  // namespace menustest

namespace menustest {
namespace {

// A theme reload gives every screen a new theme document: the lists, the cursor and
// the album cover are bound to the new one, and input keeps working.
TEST(MenuThemeReload, ScreensRebindTheirListsToTheNewThemes) {
  MenuHarness h(1);
  h.AddSong("Amber", "Amber", "A");
  h.AddSong("Cobalt", "Cobalt", "C");
  h.ctx.decodePicture = [](const std::u16string&) {
    auto p = std::make_shared<menus::Picture>();
    p->width = p->height = 1;
    p->rgba = {1, 2, 3, 255};
    return std::shared_ptr<const menus::Picture>(p);
  };
  h.Init();
  h.Join(0);
  h.Frame();
  h.manager->SwitchTo(static_cast<int32_t>(menus::Menu::kSongSelect));
  h.Frame();
  h.Press(0, 15);
  h.Frame();
  const int32_t row = h.manager->songMenu()->selectedRow;
  RecordingTheme* before = h.Theme("menu_songselect");
  ASSERT_NE(before, nullptr);
  const std::u16string shown = before->Row("list_name", row);
  EXPECT_EQ(shown, u"Cobalt");
  ASSERT_TRUE(h.manager->songMenu()->WaitAlbumArt(10000));
  h.Frame();
  const size_t loads = h.themes["menu_songselect"].size();
  h.manager->LoadMenuThemes(u"themes/default/");  // the old theme objects are gone now
  ASSERT_EQ(h.themes["menu_songselect"].size(), loads + 1);
  RecordingTheme* after = h.Theme("menu_songselect");
  EXPECT_EQ(after->Selected("list_name"), row);
  EXPECT_EQ(after->Row("list_name", row), shown);
  EXPECT_NE(after->images["album_art"], nullptr) << "the cover shown goes to the new theme";
  ASSERT_NE(h.Theme("menu_overlay"), nullptr);
  h.Press(0, 14);
  h.Frame();
  EXPECT_EQ(after->Selected("list_name"), row - 1);
  EXPECT_EQ(h.manager->dropDowns()->BoxOf(0)->controller, 0) << "the joined player keeps the box";
}

}  // namespace
}  // namespace menustest
