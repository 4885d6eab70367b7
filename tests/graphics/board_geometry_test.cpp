// Lane placement on the neck's arc, the screen layout of 1 to 15 boards, the neck
// camera presets and the stereo eye placement.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "graphics/board_geometry.h"
#include "graphics/camera.h"

namespace {

using graphics::BoardGeometry;
using graphics::BoardLayout;
using graphics::Transform;

constexpr float kSpan = 0.23561944f;

Transform Lane(int32_t lane, int32_t count, int32_t kind = 2, bool lefty = false, int32_t mode = 0,
               bool edge = false, float offset = 0.0f) {
  Transform t;
  t.alpha = 0.5f;  // a member the placement must leave alone
  BoardGeometry::LanePositions(t, lane, count, kind, lefty, mode, edge, offset);
  return t;
}

float DistanceFromArcCentre(const Transform& t) {
  return std::hypot(t.position.x, t.position.y + 1000.0f);
}

TEST(LanePositions, OpenLaneIsTheBoardCentreForAnyCount) {
  for (int32_t count : {1, 4, 5, 7, 25, 88}) {
    const Transform t = Lane(0, count, 2, true, 1);
    EXPECT_EQ(t.position, glm::vec3(0.0f)) << count;
    EXPECT_EQ(t.scale, glm::vec3(1.0f)) << count;
    EXPECT_EQ(t.rotation, glm::vec3(0.0f)) << count;
    EXPECT_EQ(t.alpha, 0.5f);
  }
}

TEST(LanePositions, EqualLanesAreChordsOfTheArc) {
  const float w = kSpan / 5.0f;
  // The middle lane of five sits on the y axis, its chord's midpoint inside the arc.
  const Transform mid = Lane(3, 5);
  EXPECT_NEAR(mid.position.x, 0.0f, 1e-4f);
  EXPECT_NEAR(mid.position.y, std::cos(w / 2.0f) * 1000.0f - 1000.0f, 1e-3f);
  EXPECT_NEAR(mid.rotation.x, 0.0f, 1e-6f);
  const float chord = 2.0f * 1000.0f * std::sin(w / 2.0f);
  for (int32_t lane = 1; lane <= 5; ++lane) {
    const Transform t = Lane(lane, 5);
    const float a = w * static_cast<float>(lane - 1) + w / 2.0f - kSpan / 2.0f;
    EXPECT_NEAR(t.rotation.x, -a, 1e-6f) << lane;
    EXPECT_NEAR(t.position.x, std::cos(w / 2.0f) * 1000.0f * std::sin(a), 1e-3f) << lane;
    EXPECT_NEAR(DistanceFromArcCentre(t), std::cos(w / 2.0f) * 1000.0f, 1e-2f) << lane;
    // The lane model (48 wide) is scaled to the chord.
    EXPECT_NEAR(t.scale.x * 48.0f, chord, 1e-3f) << lane;
    EXPECT_EQ(t.scale.y, 1.0f);
  }
  // Left to right in lane order.
  EXPECT_LT(Lane(1, 5).position.x, Lane(2, 5).position.x);
}

TEST(LanePositions, AlternatingWidths) {
  const float narrow = kSpan / 6.5f;  // five lanes: three wide and two narrow
  const float wide = 1.5f * narrow;
  struct Case {
    int32_t mode, lane;
    float width;
  };
  const Case cases[] = {{1, 1, wide}, {1, 2, narrow}, {1, 3, wide}, {1, 4, narrow}, {1, 5, wide},
                        {2, 1, 0.0f}, {2, 2, 0.0f}};
  for (const Case& c : cases) {
    const Transform t = Lane(c.lane, 5, 2, false, c.mode);
    if (c.mode == 1) {
      EXPECT_NEAR(t.scale.x * 48.0f, 2000.0f * std::sin(c.width / 2.0f), 1e-3f) << c.lane;
    }
  }
  // Mode 2 starts narrow: its first lane is narrower than its second.
  EXPECT_LT(Lane(1, 5, 2, false, 2).scale.x, Lane(2, 5, 2, false, 2).scale.x);
  // Unknown modes have no width at all.
  EXPECT_EQ(Lane(2, 5, 2, false, 7).scale.x, 0.0f);
  // No lanes: the centre, without dividing by zero.
  EXPECT_EQ(Lane(1, 0).position, glm::vec3(0.0f));
}

TEST(LanePositions, LeftyMirrorsAllButDrums) {
  for (int32_t kind : {1, 2, 3, 6, 8, 12, 14}) {
    EXPECT_NEAR(Lane(1, 5, kind, true).position.x, -Lane(1, 5, kind, false).position.x, 1e-4f) << kind;
  }
  for (int32_t kind : {0, 5, 13}) {
    EXPECT_EQ(Lane(1, 5, kind, true).position, Lane(1, 5, kind, false).position) << kind;
  }
}

TEST(LanePositions, OffsetMovesTheWholeSetByLanes) {
  // One lane of offset brings lane 2 where lane 1 was: a key window scrolled by one.
  const Transform shifted = Lane(2, 12, 14, false, 0, false, 1.0f);
  const Transform first = Lane(1, 12, 14);
  EXPECT_NEAR(shifted.position.x, first.position.x, 1e-3f);
  EXPECT_NEAR(shifted.rotation.x, first.rotation.x, 1e-6f);
}

TEST(LanePositions, EdgesLieOnTheArcAtTheChordStarts) {
  // Boundary i is where lane i + 1's chord starts, so boundaries 0 and 5 are the ends
  // of the arc and each boundary lies on the circle.
  for (int32_t i = 0; i <= 5; ++i) {
    const Transform e = Lane(i, 5, 2, false, 0, true);
    EXPECT_NEAR(DistanceFromArcCentre(e), 1000.0f, 1e-2f) << i;
    EXPECT_EQ(e.scale.x, 1.0f);
    const float a = kSpan / 5.0f * static_cast<float>(i) - kSpan / 2.0f;
    EXPECT_NEAR(e.position.x, 1000.0f * std::sin(a), 1e-2f) << i;
  }
  // Mirrored boards start their chords from the other side.
  EXPECT_NEAR(Lane(0, 5, 2, true, 0, true).position.x, -Lane(0, 5, 2, false, 0, true).position.x, 1e-2f);
}

std::vector<platform::gfx::Viewport> Layout(int32_t boards, int32_t w, int32_t h, std::vector<bool> remote = {},
                                            float remoteScale = 1.0f) {
  BoardLayout layout;
  layout.Allocate();
  for (int32_t i = 0; i < boards; ++i) layout.Append(false, i < int32_t(remote.size()) && remote[size_t(i)]);
  layout.Order();
  std::vector<platform::gfx::Viewport> out;
  for (int32_t i = 0; i < boards; ++i) out.push_back(layout.Viewport(i, true, remoteScale, w, h));
  return out;
}

TEST(BoardLayout, OneBoardOnAWideScreen) {
  const auto v = Layout(1, 1920, 1080);
  EXPECT_EQ(v[0].width, 848);
  EXPECT_EQ(v[0].height, 719);
  EXPECT_EQ(v[0].x, 535);
  EXPECT_EQ(v[0].y, 1080 - 719);
  BoardLayout top;
  top.Allocate();
  top.Append(false, false);
  top.Order();
  EXPECT_EQ(top.Viewport(0, false, 1.0f, 1920, 1080).y, 0);
}

TEST(BoardLayout, OneToFifteenBoardsShareTheScreen) {
  for (int32_t n : {1, 2, 4, 8, 15}) {
    const auto v = Layout(n, 1280, 720);
    const int32_t fullWidth = int32_t(1280.0f / ((1280.0f / 720.0f) / 1.18f) * 0.666f);
    const bool fits = n * 1.18f * 720.0f * 0.666f <= 1280.0f;
    for (int32_t i = 0; i < n; ++i) {
      SCOPED_TRACE(testing::Message() << n << " boards, board " << i);
      EXPECT_GE(v[size_t(i)].x, 0);
      EXPECT_LE(v[size_t(i)].x + v[size_t(i)].width, 1280);
      EXPECT_EQ(v[size_t(i)].y + v[size_t(i)].height, 720);
      EXPECT_EQ(v[size_t(i)].width, v[0].width);
      if (i > 0) {
        EXPECT_GE(v[size_t(i)].x, v[size_t(i - 1)].x + v[size_t(i - 1)].width) << "overlap";
      }
      if (fits) {
        EXPECT_EQ(v[size_t(i)].width, fullWidth);
      } else {
        // Too wide together: every board shrinks alike and they stand edge to edge.
        EXPECT_NEAR(v[size_t(i)].width, 1280.0f / float(n), 1.0f);
        EXPECT_NEAR(v[size_t(i)].x, 1280.0f / float(n) * float(i), 1.0f);
      }
    }
    if (fits) {
      // Equal gaps: the row is centred.
      EXPECT_NEAR(v[0].x, 1280 - (v[size_t(n - 1)].x + v[size_t(n - 1)].width), 2);
    }
  }
}

TEST(BoardLayout, RemoteBoardsStandOnBothSides) {
  BoardLayout layout;
  layout.Allocate();
  layout.Append(false, true);
  layout.Append(false, false);
  layout.Append(false, false);
  layout.Order();
  // One remote board goes to the right of the local ones, wherever it was appended.
  ASSERT_EQ(layout.orderedCount, 3);
  EXPECT_EQ(layout.ordered[0].order, 1);
  EXPECT_EQ(layout.ordered[1].order, 2);
  EXPECT_EQ(layout.ordered[2].order, 0);

  layout.Allocate();
  layout.Append(false, false);
  layout.Append(false, true);
  layout.Append(false, true);
  layout.Append(false, false);
  layout.Order();
  EXPECT_EQ(layout.ordered[0].order, 1);
  EXPECT_EQ(layout.ordered[1].order, 0);
  EXPECT_EQ(layout.ordered[2].order, 3);
  EXPECT_EQ(layout.ordered[3].order, 2);
  EXPECT_EQ(layout.localCount, 2);
  EXPECT_EQ(layout.remoteCount, 2);
}

TEST(BoardLayout, RemoteBoardsGrowIntoSpareWidthAndStayOnScreen) {
  // Half-size remote boards take the spare width back up to full size.
  const auto grown = Layout(2, 1920, 1080, {false, true}, 0.5f);
  EXPECT_EQ(grown[1].width, 848);
  // A remote size above 100 % is kept inside the target.
  const auto big = Layout(1, 640, 480, {true}, 2.5f);
  EXPECT_LE(big[0].height, 480);
  EXPECT_LE(big[0].x + big[0].width, 640);
  EXPECT_GE(big[0].y, 0);
}

TEST(BoardLayout, CapacityAndWideBoards) {
  BoardLayout layout;
  layout.Allocate();
  for (int i = 0; i < 15; ++i) EXPECT_TRUE(layout.Append(i == 0, false));
  EXPECT_FALSE(layout.Append(false, false));
  EXPECT_EQ(layout.count, 15);
  layout.Allocate();
  layout.Append(true, false);
  layout.Order();
  // The wide board gets 2.34 units of aspect.
  EXPECT_NEAR(layout.Viewport(0, true, 1.0f, 1920, 1080).width, 2.34f * 1080.0f * 0.666f, 1.0f);
}

TEST(BoardLayout, ArrangeForTheMenus) {
  BoardLayout layout;
  layout.Allocate();
  layout.Append(false, false);
  layout.Order();
  glm::vec2 pos, scale;
  layout.Arrange(1920.0f, 1080.0f, 1130.0f, pos, scale, 0.96f, 0, 1.0f);
  // One board never grows beyond its base width and stands in the middle.
  EXPECT_FLOAT_EQ(scale.x, 1.0f);
  EXPECT_FLOAT_EQ(scale.y, 1.0f);
  EXPECT_NEAR(pos.x, 0.0f, 1e-2f);

  layout.Allocate();
  for (int i = 0; i < 4; ++i) layout.Append(false, false);
  layout.Order();
  const float avail = 1920.0f / 1080.0f * 1440.0f;
  layout.Arrange(1920.0f, 1080.0f, 1130.0f, pos, scale, 0.96f, 0, 1.0f);
  EXPECT_NEAR(scale.x, avail * 0.96f / 4.0f / 1130.0f, 1e-4f);
  EXPECT_LT(pos.x, 0.0f);  // the first of four stands left of the centre
}

TEST(CameraPresets, TableRowsFlipAndOutOfRange) {
  graphics::BoardCameraPose pose;
  struct Row {
    int32_t preset;
    float y, z, pitch;
  };
  const Row rows[] = {{0, 180.0f, -403.0f, 0.22f}, {4, 292.0f, -298.0f, 0.62f},
                      {5, 325.0f, -303.0f, 0.66f}, {9, 1015.0f, -38.0f, 1.30f}};
  for (const Row& r : rows) {
    EXPECT_TRUE(graphics::SetCameraPreset(pose, r.preset, false));
    EXPECT_EQ(pose.position, glm::vec3(0.0f, r.y, r.z)) << r.preset;
    EXPECT_EQ(pose.pitch, r.pitch);
    EXPECT_EQ(pose.yaw, 0.0f);
    EXPECT_EQ(pose.roll, 0.0f);
  }
  graphics::SetCameraPreset(pose, 7, true);
  EXPECT_EQ(pose.roll, 3.1415927f);
  EXPECT_EQ(pose.position.y, 520.0f);
  // A preset outside the table (a profile may hold anything) leaves the last pose.
  for (int32_t bad : {10, 12, -1, -2147483647}) {
    graphics::SetCameraPreset(pose, bad, false);
    EXPECT_EQ(pose.position.y, 520.0f) << bad;
    EXPECT_EQ(pose.roll, 3.1415927f);
  }
}

TEST(CameraPresets, EveryPresetLooksDownAtTheFrets) {
  // From every preset the frets (the board's origin) lie ahead of and below the
  // camera, and further up the board lies higher on the screen.
  for (int32_t preset = 0; preset < graphics::kCameraPresetCount; ++preset) {
    graphics::BoardCameraPose pose;
    graphics::SetCameraPreset(pose, preset, false);
    graphics::Camera cam;
    cam.position = pose.position;
    cam.pitch = pose.pitch;
    const platform::gfx::Matrix view = cam.GetViewMatrix();
    const glm::vec3 frets = platform::gfx::TransformCoord(glm::vec3(0.0f), view);
    const glm::vec3 far = platform::gfx::TransformCoord(glm::vec3(0.0f, 0.0f, 400.0f), view);
    EXPECT_GT(frets.z, 0.0f) << preset;
    EXPECT_GT(far.y / far.z, frets.y / frets.z) << preset;
  }
}

TEST(StereoEye, SidesMoveApartAndTurnIn) {
  graphics::Camera cam;
  const glm::vec3 at(10.0f, 20.0f, 30.0f);
  graphics::Camera::SetStereoEye(cam, 0, at, 0.1f, 0.2f, 0.3f, 5.0f, 1, 2.0f);
  EXPECT_EQ(cam.position, at);
  EXPECT_EQ(cam.stereoAngle, 0.0f);
  EXPECT_EQ(cam.stereoScale, 1.0f);
  EXPECT_EQ(cam.pitch, 0.2f);
  graphics::Camera::SetStereoEye(cam, 1, at, 0.0f, 0.0f, 0.0f, 5.0f, 0, 2.0f);
  EXPECT_EQ(cam.position.x, 5.0f);
  EXPECT_FLOAT_EQ(cam.stereoAngle, -2.0f * 0.017453292f);
  graphics::Camera::SetStereoEye(cam, 2, at, 0.0f, 0.0f, 0.0f, 5.0f, 1, 2.0f);
  EXPECT_EQ(cam.position.x, 15.0f);
  EXPECT_FLOAT_EQ(cam.stereoAngle, 2.0f * 0.017453292f);
}

}  // namespace
