// The game client against a server in this process: the status lines of a join and
// of each refusal, game messages only after authentication, the server going away,
// and a server that sends what cannot be a message.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/client/game_client.h"
#include "net/server/game_server.h"
#include "tests/net/net_test_support.h"
#include "tests/support/test_support.h"

namespace {

using net::NetMessage;

std::vector<std::string> Lines(const net::TextLines& t) {
  return std::vector<std::string>(t.lines.begin(), t.lines.begin() + t.count);
}

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.SetPlayerLimit(15);
    port = nettest::FreePort();
    ASSERT_TRUE(server.StartServer(port, "secret"));
    client.SetName(&name);
    client.SetPassword("secret");
    client.SetMessageHandler([this](const NetMessage& m) { handled.push_back(m); });
  }

  template <typename F>
  bool Step(F done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      server.Tick();
      client.Receive();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
  }

  testsupport::TempDir dir;
  net::GameServer server;
  net::GameClient client;
  std::string name = "Ann";
  uint16_t port = 0;
  std::vector<NetMessage> handled;
};

TEST_F(ClientTest, AJoinShowsItsStepsInOrder) {
  ASSERT_TRUE(client.Connect(port, "localhost"));
  ASSERT_TRUE(Step([&] { return client.Authenticated() && client.Status().count >= 8; }));
  EXPECT_EQ(Lines(client.Status()),
            (std::vector<std::string>{"Connect:Connected To Server", "Connect:Computer Name Sent",
                                      "Receive:Version Request", "Receive:Version Sent", "Receive:Password Request",
                                      "Receive:Password Sent", "Receive:Authenticated", "Receive:In Limbo FALSE"}));
  EXPECT_EQ(client.OwnId(), 0);
  EXPECT_FALSE(client.InLimbo());
  EXPECT_EQ(server.Slot(0).name, "Ann");
  // The lobby's game messages reach the handler: leader, roster, joined notice.
  ASSERT_TRUE(Step([&] { return handled.size() >= 4; }));
  EXPECT_EQ(handled[0].code, 26u);
  EXPECT_EQ(handled[2].code, 30u);
  EXPECT_EQ(handled[2].str1, "Ann");
  const auto log = dir.GameLogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "Receive:Authenticated"), log.end());
}

TEST_F(ClientTest, RefusalsAndFailuresEndInTheLobbyWithTheirLine) {
  struct Case {
    const char* what;
    std::string host;
    std::string password;
    int limit;
    const char* line;
  };
  const Case cases[] = {
      {"wrong password", "127.0.0.1", "guess", 15, "Receive:Wrong Password"},
      {"server full", "127.0.0.1", "secret", 1, "Receive:The Server Is Full"},
      {"unknown host", "nohost.invalid", "secret", 15, "Connect:Failed to resolve hostname!"},
  };
  net::GameClient host;
  host.SetName(&name);
  host.SetPassword("secret");
  ASSERT_TRUE(host.Connect(port, "127.0.0.1"));
  ASSERT_TRUE(Step([&] {
    host.Receive();
    return host.Authenticated();
  }));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.SetPlayerLimit(c.limit);
    client.SetPassword(c.password);
    const bool connected = client.Connect(port, c.host);
    if (connected) {
      EXPECT_TRUE(Step([&] {
        host.Receive();
        return client.BackToLobby();
      }));
    }
    const auto lines = Lines(client.Status());
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end());
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Authenticated());
  }
  // Nothing is sent, nor reported, while not connected.
  const int32_t count = client.Status().count;
  NetMessage m;
  m.type = 2;
  m.code = 25;
  client.Send(m);
  EXPECT_EQ(client.Status().count, count);
}

TEST_F(ClientTest, AConnectionRefusedFailsWithinItsTime) {
  const uint16_t closed = nettest::FreePort();
  EXPECT_FALSE(client.Connect(closed, "127.0.0.1"));
  EXPECT_EQ(Lines(client.Status()).back(), "Connect:Failed to establish connection with server");
}

TEST_F(ClientTest, GameMessagesBeforeAuthenticationAreNotHandled) {
  // A raw server that sends a game message before the handshake, then 1/5.
  server.Stop();
  const int listener = [&] {
    platform::net::ListenError e;
    return platform::net::Listen(port, e);
  }();
  ASSERT_NE(listener, platform::net::kNoSocket);
  ASSERT_TRUE(client.Connect(port, "127.0.0.1"));
  int peer = platform::net::kNoSocket;
  for (int i = 0; i < 5000 && peer == platform::net::kNoSocket; ++i) {
    peer = platform::net::Accept(listener);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_NE(peer, platform::net::kNoSocket);
  const std::string bytes = nettest::Bytes().Header(2, 25).Str("early").str() +
                            nettest::Bytes().Header(1, 5).Int(3).str() +
                            nettest::Bytes().Header(2, 25).Str("late").str();
  platform::net::Send(peer, bytes.data(), bytes.size());
  ASSERT_TRUE(Step([&] { return !handled.empty(); }));
  ASSERT_EQ(handled.size(), 1u);
  EXPECT_EQ(handled[0].str1, "late");
  EXPECT_EQ(client.OwnId(), 3);

  // The server closing its side ends the connection and asks for the lobby.
  platform::net::Close(peer);
  ASSERT_TRUE(Step([&] { return client.BackToLobby(); }));
  EXPECT_EQ(Lines(client.Status()).back(), "Disconnect:Disconnected From Server!");
  platform::net::Close(listener);
}

TEST_F(ClientTest, AServerStreamThatCannotBeAMessageDisconnects) {
  server.Stop();
  platform::net::ListenError e;
  const int listener = platform::net::Listen(port, e);
  ASSERT_TRUE(client.Connect(port, "127.0.0.1"));
  int peer = platform::net::kNoSocket;
  for (int i = 0; i < 5000 && peer == platform::net::kNoSocket; ++i) {
    peer = platform::net::Accept(listener);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_NE(peer, platform::net::kNoSocket);
  // A chat line that says it is longer than any buffer.
  const std::string bytes = nettest::Bytes().Header(2, 25).U32(100000).Raw(std::string(2500, 'x')).str();
  platform::net::Send(peer, bytes.data(), bytes.size());
  ASSERT_TRUE(Step([&] { return client.BackToLobby(); }));
  const auto lines = Lines(client.Status());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Receive:Protocol error"), lines.end());
  platform::net::Close(peer);
  platform::net::Close(listener);
}

TEST(TextLinesTest, TheEleventhLinePushesOutTheFirst) {
  testsupport::TempDir dir;
  net::TextLines t;
  t.Reset();
  for (int i = 1; i <= 11; ++i) t.AddLine("line " + std::to_string(i));
  EXPECT_EQ(t.count, 10);
  EXPECT_EQ(t.lines[0], "line 2");
  EXPECT_EQ(t.lines[9], "line 11");
  const auto log = dir.GameLogTexts();
  EXPECT_EQ(log.size(), 11u);
}

}  // namespace
