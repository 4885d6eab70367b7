// Player select to the song-load screen: boxes taken and left from several devices,
// the instrument and skill a profile prefers, all ready to the start (one frame
// later the exit), the network messages with values out of range, the drop-down box
// and the song-load state written from a second thread.
#include <gtest/gtest.h>

#include <thread>

#include "core/lang_ids.h"
#include "core/utils.h"
#include "game/level/level_session.h"
#include "menus/screens/player_menu.h"
#include "tests/menus/menu_harness.h"

namespace menustest {
namespace {

using menus::Menu;
using menus::SlotState;

class PlayerMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.controllers[0].kind = 3;  // keyboard
    h.controllers[0].keyboard = true;
    h.controllers[1].kind = 1;  // guitar
    h.controllers[2].kind = 0;  // drums (a MIDI kit plays as drums)
    song = h.AddSong("Duo", "Duo", "Pair", {0, 2});
    h.Init();
    for (int c = 0; c < 3; ++c) {
      h.Join(c);
      h.Frame();
    }
    h.manager->SwitchTo(static_cast<int32_t>(Menu::kSongSelect));
    h.manager->songMenu()->OpenPath(song);
    h.Frame();
    ASSERT_EQ(h.manager->current, static_cast<int32_t>(Menu::kPlayerSelect));
  }
  menus::PlayerMenu& pm() { return *h.manager->playerMenu(); }
  MenuHarness h{3};
  std::u16string song;
};

TEST_F(PlayerMenuTest, SeveralDevicesJoinChooseAndStartTheSong) {
  // Guitar and drums join; the keyboard joins too.
  h.Press(1, 1);
  h.Press(2, 1);
  h.Press(0, 1);
  h.Frame();
  ASSERT_EQ(pm().slotCount, 3);  // boxes in controller order within a frame
  EXPECT_EQ(pm().Slot(0).controllerIndex, 0);
  EXPECT_EQ(pm().Slot(0).instrumentCount, 2);  // the keyboard plays either part
  EXPECT_EQ(pm().Slot(0).ChosenInstrument(), 2);  // and starts on guitar, not drums
  EXPECT_EQ(pm().Slot(1).instrumentCount, 1);  // a guitar on drums+guitar: guitar only
  EXPECT_EQ(pm().Slot(1).ChosenInstrument(), 2);
  EXPECT_EQ(pm().Slot(2).ChosenInstrument(), 0);
  // Each box: instrument, skill (the profile's favourite 3), ready.
  for (int step = 0; step < 2; ++step) {
    for (int c = 0; c < 3; ++c) h.Press(c, 1);
    h.Frame();
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pm().Slot(i).state, SlotState::kReady);
    EXPECT_EQ(pm().Slot(i).ChosenSkill(), 3);
  }
  EXPECT_TRUE(pm().allReady);
  h.Press(2, 1);
  h.Frame();
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kStartSong));
  EXPECT_FALSE(h.manager->exitRequest.load());  // the exit follows one frame later
  h.Frame();
  EXPECT_TRUE(h.manager->exitRequest.load());
  EXPECT_EQ(h.manager->exitCode.load(), 1);
  ASSERT_EQ(h.session.rosterCount, 3);
  EXPECT_EQ(h.session.roster[0].kind, 2);
  EXPECT_EQ(h.session.roster[1].kind, 2);
  EXPECT_EQ(h.session.roster[2].kind, 0);
  EXPECT_EQ(h.session.roster[1].difficulty, 3);
  EXPECT_EQ(h.session.roster[1].profile, &h.ctx.seats[1].profile);
}

TEST_F(PlayerMenuTest, LeavingFreesTheBoxAndBackWithoutABoxLeaves) {
  h.Press(1, 1);
  h.Press(0, 1);
  h.Frame();
  ASSERT_EQ(pm().slotCount, 2);
  h.Press(1, 2);  // the guitar's box steps back to empty and leaves
  h.Frame();
  EXPECT_EQ(pm().slotCount, 1);
  EXPECT_EQ(pm().Slot(0).controllerIndex, 0);
  // Back from a controller without a box leaves even with others still in.
  h.session.gameType = 4;
  h.Press(2, 2);
  h.Frame();
  EXPECT_EQ(h.manager->current, static_cast<int32_t>(Menu::kSongSelect));
  EXPECT_EQ(pm().slotCount, 0);
  EXPECT_EQ(h.session.gameType, 0);
}

