// Playing a song of fourteen stereo Ogg stems through the audio layer (stems pumped as
// the Music thread pumps them, the loopback device mixing as fast as it can) against
// decoding the same stems alone with ov_read. The counter core_share_realtime is the
// CPU time per second of song: the share of one core the song takes when it plays in
// real time. BM_PlayOverDecodeRatio times both in turns in one loop and reports
// play / decode-only, for stems at 44.1 and 48 kHz on a device that takes the stems'
// rate (as a real one does), and for 44.1 kHz stems on a device held at 48 kHz; each
// with the stems mixed by the layer into one stream (as the game plays them) and with
// every stem a source of its own, so both paths are measured in the same run.
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

  explicit BenchStems(int rate) {
    dir = std::filesystem::temp_directory_path() /
          ("velorin_audio_bench_" + std::to_string(::getpid()) + "_" + std::to_string(rate));
    std::filesystem::create_directories(dir);
    for (int i = 0; i < kStems; ++i) {
      testsupport::OggSpec params;
      params.channels = 2;
      params.rate = rate;
      params.frames = static_cast<int64_t>(kSongSeconds * rate);
      params.quality = 0.4f;
      const double base = 110.0 * (1 + i % 7);
      params.signal = [base, rate](int64_t frame, int channel) {
        const double t = static_cast<double>(frame) / rate;
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

const std::vector<std::string>& StemFiles(int rate = kRate) {
  static const BenchStems stems44(44100);
  static const BenchStems stems48(48000);
  return rate == 48000 ? stems48.files : stems44.files;
}

// Decodes every stem to its end; false when one cannot be opened.
bool DecodeAll(const std::vector<std::string>& files, std::vector<char>& buffer) {
  for (const std::string& file : files) {
    OggVorbis_File vf;
    if (ov_fopen(file.c_str(), &vf) != 0) return false;
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
  return true;
}

// Plays every stem to its end through the layer on the loopback device, pumped every
// `quantum` frames.
void PlayAll(const std::vector<std::string>& files, uint32_t quantum) {
  std::unique_ptr<CAudio[]> stems(new CAudio[kStems]);
  stems[0].CreateEngine();
  std::vector<platform::audio::SourceVoice*> voices;
  for (int i = 0; i < kStems; ++i) {
    if (i > 0) {
      stems[i].engine = stems[0].engine;
      stems[i].ownsEngine = false;
    }
    stems[i].Open(platform::PathFromNative(files[size_t(i)]));
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

// Arguments: the stems' rate, the rate the device opens at, whether the device may
// move to the stems' rate, and whether the stems are mixed into one stream.
void BM_PlayOverDecodeRatio(benchmark::State& state) {
  const int stemRate = static_cast<int>(state.range(0));
  const uint32_t deviceRate = static_cast<uint32_t>(state.range(1));
  const bool follows = state.range(2) != 0;
  platform::audio::testing::MixVoices(state.range(3) != 0);
  const std::vector<std::string>& files = StemFiles(stemRate);
  std::vector<char> buffer(CAudio::kBufferBytes);
  if (!platform::audio::testing::UseLoopback(deviceRate, follows)) {
    state.SkipWithError("no loopback device");
    return;
  }
  double decode = 0.0, play = 0.0;
  uint32_t mixedAt = 0;
  for (auto _ : state) {
    double t0 = ProcessCpuSeconds();
    if (!DecodeAll(files, buffer)) {
      state.SkipWithError("cannot open a stem");
      break;
    }
    double t1 = ProcessCpuSeconds();
    PlayAll(files, deviceRate / 20);  // 50 ms between pumps
    mixedAt = platform::audio::GetDeviceInfo().sampleRate;
    double t2 = ProcessCpuSeconds();
    decode += t1 - t0;
    play += t2 - t1;
    // The next round starts from the device's first rate again.
    platform::audio::testing::UseLoopback(deviceRate, follows);
  }
  platform::audio::testing::UseDefaultDevice();
  platform::audio::testing::MixVoices(true);
  state.counters["decode_core_share"] = decode / (static_cast<double>(state.iterations()) * kSongSeconds);
  state.counters["play_core_share"] = play / (static_cast<double>(state.iterations()) * kSongSeconds);
  state.counters["play_over_decode"] = decode > 0.0 ? play / decode : 0.0;
  state.counters["mixed_at_hz"] = mixedAt;
}
BENCHMARK(BM_PlayOverDecodeRatio)
    ->ArgNames({"stem_hz", "device_hz", "follows", "mixed"})
    ->Args({44100, 48000, 1, 0})
    ->Args({44100, 48000, 1, 1})
    ->Args({48000, 44100, 1, 0})
    ->Args({48000, 44100, 1, 1})
    ->Args({44100, 48000, 0, 0})
    ->Args({44100, 48000, 0, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

void BM_DecodeOnly(benchmark::State& state) {
  const std::vector<std::string>& files = StemFiles();
  std::vector<char> buffer(CAudio::kBufferBytes);
  double cpu = 0.0;
  for (auto _ : state) {
    const double start = ProcessCpuSeconds();
    if (!DecodeAll(files, buffer)) {
      state.SkipWithError("cannot open a stem");
      return;
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
    PlayAll(files, quantum);
    cpu += ProcessCpuSeconds() - start;
  }
  state.counters["core_share_realtime"] = cpu / (static_cast<double>(state.iterations()) * kSongSeconds);
  platform::audio::testing::UseDefaultDevice();
}

BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_PlayThroughLayer)->Arg(44100)->Arg(48000)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
