// The song library: the one-level folder scan with scores and optional MD5s, the
// nine sort orders, the career track layout and the reload of changed score files.
#include "song/song_library.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/md5.h"
#include "song/career.h"
#include "tests/support/song_folder_generator.h"
#include "tests/support/test_support.h"

namespace {

void AddScore(const std::u16string& folder, int32_t score) {
  ScoreTable table;
  table.Load(folder);
  ASSERT_TRUE(table.AddScore(1, score, 4, 90, 3, 2, "Ann"));
}

}  // namespace

TEST(SongLibraryScan, OneEntryPerFolderAfterTheFreeOnes) {
  testsupport::TempDir dir;
  dir.WriteBytes("music/Beta/song.ini", "[song]\nname = Beta Song\nartist = B\n");
  dir.WriteBytes("music/Beta/notes.mid", "beta chart");
  dir.WriteBytes("music/alpha/Song.ini", "[song]\nname = Alpha Song\n");
  dir.WriteBytes("music/alpha/notes.mid", "");  // empty: no MD5
  dir.MakeDir("music/Empty");
  dir.MakeDir("music/Empty/Nested");  // one level only
  dir.WriteBytes("music/Nested/Deep/song.ini", "[song]\nname = Deep\n");
  dir.WriteBytes("music/loose.ini", "[song]\n");
  AddScore(dir.WPath("music/Beta/"), 5000);

  SongLibrary library(2, 0, true, dir.WPath("music"));
  EXPECT_EQ(library.root, dir.WPath("music/"));
  ASSERT_EQ(library.count, 6);
  ASSERT_EQ(library.entries.size(), 6u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(library.entries[static_cast<size_t>(i)].info.name.empty());
    EXPECT_TRUE(library.entries[static_cast<size_t>(i)].info.path.empty());
  }
  // By name: the two folders without "song.ini" are named by their path, which
  // begins with '/' and so sorts before the capital letters.
  const std::string m = dir.Path("music/");
  EXPECT_EQ(library.entries[2].info.name, m + "Empty");
  EXPECT_FALSE(library.entries[2].info.iniFound);
  EXPECT_EQ(library.entries[3].info.name, m + "Nested");
  EXPECT_EQ(library.entries[4].info.name, "Alpha Song");
  EXPECT_EQ(library.entries[5].info.name, "Beta Song");
  EXPECT_EQ(library.entries[5].info.path, dir.WPath("music/Beta/"));
  EXPECT_EQ(library.entries[5].scores.count, 1);
  EXPECT_EQ(library.entries[5].scores.entries[0].score, 5000);
  EXPECT_EQ(library.entries[5].notesMd5, Md5Hex("beta chart", 10));
  EXPECT_EQ(library.entries[4].notesMd5, "");
  EXPECT_EQ(library.entries[2].notesMd5, "");

  SongLibrary plain(1, 0, false, dir.WPath("music/"));
  ASSERT_EQ(plain.count, 5);
  EXPECT_EQ(plain.entries[4].info.name, "Beta Song");
  EXPECT_EQ(plain.entries[4].notesMd5, "");
  EXPECT_EQ(plain.entries[4].scores.count, 1);
}

TEST(SongLibraryScan, RootThatCannotBeListedGivesTheFreeEntriesOnly) {
  testsupport::TempDir dir;
  SongLibrary library(2, 0, true, dir.WPath("missing/"));
  EXPECT_EQ(library.count, 2);
  EXPECT_FALSE(library.ReadFolders(2, dir.WPath("missing/")));
  library.Free();
  EXPECT_EQ(library.count, 0);
  EXPECT_TRUE(library.entries.empty());
}

TEST(SongLibraryScan, GeneratedFolderSortedByArtist) {
  testsupport::TempDir dir;
  testsupport::SongFolderLayout layout;
  layout.count = 40;
  layout.seed = 3;
  const auto songs = testsupport::GenerateSongFolders(dir.Path("music"), layout);
  SongLibrary library(2, 1, true, dir.WPath("music/"));
  ASSERT_EQ(library.count, 42);
  EXPECT_EQ(library.sortCriterion, 1);
  for (size_t i = 3; i < library.entries.size(); ++i) {
    EXPECT_LE(library.entries[i - 1].info.artist, library.entries[i].info.artist);
  }
  // Every generated song is there with its own title and chart MD5.
  for (const auto& song : songs) {
    const std::u16string path = dir.WPath("music/" + song.folder);
    const SongLibraryEntry* found = nullptr;
    for (const SongLibraryEntry& e : library.entries) {
      if (e.info.path == path) found = &e;
    }
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->info.name, song.name);
    EXPECT_EQ(found->info.rating, song.rating);
    const std::string chart = dir.ReadBytes("music/" + song.folder + "notes.mid");
    EXPECT_EQ(found->notesMd5, Md5Hex(chart.data(), chart.size()));
  }
}

