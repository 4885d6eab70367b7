// The RtMidi back end on whatever this machine has: with no MIDI system the list is
// empty and the enumeration log says why.
#include "platform/midi/rtmidi_backend.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "devices/midi/midi_in.h"
#include "tests/support/test_support.h"

namespace {

TEST(RtMidiBackend, EnumeratesOrExplainsWhyNot) {
  testsupport::TempDir dir;
  platform::midi::RtMidiBackend backend;
  MidiInList list(&backend);
  ASSERT_TRUE(list.Enumerate());
  const uint32_t n = backend.NumInputs();
  auto log = dir.GameLogTexts();
  if (!backend.Available()) {
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(backend.Status().rfind("No MIDI System: ", 0), 0u) << backend.Status();
    EXPECT_NE(std::find(log.begin(), log.end(), backend.Status()), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "0 MIDI Devices Found"), log.end());
    std::unique_ptr<platform::midi::MidiInPort> port;
    EXPECT_NE(backend.Open(0, nullptr, &port), 0);
  } else {
    // A machine with a sequencer: every device listed got a record and a name line.
    EXPECT_EQ(list.count(), static_cast<int32_t>(n));
    for (uint32_t i = 0; i < n; ++i) {
      std::string name;
      EXPECT_TRUE(backend.InputName(i, &name));
      EXPECT_EQ(name.rfind("Midi Through", 0), std::string::npos);
    }
  }
  list.Stop();
}

}  // namespace
