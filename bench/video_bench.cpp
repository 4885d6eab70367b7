// Video playback at 1280 x 720, 30 pictures a second, made by the benchmark at start
// (H.264 in MP4 when the encoder exists, and MPEG-4 Part 2 in AVI) and removed at
// the end:
// - decoding: the decoder thread's time per picture beside the frame period (ratio
//   below 1 means real time on the one core the decoder uses);
// - real-time play on the steady clock with a 60 Hz frame step: the largest lag, in
//   pictures, of the shown picture behind the one due (at most 1 is the goal);
// - the main thread's upload of one picture into an OpenGL texture (SDL offscreen
//   context) beside a plain memcpy of the same bytes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <ctime>
#include <vector>

#include "bench/scratch.h"
#include "core/log.h"
#include "graphics/video_texture.h"
#include "platform/paths.h"
#include "platform/video/video_source.h"
#include "tests/video/gl_video_device.h"
#include "tests/video/video_writer.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFps = 30;
constexpr int kFrames = 150;  // five seconds
constexpr double kPeriodMs = 1000.0 / kFps;

const std::string& Folder() {
  static const std::string folder = [] {
    const std::string f =
        (std::filesystem::temp_directory_path() / ("velorin_video_bench_" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(f);
    SetLogFolder(platform::PathFromNative(f));
    SetLogEcho(false);
    benchscratch::RemoveAtExit(f);
    return f;
  }();
  return folder;
}

// A moving picture with detail, so that the decoder does real work: a scrolling
// gradient with a bouncing checkered block and a little per-picture noise.
void Paint(int frame, uint8_t* bgra, int width, int height) {
  uint32_t seed = 0x9E3779B9u * uint32_t(frame + 1);
  const int bx = (frame * 17) % (width - 200), by = (frame * 11) % (height - 200);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = bgra + (size_t(y) * size_t(width) + size_t(x)) * 4;
      seed = seed * 1664525u + 1013904223u;
      const uint8_t noise = uint8_t(seed >> 29);
      p[0] = uint8_t((x + frame * 4) & 0xFF) ^ noise;
      p[1] = uint8_t((y * 2 + frame) & 0xFF);
      p[2] = uint8_t(((x + y) / 3 + frame * 2) & 0xFF);
      if (x >= bx && x < bx + 200 && y >= by && y < by + 200 && (((x - bx) / 20 + (y - by) / 20) & 1)) {
        p[0] = p[1] = p[2] = 0xF0;
      }
      p[3] = 0xFF;
    }
  }
}

struct Clip {
  std::string path;
  std::string label;
};

const std::vector<Clip>& Clips() {
  static const std::vector<Clip> clips = [] {
    std::vector<Clip> out;
    struct Kind {
      const char* container;
      const char* codec;
      const char* file;
      const char* label;
    };
    const Kind kinds[] = {{"mp4", "libx264", "clip.mp4", "h264_mp4"}, {"avi", "mpeg4", "clip.avi", "mpeg4_avi"}};
    for (const Kind& k : kinds) {
      videotest::ClipLayout layout;
      layout.container = k.container;
      layout.codec = k.codec;
      layout.width = kWidth;
      layout.height = kHeight;
      layout.fps = kFps;
      layout.frames = kFrames;
      layout.keyframeInterval = 60;
      layout.bitRate = 4000000;
      const std::string path = Folder() + "/" + k.file;
      if (videotest::WriteVideo(path, layout, Paint)) {
        out.push_back({path, k.label});
      } else {
        std::fprintf(stderr, "video_bench: %s/%s could not be written, left out\n", k.container, k.codec);
      }
    }
    return out;
  }();
  return clips;
}

// Decodes the whole clip as fast as the thread can (every picture is due at once,
// and the owner takes them as fast as they come).
void BM_DecodePerFrame(benchmark::State& state) {
  const auto& clips = Clips();
  if (size_t(state.range(0)) >= clips.size()) {
    state.SkipWithError("clip not available");
    return;
  }
  const Clip& clip = clips[size_t(state.range(0))];
  state.SetLabel(clip.label);
  double decodeNs = 0, frames = 0;
  for (auto _ : state) {
    int64_t now = 0;
    platform::video::SourceOptions options;
    options.clockMs = [&now] { return now; };
    platform::video::OpenResult result;
    auto source = platform::video::VideoSource::Open(clip.path, options, result);
    if (!source) {
      state.SkipWithError("open failed");
      return;
    }
    source->Run();
    now = int64_t(1) << 40;  // every picture is due: the thread decodes flat out
    while (source->GetPlayState() != platform::video::PlayState::kEnded) {
      source->Service();
      std::this_thread::yield();
    }
    decodeNs += double(source->DecodeNanoseconds());
    frames += double(source->FramesDecoded());
  }
  const double perFrameMs = decodeNs / std::max(frames, 1.0) / 1e6;
  state.counters["decode_ms_per_frame"] = perFrameMs;
  state.counters["frame_period_ms"] = kPeriodMs;
  state.counters["decode_to_period"] = perFrameMs / kPeriodMs;
}

