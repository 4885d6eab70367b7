// The decode pool: workers take queued files front to back; the loader takes results
// by file name.
#include "graphics/image_decode_pool.h"

#include <algorithm>

#include "graphics/mesh_hierarchy.h"
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

void ImageDecodePool::Append(Kind kind, std::string path) {
  Job& job = jobs_.emplace_back();
  job.kind = kind;
  job.path = std::move(path);
}

void ImageDecodePool::Queue(std::string path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Append(Kind::kPicture, std::move(path));
  }
  queued_.notify_one();
}

void ImageDecodePool::QueueModel(std::string path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Append(Kind::kModel, std::move(path));
  }
  queued_.notify_one();
}

void ImageDecodePool::Run(Job& job, std::unique_lock<std::mutex>& lock) {
  job.state = State::kRunning;
  const Kind kind = job.kind;
  const std::string path = job.path;
  lock.unlock();
  gfx::ImageData image;
  platform::model::XModel model;
  std::string error;
  std::vector<std::string> pictures;
  bool ok = false;
  if (kind == Kind::kPicture) {
    ok = gfx::DecodeImageFile(path, image);
  } else {
    ok = platform::model::LoadXFile(path, model, &error);
    if (ok) pictures = ModelPictureFiles(path, model);
  }
  lock.lock();
  // The pictures go in the queue before the model counts as done, so a loader that
  // has the model finds them queued.
  size_t added = 0;
  for (std::string& picture : pictures)
    if (modelPictures_.insert(picture).second) {
      Append(Kind::kPicture, std::move(picture));
      ++added;
    }
  job.image = std::move(image);
  job.model = std::move(model);
  job.error = std::move(error);
  job.ok = ok;
  job.state = State::kDone;
  finished_.notify_all();
  if (added > 0) queued_.notify_all();
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
    Run(jobs_[nextJob_++], lock);
  }
}

size_t ImageDecodePool::Find(Kind kind, const std::string& path) {
  while (firstUntaken_ < jobs_.size() && jobs_[firstUntaken_].state == State::kTaken) ++firstUntaken_;
  size_t index = firstUntaken_;
  while (index < jobs_.size() &&
         (jobs_[index].state == State::kTaken || jobs_[index].kind != kind || jobs_[index].path != path))
    ++index;
  return index;
}

ImageDecodePool::Taken ImageDecodePool::Take(const std::string& path, gfx::ImageData& out) {
  std::unique_lock<std::mutex> lock(mutex_);
  const size_t index = Find(Kind::kPicture, path);
  if (index == jobs_.size()) return Taken::kNotQueued;
  Job& job = jobs_[index];
  if (job.state == State::kQueued) Run(job, lock);
  finished_.wait(lock, [&] { return job.state == State::kDone; });
  job.state = State::kTaken;
  out = std::move(job.image);
  job.image = gfx::ImageData();
  if (!job.ok) out = gfx::ImageData();
  return job.ok ? Taken::kDecoded : Taken::kFailed;
}

ImageDecodePool::Taken ImageDecodePool::TakeModel(const std::string& path, platform::model::XModel& out,
                                                  std::string& error) {
  std::unique_lock<std::mutex> lock(mutex_);
  const size_t index = Find(Kind::kModel, path);
  if (index == jobs_.size()) return Taken::kNotQueued;
  Job& job = jobs_[index];
  if (job.state == State::kQueued) Run(job, lock);
  finished_.wait(lock, [&] { return job.state == State::kDone; });
  job.state = State::kTaken;
  out = std::move(job.model);
  job.model = platform::model::XModel();
  if (!job.ok) out = platform::model::XModel();
  error = std::move(job.error);
  return job.ok ? Taken::kDecoded : Taken::kFailed;
}

}  // namespace graphics
