#include "core/text_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/test_support.h"

namespace {

// Loads a UTF-8 text as a UTF-16LE document with its mark.
TextDocument LoadText(const testsupport::TempDir& dir, std::string_view utf8) {
  dir.WriteUtf16("doc.ini", utf8);
  TextDocument doc;
  EXPECT_TRUE(doc.Load(dir.WPath("doc.ini")));
  return doc;
}

std::string Narrow(const std::u16string& s) { return platform::Utf16ToUtf8(s); }

}  // namespace

TEST(TextDocument, LoadOutcomesAndTheirLogLines) {
  testsupport::TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
    bool ok;
    int32_t byteSize, count, cursor;
    const char* logLine;  // prefix of the one line expected, or null for none
  } cases[] = {
      {"empty.ini", std::string(), false, 0, 0, 0, "Empty File:"},
      {"one.ini", std::string("\xFF", 1), false, 1, 0, 0, "Empty File:"},
      {"nobom.ini", std::string("<\0a\0>\0", 6), false, 0, 0, 0, "ERROR:Not Unicode Document:"},
      {"bigendian.ini", std::string("\xFE\xFF\0<\0a\0>", 8), false, 0, 0, 0, "ERROR:Not Unicode Document:"},
      {"bomonly.ini", std::string("\xFF\xFE", 2), true, 2, 1, 1, nullptr},
      {"odd.ini", std::string("\xFF\xFE<\0a\0>\0\x7F", 9), true, 9, 4, 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.WriteBytes("game_log.txt", "");
    dir.WriteBytes(c.name, c.bytes);
    TextDocument doc;
    EXPECT_EQ(doc.Load(dir.WPath(c.name)), c.ok);
    EXPECT_EQ(doc.byteSize, c.byteSize);
    EXPECT_EQ(doc.count, c.count);
    EXPECT_EQ(doc.cursor, c.cursor);
    const std::vector<std::string> log = dir.GameLogTexts();
    if (c.logLine) {
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ(log[0], std::string(c.logLine) + dir.Path(c.name));
    } else {
      EXPECT_TRUE(log.empty());
    }
  }

  // The odd last byte is never part of the text.
  TextDocument odd;
  ASSERT_TRUE(odd.Load(dir.WPath("odd.ini")));
  EXPECT_EQ(odd.NextTag(), u"a");
  EXPECT_EQ(odd.ReadTo(u'\x7F'), u"");
  EXPECT_GE(odd.cursor, odd.count);

  // A missing file fails without a word.
  dir.WriteBytes("game_log.txt", "");
  TextDocument missing;
  EXPECT_FALSE(missing.Load(dir.WPath("missing.ini")));
  EXPECT_EQ(missing.count, 0);
  EXPECT_TRUE(dir.GameLogTexts().empty());
}

TEST(TextDocument, FailedLoadEmptiesAnEarlierDocumentAndFreeResets) {
  testsupport::TempDir dir;
  TextDocument doc = LoadText(dir, "<a>");
  EXPECT_EQ(doc.count, 4);
  dir.WriteBytes("nobom.ini", std::string("x\0y\0", 4));
  EXPECT_FALSE(doc.Load(dir.WPath("nobom.ini")));
  EXPECT_EQ(doc.count, 0);
  EXPECT_EQ(doc.cursor, 0);
  EXPECT_EQ(doc.NextTag(), u"");

  doc = LoadText(dir, "<a><b>");
  EXPECT_EQ(doc.NextTag(), u"a");
  doc.Free();
  EXPECT_EQ(doc.byteSize, 0);
  EXPECT_EQ(doc.count, 0);
  EXPECT_EQ(doc.cursor, 0);
  EXPECT_EQ(doc.NextTag(), u"");
  EXPECT_EQ(doc.NextQuoted(), u"");
}

TEST(TextDocument, WalksAThemeLikeDocument) {
  testsupport::TempDir dir;
  TextDocument doc = LoadText(dir,
                              "<menu>\r\n"
                              "<!-- the logo: <image> is skipped with the comment -->\r\n"
                              "<Image >\r\n"
                              "  <name>logo_\xC3\xA9 \xF0\x9F\x8E\xB8</name>\r\n"
                              "  <pos> 10, 20 </pos>\r\n"
                              "</Image >\r\n"
                              "</menu>\r\n");
  std::vector<std::string> seen;
  int guard = 0;
  while (doc.cursor < doc.count && ++guard < 100) {
    const std::u16string tag = doc.NextTag();
    seen.push_back(Narrow(tag));
    if (tag == u"name" || tag == u"pos") seen.push_back("=" + Narrow(doc.NextValue()));
  }
  // Tags keep their case and blanks; values keep their white space; the closing
  // tag after a value is consumed by NextValue.
  EXPECT_EQ(seen, (std::vector<std::string>{"menu", "", "Image ", "name", "=logo_\xC3\xA9 \xF0\x9F\x8E\xB8", "pos",
                                            "= 10, 20 ", "/Image ", "/menu", ""}));
  EXPECT_GT(doc.cursor, doc.count);  // the last search ran off the end
  EXPECT_EQ(doc.NextTag(), u"");
  EXPECT_EQ(doc.NextValue(), u"");
}

