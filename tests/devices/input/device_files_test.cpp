#include "devices/input/device_files.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace {

std::string Block(const std::string& name, int vid, int pid, const std::string& more = "") {
  return "<DEVICE><NAME>" + name + "</NAME><VID>" + std::to_string(vid) + "</VID><PID>" + std::to_string(pid) +
         "</PID>" + more + "</DEVICE>\n";
}

struct ListResult {
  bool ok;
  int32_t count;
  std::unique_ptr<DeviceDesc[]> d;
};
ListResult Parse(const std::string& text, int vid = 4794, int pid = 528, const std::string& name = "Pad") {
  ListResult r{false, -7, std::make_unique<DeviceDesc[]>(kMaxDeviceMatches)};
  r.ok = ParseDeviceList(text, r.d.get(), &r.count, vid, pid, name);
  return r;
}

TEST(DeviceList, MatchesByVidPidAndExactName) {
  const std::string text = "<!-- controllers > all -->" + Block("Pad", 4794, 528, "<TYPE>0</TYPE><MAGICBUTTON>3</MAGICBUTTON>") +
                           Block("pad", 4794, 528) + Block("Pad", 4794, 529) +
                           Block("Pad", 4794, 528, "<TYPE>1</TYPE><FNAME>Second</FNAME>");
  auto r = Parse(text);
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.count, 2);
  EXPECT_EQ(r.d[0].kind, 0);
  EXPECT_EQ(r.d[0].magicButton, 3);
  EXPECT_EQ(r.d[1].kind, 1);
  EXPECT_EQ(r.d[1].kindCopy, 1);
  EXPECT_EQ(r.d[1].friendlyName, "Second");
  EXPECT_EQ(r.d[1].magicButton, -1);  // reset per block

  auto none = Parse(text, 1, 2);
  EXPECT_FALSE(none.ok);
  EXPECT_EQ(none.count, -7);  // untouched
}

TEST(DeviceList, ButtonValues) {
  struct Case {
    const char* value;
    int32_t code, pressed, released;
  } cases[] = {
      {"48,128,0", 48, 128, 0}, {"48.9,128", 48, 128, 0}, {"-1.5", -1, 0, 0}, {"abc,nan,1e99", 0, 0, 2147483647},
      {"32,9000,-1,77", 32, 9000, -1},
  };
  for (const Case& c : cases) {
    auto r = Parse(Block("Pad", 4794, 528, std::string("<BUTTONS><GREEN>") + c.value + "</GREEN></BUTTONS>"));
    ASSERT_TRUE(r.ok) << c.value;
    const ButtonSlot& s = r.d[0].buttons[slot::kGreen];
    EXPECT_EQ(s.codes[0], c.code) << c.value;
    EXPECT_EQ(s.pressedValue, c.pressed) << c.value;
    EXPECT_EQ(s.releasedValue, c.released) << c.value;
    EXPECT_EQ(s.codes[1], -1);
  }
}

TEST(DeviceList, BoundsHoldForHostileFiles) {
  // More matching blocks than the caller's 40 records.
  std::string many;
  for (int i = 0; i < 50; ++i) many += Block("Pad", 4794, 528, "<TYPE>" + std::to_string(i % 8) + "</TYPE>");
  auto r = Parse(many);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.count, kMaxDeviceMatches);
  EXPECT_EQ(r.d[39].kind, 39 % 8);

  // A name over 279 characters is cut; the match compares what the device reports.
  const std::string longName(600, 'x');
  auto cut = Parse(Block(longName, 1, 1), 1, 1, longName.substr(0, 279));
  ASSERT_TRUE(cut.ok);
  EXPECT_EQ(cut.d[0].name.size(), 279u);

  // A block without VID and PID does not inherit the previous block's.
  auto inherit = Parse(Block("Other", 4794, 528) + "<DEVICE><NAME>Pad</NAME></DEVICE>");
  EXPECT_FALSE(inherit.ok);

  // Without "/BUTTONS" the list runs to the end of the file, so the block never ends.
  auto swallowed = Parse("<DEVICE><NAME>Pad</NAME><VID>4794</VID><PID>528</PID><BUTTONS><GREEN>1</GREEN></DEVICE>" +
                         Block("Pad", 4794, 528));
  EXPECT_FALSE(swallowed.ok);
  // A block cut off by the end of the file is dropped.
  EXPECT_FALSE(Parse("<DEVICE><NAME>Pad</NAME><VID>4794</VID><PID>528</PID>").ok);
}

