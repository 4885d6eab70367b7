// Loading the whole gameplay set (every picture of the fixed texture tables, every
// model of the mesh slots and the pictures those models name) through the asset store,
// beside only reading the same files, in the same run. The load runs on a worker thread
// as the game's Task thread runs it, over the OpenGL back end with its GL calls going
// to a counting stub (pixels stay on the CPU until the main thread uploads them), while
// the main thread keeps drawing a loading-screen frame at the display rate; the frames
// drawn during the load and the longest gap between two of them are reported.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/utils.h"
#include "graphics/game_asset_lists.h"
#include "graphics/game_assets.h"
#include "graphics/image_decode_pool.h"
#include "platform/file.h"
#include "platform/gfx/pixel_memory.h"
#include "platform/gfx/render_device.h"
#include "platform/model/xfile.h"

namespace {

namespace fs = std::filesystem;
namespace gfx = platform::gfx;
using Clock = std::chrono::steady_clock;

// CPU time in milliseconds: the whole process's (every thread's), or the calling thread's.
double CpuMs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

constexpr std::u16string_view kTheme = graphics::kDefaultThemeFolder;

std::string StaticPath(const graphics::StaticAssetRow& row, const char* extension) {
  return ToNarrow(std::u16string(kTheme) + u"static/" + std::u16string(row.folder) + u"/" +
                  std::u16string(row.name)) +
         extension;
}

// Every file the load reads, in the order it reads them: the table pictures, then each
// model followed by the pictures its materials name (as written beside the model, else
// by file name alone there).
struct SetFiles {
  std::vector<std::string> files;
  int tablePictures = 0, modelPictures = 0, models = 0;
};

SetFiles ListGameplaySet() {
  SetFiles set;
  auto addRows = [&](auto& rows) {
    for (const auto& row : rows) {
      set.files.push_back(StaticPath(row, ".png"));
      ++set.tablePictures;
    }
  };
  addRows(graphics::kNoteTextureRows);
  addRows(graphics::kTailTextureRows);
  addRows(graphics::kFretTextureRows);
  addRows(graphics::kMeterTextureRows);
  addRows(graphics::kNumberTextureRows);
  for (const auto& row : graphics::kModelRows) {
    std::string path = StaticPath(row, ".X");
    set.files.push_back(path);
    ++set.models;
    platform::model::XModel model;
    if (!platform::model::LoadXFile(path, model)) continue;
    fs::path folder = fs::path(path).parent_path();
    for (const auto& mesh : model.meshes) {
      if (!mesh.materialsFromFile) continue;
      for (const auto& material : mesh.materials) {
        if (material.textureFile.empty()) continue;
        fs::path named = folder / material.textureFile;
        fs::path base = folder / fs::path(material.textureFile).filename();
        std::error_code ec;
        if (fs::is_regular_file(named, ec)) set.files.push_back(named.string());
        else if (fs::is_regular_file(base, ec)) set.files.push_back(base.string());
        else continue;
        ++set.modelPictures;
      }
    }
  }
  return set;
}

// One loading-screen frame: a dark background and a progress bar of the counters.
void DrawLoadingFrame(gfx::RenderDevice& device, float progress) {
  device.BeginScene();
  device.Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF101018, 1.0f, 0);
  device.SetRenderState(gfx::RenderState::kLighting, 0);
  device.SetTexture(0, nullptr);
  device.SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
  auto bar = [&](float x0, float x1, uint32_t colour) {
    const gfx::VertexScreenColorTex v[4] = {{x0, 600, 0, 1, colour, 0, 0}, {x1, 600, 0, 1, colour, 1, 0},
                                            {x0, 630, 0, 1, colour, 0, 1}, {x1, 630, 0, 1, colour, 1, 1}};
    device.DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, v, sizeof v[0]);
  };
  bar(240, 1040, 0xFF303040);
  bar(240, 240 + 800 * std::clamp(progress, 0.0f, 1.0f), 0xFFE0A020);
  device.EndScene();
}

class RunFolder {
 public:
  RunFolder() {
    std::error_code ec;
    old_ = fs::current_path(ec);
    ok_ = fs::is_directory(fs::path(VELORIN_RUN_DIR) / ToNarrow(kTheme), ec);
    if (ok_) fs::current_path(VELORIN_RUN_DIR, ec);
    ok_ = ok_ && !ec;
  }
  ~RunFolder() {
    std::error_code ec;
    fs::current_path(old_, ec);
  }
  bool Ok() const { return ok_; }

 private:
  fs::path old_;
  bool ok_ = false;
};

