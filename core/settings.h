// The program-wide settings record and its file "settings/config.ini" (88 keys).
// Fields that the file holds are named as their keys.
#pragma once

#include <cstdint>
#include <string>

#include "core/language.h"

// Stem slots of a song's audio, also the index of the stem volumes.
constexpr int kMixerStemCount = 13;

struct MixerSettings {
  MixerSettings();
  // Stem volumes back to 100, mute and solo cleared; the other fields stay.
  void Reset();

  // 0 DRUMMIXVOL, 1 BASSMIXVOL, 2 GUITARMIXVOL, 3 KEYSMIXVOL, 4 VOCALMIXVOL,
  // 5 VOCALSTEM1VOL, 6 VOCALSTEM2VOL, 7-10 DRUMSTEM1VOL-DRUMSTEM4VOL, 11 SONGMIXVOL, 12 CROWDMIXVOL.
  int32_t stemVolume[kMixerStemCount];
  int32_t SFXVOL = 100;
  int32_t MENUMUSICVOL = 100;
  int32_t GAMEMUSICVOL = 100;
  int32_t MENUMUSIC = 1;
  bool MISSAUDIOCUT = true;
  int32_t MISSSFX = 1;
  bool CROWD = true;
  int32_t SONGPREVIEWTYPE = 1;
  int32_t FREESTYLESFX = 1;
  bool DRUMPLAYALONG = false;
  // Run-time only, never saved.
  bool drumPlayer = false;
  bool stemMute[kMixerStemCount];
  bool stemSolo[kMixerStemCount];
};

class Settings {
 public:
  Settings();

  // Every default except the mixer, the language tables and LANGUAGE.
  void SetDefaults();
  // Defaults, the language files, then the file; true when the file was read.
  bool Load(std::u16string path);
  // Writes the whole record to the config path; true when it was written.
  bool Save();
  // Resolves the theme folder (seasonal folders, missing theme).
  void CheckTheme();

  int32_t XRESWINDOWED, YRESWINDOWED, XRESFULLSCREEN, YRESFULLSCREEN;
  std::u16string MUSICPATH;
  int32_t AUDIOCALIBRATION, VIDEOCALIBRATION, DISPLAYADAPTOR;
  bool VSYNC, TRIPLEBUFFER, WINDOWED;
  int32_t MULTIDISPLAY;
  bool TEXTUREFILTERING;
  int32_t ANTIALIASING;
  bool SPECULARHIGHLIGHTS;
  int32_t BACKGROUND, STAGEDETAIL;
  bool DEBUGMODE;
  int32_t FORCESTATE;
  bool DRUNK;
  int32_t WINDOWEDASPECTRATIO, FULLSCREENASPECTRATIO;
  bool HITACCURACY, DRAWFPS;
  int32_t NOFAILMODE, KEYBOARDDRUMLANECOUNT;
  std::u16string DEFAULTPROFILE;
  std::u16string configPath;
  std::string NETNAME, LASTADDRESS, LASTPASSWORD, LASTPORT, SERVERNAME, SERVERDESC;
  bool LASTPRIVATEHOST;
  std::string publicAddress;  // run-time: fetched by the network screen, not saved
  bool SHOWAVERAGEDELAY, USESONGVID, USESONGIMAGE, SHOWPROFILEMESSAGE, DRAWNOTEID, XINPUT;
  std::u16string THEME;
  std::u16string themeFolder;  // run-time: set by CheckTheme
  std::u16string BGIMAGENAME, ABSTRACTNAME, BGVIDEONAME;
  MixerSettings mixer;
  Language language;  // LANGUAGE is language.index
  bool MENUVIDEOBG, UPDATECHECK;
  int32_t WINDOWSTYLE, SYNCMETHOD;
  bool PARTICLEFX, SHOWVERSION, RECORDGAMEPLAY;
  int32_t LYRICS, STEREOSCOPICMETHOD;
  float cameraValue1, cameraValue2;  // run-time, for the board camera placement
  int32_t BOARDDEPTH;
  bool OVERRIDEREMOTEBOARDSPEED;
  int32_t REMOTEBOARDSPEED, COWBELL, PLAYERLIMIT, LOCATION, PLAYCOUNT;
  bool SEASONALTHEMES, COMBOALERTS;
  int32_t REMOTEBOARDSIZE, VIDEOSCALING;
  // Run-time values of the frame code.
  int32_t renderWidth, renderHeight;
  bool songVideoBackgroundOn, songImageBackgroundOn;
  bool averageStemClock;

 private:
  // The config file the last load found but could not read: its bytes are kept
  // beside it before the first save replaces it.
  std::u16string unreadPath_;
};

// The one process-wide record.
extern Settings g_Settings;
