// A player's progress through one career: a small binary file "user_<time>.dat" in
// the career folder with the player's name, the instrument track and skill chosen,
// the overall progress and score, and one result per completed song keyed by the
// song's chart MD5.
//
// File: 'V' 'L' 2, then records to the end of the file, each a uint32 type, a uint32
// 0, a uint32 payload length L (24 + text length), six int32 and the text, all
// little-endian. Type 1 is the user (instrument, skill, progress, score, two spare
// values; name), type 2 a result (score, rating, percent, flags, two spare values;
// hash).
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <string_view>

struct CareerResult {
  int32_t score = 0;    // best song score
  int32_t rating = 0;   // rating points earned, 0-6
  int32_t percent = 0;  // notes hit, as in the score file
  int32_t flags = 0;    // bit 0: the result counts and is written to the file
  int32_t extra1 = 0;   // kept as read
  int32_t extra2 = 0;
  std::string hash;     // chart MD5 of the song
};

struct CareerUser {
  std::u16string file;
  int32_t instrument = 0;
  int32_t skill = 0;
  int32_t progress = 0;  // percent of the track's songs with a result
  int32_t score = 0;     // sum of the results' scores
  int32_t extra1 = 0;
  int32_t extra2 = 0;
  std::string name;
  std::list<CareerResult> results;  // in the order read or appended
  int32_t resultCount = 0;
  // Set when the file existed but could not be read whole (unreadable, another
  // format, a damaged record). Such a file is never overwritten, so what it holds
  // beyond the part that was read is not lost.
  bool damaged = false;
};

// Outcome of reading progress-file bytes.
enum class UserDataParse { kOk, kBadFormat, kLengthError };

namespace UserData {

// Empties the user, stores the path and reads the file. A file that cannot be opened
// leaves the user empty; a bad header logs "User Data File Not In Correct Format:"
// and a record running past the end "User Data Read Length Error:" (what was read
// before it is kept).
void Read(CareerUser& user, std::u16string path);
// The record part of Read over bytes in memory; logs nothing.
UserDataParse Parse(CareerUser& user, std::string_view bytes);

// The file's bytes: header, the user record, one record per result with flags bit 0.
std::string Serialize(const CareerUser& user);
// Writes the file through a temporary file. False, with "Could NOT Open/Find:"
// logged, when it cannot be written or the user came from a damaged file.
bool Write(const CareerUser& user);

// Records one song result (flags bit 0 must be set) and writes the file. An equal or
// higher score replaces the stored result for that hash; a lower one changes nothing.
// True when the result was recorded, also when the write then failed.
bool Save(CareerUser& user, int32_t score, int32_t rating, int32_t percent, int32_t flags, int32_t songCount,
          std::string hash);

void ClearList(CareerUser& user);
CareerResult& AppendResult(CareerUser& user);

// progress := results / songs in percent (truncated, at most 100; 0 when either is 0),
// score := the sum of the results' scores.
void UpdateTotals(CareerUser& user, int32_t songCount);

}  // namespace UserData
