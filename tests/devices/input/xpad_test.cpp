#include "devices/input/xpad.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/input/input_backend.h"

using namespace platform::input;

namespace {

std::vector<InputEvent> DrainAll(XPad& pad) {
  InputEvent out[kMaxFetchEvents];
  uint32_t n = 0;
  EXPECT_TRUE(pad.Drain(out, &n));
  return std::vector<InputEvent>(out, out + n);
}

TEST(XPadQueue, HoldsAHundredFiftyTwoAndDrainsAHundredFiftyAtATime) {
  XPad pad;
  pad.kind = 2;
  for (uint32_t i = 0; i < 151; ++i) ASSERT_TRUE(pad.Push(1, i + 1));
  EXPECT_TRUE(pad.Push(1, 152));
  EXPECT_FALSE(pad.Push(1, 153));  // 152 queued: refused, queue unchanged
  EXPECT_EQ(pad.QueuedCount(), 152);
  EXPECT_EQ(pad.TakeDropped(), 1u);
  auto first = DrainAll(pad);
  ASSERT_EQ(first.size(), 150u);
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].value, static_cast<int32_t>(i + 1));
    EXPECT_EQ(first[i].next, nullptr);
    EXPECT_EQ(first[i].time, 0.0);
  }
  auto rest = DrainAll(pad);
  ASSERT_EQ(rest.size(), 2u);
  EXPECT_EQ(rest[1].value, 152);
  EXPECT_TRUE(DrainAll(pad).empty());
  // Room again after the drain.
  EXPECT_TRUE(pad.Push(1, 7));
}

TEST(XPadQueue, KindRulesAndPressedFlag) {
  struct Case {
    uint32_t kind, id;
    int32_t raw;
    int32_t value, range;
    bool pressed;
  } cases[] = {
      {1, 21, -32768, 0, 65535, true},  // pressed follows the raw value
      {1, 21, 0, 32768, 65535, false},
      {1, 23, 32767, 65535, 65535, true},
      {2, 21, -32768, -32768, 0, true},  // a gamepad keeps the raw value
      {1, 20, -5, -5, 0, true},
      {4, 23, 128, 128, 128, true},
      {4, 23, 0, 0, 128, false},
      {2, 1, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    XPad pad;
    pad.kind = c.kind;
    ASSERT_TRUE(pad.Push(c.id, static_cast<uint32_t>(c.raw), 1234));
    auto e = DrainAll(pad);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].value, c.value) << c.kind << "/" << c.id << "/" << c.raw;
    EXPECT_EQ(e[0].range, c.range);
    EXPECT_EQ(e[0].pressed, c.pressed);
    EXPECT_EQ(e[0].deliveryMs, 1234u);
  }
}

struct Ev {
  uint32_t id;
  int32_t value;
};

// Feeds reports in turn and collects what each translation queued.
std::vector<Ev> Feed(uint32_t kind, const std::vector<XGamepadReport>& reports) {
  XPad pad;
  pad.kind = kind;
  std::vector<Ev> out;
  for (const XGamepadReport& r : reports) {
    pad.current = r;
    pad.Translate();
    pad.Commit();
    for (const InputEvent& e : DrainAll(pad)) out.push_back({e.id, e.value});
  }
  return out;
}

XGamepadReport R(uint16_t buttons, int16_t lx = 0, int16_t ly = 0, int16_t rx = 0, int16_t ry = 0, uint8_t lt = 0,
                 uint8_t rt = 0) {
  XGamepadReport r;
  r.buttons = buttons;
  r.leftX = lx;
  r.leftY = ly;
  r.rightX = rx;
  r.rightY = ry;
  r.leftTrigger = lt;
  r.rightTrigger = rt;
  return r;
}

void ExpectEvents(const std::vector<Ev>& got, const std::vector<Ev>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].id, want[i].id) << i;
    EXPECT_EQ(got[i].value, want[i].value) << i;
  }
}

TEST(Translators, GamepadPressAndReleaseOnce) {
  ExpectEvents(Feed(2, {R(kXA), R(kXA), R(kXA), R(0)}), {{1, 128}, {1, 0}});
  ExpectEvents(Feed(2, {R(kXB | kXX | kXY | kXStart | kXBack | kXLeftShoulder | kXRightShoulder)}),
               {{18, 128}, {19, 128}, {2, 128}, {4, 128}, {3, 128}, {10, 128}, {5, 128}});
}

TEST(Translators, UpAndDownAreSilentWhenTheRightShoulderChangesWithThem) {
  for (uint32_t kind : {0u, 1u, 2u, 4u}) {
    auto got = Feed(kind, {R(kXDpadUp | kXDpadLeft | kXRightShoulder), R(kXDpadUp | kXDpadDown | kXRightShoulder)});
    for (const Ev& e : got) EXPECT_NE(e.id, 14u) << kind;
    bool left = false, down = false;
    for (const Ev& e : got) {
      left |= e.id == 16;
      down |= e.id == 15;
    }
    EXPECT_TRUE(left) << kind;
    EXPECT_TRUE(down) << kind;  // the second report did not change the shoulder
  }
}

