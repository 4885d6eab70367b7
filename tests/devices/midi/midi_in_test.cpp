#include "devices/midi/midi_in.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/midi/scripted_midi.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace {

constexpr uint32_t Short(uint32_t status, uint32_t d1, uint32_t d2) { return status | d1 << 8 | d2 << 16; }

const char* kProfiles =
    "<DEVICE><NAME>Drums</NAME><TYPE>0</TYPE><METHOD>0</METHOD><BUTTONS>"
    "<RED>38,9,0</RED><GREEN>49,9,0</GREEN><BASS>36,9,0</BASS><YELLOW_TOM>48,9,20</YELLOW_TOM>"
    "<YELLOW>42,9,0</YELLOW><YELLOW_C>42,9,0</YELLOW_C>"
    "</BUTTONS></DEVICE>\n"
    "<DEVICE><NAME>Keys</NAME><TYPE>4</TYPE><METHOD>1</METHOD><BUTTONS><START>84,0,0</START></BUTTONS></DEVICE>\n"
    "<DEVICE><NAME>Strings</NAME><TYPE>6</TYPE><METHOD>4</METHOD></DEVICE>\n"
    "<DEVICE><NAME>SysEx guitar</NAME><TYPE>6</TYPE><METHOD>2</METHOD></DEVICE>\n"
    "<DEVICE><NAME>Hi-hat pedal</NAME><METHOD>3</METHOD></DEVICE>\n"
    "<DEVICE><NAME>Bend</NAME><METHOD>5</METHOD></DEVICE>\n";
enum { kDrums, kKeys, kStrings, kSysex, kPedal, kBend };

class MidiInTest : public ::testing::Test {
 protected:
  MidiInTest() {
    fake.clock.ms = 50000000;  // an uptime-like clock, far from 0
    dir.WriteBytes("settings/midi_profiles.ini", kProfiles);
    platform::InvalidatePathCache();
    backend.SetDevices({"Kit", "Keyboard"});
  }
  void Start() { ASSERT_TRUE(list.EnumerateUnthreaded()); }

  void Send(uint32_t packed) { ASSERT_TRUE(backend.InjectShort(0, packed, fake.clock.ms)); }
  void SendSysex(const std::vector<uint8_t>& m) { ASSERT_TRUE(backend.InjectSysex(0, m, fake.clock.ms)); }

  // Pumps the devices and translates device 0 through a profile.
  std::vector<InputEvent> Fetch(int profile, bool* ok = nullptr) {
    list.PumpAll();
    InputEvent events[kMaxFetchEvents];
    int32_t count = 0;
    const bool r = list.Translate(0, events, &count, profile);
    if (ok) *ok = r;
    return std::vector<InputEvent>(events, events + count);
  }
  std::vector<MidiInEvent> Decoded(int device = 0) {
    list.PumpAll();
    static MidiInEvent out[kMidiRing];
    const int n = list.device(device)->Drain(out);
    return std::vector<MidiInEvent>(out, out + n);
  }

  testsupport::TempDir dir;
  platform::ScopedFakeClock fake;
  platform::midi::ScriptedMidiBackend backend;
  MidiInList list{&backend};
};

struct Want {
  uint32_t id;
  bool pressed;
  int32_t value;
  int32_t range;
};
void Expect(const std::vector<InputEvent>& got, const std::vector<Want>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].id, want[i].id) << i;
    EXPECT_EQ(got[i].pressed, want[i].pressed) << i;
    EXPECT_EQ(got[i].value, want[i].value) << i;
    EXPECT_EQ(got[i].range, want[i].range) << i;
    EXPECT_EQ(got[i].time, 0.0);
  }
}

