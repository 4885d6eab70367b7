// The controller probe: which press chooses a device, how devices fill the table, the
// offsets and values of Linux input, and the program run on a replay and on a virtual
// device of the kernel where the machine offers one.
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/tools/console_process.h"
#include "tools/pad_probe/pad_probe.h"

namespace {

using platform::padprobe::PadDeviceInfo;
using platform::padprobe::PadEvent;
using platform::padprobe::PadKind;

class FakeDevice : public platform::padprobe::PadDevice {
 public:
  explicit FakeDevice(std::deque<PadEvent>* queue) : queue_(queue) {}
  int Read(PadEvent* out, int max) override {
    int n = 0;
    while (n < max && !queue_->empty()) {
      out[n++] = queue_->front();
      queue_->pop_front();
    }
    return n;
  }

 private:
  std::deque<PadEvent>* queue_;
};

// Devices in a list; each keeps its queue here so the test can feed it.
class FakeSource : public platform::padprobe::PadSource {
 public:
  std::deque<PadEvent>& Add(std::string identity, PadKind kind) {
    devices.push_back({std::move(identity), "Fake", kind});
    queues.emplace_back();
    return queues.back();
  }
  void Enumerate(const Found& found) override {
    for (size_t i = 0; i < devices.size(); ++i) found(std::make_unique<FakeDevice>(&queues[i]), devices[i]);
  }
  void Wait(int) override {}

