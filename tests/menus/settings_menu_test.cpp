// The settings-screen pattern through the calibration screen: the three lists and
// their row states (hover, disabled, edit), edits written to the settings record at
// their limits, and the requests Back and the calibration-song row raise.
#include <gtest/gtest.h>

#include "core/lang_ids.h"
#include "core/settings.h"
#include "menus/screens/calibration_menu.h"
#include "tests/menus/menu_harness.h"

namespace menustest {
namespace {

using menus::CalibrationMenu;

constexpr uint32_t kUp = 14, kDown = 13, kConfirm = 1, kBack = 2;

struct CalibrationScreen : ::testing::Test {
  CalibrationScreen() {
    h.ctx.seats[0].inPlay = true;
    h.ctx.settings->AUDIOCALIBRATION = 0;
    h.ctx.settings->VIDEOCALIBRATION = 0;
    h.ctx.settings->SYNCMETHOD = 0;
  }
  RecordingTheme& Load() {
    EXPECT_TRUE(menu.LoadTheme(u"themes/default/"));
    RecordingTheme* t = h.Theme("menu_calibration");
    EXPECT_NE(t, nullptr);
    return *t;
  }
  // One press, then the frame that reads it.
  void Press(uint32_t id) {
    h.Press(0, id);
    menu.Frame();
  }
  int Events(RecordingTheme& t, const std::string& row, const std::string& event) {
    int n = 0;
    for (const char* list : {"list_name", "list_value", "list_description"}) n += t.Count({list, row, event});
    return n;
  }
  MenuHarness h{1};
  CalibrationMenu menu{h.ctx};
};

TEST_F(CalibrationScreen, BuildsThreeColumnsOfTheFourSettings) {
  h.ctx.settings->AUDIOCALIBRATION = -37;
  h.ctx.settings->SYNCMETHOD = 2;
  menu.settings.SyncFromBindings();
  RecordingTheme& t = Load();
  for (const char* list : {"list_name", "list_value", "list_description"}) {
    ASSERT_EQ(t.lists[list].count, CalibrationMenu::kRows) << list;
    EXPECT_EQ(t.lists[list].selected, &menu.settings.cursor) << list;
  }
  EXPECT_EQ(t.Row("list_name", 0), h.ctx.Text(LANG("LANG_OPTIONS_CALIBRATION_AUDIO_DELAY")));
  EXPECT_EQ(t.Row("list_description", 1), h.ctx.Text(LANG("LANG_OPTIONS_CALIBRATION_VIDEO_DELAY_DESC")));
  EXPECT_EQ(t.Row("list_value", 0), u"-37");
  EXPECT_EQ(t.Row("list_value", 1), u"0");
  EXPECT_EQ(t.Row("list_value", 2), h.ctx.Text(LANG("LANG_OPTIONS_CALIBRATION_VALUE_SAMPLE_LINKED")));
  EXPECT_EQ(t.Row("list_value", 3), u"");  // the song row is an action: no value
}

TEST_F(CalibrationScreen, HoverFollowsTheCursorAndClampsAtTheEnds) {
  RecordingTheme& t = Load();
  // The first update after a build: hover on row 0 only, nothing to switch off.
  EXPECT_EQ(Events(t, "0", "hover_on"), 3);
  EXPECT_EQ(t.events.size(), 3u);
  Press(kUp);  // already at the top
  menu.UpdateListStates();
  EXPECT_EQ(menu.settings.cursor, 0);
  EXPECT_EQ(t.events.size(), 3u);
  for (int i = 0; i < 5; ++i) Press(kDown);
  menu.UpdateListStates();
  EXPECT_EQ(menu.settings.cursor, 3);
  EXPECT_EQ(Events(t, "0", "hover_off"), 3);
  EXPECT_EQ(Events(t, "2", "hover_off"), 3);
  EXPECT_EQ(Events(t, "3", "hover_on"), 3);
  // A rebuild with the cursor where it was sends no hover at all.
  t.events.clear();
  ASSERT_TRUE(menu.BuildLists());
  EXPECT_EQ(Events(t, "3", "hover_on") + Events(t, "3", "hover_off"), 0);
}

TEST_F(CalibrationScreen, LockedRowsAreDisabledOnEveryRebuild) {
  RecordingTheme& t = Load();
  EXPECT_EQ(Events(t, "1", "disable_on"), 0);
  menu.settings.settings[1].locked = 1;
  menu.UpdateListStates();
  EXPECT_EQ(Events(t, "1", "disable_on"), 3);
  menu.UpdateListStates();
  EXPECT_EQ(Events(t, "1", "disable_on"), 3);  // signalled once, not every frame
  ASSERT_TRUE(menu.BuildLists());               // new rows start enabled
  EXPECT_EQ(Events(t, "1", "disable_on"), 6);
  menu.settings.settings[1].locked = 0;
  menu.UpdateListStates();
  EXPECT_EQ(Events(t, "1", "disable_off"), 3);
  // A locked row does not enter edit mode.
  menu.settings.settings[1].locked = 1;
  Press(kDown);
  Press(kConfirm);
  EXPECT_EQ(menu.settings.editing, 0);
  EXPECT_FALSE(menu.changeRequested);
}

TEST_F(CalibrationScreen, EditsWriteTheSettingAndStopAtItsLimits) {
  RecordingTheme& t = Load();
  h.ctx.settings->AUDIOCALIBRATION = 498;
  Press(kConfirm);
  EXPECT_EQ(menu.settings.editing, 1);
  menu.UpdateListStates();
  EXPECT_EQ(Events(t, "0", "edit_on"), 3);
  for (int i = 0; i < 4; ++i) Press(kUp);  // numbers rise with up
  EXPECT_EQ(h.ctx.settings->AUDIOCALIBRATION, 500);
  EXPECT_EQ(menu.settings.cursor, 0);  // the cursor stays while editing
  h.ctx.settings->AUDIOCALIBRATION = -499;
  for (int i = 0; i < 3; ++i) Press(kDown);
  EXPECT_EQ(h.ctx.settings->AUDIOCALIBRATION, -500);
  menu.UpdateListStates();
  EXPECT_EQ(t.Row("list_value", 0), u"-500");
  // Back leaves edit mode only; the second Back returns to the options screen.
  Press(kBack);
  EXPECT_EQ(menu.settings.editing, 0);
  EXPECT_FALSE(menu.changeRequested);
  menu.UpdateListStates();
  EXPECT_EQ(Events(t, "0", "edit_off"), 3);
  Press(kBack);
  EXPECT_TRUE(menu.changeRequested);
  EXPECT_EQ(menu.requestedMenu, static_cast<int32_t>(menus::Menu::kOptions));
  EXPECT_EQ(h.sounds.back(), menus::Sound::kBack);
}

TEST_F(CalibrationScreen, SyncMethodChoicesStopAtBothEnds) {
  Load();
  Press(kDown);
  Press(kDown);
  Press(kConfirm);
  ASSERT_EQ(menu.settings.editing, 1);
  Press(kUp);
  EXPECT_EQ(h.ctx.settings->SYNCMETHOD, 0);
  for (int i = 0; i < 4; ++i) Press(kDown);
  EXPECT_EQ(h.ctx.settings->SYNCMETHOD, 2);
  Press(kUp);
  EXPECT_EQ(h.ctx.settings->SYNCMETHOD, 1);
}

TEST_F(CalibrationScreen, SongRowAsksForTheCalibrationSong) {
  Load();
  for (int i = 0; i < 3; ++i) Press(kDown);
  Press(kConfirm);
  EXPECT_EQ(menu.settings.editing, 0);
  EXPECT_TRUE(menu.changeRequested);
  EXPECT_EQ(menu.requestedMenu, menus::kRequestCalibrationSong);
  EXPECT_EQ(h.sounds.back(), menus::Sound::kConfirm);
}

TEST_F(CalibrationScreen, WithoutAThemeInputStillWorks) {
  h.ctx.loadTheme = [](const std::string&, const std::u16string&) { return std::unique_ptr<menus::ScreenTheme>(); };
  EXPECT_FALSE(menu.LoadTheme(u"themes/default/"));
  EXPECT_EQ(menu.theme(), nullptr);
  EXPECT_FALSE(menu.BuildLists());
  Press(kDown);
  EXPECT_EQ(menu.settings.cursor, 1);
}

}  // namespace
}  // namespace menustest

namespace menustest {
namespace {

// The manager runs the calibration screen as menu 4: its calibration row opens song
// select on the calibrator's folder, and Back goes to the options screen.
TEST(CalibrationInTheManager, TheSongRowOpensTheCalibratorFolderAndBackGoesToOptions) {
  MenuHarness h;
  h.Init();
  h.ctx.seats[0].inPlay = true;
  ASSERT_NE(h.manager->calibrationMenu(), nullptr);
  h.manager->SwitchTo(static_cast<int32_t>(menus::Menu::kCalibration));
  for (int i = 0; i < 3; ++i) {
    h.Press(0, 13);
    h.Frame();
  }
  h.Press(0, 1);
  h.Frame();
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(menus::Menu::kSongSelect));
  EXPECT_EQ(h.manager->songMenu()->currentFolder, u"data/calibrator/");

  h.manager->SwitchTo(static_cast<int32_t>(menus::Menu::kCalibration));
  h.Press(0, 2);
  h.Frame();
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(menus::Menu::kOptions));
}

}  // namespace
}  // namespace menustest
