#include "core/kvfile.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/test_support.h"

TEST(KeyValueLines, SplitRules) {
  struct Case {
    std::u16string line;
    bool ok;
    std::u16string key, value;
  } cases[] = {
      {u"VSYNC = \"TRUE\"", true, u"VSYNC", u"TRUE"},
      {u"K = \"a\"b\"", true, u"K", u"a\"b"},             // the value ends at the last quote
      {u"K = \"abc", true, u"K", u"abc"},                 // no closing quote: the rest of the line
      {u"K = \"a = \"b\"", true, u"K", u"a = \"b"},       // the key ends at the first separator
      {u"K = \"x\" trailing", true, u"K", u"x"},          // text after the last quote is dropped
      {u"K  = \"x\"", true, u"K ", u"x"},                 // a trailing space belongs to the key
      {u"K = \"\"", true, u"K", u""},
      {u"K=\"x\"", false, u"", u""},
      {u"", false, u"", u""},
      {u"no separator \"at all\"", false, u"", u""},
  };
  for (const Case& c : cases) {
    std::u16string key = u"unchanged", value = u"unchanged";
    EXPECT_EQ(SplitIniLine(c.line, key, value), c.ok);
    if (c.ok) {
      EXPECT_EQ(key, c.key);
      EXPECT_EQ(value, c.value);
    } else {
      EXPECT_EQ(key, u"unchanged");
    }
  }
}

TEST(KeyValueLines, OnlyCrLfEndsALine) {
  const std::u16string text = u"a\r\n\r\nb\nc\rd\r";
  int32_t cursor = 0;
  const int32_t n = static_cast<int32_t>(text.size());
  EXPECT_EQ(ReadIniLine(text.data(), n, cursor), u"a");
  EXPECT_EQ(ReadIniLine(text.data(), n, cursor), u"");
  EXPECT_EQ(ReadIniLine(text.data(), n, cursor), u"b\nc\rd\r");  // lone LF and CR stay, last line unended
  EXPECT_EQ(cursor, n);
  EXPECT_EQ(ReadIniLine(text.data(), n, cursor), u"");
  EXPECT_EQ(cursor, n);
}

TEST(KeyValueLines, BoolText) {
  EXPECT_STREQ(reinterpret_cast<const char*>(BoolToText(true)), reinterpret_cast<const char*>(u"TRUE"));
  EXPECT_EQ(std::u16string(BoolToText(false)), u"FALSE");
}

TEST(KeyValueFiles, ReadOutcomes) {
  testsupport::TempDir dir;
  std::vector<std::u16string> seen;
  auto collect = [&](const std::u16string& k, const std::u16string& v) { seen.push_back(k + u"=" + v); };

  EXPECT_EQ(ReadKeyValueFile(dir.WPath("missing.ini"), collect), KeyValueRead::kCannotOpen);
  dir.WriteBytes("zero.ini", "");
  EXPECT_EQ(ReadKeyValueFile(dir.WPath("zero.ini"), collect), KeyValueRead::kEmpty);
  dir.WriteBytes("one.ini", "\xFF");
  EXPECT_EQ(ReadKeyValueFile(dir.WPath("one.ini"), collect), KeyValueRead::kEmpty);
  dir.WriteUtf16("nobom.ini", "A = \"1\"\r\n", false);
  EXPECT_EQ(ReadKeyValueFile(dir.WPath("nobom.ini"), collect), KeyValueRead::kNoByteOrderMark);
  dir.WriteBytes("bigendian.ini", "\xFE\xFF\0A");
  EXPECT_EQ(ReadKeyValueFile(dir.WPath("bigendian.ini"), collect), KeyValueRead::kNoByteOrderMark);
  EXPECT_TRUE(seen.empty());

  dir.WriteUtf16("bom.ini", "");
  EXPECT_EQ(ReadKeyValueFile(dir.WPath("bom.ini"), collect), KeyValueRead::kOk);
  EXPECT_TRUE(seen.empty());

  dir.WriteUtf16("lines.ini", "A = \"1\"\r\ngarbage\r\n\r\nB = \"two\"\r\nA = \"3\"");
  EXPECT_EQ(ReadKeyValueFile(dir.WPath("lines.ini"), collect), KeyValueRead::kOk);
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"A=1", u"B=two", u"A=3"}));
}

TEST(KeyValueFiles, WriterRoundTripAndNoLineInjection) {
  testsupport::TempDir dir;
  KeyValueWriter w;
  ASSERT_TRUE(w.Open(dir.WPath("p.dat")));
  w.Line(u"NAME", u"quote\"inside");
  w.Line(u"NETNAME", u"x\r\nDEBUGMODE = \"TRUE");
  w.Int(u"SCORE", -12);
  w.Bool(u"LEFTY", true);
  ASSERT_TRUE(w.Close());
  EXPECT_EQ(dir.ReadUtf16("p.dat"),
            "NAME = \"quote\"inside\"\r\nNETNAME = \"x  DEBUGMODE = \"TRUE\"\r\nSCORE = \"-12\"\r\nLEFTY = \"TRUE\"\r\n");
  std::vector<std::u16string> keys, values;
  ReadKeyValueFile(dir.WPath("p.dat"), [&](const std::u16string& k, const std::u16string& v) {
    keys.push_back(k);
    values.push_back(v);
  });
  EXPECT_EQ(keys, (std::vector<std::u16string>{u"NAME", u"NETNAME", u"SCORE", u"LEFTY"}));
  EXPECT_EQ(values[0], u"quote\"inside");
}
