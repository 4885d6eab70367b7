// Decodes the song screen's album art on a worker thread of its own, so that moving
// through a folder never waits for a picture file. Only the latest request counts:
// a picture that arrives for an entry the player has already left is dropped. The
// pictures are shared, so a theme that still shows one keeps it alive after a new
// one replaced it here.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "menus/menu_context.h"

namespace menus {

class AlbumArtLoader {
 public:
  using Decoder = std::function<std::shared_ptr<const Picture>(const std::u16string&)>;

  explicit AlbumArtLoader(Decoder decoder);
  ~AlbumArtLoader();
  AlbumArtLoader(const AlbumArtLoader&) = delete;
  AlbumArtLoader& operator=(const AlbumArtLoader&) = delete;

  // Asks for the picture at `path`; returns the request's number.
  uint64_t Request(const std::u16string& path);
  // The picture of the latest request once it is decoded (null picture: none there).
  // True exactly once per finished latest request.
  bool TakeResult(std::shared_ptr<const Picture>* picture);
  // Waits (bounded) until the latest request is decoded; for tests and shutdown.
  bool WaitIdle(uint32_t timeoutMs);

 private:
  void Run();

  Decoder decoder_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::u16string pendingPath_;
  uint64_t requested_ = 0;  // latest request number
  uint64_t decoded_ = 0;    // request number of `result_`
  uint64_t taken_ = 0;
  std::shared_ptr<const Picture> result_;
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace menus
