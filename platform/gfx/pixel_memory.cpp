#include "platform/gfx/pixel_memory.h"

#include <sys/mman.h>

#include <cstdio>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define VELORIN_PIXEL_ARENA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELORIN_PIXEL_ARENA_ASAN 1
#endif
#endif
#ifdef VELORIN_PIXEL_ARENA_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace platform::gfx {

namespace {

size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

// Under AddressSanitizer the arena's unused bytes are poisoned, and each block is
// followed by a gap that stays poisoned, so a decoder writing past its picture is
// caught here as it would be on the heap.
#ifdef VELORIN_PIXEL_ARENA_ASAN
constexpr size_t kRedZone = PixelArena::kAlignment;
void Poison(void* p, size_t n) { ASAN_POISON_MEMORY_REGION(p, n); }
void Unpoison(void* p, size_t n) { ASAN_UNPOISON_MEMORY_REGION(p, n); }
#else
constexpr size_t kRedZone = 0;
void Poison(void*, size_t) {}
void Unpoison(void*, size_t) {}
#endif

}  // namespace

bool HugePagesOffered(std::string_view enabledSetting) {
  // The kernel marks the mode in force with brackets: "always [madvise] never".
  return enabledSetting.find("[always]") != std::string_view::npos ||
         enabledSetting.find("[madvise]") != std::string_view::npos;
}

PixelArena::PixelArena(Options options)
    : chunkBytes_(RoundUp(options.chunkBytes ? options.chunkBytes : kHugePage, kHugePage)),
      hugePages_(options.hugePages) {}

PixelArena::~PixelArena() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Chunk& c : chunks_) Unmap(c);
  chunks_.clear();
}

PixelArena* PixelArena::Shared() {
  static PixelArena* const shared = [] () -> PixelArena* {
    std::string setting;
    if (FILE* f = std::fopen("/sys/kernel/mm/transparent_hugepage/enabled", "r")) {
      char line[128];
      if (std::fgets(line, sizeof line, f)) setting = line;
      std::fclose(f);
    }
    return HugePagesOffered(setting) ? new PixelArena() : nullptr;
  }();
  return shared;
}

uint8_t* PixelArena::Map(size_t bytes) {
  // Mapped one huge page longer than asked, then trimmed to a 2 MB boundary at both ends,
  // so that every 2 MB of the chunk can be one huge page.
  const size_t span = bytes + kHugePage;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  auto* start = static_cast<uint8_t*>(raw);
  auto* aligned = reinterpret_cast<uint8_t*>(RoundUp(reinterpret_cast<uintptr_t>(start), kHugePage));
  if (aligned > start) munmap(start, size_t(aligned - start));
  uint8_t* end = start + span;
  if (end > aligned + bytes) munmap(aligned + bytes, size_t(end - (aligned + bytes)));
  // Refused where the kernel has no huge pages: ordinary pages serve then.
  if (hugePages_) madvise(aligned, bytes, MADV_HUGEPAGE);
  Poison(aligned, bytes);
  return aligned;
}

void PixelArena::Unmap(Chunk& chunk) {
  Unpoison(chunk.base, chunk.bytes);
  munmap(chunk.base, chunk.bytes);
  chunk.base = nullptr;
}

