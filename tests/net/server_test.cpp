// The game server in this process over loopback sockets, driven by scripted raw
// clients: the handshake and its refusals, roles and relay rules, player numbers,
// the lock and start signal, and connections that misbehave.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "net/server/game_server.h"
#include "tests/net/net_test_support.h"
#include "tests/support/test_support.h"

namespace {

using net::NetMessage;
using nettest::Bytes;
using nettest::OfCode;
using nettest::RawPeer;

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.SetPlayerLimit(15);
    port = nettest::FreePort();
    ASSERT_TRUE(server.StartServer(port, "pw"));
  }

  std::unique_ptr<RawPeer> Peer() {
    auto p = std::make_unique<RawPeer>([this] { server.Tick(); });
    EXPECT_TRUE(p->Connect(port));
    return p;
  }

  std::unique_ptr<RawPeer> Joined(const std::string& name) {
    auto p = Peer();
    EXPECT_GE(p->Join(name, "pw"), 0);
    return p;
  }

  // Ticks until the condition holds (generous bound).
  template <typename F>
  bool TickUntil(F done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      server.Tick();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
  }

  std::vector<std::string> ServerLog() const { return dir.ServerLogTexts(); }

  bool Logged(const std::string& line) const {
    const auto log = ServerLog();
    return std::find(log.begin(), log.end(), line) != log.end();
  }

  // Three authenticated clients; a and b in the locked game, c waiting in limbo.
  void LockedGameOfThree(std::unique_ptr<RawPeer>& a, std::unique_ptr<RawPeer>& b, std::unique_ptr<RawPeer>& c) {
    a = Joined("A");
    b = Joined("B");
    c = Joined("C");
    a->Send(nettest::ControlA3Bytes(28, 2));
    b->Send(nettest::ControlA3Bytes(28, 2));
    c->Send(nettest::ControlA3Bytes(28, 1));
    ASSERT_TRUE(TickUntil([&] { return server.Slot(2).rosterState == 1; }));
    a->Send(nettest::ControlBytes(29));
    ASSERT_TRUE(c->WaitFor(1, 37));
    ASSERT_TRUE(b->WaitFor(1, 38));
    ASSERT_TRUE(server.Locked());
  }

  testsupport::TempDir dir;
  net::GameServer server;
  uint16_t port = 0;
};

TEST_F(ServerTest, HandshakeLeadsToTheLobbyInOrder) {
  auto a = Peer();
  ASSERT_EQ(a->Join("Ann", "pw"), 0);
  a->Drain(50);
  std::vector<std::pair<uint32_t, uint32_t>> order;
  for (const NetMessage& m : a->seen) order.emplace_back(m.type, m.code);
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {{1, 10}, {1, 12}, {1, 5},  {2, 26},
                                                               {2, 29}, {2, 30}, {2, 39}, {1, 38}};
  EXPECT_EQ(order, expected);
  const auto entry = OfCode(a->seen, 2, 30);
  ASSERT_EQ(entry.size(), 1u);
  EXPECT_EQ(entry[0].str1, "Ann");
  EXPECT_EQ(OfCode(a->seen, 2, 26)[0].a3, 0);
  EXPECT_EQ(server.Leader(), 0);
  for (const char* line : {"Server Running!", "New Client Check:Client: 0 connected!", "New Client Check:Requesting Version",
                           "Recieve:Client: 0 ComputerName:Ann", "Recieve:Requesting Password", "Recieve:User Authenticated"}) {
    EXPECT_TRUE(Logged(line)) << line;
  }
  // The password is never written to the log.
  for (const std::string& line : ServerLog()) EXPECT_EQ(line.find("pw"), std::string::npos) << line;
}

TEST_F(ServerTest, RefusalsDropTheConnection) {
  struct Case {
    const char* what;
    std::string bytes;
    uint32_t answer;
  };
  const Case cases[] = {
      {"version twice", nettest::VersionBytes() + nettest::VersionBytes(), 101},
      {"another version", nettest::VersionBytes(1.2700001f), 101},
      {"password before version", nettest::PasswordBytes("pw"), 103},
      {"wrong password", nettest::VersionBytes() + nettest::PasswordBytes("nope"), 103},
      {"empty password", nettest::VersionBytes() + nettest::PasswordBytes(""), 103},
      {"password with a tail", nettest::VersionBytes() + nettest::PasswordBytes("pw "), 103},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto p = Peer();
    ASSERT_TRUE(p->WaitFor(1, 10));
    p->Send(c.bytes);
    EXPECT_TRUE(p->WaitFor(1, c.answer));
    EXPECT_TRUE(p->WaitFor(1, 2));  // the farewell
    EXPECT_TRUE(p->WaitClosed());
    EXPECT_TRUE(OfCode(p->seen, 1, 5).empty());
    EXPECT_TRUE(TickUntil([&] { return server.ConnectedCount() == 0; }));
  }
}

