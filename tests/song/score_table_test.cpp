// Score files: the exact bytes written, reading them back, the rules for keeping one
// result per player and play kind, the 39-result limit, and the reader against
// damaged files (bounded, logged, nothing stored lost).
#include "song/score_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/paths.h"
#include "song/xor_scramble.h"
#include "tests/support/test_support.h"

namespace {

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string Header(uint8_t version = 2, uint32_t count = 0) {
  std::string out = "VL";
  out.push_back(static_cast<char>(version));
  Put32(out, count);
  return out;
}

// One record; `length` replaces the length field when given.
std::string Record(uint32_t type, const std::string& payload, long long length = -1) {
  std::string out;
  Put32(out, type);
  Put32(out, length >= 0 ? static_cast<uint32_t>(length) : static_cast<uint32_t>(payload.size()));
  return out + payload;
}

std::string ScoreRecord(const std::string& plain) { return Record(0, XorScramble(plain, "TRUVO")); }

bool LogHas(const testsupport::TempDir& dir, const std::string& text) {
  const auto lines = dir.GameLogTexts();
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

int LogCount(const testsupport::TempDir& dir, const std::string& text) {
  const auto lines = dir.GameLogTexts();
  return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}

std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (unsigned char c : bytes) {
    s.push_back(d[c >> 4]);
    s.push_back(d[c & 15]);
  }
  return s;
}

// Counts the type-0 records of a file written by this program.
int ScoreRecordsIn(const std::string& bytes) {
  int n = 0;
  size_t at = 7;
  while (at + 8 <= bytes.size()) {
    uint32_t type = 0, len = 0;
    for (int i = 0; i < 4; ++i) type |= uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    for (int i = 0; i < 4; ++i) len |= uint32_t(static_cast<unsigned char>(bytes[at + 4 + i])) << (8 * i);
    if (type == 0) ++n;
    at += 8 + len;
  }
  return n;
}

class ScoreTableTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.MakeDir("song"); }
  void TearDown() override { platform::testing::FailWritesAfter(-1); }
  std::u16string Folder() const { return dir.WPath("song/"); }
  std::string File() const { return dir.ReadBytes("song/vl.dat"); }
  void WriteFile(const std::string& bytes) const { dir.WriteBytes("song/vl.dat", bytes); }

  testsupport::TempDir dir;
};

TEST(XorScrambleTest, RepeatsTheKeyAndUndoesItself) {
  EXPECT_EQ(Hex(XorScramble("Bob,1,123456,5,98,3,2", "TRUVO")), "163d377a7e786367657b61647963636d6a79656366");
  // A name starting with the key's first letter scrambles to a zero byte.
  const std::string tom = XorScramble("Tom", "TRUVO");
  ASSERT_EQ(tom.size(), 3u);
  EXPECT_EQ(Hex(tom), "003d38");
  EXPECT_EQ(XorScramble(tom, "TRUVO"), "Tom");
  EXPECT_EQ(XorScramble("", "TRUVO"), "");
  EXPECT_EQ(XorScramble("abc", ""), "abc");
}

