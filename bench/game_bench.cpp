// One gameplay frame of a full band: 15 players on a dense expert chart (sixteenth
// notes at 160 beats per minute with chords, sustains, energy phrases and solos),
// every player spawning, judging, scrolling and scoring. Half of the players are
// played by the assist (hits, sustains, energy), the others miss everything, so both
// paths of the judging run. The figure to watch is CPU time per frame (target below
// 100 microseconds).
#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "dense_chart.h"
#include "game/player.h"
#include "platform/clock.h"
#include "song/midi_file.h"

namespace {

using bench::DenseChart;

struct Band {
  static constexpr int kPlayers = 15;

  explicit Band(MidiFile& chart) {
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
    context.practice = true;  // no neck images
    context.playerCount = kPlayers;
    for (int i = 0; i < kPlayers; ++i) {
      auto p = std::make_unique<Player>();
      p->context = &context;
      p->kind = kSeats[static_cast<size_t>(i)].kind;
      p->laneCount = kSeats[static_cast<size_t>(i)].lanes;
      p->difficulty = 3;
      if (i % 2 == 0) {
        p->options.fiveFretAssist = p->options.keysAssist = p->options.drumAssist = 1;
      }
      int track = -1;
      for (int t = 0; t < kMidiTrackSlots; ++t) {
        if (chart.tracks[static_cast<size_t>(t)].name == kSeats[static_cast<size_t>(i)].track) track = t;
      }
      p->SetupBoard(&chart, track);
      players.push_back(std::move(p));
    }
  }
  void Frame(double t) {
    for (auto& p : players) p->Update(true, false, t, 1.0f);
  }
  GameContext context;
  std::vector<std::unique_ptr<Player>> players;
};

void BM_GameplayFrame15Players(benchmark::State& state) {
  const uint32_t steps = 800;  // 800 sixteenths at 160 bpm: 75 s of dense notes
  static MidiFile chart;
  static bool loaded = false;
  if (!loaded) {
    chart.LoadFromBytes(false, DenseChart(steps));
    loaded = true;
  }
  const double songEnd = 1920 * 0.78125 + steps * 120 * 0.78125 + 2000.0;
  auto band = std::make_unique<Band>(chart);
  double t = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    band->Frame(t);
    t += 1000.0 / 60.0;
    ++frames;
    if (t > songEnd) {
      state.PauseTiming();
      band = std::make_unique<Band>(chart);
      t = 0;
      state.ResumeTiming();
    }
  }
  int64_t hits = 0;
  for (auto& p : band->players) hits += p->score().hits;
  state.counters["frames"] = static_cast<double>(frames);
  state.counters["hits_last_song"] = static_cast<double>(hits);
}
BENCHMARK(BM_GameplayFrame15Players)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
