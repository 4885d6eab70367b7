#include "core/folders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/random.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace {

std::string N(const std::u16string& s) { return platform::Utf16ToUtf8(s); }
std::u16string W(const std::string& s) { return platform::Utf8ToUtf16(s); }

// The fixture: files with no, one and two dots, a folder with a dot, nested folders.
void MakeTree(const testsupport::TempDir& dir) {
  dir.WriteBytes("music/a.b.c", "x");
  dir.WriteBytes("music/PIC.PNG", "x");
  dir.WriteBytes("music/README", "x");
  dir.WriteBytes("music/zz.png", "x");
  dir.MakeDir("music/x.y");
  dir.MakeDir("music/Rock/Song1");
  dir.MakeDir("empty");
}

std::vector<std::string> Names(const std::vector<FolderEntry>& v) {
  std::vector<std::string> out;
  for (const FolderEntry& e : v) out.push_back(N(e.name));
  return out;
}

std::vector<FolderEntry> List(uint32_t mask, bool strip, const std::u16string& folder, const std::u16string& pattern) {
  std::vector<FolderEntry> v(static_cast<size_t>(CountFolderEntries(mask, folder, pattern)));
  EXPECT_TRUE(ListFolderEntries(v, mask, strip, folder, pattern));
  return v;
}

void ExpectWindow(const FolderBrowser& b) {
  if (b.count <= 0) return;
  EXPECT_LE(0, b.first);
  EXPECT_LE(b.first, b.selected);
  EXPECT_LT(b.selected, b.end);
  EXPECT_LE(b.end, b.count);
  EXPECT_EQ(b.end - b.first, std::min(b.visibleCount, b.count));
}

}  // namespace

TEST(FolderListing, PatternsMasksAndNames) {
  testsupport::TempDir dir;
  MakeTree(dir);
  const std::u16string music = dir.WPath("music/");

  std::vector<FolderEntry> all = List(0, false, music, u"*.*");
  EXPECT_EQ(Names(all), (std::vector<std::string>{"a.b.c", "PIC.PNG", "README", "Rock", "x.y", "zz.png"}));
  EXPECT_EQ(N(all[0].path), dir.Path("music/a.b.c"));
  EXPECT_EQ(N(all[3].path), dir.Path("music/Rock/"));
  EXPECT_EQ(N(all[4].path), dir.Path("music/x.y/"));

  EXPECT_EQ(Names(List(kFolderAttribute, false, music, u"*.*")), (std::vector<std::string>{"Rock", "x.y"}));
  EXPECT_EQ(Names(List(kFileAttribute, false, music, u"*.*")),
            (std::vector<std::string>{"a.b.c", "PIC.PNG", "README", "zz.png"}));
  EXPECT_EQ(Names(List(0, false, music, u"*.png")), (std::vector<std::string>{"PIC.PNG", "zz.png"}));

  // Cutting extensions: the last dot of a file; folders keep their whole names.
  std::vector<FolderEntry> cut = List(0, true, music, u"*.*");
  EXPECT_EQ(Names(cut), (std::vector<std::string>{"a.b", "PIC", "README", "Rock", "x.y", "zz"}));
  EXPECT_EQ(N(cut[0].path), dir.Path("music/a.b.c"));
  EXPECT_EQ(N(cut[4].path), dir.Path("music/x.y/"));

  // The folder part of the path is found without regard to case.
  EXPECT_EQ(CountFolderEntries(0, dir.WPath("MUSIC/"), u"*.png"), 2);
}

