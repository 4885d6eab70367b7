#include "core/lang_ids.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

static_assert(LANG("LANG_TITLE_SCREEN_SYSTEMS") == 0);
static_assert(LANG("LANG_MENU_MAIN_QUICKPLAY") == 10);
static_assert(LANG("LANG_MENU_MAIN_QUIT") == 16);
static_assert(LANG("LANG_COUNTRY_GABON") == 1409);
static_assert(LANG("LANG_COUNTRY_SAUDI_ARABIA") == 1499);
static_assert(LANG("LANG_SCORE_ERROR_BOT") == 1797);

namespace {

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

// The first and last id of every run of consecutive named ids, and two countries.
TEST(LanguageIds, EdgesOfEveryRun) {
  const struct {
    int id;
    const char* name;
  } edges[] = {
      {0, "LANG_TITLE_SCREEN_SYSTEMS"},
      {8, "LANG_TITLE_SCREEN_FINISHED"},
      {10, "LANG_MENU_MAIN_QUICKPLAY"},
      {16, "LANG_MENU_MAIN_QUIT"},
      {20, "LANG_MENU_EXTRAS_ACHIEVEMENTS"},
      {23, "LANG_MENU_EXTRAS_STUDIO"},
      {25, "LANG_MENU_EXTRAS_ACHIEVEMENTS_DESC"},
      {28, "LANG_MENU_EXTRAS_STUDIO_DESC"},
      {30, "LANG_MENU_DONATE_1"},
      {44, "LANG_MENU_DONATE_15"},
      {50, "LANG_MENU_DDBOX_MIDI_LINK"},
      {55, "LANG_MENU_DDBOX_CONTINUE"},
      {60, "LANG_MENU_ACHIEVEMENTS_PERFECTION_DENIED"},
      {82, "LANG_MENU_ACHIEVEMENTS_BAT_HERO"},
      {90, "LANG_MENU_ACHIEVEMENTS_PERFECTION_DENIED_DESC"},
      {112, "LANG_MENU_ACHIEVEMENTS_BAT_HERO_DESC"},
      {120, "LANG_INSTRUMENT_DRUMS"},
      {138, "LANG_INSTRUMENT_DANCEPAD"},
      {140, "LANG_SKILL_EASY"},
      {144, "LANG_SKILL_EXPERT_PLUS"},
      {150, "LANG_BUTTONS_BACK"},
      {172, "LANG_BUTTONS_SEARCH"},
      {200, "LANG_GENERAL_ENABLED"},
      {229, "LANG_GENERAL_PLEASE_WAIT"},
      {300, "LANG_OPTIONS_GAME_GRAPHICS"},
      {326, "LANG_OPTIONS_GAME_VIDEO_SCALING"},
      {350, "LANG_OPTIONS_GAME_GRAPHICS_DESC"},
      {376, "LANG_OPTIONS_GAME_VIDEO_SCALING_DESC"},
      {401, "LANG_OPTIONS_GAME_VALUE_2D"},
      {413, "LANG_OPTIONS_GAME_VALUE_MAINTAIN_ASPECT"},
      {450, "LANG_OPTIONS_BOX_APPLY_1"},
      {456, "LANG_OPTIONS_BOX_RESTART_5"},
      {500, "LANG_OPTIONS_GRAPHICS_VSYNC"},
      {511, "LANG_OPTIONS_GRAPHICS_STEREOSCOPIC_DEPTH"},
      {525, "LANG_OPTIONS_GRAPHICS_VSYNC_DESC"},
      {536, "LANG_OPTIONS_GRAPHICS_STEREOSCOPIC_DEPTH_DESC"},
      {550, "LANG_OPTIONS_GRAPHICS_VALUE_FULL_SCREEN"},
      {559, "LANG_OPTIONS_GRAPHICS_VALUE_ANAGLYPH_BLUE_YELLOW"},
      {570, "LANG_OPTIONS_GRAPHICS_BOX_RESTART_1"},
      {574, "LANG_OPTIONS_GRAPHICS_BOX_RESTART_5"},
      {600, "LANG_OPTIONS_AUDIO_VOL_MASTER"},
      {622, "LANG_OPTIONS_AUDIO_MIX_VOCALS_2"},
      {640, "LANG_OPTIONS_AUDIO_VOL_MASTER_DESC"},
      {662, "LANG_OPTIONS_AUDIO_MIX_VOCALS_2_DESC"},
      {680, "LANG_OPTIONS_AUDIO_VALUE_PREVIEW_MIX"},
      {684, "LANG_OPTIONS_AUDIO_VALUE_FREESTYLE_LOCAL"},
      {700, "LANG_OPTIONS_CALIBRATION_AUDIO_DELAY"},
      {703, "LANG_OPTIONS_CALIBRATION_SONG"},
      {720, "LANG_OPTIONS_CALIBRATION_AUDIO_DELAY_DESC"},
      {723, "LANG_OPTIONS_CALIBRATION_SONG_DESC"},
      {740, "LANG_OPTIONS_CALIBRATION_VALUE_PERFORMANCE"},
      {741, "LANG_OPTIONS_CALIBRATION_VALUE_SAMPLE_LINKED"},
      {760, "LANG_OPTIONS_OSD_ACCURACY"},
      {765, "LANG_OPTIONS_OSD_COMBO_ALERTS"},
      {780, "LANG_OPTIONS_OSD_ACCURACY_DESC"},
      {785, "LANG_OPTIONS_OSD_COMBO_ALERTS_DESC"},
      {800, "LANG_PROFILE_EDITOR_NAME"},
      {842, "LANG_PROFILE_EDITOR_GUITAR_TILT"},
      {850, "LANG_PROFILE_EDITOR_NAME_DESC"},
      {892, "LANG_PROFILE_EDITOR_GUITAR_TILT_DESC"},
      {900, "LANG_PROFILE_EDITOR_VALUE_ASSIST_FULL"},
      {930, "LANG_PROFILE_EDITOR_VALUE_CYMBAL_FOCUSED"},
      {1000, "LANG_SONG_EDITOR_RESET"},
      {1036, "LANG_SONG_EDITOR_PHRASE"},
      {1050, "LANG_SONG_EDITOR_RESET_DESC"},
      {1086, "LANG_SONG_EDITOR_PHRASE_DESC"},
      {1100, "LANG_SONG_EDITOR_VALUE_KIT_1"},
      {1115, "LANG_SONG_EDITOR_VALUE_STOMP"},
      {1130, "LANG_MIDI_LINK_UNLINK"},
      {1131, "LANG_MIDI_LINK_UNLINK_DESC"},
      {1150, "LANG_CAREER_PROFILE_NEW_GAME"},
      {1151, "LANG_CAREER_PROFILE_NEW_BAND"},
      {1160, "LANG_CAREER_PROFILE_BAND_NAME"},
      {1163, "LANG_CAREER_PROFILE_BEGIN"},
      {1170, "LANG_CAREER_PROFILE_BAND_NAME_DESC"},
      {1173, "LANG_CAREER_PROFILE_BEGIN_DESC"},
      {1180, "LANG_CAREER_PROFILE_DELETE_1"},
      {1184, "LANG_CAREER_PROFILE_DELETE_5"},
      {1200, "LANG_GAME_CALIBRATE_AUDIO"},
      {1211, "LANG_GAME_VIDEO_DELAY"},
      {1250, "LANG_LOBBY_START"},
      {1253, "LANG_LOBBY_SEND"},
      {1260, "LANG_LOBBY_START_DESC"},
      {1263, "LANG_LOBBY_SEND_DESC"},
      {1265, "LANG_LOBBY_WAITING"},
      {1268, "LANG_LOBBY_FOLLOWER"},
      {1270, "LANG_LOBBY_SEARCH_1"},
      {1278, "LANG_VERSION_CHECK_2"},
      {1300, "LANG_NETWORK_FIND_GAME"},
      {1312, "LANG_NETWORK_IP"},
      {1320, "LANG_NETWORK_FIND_GAME_DESC"},
      {1332, "LANG_NETWORK_IP_DESC"},
      {1340, "LANG_NETWORK_IP_INFO_1"},
      {1341, "LANG_NETWORK_IP_INFO_2"},
      {1350, "LANG_COUNTRY_AFGHANISTAN"},
      {1409, "LANG_COUNTRY_GABON"},
      {1499, "LANG_COUNTRY_SAUDI_ARABIA"},
      {1542, "LANG_COUNTRY_ZIMBABWE"},
      {1550, "LANG_SERVER_LIST_CONNECTING_1"},
      {1551, "LANG_SERVER_LIST_CONNECTING_2"},
      {1560, "LANG_GAME_PAUSE_RESUME"},
      {1567, "LANG_GAME_PAUSE_EXIT"},
      {1570, "LANG_GAME_PAUSE_RESUME_DESC"},
      {1577, "LANG_GAME_PAUSE_EXIT_DESC"},
      {1590, "LANG_PLAYER_NOT_READY"},
      {1592, "LANG_PLAYER_ALL_READY"},
      {1600, "LANG_GAME_TYPE_COOP"},
      {1606, "LANG_GAME_TYPE_WEAKEST_LINK"},
      {1620, "LANG_GAME_LOAD_STAGE_SONG"},
      {1622, "LANG_GAME_LOAD_STAGE_BEGIN"},
      {1630, "LANG_SONG_SELECT_SORT_NAME"},
      {1641, "LANG_SONG_SELECT_FILTER"},
      {1650, "LANG_SONG_SELECT_LAUNCH_PLAYLIST"},
      {1653, "LANG_SONG_SELECT_RANDOM_SONG"},
      {1660, "LANG_SONG_SELECT_UPDATE_1"},
      {1666, "LANG_SONG_SELECT_CONTROLLER_MATCH_3"},
      {1670, "LANG_GAME_SOLO_PERFECT"},
      {1676, "LANG_GAME_SOLO_MESSY"},
      {1680, "LANG_PRACTICE_PLAY_PAUSE"},
      {1686, "LANG_PRACTICE_EXIT"},
      {1690, "LANG_PRACTICE_PLAY_PAUSE_DESC"},
      {1698, "LANG_PRACTICE_EXIT_DESC"},
      {1700, "LANG_STUDIO_RESET_FADERS"},
      {1704, "LANG_STUDIO_EXIT"},
      {1750, "LANG_PAUSE_RESUME"},
      {1757, "LANG_PAUSE_EXIT"},
      {1760, "LANG_PAUSE_RESUME_DESC"},
      {1767, "LANG_PAUSE_EXIT_DESC"},
      {1770, "LANG_STEMS_DRUMS_MIX"},
      {1782, "LANG_STEMS_CROWD"},
      {1790, "LANG_SCORE_ERROR_DEBUG_MODE"},
      {1797, "LANG_SCORE_ERROR_BOT"},
  };
  for (const auto& e : edges) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(FindLanguageIdByName(Wide(e.name)), e.id);
    EXPECT_EQ(LanguageKeyName(e.id), e.name);
  }
}

