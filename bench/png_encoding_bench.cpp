// What decoding the game's pictures costs, and what their PNG encoding has to do with
// it: every picture of the default theme's "static/" folder as the build wrote it,
// beside the same pixels written again with other row filters and deflate settings.
// Each iteration decodes the set as built and the set as re-encoded, one after the
// other, on the calling thread's CPU clock (the machine may be loaded), and reports the
// variant's bytes and decode time as ratios to the built set's.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/gfx/device.h"
#include "png_writers.h"

namespace {

namespace fs = std::filesystem;
namespace gfx = platform::gfx;

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Picture {
  std::string path, bytes;
  gfx::ImageData image;
};

const std::vector<Picture>& BuiltPictures() {
  static const std::vector<Picture> pictures = [] {
    std::vector<Picture> out;
    const fs::path root = fs::path(VELORIN_RUN_DIR) / "themes/default/static";
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
      if (!it->is_regular_file(ec) || it->path().extension() != ".png") continue;
      Picture p;
      p.path = it->path().string();
      if (!platform::ReadWholeFile(p.path, p.bytes)) continue;
      if (!gfx::DecodeImageBytes(p.bytes, p.path, p.image)) continue;
      out.push_back(std::move(p));
    }
    std::sort(out.begin(), out.end(), [](const Picture& a, const Picture& b) { return a.path < b.path; });
    return out;
  }();
  return pictures;
}

// Decodes every buffer once; the CPU milliseconds it took.
double DecodeAll(const std::vector<const std::string*>& files) {
  double start = ThreadCpuMs();
  gfx::ImageData image;
  for (const std::string* bytes : files) {
    gfx::DecodeImageBytes(*bytes, "bench", image);
    benchmark::DoNotOptimize(image.rgba.data());
  }
  return ThreadCpuMs() - start;
}

enum class Deflate { kOwn, kZlib };

void BM_DecodePictures(benchmark::State& state, Deflate deflate, int filter, int level) {
  const std::vector<Picture>& built = BuiltPictures();
  if (built.empty()) {
    state.SkipWithError("the run folder has no default theme pictures; build the content first");
    return;
  }
  std::vector<std::string> encoded;
  encoded.reserve(built.size());
  size_t builtBytes = 0, encodedBytes = 0;
  double pixels = 0;
  for (const Picture& p : built) {
    const gfx::ImageData& im = p.image;
    encoded.push_back(deflate == Deflate::kOwn ? pngbench::EncodeOwnDeflate(im.width, im.height, im.rgba.data(), filter, level)
                                               : pngbench::EncodeZlibDeflate(im.width, im.height, im.rgba.data(), filter, level));
    // The comparison only counts when the pictures stay the same pixels.
    gfx::ImageData back;
    if (encoded.back().empty() || !gfx::DecodeImageBytes(encoded.back(), p.path, back) || back.rgba != im.rgba) {
      state.SkipWithError(("re-encoding changed " + p.path).c_str());
      return;
    }
    builtBytes += p.bytes.size();
    encodedBytes += encoded.back().size();
    pixels += double(im.width) * double(im.height);
  }
  std::vector<const std::string*> builtFiles, variantFiles;
  for (const Picture& p : built) builtFiles.push_back(&p.bytes);
  for (const std::string& e : encoded) variantFiles.push_back(&e);

  double builtMs = 0, variantMs = 0;
  // Which set goes first alternates, so that neither always meets a warmed cache.
  bool builtFirst = true;
  for (auto _ : state) {
    if (builtFirst) builtMs += DecodeAll(builtFiles);
    variantMs += DecodeAll(variantFiles);
    if (!builtFirst) builtMs += DecodeAll(builtFiles);
    builtFirst = !builtFirst;
  }
  const double runs = double(state.iterations());
  state.counters["pictures"] = double(built.size());
  state.counters["built_MB"] = double(builtBytes) / 1e6;
  state.counters["MB"] = double(encodedBytes) / 1e6;
  state.counters["size_over_built"] = double(encodedBytes) / double(builtBytes);
  state.counters["built_decode_cpu_ms"] = builtMs / runs;
  state.counters["decode_cpu_ms"] = variantMs / runs;
  state.counters["decode_over_built"] = builtMs > 0 ? variantMs / builtMs : 0;
  state.counters["us_per_picture"] = variantMs / runs * 1e3 / double(built.size());
  state.counters["ns_per_pixel"] = variantMs / runs * 1e6 / pixels;
}

// The writer's defaults (a filter per row, its own deflate) first, then forced filters
// with its deflate and with zlib's (the generators now write zlib at 9 with Up rows).
BENCHMARK_CAPTURE(BM_DecodePictures, own_row_filters_8, Deflate::kOwn, -1, 8)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK_CAPTURE(BM_DecodePictures, own_none_8, Deflate::kOwn, 0, 8)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK_CAPTURE(BM_DecodePictures, own_sub_8, Deflate::kOwn, 1, 8)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK_CAPTURE(BM_DecodePictures, own_up_8, Deflate::kOwn, 2, 8)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK_CAPTURE(BM_DecodePictures, own_paeth_8, Deflate::kOwn, 4, 8)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK_CAPTURE(BM_DecodePictures, zlib_row_filters_6, Deflate::kZlib, -1, 6)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK_CAPTURE(BM_DecodePictures, zlib_row_filters_9, Deflate::kZlib, -1, 9)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK_CAPTURE(BM_DecodePictures, zlib_none_9, Deflate::kZlib, 0, 9)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK_CAPTURE(BM_DecodePictures, zlib_sub_9, Deflate::kZlib, 1, 9)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK_CAPTURE(BM_DecodePictures, zlib_up_9, Deflate::kZlib, 2, 9)->Unit(benchmark::kMillisecond)->Iterations(6);
// The same rows at lower deflate levels: whether the level the pictures are written at
// changes how fast they inflate.
BENCHMARK_CAPTURE(BM_DecodePictures, zlib_up_6, Deflate::kZlib, 2, 6)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK_CAPTURE(BM_DecodePictures, zlib_up_1, Deflate::kZlib, 2, 1)->Unit(benchmark::kMillisecond)->Iterations(6);

}  // namespace

BENCHMARK_MAIN();
