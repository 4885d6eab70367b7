// Mesh hierarchies: textures found beside the model (with the base-name fall-back),
// what a draw sets per material and stage, skinned containers drawn in world space,
// animation set selection and the root-children frame search.
#include <gtest/gtest.h>

#include <algorithm>

#include "graphics/mesh_hierarchy.h"
#include "mesh_recording_device.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "test_support.h"
#include "xfile_test_fixtures.h"

namespace {

using graphics::MeshHierarchy;
using velorin_test::RecordingMeshDevice;

constexpr float kHalf = 0.70710678f;

using velorin_test::ExpectNear;
using velorin_test::Place;

bool HasLine(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

class MeshHierarchyTest : public ::testing::Test {
 protected:
  // Copies a fixture into the temporary folder under models/.
  std::string Put(const char* fixture) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadWholeFile(velorin_test::XFixturePath(fixture), bytes));
    dir.MakeDir("models");
    dir.WriteBytes(std::string("models/") + fixture, bytes);
    return dir.Path(std::string("models/") + fixture);
  }
  testsupport::TempDir dir;
  RecordingMeshDevice device;
};

TEST_F(MeshHierarchyTest, DrawSetsMaterialColourTexturesAndStageOneSlot) {
  const std::string path = Put("frames_and_materials.x");
  dir.MakeDir("models/tex");
  dir.WriteBytes("models/tex/red.png", "not read by the recording device");
  MeshHierarchy h(&device);
  ASSERT_TRUE(h.Load(path));
  EXPECT_EQ(h.fileName, u"frames_and_materials.x");
  ASSERT_EQ(device.texturePaths, std::vector<std::string>{dir.Path("models/tex/red.png")});
  const platform::gfx::Texture* red = device.textures[dir.Path("models/tex/red.png")];

  platform::gfx::Texture maskA(0, 8, 8), maskB(0, 16, 16);
  const platform::gfx::Texture* maskSlot = &maskA;  // a table slot of the asset store
  h.SetTexture(&maskSlot, 1);
  h.SetTexture(&maskSlot, 2);  // ignored
  h.colour = {0.2f, 0.4f, 0.6f};
  h.alpha = 0.5f;
  h.Update(0.0f, glm::mat4(1.0f));
  h.DrawAll();
  ASSERT_EQ(device.draws.size(), 2u);
  for (const auto& draw : device.draws) {
    EXPECT_EQ(draw.material.diffuse, glm::vec4(0.2f, 0.4f, 0.6f, 0.5f));
    EXPECT_EQ(draw.stage1, &maskA);
    ExpectNear(Place(draw.world, {0, 0, 0}), {10, 20, 30});  // the root frame's place
    EXPECT_EQ(draw.corners.size(), 3u);
  }
  EXPECT_EQ(device.draws[0].stage0, red);
  EXPECT_EQ(device.draws[1].stage0, nullptr);
  // The file's emissive stays until the flag asks for the level.
  EXPECT_EQ(device.draws[0].material.emissive, glm::vec4(0.1f, 0.2f, 0.3f, 1.0f));

  // The slot is read at each draw; an override texture replaces every material's own.
  maskSlot = &maskB;
  const platform::gfx::Texture* overrideSlot = &maskA;
  h.SetTexture(&overrideSlot, 0);
  h.emissiveFlag = true;
  h.emissiveLevel = 0.75f;
  device.draws.clear();
  h.DrawAll();
  ASSERT_EQ(device.draws.size(), 2u);
  for (const auto& draw : device.draws) {
    EXPECT_EQ(draw.stage0, &maskA);
    EXPECT_EQ(draw.stage1, &maskB);
    EXPECT_EQ(draw.material.emissive, glm::vec4(0.75f));
  }
  h.SetTexture(nullptr, 1);
  device.draws.clear();
  h.DrawAll();
  EXPECT_EQ(device.draws.at(0).stage1, nullptr);
}

TEST_F(MeshHierarchyTest, TextureLookupFallsBackToTheBaseNameAndLogsFailures) {
  const std::string path = Put("frames_and_materials.x");
  struct Case {
    const char* what;
    const char* fileBesideModel;  // null: none
    bool deviceRefuses;
    const char* logLine;          // null: none
  } cases[] = {
      {"base name beside the model", "red.png", false, nullptr},
      {"base name in another letter case", "RED.PNG", false, nullptr},
      {"nowhere", nullptr, false, "Could not find texture: tex\\red.png"},
      {"unreadable", "red.png", true, "Could not load texture: tex\\red.png"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* old : {"models/red.png", "models/RED.PNG"}) std::remove(dir.Path(old).c_str());
    platform::InvalidatePathCache();
    const std::string texture = dir.Path("models/red.png");
    if (c.fileBesideModel) dir.WriteBytes(std::string("models/") + c.fileBesideModel, "image");
    RecordingMeshDevice fresh;
    if (c.deviceRefuses) fresh.missing.push_back(texture);
    MeshHierarchy h(&fresh);
    ASSERT_TRUE(h.Load(path));
    h.DrawAll();
    ASSERT_FALSE(fresh.draws.empty());
    const bool textured = c.fileBesideModel != nullptr && !c.deviceRefuses;
    EXPECT_EQ(fresh.draws[0].stage0 != nullptr, textured);
    if (c.logLine) {
      EXPECT_TRUE(HasLine(dir.GameLogTexts(), c.logLine));
    }
  }
}