TEST_F(ServerTest, AnEmptyServerPasswordTakesOnlyAnEmptyText) {
  server.Stop();
  server.Reset();
  port = nettest::FreePort();
  ASSERT_TRUE(server.StartServer(port, ""));
  auto bad = Peer();
  ASSERT_TRUE(bad->WaitFor(1, 10));
  bad->Send(nettest::VersionBytes() + nettest::PasswordBytes(" "));
  EXPECT_TRUE(bad->WaitFor(1, 103));
  auto good = Peer();
  EXPECT_GE(good->Join("G", ""), 0);
}

TEST_F(ServerTest, ThePlayerLimitCountsConnections) {
  server.SetPlayerLimit(1);
  auto host = Joined("Host");
  auto late = Peer();
  EXPECT_TRUE(late->WaitFor(1, 105));
  EXPECT_TRUE(late->WaitClosed());
  EXPECT_TRUE(Logged("New Client Check:Server Full!"));
  // The host is untouched and the freed slot takes the next one once the host leaves.
  host->Send(nettest::ControlBytes(2));
  ASSERT_TRUE(TickUntil([&] { return server.ConnectedCount() == 0; }));
  EXPECT_GE(Joined("Next")->seen.size(), 1u);
}

TEST_F(ServerTest, RelayFollowsTheGameAndKeepsServerCodesToTheServer) {
  std::unique_ptr<RawPeer> a, b, c;
  LockedGameOfThree(a, b, c);
  a->Send(Bytes().Header(2, 10).Int(7).Int(1).str());           // note hit
  a->Send(Bytes().Header(2, 25).Str("hello").str());            // chat
  a->Send(Bytes().Header(2, 22).str());                          // a forged start
  a->Send(Bytes().Header(2, 24).str());                          // a forged restart
  a->Send(Bytes().Header(2, 30).Int(0).Int(3).Str("fake").str());  // a forged roster entry
  a->Send(Bytes().Header(1, 39).Int(1).Int(2).str());           // the leader's status
  NetMessage hit;
  ASSERT_TRUE(b->WaitFor(2, 10, &hit));
  EXPECT_EQ(hit.a2, 7);
  ASSERT_TRUE(b->WaitFor(2, 25));
  ASSERT_TRUE(c->WaitFor(2, 25));
  ASSERT_TRUE(a->WaitFor(1, 39));  // back to its sender too
  ASSERT_TRUE(b->WaitFor(1, 39));
  ASSERT_TRUE(c->WaitFor(1, 39));
  for (RawPeer* p : {b.get(), c.get()}) {
    p->Drain(30);
    EXPECT_TRUE(OfCode(p->seen, 2, 22).empty());
    EXPECT_TRUE(OfCode(p->seen, 2, 24).empty());
    for (const NetMessage& m : OfCode(p->seen, 2, 30)) EXPECT_NE(m.str1, "fake");
  }
  EXPECT_TRUE(OfCode(c->seen, 2, 10).empty());  // limbo sees no play
}

TEST_F(ServerTest, OnlyTheLeaderChoosesStartsAndSetsTheGameType) {
  auto a = Joined("A");
  auto b = Joined("B");
  b->Send(Bytes().Header(1, 27).Int(9).Str("Fake - Song").Str("0123").str());
  b->Send(nettest::ControlA3Bytes(32, 5));
  b->Send(nettest::ControlBytes(29));
  b->Send(Bytes().Header(1, 39).Int(1).Int(2).str());
  a->Send(Bytes().Header(1, 27).Int(4096).Str("Artist - Song").Str(std::string(40, 'f')).str());
  NetMessage song;
  ASSERT_TRUE(b->WaitFor(2, 28, &song));
  EXPECT_EQ(song.str1, "Artist - Song");
  EXPECT_EQ(song.str2, std::string(32, 'f'));  // a hash is 32 characters
  EXPECT_EQ(song.a3, 4096);
  a->Drain(30);
  EXPECT_EQ(OfCode(a->seen, 2, 28).size(), 1u);
  EXPECT_TRUE(OfCode(a->seen, 2, 36).empty());
  EXPECT_TRUE(OfCode(a->seen, 1, 39).empty());
  EXPECT_FALSE(server.Locked());
  EXPECT_TRUE(Logged("New Song: Artist - Song"));
}

