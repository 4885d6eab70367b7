#include "devices/midi/midi_profiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "devices/midi/tag_reader.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace {

std::unique_ptr<MidiProfile[]> Profiles() { return std::unique_ptr<MidiProfile[]>(new MidiProfile[kMaxMidiProfiles]); }

TEST(DeviceNumbers, ParseLikeTheFilesNeed) {
  struct Case {
    const char* text;
    int32_t want;
  } cases[] = {
      {"48", 48},     {"48.9", 48},   {"-1.5", -1},          {"abc", 0},           {"nan", 0},
      {"1e99", 2147483647}, {"-1e99", -2147483647 - 1}, {"inf", 2147483647}, {" 12", 12}, {"12abc", 12},
      {"", 0},
      // Only the first 40 characters count.
      {"0000000000000000000000000000000000000001234", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDeviceNumber(c.text), c.want) << c.text;
  EXPECT_EQ(ParseNumberList("38,9,0,7", 3), (std::vector<int32_t>{38, 9, 0}));
}

TEST(TagReader, CommentsMayHoldClosingBracketsAndValuesRunToTheNextTag) {
  TagReader r("junk <!-- a > b -- > c --><NAME>My Pad <x></NAME><!--x--><B>");
  std::string tag;
  ASSERT_TRUE(r.NextTag(&tag));
  EXPECT_EQ(tag, "NAME");
  EXPECT_EQ(r.Value(), "My Pad ");
  ASSERT_TRUE(r.NextTag(&tag));
  EXPECT_EQ(tag, "/NAME");
  ASSERT_TRUE(r.NextTag(&tag));
  EXPECT_EQ(tag, "B");
  EXPECT_FALSE(r.NextTag(&tag));
  // An unterminated tag or comment ends the stream without reading past it.
  TagReader cut("<NAME");
  EXPECT_FALSE(cut.NextTag(&tag));
  TagReader open("<!-- never closed > still >");
  EXPECT_FALSE(open.NextTag(&tag));
}

TEST(MidiProfiles, RepeatedButtonsAddAlternativesAndBlocksNeedTheirEnd) {
  const std::string text =
      "<DEVICE><NAME>Kit</NAME><DESCRIPTION>A kit, with <!-- > -->notes</DESCRIPTION>"
      "<TYPE>0</TYPE><METHOD>3</METHOD>"
      "<BUTTONS><RED>38,9,0</RED><RED>38,9,0</RED><BASS>36,9</BASS><STRUMUP>1,1,1</STRUMUP>"
      "<YELLOW_TOM>48,9,20</YELLOW_TOM></BUTTONS></DEVICE>"
      "<DEVICE><NAME>Cut off</NAME>";
  auto p = Profiles();
  ASSERT_EQ(ParseMidiProfiles(text, p.get()), 1);
  EXPECT_EQ(p[0].name, "Kit");
  EXPECT_EQ(p[0].description, "A kit, with ");
  EXPECT_EQ(p[0].method, 3);
  const ButtonSlot& red = p[0].buttons[slot::kRed];
  EXPECT_EQ(red.codes[0], 38);
  EXPECT_EQ(red.second[0], 9);
  EXPECT_EQ(red.codes[1], 38);
  EXPECT_EQ(red.second[1], 9);
  EXPECT_EQ(red.codes[2], -1);
  // A missing threshold leaves the field as it was.
  EXPECT_EQ(p[0].buttons[slot::kBass].codes[0], 36);
  EXPECT_EQ(p[0].buttons[slot::kBass].third[0], 0);
  EXPECT_EQ(p[0].buttons[slot::kYellowTom].third[0], 20);
  // STRUMUP is not a MIDI button.
  EXPECT_EQ(p[0].buttons[slot::kStrumUp].codes[0], -1);
  // The second block has no end: dropped, and its slot left empty.
  EXPECT_TRUE(p[1].name.empty());

  // Reading again gives the same profiles, not doubled alternatives.
  ASSERT_EQ(ParseMidiProfiles(text, p.get()), 1);
  EXPECT_EQ(p[0].buttons[slot::kRed].codes[2], -1);
}

TEST(MidiProfiles, TenAlternativesAndAHundredProfilesAreTheMost) {
  std::string text = "<DEVICE><BUTTONS>";
  for (int i = 0; i < 12; ++i) text += "<GREEN>" + std::to_string(30 + i) + ",9,0</GREEN>";
  text += "</BUTTONS></DEVICE>";
  for (int i = 1; i < 105; ++i) text += "<DEVICE><NAME>P" + std::to_string(i) + "</NAME></DEVICE>";
  auto p = Profiles();
  EXPECT_EQ(ParseMidiProfiles(text, p.get()), kMaxMidiProfiles);
  EXPECT_EQ(p[0].buttons[slot::kGreen].codes[9], 39);
  EXPECT_EQ(p[99].name, "P99");
}

TEST(MidiProfiles, MissingFileIsLoggedAndGivesNone) {
  testsupport::TempDir dir;
  auto p = Profiles();
  p[0].name = "stale";
  EXPECT_EQ(ReadMidiProfiles(p.get()), 0);
  EXPECT_TRUE(p[0].name.empty());
  auto log = dir.GameLogTexts();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Error: Could Not Open Midi Config!");

  dir.WriteBytes("settings/midi_profiles.ini", "\xEF\xBB\xBF<DEVICE>\r\n<NAME>Keys</NAME>\r\n</DEVICE>\r\n");
  platform::InvalidatePathCache();
  EXPECT_EQ(ReadMidiProfiles(p.get()), 1);
  EXPECT_EQ(p[0].name, "Keys");
}

}  // namespace
