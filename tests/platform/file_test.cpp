#include "platform/file.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tests/support/test_support.h"

using namespace platform;

TEST(Files, ResolverFindsNamesOfAnotherCase) {
  testsupport::TempDir dir;
  dir.WriteBytes("Songs/My Song/Song.INI", "x");
  EXPECT_EQ(ResolvePath(dir.Path("songs/my song/song.ini")), dir.Path("Songs/My Song/Song.INI"));
  EXPECT_EQ(ResolvePath("songs\\MY SONG\\song.ini"), "Songs/My Song/Song.INI");
  EXPECT_TRUE(IsRegularFile(dir.Path("SONGS/my song/SONG.ini")));
  EXPECT_TRUE(IsDirectory("songs/MY SONG"));
  // A name that matches nothing comes back as written.
  EXPECT_EQ(ResolvePath(dir.Path("songs/other/x")), dir.Path("songs/other/x"));
  // A file made after a listing was cached is still found.
  dir.WriteBytes("Songs/My Song/Notes.mid", "y");
  EXPECT_EQ(ResolvePath(dir.Path("songs/my song/notes.MID")), dir.Path("Songs/My Song/Notes.mid"));
}

TEST(Files, ReadWholeFileIsBounded) {
  testsupport::TempDir dir;
  dir.WriteBytes("a.bin", std::string(1000, 'z'));
  std::string out;
  EXPECT_TRUE(ReadWholeFile("A.BIN", out));
  EXPECT_EQ(out.size(), 1000u);
  EXPECT_FALSE(ReadWholeFile("a.bin", out, 999));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(ReadWholeFile("missing.bin", out));
  dir.MakeDir("folder");
  EXPECT_FALSE(ReadWholeFile("folder", out));
}

TEST(Files, AtomicSaveReplacesOnlyOnSuccess) {
  testsupport::TempDir dir;
  dir.WriteBytes("config.ini", "old content");
  EXPECT_TRUE(WriteFileAtomic(dir.Path("config.ini"), "new content"));
  EXPECT_EQ(dir.ReadBytes("config.ini"), "new content");

  // The disk fills halfway through: the old file stays and no temporary is left.
  platform::testing::FailWritesAfter(4);
  EXPECT_FALSE(WriteFileAtomic(dir.Path("config.ini"), "newer content"));
  platform::testing::FailWritesAfter(-1);
  EXPECT_EQ(dir.ReadBytes("config.ini"), "new content");
  EXPECT_EQ(ListDirectory(dir.path()).size(), 1u);

  // A save into a folder that does not exist fails without creating anything.
  EXPECT_FALSE(WriteFileAtomic(dir.Path("nofolder/x.ini"), "x"));
}

TEST(Files, AtomicSaveReusesTheExistingFileOfAnotherCase) {
  testsupport::TempDir dir;
  dir.WriteBytes("Settings/Config.ini", "old");
  EXPECT_TRUE(WriteFileAtomic(dir.Path("settings/config.ini"), "new"));
  EXPECT_EQ(dir.ReadBytes("Settings/Config.ini"), "new");
  EXPECT_EQ(ListDirectory(dir.Path("Settings")).size(), 1u);
}

TEST(Files, Utf16LittleEndianCoding) {
  EXPECT_EQ(EncodeUtf16LE(u"A\u00E9"), std::string("A\0\xE9\0", 4));
  EXPECT_EQ(DecodeUtf16LE(std::string("A\0\xE9\0\x01", 5)), u"A\u00E9");
}
