#include "song/song_list.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <set>
#include <unordered_map>
#include <utility>

#include "core/md5.h"
#include "core/parallel.h"
#include "platform/file.h"
#include "platform/text.h"

void SongList::Clear() {
  SongRecord* r = head;
  while (r) {
    SongRecord* next = r->next;
    delete r;
    r = next;
  }
  head = nullptr;
  tail_ = nullptr;
  count = 0;
}

SongRecord* SongList::Append() {
  SongRecord* r = new SongRecord();
  r->prev = tail_;
  if (tail_) tail_->next = r;
  else head = r;
  tail_ = r;
  ++count;
  return r;
}

SongRecord* SongList::FindByHash(std::string_view hash) const {
  // Every folder without a readable chart carries "-1", and records made without
  // MD5s carry nothing; neither may stand for a song.
  if (!IsValidChartHash(hash)) return nullptr;
  for (SongRecord* r = head; r; r = r->next) {
    if (r->md5 == hash) return r;
  }
  return nullptr;
}

SongRecord* SongList::FindByPath(std::u16string_view folder) const {
  for (SongRecord* r = head; r; r = r->next) {
    if (r->folder == folder) return r;
  }
  return nullptr;
}

SongRecord* SongList::GetAt(int32_t n) const {
  SongRecord* r = head;
  for (int32_t i = 0; r && i < n && r->next; ++i) r = r->next;
  return r;
}

namespace {

// Whether a sorts strictly before b. Texts compare as unsigned bytes, a prefix before
// its longer text (std::string's ordering).
bool RecordBefore(int32_t criterion, const SongRecord& a, const SongRecord& b) {
  switch (criterion) {
    case 0: return a.name < b.name;
    case 1: return a.artist < b.artist;
    case 2: return a.album < b.album;
    case 3: return a.rating > b.rating;
    case 4: return a.playCount > b.playCount;
    case 5: return a.lastPlay < b.lastPlay;
    default: return false;
  }
}

}  // namespace

void SongList::Sort(int32_t criterion) {
  if (criterion < 0 || criterion > 5 || count < 2) return;
  // A stable merge sort gives exactly the order of the stable insertion sort over the
  // links (each record moved in front of the earliest earlier record it sorts
  // before), without its quadratic time on a music folder of thousands of songs.
  std::vector<SongRecord*> order;
  order.reserve(static_cast<size_t>(count));
  for (SongRecord* r = head; r; r = r->next) order.push_back(r);
  std::stable_sort(order.begin(), order.end(),
                   [criterion](const SongRecord* a, const SongRecord* b) { return RecordBefore(criterion, *a, *b); });
  SongRecord* prev = nullptr;
  for (SongRecord* r : order) {
    r->prev = prev;
    r->next = nullptr;
    if (prev) prev->next = r;
    prev = r;
  }
  head = order.front();
  tail_ = order.back();
}

void FolderScan::Clear() {
  children.clear();
  count = 0;
}