TEST_F(ServerTest, PlayerNumbersBelongToTheirClient) {
  auto a = Joined("A");
  auto b = Joined("B");
  for (int i = 0; i < 16; ++i) a->Send(nettest::ControlA3Bytes(20, 100 + i));
  ASSERT_TRUE(TickUntil([&] { return server.PlayerCount() == 15; }));
  a->Drain(30);
  const auto mine = OfCode(a->seen, 2, 17);
  ASSERT_EQ(mine.size(), 15u);
  EXPECT_EQ(mine[0].a2, 0);
  EXPECT_EQ(mine[0].a3, 100);
  EXPECT_EQ(mine[14].a2, 14);
  ASSERT_TRUE(b->WaitFor(2, 27));
  // Another client cannot free a's players, nor numbers outside the table.
  b->Send(Bytes().Header(1, 22).Int(3).str());
  b->Send(Bytes().Header(1, 22).Int(-1).str());
  b->Send(Bytes().Header(1, 22).Int(50).str());
  b->Drain(30);
  EXPECT_TRUE(server.Player(3).inUse);
  EXPECT_TRUE(OfCode(b->seen, 2, 18).empty());
  a->Send(Bytes().Header(1, 22).Int(3).str());
  NetMessage left;
  ASSERT_TRUE(b->WaitFor(2, 16, &left));
  EXPECT_EQ(left.a2, 3);
  EXPECT_TRUE(a->WaitFor(2, 18));
  EXPECT_FALSE(server.Player(3).inUse);
  EXPECT_EQ(server.PlayerCount(), 14);
  // The client's players go with it.
  a->Close();
  ASSERT_TRUE(TickUntil([&] { return server.PlayerCount() == 0; }));
}

TEST_F(ServerTest, TheStartSignalWaitsForEveryPlayerInTheGame) {
  std::unique_ptr<RawPeer> a, b, c;
  LockedGameOfThree(a, b, c);
  c->Send(nettest::ControlBytes(24));  // limbo is not in the game
  a->Send(nettest::ControlBytes(24));
  a->Drain(50);
  EXPECT_TRUE(OfCode(a->seen, 2, 22).empty());
  b->Send(nettest::ControlBytes(24));
  for (RawPeer* p : {a.get(), b.get()}) EXPECT_TRUE(p->WaitFor(2, 22));
  EXPECT_TRUE(Logged("GameCheck:Game Start Signal Sent"));
  // Back to the menus: unlocked, players freed and the lead moves on.
  a->Send(nettest::ControlBytes(26));
  NetMessage leader;
  ASSERT_TRUE(c->WaitFor(2, 26, &leader));
  EXPECT_EQ(leader.a3, 1);
  EXPECT_TRUE(b->WaitFor(2, 23));
  EXPECT_FALSE(server.Locked());
}

TEST_F(ServerTest, DroppingTheLeaderPassesTheLeadOnAndTheLastDropResetsTheGame) {
  auto a = Joined("A");
  auto b = Joined("B");
  auto c = Joined("C");
  ASSERT_EQ(server.Leader(), 0);
  a->Close();
  NetMessage leader;
  ASSERT_TRUE(c->WaitFor(2, 40));
  ASSERT_TRUE(TickUntil([&] { return server.Leader() == 1; }));
  b->Close();
  ASSERT_TRUE(TickUntil([&] { return server.Leader() == 2; }));
  c->Close();
  ASSERT_TRUE(TickUntil([&] { return server.ConnectedCount() == 0; }));
  EXPECT_EQ(server.Leader(), -1);
  EXPECT_TRUE(server.Running());
  EXPECT_EQ(server.Port(), port);
  EXPECT_EQ(server.playerLimit, 15);
  EXPECT_GE(Joined("D")->seen.size(), 1u);  // the password is kept
}

