// The song list: the recursive folder scan (order, inclusion, MD5s, bounds), the
// look-ups by hash, path and index, and the stable sort orders.
#include "song/song_list.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include <algorithm>
#include <string>
#include <vector>

#include "core/md5.h"
#include "platform/paths.h"
#include "tests/support/song_folder_generator.h"
#include "tests/support/test_support.h"

namespace {

std::vector<std::u16string> Folders(const SongList& list) {
  std::vector<std::u16string> out;
  for (const SongRecord* r = list.head; r; r = r->next) out.push_back(r->folder);
  return out;
}

// Links in both directions agree with the count.
void ExpectLinked(const SongList& list) {
  int n = 0;
  const SongRecord* prev = nullptr;
  for (const SongRecord* r = list.head; r; r = r->next, ++n) {
    EXPECT_EQ(r->prev, prev);
    prev = r;
  }
  EXPECT_EQ(n, list.count);
}

}  // namespace

TEST(SongListScan, DepthFirstChildrenBeforeTheirFolder) {
  testsupport::TempDir dir;
  dir.WriteBytes("music/A/song.ini", "[song]\nname = a\n");
  dir.WriteBytes("music/A/notes.mid", "chart A");
  dir.WriteBytes("music/A/B/song.ini", "[song]\n");
  dir.WriteBytes("music/A/B/NOTES.MID", "chart B");
  dir.WriteBytes("music/c/Song.INI", "[song]\nname = c\n");  // names of any case
  dir.WriteBytes("music/Empty/song.ini", "");                 // empty: no record
  dir.WriteBytes("music/Empty/Inner/song.ini", "x");           // but its folders are scanned
  dir.MakeDir("music/NoIni");
  dir.WriteBytes("music/song.ini", "[song]\n");  // the music folder itself counts too

  SongList list;
  FolderScan scan;
  ScanSongFolders(scan, dir.WPath("music"), list, true);
  const std::u16string m = dir.WPath("music/");
  EXPECT_EQ(Folders(list), (std::vector<std::u16string>{m + u"A/B/", m + u"A/", m + u"c/", m + u"Empty/Inner/", m}));
  ExpectLinked(list);
  ASSERT_EQ(scan.count, 4);
  EXPECT_EQ(scan.children[0].name, "A");
  EXPECT_EQ(scan.children[3].name, "NoIni");

  const SongRecord* b = list.GetAt(0);
  EXPECT_EQ(b->md5, Md5Hex("chart B", 7));
  EXPECT_EQ(b->iniSize, 7);
  EXPECT_EQ(list.GetAt(1)->md5, Md5Hex("chart A", 7));
  EXPECT_EQ(list.GetAt(2)->md5, "-1");  // no chart
  EXPECT_EQ(list.GetAt(2)->iniSize, 16);
  EXPECT_TRUE(list.GetAt(2)->name.empty());  // the scan leaves the title fields to its caller

  SongList plain;
  ScanSongFolders(dir.WPath("music/"), plain, false);
  EXPECT_EQ(Folders(plain), Folders(list));
  for (const SongRecord* r = plain.head; r; r = r->next) EXPECT_TRUE(r->md5.empty());
}

TEST(SongListScan, MissingFolderGivesNothingAndBackslashesWork) {
  testsupport::TempDir dir;
  SongList list;
  ScanSongFolders(dir.WPath("nowhere/"), list, true);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.head, nullptr);

  dir.WriteBytes("music/X/song.ini", "[song]\n");
  ScanSongFolders(u"music\\", list, false);
  EXPECT_EQ(Folders(list), (std::vector<std::u16string>{u"music/X/"}));
}

// A save the game was killed in leaves its temporary file beside "vl.dat" or
// "song.ini"; the scan sweeps the old ones of that form and nothing else.
TEST(SongListScan, OldTemporaryFilesOfUnfinishedSavesAreRemoved) {
  testsupport::TempDir dir;
  dir.WriteBytes("music/X/song.ini", "[song]\n");
  const auto aged = [&](const char* name, time_t seconds) {
    dir.WriteBytes(name, "x");
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = ::time(nullptr) - seconds;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.Path(name).c_str(), times, 0), 0);
  };
  aged("music/X/vl.dat.tmp321_0", 7200);
  aged("music/X/song.ini.tmp322_4", 7200);
  aged("music/X/song.ini.tmp323_5", 5);  // a save that may still be running
  aged("music/X/notes.tmp", 7200);       // not the game's own
  SongList list;
  ScanSongFolders(u"music/", list, false);
  EXPECT_EQ(list.count, 1);
  std::vector<std::string> left;
  for (const platform::DirEntry& e : platform::ListDirectory(dir.Path("music/X"))) left.push_back(e.name);
  EXPECT_EQ(left, (std::vector<std::string>{"notes.tmp", "song.ini", "song.ini.tmp323_5"}));
}