namespace {

struct Row {
  const char* name;
  const char* artist;
  const char* album;
  int band;
  int rating;
  int count;
  const char* genre;
  const char* year;
  const char* track;
};

SongLibrary Make(const std::vector<Row>& rows) {
  SongLibrary library;
  library.entries.resize(2 + rows.size());
  library.entries[0].info.name = "free row 0";
  library.entries[1].info.name = "~free row 1";
  for (size_t i = 0; i < rows.size(); ++i) {
    SongInfo& info = library.entries[2 + i].info;
    const Row& r = rows[i];
    info.name = r.name;
    info.artist = r.artist;
    info.album = r.album;
    info.diff_band = r.band;
    info.rating = r.rating;
    info.count = r.count;
    info.genre = r.genre;
    info.year = r.year;
    info.track = r.track;
    info.path = std::u16string(1, static_cast<char16_t>(u'0' + i));
  }
  library.count = static_cast<int32_t>(library.entries.size());
  return library;
}

std::string Order(const SongLibrary& library) {
  std::string out;
  for (size_t i = 2; i < library.entries.size(); ++i) out += static_cast<char>(library.entries[i].info.path[0]);
  return out;
}

}  // namespace

TEST(SongLibrarySort, EveryCriterionWithTiesCaseAndMissingFields) {
  const std::vector<Row> rows = {
      {"abc", "Zed", "Live", 3, 2, 0, "Rock", "2010", "10"},        // 0
      {"Zed", "zed", "", -1, 5, 7, "rock", "1999", "2"},            // 1
      {"ab", "Zed", "live", 3, 0, 7, "", "999", ""},                // 2
      {"", "\xC3\xA9t\xC3\xA9", "Live", 6, 5, 1, "Rock", "", "1"},  // 3
      {"Zed", "Abba", "A", 0, 2, 0, "Metal", "2010", "10"},         // 4
  };
  struct Case {
    int criterion;
    const char* order;
  } cases[] = {
      {0, "31420"},  // "" < "Zed" < "Zed" < "ab" < "abc"
      {1, "40213"},  // capitals first, bytes above 0x7F last
      {2, "14032"},  // "" < "A" < "Live" < "Live" < "live"
      {3, "30241"},  // diff_band, highest first
      {4, "13042"},  // rating, highest first
      {5, "12304"},  // play count, highest first
      {6, "24031"},  // "" < "Metal" < "Rock" < "Rock" < "rock"
      {7, "20413"},  // year as text, descending: 999, 2010, 2010, 1999, ""
      {8, "23041"},  // track as text: "", "1", "10", "10", "2"
      {9, "01234"},  // no such criterion: only stored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.criterion);
    SongLibrary library = Make(rows);
    EXPECT_TRUE(library.Sort(2, c.criterion));
    EXPECT_EQ(library.sortCriterion, c.criterion);
    EXPECT_EQ(Order(library), c.order);
    // The free rows stay where they are, though they would sort elsewhere.
    EXPECT_EQ(library.entries[0].info.name, "free row 0");
    EXPECT_EQ(library.entries[1].info.name, "~free row 1");
    library.Sort(2, c.criterion);
    EXPECT_EQ(Order(library), c.order);
  }
}

TEST(SongLibrarySort, FirstIndexBoundsAndScoresTravelWithTheirEntry) {
  SongLibrary library = Make({{"b", "", "", 0, 0, 0, "", "", ""}, {"a", "", "", 0, 0, 0, "", "", ""}});
  library.entries[2].scores.count = 3;
  library.entries[2].notesMd5 = "b-hash";
  library.Sort(0, 0);  // from the start the free rows sort too
  EXPECT_EQ(library.entries[0].info.name, "a");
  EXPECT_EQ(library.entries[1].info.name, "b");
  EXPECT_EQ(library.entries[1].scores.count, 3);
  EXPECT_EQ(library.entries[1].notesMd5, "b-hash");
  EXPECT_TRUE(library.Sort(-5, 0));
  EXPECT_TRUE(library.Sort(100, 0));
  EXPECT_EQ(library.entries.size(), 4u);
}