TEST_F(ServerTest, AMessageSplitIntoSingleBytesArrivesWhole) {
  auto a = Joined("A");
  auto p = Peer();
  const std::string all = nettest::NameBytes("Slow") + nettest::VersionBytes() + nettest::PasswordBytes("pw") +
                          Bytes().Header(2, 25).Str("bit by bit").str();
  for (char c : all) {
    p->Send(std::string(1, c));
    for (int i = 0; i < 3; ++i) server.Tick();
  }
  NetMessage chat;
  ASSERT_TRUE(a->WaitFor(2, 25, &chat));
  EXPECT_EQ(chat.str1, "bit by bit");
  EXPECT_EQ(server.Slot(1).name, "Slow");
}

TEST_F(ServerTest, BrokenStreamsAreDroppedAndNeverHoldTheTick) {
  struct Case {
    const char* what;
    std::string bytes;
    bool closeAfter;
    const char* logLine;
  };
  const Case cases[] = {
      {"one byte then closed", std::string("\x01", 1), true, "Recieve:Client:1 disconnected!"},
      {"a string that can never fit", Bytes().Header(1, 16).U32(5000).Raw(std::string(1994, 'x')).str(), false,
       "Receive:Protocol error"},
      {"an unknown type", std::string("\x07\x01", 2), false, "Receive:Protocol error"},
  };
  auto a = Joined("A");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto p = Peer();
    ASSERT_TRUE(p->WaitFor(1, 10));
    p->Send(c.bytes);
    if (c.closeAfter) p->Close();
    ASSERT_TRUE(TickUntil([&] { return server.ConnectedCount() == 1; }));
    EXPECT_TRUE(Logged(c.logLine));
    // A fresh client still gets in.
    auto fresh = Joined("F");
    fresh->Send(nettest::ControlBytes(2));
    ASSERT_TRUE(TickUntil([&] { return server.ConnectedCount() == 1; }));
  }
  EXPECT_TRUE(a->Open());
}

TEST_F(ServerTest, AClientThatStopsReadingIsDroppedWhileOthersGoOn) {
  auto reader = Joined("R");
  RawPeer stuckPeer([this] { server.Tick(); });
  stuckPeer.receiveBuffer = 2048;  // a small window fills soon
  ASSERT_TRUE(stuckPeer.Connect(port));
  ASSERT_GE(stuckPeer.Join("S", "pw"), 0);  // never reads again
  // Three talkers, each within its own relay budget.
  std::vector<std::unique_ptr<RawPeer>> talkers;
  for (const char* n : {"T1", "T2", "T3"}) talkers.push_back(Joined(n));
  const std::string chat = Bytes().Header(2, 25).Str(std::string(250, 'c')).str();
  int sent = 0;
  // Chat until the stuck client's queue passes its limit; the honest reader keeps up
  // meanwhile. Each talker chats at most every 2 ms, well inside the flood limit
  // however fast this machine runs the loop.
  auto lastSend = std::chrono::steady_clock::now() - std::chrono::seconds(1);
  // The kernel buffers megabytes for the stuck socket before the queue limit is
  // reached; a sanitizer build on a busy machine relays that slowly.
  constexpr int kStuckClientWaitMs = 400000;
  const bool dropped = TickUntil([&] {
    const auto now = std::chrono::steady_clock::now();
    if (sent < 60000 && now - lastSend >= std::chrono::milliseconds(2)) {
      for (auto& t : talkers) t->Send(chat);
      sent += 3;
      lastSend = now;
    }
    reader->Drain(0);
    std::this_thread::sleep_for(std::chrono::microseconds(300));
    return !server.Slot(1).connected;
  }, kStuckClientWaitMs);
  EXPECT_TRUE(dropped);
  reader->Drain(100);
  EXPECT_GE(OfCode(reader->seen, 2, 25).size(), 300u);
  for (int32_t i : {0, 2, 3, 4}) EXPECT_TRUE(server.Slot(i).connected) << i;
}

