// Mesh instances: the world matrix with its pivot, the once-per-frame step on the
// millisecond clock, a set that ends and calls back, one that stops, one that loops,
// forced updates, and hiding without stopping the animation.
#include <gtest/gtest.h>

#include <numbers>

#include "graphics/mesh_instance.h"
#include "mesh_recording_device.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "test_support.h"
#include "xfile_test_fixtures.h"

namespace {

using graphics::MeshInstance;
using velorin_test::RecordingMeshDevice;

using velorin_test::ExpectNear;
using velorin_test::Place;

class MeshInstanceTest : public ::testing::Test {
 protected:
  std::string Put(const char* fixture) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadWholeFile(velorin_test::XFixturePath(fixture), bytes));
    dir.WriteBytes(fixture, bytes);
    return dir.Path(fixture);
  }
  // Where the skinned strip's far end (file x = 3) is drawn by the last draw.
  glm::vec3 StripEnd() const { return device.draws.back().corners.at(2).position; }

  platform::ScopedFakeClock clock;
  testsupport::TempDir dir;
  RecordingMeshDevice device;
  MeshInstance instance{&device};
};

TEST_F(MeshInstanceTest, WorldMatrixTurnsAboutThePivotAfterScaling) {
  ASSERT_TRUE(instance.Load(Put("frames_and_materials.x")));
  graphics::Transform placement;
  placement.scale = {2, 2, 2};
  placement.rotation = {std::numbers::pi_v<float> / 2, 0.0f, 0.0f};
  placement.position = {1, 2, 3};
  placement.pivot = {9, 9, 9};  // not taken: the instance keeps its own pivot
  instance.pivot = {0, 0, 15};
  instance.PlaceAt(placement);
  EXPECT_FLOAT_EQ(instance.rotationX, std::numbers::pi_v<float> / 2);  // x stays x, though stored second
  EXPECT_FLOAT_EQ(instance.rotationY, 0.0f);
  EXPECT_EQ(instance.pivot, glm::vec3(0, 0, 15));
  instance.Update(true);
  ASSERT_FALSE(device.draws.empty());
  // The mesh origin sits at the root frame's (10, 20, 30): scaled to (20, 40, 60),
  // moved by -pivot to (20, 40, 45), turned a quarter about x to (20, -45, 40), moved
  // back by the pivot to (20, -45, 55) and placed at +(1, 2, 3).
  ExpectNear(Place(device.draws[0].world, {0, 0, 0}), {21, -43, 58});
  // The extra matrix applies last.
  instance.extra = glm::mat4(1.0f);
  instance.extra[3] = {100, 0, 0, 1};
  device.draws.clear();
  instance.Update(true);
  ExpectNear(Place(device.draws.at(0).world, {0, 0, 0}), {121, -43, 58});
}

TEST_F(MeshInstanceTest, SetThatEndsCallsBackOnceAndTheCallbackCanChooseALoopingSet) {
  ASSERT_TRUE(instance.Load(Put("skinned.x")));  // set 0 "slide": one second
  int calls = 0;
  instance.endCallback = [&](MeshInstance& self) {
    EXPECT_EQ(&self, &instance);
    ++calls;
    self.Hierarchy()->SetAnimationSetByName("bend");
    self.loop = true;
  };
  struct Step {
    uint32_t ms;
    int callsAfter;
  } steps[] = {{0, 0}, {400, 0}, {400, 0}, {300, 1}, {400, 1}, {900, 1}};
  for (const auto& step : steps) {
    clock.clock.AdvanceMs(step.ms);
    instance.Update(false);
    EXPECT_EQ(calls, step.callsAfter) << "after " << step.ms << " ms more";
  }
  EXPECT_EQ(instance.Hierarchy()->currentSet, 1u);
  EXPECT_TRUE(instance.Hierarchy()->playing);
  // "bend" started at the call and has run 0.3 + 0.4 + 0.9 s since: a second round.
  EXPECT_NEAR(instance.Hierarchy()->Controller()->GetTrackPosition(), 1.6, 1e-5);
}

