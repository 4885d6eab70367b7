// Work spread over threads: every piece runs once, and the log reads as if one
// thread had done the pieces in order.
#include "core/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"
#include "tests/support/test_support.h"

TEST(ParallelForInOrder, EveryPieceRunsOnceForAnyCountAndThreadNumber) {
  for (size_t count : {size_t{0}, size_t{1}, size_t{3}, size_t{1000}}) {
    for (unsigned threads : {0u, 1u, 4u, 64u}) {
      std::vector<std::atomic<int>> runs(count);
      ParallelForInOrder(count, [&runs](size_t i) { runs[i].fetch_add(1); }, threads);
      for (size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i].load(), 1) << count << " " << threads << " " << i;
    }
  }
}

TEST(ParallelForInOrder, UsesMoreThanOneThreadWhenThereAreCores) {
  if (ParallelThreadCount() < 2) GTEST_SKIP() << "one core";
  // Pieces that wait for each other can only finish on two threads at once.
  std::atomic<int> arrived{0};
  ParallelForInOrder(2, [&arrived](size_t) {
    arrived.fetch_add(1);
    while (arrived.load() < 2) std::this_thread::yield();
  }, 2);
  EXPECT_EQ(arrived.load(), 2);
}

TEST(ParallelForInOrder, LogLinesComeInTheOrderOfThePieces) {
  testsupport::TempDir dir;
  SetLogEcho(false);
  Log(1, u"");
  constexpr size_t kPieces = 200;
  ParallelForInOrder(kPieces, [](size_t i) {
    // Later pieces log first, wide and narrow lines mixed.
    const std::string number = std::to_string(i);
    if (i % 2 == 0)
      Log(0, u"wide " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u" " +
                 std::u16string(number.begin(), number.end()));
    LogNarrow("narrow " + number);
  });
  SetLogEcho(true);
  std::vector<std::string> expected;
  for (size_t i = 0; i < kPieces; ++i) {
    if (i % 2 == 0) expected.push_back("wide " + std::string(1, static_cast<char>('a' + i % 26)) + " " + std::to_string(i));
    expected.push_back("narrow " + std::to_string(i));
  }
  EXPECT_EQ(dir.GameLogTexts(), expected);
}

TEST(ParallelForInOrder, InsideAHeldBackLogTheLinesJoinItInOrder) {
  std::vector<DeferredLogLine> outer;
  SetThreadLogBuffer(&outer);
  LogNarrow("before");
  ParallelForInOrder(50, [](size_t i) { LogNarrow(std::to_string(i)); }, 4);
  LogNarrow("after");
  EXPECT_EQ(SetThreadLogBuffer(nullptr), &outer);
  ASSERT_EQ(outer.size(), 52u);
  EXPECT_EQ(outer.front().narrowText, "before");
  for (size_t i = 0; i < 50; ++i) EXPECT_EQ(outer[i + 1].narrowText, std::to_string(i));
  EXPECT_EQ(outer.back().narrowText, "after");
}
