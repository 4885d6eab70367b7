// Relay latency, server CPU and memory of the game server under the load of the
// load test (12 honest clients at 60 messages a second, 3 hostile, 5 refused),
// beside a bare relay that forwards the same honest traffic over the same sockets
// with no handshake or rules, in the same run; printed as ratios to the bare relay.
// Seconds per run: VELORIN_NET_BENCH_SECONDS (default 60).
#include <benchmark/benchmark.h>

#include <cstdio>
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

double CpuPercent(const nettest::RelayLoadResult& r) {
  return r.wallSeconds > 0 ? 100.0 * r.serverCpuSeconds / r.wallSeconds : 0.0;
}

double Ratio(double value, double reference) { return reference > 0 ? value / reference : 0.0; }

// Both relays over the same traffic in one run: the bare relay first, as the
// reference, then the game server; every figure beside its reference and the ratio.
// Memory is the resident set after each run (the game server's run comes second, so
// it carries what the bare relay left behind: a ratio near 1 means it kept nothing
// more) and how much each run grew it.
void BM_GameServerRelayAgainstBareRelay(benchmark::State& state) {
  for (auto _ : state) {
    const nettest::RelayLoadResult bare = nettest::RunBareRelay(Seconds());
    const nettest::RelayLoadResult game = nettest::RunRelayLoad(Seconds());
    if (!bare.setupOk || !game.setupOk) {
      state.SkipWithError((bare.failure + game.failure).c_str());
      return;
    }
    const double p99 = nettest::Percentile(game.latencyMs, 99);
    const double p99Ref = nettest::Percentile(bare.latencyMs, 99);
    const double cpu = CpuPercent(game);
    const double cpuRef = CpuPercent(bare);
    const double rss = static_cast<double>(game.rssKbAfter);
    const double rssRef = static_cast<double>(bare.rssKbAfter);
    state.counters["p99_ms"] = p99;
    state.counters["p99_bare_ms"] = p99Ref;
    state.counters["p99_ratio"] = Ratio(p99, p99Ref);
    state.counters["cpu_pct_core"] = cpu;
    state.counters["cpu_bare_pct_core"] = cpuRef;
    state.counters["cpu_ratio"] = Ratio(cpu, cpuRef);
    state.counters["rss_kb"] = rss;
    state.counters["rss_bare_kb"] = rssRef;
    state.counters["rss_ratio"] = Ratio(rss, rssRef);
    state.counters["lost"] = static_cast<double>(game.expected - game.received);
    state.counters["reordered"] = static_cast<double>(game.outOfOrder);
    std::printf(
        "relay over %.0f s, 12 honest clients at 60 msg/s:\n"
        "  p99 latency  %.2f ms, bare relay %.2f ms, ratio %.2f (p50 %.2f against %.2f ms)\n"
        "  server CPU   %.1f %% of a core, bare relay %.1f %%, ratio %.2f\n"
        "  resident     %.0f kB, bare relay %.0f kB, ratio %.3f (grew %ld kB, bare relay %ld kB)\n"
        "  honest messages lost %lld, reordered %lld\n",
        Seconds(), p99, p99Ref, Ratio(p99, p99Ref), nettest::Percentile(game.latencyMs, 50),
        nettest::Percentile(bare.latencyMs, 50), cpu, cpuRef, Ratio(cpu, cpuRef), rss, rssRef, Ratio(rss, rssRef),
        game.rssKbAfter - game.rssKbBefore, bare.rssKbAfter - bare.rssKbBefore,
        static_cast<long long>(game.expected - game.received), static_cast<long long>(game.outOfOrder));
    std::fflush(stdout);
  }
}

}  // namespace

BENCHMARK(BM_GameServerRelayAgainstBareRelay)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv) {
  const std::string folder = "/tmp/velorin_net_bench";
  platform::MakeDirectories(folder);
  SetLogFolder(platform::PathFromNative(folder));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
