#include "core/animators.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/clock.h"

namespace {

constexpr float kTolerance = 1e-4f;

// (time in ms, expected value) pairs: the clock is set to each time, the animator is
// updated once, and the value compared.
using Trace = std::vector<std::pair<uint32_t, float>>;

template <typename Animator>
void ExpectTrace(platform::FakeClock& clock, Animator& a, const float& value, uint32_t base, const Trace& trace) {
  for (const auto& [t, expected] : trace) {
    clock.ms = base + t;
    a.Update();
    EXPECT_NEAR(value, expected, kTolerance) << "at +" << t << " ms";
  }
}

}  // namespace

TEST(ValueAnimator, PingPongOnceThenRestsAtTheStart) {
  platform::ScopedFakeClock fake;
  float v = 0;
  ValueAnimator a;
  a.Start(&v, true, false, 0, 2.0f, 1.0f);
  EXPECT_EQ(a.speed, 2.0f);
  ExpectTrace(fake.clock, a, v, 0, {{100, 0.2f}, {250, 0.5f}, {500, 1.0f}, {750, 0.5f}, {1000, 0.0f}});
  EXPECT_FALSE(a.running);
  EXPECT_FALSE(a.endToggle);  // flipped at both ends
  ExpectTrace(fake.clock, a, v, 0, {{1500, 0.0f}});
}

TEST(ValueAnimator, EndsOneLegPerFrameAndSnapsToTheEnd) {
  platform::ScopedFakeClock fake;
  // Already at the end value: the first update ends the leg.
  float v = 3;
  ValueAnimator a;
  a.Start(&v, false, false, 0, 1.0f, 3.0f);
  fake.clock.ms = 16;
  a.Update();
  EXPECT_FALSE(a.running);
  EXPECT_EQ(v, 3.0f);
  EXPECT_TRUE(a.endToggle);

  // Downwards, whatever the sign of the speed given; a long frame stops at the end.
  for (float speed : {2.0f, -2.0f}) {
    fake.clock.ms = 0;
    v = 1;
    a.Start(&v, false, false, 0, speed, 0.0f);
    EXPECT_TRUE(a.decreasing);
    EXPECT_EQ(a.speed, -2.0f);
    ExpectTrace(fake.clock, a, v, 0, {{250, 0.5f}, {5000, 0.0f}});
    EXPECT_FALSE(a.running);
  }

  // No target: nothing starts.
  ValueAnimator none;
  none.Start(nullptr, true, true, 0, 1.0f, 1.0f);
  EXPECT_FALSE(none.running);
  none.Update();
}

TEST(ValueAnimator, DelayHoldsTheValueThenMovesWithoutAJump) {
  platform::ScopedFakeClock fake;
  fake.clock.ms = 1000;
  float v = 0;
  ValueAnimator a;
  a.Start(&v, false, false, 500, 1.0f, 1.0f);
  ExpectTrace(fake.clock, a, v, 1000, {{100, 0.0f}, {499, 0.0f}, {500, 0.0f}, {600, 0.1f}, {1500, 1.0f}});
  EXPECT_FALSE(a.running);
}

TEST(ValueAnimator, RepeatAndStopAfterFirstEnd) {
  platform::ScopedFakeClock fake;
  float v = 0;
  ValueAnimator a;
  a.Start(&v, false, true, 0, 1.0f, 1.0f);
  // Each leg starts again from the start value; the toggle flips at every end.
  ExpectTrace(fake.clock, a, v, 0, {{500, 0.5f}, {1000, 0.0f}});
  EXPECT_TRUE(a.endToggle);
  ExpectTrace(fake.clock, a, v, 0, {{1500, 0.5f}, {2000, 0.0f}});
  EXPECT_FALSE(a.endToggle);
  EXPECT_TRUE(a.running);

  // Ping-pong with repeat bounces for ever...
  fake.clock.ms = 0;
  v = 0;
  a.Start(&v, true, true, 0, 1.0f, 1.0f);
  ExpectTrace(fake.clock, a, v, 0, {{1000, 1.0f}, {1500, 0.5f}, {2000, 0.0f}, {2500, 0.5f}, {3000, 1.0f}});
  EXPECT_TRUE(a.running);

  // ...unless it is told to stop after the first end: it finishes the way back.
  fake.clock.ms = 0;
  v = 0;
  a.Start(&v, true, true, 0, 1.0f, 1.0f);
  a.stopAfterFirstEnd = true;
  ExpectTrace(fake.clock, a, v, 0, {{1000, 1.0f}, {1500, 0.5f}, {2000, 0.0f}, {3000, 0.0f}});
  EXPECT_FALSE(a.running);

  // In a plain loop too: the leg under way runs to its end, then it stops.
  fake.clock.ms = 0;
  v = 0;
  a.Start(&v, false, true, 0, 1.0f, 1.0f);
  a.stopAfterFirstEnd = true;
  ExpectTrace(fake.clock, a, v, 0, {{1000, 0.0f}, {1500, 0.5f}, {2000, 1.0f}, {2500, 1.0f}});
  EXPECT_FALSE(a.running);
}