TEST(TextDocument, Comments) {
  testsupport::TempDir dir;
  struct Case {
    const char* text;
    std::vector<std::string> tags;  // NextTag results until the cursor reaches the end
  } cases[] = {
      {"<!--><a>", {"", "a"}},  // exactly "!--" is a whole comment
      {"<!----><a>", {"", "a"}},
      {"<!-- x --><a>", {"", "a"}},
      {"<!-- <b> <c> --><a>", {"", "a"}},           // tags inside a comment are skipped
      {"<!-- x >-> y --><a>", {"", "a"}},           // a one-unit piece "-" does not end it
      {"<!-- x > y -- > z --><a>", {"", "a"}},      // "-- " does not end it either
      {"<!-- open > still open", {" still open"}},  // unterminated: the last piece read
      {"<!-- open", {"!-- open"}},
      {"<!-x><a>", {"!-x", "a"}},  // not a comment
      {"<-->", {"--"}},            // "--" alone is no comment
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TextDocument doc = LoadText(dir, c.text);
    std::vector<std::string> tags;
    int guard = 0;
    while (doc.cursor < doc.count && ++guard < 50) tags.push_back(Narrow(doc.NextTag()));
    EXPECT_EQ(tags, c.tags);
  }
}

TEST(TextDocument, CursorReadsAtTheEdges) {
  testsupport::TempDir dir;

  // No '<' at all: one NextTag runs off the end and the caller's loop stops.
  TextDocument plain = LoadText(dir, "just some text");
  EXPECT_EQ(plain.NextTag(), u"");
  EXPECT_EQ(plain.cursor, plain.count + 1);

  // A delimiter right at the cursor: empty text, delimiter consumed.
  TextDocument d = LoadText(dir, ">>x");
  EXPECT_EQ(d.ReadTo(u'>'), u"");
  EXPECT_EQ(d.cursor, 2);
  EXPECT_EQ(d.ReadTo(u'>'), u"");
  EXPECT_EQ(d.ReadTo(u'>'), u"x");
  EXPECT_EQ(d.cursor, d.count + 1);
  EXPECT_EQ(d.ReadTo(u'>'), u"");
  EXPECT_EQ(d.cursor, d.count + 1);  // reads past the end leave the cursor alone

  // Quoted strings: no escapes, everything between quotes skipped.
  TextDocument q = LoadText(dir, "key = \"one\"  \"two words\"\r\n\"\" tail \"rest of it");
  EXPECT_EQ(q.NextQuoted(), u"one");
  EXPECT_EQ(q.NextQuoted(), u"two words");
  EXPECT_EQ(q.NextQuoted(), u"");            // an empty quoted text
  EXPECT_EQ(q.NextQuoted(), u"rest of it");  // a single remaining quote: the rest
  EXPECT_EQ(q.NextQuoted(), u"");            // none left
  EXPECT_GE(q.cursor, q.count);

  // A value with no following tag is the rest of the document.
  TextDocument v = LoadText(dir, "<a>tail text");
  EXPECT_EQ(v.NextTag(), u"a");
  EXPECT_EQ(v.NextValue(), u"tail text");
  EXPECT_GE(v.cursor, v.count);
}

TEST(TextDocument, EveryWalkEnds) {
  testsupport::TempDir dir;
  const char* docs[] = {"",   "<",  ">",       "<<<<", ">>>>", "\"",   "\"\"\"",  "<!--",     "<!-- -- -",
                        "<a", "a>", "<a><!--", "<>",   "<!>",  "--><", "<\"a\">", "\r\n\r\n", "<a>\"b"};
  for (const char* text : docs) {
    SCOPED_TRACE(text);
    for (int walk = 0; walk < 3; ++walk) {
      TextDocument doc = LoadText(dir, text);
      int steps = 0;
      int32_t last = doc.cursor;
      while (doc.cursor < doc.count) {
        if (walk == 0) doc.NextTag();
        if (walk == 1) doc.NextValue();
        if (walk == 2) doc.NextQuoted();
        ASSERT_GT(doc.cursor, last) << "a read that does not move the cursor would loop for ever";
        last = doc.cursor;
        ASSERT_LE(++steps, doc.count);
      }
      EXPECT_LE(doc.cursor, doc.count + 1);
    }
  }
}
