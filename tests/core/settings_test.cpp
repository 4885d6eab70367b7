#include "core/settings.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace {

const char* const kKeyOrder[] = {
    "MUSICPATH", "XRESWINDOWED", "YRESWINDOWED", "WINDOWEDASPECTRATIO", "XRESFULLSCREEN", "YRESFULLSCREEN",
    "FULLSCREENASPECTRATIO", "MULTIDISPLAY", "AUDIOCALIBRATION", "VIDEOCALIBRATION", "DISPLAYADAPTOR", "BACKGROUND",
    "FORCESTATE", "ANTIALIASING", "STAGEDETAIL", "VSYNC", "TEXTUREFILTERING", "TRIPLEBUFFER", "WINDOWED",
    "SPECULARHIGHLIGHTS", "DEBUGMODE", "DRUNK", "HITACCURACY", "DRAWFPS", "NOFAILMODE", "DEFAULTPROFILE",
    "KEYBOARDDRUMLANECOUNT", "NETNAME", "LASTADDRESS", "LASTPASSWORD", "LASTPORT", "SERVERNAME", "SERVERDESC",
    "LASTPRIVATEHOST", "SHOWAVERAGEDELAY", "USESONGVID", "USESONGIMAGE", "SHOWPROFILEMESSAGE", "DRAWNOTEID", "XINPUT",
    "THEME", "BGIMAGENAME", "ABSTRACTNAME", "BGVIDEONAME", "MENUVIDEOBG", "UPDATECHECK", "SYNCMETHOD", "LANGUAGE",
    "WINDOWSTYLE", "LYRICS", "STEREOSCOPICMETHOD", "BOARDDEPTH", "DRUMMIXVOL", "BASSMIXVOL", "GUITARMIXVOL",
    "KEYSMIXVOL", "VOCALMIXVOL", "SONGMIXVOL", "CROWDMIXVOL", "DRUMSTEM1VOL", "DRUMSTEM2VOL", "DRUMSTEM3VOL",
    "DRUMSTEM4VOL", "VOCALSTEM1VOL", "VOCALSTEM2VOL", "SFXVOL", "MENUMUSICVOL", "GAMEMUSICVOL", "MENUMUSIC",
    "SONGPREVIEWTYPE", "SEASONALTHEMES", "MISSAUDIOCUT", "MISSSFX", "FREESTYLESFX", "CROWD", "DRUMPLAYALONG",
    "PARTICLEFX", "SHOWVERSION", "RECORDGAMEPLAY", "OVERRIDEREMOTEBOARDSPEED", "REMOTEBOARDSPEED", "COWBELL",
    "PLAYERLIMIT", "LOCATION", "PLAYCOUNT", "COMBOALERTS", "REMOTEBOARDSIZE", "VIDEOSCALING"};

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() {
    fake.clock.local = {2026, 6, 15, 12, 0, 0, 1, 165};  // an ordinary day
    dir.MakeDir("settings");
    dir.MakeDir("themes/default");
  }
  std::vector<std::string> FileLines(const char* rel) {
    std::vector<std::string> out;
    std::istringstream in(dir.ReadUtf16(rel));
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      out.push_back(line);
    }
    return out;
  }
  void WriteConfig(const std::string& body) { dir.WriteUtf16("settings/config.ini", body); }
  testsupport::TempDir dir;
  platform::ScopedFakeClock fake;
};

}  // namespace

TEST_F(SettingsTest, MissingFileKeepsDefaultsAndSaveWritesEveryKeyInOrder) {
  Settings s;
  EXPECT_FALSE(s.Load(u"settings/config.ini"));
  EXPECT_EQ(s.MUSICPATH, platform::PathFromNative(dir.path()) + u"/music/");
  EXPECT_EQ(s.themeFolder, u"themes/default/");
  s.PLAYCOUNT += 1;
  ASSERT_TRUE(s.Save());
  auto lines = FileLines("settings/config.ini");
  ASSERT_EQ(lines.size(), 88u);
  for (size_t i = 0; i < 88; ++i) EXPECT_EQ(lines[i].substr(0, lines[i].find(' ')), kKeyOrder[i]);
  EXPECT_EQ(lines[84], "PLAYCOUNT = \"1\"");
  EXPECT_EQ(lines[1], "XRESWINDOWED = \"1280\"");
  EXPECT_EQ(lines[15], "VSYNC = \"TRUE\"");
  EXPECT_EQ(lines[25], "DEFAULTPROFILE = \"profiles/Guest.dat\"");
  EXPECT_EQ(lines[30], "LASTPORT = \"27960\"");
  EXPECT_EQ(dir.ReadBytes("settings/config.ini").substr(0, 2), "\xFF\xFE");
}

