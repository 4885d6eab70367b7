// The picture decode pool: workers take queued files front to back; the loader takes
// results by file name.
#include "graphics/image_decode_pool.h"

#include <algorithm>

#include "platform/threads.h"

namespace graphics {

namespace gfx = platform::gfx;

int ImageDecodePool::DefaultThreads() {
  return std::clamp(int(std::thread::hardware_concurrency()), 1, kMaxThreads);
}

ImageDecodePool::ImageDecodePool(int threads) {
  threads = std::clamp(threads, 1, kMaxThreads);
  workers_.reserve(size_t(threads));
  for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

ImageDecodePool::~ImageDecodePool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  queued_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void ImageDecodePool::Queue(std::string path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.emplace_back().path = std::move(path);
  }
  queued_.notify_one();
}

void ImageDecodePool::Work() {
  platform::SetCurrentThreadName("velorin-decode");
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // Jobs the loader took over itself are passed by.
    while (nextJob_ < jobs_.size() && jobs_[nextJob_].state != State::kQueued) ++nextJob_;
    if (stop_) return;
    if (nextJob_ == jobs_.size()) {
      queued_.wait(lock);
      continue;
    }
    Job& job = jobs_[nextJob_++];
    job.state = State::kRunning;
    lock.unlock();
    gfx::ImageData image;
    bool ok = gfx::DecodeImageFile(job.path, image);
    lock.lock();
    job.image = std::move(image);
    job.ok = ok;
    job.state = State::kDone;
    finished_.notify_all();
  }
}

ImageDecodePool::Taken ImageDecodePool::Take(const std::string& path, gfx::ImageData& out) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (firstUntaken_ < jobs_.size() && jobs_[firstUntaken_].state == State::kTaken) ++firstUntaken_;
  size_t index = firstUntaken_;
  while (index < jobs_.size() && (jobs_[index].state == State::kTaken || jobs_[index].path != path)) ++index;
  if (index == jobs_.size()) return Taken::kNotQueued;
  Job& job = jobs_[index];
  if (job.state == State::kQueued) {
    job.state = State::kRunning;
    lock.unlock();
    gfx::ImageData image;
    bool ok = gfx::DecodeImageFile(path, image);
    lock.lock();
    job.image = std::move(image);
    job.ok = ok;
    job.state = State::kDone;
  }
  finished_.wait(lock, [&] { return job.state == State::kDone; });
  job.state = State::kTaken;
  out = std::move(job.image);
  job.image = gfx::ImageData();
  if (!job.ok) out = gfx::ImageData();
  return job.ok ? Taken::kDecoded : Taken::kFailed;
}

}  // namespace graphics
