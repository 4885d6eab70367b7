// Pinging listed servers: the echo packet, which replies count, a real echo on the
// loopback with whichever socket kind this machine allows, and the worker's passes.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "net/online/server_pinger.h"
#include "platform/online/icmp.h"

namespace {

using platform::online::BuildEchoRequest;
using platform::online::InternetChecksum;
using platform::online::IsEchoReplyFor;

TEST(EchoPacket, LayoutAndChecksum) {
  const auto p = BuildEchoRequest(0x1234, 7, 0xAABBCCDD, 32);
  ASSERT_EQ(p.size(), 44u);
  EXPECT_EQ(p[0], 8);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[4], 0x34);  // identifier, little-endian as written
  EXPECT_EQ(p[5], 0x12);
  EXPECT_EQ(p[6], 7);
  EXPECT_EQ(p[8], 0xDD);
  EXPECT_EQ(p[11], 0xAA);
  for (size_t i = 12; i < p.size(); ++i) ASSERT_EQ(p[i], 0x45);
  // A packet with its checksum in place sums to zero.
  EXPECT_EQ(InternetChecksum(p.data(), p.size()), 0);
  const uint8_t odd[] = {0x01, 0x02, 0x03};
  EXPECT_EQ(InternetChecksum(odd, 3), static_cast<uint16_t>(~(0x0201 + 0x03)));
}

std::vector<uint8_t> Reply(uint8_t type, uint16_t id, uint16_t seq, bool ipHeader) {
  std::vector<uint8_t> r;
  if (ipHeader) {
    r.assign(20, 0);
    r[0] = 0x45;  // version 4, header of 5 words
  }
  const uint8_t icmp[8] = {type, 0, 0, 0, static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8),
                           static_cast<uint8_t>(seq), static_cast<uint8_t>(seq >> 8)};
  r.insert(r.end(), icmp, icmp + 8);
  return r;
}

TEST(EchoReply, OnlyOurOwnEchoReplyCounts) {
  struct Case {
    std::vector<uint8_t> bytes;
    bool withIp;
    int id;
    bool counts;
  };
  const Case cases[] = {
      {Reply(0, 77, 5, true), true, 77, true},
      {Reply(0, 77, 5, false), false, 77, true},
      {Reply(0, 78, 5, true), true, 77, false},  // another process's ping
      {Reply(0, 77, 4, true), true, 77, false},  // a late reply to an earlier echo
      {Reply(8, 77, 5, true), true, 77, false},  // a request, not a reply
      {Reply(3, 77, 5, true), true, 77, false},  // unreachable
      {Reply(0, 99, 5, false), false, -1, true}, // the kernel chose the identifier
      {std::vector<uint8_t>(20, 0x45), true, 77, false},  // too short for the header it claims
      {{}, true, 77, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsEchoReplyFor(c.bytes.data(), c.bytes.size(), c.withIp, c.id, 5), c.counts);
}

// Which kind of ICMP socket this machine lets the test open, if any.
bool CanOpenIcmpSocket() {
  for (int type : {SOCK_DGRAM, SOCK_RAW}) {
    const int fd = socket(AF_INET, type, IPPROTO_ICMP);
    if (fd >= 0) {
      close(fd);
      return true;
    }
  }
  return false;
}

TEST(IcmpEcho, TheLoopbackAnswersWhereAnEchoMayBeSentAndSaysWhyWhereNot) {
  platform::online::EchoResult result;
  int error = 0;
  const bool ok = platform::online::IcmpEcho("127.0.0.1", 5000, 32, &result, &error);
  if (CanOpenIcmpSocket()) {
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(result.address, "127.0.0.1");
    EXPECT_GE(result.roundTripMs, 0);
  } else {
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, platform::online::kEchoErrorSocket);
  }
}

TEST(IcmpEcho, BadSizesAndUnknownHostsFailAtOnce) {
  platform::online::EchoResult result;
  int error = 0;
  EXPECT_FALSE(platform::online::IcmpEcho("127.0.0.1", 5000, 7, &result, &error));
  EXPECT_EQ(error, platform::online::kEchoErrorNoBuffers);
  EXPECT_FALSE(platform::online::IcmpEcho("127.0.0.1", 5000, 1025, &result, &error));
  EXPECT_EQ(error, platform::online::kEchoErrorNoBuffers);
  EXPECT_FALSE(platform::online::IcmpEcho("unreachable.invalid", 5000, 32, &result, &error));
  EXPECT_EQ(error, platform::online::kEchoErrorResolve);
}

std::unique_ptr<net::online::ServerInfo> Chain(const std::vector<std::string>& ips) {
  std::unique_ptr<net::online::ServerInfo> head;
  auto* tail = &head;
  for (const auto& ip : ips) {
    *tail = std::make_unique<net::online::ServerInfo>();
    (*tail)->ip = ip;
    tail = &(*tail)->next;
  }
  return head;
}

void WaitIdle(const net::online::ServerPinger& p) {
  for (int i = 0; i < 30000 && p.running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(ServerPinger, PingsEveryServerInOrderAndMarksFailures) {
  std::vector<std::string> asked;
  net::online::ServerPinger pinger([&](const std::string& host, const std::atomic<bool>&) {
    asked.push_back(host);
    return host == "127.0.0.2" ? -1 : static_cast<int32_t>(asked.size() * 10);
  });
  auto chain = Chain({"127.0.0.1", "127.0.0.2", "127.0.0.3"});
  pinger.Start(chain.get());
  WaitIdle(pinger);
  ASSERT_FALSE(pinger.running());
  EXPECT_EQ(asked, (std::vector<std::string>{"127.0.0.1", "127.0.0.2", "127.0.0.3"}));
  ASSERT_EQ(pinger.count(), 3u);
  EXPECT_EQ(pinger.target(0).pingMs.load(), 10);
  EXPECT_EQ(pinger.target(1).pingMs.load(), -1);
  EXPECT_TRUE(pinger.target(1).done.load());
  EXPECT_EQ(pinger.target(2).pingMs.load(), 30);
  // No servers: the pass ends at once.
  pinger.Start(nullptr);
  WaitIdle(pinger);
  EXPECT_FALSE(pinger.running());
  EXPECT_EQ(pinger.count(), 0u);
}

TEST(ServerPinger, ANewStartOrTheEndStopsASlowPassWithoutWaitingForIt) {
  std::atomic<int> started{0};
  // An echo that only ends when told to, like a server that never answers.
  net::online::ServerPinger pinger([&](const std::string&, const std::atomic<bool>& abort) {
    ++started;
    while (!abort.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return -1;
  });
  auto chain = Chain({"127.0.0.1", "127.0.0.2"});
  pinger.Start(chain.get());
  while (started.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  pinger.Start(chain.get());  // stops the first pass, joins it, begins again
  while (started.load() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(pinger.running());
  EXPECT_FALSE(pinger.target(1).done.load());
  pinger.Stop();
  EXPECT_FALSE(pinger.running());
  EXPECT_EQ(started.load(), 2);  // the second target of the stopped pass was never tried
}

}  // namespace