TEST_F(SettingsTest, EveryKeySurvivesARoundTrip) {
  dir.MakeDir("themes/neon");
  Settings a;
  a.MUSICPATH = u"/data/Songs/";
  a.XRESWINDOWED = 1920; a.YRESWINDOWED = 1080; a.XRESFULLSCREEN = 2560; a.YRESFULLSCREEN = 1440;
  a.AUDIOCALIBRATION = -12; a.VIDEOCALIBRATION = 33; a.DISPLAYADAPTOR = 1;
  a.VSYNC = false; a.TRIPLEBUFFER = false; a.WINDOWED = false; a.MULTIDISPLAY = 3; a.TEXTUREFILTERING = false;
  a.ANTIALIASING = 8; a.SPECULARHIGHLIGHTS = false; a.BACKGROUND = 4; a.STAGEDETAIL = 1; a.DEBUGMODE = true;
  a.FORCESTATE = 8; a.DRUNK = true; a.WINDOWEDASPECTRATIO = 1; a.FULLSCREENASPECTRATIO = 3; a.HITACCURACY = false;
  a.DRAWFPS = true; a.NOFAILMODE = 2; a.KEYBOARDDRUMLANECOUNT = 4; a.DEFAULTPROFILE = u"profiles/Ann.dat";
  a.NETNAME = "Ann"; a.LASTADDRESS = "10.1.2.3"; a.LASTPASSWORD = "pw\"x"; a.LASTPORT = "2000";
  a.SERVERNAME = "Ann's"; a.SERVERDESC = "desc"; a.LASTPRIVATEHOST = true; a.SHOWAVERAGEDELAY = true;
  a.USESONGVID = false; a.USESONGIMAGE = false; a.SHOWPROFILEMESSAGE = false; a.DRAWNOTEID = true; a.XINPUT = false;
  a.THEME = u"neon"; a.BGIMAGENAME = u"a.png"; a.ABSTRACTNAME = u"b"; a.BGVIDEONAME = u"c.avi";
  a.MENUVIDEOBG = true; a.UPDATECHECK = false; a.SYNCMETHOD = 2; a.language.index = 3; a.WINDOWSTYLE = 1;
  a.LYRICS = 0; a.STEREOSCOPICMETHOD = 2; a.BOARDDEPTH = 5;
  for (int i = 0; i < kMixerStemCount; ++i) a.mixer.stemVolume[i] = 10 + i;
  a.mixer.SFXVOL = 11; a.mixer.MENUMUSICVOL = 12; a.mixer.GAMEMUSICVOL = 13; a.mixer.MENUMUSIC = 0;
  a.mixer.SONGPREVIEWTYPE = 2; a.SEASONALTHEMES = false; a.mixer.MISSAUDIOCUT = false; a.mixer.MISSSFX = 2;
  a.mixer.FREESTYLESFX = 2; a.mixer.CROWD = false; a.mixer.DRUMPLAYALONG = true; a.PARTICLEFX = false;
  a.SHOWVERSION = true; a.RECORDGAMEPLAY = true; a.OVERRIDEREMOTEBOARDSPEED = true; a.REMOTEBOARDSPEED = 40;
  a.COWBELL = 1; a.PLAYERLIMIT = 12; a.LOCATION = 77; a.PLAYCOUNT = 99; a.COMBOALERTS = false;
  a.REMOTEBOARDSIZE = 75; a.VIDEOSCALING = 1;
  ASSERT_TRUE(a.Save());

  Settings b;
  ASSERT_TRUE(b.Load(u"settings/config.ini"));
  EXPECT_EQ(b.MUSICPATH, a.MUSICPATH);
  EXPECT_EQ(b.XRESWINDOWED, 1920); EXPECT_EQ(b.YRESWINDOWED, 1080); EXPECT_EQ(b.XRESFULLSCREEN, 2560);
  EXPECT_EQ(b.YRESFULLSCREEN, 1440); EXPECT_EQ(b.AUDIOCALIBRATION, -12); EXPECT_EQ(b.VIDEOCALIBRATION, 33);
  EXPECT_EQ(b.DISPLAYADAPTOR, 1); EXPECT_FALSE(b.VSYNC); EXPECT_FALSE(b.TRIPLEBUFFER); EXPECT_FALSE(b.WINDOWED);
  EXPECT_EQ(b.MULTIDISPLAY, 3); EXPECT_FALSE(b.TEXTUREFILTERING); EXPECT_EQ(b.ANTIALIASING, 8);
  EXPECT_FALSE(b.SPECULARHIGHLIGHTS); EXPECT_EQ(b.BACKGROUND, 4); EXPECT_EQ(b.STAGEDETAIL, 1);
  EXPECT_TRUE(b.DEBUGMODE); EXPECT_EQ(b.FORCESTATE, 8); EXPECT_TRUE(b.DRUNK); EXPECT_EQ(b.WINDOWEDASPECTRATIO, 1);
  EXPECT_EQ(b.FULLSCREENASPECTRATIO, 3); EXPECT_FALSE(b.HITACCURACY); EXPECT_TRUE(b.DRAWFPS);
  EXPECT_EQ(b.NOFAILMODE, 2); EXPECT_EQ(b.KEYBOARDDRUMLANECOUNT, 4); EXPECT_EQ(b.DEFAULTPROFILE, a.DEFAULTPROFILE);
  EXPECT_EQ(b.NETNAME, "Ann"); EXPECT_EQ(b.LASTADDRESS, "10.1.2.3"); EXPECT_EQ(b.LASTPASSWORD, "pw\"x");
  EXPECT_EQ(b.LASTPORT, "2000"); EXPECT_EQ(b.SERVERNAME, "Ann's"); EXPECT_EQ(b.SERVERDESC, "desc");
  EXPECT_TRUE(b.LASTPRIVATEHOST); EXPECT_TRUE(b.SHOWAVERAGEDELAY); EXPECT_FALSE(b.USESONGVID);
  EXPECT_FALSE(b.USESONGIMAGE); EXPECT_FALSE(b.SHOWPROFILEMESSAGE); EXPECT_TRUE(b.DRAWNOTEID); EXPECT_FALSE(b.XINPUT);
  EXPECT_EQ(b.THEME, u"neon"); EXPECT_EQ(b.themeFolder, u"themes/neon/"); EXPECT_EQ(b.BGIMAGENAME, u"a.png");
  EXPECT_EQ(b.ABSTRACTNAME, u"b"); EXPECT_EQ(b.BGVIDEONAME, u"c.avi"); EXPECT_TRUE(b.MENUVIDEOBG);
  EXPECT_FALSE(b.UPDATECHECK); EXPECT_EQ(b.SYNCMETHOD, 2); EXPECT_EQ(b.language.index, 3); EXPECT_EQ(b.WINDOWSTYLE, 1);
  EXPECT_EQ(b.LYRICS, 0); EXPECT_EQ(b.STEREOSCOPICMETHOD, 2); EXPECT_EQ(b.BOARDDEPTH, 5);
  for (int i = 0; i < kMixerStemCount; ++i) EXPECT_EQ(b.mixer.stemVolume[i], 10 + i) << i;
  EXPECT_EQ(b.mixer.SFXVOL, 11); EXPECT_EQ(b.mixer.MENUMUSICVOL, 12); EXPECT_EQ(b.mixer.GAMEMUSICVOL, 13);
  EXPECT_EQ(b.mixer.MENUMUSIC, 0); EXPECT_EQ(b.mixer.SONGPREVIEWTYPE, 2); EXPECT_FALSE(b.SEASONALTHEMES);
  EXPECT_FALSE(b.mixer.MISSAUDIOCUT); EXPECT_EQ(b.mixer.MISSSFX, 2); EXPECT_EQ(b.mixer.FREESTYLESFX, 2);
  EXPECT_FALSE(b.mixer.CROWD); EXPECT_TRUE(b.mixer.DRUMPLAYALONG); EXPECT_FALSE(b.PARTICLEFX);
  EXPECT_TRUE(b.SHOWVERSION); EXPECT_TRUE(b.RECORDGAMEPLAY); EXPECT_TRUE(b.OVERRIDEREMOTEBOARDSPEED);
  EXPECT_EQ(b.REMOTEBOARDSPEED, 40); EXPECT_EQ(b.COWBELL, 1); EXPECT_EQ(b.PLAYERLIMIT, 12); EXPECT_EQ(b.LOCATION, 77);
  EXPECT_EQ(b.PLAYCOUNT, 99); EXPECT_FALSE(b.COMBOALERTS); EXPECT_EQ(b.REMOTEBOARDSIZE, 75);
  EXPECT_EQ(b.VIDEOSCALING, 1);
}

