#include "core/parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "core/log.h"

namespace {

// Beyond this many threads the disk, not the processor, sets the pace.
constexpr unsigned kMaxThreads = 16;

}  // namespace

unsigned ParallelThreadCount() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(cores, 1u, kMaxThreads);
}

void ParallelForInOrder(size_t count, const std::function<void(size_t)>& work, unsigned threads) {
  if (count == 0) return;
  if (threads == 0) threads = ParallelThreadCount();
  threads = static_cast<unsigned>(std::min<size_t>(std::min(threads, kMaxThreads), count));
  if (threads <= 1) {
    for (size_t i = 0; i < count; ++i) work(i);
    return;
  }
  std::vector<std::vector<DeferredLogLine>> lines(count);
  std::atomic<size_t> next{0};
  auto worker = [&] {
    for (size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
      std::vector<DeferredLogLine>* outer = SetThreadLogBuffer(&lines[i]);
      work(i);
      SetThreadLogBuffer(outer);
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(threads - 1);
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
  for (const std::vector<DeferredLogLine>& l : lines) ReplayLogLines(l);
}