TEST(SongListScan, LinkLoopsEndAndNoFolderIsListedTwice) {
  testsupport::TempDir dir;
  dir.WriteBytes("music/A/song.ini", "[song]\n");
  dir.WriteBytes("music/Z/song.ini", "[song]\n");
  ASSERT_EQ(::symlink(dir.Path("music").c_str(), dir.Path("music/A/up").c_str()), 0);
  ASSERT_EQ(::symlink(dir.Path("music/Z").c_str(), dir.Path("music/B").c_str()), 0);
  ASSERT_EQ(::symlink(dir.Path("music/A/self").c_str(), dir.Path("music/A/self").c_str()), 0);
  SongList list;
  ScanSongFolders(dir.WPath("music/"), list, true);
  // "B" (a link to Z) sorts first and takes Z's one record; Z itself is not read again.
  const std::u16string m = dir.WPath("music/");
  EXPECT_EQ(Folders(list), (std::vector<std::u16string>{m + u"A/", m + u"B/"}));
}

TEST(SongListScan, AFolderReachedTwiceKeepsTheRouteTheWalkTakesFirstAtAnyDepth) {
  // "A" is walked before "Z", so its deep song is entered through A/B/C even though
  // the link "Z" reaches the same folder one level down, sooner by level.
  testsupport::TempDir dir;
  dir.WriteBytes("music/A/B/C/song.ini", "[song]\n");
  dir.WriteBytes("music/A/B/C/notes.mid", "MThd");
  dir.WriteBytes("music/A/B/song.ini", "[song]\n");
  ASSERT_EQ(::symlink(dir.Path("music/A/B/C").c_str(), dir.Path("music/Z").c_str()), 0);
  // And the other way round: the link sorts first, so it is the route kept.
  dir.WriteBytes("music/Y/X/W/song.ini", "[song]\n");
  ASSERT_EQ(::symlink(dir.Path("music/Y/X/W").c_str(), dir.Path("music/X").c_str()), 0);
  SongList list;
  ScanSongFolders(dir.WPath("music/"), list, true);
  const std::u16string m = dir.WPath("music/");
  EXPECT_EQ(Folders(list), (std::vector<std::u16string>{m + u"A/B/C/", m + u"A/B/", m + u"X/"}));
  EXPECT_EQ(list.head->md5, GetFileMD5(dir.WPath("music/A/B/C/notes.mid")));
  ExpectLinked(list);
}

TEST(SongListScan, DeepFoldersStopAtTheDepthBound) {
  testsupport::TempDir dir;
  std::string path = "music";
  for (int i = 0; i <= kMaxScanDepth + 2; ++i) {
    path += "/d";
    dir.WriteBytes(path + "/song.ini", "x");
  }
  SongList list;
  ScanSongFolders(dir.WPath("music/"), list, false);
  EXPECT_EQ(list.count, kMaxScanDepth);  // levels 1 to the bound are checked, deeper ones not
}

TEST(SongListScan, GeneratedMusicFolder) {
  testsupport::TempDir dir;
  testsupport::SongFolderLayout layout;
  layout.count = 30;
  layout.songsPerGroup = 4;
  const auto songs = testsupport::GenerateSongFolders(dir.Path("music"), layout);
  SongList list;
  ScanSongFolders(dir.WPath("music/"), list, true);
  ASSERT_EQ(list.count, 30);
  int i = 0;
  for (const SongRecord* r = list.head; r; r = r->next, ++i) {
    EXPECT_EQ(r->folder, dir.WPath("music/" + songs[static_cast<size_t>(i)].folder));
    const std::string chart = dir.ReadBytes("music/" + songs[static_cast<size_t>(i)].folder + "notes.mid");
    EXPECT_EQ(r->md5, Md5Hex(chart.data(), chart.size()));
    EXPECT_GE(chart.size(), 15000u);
    EXPECT_LE(chart.size(), 160000u);
  }
  // Every chart differs.
  std::vector<std::string> hashes;
  for (const SongRecord* r = list.head; r; r = r->next) hashes.push_back(r->md5);
  std::sort(hashes.begin(), hashes.end());
  EXPECT_EQ(std::unique(hashes.begin(), hashes.end()), hashes.end());
}

TEST(SongListLookup, ByHashPathAndIndex) {
  SongList list;
  EXPECT_EQ(list.GetAt(0), nullptr);
  EXPECT_EQ(list.FindByHash("-1"), nullptr);
  const std::string h = Md5Hex("x", 1);
  SongRecord* unreadable = list.Append();
  unreadable->md5 = "-1";
  unreadable->folder = u"music/Broken/";
  SongRecord* unhashed = list.Append();
  unhashed->folder = u"music/Plain/";
  SongRecord* good = list.Append();
  good->md5 = h;
  good->folder = u"music/Good/";
  SongRecord* again = list.Append();
  again->md5 = h;
  again->folder = u"music/Copy/";
  ExpectLinked(list);

  EXPECT_EQ(list.FindByHash(h), good);
  EXPECT_EQ(list.FindByHash("-1"), nullptr);
  EXPECT_EQ(list.FindByHash(""), nullptr);
  std::string upper = h;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  EXPECT_EQ(list.FindByHash(upper), nullptr);
  EXPECT_EQ(list.FindByHash(h.substr(0, 31)), nullptr);

  EXPECT_EQ(list.FindByPath(u"music/Plain/"), unhashed);
  EXPECT_EQ(list.FindByPath(u"music/plain/"), nullptr);
  EXPECT_EQ(list.FindByPath(u"music/Plain"), nullptr);

  EXPECT_EQ(list.GetAt(0), unreadable);
  EXPECT_EQ(list.GetAt(2), good);
  EXPECT_EQ(list.GetAt(3), again);
  EXPECT_EQ(list.GetAt(5), again);
  EXPECT_EQ(list.GetAt(-1), unreadable);

  list.Clear();
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.head, nullptr);
  SongRecord* fresh = list.Append();
  EXPECT_EQ(list.head, fresh);
  EXPECT_EQ(fresh->prev, nullptr);
  EXPECT_EQ(fresh->next, nullptr);
}

