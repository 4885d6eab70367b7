// The music-folder scans over 10,000 generated song folders (warm cache), beside
// coreutils doing the least the scans must do: `cat` of every "song.ini" and
// `md5sum` of every "notes.mid" of the same folders. The scans should take no more
// than twice the coreutils time. The ratio benchmarks time the scan with MD5s and
// titles in turns with `xargs -P8 md5sum` of the same files (charts and "song.ini"),
// warm and, where the page cache can be dropped, cold.
// VELORIN_LIBRARY_BENCH_SONGS changes the number of folders.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/scratch.h"
#include "core/log.h"
#include "core/parallel.h"
#include "platform/paths.h"
#include "song/song_info.h"
#include "song/song_library.h"
#include "song/song_list.h"
#include "tests/support/song_folder_generator.h"

namespace {

int SongCount() {
  const char* v = std::getenv("VELORIN_LIBRARY_BENCH_SONGS");
  const int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : 10000;
}

const std::string& Root() {
  static const std::string root = [] {
    const std::string base =
        (std::filesystem::temp_directory_path() / ("velorin_library_bench_" + std::to_string(::getpid()))).string();
    const std::string music = base + "/music";
    testsupport::SongFolderLayout layout;
    layout.count = SongCount();
    layout.seed = 42;
    const auto songs = testsupport::GenerateSongFolders(music, layout);
    long long bytes = 0;
    for (const auto& s : songs) bytes += s.chartBytes;
    std::fprintf(stderr, "%zu song folders, %.1f MB of charts (%.1f KB each on average)\n", songs.size(),
                 static_cast<double>(bytes) / 1e6, static_cast<double>(bytes) / 1e3 / static_cast<double>(songs.size()));
    // The log copies every line to standard output; keep it out of the figures.
    SetLogFolder(platform::PathFromNative(base));
    benchscratch::RemoveAtExit(base);
    // Warm the cache once so that every figure reads from memory.
    std::system(("cat $(find '" + music + "' -type f) > /dev/null 2>&1").c_str());
    return music + "/";
  }();
  return root;
}

// Every record's "song.ini" parsed on the scan's pool of threads, as the song-select
// library parses its folders; `keep` copies what is wanted into the record.
void ReadTitles(SongList& list, const std::function<void(SongRecord&, const SongInfo&)>& keep) {
  std::vector<SongRecord*> records;
  records.reserve(static_cast<size_t>(list.count));
  for (SongRecord* r = list.head; r; r = r->next) records.push_back(r);
  ParallelForInOrder(records.size(), [&](size_t i) {
    SongInfo info;
    info.ReadIni(records[i]->folder);
    keep(*records[i], info);
  });
}

int Run(const std::string& command) { return std::system(command.c_str()); }

void BM_Coreutils_CatIniAndMd5sumCharts(benchmark::State& state) {
  const std::string root = Root();
  const std::string cat = "find '" + root + "' -name song.ini -exec cat {} + > /dev/null";
  const std::string md5 = "find '" + root + "' -name notes.mid -exec md5sum {} + > /dev/null";
  for (auto _ : state) {
    if (Run(cat) != 0 || Run(md5) != 0) state.SkipWithError("coreutils failed");
  }
  state.SetItemsProcessed(state.iterations() * SongCount());
}

// The song list scan of the menus: the recursive scan with MD5s, then each record's
// title fields from its folder's "song.ini", parsed on the same pool.
void BM_SongListScanWithMd5AndTitles(benchmark::State& state) {
  const std::u16string root = platform::PathFromNative(Root());
  for (auto _ : state) {
    SongList list;
    ScanSongFolders(root, list, true);
    ReadTitles(list, [](SongRecord& r, const SongInfo& info) {
      r.name = info.name;
      r.artist = info.artist;
      r.album = info.album;
      r.rating = info.rating;
      r.playCount = info.count;
      r.lastPlay = info.last_play;
    });
    if (list.count != SongCount()) state.SkipWithError("wrong record count");
    benchmark::DoNotOptimize(list.head);
  }
  state.SetItemsProcessed(state.iterations() * SongCount());
}

// The song-select screen's library of the same folder with MD5s asked for: every
// "song.ini" and "vl.dat" read, every chart hashed, sorted by name.
void BM_SongLibraryScanWithMd5(benchmark::State& state) {
  const std::u16string root = platform::PathFromNative(Root());
  for (auto _ : state) {
    SongLibrary library(2, 0, true, root);
    if (library.count != SongCount() + 2) state.SkipWithError("wrong entry count");
    benchmark::DoNotOptimize(library.entries.data());
  }
  state.SetItemsProcessed(state.iterations() * SongCount());
}

// The same without MD5s, as the song-select screen builds it.
void BM_SongLibraryScan(benchmark::State& state) {
  const std::u16string root = platform::PathFromNative(Root());
  for (auto _ : state) {
    SongLibrary library(2, 0, false, root);
    benchmark::DoNotOptimize(library.entries.data());
  }
  state.SetItemsProcessed(state.iterations() * SongCount());
}

// The menus' scan: folders walked, charts hashed, then every record's titles read,
// each step on the pool.
void ScanWithMd5AndTitles(const std::u16string& root, SongList& list) {
  ScanSongFolders(root, list, true);
  ReadTitles(list, [](SongRecord& r, const SongInfo& info) { r.name = info.name; });
}

double TimeSeconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool DropPageCache() {
  ::sync();
  std::ofstream drop("/proc/sys/vm/drop_caches");
  if (!drop) return false;
  drop << "3" << std::endl;
  return static_cast<bool>(drop);
}

void ScanVsParallelMd5sum(benchmark::State& state, bool cold) {
  const std::string root = Root();
  const std::u16string wroot = platform::PathFromNative(root);
  const std::string md5sum =
      "find '" + root + "' \\( -name notes.mid -o -name song.ini \\) -print0 | xargs -0 -P8 -n 64 md5sum > /dev/null";
  if (cold && !DropPageCache()) {
    state.SkipWithError("the page cache cannot be dropped here (needs a writable /proc/sys/vm/drop_caches)");
    return;
  }
  double scanTotal = 0.0, referenceTotal = 0.0;
  for (auto _ : state) {
    if (cold) DropPageCache();
    scanTotal += TimeSeconds([&] {
      SongList list;
      ScanWithMd5AndTitles(wroot, list);
      if (list.count != SongCount()) state.SkipWithError("wrong record count");
    });
    if (cold) DropPageCache();
    referenceTotal += TimeSeconds([&] {
      if (Run(md5sum) != 0) state.SkipWithError("xargs md5sum failed");
    });
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["scan_ms"] = scanTotal / n * 1000.0;
  state.counters["xargs_P8_md5sum_ms"] = referenceTotal / n * 1000.0;
  state.counters["ratio"] = referenceTotal > 0.0 ? scanTotal / referenceTotal : 0.0;
}

void BM_ScanVsXargsP8Md5sum_Warm(benchmark::State& state) { ScanVsParallelMd5sum(state, false); }
void BM_ScanVsXargsP8Md5sum_Cold(benchmark::State& state) { ScanVsParallelMd5sum(state, true); }

void BM_SongListSortByName(benchmark::State& state) {
  SongList list;
  ScanSongFolders(platform::PathFromNative(Root()), list, false);
  int i = 0;
  for (SongRecord* r = list.head; r; r = r->next) r->name = std::to_string((i++ * 7919) % 10007);
  for (auto _ : state) {
    list.Sort(0);
    list.Sort(3);
  }
}

}  // namespace

BENCHMARK(BM_Coreutils_CatIniAndMd5sumCharts)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SongListScanWithMd5AndTitles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SongLibraryScanWithMd5)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SongLibraryScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ScanVsXargsP8Md5sum_Warm)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ScanVsXargsP8Md5sum_Cold)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SongListSortByName)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
