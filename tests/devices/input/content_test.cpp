// The device files the build puts into the run folder read as the game reads them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "devices/input/device_files.h"
#include "devices/midi/midi_profiles.h"
#include "platform/file.h"

namespace {

class RunFolderFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* run = std::getenv("VELORIN_RUN_DIR");
    if (!run) run = VELORIN_BUILD_RUN_DIR;
    ASSERT_TRUE(std::filesystem::exists(std::string(run) + "/settings/device_list.ini"));
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(run);
  }
  void TearDown() override {
    if (!old_.empty()) std::filesystem::current_path(old_);
  }
  std::filesystem::path old_;
};

TEST_F(RunFolderFiles, KeyboardLayoutIsAGuitar) {
  DeviceDesc d;
  ASSERT_TRUE(ReadKeyboardKeys(d));
  EXPECT_EQ(d.name, "Keyboard Guitar");
  EXPECT_EQ(d.kind, 3);
  EXPECT_EQ(d.buttons[slot::kGreen].codes[0], 59);
  EXPECT_EQ(d.buttons[slot::kStrumDown].codes[0], 28);
  EXPECT_EQ(d.buttons[slot::kBack].codes[0], 1);
  EXPECT_EQ(d.buttons[slot::kGreen].pressedValue, 128);
  // Every code the layout uses has a display name.
  for (const ButtonSlot& s : d.buttons.slots) {
    for (int32_t c : s.codes) {
      if (c < 0) continue;
      EXPECT_EQ(KeyNames::Name(static_cast<uint32_t>(c)).find(u"Unknown"), std::u16string::npos) << c;
    }
  }
}

TEST_F(RunFolderFiles, DeviceListDescribesPadsAndInstruments) {
  auto d = std::make_unique<DeviceDesc[]>(kMaxDeviceMatches);
  int32_t n = 0;
  ASSERT_TRUE(ReadDeviceList(d.get(), &n, 1118, 654, "Controller (XBOX 360 For Windows)"));
  ASSERT_EQ(n, 2);
  EXPECT_EQ(d[0].kind, 0);
  EXPECT_EQ(d[0].method, 1);
  EXPECT_EQ(d[1].kind, 1);
  EXPECT_EQ(d[1].buttons[slot::kStrumDown].pressedValue, 18000);
  EXPECT_EQ(d[1].buttons[slot::kStrumDown].releasedValue, -1);
  ASSERT_TRUE(ReadDeviceList(d.get(), &n, 4794, 528, "USB Drum Kit"));
  EXPECT_EQ(n, 1);
  EXPECT_EQ(d[0].buttons[slot::kCymbal].codes[0], 59);
  ASSERT_TRUE(ReadDeviceList(d.get(), &n, 121, 17, "USB Gamepad"));
  EXPECT_EQ(d[0].kind, 2);
}

TEST_F(RunFolderFiles, MidiProfilesForDrumsAndKeys) {
  auto p = std::make_unique<MidiProfile[]>(kMaxMidiProfiles);
  const int n = ReadMidiProfiles(p.get());
  ASSERT_EQ(n, 5);
  EXPECT_EQ(p[0].name, "General MIDI Drums");
  EXPECT_EQ(p[0].buttons[slot::kRed].codes[0], 38);
  EXPECT_EQ(p[0].buttons[slot::kRed].second[0], 9);
  EXPECT_EQ(p[0].buttons[slot::kRed].codes[1], 40);
  EXPECT_EQ(p[0].buttons[slot::kBass].codes[0], 36);
  EXPECT_EQ(p[1].buttons[slot::kRed].third[0], 10);
  EXPECT_EQ(p[2].type, 4);
  EXPECT_EQ(p[2].method, 1);
  EXPECT_EQ(p[3].method, 4);
  EXPECT_EQ(p[4].method, 2);
}

}  // namespace