namespace {

// A chart whose MD5 the scan fills in once the folders are walked.
struct Md5Job {
  SongRecord* record;
  std::string chartPath;  // native
};

// What the walk asks the file system of one folder: whether it is a folder and which,
// its listing, and its "song.ini"'s size (-1 when there is none worth a record).
struct FolderFacts {
  bool isFolder = false;
  std::pair<uint64_t, uint64_t> id{};  // device and inode
  std::vector<platform::DirEntry> entries;
  std::string iniPath;
  long long iniSize = -1;
};

const platform::DirEntry* FindFile(const std::vector<platform::DirEntry>& entries, std::string_view name) {
  for (const platform::DirEntry& e : entries) {
    if (!e.isDirectory && platform::EqualsNoCaseAscii(e.name, name)) return &e;
  }
  return nullptr;
}

FolderFacts AskFolder(const std::string& native) {
  FolderFacts f;
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return f;
  f.isFolder = true;
  f.id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  f.entries = platform::ListDirectory(native, "*.*");
  const platform::DirEntry* ini = FindFile(f.entries, "song.ini");
  f.iniPath = native + (ini ? ini->name : std::string("song.ini"));
  struct stat ist {};
  if (::stat(f.iniPath.c_str(), &ist) == 0 && S_ISREG(ist.st_mode) && ist.st_size > 0) f.iniSize = ist.st_size;
  return f;
}

struct ScanContext {
  SongList& list;
  bool computeMd5;
  std::set<std::pair<uint64_t, uint64_t>> visited;  // device and inode of every folder entered
  std::vector<Md5Job> md5Jobs;
  // Folders asked ahead of the walk, by native path. The walk takes its answers from
  // here and asks itself for any folder not in it.
  std::unordered_map<std::string, FolderFacts> asked;
};

// Asks every folder of the tree, one level at a time, each level spread over the
// cores: on a cold cache each question waits on the disk, and waiting for many at once
// is what makes the walk as quick as the hashing. The walk that follows is the
// one-thread walk, so the records, their order and what it removes stay the same; a
// folder reached a second time is not asked again, so a loop ends here as it does there.
void AskAheadOfTheWalk(const std::string& rootNative, ScanContext& ctx) {
  std::vector<std::pair<std::string, int>> level{{rootNative, 0}};  // native path, depth
  std::set<std::pair<uint64_t, uint64_t>> seen;
  while (!level.empty()) {
    std::vector<FolderFacts> facts(level.size());
    ParallelForInOrder(level.size(), [&](size_t i) { facts[i] = AskFolder(level[i].first); });
    std::vector<std::pair<std::string, int>> next;
    for (size_t i = 0; i < level.size(); ++i) {
      FolderFacts& f = facts[i];
      const auto& [native, depth] = level[i];
      if (f.isFolder && seen.insert(f.id).second && depth < kMaxScanDepth) {
        for (const platform::DirEntry& e : f.entries) {
          if (e.isDirectory) next.emplace_back(native + e.name + "/", depth + 1);
        }
      }
      ctx.asked.emplace(native, std::move(f));
    }
    level = std::move(next);
  }
}

// `native` is the folder as the system names it and `folder` as the records show it;
// both end in '/'.
void ScanLevel(FolderScan& node, const std::string& native, const std::u16string& folder, int depth,
               ScanContext& ctx) {
  node.Clear();
  FolderFacts f;
  if (auto it = ctx.asked.find(native); it != ctx.asked.end()) {
    f = std::move(it->second);
    ctx.asked.erase(it);
  } else {
    f = AskFolder(native);
  }
  if (!f.isFolder) return;
  if (!ctx.visited.insert(f.id).second) return;

  // One listing serves both the sub-folders and the look-up of the two files, so
  // nothing made between a count and a list can run past what was allocated.
  const std::vector<platform::DirEntry>& entries = f.entries;
  // A save of "song.ini" or "vl.dat" that a killed game left half done.
  for (const platform::DirEntry& e : entries) {
    if (!e.isDirectory && platform::IsAtomicTempName(e.name)) {
      platform::RemoveStaleTempFiles(native);
      break;
    }
  }
  if (depth < kMaxScanDepth) {
    for (const platform::DirEntry& e : entries) {
      if (e.isDirectory) node.children.push_back(e);
    }
  }
  node.count = static_cast<int32_t>(node.children.size());

  for (const platform::DirEntry& child : node.children) {
    FolderScan sub;
    ScanLevel(sub, native + child.name + "/", folder + platform::PathFromNative(child.name) + u"/", depth + 1, ctx);
  }

  if (f.iniSize < 0) return;

  SongRecord* r = ctx.list.Append();
  r->folder = folder;
  r->iniSize = f.iniSize > INT32_MAX ? INT32_MAX : static_cast<int32_t>(f.iniSize);
  if (ctx.computeMd5) {
    const platform::DirEntry* chart = FindFile(entries, "notes.mid");
    if (chart) ctx.md5Jobs.push_back(Md5Job{r, native + chart->name});
    else r->md5 = "-1";
  }
}

}  // namespace

void ScanSongFolders(FolderScan& scan, std::u16string_view folderIn, SongList& list, bool computeMd5) {
  std::u16string folder = platform::ToSlashes(folderIn);
  if (!folder.empty() && folder.back() != u'/') folder += u'/';
  std::string native = platform::ResolvePath(platform::PathToNative(folder));
  if (native.empty()) native = "./";
  if (native.back() != '/') native += '/';
  ScanContext ctx{list, computeMd5, {}, {}, {}};
  AskAheadOfTheWalk(native, ctx);
  ScanLevel(scan, native, folder, 0, ctx);
  // The walk is cheap; hashing the charts is the work, spread over the cores.
  ParallelForInOrder(ctx.md5Jobs.size(), [&ctx](size_t i) {
    Md5Job& job = ctx.md5Jobs[i];
    job.record->md5 = GetFileMD5(platform::PathFromNative(job.chartPath));
  });
}

void ScanSongFolders(std::u16string_view folder, SongList& list, bool computeMd5) {
  FolderScan scan;
  ScanSongFolders(scan, folder, list, computeMd5);
}