// The file of one result, guitar with all five difficulties, and the MD5 of an empty
// chart, byte for byte.
TEST_F(ScoreTableTest, WritesTheKnownBytesAndReadsThemBack) {
  ScoreTable table;
  ASSERT_FALSE(table.Load(Folder()));  // no file yet
  table.availability[2].present = 1;
  table.availability[2].difficulty = {1, 1, 1, 1, 1};
  table.chartHash = "d41d8cd98f00b204e9800998ecf8427e";
  ASSERT_TRUE(table.AddScore(1, 123456, 5, 98, 3, 2, "Bob"));

  std::string expected = std::string("VL\x02", 3) + std::string("\x01\x00\x00\x00", 4);
  expected += std::string("\x00\x00\x00\x00\x15\x00\x00\x00", 8);
  const unsigned char scrambled[21] = {0x16, 0x3d, 0x37, 0x7a, 0x7e, 0x78, 0x63, 0x67, 0x65, 0x7b, 0x61,
                                       0x64, 0x79, 0x63, 0x63, 0x6d, 0x6a, 0x79, 0x65, 0x63, 0x66};
  expected.append(reinterpret_cast<const char*>(scrambled), 21);
  for (int i = 0; i < 15; ++i) expected += Record(1, std::to_string(i) + (i == 2 ? ",1,31" : ",0,0"));
  expected += Record(2, "d41d8cd98f00b204e9800998ecf8427e");
  const std::string bytes = File();
  EXPECT_EQ(bytes.size(), 277u);
  EXPECT_EQ(Hex(bytes), Hex(expected));
  EXPECT_TRUE(LogHas(dir, "Saving New:" + dir.Path("song/vl.dat")));

  ScoreTable back;
  ASSERT_TRUE(back.Load(Folder()));
  ASSERT_EQ(back.count, 1);
  const ScoreEntry& e = back.entries[0];
  EXPECT_EQ(e.name, "Bob");
  EXPECT_EQ(e.players, 1);
  EXPECT_EQ(e.score, 123456);
  EXPECT_EQ(e.rating, 5);
  EXPECT_EQ(e.percent, 98);
  EXPECT_EQ(e.difficulty, 3);
  EXPECT_EQ(e.instrument, 2);
  EXPECT_EQ(back.version, 2);
  EXPECT_EQ(back.hasAvailability, 1);
  EXPECT_EQ(back.availability[2].present, 1);
  EXPECT_EQ(back.availability[2].difficulty, (std::array<uint8_t, 5>{1, 1, 1, 1, 1}));
  EXPECT_EQ(back.availability[0].present, 0);
  EXPECT_EQ(back.chartHash, "d41d8cd98f00b204e9800998ecf8427e");
}

TEST_F(ScoreTableTest, PayloadsAreByteStrings) {
  ScoreTable table;
  table.Load(Folder());
  ASSERT_TRUE(table.AddScore(1, 500, 4, 90, 2, 1, "Tom"));    // scrambles to a leading zero byte
  ASSERT_TRUE(table.AddScore(1, 400, 4, 90, 2, 1, "Tina"));
  ASSERT_TRUE(table.AddScore(1, 300, 4, 90, 2, 1, "a,b"));    // a comma would split the fields
  ScoreTable back;
  ASSERT_TRUE(back.Load(Folder()));
  ASSERT_EQ(back.count, 3);
  EXPECT_EQ(back.entries[0].name, "Tom");
  EXPECT_EQ(back.entries[1].name, "Tina");
  EXPECT_EQ(back.entries[2].name, "a b");
  EXPECT_EQ(back.entries[2].players, 1);
  EXPECT_EQ(back.entries[2].score, 300);
  // The same player under the name as typed still finds and improves the entry.
  EXPECT_EQ(back.BestScore("a,b", 1, 1), 300);
  EXPECT_TRUE(back.AddScore(1, 350, 4, 90, 2, 1, "a,b"));
  EXPECT_EQ(back.count, 3);
  // An empty chart hash is a type-2 record of length 0 and reads back empty.
  const std::string bytes = File();
  EXPECT_EQ(bytes.substr(bytes.size() - 8), Record(2, ""));
  EXPECT_EQ(back.chartHash, "");
}

