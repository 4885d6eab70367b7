// Fx animation: motion of every type on a fixed clock, units, the event rule, and
// copies that stay independent of their source.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/text_document.h"
#include "platform/clock.h"
#include "recording_theme.h"
#include "theme/theme_fx.h"

namespace {

// An fx read from the inside of an fx block ("<target>...").
theme::ThemeFx ParseFx(const std::string& body) {
  testsupport::TempDir dir;
  dir.WriteUtf16("fx.ini", "<fx>" + body + "</fx>");
  TextDocument doc;
  EXPECT_TRUE(doc.Load(dir.WPath("fx.ini")));
  doc.NextTag();
  theme::ThemeFx fx;
  fx.Parse(doc, nullptr);
  return fx;
}

struct Sample {
  uint32_t atMs;
  float value;
  float tolerance = 0.02f;
};

struct MotionCase {
  const char* name;
  std::string body;
  std::vector<Sample> samples;
};

TEST(ThemeFxMotion, EveryTypeOnAFixedClock) {
  const MotionCase cases[] = {
      {"linear once",
       "<target>scale_x</target><fx_type>linear</fx_type><start>100</start><end>150</end><speed>50</speed>"
       "<loop>false</loop>",
       {{0, 1.0f}, {500, 1.25f}, {1000, 1.5f}, {2000, 1.5f}}},
      {"linear looping restarts from start",
       "<target>scale_x</target><fx_type>linear</fx_type><start>100</start><end>150</end><speed>50</speed>",
       {{0, 1.0f}, {500, 1.25f}, {999, 1.4995f}, {1008, 1.0f}, {1500, 1.25f}}},
      {"linear with a start delay",
       "<target>position_x</target><fx_type>linear</fx_type><start>0</start><end>100</end><speed>100</speed>"
       "<delay>500</delay><loop>no</loop>",
       {{0, 0.0f}, {250, 0.0f}, {500, 0.0f}, {1000, 50.0f}, {1500, 100.0f}}},
      {"ping-pong out, back, rest",
       "<target>position_y</target><fx_type>ping_pong</fx_type><start>0</start><end>10</end><speed>10</speed>"
       "<loop_delay>500</loop_delay>",
       {{0, 0.0f}, {500, 5.0f}, {1000, 10.0f}, {1500, 5.0f}, {2000, 0.0f, 0.2f}, {2250, 0.0f, 0.2f},
        {2500, 0.0f, 0.2f}, {3000, 5.0f}}},
      {"ping-pong once",
       "<target>position_y</target><fx_type>ping_pong</fx_type><start>0</start><end>10</end><speed>10</speed>"
       "<loop>false</loop>",
       {{0, 0.0f}, {1000, 10.0f}, {1500, 5.0f}, {2000, 0.0f}, {3000, 0.0f}}},
      {"rotation in degrees",
       "<target>rotate_z</target><fx_type>linear</fx_type><start>0</start><end>90</end><speed>90</speed>"
       "<loop>false</loop>",
       {{500, 0.7853982f}, {1000, 1.5707964f}}},
      {"sine looping",
       "<target>alpha</target><fx_type>sine</fx_type><start>0</start><end>100</end><rate>10</rate>",
       {{0, 0.0f}, {1571, 1.0f}, {3142, 0.0f}, {4712, -1.0f}}},
      {"sine once holds start after half a turn",
       "<target>alpha</target><fx_type>sine</fx_type><start>50</start><end>100</end><rate>10</rate>"
       "<loop>false</loop>",
       {{1571, 1.0f}, {3200, 0.5f}, {9000, 0.5f}}},
      {"switch looping", "<target>colour_r</target><fx_type>switch</fx_type><start>0</start><end>100</end><rate>250</rate>",
       {{0, 0.0f}, {249, 0.0f}, {250, 1.0f}, {500, 0.0f}, {750, 1.0f}}},
      {"switch once",
       "<target>colour_r</target><fx_type>switch</fx_type><start>0</start><end>100</end><rate>250</rate>"
       "<loop>false</loop>",
       {{250, 1.0f}, {500, 1.0f}, {1000, 1.0f}}},
      {"set", "<target>texture_u</target><fx_type>set</fx_type><end>25</end>", {{0, 0.25f}, {5000, 0.25f}}},
      {"huge speed stays in its span",
       "<target>position_x</target><fx_type>linear</fx_type><start>0</start><end>10</end><speed>100000</speed>",
       {{16, 0.0f}, {33, 0.0f}, {10000, 0.0f}}},
  };
  for (const MotionCase& c : cases) {
    platform::ScopedFakeClock clock;
    clock.clock.ms = 1000;  // any start time
    theme::ThemeFx fx = ParseFx(c.body);
    fx.Start();
    uint32_t now = 0;
    for (const Sample& s : c.samples) {
      // Frames of 16 ms up to the sample, as a screen would draw them.
      while (now + 16 < s.atMs) {
        now += 16;
        clock.clock.ms = 1000 + now;
        fx.Update(0);
      }
      now = s.atMs;
      clock.clock.ms = 1000 + now;
      fx.Update(0);
      const float v = *fx.Channel();
      if (std::string(c.name) == "huge speed stays in its span") {
        EXPECT_GE(v, 0.0f) << c.name;
        EXPECT_LE(v, 10.0f) << c.name;
      } else {
        EXPECT_NEAR(v, s.value, s.tolerance) << c.name << " at " << s.atMs << " ms";
      }
    }
  }
}

TEST(ThemeFxMotion, ValueTypeFollowsTheNumber) {
  struct Case {
    const char* body;
    int32_t value;
    float expected;
  } cases[] = {
      {"<target>alpha</target><fx_type>value</fx_type><start>0</start><end>100</end>", 50, 0.5f},
      {"<target>alpha</target><fx_type>value</fx_type><start>100</start><end>0</end>", 50, 0.5f},
      {"<target>alpha</target><fx_type>value</fx_type><start>100</start><end>0</end>", 20, 0.8f},
      {"<target>scale_x</target><fx_type>value</fx_type><start>0</start><end>100</end>", 75, 0.75f},
  };
  for (const Case& c : cases) {
    theme::ThemeFx fx = ParseFx(c.body);
    fx.Start();
    fx.Update(c.value);
    EXPECT_NEAR(*fx.Channel(), c.expected, 1e-5f) << c.body << " value " << c.value;
  }
}

TEST(ThemeFxMotion, RandomStaysBetweenStartAndEnd) {
  platform::ScopedFakeClock clock;
  theme::ThemeFx fx = ParseFx("<target>position_x</target><fx_type>random</fx_type><start>-5</start><end>5</end><rate>0</rate>");
  fx.Start();
  bool moved = false;
  for (int i = 0; i < 500; ++i) {
    clock.clock.AdvanceMs(1);
    fx.Update(0);
    const float v = *fx.Channel();
    ASSERT_GE(v, -5.0f);
    ASSERT_LE(v, 5.0f);
    moved = moved || v != 0.0f;
  }
  EXPECT_TRUE(moved);
}

TEST(ThemeFxMotion, StoppingAFinishedFxReturnsToNeutral) {
  platform::ScopedFakeClock clock;
  theme::ThemeFx fx = ParseFx("<target>scale_y</target><fx_type>linear</fx_type><start>100</start><end>120</end><speed>100</speed><loop>false</loop>");
  fx.Start();
  clock.clock.AdvanceMs(1000);
  fx.Update(0);
  EXPECT_FLOAT_EQ(fx.transform.scale.y, 1.2f);
  EXPECT_TRUE(fx.Active()) << "a finished fx keeps applying its last value";
  fx.Stop();
  EXPECT_FALSE(fx.Active());
  EXPECT_FLOAT_EQ(fx.transform.scale.y, 1.0f);
  EXPECT_FALSE(fx.Update(0));
}

TEST(ThemeFxMotion, SecondEyePassDoesNotAdvance) {
  platform::ScopedFakeClock clock;
  theme::ThemeFx fx = ParseFx("<target>position_x</target><fx_type>set</fx_type><end>7</end>");
  fx.Start();
  theme::SetSecondEyePass(true);
  EXPECT_FALSE(fx.Update(0));
  theme::SetSecondEyePass(false);
  EXPECT_TRUE(fx.Update(0));
  EXPECT_FLOAT_EQ(fx.transform.position.x, 7.0f);
}

TEST(ThemeFxParse, NamesAndUnits) {
  theme::ThemeFx fx = ParseFx(
      "<TARGET>Colour_G</TARGET><fx_type>PING_PONG</fx_type><start>20</start><end>80</end><speed>30</speed>"
      "<rate>12</rate><delay>5</delay><loop_delay>6</loop_delay><inherit_sub_id>yes</inherit_sub_id>"
      "<sub_id_wild>true</sub_id_wild><id>menu</id><sub_id>3</sub_id><trigger>hover_on</trigger>"
      "<additive_alpha>true</additive_alpha><unknown>1</unknown>");
  EXPECT_EQ(fx.target, static_cast<int32_t>(theme::FxTarget::kColourG));
  EXPECT_EQ(fx.fxType, static_cast<int32_t>(theme::FxType::kPingPong));
  EXPECT_FLOAT_EQ(fx.start, 0.2f);
  EXPECT_FLOAT_EQ(fx.end, 0.8f);
  EXPECT_FLOAT_EQ(fx.speed, 0.3f);
  EXPECT_FLOAT_EQ(fx.rate, 12.0f) << "rates are never converted";
  EXPECT_EQ(fx.delay, 5);
  EXPECT_EQ(fx.loopDelay, 6);
  EXPECT_TRUE(fx.inheritSubId && fx.subIdWild && fx.additiveAlpha);
  EXPECT_EQ(fx.id, u"menu");
  EXPECT_EQ(fx.subId, u"3");
  EXPECT_EQ(fx.trigger, u"hover_on");
  EXPECT_TRUE(fx.Bound());

  theme::ThemeFx unknown = ParseFx("<target>wobble</target><fx_type>bounce</fx_type><start>50</start>");
  EXPECT_EQ(unknown.target, 0) << "an unknown name leaves the field";
  EXPECT_EQ(unknown.fxType, 0);
  EXPECT_FLOAT_EQ(unknown.start, 50.0f) << "position is as written";
}

TEST(ThemeFxParse, CutOffBlockIsBoundAndConverted) {
  testsupport::TempDir dir;
  dir.WriteUtf16("fx.ini", "<fx><target>alpha</target><fx_type>set</fx_type><end>40");
  TextDocument doc;
  ASSERT_TRUE(doc.Load(dir.WPath("fx.ini")));
  doc.NextTag();
  theme::ThemeFx fx;
  fx.Parse(doc, nullptr);
  ASSERT_TRUE(fx.Bound());
  fx.Start();
  EXPECT_TRUE(fx.Update(0));
  EXPECT_FLOAT_EQ(fx.transform.alpha, 0.4f);
}

TEST(ThemeFxEvents, WhoAnswersWhichEvent) {
  struct Fx {
    const char* body;
  };
  const Fx fxs[] = {
      {"<id>menu</id><sub_id>3</sub_id><trigger>hover_on</trigger>"},  // 0
      {"<id>menu</id><sub_id_wild>true</sub_id_wild><trigger>hover_on</trigger>"},  // 1
      {"<trigger>hover_on</trigger>"},  // 2: no id
      {"<id>menu</id><trigger>change_a</trigger>"},  // 3
      {"<id>menu</id><trigger>_on</trigger>"},  // 4
  };
  struct Step {
    const char* id;
    const char* row;
    const char* event;
    std::vector<bool> active;  // after the event, per fx
  };
  const Step steps[] = {
      {"menu", "3", "hover_on", {true, true, false, false, false}},
      {"menu", "4", "hover_off", {true, false, false, false, false}},
      {"MENU", "3", "HOVER_OFF", {false, false, false, false, false}},
      {"", "", "hover_on", {false, false, true, false, false}},
      {"menu", "", "change_a", {false, false, true, true, false}},
      {"menu", "", "select_on", {false, false, true, true, false}},
      {"menu", "", "change", {false, false, true, false, false}},
      {"menu", "", "_on", {false, false, true, false, true}},
      {"menu", "", "x_off", {false, false, true, false, true}},
      {"", "", "hover_off", {false, false, false, false, true}},
  };
  std::vector<theme::ThemeFx> list;
  for (const Fx& f : fxs) list.push_back(ParseFx(std::string("<target>alpha</target><fx_type>set</fx_type>") + f.body));
  for (const Step& s : steps) {
    for (auto& fx : list) fx.TriggerBySubId(s.id, s.row, s.event);
    for (size_t i = 0; i < list.size(); ++i) {
      EXPECT_EQ(list[i].Active(), s.active[i]) << "fx " << i << " after (" << s.id << "," << s.row << "," << s.event << ")";
    }
  }
}

TEST(ThemeFxCopies, ACopyOfARunningFxAnimatesOnItsOwn) {
  platform::ScopedFakeClock clock;
  theme::ThemeFx source = ParseFx("<target>position_x</target><fx_type>linear</fx_type><start>0</start><end>100</end><speed>100</speed><loop>false</loop>");
  source.Start();
  clock.clock.AdvanceMs(200);
  source.Update(0);
  std::vector<theme::ThemeFx> rows(3, source);
  rows.reserve(50);  // a reallocation must not matter either
  rows.push_back(source);
  clock.clock.AdvanceMs(300);
  for (auto& row : rows) row.Update(0);
  for (const auto& row : rows) EXPECT_NEAR(row.transform.position.x, 50.0f, 0.01f);
  EXPECT_NEAR(source.transform.position.x, 20.0f, 0.01f) << "the rows moved their own channels, not the source's";
  rows[1].Stop();
  clock.clock.AdvanceMs(100);
  rows[0].Update(0);
  EXPECT_NEAR(rows[0].transform.position.x, 60.0f, 0.01f);
  EXPECT_FLOAT_EQ(rows[1].transform.position.x, 0.0f);
}

}  // namespace
