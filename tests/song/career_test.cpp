// Careers: the folder scan, tier files read and written, songs found again by their
// chart MD5, unlocking by rating points, and the orphan check that must never delete
// a player's results because a song or a tier failed to load.
#include "song/career.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/md5.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace {

bool LogHas(const testsupport::TempDir& dir, const std::string& text) {
  const auto lines = dir.GameLogTexts();
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

int LogCount(const testsupport::TempDir& dir, const std::string& text) {
  const auto lines = dir.GameLogTexts();
  return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}

// Key-value lines joined with CR LF, as a UTF-16 file with its byte-order mark.
void WriteLines(const testsupport::TempDir& dir, const std::string& relative, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  dir.WriteUtf16(relative, text);
}

std::string SongLine(const std::string& path, const std::string& hash) { return "song = \"" + path + "|" + hash + "\""; }

// A song folder with a chart; returns the chart's MD5.
std::string MakeSong(const testsupport::TempDir& dir, const std::string& folder, const std::string& chart) {
  dir.WriteBytes(folder + "/song.ini", "[song]\nname = x\n");
  dir.WriteBytes(folder + "/notes.mid", chart);
  return Md5Hex(chart.data(), chart.size());
}

void WriteUser(const testsupport::TempDir& dir, const std::string& relative, int32_t instrument,
               const std::vector<std::pair<std::string, int32_t>>& results) {
  CareerUser user;
  user.file = dir.WPath(relative);
  user.name = "Ann";
  user.instrument = instrument;
  for (const auto& [hash, rating] : results) {
    CareerResult& r = UserData::AppendResult(user);
    r.hash = hash;
    r.rating = rating;
    r.score = 1000;
    r.flags = 1;
  }
  ASSERT_TRUE(UserData::Write(user));
}

std::vector<std::string> Hashes(const CareerUser& user) {
  std::vector<std::string> out;
  for (const CareerResult& r : user.results) out.push_back(r.hash);
  return out;
}

const std::string kHashA = Md5Hex("A", 1);
const std::string kHashB = Md5Hex("B", 1);
const std::string kHashC = Md5Hex("C", 1);

}  // namespace

