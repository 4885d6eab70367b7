// Meshes and models drawn through the renderer's drawing device onto its Recording
// back end: the device state and the vertices of every draw, as the game would send
// them to OpenGL.
#include <gtest/gtest.h>

#include <numbers>

#include "graphics/mesh_instance.h"
#include "graphics/model.h"
#include "graphics/render_mesh_device.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/gfx/recording_device.h"
#include "test_support.h"
#include "xfile_test_fixtures.h"

namespace {

namespace gfx = platform::gfx;

// An uncompressed 32-bit image file of the given size, which the image decoder reads.
std::string TgaBytes(int width, int height) {
  std::string bytes(18, '\0');
  bytes[2] = 2;  // true colour
  bytes[12] = static_cast<char>(width & 0xff);
  bytes[13] = static_cast<char>(width >> 8);
  bytes[14] = static_cast<char>(height & 0xff);
  bytes[15] = static_cast<char>(height >> 8);
  bytes[16] = 32;
  bytes[17] = 0x28;  // eight alpha bits, top row first
  for (int i = 0; i < width * height; ++i) bytes += std::string("\x10\x20\x30\xff", 4);
  return bytes;
}

using velorin_test::ExpectNear;

class MeshRecordingBackEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string bytes;
    ASSERT_TRUE(platform::ReadWholeFile(velorin_test::XFixturePath("frames_and_materials.x"), bytes));
    dir.MakeDir("m");
    dir.MakeDir("m/tex");
    dir.WriteBytes("m/model.x", bytes);
    dir.WriteBytes("m/tex/red.png", TgaBytes(2, 1));
  }
  platform::ScopedFakeClock clock;
  testsupport::TempDir dir;
  gfx::RecordingRenderDevice device;
  graphics::RenderMeshDevice meshDevice{&device};
};

TEST_F(MeshRecordingBackEnd, InstanceDrawsEachMaterialWithItsTextureStageOneSlotAndPivotedWorld) {
  graphics::MeshInstance instance(&meshDevice);
  ASSERT_TRUE(instance.Load(dir.Path("m/model.x")));
  gfx::Texture maskA(0, 8, 8), maskB(0, 16, 16);
  const gfx::Texture* slot = &maskA;
  instance.Hierarchy()->SetTexture(&slot, 1);
  instance.Hierarchy()->colour = {1.0f, 0.5f, 0.25f};
  instance.Hierarchy()->alpha = 0.75f;
  device.SetTextureStageState(1, gfx::TextureStageState::kTexCoordIndex, 1);  // masks read set 1

  instance.pivot = {0, 0, 15};
  instance.SetRotation(std::numbers::pi_v<float> / 2, 0.0f, 0.0f);
  instance.scale = {2, 2, 2};
  instance.position = {1, 2, 3};
  instance.Update(true);
  ASSERT_EQ(device.draws.size(), 2u);

  const auto& red = device.draws[0];
  const auto& blue = device.draws[1];
  ASSERT_NE(red.state.textures[0], nullptr);
  EXPECT_EQ(red.state.textures[0]->Width(), 2);  // the file's texture, read beside the model
  EXPECT_EQ(blue.state.textures[0], nullptr);
  for (const auto* draw : {&red, &blue}) {
    EXPECT_EQ(draw->state.textures[1], &maskA);
    EXPECT_EQ(draw->state.material.diffuse, glm::vec4(1.0f, 0.5f, 0.25f, 0.75f));
    EXPECT_EQ(draw->state.fvf, gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex2);
    ASSERT_EQ(draw->vertices.size(), 3u);
  }
  // File vertex 0 sits at the root frame's (10, 20, 30): scaled, turned a quarter about
  // x around the pivot (0, 0, 15), then moved by (1, 2, 3).
  ExpectNear(red.vertices[0].world, {21, -43, 58});
  // Stage 1 reads the second coordinate set: (0.5, 0.5), (0.5, 0.75), (0.5, 1).
  EXPECT_EQ(red.vertices[1].uv1, glm::vec2(0.5f, 0.75f));
  EXPECT_EQ(red.vertices[0].uv0, glm::vec2(0.0f, 0.25f));

  // The slot is read again at the next draw.
  slot = &maskB;
  device.ClearLog();
  instance.Update(true);
  ASSERT_FALSE(device.draws.empty());
  EXPECT_EQ(device.draws[0].state.textures[1], &maskB);
}

TEST_F(MeshRecordingBackEnd, ModelScrollsItsTextureCoordinatesAndSwitchesTheScrollOff) {
  graphics::Model model(&meshDevice);
  ASSERT_TRUE(model.LoadFromX(dir.Path("m/model.x")));
  model.transform.textureOffset = {0.1f, 0.2f, 0.0f};
  model.transform.alpha = 0.5f;
  model.Render();
  ASSERT_EQ(device.draws.size(), 2u);
  const auto& draw = device.draws[0];
  EXPECT_EQ(draw.state.material.diffuse.a, 0.5f);
  EXPECT_EQ(draw.state.material.ambient, glm::vec4(1, 0, 0, 0.5f));
  ASSERT_NE(draw.state.textures[0], nullptr);
  EXPECT_EQ(draw.state.stage[0][size_t(gfx::TextureStageState::kTextureTransformFlags)],
            uint32_t(gfx::TextureTransform::kCount2));
  EXPECT_NEAR(draw.vertices[0].uv0.x, 0.1f, 1e-6f);
  EXPECT_NEAR(draw.vertices[0].uv0.y, 0.45f, 1e-6f);
  EXPECT_EQ(device.GetTextureStageState(0, gfx::TextureStageState::kTextureTransformFlags),
            uint32_t(gfx::TextureTransform::kDisable));
  ExpectNear(draw.vertices[0].world, {10, 20, 30});
}

}  // namespace
