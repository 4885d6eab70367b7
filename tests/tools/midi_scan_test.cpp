// midi_scan run as a person runs it: a scripted instrument plays, the console shows
// what reached the first device, Esc typed on the keyboard ends it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/tools/console_process.h"

namespace {

const char* kBanner = "Velorin Midi Scan Tool v1.2 - NOXE";
const char* kPause = "Press any key to continue . . . ";

class MidiScanRun : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    const fs::path built = fs::path(VELORIN_TEST_RUN_DIR) / "midi_scan";
    ASSERT_TRUE(fs::exists(built)) << built;
    // The tool works in its own folder: a copy keeps its log and settings in the test's folder.
    exe = dir.Path("midi_scan");
    fs::copy_file(built, exe);
  }
  void Script(const std::string& text) { dir.WriteBytes("script.txt", text); }
  bool Start() { return process.Start(exe, {{"VELORIN_MIDI_SCRIPT", dir.Path("script.txt")}}); }

  testsupport::TempDir dir;
  std::string exe;
  toolstest::ConsoleProcess process;
};

TEST_F(MidiScanRun, PrintsWhatReachesTheFirstDeviceUntilEscape) {
  dir.WriteBytes("settings/midi_profiles.ini", "<DEVICE><NAME>Keys</NAME><METHOD>1</METHOD></DEVICE>");
  std::string longSysex = "send 0 F0";
  for (int i = 0; i < 98; ++i) longSysex += " 11";
  Script("device Keys\n"
         "device Pads\n"
         "send 1 90 30 40\n"  // a second device's messages are queued, never shown
         "send 0 90 3C 64\n"
         "send 0 F8\n"  // timing and other system messages are not shown
         "send 0 B5 07 7F\n"
         "send 0 FE\n"
         "send 0 F0 7E 7F 09 01 F7\n" +
         longSysex + " F7\n");
  ASSERT_TRUE(Start());
  const auto lines = process.WaitForLines(5, 20000);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], kBanner);
  EXPECT_EQ(lines[1], "Device: 00  Type: 09  Channel: 00 Note: 60  Value: 100");
  EXPECT_EQ(lines[2], "Device: 00  Type: 11  Channel: 05 Note: 07  Value: 127");
  EXPECT_EQ(lines[3], "Sysex: 240 126 127 09 01 247");
  // A message longer than the layer keeps shows the 64 bytes it kept.
  std::string kept = "Sysex: 240";
  for (int i = 0; i < 63; ++i) kept += " 17";
  EXPECT_EQ(lines[4], kept);

  process.Type("\x1b");
  const auto all = toolstest::SplitLines(process.ReadToEnd(20000));
  EXPECT_EQ(process.WaitForExit(20000), 0);
  ASSERT_EQ(all.size(), 6u);
  EXPECT_EQ(all[5], kPause);
  // The layer's device lines went to the log, not to the console.
  const auto log = dir.GameLogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "2 MIDI Devices Found"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "MIDI Device 0 Keys Found!"), log.end());
  EXPECT_EQ(std::find(log.begin(), log.end(), "Error: Could Not Open Midi Config!"), log.end());
}

TEST_F(MidiScanRun, WithoutDevicesOnlyTheBannerAndThePauseAppear) {
  Script("# no instrument attached\n");
  ASSERT_TRUE(Start());
  const std::string out = process.ReadToEnd(20000);
  EXPECT_EQ(process.WaitForExit(20000), 0);
  EXPECT_EQ(out, std::string(kBanner) + "\n" + kPause + "\n");
  const auto log = dir.GameLogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "0 MIDI Devices Found"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "Error: Could Not Open Midi Config!"), log.end());
}

TEST_F(MidiScanRun, AScriptItCannotUseIsLoggedAndEndsLikeNoDevices) {
  Script("device Keys\nsend 3 90 3C 64\n");
  ASSERT_TRUE(Start());
  const std::string out = process.ReadToEnd(20000);
  EXPECT_EQ(process.WaitForExit(20000), 0);
  EXPECT_EQ(out, std::string(kBanner) + "\n" + kPause + "\n");
  const auto log = dir.GameLogTexts();
  EXPECT_NE(std::find(log.begin(), log.end(), "MIDI Script Not Used: line 2: send names no declared device"),
            log.end());
}

}  // namespace
