// Player profiles: every key written and read back, the file's exact form, the
// achievements value, the two lists, read-only and unreadable files, and file names
// made from player names.
#include "song/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/kvfile.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "song/xor_scramble.h"
#include "tests/support/test_support.h"

namespace {

bool LogHas(const testsupport::TempDir& dir, const std::string& text) {
  const auto lines = dir.GameLogTexts();
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

std::vector<std::string> Utf8Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Every field away from its default.
Profile Unusual() {
  Profile p;
  p.PLAYERNAME = "Zo\xC3\xAB \"Q\"";
  p.NECK = u"Flames";
  p.LEFTY = p.LEFTYDRUMS = p.LEFTYKEYS = true;
  int32_t v = 100;
  for (int32_t* f :
       {&p.LEGACYDRUMLANECOUNT, &p.REALDRUMLAYOUT, &p.NECKSPEED, &p.NECKSPEEDREALGUITAR, &p.FAVOURITEGUITAR,
        &p.FAVOURITEREALGUITAR, &p.FAVOURITEDRUMS, &p.FAVOURITEKEYS, &p.FAVOURITEBASSSKILL, &p.FAVOURITEGUITARSKILL,
        &p.FAVOURITEDRUMSSKILL, &p.FAVOURITEKEYSSKILL, &p.FAVOURITEREALKEYSSKILL, &p.FAVOURITEREALBASSSKILL,
        &p.FAVOURITEREALGUITARSKILL, &p.FAVOURITEREALDRUMSSKILL, &p.FAVOURITEADVANCEDDRUMSSKILL, &p.DRUMSASSIST,
        &p.GUITARASSIST, &p.KEYSASSIST, &p.DANCEASSIST, &p.NECKANGLE, &p.WHAMMYFX, &p.WHAMMYDIRECTION,
        &p.REALGUITARLEGACYCUTOFF, &p.REALGUITARLEGACYSTRINGFILTER, &p.REALGUITARFRETCOUNT, &p.BLINDMODE,
        &p.REALKEYSLANECOUNT, &p.RIDECRASHFLIP, &p.VELOCITYMODE, &p.OPPOSITEHANDGHOSTING, &p.BOTSKILL,
        &p.FOURLANEFREESTYLETYPE, &p.LEGACYKEYSFINGERLAYOUT, &p.AUTOMIDILINK, &p.MIDILINKPROFILE, &p.MIDILINKTYPE,
        &p.BASSDRUMCAMERASHAKE, &p.GUITARTILT}) {
    *f = v++;
  }
  // Fields the game holds to a range take values inside it, none a default.
  p.NECKSPEED = 7, p.NECKSPEEDREALGUITAR = 8, p.FAVOURITEGUITAR = 1, p.FAVOURITEREALGUITAR = 6;
  p.FAVOURITEDRUMS = 13, p.FAVOURITEKEYS = 14, p.FAVOURITEBASSSKILL = 0, p.FAVOURITEGUITARSKILL = 1;
  p.FAVOURITEDRUMSSKILL = 2, p.FAVOURITEKEYSSKILL = 4, p.FAVOURITEREALKEYSSKILL = 4, p.FAVOURITEREALBASSSKILL = 1;
  p.FAVOURITEREALGUITARSKILL = 2, p.FAVOURITEREALDRUMSSKILL = 0, p.FAVOURITEADVANCEDDRUMSSKILL = 1;
  p.NECKANGLE = 9, p.REALGUITARLEGACYCUTOFF = 119, p.REALGUITARLEGACYSTRINGFILTER = 6, p.REALGUITARFRETCOUNT = 22;
  p.LEGACYDRUMLANECOUNT = 4, p.BLINDMODE = 5, p.REALKEYSLANECOUNT = 61, p.BOTSKILL = 5;
  p.MIDILINKPROFILE = -7;
  p.MIDILINKNAME = u"USB MIDI Keys \u00e9";
  p.achievements[3] = p.achievements[17] = p.achievements[99] = true;
  p.lists[0][0] = "0123456789abcdef0123456789abcdef";
  p.lists[0][1] = "second";
  p.listCounts[0] = 2;
  p.lists[1][0] = "other";
  p.listCounts[1] = 1;
  return p;
}

void ExpectSameStoredFields(const Profile& a, const Profile& b) {
  EXPECT_EQ(a.PLAYERNAME, b.PLAYERNAME);
  EXPECT_EQ(a.NECK, b.NECK);
  EXPECT_EQ(a.LEFTY, b.LEFTY);
  EXPECT_EQ(a.LEFTYDRUMS, b.LEFTYDRUMS);
  EXPECT_EQ(a.LEFTYKEYS, b.LEFTYKEYS);
  EXPECT_EQ(a.READONLY, b.READONLY);
  const int32_t Profile::*ints[] = {
      &Profile::LEGACYDRUMLANECOUNT, &Profile::REALDRUMLAYOUT, &Profile::NECKSPEED, &Profile::NECKSPEEDREALGUITAR,
      &Profile::FAVOURITEGUITAR, &Profile::FAVOURITEREALGUITAR, &Profile::FAVOURITEDRUMS, &Profile::FAVOURITEKEYS,
      &Profile::FAVOURITEBASSSKILL, &Profile::FAVOURITEGUITARSKILL, &Profile::FAVOURITEDRUMSSKILL,
      &Profile::FAVOURITEKEYSSKILL, &Profile::FAVOURITEREALKEYSSKILL, &Profile::FAVOURITEREALBASSSKILL,
      &Profile::FAVOURITEREALGUITARSKILL, &Profile::FAVOURITEREALDRUMSSKILL, &Profile::FAVOURITEADVANCEDDRUMSSKILL,
      &Profile::DRUMSASSIST, &Profile::GUITARASSIST, &Profile::KEYSASSIST, &Profile::DANCEASSIST,
      &Profile::NECKANGLE, &Profile::WHAMMYFX, &Profile::WHAMMYDIRECTION, &Profile::REALGUITARLEGACYCUTOFF,
      &Profile::REALGUITARLEGACYSTRINGFILTER, &Profile::REALGUITARFRETCOUNT, &Profile::BLINDMODE,
      &Profile::REALKEYSLANECOUNT, &Profile::RIDECRASHFLIP, &Profile::VELOCITYMODE, &Profile::OPPOSITEHANDGHOSTING,
      &Profile::BOTSKILL, &Profile::FOURLANEFREESTYLETYPE, &Profile::LEGACYKEYSFINGERLAYOUT, &Profile::AUTOMIDILINK,
      &Profile::MIDILINKPROFILE, &Profile::MIDILINKTYPE, &Profile::BASSDRUMCAMERASHAKE, &Profile::GUITARTILT};
  for (size_t i = 0; i < std::size(ints); ++i) EXPECT_EQ(a.*ints[i], b.*ints[i]) << "int field " << i;
  EXPECT_EQ(a.MIDILINKNAME, b.MIDILINKNAME);
  EXPECT_EQ(a.achievements, b.achievements);
  EXPECT_EQ(a.listCounts, b.listCounts);
  for (int l = 0; l < 2; ++l)
    for (int i = 0; i < a.listCounts[l]; ++i) EXPECT_EQ(a.lists[l][i], b.lists[l][i]);
}

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.MakeDir("profiles"); }
  void TearDown() override { platform::testing::FailWritesAfter(-1); }
  testsupport::TempDir dir;
};