TEST(Translators, DrumsPadsCymbalsAndVelocity) {
  ExpectEvents(Feed(0, {R(kXY | kXRightShoulder | kXDpadUp, 0, 0)}), {{3, 166}});
  ExpectEvents(Feed(0, {R(kXY | kXRightThumb)}), {{7, 166}});
  ExpectEvents(Feed(0, {R(kXY), R(0)}), {{3, 128}, {3, 0}});
  // Velocity from the green axis (right stick Y + 32768).
  ExpectEvents(Feed(0, {R(kXA | kXRightThumb, 0, 0, 0, -32768)}), {{9, 24}});
  ExpectEvents(Feed(0, {R(kXA | kXRightThumb, 0, 0, 0, 32767)}), {{9, 332}});
  ExpectEvents(Feed(0, {R(kXA | kXRightShoulder, 0, 0, 0, 0)}), {{1, 166}});
  // The floor of 0.15 holds up to s = 4915; s = 4916 is the first step above it.
  ExpectEvents(Feed(0, {R(kXA | kXRightThumb, 0, 0, 0, 4915 - 32768)}), {{9, 24}});
  ExpectEvents(Feed(0, {R(kXA | kXRightThumb, 0, 0, 0, 4916 - 32768)}), {{9, 24}});
  ExpectEvents(Feed(0, {R(kXA | kXRightThumb, 0, 0, 0, 5000 - 32768)}), {{9, 25}});
  // Red reads 32768 - left stick X; blue 32768 - right stick X.
  ExpectEvents(Feed(0, {R(kXB | kXRightThumb, -32768)}), {{2, 332}});
  ExpectEvents(Feed(0, {R(kXX | kXRightThumb, 0, 0, 32767)}), {{8, 24}});
  ExpectEvents(Feed(0, {R(kXX | kXRightShoulder | kXDpadDown)}), {{4, 166}});
  // Pedals and the orange cymbal (right shoulder while the left thumb is held).
  ExpectEvents(Feed(0, {R(kXLeftShoulder), R(kXLeftThumb), R(kXLeftThumb | kXRightShoulder)}),
               {{10, 128}, {10, 0}, {11, 128}, {5, 128}});
  // Sticks alone give nothing.
  ExpectEvents(Feed(0, {R(0, 100, 200, 300, 400)}), {});
}

TEST(Translators, GuitarSticks) {
  auto got = Feed(1, {R(0, 10, 0, -32768, 5), R(kXLeftShoulder, 10, 0, -32768, 5)});
  ExpectEvents(got, {{23, 32773}, {21, 0}, {20, 10}, {5, 128}});
}

TEST(Translators, KeysBits) {
  ExpectEvents(Feed(4, {R(0, 0, 0, 0, 0, 0x80, 0)}), {{148, 128}});
  ExpectEvents(Feed(4, {R(0, 0, 0, 0, 0, 0, 0x01)}), {{163, 128}});
  ExpectEvents(Feed(4, {R(0, static_cast<int16_t>(0x8001)), R(0)}), {{171, 128}, {172, 128}, {171, 0}, {172, 0}});
  ExpectEvents(Feed(4, {R(0, 0, 0, 0, 0x0080)}), {{23, 128}});
}

TEST(Translators, RealGuitarDecodesAndIgnoresEmptyReports) {
  // Frets 3, 17, 40, 9, 30, 21 and velocities 1-6 with green and orange flags.
  const int f[6] = {3, 17, 40, 9, 30, 21};
  const uint8_t lt = static_cast<uint8_t>(f[0] | (f[1] & 7) << 5);
  const uint8_t rt = static_cast<uint8_t>((f[1] >> 3) | f[2] << 2);
  const uint8_t lxl = static_cast<uint8_t>(f[3] | (f[4] & 7) << 5);
  const uint8_t lxh = static_cast<uint8_t>((f[4] >> 3) | f[5] << 2);
  const int16_t lx = static_cast<int16_t>(lxl | lxh << 8);
  const int16_t ly = static_cast<int16_t>((1 | 0x80) | 2 << 8);
  const int16_t rx = static_cast<int16_t>(3 | 4 << 8);
  const int16_t ry = static_cast<int16_t>((5 | 0x80) | 6 << 8);
  auto got = Feed(6, {R(0, lx, ly, rx, ry, lt, rt), R(0), R(0, lx, ly, rx, ry, lt, rt)});
  ExpectEvents(got, {{1, 128}, {5, 128}, {41, 3}, {42, 17}, {43, 40}, {44, 9}, {45, 30}, {46, 21},
                     {35, 1}, {36, 2}, {37, 3}, {38, 4}, {39, 5}, {40, 6}});
}

TEST(Translators, OtherKindsProduceNothing) {
  for (uint32_t kind : {3u, 5u, 7u, 9u}) ExpectEvents(Feed(kind, {R(kXA | kXDpadUp)}), {});
}

}  // namespace
