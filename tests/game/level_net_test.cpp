// The game messages that drive the level and the lobby, by game state and limbo.
#include <gtest/gtest.h>

#include <bit>

#include "core/shell/shell_state.h"
#include "game/level/level_net.h"
#include "tests/game/level_test_harness.h"

namespace {

using namespace leveltest;

class LevelNetTest : public ::testing::Test, public LevelTestBase {
 protected:
  LevelNetTest() {
    Session().net = &net;
    Session().limbo = [this] { return limbo; };
    songs[0].folder = WriteSongFolder(dir, "Song", ReferenceChart(), 0.0);
  }

  // A level of one local and two remote players on net slot 3.
  void BuildLevel() {
    LevelSession& s = Session();
    s.rosterCount = 3;
    s.roster[0] = LevelSlot();
    s.roster[0].controller = &bot;
    for (int i = 1; i < 3; ++i) {
      s.roster[static_cast<size_t>(i)] = LevelSlot();
      s.roster[static_cast<size_t>(i)].remote = true;
      s.roster[static_cast<size_t>(i)].netSlot = 3;
    }
    SetupLevel(true);
  }

  static GameMessage Message(int32_t code, int32_t a2 = 0, int32_t a3 = 0, int32_t a4 = 0) {
    GameMessage m;
    m.type = 2;
    m.code = code;
    m.a2 = a2;
    m.a3 = a3;
    m.a4 = a4;
    return m;
  }

  RecordingNet net;
  bool limbo = false;
  ChartBot bot;
};

TEST_F(LevelNetTest, TheStartSignalIsTakenOnlyWhileWaitingInStateFour) {
  BuildLevel();
  for (int32_t state : {1, 2, 3}) {
    SCOPED_TRACE(state);
    shell::GameState.store(state);
    OnNetMessage(Message(22));
    EXPECT_EQ(shell::GameState.load(), state);
  }
  shell::GameState.store(4);
  Level().onlineReady = true;
  Session().ingame.paused = true;
  OnNetMessage(Message(22));
  EXPECT_EQ(shell::GameState.load(), 2);
  EXPECT_FALSE(Level().onlineReady);
  EXPECT_FALSE(Session().ingame.paused);
}

TEST_F(LevelNetTest, ReloadAndAbortActOnALevelOnlyAndWaitForOneStillLoading) {
  // Playing: a reload rebuilds the level and waits for the start again.
  BuildLevel();
  Level().players[0].score().hits = 4;
  Level().onlineFrames = 77;
  shell::GameState.store(2);
  OnNetMessage(Message(24));
  EXPECT_EQ(shell::GameState.load(), 4);
  EXPECT_EQ(Level().onlineFrames, 0);
  EXPECT_EQ(Level().players[0].score().hits, 0);
  ASSERT_NE(songs[0].chart, nullptr);  // a reload keeps the chart

  // In limbo the client takes no part in the running song.
  limbo = true;
  shell::GameState.store(2);
  OnNetMessage(Message(24));
  OnNetMessage(Message(23));
  EXPECT_EQ(shell::GameState.load(), 2);
  limbo = false;

  // In the menus there is no level to reload or abort.
  shell::GameState.store(1);
  ResetLevelState();
  OnNetMessage(Message(24));
  OnNetMessage(Message(23));
  EXPECT_EQ(Level().clock, nullptr);
  EXPECT_TRUE(menus.menusShown.empty());
  const auto log = dir.GameLogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "Recieve: Game Message 24 Ignored In Game State 1"), log.end());

  // While the Task thread loads, the order waits until the load is done.
  shell::GameState.store(3);
  OnNetMessage(Message(23));
  EXPECT_EQ(shell::GameState.load(), 3);
  BuildLevel();  // the load job
  shell::TaskStep.store(2);
  UpdateSongLoad();
  EXPECT_EQ(shell::GameState.load(), 1);  // aborted once loaded
  EXPECT_EQ(menus.menusShown, std::vector<int32_t>{10});
  EXPECT_TRUE(net.Codes().empty());  // an abort from the host is not sent back
}

TEST_F(LevelNetTest, CrowdSoundFollowsTheCowbellSettingAndTheGameState) {
  struct Case {
    int32_t cowbell, state;
    bool plays;
  };
  for (const Case& c : {Case{0, 1, false}, Case{1, 1, true}, Case{1, 2, false}, Case{2, 1, true}, Case{2, 2, true},
                        Case{2, 4, false}}) {
    SCOPED_TRACE(testing::Message() << "COWBELL " << c.cowbell << " state " << c.state);
    menus.calls.clear();
    g_Settings.COWBELL = c.cowbell;
    shell::GameState.store(c.state);
    OnNetMessage(Message(37));
    EXPECT_EQ(std::count(menus.calls.begin(), menus.calls.end(), "Crowd"), c.plays ? 1 : 0);
  }
}

