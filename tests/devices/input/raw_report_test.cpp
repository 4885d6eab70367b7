// Raw HID reports of the input layer's devices (what real-guitar controllers send):
// queued per device in order, cut to their size limit, bounded, and gone with the
// device.
#include <gtest/gtest.h>

#include <vector>

#include "platform/input/scripted_input.h"

using namespace platform::input;

TEST(RawReports, QueueInOrderBoundedAndEndWithTheDevice) {
  ScriptedInputBackend input;
  input.AttachJoystick("guitar", 0x1BAD, 0x3430, "Real guitar");
  input.AttachJoystick("pad", 0x045E, 0x028E, "Pad");
  std::vector<uint8_t> out;
  EXPECT_FALSE(input.ReadRawReport("guitar", &out));  // nothing sent yet

  const std::vector<uint8_t> first = {0x01, 0x20, 0x03};
  std::vector<uint8_t> longReport(100);
  for (size_t i = 0; i < longReport.size(); ++i) longReport[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(input.AddRawReport("guitar", first.data(), first.size()));
  ASSERT_TRUE(input.AddRawReport("guitar", longReport.data(), longReport.size()));
  EXPECT_FALSE(input.AddRawReport("nobody", first.data(), first.size()));

  ASSERT_TRUE(input.ReadRawReport("guitar", &out));
  EXPECT_EQ(out, first);
  ASSERT_TRUE(input.ReadRawReport("guitar", &out));
  ASSERT_EQ(out.size(), kMaxRawReport);  // cut to the limit
  EXPECT_EQ(out.back(), static_cast<uint8_t>(kMaxRawReport - 1));
  EXPECT_FALSE(input.ReadRawReport("guitar", &out));
  EXPECT_FALSE(input.ReadRawReport("pad", &out));  // each device has its own queue

  // A device that is not read keeps only the newest reports.
  for (size_t i = 0; i < kRawReportQueue + 10; ++i) {
    const uint8_t b = static_cast<uint8_t>(i);
    input.AddRawReport("guitar", &b, 1);
  }
  ASSERT_TRUE(input.ReadRawReport("guitar", &out));
  EXPECT_EQ(out, std::vector<uint8_t>{10});
  // Unplugged: what waited is gone, and nothing more arrives.
  input.DetachDevice("guitar");
  EXPECT_FALSE(input.ReadRawReport("guitar", &out));
  EXPECT_FALSE(input.AddRawReport("guitar", first.data(), first.size()));
}