TEST(CareerScan, ReadsEveryCareerFolderWithItsTracksAndUsers) {
  testsupport::TempDir dir;
  WriteLines(dir, "careers/Alpha/career.ini", {"name = \"Alpha Tour\"", "comment = \"Ten songs\"", "colour = \"red\""});
  WriteLines(dir, "careers/Alpha/guitar/tier_0.ini", {"name = \"Opening\"", "unlock = \"0\"", SongLine("s/a/", kHashA)});
  WriteLines(dir, "careers/Alpha/guitar/TIER_1.ini",
             {"name = \"Second\"", "unlock = \"4\"", SongLine("s/b/", kHashB), SongLine("s/c/", kHashC)});
  // Without tier_0 an instrument has no tiers, whatever else its folder holds.
  WriteLines(dir, "careers/Alpha/bass/tier_1.ini", {SongLine("s/a/", kHashA)});
  WriteLines(dir, "careers/Alpha/bass/tier_2.ini", {SongLine("s/a/", kHashA)});
  dir.WriteBytes("careers/Beta/career.ini", "name = \"no byte-order mark\"\r\n");
  WriteUser(dir, "careers/Beta/user_1.dat", 2, {{kHashA, 3}});
  dir.WriteBytes("careers/not_a_folder.txt", "x");

  CareerList list;
  Career::ScanFolders(list);
  ASSERT_EQ(list.count, 2);
  ASSERT_EQ(list.careers.size(), 2u);
  EXPECT_TRUE(LogHas(dir, "Finding Career Files"));
  EXPECT_TRUE(LogHas(dir, "Found 2 Career Folders"));
  EXPECT_TRUE(LogHas(dir, "Loading Alpha"));
  EXPECT_TRUE(LogHas(dir, "Loading Beta"));

  Career& alpha = *list.careers[0];
  EXPECT_TRUE(alpha.loaded);
  EXPECT_EQ(alpha.folder, dir.WPath("careers/Alpha/"));
  EXPECT_EQ(alpha.name, "Alpha Tour");
  EXPECT_EQ(alpha.comment, "Ten songs");
  EXPECT_TRUE(LogHas(dir, "Unknown career.dat Variable:colour In:" + dir.Path("careers/Alpha/")));
  EXPECT_EQ(alpha.selectedTrack, &alpha.tracks[0]);
  const CareerTrack& guitar = alpha.tracks[static_cast<size_t>(Instrument::guitar)];
  EXPECT_TRUE(guitar.loaded);
  EXPECT_EQ(guitar.instrument, 2);
  EXPECT_EQ(guitar.folder, dir.WPath("careers/Alpha/guitar/"));
  ASSERT_EQ(guitar.tierCount, 2);
  EXPECT_EQ(guitar.songTotal, 3);
  EXPECT_EQ(guitar.tiers[1].name, "Second");
  EXPECT_EQ(guitar.tiers[1].unlock, 4);
  const CareerTrack& bass = alpha.tracks[static_cast<size_t>(Instrument::bass)];
  EXPECT_FALSE(bass.loaded);
  EXPECT_EQ(bass.tierCount, 0);
  EXPECT_EQ(bass.songTotal, -1);
  EXPECT_EQ(alpha.userCount, 0);
  EXPECT_EQ(alpha.selectedUser, nullptr);

  Career& beta = *list.careers[1];
  EXPECT_FALSE(beta.loaded);
  EXPECT_TRUE(LogHas(dir, "Error:No BOM Found. Please Use UNICODE:" + dir.Path("careers/Beta/career.ini")));
  EXPECT_EQ(beta.selectedTrack, nullptr);
  // The users are listed whatever became of "career.ini".
  ASSERT_EQ(beta.userCount, 1);
  EXPECT_EQ(beta.selectedUser, &beta.users[0]);
}

TEST(CareerTierFile, SongValuesPathsAndKeys) {
  testsupport::TempDir dir;
  WriteLines(dir, "t.ini",
             {"name = \"Tier \xC3\xA9\"", "unlock = \"12 points\"", "song = \"songs\\Foo\"", SongLine("songs/Bar/", kHashA),
              SongLine("C:\\Music\\Baz\\", kHashB), "comment = \"hand-made\"", "song = \"x|y|z\""});
  CareerTier tier;
  ASSERT_TRUE(tier.Load(dir.WPath("t.ini")));
  EXPECT_TRUE(tier.loaded);
  EXPECT_EQ(tier.name, "Tier \xC3\xA9");
  EXPECT_EQ(tier.unlock, 12);
  ASSERT_EQ(tier.songCount, 4);
  EXPECT_EQ(tier.songs[0].path, u"songs/Foo/");
  EXPECT_EQ(tier.songs[0].hash, "");
  EXPECT_EQ(tier.songs[1].path, u"songs/Bar/");
  EXPECT_EQ(tier.songs[1].hash, kHashA);
  EXPECT_EQ(tier.songs[2].path, u"C:/Music/Baz/");
  EXPECT_EQ(tier.songs[3].path, u"x/");
  EXPECT_EQ(tier.songs[3].hash, "y|z");
  const std::string path = dir.Path("t.ini");
  EXPECT_TRUE(LogHas(dir, "Error in:" + path + " song value not formatted correctly. song = \"PATH|HASH\""));
  EXPECT_TRUE(LogHas(dir, "Assuming Value Is Path Only:songs\\Foo"));
  EXPECT_TRUE(LogHas(dir, "Unknown tier.ini Variable:comment In:" + path));
  // The unknown line would be lost by a rewrite, so the tier refuses one.
  EXPECT_TRUE(tier.holdsMore);
  const std::string before = dir.ReadBytes("t.ini");
  EXPECT_FALSE(tier.Save());
  EXPECT_EQ(dir.ReadBytes("t.ini"), before);
}

