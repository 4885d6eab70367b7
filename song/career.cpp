#include "song/career.h"

#include <algorithm>
#include <climits>

#include "core/kvfile.h"
#include "core/log.h"
#include "core/md5.h"
#include "core/utils.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

// Career files are hand-made text files of a few kilobytes.
constexpr size_t kMaxCareerFileBytes = size_t(64) << 20;

enum class Utf16Read { kOk, kNoBom };

// The file's code units after the byte-order mark.
Utf16Read DecodeKeyValueBytes(std::string_view bytes, std::u16string& units) {
  units = platform::DecodeUtf16LE(bytes);
  if (units.empty() || units[0] != 0xFEFF) return Utf16Read::kNoBom;
  return Utf16Read::kOk;
}

bool PathExistsW(const std::u16string& path) { return platform::PathExists(platform::PathToNative(path)); }

std::u16string TierPath(const std::u16string& folder, int32_t n) {
  return folder + u"tier_" + platform::FormatIntW(n) + u".ini";
}

}  // namespace

std::u16string CareersFolder() { return GetExeFolder() + u"careers/"; }

// ---------------------------------------------------------------------------
// Tiers

void CareerTier::Clear() {
  for (CareerSong& s : songs) s = CareerSong();
  name.clear();
  file.clear();
  unlock = 0;
  songCount = 0;
  locked = false;
  loaded = false;
  holdsMore = false;
}

bool CareerTier::Load(std::u16string path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes, kMaxCareerFileBytes)) {
    Clear();
    unreadableFile_ = PathExistsW(path);
    file = std::move(path);
    return false;
  }
  return LoadFromBytes(bytes, std::move(path));
}

bool CareerTier::LoadFromBytes(std::string_view bytes, std::u16string path) {
  Clear();
  file = std::move(path);
  unreadableFile_ = false;
  std::u16string units;
  if (DecodeKeyValueBytes(bytes, units) != Utf16Read::kOk) {
    Log(0, u"Error:No BOM Found. Please Use UNICODE:" + file);
    unreadableFile_ = true;
    return false;
  }
  const int32_t count = static_cast<int32_t>(units.size());
  int32_t cursor = 1;
  std::u16string key, value;
  while (cursor < count) {
    std::u16string line = ReadIniLine(units.data(), count, cursor);
    if (!SplitIniLine(line, key, value)) {
      if (!line.empty()) holdsMore = true;
      continue;
    }
    if (key == u"name") {
      name = ToNarrow(value);
    } else if (key == u"unlock") {
      unlock = platform::AtoI(value);
    } else if (key == u"song") {
      CareerSong& song = songs[static_cast<size_t>(songCount)];
      const size_t bar = value.find(u'|');
      if (bar != std::u16string::npos) {
        song.path = platform::ToSlashes(value.substr(0, bar));
        song.hash = ToNarrow(value.substr(bar + 1));
      } else {
        Log(0, u"Error in:" + file + u" song value not formatted correctly. song = \"PATH|HASH\"");
        Log(0, u"Assuming Value Is Path Only:" + value);
        song.path = platform::ToSlashes(value);
      }
      if (!song.path.empty() && song.path.back() != u'/') song.path += u'/';
      ++songCount;
    } else {
      Log(0, u"Unknown tier.ini Variable:" + key + u" In:" + file);
      holdsMore = true;
    }
    if (songCount >= kTierSongSlots) {
      Log(0, u"Too Many Songs In Tier! Max 50:" + file);
      // Whatever follows is not read; remember whether there was any, so that a
      // rewrite cannot cut it off.
      while (cursor < count) {
        if (!ReadIniLine(units.data(), count, cursor).empty()) holdsMore = true;
      }
      break;
    }
  }
  loaded = true;
  return true;
}