// The ids just outside the runs, and the two after the highest, have no name.
TEST(LanguageIds, GapsHaveNoName) {
  const int gaps[] = {
      9,    17,   19,   24,   29,   45,   49,   56,   59,   83,   89,   113,  119,  139,  145,  149,  173,  199,
      230,  299,  327,  349,  377,  400,  414,  449,  457,  499,  512,  524,  537,  549,  560,  569,  575,  599,
      623,  639,  663,  679,  685,  699,  704,  719,  724,  739,  742,  759,  766,  779,  786,  799,  843,  849,
      893,  899,  931,  999,  1037, 1049, 1087, 1099, 1116, 1129, 1132, 1149, 1152, 1159, 1164, 1169, 1174, 1179,
      1185, 1199, 1212, 1249, 1254, 1259, 1264, 1269, 1279, 1299, 1313, 1319, 1333, 1339, 1342, 1349, 1543, 1549,
      1552, 1559, 1568, 1569, 1578, 1589, 1593, 1599, 1607, 1619, 1623, 1629, 1642, 1649, 1654, 1659, 1667, 1669,
      1677, 1679, 1687, 1689, 1699, 1705, 1749, 1758, 1759, 1768, 1769, 1783, 1789, 1798, 1799,
  };
  for (int id : gaps) EXPECT_EQ(LanguageKeyName(id), "") << id;
  for (int id : {-1, 1800, 100000}) EXPECT_EQ(LanguageKeyName(id), "") << id;
}