// Plays the clip on the steady clock with a 60 Hz frame step and measures how far the
// shown picture falls behind the picture due.
void BM_RealTimeLag(benchmark::State& state) {
  const auto& clips = Clips();
  if (size_t(state.range(0)) >= clips.size()) {
    state.SkipWithError("clip not available");
    return;
  }
  const Clip& clip = clips[size_t(state.range(0))];
  state.SetLabel(clip.label);
  double worstLag = 0;
  int64_t lateSteps = 0, steps = 0;
  for (auto _ : state) {
    platform::video::OpenResult result;
    auto source = platform::video::VideoSource::Open(clip.path, platform::video::SourceOptions{}, result);
    if (!source) {
      state.SkipWithError("open failed");
      return;
    }
    source->Run();
    auto next = std::chrono::steady_clock::now();
    while (source->GetPlayState() != platform::video::PlayState::kEnded) {
      next += std::chrono::microseconds(16667);
      std::this_thread::sleep_until(next);
      source->Service();
      const int64_t position = source->PositionMs();
      if (position >= int64_t(kFrames) * 1000 / kFps) continue;
      const int64_t due = int64_t(std::floor(double(position) / kPeriodMs));
      const int64_t shown = source->CurrentFrame() ? int64_t(std::llround(double(source->CurrentFrame()->timeMs) / kPeriodMs)) : 0;
      const double lag = double(due - shown);
      worstLag = std::max(worstLag, lag);
      if (lag > 1) ++lateSteps;
      ++steps;
    }
  }
  state.counters["worst_lag_frames"] = worstLag;
  state.counters["steps_over_one_frame_late"] = double(lateSteps);
  state.counters["steps"] = double(steps);
}

// CPU time of the calling thread: on a loaded machine the wall time of the upload
// mostly measures waiting for a core.
double ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

// One 1280 x 720 RGBA picture into a GL texture (upload and glFinish), timed beside a
// memcpy of the same bytes in the same run.
void BM_UploadBesideMemcpy(benchmark::State& state) {
  videotest::GlContext gl;
  if (!gl.Ok()) {
    state.SkipWithError(("no OpenGL context: " + gl.Error()).c_str());
    return;
  }
  videotest::GlVideoDevice device;
  auto texture = device.CreateDynamicTexture(kWidth, kHeight);
  if (!texture) {
    state.SkipWithError("no texture");
    return;
  }
  std::vector<uint8_t> picture(size_t(kWidth) * kHeight * 4), copy(picture.size());
  Paint(7, picture.data(), kWidth, kHeight);
  double uploadNs = 0, memcpyNs = 0, uploadCpuNs = 0;
  int64_t n = 0;
  for (auto _ : state) {
    const double cpuBefore = ThreadCpuNs();
    const auto a = std::chrono::steady_clock::now();
    texture->Update(picture.data(), kWidth * 4);
    gl.Finish();
    const auto b = std::chrono::steady_clock::now();
    uploadCpuNs += ThreadCpuNs() - cpuBefore;
    std::memcpy(copy.data(), picture.data(), picture.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
    const auto c = std::chrono::steady_clock::now();
    uploadNs += double(std::chrono::duration_cast<std::chrono::nanoseconds>(b - a).count());
    memcpyNs += double(std::chrono::duration_cast<std::chrono::nanoseconds>(c - b).count());
    ++n;
    picture[size_t(n % 1000) * 4] ^= 1;  // a different picture each time
  }
  state.counters["upload_cpu_ms"] = uploadCpuNs / double(std::max<int64_t>(n, 1)) / 1e6;
  state.counters["upload_ms"] = uploadNs / double(std::max<int64_t>(n, 1)) / 1e6;
  state.counters["memcpy_ms"] = memcpyNs / double(std::max<int64_t>(n, 1)) / 1e6;
  state.counters["upload_to_memcpy"] = uploadNs / std::max(memcpyNs, 1.0);
}

BENCHMARK(BM_DecodePerFrame)->Arg(0)->Arg(1)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RealTimeLag)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadBesideMemcpy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
