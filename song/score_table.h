// A song's stored results and its cached chart summary, kept in the song folder's
// binary "vl.dat":
//
//   "VL", version byte (2), int32 record count, then records to the end of the file:
//   int32 type, int32 length, `length` payload bytes. Type 0 is one result as
//   "name,players,score,rating,percent,difficulty,instrument" XOR-scrambled; type 1
//   is "instrument,present,mask" of one instrument's availability; type 2 is the MD5
//   of the chart the availability was taken from. All integers little-endian.
//
// Payloads are byte strings: a scrambled name can hold zero bytes. The reader takes
// any bytes: a record that does not fit the file ends the reading with a logged
// error and keeps what came before it. A file that was not read whole (not a score
// file, or cut short) is kept beside the new one as "vl.dat.bad" by the next save.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "song/instrument.h"

struct ScoreEntry {
  std::string name = "EMPTY";  // the player's profile name
  int32_t score = 0;           // the band's total score
  int32_t rating = 0;          // 0-6
  int32_t percent = 0;         // 0-100, or 200 for a full combo at expert or above
  int32_t difficulty = 0;      // 0-4
  int32_t instrument = 0;      // `Instrument` 0-14
  int32_t players = 0;         // players in the song together (1 = alone)

  // Fills the entry from the plain text of a score record; true when it had at
  // least six comma-separated fields (with six, `instrument` stays as it was).
  bool Parse(std::string_view text);
  // The plain text of the entry's score record.
  std::string Text() const;
};

struct Availability {
  uint8_t present = 0;                  // the chart has a track for the instrument
  std::array<uint8_t, 5> difficulty{};  // difficulties 0-4 present
};

class ScoreTable {
 public:
  static constexpr int32_t kSlots = 40;
  static constexpr int32_t kSavedMax = 39;  // a saved file always leaves one slot free
  static constexpr const char* kScoreKey = "TRUVO";
  static constexpr const char* kFileName = "vl.dat";

  std::array<ScoreEntry, kSlots> entries;
  std::u16string folder;  // the song folder, ending in '/'
  int32_t count = 0;      // entries in use, best first
  std::array<Availability, kInstrumentCount> availability{};
  uint8_t hasAvailability = 0;  // the file held an availability record
  uint8_t reloadFlag = 0;       // set and cleared by the song library's users, never here
  std::string chartHash;        // MD5 of "notes.mid" the availability was taken from
  uint8_t version = 0;          // version byte of the file last read

  // Reads folder + "vl.dat". False when the file is missing or is not a score file
  // ("Data File Not In Correct Format!"); true otherwise, also when a record that
  // does not fit ended the reading ("Data Read Length Error").
  bool Load(std::u16string folder);
  // The reading step over the file's bytes (the folder is not touched).
  bool LoadBytes(std::string_view bytes);

  // Sorts, keeps the best 39, and writes the whole table. False when the file could
  // not be written ("Could NOT Open/Find:" and the path; the old file stays). When
  // the last load did not read the file whole, its bytes are first kept aside
  // ("vl.dat.bad"); should that fail, nothing is written.
  bool Save();
  // The file's bytes for the table as it is (no sorting or limit applied).
  std::string Serialize() const;

  // A result: kept once per player name and play kind (alone: per instrument; with
  // others: per number of players). True when it was stored and saved.
  bool AddScore(int32_t players, int32_t score, int32_t rating, int32_t percent, int32_t difficulty,
                int32_t instrument, std::string name);
  bool AddOrReplace(ScoreEntry entry);
  // Puts the entry into the next slot (dropping the lowest when all 40 are in use),
  // saves and reads the file back. False, with the entry kept in memory, when the
  // save failed.
  bool Append(const ScoreEntry& entry);

  // Fills one availability record from "instrument,present,mask". False (nothing
  // changed) when the instrument is not a number in 0-14.
  bool ParseAvailability(std::string_view text);

  // The field of the highest-scoring entry of that name, instrument and number of
  // players; `players` -1 asks for any result played with others (instrument
  // ignored). -1 when none matches.
  int32_t BestScore(std::string name, int32_t instrument, int32_t players) const;
  int32_t BestRating(std::string name, int32_t instrument, int32_t players) const;
  int32_t BestPercent(std::string name, int32_t instrument, int32_t players) const;
  int32_t BestDifficulty(std::string name, int32_t instrument, int32_t players) const;

  std::u16string FilePath() const { return folder + u"vl.dat"; }

 private:
  const ScoreEntry* Best(const std::string& name, int32_t instrument, int32_t players) const;
  void SortEntries();
  // The last load did not read the whole file; saving would destroy what it missed.
  bool readDamaged_ = false;
};

// The name as results store it: a comma would split the record's fields.
std::string StoredScoreName(std::string_view name);