TEST_F(ProfileTest, EveryKeyRoundTripsInTheWritersOrder) {
  Profile p = Unusual();
  p.path = u"profiles/Zoe.dat";
  ASSERT_TRUE(p.Save());

  const std::string bytes = dir.ReadBytes("profiles/Zoe.dat");
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(bytes.substr(2, 2), "\xFF\xFE");  // one byte-order mark only
  const std::vector<std::string> lines = Utf8Lines(dir.ReadUtf16("profiles/Zoe.dat"));
  const char* order[] = {
      "PLAYERNAME", "NECK", "LEFTY", "LEFTYDRUMS", "LEFTYKEYS", "NECKSPEED", "NECKSPEEDREALGUITAR",
      "FAVOURITEGUITAR", "FAVOURITEREALGUITAR", "FAVOURITEDRUMS", "FAVOURITEKEYS", "FAVOURITEBASSSKILL",
      "FAVOURITEGUITARSKILL", "FAVOURITEDRUMSSKILL", "FAVOURITEKEYSSKILL", "FAVOURITEREALKEYSSKILL",
      "FAVOURITEREALDRUMSSKILL", "FAVOURITEADVANCEDDRUMSSKILL", "FAVOURITEREALBASSSKILL",
      "FAVOURITEREALGUITARSKILL", "DRUMSASSIST", "GUITARASSIST", "KEYSASSIST", "DANCEASSIST", "REALKEYSLANECOUNT",
      "BLINDMODE", "NECKANGLE", "LEGACYDRUMLANECOUNT", "REALDRUMLAYOUT", "REALGUITARLEGACYCUTOFF",
      "REALGUITARLEGACYSTRINGFILTER", "REALGUITARFRETCOUNT", "VELOCITYMODE", "OPPOSITEHANDGHOSTING",
      "RIDECRASHFLIP", "BOTSKILL", "FOURLANEFREESTYLETYPE", "WHAMMYFX", "WHAMMYDIRECTION", "LEGACYKEYSFINGERLAYOUT",
      "MIDILINKPROFILE", "MIDILINKTYPE", "AUTOMIDILINK", "MIDILINKNAME", "BASSDRUMCAMERASHAKE", "GUITARTILT",
      "READONLY", "ACHIEVEMENTS", "ACHIEVEMENTS2", "ACHIEVEMENTS3"};
  ASSERT_EQ(lines.size(), std::size(order));
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].substr(0, lines[i].find(" = \"")), order[i]);
  EXPECT_EQ(lines[0], "PLAYERNAME = \"Zo\xC3\xAB \"Q\"\"");
  EXPECT_EQ(lines[2], "LEFTY = \"TRUE\"");
  EXPECT_EQ(lines[40], "MIDILINKPROFILE = \"-7\"");
  EXPECT_EQ(lines[46], "READONLY = \"FALSE\"");
  EXPECT_EQ(lines[48], "ACHIEVEMENTS2 = \"0123456789abcdef0123456789abcdef,second\"");

  Profile back;
  ASSERT_TRUE(back.Load(u"profiles/Zoe.dat"));
  ExpectSameStoredFields(p, back);
  EXPECT_EQ(back.path, u"profiles/Zoe.dat");
  EXPECT_FALSE(LogHas(dir, "Unknown Profile Variable!"));
}

