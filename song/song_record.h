// One song of the song list: the folder and chart MD5 that identify it, and the few
// "song.ini" values the search screen and the network song check show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A chart hash that can name a song: 32 hexadecimal digits. The "-1" that stands for
// an unreadable chart, and an empty text, never name one.
bool IsValidChartHash(std::string_view hash);

struct SongRecord {
  // MD5 of the folder's "notes.mid" (32 lower-case hexadecimal digits), "-1" when
  // that file cannot be read, empty when the scan was not asked for MD5s.
  std::string md5;
  std::string name;
  std::string artist;
  std::string album;
  int32_t rating = 0;     // "song.ini" "rating"
  int32_t playCount = 0;  // "song.ini" "count"
  std::string lastPlay;   // "song.ini" "last_play"
  std::u16string folder;  // the song folder, ending in '/'
  int32_t iniSize = 0;    // size of "song.ini" when the scan made the record
  int32_t spare = 0;
  SongRecord* next = nullptr;
  SongRecord* prev = nullptr;
};