  std::vector<PadDeviceInfo> devices;
  std::deque<std::deque<PadEvent>> queues;
};

TEST(PadProbeChoice, OnlyPressesOfKeysTheFirstTenButtonsOrTheHatUpOrDownChoose) {
  struct Case {
    PadKind kind;
    PadEvent event;
    bool chooses;
  };
  const Case cases[] = {
      {PadKind::kKeyboard, {30, 0x80}, true},    // a key goes down
      {PadKind::kKeyboard, {30, 0x00}, false},   // a key comes up
      {PadKind::kController, {48, 0x80}, true},  // button 0
      {PadKind::kController, {57, 0x80}, true},  // button 9
      {PadKind::kController, {58, 0x80}, false}, // button 10
      {PadKind::kController, {48, 0x00}, false}, // a release
      {PadKind::kController, {32, 0}, true},     // hat up
      {PadKind::kController, {32, 18000}, true}, // hat down
      {PadKind::kController, {32, 9000}, false}, // hat right
      {PadKind::kController, {32, 27000}, false},
      {PadKind::kController, {36, 0}, false},    // the second hat
      {PadKind::kController, {0, 0x80}, false},  // an axis
  };
  for (const Case& c : cases) {
    FakeSource source;
    source.Add("other", PadKind::kController);
    source.Add("dev", c.kind).push_back(c.event);
    padprobe::DeviceTable table;
    table.Enumerate(source);
    EXPECT_EQ(table.FindPressed(), c.chooses ? 1 : -1) << c.event.offset << " " << c.event.data;
  }
}

TEST(PadProbeTable, ADeviceSeenAgainReusesItsRecordAndTheTableStopsAtTwentyFive) {
  FakeSource source;
  source.Add("pad-a", PadKind::kController);
  source.Add("keys", PadKind::kKeyboard);
  auto& again = source.Add("pad-a", PadKind::kController);  // the same pad on a second node
  for (int i = 0; i < 30; ++i) source.Add("extra-" + std::to_string(i), PadKind::kController);
  padprobe::DeviceTable table;
  table.Enumerate(source);
  EXPECT_EQ(table.count(), 25);
  EXPECT_EQ(table.device(0).identity, "pad-a");
  EXPECT_TRUE(table.device(1).keyboard);
  EXPECT_EQ(table.device(2).identity, "extra-0");
  // The record reads from the node seen last.
  again.push_back({49, 0x80});
  EXPECT_EQ(table.FindPressed(), 0);
}

TEST(PadProbeMapping, HatsAndKeysTakeTheClassicValues) {
  using platform::padprobe::PovOfHat;
  EXPECT_EQ(PovOfHat(0, 0), 4294967295u);
  EXPECT_EQ(PovOfHat(0, -1), 0u);
  EXPECT_EQ(PovOfHat(1, -1), 4500u);
  EXPECT_EQ(PovOfHat(1, 0), 9000u);
  EXPECT_EQ(PovOfHat(1, 1), 13500u);
  EXPECT_EQ(PovOfHat(0, 1), 18000u);
  EXPECT_EQ(PovOfHat(-1, 1), 22500u);
  EXPECT_EQ(PovOfHat(-1, 0), 27000u);
  EXPECT_EQ(PovOfHat(-1, -1), 31500u);
  using platform::padprobe::ScanCodeOfKey;
  EXPECT_EQ(ScanCodeOfKey(KEY_ESC), 0x01u);
  EXPECT_EQ(ScanCodeOfKey(KEY_A), 0x1Eu);
  EXPECT_EQ(ScanCodeOfKey(KEY_F12), 0x58u);
  EXPECT_EQ(ScanCodeOfKey(KEY_RIGHTCTRL), 0x9Du);
  EXPECT_EQ(ScanCodeOfKey(KEY_UP), 0xC8u);
  EXPECT_EQ(ScanCodeOfKey(KEY_DOWN), 0xD0u);
  EXPECT_EQ(ScanCodeOfKey(KEY_LEFT), 0xCBu);
  EXPECT_EQ(ScanCodeOfKey(KEY_RIGHT), 0xCDu);
  EXPECT_EQ(ScanCodeOfKey(KEY_BRIGHTNESSUP), 0u);
}

std::string ProbeExe() { return std::string(VELORIN_TEST_RUN_DIR) + "/pad_probe"; }

const char* kLine1 = "Please Insure That Your Controller Was Plugged In And Turned On Before Running This Program!";
const char* kLine2 = "Please Press Any Button On The Controller You Wish To Profile";

TEST(PadProbeRun, PrintsTheChosenDevicesEventsAfterItsFirstPress) {
  testsupport::TempDir dir;
  dir.WriteBytes("replay.txt",
                 "device kbd keyboard Desk Keyboard\n"
                 "device pad controller Test Pad\n"
                 "event 1 32 9000\n"  // hat right: does not choose
                 "event 1 48 128\n"   // button 0 down: chooses the pad
                 "event 1 49 128\n"   // still buffered: dropped before printing starts
                 "wait\n"
                 "event 0 30 128\n"  // the keyboard was not chosen: never printed
                 "event 1 48 0\n"
                 "event 1 32 4294967295\n"
                 "event 1 4 65535\n");
  toolstest::ConsoleProcess probe;
  ASSERT_TRUE(probe.Start(ProbeExe(), {{"VELORIN_PAD_REPLAY", dir.Path("replay.txt")}}));
  const auto lines = probe.WaitForLines(6, 20000);
  const std::vector<std::string> want = {kLine1, "", kLine2, "Button:48Value:0", "Button:32Value:4294967295",
                                         "Button:4Value:65535"};
  EXPECT_EQ(lines, want);
  probe.Signal(SIGTERM);
  EXPECT_EQ(probe.WaitForExit(20000), 0);
}

TEST(PadProbeRun, WithNoDeviceItPromptsAndWaits) {
  testsupport::TempDir dir;
  dir.WriteBytes("replay.txt", "# nothing plugged in\n");
  toolstest::ConsoleProcess probe;
  ASSERT_TRUE(probe.Start(ProbeExe(), {{"VELORIN_PAD_REPLAY", dir.Path("replay.txt")}}));
  const auto lines = probe.WaitForLines(3, 20000);
  EXPECT_EQ(lines, (std::vector<std::string>{kLine1, "", kLine2}));
  // Still waiting for a press: it has not ended on its own.
  EXPECT_EQ(probe.WaitForLines(4, 300).size(), 3u);
  probe.Signal(SIGTERM);
  EXPECT_EQ(probe.WaitForExit(20000), 0);
}

// A virtual game pad made through the kernel's uinput: the real evdev path end to end.
class VirtualPad {
 public:
  bool Create() {
    fd_ = open("/dev/uinput", O_WRONLY | O_NONBLOCK);
    if (fd_ < 0) return false;
    ioctl(fd_, UI_SET_EVBIT, EV_KEY);
    ioctl(fd_, UI_SET_KEYBIT, BTN_SOUTH);
    ioctl(fd_, UI_SET_KEYBIT, BTN_EAST);
    ioctl(fd_, UI_SET_EVBIT, EV_ABS);
    uinput_user_dev dev{};
    std::snprintf(dev.name, sizeof dev.name, "velorin test pad");
    dev.id.bustype = BUS_VIRTUAL;
    dev.id.vendor = 0x1234;
    dev.id.product = 0x5678;
    ioctl(fd_, UI_SET_ABSBIT, ABS_HAT0X);
    ioctl(fd_, UI_SET_ABSBIT, ABS_HAT0Y);
    dev.absmin[ABS_HAT0X] = dev.absmin[ABS_HAT0Y] = -1;
    dev.absmax[ABS_HAT0X] = dev.absmax[ABS_HAT0Y] = 1;
    if (write(fd_, &dev, sizeof dev) != static_cast<ssize_t>(sizeof dev)) return false;
    return ioctl(fd_, UI_DEV_CREATE) == 0;
  }
  void Send(uint16_t type, uint16_t code, int32_t value) {
    input_event e{};
    e.type = type;
    e.code = code;
    e.value = value;
    if (write(fd_, &e, sizeof e) < 0) return;
    input_event syn{};
    syn.type = EV_SYN;
    syn.code = SYN_REPORT;
    if (write(fd_, &syn, sizeof syn) < 0) return;
  }
  ~VirtualPad() {
    if (fd_ < 0) return;
    ioctl(fd_, UI_DEV_DESTROY);
    close(fd_);
  }

