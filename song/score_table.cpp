#include "song/score_table.h"

#include <algorithm>
#include <vector>

#include "core/log.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "song/xor_scramble.h"

namespace {

// A score file holds at most 40 short records; anything this size is not one.
constexpr size_t kMaxFileBytes = size_t(4) << 20;

void Put32(std::string& out, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

int32_t Get32(std::string_view bytes, size_t at) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return static_cast<int32_t>(u);
}

void PutRecord(std::string& out, int32_t type, std::string_view payload) {
  Put32(out, type);
  Put32(out, static_cast<int32_t>(payload.size()));
  out.append(payload);
}

std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) {
      fields.push_back(text.substr(start));
      return fields;
    }
    fields.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
}

// An instrument index as the writer puts it: decimal digits only, 0-14.
int32_t InstrumentField(std::string_view field) {
  if (field.empty()) return -1;
  int32_t value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
    if (value >= kInstrumentCount) return -1;
  }
  return value;
}

std::u16string WithSlash(std::u16string folder) {
  folder = platform::ToSlashes(folder);
  if (!folder.empty() && folder.back() != u'/') folder.push_back(u'/');
  return folder;
}

}  // namespace

std::string StoredScoreName(std::string_view name) {
  std::string s(name);
  std::replace(s.begin(), s.end(), ',', ' ');
  return s;
}

bool ScoreEntry::Parse(std::string_view text) {
  if (text.empty()) return false;
  const std::vector<std::string_view> f = SplitCommas(text);
  if (f.size() < 6) return false;
  name.assign(f[0]);
  players = platform::AtoI(f[1]);
  score = platform::AtoI(f[2]);
  rating = platform::AtoI(f[3]);
  percent = platform::AtoI(f[4]);
  difficulty = platform::AtoI(f[5]);
  if (f.size() > 6) instrument = platform::AtoI(f[6]);
  return true;
}

std::string ScoreEntry::Text() const {
  std::string s = name;
  for (int32_t v : {players, score, rating, percent, difficulty, instrument}) {
    s.push_back(',');
    s += std::to_string(v);
  }
  return s;
}

bool ScoreTable::Load(std::u16string songFolder) {
  count = 0;
  hasAvailability = 0;
  chartHash.clear();
  version = 0;
  readDamaged_ = false;
  folder = WithSlash(std::move(songFolder));

  const std::u16string path = FilePath();
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes, kMaxFileBytes)) {
    if (platform::IsRegularFile(platform::ResolvePath(platform::PathToNative(path)))) {
      // There is a file, too large or unreadable: kept aside before the next save.
      LogEx(0, "Data File Not In Correct Format!");
      readDamaged_ = true;
    }
    return false;
  }
  return LoadBytes(bytes);
}

bool ScoreTable::LoadBytes(std::string_view bytes) {
  count = 0;
  hasAvailability = 0;
  chartHash.clear();
  version = 0;
  readDamaged_ = false;

  if (bytes.size() < 3 || bytes[0] != 'V' || bytes[1] != 'L' || static_cast<int8_t>(bytes[2]) > 2) {
    LogEx(0, "Data File Not In Correct Format!");
    readDamaged_ = true;
    return false;
  }
  version = static_cast<uint8_t>(bytes[2]);

  const std::string key = kScoreKey;
  size_t offset = 7;
  if (bytes.size() < offset) {
    LogEx(0, "Data Read Length Error");
    readDamaged_ = true;
  }
  while (offset < bytes.size() && count < kSlots) {
    const size_t remaining = bytes.size() - offset;
    if (remaining < 8) {
      LogEx(0, "Data Read Length Error");
      readDamaged_ = true;
      break;
    }
    const int32_t type = Get32(bytes, offset);
    const int32_t length = Get32(bytes, offset + 4);
    if (length < 0 || static_cast<size_t>(length) > remaining - 8) {
      // The records after this one are lost to the reader: the file is kept aside
      // before a save writes only what was read.
      LogEx(0, "Data Read Length Error");
      readDamaged_ = true;
      break;
    }
    const std::string_view payload = bytes.substr(offset + 8, static_cast<size_t>(length));
    offset += 8 + static_cast<size_t>(length);
    switch (type) {
      case 0: {
        ScoreEntry& slot = entries[static_cast<size_t>(count)];
        slot = ScoreEntry();
        if (slot.Parse(XorScramble(payload, key))) ++count;
        break;
      }
      case 1:
        if (ParseAvailability(payload)) hasAvailability = 1;
        else LogEx(0, "Data Availability Record Error");
        break;
      case 2:
        if (!payload.empty()) chartHash.assign(payload);
        break;
      default:
        break;
    }
  }
  SortEntries();
  return true;
}

