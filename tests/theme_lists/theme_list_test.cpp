// List elements: the keys of a list block, the window that follows the selection, the
// placement of rows, selector and scroll thumb, row replacement pictures, and the row
// animations each row owns.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "theme/theme_list.h"
#include "theme_fixture.h"

namespace theme {
namespace {

using testing::ThemeScene;

std::vector<MenuListEntry> Entries(int n) {
  std::vector<MenuListEntry> rows(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) rows[static_cast<size_t>(i)].text = u"row " + std::u16string(1, char16_t(u'a' + i % 26));
  return rows;
}

// Marks an image as not drawn, so a draw shows as a change of its placement.
constexpr float kNotDrawn = -99999.0f;
void MarkUndrawn(ThemeImage& image) { image.image.transform.position.x = kNotDrawn; }
bool WasDrawn(const ThemeImage& image) { return image.image.transform.position.x != kNotDrawn; }

TEST(ThemeListParse, KeysTable) {
  struct Case {
    const char* block;
    bool horizontal;
    int32_t viewCount;
    uint32_t flags;
    float justification;
    float listAlign;
  };
  const Case cases[] = {
      {"<horizontal>true</horizontal>", true, 20, 0, 0.0f, 0.0f},
      {"<horizontal>YES</horizontal>", true, 20, 0, 0.0f, 0.0f},
      {"<horizontal>1</horizontal>", false, 20, 0, 0.0f, 0.0f},
      {"<horizontal> true</horizontal>", false, 20, 0, 0.0f, 0.0f},
      {"<view_count>0</view_count>", false, 1, 0, 0.0f, 0.0f},
      {"<view_count>-5</view_count>", false, 1, 0, 0.0f, 0.0f},
      {"<view_count>7</view_count><view_count>9</view_count>", false, 9, 0, 0.0f, 0.0f},
      {"<system>z_clear</system><system>no_culling</system>", false, 20, kZClear | kNoCulling, 0.0f, 0.0f},
      {"<z_clear><no_culling>", false, 20, 0, 0.0f, 0.0f},
      {"<justification>center</justification><list_align>bottom</list_align>", false, 20, 0, 0.5f, 1.0f},
      {"<justification>centre</justification><list_align>middle</list_align>", false, 20, 0, 0.0f, 0.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    ThemeScene scene;
    auto list = scene.Parse<ThemeList>(std::string(c.block) + "</list>");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->horizontal, c.horizontal);
    EXPECT_EQ(list->viewCount, c.viewCount);
    EXPECT_EQ(list->flags, c.flags);
    EXPECT_EQ(list->transform.justification.x, c.justification);
    EXPECT_EQ(list->listAlign, c.listAlign);
  }
}

TEST(ThemeListParse, RowKeysAndChildrenStopAtTheEndTag) {
  ThemeScene scene;
  auto list = scene.Parse<ThemeList>(
      "<id>list_name</id><font>title</font><size>12</size><case>upper</case><max_length>30</max_length>"
      "<leading>64</leading><screen_pos>30,40</screen_pos>"
      "<fx><id>list_name</id><inherit_sub_id>true</inherit_sub_id><trigger>hover_on</trigger></fx>"
      "<image><selector>true</selector></image></list><image><id>after</id></image>");
  ASSERT_TRUE(list);
  EXPECT_EQ(list->id, u"list_name");
  EXPECT_EQ(list->font, u"title");
  EXPECT_EQ(list->size, 12.0f);
  EXPECT_EQ(list->textCase, 1);
  EXPECT_EQ(list->maxLength, 30);
  EXPECT_EQ(list->leading, 64.0f);
  EXPECT_NEAR(list->screenPos.x, 0.3f, 1e-6f);
  ASSERT_EQ(list->fxs.size(), 1u);
  EXPECT_TRUE(list->fxs[0].inheritSubId);
  ASSERT_EQ(list->images.size(), 1u);
  EXPECT_TRUE(list->images[0]->selector);
}

// A list of 20 visible rows with a selector and a scroll thumb, leading 50, anchored at
// the screen's centre.
struct WindowCase {
  const char* name;
  int count;
  std::vector<int32_t> selections;  // applied in turn; kNoPointer: no selected-index pointer
  int32_t wantFirst;
  bool wantSelector;
  float wantSelectorY;
  float wantThumbY;
};
constexpr int32_t kNoPointer = -1000;

TEST(ThemeListWindow, FollowsTheSelectionTable) {
  const WindowCase cases[] = {
      {"moves down just far enough", 30, {0, 25}, 6, true, -19 * 50.0f, -(6.0f / 10.0f) * 19 * 50.0f},
      {"moves back up", 30, {0, 25, 3}, 3, true, 0.0f, -(3.0f / 10.0f) * 19 * 50.0f},
      {"no pointer selects the last visible row", 30, {kNoPointer}, 0, true, -19 * 50.0f, 0.0f},
      {"no pointer on a short list draws no selector", 5, {kNoPointer}, 0, false, 0, 0.0f},
      {"no selection shows the top and no selector", 30, {-1}, 0, false, 0, 0.0f},
      {"a stale selection shows the last rows, no selector", 30, {40}, 10, false, 0, -19 * 50.0f},
      {"an empty list still draws its thumb at the top", 0, {0}, 0, false, 0, 0.0f},
      {"a list that just fits keeps its thumb at the top", 20, {19}, 0, true, -19 * 50.0f, 0.0f},
  };
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(c.name);
    ThemeScene scene;
    auto list = scene.Parse<ThemeList>(
        "<view_count>20</view_count><image><selector>true</selector></image>"
        "<image><scrollbar>true</scrollbar></image></list>");
    ASSERT_TRUE(list);
    const std::vector<MenuListEntry> rows = Entries(c.count);
    int32_t selected = 0;
    list->SetItems(rows.data(), c.selections[0] == kNoPointer ? nullptr : &selected, c.count);
    for (int32_t s : c.selections) {
      selected = s;
      MarkUndrawn(*list->images[0]);
      MarkUndrawn(*list->images[1]);
      list->Draw(nullptr);
    }
    EXPECT_EQ(list->first, c.wantFirst);
    EXPECT_EQ(WasDrawn(*list->images[0]), c.wantSelector);
    if (c.wantSelector) {
      EXPECT_NEAR(list->images[0]->image.transform.position.y, c.wantSelectorY, 1e-3f);
    }
    ASSERT_TRUE(WasDrawn(*list->images[1]));
    EXPECT_NEAR(list->images[1]->image.transform.position.y, c.wantThumbY, 1e-3f);
    EXPECT_FALSE(std::isnan(list->images[1]->image.transform.position.y));
  }
}

TEST(ThemeListLayout, RowsStandByAlignmentAndDirection) {
  struct Case {
    const char* keys;
    float wantA[2], wantC[2];  // x, y of rows "a" and "c"
  };
  // Base point: screen_pos 25,50 in a 16:9 window gives x = -640.
  const Case cases[] = {
      {"", {-640, 0}, {-640, -100}},
      {"<list_align>middle</list_align>", {-640, 50}, {-640, -50}},
      {"<list_align>bottom</list_align>", {-640, 100}, {-640, 0}},
      {"<horizontal>yes</horizontal>", {-640, 0}, {-540, 0}},
      {"<horizontal>yes</horizontal><list_align>bottom</list_align>", {-740, 0}, {-640, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    ThemeScene scene;
    auto list = scene.Parse<ThemeList>(std::string("<screen_pos>25,50</screen_pos>") + c.keys +
                                       "<image><replace_id>a</replace_id></image>"
                                       "<image><replace_id>C</replace_id></image></list>");
    ASSERT_TRUE(list);
    std::vector<MenuListEntry> rows(3);
    rows[0].text = u"a";
    rows[1].text = u"b";
    rows[2].text = u"c";
    int32_t selected = 0;
    list->SetItems(rows.data(), &selected, 3);
    list->Draw(nullptr);
    const auto& a = list->images[0]->image.transform.position;
    const auto& cc = list->images[1]->image.transform.position;
    EXPECT_NEAR(a.x, c.wantA[0], 1e-3f);
    EXPECT_NEAR(a.y, c.wantA[1], 1e-3f);
    EXPECT_NEAR(cc.x, c.wantC[0], 1e-3f);
    EXPECT_NEAR(cc.y, c.wantC[1], 1e-3f);
  }
}

TEST(ThemeListRows, EmptyTextIsNotReplacedAndMissingEntriesGiveNoRows) {
  ThemeScene scene;
  auto list = scene.Parse<ThemeList>("<image><generic_replacer>true</generic_replacer></image></list>");
  ASSERT_TRUE(list);
  std::vector<MenuListEntry> rows(2);  // both texts empty
  list->SetItems(rows.data(), nullptr, 2);
  MarkUndrawn(*list->images[0]);
  list->Draw(nullptr);
  EXPECT_FALSE(WasDrawn(*list->images[0]));
  rows[1].text = u"now";  // texts are read at every draw
  list->Draw(nullptr);
  EXPECT_TRUE(WasDrawn(*list->images[0]));

  list->SetItems(nullptr, nullptr, 2);
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_TRUE(list->Draw(nullptr));
}

constexpr const char* kHoverList =
    "<id>list_name</id>"
    "<fx><id>list_name</id><inherit_sub_id>true</inherit_sub_id><trigger>hover_on</trigger>"
    "<target>scale_x</target><fx_type>set</fx_type><end>115</end></fx>"
    "<fx><id>list_name</id><trigger>hover_on</trigger><sub_id>3</sub_id>"
    "<target>position_x</target><fx_type>set</fx_type><end>40</end></fx>"
    "<image><generic_replacer>true</generic_replacer></image></list>";

TEST(ThemeListRows, AnEventAnimatesItsRowAlone) {
  ThemeScene scene;
  auto list = scene.Parse<ThemeList>(kHoverList);
  ASSERT_TRUE(list);
  const std::vector<MenuListEntry> rows = Entries(7);
  int32_t selected = 3;
  list->SetItems(rows.data(), &selected, 7);
  for (int32_t i = 0; i < 7; ++i) {
    ASSERT_EQ(list->Row(i).fxs.size(), 1u) << i;  // the inherited fx only
    EXPECT_EQ(list->Row(i).fxs[0].subId, std::u16string(1, char16_t(u'0' + i)));
  }
  list->TriggerFxBySubId("list_name", "3", "hover_on");
  for (int32_t i = 0; i < 7; ++i) EXPECT_EQ(list->Row(i).fxs[0].Active(), i == 3) << i;
  EXPECT_FALSE(list->fxs[0].Active());  // the list's own copy has no row "3"
  EXPECT_TRUE(list->fxs[1].Active());   // a list fx of that row answers too

  // Drawn: row 3 is wider, and the list fx moves every row.
  for (int32_t i = 0; i < 7; ++i) {
    selected = i;  // the generic replacer keeps the last row drawn; draw one row at a time
    list->SetItems(rows.data(), &selected, i + 1);
    list->TriggerFxBySubId("list_name", "3", "hover_on");
    list->Draw(nullptr);
    const graphics::Transform& t = list->images[0]->image.transform;
    EXPECT_NEAR(t.scale.x, i == 3 ? 1.15f : 1.0f, 1e-5f) << i;
    EXPECT_NEAR(t.position.x, 40.0f, 1e-3f) << i;
  }

  list->TriggerFxBySubId("list_name", "3", "hover_off");
  EXPECT_FALSE(list->Row(3).fxs[0].Active());
}

TEST(ThemeListRows, RowCopiesOfARunningAnimationRunOnTheirOwn) {
  platform::ScopedFakeClock fake;
  fake.clock.ms = 5000;
  ThemeScene scene;
  auto list = scene.Parse<ThemeList>(
      "<fx><inherit_sub_id>true</inherit_sub_id><target>position_x</target><fx_type>linear</fx_type>"
      "<start>0</start><end>100</end><speed>100</speed><loop>false</loop></fx></list>");
  ASSERT_TRUE(list);
  list->Reset();  // as the theme does after loading: the idle fx starts before any rows exist
  const std::vector<MenuListEntry> rows = Entries(3);
  list->SetItems(rows.data(), nullptr, 3);
  fake.clock.AdvanceMs(500);
  for (int frame = 0; frame < 5; ++frame) list->Draw(nullptr);
  for (int32_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(list->Row(i).fxs[0].Active());
    EXPECT_NEAR(*list->Row(i).fxs[0].Channel(), 50.0f, 1.0f) << i;
  }
  // Rebuilding the rows drops the copies' state with the rows; nothing points at the old ones.
  list->SetItems(rows.data(), nullptr, 2);
  fake.clock.AdvanceMs(200);
  list->Draw(nullptr);
  EXPECT_EQ(list->RowCount(), 2);
}

TEST(ThemeListEvents, ResetAndStopReachTheRightParts) {
  ThemeScene scene;
  auto list = scene.Parse<ThemeList>(
      "<fx><target>alpha</target><fx_type>set</fx_type><end>50</end></fx>"
      "<fx><id>x</id><inherit_sub_id>true</inherit_sub_id><trigger>hover_on</trigger><target>alpha</target></fx>"
      "<image><selector>true</selector><fx><target>alpha</target><fx_type>set</fx_type><end>50</end></fx></image>"
      "</list>");
  ASSERT_TRUE(list);
  const std::vector<MenuListEntry> rows = Entries(2);
  list->SetItems(rows.data(), nullptr, 2);
  list->Reset();
  EXPECT_TRUE(list->fxs[0].Active());
  EXPECT_FALSE(list->fxs[1].Active());
  EXPECT_TRUE(list->images[0]->fxs[0].Active());
  EXPECT_FALSE(list->Row(0).fxs[0].Active());
  list->TriggerFxBySubId("x", "1", "hover_on");
  list->StopFx();
  EXPECT_FALSE(list->fxs[0].Active());
  EXPECT_TRUE(list->Row(1).fxs[0].Active());  // rows keep theirs
}

}  // namespace
}  // namespace theme
