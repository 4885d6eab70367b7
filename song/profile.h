// A player's profile: name, board and instrument preferences, MIDI link and the
// achievements, in a UTF-16 key-value file "profiles/<name>.dat" of the program
// folder ("profiles/Guest.dat" for the guest). Every controller carries one.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class Profile {
 public:
  static constexpr int32_t kAchievementCount = 100;
  static constexpr int32_t kListSize = 100;
  static constexpr const char* kAchievementKey = "QUMBERLY";

  Profile() = default;

  // Every field to its default; the path becomes empty. Always true.
  bool SetDefaults();
  // Defaults, then the file. False when it cannot be opened (silently) or has no
  // byte-order mark (logged); the profile then keeps its defaults and this path, so
  // that its next save creates the file.
  bool Load(std::u16string path);
  // Writes every key to `path`, replacing the file only once all of it is written.
  // False for a read-only profile (the file is not touched) or when writing failed.
  bool Save() const;

  // Appends the text to list 0 or 1 and saves; false when the list is full (nothing
  // saved) or the list number is not 0 or 1.
  bool AddListEntry(int32_t list, std::string text);
  bool HasListEntry(std::string text, int32_t list) const;

  // The file value of the achievement flags: the set indices joined by commas,
  // scrambled. Only digits and commas are scrambled, under an upper-case key, so
  // every byte of the result lies in 0x60-0x7F: never a quote or a line end.
  std::string BuildAchievements() const;
  // Sets (never clears) the flags a file value names; indices outside 0-99 are
  // ignored.
  void ParseAchievements(std::string value);
  // Entries 0 to count - 1 joined by commas; empty for a list number other than 0, 1.
  std::string BuildList(int32_t list) const;
  // Up to 100 entries from a comma-joined value (an empty value gives none).
  void ParseList(std::string value, int32_t list);

  bool READONLY = false;
  std::string PLAYERNAME = "No Name";
  std::u16string NECK = u"[Random]";
  bool LEFTY = false;
  bool LEFTYDRUMS = false;
  bool LEFTYKEYS = false;
  // Not in the file: the network code sets it for remote players (0 four drum
  // lanes, otherwise five).
  int32_t drumLaneSwitch = 0;
  int32_t LEGACYDRUMLANECOUNT = 0;
  int32_t REALDRUMLAYOUT = 2;
  int32_t NECKSPEED = 32;
  int32_t NECKSPEEDREALGUITAR = 32;
  int32_t FAVOURITEGUITAR = 2;
  int32_t FAVOURITEREALGUITAR = 7;
  int32_t FAVOURITEDRUMS = 0;
  int32_t FAVOURITEKEYS = 3;
  int32_t FAVOURITEBASSSKILL = 3;
  int32_t FAVOURITEGUITARSKILL = 3;
  int32_t FAVOURITEDRUMSSKILL = 3;
  int32_t FAVOURITEKEYSSKILL = 3;
  int32_t FAVOURITEREALKEYSSKILL = 3;
  int32_t FAVOURITEREALBASSSKILL = 3;
  int32_t FAVOURITEREALGUITARSKILL = 3;
  int32_t FAVOURITEREALDRUMSSKILL = 3;
  int32_t FAVOURITEADVANCEDDRUMSSKILL = 3;
  std::u16string path;  // the file loaded from and saved to
  std::array<bool, kAchievementCount> achievements{};
  // ACHIEVEMENTS2 and ACHIEVEMENTS3: entries below the count are in use.
  std::array<std::array<std::string, kListSize>, 2> lists = NoneLists();
  int32_t DRUMSASSIST = 0;
  int32_t GUITARASSIST = 0;
  int32_t KEYSASSIST = 0;
  int32_t DANCEASSIST = 0;
  std::array<int32_t, 2> listCounts{};
  int32_t NECKANGLE = 4;
  int32_t WHAMMYFX = 0;
  int32_t WHAMMYDIRECTION = 0;
  int32_t REALGUITARLEGACYCUTOFF = 50;
  int32_t REALGUITARLEGACYSTRINGFILTER = 0;
  int32_t REALGUITARFRETCOUNT = 17;
  int32_t BLINDMODE = 0;
  int32_t REALKEYSLANECOUNT = 18;
  int32_t RIDECRASHFLIP = 0;
  int32_t VELOCITYMODE = 1;
  int32_t OPPOSITEHANDGHOSTING = 0;
  int32_t BOTSKILL = 0;
  int32_t FOURLANEFREESTYLETYPE = 0;
  int32_t LEGACYKEYSFINGERLAYOUT = 0;
  int32_t AUTOMIDILINK = 1;
  int32_t MIDILINKPROFILE = 0;
  std::u16string MIDILINKNAME;
  int32_t MIDILINKTYPE = 0;
  int32_t BASSDRUMCAMERASHAKE = 1;
  int32_t GUITARTILT = 1;

 private:
  static std::array<std::array<std::string, kListSize>, 2> NoneLists();
  // The last load found a file it could not read (not text, too large): the first
  // save keeps its bytes beside the new file.
  mutable bool unreadableFile_ = false;
};

// "profiles/" + name + ".dat". The name's characters that could leave the folder or
// that file systems refuse ('/', '\', ':', '*', '?', '"', '<', '>', '|' and control
// characters) become '_' in the file name only, so no name reaches another folder.
// Names that are valid file names keep them.
std::u16string ProfilePathForName(std::string_view playerName);