TEST(ValueAnimator, AcrossTheClockWrap) {
  platform::ScopedFakeClock fake;
  // Started 100 ms before the wrap with a 500 ms delay: the delay end lies past the
  // wrap, and must not read as already reached.
  const uint32_t start = 0xFFFFFFFFu - 99;
  fake.clock.ms = start;
  float v = 0;
  ValueAnimator a;
  a.Start(&v, false, false, 500, 1.0f, 1.0f);
  ExpectTrace(fake.clock, a, v, start, {{50, 0.0f}, {100, 0.0f}, {300, 0.0f}, {499, 0.0f}, {500, 0.0f}, {750, 0.25f}});

  // A move under way when the clock wraps goes on at its speed.
  fake.clock.ms = 0xFFFFFFFFu - 249;
  v = 0;
  a.Start(&v, false, false, 0, 1.0f, 1.0f);
  ExpectTrace(fake.clock, a, v, 0xFFFFFFFFu - 249, {{200, 0.2f}, {400, 0.4f}, {1000, 1.0f}});
  EXPECT_FALSE(a.running);
}

TEST(ToggleTimer, RepeatingAndSingleFlips) {
  platform::ScopedFakeClock fake;
  uint32_t clock = 10000;
  bool flag = false;
  ToggleTimer t;
  t.Start(&flag, true, &clock, 250.9f);  // whole milliseconds
  std::vector<uint32_t> flips;
  bool last = flag;
  for (uint32_t ms = 0; ms <= 1000; ms += 10) {
    clock = 10000 + ms;
    t.Update();
    if (flag != last) flips.push_back(ms);
    last = flag;
  }
  EXPECT_EQ(flips, (std::vector<uint32_t>{250, 500, 750, 1000}));

  // Without repeat: one flip, then the timer stops. The own clock is the game clock.
  fake.clock.ms = 0;
  flag = false;
  t.Start(&flag, false, nullptr, 250);
  fake.clock.ms = 249;
  t.Update();
  EXPECT_FALSE(flag);
  fake.clock.ms = 250;
  t.Update();
  EXPECT_TRUE(flag);
  EXPECT_FALSE(t.running);
  fake.clock.ms = 500;
  t.Update();
  EXPECT_TRUE(flag);

  // An interval of 0 (or less) fires at every update.
  flag = false;
  t.Start(&flag, true, &clock, 0);
  t.Update();
  t.Update();
  t.Update();
  EXPECT_TRUE(flag);
  t.Start(&flag, false, &clock, -5.0f);
  t.Update();
  EXPECT_FALSE(flag);

  // No flag: nothing runs.
  t.Start(nullptr, true, &clock, 10);
  EXPECT_FALSE(t.running);
  t.Update();
}

TEST(ToggleTimer, AcrossTheClockWrap) {
  uint32_t clock = 0xFFFFFFFFu - 99;
  bool flag = false;
  ToggleTimer t;
  t.Start(&flag, true, &clock, 250);
  std::vector<uint32_t> flips;
  bool last = flag;
  for (uint32_t ms = 0; ms <= 600; ms += 10) {
    clock = 0xFFFFFFFFu - 99 + ms;
    t.Update();
    if (flag != last) flips.push_back(ms);
    last = flag;
  }
  EXPECT_EQ(flips, (std::vector<uint32_t>{250, 500}));
}

TEST(ValueAnimator2, PingPongLoopRestsAfterEachFullCycle) {
  platform::ScopedFakeClock fake;
  float v = -1;
  ValueAnimator2 a;
  a.Reset();
  a.Start(0, 1.0f, &v, true, true, nullptr, 0, 1000, 1.0f, 0.0f);
  EXPECT_EQ(v, 0.0f);  // the target takes the start value at once
  ExpectTrace(fake.clock, a, v, 0, {{500, 0.5f}, {1000, 1.0f}});
  EXPECT_EQ(a.legs, 1);
  // Straight back, then a rest of one second at the start, on the game clock.
  ExpectTrace(fake.clock, a, v, 0,
              {{1500, 0.5f}, {2000, 0.0f}, {2500, 0.0f}, {2999, 0.0f}, {3000, 0.0f}, {3500, 0.5f}, {4000, 1.0f}});
  EXPECT_EQ(a.legs, 3);
  // The update that ends a rest does not move; the next one counts from the rest's end.
  ExpectTrace(fake.clock, a, v, 0, {{4500, 0.5f}, {5000, 0.0f}, {5500, 0.0f}, {6500, 0.0f}, {6750, 0.75f}});
  EXPECT_TRUE(a.running);
}