namespace {

struct Fields {
  const char* name;
  const char* artist;
  const char* album;
  int rating;
  int playCount;
  const char* lastPlay;
};

void Fill(SongList& list, const std::vector<Fields>& rows) {
  list.Clear();
  int i = 0;
  for (const Fields& f : rows) {
    SongRecord* r = list.Append();
    r->name = f.name;
    r->artist = f.artist;
    r->album = f.album;
    r->rating = f.rating;
    r->playCount = f.playCount;
    r->lastPlay = f.lastPlay;
    r->folder = u"f" + std::u16string(1, static_cast<char16_t>(u'0' + i++));
  }
}

std::string Order(const SongList& list) {
  std::string out;
  for (const SongRecord* r = list.head; r; r = r->next) out += static_cast<char>(r->folder[1]);
  return out;
}

}  // namespace

TEST(SongListSort, EachCriterionWithTiesCaseAndMissingFields) {
  const std::vector<Fields> rows = {
      {"abc", "Zed", "", 3, 0, "2024-01-02-10:00:00"},     // 0
      {"Zed", "zed", "Live", 5, 2, ""},                    // 1
      {"ab", "Zed", "live", 3, 9, "2023-12-31-23:59:59"},  // 2
      {"", "\xC3\xA9mile", "Live", 0, 2, "2024-01-02-10:00:00"},  // 3
      {"Zed", "Abba", "", 5, 0, ""},                       // 4
  };
  struct Case {
    int criterion;
    const char* order;
  } cases[] = {
      {0, "31420"},  // "" < "Zed" (twice, kept in order) < "ab" < "abc"
      {1, "40213"},  // capitals first, equal artists keep their order, bytes above 0x7F last
      {2, "04132"},  // empty albums first
      {3, "14023"},  // rating, highest first
      {4, "21304"},  // play count, highest first
      {5, "14203"},  // last play ascending, empty first
      {6, "01234"},  // no such criterion
      {-1, "01234"},
  };
  SongList list;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.criterion);
    Fill(list, rows);
    list.Sort(c.criterion);
    EXPECT_EQ(Order(list), c.order);
    ExpectLinked(list);
    // Sorting again changes nothing.
    list.Sort(c.criterion);
    EXPECT_EQ(Order(list), c.order);
    EXPECT_EQ(list.GetAt(4), list.FindByPath(u"f" + std::u16string(1, static_cast<char16_t>(c.order[4]))));
  }
}

TEST(SongListSort, MatchesTheInsertionSortOverTheLinks) {
  // The list's order must be that of the stable insertion sort: each record moved in
  // front of the earliest of the records before it that it sorts before.
  uint32_t x = 7;
  auto next = [&x] { return (x = x * 1103515245u + 12345u) >> 16; };
  const char* const names[] = {"a", "A", "b", "ab", "", "B", "a "};
  for (int criterion = 0; criterion <= 5; ++criterion) {
    SongList list;
    for (int i = 0; i < 300; ++i) {
      SongRecord* r = list.Append();
      r->name = names[next() % 7];
      r->artist = names[next() % 7];
      r->album = names[next() % 7];
      r->lastPlay = names[next() % 7];
      r->rating = static_cast<int32_t>(next() % 6);
      r->playCount = static_cast<int32_t>(next() % 4) - 1;
      r->spare = i;
    }
    auto before = [criterion](const SongRecord* a, const SongRecord* b) {
      switch (criterion) {
        case 0: return a->name < b->name;
        case 1: return a->artist < b->artist;
        case 2: return a->album < b->album;
        case 3: return a->rating > b->rating;
        case 4: return a->playCount > b->playCount;
        default: return a->lastPlay < b->lastPlay;
      }
    };
    std::vector<const SongRecord*> expected;
    for (const SongRecord* r = list.head; r; r = r->next) {
      size_t at = expected.size();
      while (at > 0 && before(r, expected[at - 1])) --at;
      expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(at), r);
    }
    list.Sort(criterion);
    std::vector<const SongRecord*> got;
    for (const SongRecord* r = list.head; r; r = r->next) got.push_back(r);
    EXPECT_EQ(got, expected) << "criterion " << criterion;
  }
}