TEST(SongLibraryCareer, TiersAndSongsAfterTwoEmptyEntries) {
  testsupport::TempDir dir;
  for (const char* s : {"a", "b", "d", "e"}) {
    dir.WriteBytes(std::string("songs/") + s + "/song.ini", std::string("[song]\nname = Song ") + s + "\n");
  }
  AddScore(dir.WPath("songs/a/"), 100);
  CareerTrack track;
  track.tiers.resize(2);
  track.tierCount = 2;
  CareerTier& t0 = track.tiers[0];
  t0.name = "Openers";
  t0.unlock = 0;
  t0.songCount = 3;
  t0.songs[0].path = dir.WPath("songs/a/");
  t0.songs[1].path = dir.WPath("songs/b/");
  t0.songs[2].path = dir.WPath("songs/c/");
  t0.songs[2].missing = true;
  CareerTier& t1 = track.tiers[1];
  t1.name = "Headliners";
  t1.unlock = 12;
  t1.locked = true;
  t1.songCount = 2;
  t1.songs[0].path = dir.WPath("songs/d/");
  t1.songs[0].locked = true;
  t1.songs[1].path = dir.WPath("songs/e/");
  t1.songs[1].locked = true;

  SongLibrary library(2, 0, false, dir.WPath("songs/"));
  ASSERT_TRUE(library.BuildFromCareerTrack(track));
  ASSERT_EQ(library.count, 9);
  ASSERT_EQ(library.entries.size(), 9u);
  EXPECT_TRUE(library.entries[0].info.name.empty());
  EXPECT_TRUE(library.entries[1].info.name.empty());
  const SongInfo& h0 = library.entries[2].info;
  EXPECT_EQ(h0.name, "Openers");
  EXPECT_EQ(h0.careerUnlock, 0);
  EXPECT_EQ(h0.careerLocked, 0);
  EXPECT_EQ(library.entries[3].info.name, "Song a");
  EXPECT_EQ(library.entries[3].info.careerLocked, 0);
  EXPECT_EQ(library.entries[3].scores.count, 0);  // scores are not loaded for a career list
  EXPECT_EQ(library.entries[4].info.name, "Song b");
  const SongInfo& missing = library.entries[5].info;
  EXPECT_EQ(missing.name, "=SONG MISSING=");
  EXPECT_TRUE(missing.iniFound);
  EXPECT_EQ(missing.careerLocked, 1);
  const SongInfo& h1 = library.entries[6].info;
  EXPECT_EQ(h1.name, "Headliners");
  EXPECT_EQ(h1.careerUnlock, 12);
  EXPECT_EQ(h1.careerLocked, 1);
  EXPECT_EQ(library.entries[7].info.name, "Song d");
  EXPECT_EQ(library.entries[7].info.careerLocked, 1);
  EXPECT_EQ(library.entries[8].info.name, "Song e");
}

TEST(SongLibraryScores, ReloadReadsFlaggedTablesAndClearsTheFlag) {
  testsupport::TempDir dir;
  dir.WriteBytes("music/A/song.ini", "[song]\nname = A\n");
  dir.WriteBytes("music/B/song.ini", "[song]\nname = B\n");
  dir.MakeDir("music/C");
  SongLibrary library(2, 0, false, dir.WPath("music/"));
  ASSERT_EQ(library.count, 5);
  // By name; the folder without "song.ini" is named by its path and comes first.
  SongLibraryEntry& c = library.entries[2];
  SongLibraryEntry& a = library.entries[3];
  SongLibraryEntry& b = library.entries[4];
  ASSERT_EQ(a.info.name, "A");
  ASSERT_EQ(b.info.name, "B");
  EXPECT_EQ(a.scores.count, 0);
  AddScore(dir.WPath("music/A/"), 700);
  AddScore(dir.WPath("music/B/"), 800);
  a.scores.reloadFlag = 1;
  c.scores.reloadFlag = 1;  // never loaded: nothing to read
  ASSERT_TRUE(library.ReloadScores());
  EXPECT_EQ(a.scores.count, 1);
  EXPECT_EQ(a.scores.entries[0].score, 700);
  EXPECT_EQ(a.scores.reloadFlag, 0);
  EXPECT_EQ(b.scores.count, 0);  // not flagged
  EXPECT_EQ(c.scores.count, 0);
  EXPECT_EQ(c.scores.reloadFlag, 0);
}
