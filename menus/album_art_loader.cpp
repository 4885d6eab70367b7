#include "menus/album_art_loader.h"

#include <chrono>

namespace menus {

AlbumArtLoader::AlbumArtLoader(Decoder decoder) : decoder_(std::move(decoder)) {
  worker_ = std::thread([this] { Run(); });
}

AlbumArtLoader::~AlbumArtLoader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

uint64_t AlbumArtLoader::Request(const std::u16string& path) {
  uint64_t id = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pendingPath_ = path;
    id = ++requested_;
  }
  wake_.notify_all();
  return id;
}

bool AlbumArtLoader::TakeResult(std::shared_ptr<const Picture>* picture) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (decoded_ != requested_ || decoded_ == taken_) return false;
  taken_ = decoded_;
  *picture = result_;
  return true;
}

bool AlbumArtLoader::WaitIdle(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return wake_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return decoded_ == requested_; });
}

void AlbumArtLoader::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || decoded_ != requested_; });
    if (stop_) return;
    const uint64_t id = requested_;
    const std::u16string path = pendingPath_;
    lock.unlock();
    std::shared_ptr<const Picture> picture = decoder_ ? decoder_(path) : nullptr;
    lock.lock();
    // A newer request arrived while decoding: this picture is stale.
    if (id == requested_) {
      result_ = std::move(picture);
      decoded_ = id;
      wake_.notify_all();
    }
  }
}

}  // namespace menus