TEST(FolderListing, UnreadableFoldersAndCapacity) {
  testsupport::TempDir dir;
  MakeTree(dir);
  std::vector<FolderEntry> room(3);
  EXPECT_EQ(CountFolderEntries(0, dir.WPath("missing/"), u"*.*"), 0);
  EXPECT_FALSE(ListFolderEntries(room, 0, false, dir.WPath("missing/"), u"*.*"));
  EXPECT_EQ(CountFolderEntries(0, dir.WPath("music/README/"), u"*.*"), 0);
  EXPECT_EQ(CountFolderEntries(0, dir.WPath("empty/"), u"*.*"), 0);
  EXPECT_TRUE(ListFolderEntries(room, 0, false, dir.WPath("empty/"), u"*.*"));
  EXPECT_EQ(room[0].name, u"NO NAME");
  EXPECT_EQ(room[0].path, u"NO PATH");

  // Never more than the room given, whatever the folder holds now.
  std::vector<FolderEntry> two(2);
  EXPECT_TRUE(ListFolderEntries(two, 0, false, dir.WPath("music/"), u"*.*"));
  EXPECT_EQ(Names(two), (std::vector<std::string>{"a.b.c", "PIC.PNG"}));
  EXPECT_TRUE(ListFolderEntries(std::span<FolderEntry>(), 0, false, dir.WPath("music/"), u"*.*"));
}

TEST(PickRandomFile, ExistingNamesWinAndLeaveTheGeneratorAlone) {
  testsupport::TempDir dir;
  MakeTree(dir);
  const std::u16string music = dir.WPath("music/");

  platform::SRand(77);
  const int expected = platform::Rand();
  platform::SRand(77);
  EXPECT_EQ(PickRandomFile(0, music, u"zz.png", u"*.png"), music + u"zz.png");
  EXPECT_EQ(PickRandomFile(0, music, u"ZZ.PNG", u"*.png"), music + u"ZZ.PNG");  // found without regard to case
  EXPECT_EQ(platform::Rand(), expected);
}

TEST(PickRandomFile, RandomMissingAndEmptyNamesPickFromTheListing) {
  testsupport::TempDir dir;
  MakeTree(dir);
  platform::ScopedFakeClock clock;
  clock.clock.ms = 123456;
  const std::u16string music = dir.WPath("music/");

  // The pick is rand() % count after seeding with the clock.
  platform::SRand(123456);
  const std::vector<std::string> pngs = {"PIC.PNG", "zz.png"};
  const std::string expected = pngs[static_cast<size_t>(platform::Rand() % 2)];
  for (const char16_t* name : {u"[Random]", u"[RANDOM]", u"gone.png", u""})
    EXPECT_EQ(N(PickRandomFile(0, music, name, u"*.png")), dir.Path("music/" + expected)) << N(name);

  // Folders can be picked too (abstract backgrounds are folders).
  const std::set<std::string> folders = {dir.Path("music/Rock"), dir.Path("music/x.y")};
  EXPECT_EQ(folders.count(N(PickRandomFile(kFolderAttribute, music, u"[Random]", u"*.*"))), 1u);
}

TEST(PickRandomFile, NothingToPickIsLoggedAndEmpty) {
  testsupport::TempDir dir;
  MakeTree(dir);
  for (const char* folder : {"empty/", "missing/"}) {
    dir.WriteBytes("game_log.txt", "");
    EXPECT_EQ(PickRandomFile(0, dir.WPath(folder), u"[Random]", u"*.png"), u"");
    EXPECT_EQ(dir.GameLogTexts(), (std::vector<std::string>{"ERROR:No Random Files Found:" + dir.Path(folder)}));
  }
  dir.WriteBytes("game_log.txt", "");
  EXPECT_EQ(PickRandomFile(0, dir.WPath("music/"), u"[Random]", u"*.avi"), u"");
  EXPECT_EQ(dir.GameLogTexts().size(), 1u);
}

TEST(TopLevel, HomeRootAndMountedMedia) {
  const char* mounts =
      "sysfs /sys sysfs rw 0 0\n"
      "/dev/sdb1 /media/ann/MY\\040STICK vfat rw 0 0\n"
      "/dev/sdc1 /mnt/data ext4 rw 0 0\n"
      "/dev/sdd1 /mnt ext4 rw 0 0\n"
      "/dev/sde1 /media2/x ext4 rw 0 0\n"
      "/dev/sdf1 /mntx ext4 rw 0 0\n"
      "broken-line\n"
      "/dev/sdb1 /media/ann/MY\\040STICK vfat rw 0 0\n";
  std::vector<FolderEntry> rows = ListTopLevelFolders("/home/ann/", mounts);
  EXPECT_EQ(Names(rows), (std::vector<std::string>{"/home/ann", "/", "/media/ann/MY STICK", "/mnt", "/mnt/data"}));
  std::vector<std::string> paths;
  for (const FolderEntry& e : rows) paths.push_back(N(e.path));
  EXPECT_EQ(paths, (std::vector<std::string>{"/home/ann/", "/", "/media/ann/MY STICK/", "/mnt/", "/mnt/data/"}));

  // No home, a relative one, or the root itself: the root once.
  for (const char* home : {"", "relative", "/"})
    EXPECT_EQ(Names(ListTopLevelFolders(home, "")), (std::vector<std::string>{"/"}));
}

