// The public server list: registration as the service receives it, the downloaded
// list as the screen gets it, and requests that fail or would never end.
#include <gtest/gtest.h>

#include <map>

#include "net/online/server_list.h"
#include "tests/online/web_double.h"
#include "tests/support/test_support.h"

namespace {

using net::online::ServerInfo;
using net::online::ServerList;

// The form fields of a body, decoded, in order.
std::vector<std::pair<std::string, std::string>> FormFields(const std::string& body) {
  auto decode = [](const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '+') out += ' ';
      else if (s[i] == '%' && i + 2 < s.size()) {
        out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else out += s[i];
    }
    return out;
  };
  std::vector<std::pair<std::string, std::string>> fields;
  size_t start = 0;
  while (start <= body.size()) {
    size_t amp = body.find('&', start);
    if (amp == std::string::npos) amp = body.size();
    const std::string pair = body.substr(start, amp - start);
    const size_t eq = pair.find('=');
    fields.emplace_back(decode(pair.substr(0, eq)), decode(pair.substr(eq + 1)));
    start = amp + 1;
  }
  return fields;
}

TEST(ServerListRegistration, TheServiceReceivesEveryFieldInOrderAndIntact) {
  testsupport::TempDir dir;
  onlinetest::WebDouble service([](const onlinetest::SeenRequest&) { return onlinetest::Answer(200, "[added]"); });
  onlinetest::ScopedServiceHost host(service.host());
  net::online::ServerRegistration r;
  r.port = 27961;
  r.playerCount = 3;
  r.state = 1;
  r.version = 1.27f;
  r.passwordProtected = true;
  r.playerLimit = 8;
  r.location = 12;
  r.name = "Night, Owls";
  r.description = "a=b & c\r\n1,Fake,127.0.0.1,1,1,1.27,0,x,8,y,0,z";
  r.currentSong = "Artist - Song";
  r.players = "alice.bob";
  ServerList list;
  list.Register(r);
  const auto seen = service.requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[0].target, "/online/vl_server.php?page=2");
  for (const char* h : {"Accept: */*", "Connection: close", "Content-Type: application/x-www-form-urlencoded",
                        "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)"})
    EXPECT_TRUE(seen[0].HasHeader(h)) << h;
  const std::vector<std::pair<std::string, std::string>> want = {
      {"name", "Night  Owls"},  // a comma would shift the list's fields
      {"port", "27961"},
      {"state", "1"},
      {"playercount", "3"},
      {"version", "1.27"},
      {"pwprotected", "1"},
      // '&' and '=' arrive intact; line breaks and commas could forge list lines.
      {"description", "a=b & c  1 Fake 127.0.0.1 1 1 1.27 0 x 8 y 0 z"},
      {"playerlimit", "8"},
      {"currentsong", "Artist - Song"},
      {"location", "12"},
      {"players", "alice.bob"},
  };
  EXPECT_EQ(FormFields(seen[0].body), want);
  EXPECT_TRUE(dir.GameLogTexts().empty());
}

TEST(ServerListRegistration, AFailedOrStalledServiceIsLoggedAndReturns) {
  testsupport::TempDir dir;
  {
    onlinetest::ScopedServiceHost host("unreachable.invalid");
    ServerList().Register({});
  }
  onlinetest::WebDouble stalled([](const onlinetest::SeenRequest&) {
    onlinetest::CannedReply r;
    r.hang = true;
    return r;
  });
  onlinetest::ScopedServiceHost host(stalled.host());
  ServerList list;
  list.connection.options.totalTimeoutMs = 300;
  list.Register({});
  EXPECT_EQ(dir.GameLogTexts(), (std::vector<std::string>{"Could NOT Resolve Hostname",
                                                          "Could NOT Handshake Server Post",
                                                          "Could NOT Connect To Socket",
                                                          "Could NOT Handshake Server Post"}));
}

const char* kLine = "0,Test Server,127.0.0.1,27960,3,1.27,0,desc,8,Artist - Song,63,alice.bob";

