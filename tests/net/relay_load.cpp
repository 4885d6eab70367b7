#include "tests/net/relay_load.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>

#include "net/protocol/net_message.h"
#include "net/server/game_server.h"
#include "platform/net/socket.h"
#include "tests/net/net_test_support.h"

namespace nettest {
namespace {

constexpr int kHonest = 12;
constexpr int kHostile = 3;
constexpr int kRefused = 5;
constexpr double kSendIntervalMs = 1000.0 / 60.0;

using Clock = std::chrono::steady_clock;

uint32_t NowUs() {
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count());
}

long RssKb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::string PressBytes(int32_t sender, int32_t seq, uint32_t stampUs) {
  return Bytes().Header(2, 11).Int(sender).Int(seq).Int(static_cast<int32_t>(stampUs)).str();
}

// One honest client's view: what it has sent and what it got from each other.
struct Honest {
  std::unique_ptr<RawPeer> peer;
  int32_t index = 0;
  int32_t sent = 0;
  std::vector<int32_t> nextSeq = std::vector<int32_t>(kHonest, 0);
  size_t consumed = 0;  // messages of `seen` already counted
  double nextSendMs = 0;
};

void Count(Honest& h, RelayLoadResult& r) {
  const uint32_t now = NowUs();
  for (; h.consumed < h.peer->seen.size(); ++h.consumed) {
    const net::NetMessage& m = h.peer->seen[h.consumed];
    if (m.type != 2 || m.code != 11 || m.a2 < 0 || m.a2 >= kHonest) continue;
    int32_t& next = h.nextSeq[static_cast<size_t>(m.a2)];
    if (m.a3 < next) {
      ++r.duplicates;
    } else {
      if (m.a3 != next) ++r.outOfOrder;
      next = m.a3 + 1;
      ++r.received;
      r.latencyMs.push_back(static_cast<double>(now - static_cast<uint32_t>(m.a4)) / 1000.0);
    }
  }
}

// The honest traffic for `seconds` (each client at 60 a second), with the hostile
// clients' step between rounds; then waits for everything sent to arrive.
void DriveHonest(std::vector<Honest>& honest, double seconds, RelayLoadResult& r,
                 const std::function<void(double elapsedMs)>& hostileStep) {
  const auto start = Clock::now();
  auto elapsedMs = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
  for (Honest& h : honest) h.nextSendMs = h.index * kSendIntervalMs / kHonest;
  while (elapsedMs() < seconds * 1000.0) {
    for (Honest& h : honest) {
      // A slow round sends what fell due meanwhile, so every client keeps its rate.
      while (elapsedMs() >= h.nextSendMs && h.nextSendMs < seconds * 1000.0) {
        h.peer->Send(PressBytes(h.index, h.sent++, NowUs()));
        h.nextSendMs += kSendIntervalMs;
      }
    }
    if (hostileStep) hostileStep(elapsedMs());
    for (Honest& h : honest) {
      h.peer->Drain(0);
      Count(h, r);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(250));
  }
  r.wallSeconds = elapsedMs() / 1000.0;
  // Everything sent must arrive: wait for the rest, generously.
  int64_t expected = 0;
  for (const Honest& h : honest) expected += h.sent;
  expected *= (kHonest - 1);
  r.expected = expected;
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (r.received < expected && Clock::now() < end) {
    for (Honest& h : honest) {
      h.peer->Drain(1);
      Count(h, r);
    }
  }
}

}  // namespace

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t i = std::min(values.size() - 1, static_cast<size_t>(p / 100.0 * static_cast<double>(values.size())));
  return values[i];
}