TEST_F(ServerTest, AFloodingClientIsDropped) {
  auto a = Joined("A");
  auto f = Joined("F");
  std::string flood;
  for (int i = 0; i < 1000; ++i) flood += nettest::ControlA3Bytes(28, i % 3);
  bool dropped = false;
  for (int round = 0; round < 20 && !dropped; ++round) {
    f->Send(flood);
    dropped = TickUntil([&] { return !server.Slot(1).connected; }, 50);
    a->Drain(0);
  }
  EXPECT_TRUE(dropped);
  EXPECT_TRUE(Logged("Receive:Client:1 Flooding, disconnected!"));
  EXPECT_TRUE(server.Slot(0).connected);
}

TEST_F(ServerTest, ConnectionsThatNeverFinishTheHandshakeTimeOut) {
  server.SetHandshakeTimeout(200);
  auto idle = Peer();
  ASSERT_TRUE(idle->WaitFor(1, 10));
  EXPECT_TRUE(idle->WaitClosed());
  EXPECT_TRUE(Logged("New Client Check:Client: 0 Handshake Timed Out"));
}

TEST_F(ServerTest, SongListsAreCheckedCappedAndIntersected) {
  auto a = Joined("A");
  auto b = Joined("B");
  const std::string h1(32, 'a'), h2(32, 'b'), h3(32, 'c');
  auto list = [](std::initializer_list<std::string> hashes) {
    std::string s = nettest::ControlBytes(34);
    for (const std::string& h : hashes) s += Bytes().Header(1, 35).Str(h).str();
    return s;
  };
  a->Send(list({h1, h2, h3, "NOT-A-HASH"}));
  b->Send(list({h2, h3, std::string(32, 'Z')}) + nettest::ControlBytes(36));
  ASSERT_TRUE(a->WaitFor(2, 43));
  EXPECT_EQ(server.CommonSongList(), (std::vector<std::string>{h2, h3}));
  const auto hashes = OfCode(a->seen, 2, 42);
  ASSERT_EQ(hashes.size(), 2u);
  EXPECT_EQ(hashes[0].str1, h2);
}

TEST_F(ServerTest, RegistrationRunsOneAtATimeAndNeverForAPrivateServer) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> calls{0};
  net::ServerListing seen;
  server.name = "Box";
  server.description = "a&b=c";
  server.SetRegistrationHook(
      [&](const net::ServerListing& l) {
        if (calls++ == 0) seen = l;
        released.wait();
      },
      0);
  auto a = Joined("A");
  ASSERT_TRUE(TickUntil([&] { return calls.load() == 1; }));
  for (int i = 0; i < 50; ++i) server.Tick();
  EXPECT_EQ(calls.load(), 1);  // the first is still running
  EXPECT_TRUE(server.RegistrationRunning());
  release.set_value();
  ASSERT_TRUE(TickUntil([&] { return calls.load() >= 2; }));
  EXPECT_EQ(seen.name, "Box");
  EXPECT_EQ(seen.description, "a&b=c");
  EXPECT_TRUE(seen.passwordProtected);
  EXPECT_EQ(seen.port, port);
  EXPECT_EQ(seen.version, 1.27f);
  server.Stop();  // waits for the running registration

  // A private server never calls it.
  net::GameServer quiet;
  quiet.isPrivate = true;
  std::atomic<int> quietCalls{0};
  quiet.SetRegistrationHook([&](const net::ServerListing&) { ++quietCalls; }, 0);
  ASSERT_TRUE(quiet.StartServer(nettest::FreePort(), ""));
  for (int i = 0; i < 20; ++i) quiet.Tick();
  quiet.Stop();
  EXPECT_EQ(quietCalls.load(), 0);
}

TEST_F(ServerTest, StopSaysFarewellToEveryClient) {
  auto a = Joined("A");
  auto b = Joined("B");
  server.Stop();
  EXPECT_TRUE(a->WaitFor(1, 2));
  EXPECT_TRUE(b->WaitFor(1, 2));
  EXPECT_TRUE(a->WaitClosed());
  EXPECT_FALSE(server.Running());
}

TEST_F(ServerTest, PortsOutsideTheRangeAndBusyPortsFailToStart) {
  net::GameServer other;
  EXPECT_FALSE(other.StartServer(0, ""));
  EXPECT_FALSE(other.Running());
  // The port this test's server holds; address reuse does not let two listen.
  EXPECT_FALSE(other.StartServer(port, ""));
  EXPECT_TRUE(Logged("Unable to bind socket!"));
}

}  // namespace
