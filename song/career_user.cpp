#include "song/career_user.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/log.h"
#include "core/utils.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "song/career.h"

namespace {

constexpr uint32_t kUserRecord = 1;
constexpr uint32_t kResultRecord = 2;
constexpr size_t kRecordHeader = 12;  // type, reserved, length
constexpr size_t kRecordNumbers = 24;  // six int32
// Progress files are a few kilobytes; anything far larger is not one.
constexpr size_t kMaxFileBytes = size_t(64) << 20;

uint32_t GetU32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         (static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8) |
         (static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24);
}

int32_t GetI32(std::string_view b, size_t at) { return static_cast<int32_t>(GetU32(b, at)); }

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutRecord(std::string& out, uint32_t type, const int32_t (&numbers)[6], std::string_view text) {
  PutU32(out, type);
  PutU32(out, 0);
  PutU32(out, static_cast<uint32_t>(kRecordNumbers + text.size()));
  for (int32_t n : numbers) PutU32(out, static_cast<uint32_t>(n));
  out.append(text);
}

void ResetUser(CareerUser& user) {
  user.name.clear();
  user.instrument = user.skill = user.progress = user.score = user.extra1 = user.extra2 = 0;
  UserData::ClearList(user);
  user.damaged = false;
}

}  // namespace

namespace UserData {

void ClearList(CareerUser& user) {
  user.results.clear();
  user.resultCount = 0;
}

CareerResult& AppendResult(CareerUser& user) {
  user.results.emplace_back();
  ++user.resultCount;
  return user.results.back();
}

UserDataParse Parse(CareerUser& user, std::string_view bytes) {
  if (bytes.size() < 3 || bytes[0] != 'V' || bytes[1] != 'L' || bytes[2] != 2) return UserDataParse::kBadFormat;
  size_t offset = 3;
  while (offset < bytes.size()) {
    const size_t left = bytes.size() - offset;
    if (left < kRecordHeader) return UserDataParse::kLengthError;
    const uint32_t type = GetU32(bytes, offset);
    const size_t length = GetU32(bytes, offset + 8);
    // The six numbers belong to every record; a shorter payload is as broken as one
    // that runs past the end.
    if (length < kRecordNumbers || length > left - kRecordHeader) return UserDataParse::kLengthError;
    const size_t at = offset + kRecordHeader;
    int32_t n[6];
    for (int i = 0; i < 6; ++i) n[i] = GetI32(bytes, at + 4 * static_cast<size_t>(i));
    std::string_view text = bytes.substr(at + kRecordNumbers, length - kRecordNumbers);
    if (type == kUserRecord) {
      user.instrument = n[0];
      user.skill = n[1];
      user.progress = n[2];
      user.score = n[3];
      user.extra1 = n[4];
      user.extra2 = n[5];
      user.name.assign(text);
    } else if (type == kResultRecord) {
      CareerResult& r = AppendResult(user);
      r.score = n[0];
      r.rating = n[1];
      r.percent = n[2];
      r.flags = n[3];
      r.extra1 = n[4];
      r.extra2 = n[5];
      r.hash.assign(text);
    }
    offset = at + length;
  }
  return UserDataParse::kOk;
}

void Read(CareerUser& user, std::u16string path) {
  ResetUser(user);
  user.file = std::move(path);
  std::string bytes;
  if (!platform::ReadWholeFile(user.file, bytes, kMaxFileBytes)) {
    // A file that is there but cannot be read must not be replaced by an empty user.
    user.damaged = platform::PathExists(platform::PathToNative(user.file));
    return;
  }
  switch (Parse(user, bytes)) {
    case UserDataParse::kOk:
      break;
    case UserDataParse::kBadFormat:
      Log(0, u"User Data File Not In Correct Format:" + user.file);
      ResetUser(user);
      user.damaged = true;
      break;
    case UserDataParse::kLengthError:
      Log(0, u"User Data Read Length Error:" + user.file);
      user.damaged = true;
      break;
  }
}

std::string Serialize(const CareerUser& user) {
  std::string out = "VL";
  out.push_back(2);
  PutRecord(out, kUserRecord, {user.instrument, user.skill, user.progress, user.score, user.extra1, user.extra2},
            user.name);
  for (const CareerResult& r : user.results) {
    if ((r.flags & 1) == 0) continue;
    PutRecord(out, kResultRecord, {r.score, r.rating, r.percent, r.flags, r.extra1, r.extra2}, r.hash);
  }
  return out;
}

bool Write(const CareerUser& user) {
  if (user.damaged) {
    Log(0, u"User Data File Damaged, Not Overwritten:" + user.file);
    return false;
  }
  if (user.file.empty() || !platform::WriteFileAtomic(user.file, Serialize(user))) {
    Log(0, u"Could NOT Open/Find:" + user.file);
    return false;
  }
  return true;
}

void UpdateTotals(CareerUser& user, int32_t songCount) {
  if (user.resultCount <= 0 || songCount <= 0) {
    user.progress = 0;
  } else {
    const double percent = static_cast<double>(user.resultCount) / songCount * 100.0;
    // More results than songs (before the orphan check has run) is still "all done".
    user.progress = percent >= 100.0 ? 100 : static_cast<int32_t>(percent);
  }
  long long sum = 0;
  for (const CareerResult& r : user.results) sum += r.score;
  user.score = static_cast<int32_t>(std::clamp<long long>(sum, INT32_MIN, INT32_MAX));
}

bool Save(CareerUser& user, int32_t score, int32_t rating, int32_t percent, int32_t flags, int32_t songCount,
          std::string hash) {
  if ((flags & 1) == 0) return false;
  // A result must name its song: with an empty or "-1" hash it would be credited to
  // every song whose tier line carries no hash.
  if (!IsValidChartHash(hash)) {
    Log(0, u"Career Result Without Chart Hash Not Saved:" + user.file);
    return false;
  }
  CareerResult* result = nullptr;
  for (CareerResult& r : user.results) {
    if (r.hash == hash) {
      result = &r;
      break;
    }
  }
  if (result && result->score > score) return false;
  if (!result) result = &AppendResult(user);
  result->hash = std::move(hash);
  result->rating = rating;
  result->percent = percent;
  result->score = score;
  result->flags = flags;
  UpdateTotals(user, songCount);
  Write(user);
  return true;
}

}  // namespace UserData

