#include "song/profile.h"

#include <vector>

#include "core/kvfile.h"
#include "core/log.h"
#include "core/utils.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "song/instrument.h"
#include "song/xor_scramble.h"

namespace {

// The achievements value must stay on its line of the key-value file: the file
// format has no escapes, a CR or LF would end the line and a stray quote would move
// the value's end. The plain text only ever holds digits and commas; check at
// compile time that none of them, under any letter of the key, scrambles into a
// byte that the line format treats specially.
constexpr bool ScrambledAchievementsStayOnTheirLine() {
  constexpr std::string_view plain = "0123456789,";
  constexpr std::string_view key = Profile::kAchievementKey;
  for (char p : plain) {
    for (char k : key) {
      const unsigned char c = static_cast<unsigned char>(p ^ k);
      if (c < 0x20 || c == '"' || c >= 0x80) return false;
    }
  }
  return true;
}
static_assert(ScrambledAchievementsStayOnTheirLine());

// Scrambled values go into the file one byte per code unit and come back the same
// way, whatever the bytes are.
std::u16string BytesToUnits(std::string_view bytes) {
  std::u16string s;
  s.reserve(bytes.size());
  for (char c : bytes) s.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return s;
}

std::string UnitsToBytes(std::u16string_view units) {
  std::string s;
  s.reserve(units.size());
  for (char16_t c : units) s.push_back(static_cast<char>(c & 0xFF));
  return s;
}

enum class Kind { kInt, kBool, kName, kWide, kAchievements, kList0, kList1 };

struct ProfileKey {
  const char16_t* key;
  Kind kind;
  int32_t Profile::*number = nullptr;
  bool Profile::*flag = nullptr;
  std::u16string Profile::*wide = nullptr;
};

ProfileKey Int(const char16_t* k, int32_t Profile::*m) { return {k, Kind::kInt, m, nullptr, nullptr}; }
ProfileKey Bool(const char16_t* k, bool Profile::*m) { return {k, Kind::kBool, nullptr, m, nullptr}; }
ProfileKey Wide(const char16_t* k, std::u16string Profile::*m) { return {k, Kind::kWide, nullptr, nullptr, m}; }
ProfileKey Special(const char16_t* k, Kind kind) { return {k, kind, nullptr, nullptr, nullptr}; }

// Every key of the file, in the order the writer puts them.
const std::vector<ProfileKey>& Keys() {
  static const std::vector<ProfileKey> keys = {
      Special(u"PLAYERNAME", Kind::kName),
      Wide(u"NECK", &Profile::NECK),
      Bool(u"LEFTY", &Profile::LEFTY),
      Bool(u"LEFTYDRUMS", &Profile::LEFTYDRUMS),
      Bool(u"LEFTYKEYS", &Profile::LEFTYKEYS),
      Int(u"NECKSPEED", &Profile::NECKSPEED),
      Int(u"NECKSPEEDREALGUITAR", &Profile::NECKSPEEDREALGUITAR),
      Int(u"FAVOURITEGUITAR", &Profile::FAVOURITEGUITAR),
      Int(u"FAVOURITEREALGUITAR", &Profile::FAVOURITEREALGUITAR),
      Int(u"FAVOURITEDRUMS", &Profile::FAVOURITEDRUMS),
      Int(u"FAVOURITEKEYS", &Profile::FAVOURITEKEYS),
      Int(u"FAVOURITEBASSSKILL", &Profile::FAVOURITEBASSSKILL),
      Int(u"FAVOURITEGUITARSKILL", &Profile::FAVOURITEGUITARSKILL),
      Int(u"FAVOURITEDRUMSSKILL", &Profile::FAVOURITEDRUMSSKILL),
      Int(u"FAVOURITEKEYSSKILL", &Profile::FAVOURITEKEYSSKILL),
      Int(u"FAVOURITEREALKEYSSKILL", &Profile::FAVOURITEREALKEYSSKILL),
      Int(u"FAVOURITEREALDRUMSSKILL", &Profile::FAVOURITEREALDRUMSSKILL),
      Int(u"FAVOURITEADVANCEDDRUMSSKILL", &Profile::FAVOURITEADVANCEDDRUMSSKILL),
      Int(u"FAVOURITEREALBASSSKILL", &Profile::FAVOURITEREALBASSSKILL),
      Int(u"FAVOURITEREALGUITARSKILL", &Profile::FAVOURITEREALGUITARSKILL),
      Int(u"DRUMSASSIST", &Profile::DRUMSASSIST),
      Int(u"GUITARASSIST", &Profile::GUITARASSIST),
      Int(u"KEYSASSIST", &Profile::KEYSASSIST),
      Int(u"DANCEASSIST", &Profile::DANCEASSIST),
      Int(u"REALKEYSLANECOUNT", &Profile::REALKEYSLANECOUNT),
      Int(u"BLINDMODE", &Profile::BLINDMODE),
      Int(u"NECKANGLE", &Profile::NECKANGLE),
      Int(u"LEGACYDRUMLANECOUNT", &Profile::LEGACYDRUMLANECOUNT),
      Int(u"REALDRUMLAYOUT", &Profile::REALDRUMLAYOUT),
      Int(u"REALGUITARLEGACYCUTOFF", &Profile::REALGUITARLEGACYCUTOFF),
      Int(u"REALGUITARLEGACYSTRINGFILTER", &Profile::REALGUITARLEGACYSTRINGFILTER),
      Int(u"REALGUITARFRETCOUNT", &Profile::REALGUITARFRETCOUNT),
      Int(u"VELOCITYMODE", &Profile::VELOCITYMODE),
      Int(u"OPPOSITEHANDGHOSTING", &Profile::OPPOSITEHANDGHOSTING),
      Int(u"RIDECRASHFLIP", &Profile::RIDECRASHFLIP),
      Int(u"BOTSKILL", &Profile::BOTSKILL),
      Int(u"FOURLANEFREESTYLETYPE", &Profile::FOURLANEFREESTYLETYPE),
      Int(u"WHAMMYFX", &Profile::WHAMMYFX),
      Int(u"WHAMMYDIRECTION", &Profile::WHAMMYDIRECTION),
      Int(u"LEGACYKEYSFINGERLAYOUT", &Profile::LEGACYKEYSFINGERLAYOUT),
      Int(u"MIDILINKPROFILE", &Profile::MIDILINKPROFILE),
      Int(u"MIDILINKTYPE", &Profile::MIDILINKTYPE),
      Int(u"AUTOMIDILINK", &Profile::AUTOMIDILINK),
      Wide(u"MIDILINKNAME", &Profile::MIDILINKNAME),
      Int(u"BASSDRUMCAMERASHAKE", &Profile::BASSDRUMCAMERASHAKE),
      Int(u"GUITARTILT", &Profile::GUITARTILT),
      Bool(u"READONLY", &Profile::READONLY),
      Special(u"ACHIEVEMENTS", Kind::kAchievements),
      Special(u"ACHIEVEMENTS2", Kind::kList0),
      Special(u"ACHIEVEMENTS3", Kind::kList1),
  };
  return keys;
}

std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
}

