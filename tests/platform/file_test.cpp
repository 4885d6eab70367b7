#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

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

namespace {
// Collects the file layer's notices for one test.
struct NoticeLog {
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }
  NoticeLog() {
    Lines().clear();
    SetFileNoticeSink([](const std::string& line) { Lines().push_back(line); });
  }
  ~NoticeLog() { SetFileNoticeSink(nullptr); }
  bool Has(std::string_view start) const {
    for (const std::string& l : Lines())
      if (l.rfind(start, 0) == 0) return true;
    return false;
  }
};
}  // namespace

// A FIFO or a link to a device in place of a game file must not hang a reader.
TEST(Files, ReadingOpensRegularFilesOnly) {
  testsupport::TempDir dir;
  NoticeLog notices;
  ASSERT_EQ(::mkfifo(dir.Path("config.ini").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("/dev/zero", dir.Path("notes.mid").c_str()), 0);
  dir.MakeDir("folder");
  std::string out = "old";
  for (const char* name : {"config.ini", "notes.mid", "folder"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(OpenFile(dir.Path(name), "rb"), nullptr);
    EXPECT_FALSE(ReadWholeFile(dir.Path(name), out));
    EXPECT_TRUE(out.empty());
  }
  EXPECT_TRUE(notices.Has("Not a regular file, not read: " + dir.Path("config.ini")));
  EXPECT_TRUE(notices.Has("Not a regular file, not read: " + dir.Path("notes.mid")));
  // A link to a regular file still reads.
  dir.WriteBytes("real.mid", "MThd");
  ASSERT_EQ(::symlink(dir.Path("real.mid").c_str(), dir.Path("link.mid").c_str()), 0);
  EXPECT_TRUE(ReadWholeFile(dir.Path("link.mid"), out));
  EXPECT_EQ(out, "MThd");
}

TEST(Files, OversizeFileIsRefusedBeforeReading) {
  testsupport::TempDir dir;
  NoticeLog notices;
  dir.WriteBytes("big.ini", std::string(5000, ' '));
  std::string out;
  EXPECT_FALSE(ReadWholeFile(dir.Path("big.ini"), out, 4096));
  EXPECT_TRUE(notices.Has("File too large, not read: " + dir.Path("big.ini") + " (5000 bytes, at most 4096)"));
}

// Root may write anything, so the check reads the mode bits: a file with no write
// bit for anyone was protected on purpose and is never replaced.
TEST(Files, AtomicSaveRefusesAReadOnlyFile) {
  testsupport::TempDir dir;
  NoticeLog notices;
  dir.WriteBytes("profile.dat", "mine");
  ASSERT_EQ(::chmod(dir.Path("profile.dat").c_str(), 0444), 0);
  EXPECT_TRUE(IsWriteProtected(dir.Path("profile.dat")));
  AtomicFile f;
  EXPECT_FALSE(f.Open(dir.Path("profile.dat")));
  EXPECT_TRUE(f.RefusedReadOnly());
  EXPECT_FALSE(WriteFileAtomic(dir.Path("profile.dat"), "new"));
  EXPECT_EQ(dir.ReadBytes("profile.dat"), "mine");
  EXPECT_TRUE(notices.Has("File is read-only, not saved: " + dir.Path("profile.dat")));
  EXPECT_EQ(ListDirectory(dir.path()).size(), 1u);  // no temporary file left

  // Writable again, or not there yet: saved.
  ASSERT_EQ(::chmod(dir.Path("profile.dat").c_str(), 0644), 0);
  EXPECT_FALSE(IsWriteProtected(dir.Path("profile.dat")));
  EXPECT_TRUE(WriteFileAtomic(dir.Path("profile.dat"), "new"));
  EXPECT_EQ(dir.ReadBytes("profile.dat"), "new");
  EXPECT_FALSE(IsWriteProtected(dir.Path("missing.dat")));
}

TEST(Files, DamagedFileIsKeptBesideItself) {
  testsupport::TempDir dir;
  NoticeLog notices;
  dir.WriteBytes("vl.dat", "first");
  EXPECT_TRUE(KeepDamagedCopy(dir.Path("vl.dat")));
  EXPECT_EQ(dir.ReadBytes("vl.dat.bad"), "first");
  EXPECT_TRUE(notices.Has("Damaged file kept as: " + dir.Path("vl.dat.bad")));
  // A later damaged file never replaces an earlier copy; the replacement by rename
  // leaves the copy's bytes alone.
  ASSERT_TRUE(WriteFileAtomic(dir.Path("vl.dat"), "second"));
  EXPECT_EQ(dir.ReadBytes("vl.dat.bad"), "first");
  EXPECT_TRUE(KeepDamagedCopy(dir.Path("vl.dat")));
  EXPECT_EQ(dir.ReadBytes("vl.dat.bad2"), "second");
  EXPECT_TRUE(KeepDamagedCopy(dir.Path("missing.dat")));  // nothing to keep
  EXPECT_FALSE(PathExists(dir.Path("missing.dat.bad")));
}

TEST(Files, StaleTemporaryFilesOfUnfinishedSavesAreRemoved) {
  testsupport::TempDir dir;
  NoticeLog notices;
  const auto age = [&](const char* name, time_t seconds) {
    dir.WriteBytes(name, "x");
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = ::time(nullptr) - seconds;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.Path(name).c_str(), times, 0), 0);
  };
  age("config.ini.tmp4242_0", 7200);   // ours, old: goes
  age("vl.dat.tmp17_12", 86400);       // ours, old: goes
  age("config.ini.tmp4243_1", 10);     // ours, a save that may be running: stays
  age("notes.tmp", 7200);              // not ours: stays
  age("song.ini.tmpab_1", 7200);       // not ours: stays
  age("config.ini", 7200);
  EXPECT_EQ(RemoveStaleTempFiles(dir.path(), 3600), 2);
  std::vector<std::string> left;
  for (const DirEntry& e : ListDirectory(dir.path())) left.push_back(e.name);
  EXPECT_EQ(left, (std::vector<std::string>{"config.ini", "config.ini.tmp4243_1", "notes.tmp", "song.ini.tmpab_1"}));
  EXPECT_TRUE(notices.Has("Removed unfinished save: " + dir.path() + "/vl.dat.tmp17_12"));
  EXPECT_FALSE(IsAtomicTempName(".tmp1_2"));
  EXPECT_FALSE(IsAtomicTempName("a.tmp1_"));
  EXPECT_TRUE(IsAtomicTempName("a.b.tmp1_2"));
}
