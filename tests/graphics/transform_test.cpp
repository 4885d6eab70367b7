// Folding transforms: what adds, what multiplies, what comes out neutral.
#include <gtest/gtest.h>

#include <glm/gtc/constants.hpp>

#include "graphics/transform.h"

namespace {

using graphics::Transform;

Transform Sample() {
  Transform t;
  t.position = {1, 2, 3};
  t.reserved = {9, 9, 9};
  t.scale = {2, 3, 4};
  t.rotation = {0.1f, 0.2f, 0.3f};
  t.pivot = {5, 6, 7};
  t.colour = {0.5f, 0.25f, 1.0f};
  t.highlight = {1.0f, 0.5f, 0.5f};
  t.justification = {0.5f, 1, 2};
  t.postScale = {2, 2, 2};
  t.postOffset = {1, 1, 1};
  t.textureOffset = {0.25f, 0.5f, 0};
  t.alpha = 0.5f;
  return t;
}

TEST(TransformTest, ResetGivesNeutralValues) {
  Transform t = Sample();
  t.Reset();
  EXPECT_EQ(t.position, glm::vec3(0));
  EXPECT_EQ(t.reserved, glm::vec3(0));
  EXPECT_EQ(t.scale, glm::vec3(1));
  EXPECT_EQ(t.rotation, glm::vec3(0));
  EXPECT_EQ(t.pivot, glm::vec3(0));
  EXPECT_EQ(t.colour, glm::vec3(1));
  EXPECT_EQ(t.highlight, glm::vec3(1));
  EXPECT_EQ(t.justification, glm::vec3(0));
  EXPECT_EQ(t.postScale, glm::vec3(1));
  EXPECT_EQ(t.postOffset, glm::vec3(0));
  EXPECT_EQ(t.textureOffset, glm::vec3(0));
  EXPECT_EQ(t.alpha, 1.0f);
}

TEST(TransformTest, NeutralParentKeepsChildButPivotAndReserved) {
  Transform child = Sample();
  Transform r = child.Combine(Transform());
  EXPECT_EQ(r.position, child.position);
  EXPECT_EQ(r.scale, child.scale);
  EXPECT_EQ(r.rotation, child.rotation);
  EXPECT_EQ(r.colour, child.colour);
  EXPECT_EQ(r.highlight, child.highlight);
  EXPECT_EQ(r.justification, child.justification);
  EXPECT_EQ(r.postScale, child.postScale);
  EXPECT_EQ(r.postOffset, child.postOffset);
  EXPECT_EQ(r.textureOffset, child.textureOffset);
  EXPECT_EQ(r.alpha, child.alpha);
  EXPECT_EQ(r.pivot, glm::vec3(0));
  EXPECT_EQ(r.reserved, glm::vec3(0));
}

TEST(TransformTest, CombineAddsAndMultipliesMemberByMember) {
  Transform child = Sample();
  Transform parent = Sample();
  parent.colour = {0.5f, 0.5f, 0.5f};
  parent.highlight = {0, 0, 0};  // never reaches the child
  parent.rotation = {glm::pi<float>(), 0, 0};
  Transform r = child.Combine(parent);
  EXPECT_EQ(r.position, glm::vec3(2, 4, 6));
  EXPECT_EQ(r.scale, glm::vec3(4, 9, 16));
  EXPECT_FLOAT_EQ(r.rotation.x, 0.1f + glm::pi<float>());
  EXPECT_EQ(r.colour, glm::vec3(0.25f, 0.125f, 0.5f));
  EXPECT_EQ(r.highlight, glm::vec3(0.5f, 0.25f, 0.25f));
  EXPECT_EQ(r.justification, glm::vec3(1, 2, 4));
  EXPECT_EQ(r.postScale, glm::vec3(4));
  EXPECT_EQ(r.postOffset, glm::vec3(2));
  EXPECT_EQ(r.textureOffset, glm::vec3(0.5f, 1.0f, 0));
  EXPECT_FLOAT_EQ(r.alpha, 0.25f);
  EXPECT_EQ(r.pivot, glm::vec3(0));
}

TEST(TransformTest, RotationsAddWithoutWrapping) {
  Transform a, b;
  a.rotation.z = glm::pi<float>();
  b.rotation.z = glm::pi<float>();
  EXPECT_FLOAT_EQ(a.Combine(b).rotation.z, 2 * glm::pi<float>());
}

TEST(TransformTest, VisibilityThreshold) {
  struct Case {
    float alpha;
    bool visible;
  };
  for (Case c : {Case{0.0f, false}, Case{0.001f, false}, Case{0.0011f, true}, Case{1.0f, true}}) {
    Transform t;
    t.alpha = c.alpha;
    EXPECT_EQ(t.Visible(), c.visible) << c.alpha;
  }
}

}  // namespace