TEST(CareerTierFile, BadFilesAreNotRead) {
  testsupport::TempDir dir;
  CareerTier tier;
  EXPECT_FALSE(tier.Load(dir.WPath("missing.ini")));
  EXPECT_FALSE(tier.loaded);
  EXPECT_TRUE(dir.GameLogTexts().empty());

  for (const std::string& bytes : {std::string(), std::string("name = \"x\"\r\n"), std::string("\xFE\xFF\x00n", 4)}) {
    dir.WriteBytes("t.ini", bytes);
    EXPECT_FALSE(tier.Load(dir.WPath("t.ini")));
    EXPECT_FALSE(tier.loaded);
    EXPECT_FALSE(tier.Save());
    EXPECT_EQ(dir.ReadBytes("t.ini"), bytes);
  }
  EXPECT_EQ(LogCount(dir, "Error:No BOM Found. Please Use UNICODE:" + dir.Path("t.ini")), 3);
  EXPECT_TRUE(LogHas(dir, "Unable To Save. File Must Be Loaded First"));
}

TEST(CareerTierFile, ANewTierSavedOverAnUnreadableFileKeepsItsBytesAsBad) {
  testsupport::TempDir dir;
  const std::string old = "name = \"not text the reader takes\"\r\n";
  dir.WriteBytes("t.ini", old);
  CareerTier tier;
  EXPECT_FALSE(tier.Load(dir.WPath("t.ini")));
  // A tier made anew in its place (as an editor would) is saved; the old bytes stay.
  tier.name = "Fresh";
  tier.loaded = true;
  ASSERT_TRUE(tier.Save());
  EXPECT_EQ(dir.ReadBytes("t.ini.bad"), old);
  EXPECT_EQ(dir.ReadUtf16("t.ini"), "name = \"Fresh\"\r\nunlock = \"0\"\r\n");
  // Later saves have nothing more to keep.
  ASSERT_TRUE(tier.Save());
  EXPECT_FALSE(std::filesystem::exists(dir.Path("t.ini.bad2")));
  // A file that reads well is never copied.
  ASSERT_TRUE(tier.Load(dir.WPath("t.ini")));
  ASSERT_TRUE(tier.Save());
  EXPECT_FALSE(std::filesystem::exists(dir.Path("t.ini.bad2")));
}

TEST(CareerTierFile, FiftySongsAtMost) {
  testsupport::TempDir dir;
  std::vector<std::string> lines = {"name = \"Big\""};
  for (int i = 0; i < 50; ++i) lines.push_back(SongLine("s/" + std::to_string(i) + "/", kHashA));
  std::vector<std::string> exact = lines;
  exact.push_back("");
  WriteLines(dir, "exact.ini", exact);
  lines.push_back("name = \"Renamed\"");
  lines.push_back("unlock = \"9\"");
  for (int i = 50; i < 60; ++i) lines.push_back(SongLine("s/" + std::to_string(i) + "/", kHashB));
  WriteLines(dir, "over.ini", lines);

  CareerTier tier;
  ASSERT_TRUE(tier.Load(dir.WPath("exact.ini")));
  EXPECT_EQ(tier.songCount, 50);
  EXPECT_TRUE(LogHas(dir, "Too Many Songs In Tier! Max 50:" + dir.Path("exact.ini")));
  EXPECT_FALSE(tier.holdsMore);  // nothing after the 50th song is lost by a rewrite
  EXPECT_TRUE(tier.Save());

  ASSERT_TRUE(tier.Load(dir.WPath("over.ini")));
  EXPECT_EQ(tier.songCount, 50);
  EXPECT_EQ(tier.name, "Big");
  EXPECT_EQ(tier.unlock, 0);
  EXPECT_EQ(tier.songs[49].path, u"s/49/");
  EXPECT_TRUE(tier.holdsMore);
  const std::string before = dir.ReadBytes("over.ini");
  EXPECT_FALSE(tier.Save());
  EXPECT_EQ(dir.ReadBytes("over.ini"), before);
}