TEST(ServerListDownload, ServersAfterTheMarkerWithEveryFieldInItsSlot) {
  testsupport::TempDir dir;
  const std::string reply = std::string("1,Early,127.0.0.9,27960,0,1.27,0,x,8,y,0,z\r\n") + "junk [start] junk\r\n" +
                            kLine + "\r\n" + "short\n" + "1,Second,10.0.0.2,1234,9,1.3,1 ,more,15,Song,2,p,extra\n" +
                            "0,Few,127.0.0.3,5000\n" + "0,Last,127.0.0.4,6000,1,1.27,1,d,4,s,1,q";
  onlinetest::WebDouble service([&](const onlinetest::SeenRequest&) { return onlinetest::Answer(200, reply); });
  onlinetest::ScopedServiceHost host(service.host());
  ServerList list;
  std::unique_ptr<ServerInfo> head;
  ASSERT_EQ(list.Download(&head), 3);
  EXPECT_EQ(service.requests().at(0).target, "/online/vl_server.php?page=1&c_version=1.27");
  EXPECT_EQ(service.requests().at(0).method, "GET");
  const ServerInfo& a = *head;
  EXPECT_EQ(a.state, 0);
  EXPECT_EQ(a.name, "Test Server");
  EXPECT_EQ(a.ip, "127.0.0.1");
  EXPECT_EQ(a.port, 27960);
  EXPECT_EQ(a.playerCount, 3);
  EXPECT_FLOAT_EQ(a.version, 1.27f);
  EXPECT_FALSE(a.passwordProtected);
  EXPECT_EQ(a.description, "desc");
  EXPECT_EQ(a.playerLimit, 8);
  EXPECT_EQ(a.currentSong, "Artist - Song");
  EXPECT_EQ(a.location, 63);
  EXPECT_EQ(a.players, "alice.bob");
  EXPECT_EQ(a.pingMs, -1);
  const ServerInfo& b = *a.next;
  EXPECT_EQ(b.name, "Second");
  EXPECT_FALSE(b.passwordProtected);  // "1 " is not "1"
  EXPECT_EQ(b.players, "p");          // the thirteenth field is ignored
  const ServerInfo& c = *b.next;  // fewer fields: the rest keep their defaults
  EXPECT_EQ(c.name, "Few");
  EXPECT_EQ(c.currentSong, "Unknown Song");
  EXPECT_EQ(c.playerLimit, 10);
  EXPECT_EQ(c.next, nullptr);  // the last line had no line feed
}

TEST(ServerListDownload, HostileListsAreBoundedAndCleaned) {
  std::string reply = "[start]\n";
  reply += "0," + std::string(100000, 'N') + ",127.0.0.1,27960\n";          // a line past the cap
  reply += "0,Bell\x07Name,127.0.0.1,27960,1,1.27,0,de\x1bsc\n";           // control bytes
  reply += "0,Named,server.example.invalid,27960\n";                       // not a plain address
  reply += "0,Port,127.0.0.1,70000\n0,Zero,127.0.0.1,0\n0,Neg,127.0.0.1,-5\n";  // no such port
  reply += "0," + std::string(5000, 'L') + "\n";
  reply += "0,Long" + std::string(1000, 'x') + ",127.0.0.1,27960\n";
  for (int i = 0; i < 10000; ++i) reply += "0,S" + std::to_string(i) + ",127.0.0.1,27960\n";
  std::unique_ptr<ServerInfo> head;
  EXPECT_EQ(ServerList::ParseList(reply, &head), net::online::kMaxListedServers);
  EXPECT_EQ(head->name, "BellName");
  EXPECT_EQ(head->description, "desc");
  EXPECT_EQ(head->next->name.size(), 256u);
  EXPECT_EQ(head->next->next->name, "S0");
  // Without the marker nothing is a server.
  EXPECT_EQ(ServerList::ParseList(std::string(kLine) + "\n", &head), 0);
  EXPECT_EQ(head, nullptr);
}

TEST(ServerListDownload, AServiceThatCannotBeAskedGivesNoServers) {
  testsupport::TempDir dir;
  onlinetest::ScopedServiceHost host("unreachable.invalid");
  ServerList list;
  std::unique_ptr<ServerInfo> head = std::make_unique<ServerInfo>();
  EXPECT_EQ(list.Download(&head), 0);
  EXPECT_EQ(head, nullptr);
  EXPECT_EQ(dir.GameLogTexts(),
            (std::vector<std::string>{"Could NOT Resolve Hostname", "Could NOT Handshake Serverlist"}));
}

TEST(PublicAddress, OnlyADottedAddressIsTaken) {
  struct Case {
    std::string reply;
    int status;
    std::string want;
  };
  const Case cases[] = {
      {"203.0.113.7", 200, "203.0.113.7"},
      {"203.0.113.7\n", 200, ""},
      {"203.0.113.7777777777", 200, ""},  // cut at 15 characters
      {"not-an-ip", 200, ""},
      {"", 200, ""},
      {"203.0.113.7", 404, ""},
  };
  for (const Case& c : cases) {
    onlinetest::WebDouble service(
        [&](const onlinetest::SeenRequest&) { return onlinetest::Answer(c.status, c.reply); });
    onlinetest::ScopedServiceHost host(service.host());
    EXPECT_EQ(net::online::GetPublicIP(), c.want) << c.reply;
    EXPECT_EQ(service.requests().at(0).target, "/online/ip.php");
  }
}

}  // namespace
