// Career progress files: the exact bytes written, the reader against damaged files,
// the rules for recording a song result, and the creation of new files.
#include "song/career_user.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/md5.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "song/career.h"
#include "tests/support/test_support.h"

namespace {

const std::string kHashA = Md5Hex("a", 1);
const std::string kHashB = Md5Hex("b", 1);
const std::string kHashC = Md5Hex("c", 1);

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// One record; `length` replaces the payload length field when not -1.
std::string Record(uint32_t type, std::array<int32_t, 6> n, const std::string& text, long long length = -1) {
  std::string out;
  Put32(out, type);
  Put32(out, 0);
  Put32(out, length >= 0 ? static_cast<uint32_t>(length) : static_cast<uint32_t>(24 + text.size()));
  for (int32_t v : n) Put32(out, static_cast<uint32_t>(v));
  return out + text;
}

const std::string kHeader = std::string("VL\x02", 3);

bool LogHas(const testsupport::TempDir& dir, const std::string& text) {
  const auto lines = dir.GameLogTexts();
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

// A clock whose seconds move on every fifth reading, so that waiting for a free
// file name takes a few 10 ms steps instead of up to a second.
class SteppingClock : public platform::ClockSource {
 public:
  std::time_t now = 1700000000;
  int reads = 0;
  uint32_t Milliseconds() override { return 0; }
  int64_t Nanoseconds() override { return 0; }
  std::time_t CalendarTime() override {
    if (++reads % 5 == 0) ++now;
    return now;
  }
  platform::LocalDateTime LocalTime(std::time_t t) override {
    platform::LocalDateTime d;
    d.year = 2024;
    d.month = 3;
    d.day = 9;
    d.hour = static_cast<int>(t / 3600 % 24);
    d.minute = static_cast<int>(t / 60 % 60);
    d.second = static_cast<int>(t % 60);
    return d;
  }
};

}  // namespace

TEST(CareerUserFile, NewUserGoldenBytes) {
  testsupport::TempDir dir;
  CareerUser user;
  user.file = dir.WPath("user_x.dat");
  user.name = "Ann";
  user.instrument = 2;
  user.skill = 3;
  ASSERT_TRUE(UserData::Write(user));
  const std::string expected = std::string(
      "\x56\x4c\x02"
      "\x01\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\x1b\x00\x00\x00"
      "\x02\x00\x00\x00\x03\x00\x00\x00"
      "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
      "Ann",
      42);
  EXPECT_EQ(dir.ReadBytes("user_x.dat"), expected);
}

TEST(CareerUserFile, RoundTripKeepsEveryFieldAndDropsUncountedResults) {
  testsupport::TempDir dir;
  const std::string bytes = kHeader + Record(1, {7, 2, 50, 900, -5, 11}, "Band") +
                            Record(2, {500, 4, 97, 1, 8, 9}, kHashA) + Record(2, {400, 3, 90, 0, 0, 0}, kHashB) +
                            Record(9, {1, 2, 3, 4, 5, 6}, "skipped") + Record(2, {300, 2, 80, 3, 0, 0}, kHashC);
  dir.WriteBytes("u.dat", bytes);
  CareerUser user;
  UserData::Read(user, dir.WPath("u.dat"));
  EXPECT_FALSE(user.damaged);
  EXPECT_EQ(user.name, "Band");
  EXPECT_EQ(user.instrument, 7);
  EXPECT_EQ(user.skill, 2);
  EXPECT_EQ(user.progress, 50);
  EXPECT_EQ(user.score, 900);
  EXPECT_EQ(user.extra1, -5);
  EXPECT_EQ(user.extra2, 11);
  ASSERT_EQ(user.resultCount, 3);
  ASSERT_EQ(user.results.size(), 3u);
  const CareerResult& first = user.results.front();
  EXPECT_EQ(first.score, 500);
  EXPECT_EQ(first.rating, 4);
  EXPECT_EQ(first.percent, 97);
  EXPECT_EQ(first.flags, 1);
  EXPECT_EQ(first.extra1, 8);
  EXPECT_EQ(first.extra2, 9);
  EXPECT_EQ(first.hash, kHashA);

  // The result without flag bit 0 counts in memory but is not written again.
  UserData::UpdateTotals(user, 4);
  EXPECT_EQ(user.progress, 75);
  EXPECT_EQ(user.score, 1200);
  ASSERT_TRUE(UserData::Write(user));
  EXPECT_EQ(dir.ReadBytes("u.dat"), kHeader + Record(1, {7, 2, 75, 1200, -5, 11}, "Band") +
                                        Record(2, {500, 4, 97, 1, 8, 9}, kHashA) +
                                        Record(2, {300, 2, 80, 3, 0, 0}, kHashC));
}

TEST(CareerUserFile, LastUserRecordWins) {
  CareerUser user;
  const std::string bytes = kHeader + Record(1, {1, 1, 1, 1, 1, 1}, "First") + Record(1, {3, 0, 0, 0, 0, 0}, "Second");
  EXPECT_EQ(UserData::Parse(user, bytes), UserDataParse::kOk);
  EXPECT_EQ(user.name, "Second");
  EXPECT_EQ(user.instrument, 3);
  EXPECT_EQ(user.skill, 0);
}

TEST(CareerUserFile, DamagedFilesKeepWhatWasReadAndAreNeverOverwritten) {
  const std::string good = Record(1, {2, 1, 0, 100, 0, 0}, "Ann") + Record(2, {100, 3, 90, 1, 0, 0}, kHashA);
  struct Case {
    const char* what;
    std::string bytes;
    const char* log;
    int results;  // kept from before the damage
  } cases[] = {
      {"wrong magic", std::string("VX\x02", 3) + good, "User Data File Not In Correct Format:", 0},
      {"version 1", std::string("VL\x01", 3) + good, "User Data File Not In Correct Format:", 0},
      {"version 3", std::string("VL\x03", 3) + good, "User Data File Not In Correct Format:", 0},
      {"two bytes", "VL", "User Data File Not In Correct Format:", 0},
      {"length below the six numbers", kHeader + good + Record(2, {1, 1, 1, 1, 0, 0}, kHashB, 10),
       "User Data Read Length Error:", 1},
      {"length past the end", kHeader + good + Record(2, {1, 1, 1, 1, 0, 0}, kHashB, 0xFFFFFFF0ll),
       "User Data Read Length Error:", 1},
      {"five trailing bytes", kHeader + good + std::string("\x02\x00\x00\x00\x00", 5),
       "User Data Read Length Error:", 1},
      {"record cut short", kHeader + good + Record(2, {1, 1, 1, 1, 0, 0}, kHashB).substr(0, 30),
       "User Data Read Length Error:", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    dir.WriteBytes("u.dat", c.bytes);
    CareerUser user;
    UserData::Read(user, dir.WPath("u.dat"));
    EXPECT_TRUE(LogHas(dir, c.log + dir.Path("u.dat")));
    EXPECT_TRUE(user.damaged);
    EXPECT_EQ(user.resultCount, c.results);
    if (c.results > 0) {
      EXPECT_EQ(user.name, "Ann");
    }
    // A new result is kept in memory, but the damaged file stays as it was.
    EXPECT_TRUE(UserData::Save(user, 50, 1, 50, 1, 10, kHashC));
    EXPECT_EQ(user.resultCount, c.results + 1);
    EXPECT_EQ(dir.ReadBytes("u.dat"), c.bytes);
  }
}

TEST(CareerUserFile, MissingFileGivesAnEmptyUserWithoutMessage) {
  testsupport::TempDir dir;
  CareerUser user;
  user.name = "old";
  UserData::AppendResult(user);
  UserData::Read(user, dir.WPath("none.dat"));
  EXPECT_EQ(user.file, dir.WPath("none.dat"));
  EXPECT_TRUE(user.name.empty());
  EXPECT_EQ(user.resultCount, 0);
  EXPECT_TRUE(user.results.empty());
  EXPECT_FALSE(user.damaged);
  EXPECT_TRUE(dir.GameLogTexts().empty());
}

TEST(CareerUserSave, RecordingRules) {
  testsupport::TempDir dir;
  CareerUser user;
  user.file = dir.WPath("u.dat");
  user.name = "Ann";
  ASSERT_TRUE(UserData::Write(user));

  // Flags bit 0 clear, or a hash that names no song: nothing changes.
  EXPECT_FALSE(UserData::Save(user, 100, 3, 90, 0, 7, kHashA));
  EXPECT_FALSE(UserData::Save(user, 100, 3, 90, 1, 7, "-1"));
  EXPECT_FALSE(UserData::Save(user, 100, 3, 90, 1, 7, ""));
  EXPECT_EQ(user.resultCount, 0);

  EXPECT_TRUE(UserData::Save(user, 100, 3, 90, 1, 7, kHashA));
  EXPECT_TRUE(UserData::Save(user, 200, 4, 95, 1, 7, kHashB));
  EXPECT_TRUE(UserData::Save(user, 300, 5, 99, 1, 7, kHashC));
  EXPECT_EQ(user.progress, 42);  // 3 of 7 = 42.857
  EXPECT_EQ(user.score, 600);
  const std::string before = dir.ReadBytes("u.dat");

  // A lower score changes nothing, not even the file.
  EXPECT_FALSE(UserData::Save(user, 99, 6, 100, 1, 7, kHashA));
  EXPECT_EQ(dir.ReadBytes("u.dat"), before);

  // An equal score replaces rating and percent.
  EXPECT_TRUE(UserData::Save(user, 100, 6, 100, 1, 7, kHashA));
  EXPECT_EQ(user.resultCount, 3);
  EXPECT_EQ(user.results.front().rating, 6);
  EXPECT_EQ(user.results.front().percent, 100);

  CareerUser reread;
  UserData::Read(reread, dir.WPath("u.dat"));
  EXPECT_EQ(UserData::Serialize(reread), UserData::Serialize(user));
  EXPECT_EQ(reread.progress, 42);
  EXPECT_EQ(reread.results.front().rating, 6);
}

TEST(CareerUserSave, ProgressIsZeroWithoutSongsAndAtMostOneHundred) {
  testsupport::TempDir dir;
  CareerUser user;
  user.file = dir.WPath("u.dat");
  EXPECT_TRUE(UserData::Save(user, 1, 1, 1, 1, 0, kHashA));
  EXPECT_EQ(user.progress, 0);
  EXPECT_TRUE(UserData::Save(user, 1, 1, 1, 1, 1, kHashB));
  EXPECT_EQ(user.progress, 100);  // two results on a one-song track
}

TEST(CareerUserSave, FailedWriteReportsAndKeepsFileAndMemory) {
  testsupport::TempDir dir;
  CareerUser user;
  user.file = dir.WPath("u.dat");
  user.name = "Ann";
  ASSERT_TRUE(UserData::Save(user, 100, 3, 90, 1, 5, kHashA));
  const std::string before = dir.ReadBytes("u.dat");
  platform::testing::FailWritesAfter(10);
  EXPECT_TRUE(UserData::Save(user, 200, 4, 95, 1, 5, kHashB));
  platform::testing::FailWritesAfter(-1);
  EXPECT_TRUE(LogHas(dir, "Could NOT Open/Find:" + dir.Path("u.dat")));
  EXPECT_EQ(dir.ReadBytes("u.dat"), before);
  EXPECT_EQ(user.resultCount, 2);
  EXPECT_EQ(user.results.back().hash, kHashB);
}

TEST(CareerUserFiles, ListingReadsEveryDatFileAndSelectsTheFirst) {
  testsupport::TempDir dir;
  Career career;
  career.folder = dir.WPath("careers/c/");
  EXPECT_TRUE(career.LoadUserFiles());
  EXPECT_EQ(career.userCount, 0);
  EXPECT_EQ(career.selectedUser, nullptr);

  dir.WriteBytes("careers/c/user_b.dat", kHeader + Record(1, {1, 0, 0, 0, 0, 0}, "Bea"));
  dir.WriteBytes("careers/c/user_a.DAT", kHeader + Record(1, {2, 0, 0, 0, 0, 0}, "Al"));
  dir.WriteBytes("careers/c/career.ini", "x");
  dir.MakeDir("careers/c/folder.dat");  // listed like a file; reads as an empty user
  ASSERT_TRUE(career.LoadUserFiles());
  ASSERT_EQ(career.userCount, 3);
  ASSERT_EQ(career.users.size(), 3u);
  // Listing order is by folded name: folder.dat, user_a.DAT, user_b.dat.
  EXPECT_EQ(career.users[0].file, dir.WPath("careers/c/folder.dat"));
  EXPECT_EQ(career.users[0].name, "");
  EXPECT_EQ(career.users[1].name, "Al");
  EXPECT_EQ(career.users[2].name, "Bea");
  EXPECT_EQ(career.selectedUser, &career.users[0]);
  // The folder that stands where a file should be is never written over.
  EXPECT_FALSE(UserData::Write(career.users[0]));
}

TEST(CareerUserFiles, CreatedFilesGetDistinctNamesAndTheNewUserIsSelected) {
  testsupport::TempDir dir;
  dir.MakeDir("careers/c");
  SteppingClock clock;
  platform::SetClockSource(&clock);
  Career career;
  career.folder = dir.WPath("careers/c/");
  const bool first = career.CreateUserProgress(2, 3, "Ann");
  const bool second = career.CreateUserProgress(0, 1, "Bob");
  platform::SetClockSource(nullptr);
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  ASSERT_EQ(career.userCount, 2);
  EXPECT_NE(career.users[0].file, career.users[1].file);
  ASSERT_NE(career.selectedUser, nullptr);
  EXPECT_EQ(career.selectedUser->name, "Bob");
  EXPECT_EQ(career.selectedUser->instrument, 0);
  EXPECT_EQ(career.selectedUser->skill, 1);

  const CareerUser& ann = career.users[0];
  EXPECT_EQ(ann.name, "Ann");
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(ann.file, bytes));
  EXPECT_EQ(bytes.size(), 42u);
  const std::u16string prefix = dir.WPath("careers/c/user_2024-03-09-");
  EXPECT_EQ(ann.file.substr(0, prefix.size()), prefix);
  EXPECT_EQ(ann.file.substr(ann.file.size() - 4), u".dat");
  EXPECT_EQ(ann.file.size(), prefix.size() + 6 + 4);
}
