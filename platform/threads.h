// Named mutexes: an in-process registry of recursive mutexes. A mutex is created
// by name once; users open it by name (null when it was never created), wait,
// do their work and release. Also the name a thread shows to the system.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace platform {

class NamedMutex {
 public:
  explicit NamedMutex(std::string name) : name_(std::move(name)) {}
  void Wait() { mutex_.lock(); }
  void Release() { mutex_.unlock(); }
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  std::recursive_mutex mutex_;
};

using MutexHandle = std::shared_ptr<NamedMutex>;

// Creates the mutex, or returns the existing one of that name.
MutexHandle CreateNamedMutex(std::string_view name);
// The mutex of that name, or null when none was created.
MutexHandle OpenNamedMutex(std::string_view name);
// Removes every name (tests start each case afresh).
void ClearNamedMutexes();

// Holds a named mutex for a scope; does nothing when the handle is null.
class NamedLock {
 public:
  explicit NamedLock(MutexHandle h) : h_(std::move(h)) {
    if (h_) h_->Wait();
  }
  ~NamedLock() {
    if (h_) h_->Release();
  }
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

 private:
  MutexHandle h_;
};

// Names the calling thread as system tools show it (at most 15 bytes are kept), so
// the game's own threads can be told from the drivers'.
void SetCurrentThreadName(const char* name);

}  // namespace platform
