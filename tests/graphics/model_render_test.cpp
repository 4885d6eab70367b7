// Static models: what loading keeps (materials with ambient from diffuse, textures
// relative to the model's folder) and what a draw sets (world matrix order, colour
// and alpha per subset, texture scrolling by the offsets' sum).
#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>

#include "graphics/model.h"
#include "mesh_recording_device.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "test_support.h"
#include "xfile_test_fixtures.h"

namespace {

using graphics::Model;
using velorin_test::RecordingMeshDevice;

using velorin_test::ExpectNear;
using velorin_test::Place;

class ModelTest : public ::testing::Test {
 protected:
  std::string Put(const char* fixture) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadWholeFile(velorin_test::XFixturePath(fixture), bytes));
    dir.MakeDir("m");
    dir.WriteBytes(std::string("m/") + fixture, bytes);
    return dir.Path(std::string("m/") + fixture);
  }
  testsupport::TempDir dir;
  RecordingMeshDevice device;
  Model model{&device};
};

TEST_F(ModelTest, LoadKeepsMaterialsTexturesAndTheCurrentFolder) {
  const std::string before = platform::CurrentDirectory();
  ASSERT_TRUE(model.LoadFromX(Put("frames_and_materials.x")));
  EXPECT_EQ(platform::CurrentDirectory(), before);
  ASSERT_EQ(model.MaterialCount(), 2u);
  // The file's diffuse doubles as the ambient colour.
  EXPECT_EQ(model.Materials()[0].ambient, glm::vec4(1, 0, 0, 0.5f));
  EXPECT_EQ(model.Materials()[1].ambient, glm::vec4(0, 0, 1, 1));
  EXPECT_FLOAT_EQ(model.Materials()[0].power, 8.0f);
  // The texture is asked for relative to the model's folder.
  ASSERT_EQ(device.texturePaths, std::vector<std::string>{dir.Path("m/tex/red.png")});
  EXPECT_NE(model.TextureOf(0), nullptr);
  EXPECT_EQ(model.TextureOf(1), nullptr);
}

TEST_F(ModelTest, DrawPlacesScalesTurnsThenMovesAndTintsEverySubset) {
  ASSERT_TRUE(model.LoadFromX(Put("frames_and_materials.x")));
  model.transform.scale = {2, 2, 2};
  model.transform.rotation = {0, std::numbers::pi_v<float> / 2, 0};
  model.transform.position = {1, 0, 0};
  model.transform.colour = {0.5f, 0.25f, 1.0f};
  model.transform.alpha = 0.5f;
  model.Render();
  ASSERT_EQ(device.draws.size(), 2u);
  // (1, 0, 0) scaled to (2, 0, 0), a quarter turn about y takes +x to -z, then +1 in x.
  ExpectNear(Place(device.draws[0].world, {1, 0, 0}), {1, 0, -2});
  EXPECT_EQ(model.World(), device.draws[0].world);
  for (const auto& draw : device.draws) EXPECT_EQ(draw.material.diffuse, glm::vec4(0.5f, 0.25f, 1.0f, 0.5f));
  EXPECT_EQ(device.draws[0].material.ambient, glm::vec4(1, 0, 0, 0.5f));  // ambient is not touched
  EXPECT_EQ(device.draws[0].stage0, model.TextureOf(0));
  EXPECT_EQ(device.draws[1].stage0, nullptr);
  // The frame placement of the file is built into the vertices: the root's (10, 20, 30).
  ExpectNear(device.draws[0].corners.at(0).position, {10, 20, 30});
}

TEST_F(ModelTest, TextureScrollsOnlyWhenTheOffsetsDoNotCancel) {
  ASSERT_TRUE(model.LoadFromX(Put("frames_and_materials.x")));
  struct Case {
    glm::vec3 offset;
    bool scrolls;
  } cases[] = {
      {{0.1f, 0, 0}, true},
      {{0, 0.3f, 0}, true},
      {{0, 0, 0.2f}, true},  // w alone counts, though it moves nothing
      {{0.25f, -0.25f, 0}, false},
      {{0, 0, 0}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset.x << "," << c.offset.y << "," << c.offset.z);
    RecordingMeshDevice fresh;
    model.SetDevice(&fresh);
    model.transform.textureOffset = c.offset;
    model.Render();
    ASSERT_EQ(fresh.draws.size(), 2u);
    for (const auto& draw : fresh.draws) {
      EXPECT_EQ(draw.textureTransformOn, c.scrolls);
      if (c.scrolls) {
        ExpectNear(Place(draw.textureTransform, {0.5f, 0.5f, 1.0f}), {0.5f + c.offset.x, 0.5f + c.offset.y, 1.0f});
      }
    }
    EXPECT_EQ(fresh.textureTransformCalls, c.scrolls ? 2 : 0);
    EXPECT_FALSE(fresh.textureTransformOn);  // switched off after the draw
  }
}

TEST_F(ModelTest, FailuresLogAndLeaveNothingToDraw) {
  EXPECT_FALSE(model.LoadFromX(dir.Path("m/absent.x")));
  model.Render();
  EXPECT_TRUE(device.draws.empty());
  device.missing.push_back(dir.Path("m/tex/red.png"));
  ASSERT_TRUE(model.LoadFromX(Put("frames_and_materials.x")));
  EXPECT_EQ(model.TextureOf(0), nullptr);
  const auto lines = dir.GameLogTexts();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Could Not Load:" + dir.Path("m/absent.x")), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Could Not Load Texture:tex\\red.png"), lines.end());
  model.Release();
  model.Render();
  EXPECT_TRUE(device.draws.empty());
  EXPECT_TRUE(model.LoadFromX(Put("frames_and_materials.x")));  // loads again after a release
}

}  // namespace