TEST_F(MidiInTest, EnumerationNamesEveryDeviceAndLoadsTheProfiles) {
  Start();
  EXPECT_EQ(list.count(), 2);
  EXPECT_EQ(list.device(1)->name(), u"Keyboard");
  EXPECT_EQ(list.profileCount(), 6);
  auto log = dir.GameLogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "2 MIDI Devices Found"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "MIDI Device 0 Kit Found!"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "MIDI Device 1 Keyboard Found!"), log.end());

  backend.SetDevices({"Kit"});
  list.EnumerateUnthreaded();
  log = dir.GameLogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "1 MIDI Device Found"), log.end());

  // With no device the profiles are not read again.
  dir.WriteBytes("settings/midi_profiles.ini", "<DEVICE></DEVICE>");
  platform::InvalidatePathCache();
  backend.SetDevices({});
  list.EnumerateUnthreaded();
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.profileCount(), 6);
  EXPECT_EQ(dir.GameLogTexts().back(), "0 MIDI Devices Found");
  InputEvent events[kMaxFetchEvents];
  int32_t count = 0;
  EXPECT_FALSE(list.Translate(0, events, &count, kDrums));
  EXPECT_FALSE(list.Discard(0));
}

TEST_F(MidiInTest, WithoutAMidiSystemTheListIsEmptyAndTheLogSaysWhy) {
  backend.SetUnavailable("No MIDI System: no sequencer");
  Start();
  EXPECT_EQ(list.count(), 0);
  auto log = dir.GameLogTexts();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "No MIDI System: no sequencer");
  EXPECT_EQ(log.back(), "0 MIDI Devices Found");
}

TEST_F(MidiInTest, OpenFailuresAreLoggedAndTheDeadDeviceSaysSoOnce) {
  backend.FailStep(0, "open", 4);
  backend.FailStep(1, "start", 7);
  Start();
  for (int i = 0; i < 5; ++i) list.PumpAll();
  auto log = dir.GameLogTexts();
  auto n = [&](const std::string& line) { return std::count(log.begin(), log.end(), line); };
  EXPECT_EQ(n("Error: MidiDevice::open() Unable To Open Device:0 ErrorCode:4"), 1);
  EXPECT_EQ(n("Error: MidiDevice::open() Unable To Start Device:1 ErrorCode:7"), 1);
  // Five passes, but one line (the IO thread would say it every millisecond).
  EXPECT_EQ(n("Error: MidiDevice::poll() Device Is NOT Open!"), 1);
  EXPECT_FALSE(backend.InjectShort(0, Short(0x99, 38, 100), 0));
}

TEST_F(MidiInTest, DrumHitsReachTheirButtonsWithDeliveryTimes) {
  Start();
  const uint32_t t0 = fake.clock.ms;
  Send(Short(0x99, 38, 100));  // red
  fake.clock.AdvanceMs(3);
  Send(Short(0x99, 36, 90));   // bass
  Send(Short(0x99, 38, 0));    // note-on 0: release
  Send(Short(0x89, 36, 64));   // note-off: release
  Send(Short(0x90, 38, 100));  // channel 1: not this kit
  Send(Short(0x99, 48, 10));   // below the tom's threshold of 20: a ghost note
  Send(Short(0x99, 48, 30));
  Send(Short(0xB9, 38, 5));    // a controller on the note's number writes nothing
  Send(Short(0x99, 42, 70));   // shared by yellow and yellow-closed: the first in order wins
  auto got = Fetch(kDrums);
  Expect(got, {{2, true, 100, 128}, {10, true, 90, 128}, {2, false, 0, 128}, {10, false, 64, 128},
               {7, true, 30, 128}, {3, true, 70, 128}});
  EXPECT_EQ(got[0].deliveryMs, t0);
  EXPECT_EQ(got[1].deliveryMs, t0 + 3);
}

