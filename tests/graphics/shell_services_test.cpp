// The graphics start-up and shutdown entries of the shell, run in the shell's order
// on a device without a context: everything is made, reachable from the scene
// context, and gone again afterwards.
#include <gtest/gtest.h>

#include "gfx_fixtures.h"
#include "graphics/scene_context.h"
#include "graphics/shell_services.h"
#include "platform/gfx/device.h"
#include "test_support.h"

namespace {

TEST(GraphicsShellServicesTest, StartUpAndTearDownInOrder) {
  testsupport::TempDir dir;
  dir.MakeDir("data/fonts/Small");
  ASSERT_TRUE(gfxtest::WritePng(dir.Path("data/fonts/Small/65.png"), 4, 8, 0xFFFFFFFF));
  shell::Services services;
  graphics::RegisterShellServices(services);
  auto& g = services.graphics;
  platform::gfx::Device device(false);
  device.SetBackBufferSize(320, 240);
  int width = 320, height = 240;
  {
    auto sprite = g.createSprite(device);
    auto font = g.createFont(device, 18, 700, u"Arial");
    ASSERT_NE(sprite, nullptr);
    ASSERT_NE(font, nullptr);
    g.createCameras();
    g.createGameAssets();
    g.createSharedQuad(&device);
    shell::SceneContextInit init;
    init.backBufferWidth = &width;
    init.backBufferHeight = &height;
    init.device = &device;
    g.createSceneContext(init);
    g.loadTextures(u"themes/default/");
    EXPECT_EQ(g.texturesLoaded(), 294);
    graphics::SceneContext* scene = graphics::CurrentSceneContext();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->fonts.GetQuad(), nullptr);
    g.createQuads();
    EXPECT_NE(scene->fonts.GetQuad(), nullptr);
    g.loadFonts(u"data/fonts/");
    EXPECT_EQ(scene->device, &device.Render());
    EXPECT_NE(scene->cameras[0], nullptr);
    EXPECT_NE(scene->assets, nullptr);
    EXPECT_NE(scene->quad, nullptr);
    EXPECT_NE(scene->systemFont, nullptr);
    ASSERT_NE(scene->sprite, nullptr);
    EXPECT_NE(*scene->sprite, nullptr);
    EXPECT_EQ(scene->fonts.FontCount(), 1u);
    EXPECT_EQ(*scene->screenWidth, 320);
    g.setPracticeMode(true);
    EXPECT_TRUE(scene->practice);
    graphics::Transform t;
    EXPECT_TRUE(scene->fonts.DrawText(&t, 0, 0, -1, -1, u"A", u"small", 0.0f));

    g.destroySceneContext();
    g.destroySharedQuad();
    g.destroyCameras();
    g.destroyGameAssets();
    EXPECT_EQ(graphics::CurrentSceneContext(), nullptr);
    EXPECT_EQ(graphics::Globals().assets, nullptr);
    EXPECT_EQ(graphics::Globals().quad, nullptr);
    EXPECT_EQ(graphics::Globals().cameras, nullptr);
  }
  EXPECT_EQ(graphics::Globals().sprite, nullptr);
  EXPECT_EQ(graphics::Globals().systemFont, nullptr);
}

}  // namespace
