// The arena decoded pictures live in: blocks that never overlap and keep their
// alignment, chunks that go back to the system once empty, the same behaviour with
// ordinary pages, and many decode threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "platform/gfx/pixel_memory.h"

namespace {

using platform::gfx::PixelArena;

constexpr size_t kMiB = size_t(1) << 20;

// Fills a block with a pattern of its own, so a later check finds any block that
// another one's writes reached.
void Stamp(void* block, size_t bytes, uint8_t seed) {
  auto* p = static_cast<uint8_t*>(block);
  for (size_t i = 0; i < bytes; ++i) p[i] = uint8_t(seed + i * 7);
}
bool StampIntact(const void* block, size_t bytes, uint8_t seed) {
  const auto* p = static_cast<const uint8_t*>(block);
  for (size_t i = 0; i < bytes; ++i)
    if (p[i] != uint8_t(seed + i * 7)) return false;
  return true;
}

class PixelArenaTest : public ::testing::TestWithParam<bool> {
 protected:
  PixelArena::Options Options(size_t chunk = 4 * kMiB) const {
    PixelArena::Options o;
    o.chunkBytes = chunk;
    o.hugePages = GetParam();
    return o;
  }
};

TEST_P(PixelArenaTest, BlocksAreAlignedApartAndAllGoBackWhenFreed) {
  PixelArena arena(Options());
  // From one byte to a block too large to share a chunk, and sizes around the cut.
  const size_t sizes[] = {1, 63, 64, 65, 4096, 64 * 1024 + 3, 300 * 1024, 2 * kMiB - 64, 2 * kMiB + 1, 9 * kMiB + 5};
  struct Held {
    void* p;
    size_t bytes;
    uint8_t seed;
  };
  std::vector<Held> held;
  for (int round = 0; round < 3; ++round) {
    for (size_t bytes : sizes) {
      void* p = arena.Allocate(bytes);
      ASSERT_NE(p, nullptr) << bytes;
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % PixelArena::kAlignment, 0u) << bytes;
      const uint8_t seed = uint8_t(held.size() * 31 + 5);
      Stamp(p, bytes, seed);
      held.push_back({p, bytes, seed});
    }
  }
  EXPECT_EQ(arena.LiveBlocks(), held.size());
  EXPECT_GT(arena.MappedBytes(), 0u);
  EXPECT_EQ(arena.MappedBytes() % PixelArena::kHugePage, 0u);
  for (const Held& h : held) EXPECT_TRUE(StampIntact(h.p, h.bytes, h.seed)) << h.bytes;
  // Freed in an order unlike the allocation's, so chunks empty in the middle of the list.
  for (size_t i = 0; i < held.size(); i += 2) EXPECT_TRUE(arena.Free(held[i].p, held[i].bytes));
  for (size_t i = 1; i < held.size(); i += 2) EXPECT_TRUE(StampIntact(held[i].p, held[i].bytes, held[i].seed));
  for (size_t i = 1; i < held.size(); i += 2) EXPECT_TRUE(arena.Free(held[i].p, held[i].bytes));
  EXPECT_EQ(arena.LiveBlocks(), 0u);
  EXPECT_EQ(arena.MappedBytes(), 0u);
}

TEST_P(PixelArenaTest, AChunkStaysWhileABlockInItLivesAndIsReusedOnceEmpty) {
  PixelArena arena(Options(2 * kMiB));
  // Four blocks fill one 2 MB chunk; a fifth starts the next.
  const size_t quarter = 512 * 1024 - 2 * PixelArena::kAlignment;
  std::vector<void*> first;
  for (int i = 0; i < 4; ++i) first.push_back(arena.Allocate(quarter));
  void* next = arena.Allocate(quarter);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(arena.MappedBytes(), 4 * kMiB);
  // Three of the first chunk's blocks freed: it stays for the fourth.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(arena.Free(first[size_t(i)], quarter));
  EXPECT_EQ(arena.MappedBytes(), 4 * kMiB);
  Stamp(first[3], quarter, 9);
  EXPECT_TRUE(StampIntact(first[3], quarter, 9));
  EXPECT_TRUE(arena.Free(first[3], quarter));
  EXPECT_EQ(arena.MappedBytes(), 2 * kMiB);
  // The current chunk emptied goes too, and the arena starts a new one on demand.
  EXPECT_TRUE(arena.Free(next, quarter));
  EXPECT_EQ(arena.MappedBytes(), 0u);
  void* again = arena.Allocate(quarter);
  ASSERT_NE(again, nullptr);
  Stamp(again, quarter, 3);
  EXPECT_TRUE(StampIntact(again, quarter, 3));
  EXPECT_EQ(arena.LiveBlocks(), 1u);
  EXPECT_TRUE(arena.Free(again, quarter));
  EXPECT_EQ(arena.MappedBytes(), 0u);
}