TEST_F(MidiInTest, KeysBendPedalAndStringMethods) {
  Start();
  Send(Short(0x90, 60, 80));
  Send(Short(0x90, 60, 0));
  Send(Short(0x90, 84, 99));  // START in the button table: no key event as well
  Send(Short(0xE0, 0, 64));
  Expect(Fetch(kKeys), {{160, true, 80, 128}, {160, false, 0, 128}, {18, true, 99, 128}, {21, true, 64, 128}});

  Send(Short(0xE3, 0, 0));
  Send(Short(0x90, 60, 80));  // method 5 has no key rule
  Expect(Fetch(kBend), {{21, false, 0, 128}});

  Send(Short(0xB0, 4, 127));
  Send(Short(0xB0, 4, 64));
  Send(Short(0xB0, 5, 127));
  Expect(Fetch(kPedal), {{11, true, 127, 127}, {11, false, 64, 127}});

  Send(Short(0x90, 64, 90));  // string 1 open
  Send(Short(0x91, 69, 70));  // string 2, fret 10
  Send(Short(0x95, 38, 60));  // string 6 below its base: fret -2 still counts as held
  Send(Short(0x96, 50, 60));  // channel 7 names no string
  Expect(Fetch(kStrings), {{46, false, 0, 27}, {40, true, 90, 127}, {45, true, 10, 27}, {39, true, 70, 127},
                           {41, true, -2, 27}, {35, true, 60, 127}});
}

TEST_F(MidiInTest, SysexGuitarMessages) {
  Start();
  SendSysex({0xF0, 0x08, 0x40, 0x08, 0x01, 0x03, 60, 0xF7});  // fret: string 3, base 55
  SendSysex({0xF0, 0x08, 0x40, 0x0A, 0x05, 0x02, 80, 0xF7});  // strike string 2
  SendSysex({0xF0, 0x08, 0x40, 0x08, 0x01, 0x07, 60, 0xF7});  // string 7: none
  SendSysex({0xF0, 0x08, 0x40, 0x09, 0x01, 0x03, 60, 0xF7});  // wrong header
  SendSysex({0xF0, 0x08, 0x40, 0x08, 0x08, 0x02, 0x00, 0x02, 0x00, 0xF7});  // green down, hat right
  SendSysex({0xF0, 0x08, 0x40, 0x08, 0x08, 0x02, 0x00, 0x02, 0x00, 0xF7});  // the same again
  SendSysex({0xF0, 0x08, 0x40, 0x08, 0x08, 0x00, 0x12, 0x48, 0x00, 0xF7});  // start, whammy, tilt, hat 8
  Expect(Fetch(kSysex), {{44, true, 5, 27},
                         {39, true, 80, 127},
                         {1, true, 2, 128},
                         {17, true, 128, 128},
                         {14, false, 0, 128},
                         {1, false, 0, 128},
                         {18, true, 2, 128},
                         {21, true, 16, 16},
                         {23, true, 64, 64},
                         {17, false, 0, 128}});
  // Short messages never use the SysEx rules, SysEx never matches the drum table.
  SendSysex({0xF0, 0x08, 0x40, 0x08, 0x01, 0x03, 60, 0xF7});
  Expect(Fetch(kDrums), {});
}

TEST_F(MidiInTest, LongAndSplitSysexIsAssembledWhole) {
  Start();
  std::vector<uint8_t> big(300, 0x11);
  big[0] = 0xF0;
  big[299] = 0xF7;
  // Chunks of 256 and 44 with a clock byte arriving between them.
  ASSERT_TRUE(backend.InjectSysexChunk(0, std::vector<uint8_t>(big.begin(), big.begin() + 256), 1));
  Send(Short(0xF8, 0, 0));
  ASSERT_TRUE(backend.InjectSysexChunk(0, std::vector<uint8_t>(), 1));  // an empty buffer returned
  ASSERT_TRUE(backend.InjectSysexChunk(0, std::vector<uint8_t>(big.begin() + 256, big.end()), 2));
  auto ev = Decoded();
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].type, 15);
  EXPECT_EQ(ev[0].channel, 8);
  EXPECT_EQ(ev[1].sysexLength, 300);
  EXPECT_EQ(ev[1].sysex[0], 0xF0);
  EXPECT_EQ(ev[1].sysex[63], 0x11);
}