TEST_F(ScoreTableTest, KeepsOneResultPerPlayerAndPlayKind) {
  ScoreTable t;
  t.Load(Folder());
  ASSERT_TRUE(t.AddScore(1, 1000, 4, 90, 3, 2, "Ann"));  // alone on guitar
  const std::string before = File();

  struct Case {
    const char* what;
    int32_t players, score, percent, instrument;
    bool stored;
  };
  const Case notBetter[] = {
      {"lower score", 1, 999, 100, 2, false},
      {"equal score, equal percent", 1, 1000, 90, 2, false},
      {"equal score, lower percent", 1, 1000, 80, 2, false},
  };
  for (const Case& c : notBetter) {
    EXPECT_EQ(t.AddScore(c.players, c.score, 5, c.percent, 3, c.instrument, "Ann"), c.stored) << c.what;
    EXPECT_EQ(File(), before) << c.what << ": the file is not rewritten";
  }
  EXPECT_EQ(t.count, 1);

  // Equal score with a higher percent replaces the entry, all of its numbers.
  EXPECT_TRUE(t.AddScore(1, 1000, 6, 95, 4, 2, "Ann"));
  ASSERT_EQ(t.count, 1);
  EXPECT_EQ(t.entries[0].percent, 95);
  EXPECT_EQ(t.entries[0].rating, 6);
  EXPECT_EQ(t.entries[0].difficulty, 4);

  // Alone on bass is a second entry; names compare exactly.
  EXPECT_TRUE(t.AddScore(1, 700, 3, 80, 3, 1, "Ann"));
  EXPECT_TRUE(t.AddScore(1, 600, 3, 80, 3, 2, "ann"));
  EXPECT_EQ(t.count, 3);

  // With others: one entry per number of players, whatever the instrument.
  EXPECT_TRUE(t.AddScore(2, 5000, 5, 90, 3, 2, "Ann"));
  EXPECT_TRUE(t.AddScore(2, 6000, 5, 90, 3, 0, "Ann"));
  EXPECT_EQ(t.count, 4);
  EXPECT_EQ(t.BestScore("Ann", 0, 2), 6000);
  EXPECT_TRUE(t.AddScore(3, 4000, 5, 90, 3, 0, "Ann"));
  EXPECT_EQ(t.count, 5);

  // A result without players never matches: always a new entry.
  EXPECT_TRUE(t.AddScore(0, 10, 1, 10, 0, 2, "Ann"));
  EXPECT_TRUE(t.AddScore(0, 10, 1, 10, 0, 2, "Ann"));
  EXPECT_EQ(t.count, 7);

  // Memory and file agree after every change.
  ScoreTable back;
  ASSERT_TRUE(back.Load(Folder()));
  EXPECT_EQ(back.count, t.count);
  EXPECT_EQ(back.Serialize(), t.Serialize());
}

TEST_F(ScoreTableTest, BestQueriesTakeTheHighestScoringMatch) {
  ScoreTable t;
  t.Load(Folder());
  t.AddScore(1, 900, 3, 70, 2, 2, "Ann");
  t.AddScore(1, 800, 5, 99, 3, 1, "Ann");
  t.AddScore(2, 700, 4, 88, 1, 3, "Ann");
  t.AddScore(3, 1200, 6, 60, 4, 0, "Ann");
  t.AddScore(1, 5000, 6, 100, 4, 2, "Bob");

  EXPECT_EQ(t.BestScore("Ann", 2, 1), 900);
  EXPECT_EQ(t.BestRating("Ann", 1, 1), 5);
  EXPECT_EQ(t.BestDifficulty("Ann", 1, 1), 3);
  EXPECT_EQ(t.BestScore("Ann", 3, 1), -1);
  EXPECT_EQ(t.BestScore("Cat", 2, 1), -1);
  // -1: any result with others (2 or 3 players), never one played alone.
  EXPECT_EQ(t.BestScore("Ann", 99, -1), 1200);
  EXPECT_EQ(t.BestPercent("Ann", 99, -1), 60);  // the best-scoring one's percent, not the best percent
  EXPECT_EQ(t.BestScore("Bob", 2, -1), -1);
}