TEST_F(SettingsTest, ValueRulesOnLoad) {
  WriteConfig(
      "MUSICPATH = \"D:\\Songs\"\r\n"
      "PLAYERLIMIT = \"40\"\r\n"
      "VSYNC = \"true\"\r\n"
      "XINPUT = \"True\"\r\n"
      "XRESWINDOWED = \" 800px\"\r\n"
      "DEFAULTPROFILE = \"profiles\\Bob.dat\"\r\n"
      "FORCESTATE = \"2\"\r\nFORCESTATE = \"8\"\r\n"
      "SPURIOUS=\"1\"\r\n"
      "NOTAKEY = \"1\"\r\n"
      "XRESFULLSCREEN  = \"1\"\r\n");
  Settings s;
  ASSERT_TRUE(s.Load(u"settings/config.ini"));
  EXPECT_EQ(s.MUSICPATH, u"D:/Songs/");
  EXPECT_EQ(s.PLAYERLIMIT, 15);
  EXPECT_FALSE(s.VSYNC);
  EXPECT_FALSE(s.XINPUT);
  EXPECT_EQ(s.XRESWINDOWED, 800);
  EXPECT_EQ(s.DEFAULTPROFILE, u"profiles/Bob.dat");
  EXPECT_EQ(s.FORCESTATE, 8);
  EXPECT_EQ(s.XRESFULLSCREEN, 1024);  // "XRESFULLSCREEN " is another key
  auto log = dir.GameLogTexts();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Unknown Config Variable!"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Unknown Config Variable! (2 times in all)"), 1);
  ASSERT_TRUE(s.Save());
  auto lines = FileLines("settings/config.ini");
  EXPECT_EQ(lines[15], "VSYNC = \"FALSE\"");

  // The network screen offers 1 to 15 players; fewer would let nobody in.
  for (const char* limit : {"0", "-3"}) {
    WriteConfig(std::string("PLAYERLIMIT = \"") + limit + "\"\r\n");
    ASSERT_TRUE(s.Load(u"settings/config.ini"));
    EXPECT_EQ(s.PLAYERLIMIT, 1);
  }
}

