#include "core/log.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "tests/support/test_support.h"

namespace {

class LogTest : public ::testing::Test {
 protected:
  LogTest() {
    fake.clock.local = {2026, 12, 8, 7, 21, 36, 2, 341};
  }
  testsupport::TempDir dir;
  platform::ScopedFakeClock fake;
};

std::string Le(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

}  // namespace

TEST_F(LogTest, LinesAreByteExact) {
  Log(1, u"");
  EXPECT_EQ(dir.ReadBytes("game_log.txt"), "\xFF\xFE");
  EXPECT_TRUE(Log(0, u"Config Loaded"));
  EXPECT_TRUE(LogEx(0, ""));
  EXPECT_EQ(dir.ReadBytes("game_log.txt"),
            "\xFF\xFE" + Le("Tue Dec 08 07:21:36 2026 - Config Loaded\r\n") + Le("Tue Dec 08 07:21:36 2026 - \r\n"));
}

TEST_F(LogTest, ModesPickFileAndAction) {
  LogEx(3, "ignored");
  EXPECT_EQ(dir.ReadBytes("server_log.txt"), "\xFF\xFE");
  EXPECT_TRUE(LogEx(2, "Server Started"));
  EXPECT_EQ(dir.ReadUtf16("server_log.txt"), "Tue Dec 08 07:21:36 2026 - Server Started\r\n");

  // The wide entry never reaches the server log; unknown modes write nothing.
  EXPECT_FALSE(Log(2, u"x"));
  EXPECT_FALSE(Log(3, u"x"));
  EXPECT_FALSE(LogEx(4, "x"));
  EXPECT_FALSE(LogEx(-1, "x"));
  EXPECT_EQ(dir.ReadUtf16("server_log.txt"), "Tue Dec 08 07:21:36 2026 - Server Started\r\n");
  EXPECT_TRUE(dir.ReadBytes("game_log.txt").empty());
}

TEST_F(LogTest, AppendToMissingFileHasNoByteOrderMark) {
  EXPECT_TRUE(LogNarrow("first"));
  EXPECT_EQ(dir.ReadBytes("game_log.txt"), Le("Tue Dec 08 07:21:36 2026 - first\r\n"));
}

TEST_F(LogTest, NarrowTextIsWidenedAsUtf8) {
  Log(1, u"");
  LogEx(0, "caf\xC3\xA9 \xE9");
  // Valid UTF-8 decodes; the stray byte 0xE9 is U+00E9.
  EXPECT_EQ(dir.ReadUtf16("game_log.txt"), "Tue Dec 08 07:21:36 2026 - caf\xC3\xA9 \xC3\xA9\r\n");
}

TEST_F(LogTest, DirectXErrorsOnlyForFailureCodes) {
  Log(1, u"");
  LogDirectXError(0);
  LogDirectXError(1);
  LogDirectXError(static_cast<int32_t>(0x8876086Cu));
  LogDirectXError(static_cast<int32_t>(0x80001234u));
  auto lines = dir.GameLogTexts();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "DirectX Reported Error: D3DERR_INVALIDCALL - Invalid call");
  EXPECT_EQ(lines[1], "DirectX Reported Error: 0x80001234 - Unknown error");
}

TEST_F(LogTest, UnwritableFolderIsSkippedSilently) {
  SetLogFolder(u"/nonexistent/folder");
  EXPECT_FALSE(Log(0, u"lost"));
  EXPECT_FALSE(LogEx(2, "lost"));
}

TEST_F(LogTest, ConcurrentLinesStayWhole) {
  Log(1, u"");
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) LogEx(0, "thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  for (auto& th : threads) th.join();
  auto lines = dir.GameLogTexts();
  ASSERT_EQ(lines.size(), 1600u);
  std::set<std::string> unique(lines.begin(), lines.end());
  EXPECT_EQ(unique.size(), 1600u);
  for (const auto& l : lines) EXPECT_EQ(l.rfind("thread ", 0), 0u) << l;
}

TEST(LogFormat, CtimeFormPadsTheDay) {
  EXPECT_EQ(FormatCtime(2026, 1, 5, 0, 0, 9, 1), u"Mon Jan 05 00:00:09 2026");
  EXPECT_EQ(FormatCtime(1999, 12, 31, 23, 59, 59, 5), u"Fri Dec 31 23:59:59 1999");
}
