// The song list: the flat catalogue of every song folder under the music folder,
// looked up by chart MD5 (careers, network song checks) and by folder (the play
// count and rating of the song being played), and sorted for the search screen. The
// same list type holds the search results and each network peer's songs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/paths.h"
#include "song/song_record.h"

class SongList {
 public:
  SongList() = default;
  ~SongList() { Clear(); }
  SongList(const SongList&) = delete;
  SongList& operator=(const SongList&) = delete;

  SongRecord* head = nullptr;
  int32_t count = 0;

  // Frees every record.
  void Clear();
  // A new empty record linked at the end.
  SongRecord* Append();
  // The first record whose MD5 equals the hash byte for byte. A text that is not a
  // 32-digit hash ("-1", empty) finds nothing.
  SongRecord* FindByHash(std::string_view hash) const;
  // The first record whose folder equals the path exactly (case matters).
  SongRecord* FindByPath(std::u16string_view folder) const;
  // Record n from the head; the last one when n is at or past the end, the head when
  // n is negative, null when the list is empty.
  SongRecord* GetAt(int32_t n) const;
  // Stable sort: 0 name, 1 artist, 2 album (ascending, byte by byte), 3 rating,
  // 4 play count (descending), 5 last play (ascending). Other criteria change nothing.
  void Sort(int32_t criterion);

 private:
  SongRecord* tail_ = nullptr;
};

// One level of the recursive scan: the sub-folders found in it.
struct FolderScan {
  std::vector<platform::DirEntry> children;
  int32_t count = 0;
  void Clear();
};

// Deepest folder level the scan descends to below the music folder.
inline constexpr int kMaxScanDepth = 64;

// Walks `folder` (ending in '/'; '\' is taken as '/') and appends one record for
// every folder, the music folder included, whose "song.ini" exists and is not empty:
// sub-folders before the folder itself, in sorted listing order. A folder reached a
// second time (a symbolic link or bind mount looping back) is not scanned again.
// With computeMd5 each record gets the MD5 of its "notes.mid". `scan` is left with
// the sub-folders of `folder`.
void ScanSongFolders(FolderScan& scan, std::u16string_view folder, SongList& list, bool computeMd5);
void ScanSongFolders(std::u16string_view folder, SongList& list, bool computeMd5);