// Numbers outside what the game can use are held to the range, on load and on save.
TEST_F(SettingsTest, NumbersAreHeldToTheirRange) {
  struct Case {
    const char* key;
    const char* text;
    int32_t Settings::*field;
    int32_t expected;
  };
  const Case cases[] = {
      {"AUDIOCALIBRATION", "2147483647", &Settings::AUDIOCALIBRATION, 10000},
      {"AUDIOCALIBRATION", "-99999", &Settings::AUDIOCALIBRATION, -10000},
      {"AUDIOCALIBRATION", "-250", &Settings::AUDIOCALIBRATION, -250},
      {"VIDEOCALIBRATION", "-2147483648", &Settings::VIDEOCALIBRATION, -10000},
      {"XRESWINDOWED", "0", &Settings::XRESWINDOWED, 0},  // start-up takes it back to its default
      {"XRESWINDOWED", "70000", &Settings::XRESWINDOWED, 16384},
      {"YRESFULLSCREEN", "99999999", &Settings::YRESFULLSCREEN, 16384},
      {"REMOTEBOARDSPEED", "52", &Settings::REMOTEBOARDSPEED, 50},
      {"REMOTEBOARDSIZE", "-5", &Settings::REMOTEBOARDSIZE, 10},
      {"KEYBOARDDRUMLANECOUNT", "9", &Settings::KEYBOARDDRUMLANECOUNT, 5},
      {"NOFAILMODE", "3", &Settings::NOFAILMODE, 2},
      {"PLAYCOUNT", "2147483647", &Settings::PLAYCOUNT, 2147483646},
      {"FORCESTATE", "2147483647", &Settings::FORCESTATE, 2147483647},  // no range: taken as it is
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.text);
    WriteConfig(std::string(c.key) + " = \"" + c.text + "\"\r\n");
    Settings s;
    ASSERT_TRUE(s.Load(u"settings/config.ini"));
    EXPECT_EQ(s.*c.field, c.expected);
  }
  auto log = dir.GameLogTexts();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Value out of range, AUDIOCALIBRATION set to 10000"), 1);

  // A value the game itself set out of range is held to it before it is saved.
  Settings s;
  s.AUDIOCALIBRATION = 2147483647;
  s.mixer.SFXVOL = 5000;
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(s.AUDIOCALIBRATION, 10000);
  Settings back;
  ASSERT_TRUE(back.Load(u"settings/config.ini"));
  EXPECT_EQ(back.AUDIOCALIBRATION, 10000);
  EXPECT_EQ(back.mixer.SFXVOL, 200);
}