bool Career::LoadUserFiles() {
  users.clear();
  selectedUser = nullptr;
  // One listing, so a file made meanwhile cannot run past a count taken before it.
  const std::vector<platform::DirEntry> entries = platform::ListDirectory(platform::PathToNative(folder), "*.dat");
  userCount = static_cast<int32_t>(entries.size());
  if (entries.empty()) return true;
  users.resize(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) UserData::Read(users[i], folder + platform::PathFromNative(entries[i].name));
  selectedUser = &users[0];
  return true;
}

bool Career::CreateUserProgress(int32_t instrument, int32_t skill, std::string playerName) {
  // Names are the local time to the second; wait in 10 ms steps for a free one. The
  // bound keeps a stopped clock from hanging the menu.
  std::u16string path;
  bool free = false;
  for (int attempt = 0; attempt < 500 && !free; ++attempt) {
    platform::SleepMs(10);
    path = folder + u"user_" + GetTimeStamp(false) + u".dat";
    free = !platform::PathExists(platform::PathToNative(path));
  }
  if (!free) {
    Log(0, u"Could NOT Open/Find:" + path);
    return false;
  }
  CareerUser user;
  user.file = path;
  user.name = std::move(playerName);
  user.instrument = instrument;
  user.skill = skill;
  const bool written = UserData::Write(user);
  LoadUserFiles();
  selectedUser = nullptr;
  for (CareerUser& u : users) {
    if (u.file == path) selectedUser = &u;
  }
  return written && selectedUser != nullptr;
}

bool Career::OrphanCheck() {
  if (!selectedUser) {
    Log(0, u"No Active User For Orphan Check!");
    return false;
  }
  CareerUser& user = *selectedUser;
  CareerTrack* own = IsInstrumentIndex(user.instrument) ? &tracks[static_cast<size_t>(user.instrument)] : nullptr;
  // Results are checked against the user's own track (whatever track is selected),
  // and only when every tier of it read whole: a tier that failed to load, or was cut
  // at 50 songs, would otherwise make its songs' results look orphaned, and they
  // would be deleted for good.
  const bool mayDrop = own && own->loaded && own->Complete();
  if (mayDrop) {
    for (auto it = user.results.begin(); it != user.results.end();) {
      bool found = !IsValidChartHash(it->hash);  // a result that names no song is left alone
      for (CareerTier& tier : own->tiers) {
        for (int32_t s = 0; s < tier.songCount && !found; ++s) found = tier.songs[static_cast<size_t>(s)].hash == it->hash;
        if (found) break;
      }
      if (found) {
        ++it;
        continue;
      }
      Log(0, u"Orphan Score Data Found! Deleting. . .");
      it = user.results.erase(it);
      --user.resultCount;
    }
  }
  // A user whose instrument has no track keeps the file as it is.
  if (!own) return true;
  int32_t songs = 0;
  for (const CareerTier& tier : own->tiers) songs += tier.songCount;
  UserData::UpdateTotals(user, songs);
  UserData::Write(user);
  return true;
}