void BM_LoadGameplaySet(benchmark::State& state) {
  RunFolder run;
  if (!run.Ok()) {
    state.SkipWithError("the built game's run folder has no default theme; build the content first");
    return;
  }
  const SetFiles set = ListGameplaySet();
  auto device = gfx::CreateGlRenderDeviceOverStub(1280, 720);
  const float totalSteps = float(graphics::GameAssets::StaticTextureCount() + graphics::GameAssets::StaticModelCount());

  // The argument is the number of decode threads (0: the loading thread decodes alone).
  const int decodeThreads = int(state.range(0));
  double loadMs = 0, readMs = 0, longestGapMs = 0, readCpuMs = 0, loadCpuMs = 0, taskCpuMs = 0, texturesMs = 0,
         modelsMs = 0, arenaHeldMb = 0, arenaResidentMb = 0;
  int64_t frames = 0, runs = 0, picturesLoaded = 0, modelsLoaded = 0, bytesRead = 0;
  for (auto _ : state) {
    // Only reading: every file once, whole, on one thread.
    auto readStart = Clock::now();
    double readCpuStart = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
    std::string bytes;
    for (const std::string& file : set.files) {
      if (platform::ReadWholeFile(file, bytes)) bytesRead += int64_t(bytes.size());
      benchmark::DoNotOptimize(bytes.data());
    }
    readMs += std::chrono::duration<double, std::milli>(Clock::now() - readStart).count();
    readCpuMs += CpuMs(CLOCK_PROCESS_CPUTIME_ID) - readCpuStart;

    // The load through the asset store while the loading screen draws.
    auto assets = std::make_unique<graphics::GameAssets>(device.get());
    assets->SetDecodeThreads(decodeThreads);
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
    auto loadStart = Clock::now();
    double loadCpuStart = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
    std::thread task([&] {
      double taskStart = CpuMs(CLOCK_THREAD_CPUTIME_ID);
      auto texturesStart = Clock::now();
      assets->LoadTextures(kTheme);
      auto modelsStart = Clock::now();
      assets->LoadModels(kTheme);
      texturesMs += std::chrono::duration<double, std::milli>(modelsStart - texturesStart).count();
      modelsMs += std::chrono::duration<double, std::milli>(Clock::now() - modelsStart).count();
      taskCpuMs += CpuMs(CLOCK_THREAD_CPUTIME_ID) - taskStart;
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
      wake.notify_all();
    });
    auto lastFrame = Clock::now();
    for (;;) {
      float progress = float(assets->texturesLoaded.load() + assets->modelsLoaded.load()) / totalSteps;
      DrawLoadingFrame(*device, progress);
      auto now = Clock::now();
      longestGapMs = std::max(longestGapMs, std::chrono::duration<double, std::milli>(now - lastFrame).count());
      lastFrame = now;
      ++frames;
      std::unique_lock<std::mutex> lock(mutex);
      if (wake.wait_for(lock, std::chrono::microseconds(16667), [&] { return done; })) break;
    }
    task.join();
    assets->PreloadTextures();  // the main thread's upload before the first gameplay frame
    loadMs += std::chrono::duration<double, std::milli>(Clock::now() - loadStart).count();
    loadCpuMs += CpuMs(CLOCK_PROCESS_CPUTIME_ID) - loadCpuStart;
    // What the picture arena still holds once the fixed tables are uploaded: the pictures
    // left for a first draw (numbers, the models') keep their chunks.
    if (gfx::PixelArena* arena = gfx::PixelArena::Shared()) {
      arenaHeldMb = double(arena->MappedBytes()) / 1e6;
      arenaResidentMb = double(arena->ResidentBytes()) / 1e6;
    }

    auto count = [](const auto& table) { return std::count_if(table.begin(), table.end(), [](auto* t) { return t; }); };
    picturesLoaded = count(assets->noteTextures) + count(assets->tailTextures) + count(assets->fretTextures) +
                     count(assets->meterTextures) + count(assets->numberTextures);
    modelsLoaded = std::count_if(assets->meshes.begin(), assets->meshes.end(),
                                 [](const graphics::MeshInstance& m) { return m.Hierarchy() != nullptr; });
    ++runs;
  }
  state.counters["table_pictures"] = double(set.tablePictures);
  state.counters["model_pictures"] = double(set.modelPictures);
  state.counters["models"] = double(set.models);
  state.counters["table_pictures_loaded"] = double(picturesLoaded);
  state.counters["models_loaded"] = double(modelsLoaded);
  state.counters["MB_read"] = double(bytesRead) / double(runs) / 1e6;
  state.counters["load_ms"] = loadMs / double(runs);
  state.counters["read_ms"] = readMs / double(runs);
  state.counters["load_over_read"] = readMs > 0 ? loadMs / readMs : 0;
  // CPU figures hold on a loaded machine, where wall time mostly measures the wait for a
  // processor: the process's CPU over the load (workers, loading thread and the frames
  // drawn meanwhile) against its CPU for the reading, and the loading thread's own CPU,
  // which is what the workers take off the load's critical path.
  state.counters["decode_threads"] = double(decodeThreads);
  state.counters["textures_ms"] = texturesMs / double(runs);
  state.counters["models_ms"] = modelsMs / double(runs);
  state.counters["load_cpu_ms"] = loadCpuMs / double(runs);
  state.counters["read_cpu_ms"] = readCpuMs / double(runs);
  state.counters["load_over_read_cpu"] = readCpuMs > 0 ? loadCpuMs / readCpuMs : 0;
  state.counters["loading_thread_cpu_ms"] = taskCpuMs / double(runs);
  state.counters["arena_mapped_MB_after_upload"] = arenaHeldMb;
  state.counters["arena_resident_MB_after_upload"] = arenaResidentMb;
  state.counters["frames_during_load"] = double(frames) / double(runs);
  state.counters["longest_frame_gap_ms"] = longestGapMs;
}
BENCHMARK(BM_LoadGameplaySet)
    ->Arg(0)
    ->Arg(graphics::ImageDecodePool::DefaultThreads())
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
