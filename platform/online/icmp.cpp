#include "platform/online/icmp.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "platform/clock.h"

namespace platform::online {

namespace {

using Clock = std::chrono::steady_clock;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

bool Resolve(const std::string& host, in_addr* out) {
  if (inet_pton(AF_INET, host.c_str(), out) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  *out = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

// Each echo gets its own sequence number, so a reply that comes after its echo timed
// out is not credited to the next one.
std::atomic<uint16_t> g_sequence{1};

struct Socket {
  int fd = -1;
  bool raw = false;
  ~Socket() {
    if (fd >= 0) close(fd);
  }
};

// The unprivileged ping socket first (it needs no rights beyond the system's ping
// group range), a raw socket where that is refused.
bool OpenSocket(Socket* s) {
  s->fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (s->fd >= 0) return true;
  s->fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  s->raw = s->fd >= 0;
  return s->raw;
}

}  // namespace

uint16_t InternetChecksum(const uint8_t* data, size_t size) {
  uint32_t sum = 0;
  size_t i = 0;
  for (; i + 1 < size; i += 2) sum += Le16(data + i);
  if (i < size) sum += data[i];
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  return static_cast<uint16_t>(~sum);
}

std::vector<uint8_t> BuildEchoRequest(uint16_t identifier, uint16_t sequence, uint32_t tick, int dataSize) {
  std::vector<uint8_t> packet(12 + static_cast<size_t>(dataSize), 0x45);
  packet[0] = 8;
  packet[1] = 0;
  PutLe16(&packet[2], 0);
  PutLe16(&packet[4], identifier);
  PutLe16(&packet[6], sequence);
  for (int b = 0; b < 4; ++b) packet[8 + static_cast<size_t>(b)] = static_cast<uint8_t>(tick >> (8 * b));
  PutLe16(&packet[2], InternetChecksum(packet.data(), packet.size()));
  return packet;
}

bool IsEchoReplyFor(const uint8_t* data, size_t size, bool withIpHeader, int identifier, uint16_t sequence) {
  size_t at = 0;
  if (withIpHeader) {
    if (size < 1) return false;
    at = static_cast<size_t>(data[0] & 0x0F) * 4;
  }
  if (size < at + 8 || data[at] != 0) return false;
  if (identifier >= 0 && Le16(data + at + 4) != static_cast<uint16_t>(identifier)) return false;
  return Le16(data + at + 6) == sequence;
}

bool IcmpEcho(const std::string& host, int timeoutMs, int dataSize, EchoResult* result, int* error,
              const std::atomic<bool>* cancel) {
  if (dataSize < 8 || dataSize > 1024) {
    *error = kEchoErrorNoBuffers;
    return false;
  }
  in_addr target{};
  if (!Resolve(host, &target)) {
    *error = kEchoErrorResolve;
    return false;
  }
  Socket s;
  if (!OpenSocket(&s)) {
    *error = kEchoErrorSocket;
    return false;
  }
  const uint16_t identifier = static_cast<uint16_t>(getpid() & 0xFFFF);
  const uint16_t sequence = g_sequence.fetch_add(1);
  const std::vector<uint8_t> packet = BuildEchoRequest(identifier, sequence, platform::TimeGetTime(), dataSize);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr = target;
  const auto start = Clock::now();
  if (sendto(s.fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
    *error = kEchoErrorSocket;
    return false;
  }
  // A ping socket's kernel puts its own identifier into the echo: accept that one.
  int expectId = identifier;
  if (!s.raw) {
    sockaddr_in local{};
    socklen_t len = sizeof local;
    expectId = getsockname(s.fd, reinterpret_cast<sockaddr*>(&local), &len) == 0 ? ntohs(local.sin_port) : -1;
  }
  const auto deadline = start + std::chrono::milliseconds(timeoutMs);
  uint8_t buf[1024];
  for (;;) {
    if (cancel && cancel->load()) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{s.fd, POLLIN, 0};
    // Short slices, so a cancel is seen quickly.
    if (poll(&p, 1, static_cast<int>(left < 50 ? left : 50)) <= 0) continue;
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    const ssize_t n = recvfrom(s.fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n <= 0 || from.sin_addr.s_addr != target.s_addr) continue;  // someone else's traffic
    if (!IsEchoReplyFor(buf, static_cast<size_t>(n), s.raw, expectId, sequence)) continue;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    result->address = text;
    result->roundTripMs =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    return true;
  }
  *error = kEchoErrorTimedOut;
  return false;
}

}  // namespace platform::online
