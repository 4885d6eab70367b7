// Sustain ribbons: segment counts, the amplitude history, the strip's edges, fade and
// texture coordinates, and the draws of each style on the Recording back end.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/tail_ribbon.h"
#include "platform/gfx/recording_device.h"

namespace {

namespace gfx = platform::gfx;
using graphics::TailRibbon;

TEST(TailRibbon, ResetAndSetLength) {
  TailRibbon r;
  EXPECT_EQ(r.segmentCount(), 10);
  EXPECT_EQ(r.length(), 100.0f);
  EXPECT_EQ(r.width(), 5.0f);
  EXPECT_TRUE(r.SetLength(nullptr, 1, 100.0f, 10.0f, 10.0f));
  EXPECT_EQ(r.segmentCount(), 11);
  EXPECT_FLOAT_EQ(r.segmentLength(), 10.0f);
  r.SetLength(nullptr, 1, 107.0f, 10.0f, 5.0f);
  EXPECT_EQ(r.segmentCount(), 22);
  EXPECT_FLOAT_EQ(r.segmentLength(), 107.0f / 21.0f);
  // Shorter than one step: one segment of the whole length, no division by zero.
  r.SetLength(nullptr, 1, 3.0f, 10.0f, 5.0f);
  EXPECT_EQ(r.segmentCount(), 2);
  EXPECT_FLOAT_EQ(r.segmentLength(), 3.0f);
  // Empty or nonsense lengths draw nothing and allocate nothing unbounded.
  r.SetLength(nullptr, 1, 0.0f, 10.0f, 5.0f);
  EXPECT_EQ(r.segmentCount(), 1);
  r.SetLength(nullptr, 1, NAN, 10.0f, 5.0f);
  EXPECT_EQ(r.segmentCount(), 1);
  r.SetLength(nullptr, 1, 1e9f, 10.0f, 5.0f);
  EXPECT_EQ(r.segmentCount(), TailRibbon::kMaxSegments);
  EXPECT_EQ(r.material().emissive, gfx::Vec4(1.0f));
  EXPECT_EQ(r.material().diffuse, gfx::Vec4(0.0f));
}

TEST(TailRibbon, ScrollMovesTheHistoryByWholeSteps) {
  TailRibbon r;
  r.SetLength(nullptr, 1, 100.0f, 10.0f, 10.0f);
  r.Scroll(1000.0f, 0.5f);  // the first call only starts counting
  EXPECT_EQ(r.segments()[0].amplitude, 0.0f);
  r.Scroll(1025.0f, 0.5f);
  EXPECT_EQ(r.lastScroll(), 1020.0f);  // 5 left over
  EXPECT_EQ(r.segments()[0].amplitude, 0.5f);
  EXPECT_EQ(r.segments()[0].position, 1025.0f);
  EXPECT_EQ(r.segments()[1].position, 1015.0f);
  EXPECT_EQ(r.segments()[2].amplitude, 0.0f);
  r.Scroll(1030.0f, 0.25f);  // one step: the old newest moves to 1
  EXPECT_EQ(r.segments()[0].amplitude, 0.25f);
  EXPECT_EQ(r.segments()[1].position, 1025.0f);
  EXPECT_EQ(r.segments()[2].position, 1015.0f);
  // Backwards (a seek) shifts nothing and counts on from the new place.
  r.Scroll(500.0f, 0.9f);
  EXPECT_EQ(r.segments()[0].amplitude, 0.25f);
  EXPECT_EQ(r.lastScroll(), 500.0f);
  // Further than the whole history: every entry is new.
  r.Scroll(500.0f + 10.0f * 50.0f, 0.75f);
  for (const graphics::RibbonSegment& s : r.segments()) EXPECT_EQ(s.amplitude, 0.75f);
}

TEST(TailRibbon, EdgeShapes) {
  EXPECT_FLOAT_EQ(TailRibbon::EdgeOffset(0, 0, 1.0f, 0.0f), 0.0f);
  EXPECT_FLOAT_EQ(TailRibbon::EdgeOffset(3, 0, 1.0f, 0.0f), 10.0f);
  EXPECT_FLOAT_EQ(TailRibbon::EdgeOffset(5, 1, 0.5f, 10.0f), 5.0f);
  EXPECT_FLOAT_EQ(TailRibbon::EdgeOffset(5, 1, 0.5f, 100.0f), -5.0f);  // sin(4) < 0
  // The swell moves the edges apart, the waves move them together.
  EXPECT_FLOAT_EQ(TailRibbon::EdgeOffset(7, 0, 1.0f, 0.0f), -10.0f);
  EXPECT_FLOAT_EQ(TailRibbon::EdgeOffset(7, 1, 1.0f, 0.0f), 10.0f);
  EXPECT_FLOAT_EQ(TailRibbon::EdgeOffset(1, 0, 1.0f, 50.0f), TailRibbon::EdgeOffset(1, 1, 1.0f, 50.0f));
  EXPECT_EQ(TailRibbon::EdgeOffset(9, 0, 1.0f, 50.0f), 0.0f);
}

TEST(TailRibbon, StripFadesWithDistanceAndMirrorsItsTexture) {
  TailRibbon r;
  r.SetLength(nullptr, 0, 600.0f, 10.0f, 50.0f);  // 13 edge pairs, 0..600
  r.place[0].alpha = 0.5f;
  const auto& v = r.BuildStrip(7, 0);
  ASSERT_EQ(v.size(), 26u);
  for (size_t i = 0; i < v.size(); i += 2) {
    const float x = v[i].x;
    const uint32_t a = v[i].diffuse >> 24;
    EXPECT_EQ(v[i].diffuse & 0xFFFFFFu, 0xFFFFFFu);
    if (x <= 350.0f) {
      EXPECT_EQ(a, 127u) << x;
    } else if (x >= 570.0f) {
      EXPECT_EQ(a, 0u) << x;
    } else if (x == 450.0f) {
      EXPECT_EQ(a, uint32_t((1.0f - 100.0f / 220.0f) * 0.5f * 255.0f));
    }
    EXPECT_EQ(v[i].u, 0.03f);
    EXPECT_EQ(v[i + 1].u, 0.97f);
    EXPECT_EQ(v[i].v, (i / 2) % 2 == 0 ? 0.97f : 0.03f);
    // No amplitude yet: the edges stand the width apart.
    EXPECT_FLOAT_EQ(v[i + 1].y - v[i].y, 10.0f);
  }
  // The z offset moves the fade with the ribbon's start.
  r.zOffset = 300.0f;
  EXPECT_EQ(r.BuildStrip(7, 0)[2].diffuse >> 24, uint32_t((1.0f - 0.0f / 220.0f) * 0.5f * 255.0f));
  EXPECT_LT(r.BuildStrip(7, 0)[4].diffuse >> 24, 127u);  // 400 from the strike line
  // A bend leans the far end one way or the other.
  r.zOffset = 0.0f;
  r.bend = 2;
  const float nearY = r.BuildStrip(0, 0)[0].y;
  const float farY = r.BuildStrip(0, 0)[24].y;
  EXPECT_GT(farY, nearY);
}

TEST(TailRibbon, StylesDrawTheirLayersWithDepthOff) {
  gfx::RecordingRenderDevice device;
  TailRibbon r(&device);
  struct Case {
    int32_t style;
    size_t draws;
  };
  for (const Case c : {Case{0, 1}, Case{1, 1}, Case{2, 2}, Case{3, 5}, Case{4, 1}, Case{5, 1}}) {
    device.ClearLog();
    r.SetLength(nullptr, c.style, 100.0f, 10.0f, 5.0f);
    r.Draw(0);
    ASSERT_EQ(device.draws.size(), c.draws) << c.style;
    for (const auto& d : device.draws) {
      EXPECT_EQ(d.type, gfx::PrimitiveType::kTriangleStrip);
      EXPECT_EQ(d.primitiveCount, 2u * 21u - 2u);
      EXPECT_EQ(d.state.render[size_t(gfx::RenderState::kZEnable)], 0u);
    }
    EXPECT_EQ(device.GetRenderState(gfx::RenderState::kZEnable), 1u);
  }
  // The mirrored copy lies on the other side of the centre line.
  device.ClearLog();
  r.SetLength(nullptr, 2, 100.0f, 10.0f, 5.0f);
  r.Scroll(0.0f, 1.0f);
  r.Scroll(100.0f, 1.0f);
  r.Draw(0);
  ASSERT_EQ(device.draws.size(), 2u);
  EXPECT_NEAR(device.draws[0].vertices[4].world.x, -device.draws[1].vertices[4].world.x, 1e-3f);
  EXPECT_EQ(device.draws[1].state.render[size_t(gfx::RenderState::kCullMode)], uint32_t(gfx::CullMode::kClockwise));
}

TEST(TailRibbon, WorldRunsAlongTheBoardFromTheStart) {
  gfx::RecordingRenderDevice device;
  TailRibbon r(&device);
  r.SetLength(nullptr, 1, 200.0f, 10.0f, 5.0f);
  r.place[0].position = glm::vec3(30.0f, -2.0f, 0.0f);
  r.zOffset = 50.0f;
  r.Draw(0);
  ASSERT_EQ(device.draws.size(), 1u);
  const auto& v = device.draws[0].vertices;
  // Along the lane (z), centred on the lane's x.
  EXPECT_NEAR(v.front().world.z, 50.0f, 1e-3f);
  EXPECT_NEAR(v.back().world.z, 250.0f, 1e-3f);
  EXPECT_NEAR((v[0].world.x + v[1].world.x) / 2.0f, 30.0f, 1e-3f);
  EXPECT_NEAR(std::fabs(v[0].world.x - v[1].world.x), 10.0f, 1e-3f);
}

}  // namespace