TEST(FolderBrowser, StartsEmptyWithItsDefaults) {
  FolderBrowser b;
  EXPECT_EQ(b.count, 0);
  EXPECT_EQ(b.spareIndex, -1);
  EXPECT_EQ(b.visibleCount, 10);
  EXPECT_EQ(b.pattern, u"*.*");
  EXPECT_EQ(b.selectLabel, u"[Select Current Folder]");
  EXPECT_EQ(b.exitLabel, u"[Exit]");
  EXPECT_FALSE(b.showLabels);
  EXPECT_EQ(b.attributeMask, 0u);
}

TEST(FolderBrowser, TopLevelRowsAndNoEmptyChoice) {
  testsupport::TempDir dir;
  MakeTree(dir);
  folder_testing::ScopedTopLevel top(dir.Path("music"), "/dev/sdb1 /media/usb vfat rw 0 0\n");
  FolderBrowser b;
  b.showLabels = true;
  b.attributeMask = kFolderAttribute;
  ASSERT_TRUE(b.Open(u""));
  EXPECT_EQ(Names(b.entries),
            (std::vector<std::string>{"[Select Current Folder]", "[Exit]", dir.Path("music"), "/", "/media/usb"}));
  EXPECT_EQ(b.entries[0].path, u"NO PATH");
  EXPECT_EQ(b.shownName, u"");
  ExpectWindow(b);

  // The top level is no folder: the select row cannot make it the music folder.
  std::u16string musicPath = u"kept";
  EXPECT_FALSE(b.ChooseCurrentFolder(musicPath));
  EXPECT_EQ(musicPath, u"kept");

  // A label row is not entered.
  EXPECT_FALSE(b.Enter());
  EXPECT_EQ(b.currentPath, u"");

  ASSERT_TRUE(b.SelectByName(W(dir.Path("music"))));
  ASSERT_TRUE(b.Enter());
  EXPECT_EQ(N(b.currentPath), dir.Path("music/"));
  EXPECT_EQ(b.shownName, u"music");
  EXPECT_EQ(Names(b.entries), (std::vector<std::string>{"[Select Current Folder]", "[Exit]", "Rock", "x.y"}));
  EXPECT_TRUE(b.ChooseCurrentFolder(musicPath));
  EXPECT_EQ(N(musicPath), dir.Path("music/"));
}