TEST_F(ProfileTest, AchievementsLineHasTheKnownForm) {
  Profile p;
  p.achievements[0] = p.achievements[5] = p.achievements[42] = true;
  EXPECT_EQ(p.BuildAchievements(), "ayxnq`");
  p.path = u"profiles/A.dat";
  ASSERT_TRUE(p.Save());
  const std::string bytes = dir.ReadBytes("profiles/A.dat");
  const std::string line = testsupport::Utf16Bytes(u"ACHIEVEMENTS = \"ayxnq`\"\r\n", false);
  EXPECT_NE(bytes.find(line), std::string::npos);

  Profile back;
  ASSERT_TRUE(back.Load(u"profiles/A.dat"));
  for (int i = 0; i < Profile::kAchievementCount; ++i) EXPECT_EQ(back.achievements[i], i == 0 || i == 5 || i == 42) << i;

  Profile none;
  EXPECT_EQ(none.BuildAchievements(), "");
}

// The file format has no escapes, so the scrambled value must never hold a byte that
// ends the line or moves the value's end; and whatever it holds must come back.
TEST_F(ProfileTest, EveryAchievementSetSurvivesTheFile) {
  std::vector<std::vector<int>> sets;
  for (int i = 0; i < 100; ++i) sets.push_back({i});
  sets.push_back({});
  std::vector<int> all;
  for (int i = 0; i < 100; ++i) all.push_back(i);
  sets.push_back(all);
  sets.push_back({1, 22, 33, 44, 55, 66, 77, 88, 98});
  for (size_t n = 0; n < sets.size(); ++n) {
    Profile p;
    for (int i : sets[n]) p.achievements[i] = true;
    const std::string value = p.BuildAchievements();
    for (unsigned char c : value) {
      ASSERT_TRUE(c >= 0x60 && c <= 0x7F) << int(c);
    }
    if (n % 10 != 0 && n < 100) continue;  // every value is checked; a sample goes through the file
    p.path = u"profiles/S.dat";
    ASSERT_TRUE(p.Save());
    Profile back;
    ASSERT_TRUE(back.Load(u"profiles/S.dat"));
    EXPECT_EQ(back.achievements, p.achievements);
  }
}