// The numbers the profile editor offers; a value outside is held to the nearest end.
const ValueRange kProfileRanges[] = {
    {u"NECKSPEED", 2, 50},  // the board's speed factor divides by 52 - speed
    {u"NECKSPEEDREALGUITAR", 2, 50},
    {u"FAVOURITEGUITAR", 0, kInstrumentCount - 1},
    {u"FAVOURITEREALGUITAR", 0, kInstrumentCount - 1},
    {u"FAVOURITEDRUMS", 0, kInstrumentCount - 1},
    {u"FAVOURITEKEYS", 0, kInstrumentCount - 1},
    {u"FAVOURITEBASSSKILL", 0, 4},
    {u"FAVOURITEGUITARSKILL", 0, 4},
    {u"FAVOURITEDRUMSSKILL", 0, 4},
    {u"FAVOURITEKEYSSKILL", 0, 4},
    {u"FAVOURITEREALKEYSSKILL", 0, 4},
    {u"FAVOURITEREALDRUMSSKILL", 0, 4},
    {u"FAVOURITEADVANCEDDRUMSSKILL", 0, 4},
    {u"FAVOURITEREALBASSSKILL", 0, 4},
    {u"FAVOURITEREALGUITARSKILL", 0, 4},
    {u"NECKANGLE", 0, 9},
    {u"REALGUITARLEGACYCUTOFF", 0, 120},
    {u"REALGUITARLEGACYSTRINGFILTER", 0, 6},
    {u"REALGUITARFRETCOUNT", 17, 22},
    {u"LEGACYDRUMLANECOUNT", 0, 5},
    {u"BLINDMODE", 0, 5},
    {u"REALKEYSLANECOUNT", 13, 88},
    {u"BOTSKILL", 0, 5},
};

}  // namespace

std::array<std::array<std::string, Profile::kListSize>, 2> Profile::NoneLists() {
  std::array<std::array<std::string, kListSize>, 2> lists;
  for (auto& list : lists) list.fill("None");
  return lists;
}

bool Profile::SetDefaults() {
  *this = Profile();
  return true;
}