TEST_F(MeshInstanceTest, SetThatEndsWithoutCallbackStopsAndKeepsItsPose) {
  ASSERT_TRUE(instance.Load(Put("skinned.x")));
  instance.Update(false);  // the first update brings the frames up to date
  clock.clock.AdvanceMs(500);
  instance.Update(false);
  ExpectNear(StripEnd(), {3, 2, 0});  // half of "slide": up by 2
  EXPECT_TRUE(instance.Hierarchy()->playing);
  clock.clock.AdvanceMs(600);  // would pass the end: stops before moving on
  instance.Update(false);
  EXPECT_FALSE(instance.Hierarchy()->playing);
  ExpectNear(StripEnd(), {3, 2, 0});
  clock.clock.AdvanceMs(5000);
  device.draws.clear();
  instance.Update(false);
  ASSERT_EQ(device.draws.size(), 1u);  // still drawn
  ExpectNear(StripEnd(), {3, 2, 0});
}

TEST_F(MeshInstanceTest, LoopingSetWrapsAround) {
  ASSERT_TRUE(instance.Load(Put("skinned.x")));
  instance.loop = true;
  instance.Update(false);
  for (uint32_t ms : {600u, 650u}) {  // 1.25 s: a quarter into the second round
    clock.clock.AdvanceMs(ms);
    instance.Update(false);
  }
  EXPECT_TRUE(instance.Hierarchy()->playing);
  ExpectNear(StripEnd(), {3, 1, 0});
}

TEST_F(MeshInstanceTest, PendingAndForcedUpdatesBothRunAndHiddenStillAdvances) {
  ASSERT_TRUE(instance.Load(Put("skinned.x")));
  instance.loop = true;
  clock.clock.AdvanceMs(100);
  instance.Update(true);  // pending and forced: two updates with the same 0.1 s
  EXPECT_NEAR(instance.Hierarchy()->animationTime, 0.2f, 1e-6f);
  EXPECT_FALSE(instance.updatePending);

  instance.Hierarchy()->alpha = 0.0f;
  device.draws.clear();
  clock.clock.AdvanceMs(100);
  instance.Update(false);
  EXPECT_TRUE(device.draws.empty());
  EXPECT_NEAR(instance.Hierarchy()->animationTime, 0.3f, 1e-6f);
}

TEST_F(MeshInstanceTest, StoppedInstanceRedrawsAtANewPlaceOnlyWhenForced) {
  // One shared instance drawn at many places per frame, as the asset store does.
  ASSERT_TRUE(instance.Load(Put("frames_and_materials.x")));
  instance.Update(false);
  clock.clock.AdvanceMs(1500);
  instance.Update(false);
  ASSERT_FALSE(instance.Hierarchy()->playing);  // "activate" ended: the instance does not loop
  for (float x : {5.0f, -7.0f}) {
    instance.position = {x, 0, 0};
    device.draws.clear();
    instance.Update(true);
    ASSERT_FALSE(device.draws.empty());
    EXPECT_NEAR(Place(device.draws[0].world, {0, 0, 0}).x, 10 + x, 1e-4f);
  }
  instance.position = {50, 0, 0};
  device.draws.clear();
  instance.Update(false);
  EXPECT_NEAR(Place(device.draws.at(0).world, {0, 0, 0}).x, 10 - 7, 1e-4f);
}

TEST_F(MeshInstanceTest, FailedLoadLeavesTheInstanceEmpty) {
  ASSERT_TRUE(instance.Load(Put("skinned.x")));
  EXPECT_FALSE(instance.Load(dir.Path("absent.x")));
  EXPECT_EQ(instance.Hierarchy(), nullptr);
  instance.Update(true);
  EXPECT_TRUE(device.draws.empty());
}

}  // namespace
