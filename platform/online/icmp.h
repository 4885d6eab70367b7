// One ICMP echo ("ping") to a host, for showing how far away a listed game server is.
// The kernel's unprivileged ping socket is used where the system allows it
// (net.ipv4.ping_group_range); else a raw ICMP socket where the program may open one;
// else the echo fails and says why. Replies are matched by source address,
// identifier and sequence number, so other traffic and a late reply to an earlier
// echo are never taken for this one.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::online {

constexpr int kEchoErrorNoBuffers = 10055;  // data size out of range
constexpr int kEchoErrorTimedOut = 10060;
constexpr int kEchoErrorBadReply = 59;
constexpr int kEchoErrorResolve = 11001;
constexpr int kEchoErrorSocket = 10013;  // no socket kind may be opened

struct EchoResult {
  std::string address;  // the replying IPv4 address, dotted
  int roundTripMs = -1;
};

// The echo request: type 8, code 0, checksum, identifier and sequence (little-endian,
// as the classic layout writes them), a 32-bit tick count, then dataSize bytes 0x45.
std::vector<uint8_t> BuildEchoRequest(uint16_t identifier, uint16_t sequence, uint32_t tick, int dataSize);
// The Internet checksum (RFC 1071) of the bytes.
uint16_t InternetChecksum(const uint8_t* data, size_t size);
// True when the bytes are an echo reply with this identifier and sequence. A raw
// socket's bytes start with the IP header; a ping socket's do not, and its kernel
// chose the identifier (pass the one it reports, or -1 to accept any).
bool IsEchoReplyFor(const uint8_t* data, size_t size, bool withIpHeader, int identifier, uint16_t sequence);

// One echo; false and an error code on failure. `cancel`, when given, ends the wait
// within a few milliseconds of being set.
bool IcmpEcho(const std::string& host, int timeoutMs, int dataSize, EchoResult* result, int* error,
              const std::atomic<bool>* cancel = nullptr);

}  // namespace platform::online