TEST(FolderBrowser, EnterAndGoToParentUpToTheTopLevel) {
  testsupport::TempDir dir;
  MakeTree(dir);
  folder_testing::ScopedTopLevel top("", "");
  FolderBrowser b;
  ASSERT_TRUE(b.Open(dir.WPath("music")));  // the final '/' is added
  EXPECT_EQ(N(b.currentPath), dir.Path("music/"));
  EXPECT_EQ(Names(b.entries), (std::vector<std::string>{"a.b", "PIC", "README", "Rock", "x.y", "zz"}));

  // A file row is not entered.
  ASSERT_TRUE(b.SelectByName(u"README"));
  EXPECT_FALSE(b.Enter());
  EXPECT_EQ(N(b.currentPath), dir.Path("music/"));

  ASSERT_TRUE(b.SelectByName(u"Rock"));
  ASSERT_TRUE(b.Enter());
  EXPECT_EQ(N(b.currentPath), dir.Path("music/Rock/"));
  EXPECT_EQ(b.shownName, u"Rock");
  EXPECT_EQ(b.selected, 0);

  b.GoToParent();
  EXPECT_EQ(N(b.currentPath), dir.Path("music/"));
  EXPECT_EQ(N(b.entries[static_cast<size_t>(b.selected)].name), "Rock");
  ExpectWindow(b);

  // Up again: the test's own folder, with the folder left selected. The walk stays
  // inside folders this test made, so it holds whatever else the disk holds.
  b.GoToParent();
  EXPECT_EQ(N(b.currentPath), dir.path() + "/");
  EXPECT_EQ(b.entries[static_cast<size_t>(b.selected)].name, u"music");
  ExpectWindow(b);

  // Every row appears once (the log may sit beside the folders).
  b.attributeMask = kFolderAttribute;
  for (int again = 0; again < 3; ++again) {
    b.Fill(b.currentPath);
    EXPECT_EQ(Names(b.entries), (std::vector<std::string>{"empty", "music"}));
  }
  b.attributeMask = 0;

  // "/" leads to the top level, selecting the root's own row.
  ASSERT_TRUE(b.Open(u"/"));
  b.GoToParent();
  EXPECT_EQ(b.currentPath, u"");
  ASSERT_GT(b.count, 0);
  EXPECT_EQ(b.entries[static_cast<size_t>(b.selected)].name, u"/");
  ExpectWindow(b);

  // Above the top level there is nothing: it stays there.
  b.GoToParent();
  EXPECT_EQ(b.currentPath, u"");
  EXPECT_EQ(b.selected, 0);
}

TEST(FolderBrowser, WindowRules) {
  testsupport::TempDir dir;
  for (int i = 0; i < 25; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "big/f%02d/", i);
    dir.MakeDir(name);
  }
  FolderBrowser b;
  ASSERT_TRUE(b.Open(dir.WPath("big/")));
  ASSERT_EQ(b.count, 25);
  EXPECT_EQ(b.end, 10);

  // Up from row 0 wraps to the last row with the last ten rows shown.
  b.MoveUp();
  EXPECT_EQ(b.selected, 24);
  EXPECT_EQ(b.first, 15);
  EXPECT_EQ(b.end, 25);
  for (int i = 0; i < 9; ++i) b.MoveUp();
  EXPECT_EQ(b.selected, 15);
  EXPECT_EQ(b.first, 15);
  b.MoveUp();  // past the top of the window: it scrolls by one
  EXPECT_EQ(b.selected, 14);
  EXPECT_EQ(b.first, 14);
  EXPECT_EQ(b.end, 24);
  ExpectWindow(b);

  // Going up from a folder near the top shows it first; near the end, the last rows.
  ASSERT_TRUE(b.Open(dir.WPath("big/f03/")));
  b.GoToParent();
  EXPECT_EQ(b.selected, 3);
  EXPECT_EQ(b.first, 3);
  EXPECT_EQ(b.end, 13);
  ASSERT_TRUE(b.Open(dir.WPath("big/f20/")));
  b.GoToParent();
  EXPECT_EQ(b.selected, 20);
  EXPECT_EQ(b.first, 15);
  EXPECT_EQ(b.end, 25);

  // Fewer rows than the window: it holds them all.
  b.visibleCount = 40;
  ASSERT_TRUE(b.Open(dir.WPath("big/")));
  b.MoveUp();
  EXPECT_EQ(b.selected, 24);
  EXPECT_EQ(b.first, 0);
  EXPECT_EQ(b.end, 25);
}

TEST(FolderBrowser, NoRowsMeansNothingMoves) {
  testsupport::TempDir dir;
  FolderBrowser b;
  ASSERT_TRUE(b.Open(dir.WPath("missing/")));
  EXPECT_EQ(b.count, 0);
  EXPECT_TRUE(b.MoveUp());
  EXPECT_EQ(b.selected, 0);
  EXPECT_EQ(b.first, 0);
  EXPECT_EQ(b.end, 0);
  EXPECT_FALSE(b.Enter());
  EXPECT_FALSE(b.SelectByName(u"NO NAME"));
}