TEST_F(ProfileTest, AchievementTokensFollowAtoi) {
  auto scrambled = [](const std::string& plain) { return XorScramble(plain, Profile::kAchievementKey); };
  Profile p;
  p.ParseAchievements(scrambled("150,-1,7"));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(p.achievements[i], i == 7) << i;
  p.ParseAchievements(scrambled("x"));  // no digits reads as 0
  EXPECT_TRUE(p.achievements[0]);
  p.ParseAchievements(scrambled("12"));  // only ever sets
  EXPECT_TRUE(p.achievements[7]);
  p.ParseAchievements("");
  EXPECT_TRUE(p.achievements[12]);
}

TEST_F(ProfileTest, ListsSplitAtCommas) {
  Profile p;
  p.ParseList("", 0);
  EXPECT_EQ(p.listCounts[0], 0);
  EXPECT_EQ(p.BuildList(0), "");
  p.ParseList("a,,b", 0);
  ASSERT_EQ(p.listCounts[0], 3);
  EXPECT_EQ(p.lists[0][1], "");
  EXPECT_EQ(p.BuildList(0), "a,,b");
  std::string many;
  for (int i = 0; i < 120; ++i) many += (i ? "," : "") + std::to_string(i);
  p.ParseList(many, 1);
  EXPECT_EQ(p.listCounts[1], 100);
  EXPECT_EQ(p.lists[1][99], "99");
  p.ParseList("x", 1);  // entries above the count keep their text
  EXPECT_EQ(p.listCounts[1], 1);
  EXPECT_EQ(p.lists[1][1], "1");
  EXPECT_EQ(p.BuildList(2), "");
  EXPECT_TRUE(p.HasListEntry("x", 1));
  EXPECT_FALSE(p.HasListEntry("1", 1));  // beyond the count
  EXPECT_FALSE(p.HasListEntry("x", 2));
}

TEST_F(ProfileTest, AddListEntrySavesAndStopsAtAHundred) {
  Profile p;
  p.path = u"profiles/L.dat";
  for (int i = 0; i < 99; ++i) p.ParseList(p.BuildList(0) + (i ? "," : "") + "h" + std::to_string(i), 0);
  ASSERT_EQ(p.listCounts[0], 99);
  EXPECT_TRUE(p.AddListEntry(0, "last"));
  Profile back;
  ASSERT_TRUE(back.Load(u"profiles/L.dat"));
  EXPECT_EQ(back.listCounts[0], 100);
  EXPECT_TRUE(back.HasListEntry("last", 0));

  const std::string before = dir.ReadBytes("profiles/L.dat");
  p.NECK = u"changed";
  EXPECT_FALSE(p.AddListEntry(0, "one more"));
  EXPECT_EQ(dir.ReadBytes("profiles/L.dat"), before);  // no save
  EXPECT_EQ(p.listCounts[0], 100);
  EXPECT_FALSE(p.AddListEntry(2, "x"));
}

TEST_F(ProfileTest, ReadOnlyProfilesAreNeverWritten) {
  dir.WriteUtf16("profiles/R.dat", "PLAYERNAME = \"Ro\"\r\nREADONLY = \"TRUE\"\r\nNECKSPEED = \"40\"\r\n");
  const std::string before = dir.ReadBytes("profiles/R.dat");
  Profile p;
  ASSERT_TRUE(p.Load(u"profiles/R.dat"));
  EXPECT_TRUE(p.READONLY);
  EXPECT_EQ(p.NECKSPEED, 40);
  p.NECKSPEED = 50;
  EXPECT_FALSE(p.Save());
  EXPECT_TRUE(p.AddListEntry(0, "kept in memory"));
  EXPECT_EQ(dir.ReadBytes("profiles/R.dat"), before);
}

