// The MIDI IO threads with the real thread start and stop (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "devices/midi/midi_in.h"
#include "platform/midi/scripted_midi.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace {

TEST(MidiThread, MessagesCrossTheThreadsInOrderAndStopJoins) {
  testsupport::TempDir dir;
  dir.WriteBytes("settings/midi_profiles.ini",
                 "<DEVICE><NAME>Keys</NAME><METHOD>1</METHOD></DEVICE>");
  platform::InvalidatePathCache();
  platform::midi::ScriptedMidiBackend backend;
  backend.SetDevices({"A", "B"});
  MidiInList list(&backend);
  ASSERT_TRUE(list.Enumerate());
  ASSERT_TRUE(backend.WaitStarted(0, 5000));
  ASSERT_TRUE(backend.WaitStarted(1, 5000));

  constexpr int kNotes = 400;
  std::thread sender([&] {
    for (int i = 0; i < kNotes; ++i) {
      const uint32_t note = 48 + static_cast<uint32_t>(i % 25);
      backend.InjectShort(0, 0x90u | note << 8 | (1u + static_cast<uint32_t>(i % 100)) << 16, 0);
      backend.InjectShort(1, 0xFEu, 0);
      if (i % 100 == 99) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  std::vector<InputEvent> got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (static_cast<int>(got.size()) < kNotes && std::chrono::steady_clock::now() < deadline) {
    InputEvent events[kMaxFetchEvents];
    int32_t count = 0;
    list.Translate(0, events, &count, 0);
    got.insert(got.end(), events, events + count);
    list.Discard(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  sender.join();
  ASSERT_EQ(static_cast<int>(got.size()), kNotes);
  for (int i = 0; i < kNotes; ++i) {
    ASSERT_EQ(got[static_cast<size_t>(i)].id, 148u + static_cast<uint32_t>(i % 25)) << i;
    ASSERT_EQ(got[static_cast<size_t>(i)].value, 1 + i % 100) << i;
  }
  // Activity counts system messages seen within the last second; on a busy machine the
  // reader may have taken longer than that, so one fresh message is what is judged.
  backend.InjectShort(1, 0xFEu, 0);
  const auto activityDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (list.device(1)->activity() != 1 && std::chrono::steady_clock::now() < activityDeadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(list.device(1)->activity(), 1);

  // Re-enumeration stops, closes and reopens every device.
  ASSERT_TRUE(list.Enumerate());
  ASSERT_TRUE(backend.WaitStarted(0, 5000));
  EXPECT_EQ(backend.OpenCount(0), 2);
  list.Stop();
  EXPECT_FALSE(backend.IsStarted(0));
  EXPECT_FALSE(backend.IsStarted(1));
  EXPECT_EQ(list.count(), 0);
}

}  // namespace
