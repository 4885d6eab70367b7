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
#include "game/player.h"
#include "graphics/camera.h"
#include "graphics/game_asset_lists.h"
#include "graphics/gameplay_render.h"
#include "graphics/player_board.h"
#include "platform/gfx/render_device.h"
#include "song/midi_file.h"

namespace {

std::string VarLen(uint32_t value) {
  std::string out(1, static_cast<char>(value & 0x7F));
  for (value >>= 7; value != 0; value >>= 7) out.insert(out.begin(), static_cast<char>(0x80 | (value & 0x7F)));
  return out;
}

std::string Chunk(const char* tag, const std::string& body) {
  std::string out(tag, 4);
  const uint32_t n = static_cast<uint32_t>(body.size());
  for (int i = 3; i >= 0; --i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
  return out + body;
}

struct TimedEvent {
  uint32_t tick;
  std::string bytes;
};

std::string TrackBytes(const std::string& name, std::vector<TimedEvent> events) {
  std::stable_sort(events.begin(), events.end(), [](const TimedEvent& a, const TimedEvent& b) { return a.tick < b.tick; });
  std::string out = VarLen(0) + "\xFF\x03" + VarLen(static_cast<uint32_t>(name.size())) + name;
  uint32_t last = 0;
  for (const TimedEvent& e : events) {
    out += VarLen(e.tick - last) + e.bytes;
    last = e.tick;
  }
  out += VarLen(0) + std::string("\xFF\x2F\x00", 3);
  return Chunk("MTrk", out);
}

std::string NoteOn(int note, int velocity, int channel = 1) {
  return {static_cast<char>(0x90 | (channel - 1)), static_cast<char>(note), static_cast<char>(velocity)};
}
std::string NoteOff(int note, int channel = 1) {
  return {static_cast<char>(0x80 | (channel - 1)), static_cast<char>(note), 0};
}

// A dense expert part: a note every sixteenth (120 ticks) for `steps` steps.
std::string DensePart(const std::string& name, int base, int width, bool pro, uint32_t steps) {
  std::vector<TimedEvent> ev;
  uint32_t seed = 12345;
  for (uint32_t s = 0; s < steps; ++s) {
    const uint32_t tick = 1920 + s * 120;
    seed = seed * 1103515245u + 12345u;
    const int lane = static_cast<int>((seed >> 16) % static_cast<uint32_t>(width));
    const bool chord = (seed >> 8) % 5 == 0;
    const uint32_t length = (seed >> 4) % 7 == 0 ? 480 : 60;
    const int velocity = pro ? 100 + static_cast<int>((seed >> 12) % 12) : 100;
    ev.push_back({tick, NoteOn(base + lane, velocity)});
    ev.push_back({tick + length, NoteOff(base + lane)});
    if (chord) {
      const int other = base + (lane + 2) % width;
      ev.push_back({tick, NoteOn(other, velocity)});
      ev.push_back({tick + length, NoteOff(other)});
    }
    if (s % 64 == 0) {
      ev.push_back({tick, NoteOn(116, 100)});
      ev.push_back({tick + 16 * 120, NoteOff(116)});
    }
    if (s % 512 == 256) {
      ev.push_back({tick, NoteOn(pro ? 115 : 103, 100)});
      ev.push_back({tick + 64 * 120, NoteOff(pro ? 115 : 103)});
    }
  }
  return TrackBytes(name, ev);
}

std::string DenseChart(uint32_t steps) {
  std::string tempo = TrackBytes("tempo", {{0, std::string("\xFF\x51\x03\x05\xB8\xD8", 6)},  // 375000 us
                                           {0, std::string("\xFF\x58\x04\x04\x02\x18\x08", 7)}});
  std::string header = Chunk("MThd", std::string("\x00\x01\x00\x07\x01\xE0", 6));  // 7 tracks, 480
  return header + tempo + DensePart("PART GUITAR", 96, 5, false, steps) + DensePart("PART BASS", 96, 5, false, steps) +
         DensePart("PART RHYTHM", 96, 5, false, steps) + DensePart("PART KEYS", 96, 5, false, steps) +
         DensePart("PART DRUMS", 96, 5, false, steps) + DensePart("PART REAL_GUITAR", 96, 6, true, steps);
}

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
