#include "net/online/server_pinger.h"

#include "platform/online/icmp.h"

namespace net::online {

namespace {
constexpr int kEchoTimeOutMs = 5000;
constexpr int kEchoDataBytes = 32;
}  // namespace

ServerPinger::ServerPinger()
    : echo_([](const std::string& host, const std::atomic<bool>& abort) {
        platform::online::EchoResult result;
        int error = 0;
        return platform::online::IcmpEcho(host, kEchoTimeOutMs, kEchoDataBytes, &result, &error, &abort)
                   ? result.roundTripMs
                   : -1;
      }) {}

ServerPinger::~ServerPinger() { Stop(); }

void ServerPinger::Stop() {
  abort_.store(true);
  if (thread_.joinable()) thread_.join();
  running_.store(false);
}

bool ServerPinger::Start(const ServerInfo* first) {
  Stop();
  targets_.clear();
  for (const ServerInfo* s = first; s; s = s->next.get()) {
    targets_.push_back(std::make_unique<PingTarget>());
    targets_.back()->host = s->ip;
  }
  abort_.store(false);
  running_.store(true);
  thread_ = std::thread(&ServerPinger::Work, this);
  return true;
}

void ServerPinger::Work() {
  for (auto& t : targets_) {
    if (abort_.load()) break;
    t->pingMs.store(echo_(t->host, abort_));
    t->done.store(true);
  }
  running_.store(false);
}

}  // namespace net::online
