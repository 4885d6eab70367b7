// The song library behind the song lists of the menus: one entry per sub-folder of a
// folder, with its "song.ini" information and stored scores (whose availability
// cache tells which instruments a song offers without opening its chart), sorted by
// one of nine criteria; or a career track shown as tier headings and their songs.
// The first entries can be left free for the screen's own rows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "song/score_table.h"
#include "song/song_info.h"

class CareerTrack;

struct SongLibraryEntry {
  SongInfo info;
  ScoreTable scores;
  // MD5 of the song's "notes.mid" when the library was asked for MD5s, else empty.
  std::string notesMd5;
};

class SongLibrary {
 public:
  // Stores the root and the criterion, then scans.
  SongLibrary(int32_t freeEntries, int32_t sortCriterion, bool computeMd5, std::u16string root);
  SongLibrary() = default;

  std::u16string root;  // the folder scanned, ending in '/'
  std::vector<SongLibraryEntry> entries;
  int32_t count = 0;  // entries, the free ones included
  int32_t sortCriterion = 0;

  void Free();
  // Rebuilds the entries: the free ones, then one per sub-folder of `root` with its
  // "song.ini" and, where that was found, its "vl.dat" (and the chart's MD5 when
  // asked for), sorted from the first entry after the free ones.
  void Scan(int32_t freeEntries, bool computeMd5);
  // Appends one entry per sub-folder of `folder` from index `first` on (entries
  // before it stay); false when the folder cannot be listed.
  bool ReadFolders(int32_t first, std::u16string_view folder);
  // Sorts the entries from `first` to the end by criterion 0-8 (below); any other
  // criterion is only stored. Entries that compare equal keep their order.
  bool Sort(int32_t first, int32_t criterion);
  // Two empty entries, then per tier a heading entry and the tier's songs
  // ("=SONG MISSING=" for one that cannot be found). Nothing is sorted.
  bool BuildFromCareerTrack(const CareerTrack& track);
  // Reads "vl.dat" again for every entry whose table carries the reload flag, and
  // clears the flag.
  bool ReloadScores();

  // Whether the first entry sorts strictly before the second. Texts compare byte by
  // byte as stored (capitals before small letters, a prefix before its longer text).
  static bool ByName(const SongLibraryEntry& a, const SongLibraryEntry& b);        // 0: name ascending
  static bool ByArtist(const SongLibraryEntry& a, const SongLibraryEntry& b);      // 1: artist ascending
  static bool ByAlbum(const SongLibraryEntry& a, const SongLibraryEntry& b);       // 2: album ascending
  static bool ByBandDifficulty(const SongLibraryEntry& a, const SongLibraryEntry& b);  // 3: diff_band descending
  static bool ByRating(const SongLibraryEntry& a, const SongLibraryEntry& b);      // 4: rating descending
  static bool ByCount(const SongLibraryEntry& a, const SongLibraryEntry& b);       // 5: play count descending
  static bool ByGenre(const SongLibraryEntry& a, const SongLibraryEntry& b);       // 6: genre ascending
  static bool ByYear(const SongLibraryEntry& a, const SongLibraryEntry& b);        // 7: year descending, as text
  static bool ByTrack(const SongLibraryEntry& a, const SongLibraryEntry& b);       // 8: track ascending, as text
};