TEST_P(PixelArenaTest, PagesNoLiveBlockUsesGoBackWhileTheChunkStays) {
  PixelArena arena(Options(8 * kMiB));
  // Eight blocks a little under 1 MB: about two to a huge page, some across a boundary.
  const size_t bytes = kMiB - 256;
  std::vector<void*> blocks;
  for (int i = 0; i < 8; ++i) {
    blocks.push_back(arena.Allocate(bytes));
    ASSERT_NE(blocks.back(), nullptr);
    Stamp(blocks.back(), bytes, uint8_t(i));
  }
  EXPECT_EQ(arena.ResidentBytes(), 8 * kMiB);
  // The first four freed: the first page holds none of the others any more.
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(arena.Free(blocks[size_t(i)], bytes));
  EXPECT_EQ(arena.MappedBytes(), 8 * kMiB);
  EXPECT_EQ(arena.ResidentBytes(), 6 * kMiB);
  for (int i = 4; i < 8; ++i) EXPECT_TRUE(StampIntact(blocks[size_t(i)], bytes, uint8_t(i)));
  // A block that does not fit starts the next chunk; the old chunk's idle pages go as
  // its blocks do, down to the one page its last block holds.
  void* next = arena.Allocate(bytes);
  ASSERT_NE(next, nullptr);
  for (int i = 4; i < 7; ++i) EXPECT_TRUE(arena.Free(blocks[size_t(i)], bytes));
  EXPECT_TRUE(StampIntact(blocks[7], bytes, 7));
  EXPECT_EQ(arena.MappedBytes(), 16 * kMiB);
  EXPECT_EQ(arena.ResidentBytes(), 8 * kMiB + 2 * kMiB);
  EXPECT_TRUE(arena.Free(blocks[7], bytes));
  EXPECT_TRUE(arena.Free(next, bytes));
  EXPECT_EQ(arena.MappedBytes(), 0u);
  EXPECT_EQ(arena.ResidentBytes(), 0u);
}

TEST_P(PixelArenaTest, RefusesWhatItCannotGiveAndPointersItDidNotGive) {
  PixelArena arena(Options());
  EXPECT_EQ(arena.Allocate(0), nullptr);
  EXPECT_EQ(arena.Allocate(SIZE_MAX), nullptr);
  EXPECT_EQ(arena.Allocate(size_t(1) << 62), nullptr);  // more than any address space maps
  EXPECT_EQ(arena.MappedBytes(), 0u);
  void* mine = arena.Allocate(1000);
  ASSERT_NE(mine, nullptr);
  std::vector<uint8_t> heap(1000);
  int onStack = 0;
  EXPECT_FALSE(arena.Free(heap.data(), heap.size()));
  EXPECT_FALSE(arena.Free(&onStack, sizeof onStack));
  EXPECT_FALSE(arena.Free(nullptr, 0));
  EXPECT_EQ(arena.LiveBlocks(), 1u);
  PixelArena other(Options());
  EXPECT_FALSE(other.Free(mine, 1000));  // another arena's block is not this one's to free
  EXPECT_TRUE(arena.Free(mine, 1000));
  EXPECT_EQ(arena.LiveBlocks(), 0u);
}

