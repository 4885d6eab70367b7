#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

using platform::ListDirectory;
using platform::WildcardMatch;

TEST(Wildcards, WindowsRules) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      // "*" and "*.*" take every name, with or without a dot.
      {"*", "README", true},
      {"*.*", "README", true},
      {"*.*", "a.b.c", true},
      {"*.*", ".hidden", true},
      // Extensions compare without regard to case.
      {"*.png", "PIC.PNG", true},
      {"*.PNG", "pic.png", true},
      {"*.png", "a.b.png", true},
      {"*.png", "png", false},
      {"*.png", "a.png.txt", false},
      {"*.png", "a.pngx", false},
      {"*.png", ".png", true},
      {"*.ini", "song.ini", true},
      {"song.ini", "SONG.INI", true},
      {"song.ini", "song.ini.bak", false},
      {"tier_*.ini", "tier_12.ini", true},
      {"tier_*.ini", "Tier_0.INI", true},
      {"tier_*.ini", "tier_.ini", true},
      {"tier_*.ini", "tier_0.ini.tmp", false},
      // A '.' before a wildcard or at the end also matches the end of the name.
      {"*.", "README", true},
      {"*.", "read.me", false},
      {"readme.*", "README", true},
      {"readme.*", "readme.txt", true},
      {"readme.*", "readme2", false},
      // '?' is one character, or nothing at a dot or at the end of the name.
      {"a?.txt", "ab.txt", true},
      {"a?.txt", "a.txt", true},
      {"a?.txt", "abc.txt", false},
      {"???", "ab", true},
      {"???", "abcd", false},
      {"?", ".", false},
      // A '*' that no dot follows crosses dots.
      {"a*c", "a.b.c", true},
      {"*b*", "abc", true},
      {"*b*", "ac", false},
      // A '*' before a dot stops at the last dot but may take dots before it.
      {"*.c", "a.b.c", true},
      {"a*.c", "a.c", true},
      {"*.*.c", "a.b.c", true},
      {"", "a", false},
  };
  for (const Case& c : cases) EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}

TEST(Wildcards, LongNamesStayFast) {
  // Many stars against a long name that almost matches: the walk stays linear.
  const std::string name(4000, 'a');
  EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*b", name));
  EXPECT_TRUE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*", name));
}

TEST(Listing, SortedFilteredAndWithoutDotEntries) {
  testsupport::TempDir dir;
  dir.WriteBytes("tree/b.PNG", "x");
  dir.WriteBytes("tree/A.png", "x");
  dir.WriteBytes("tree/a.b.c", "x");
  dir.WriteBytes("tree/README", "x");
  dir.MakeDir("tree/x.y");
  dir.MakeDir("tree/Sub");
  ASSERT_EQ(::symlink("Sub", dir.Path("tree/link").c_str()), 0);

  std::vector<std::string> names;
  std::vector<bool> folders;
  for (const auto& e : ListDirectory(dir.Path("tree"), "*.*")) {
    names.push_back(e.name);
    folders.push_back(e.isDirectory);
  }
  // Case-folded order; "." and ".." never appear.
  EXPECT_EQ(names, (std::vector<std::string>{"a.b.c", "A.png", "b.PNG", "link", "README", "Sub", "x.y"}));
  EXPECT_EQ(folders, (std::vector<bool>{false, false, false, true, false, true, true}));

  names.clear();
  for (const auto& e : ListDirectory(dir.Path("tree/"), "*.png")) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"A.png", "b.PNG"}));

  // The folder itself is found without regard to case; a missing one lists nothing.
  EXPECT_EQ(ListDirectory(dir.Path("TREE"), "*.png").size(), 2u);
  EXPECT_TRUE(ListDirectory(dir.Path("missing"), "*").empty());
  EXPECT_TRUE(ListDirectory(dir.Path("tree/README"), "*").empty());
}

// Every name a listing gives opens again after the game widened it for display and
// narrowed it back: Latin-1 bytes of old archives included.
TEST(Listing, EveryListedNameOpensAgainThroughItsWideForm) {
  testsupport::TempDir dir;
  const std::vector<std::string> names = {
      "Caf\xE9",                 // Latin-1 0xE9
      "Caf\xC3\xA9 Two",         // the same letter in UTF-8
      "Mix\xE9\xC3\xA9",         // both in one name
      "\xFF\xFE odd",            // bytes that never start UTF-8
      "Plain",
  };
  for (const std::string& n : names) dir.WriteBytes("music/" + n + "/song.ini", n);
  std::vector<std::string> listed;
  for (const platform::DirEntry& e : ListDirectory(dir.Path("music"))) {
    listed.push_back(e.name);
    SCOPED_TRACE(e.name);
    const std::u16string wide = platform::PathFromNative(dir.Path("music/" + e.name));
    const std::string back = platform::PathToNative(wide);
    EXPECT_TRUE(platform::IsDirectory(back));
    EXPECT_EQ(ListDirectory(back).size(), 1u);
    std::string text;
    EXPECT_TRUE(platform::ReadWholeFile(platform::PathToNative(wide + u"/SONG.INI"), text));
    EXPECT_EQ(text, e.name);
  }
  EXPECT_EQ(listed.size(), names.size());
  // Display text stays as the platform decides: the stray byte is its Latin-1 letter.
  EXPECT_EQ(platform::PathFromNative("Caf\xE9"), u"Caf\u00E9");
  EXPECT_TRUE(platform::IsValidUtf8("Caf\xC3\xA9"));
  EXPECT_FALSE(platform::IsValidUtf8("Caf\xE9"));
}