TEST_F(MidiInTest, ActivityFollowsWhatArrived) {
  Start();
  MidiIn& d = *list.device(0);
  list.PumpAll();
  EXPECT_EQ(d.activity(), 0);
  Send(Short(0xFE, 0, 0));  // active sensing
  list.PumpAll();
  EXPECT_EQ(d.activity(), 1);
  fake.clock.AdvanceMs(999);
  list.PumpAll();
  EXPECT_EQ(d.activity(), 1);
  fake.clock.AdvanceMs(1);
  list.PumpAll();
  EXPECT_EQ(d.activity(), 0);
  Send(Short(0x99, 38, 1));
  list.PumpAll();
  EXPECT_EQ(d.activity(), 2);
  fake.clock.AdvanceMs(199);
  list.PumpAll();
  EXPECT_EQ(d.activity(), 2);
  fake.clock.AdvanceMs(1);
  list.PumpAll();
  EXPECT_EQ(d.activity(), 0);
}

TEST_F(MidiInTest, FloodsKeepTheFirstMessagesAndSaySo) {
  Start();
  for (int i = 0; i < 600; ++i) Send(Short(0x99, 38, static_cast<uint32_t>(1 + i % 120)));
  bool ok = true;
  auto got = Fetch(kDrums, &ok);
  // 512 reached the ring; 150 fit the caller's array and the rest wait for the next
  // fetches, in order: only what the full ring refused is lost, and the log says so.
  EXPECT_FALSE(ok);
  ASSERT_EQ(got.size(), kMaxFetchEvents);
  auto log = dir.GameLogTexts();
  EXPECT_EQ(std::count(log.begin(), log.end(), "MIDI Input Overflow: 88 Messages Dropped From Device 0"), 1);
  std::vector<InputEvent> all = got;
  for (int fetch = 0; fetch < 10 && !(got = Fetch(kDrums, &ok)).empty(); ++fetch) {
    all.insert(all.end(), got.begin(), got.end());
  }
  EXPECT_TRUE(ok);
  ASSERT_EQ(all.size(), 512u);
  for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i].value, 1 + static_cast<int>(i) % 120) << i;

  // A SysEx burst that makes more than one event per message stops at the bound with
  // no message split: the next fetch goes on where the first stopped.
  for (int i = 0; i < 20; ++i) {
    SendSysex({0xF0, 0x08, 0x40, 0x08, 0x08, 0x0F, 0x53, 0x40, 0x00, 0xF7});
    SendSysex({0xF0, 0x08, 0x40, 0x08, 0x08, 0x00, 0x00, 0x00, 0x00, 0xF7});
  }
  got = Fetch(kSysex, &ok);
  EXPECT_FALSE(ok);
  EXPECT_LE(got.size(), kMaxFetchEvents);
  EXPECT_GT(got.size(), kMaxFetchEvents - kMaxEventsPerMidiMessage);
  std::vector<InputEvent> got2;
  std::vector<InputEvent> rest;
  for (int fetch = 0; fetch < 10 && !(got2 = Fetch(kSysex, &ok)).empty(); ++fetch) {
    rest.insert(rest.end(), got2.begin(), got2.end());
  }
  EXPECT_TRUE(ok);
  // Each pair of reports presses nine buttons and releases them again: 20 pairs whole.
  const size_t total = got.size() + rest.size();
  EXPECT_EQ(total, 20u * 18u);
  size_t presses = 0;
  for (const auto* part : {&got, &rest})
    for (const InputEvent& e : *part) presses += e.pressed ? 1 : 0;
  EXPECT_EQ(presses * 2, total);
}

TEST_F(MidiInTest, DiscardDropsEverythingPending) {
  Start();
  for (int i = 0; i < 10; ++i) Send(Short(0x99, 38, 100));
  list.PumpAll();
  EXPECT_TRUE(list.Discard(0));
  EXPECT_TRUE(Fetch(kDrums).empty());
  // A profile index that names no profile drops the events without failing.
  Send(Short(0x99, 38, 100));
  EXPECT_TRUE(Fetch(-1).empty());
}

}  // namespace