TEST_F(ProfileTest, UnreadableFilesKeepTheirContent) {
  // Missing: defaults, the path kept, and the next save creates the file.
  Profile p;
  p.PLAYERNAME = "x";
  EXPECT_FALSE(p.Load(u"profiles/New.dat"));
  EXPECT_EQ(p.PLAYERNAME, "No Name");
  EXPECT_EQ(p.path, u"profiles/New.dat");
  EXPECT_TRUE(p.Save());
  EXPECT_TRUE(platform::PathExists(dir.Path("profiles/New.dat")));

  // Saved as UTF-8 by a text editor, with or without its mark: read as it is.
  for (const std::string& mark : {std::string(), std::string("\xEF\xBB\xBF")}) {
    dir.WriteBytes("profiles/Hand.dat", mark + "PLAYERNAME = \"H\xC3\xA4nd\"\nNECKSPEED = \"44\"\r\n");
    Profile h;
    EXPECT_TRUE(h.Load(u"profiles/Hand.dat"));
    EXPECT_EQ(h.PLAYERNAME, "H\xC3\xA4nd");
    EXPECT_EQ(h.NECKSPEED, 44);
  }

  // UTF-16 without its mark: logged, defaults, and the file kept beside the new one.
  const std::string nomark = testsupport::Utf16Bytes(u"PLAYERNAME = \"Hand\"\r\n", false);
  dir.WriteBytes("profiles/Hand.dat", nomark);
  Profile h;
  EXPECT_FALSE(h.Load(u"profiles/Hand.dat"));
  EXPECT_TRUE(LogHas(dir, "Profile Error. No BOM Found!. Please Use UNICODE:profiles/Hand.dat"));
  EXPECT_EQ(h.PLAYERNAME, "No Name");
  EXPECT_EQ(h.path, u"profiles/Hand.dat");
  h.achievements[1] = true;
  EXPECT_TRUE(h.Save());
  EXPECT_EQ(dir.ReadBytes("profiles/Hand.dat.bad"), nomark);
  EXPECT_TRUE(LogHas(dir, "Damaged file kept as: profiles/Hand.dat.bad"));
  Profile back;
  ASSERT_TRUE(back.Load(u"profiles/Hand.dat"));
  EXPECT_TRUE(back.achievements[1]);

  // Too large to be a profile: the same.
  const std::string huge(kMaxKeyValueFileBytes + 1, 'x');
  dir.WriteBytes("profiles/Huge.dat", huge);
  Profile g;
  EXPECT_FALSE(g.Load(u"profiles/Huge.dat"));
  EXPECT_TRUE(g.Save());
  EXPECT_EQ(dir.ReadBytes("profiles/Huge.dat.bad").size(), huge.size());
  EXPECT_TRUE(g.Load(u"profiles/Huge.dat"));

  // A file its owner made read-only is never replaced (the mode's write bits decide,
  // so this holds when the tests run as root).
  const std::string kept = dir.ReadBytes("profiles/Hand.dat");
  ASSERT_EQ(::chmod(dir.Path("profiles/Hand.dat").c_str(), 0444), 0);
  back.NECKSPEED = 20;
  EXPECT_FALSE(back.Save());
  EXPECT_EQ(dir.ReadBytes("profiles/Hand.dat"), kept);
  EXPECT_TRUE(LogHas(dir, "File is read-only, not saved: profiles/Hand.dat"));
  ASSERT_EQ(::chmod(dir.Path("profiles/Hand.dat").c_str(), 0644), 0);

  // A file too short to hold a mark is logged the same way; nothing in it to lose.
  dir.WriteBytes("profiles/Short.dat", "P");
  Profile s;
  EXPECT_FALSE(s.Load(u"profiles/Short.dat"));
  EXPECT_TRUE(LogHas(dir, "Profile Error. No BOM Found!. Please Use UNICODE:profiles/Short.dat"));
  EXPECT_TRUE(s.Save());

  // A failed write keeps the old file.
  Profile w = Unusual();
  w.path = u"profiles/New.dat";
  const std::string before = dir.ReadBytes("profiles/New.dat");
  platform::testing::FailWritesAfter(20);
  EXPECT_FALSE(w.Save());
  EXPECT_EQ(dir.ReadBytes("profiles/New.dat"), before);

  // Never loaded: no path, nothing written.
  Profile fresh;
  EXPECT_FALSE(fresh.Save());
}