TEST_F(ScoreTableTest, SavesAtMost39Results) {
  ScoreTable t;
  t.Load(Folder());
  for (int i = 1; i <= 39; ++i) ASSERT_TRUE(t.AddScore(1, i * 10, 3, 50, 2, 2, "P" + std::to_string(i)));
  EXPECT_FALSE(LogHas(dir, "Score Count Limit. Deleting Lowest"));
  EXPECT_EQ(ScoreRecordsIn(File()), 39);

  ASSERT_TRUE(t.AddScore(1, 5, 3, 50, 2, 2, "Low"));  // the 40th, and the lowest
  EXPECT_TRUE(LogHas(dir, "Score Count Limit. Deleting Lowest"));
  EXPECT_EQ(t.count, 39);
  EXPECT_EQ(ScoreRecordsIn(File()), 39);
  EXPECT_EQ(t.BestScore("Low", 2, 1), -1);
  EXPECT_EQ(t.entries[38].score, 10);

  ASSERT_TRUE(t.AddScore(1, 1000, 3, 50, 2, 2, "Top"));
  EXPECT_EQ(t.count, 39);
  EXPECT_EQ(t.entries[0].name, "Top");
  EXPECT_EQ(t.BestScore("P1", 2, 1), -1);  // the lowest made room
}

// A file written elsewhere with more than 40 results: exactly 40 are read and
// nothing behind them; a new result still finds a slot and the best 39 are kept.
TEST_F(ScoreTableTest, ReadsAtMost40ResultsAndStillTakesANewOne) {
  std::string bytes = Header(2, 12345);  // the count field is not used
  for (int i = 1; i <= 45; ++i) bytes += ScoreRecord("P" + std::to_string(i) + ",1," + std::to_string(i * 10) + ",3,50,2,2");
  bytes += Record(1, "2,1,31");
  bytes += Record(2, "0123456789abcdef0123456789abcdef");
  WriteFile(bytes);

  ScoreTable t;
  ASSERT_TRUE(t.Load(Folder()));
  EXPECT_EQ(t.count, 40);
  EXPECT_EQ(t.hasAvailability, 0);
  EXPECT_EQ(t.chartHash, "");
  EXPECT_EQ(t.entries[0].score, 400);  // sorted, best first

  ASSERT_TRUE(t.AddScore(1, 395, 3, 50, 2, 2, "New"));
  EXPECT_EQ(t.count, 39);
  EXPECT_EQ(ScoreRecordsIn(File()), 39);
  EXPECT_EQ(t.BestScore("New", 2, 1), 395);
  EXPECT_EQ(t.entries[38].score, 30);  // 10 and 20 dropped
}

TEST_F(ScoreTableTest, AcceptsVersionsUpToTwo) {
  struct Case {
    uint8_t version;
    bool accepted;
  };
  for (const Case c : {Case{0, true}, Case{1, true}, Case{2, true}, Case{0x80, true}, Case{0xFF, true},
                       Case{3, false}, Case{0x7F, false}}) {
    WriteFile(Header(c.version) + ScoreRecord("Ann,1,100,3,50,2,2"));
    ScoreTable t;
    EXPECT_EQ(t.Load(Folder()), c.accepted) << int(c.version);
    EXPECT_EQ(t.count, c.accepted ? 1 : 0) << int(c.version);
    if (c.accepted) {
      EXPECT_EQ(t.version, c.version);
    }
  }
  EXPECT_TRUE(LogHas(dir, "Data File Not In Correct Format!"));
}