TEST(CareerTierFile, SaveWritesNameUnlockAndSongs) {
  testsupport::TempDir dir;
  WriteLines(dir, "t.ini", {"unlock = \"-3\"", SongLine("a\\b", "h1"), "name = \"Tier One\"", "", SongLine("c/", "")});
  CareerTier tier;
  ASSERT_TRUE(tier.Load(dir.WPath("t.ini")));
  ASSERT_TRUE(tier.Save());
  const std::string bytes = dir.ReadBytes("t.ini");
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(dir.ReadUtf16("t.ini"),
            "name = \"Tier One\"\r\nunlock = \"-3\"\r\nsong = \"a/b/|h1\"\r\nsong = \"c/|\"\r\n");
}

TEST(CareerTierFile, ResolveSongsRepairsPathsAndHashes) {
  testsupport::TempDir dir;
  const std::string a = MakeSong(dir, "songs/A", "moved chart");
  const std::string b = MakeSong(dir, "songs/B", "edited chart");
  dir.WriteBytes("songs/C/song.ini", "[song]\n");
  dir.MakeDir("songs/C/notes.mid");  // there, but cannot be read
  const std::string d = MakeSong(dir, "songs/D", "windows chart");
  const std::string lost = Md5Hex("lost", 4);
  WriteLines(dir, "t.ini", {"name = \"T\"", "unlock = \"1\"",
                            SongLine("old/A/", a),
                            SongLine(dir.Path("songs/B/"), kHashB),
                            SongLine(dir.Path("songs/C/"), kHashC),
                            SongLine("gone/31/", lost.substr(1)),
                            SongLine("gone/33/", lost + "0"),
                            SongLine("gone/lost/", lost),
                            SongLine("C:\\Songs\\D\\", d)});
  SongList list;
  ScanSongFolders(dir.WPath("songs/"), list, true);
  ASSERT_EQ(list.count, 4);

  CareerTier tier;
  tier.file = dir.WPath("t.ini");
  ASSERT_TRUE(tier.ResolveSongs(list));
  ASSERT_EQ(tier.songCount, 7);
  EXPECT_EQ(tier.songs[0].path, dir.WPath("songs/A/"));
  EXPECT_FALSE(tier.songs[0].missing);
  EXPECT_EQ(tier.songs[1].hash, b);
  EXPECT_EQ(tier.songs[2].hash, kHashC);  // never "-1"
  EXPECT_FALSE(tier.songs[2].missing);
  EXPECT_TRUE(tier.songs[3].missing);
  EXPECT_TRUE(tier.songs[4].missing);
  EXPECT_TRUE(tier.songs[5].missing);
  EXPECT_EQ(tier.songs[6].path, dir.WPath("songs/D/"));

  EXPECT_TRUE(LogHas(dir, "Atempting To Locate Missing Career Song From Hash:old/A/"));
  EXPECT_TRUE(LogHas(dir, "ERROR:Missing Career Song With No Valid Hash Value:gone/31/"));
  EXPECT_TRUE(LogHas(dir, "ERROR:Missing Career Song With No Valid Hash Value:gone/33/"));
  EXPECT_FALSE(LogHas(dir, "Atempting To Locate Missing Career Song From Hash:gone/31/"));
  EXPECT_TRUE(LogHas(dir, "Atempting To Locate Missing Career Song From Hash:gone/lost/"));
  EXPECT_EQ(LogCount(dir, "No Matching Hash Found!"), 1);

  // The file holds the repairs; read it again as the next start will.
  CareerTier again;
  ASSERT_TRUE(again.Load(dir.WPath("t.ini")));
  ASSERT_EQ(again.songCount, 7);
  EXPECT_EQ(again.songs[0].path, dir.WPath("songs/A/"));
  EXPECT_EQ(again.songs[1].hash, b);
  EXPECT_EQ(again.songs[2].hash, kHashC);
  EXPECT_EQ(again.songs[3].path, u"gone/31/");
  EXPECT_EQ(again.songs[6].path, dir.WPath("songs/D/"));
  EXPECT_EQ(again.name, "T");
  EXPECT_EQ(again.unlock, 1);
}