TEST_F(PlayerMenuTest, FavouriteSkillFallsToTheHighestBelow) {
  h.ctx.seats[1].profile.FAVOURITEGUITARSKILL = 3;
  h.Press(1, 1);
  h.Frame();
  menus::PlayerSlot& s = pm().Slot(0);
  Song* current = h.session.CurrentSong();
  ASSERT_TRUE(current && current->scores);
  struct Case {
    std::array<uint8_t, 5> levels;
    int32_t chosen;
  };
  for (const Case& c : {Case{{1, 1, 0, 0, 1}, 1}, Case{{0, 0, 0, 1, 1}, 3}, Case{{0, 0, 0, 0, 1}, 4}}) {
    current->scores->availability[2].difficulty = c.levels;
    s.CollectSkills();
    EXPECT_EQ(s.ChosenSkill(), c.chosen);
  }
  // Expert+ is shown disabled on a five-fret part.
  auto* theme = static_cast<RecordingTheme*>(s.theme());
  ASSERT_NE(theme, nullptr);
  EXPECT_GE(theme->Count({"list_skill", "1", "disable_on"}), 1);
}

TEST_F(PlayerMenuTest, GameTypeStepsAndIsRefusedInPractice) {
  h.session.gameType = 6;
  h.Press(0, 19);
  h.Frame();
  EXPECT_EQ(h.session.gameType, 0);
  EXPECT_EQ(h.sounds.back(), menus::Sound::kGameType);
  h.session.practice = true;
  h.Press(0, 19);
  h.Frame();
  EXPECT_EQ(h.session.gameType, 0);
  EXPECT_EQ(h.sounds.back(), menus::Sound::kRefused);
}

TEST_F(PlayerMenuTest, NetworkMessagesOutOfRangeAreDropped) {
  GameMessage add;
  add.type = 2;
  add.code = 27;
  add.a2 = 7;
  pm().ApplyNetMessage(add);
  ASSERT_EQ(pm().slotCount, 1);
  EXPECT_TRUE(pm().Slot(0).remote);
  struct Case {
    int32_t code, a2, a3, a4, a5;
  };
  // Each would index past a table: a box position, a player id, a game type.
  for (const Case& c : {Case{17, 3, 15, 0, 0}, Case{17, 3, -1, 0, 0}, Case{27, 50, 0, 0, 0}, Case{27, -2, 0, 0, 0},
                        Case{33, 99, 0, 0, 0}, Case{36, 0, 7, 0, 0}, Case{36, 0, -1, 0, 0}}) {
    GameMessage m;
    m.type = 2;
    m.code = c.code;
    m.a2 = c.a2;
    m.a3 = c.a3;
    pm().ApplyNetMessage(m);
  }
  EXPECT_EQ(pm().slotCount, 1);
  EXPECT_EQ(h.session.gameType, 0);
  // Rows beyond the receiver's lists are clamped.
  GameMessage sel;
  sel.type = 2;
  sel.code = 19;
  sel.a2 = 7;
  sel.a3 = 2;
  sel.a4 = 40;
  sel.a5 = 40;
  pm().ApplyNetMessage(sel);
  EXPECT_EQ(pm().Slot(0).instrumentRow, pm().Slot(0).instrumentCount - 1);
  EXPECT_EQ(pm().Slot(0).skillRow, pm().Slot(0).skillCount - 1);
  // The remote player's data: a device kind outside 0..7 plays as a game pad.
  GameMessage info;
  info.type = 2;
  info.code = 33;
  info.a2 = 7;
  info.a4 = 0x0200'0009;  // kind 9, lefty
  info.str1 = "Remote Rita";
  pm().ApplyNetMessage(info);
  EXPECT_EQ(pm().Slot(0).remoteKind, 2);
  EXPECT_EQ(pm().Slot(0).remoteProfile.PLAYERNAME, "Remote Rita");
  EXPECT_TRUE(pm().Slot(0).remoteProfile.LEFTY);
}

TEST(PlayerBoxes, PlacementAcrossTheScreen) {
  // Four boxes on 16:9: 70-unit gaps, centres at 320, 960, 1600, 2240 from the left.
  const float expected[] = {-960, -320, 320, 960};
  for (int i = 0; i < 4; ++i) {
    const menus::BoxPlacement p = menus::PlaceBox(i, 4, 1920, 1080);
    EXPECT_NEAR(p.x, expected[i], 0.01f);
    EXPECT_FLOAT_EQ(p.scale, 1.0f);
  }
  EXPECT_NEAR(menus::PlaceBox(0, 15, 1920, 1080).scale, 2560.0f / 7500.0f, 1e-4f);
}

