// Menu records: the chat history's limit and the credits section's fade, hold and fade
// out on a fake clock, also across the clock's wrap-around.
#include <gtest/gtest.h>

#include <string>

#include "platform/clock.h"
#include "theme/menu_records.h"

namespace theme {
namespace {

TEST(TextLinesTest, KeepsTheNewestLinesInOrder) {
  struct Case {
    const char* name;
    int32_t limit;  // set after Reset; 0 and 60 are out of range
    int appends;
    int32_t wantCount;
    int wantFirst;  // number of the oldest kept line
  };
  const Case cases[] = {
      {"default limit, eleven lines", TextLines::kDefaultLimit, 11, 10, 2},
      {"below the limit", 10, 4, 4, 1},
      {"limit 0 keeps one line", 0, 3, 1, 3},
      {"limit above the slots keeps 50", 60, 55, 50, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextLines t;
    t.Reset();
    t.limit = c.limit;
    for (int i = 1; i <= c.appends; ++i) t.AppendQuiet("line " + std::to_string(i));
    ASSERT_EQ(t.count, c.wantCount);
    for (int32_t k = 0; k < t.count; ++k) EXPECT_EQ(t.lines[k], "line " + std::to_string(c.wantFirst + k));
  }
  TextLines neverReset;  // limit 0 without Reset must stay inside the array
  neverReset.AppendQuiet("a");
  neverReset.AppendQuiet("b");
  EXPECT_EQ(neverReset.count, 1);
  EXPECT_EQ(neverReset.lines[0], "b");
}

TEST(RecordDefaults, AsMadeByTheMenus) {
  RosterSlot r;
  EXPECT_EQ(r.name, "Blank");
  EXPECT_EQ(r.id, -1);
  EXPECT_EQ(r.player, nullptr);
  JukeboxSlot j;
  EXPECT_TRUE(j.songPath.empty());
  CreditsSection s;
  EXPECT_EQ(s.holdMs, 5000);
  EXPECT_EQ(s.fadeSpeed, 2.0f);
  EXPECT_EQ(s.fadeValue, 1.0f);
  EXPECT_EQ(s.state, CreditsState::kIdle);
}

// Runs a section from Start until it is done, in steps of 10 ms, and records when it
// changed state.
struct Timeline {
  uint32_t holdingAt = 0, fadingOutAt = 0, doneAt = 0;
  float midFade = -1;
};

Timeline RunSection(platform::FakeClock& clock, CreditsSection& s) {
  const uint32_t t0 = clock.ms;
  s.Start();
  s.state = CreditsState::kFadingIn;
  Timeline t;
  for (int step = 0; step < 2000 && s.state != CreditsState::kDone; ++step) {
    clock.AdvanceMs(10);
    const CreditsState before = s.state;
    s.Update();
    const uint32_t at = clock.ms - t0;
    if (at == 250) t.midFade = s.fadeValue;
    if (before != s.state) {
      if (s.state == CreditsState::kHolding) t.holdingAt = at;
      if (s.state == CreditsState::kFadingOut) t.fadingOutAt = at;
      if (s.state == CreditsState::kDone) t.doneAt = at;
    }
  }
  return t;
}

TEST(CreditsSectionTest, FadesInHoldsAndFadesOut) {
  for (uint32_t start : {1000u, 0xFFFFF000u}) {  // the second run crosses the wrap-around
    SCOPED_TRACE(start);
    platform::ScopedFakeClock fake;
    fake.clock.ms = start;
    CreditsSection s;
    const Timeline t = RunSection(fake.clock, s);
    EXPECT_NEAR(t.midFade, 0.5f, 0.03f);
    EXPECT_NEAR(t.holdingAt, 500, 20);
    EXPECT_NEAR(t.fadingOutAt, 5500, 30);
    EXPECT_NEAR(t.doneAt, 6000, 40);
    EXPECT_EQ(s.state, CreditsState::kDone);
    EXPECT_NEAR(s.fadeValue, 0.0f, 1e-6f);
  }
}

TEST(CreditsSectionTest, SecondValueRisesOnlyWhenEnabled) {
  platform::ScopedFakeClock fake;
  CreditsSection on;
  on.secondValueEnabled = 1;
  CreditsSection off;
  on.Start();
  off.Start();
  fake.clock.AdvanceMs(2000);
  on.Update();
  off.Update();
  EXPECT_NEAR(on.secondValue, 0.2f, 1e-3f);
  EXPECT_EQ(off.secondValue, 0.0f);
}

}  // namespace
}  // namespace theme