bool CareerTier::Save() {
  if (!loaded) {
    Log(0, u"Unable To Save. File Must Be Loaded First");
    return false;
  }
  if (holdsMore) {
    Log(0, u"Unable To Save. File Holds Lines That Would Be Lost:" + file);
    return false;
  }
  if (unreadableFile_ && !platform::KeepDamagedCopy(file)) {
    Log(0, u"Unable To Save. The Unreadable File Could Not Be Kept:" + file);
    return false;
  }
  KeyValueWriter writer;
  if (!writer.Open(file)) {
    Log(0, u"Error Opening File For Writing:" + file);
    return false;
  }
  writer.Line(u"name", ToWide(name));
  writer.Int(u"unlock", unlock);
  for (int32_t i = 0; i < songCount; ++i) {
    const CareerSong& s = songs[static_cast<size_t>(i)];
    writer.Line(u"song", s.path + u"|" + ToWide(s.hash));
  }
  if (!writer.Close()) {
    Log(0, u"Error Opening File For Writing:" + file);
    return false;
  }
  unreadableFile_ = false;  // its bytes are kept; the file is ours now
  return true;
}

bool CareerTier::ResolveSongs(const SongList& list) {
  if (!Load(file)) return false;
  bool changed = false;
  for (int32_t i = 0; i < songCount; ++i) {
    CareerSong& song = songs[static_cast<size_t>(i)];
    const std::u16string chart = song.path + u"notes.mid";
    if (song.path.empty() || !PathExistsW(chart)) {
      if (song.hash.size() == 32) {
        Log(0, u"Atempting To Locate Missing Career Song From Hash:" + song.path);
        if (const SongRecord* found = list.FindByHash(song.hash)) {
          song.path = found->folder;
          changed = true;
        } else {
          Log(0, u"No Matching Hash Found!");
          song.missing = true;
        }
      } else {
        Log(0, u"ERROR:Missing Career Song With No Valid Hash Value:" + song.path);
        song.missing = true;
      }
      continue;
    }
    const std::string md5 = GetFileMD5(chart);
    // A chart that is there but cannot be read gives no digest ("-1"); keeping the
    // stored hash keeps the players' results for this song attached to it.
    if (!IsValidChartHash(md5)) {
      Log(0, u"Unable To Read Career Song Chart:" + chart);
      continue;
    }
    if (md5 != song.hash) {
      song.hash = md5;
      changed = true;
    }
  }
  if (changed) Save();
  return true;
}

// ---------------------------------------------------------------------------
// Tracks

void CareerTrack::Clear() {
  tiers.clear();
  folder.clear();
  tierCount = 0;
  instrument = 0;
  loaded = false;
  songTotal = -1;
  ratingTotal = 0;
}

bool CareerTrack::Load(int32_t instrumentIndex, std::u16string trackFolder) {
  Clear();
  instrument = instrumentIndex;
  folder = std::move(trackFolder);
  int32_t n = 0;
  while (PathExistsW(TierPath(folder, n))) ++n;
  if (n == 0) return false;
  tiers.resize(static_cast<size_t>(n));
  tierCount = n;
  songTotal = 0;
  for (int32_t i = 0; i < n; ++i) {
    tiers[static_cast<size_t>(i)].Load(TierPath(folder, i));
    songTotal += tiers[static_cast<size_t>(i)].songCount;
  }
  loaded = true;
  return true;
}

CareerSong* CareerTrack::SongAtIndex(int32_t index) {
  if (index < 0) return nullptr;
  for (CareerTier& tier : tiers) {
    if (index < tier.songCount) return &tier.songs[static_cast<size_t>(index)];
    index -= tier.songCount;
  }
  return nullptr;
}

