// Decodes picture files and parses model files on a few worker threads ahead of a
// loader that walks its lists in order: the loader queues every file it is about to
// need, then takes each result when it reaches it, so its own order (slots, log lines)
// stays as it was and only the work overlaps. A parsed model's pictures are queued as
// soon as it is parsed, each once, since a model's pictures are known only then.
// Nothing here touches the drawing device.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/model/xfile.h"

namespace graphics {

class ImageDecodePool {
 public:
  static constexpr int kMaxThreads = 8;
  // One worker per core, at least one and at most kMaxThreads.
  static int DefaultThreads();

  // threads is clamped to 1..kMaxThreads.
  explicit ImageDecodePool(int threads);
  // Stops the workers; files queued and never taken are dropped.
  ~ImageDecodePool();
  ImageDecodePool(const ImageDecodePool&) = delete;
  ImageDecodePool& operator=(const ImageDecodePool&) = delete;

  int Threads() const { return int(workers_.size()); }

  // Work starts in the order files are queued. A file may be queued more than once;
  // each queueing is taken once.
  void Queue(std::string path);
  // A model file: once it is parsed, each picture it names (ModelPictureFiles) that no
  // model queued here named before is queued.
  void QueueModel(std::string path);

  enum class Taken { kNotQueued, kDecoded, kFailed };
  // The earliest untaken decode of path, waiting for it if a worker has it. One still
  // waiting in the queue is decoded here at once rather than waited for, so a loader
  // whose workers get no processor time goes no slower than decoding alone.
  // kFailed when the file is missing or not a picture (out is then empty), kNotQueued
  // when path has no untaken queueing (out untouched).
  Taken Take(const std::string& path, platform::gfx::ImageData& out);
  // The same for a queued model: kFailed gives the parser's reason in error.
  Taken TakeModel(const std::string& path, platform::model::XModel& out, std::string& error);

 private:
  enum class State { kQueued, kRunning, kDone, kTaken };
  enum class Kind { kPicture, kModel };
  struct Job {
    Kind kind = Kind::kPicture;
    std::string path;
    State state = State::kQueued;
    bool ok = false;
    platform::gfx::ImageData image;
    platform::model::XModel model;
    std::string error;
  };

  void Work();
  // Does the job's work with the lock released, then files the result.
  void Run(Job& job, std::unique_lock<std::mutex>& lock);
  size_t Find(Kind kind, const std::string& path);
  void Append(Kind kind, std::string path);

  std::mutex mutex_;
  std::condition_variable queued_, finished_;
  std::deque<Job> jobs_;   // deque: a job stays where it is while more are queued
  size_t nextJob_ = 0;     // the first job a worker may still find queued
  size_t firstUntaken_ = 0;
  std::unordered_set<std::string> modelPictures_;  // queued for a model already
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace graphics