// Damaged files: each ends the reading with its log line, keeps what came before,
// and neither crashes nor reads outside the file (run under the sanitizers).
TEST_F(ScoreTableTest, DamagedFilesKeepWhatCameBefore) {
  const std::string good = ScoreRecord("Ann,1,100,3,50,2,2");
  struct Case {
    const char* what;
    std::string bytes;
    bool loaded;
    int count;
    const char* log;
  };
  const Case cases[] = {
      {"empty file", "", false, 0, "Data File Not In Correct Format!"},
      {"two bytes", "VL", false, 0, "Data File Not In Correct Format!"},
      {"wrong magic", std::string("LV\x02\0\0\0\0", 7) + good, false, 0, "Data File Not In Correct Format!"},
      {"count field cut", std::string("VL\x02\x01", 4), true, 0, "Data Read Length Error"},
      {"header only", Header(), true, 0, nullptr},
      {"record header cut", Header() + good + std::string("\0\0", 2), true, 1, "Data Read Length Error"},
      {"nine bytes", Header() + std::string("\0\0", 2), true, 0, "Data Read Length Error"},
      {"negative length", Header() + good + Record(0, "", 0xFFFFFFF8), true, 1, "Data Read Length Error"},
      {"huge length", Header() + good + Record(0, "x", 0x7FFFFFF8), true, 1, "Data Read Length Error"},
      {"length past the end", Header() + good + Record(0, "abc", 4), true, 1, "Data Read Length Error"},
      {"largest length", Header() + good + Record(1, "", 0xFFFFFFFF), true, 1, "Data Read Length Error"},
      {"unknown type skipped", Header() + Record(7, "junk") + good, true, 1, nullptr},
      {"record of five fields", Header() + ScoreRecord("a,1,2,3,4") + good, true, 1, nullptr},
      {"empty record", Header() + ScoreRecord("") + good, true, 1, nullptr},
  };
  for (const Case& c : cases) {
    WriteFile(c.bytes);
    const std::string logBefore = dir.ReadBytes("game_log.txt");
    ScoreTable t;
    EXPECT_EQ(t.Load(Folder()), c.loaded) << c.what;
    EXPECT_EQ(t.count, c.count) << c.what;
    if (c.count > 0) {
      EXPECT_EQ(t.entries[0].name, "Ann") << c.what;
    }
    const bool logged = dir.ReadBytes("game_log.txt").size() > logBefore.size();
    EXPECT_EQ(logged, c.log != nullptr) << c.what;
    if (c.log) {
      EXPECT_TRUE(LogHas(dir, c.log)) << c.what;
    }
    EXPECT_EQ(File(), c.bytes) << c.what << ": reading never changes the file";
  }
}

TEST_F(ScoreTableTest, AvailabilityRecordsOutsideTheTableAreRefused) {
  ScoreTable t;
  for (const char* bad : {"99,1,31", "15,1,31", "-1,1,31", "x,1,31", ",1,31", "99999999999,1,31"}) {
    WriteFile(Header() + Record(1, "0,1,1") + Record(1, bad) + Record(1, "3,1,4"));
    ASSERT_TRUE(t.Load(Folder())) << bad;
    EXPECT_EQ(t.availability[0].present, 1) << bad;  // not overwritten by a bad index
    EXPECT_EQ(t.availability[0].difficulty[0], 1) << bad;
    EXPECT_EQ(t.availability[3].difficulty[2], 1) << bad;  // reading went on
    EXPECT_EQ(t.hasAvailability, 1);
  }
  EXPECT_EQ(LogCount(dir, "Data Availability Record Error"), 6);
}

