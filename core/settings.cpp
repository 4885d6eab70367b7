#include "core/settings.h"

#include <climits>

#include "core/kvfile.h"
#include "core/log.h"
#include "core/utils.h"
#include "platform/paths.h"
#include "platform/text.h"

Settings g_Settings;

MixerSettings::MixerSettings() {
  for (int i = 0; i < kMixerStemCount; ++i) {
    stemVolume[i] = 100;
    stemMute[i] = false;
    stemSolo[i] = false;
  }
}

void MixerSettings::Reset() {
  for (int i = 0; i < kMixerStemCount; ++i) {
    stemVolume[i] = 100;
    stemMute[i] = false;
    stemSolo[i] = false;
  }
}

namespace {

enum class Kind { kInt, kBool, kWide, kNarrow };

struct Key {
  const char16_t* name;
  Kind kind;
  void* (*field)(Settings&);
};

#define VL_FIELD(expr) [](Settings& s) -> void* { return &(expr); }

// Every saved key, in the order the file is written.
const Key kKeys[] = {
    {u"MUSICPATH", Kind::kWide, VL_FIELD(s.MUSICPATH)},
    {u"XRESWINDOWED", Kind::kInt, VL_FIELD(s.XRESWINDOWED)},
    {u"YRESWINDOWED", Kind::kInt, VL_FIELD(s.YRESWINDOWED)},
    {u"WINDOWEDASPECTRATIO", Kind::kInt, VL_FIELD(s.WINDOWEDASPECTRATIO)},
    {u"XRESFULLSCREEN", Kind::kInt, VL_FIELD(s.XRESFULLSCREEN)},
    {u"YRESFULLSCREEN", Kind::kInt, VL_FIELD(s.YRESFULLSCREEN)},
    {u"FULLSCREENASPECTRATIO", Kind::kInt, VL_FIELD(s.FULLSCREENASPECTRATIO)},
    {u"MULTIDISPLAY", Kind::kInt, VL_FIELD(s.MULTIDISPLAY)},
    {u"AUDIOCALIBRATION", Kind::kInt, VL_FIELD(s.AUDIOCALIBRATION)},
    {u"VIDEOCALIBRATION", Kind::kInt, VL_FIELD(s.VIDEOCALIBRATION)},
    {u"DISPLAYADAPTOR", Kind::kInt, VL_FIELD(s.DISPLAYADAPTOR)},
    {u"BACKGROUND", Kind::kInt, VL_FIELD(s.BACKGROUND)},
    {u"FORCESTATE", Kind::kInt, VL_FIELD(s.FORCESTATE)},
    {u"ANTIALIASING", Kind::kInt, VL_FIELD(s.ANTIALIASING)},
    {u"STAGEDETAIL", Kind::kInt, VL_FIELD(s.STAGEDETAIL)},
    {u"VSYNC", Kind::kBool, VL_FIELD(s.VSYNC)},
    {u"TEXTUREFILTERING", Kind::kBool, VL_FIELD(s.TEXTUREFILTERING)},
    {u"TRIPLEBUFFER", Kind::kBool, VL_FIELD(s.TRIPLEBUFFER)},
    {u"WINDOWED", Kind::kBool, VL_FIELD(s.WINDOWED)},
    {u"SPECULARHIGHLIGHTS", Kind::kBool, VL_FIELD(s.SPECULARHIGHLIGHTS)},
    {u"DEBUGMODE", Kind::kBool, VL_FIELD(s.DEBUGMODE)},
    {u"DRUNK", Kind::kBool, VL_FIELD(s.DRUNK)},
    {u"HITACCURACY", Kind::kBool, VL_FIELD(s.HITACCURACY)},
    {u"DRAWFPS", Kind::kBool, VL_FIELD(s.DRAWFPS)},
    {u"NOFAILMODE", Kind::kInt, VL_FIELD(s.NOFAILMODE)},
    {u"DEFAULTPROFILE", Kind::kWide, VL_FIELD(s.DEFAULTPROFILE)},
    {u"KEYBOARDDRUMLANECOUNT", Kind::kInt, VL_FIELD(s.KEYBOARDDRUMLANECOUNT)},
    {u"NETNAME", Kind::kNarrow, VL_FIELD(s.NETNAME)},
    {u"LASTADDRESS", Kind::kNarrow, VL_FIELD(s.LASTADDRESS)},
    {u"LASTPASSWORD", Kind::kNarrow, VL_FIELD(s.LASTPASSWORD)},
    {u"LASTPORT", Kind::kNarrow, VL_FIELD(s.LASTPORT)},
    {u"SERVERNAME", Kind::kNarrow, VL_FIELD(s.SERVERNAME)},
    {u"SERVERDESC", Kind::kNarrow, VL_FIELD(s.SERVERDESC)},
    {u"LASTPRIVATEHOST", Kind::kBool, VL_FIELD(s.LASTPRIVATEHOST)},
    {u"SHOWAVERAGEDELAY", Kind::kBool, VL_FIELD(s.SHOWAVERAGEDELAY)},
    {u"USESONGVID", Kind::kBool, VL_FIELD(s.USESONGVID)},
    {u"USESONGIMAGE", Kind::kBool, VL_FIELD(s.USESONGIMAGE)},
    {u"SHOWPROFILEMESSAGE", Kind::kBool, VL_FIELD(s.SHOWPROFILEMESSAGE)},
    {u"DRAWNOTEID", Kind::kBool, VL_FIELD(s.DRAWNOTEID)},
    {u"XINPUT", Kind::kBool, VL_FIELD(s.XINPUT)},
    {u"THEME", Kind::kWide, VL_FIELD(s.THEME)},
    {u"BGIMAGENAME", Kind::kWide, VL_FIELD(s.BGIMAGENAME)},
    {u"ABSTRACTNAME", Kind::kWide, VL_FIELD(s.ABSTRACTNAME)},
    {u"BGVIDEONAME", Kind::kWide, VL_FIELD(s.BGVIDEONAME)},
    {u"MENUVIDEOBG", Kind::kBool, VL_FIELD(s.MENUVIDEOBG)},
    {u"UPDATECHECK", Kind::kBool, VL_FIELD(s.UPDATECHECK)},
    {u"SYNCMETHOD", Kind::kInt, VL_FIELD(s.SYNCMETHOD)},
    {u"LANGUAGE", Kind::kInt, VL_FIELD(s.language.index)},
    {u"WINDOWSTYLE", Kind::kInt, VL_FIELD(s.WINDOWSTYLE)},
    {u"LYRICS", Kind::kInt, VL_FIELD(s.LYRICS)},
    {u"STEREOSCOPICMETHOD", Kind::kInt, VL_FIELD(s.STEREOSCOPICMETHOD)},
    {u"BOARDDEPTH", Kind::kInt, VL_FIELD(s.BOARDDEPTH)},
    {u"DRUMMIXVOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[0])},
    {u"BASSMIXVOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[1])},
    {u"GUITARMIXVOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[2])},
    {u"KEYSMIXVOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[3])},
    {u"VOCALMIXVOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[4])},
    {u"SONGMIXVOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[11])},
    {u"CROWDMIXVOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[12])},
    {u"DRUMSTEM1VOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[7])},
    {u"DRUMSTEM2VOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[8])},
    {u"DRUMSTEM3VOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[9])},
    {u"DRUMSTEM4VOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[10])},
    {u"VOCALSTEM1VOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[5])},
    {u"VOCALSTEM2VOL", Kind::kInt, VL_FIELD(s.mixer.stemVolume[6])},
    {u"SFXVOL", Kind::kInt, VL_FIELD(s.mixer.SFXVOL)},
    {u"MENUMUSICVOL", Kind::kInt, VL_FIELD(s.mixer.MENUMUSICVOL)},
    {u"GAMEMUSICVOL", Kind::kInt, VL_FIELD(s.mixer.GAMEMUSICVOL)},
    {u"MENUMUSIC", Kind::kInt, VL_FIELD(s.mixer.MENUMUSIC)},
    {u"SONGPREVIEWTYPE", Kind::kInt, VL_FIELD(s.mixer.SONGPREVIEWTYPE)},
    {u"SEASONALTHEMES", Kind::kBool, VL_FIELD(s.SEASONALTHEMES)},
    {u"MISSAUDIOCUT", Kind::kBool, VL_FIELD(s.mixer.MISSAUDIOCUT)},
    {u"MISSSFX", Kind::kInt, VL_FIELD(s.mixer.MISSSFX)},
    {u"FREESTYLESFX", Kind::kInt, VL_FIELD(s.mixer.FREESTYLESFX)},
    {u"CROWD", Kind::kBool, VL_FIELD(s.mixer.CROWD)},
    {u"DRUMPLAYALONG", Kind::kBool, VL_FIELD(s.mixer.DRUMPLAYALONG)},
    {u"PARTICLEFX", Kind::kBool, VL_FIELD(s.PARTICLEFX)},
    {u"SHOWVERSION", Kind::kBool, VL_FIELD(s.SHOWVERSION)},
    {u"RECORDGAMEPLAY", Kind::kBool, VL_FIELD(s.RECORDGAMEPLAY)},
    {u"OVERRIDEREMOTEBOARDSPEED", Kind::kBool, VL_FIELD(s.OVERRIDEREMOTEBOARDSPEED)},
    {u"REMOTEBOARDSPEED", Kind::kInt, VL_FIELD(s.REMOTEBOARDSPEED)},
    {u"COWBELL", Kind::kInt, VL_FIELD(s.COWBELL)},
    {u"PLAYERLIMIT", Kind::kInt, VL_FIELD(s.PLAYERLIMIT)},
    {u"LOCATION", Kind::kInt, VL_FIELD(s.LOCATION)},
    {u"PLAYCOUNT", Kind::kInt, VL_FIELD(s.PLAYCOUNT)},
    {u"COMBOALERTS", Kind::kBool, VL_FIELD(s.COMBOALERTS)},
    {u"REMOTEBOARDSIZE", Kind::kInt, VL_FIELD(s.REMOTEBOARDSIZE)},
    {u"VIDEOSCALING", Kind::kInt, VL_FIELD(s.VIDEOSCALING)},
};
#undef VL_FIELD

static_assert(sizeof(kKeys) / sizeof(kKeys[0]) == 88, "config.ini holds 88 keys");

// The numbers the game can use, as its option screens offer them; keys whose other
// values already have a meaning (an "any other" case) have no row.
const ValueRange kSettingRanges[] = {
    // Sizes below 1 are taken back to their defaults (with a line) at start-up.
    {u"XRESWINDOWED", INT32_MIN, 16384},
    {u"YRESWINDOWED", INT32_MIN, 16384},
    {u"XRESFULLSCREEN", INT32_MIN, 16384},
    {u"YRESFULLSCREEN", INT32_MIN, 16384},
    {u"AUDIOCALIBRATION", -10000, 10000},  // ms
    {u"VIDEOCALIBRATION", -10000, 10000},  // ms
    {u"NOFAILMODE", 0, 2},
    {u"KEYBOARDDRUMLANECOUNT", 4, 5},
    {u"DRUMMIXVOL", 0, 200},
    {u"BASSMIXVOL", 0, 200},
    {u"GUITARMIXVOL", 0, 200},
    {u"KEYSMIXVOL", 0, 200},
    {u"VOCALMIXVOL", 0, 200},
    {u"SONGMIXVOL", 0, 200},
    {u"CROWDMIXVOL", 0, 200},
    {u"DRUMSTEM1VOL", 0, 200},
    {u"DRUMSTEM2VOL", 0, 200},
    {u"DRUMSTEM3VOL", 0, 200},
    {u"DRUMSTEM4VOL", 0, 200},
    {u"VOCALSTEM1VOL", 0, 200},
    {u"VOCALSTEM2VOL", 0, 200},
    {u"SFXVOL", 0, 200},
    {u"MENUMUSICVOL", 0, 200},
    {u"GAMEMUSICVOL", 0, 200},
    {u"REMOTEBOARDSPEED", 2, 50},  // the board's speed factor divides by 52 - speed
    {u"REMOTEBOARDSIZE", 10, 100},  // percent
    {u"PLAYERLIMIT", 1, 15},
    {u"PLAYCOUNT", 0, 2147483646},  // raised by one at every start
};

std::u16string DefaultMusicPath() { return GetCurrentFolder() + u"/music/"; }

}  // namespace

Settings::Settings() { SetDefaults(); }

void Settings::SetDefaults() {
  XRESWINDOWED = 1280;
  YRESWINDOWED = 720;
  XRESFULLSCREEN = 1024;
  YRESFULLSCREEN = 768;
  MUSICPATH = DefaultMusicPath();
  AUDIOCALIBRATION = 45;
  VIDEOCALIBRATION = 0;
  DISPLAYADAPTOR = 0;
  VSYNC = true;
  TRIPLEBUFFER = true;
  WINDOWED = true;
  MULTIDISPLAY = 1;
  TEXTUREFILTERING = true;
  ANTIALIASING = 2;
  SPECULARHIGHLIGHTS = true;
  BACKGROUND = 1;
  STAGEDETAIL = 3;
  DEBUGMODE = false;
  FORCESTATE = 0;
  DRUNK = false;
  WINDOWEDASPECTRATIO = 2;
  FULLSCREENASPECTRATIO = 0;
  HITACCURACY = true;
  DRAWFPS = false;
  NOFAILMODE = 0;
  KEYBOARDDRUMLANECOUNT = 5;
  DEFAULTPROFILE = u"profiles/Guest.dat";
  configPath = u"settings/config.ini";
  NETNAME = "Anon";
  LASTADDRESS = "192.168.0.1";
  LASTPASSWORD.clear();
  LASTPORT = "27960";
  SERVERNAME = "Unnamed Server";
  SERVERDESC.clear();
  LASTPRIVATEHOST = false;
  publicAddress.clear();
  SHOWAVERAGEDELAY = false;
  USESONGVID = true;
  USESONGIMAGE = true;
  SHOWPROFILEMESSAGE = true;
  DRAWNOTEID = false;
  XINPUT = true;
  THEME = u"default";
  themeFolder = u"themes/default/";
  BGIMAGENAME = u"[Random]";
  ABSTRACTNAME = u"[Random]";
  BGVIDEONAME = u"[Random]";
  MENUVIDEOBG = false;
  UPDATECHECK = true;
  WINDOWSTYLE = 0;
  SYNCMETHOD = 0;
  PARTICLEFX = true;
  SHOWVERSION = false;
  RECORDGAMEPLAY = false;
  LYRICS = 1;
  STEREOSCOPICMETHOD = 0;
  cameraValue1 = 27.5f;
  cameraValue2 = 0.7f;
  BOARDDEPTH = 2;
  OVERRIDEREMOTEBOARDSPEED = false;
  REMOTEBOARDSPEED = 32;
  COWBELL = 2;
  PLAYERLIMIT = 5;
  LOCATION = 0;
  PLAYCOUNT = 0;
  SEASONALTHEMES = true;
  COMBOALERTS = true;
  REMOTEBOARDSIZE = 50;
  VIDEOSCALING = 2;
  renderWidth = 1280;
  renderHeight = 720;
  songVideoBackgroundOn = false;
  songImageBackgroundOn = false;
  averageStemClock = true;
}

bool Settings::Load(std::u16string path) {
  SetDefaults();
  Log(0, u"Loading Language Data");
  language.LoadAll(GetCurrentFolder() + u"/data/languages/");
  Log(0, u"Language Loading Complete");
  configPath = path;
  unreadPath_.clear();

  RepeatedComplaint unknownKey("Unknown Config Variable!");
  const KeyValueRead result = ReadKeyValueFile(path, [this, &unknownKey](const std::u16string& key,
                                                                         const std::u16string& value) {
    for (const Key& k : kKeys) {
      if (key != k.name) continue;
      void* field = k.field(*this);
      switch (k.kind) {
        case Kind::kInt:
          *static_cast<int32_t*>(field) = ClampToRange(kSettingRanges, key, platform::AtoI(value));
          break;
        case Kind::kBool:
          *static_cast<bool*>(field) = value == u"TRUE";
          break;
        case Kind::kWide:
          *static_cast<std::u16string*>(field) = value;
          break;
        case Kind::kNarrow:
          *static_cast<std::string*>(field) = ToNarrow(value);
          break;
      }
      if (field == &MUSICPATH) {
        // An empty folder would make every start scan the whole disk from "/".
        if (MUSICPATH.empty()) MUSICPATH = DefaultMusicPath();
        MUSICPATH = platform::ToSlashes(MUSICPATH);
        if (MUSICPATH.back() != u'/') MUSICPATH += u'/';
      } else if (field == &DEFAULTPROFILE) {
        DEFAULTPROFILE = platform::ToSlashes(DEFAULTPROFILE);
      } else if (field == &PLAYERLIMIT && PLAYERLIMIT > 15) {
        PLAYERLIMIT = 15;
      }
      return;
    }
    unknownKey.Add();
  });

  switch (result) {
    case KeyValueRead::kCannotOpen:
      // There but not readable (too large, a folder): kept before a save replaces it.
      if (platform::PathExists(platform::PathToNative(path))) unreadPath_ = path;
      return false;
    case KeyValueRead::kEmpty:
      Log(0, u"Empty Config File:" + path);
      return false;
    case KeyValueRead::kNoByteOrderMark:
      Log(0, u"Config File Error:" + path);
      unreadPath_ = path;
      return false;
    case KeyValueRead::kOk:
      break;
  }
  CheckTheme();
  return true;
}

bool Settings::Save() {
  // A file the last load could not read keeps its bytes beside the new one.
  if (!unreadPath_.empty() && unreadPath_ == configPath && !KeepUnreadFile(configPath)) return false;
  KeyValueWriter w;
  if (!w.Open(configPath)) return false;
  for (const Key& k : kKeys) {
    void* field = k.field(*this);
    switch (k.kind) {
      case Kind::kInt: {
        // A value the game set out of its range is held to it before it is kept.
        int32_t& number = *static_cast<int32_t*>(field);
        number = ClampToRange(kSettingRanges, k.name, number);
        w.Int(k.name, number);
        break;
      }
      case Kind::kBool:
        w.Bool(k.name, *static_cast<bool*>(field));
        break;
      case Kind::kWide:
        w.Line(k.name, *static_cast<std::u16string*>(field));
        break;
      case Kind::kNarrow:
        w.Line(k.name, ToWide(*static_cast<std::string*>(field)));
        break;
    }
  }
  if (!w.Close()) return false;
  if (unreadPath_ == configPath) unreadPath_.clear();
  CheckTheme();
  return true;
}

void Settings::CheckTheme() {
  const int holiday = SEASONALTHEMES ? GetHolidayId() : 0;
  if (holiday == 1) themeFolder = u"data/seasonal/halloween/";
  else if (holiday == 4) themeFolder = u"data/seasonal/christmas/";
  else themeFolder = u"themes/" + THEME + u"/";
  if (!platform::IsDirectory(platform::PathToNative(themeFolder))) {
    Log(0, u"Theme Missing:" + themeFolder);
    Log(0, u"Loading Default!");
    themeFolder = u"themes/default/";
  }
}