TEST_P(PixelArenaTest, ManyThreadsAllocateWriteAndFreeWithoutMeetingEachOther) {
  PixelArena arena(Options(4 * kMiB));
  constexpr int kThreads = 8;
  std::atomic<int> damaged{0}, refused{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 random(uint32_t(t) * 7919u + 1u);
      struct Held {
        void* p;
        size_t bytes;
        uint8_t seed;
      };
      std::vector<Held> held;
      for (int i = 0; i < 300; ++i) {
        if (!held.empty() && random() % 2 == 0) {
          size_t at = random() % held.size();
          if (!StampIntact(held[at].p, held[at].bytes, held[at].seed)) ++damaged;
          if (!arena.Free(held[at].p, held[at].bytes)) ++refused;
          held[at] = held.back();
          held.pop_back();
          continue;
        }
        // Mostly picture-sized blocks, now and then one larger than half a chunk.
        size_t bytes = random() % 20 == 0 ? 2 * kMiB + random() % kMiB : 1 + random() % (300 * 1024);
        void* p = arena.Allocate(bytes);
        if (!p) {
          ++refused;
          continue;
        }
        uint8_t seed = uint8_t(random());
        Stamp(p, bytes, seed);
        held.push_back({p, bytes, seed});
      }
      for (const Held& h : held) {
        if (!StampIntact(h.p, h.bytes, h.seed)) ++damaged;
        if (!arena.Free(h.p, h.bytes)) ++refused;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(damaged.load(), 0);
  EXPECT_EQ(refused.load(), 0);
  EXPECT_EQ(arena.LiveBlocks(), 0u);
  EXPECT_EQ(arena.MappedBytes(), 0u);
}

INSTANTIATE_TEST_SUITE_P(PagesAskedFor, PixelArenaTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? std::string("Huge") : std::string("Ordinary"); });

TEST(PixelArenaPolicy, HugePagesAreAskedForOnlyWhereTheKernelOffersThem) {
  struct Case {
    const char* setting;
    bool offered;
  } const cases[] = {
      {"always [madvise] never\n", true},
      {"[always] madvise never\n", true},
      {"always madvise [never]\n", false},
      {"", false},  // no such file: a kernel without them
      {"madvise never", false},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::gfx::HugePagesOffered(c.setting), c.offered) << c.setting;
}

// Decoded pictures use the process's arena where it exists, and the heap otherwise;
// either way a picture's bytes are what was written, copies included.
TEST(PixelVectorTest, LargePicturesLiveInTheSharedArenaAndBehaveAsVectors) {
  PixelArena* shared = PixelArena::Shared();
  const size_t liveBefore = shared ? shared->LiveBlocks() : 0;
  {
    platform::gfx::PixelVector big(512 * 512 * 4);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 13);
    platform::gfx::PixelVector small(16, 7);
    if (shared) {
      EXPECT_EQ(shared->LiveBlocks(), liveBefore + 1);  // the small one is on the heap
    }
    platform::gfx::PixelVector copy = big;
    if (shared) {
      EXPECT_EQ(shared->LiveBlocks(), liveBefore + 2);
    }
    EXPECT_TRUE(copy == big);
    std::vector<uint8_t> expected(big.size());
    for (size_t i = 0; i < expected.size(); ++i) expected[i] = uint8_t(i * 13);
    EXPECT_TRUE(copy == expected);
    copy[1000] ^= 1;
    EXPECT_FALSE(copy == expected);
    EXPECT_EQ(small, platform::gfx::PixelVector(16, 7));  // a value given is still filled in
    // Growing past the arena's threshold moves the bytes along.
    small.resize(256 * 1024);
    EXPECT_EQ(small[15], 7);
    platform::gfx::PixelVector moved = std::move(big);
    EXPECT_TRUE(moved == expected);
  }
  if (shared) {
    EXPECT_EQ(shared->LiveBlocks(), liveBefore);
  }
}

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer a write past a block is caught as it is on the heap.
TEST(PixelArenaDeathTest, AWritePastABlockIsCaughtUnderAddressSanitizer) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        PixelArena arena;
        auto* p = static_cast<volatile uint8_t*>(arena.Allocate(100));
        p[100] = 1;
      },
      "use-after-poison");
}
#endif

}  // namespace
