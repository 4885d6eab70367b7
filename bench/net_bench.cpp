// Relay latency, server CPU and memory of the game server under the load of the
// load test (12 honest clients at 60 messages a second, 3 hostile, 5 refused),
// beside a bare relay that forwards the same honest traffic over the same sockets
// with no handshake or rules. Seconds per run: VELORIN_NET_BENCH_SECONDS (default 60).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "core/log.h"
#include "platform/paths.h"
#include "tests/net/relay_load.h"

namespace {

double Seconds() {
  const char* s = std::getenv("VELORIN_NET_BENCH_SECONDS");
  const double v = s ? std::atof(s) : 60.0;
  return v > 0 ? v : 60.0;
}

void Report(benchmark::State& state, const nettest::RelayLoadResult& r) {
  if (!r.setupOk) {
    state.SkipWithError(r.failure.c_str());
    return;
  }
  state.counters["p50_ms"] = nettest::Percentile(r.latencyMs, 50);
  state.counters["p99_ms"] = nettest::Percentile(r.latencyMs, 99);
  state.counters["cpu_pct_core"] = 100.0 * r.serverCpuSeconds / r.wallSeconds;
  state.counters["rss_growth_kb"] = static_cast<double>(r.rssKbAfter - r.rssKbBefore);
  state.counters["lost"] = static_cast<double>(r.expected - r.received);
  state.counters["reordered"] = static_cast<double>(r.outOfOrder);
}

void BM_GameServerRelay(benchmark::State& state) {
  for (auto _ : state) Report(state, nettest::RunRelayLoad(Seconds()));
}

void BM_BareRelayReference(benchmark::State& state) {
  for (auto _ : state) Report(state, nettest::RunBareRelay(Seconds()));
}

}  // namespace

BENCHMARK(BM_BareRelayReference)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_GameServerRelay)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv) {
  const std::string folder = "/tmp/velorin_net_bench";
  platform::MakeDirectories(folder);
  SetLogFolder(platform::PathFromNative(folder));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
