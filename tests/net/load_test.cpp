// The server under load on loopback: twelve honest clients relaying presses at 60 a
// second each, three hostile ones beside them and five refused at the limit. No
// honest message may be lost, repeated or reordered.
#include <gtest/gtest.h>

#include "tests/net/relay_load.h"
#include "tests/support/test_support.h"

namespace {

TEST(RelayLoad, HonestMessagesAllArriveInOrderBesideHostileClients) {
  testsupport::TempDir dir;
  const nettest::RelayLoadResult r = nettest::RunRelayLoad(5.0);
  ASSERT_TRUE(r.setupOk) << r.failure;
  EXPECT_EQ(r.refused, 5);
  EXPECT_GT(r.expected, 0);
  EXPECT_EQ(r.received, r.expected);
  EXPECT_EQ(r.outOfOrder, 0);
  EXPECT_EQ(r.duplicates, 0);
}

}  // namespace
