#include "platform/text.h"

#include <gtest/gtest.h>

#include <climits>

using namespace platform;

TEST(Text, Utf8RoundTripAndLatin1FallBack) {
  EXPECT_EQ(Utf8ToUtf16("abc"), u"abc");
  EXPECT_EQ(Utf8ToUtf16("\xC3\xA9t\xC3\xA9"), u"\u00E9t\u00E9");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xB8"), u"\U0001F3B8");
  // A stray byte is Latin-1, never sign-extended.
  EXPECT_EQ(Utf8ToUtf16("\xE9"), u"\u00E9");
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\u00FFb");
  // Overlong and surrogate encodings are not valid UTF-8.
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\u00C0\u00AF");
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\u00ED\u00A0\u0080");
  // A sequence cut short by the end of the text.
  EXPECT_EQ(Utf8ToUtf16("x\xE2\x82"), u"x\u00E2\u0082");

  EXPECT_EQ(Utf16ToUtf8(u"\u00E9\U0001F3B8"), "\xC3\xA9\xF0\x9F\x8E\xB8");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  for (unsigned c = 0; c < 128; ++c) {
    std::string s(1, static_cast<char>(c));
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s);
  }
}

TEST(Text, NumbersUseTheStreamsDefaultForm) {
  EXPECT_EQ(FormatNumberW(1.27f), u"1.27");
  EXPECT_EQ(FormatNumber(293.0 / 294.0), "0.996599");
  EXPECT_EQ(FormatNumber(1.0), "1");
  EXPECT_EQ(FormatIntW(-42), u"-42");
}

TEST(Text, AtoIFollowsTheCRuntime) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {{" 42x", 42},    {"-7", -7},       {"abc", 0},          {"+5", 5},
               {"", 0},         {"\t\n 12", 12},  {"99999999999", INT32_MAX},
               {"-99999999999", INT32_MIN},       {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
               {"- 3", 0},      {"12 34", 12}};
  for (const Case& c : cases) {
    EXPECT_EQ(AtoI(std::string_view(c.text)), c.value) << c.text;
    std::u16string w = Utf8ToUtf16(c.text);
    EXPECT_EQ(AtoI(std::u16string_view(w)), c.value) << c.text;
  }
}

TEST(Text, CaseFoldingIsAsciiOnly) {
  EXPECT_TRUE(EqualsNoCaseAscii("Song.INI", "song.ini"));
  EXPECT_FALSE(EqualsNoCaseAscii("song", "songs"));
  EXPECT_TRUE(EqualsNoCaseAscii(u"ABC", u"abc"));
  EXPECT_FALSE(EqualsNoCaseAscii(u"\u00C9", u"\u00E9"));
  EXPECT_LT(CompareNoCaseAscii("apple", "Banana"), 0);
  EXPECT_EQ(CompareNoCaseAscii("ABC", "abc"), 0);
  EXPECT_LT(CompareNoCaseAscii("ab", "abc"), 0);
}

TEST(Text, StrToDTakesTheNumberPrefix) {
  EXPECT_DOUBLE_EQ(StrToD(" 1.5x"), 1.5);
  EXPECT_DOUBLE_EQ(StrToD("x"), 0.0);
  EXPECT_DOUBLE_EQ(StrToD(u"-2e2"), -200.0);
}