TEST_F(ProfileTest, UnknownKeysAreReportedAndIgnored) {
  dir.WriteUtf16("profiles/K.dat", "neckspeed = \"99\"\r\nNECKSPEED = \"41\"\r\nBOGUS = \"1\"\r\nnot a pair\r\n");
  Profile p;
  ASSERT_TRUE(p.Load(u"profiles/K.dat"));
  EXPECT_EQ(p.NECKSPEED, 41);
  const auto lines = dir.GameLogTexts();
  // Reported once, then counted: a file of a million bad lines logs two lines.
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Unknown Profile Variable!"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Unknown Profile Variable! (2 times in all)"), 1);
}

// Values out of the range the game can use are held to it, read or saved.
TEST_F(ProfileTest, NumbersAreHeldToTheirRange) {
  struct Case {
    const char* text;
    int32_t neckSpeed, angle, frets;
  };
  const Case cases[] = {
      {"2147483647", 50, 9, 22},
      {"-2147483648", 2, 0, 17},
      {"1", 2, 1, 17},
      {"30", 30, 9, 22},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string v = c.text;
    dir.WriteUtf16("profiles/N.dat", "NECKSPEED = \"" + v + "\"\r\nNECKANGLE = \"" + v + "\"\r\nREALGUITARFRETCOUNT = \"" + v +
                                         "\"\r\n");
    Profile p;
    ASSERT_TRUE(p.Load(u"profiles/N.dat"));
    EXPECT_EQ(p.NECKSPEED, c.neckSpeed);
    EXPECT_EQ(p.NECKANGLE, c.angle);
    EXPECT_EQ(p.REALGUITARFRETCOUNT, c.frets);
  }
  Profile p;
  ASSERT_TRUE(p.Load(u"profiles/N.dat"));
  p.NECKSPEED = 900;
  ASSERT_TRUE(p.Save());
  Profile back;
  ASSERT_TRUE(back.Load(u"profiles/N.dat"));
  EXPECT_EQ(back.NECKSPEED, 50);
}

TEST_F(ProfileTest, FileNamesStayInTheProfilesFolder) {
  struct Case {
    const char* name;
    const char16_t* path;
  };
  const Case cases[] = {
      {"Guest", u"profiles/Guest.dat"},
      {"Zo\xC3\xAB", u"profiles/Zo\u00eb.dat"},
      {"a/../x", u"profiles/a_.._x.dat"},
      {"../../etc/passwd", u"profiles/.._.._etc_passwd.dat"},
      {"..\\..\\win", u"profiles/.._.._win.dat"},
      {"c:*?\"<>|", u"profiles/c_______.dat"},
      {"tab\there\n", u"profiles/tab_here_.dat"},
      {"..", u"profiles/...dat"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProfilePathForName(c.name), c.path) << c.name;

  Profile p;
  p.PLAYERNAME = "../escape";
  p.path = ProfilePathForName(p.PLAYERNAME);
  ASSERT_TRUE(p.Save());
  EXPECT_TRUE(platform::PathExists(dir.Path("profiles/.._escape.dat")));
  EXPECT_FALSE(platform::PathExists(dir.Path("escape.dat")));
  Profile back;
  ASSERT_TRUE(back.Load(p.path));
  EXPECT_EQ(back.PLAYERNAME, "../escape");  // the name inside stays as typed
}

}  // namespace