TEST(LanguageIds, TheWholeTable) {
  EXPECT_EQ(LanguageKeyNameCount(), 951);
  std::set<std::string> names;
  int named = 0, highest = -1;
  for (int id = 0; id < kLanguageStringCount; ++id) {
    const std::string name = LanguageKeyName(id);
    if (name.empty()) continue;
    ++named;
    highest = id;
    names.insert(name);
    EXPECT_EQ(name.rfind("LANG_", 0), 0u) << name;
    for (char ch : name) {
      const unsigned char u = static_cast<unsigned char>(ch);
      EXPECT_TRUE(std::isupper(u) || std::isdigit(u) || ch == '_') << name;
    }
    EXPECT_EQ(FindLanguageIdByName(Wide(name)), id) << name;
  }
  EXPECT_EQ(named, 951);  // no two names share an id
  EXPECT_EQ(names.size(), 951u);
  EXPECT_EQ(highest, 1797);
}

TEST(LanguageIds, NamesMatchExactly) {
  for (const char16_t* name :
       {u"", u"LANG_", u"LANG_MENU_MAIN_", u"lang_menu_main_quit", u"LANG_MENU_MAIN_QUIt", u" LANG_MENU_MAIN_QUIT",
        u"LANG_MENU_MAIN_QUIT ", u"LANG_MENU_MAIN_QUITX", u"LANG_MENU_DONATE_0", u"LANG_MENU_DONATE_16"})
    EXPECT_EQ(FindLanguageIdByName(name), -1);
  EXPECT_EQ(FindLanguageIdByName(u"LANG_MENU_DONATE_15"), 44);
  EXPECT_EQ(FindLanguageIdByName(u"LANG_OPTIONS_GRAPHICS_BOX_RESTART_5"), 574);
}