void* PixelArena::Allocate(size_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX / 2) return nullptr;
  const size_t need = RoundUp(bytes + kRedZone, kAlignment);
  std::lock_guard<std::mutex> lock(mutex_);
  if (need > chunkBytes_ / 2) {
    // A picture of its own: a mapping just its size (in whole huge pages), freed with it.
    Chunk own;
    own.bytes = RoundUp(need, kHugePage);
    own.base = Map(own.bytes);
    if (!own.base) return nullptr;
    own.used = own.bytes;  // nothing else is cut from it
    own.live = 1;
    chunks_.push_back(own);
    ++liveBlocks_;
    Unpoison(own.base, bytes);
    return own.base;
  }
  if (current_ == SIZE_MAX || chunks_[current_].bytes - chunks_[current_].used < need) {
    Chunk fresh;
    fresh.bytes = chunkBytes_;
    fresh.base = Map(fresh.bytes);
    if (!fresh.base) return nullptr;
    fresh.pageLive.assign(chunkBytes_ / kHugePage, 0);
    fresh.pageReleased.assign(chunkBytes_ / kHugePage, false);
    if (current_ != SIZE_MAX) {
      // Nothing more is cut from the old chunk: its idle tail pages can go.
      Chunk& old = chunks_[current_];
      const size_t firstIdle = old.used / kHugePage;
      old.used = old.bytes;
      ReleaseIdlePages(old, firstIdle, old.pageLive.size() - 1);
    }
    chunks_.push_back(std::move(fresh));
    current_ = chunks_.size() - 1;
  }
  Chunk& c = chunks_[current_];
  uint8_t* block = c.base + c.used;
  // The block starts on the page the last one ended on, so every page behind the
  // bump offset had a block until its last one is freed, which releases it then.
  for (size_t page = c.used / kHugePage; page <= (c.used + need - 1) / kHugePage; ++page) ++c.pageLive[page];
  c.used += need;
  ++c.live;
  ++liveBlocks_;
  Unpoison(block, bytes);
  return block;
}

bool PixelArena::Free(void* block, size_t bytes) {
  if (!block) return false;
  auto* p = static_cast<uint8_t*>(block);
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < chunks_.size(); ++i) {
    Chunk& c = chunks_[i];
    if (p < c.base || p >= c.base + c.used) continue;
    Poison(p, bytes);
    --liveBlocks_;
    if (--c.live > 0) {
      if (!c.pageLive.empty()) {
        const size_t offset = size_t(p - c.base), need = RoundUp(bytes + kRedZone, kAlignment);
        const size_t first = offset / kHugePage, last = (offset + need - 1) / kHugePage;
        for (size_t page = first; page <= last; ++page) --c.pageLive[page];
        ReleaseIdlePages(c, first, last);
      }
      return true;
    }
    // The last block of the chunk: the whole chunk goes back to the system, the
    // current one included (a load frees everything it decoded at once).
    Unmap(c);
    const size_t last = chunks_.size() - 1;
    if (current_ == i) current_ = SIZE_MAX;
    else if (current_ == last) current_ = i;  // the last chunk moves into slot i
    if (i != last) chunks_[i] = chunks_[last];
    chunks_.pop_back();
    return true;
  }
  return false;
}

size_t PixelArena::MappedBytes() {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t total = 0;
  for (const Chunk& c : chunks_) total += c.bytes;
  return total;
}

void PixelArena::ReleaseIdlePages(Chunk& c, size_t firstPage, size_t lastPage) {
  for (size_t page = firstPage; page <= lastPage && page < c.pageLive.size(); ++page) {
    if (c.pageLive[page] != 0 || c.pageReleased[page] || (page + 1) * kHugePage > c.used) continue;
    // The range stays mapped (and poisoned); its memory goes back to the system.
    madvise(c.base + page * kHugePage, kHugePage, MADV_DONTNEED);
    c.pageReleased[page] = true;
  }
}

size_t PixelArena::ResidentBytes() {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t total = 0;
  for (const Chunk& c : chunks_) {
    total += c.bytes;
    for (bool released : c.pageReleased) total -= released ? kHugePage : 0;
  }
  return total;
}

size_t PixelArena::LiveBlocks() {
  std::lock_guard<std::mutex> lock(mutex_);
  return liveBlocks_;
}

void* AllocatePixels(size_t bytes) {
  if (bytes >= kPixelArenaMinBytes) {
    if (PixelArena* arena = PixelArena::Shared()) {
      if (void* p = arena->Allocate(bytes)) return p;
    }
  }
  return ::operator new(bytes);
}

void FreePixels(void* block, size_t bytes) noexcept {
  if (!block) return;
  if (bytes >= kPixelArenaMinBytes) {
    if (PixelArena* arena = PixelArena::Shared(); arena && arena->Free(block, bytes)) return;
  }
  ::operator delete(block);
}

}  // namespace platform::gfx