TEST(ValueAnimator2, OvershootCarriesIntoTheNextLeg) {
  platform::ScopedFakeClock fake;
  float v = 0;
  ValueAnimator2 a;
  // A frame of 1.3 legs: back from the end by the 0.3 it went past.
  a.Start(0, 1.0f, &v, true, true, nullptr, 0, 0, 1.0f, 0.0f);
  ExpectTrace(fake.clock, a, v, 0, {{1300, 0.7f}, {1500, 0.5f}});
  // A plain loop starts the next leg 0.3 in.
  fake.clock.ms = 0;
  a.Start(0, 1.0f, &v, false, true, nullptr, 0, 0, 1.0f, 0.0f);
  ExpectTrace(fake.clock, a, v, 0, {{1300, 0.3f}, {1500, 0.5f}});
  EXPECT_EQ(a.legs, 1);
  // Downwards: a plain loop from 1 to 0 carries the overshoot downwards too.
  fake.clock.ms = 0;
  a.Start(0, 0.0f, &v, false, true, nullptr, 0, 0, 1.0f, 1.0f);
  ExpectTrace(fake.clock, a, v, 0, {{1250, 0.75f}});
}

TEST(ValueAnimator2, OneWayAndOneReturnTripStop) {
  platform::ScopedFakeClock fake;
  float v = 0;
  ValueAnimator2 a;
  a.Start(0, 2.0f, &v, false, false, nullptr, 0, 0, 4.0f, 0.0f);
  ExpectTrace(fake.clock, a, v, 0, {{250, 1.0f}, {900, 2.0f}, {2000, 2.0f}});
  EXPECT_FALSE(a.running);
  EXPECT_EQ(a.legs, 1);

  fake.clock.ms = 0;
  a.Start(0, 2.0f, &v, true, false, nullptr, 0, 0, 4.0f, 0.0f);
  ExpectTrace(fake.clock, a, v, 0, {{500, 2.0f}, {750, 1.0f}, {1000, 0.0f}, {1500, 0.0f}});
  EXPECT_FALSE(a.running);
  EXPECT_EQ(a.legs, 2);

  // Reset: not running, updates do nothing.
  a.Reset();
  EXPECT_FALSE(a.running);
  EXPECT_EQ(a.target, nullptr);
  a.Update();
}

TEST(ValueAnimator2, ExternalClock) {
  platform::ScopedFakeClock fake;
  float v = 0;
  ValueAnimator2 a;

  // A clock that stands still moves nothing, however much time passes elsewhere.
  uint32_t still = 5000;
  a.Start(0, 1.0f, &v, false, false, &still, 0, 0, 1.0f, 0.0f);
  for (uint32_t ms = 100; ms <= 2000; ms += 100) {
    fake.clock.ms = ms;
    a.Update();
  }
  EXPECT_EQ(v, 0.0f);
  EXPECT_TRUE(a.running);

  // One that goes back counts as standing still, not as a leap of 49 days.
  still = 4000;
  a.Update();
  EXPECT_EQ(v, 0.0f);
  still = 4500;
  a.Update();
  EXPECT_NEAR(v, 0.5f, kTolerance);

  // Started 100 ms before the wrap with a 500 ms delay: it waits the whole delay.
  uint32_t ext = 0xFFFFFFFFu - 99;
  a.Start(0, 1.0f, &v, false, false, &ext, 500, 0, 1.0f, 0.0f);
  const uint32_t base = ext;
  for (uint32_t step : {50u, 100u, 101u, 300u, 499u}) {
    ext = base + step;
    a.Update();
    EXPECT_EQ(v, 0.0f) << step;
  }
  ext = base + 500;
  a.Update();  // the delay ends here; its time does not count
  EXPECT_EQ(v, 0.0f);
  ext = base + 600;
  a.Update();
  EXPECT_NEAR(v, 0.1f, kTolerance);
  ext = base + 1600;
  a.Update();
  EXPECT_EQ(v, 1.0f);
  EXPECT_FALSE(a.running);
}

TEST(ValueAnimator2, RunsWithoutATarget) {
  platform::ScopedFakeClock fake;
  ValueAnimator2 a;
  a.Start(0, 1.0f, nullptr, false, false, nullptr, 0, 0, 1.0f, 0.0f);
  fake.clock.ms = 500;
  a.Update();
  EXPECT_NEAR(a.current, 0.5f, kTolerance);
}
