// Waiting for the decoder thread: short yields until a condition holds or a limit
// meant only to turn a hang into a failure passes.
#include "tests/video/video_fixture.h"

#include <chrono>
#include <thread>

namespace videotest {

bool WaitUntil(const std::function<void()>& step, const std::function<bool()>& done, int limitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    step();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
}

}  // namespace videotest
