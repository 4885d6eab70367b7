// A load run of the game server on loopback: a game of twelve honest clients that
// each relay press messages at 60 a second, three hostile ones among them (garbage,
// messages cut in half, floods), and five more refused at the player limit of 15.
// Shared by the load test (short) and the benchmark (long), which also runs a bare
// relay over the same sockets as its reference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nettest {

struct RelayLoadResult {
  bool setupOk = false;
  std::string failure;          // what went wrong first, empty when nothing
  int32_t honestClients = 0;
  int32_t refused = 0;          // late connections answered "full"
  int64_t expected = 0;         // honest messages each receiver should see, summed
  int64_t received = 0;         // of those, received
  int64_t outOfOrder = 0;       // received with a sequence other than the next
  int64_t duplicates = 0;
  std::vector<double> latencyMs;  // per received honest message
  double serverCpuSeconds = 0;  // the server thread's own CPU time
  double wallSeconds = 0;
  long rssKbBefore = 0, rssKbAfter = 0;
};

// The game server with the clients above for `seconds` of sending.
RelayLoadResult RunRelayLoad(double seconds);
// The same honest traffic through a bare relay that forwards whole messages to every
// other connection, without handshake or rules.
RelayLoadResult RunBareRelay(double seconds);

double Percentile(std::vector<double> values, double p);

}  // namespace nettest
