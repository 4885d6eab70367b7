#include "song/song_library.h"

#include <sys/stat.h>

#include <algorithm>
#include <numeric>

#include "core/md5.h"
#include "core/parallel.h"
#include "platform/paths.h"
#include "song/career.h"

namespace {

std::u16string WithSlash(std::u16string_view folder) {
  std::u16string out = platform::ToSlashes(folder);
  if (!out.empty() && out.back() != u'/') out += u'/';
  return out;
}

// A chart worth hashing: there, and not empty.
bool HasChart(const std::u16string& folder) {
  struct stat st {};
  const std::string path = platform::ResolvePath(platform::PathToNative(folder + u"notes.mid"));
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

using Predicate = bool (*)(const SongLibraryEntry&, const SongLibraryEntry&);

Predicate PredicateFor(int32_t criterion) {
  switch (criterion) {
    case 0: return &SongLibrary::ByName;
    case 1: return &SongLibrary::ByArtist;
    case 2: return &SongLibrary::ByAlbum;
    case 3: return &SongLibrary::ByBandDifficulty;
    case 4: return &SongLibrary::ByRating;
    case 5: return &SongLibrary::ByCount;
    case 6: return &SongLibrary::ByGenre;
    case 7: return &SongLibrary::ByYear;
    case 8: return &SongLibrary::ByTrack;
    default: return nullptr;
  }
}

}  // namespace

SongLibrary::SongLibrary(int32_t freeEntries, int32_t criterion, bool computeMd5, std::u16string rootFolder)
    : root(WithSlash(rootFolder)), sortCriterion(criterion) {
  Scan(freeEntries, computeMd5);
}

void SongLibrary::Free() {
  entries.clear();
  entries.shrink_to_fit();
  count = 0;
  root.clear();
}

void SongLibrary::Scan(int32_t freeEntries, bool computeMd5) {
  const int32_t first = std::max(freeEntries, 0);
  entries.clear();
  entries.resize(static_cast<size_t>(first));
  ReadFolders(first, root);
  count = static_cast<int32_t>(entries.size());
  const size_t from = static_cast<size_t>(first);
  ParallelForInOrder(entries.size() - std::min(from, entries.size()), [this, from, computeMd5](size_t k) {
    SongLibraryEntry& e = entries[from + k];
    if (!e.info.iniFound) return;
    e.scores.Load(e.info.path);
    if (computeMd5 && HasChart(e.info.path)) e.notesMd5 = GetFileMD5(e.info.path + u"notes.mid");
  });
  Sort(first, sortCriterion);
}

bool SongLibrary::ReadFolders(int32_t first, std::u16string_view folderIn) {
  const std::u16string folder = WithSlash(folderIn);
  const std::string native = platform::ResolvePath(platform::PathToNative(folder));
  if (!platform::IsDirectory(native)) return false;
  // One listing gives both the number of entries and their names.
  std::vector<std::string> names;
  for (const platform::DirEntry& e : platform::ListDirectory(native, "*.*")) {
    if (e.isDirectory) names.push_back(e.name);
  }
  const size_t start = static_cast<size_t>(std::max(first, 0));
  entries.resize(std::max(entries.size(), start));
  entries.resize(start + names.size());
  ParallelForInOrder(names.size(), [this, start, &folder, &names](size_t i) {
    entries[start + i].info.ReadIni(folder + platform::PathFromNative(names[i]) + u"/");
  });
  count = static_cast<int32_t>(entries.size());
  return true;
}

bool SongLibrary::Sort(int32_t first, int32_t criterion) {
  sortCriterion = criterion;
  const Predicate before = PredicateFor(criterion);
  const size_t from = static_cast<size_t>(std::clamp<int32_t>(first, 0, static_cast<int32_t>(entries.size())));
  if (!before || entries.size() - from < 2) return true;
  // Sort positions, then move each entry once: an entry carries a whole score table.
  std::vector<size_t> order(entries.size() - from);
  std::iota(order.begin(), order.end(), from);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return before(entries[a], entries[b]); });
  std::vector<SongLibraryEntry> sorted;
  sorted.reserve(order.size());
  for (size_t i : order) sorted.push_back(std::move(entries[i]));
  std::move(sorted.begin(), sorted.end(), entries.begin() + static_cast<std::ptrdiff_t>(from));
  return true;
}

bool SongLibrary::BuildFromCareerTrack(const CareerTrack& track) {
  entries.clear();
  size_t total = 2;
  for (const CareerTier& tier : track.tiers) total += 1 + static_cast<size_t>(tier.songCount);
  entries.resize(total);
  size_t at = 2;
  for (const CareerTier& tier : track.tiers) {
    SongInfo& heading = entries[at++].info;
    heading.name = tier.name;
    heading.careerUnlock = tier.unlock;
    heading.careerLocked = tier.locked ? 1 : 0;
    for (int32_t i = 0; i < tier.songCount; ++i) {
      const CareerSong& song = tier.songs[static_cast<size_t>(i)];
      SongInfo& info = entries[at++].info;
      if (song.missing) {
        info.iniFound = true;
        info.name = "=SONG MISSING=";
        info.careerLocked = 1;
      } else {
        info.ReadIni(song.path);
        info.careerLocked = song.locked ? 1 : 0;
      }
    }
  }
  count = static_cast<int32_t>(entries.size());
  return true;
}

bool SongLibrary::ReloadScores() {
  for (SongLibraryEntry& e : entries) {
    if (!e.scores.reloadFlag) continue;
    // A table that was never loaded has no folder; "vl.dat" alone would name a file
    // of the current folder.
    if (!e.scores.folder.empty()) e.scores.Load(e.scores.folder);
    e.scores.reloadFlag = 0;
  }
  return true;
}

bool SongLibrary::ByName(const SongLibraryEntry& a, const SongLibraryEntry& b) { return a.info.name < b.info.name; }
bool SongLibrary::ByArtist(const SongLibraryEntry& a, const SongLibraryEntry& b) {
  return a.info.artist < b.info.artist;
}
bool SongLibrary::ByAlbum(const SongLibraryEntry& a, const SongLibraryEntry& b) { return a.info.album < b.info.album; }
bool SongLibrary::ByBandDifficulty(const SongLibraryEntry& a, const SongLibraryEntry& b) {
  return a.info.diff_band > b.info.diff_band;
}
bool SongLibrary::ByRating(const SongLibraryEntry& a, const SongLibraryEntry& b) {
  return a.info.rating > b.info.rating;
}
bool SongLibrary::ByCount(const SongLibraryEntry& a, const SongLibraryEntry& b) { return a.info.count > b.info.count; }
bool SongLibrary::ByGenre(const SongLibraryEntry& a, const SongLibraryEntry& b) { return a.info.genre < b.info.genre; }
bool SongLibrary::ByYear(const SongLibraryEntry& a, const SongLibraryEntry& b) { return b.info.year < a.info.year; }
bool SongLibrary::ByTrack(const SongLibraryEntry& a, const SongLibraryEntry& b) { return a.info.track < b.info.track; }