TEST(CareerTierFile, NothingToRepairWritesNothing) {
  testsupport::TempDir dir;
  const std::string a = MakeSong(dir, "songs/A", "chart");
  // The blank line would vanish in a rewrite.
  WriteLines(dir, "t.ini", {"name = \"T\"", "", SongLine(dir.Path("songs/A/"), a), SongLine("gone/", "")});
  const std::string before = dir.ReadBytes("t.ini");
  SongList list;
  CareerTier tier;
  tier.file = dir.WPath("t.ini");
  ASSERT_TRUE(tier.ResolveSongs(list));
  EXPECT_TRUE(tier.songs[1].missing);
  EXPECT_EQ(dir.ReadBytes("t.ini"), before);
}

TEST(CareerTierFile, OverfullTierIsRepairedInMemoryOnly) {
  testsupport::TempDir dir;
  const std::string a = MakeSong(dir, "songs/A", "chart");
  std::vector<std::string> lines = {SongLine("old/A/", a)};
  for (int i = 1; i < 60; ++i) lines.push_back(SongLine("s/" + std::to_string(i) + "/", ""));
  WriteLines(dir, "t.ini", lines);
  const std::string before = dir.ReadBytes("t.ini");
  SongList list;
  ScanSongFolders(dir.WPath("songs/"), list, true);
  CareerTier tier;
  tier.file = dir.WPath("t.ini");
  ASSERT_TRUE(tier.ResolveSongs(list));
  EXPECT_EQ(tier.songs[0].path, dir.WPath("songs/A/"));
  EXPECT_EQ(dir.ReadBytes("t.ini"), before);
}

namespace {

// careers/C with a guitar track of the given tiers (unlock and song hashes each) and
// one guitar user with the given results.
void MakeCareer(const testsupport::TempDir& dir, const std::vector<std::pair<int, std::vector<std::string>>>& tiers,
                const std::vector<std::pair<std::string, int32_t>>& results, int32_t userInstrument = 2) {
  WriteLines(dir, "careers/C/career.ini", {"name = \"C\""});
  for (size_t t = 0; t < tiers.size(); ++t) {
    std::vector<std::string> lines = {"name = \"Tier " + std::to_string(t) + "\"",
                                      "unlock = \"" + std::to_string(tiers[t].first) + "\""};
    for (const std::string& h : tiers[t].second) lines.push_back(SongLine("songs/" + h + "/", h));
    WriteLines(dir, "careers/C/guitar/tier_" + std::to_string(t) + ".ini", lines);
  }
  WriteUser(dir, "careers/C/user_1.dat", userInstrument, results);
}

std::string H(int i) { return Md5Hex(&i, sizeof i); }

std::unique_ptr<Career> Open() {
  auto career = std::make_unique<Career>();
  career->folder = CareersFolder() + u"C/";
  career->Load();
  career->LoadUserFiles();
  return career;
}

}  // namespace