TEST_F(LevelNetTest, PlayerSelectMessagesAreCheckedAgainstTheSlotTables) {
  shell::GameState.store(1);
  OnNetMessage(Message(17, 9, 0));   // slot 0 has a controller
  OnNetMessage(Message(17, 9, 1));   // slot 1 has none
  OnNetMessage(Message(17, 9, 15));  // no slot 15
  OnNetMessage(Message(17, 9, -1));
  menus.slotCount = 2;
  OnNetMessage(Message(27, 49));
  OnNetMessage(Message(27, 50));  // no remote device 50
  OnNetMessage(Message(27, -1));
  menus.slotCount = 15;  // every slot in use
  OnNetMessage(Message(27, 3));
  EXPECT_EQ(menus.calls, (std::vector<std::string>{"Grant:0:9", "AddRemote:49"}));

  // The profile of code 33, unpacked in the order the slot packs it.
  menus.calls.clear();
  GameMessage m = Message(33, 7, static_cast<int32_t>(0x04030201u), static_cast<int32_t>(0x0D070605u));
  m.a5 = 42;
  m.str1 = "Zed";
  OnNetMessage(m);
  EXPECT_EQ(menus.calls, (std::vector<std::string>{"RemotePlayer:7:42:011:1:2:3:4:5:6:7:1:Zed"}));

  // The leader's game type.
  OnNetMessage(Message(36, 0, 3));
  EXPECT_EQ(Session().gameType, 3);
  EXPECT_EQ(sfx.Count(107), 1);
}

TEST_F(LevelNetTest, InLimboTheLobbyStaysCurrentButTheFlowIsNotFollowed) {
  limbo = true;
  shell::GameState.store(1);
  GameMessage chat = Message(25);
  chat.str1 = "hello";
  OnNetMessage(chat);
  OnNetMessage(Message(26, 0, 5));
  OnNetMessage(Message(31));
  OnNetMessage(Message(20));
  EXPECT_EQ(menus.calls, (std::vector<std::string>{"Chat:hello", "BuildRoster"}));
  EXPECT_EQ(Session().leaderId, 5);
  EXPECT_TRUE(menus.menusShown.empty());
  limbo = false;
  OnNetMessage(Message(31));
  OnNetMessage(Message(32));
  EXPECT_EQ(menus.menusShown, (std::vector<int32_t>{2, 10}));
}

TEST_F(LevelNetTest, SongHashListIsBuiltSentAndBounded) {
  GameMessage add = Message(42);
  for (const char* hash : {"aaa", "bbb"}) {
    add.str1 = hash;
    OnNetMessage(add);
  }
  OnNetMessage(Message(44));
  ASSERT_EQ(net.Codes(), (std::vector<int32_t>{34, 35, 35, 36}));
  EXPECT_EQ(net.sent[1].str1, "aaa");
  EXPECT_EQ(net.sent[2].str1, "bbb");
  EXPECT_EQ(net.sent[0].type, 1);
  net.connected = false;
  net.sent.clear();
  EXPECT_TRUE(SendSongList());
  EXPECT_TRUE(net.sent.empty());

  OnNetMessage(Message(41));
  EXPECT_EQ(Session().songHashes.count, 0);
  for (int32_t i = 0; i < kMaxNetSongHashes + 10; ++i) OnNetMessage(add);
  EXPECT_EQ(Session().songHashes.count, kMaxNetSongHashes);
}

TEST_F(LevelNetTest, InPlayEventsReachEveryRemotePlayerOfTheSlotAndNoLocalOne) {
  BuildLevel();
  shell::GameState.store(2);
  OnNetMessage(Message(35, 3, 1));  // whammy on for slot 3
  EXPECT_FALSE(Level().players[0].track.whammyActive);
  EXPECT_TRUE(Level().players[1].track.whammyActive);
  EXPECT_TRUE(Level().players[2].track.whammyActive);
  OnNetMessage(Message(35, 3, 2));  // any other value is off
  EXPECT_FALSE(Level().players[1].track.whammyActive);
  // Score state: the slot is byte 0 of a2 only.
  GameMessage score = Message(34, 3 | (1 << 8) | (2 << 16), 0, 5);
  score.a6 = std::bit_cast<int32_t>(250.0f);
  score.a7 = std::bit_cast<int32_t>(60.0f);
  OnNetMessage(score);
  EXPECT_FLOAT_EQ(Level().players[1].score().score, 250.0f);
  EXPECT_FLOAT_EQ(Level().players[2].score().score, 250.0f);
  EXPECT_FLOAT_EQ(Level().players[0].score().score, 0.0f);
  // The same messages outside play change nothing.
  shell::GameState.store(4);
  score.a6 = std::bit_cast<int32_t>(999.0f);
  OnNetMessage(score);
  EXPECT_FLOAT_EQ(Level().players[1].score().score, 250.0f);
}

TEST_F(LevelNetTest, OnlineRestartAsksTheHostAndTheReadyMessageGoesOnceOnFrame120) {
  BuildLevel();
  shell::GameState.store(2);
  RestartLevelOnline(true);
  EXPECT_EQ(net.Codes(), std::vector<int32_t>{25});
  EXPECT_EQ(shell::GameState.load(), 4);
  net.sent.clear();
  // The local player's own in-play messages (type 2) go out too: only those to the
  // server count here.
  auto toServer = [this] {
    std::vector<int32_t> codes;
    for (const GameMessage& m : net.sent) {
      if (m.type == 1) codes.push_back(m.code);
    }
    return codes;
  };
  for (int frame = 1; frame <= 300; ++frame) {
    UpdateOnlineStart();
    if (frame == 119) {
      EXPECT_TRUE(toServer().empty());
    }
  }
  EXPECT_EQ(toServer(), std::vector<int32_t>{24});
  // Offline the reload asks nobody.
  net.connected = false;
  net.sent.clear();
  RestartLevelOnline(true);
  EXPECT_TRUE(net.sent.empty());
}

}  // namespace
