// Skinning on the processor: bone matrices from offsets and combined frame matrices,
// and vertices moved by their weighted bones, against values worked out by hand.
#include <gtest/gtest.h>

#include "graphics/animation.h"
#include "graphics/skinning.h"
#include "xfile_test_fixtures.h"

namespace {

using platform::model::XMesh;
using platform::model::XModel;
using platform::model::XVertex;

constexpr float kHalf = 0.70710678f;

using velorin_test::ExpectNear;

// The combined matrices of the fixture's frames at a time of one set.
std::vector<glm::mat4> PoseAt(const XModel& model, uint32_t set, double seconds) {
  std::vector<glm::mat4> locals;
  for (const auto& f : model.frames) locals.push_back(f.transform);
  graphics::AnimationController controller(model);
  controller.SetTrackAnimationSet(set);
  controller.SetTrackPosition(seconds);
  controller.ApplyPose(locals);
  std::vector<glm::mat4> combined(locals.size());
  for (size_t i = 0; i < locals.size(); ++i) {
    int parent = model.frames[i].parent;  // parents come before their children
    combined[i] = parent < 0 ? locals[i] : combined[parent] * locals[i];
  }
  return combined;
}

const XMesh& Strip(const XModel& model) { return model.meshes.at(0); }

std::vector<glm::mat4> BoneMatrices(const XModel& model, const std::vector<glm::mat4>& combined) {
  std::vector<glm::mat4> bones;
  for (const auto& bone : Strip(model).bones)
    bones.push_back(graphics::BoneMatrix(bone.offset, combined.at(model.FindFrame(bone.frameName))));
  return bones;
}

TEST(Skinning, BoneMatrixOfTheTurnedBoneMatchesTheHandValue) {
  XModel model = velorin_test::LoadXFixture("skinned.x");
  ASSERT_EQ(Strip(model).bones.size(), 2u);
  auto bones = BoneMatrices(model, PoseAt(model, 1, 0.5));
  // Bone B at half of "bend": offset (-2, 0, 0), a turn of -45 degrees about z, then
  // back to (2, 0, 0). Rows of the file's form:
  //   ( c, -s, 0, 0), (s, c, 0, 0), (0, 0, 1, 0), (2 - 2c, 2s, 0, 1) with c = s = cos 45.
  const glm::mat4& b = bones[1];
  const float want[4][4] = {{kHalf, -kHalf, 0, 0}, {kHalf, kHalf, 0, 0}, {0, 0, 1, 0}, {2 - 2 * kHalf, 2 * kHalf, 0, 1}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(b[r][c], want[r][c], 1e-5f) << r << "," << c;
  // Bone A is not moved by "bend": its matrix is the identity.
  EXPECT_EQ(bones[0], glm::mat4(1.0f));
}

TEST(Skinning, VerticesFollowTheirWeightedBones) {
  XModel model = velorin_test::LoadXFixture("skinned.x");
  struct Case {
    const char* what;
    uint32_t set;
    double seconds;
    glm::vec3 atX0, atX2, atX3;  // where the file's vertices at x = 0, 2, 3 end up
  } cases[] = {
      {"rest", 0, 0.0, {0, 0, 0}, {2, 0, 0}, {3, 0, 0}},
      {"slide a quarter", 0, 0.25, {0, 1, 0}, {2, 1, 0}, {3, 1, 0}},
      {"bend half", 1, 0.5, {0, 0, 0}, {2, 0, 0}, {2 + kHalf, -kHalf, 0}},
      // The end of "bend": the bone has turned 90 degrees, so x = 3 sits at (2, -1);
      // x = 2 is half on each bone and both place it at (2, 0).
      {"bend end", 1, 0.999999, {0, 0, 0}, {2, 0, 0}, {2, -1, 0}},
  };
  std::vector<XVertex> out;
  std::vector<float> scratch;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    graphics::SkinMesh(Strip(model), BoneMatrices(model, PoseAt(model, c.set, c.seconds)), out, scratch);
    ASSERT_EQ(out.size(), Strip(model).vertices.size());
    for (size_t v = 0; v < out.size(); ++v) {
      float x = Strip(model).vertices[v].position.x;
      ExpectNear(out[v].position, x == 0.0f ? c.atX0 : (x == 2.0f ? c.atX2 : c.atX3));
    }
  }
}

TEST(Skinning, NormalsTurnWithTheBoneAndUnweightedVerticesStay) {
  XMesh mesh;
  mesh.vertices.resize(2);
  mesh.vertices[0].position = {1, 0, 0};
  mesh.vertices[0].normal = {1, 0, 0};
  mesh.vertices[1].position = {5, 5, 5};
  mesh.vertices[1].normal = {0, 0, 1};
  platform::model::XBone bone;
  bone.weights = {{0, 1.0f}};
  mesh.bones.push_back(bone);
  // A quarter turn about z that sends +x to +y, then a move by (0, 0, 3).
  glm::mat4 turn(0.0f);
  turn[0] = {0, 1, 0, 0};
  turn[1] = {-1, 0, 0, 0};
  turn[2] = {0, 0, 1, 0};
  turn[3] = {0, 0, 3, 1};
  std::vector<XVertex> out;
  std::vector<float> scratch;
  graphics::SkinMesh(mesh, {turn}, out, scratch);
  ExpectNear(out[0].position, {0, 1, 3});
  ExpectNear(out[0].normal, {0, 1, 0});
  ExpectNear(out[1].position, {5, 5, 5});
  ExpectNear(out[1].normal, {0, 0, 1});
}

}  // namespace