TEST(CareerProgress, TiersUnlockByTheRatingTotalInAnyOrder) {
  testsupport::TempDir dir;
  // Ratings 3 + 4 = 7; the 4 is earned in a tier that is itself locked.
  MakeCareer(dir, {{8, {H(0), H(1)}}, {7, {H(2)}}, {0, {H(3)}}, {100, {}}, {8, {H(4)}}},
             {{H(0), 4}, {H(2), 3}, {H(9), 6}});
  auto career = Open();
  career->tracks[2].tiers[3].locked = true;  // a tier without songs keeps its flag
  ASSERT_TRUE(career->SelectTrack(0));
  const CareerTrack& track = *career->selectedTrack;
  ASSERT_EQ(career->selectedTrack, &career->tracks[2]);
  EXPECT_EQ(track.ratingTotal, 7);
  EXPECT_TRUE(track.tiers[0].locked);
  EXPECT_TRUE(track.tiers[0].songs[0].locked);
  EXPECT_TRUE(track.tiers[0].songs[1].locked);
  EXPECT_FALSE(track.tiers[1].locked);
  EXPECT_FALSE(track.tiers[1].songs[0].locked);
  EXPECT_FALSE(track.tiers[2].locked);
  EXPECT_TRUE(track.tiers[3].locked);
  EXPECT_TRUE(track.tiers[4].locked);
  EXPECT_EQ(track.tiers[0].songs[0].result.rating, 4);
  EXPECT_EQ(track.tiers[0].songs[0].result.hash, H(0));
  EXPECT_EQ(track.tiers[0].songs[1].result.hash, "");
  // H(9) is in no tier: dropped, and the file follows.
  EXPECT_TRUE(LogHas(dir, "Orphan Score Data Found! Deleting. . ."));
  EXPECT_EQ(Hashes(*career->selectedUser), (std::vector<std::string>{H(0), H(2)}));
  EXPECT_EQ(career->selectedUser->progress, 40);  // 2 of 5 songs
  CareerUser onDisk;
  UserData::Read(onDisk, career->selectedUser->file);
  EXPECT_EQ(Hashes(onDisk), (std::vector<std::string>{H(0), H(2)}));
  EXPECT_EQ(onDisk.progress, 40);
}

TEST(CareerProgress, SongAtIndexCountsThroughTheTiers) {
  testsupport::TempDir dir;
  MakeCareer(dir, {{0, {H(0), H(1), H(2)}}, {0, {H(3), H(4)}}}, {});
  auto career = Open();
  ASSERT_TRUE(career->SelectTrack(0));
  CareerSong* s3 = career->SongAtIndex(3);
  ASSERT_NE(s3, nullptr);
  EXPECT_EQ(s3, &career->selectedTrack->tiers[1].songs[0]);
  EXPECT_EQ(career->SongAtIndex(4)->hash, H(4));
  EXPECT_EQ(career->SongAtIndex(5), nullptr);
  EXPECT_EQ(career->SongAtIndex(-1), nullptr);
  EXPECT_EQ(career->tracks[0].SongAtIndex(0), nullptr);  // a track without tiers
}

TEST(CareerProgress, SelectTrackChecksItsIndexAndInstrument) {
  testsupport::TempDir dir;
  MakeCareer(dir, {{0, {H(0)}}}, {{H(0), 1}}, 20);
  auto career = Open();
  EXPECT_FALSE(career->SelectTrack(1));
  EXPECT_FALSE(career->SelectTrack(-1));
  EXPECT_FALSE(career->SelectTrack(0));  // instrument 20 has no track
  EXPECT_EQ(career->selectedTrack, nullptr);
  EXPECT_FALSE(career->RefreshProgress());
  EXPECT_EQ(career->selectedUser->resultCount, 1);
}

TEST(CareerProgress, OrphanCheckNeedsAUser) {
  testsupport::TempDir dir;
  Career career;
  EXPECT_FALSE(career.OrphanCheck());
  EXPECT_TRUE(LogHas(dir, "No Active User For Orphan Check!"));
  EXPECT_FALSE(career.RefreshProgress());
}

