// The animation controller: key sampling, set selection, track position and speed,
// and sets that repeat once their period is over.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/animation.h"
#include "xfile_test_fixtures.h"

namespace {

using graphics::AnimationController;
using platform::model::XAnimationTrack;

constexpr float kHalf = 0.70710678f;

using velorin_test::ExpectNear;
using velorin_test::Place;

TEST(AnimationTrack, KeysInterpolateAndHoldAtTheEnds) {
  XAnimationTrack track;
  track.positionKeys = {{10.0, {0, 0, 0}}, {110.0, {4, 8, 0}}};
  track.scaleKeys = {{10.0, {1, 1, 1}}, {110.0, {3, 1, 1}}};
  struct Case {
    double ticks;
    glm::vec3 origin;    // where (0, 0, 0) goes
    glm::vec3 unitX;     // where (1, 0, 0) goes
  } cases[] = {
      {0.0, {0, 0, 0}, {1, 0, 0}},     // before the first key: held
      {10.0, {0, 0, 0}, {1, 0, 0}},
      {35.0, {1, 2, 0}, {2.5f, 2, 0}},  // a quarter of the way
      {110.0, {4, 8, 0}, {7, 8, 0}},
      {500.0, {4, 8, 0}, {7, 8, 0}},   // after the last key: held
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ticks);
    glm::mat4 m = graphics::SampleTrack(track, c.ticks);
    ExpectNear(Place(m, {0, 0, 0}), c.origin);
    ExpectNear(Place(m, {1, 0, 0}), c.unitX);
  }
}

TEST(AnimationTrack, ScaleComesBeforeRotationBeforeTranslation) {
  XAnimationTrack track;
  track.scaleKeys = {{0.0, {2, 2, 2}}};
  track.rotationKeys = {{0.0, glm::quat(kHalf, 0, 0, kHalf)}};  // +x turns to +y
  track.positionKeys = {{0.0, {10, 0, 0}}};
  ExpectNear(Place(graphics::SampleTrack(track, 0.0), {1, 0, 0}), {10, 2, 0});
}

TEST(AnimationController, SetsByIndexWithNamesAndPeriods) {
  auto model = velorin_test::LoadXFixture("skinned.x");
  AnimationController controller(model);
  ASSERT_EQ(controller.GetMaxNumAnimationSets(), 2u);
  EXPECT_EQ(controller.GetSetName(0), "slide");
  EXPECT_EQ(controller.GetSetName(1), "bend");
  EXPECT_EQ(controller.GetSetName(2), "");
  EXPECT_DOUBLE_EQ(controller.GetSetPeriod(0), 1.0);  // 100 ticks at 100 per second
  EXPECT_DOUBLE_EQ(controller.GetSetPeriod(5), 0.0);
  controller.SetTrackAnimationSet(1);
  EXPECT_EQ(controller.GetTrackAnimationSet(), 1u);
  controller.SetTrackAnimationSet(7);
  EXPECT_EQ(controller.GetTrackAnimationSet(), 1u);
}

TEST(AnimationController, AdvanceWritesOnlyAnimatedFramesAndWraps) {
  auto model = velorin_test::LoadXFixture("skinned.x");
  const int boneA = model.FindFrame("BoneA");
  const int boneB = model.FindFrame("BoneB");
  ASSERT_GE(boneA, 0);
  ASSERT_GE(boneB, 0);
  std::vector<glm::mat4> locals;
  for (const auto& f : model.frames) locals.push_back(f.transform);

  AnimationController controller(model);
  controller.SetTrackAnimationSet(1);  // bend
  controller.SetTrackPosition(0.0);
  controller.AdvanceTime(0.5, locals);
  // Half-way from no turn to the key (cos 45, 0, 0, sin 45) of the file, which the
  // format's key convention makes a turn of +x towards -y: 45 degrees of it, then the
  // key's move to (2, 0, 0).
  ExpectNear(Place(locals[boneB], {1, 0, 0}), {2 + kHalf, -kHalf, 0});
  ExpectNear(Place(locals[boneA], {1, 0, 0}), {1, 0, 0});  // not in this set

  controller.SetTrackAnimationSet(0);  // slide: up by 4 in one second
  controller.SetTrackPosition(0.0);
  controller.SetTrackSpeed(2.0f);
  controller.AdvanceTime(0.125, locals);  // a quarter of the set at double speed
  ExpectNear(Place(locals[boneA], {0, 0, 0}), {0, 1, 0});
  EXPECT_DOUBLE_EQ(controller.GetTrackPosition(), 0.25);
  controller.AdvanceTime(0.5, locals);  // 1.25 s: the set has repeated
  ExpectNear(Place(locals[boneA], {0, 0, 0}), {0, 1, 0});

  controller.SetTrackEnable(false);
  locals[boneA] = glm::mat4(1.0f);
  controller.AdvanceTime(0.1, locals);
  ExpectNear(Place(locals[boneA], {0, 0, 0}), {0, 0, 0});
}

}  // namespace