TEST_F(MeshHierarchyTest, FailedLoadLogsTheFileNameAndStaysEmpty) {
  MeshHierarchy h(&device);
  EXPECT_FALSE(h.Load(dir.Path("models/none.x")));
  EXPECT_TRUE(HasLine(dir.GameLogTexts(), "Could Not Load:none.x"));
  EXPECT_FALSE(h.HasFrames());
  h.DrawAll();
  EXPECT_TRUE(device.draws.empty());
}

TEST_F(MeshHierarchyTest, AnimationSetsByIndexAndName) {
  MeshHierarchy h(&device);
  ASSERT_TRUE(h.Load(Put("frames_and_materials.x")));
  EXPECT_EQ(h.setCount, 2u);
  EXPECT_EQ(h.GetAnimationSetName(0), "activate");
  EXPECT_EQ(h.GetAnimationSetName(1), "unactive");
  EXPECT_EQ(h.GetAnimationSetName(2), "Error: No set exists");
  EXPECT_FLOAT_EQ(h.period, 1.0f);  // set 0 is on the track from the load

  h.animationTime = 0.3f;
  h.playing = false;
  h.SetAnimationSet(0);  // already current: nothing changes
  EXPECT_FLOAT_EQ(h.animationTime, 0.3f);
  EXPECT_FALSE(h.playing);

  h.SetAnimationSetByName("unactive");
  EXPECT_EQ(h.currentSet, 1u);
  EXPECT_EQ(h.Controller()->GetTrackAnimationSet(), 1u);
  EXPECT_FLOAT_EQ(h.animationTime, 0.0f);
  EXPECT_TRUE(h.playing);
  EXPECT_FLOAT_EQ(h.period, 0.0f);  // a single key at tick 0

  h.SetAnimationSetByName("Error: No set exists");
  h.SetAnimationSetByName("Activate");  // names compare exactly
  EXPECT_EQ(h.currentSet, 1u);
  h.SetAnimationSet(9);  // past the sets: set 0
  EXPECT_EQ(h.currentSet, 0u);
}

TEST_F(MeshHierarchyTest, FindFrameSearchesOnlyTheRootsChildren) {
  MeshHierarchy h(&device);
  ASSERT_TRUE(h.Load(Put("frames_and_materials.x")));
  glm::mat4 m(0.0f);
  ASSERT_TRUE(h.FindFrame("DO-drum-kit1-ab", m));
  ExpectNear(Place(m, {0, 0, 0}), {1, 2, 3});
  EXPECT_TRUE(h.FindFrame("IO-kit1-kit2", m));
  EXPECT_FALSE(h.FindFrame("Deep", m));  // a grandchild
  EXPECT_FALSE(h.FindFrame("Root", m));
  EXPECT_FALSE(h.FindFrame("do-drum-kit1-ab", m));
}

TEST_F(MeshHierarchyTest, SkinnedMeshIsDrawnInWorldSpaceWithIdentityWorld) {
  MeshHierarchy h(&device);
  ASSERT_TRUE(h.Load(Put("skinned.x")));
  EXPECT_TRUE(HasLine(dir.GameLogTexts(), "Mesh has skinning info.\n Number of bones is: 2"));
  h.SetAnimationSet(1);  // bend
  glm::mat4 world(1.0f);
  world[3] = {0, 0, 10, 1};
  h.Update(0.5f, world);
  h.DrawAll();
  ASSERT_EQ(device.draws.size(), 1u);
  const auto& draw = device.draws[0];
  EXPECT_EQ(draw.world, glm::mat4(1.0f));
  ASSERT_EQ(draw.corners.size(), 3u);
  ExpectNear(draw.corners[0].position, {0, 0, 10});
  ExpectNear(draw.corners[1].position, {2, 0, 10});
  ExpectNear(draw.corners[2].position, {2 + kHalf, -kHalf, 10});
  // A speed divisor of 2 plays half as fast: 0.5 s more reach three quarters of the turn.
  h.speedDivisor = 2.0f;
  h.Update(0.5f, world);
  EXPECT_FLOAT_EQ(h.animationTime, 0.75f);
}

}  // namespace