// A file this version cannot read, or one cut short, is kept beside the new one: the
// next result is stored and nothing the old file held is lost.
TEST_F(ScoreTableTest, AFileNotReadWholeIsKeptBesideTheNewOne) {
  const std::string newer = Header(3) + ScoreRecord("Ann,1,100,3,50,2,2");
  const std::string cut = Header() + ScoreRecord("Ann,1,100,3,50,2,2") + Record(0, "abc", 99) +
                          ScoreRecord("Cid,1,300,3,50,2,2");
  for (const std::string& damaged : {newer, cut}) {
    SCOPED_TRACE(Hex(damaged.substr(0, 12)));
    std::remove(dir.Path("song/vl.dat.bad").c_str());
    WriteFile(damaged);
    ScoreTable t;
    t.Load(Folder());
    EXPECT_TRUE(t.AddScore(1, 50, 1, 1, 1, 1, "Bob"));
    EXPECT_EQ(dir.ReadBytes("song/vl.dat.bad"), damaged);
    EXPECT_TRUE(LogHas(dir, "Damaged file kept as: " + dir.Path("song/vl.dat.bad")));
    ScoreTable back;
    ASSERT_TRUE(back.Load(Folder()));
    EXPECT_EQ(back.BestScore("Bob", 1, 1), 50);
    // The copy was taken once; later saves of a table read whole take no other.
    EXPECT_TRUE(back.AddScore(1, 70, 1, 1, 1, 1, "Dee"));
    EXPECT_FALSE(platform::PathExists(dir.Path("song/vl.dat.bad2")));
  }

  // A file its owner made read-only (no write bit) is never replaced.
  ScoreTable t;
  ASSERT_TRUE(t.Load(Folder()));
  const std::string before = File();
  ASSERT_EQ(::chmod(dir.Path("song/vl.dat").c_str(), 0444), 0);
  EXPECT_FALSE(t.AddScore(1, 90, 1, 1, 1, 1, "Eve"));
  EXPECT_EQ(File(), before);
  EXPECT_TRUE(LogHas(dir, "Score file is read-only, not saved: " + dir.Path("song/vl.dat")));
  ASSERT_EQ(::chmod(dir.Path("song/vl.dat").c_str(), 0644), 0);

  // A missing file is created by the next save.
  std::remove(dir.Path("song/vl.dat").c_str());
  EXPECT_FALSE(t.Load(Folder()));
  EXPECT_TRUE(t.Save());
  EXPECT_EQ(File().substr(0, 3), std::string("VL\x02", 3));
}

TEST_F(ScoreTableTest, AFailedSaveKeepsTheOldFileAndTheNewResult) {
  ScoreTable t;
  t.Load(Folder());
  ASSERT_TRUE(t.AddScore(1, 100, 3, 50, 2, 2, "Ann"));
  const std::string before = File();

  platform::testing::FailWritesAfter(10);
  EXPECT_FALSE(t.AddScore(1, 200, 3, 50, 2, 1, "Bob"));  // a new entry
  EXPECT_TRUE(LogHas(dir, "Could NOT Open/Find:" + dir.Path("song/vl.dat")));
  EXPECT_EQ(File(), before);
  EXPECT_EQ(t.count, 2);
  EXPECT_EQ(t.BestScore("Bob", 1, 1), 200);  // still in memory, not lost by a reload

  platform::testing::FailWritesAfter(10);
  EXPECT_FALSE(t.AddScore(1, 300, 3, 50, 2, 2, "Ann"));  // an improved entry
  EXPECT_EQ(File(), before);
  EXPECT_EQ(t.BestScore("Ann", 2, 1), 300);

  platform::testing::FailWritesAfter(-1);
  EXPECT_TRUE(t.Save());
  ScoreTable back;
  ASSERT_TRUE(back.Load(Folder()));
  EXPECT_EQ(back.count, 2);

  // A folder that does not exist cannot take the file.
  ScoreTable nowhere;
  nowhere.Load(dir.WPath("missing/"));
  EXPECT_FALSE(nowhere.AddScore(1, 1, 1, 1, 1, 1, "Ann"));
  EXPECT_TRUE(LogHas(dir, "Could NOT Open/Find:" + dir.Path("missing/vl.dat")));
}

// A record of six fields leaves the instrument at the new-entry value, not at what
// the slot held from an earlier load.
TEST_F(ScoreTableTest, ShortRecordsDoNotInheritAnEarlierLoad) {
  WriteFile(Header() + ScoreRecord("Ann,1,100,3,50,2,9"));
  ScoreTable t;
  ASSERT_TRUE(t.Load(Folder()));
  EXPECT_EQ(t.entries[0].instrument, 9);
  WriteFile(Header() + ScoreRecord("Ann,1,100,3,50,2"));
  ASSERT_TRUE(t.Load(Folder()));
  ASSERT_EQ(t.count, 1);
  EXPECT_EQ(t.entries[0].instrument, 0);
  EXPECT_EQ(t.entries[0].difficulty, 2);
}

}  // namespace
