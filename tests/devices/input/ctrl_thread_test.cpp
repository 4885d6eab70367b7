// The Ctrl thread filling the XInput pads' queues while the main thread fetches
// (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "devices/input/ctrl.h"
#include "platform/input/scripted_input.h"
#include "platform/midi/scripted_midi.h"
#include "platform/threads.h"
#include "tests/support/test_support.h"

using namespace platform::input;

namespace {

TEST(CtrlThread, PadEventsCrossUnderTheMutexInOrder) {
  testsupport::TempDir dir;
  platform::ClearNamedMutexes();
  platform::MutexHandle mutex = platform::CreateNamedMutex(kCtrlMutexName);
  ScriptedInputBackend in;
  platform::midi::ScriptedMidiBackend midi;
  in.AttachPad(0, 1, 1);  // a gamepad
  in.AttachPad(1, 2, 8);  // a drum kit
  CtrlMain main(true, &in, &midi);

  std::atomic<int32_t> runFlag{0};
  std::thread ctrl(CtrlThreadProc, &main, &runFlag);
  // The first scan runs while the thread already polls, as at start-up.
  main.ScanDevices(true);
  ASSERT_TRUE(main.devices[0].DetectXInput());
  ASSERT_TRUE(main.devices[1].DetectXInput());

  constexpr int kPresses = 300;
  std::atomic<int> releasedSoFar{0};  // releases seen on the slower of the two pads
  std::thread pads([&] {
    for (int i = 0; i < kPresses; ++i) {
      XReport r;
      r.buttons = kXA;
      in.AddReport(0, r);
      in.AddReport(1, r);
      r.buttons = 0;
      in.AddReport(0, r);
      in.AddReport(1, r);
      // Keep at most a few presses in flight, so a machine under load (the Ctrl thread
      // starved for a while) never overflows the device's report queue.
      const auto wait = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (releasedSoFar.load() < i - 8 && std::chrono::steady_clock::now() < wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  int pressed[2] = {0, 0}, released[2] = {0, 0};
  bool alternates = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((pressed[0] + released[0] < 2 * kPresses || pressed[1] + released[1] < 2 * kPresses) &&
         std::chrono::steady_clock::now() < deadline) {
    for (int p = 0; p < 2; ++p) {
      InputEvent events[kMaxFetchEvents];
      int32_t count = 0;
      main.devices[p].GetEvents(events, &count);
      for (int32_t i = 0; i < count; ++i) {
        // Presses and releases of green alternate: nothing lost, nothing reordered.
        if (events[i].pressed != (pressed[p] == released[p])) alternates = false;
        (events[i].pressed ? pressed : released)[p]++;
      }
    }
    releasedSoFar.store(std::min(released[0], released[1]));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  pads.join();
  runFlag.store(2);
  ctrl.join();
  EXPECT_EQ(runFlag.load(), 0);
  EXPECT_TRUE(alternates);
  for (int p = 0; p < 2; ++p) {
    EXPECT_EQ(pressed[p], kPresses) << p;
    EXPECT_EQ(released[p], kPresses) << p;
  }
  platform::ClearNamedMutexes();
}

}  // namespace