std::string ScoreTable::Serialize() const {
  std::string out = "VL";
  out.push_back(2);
  Put32(out, count);
  const std::string key = kScoreKey;
  for (int32_t i = 0; i < count; ++i) PutRecord(out, 0, XorScramble(entries[static_cast<size_t>(i)].Text(), key));
  for (int32_t i = 0; i < kInstrumentCount; ++i) {
    const Availability& a = availability[static_cast<size_t>(i)];
    int mask = 0;
    for (int d = 0; d < 5; ++d)
      if (a.difficulty[static_cast<size_t>(d)]) mask |= 1 << d;
    PutRecord(out, 1, std::to_string(i) + "," + (a.present ? "1" : "0") + "," + std::to_string(mask));
  }
  PutRecord(out, 2, chartHash);
  return out;
}

bool ScoreTable::Save() {
  const std::u16string path = FilePath();
  if (readDamaged_) {
    // A file that was not read whole keeps its bytes beside the new one.
    if (!platform::KeepDamagedCopy(path)) {
      Log(0, u"Score file kept, it could not be read: " + path);
      return false;
    }
    readDamaged_ = false;
  }
  SortEntries();
  if (count >= kSlots) {
    LogEx(0, "Score Count Limit. Deleting Lowest");
    count = kSavedMax;
  }
  Log(0, u"Saving New:" + path);
  platform::AtomicFile file;
  bool ok = file.Open(path);
  if (ok) {
    ok = file.Write(Serialize());
    ok = file.Commit() && ok;
  }
  if (!ok) {
    if (file.RefusedReadOnly()) Log(0, u"Score file is read-only, not saved: " + path);
    Log(0, u"Could NOT Open/Find:" + path);
    return false;
  }
  return true;
}

bool ScoreTable::AddScore(int32_t players, int32_t score, int32_t rating, int32_t percent, int32_t difficulty,
                          int32_t instrument, std::string name) {
  ScoreEntry e;
  e.name = std::move(name);
  e.players = players;
  e.score = score;
  e.rating = rating;
  e.percent = percent;
  e.difficulty = difficulty;
  e.instrument = instrument;
  return AddOrReplace(std::move(e));
}

bool ScoreTable::AddOrReplace(ScoreEntry entry) {
  entry.name = StoredScoreName(entry.name);
  for (int32_t i = 0; i < count && entry.players > 0; ++i) {
    ScoreEntry& e = entries[static_cast<size_t>(i)];
    if (e.players != entry.players || e.name != entry.name) continue;
    if (entry.players == 1 && e.instrument != entry.instrument) continue;
    if (entry.score > e.score || (entry.score == e.score && entry.percent > e.percent)) {
      e = entry;
      return Save();
    }
    return false;
  }
  return Append(entry);
}

bool ScoreTable::Append(const ScoreEntry& entry) {
  if (count >= kSlots) {
    // Only a file written elsewhere fills every slot: make room below the best 39.
    SortEntries();
    count = kSlots - 1;
  }
  entries[static_cast<size_t>(count)] = entry;
  ++count;
  if (!Save()) return false;
  // Read back what was written, so that memory and file agree; should the file have
  // gone in between, the table as saved stays.
  const ScoreTable saved = *this;
  if (!Load(folder)) *this = saved;
  return true;
}

bool ScoreTable::ParseAvailability(std::string_view text) {
  const std::vector<std::string_view> f = SplitCommas(text);
  const int32_t index = InstrumentField(f[0]);
  if (index < 0) return false;
  Availability& a = availability[static_cast<size_t>(index)];
  a.present = (f.size() > 1 && platform::AtoI(f[1]) != 0) ? 1 : 0;
  const int32_t mask = f.size() > 2 ? platform::AtoI(f[2]) : 0;
  for (int d = 0; d < 5; ++d) a.difficulty[static_cast<size_t>(d)] = (mask >> d) & 1;
  return true;
}

const ScoreEntry* ScoreTable::Best(const std::string& rawName, int32_t instrument, int32_t players) const {
  const std::string name = StoredScoreName(rawName);
  for (int32_t i = 0; i < count; ++i) {
    const ScoreEntry& e = entries[static_cast<size_t>(i)];
    if (e.name != name) continue;
    if (players == -1) {
      if (e.players > 1) return &e;
    } else if (e.instrument == instrument && e.players == players) {
      return &e;
    }
  }
  return nullptr;
}

int32_t ScoreTable::BestScore(std::string name, int32_t instrument, int32_t players) const {
  const ScoreEntry* e = Best(name, instrument, players);
  return e ? e->score : -1;
}

int32_t ScoreTable::BestRating(std::string name, int32_t instrument, int32_t players) const {
  const ScoreEntry* e = Best(name, instrument, players);
  return e ? e->rating : -1;
}

int32_t ScoreTable::BestPercent(std::string name, int32_t instrument, int32_t players) const {
  const ScoreEntry* e = Best(name, instrument, players);
  return e ? e->percent : -1;
}

int32_t ScoreTable::BestDifficulty(std::string name, int32_t instrument, int32_t players) const {
  const ScoreEntry* e = Best(name, instrument, players);
  return e ? e->difficulty : -1;
}

void ScoreTable::SortEntries() {
  std::stable_sort(entries.begin(), entries.begin() + count,
                   [](const ScoreEntry& a, const ScoreEntry& b) { return a.score > b.score; });
}
