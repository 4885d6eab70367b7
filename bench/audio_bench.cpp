// Playing a song of fourteen stereo Ogg stems through the audio layer (stems pumped as
// the Music thread pumps them, the loopback device mixing as fast as it can) against
// decoding the same stems alone with ov_read. The counter core_share_realtime is the
// CPU time per second of song: the share of one core the song takes when it plays in
// real time.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "devices/audio/ogg_stem.h"
#include "platform/audio/audio.h"
#include "platform/paths.h"
#include "tests/support/audio_fixtures.h"

namespace {

constexpr int kStems = 14;
constexpr int kRate = 44100;
constexpr double kSongSeconds = 30.0;

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Fourteen stereo stems of a 30-second song, each a different chord, written once
// into a folder that goes at exit.
struct BenchStems {
  std::filesystem::path dir;
  std::vector<std::string> files;

  BenchStems() {
    dir = std::filesystem::temp_directory_path() / ("velorin_audio_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (int i = 0; i < kStems; ++i) {
      testsupport::OggSpec params;
      params.channels = 2;
      params.rate = kRate;
      params.frames = static_cast<int64_t>(kSongSeconds * kRate);
      params.quality = 0.4f;
      const double base = 110.0 * (1 + i % 7);
      params.signal = [base](int64_t frame, int channel) {
        const double t = static_cast<double>(frame) / kRate;
        double v = 0.0;
        for (int h = 1; h <= 4; ++h) v += std::sin(2 * std::numbers::pi * base * h * (1.0 + 0.002 * channel) * t) / h;
        return static_cast<float>(0.1 * v * (0.6 + 0.4 * std::sin(2 * std::numbers::pi * 0.5 * t)));
      };
      const std::string path = (dir / ("stem" + std::to_string(i) + ".ogg")).string();
      std::ofstream(path, std::ios::binary) << testsupport::MakeOgg(params);
      files.push_back(path);
    }
  }
  ~BenchStems() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

const std::vector<std::string>& StemFiles() {
  static const BenchStems stems;
  return stems.files;
}

void BM_DecodeOnly(benchmark::State& state) {
  const std::vector<std::string>& files = StemFiles();
  std::vector<char> buffer(CAudio::kBufferBytes);
  double cpu = 0.0;
  for (auto _ : state) {
    const double start = ProcessCpuSeconds();
    for (const std::string& file : files) {
      OggVorbis_File vf;
      if (ov_fopen(file.c_str(), &vf) != 0) {
        state.SkipWithError("cannot open a stem");
        return;
      }
      int link = 0;
      long got;
      long total = 0;
      do {
        got = ov_read(&vf, buffer.data(), static_cast<int>(buffer.size()), 0, 2, 1, &link);
        total += got > 0 ? got : 0;
      } while (got > 0 || got == OV_HOLE);
      benchmark::DoNotOptimize(total);
      ov_clear(&vf);
    }
    cpu += ProcessCpuSeconds() - start;
  }
  state.counters["core_share_realtime"] = cpu / (static_cast<double>(state.iterations()) * kSongSeconds);
}

// The device rate is the argument: 44100 needs no rate conversion, 48000 does.
void BM_PlayThroughLayer(benchmark::State& state) {
  const std::vector<std::string>& files = StemFiles();
  if (!platform::audio::testing::UseLoopback(static_cast<uint32_t>(state.range(0)))) {
    state.SkipWithError("no loopback device");
    return;
  }
  const uint32_t quantum = static_cast<uint32_t>(state.range(0) / 20);  // 50 ms between pumps
  double cpu = 0.0;
  for (auto _ : state) {
    const double start = ProcessCpuSeconds();
    {
      std::unique_ptr<CAudio[]> stems(new CAudio[kStems]);
      stems[0].CreateEngine();
      std::vector<platform::audio::SourceVoice*> voices;
      for (int i = 0; i < kStems; ++i) {
        if (i > 0) {
          stems[i].engine = stems[0].engine;
          stems[i].ownsEngine = false;
        }
        stems[i].Open(platform::PathFromNative(files[i]));
        stems[i].Update();
        voices.push_back(stems[i].sourceVoice.get());
      }
      stems[0].engine->StartVoices(voices);
      bool running = true;
      while (running) {
        platform::audio::testing::Render(quantum);
        running = false;
        for (int i = 0; i < kStems; ++i) {
          stems[i].Update();
          running = running || !stems[i].ended;
        }
      }
    }
    cpu += ProcessCpuSeconds() - start;
  }
  state.counters["core_share_realtime"] = cpu / (static_cast<double>(state.iterations()) * kSongSeconds);
  platform::audio::testing::UseDefaultDevice();
}

BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_PlayThroughLayer)->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