// Four kinds of device join in the same frame: the keyboard, a game pad, a drum kit
// and a MIDI keyboard instrument that speaks in notes only. Each gets its sound, its
// profile and its drop-down box, and each takes a box on player select with the part
// its kind starts on.
TEST(Joining, KeyboardPadDrumKitAndMidiInstrumentInOneFrame) {
  MenuHarness h(4);
  h.controllers[0].kind = 3;
  h.controllers[0].keyboard = true;
  h.controllers[1].kind = 2;  // game pad
  h.controllers[2].kind = 0;  // drum kit
  h.controllers[3].kind = 4;  // MIDI keys: menu codes arrive as notes
  const std::u16string song = h.AddSong("Band", "Band", "Four", {0, 2, 3});
  h.Init();
  for (int c = 0; c < 4; ++c) h.Join(c);
  h.Frame();
  for (int c = 0; c < 4; ++c) {
    EXPECT_TRUE(h.ctx.seats[static_cast<size_t>(c)].inPlay) << c;
    EXPECT_EQ(h.ctx.seats[static_cast<size_t>(c)].profile.PLAYERNAME, "Guest") << c;
    menus::DropDownBox* box = h.manager->dropDowns()->BoxOf(c);
    ASSERT_NE(box, nullptr) << c;
    EXPECT_EQ(box->controller, c);
  }
  EXPECT_EQ(std::count(h.sounds.begin(), h.sounds.end(), menus::Sound::kJoined), 4);
  h.manager->SwitchTo(static_cast<int32_t>(Menu::kSongSelect));
  h.manager->songMenu()->OpenPath(song);
  h.Frame();
  ASSERT_EQ(h.manager->current, static_cast<int32_t>(Menu::kPlayerSelect));
  // Confirm on each: a button for three of them, C (note 160, an octave step of 0) for
  // the MIDI instrument.
  const uint32_t kMidiConfirm = 160;
  const std::array<uint32_t, 4> confirm{1, 1, 1, kMidiConfirm};
  for (int c = 0; c < 4; ++c) h.Press(c, confirm[static_cast<size_t>(c)]);
  h.Frame();
  menus::PlayerMenu& pm = *h.manager->playerMenu();
  ASSERT_EQ(pm.slotCount, 4);
  const std::array<int32_t, 4> startsOn{2, 2, 0, 3};  // guitar, guitar, drums, keys
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(pm.Slot(i).controllerIndex, i);
    EXPECT_EQ(pm.Slot(i).ChosenInstrument(), startsOn[static_cast<size_t>(i)]) << "box " << i;
  }
  // Two more confirms each (instrument, skill) make every box ready; the MIDI
  // instrument's confirm then starts the song.
  for (int step = 0; step < 2; ++step) {
    for (int c = 0; c < 4; ++c) h.Press(c, confirm[static_cast<size_t>(c)]);
    h.Frame();
  }
  EXPECT_TRUE(pm.allReady);
  h.Press(3, kMidiConfirm);
  h.Frames(2);
  EXPECT_TRUE(h.manager->exitRequest.load());
  ASSERT_EQ(h.session.rosterCount, 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(h.session.roster[i].kind, startsOn[static_cast<size_t>(i)]);
}

// Only an open box is drawn: a closed one (every joined player has one) shows nothing
// over the screen below it.
TEST(DropDownBoxes, OnlyAnOpenBoxIsDrawn) {
  MenuHarness h(2);
  h.Init();
  h.Join(0);
  h.Join(1);
  h.Frame();
  auto renders = [&](int c) {
    return static_cast<RecordingTheme*>(h.manager->dropDowns()->BoxOf(c)->theme())->renders;
  };
  ASSERT_NE(h.manager->dropDowns()->BoxOf(1), nullptr);
  h.manager->Render(1920, 1080);
  EXPECT_EQ(renders(0), 0);
  EXPECT_EQ(renders(1), 0);
  h.Press(1, 18);
  h.Frame();
  h.manager->Render(1920, 1080);
  EXPECT_EQ(renders(0), 0);
  EXPECT_EQ(renders(1), 1);
  h.Press(1, 18);  // closes it again
  h.Frame();
  h.manager->Render(1920, 1080);
  EXPECT_EQ(renders(1), 1);
}

