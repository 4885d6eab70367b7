// The version check: what a reply of the service means, which pages may be opened,
// and the check run against a stand-in service.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "net/online/version_info.h"
#include "tests/online/web_double.h"
#include "tests/support/test_support.h"

namespace {

using net::online::ParseVersionReply;

const char* kFull =
    "<version>1.28</version><info_1>Faster menus</info_1><info_2>New songs</info_2>"
    "<info_3>Fixes</info_3><url>https://example.invalid/download</url>";

TEST(VersionReply, FieldsTagsAndTheVersionAsTheServiceWroteThem) {
  testsupport::TempDir dir;
  const auto r = ParseVersionReply(kFull);
  EXPECT_FLOAT_EQ(r.version, 1.28f);
  EXPECT_EQ(r.info1, "Faster menus");
  EXPECT_EQ(r.info2, "New songs");
  EXPECT_EQ(r.info3, "Fixes");
  EXPECT_EQ(r.url, "https://example.invalid/download");
  EXPECT_TRUE(dir.GameLogTexts().empty());
}

TEST(VersionReply, MissingBrokenAndHostileReplies) {
  struct Case {
    std::string reply;
    float version;
    std::vector<std::string> logged;
  };
  const std::string padding(995, 'x');
  const Case cases[] = {
      {"", 0, {"Could Not Find Latest Version Tag", "Could Not Find Info_1 Tag", "Could Not Find Info_2 Tag",
               "Could Not Find Info_3 Tag", "Could Not Find URL Tag"}},
      // Without its closing tag the number is read from the rest, up to what is no number.
      {"<version>1.30 and more<info_1>a</info_1><info_2>b</info_2><info_3>c</info_3><url>u</url>", 1.30f, {}},
      // A closing tag before the opening one is not the end of the field.
      {"</version>1.28<version>1.1</version><info_1>a</info_1><info_2>b</info_2><info_3>c</info_3><url>u</url>",
       1.1f, {}},
      // Only the first 1000 bytes are read.
      {padding + "<version>2.0</version>", 0,
       {"Could Not Find Latest Version Tag", "Could Not Find Info_1 Tag", "Could Not Find Info_2 Tag",
        "Could Not Find Info_3 Tag", "Could Not Find URL Tag"}},
      {"<version>nan</version><info_1></info_1><info_2></info_2><info_3></info_3><url></url>", 0, {}},
      {"<version>inf</version><info_1></info_1><info_2></info_2><info_3></info_3><url></url>", 0, {}},
  };
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    EXPECT_FLOAT_EQ(ParseVersionReply(c.reply).version, c.version) << c.reply;
    EXPECT_EQ(dir.GameLogTexts(), c.logged) << c.reply;
  }
}

TEST(VersionReply, OnlyWebAddressesMayBeOpened) {
  struct Case {
    const char* url;
    bool safe;
  };
  const Case cases[] = {
      {"https://example.invalid/download", true},
      {"http://example.invalid/a?b=c&d=e", true},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
      {"/usr/bin/xterm", false},
      {"https://example.invalid/a b", false},
      {"https://example.invalid/\"quoted\"", false},
      {"https://example.invalid/\x01", false},
      {"HTTPS://example.invalid/", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(net::online::IsSafeDownloadUrl(c.url), c.safe) << c.url;
  EXPECT_FALSE(net::online::IsSafeDownloadUrl("https://example.invalid/" + std::string(1100, 'a')));
}

void WaitDone(const net::online::VersionInfo& info) {
  for (int i = 0; i < 30000 && !info.done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(VersionCheck, ANewerVersionIsReportedAnEqualOneIsNot) {
  testsupport::TempDir dir;
  std::string answer;
  onlinetest::WebDouble service([&](const onlinetest::SeenRequest&) { return onlinetest::Answer(200, answer); });
  onlinetest::ScopedServiceHost host(service.host());
  net::online::VersionInfo info;
  const std::pair<std::string, bool> replies[] = {
      {kFull, true},
      {"<version>1.27</version><info_1>a</info_1><info_2>b</info_2><info_3>c</info_3><url>u</url>", false},
      {"<version>1.2</version><info_1>a</info_1><info_2>b</info_2><info_3>c</info_3><url>u</url>", false},
  };
  for (const auto& [reply, newer] : replies) {
    answer = reply;
    ASSERT_TRUE(info.StartCheck());
    WaitDone(info);
    ASSERT_TRUE(info.done());
    EXPECT_FALSE(info.running());
    EXPECT_EQ(info.NewerAvailable(), newer) << reply;
  }
  const auto seen = service.requests();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].method, "GET");
  EXPECT_EQ(seen[0].target, "/online/version.php?cver=1.27");
  EXPECT_TRUE(seen[0].HasHeader("Cache-Control: no-cache"));
}

TEST(VersionCheck, AStalledServiceNeverHoldsTheGameAtExit) {
  testsupport::TempDir dir;
  onlinetest::WebDouble service([](const onlinetest::SeenRequest&) {
    onlinetest::CannedReply r;
    r.hang = true;
    return r;
  });
  onlinetest::ScopedServiceHost host(service.host());
  {
    net::online::VersionInfo info;
    info.StartCheck();
    while (service.requests().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(info.running());
    // Stopped as the game shuts down: the request's own time-out (10 s) is not waited for.
    const auto start = std::chrono::steady_clock::now();
    info.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(info.running());
    EXPECT_FALSE(info.NewerAvailable());
    info.Stop();  // a second stop finds nothing to stop
  }
  {
    net::online::VersionInfo info;
    info.StartCheck();
    EXPECT_TRUE(info.running());
  }  // destroyed with the request under way (the service still holds the first one)
}

TEST(VersionCheck, AnUnreachableServiceShowsNothing) {
  testsupport::TempDir dir;
  onlinetest::ScopedServiceHost host("unreachable.invalid");
  net::online::VersionInfo info;
  info.StartCheck();
  WaitDone(info);
  ASSERT_TRUE(info.done());
  EXPECT_FALSE(info.NewerAvailable());
  EXPECT_FLOAT_EQ(info.result().version, 0.0f);
  EXPECT_TRUE(dir.GameLogTexts().empty());  // no reply: no complaint about its tags
}

}  // namespace
