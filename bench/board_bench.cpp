// The boards of a full band: 15 players on a dense expert chart (sixteenth notes at
// 160 beats per minute with chords, sustains, energy phrases and solos) drawn every
// frame on the Null back end, so the figure is the board code's own CPU time without
// a driver. Each frame first runs the gameplay update of every player; its time is
// measured in the same loop and printed beside the boards' time (goal: the boards'
// work at most 2 ms a frame).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "board_fixtures.h"
#include "dense_chart.h"
#include "game/player.h"
#include "graphics/camera.h"
#include "graphics/game_asset_lists.h"
#include "graphics/gameplay_render.h"
#include "graphics/player_board.h"
#include "platform/gfx/render_device.h"
#include "song/midi_file.h"

namespace {

using bench::DenseChart;

// Every model of the fixed list as a flat quad (textures stay empty: drawing cost is
// the same), in a theme folder of its own that becomes the current folder (the asset
// store reads relative to it). Returns the folder to remove afterwards.
std::filesystem::path WriteQuadTheme() {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("velorin_board_bench_" + std::to_string(::getpid()));
  const std::string quad = boardtest::QuadModelText(48.0f, 16.0f);
  for (const graphics::StaticAssetRow& row : graphics::kModelRows) {
    const fs::path folder = root / "themes" / "default" / "static" / std::string(row.folder.begin(), row.folder.end());
    fs::create_directories(folder);
    std::ofstream(folder / (std::string(row.name.begin(), row.name.end()) + ".X")) << quad;
  }
  fs::current_path(root);
  return root;
}

struct Band {
  static constexpr int kPlayers = 15;

  Band(MidiFile& chart, graphics::GameAssets* assets, platform::gfx::RenderDevice* device) {
    struct Seat {
      int kind;
      const char* track;
      int lanes;
    };
    static constexpr std::array<Seat, kPlayers> kSeats = {{{2, "PART GUITAR", 5},
                                                           {2, "PART GUITAR", 5},
                                                           {2, "PART GUITAR", 5},
                                                           {2, "PART GUITAR", 5},
                                                           {1, "PART BASS", 5},
                                                           {1, "PART BASS", 5},
                                                           {10, "PART RHYTHM", 5},
                                                           {10, "PART RHYTHM", 5},
                                                           {3, "PART KEYS", 5},
                                                           {3, "PART KEYS", 5},
                                                           {0, "PART DRUMS", 5},
                                                           {0, "PART DRUMS", 4},
                                                           {0, "PART DRUMS", 5},
                                                           {7, "PART REAL_GUITAR", 6},
                                                           {7, "PART REAL_GUITAR", 6}}};
    context.practice = true;
    context.playerCount = kPlayers;
    for (int i = 0; i < kPlayers; ++i) {
      auto p = std::make_unique<Player>();
      p->context = &context;
      p->kind = kSeats[static_cast<size_t>(i)].kind;
      p->laneCount = kSeats[static_cast<size_t>(i)].lanes;
      p->difficulty = 3;
      if (i % 2 == 0) p->options.fiveFretAssist = p->options.keysAssist = p->options.drumAssist = 1;
      int track = -1;
      for (int t = 0; t < kMidiTrackSlots; ++t) {
        if (chart.tracks[static_cast<size_t>(t)].name == kSeats[static_cast<size_t>(i)].track) track = t;
      }
      boards.push_back(std::make_unique<graphics::PlayerBoard>(*p, assets, device));
      p->SetupBoard(&chart, track);
      players.push_back(std::move(p));
    }
    for (int i = 0; i < kPlayers; ++i) {
      views[static_cast<size_t>(i)] = {players[static_cast<size_t>(i)].get(), boards[static_cast<size_t>(i)].get(), {}};
    }
  }
  GameContext context;
  std::vector<std::unique_ptr<Player>> players;
  std::vector<std::unique_ptr<graphics::PlayerBoard>> boards;
  std::array<graphics::GameplayBoard, kPlayers> views{};
};

void BM_Boards15Players(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const uint32_t steps = 800;
  static MidiFile chart;
  static bool loaded = false;
  if (!loaded) {
    chart.LoadFromBytes(false, DenseChart(steps));
    loaded = true;
  }
  auto device = platform::gfx::CreateNullRenderDevice(1920, 1080);
  graphics::GameAssets assets(device.get());
  const std::filesystem::path theme = WriteQuadTheme();
  assets.LoadModels(u"themes/default/");
  int models = 0;
  for (const graphics::MeshInstance& m : assets.meshes) models += m.Hierarchy() ? 1 : 0;
  if (models < 70) state.SkipWithError("the quad models did not load");
  auto cameras = graphics::CreateCameras();
  const double songEnd = 1920 * 0.78125 + steps * 120 * 0.78125 + 2000.0;
  auto band = std::make_unique<Band>(chart, &assets, device.get());
  double t = 0;
  int64_t frames = 0;
  double updateSeconds = 0, boardSeconds = 0;
  for (auto _ : state) {
    const auto a = Clock::now();
    for (auto& p : band->players) p->Update(true, false, t, 1.0f);
    const auto b = Clock::now();
    graphics::GameplayView view;
    view.device = device.get();
    view.assets = &assets;
    view.boardCamera = cameras->Get(graphics::CameraId::kBoard);
    view.freeLook = cameras->Get(graphics::CameraId::kFreeLook);
    view.boards = band->views.data();
    view.boardCount = Band::kPlayers;
    view.songPosition = t;
    graphics::RenderGameplay(view, 0);
    const auto c = Clock::now();
    updateSeconds += std::chrono::duration<double>(b - a).count();
    boardSeconds += std::chrono::duration<double>(c - b).count();
    t += 1000.0 / 60.0;
    ++frames;
    if (t > songEnd) {
      state.PauseTiming();
      band = std::make_unique<Band>(chart, &assets, device.get());
      t = 0;
      state.ResumeTiming();
    }
  }
  const double n = static_cast<double>(std::max<int64_t>(frames, 1));
  state.counters["board_ms_per_frame"] = boardSeconds / n * 1000.0;
  state.counters["update_ms_per_frame"] = updateSeconds / n * 1000.0;
  state.counters["board_to_update"] = updateSeconds > 0 ? boardSeconds / updateSeconds : 0.0;
  state.counters["board_goal_ms"] = 2.0;
  std::error_code ec;
  std::filesystem::current_path(theme.parent_path(), ec);
  std::filesystem::remove_all(theme, ec);
}
BENCHMARK(BM_Boards15Players)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