// A file saved by a text editor is read; one that cannot be read is kept beside the
// defaults that replace it.
TEST_F(SettingsTest, EditorFilesAreReadAndUnreadFilesKept) {
  const std::string body = "XRESWINDOWED = \"640\"\nTHEME = \"caf\xC3\xA9\"\r\nNETNAME = \"Z\xC3\xBC\"\n";
  for (const std::string& mark : {std::string(), std::string("\xEF\xBB\xBF")}) {
    SCOPED_TRACE(mark.size());
    dir.WriteBytes("settings/config.ini", mark + body);
    Settings s;
    ASSERT_TRUE(s.Load(u"settings/config.ini"));
    EXPECT_EQ(s.XRESWINDOWED, 640);
    EXPECT_EQ(s.THEME, u"caf\u00E9");
    ASSERT_TRUE(s.Save());  // rewritten as the game writes it, values kept
    EXPECT_FALSE(platform::PathExists(dir.Path("settings/config.ini.bad")));
    Settings back;
    ASSERT_TRUE(back.Load(u"settings/config.ini"));
    EXPECT_EQ(back.XRESWINDOWED, 640);
    EXPECT_EQ(back.THEME, u"caf\u00E9");
    EXPECT_EQ(back.NETNAME, s.NETNAME);
  }

  // UTF-16 without its mark, and a file too large to be settings: defaults, and the
  // first save keeps the old bytes as "config.ini.bad" (then ".bad2").
  const std::string nomark = testsupport::Utf16Bytes(u"XRESWINDOWED = \"640\"\r\n", false);
  const std::string huge(size_t(5) << 20, 'k');
  int copy = 1;
  for (const std::string& unread : {nomark, huge}) {
    dir.WriteBytes("settings/config.ini", unread);
    Settings s;
    EXPECT_FALSE(s.Load(u"settings/config.ini"));
    EXPECT_EQ(s.XRESWINDOWED, 1280);
    ASSERT_TRUE(s.Save());
    const std::string kept = copy == 1 ? "settings/config.ini.bad" : "settings/config.ini.bad2";
    EXPECT_EQ(dir.ReadBytes(kept), unread);
    EXPECT_TRUE(dir.ReadBytes("settings/config.ini").size() < 10000);
    ++copy;
  }
  auto log = dir.GameLogTexts();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Damaged file kept as: settings/config.ini.bad"), 1);

  // A second save keeps no further copy: the file is the game's own by then.
  Settings s;
  ASSERT_TRUE(s.Load(u"settings/config.ini"));
  ASSERT_TRUE(s.Save());
  EXPECT_FALSE(platform::PathExists(dir.Path("settings/config.ini.bad3")));
}

// A file of nothing but unknown keys logs two lines, not one per line.
TEST_F(SettingsTest, RepeatedUnknownKeysAreCountedNotRepeated) {
  std::string body;
  for (int i = 0; i < 20000; ++i) body += "JUNK" + std::to_string(i) + " = \"1\"\r\n";
  WriteConfig(body);
  Settings s;
  ASSERT_TRUE(s.Load(u"settings/config.ini"));
  const auto log = dir.GameLogTexts();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Unknown Config Variable!"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Unknown Config Variable! (20000 times in all)"), 1);
  EXPECT_LT(log.size(), 20u);
}

TEST_F(SettingsTest, EmptyMusicPathNeverBecomesTheRoot) {
  WriteConfig("MUSICPATH = \"\"\r\n");
  Settings s;
  ASSERT_TRUE(s.Load(u"settings/config.ini"));
  EXPECT_EQ(s.MUSICPATH, platform::PathFromNative(dir.path()) + u"/music/");
}

