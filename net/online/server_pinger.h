// Measures the round trip to every server of a downloaded list with one ICMP echo
// each, on a worker thread, so the list can show and sort by ping while the player
// looks at it. A new start or the pinger's end stops a running pass promptly (the
// echo under way is cancelled) and joins its thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/online/server_list.h"

namespace net::online {

struct PingTarget {
  std::string host;
  std::atomic<int32_t> pingMs{-1};  // -1 until measured, and after a failure
  std::atomic<bool> done{false};    // tried; the screen clears it when it took the result
};

class ServerPinger {
 public:
  // One echo: the round trip in ms, or -1. The default sends a real ICMP echo with a
  // 5000 ms time-out and 32 data bytes.
  using Echo = std::function<int32_t(const std::string& host, const std::atomic<bool>& abort)>;

  ServerPinger();
  explicit ServerPinger(Echo echo) : echo_(std::move(echo)) {}
  ~ServerPinger();
  ServerPinger(const ServerPinger&) = delete;
  ServerPinger& operator=(const ServerPinger&) = delete;

  // Stops a running pass, makes one target per server of the chain, in order, and
  // starts the worker.
  bool Start(const ServerInfo* first);
  void Stop();

  bool running() const { return running_.load(); }
  size_t count() const { return targets_.size(); }
  // Valid until the next Start.
  PingTarget& target(size_t i) { return *targets_[i]; }

 private:
  void Work();

  Echo echo_;
  std::vector<std::unique_ptr<PingTarget>> targets_;
  std::atomic<bool> running_{false};
  std::atomic<bool> abort_{false};
  std::thread thread_;
};

}  // namespace net::online
