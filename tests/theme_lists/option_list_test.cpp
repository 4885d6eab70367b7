// Option lists: stepping numbers and choices through bound variables, linked settings,
// reading bound values back, the cursor, and the value texts of each kind.
#include <gtest/gtest.h>

#include <string>

#include "theme/option_list.h"

namespace theme {
namespace {

MenuChoice Choice(std::u16string label, int32_t value, int32_t group = 0) {
  MenuChoice c;
  c.label = std::move(label);
  c.intValue = value;
  c.groupId = group;
  return c;
}

TEST(MenuSettingNumeric, StepsAndLimitsTable) {
  struct Case {
    const char* name;
    bool useFloat;
    float startFloat;
    int32_t startInt;
    int32_t step;
    bool previous;  // Previous raises, Next lowers
    float wantFloat;
    int32_t wantInt;
  };
  const Case cases[] = {
      {"float at maximum stays", true, 100.0f, 0, 1, true, 100.0f, 0},
      {"float just below maximum steps past it", true, 99.95f, 0, 1, true, 100.05f, 0},
      {"float above minimum steps down", true, 5.0f, 0, 1, false, 4.9f, 0},
      {"float at minimum stays", true, -100.0f, 0, 1, false, -100.0f, 0},
      {"float just above minimum ends below it", true, -99.95f, 0, 1, false, -100.05f, 0},
      {"int raised past maximum is clamped", false, 0, 98, 5, true, 0, 100},
      {"int lowered past minimum is clamped", false, 0, -98, 5, false, 0, -100},
      {"int steps by its step", false, 0, 10, 5, false, 0, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MenuSetting s;
    s.kind = SettingKind::kNumeric;
    s.step = c.step;
    float f = c.startFloat;
    int32_t i = c.startInt;
    if (c.useFloat) s.boundFloat = &f; else s.boundInt = &i;
    if (c.previous) s.Previous(); else s.Next();
    if (c.useFloat) EXPECT_NEAR(f, c.wantFloat, 1e-4f); else EXPECT_EQ(i, c.wantInt);
  }
}

TEST(MenuSettingChoice, NextAndPreviousStayInGroupAndDoNotWrap) {
  OptionList list;
  list.Allocate(1, 8);
  MenuSetting& s = list.settings[0];
  list.count = 1;
  s.kind = SettingKind::kChoice;
  s.groupId = 1;
  int32_t bound = -1;
  s.boundInt = &bound;
  s.choices[0] = Choice(u"a", 10, 1);
  s.choices[1] = Choice(u"other group", 11, 2);
  s.choices[2] = Choice(u"b", 12, 1);
  s.choiceCount = 3;

  s.Next();
  EXPECT_EQ(s.current, 2);
  EXPECT_EQ(bound, 12);
  bound = 99;
  s.Next();  // last offered choice: nothing changes, nothing is written
  EXPECT_EQ(s.current, 2);
  EXPECT_EQ(bound, 99);
  s.Previous();
  EXPECT_EQ(s.current, 0);
  EXPECT_EQ(bound, 10);
  s.Previous();
  EXPECT_EQ(s.current, 0);
}

TEST(MenuSettingChoice, LinkedSettingFollowsParentEvenAtTheEnd) {
  OptionList list;
  list.Allocate(2, 8);
  list.count = 2;
  MenuSetting& parent = list.settings[0];
  MenuSetting& child = list.settings[1];
  parent.kind = SettingKind::kChoice;
  child.kind = SettingKind::kChoice;
  parent.choices[0] = Choice(u"p0", 0);
  parent.choices[1] = Choice(u"p1", 1);
  parent.choiceCount = 2;
  parent.linked = &child;
  int32_t childValue = 0;
  child.boundInt = &childValue;
  child.choices[0] = Choice(u"c0a", 100, 0);
  child.choices[1] = Choice(u"c1a", 200, 1);
  child.choices[2] = Choice(u"c1b", 201, 1);
  child.choiceCount = 3;

  parent.Next();
  EXPECT_EQ(child.groupId, 1);
  EXPECT_EQ(child.current, 1);
  EXPECT_EQ(childValue, 200);

  child.Next();
  EXPECT_EQ(childValue, 201);
  parent.Next();  // parent already on its last choice: the child is still re-selected
  EXPECT_EQ(parent.current, 1);
  EXPECT_EQ(child.current, 1);
  EXPECT_EQ(childValue, 200);

  parent.Previous();
  EXPECT_EQ(child.groupId, 0);
  EXPECT_EQ(childValue, 100);
}

TEST(MenuSettingChoice, ApplyWritesEveryBoundKind) {
  MenuSetting s;
  s.kind = SettingKind::kChoice;
  s.capacity = 1;
  s.choices = std::make_unique<MenuChoice[]>(1);
  s.choiceCount = 1;
  MenuChoice& c = s.choices[0];
  c.narrowValue = "n";
  c.wideValue = u"w";
  c.floatValue = 1.5f;
  c.byteValue = 7;
  c.intValue = 3;
  c.secondIntValue = 4;
  std::string n;
  std::u16string w;
  float f = 0;
  uint8_t b = 0;
  int32_t i = 0, i2 = 0;
  s.boundNarrow = &n;
  s.boundWide = &w;
  s.boundFloat = &f;
  s.boundByte = &b;
  s.boundInt = &i;
  s.boundSecondInt = &i2;
  s.Apply();
  EXPECT_EQ(n, "n");
  EXPECT_EQ(w, u"w");
  EXPECT_EQ(f, 1.5f);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(i, 3);
  EXPECT_EQ(i2, 4);
}

TEST(MenuSettingChoice, EmptyChoiceListWritesNothing) {
  MenuSetting s;  // no choices allocated at all
  s.kind = SettingKind::kChoice;
  int32_t bound = 42;
  s.boundInt = &bound;
  s.Apply();
  s.Next();
  s.SelectFirstOfGroup();
  EXPECT_EQ(bound, 42);
  EXPECT_EQ(s.GetValueText(), u"");
}

TEST(OptionListSync, PlacesEachSettingOnItsBoundValue) {
  OptionList list;
  list.Allocate(4, 8);
  list.count = 4;

  // 0: two choices match the bound int: the later one wins.
  int32_t volume = 5;
  MenuSetting& a = list.settings[0];
  a.kind = SettingKind::kChoice;
  a.boundInt = &volume;
  a.choices[0] = Choice(u"x", 1);
  a.choices[1] = Choice(u"y", 5);
  a.choices[2] = Choice(u"z", 5);
  a.choiceCount = 3;

  // 1: an int pair must match both.
  int32_t w = 1280, h = 720;
  MenuSetting& b = list.settings[1];
  b.kind = SettingKind::kChoice;
  b.boundInt = &w;
  b.boundSecondInt = &h;
  b.choices[0] = Choice(u"1280x1024", 1280);
  b.choices[0].secondIntValue = 1024;
  b.choices[1] = Choice(u"1280x720", 1280);
  b.choices[1].secondIntValue = 720;
  b.choices[2] = Choice(u"1920x1080", 1920);
  b.choices[2].secondIntValue = 1080;
  b.choiceCount = 3;
  b.linked = &list.settings[2];

  // 2: linked child, synced with the group the parent just gave it.
  std::string device = "second";
  MenuSetting& c = list.settings[2];
  c.kind = SettingKind::kChoice;
  c.boundNarrow = &device;
  c.choices[0] = Choice(u"first", 0, 0);
  c.choices[0].narrowValue = "second";
  c.choices[1] = Choice(u"second", 0, 1);
  c.choices[1].narrowValue = "second";
  c.choices[2] = Choice(u"third", 0, 1);
  c.choices[2].narrowValue = "third";
  c.choiceCount = 3;

  // 3: a value no choice offers leaves it on 0.
  std::u16string name = u"nobody";
  MenuSetting& d = list.settings[3];
  d.kind = SettingKind::kChoice;
  d.boundWide = &name;
  d.current = 2;
  d.choices[0] = Choice(u"a", 0);
  d.choices[0].wideValue = u"a";
  d.choices[1] = Choice(u"b", 0);
  d.choices[1].wideValue = u"b";
  d.choiceCount = 2;

  list.SyncFromBindings();
  EXPECT_EQ(a.current, 2);
  EXPECT_EQ(b.current, 1);
  EXPECT_EQ(c.groupId, 1);
  EXPECT_EQ(c.current, 1);
  EXPECT_EQ(d.current, 0);
  EXPECT_EQ(volume, 5);  // nothing is written back
  EXPECT_EQ(device, "second");
}

TEST(OptionListCursor, MovesClampedAndEditsTheCursorSetting) {
  OptionList list;
  list.Allocate(3, 2);
  list.count = 3;
  int32_t value = 10;
  list.settings[0].kind = SettingKind::kNumeric;
  list.settings[0].boundInt = &value;
  list.settings[1].kind = SettingKind::kDisplay;
  list.settings[2].kind = SettingKind::kChoice;
  list.settings[2].locked = 1;

  EXPECT_TRUE(list.Up());
  EXPECT_EQ(list.cursor, 0);
  EXPECT_TRUE(list.ToggleEdit());
  EXPECT_TRUE(list.Up());  // editing: raises
  EXPECT_EQ(value, 11);
  EXPECT_TRUE(list.Down());
  EXPECT_TRUE(list.Down());
  EXPECT_EQ(value, 9);
  EXPECT_EQ(list.cursor, 0);
  EXPECT_TRUE(list.ToggleEdit());
  EXPECT_EQ(list.editing, 0);

  list.Down();
  EXPECT_FALSE(list.ToggleEdit());  // display item
  list.Down();
  EXPECT_FALSE(list.ToggleEdit());  // locked
  EXPECT_EQ(list.editing, 0);
  EXPECT_TRUE(list.Down());
  EXPECT_EQ(list.cursor, 2);

  OptionList empty;
  empty.Allocate(4, 4);
  EXPECT_FALSE(empty.ToggleEdit());
  EXPECT_TRUE(empty.Down());
  EXPECT_EQ(empty.cursor, 0);
  EXPECT_EQ(empty.previousCursor, -1);
}

TEST(OptionListAllocate, ReallocatingReplacesTheArrays) {
  OptionList list;
  list.Allocate(2, 3);
  list.count = 2;
  list.Allocate(5, 7);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.allocated, 5);
  EXPECT_EQ(list.settings[4].capacity, 7);
  EXPECT_EQ(list.settings[4].choices[6].label, u"NO NAME");
  EXPECT_EQ(list.settings[4].name, u"No Name");
  EXPECT_EQ(list.settings[4].kind, SettingKind::kUnset);
}

TEST(MenuSettingText, ValueTextOfEachKind) {
  int32_t i = -7;
  float f = 0.25f;
  std::string n = "caf\xc3\xa9";
  std::u16string w = u"wide";
  uint8_t b = 200;
  struct Case {
    const char* name;
    SettingKind kind;
    bool bindInt, bindNarrow, bindWide, bindFloat, bindByte;
    std::u16string want;
  };
  const Case cases[] = {
      {"unset kind", SettingKind::kUnset, true, false, false, false, false, u"ERROR"},
      {"numeric int first", SettingKind::kNumeric, true, false, false, true, false, u"-7"},
      {"numeric float", SettingKind::kNumeric, false, false, false, true, false, u"0.25"},
      {"numeric nothing bound", SettingKind::kNumeric, false, false, false, false, false, u"ERROR"},
      {"display int before others", SettingKind::kDisplay, true, true, true, true, true, u"-7"},
      {"display narrow before wide", SettingKind::kDisplay, false, true, true, true, true, u"caf\u00e9"},
      {"display wide", SettingKind::kDisplay, false, false, true, true, true, u"wide"},
      {"display float", SettingKind::kDisplay, false, false, false, true, true, u"0.25"},
      {"display byte", SettingKind::kDisplay, false, false, false, false, true, u"200"},
      {"display nothing bound", SettingKind::kDisplay, false, false, false, false, false, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MenuSetting s;
    s.kind = c.kind;
    if (c.bindInt) s.boundInt = &i;
    if (c.bindNarrow) s.boundNarrow = &n;
    if (c.bindWide) s.boundWide = &w;
    if (c.bindFloat) s.boundFloat = &f;
    if (c.bindByte) s.boundByte = &b;
    EXPECT_EQ(s.GetValueText(), c.want);
  }

  MenuSetting choice;
  choice.kind = SettingKind::kChoice;
  choice.capacity = 2;
  choice.choices = std::make_unique<MenuChoice[]>(2);
  choice.choices[1].label = u"Enabled";
  choice.choiceCount = 2;
  choice.current = 1;
  EXPECT_EQ(choice.GetValueText(), u"Enabled");
}

}  // namespace
}  // namespace theme