TEST(DeviceList, MissingFileFails) {
  testsupport::TempDir dir;
  auto d = std::make_unique<DeviceDesc[]>(kMaxDeviceMatches);
  int32_t count = -1;
  EXPECT_FALSE(ReadDeviceList(d.get(), &count, 1, 2, "Pad"));
  EXPECT_EQ(count, -1);
  dir.WriteBytes("settings/device_list.ini", "\xEF\xBB\xBF" + Block("Pad", 1, 2));
  platform::InvalidatePathCache();
  EXPECT_TRUE(ReadDeviceList(d.get(), &count, 1, 2, "Pad"));
  EXPECT_EQ(count, 1);
}

TEST(KeyboardKeys, TheBlockWithConfigZeroWinsAndInheritsEarlierSlots) {
  const std::string text =
      "<DEVICE><NAME>First</NAME><CONFIG>1</CONFIG><BUTTONS><GREEN>59</GREEN><RED>60</RED></BUTTONS></DEVICE>\r\n"
      "<DEVICE><NAME>Second</NAME><CONFIG>0</CONFIG><BUTTONS><RED>30,31</RED>"
      "<BLUE>1,2,3,4,5,6,7,8,9,10,11</BLUE><YELLOW_2>22</YELLOW_2></BUTTONS></DEVICE>\r\n"
      "<DEVICE><NAME>Third</NAME><CONFIG>0</CONFIG></DEVICE>";
  DeviceDesc d;
  d.kind = 1;
  ASSERT_TRUE(ParseKeyboardKeys(text, d));
  EXPECT_EQ(d.name, "Second");
  EXPECT_EQ(d.kind, 3);
  EXPECT_EQ(d.buttons[slot::kGreen].codes[0], 59);  // left over from the first block
  const ButtonSlot& red = d.buttons[slot::kRed];
  EXPECT_EQ(red.codes[0], 30);
  EXPECT_EQ(red.codes[1], 31);
  EXPECT_EQ(red.codes[2], -1);
  EXPECT_EQ(red.pressedValue, 128);
  EXPECT_EQ(red.releasedValue, 0);
  EXPECT_EQ(d.buttons[slot::kBlue].codes[9], 10);  // ten codes at most
  EXPECT_EQ(d.buttons[slot::kYellowTom].codes[0], 22);

  DeviceDesc untouched;
  untouched.name = "Mine";
  ASSERT_TRUE(ParseKeyboardKeys("<DEVICE><CONFIG>1</CONFIG></DEVICE>", untouched));
  EXPECT_EQ(untouched.name, "Mine");
  testsupport::TempDir dir;
  EXPECT_TRUE(ReadKeyboardKeys(untouched));
  EXPECT_EQ(untouched.name, "Mine");
}

TEST(KeyNames, NamesAndUnknownCodes) {
  struct Case {
    uint32_t code;
    const char16_t* name;
  } cases[] = {{57, u"Space"}, {83, u"Del"}, {211, u"Delete"}, {84, u"Unknown:84"}, {0, u"Unknown:0"},
               {1, u"Esc"},    {11, u"0"},  {43, u"\\"},      {86, u"\\"},          {88, u"F12"},
               {156, u"Enter"}, {200, u"Up Arrow"}, {55, u"N*"}, {68, u"F10"}, {82, u"N0"}, {255, u"Unknown:255"}};
  for (const Case& c : cases) EXPECT_EQ(KeyNames::Name(c.code), c.name) << c.code;
}

}  // namespace
