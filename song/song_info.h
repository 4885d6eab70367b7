// A song folder's "song.ini": the record read from it (`SongInfo`) and the writers
// that change single keys of the user's file in place.
//
// The files come from many chart tools and hand edits, so the reader takes a line at
// a time: a "[song]" header in any case (after an optional UTF-8 byte-order mark and
// blank lines), LF or CR LF ends, "key = value" with any spacing around the '=',
// empty values, trailing blanks. Keys ignore case; lines it does not know are kept
// by every writer. A file whose header cannot be found is never rewritten.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class SongInfo {
 public:
  // Every member starts at its default.
  SongInfo() = default;

  // Every field back to its default.
  void Reset();
  // Frees the texts; the numbers keep their values, and the record can no longer be
  // saved.
  void Clear();

  // Reads "song.ini" of the song folder. Always true: without the file the name is
  // the folder path, with an unreadable file it is "song.ini Error".
  bool ReadIni(std::u16string_view songFolder);
  // The reading step over the file's bytes (path fields untouched).
  void ParseIni(std::string_view bytes);

  // Writes the 43 keys the program owns into the folder's "song.ini", one rewrite of
  // the file; other lines stay. Refused (false, logged) unless the file was found
  // and read, so that defaults never replace a user's values.
  bool SaveIni() const;

  std::u16string path;    // the song folder, ending in '/'
  std::u16string folder;  // `path` without its last '/'

  std::string name, artist, album, genre, year, track, icon, loading_phrase, charter, video, background,
      banner_link_a, banner_link_b, link_name_a, link_name_b, last_play;

  int32_t delay = 0;
  int32_t kit_type = 1;
  int32_t keys_type = 1;
  int32_t guitar_type = 1;
  int32_t bass_type = 1;
  int32_t dance_type = 1;
  int32_t preview_start_time = -1;

  int32_t diff_band = 0, diff_drums = 0, diff_guitar = 0, diff_bass = 0, diff_keys = 0, diff_vocals = 0,
          diff_drums_real = 0, diff_guitar_real = 0, diff_bass_real = 0, diff_keys_real = 0,
          diff_vocals_harm = 0, diff_dance = 0, diff_drums_real_vl = 0, diff_keys_real_vl = 0,
          diff_guitar_coop = 0, diff_rhythm = 0;

  std::array<int32_t, 6> real_guitar_tuning{};
  std::array<int32_t, 6> real_bass_tuning{};

  int32_t rating = 0;  // 0-5
  int32_t count = 0;   // times played
  int32_t song_length = 0;  // ms

  bool iniFound = false;  // "song.ini" exists
  // The file was read and its "[song]" header found; only then may it be rewritten.
  bool iniRead = false;

  bool video_loop = true;
  int32_t video_start_time = 0;
  int32_t video_end_time = -1;

  bool eighthnote_hopo = false, vl_calibrator = false, sysex_slider = false, sysex_pro_slide = false,
       sysex_high_hat_ctrl = false, sysex_rimshot = false, sysex_open_bass = false, five_lane_drums = false,
       drum_fallback_blue = false;

  int32_t multiplier_note = 0;
  int32_t real_keys_lane_count_right = 18;
  int32_t real_keys_lane_count_left = 18;
  int32_t hopo_frequency = 0;

  // Owned by the menus; the file never sets them.
  int32_t menuValue = 0;
  uint8_t menuFlag = 0;
  // Set only by a career's song list.
  uint8_t careerLocked = 0;
  int32_t careerUnlock = 0;
};

// Changes or adds one key in the folder's "song.ini": every line whose key equals
// `key` (ignoring case) becomes "key = value"; without one the line goes after the
// last non-blank line. Every other line, blank lines and line ends included, stays
// as it was. Nothing happens (false) when the file is missing, when its header cannot
// be found (logged), or when the new file could not be written (logged; the old
// file stays). True when the file holds the value afterwards.
bool SetSongIniValue(std::u16string_view songFolder, std::string_view key, std::string_view value);
// The same for several keys in one rewrite, applied in order.
bool SetSongIniValues(std::u16string_view songFolder, const std::vector<std::pair<std::string, std::string>>& values);

// The in-memory step of SetSongIniValues: `bytes` becomes the changed file. False,
// with `bytes` untouched, when the text has no "[song]" header.
bool EditSongIniBytes(std::string& bytes, const std::vector<std::pair<std::string, std::string>>& values);

// One "key = value" line: the key is the text before the first '=', the value the
// text after it, both without surrounding blanks. False for a line without '=' or
// with an empty key.
bool SplitSongIniLine(std::string_view line, std::string& key, std::string& value);

// Up to six integers separated by blanks ("0 -2 0 0 0 0", with or without a trailing
// blank). Values not given keep what they held; true when all six were given.
bool ParseTuning(std::array<int32_t, 6>& values, std::string_view text);

const char* BoolToIniText(bool value);  // "1" or "0"
