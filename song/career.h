// Careers: a folder under "careers/" with "career.ini" (name and comment) and, per
// instrument, a sub-folder of tier files "tier_0.ini", "tier_1.ini" ... up to the
// first missing number. A tier names up to 50 songs by folder and chart MD5 and the
// rating points on the track that unlock it. Songs that moved are found again by
// their MD5 in the song list and the tier file is rewritten with the new folder.
// The players' progress files live in the career folder (career_user.h).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "song/career_user.h"
#include "song/instrument.h"
#include "song/song_list.h"

inline constexpr int32_t kTierSongSlots = 50;

// "careers/" in the program folder.
std::u16string CareersFolder();

struct CareerSong {
  std::u16string path;  // the song folder, ending in '/'
  std::string hash;     // chart MD5 as read or recomputed; may be empty
  bool missing = false;  // no chart at `path` and none found by the hash
  bool locked = false;   // the song's tier is locked for the selected user
  CareerResult result;   // the selected user's result, zero with an empty hash when none
};

class CareerTier {
 public:
  std::u16string file;
  std::string name;
  int32_t unlock = 0;  // rating points on the track that open the tier
  int32_t songCount = 0;
  bool locked = false;
  bool loaded = false;  // read successfully; a tier never read cannot be saved
  // The last read met lines that a rewrite could not reproduce: songs past the 50th,
  // unknown keys or lines that are not key-value lines. Such a file is not rewritten.
  bool holdsMore = false;
  std::array<CareerSong, kTierSongSlots> songs;

  void Clear();
  // Reads the tier file; false when it cannot be opened or has no byte-order mark.
  bool Load(std::u16string path);
  // The same over the file's bytes (`path` names the file in the log).
  bool LoadFromBytes(std::string_view bytes, std::u16string path);
  // Rewrites the file: "name", "unlock", one "song" line per song.
  bool Save();
  // Reads the tier again, then repairs it: a song whose chart is gone is looked up
  // by its hash in the song list and takes the found folder; a chart whose MD5 has
  // changed gives the song its new hash. The file is saved when anything changed.
  bool ResolveSongs(const SongList& songs);

 private:
  // The last read found a file it could not read (not text, too large, a read
  // error): whatever saves a new tier there first keeps those bytes as ".bad".
  bool unreadableFile_ = false;
};

class CareerTrack {
 public:
  std::u16string folder;
  int32_t tierCount = 0;
  std::vector<CareerTier> tiers;
  int32_t instrument = 0;
  bool loaded = false;     // at least one tier file was found
  int32_t songTotal = -1;  // songs over all tiers; -1 while there are none
  int32_t ratingTotal = 0;  // the selected user's rating points on this track

  void Clear();
  // Reads tier_0.ini, tier_1.ini ... of the folder; false when tier_0.ini is missing.
  bool Load(int32_t instrument, std::u16string folder);
  // Song slot `index` counting through the tiers in order; null past the end.
  CareerSong* SongAtIndex(int32_t index);
  // Whether every tier file read whole, so that the songs in memory are all the
  // songs of the track.
  bool Complete() const;
};

class Career;

struct CareerList {
  int32_t count = 0;
  std::vector<std::unique_ptr<Career>> careers;
};

class Career {
 public:
  Career() = default;
  Career(const Career&) = delete;
  Career& operator=(const Career&) = delete;

  std::array<CareerTrack, kInstrumentCount> tracks;
  CareerTrack* selectedTrack = nullptr;
  std::vector<CareerUser> users;
  CareerUser* selectedUser = nullptr;
  std::u16string folder;  // "careers/" + name + "/"
  std::string name;
  std::string comment;
  int32_t userCount = 0;
  bool loaded = false;

  // Reads every career folder under CareersFolder() into the list.
  static void ScanFolders(CareerList& list);

  void Clear();
  // Reads "career.ini" and every instrument's tiers; false when "career.ini" cannot
  // be opened or has no byte-order mark (the tracks stay empty then).
  bool Load();
  // The "career.ini" part of Load over the file's bytes.
  bool ParseIni(std::string_view bytes);
  bool ResolveMissingSongs(const SongList& songs);
  // The selected track's song slot at a running index (null when none).
  CareerSong* SongAtIndex(int32_t index);
  // Selects the user at `userIndex` and the track of the user's instrument, then
  // refreshes the progress. False when the index or the user's instrument is out of
  // range (no track is selected for such a user).
  bool SelectTrack(int32_t userIndex);
  // Recomputes the selected track's rating total, song results and locks from the
  // selected user's results, then runs the orphan check.
  bool RefreshProgress();
  // The selected user's result for the song's hash, or null.
  CareerResult* FindResult(const CareerSong& song);

  // Progress files (career_user.cpp).
  bool LoadUserFiles();
  bool CreateUserProgress(int32_t instrument, int32_t skill, std::string name);
  // Drops the selected user's results whose song is no longer in the track of the
  // user's instrument, then recomputes progress and score and writes the file.
  // Results are dropped only when every tier of that track read whole.
  bool OrphanCheck();
};