bool CareerTrack::Complete() const {
  for (const CareerTier& tier : tiers) {
    if (!tier.loaded || tier.holdsMore) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Careers

void Career::ScanFolders(CareerList& list) {
  Log(0, u"Finding Career Files");
  const std::u16string root = CareersFolder();
  std::vector<std::string> names;
  for (const platform::DirEntry& e : platform::ListDirectory(platform::PathToNative(root), "*.*")) {
    if (e.isDirectory) names.push_back(e.name);
  }
  Log(0, u"Found " + platform::FormatIntW(static_cast<long long>(names.size())) + u" Career Folders");
  list.careers.clear();
  list.count = static_cast<int32_t>(names.size());
  for (const std::string& n : names) {
    const std::u16string wide = platform::PathFromNative(n);
    Log(0, u"Loading " + wide);
    auto career = std::make_unique<Career>();
    career->Clear();
    career->folder = root + wide + u"/";
    career->Load();
    career->LoadUserFiles();
    list.careers.push_back(std::move(career));
  }
}

void Career::Clear() {
  name.clear();
  comment.clear();
  users.clear();
  selectedUser = nullptr;
  userCount = 0;
  loaded = false;
  selectedTrack = nullptr;
}

bool Career::ParseIni(std::string_view bytes) {
  std::u16string units;
  if (DecodeKeyValueBytes(bytes, units) != Utf16Read::kOk) {
    Log(0, u"Error:No BOM Found. Please Use UNICODE:" + folder + u"career.ini");
    return false;
  }
  const int32_t count = static_cast<int32_t>(units.size());
  int32_t cursor = 1;
  std::u16string key, value;
  while (cursor < count) {
    if (!SplitIniLine(ReadIniLine(units.data(), count, cursor), key, value)) continue;
    if (key == u"name") name = ToNarrow(value);
    else if (key == u"comment") comment = ToNarrow(value);
    else Log(0, u"Unknown career.dat Variable:" + key + u" In:" + folder);
  }
  return true;
}

bool Career::Load() {
  std::string bytes;
  if (!platform::ReadWholeFile(folder + u"career.ini", bytes, kMaxCareerFileBytes)) return false;
  if (!ParseIni(bytes)) return false;
  loaded = true;
  for (int32_t i = 0; i < kInstrumentCount; ++i) {
    tracks[static_cast<size_t>(i)].Load(i, folder + ToWide(InstrumentName(i)) + u"/");
  }
  selectedTrack = &tracks[0];
  return true;
}

bool Career::ResolveMissingSongs(const SongList& list) {
  for (CareerTrack& track : tracks) {
    for (CareerTier& tier : track.tiers) tier.ResolveSongs(list);
    // The files were read again; keep the total in step with what is in memory.
    if (!track.tiers.empty()) {
      track.songTotal = 0;
      for (const CareerTier& tier : track.tiers) track.songTotal += tier.songCount;
    }
  }
  return true;
}

CareerSong* Career::SongAtIndex(int32_t index) { return selectedTrack ? selectedTrack->SongAtIndex(index) : nullptr; }

bool Career::SelectTrack(int32_t userIndex) {
  if (userIndex < 0 || userIndex >= static_cast<int32_t>(users.size())) return false;
  selectedUser = &users[static_cast<size_t>(userIndex)];
  if (!IsInstrumentIndex(selectedUser->instrument)) {
    selectedTrack = nullptr;
    return false;
  }
  selectedTrack = &tracks[static_cast<size_t>(selectedUser->instrument)];
  return RefreshProgress();
}

CareerResult* Career::FindResult(const CareerSong& song) {
  if (!selectedUser || !IsValidChartHash(song.hash)) return nullptr;
  for (CareerResult& r : selectedUser->results) {
    if (r.hash == song.hash) return &r;
  }
  return nullptr;
}

bool Career::RefreshProgress() {
  if (!selectedUser || !selectedTrack) return false;
  CareerTrack& track = *selectedTrack;
  long long total = 0;  // ratings come from a file; keep a damaged one from overflowing
  for (CareerTier& tier : track.tiers) {
    for (int32_t i = 0; i < tier.songCount; ++i) {
      CareerSong& song = tier.songs[static_cast<size_t>(i)];
      if (const CareerResult* r = FindResult(song)) {
        total += r->rating;
        song.result = *r;
      } else {
        song.result = CareerResult();
      }
    }
  }
  track.ratingTotal = static_cast<int32_t>(std::clamp<long long>(total, INT32_MIN, INT32_MAX));
  for (CareerTier& tier : track.tiers) {
    if (tier.songCount == 0) continue;
    tier.locked = track.ratingTotal < tier.unlock;
    for (int32_t i = 0; i < tier.songCount; ++i) tier.songs[static_cast<size_t>(i)].locked = tier.locked;
  }
  OrphanCheck();
  return true;
}
