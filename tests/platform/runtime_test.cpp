#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/random.h"
#include "platform/threads.h"

using namespace platform;

TEST(Random, MatchesTheMsvcSequence) {
  SRand(1);
  // The first values of the MSVC generator after srand(1).
  EXPECT_EQ(Rand(), 41);
  EXPECT_EQ(Rand(), 18467);
  EXPECT_EQ(Rand(), 6334);
  SRand(12345);
  for (int i = 0; i < 100000; ++i) {
    int r = Rand();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, kRandMax);
  }
}

TEST(Random, EachThreadHasItsOwnState) {
  SRand(7);
  int mine = Rand();
  int other = -1;
  std::thread([&] { other = Rand(); }).join();  // a new thread starts at seed 1
  EXPECT_EQ(other, 41);
  SRand(7);
  EXPECT_EQ(Rand(), mine);
}

TEST(Clock, FakeClockDrivesEveryReading) {
  {
    ScopedFakeClock fake;
    fake.clock.ms = 0xFFFFFF00u;
    fake.clock.local.year = 2026;
    fake.clock.local.month = 12;
    fake.clock.local.day = 8;
    EXPECT_EQ(TimeGetTime(), 0xFFFFFF00u);
    fake.clock.AdvanceMs(0x200);
    EXPECT_EQ(TimeGetTime(), 0x100u);  // wrapped
    EXPECT_EQ(LocalNow().day, 8);
  }
  // The real clock counts from process start.
  EXPECT_LT(TimeGetTime(), 24u * 3600u * 1000u);
  int64_t a = PerformanceCounter();
  SleepMs(2);
  EXPECT_GE(PerformanceCounter() - a, 1000000);
}

TEST(NamedMutex, OpenByNameAndRecursive) {
  ClearNamedMutexes();
  EXPECT_EQ(OpenNamedMutex("Song Load Mutex"), nullptr);
  MutexHandle created = CreateNamedMutex("Song Load Mutex");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(OpenNamedMutex("Song Load Mutex"), created);
  EXPECT_EQ(CreateNamedMutex("Song Load Mutex"), created);

  // The owner may take it again; another thread waits until both releases.
  created->Wait();
  created->Wait();
  bool other = false;
  std::thread t([&] {
    NamedLock lock(OpenNamedMutex("Song Load Mutex"));
    other = true;
  });
  SleepMs(20);
  created->Release();
  SleepMs(20);
  EXPECT_FALSE(other);
  created->Release();
  t.join();
  EXPECT_TRUE(other);
  ClearNamedMutexes();
}

TEST(NamedMutex, GuardsSharedCountsAcrossThreads) {
  ClearNamedMutexes();
  CreateNamedMutex("Ctrl Mutex");
  int counter = 0;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&] {
      for (int k = 0; k < 1000; ++k) {
        NamedLock lock(OpenNamedMutex("Ctrl Mutex"));
        ++counter;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 4000);
  ClearNamedMutexes();
}