TEST(CareerProgress, ResultsSurviveEverySongOrTierThatFailedToLoad) {
  struct Case {
    const char* what;
    void (*damage)(const testsupport::TempDir&);
  } cases[] = {
      {"tier saved without byte-order mark",
       [](const testsupport::TempDir& d) { d.WriteBytes("careers/C/guitar/tier_1.ini", "song = \"x|y\"\r\n"); }},
      {"tier file that cannot be read",
       [](const testsupport::TempDir& d) {
         std::remove(d.Path("careers/C/guitar/tier_1.ini").c_str());
         d.MakeDir("careers/C/guitar/tier_1.ini");
       }},
      {"tier of more than 50 songs",
       [](const testsupport::TempDir& d) {
         std::vector<std::string> lines;
         for (int i = 0; i < 50; ++i) lines.push_back(SongLine("s/", H(100 + i)));
         lines.push_back(SongLine("songs/1/", H(1)));
         WriteLines(d, "careers/C/guitar/tier_1.ini", lines);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    MakeCareer(dir, {{0, {H(0)}}, {0, {H(1)}}}, {{H(0), 2}, {H(1), 5}});
    c.damage(dir);
    auto career = Open();
    ASSERT_TRUE(career->SelectTrack(0));
    EXPECT_FALSE(LogHas(dir, "Orphan Score Data Found! Deleting. . ."));
    EXPECT_EQ(Hashes(*career->selectedUser), (std::vector<std::string>{H(0), H(1)}));
    CareerUser onDisk;
    UserData::Read(onDisk, career->selectedUser->file);
    EXPECT_EQ(Hashes(onDisk), (std::vector<std::string>{H(0), H(1)}));
  }
}

TEST(CareerProgress, UnreadableChartKeepsItsHashAndItsResult) {
  testsupport::TempDir dir;
  const std::string real = Md5Hex("real chart", 10);
  dir.WriteBytes("songs/A/song.ini", "[song]\n");
  dir.MakeDir("songs/A/notes.mid");
  WriteLines(dir, "careers/C/career.ini", {"name = \"C\""});
  WriteLines(dir, "careers/C/guitar/tier_0.ini", {SongLine(dir.Path("songs/A/"), real)});
  WriteUser(dir, "careers/C/user_1.dat", 2, {{real, 4}});
  SongList list;
  ScanSongFolders(dir.WPath("songs/"), list, true);
  ASSERT_EQ(list.count, 1);
  EXPECT_EQ(list.head->md5, "-1");

  auto career = Open();
  ASSERT_TRUE(career->ResolveMissingSongs(list));
  EXPECT_EQ(career->tracks[2].tiers[0].songs[0].hash, real);
  ASSERT_TRUE(career->SelectTrack(0));
  EXPECT_EQ(career->selectedTrack->ratingTotal, 4);
  EXPECT_EQ(Hashes(*career->selectedUser), (std::vector<std::string>{real}));
  EXPECT_NE(dir.ReadUtf16("careers/C/guitar/tier_0.ini").find(real), std::string::npos);
}

TEST(CareerProgress, SongRemovedFromATierLosesItsResultAtTheNextRefresh) {
  testsupport::TempDir dir;
  MakeCareer(dir, {{0, {H(0), H(1)}}}, {{H(0), 2}, {H(1), 5}});
  {
    auto career = Open();
    ASSERT_TRUE(career->SelectTrack(0));
    EXPECT_EQ(career->selectedUser->resultCount, 2);
  }
  WriteLines(dir, "careers/C/guitar/tier_0.ini", {SongLine("songs/x/", H(0))});
  auto career = Open();
  ASSERT_TRUE(career->SelectTrack(0));
  EXPECT_EQ(Hashes(*career->selectedUser), (std::vector<std::string>{H(0)}));
  EXPECT_EQ(career->selectedUser->progress, 100);
  EXPECT_EQ(career->selectedUser->score, 1000);
}

TEST(CareerProgress, NothingIsDroppedAgainstAnotherInstrumentsTrack) {
  testsupport::TempDir dir;
  MakeCareer(dir, {{0, {H(0)}}}, {{H(0), 2}});
  WriteLines(dir, "careers/C/drums/tier_0.ini", {SongLine("songs/d/", H(7))});
  auto career = Open();
  // Right after loading, track 0 (drums) is selected while the first user plays guitar.
  ASSERT_EQ(career->selectedTrack, &career->tracks[0]);
  ASSERT_TRUE(career->OrphanCheck());
  EXPECT_EQ(Hashes(*career->selectedUser), (std::vector<std::string>{H(0)}));
}