TEST(DropDownBoxes, TheBoxTakesItsControllerAndChoosesAProfile) {
  MenuHarness h(2);
  h.AddProfile("Ada");
  h.Init();
  h.Join(0);
  h.Frame();
  h.Join(1);
  h.Frame();
  ASSERT_EQ(h.ctx.seats[0].profile.PLAYERNAME, "Guest");
  h.Press(0, 18);  // opens the box
  h.Frame();
  EXPECT_TRUE(h.ctx.seats[0].boxOpen);
  menus::DropDownBox* box = h.manager->dropDowns()->BoxOf(0);
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(box->profileNames.size(), 2u);  // Ada, Guest
  EXPECT_EQ(box->profileCursor, 3);        // the player's own profile
  // While open, the box has the controller alone: down moves the box, not the menu.
  h.Press(0, 15);
  h.Frame();
  h.Press(0, 14);
  h.Frame();
  EXPECT_EQ(box->profileCursor, 2);
  EXPECT_EQ(h.manager->mainMenu()->selectedRow, 0);
  // The other player still drives the menu.
  h.Press(1, 15);
  h.Frame();
  EXPECT_EQ(h.manager->mainMenu()->selectedRow, 1);
  // Choosing Ada closes the box and loads the profile for that player alone.
  h.Press(0, 1);
  h.Frame();
  EXPECT_FALSE(h.ctx.seats[0].boxOpen);
  EXPECT_EQ(h.ctx.seats[0].profile.PLAYERNAME, "Ada");
  EXPECT_EQ(h.ctx.seats[1].profile.PLAYERNAME, "Guest");
  // Make default from the options of a listed profile.
  h.Press(0, 18);
  h.Frame();
  h.Press(0, 19);  // options of the profile under the cursor
  h.Frame();
  EXPECT_EQ(box->state, 2);
  h.Press(0, 15);
  h.Frame();
  h.Press(0, 15);
  h.Frame();
  h.Press(0, 1);
  h.Frame();
  EXPECT_EQ(h.ctx.settings->DEFAULTPROFILE, u"profiles/Ada.dat");
  // Left and right change the kind within 0..7 and the player's device follows.
  h.Press(0, 17);
  h.Frame();
  EXPECT_EQ(h.controllers[0].kind, 4);
  for (int i = 0; i < 6; ++i) {
    h.Press(0, 17);
    h.Frame();
  }
  EXPECT_EQ(h.controllers[0].kind, 7);
}

TEST(SongLoad, StateFromTheTaskThreadAndTheStartConfirm) {
  MenuHarness h(1);
  const std::u16string folder = h.AddSong("Long", "Long", "Talker");
  h.dir.WriteBytes("Music/Long/song.ini",
                   "[song]\nname = Long\ncharter = Fretter Fred\nloading_phrase = " + std::string(60, 'a') + " " +
                       std::string(300, 'b') + "\n");
  h.slots[0].folder = folder;
  h.slots[0].LoadInfo();
  h.Init();
  h.Join(0);
  h.Frame();
  menus::SongLoadMenu& load = *h.manager->songLoadMenu();
  RecordingTheme* t = h.Theme("menu_songload");
  ASSERT_NE(t, nullptr);
  // The Task thread walks the steps while the main thread refreshes and reads input.
  std::atomic<bool> done{false};
  std::thread task([&] {
    load.SetLoadState(0);
    load.SetLoadState(1);
    done = true;
  });
  while (!done.load()) {
    load.Refresh();
    h.Press(0, 1);  // confirms before the song is ready are dropped
    load.Input();
  }
  task.join();
  load.Refresh();
  load.Input();
  EXPECT_FALSE(load.TakeStart());
  EXPECT_EQ(t->GetText("current_load_item"), u"T" + ToWide(std::to_string(LANG("LANG_GAME_LOAD_STAGE_LAST_CHECKS"))));
  std::thread ready([&] { load.SetLoadState(2); });
  ready.join();
  load.Refresh();
  load.Refresh();
  EXPECT_EQ(t->Count({"menu_trigger", "", "ready_on"}), 1);
  EXPECT_EQ(t->GetText("fretter"), u"Fretter Fred");
  EXPECT_EQ(t->GetText("phrase_line_1"), ToWide(std::string(60, 'a')));
  EXPECT_FALSE(t->GetText("phrase_line_5").empty());
  h.Press(0, 1);
  load.Input();
  EXPECT_TRUE(load.TakeStart());
  EXPECT_FALSE(load.TakeStart());
}

TEST(SongLoad, OnlyWebAddressesAreOpened) {
  EXPECT_TRUE(menus::IsSafeWebAddress("https://example.org/song"));
  EXPECT_TRUE(menus::IsSafeWebAddress("HTTP://example.org"));
  EXPECT_FALSE(menus::IsSafeWebAddress("file:///etc/passwd"));
  EXPECT_FALSE(menus::IsSafeWebAddress("/usr/bin/xterm"));
  EXPECT_FALSE(menus::IsSafeWebAddress("http://a\nb"));
  EXPECT_FALSE(menus::IsSafeWebAddress("http://" + std::string(3000, 'a')));
}

}  // namespace
}  // namespace menustest
