// The network client step of every frame: the leader's song-position message
// (type 1, code 39) and the return to the lobby when the connection ends.
#include <gtest/gtest.h>

#include <bit>

#include "core/settings.h"
#include "core/shell/shell.h"
#include "tests/shell/harness.h"

using namespace shelltest;

namespace {

class NetworkStepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_Settings.SetDefaults();
    shell::AttachForTesting(nullptr, MakeServices(world_));
    shell::SetSingletonsForTesting({true, true, true, true, true, true, true, true});
    world_.connected = true;
    world_.ownId = 3;
    world_.leaderId = 3;
    shell::GameState = 2;
  }
  void TearDown() override { shell::AttachForTesting(nullptr, shell::Services()); }
  testsupport::TempDir dir_;
  FakeWorld world_;
};

}  // namespace

TEST_F(NetworkStepTest, OnlyTheConnectedLeaderSendsWhilePlaying) {
  struct Case {
    bool connected;
    int state;
    int ownId;
    bool sends;
  };
  const Case cases[] = {{true, 2, 3, true}, {false, 2, 3, false}, {true, 1, 3, false},
                        {true, 4, 3, false}, {true, 2, 4, false}};
  for (const Case& c : cases) {
    world_.sent.clear();
    shell::LastSyncSongTime = 0.0;
    world_.connected = c.connected;
    world_.ownId = c.ownId;
    shell::GameState = c.state;
    world_.songTime = 1000.0;
    shell::UpdateNetworkClient();
    EXPECT_EQ(world_.sent.size(), c.sends ? 1u : 0u) << c.connected << c.state << c.ownId;
  }
}

TEST_F(NetworkStepTest, OncePerSecondOfSongTimeWithRatingAndRemainingSecondsAsFloatBits) {
  world_.rating = 0.5f;
  world_.stemSeconds = 200.0;
  shell::LastSyncSongTime = 0.0;
  const double times[] = {0.0, 999.0, 1000.0, 1500.0, 1999.0, 2000.0, 2000.0, 2000.0, 50000.0};
  std::vector<double> sentAt;
  for (double t : times) {
    world_.songTime = t;
    const size_t before = world_.sent.size();
    shell::UpdateNetworkClient();
    if (world_.sent.size() > before) sentAt.push_back(t);
  }
  // A standing clock sends nothing more.
  EXPECT_EQ(sentAt, (std::vector<double>{1000.0, 2000.0, 50000.0}));
  ASSERT_EQ(world_.sent.size(), 3u);
  const shell::OutgoingMessage& m = world_.sent.back();
  EXPECT_EQ(m.type, 1);
  EXPECT_EQ(m.code, 39);
  EXPECT_EQ(static_cast<uint32_t>(m.args[4]), 0x3F000000u);  // a6: 0.5f
  EXPECT_EQ(std::bit_cast<float>(m.args[5]), 150.0f);       // a7: 200 s - 50 s
  EXPECT_EQ(m.args[0], 0);
  EXPECT_DOUBLE_EQ(shell::LastSyncSongTime.load(), 50000.0);
  // Without a rating meter the value is 0.
  world_.rating = 0.0f;
  world_.songTime = 52000.0;
  shell::UpdateNetworkClient();
  EXPECT_EQ(world_.sent.back().args[4], 0);
}

TEST_F(NetworkStepTest, BackToLobbyInTheMenusInPlayAndWaitingElsewhere) {
  world_.connected = false;
  // In the menus: the network screen, slots reset, flag cleared.
  shell::GameState = 1;
  world_.backToLobby = true;
  shell::UpdateNetworkClient();
  EXPECT_EQ(world_.currentMenu, 6);
  EXPECT_TRUE(world_.rec.Has("resetPlayerSlots"));
  EXPECT_FALSE(world_.backToLobby);
  // While playing or starting online: the song ends, back to the menus.
  for (int state : {2, 4}) {
    world_.rec.Clear();
    world_.currentMenu = 0;
    shell::GameState = state;
    world_.backToLobby = true;
    shell::UpdateNetworkClient();
    EXPECT_TRUE(world_.rec.Has("quitToMenus(0)"));
    EXPECT_EQ(shell::GameState.load(), 1);
    EXPECT_EQ(world_.currentMenu, 6);
    EXPECT_FALSE(world_.backToLobby);
  }
  // While a song loads the request waits for a state that can serve it.
  world_.rec.Clear();
  shell::GameState = 3;
  world_.backToLobby = true;
  shell::UpdateNetworkClient();
  EXPECT_TRUE(world_.backToLobby);
  EXPECT_EQ(shell::GameState.load(), 3);
  EXPECT_FALSE(world_.rec.Has("quitToMenus(0)"));
}

TEST_F(NetworkStepTest, WithoutNetworkingTheStepIsSkippedAndReportedOnce) {
  shell::Services none;
  shell::AttachForTesting(nullptr, none);
  shell::UpdateNetworkClient();
  shell::UpdateNetworkClient();
  int count = 0;
  for (const std::string& l : dir_.GameLogTexts())
    if (l == "Networking: GameClient::Receive not available") ++count;
  EXPECT_EQ(count, 1);
}