 private:
  int fd_ = -1;
};

TEST(PadProbeRun, AVirtualKernelPadIsChosenAndReported) {
  if (access("/dev/uinput", W_OK) != 0) GTEST_SKIP() << "/dev/uinput is not writable here: no virtual pad";
  VirtualPad pad;
  ASSERT_TRUE(pad.Create());
  usleep(200000);  // the device node appears asynchronously
  toolstest::ConsoleProcess probe;
  ASSERT_TRUE(probe.Start(ProbeExe(), {}));
  ASSERT_EQ(probe.WaitForLines(3, 20000).size(), 3u);
  pad.Send(EV_KEY, BTN_SOUTH, 1);  // button 0 chooses the pad
  // Until the probe has made its choice, what the pad sends is dropped; press button 1
  // again until its release shows, however long the probe took.
  std::vector<std::string> lines;
  auto shows = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
  for (int tries = 0; tries < 80 && !shows("Button:49Value:0"); ++tries) {
    pad.Send(EV_KEY, BTN_EAST, 1);
    pad.Send(EV_KEY, BTN_EAST, 0);
    lines = probe.WaitForLines(lines.size() + 2, 250);
  }
  ASSERT_TRUE(shows("Button:49Value:128"));
  ASSERT_TRUE(shows("Button:49Value:0"));
  pad.Send(EV_ABS, ABS_HAT0Y, 1);
  lines = probe.WaitForLines(lines.size() + 1, 20000);
  EXPECT_EQ(lines.back(), "Button:32Value:18000");
  probe.Signal(SIGTERM);
  EXPECT_EQ(probe.WaitForExit(20000), 0);
}

}  // namespace
