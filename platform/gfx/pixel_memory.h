// Memory for decoded pictures. A level load decodes some 80 MB of pixels into fresh
// buffers and frees them all once the main thread has uploaded them. Taken from the
// general heap, every 4 KB page of that is zero-filled twice (by the kernel on first
// touch, then by the vector's resize) and each first touch is a page fault that all
// decode threads queue for on the process's memory map. So picture buffers are never
// value-initialised, and large ones come from an arena of 2 MB-aligned chunks the
// kernel is asked to back with huge pages: one fault per 2 MB. A chunk goes back to
// the system as soon as the last buffer in it is freed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::gfx {

class PixelArena {
 public:
  static constexpr size_t kHugePage = size_t(2) << 20;
  static constexpr size_t kAlignment = 64;  // every block starts on a cache line

  struct Options {
    size_t chunkBytes = size_t(16) << 20;  // rounded up to a whole number of huge pages
    bool hugePages = true;                 // false: the same chunks, left to ordinary pages
  };

  PixelArena() : PixelArena(Options()) {}
  explicit PixelArena(Options options);
  // Unmaps every chunk; blocks still held by then must not be used.
  ~PixelArena();
  PixelArena(const PixelArena&) = delete;
  PixelArena& operator=(const PixelArena&) = delete;

  // The arena picture buffers use, or null where the kernel has transparent huge pages
  // switched off (the general heap serves them then). Never destroyed, so buffers in
  // objects destroyed at exit can still be freed.
  static PixelArena* Shared();

  // A block of at least `bytes`, aligned to kAlignment, its contents unspecified. A
  // block larger than half a chunk gets a mapping of its own. Null when the system
  // gives no memory (or bytes is 0); the caller then falls back to the heap.
  void* Allocate(size_t bytes);
  // Frees a block this arena gave (bytes: the size it was asked for); false, and
  // nothing done, for any other pointer.
  bool Free(void* block, size_t bytes);

  // For tests and reports: bytes mapped now; of those, the ones not handed back page by
  // page (an upper bound of what is resident); blocks given and not yet freed.
  size_t MappedBytes();
  size_t ResidentBytes();
  size_t LiveBlocks();

 private:
  struct Chunk {
    uint8_t* base = nullptr;
    size_t bytes = 0;
    size_t used = 0;  // bump offset: blocks are never reused before the whole chunk is free
    size_t live = 0;
    // Per huge page: the live blocks that overlap it, and whether it went back. A page
    // the bump offset has passed and no live block overlaps goes back at once, so a few
    // pictures left waiting for a first draw keep only their own pages, not the chunk.
    std::vector<uint32_t> pageLive;
    std::vector<bool> pageReleased;
  };
  uint8_t* Map(size_t bytes);
  void Unmap(Chunk& chunk);
  void ReleaseIdlePages(Chunk& chunk, size_t firstPage, size_t lastPage);

  const size_t chunkBytes_;
  const bool hugePages_;
  std::mutex mutex_;
  std::vector<Chunk> chunks_;
  size_t current_ = SIZE_MAX;  // the chunk new small blocks are cut from
  size_t liveBlocks_ = 0;
};

// Whether the kernel's transparent huge page setting (the text of
// /sys/kernel/mm/transparent_hugepage/enabled) lets a mapping ask for huge pages.
bool HugePagesOffered(std::string_view enabledSetting);

// Blocks smaller than this stay on the general heap: they are too few bytes to pay for
// a lock, and a small long-lived picture should not keep a whole chunk mapped.
inline constexpr size_t kPixelArenaMinBytes = size_t(64) << 10;

void* AllocatePixels(size_t bytes);
void FreePixels(void* block, size_t bytes) noexcept;

// A standard allocator over AllocatePixels whose vectors leave new elements
// uninitialised on resize: a decoder overwrites every byte it is given.
template <class T>
struct PixelAllocator {
  using value_type = T;
  PixelAllocator() noexcept = default;
  template <class U>
  PixelAllocator(const PixelAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocatePixels(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept { FreePixels(p, n * sizeof(T)); }

  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;  // default-initialised: no fill
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  template <class U>
  bool operator==(const PixelAllocator<U>&) const noexcept {
    return true;
  }
};

// RGBA bytes of a decoded picture. resize() leaves the new bytes as they are.
using PixelVector = std::vector<uint8_t, PixelAllocator<uint8_t>>;

// Pixels compared with bytes held anywhere else (an expected picture in a test).
inline bool operator==(const PixelVector& a, const std::vector<uint8_t>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace platform::gfx