TEST_F(SettingsTest, BrokenFilesKeepDefaults) {
  Settings s;
  dir.WriteBytes("settings/config.ini", "");
  EXPECT_FALSE(s.Load(u"settings/config.ini"));
  dir.WriteBytes("settings/config.ini", "\xFF");
  EXPECT_FALSE(s.Load(u"settings/config.ini"));
  dir.WriteUtf16("settings/config.ini", "XRESWINDOWED = \"640\"\r\n", false);
  EXPECT_FALSE(s.Load(u"settings/config.ini"));
  EXPECT_EQ(s.XRESWINDOWED, 1280);
  // Hand-mangled: truncated mid-line, junk and an odd trailing byte.
  dir.WriteBytes("settings/config.ini",
                 testsupport::Utf16Bytes(u"YRESWINDOWED = \"600\"\r\n\x01\x02 garbage\r\nXRESWINDOWED = \"64") + "\x00");
  EXPECT_TRUE(s.Load(u"settings/config.ini"));
  EXPECT_EQ(s.YRESWINDOWED, 600);
  EXPECT_EQ(s.XRESWINDOWED, 64);
  auto log = dir.GameLogTexts();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Empty Config File:settings/config.ini"), 2);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Config File Error:settings/config.ini"), 1);

  // A byte-order mark alone counts as read.
  dir.WriteUtf16("settings/config.ini", "");
  EXPECT_TRUE(s.Load(u"settings/config.ini"));
  EXPECT_EQ(s.YRESWINDOWED, 720);
}

TEST_F(SettingsTest, SetDefaultsKeepsLanguageAndMixer) {
  Settings s;
  s.language.index = 2;
  s.mixer.SFXVOL = 5;
  s.XRESWINDOWED = 1;
  s.SetDefaults();
  EXPECT_EQ(s.language.index, 2);
  EXPECT_EQ(s.mixer.SFXVOL, 5);
  EXPECT_EQ(s.XRESWINDOWED, 1280);
  s.mixer.stemVolume[3] = 7;
  s.mixer.stemSolo[3] = true;
  s.mixer.Reset();
  EXPECT_EQ(s.mixer.stemVolume[3], 100);
  EXPECT_FALSE(s.mixer.stemSolo[3]);
  EXPECT_EQ(s.mixer.SFXVOL, 5);
}

TEST_F(SettingsTest, FailedSaveKeepsTheOldFile) {
  Settings s;
  s.PLAYCOUNT = 5;
  ASSERT_TRUE(s.Save());
  const std::string before = dir.ReadBytes("settings/config.ini");
  s.PLAYCOUNT = 6;
  platform::testing::FailWritesAfter(300);
  EXPECT_FALSE(s.Save());
  platform::testing::FailWritesAfter(-1);
  EXPECT_EQ(dir.ReadBytes("settings/config.ini"), before);
  s.configPath = u"nofolder/config.ini";
  EXPECT_FALSE(s.Save());
}

TEST_F(SettingsTest, ThemeFolderFollowsTheSeasonAndFallsBack) {
  dir.MakeDir("data/seasonal/halloween");
  dir.MakeDir("data/seasonal/christmas");
  dir.MakeDir("themes/neon");
  struct Case {
    int month, day;
    bool seasonal;
    const char16_t* folder;
  } cases[] = {
      {10, 28, true, u"themes/neon/"}, {10, 29, true, u"data/seasonal/halloween/"},
      {11, 2, true, u"data/seasonal/halloween/"}, {11, 3, true, u"themes/neon/"},
      {12, 17, true, u"themes/neon/"}, {12, 18, true, u"data/seasonal/christmas/"},
      {12, 30, true, u"data/seasonal/christmas/"}, {12, 31, true, u"themes/neon/"},
      {10, 31, false, u"themes/neon/"}, {12, 24, false, u"themes/neon/"},
  };
  Settings s;
  s.THEME = u"neon";
  for (const Case& c : cases) {
    fake.clock.local.month = c.month;
    fake.clock.local.day = c.day;
    s.SEASONALTHEMES = c.seasonal;
    s.CheckTheme();
    EXPECT_EQ(s.themeFolder, c.folder) << c.month << "/" << c.day;
  }
  s.THEME = u"gone";
  s.SEASONALTHEMES = false;
  ASSERT_TRUE(s.Save());
  EXPECT_EQ(s.themeFolder, u"themes/default/");
  auto log = dir.GameLogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "Theme Missing:themes/gone/"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "Loading Default!"), log.end());
}

TEST_F(SettingsTest, LoadReadsTheLanguageFilesFirst) {
  dir.WriteUtf16("data/languages/english.txt", "\"LANG_MENU_MAIN_QUIT\" \"Quit\"");
  Settings s;
  s.Load(u"settings/config.ini");
  EXPECT_EQ(s.language.GetString(LANG("LANG_MENU_MAIN_QUIT")), u"Quit");
  auto log = dir.GameLogTexts();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "Loading Language Data");
  EXPECT_EQ(log[1], "Loading:" + dir.path() + "/data/languages/english.txt");
}
