// A controller manager over the scripted input and MIDI back ends, in a temporary
// program folder with its own device files.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devices/input/ctrl.h"
#include "platform/clock.h"
#include "platform/input/scripted_input.h"
#include "platform/midi/scripted_midi.h"
#include "platform/paths.h"
#include "platform/threads.h"
#include "tests/support/test_support.h"

class CtrlFixture : public ::testing::Test {
 protected:
  CtrlFixture() {
    platform::ClearNamedMutexes();
    mutex = platform::CreateNamedMutex(kCtrlMutexName);
    fake.clock.ms = 50000000;  // uptime-like: far from 0 and from the wrap
  }
  ~CtrlFixture() override {
    main.reset();
    platform::ClearNamedMutexes();
  }

  void Write(const std::string& name, const std::string& text) {
    dir.WriteBytes("settings/" + name, text);
    platform::InvalidatePathCache();
  }
  void Make(bool xinput) {
    main = std::make_unique<CtrlMain>(xinput, &in, &midi);
    main->ScanDevices(true);
  }
  std::vector<InputEvent> Fetch(CtrlDevice& d) {
    InputEvent events[kMaxFetchEvents];
    int32_t count = -1;
    const bool any = d.GetEvents(events, &count);
    EXPECT_EQ(any, count > 0);
    return std::vector<InputEvent>(events, events + count);
  }
  uint32_t Now() const { return fake.clock.ms; }
  void Advance(uint32_t ms) { fake.clock.AdvanceMs(ms); }
  int LogCount(const std::string& line) {
    auto log = dir.GameLogTexts();
    return static_cast<int>(std::count(log.begin(), log.end(), line));
  }

  testsupport::TempDir dir;
  platform::ScopedFakeClock fake;
  platform::MutexHandle mutex;
  platform::input::ScriptedInputBackend in;
  platform::midi::ScriptedMidiBackend midi;
  std::unique_ptr<CtrlMain> main;
};

struct WantEvent {
  uint32_t id;
  bool pressed;
  int32_t value;
};

inline void ExpectEvents(const std::vector<InputEvent>& got, const std::vector<WantEvent>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].id, want[i].id) << "event " << i;
    EXPECT_EQ(got[i].pressed, want[i].pressed) << "event " << i;
    EXPECT_EQ(got[i].value, want[i].value) << "event " << i;
  }
}