RelayLoadResult RunRelayLoad(double seconds) {
  RelayLoadResult r;
  r.rssKbBefore = RssKb();
  net::GameServer server;
  server.SetPlayerLimit(15);
  const uint16_t port = FreePort();
  if (!server.StartServer(port, "load")) {
    r.failure = "server did not start";
    return r;
  }
  std::atomic<bool> stop{false};
  std::atomic<double> cpu{0};
  std::thread ticker([&] {
    const double before = ThreadCpuSeconds();
    // The loop of the Net thread and the dedicated server: a tick, then a wait for
    // socket data.
    while (!stop) {
      server.Tick();
      server.WaitForWork(20);
    }
    cpu = ThreadCpuSeconds() - before;
  });

  std::vector<Honest> honest(kHonest);
  std::vector<std::unique_ptr<RawPeer>> hostile;
  auto fail = [&](const std::string& why) {
    if (r.failure.empty()) r.failure = why;
  };
  for (int i = 0; i < kHonest && r.failure.empty(); ++i) {
    honest[static_cast<size_t>(i)].index = i;
    honest[static_cast<size_t>(i)].peer = std::make_unique<RawPeer>();
    RawPeer& p = *honest[static_cast<size_t>(i)].peer;
    if (!p.Connect(port) || p.Join("H" + std::to_string(i), "load") != i) fail("honest join " + std::to_string(i));
    p.Send(ControlA3Bytes(28, 2));
  }
  for (int i = 0; i < kHostile && r.failure.empty(); ++i) {
    auto p = std::make_unique<RawPeer>();
    if (!p->Connect(port) || p->Join("X" + std::to_string(i), "load") < 0) fail("hostile join");
    hostile.push_back(std::move(p));
  }
  // Five more at the limit: each is told the server is full and closed.
  for (int i = 0; i < kRefused && r.failure.empty(); ++i) {
    RawPeer late;
    if (late.Connect(port) && late.WaitFor(1, 105, nullptr, 5000) && late.WaitClosed()) ++r.refused;
  }
  // The leader starts the game once every honest roster state is in.
  if (r.failure.empty()) {
    RawPeer& leader = *honest[0].peer;
    const auto until = Clock::now() + std::chrono::seconds(10);
    bool allLoaded = false;
    while (!allLoaded && Clock::now() < until) {
      leader.Drain(5);
      std::vector<int32_t> state(net::kServerSlots, -1);
      for (const net::NetMessage& m : OfCode(leader.seen, 2, 30))
        if (m.a3 >= 0 && m.a3 < net::kServerSlots) state[static_cast<size_t>(m.a3)] = m.a4;
      allLoaded = std::all_of(state.begin(), state.begin() + kHonest, [](int32_t s) { return s == 2; });
    }
    if (!allLoaded) fail("roster never showed every honest client loaded");
    leader.Send(ControlBytes(29));
    for (Honest& h : honest)
      if (!h.peer->WaitFor(1, 38, nullptr, 5000)) fail("honest client not in the game");
    for (Honest& h : honest) h.consumed = h.peer->seen.size();
  }
  r.setupOk = r.failure.empty();
  r.honestClients = kHonest;

  if (r.setupOk) {
    std::mt19937 random(1234);
    std::string garbage(600, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    garbage[0] = 9;  // no message type
    double nextHostileMs = 0;
    const std::string press = Bytes().Header(2, 11).Int(99).Int(0).Int(0).str();
    std::string flood;
    for (int i = 0; i < 300; ++i) flood += press;
    DriveHonest(honest, seconds, r, [&](double elapsedMs) {
      if (elapsedMs < nextHostileMs) return;
      nextHostileMs = elapsedMs + 20;
      if (hostile[0]->Open()) hostile[0]->Send(garbage);
      if (hostile[1]->Open()) hostile[1]->Send(press.substr(0, 7));  // half a message, never finished
      if (hostile[2]->Open()) hostile[2]->Send(flood);
      for (auto& h : hostile) h->Drain(0);
    });
  }
  stop = true;
  ticker.join();
  r.serverCpuSeconds = cpu;
  r.rssKbAfter = RssKb();
  server.Stop();
  return r;
}

RelayLoadResult RunBareRelay(double seconds) {
  RelayLoadResult r;
  r.rssKbBefore = RssKb();
  const uint16_t port = FreePort();
  platform::net::ListenError error;
  const int listener = platform::net::Listen(port, error);
  if (listener < 0) {
    r.failure = "relay did not start";
    return r;
  }
  std::atomic<bool> stop{false};
  std::atomic<double> cpu{0};
  std::thread relay([&] {
    const double before = ThreadCpuSeconds();
    struct Conn {
      int fd;
      std::string in;
    };
    std::vector<Conn> conns;
    std::vector<net::NetMessage> out(net::kMaxNetMessages);
    while (!stop) {
      for (int fd; (fd = platform::net::Accept(listener)) >= 0;) conns.push_back({fd, {}});
      std::vector<pollfd> fds{{listener, POLLIN, 0}};
      for (const Conn& c : conns) fds.push_back({c.fd, POLLIN, 0});
      poll(fds.data(), fds.size(), 1);
      for (size_t i = 0; i < conns.size(); ++i) {
        char buf[net::kNetBufferSize];
        const platform::net::IoResult got = platform::net::Receive(conns[i].fd, buf, sizeof buf);
        if (got.kind != platform::net::IoResult::kDone) continue;
        conns[i].in.append(buf, got.bytes);
        int32_t count = 0;
        const size_t used = net::UnpackMessages(reinterpret_cast<const uint8_t*>(conns[i].in.data()),
                                                conns[i].in.size(), out.data(), out.size(), count);
        const std::string whole = conns[i].in.substr(0, used);
        conns[i].in.erase(0, used);
        for (size_t j = 0; j < conns.size(); ++j)
          if (j != i) platform::net::Send(conns[j].fd, whole.data(), whole.size());
      }
    }
    for (const Conn& c : conns) platform::net::Close(c.fd);
    cpu = ThreadCpuSeconds() - before;
  });
  std::vector<Honest> honest(kHonest);
  for (int i = 0; i < kHonest; ++i) {
    honest[static_cast<size_t>(i)].index = i;
    honest[static_cast<size_t>(i)].peer = std::make_unique<RawPeer>();
    if (!honest[static_cast<size_t>(i)].peer->Connect(port)) r.failure = "relay connect";
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the relay take every connection
  r.setupOk = r.failure.empty();
  r.honestClients = kHonest;
  if (r.setupOk) DriveHonest(honest, seconds, r, {});
  stop = true;
  relay.join();
  platform::net::Close(listener);
  r.serverCpuSeconds = cpu;
  r.rssKbAfter = RssKb();
  return r;
}

}  // namespace nettest