bool Profile::Load(std::u16string file) {
  SetDefaults();
  path = platform::ToSlashes(file);
  RepeatedComplaint unknownKey("Unknown Profile Variable!");
  const KeyValueRead read = ReadKeyValueFile(path, [this, &unknownKey](const std::u16string& key,
                                                                       const std::u16string& value) {
    for (const ProfileKey& k : Keys()) {
      if (key != k.key) continue;
      switch (k.kind) {
        case Kind::kInt: this->*k.number = ClampToRange(kProfileRanges, key, platform::AtoI(value)); break;
        case Kind::kBool: this->*k.flag = value == u"TRUE"; break;
        case Kind::kWide: this->*k.wide = value; break;
        case Kind::kName: PLAYERNAME = ToNarrow(value); break;
        case Kind::kAchievements: ParseAchievements(UnitsToBytes(value)); break;
        case Kind::kList0: ParseList(ToNarrow(value), 0); break;
        case Kind::kList1: ParseList(ToNarrow(value), 1); break;
      }
      return;
    }
    unknownKey.Add();
  });
  switch (read) {
    case KeyValueRead::kOk: return true;
    case KeyValueRead::kCannotOpen:
      // There but not readable (too large, a folder): kept before a save replaces it.
      unreadableFile_ = platform::PathExists(platform::PathToNative(path));
      return false;
    case KeyValueRead::kNoByteOrderMark: unreadableFile_ = true; [[fallthrough]];
    case KeyValueRead::kEmpty:
      Log(0, u"Profile Error. No BOM Found!. Please Use UNICODE:" + path);
      return false;
  }
  return false;
}

bool Profile::Save() const {
  if (READONLY) return false;
  if (unreadableFile_) {
    // The player's file that could not be read keeps its bytes beside the new one.
    if (!KeepUnreadFile(path)) {
      Log(0, u"Profile not saved over a file it could not read: " + path);
      return false;
    }
    unreadableFile_ = false;
  }
  KeyValueWriter out;
  if (!out.Open(path)) return false;
  for (const ProfileKey& k : Keys()) {
    switch (k.kind) {
      case Kind::kInt: out.Int(k.key, ClampToRange(kProfileRanges, k.key, this->*k.number)); break;
      case Kind::kBool: out.Bool(k.key, this->*k.flag); break;
      case Kind::kWide: out.Line(k.key, this->*k.wide); break;
      case Kind::kName: out.Line(k.key, ToWide(PLAYERNAME)); break;
      case Kind::kAchievements: out.Line(k.key, BytesToUnits(BuildAchievements())); break;
      case Kind::kList0: out.Line(k.key, ToWide(BuildList(0))); break;
      case Kind::kList1: out.Line(k.key, ToWide(BuildList(1))); break;
    }
  }
  return out.Close();
}

bool Profile::AddListEntry(int32_t list, std::string text) {
  if (list < 0 || list > 1) return false;
  int32_t& n = listCounts[static_cast<size_t>(list)];
  if (n >= kListSize) return false;
  lists[static_cast<size_t>(list)][static_cast<size_t>(n)] = std::move(text);
  ++n;
  Save();
  return true;
}

bool Profile::HasListEntry(std::string text, int32_t list) const {
  if (list < 0 || list > 1) return false;
  const auto& entries = lists[static_cast<size_t>(list)];
  for (int32_t i = 0; i < listCounts[static_cast<size_t>(list)]; ++i)
    if (entries[static_cast<size_t>(i)] == text) return true;
  return false;
}

std::string Profile::BuildAchievements() const {
  std::string text;
  for (int32_t i = 0; i < kAchievementCount; ++i) {
    if (!achievements[static_cast<size_t>(i)]) continue;
    if (!text.empty()) text.push_back(',');
    text += std::to_string(i);
  }
  return XorScramble(text, kAchievementKey);
}

void Profile::ParseAchievements(std::string value) {
  if (value.empty()) return;
  const std::string text = XorScramble(value, kAchievementKey);
  for (std::string_view token : SplitCommas(text)) {
    const int32_t index = platform::AtoI(token);
    if (index >= 0 && index < kAchievementCount) achievements[static_cast<size_t>(index)] = true;
  }
}

std::string Profile::BuildList(int32_t list) const {
  if (list < 0 || list > 1) return std::string();
  std::string text;
  for (int32_t i = 0; i < listCounts[static_cast<size_t>(list)]; ++i) {
    if (i > 0) text.push_back(',');
    text += lists[static_cast<size_t>(list)][static_cast<size_t>(i)];
  }
  return text;
}

void Profile::ParseList(std::string value, int32_t list) {
  if (list < 0 || list > 1) return;
  int32_t taken = 0;
  if (!value.empty()) {
    for (std::string_view piece : SplitCommas(value)) {
      if (taken == kListSize) break;
      lists[static_cast<size_t>(list)][static_cast<size_t>(taken++)] = std::string(piece);
    }
  }
  listCounts[static_cast<size_t>(list)] = taken;
}

std::u16string ProfilePathForName(std::string_view playerName) {
  std::string file(playerName);
  for (char& c : file) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) c = '_';
  }
  return u"profiles/" + ToWide(file) + u".dat";
}
