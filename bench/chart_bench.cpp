// Chart reading: the full decode of a large chart (about 1 MB, type 1, every
// instrument and difficulty) and the stop-when-complete scan of it, beside reading
// and MD5-hashing the same file, which every song load does as well. The ratio
// benchmarks time both in turns and report decode time / read+MD5 time: over the
// large chart, and over 10,000 community-size charts (20-120 KB, written at start
// into a folder that goes at exit; VELORIN_CHART_BENCH_CHARTS changes the number),
// with the memory the decoded events hold per note.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/scratch.h"
#include "core/log.h"
#include "core/md5.h"
#include "platform/paths.h"
#include "song/midi_file.h"
#include "tests/support/song_folder_generator.h"

namespace {

std::string VarLen(uint32_t value) {
  std::string out(1, static_cast<char>(value & 0x7F));
  for (value >>= 7; value != 0; value >>= 7) out.insert(out.begin(), static_cast<char>(0x80 | (value & 0x7F)));
  return out;
}

std::string Chunk(const char* tag, const std::string& body) {
  std::string out(tag, 4);
  const uint32_t n = uint32_t(body.size());
  for (int i = 3; i >= 0; --i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
  return out + body;
}

std::string Meta(int type, const std::string& data) {
  return std::string("\xFF", 1) + static_cast<char>(type) + VarLen(uint32_t(data.size())) + data;
}

// A part as editors write it: running status, velocity-0 note offs, a note of each
// difficulty range every eighth note, solo and energy markers now and then.
std::string PartTrack(const std::string& name, const std::vector<int>& bases, int width, uint32_t steps) {
  std::string out = VarLen(0) + Meta(0x03, name);
  uint32_t lastTick = 0;
  auto event = [&](uint32_t tick, const std::string& bytes) {
    out += VarLen(tick - lastTick);
    out += bytes;
    lastTick = tick;
  };
  out += VarLen(0) + "\x90";  // the running status starts with a note on
  out += static_cast<char>(bases[0]);
  out += static_cast<char>(100);
  uint32_t seed = 7;
  for (uint32_t s = 0; s < steps; ++s) {
    const uint32_t tick = s * 240;
    for (size_t d = 0; d < bases.size(); ++d) {
      seed = seed * 1103515245u + 12345u;
      const int note = bases[d] + int((seed >> 16) % uint32_t(width));
      event(tick, std::string{static_cast<char>(note), static_cast<char>(100)});
      event(tick + 120, std::string{static_cast<char>(note), 0});
    }
    if (s % 64 == 0) event(tick, std::string{static_cast<char>(116), 100});
    if (s % 64 == 32) event(tick, std::string{static_cast<char>(116), 0});
    if (s % 256 == 128) event(tick, std::string{static_cast<char>(103), 100});
    if (s % 256 == 192) event(tick, std::string{static_cast<char>(103), 0});
  }
  out += VarLen(0) + Meta(0x2F, "");
  return out;
}

std::string BuildChart() {
  const uint32_t steps = 1900;
  std::vector<std::string> tracks;
  std::string tempo = VarLen(0) + Meta(0x03, "Bench Song") + VarLen(0) + Meta(0x58, std::string("\x04\x02\x18\x08", 4));
  for (uint32_t bar = 0; bar < steps / 8; bar += 4) {
    const uint32_t us = 450000 + (bar % 16) * 5000;
    const std::string value{static_cast<char>(us >> 16), static_cast<char>(us >> 8), static_cast<char>(us)};
    tempo += VarLen(bar == 0 ? 0 : 4 * 1920) + Meta(0x51, value);
  }
  tempo += VarLen(0) + Meta(0x2F, "");
  tracks.push_back(tempo);

  const std::vector<int> fiveLane = {60, 72, 84, 96};
  for (const char* name : {"PART GUITAR", "PART BASS", "PART KEYS", "PART RHYTHM", "PART GUITAR COOP", "PART DANCE"}) {
    tracks.push_back(PartTrack(name, fiveLane, 5, steps));
  }
  for (const char* name : {"PART DRUMS", "PART REAL_DRUMS_VL"}) {
    tracks.push_back(PartTrack(name, {60, 72, 84, 96, 95}, 6 /* 95 + 0-5 stays below 103 */, steps));
  }
  const std::vector<int> pro = {24, 48, 72, 96};
  for (const char* name : {"PART REAL_GUITAR", "PART REAL_GUITAR_22", "PART REAL_BASS", "PART REAL_BASS_22"}) {
    tracks.push_back(PartTrack(name, pro, 6, steps));
  }
  for (const char* prefix : {"PART REAL_KEYS_", "PART REAL_KEYS_VL_"}) {
    for (const char* level : {"E", "M", "H", "X"}) {
      tracks.push_back(PartTrack(std::string(prefix) + level, {48}, 24, steps));
    }
  }
  for (const char* name : {"PART VOCALS", "HARM1", "HARM2", "HARM3"}) {
    std::string v = VarLen(0) + Meta(0x03, name);
    for (uint32_t s = 0; s < steps / 2; ++s) {
      v += VarLen(s == 0 ? 0 : 240) + "\x90" + static_cast<char>(48 + s % 24) + static_cast<char>(100);
      v += VarLen(0) + Meta(0x05, "word" + std::to_string(s % 100));
      v += VarLen(240) + "\x90" + static_cast<char>(48 + s % 24) + '\0';
    }
    v += VarLen(0) + Meta(0x2F, "");
    tracks.push_back(v);
  }
  std::string events = VarLen(0) + Meta(0x03, "EVENTS");
  for (uint32_t i = 0; i < 60; ++i) {
    events += VarLen(i == 0 ? 0 : 16 * 480) + Meta(0x01, "[prc_part_" + std::to_string(i) + "]");
  }
  events += VarLen(0) + Meta(0x2F, "");
  tracks.push_back(events);

  std::string header;
  for (int v : {0, 1, 0, int(tracks.size()), 480 >> 8, 480 & 0xFF}) header += static_cast<char>(v);
  std::string file = Chunk("MThd", header);
  for (const std::string& t : tracks) file += Chunk("MTrk", t);
  return file;
}

struct ChartFile {
  std::string path;
  std::u16string wpath;
  size_t size = 0;
};

const ChartFile& Chart() {
  static const ChartFile chart = [] {
    const std::string folder =
        (std::filesystem::temp_directory_path() / ("velorin_chart_bench_" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(folder);
    SetLogFolder(platform::PathFromNative(folder));
    ChartFile c;
    c.path = folder + "/notes.mid";
    c.wpath = platform::PathFromNative(c.path);
    const std::string bytes = BuildChart();
    c.size = bytes.size();
    std::ofstream(c.path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    benchscratch::RemoveAtExit(folder);
    return c;
  }();
  return chart;
}

void BM_ChartLoadFull(benchmark::State& state) {
  const ChartFile& c = Chart();
  int64_t events = 0;
  for (auto _ : state) {
    MidiFile chart;
    if (!chart.Load(false, c.wpath)) state.SkipWithError("load failed");
    events = 0;
    for (int t = 0; t < chart.header.trackCount; ++t) events += chart.tracks[t].eventCount;
    benchmark::DoNotOptimize(events);
  }
  state.counters["events"] = double(events);
  state.SetBytesProcessed(state.iterations() * int64_t(c.size));
}
BENCHMARK(BM_ChartLoadFull)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ChartLoadScan(benchmark::State& state) {
  const ChartFile& c = Chart();
  for (auto _ : state) {
    MidiFile chart;
    if (!chart.Load(true, c.wpath)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(chart.tracks[1].complete);
  }
  state.SetBytesProcessed(state.iterations() * int64_t(c.size));
}
BENCHMARK(BM_ChartLoadScan)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ChartReadAndMd5(benchmark::State& state) {
  const ChartFile& c = Chart();
  for (auto _ : state) benchmark::DoNotOptimize(GetFileMD5(c.wpath));
  state.SetBytesProcessed(state.iterations() * int64_t(c.size));
}
BENCHMARK(BM_ChartReadAndMd5)->Unit(benchmark::kMillisecond)->UseRealTime();

// Both in turns, in one loop, so that they meet the same machine state; the
// counter is the full decode's time over the read+MD5 time.
void BM_ChartLoadOverMd5Ratio(benchmark::State& state) {
  const ChartFile& c = Chart();
  using Clock = std::chrono::steady_clock;
  Clock::duration load{}, md5{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    {
      MidiFile chart;
      chart.Load(false, c.wpath);
      benchmark::DoNotOptimize(chart.tracks[1].eventCount);
    }
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(GetFileMD5(c.wpath));
    const auto t2 = Clock::now();
    load += t1 - t0;
    md5 += t2 - t1;
  }
  state.counters["load_over_md5"] = double(load.count()) / double(md5.count());
  state.counters["file_bytes"] = double(c.size);
}
BENCHMARK(BM_ChartLoadOverMd5Ratio)->Unit(benchmark::kMillisecond)->UseRealTime();

int CommunityChartCount() {
  const char* v = std::getenv("VELORIN_CHART_BENCH_CHARTS");
  const int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : 10000;
}

struct ChartSet {
  std::string folder;
  std::vector<std::u16string> paths;
  int64_t bytes = 0;
};

const ChartSet& CommunityCharts() {
  static const ChartSet set = [] {
    ChartSet s;
    s.folder = (std::filesystem::temp_directory_path() / ("velorin_chart_set_bench_" + std::to_string(::getpid())))
                   .string();
    std::filesystem::create_directories(s.folder);
    // The sizes community charts come in, mostly 30-80 KB.
    const int64_t sizes[] = {24000, 36000, 48000, 60000, 80000, 120000};
    const int n = CommunityChartCount();
    for (int i = 0; i < n; ++i) {
      const std::string bytes = testsupport::GeneratedChart(i, sizes[(i * 7) % 6], 42);
      const std::string path = s.folder + "/" + std::to_string(i) + ".mid";
      std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
      s.paths.push_back(platform::PathFromNative(path));
      s.bytes += int64_t(bytes.size());
    }
    std::fprintf(stderr, "%d charts, %.1f MB (%.1f KB each on average)\n", n, double(s.bytes) / 1e6,
                 double(s.bytes) / 1e3 / n);
    benchscratch::RemoveAtExit(s.folder);
    return s;
  }();
  return set;
}

// Every chart decoded whole, then every chart read and hashed, in turns; the page
// cache holds them all (the first round warms it and is not counted). Also the
// bytes the decoded events hold per note on, from the largest chart's load.
void BM_CommunityChartsLoadOverMd5Ratio(benchmark::State& state) {
  const ChartSet& set = CommunityCharts();
  Chart();  // the log goes to the bench folder, not to the figures
  using Clock = std::chrono::steady_clock;
  for (const std::u16string& p : set.paths) benchmark::DoNotOptimize(GetFileMD5(p));
  Clock::duration load{}, md5{};
  int64_t notes = 0, held = 0, events = 0;
  for (auto _ : state) {
    notes = held = events = 0;
    const auto t0 = Clock::now();
    for (const std::u16string& p : set.paths) {
      MidiFile chart;
      chart.Load(false, p);
      held += int64_t(chart.HeldBytes());
      for (int t = 0; t < chart.header.trackCount; ++t) {
        events += chart.tracks[t].eventCount;
        for (const MidiEvent* e = chart.tracks[t].events; e; e = e->next()) notes += e->kind() == kMidiNoteOn;
      }
    }
    const auto t1 = Clock::now();
    for (const std::u16string& p : set.paths) benchmark::DoNotOptimize(GetFileMD5(p));
    const auto t2 = Clock::now();
    load += t1 - t0;
    md5 += t2 - t1;
  }
  const double n = double(state.iterations());
  state.counters["load_ms"] = std::chrono::duration<double, std::milli>(load).count() / n;
  state.counters["read_md5_ms"] = std::chrono::duration<double, std::milli>(md5).count() / n;
  state.counters["load_over_md5"] = double(load.count()) / double(md5.count());
  state.counters["held_bytes_per_note"] = notes ? double(held) / double(notes) : 0.0;
  state.counters["held_bytes_per_event"] = events ? double(held) / double(events) : 0.0;
  state.counters["file_bytes_per_note"] = notes ? double(set.bytes) / double(notes) : 0.0;
}
BENCHMARK(BM_CommunityChartsLoadOverMd5Ratio)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
