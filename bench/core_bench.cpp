// Benchmarks of the core base: MD5 of a large file beside coreutils md5sum on the
// same file, and the settings file's save and load.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/scratch.h"
#include "core/log.h"
#include "core/md5.h"
#include "core/settings.h"
#include "platform/paths.h"

namespace {

const std::string& BigFile() {
  static const std::string path = [] {
    std::string p = (std::filesystem::temp_directory_path() / ("velorin_md5_bench_" + std::to_string(::getpid()))).string();
    std::ofstream f(p, std::ios::binary);
    std::string block(1 << 20, '\0');
    uint32_t x = 12345;
    for (int mb = 0; mb < 64; ++mb) {
      for (char& c : block) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
      }
      f.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    benchscratch::RemoveAtExit(p);
    return p;
  }();
  return path;
}

void BM_GetFileMD5_64MiB(benchmark::State& state) {
  const std::u16string path = platform::PathFromNative(BigFile());
  for (auto _ : state) benchmark::DoNotOptimize(GetFileMD5(path));
  state.SetBytesProcessed(state.iterations() * (int64_t(64) << 20));
}
BENCHMARK(BM_GetFileMD5_64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CoreutilsMd5sum_64MiB(benchmark::State& state) {
  const std::string cmd = "md5sum '" + BigFile() + "' > /dev/null";
  for (auto _ : state) {
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("md5sum failed");
  }
  state.SetBytesProcessed(state.iterations() * (int64_t(64) << 20));
}
BENCHMARK(BM_CoreutilsMd5sum_64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SettingsSaveLoad(benchmark::State& state) {
  const std::string folder = (std::filesystem::temp_directory_path() / ("velorin_settings_bench_" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(folder + "/settings");
  const std::string old = platform::CurrentDirectory();
  platform::SetCurrentDirectory(folder);
  SetLogFolder(platform::PathFromNative(folder));
  Settings s;
  s.SEASONALTHEMES = false;
  for (auto _ : state) {
    if (!s.Save()) state.SkipWithError("save failed");
    benchmark::DoNotOptimize(s.Load(u"settings/config.ini"));
  }
  platform::SetCurrentDirectory(old);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SettingsSaveLoad)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
