// "song.ini": reading the files people actually have, and writing single keys
// without disturbing anything else of the user's file.
#include "song/song_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace {

bool LogHas(const testsupport::TempDir& dir, const std::string& text) {
  const auto lines = dir.GameLogTexts();
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t nl = bytes.find('\n', start);
    if (nl == std::string::npos) nl = bytes.size() - 1;
    out.push_back(bytes.substr(start, nl + 1 - start));
    start = nl + 1;
  }
  return out;
}

class SongIniTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::testing::FailWritesAfter(-1); }
  void Write(const std::string& bytes) const {
    dir.WriteBytes("song/song.ini", bytes);
    platform::InvalidatePathCache();
  }
  std::string Read() const { return dir.ReadBytes("song/song.ini"); }
  std::u16string Folder() const { return dir.WPath("song/"); }
  SongInfo ReadInfo() const {
    SongInfo info;
    EXPECT_TRUE(info.ReadIni(Folder()));
    return info;
  }

  testsupport::TempDir dir;
};

TEST_F(SongIniTest, ReadsTheFilesPeopleHave) {
  struct Case {
    const char* what;
    std::string bytes;
    std::function<void(const SongInfo&)> check;
  };
  const Case cases[] = {
      {"canonical", "[song]\nname = Song A\nartist = Band\ndelay = -120\ndiff_guitar = 4\ncount = 7\n",
       [](const SongInfo& i) {
         EXPECT_EQ(i.name, "Song A");
         EXPECT_EQ(i.artist, "Band");
         EXPECT_EQ(i.delay, -120);
         EXPECT_EQ(i.diff_guitar, 4);
         EXPECT_EQ(i.count, 7);
         EXPECT_EQ(i.kit_type, 1);  // untouched defaults
         EXPECT_EQ(i.preview_start_time, -1);
       }},
      {"byte-order mark, CR LF, [Song], loose spacing",
       "\xEF\xBB\xBF[Song]\r\nname=Foo Bar\r\n\r\ngenre =\r\nartist   =   The Band  \r\nyear = 1999\r\n",
       [](const SongInfo& i) {
         EXPECT_TRUE(i.iniRead);
         EXPECT_EQ(i.name, "Foo Bar");
         EXPECT_EQ(i.genre, "");
         EXPECT_EQ(i.artist, "The Band");
         EXPECT_EQ(i.year, "1999");
       }},
      {"blank lines before the header, tabs", "\n  \n\t[SONG]  \nname\t=\tTabbed\n",
       [](const SongInfo& i) { EXPECT_EQ(i.name, "Tabbed"); }},
      {"keys ignore case, last one wins, frets is the charter",
       "[song]\nName = First\nNAME = Second\nfrets = Someone\n",
       [](const SongInfo& i) {
         EXPECT_EQ(i.name, "Second");
         EXPECT_EQ(i.charter, "Someone");
       }},
      {"rating is clamped, numbers read as atoi", "[song]\nrating = 9\ndelay = 12abc\ncount = abc\n",
       [](const SongInfo& i) {
         EXPECT_EQ(i.rating, 5);
         EXPECT_EQ(i.delay, 12);
         EXPECT_EQ(i.count, 0);
       }},
      {"negative rating", "[song]\nrating = -3\n", [](const SongInfo& i) { EXPECT_EQ(i.rating, 0); }},
      {"true-text switches", "[song]\nsysex_slider = true\nsysex_rimshot = TRUE\nsysex_open_bass = 1\nfive_lane_drums = True\r\n",
       [](const SongInfo& i) {
         EXPECT_TRUE(i.sysex_slider);
         EXPECT_TRUE(i.sysex_rimshot);
         EXPECT_FALSE(i.sysex_open_bass);  // only the text True counts
         EXPECT_TRUE(i.five_lane_drums);   // CR LF does not leave "True\r"
       }},
      {"number switches", "[song]\nvideo_loop = 0\neighthnote_hopo = 1\nvl_calibrator = True\n",
       [](const SongInfo& i) {
         EXPECT_FALSE(i.video_loop);
         EXPECT_TRUE(i.eighthnote_hopo);
         EXPECT_TRUE(i.vl_calibrator);  // chart tools write True for these as well
       }},
      {"tunings with and without a trailing blank",
       "[song]\nreal_guitar_tuning = 0 -2 0 0 0 0 \nreal_bass_tuning = 1 2 3 4 5 -6\n",
       [](const SongInfo& i) {
         EXPECT_EQ(i.real_guitar_tuning, (std::array<int32_t, 6>{0, -2, 0, 0, 0, 0}));
         EXPECT_EQ(i.real_bass_tuning, (std::array<int32_t, 6>{1, 2, 3, 4, 5, -6}));
       }},
      {"lines without a key are skipped", "[song]\n; a comment\n= orphan\njust text\nname = Kept\n",
       [](const SongInfo& i) { EXPECT_EQ(i.name, "Kept"); }},
      {"no header", "name = Lost\n[song]\n", [](const SongInfo& i) {
         EXPECT_EQ(i.name, "song.ini Error");
         EXPECT_TRUE(i.iniFound);
         EXPECT_FALSE(i.iniRead);
       }},
      {"empty file", "", [](const SongInfo& i) {
         EXPECT_EQ(i.name, "song.ini Error");
         EXPECT_TRUE(i.iniFound);
       }},
      {"binary junk", std::string("\0\xFF\x01[song]\0", 9), [](const SongInfo& i) {
         EXPECT_EQ(i.name, "song.ini Error");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write(c.bytes);
    const SongInfo info = ReadInfo();
    EXPECT_TRUE(info.iniFound);
    c.check(info);
  }
}

TEST_F(SongIniTest, WithoutAFileTheNameIsTheFolder) {
  dir.MakeDir("song");
  SongInfo info;
  info.name = "old";
  EXPECT_TRUE(info.ReadIni(dir.WPath("song")));  // a folder given without its '/'
  EXPECT_FALSE(info.iniFound);
  EXPECT_EQ(info.path, dir.WPath("song/"));
  EXPECT_EQ(info.name, dir.Path("song"));
  EXPECT_EQ(info.video_end_time, -1);
}

TEST(ParseTuningTest, TakesUpToSixValues) {
  std::array<int32_t, 6> t{9, 9, 9, 9, 9, 9};
  EXPECT_FALSE(ParseTuning(t, "1 2"));
  EXPECT_EQ(t, (std::array<int32_t, 6>{1, 2, 9, 9, 9, 9}));
  EXPECT_TRUE(ParseTuning(t, "  -1  -2 -3 -4 -5 -6 7"));
  EXPECT_EQ(t, (std::array<int32_t, 6>{-1, -2, -3, -4, -5, -6}));
  EXPECT_FALSE(ParseTuning(t, ""));
}

TEST_F(SongIniTest, ChangesOnlyTheLineOfTheKey) {
  struct Case {
    const char* what;
    std::string before;
    const char* key;
    const char* value;
    std::string after;
  };
  const Case cases[] = {
      {"key in another case", "[song]\ncount = 3\n", "COUNT", "4", "[song]\nCOUNT = 4\n"},
      {"absent key goes after the last line", "[song]\nname = A\n", "count", "1", "[song]\nname = A\ncount = 1\n"},
      {"every matching line", "[song]\ncount = 1\nname = A\nCount=2\n", "count", "9",
       "[song]\ncount = 9\nname = A\ncount = 9\n"},
      {"blank lines and CR LF stay", "[song]\r\n\r\nname = A\r\n\r\n", "count", "1",
       "[song]\r\n\r\nname = A\r\ncount = 1\r\n\r\n"},
      {"no line end at the end", "[song]\nname = A", "count", "1", "[song]\nname = A\ncount = 1\n"},
      {"only the header, no line end", "[song]", "count", "1", "[song]\r\ncount = 1\r\n"},
      {"same value leaves the line as typed", "[song]\nCount=5\n", "count", "5", "[song]\nCount=5\n"},
      {"a line end in the value stays on one line", "[song]\n", "name", "a\r\nb", "[song]\nname = a  b\n"},
      {"byte-order mark kept", "\xEF\xBB\xBF[song]\nname = A\n", "name", "B", "\xEF\xBB\xBF[song]\nname = B\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write(c.before);
    EXPECT_TRUE(SetSongIniValue(Folder(), c.key, c.value));
    EXPECT_EQ(Read(), c.after);
  }
}

// A file as chart tools and people leave it: every line but the written one stays
// byte for byte.
TEST_F(SongIniTest, KeepsEveryOtherLineOfARealFile) {
  const std::string file =
      "\xEF\xBB\xBF[Song]\r\n"
      "name=Night Drive\r\n"
      "artist = The Examples \r\n"
      "; charted by hand\r\n"
      "album_track = 3\r\n"
      "pro_drums = True\r\n"
      "\r\n"
      "playlist_track=\r\n"
      "count = 12\r\n"
      "preview_end_time = 45000\r\n"
      "tags = cover,live\r\n"
      "Modchart = 0\r\n";
  Write(file);
  ASSERT_TRUE(SetSongIniValue(Folder(), "count", "13"));
  const std::vector<std::string> before = Lines(file), after = Lines(Read());
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    if (i == 8) {
      EXPECT_EQ(after[i], "count = 13\r\n");
    } else {
      EXPECT_EQ(after[i], before[i]) << "line " << i;
    }
  }
  const SongInfo info = ReadInfo();
  EXPECT_EQ(info.count, 13);
  EXPECT_EQ(info.name, "Night Drive");
}

TEST_F(SongIniTest, LongFilesKeepAllTheirLines) {
  std::string file = "[song]\n";
  for (int i = 1; i < 150; ++i) file += "custom_key_" + std::to_string(i) + " = value " + std::to_string(i) + "\n";
  Write(file);
  ASSERT_TRUE(SetSongIniValue(Folder(), "custom_key_140", "changed"));
  std::vector<std::string> lines = Lines(Read());
  ASSERT_EQ(lines.size(), 150u);
  EXPECT_EQ(lines[140], "custom_key_140 = changed\n");
  EXPECT_EQ(lines[149], "custom_key_149 = value 149\n");
  ASSERT_TRUE(SetSongIniValue(Folder(), "song_length", "183000"));
  lines = Lines(Read());
  ASSERT_EQ(lines.size(), 151u);
  EXPECT_EQ(lines[150], "song_length = 183000\n");
}

TEST_F(SongIniTest, FilesItCannotReadAreNeverWritten) {
  // No file: nothing is created.
  dir.MakeDir("song");
  EXPECT_FALSE(SetSongIniValue(Folder(), "count", "1"));
  EXPECT_FALSE(platform::PathExists(dir.Path("song/song.ini")));
  SongInfo missing = ReadInfo();
  EXPECT_FALSE(missing.SaveIni());
  EXPECT_FALSE(platform::PathExists(dir.Path("song/song.ini")));

  // A file without its header, as a UTF-16 file looks to a byte reader.
  const std::string foreign = std::string("\xFF\xFE[\0s\0o\0n\0g\0]\0\r\0\n\0n\0=\0x\0", 24);
  Write(foreign);
  EXPECT_FALSE(SetSongIniValue(Folder(), "count", "1"));
  EXPECT_EQ(Read(), foreign);
  EXPECT_TRUE(LogHas(dir, "song.ini not changed, it has no [song] line: " + dir.Path("song/song.ini")));

  // The record read from it holds only defaults and the error name: saving it is refused.
  SongInfo failed = ReadInfo();
  EXPECT_EQ(failed.name, "song.ini Error");
  EXPECT_FALSE(failed.SaveIni());
  EXPECT_EQ(Read(), foreign);
  EXPECT_TRUE(LogHas(dir, "song.ini not saved, it was not read: " + dir.Path("song/song.ini")));
}

// A text file without its "[song]" line gets one with the new value, so the play
// count is kept from then on; the mark and the line ends stay as they were.
TEST_F(SongIniTest, AFileWithoutItsHeaderGetsOne) {
  struct Case {
    const char* name;
    std::string before, after;
  };
  const Case cases[] = {
      {"LF", "name = A\ncount = 3\n", "[song]\nname = A\ncount = 4\n"},
      {"CR LF, no count yet", "name = A\r\n\r\n", "[song]\r\nname = A\r\ncount = 4\r\n\r\n"},
      {"mark, last line unended", "\xEF\xBB\xBFname = A", "\xEF\xBB\xBF[song]\r\nname = A\r\ncount = 4\r\n"},
      {"another section first", "[other]\nname = A\n", "[song]\n[other]\nname = A\ncount = 4\n"},
      {"empty", "", "[song]\r\ncount = 4\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Write(c.before);
    EXPECT_TRUE(SetSongIniValue(Folder(), "count", "4"));
    EXPECT_EQ(Read(), c.after);
    SongInfo info = ReadInfo();
    EXPECT_EQ(info.count, 4);
  }
}

TEST_F(SongIniTest, AFailedWriteKeepsTheOldFile) {
  const std::string file = "[song]\nname = A\ncount = 3\n";
  Write(file);
  platform::testing::FailWritesAfter(5);
  EXPECT_FALSE(SetSongIniValue(Folder(), "count", "4"));
  EXPECT_EQ(Read(), file);
  EXPECT_TRUE(LogHas(dir, "song.ini could not be written: " + dir.Path("song/song.ini")));
}

// Read, change, save, read again: the program's keys come back, the user's other
// lines stay, and values already right keep the user's spelling.
TEST_F(SongIniTest, SaveIniRoundTrip) {
  Write("[song]\nName=Old Name\nartist = A\nmy_own_key = keep me\nreal_guitar_tuning = 0 0 0 0 0 -2\n\ncount = 2\n");
  SongInfo info = ReadInfo();
  EXPECT_EQ(info.real_guitar_tuning[5], -2);
  info.name = "New Name";
  info.count = 3;
  info.rating = 4;
  info.video_loop = false;
  info.real_bass_tuning = {1, 2, 3, 4, 5, 6};
  info.last_play = "2024-03-01-20:15:00";
  ASSERT_TRUE(info.SaveIni());

  const std::string saved = Read();
  const std::vector<std::string> lines = Lines(saved);
  EXPECT_EQ(lines[0], "[song]\n");
  EXPECT_EQ(lines[1], "name = New Name\n");
  EXPECT_EQ(lines[2], "artist = A\n");
  EXPECT_EQ(lines[3], "my_own_key = keep me\n");
  EXPECT_EQ(lines[5], "\n");
  EXPECT_EQ(lines[6], "count = 3\n");
  EXPECT_NE(saved.find("real_bass_tuning = 1 2 3 4 5 6 \n"), std::string::npos);
  EXPECT_NE(saved.find("video_loop = 0\n"), std::string::npos);

  const SongInfo back = ReadInfo();
  EXPECT_EQ(back.name, "New Name");
  EXPECT_EQ(back.artist, "A");
  EXPECT_EQ(back.count, 3);
  EXPECT_EQ(back.rating, 4);
  EXPECT_FALSE(back.video_loop);
  EXPECT_EQ(back.real_guitar_tuning, info.real_guitar_tuning);
  EXPECT_EQ(back.real_bass_tuning, info.real_bass_tuning);
  EXPECT_EQ(back.last_play, info.last_play);
  EXPECT_EQ(back.kit_type, 1);

  // Saving the same record again changes nothing.
  ASSERT_TRUE(back.SaveIni());
  EXPECT_EQ(Read(), saved);
}

}  // namespace
