#include "core/utils.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/clock.h"
#include "platform/random.h"
#include "tests/support/test_support.h"

TEST(Utils, WidenAndNarrowAreUtf8) {
  EXPECT_EQ(ToWide("Caf\xC3\xA9"), u"Caf\u00E9");
  EXPECT_EQ(ToWide("\xE9"), u"\u00E9");
  EXPECT_EQ(ToNarrow(u"Caf\u00E9"), "Caf\xC3\xA9");
  EXPECT_EQ(ToNarrow(ToWide("plain ASCII 123")), "plain ASCII 123");
}

TEST(Utils, SplitPathAndParentFolder) {
  std::u16string folder = u"x", name = u"x";
  SplitPath(u"notes.mid", &folder, &name);
  EXPECT_EQ(folder, u"");
  EXPECT_EQ(name, u"notes.mid");
  SplitPath(u"songs\\Band\\notes.mid", &folder, &name);
  EXPECT_EQ(folder, u"songs/Band");
  EXPECT_EQ(name, u"notes.mid");
  SplitPath(u"songs/Band/", &folder, nullptr);
  EXPECT_EQ(folder, u"songs/Band");
  SplitPath(u"songs/Band/", nullptr, &name);
  EXPECT_EQ(name, u"");
  std::string nf, nn;
  SplitPathNarrow("a/b.txt", &nf, &nn);
  EXPECT_EQ(nf, "a");
  EXPECT_EQ(nn, "b.txt");

  struct Case {
    const char16_t* path;
    const char16_t* parent;
  } cases[] = {
      {u"/home/me/music/Band/", u"Band"}, {u"/home/me/music/Band/song.ini", u"Band"}, {u"abc", u"abc"},
      {u"/", u""},  {u"/x", u""},  {u"C:\\", u""},  {u"C:\\a\\b\\", u"b"},  {u"C:\\a\\b\\f.txt", u"b"},
      {u"/ab/", u"ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetParentFolder(c.path), c.parent) << ToNarrow(c.path);
}

TEST(Utils, FindFileOrBaseName) {
  testsupport::TempDir dir;
  dir.WriteBytes("model.x", "x");
  std::string p = "elsewhere/textures/model.x";
  EXPECT_TRUE(FindFileOrBaseName(p));
  EXPECT_EQ(p, "model.x");
  p = "missing/none.x";
  EXPECT_FALSE(FindFileOrBaseName(p));
  EXPECT_EQ(p, "missing/none.x");
  p = dir.Path("model.x");
  EXPECT_TRUE(FindFileOrBaseName(p));
  EXPECT_EQ(p, dir.Path("model.x"));
}

TEST(Utils, NarrowTagReaders) {
  std::istringstream in("junk <DEVICE> <NAME>Pad One</NAME><!-- a <NAME>x</NAME> comment --><KIND>");
  EXPECT_TRUE(IsDeviceTag(in));
  EXPECT_EQ(ReadTag(in), "NAME");
  EXPECT_EQ(ReadTagValue(in), "Pad One");
  EXPECT_EQ(ReadTag(in), "");  // the comment, skipped whole
  EXPECT_EQ(ReadTag(in), "KIND");
  EXPECT_EQ(ReadTag(in), "");  // end of stream
  std::istringstream unterminated("<!-- never ends");
  EXPECT_EQ(ReadTag(unterminated), "!-- never ends");
  std::istringstream other("<DEVICES>");
  EXPECT_FALSE(IsDeviceTag(other));
}

TEST(Utils, ParseFloatList) {
  auto f = ParseFloatList(2, u"180,0,90");
  EXPECT_FLOAT_EQ(f.x, 3.1415927f);
  EXPECT_FLOAT_EQ(f.y, 0.0f);
  EXPECT_FLOAT_EQ(f.z, 1.5707964f);
  f = ParseFloatList(1, u"50");
  EXPECT_FLOAT_EQ(f.x, 0.5f);
  EXPECT_FLOAT_EQ(f.y, 0.0f);
  f = ParseFloatList(0, u"x,1,2,3");
  EXPECT_FLOAT_EQ(f.x, 0.0f);
  EXPECT_FLOAT_EQ(f.y, 1.0f);
  EXPECT_FLOAT_EQ(f.z, 2.0f);
  f = ParseFloatList(6, u"");
  EXPECT_FLOAT_EQ(f.x + f.y + f.z, 0.0f);
  f = ParseFloatList(6, u"10,20");
  EXPECT_FLOAT_EQ(f.y, 0.2f);
}

TEST(Utils, MatchSuffixedNames) {
  EXPECT_TRUE(MatchSuffixedNames("hover_on", "hover_off"));
  EXPECT_TRUE(MatchSuffixedNames("HOVER_on", "hover_off"));
  EXPECT_FALSE(MatchSuffixedNames("hover_on", "HOVER_ON"));
  EXPECT_FALSE(MatchSuffixedNames("hover_on", "select_off"));
  EXPECT_FALSE(MatchSuffixedNames("_on", "_off"));
  EXPECT_FALSE(MatchSuffixedNames("hover", "hover"));
}

TEST(Utils, RandomRangeStaysInRange) {
  platform::SRand(99);
  for (int i = 0; i < 10000; ++i) {
    float r = RandomRange(5.0f, 2.0f);
    ASSERT_GE(r, 2.0f);
    ASSERT_LT(r, 5.0f);
  }
}

TEST(Utils, WrappedLines) {
  std::string text = std::string(40, 'a') + " " + std::string(29, 'b');
  EXPECT_EQ(GetWrappedLine(text, 60, 0), std::string(40, 'a'));
  EXPECT_EQ(GetWrappedLine(text, 60, 1), std::string(29, 'b'));
  EXPECT_EQ(GetWrappedLine(text, 60, 2), "");
  EXPECT_EQ(GetWrappedLine("short text", 60, 0), "short text");
  // A run without a blank is broken at the width instead of repeated on every line.
  std::string run(130, 'x');
  EXPECT_EQ(GetWrappedLine(run, 60, 0), std::string(60, 'x'));
  EXPECT_EQ(GetWrappedLine(run, 60, 1), std::string(60, 'x'));
  EXPECT_EQ(GetWrappedLine(run, 60, 2), std::string(10, 'x'));
  EXPECT_EQ(GetWrappedLine(run, 60, 3), "");
  EXPECT_EQ(GetWrappedLine(run, 60, -1), "");
}

TEST(Utils, TimeFormatting) {
  std::u16string h, m, s, c;
  SplitTimeMs(3725050, &h, &m, &s, &c);
  EXPECT_EQ(h + u":" + m + u":" + s + u"." + c, u"1:02:05.05");
  SplitTimeMs(59999, &h, &m, &s, &c);
  EXPECT_EQ(h + u":" + m + u":" + s + u"." + c, u"0:00:59.99");
  FormatMinutesSeconds(125.7f, &m, &s);
  EXPECT_EQ(m + u":" + s, u"2:05");
  FormatMinutesSeconds(-3.0f, &m, &s);
  EXPECT_EQ(m + u":" + s, u"0:00");
  FormatMinutesSeconds(3600.0f, &m, &s);
  EXPECT_EQ(m + u":" + s, u"60:00");

  platform::ScopedFakeClock fake;
  fake.clock.local = {2026, 3, 4, 5, 6, 7, 3, 62};
  EXPECT_EQ(GetTimeStamp(true), u"2026-03-04-05:06:07");
  EXPECT_EQ(GetTimeStamp(false), u"2026-03-04-050607");
}

TEST(Utils, GroupDigits) {
  EXPECT_EQ(GroupDigits(0), u"0");
  EXPECT_EQ(GroupDigits(100), u"100");
  EXPECT_EQ(GroupDigits(999), u"999");
  EXPECT_EQ(GroupDigits(1000), u"1,000");
  EXPECT_EQ(GroupDigits(123456), u"123,456");
  EXPECT_EQ(GroupDigits(1234567), u"1,234,567");
}

TEST(Utils, HolidayIds) {
  struct Case {
    int year, month, day, id;
  } cases[] = {
      {2012, 11, 22, 3}, {2013, 11, 28, 3}, {2012, 11, 15, 0}, {2013, 3, 31, 8}, {2014, 4, 20, 8},
      {2018, 4, 1, 6},   {2026, 4, 5, 8},   {2026, 11, 5, 2},  {2026, 12, 31, 5}, {2027, 1, 1, 5},
      {2026, 7, 4, 7},   {2026, 2, 14, 9},  {2026, 10, 28, 0}, {2026, 10, 29, 1}, {2026, 11, 2, 1},
      {2026, 12, 18, 4}, {2026, 12, 30, 4}, {2026, 6, 15, 0},  {2000, 4, 23, 8},  {2100, 3, 28, 8},
  };
  platform::ScopedFakeClock fake;
  for (const Case& c : cases) {
    fake.clock.local.year = c.year;
    fake.clock.local.month = c.month;
    fake.clock.local.day = c.day;
    EXPECT_EQ(GetHolidayId(), c.id) << c.year << "-" << c.month << "-" << c.day;
  }
}

TEST(Utils, CommandLine) {
  const char* argv[] = {"/opt/velorin/velorin", "/songs/Band", "/P"};
  SetCommandLine(3, argv);
  EXPECT_EQ(GetCommandLineArgCount(), 3);
  EXPECT_EQ(GetCommandLineArg(1), u"/songs/Band");
  EXPECT_EQ(GetCommandLineArg(3), u"");
  EXPECT_EQ(GetCommandLineArg(-1), u"");
  SetCommandLine(0, nullptr);
  // The program folder comes from the running executable, whatever argument 0 says.
  std::u16string exe = GetExeFolder();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.back(), u'/');
}

TEST(Utils, ClipboardIsEmptyWithoutAWindowSystem) {
  EXPECT_EQ(GetClipboardText(), "");
  EXPECT_FALSE(SetClipboardText("x"));
}
