// Any bytes from a client into the game server's receive path over a loopback
// connection: the tick must return, the server must stay consistent, and a dropped
// connection is simply made again for the next input.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/log.h"
#include "net/server/game_server.h"
#include "platform/paths.h"

namespace {

int ConnectTo(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void Check(const net::GameServer& s) {
  int32_t owned = 0;
  for (int32_t p = 0; p < net::kPlayerNumbers; ++p) {
    const net::PlayerEntry& e = s.Player(p);
    if (!e.inUse) continue;
    ++owned;
    if (e.owner < 0 || e.owner >= net::kServerSlots || !s.Slot(e.owner).connected) std::abort();
  }
  if (owned != s.PlayerCount()) std::abort();
  const int32_t leader = s.Leader();
  if (leader != -1 && !s.Slot(leader).connected) std::abort();
  for (int32_t i = 0; i < net::kServerSlots; ++i) {
    if (s.Slot(i).inGame && !s.Locked()) std::abort();
    if (s.Slot(i).outbox.size() > net::kSendQueueLimit) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static net::GameServer* server = [] {
    // In the temporary folder the run names (TMPDIR), which the fuzz run removes after.
    const std::string f =
        (std::filesystem::temp_directory_path() / ("velorin_netsrvfuzz_" + std::to_string(::getpid()))).string();
    platform::MakeDirectories(f);
    SetLogFolder(platform::PathFromNative(f));
    std::freopen("/dev/null", "w", stdout);
    auto* s = new net::GameServer;
    s->SetPlayerLimit(15);
    for (uint16_t port = 41000; port < 41100; ++port)
      if (s->StartServer(port, "")) break;
    return s;
  }();
  static int peer = -1;
  // A second, honest and authenticated client that the fuzzed one can disturb.
  static int honest = -1;
  if (honest < 0) {
    honest = ConnectTo(server->Port());
    const uint8_t join[] = {1, 16, 0, 0, 0, 0, 1, 11, 0x5C, 0x8F, 0xA2, 0x3F, 1, 13, 0, 0, 0, 0};
    send(honest, join, sizeof join, MSG_NOSIGNAL);
  }
  if (peer < 0) peer = ConnectTo(server->Port());
  if (peer < 0) return 0;
  send(peer, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  for (int i = 0; i < 6; ++i) {
    server->Tick();
    Check(*server);
    char sink[8192];
    while (recv(peer, sink, sizeof sink, MSG_DONTWAIT) > 0) {
    }
    while (recv(honest, sink, sizeof sink, MSG_DONTWAIT) > 0) {
    }
  }
  // A connection the server closed is made again.
  char probe;
  const ssize_t n = recv(peer, &probe, 1, MSG_DONTWAIT | MSG_PEEK);
  if (n == 0) {
    close(peer);
    peer = -1;
  }
  if (recv(honest, &probe, 1, MSG_DONTWAIT | MSG_PEEK) == 0) {
    close(honest);
    honest = -1;
  }
  return 0;
}
