// The asset store over a device made again, in a real OpenGL context (the SDL back end
// on the offscreen driver): its fixed textures and cache entries stay the same objects
// (boards, themes and mesh hierarchies hold their addresses), hold no name of the old
// context, and upload the same pixels into the new one.
#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "graphics/game_assets.h"
#include "platform/gfx/framework.h"
#include "platform/gfx/render_device.h"
#include "platform/paths.h"

namespace {

namespace gfx = platform::gfx;

std::vector<uint8_t> PixelsOf(const gfx::Texture& t) {
  std::vector<uint8_t> pixels(size_t(t.Width()) * size_t(t.Height()) * 4);
  glBindTexture(GL_TEXTURE_2D, t.GlName());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return pixels;
}

template <class F>
void ForEachFixedTexture(graphics::GameAssets& a, F&& f) {
  for (auto* t : a.noteTextures) if (t) f(*t);
  for (auto* t : a.fretTextures) if (t) f(*t);
  for (auto* t : a.tailTextures) if (t) f(*t);
  for (auto* t : a.meterTextures) if (t) f(*t);
  for (auto* t : a.numberTextures) if (t) f(*t);
}

void CheckAssetsOverARemake(const std::filesystem::path& run) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("LP_NUM_THREADS", "0", 1);
  ASSERT_TRUE(platform::SetCurrentDirectory(run.string()));
  std::unique_ptr<gfx::Framework> fw = gfx::CreateSdlFramework();
  ASSERT_TRUE(fw->CreateWindow(u"assets", gfx::kWindowStyleCaption, ""));
  ASSERT_TRUE(fw->CreateDevice(true, 320, 240));
  gfx::RenderDevice* render = &fw->GetDevice()->Render();
  auto assets = std::make_unique<graphics::GameAssets>(render);
  assets->LoadTextures(graphics::kDefaultThemeFolder);
  assets->LoadModels(graphics::kDefaultThemeFolder);
  gfx::Texture* neck = nullptr;
  ASSERT_TRUE(assets->GetTexture(&neck, false, u"themes/default/static/board/Neck_Mask.png"));
  assets->PreloadTextures();
  render->Preload(*neck);

  struct Kept {
    const gfx::Texture* texture;
    std::vector<uint8_t> pixels;
  };
  std::vector<Kept> kept;
  ForEachFixedTexture(*assets, [&](gfx::Texture& t) {
    if (t.GlName()) kept.push_back({&t, PixelsOf(t)});
  });
  ASSERT_GT(kept.size(), 100u) << "the default theme's fixed textures";
  const std::vector<uint8_t> neckPixels = PixelsOf(*neck);
  gfx::Texture* const maskSlot = assets->fretTextures[51];

  gfx::DeviceSettings s = fw->GetDeviceSettings();
  s.multisampleSamples = 1;  // the device is destroyed and made again
  ASSERT_TRUE(fw->ChangeDevice(s));
  ASSERT_EQ(&fw->GetDevice()->Render(), render);
  EXPECT_EQ(assets->Device(), &fw->GetDevice()->Render()) << "the store draws through the live device";

  // The same objects, none with a name of the old context.
  EXPECT_EQ(assets->fretTextures[51], maskSlot);
  int stale = 0;
  ForEachFixedTexture(*assets, [&](gfx::Texture& t) { stale += t.GlName() != 0 ? 1 : 0; });
  EXPECT_EQ(stale, 0);
  EXPECT_EQ(neck->GlName(), 0u);
  gfx::Texture* again = nullptr;
  ASSERT_TRUE(assets->GetTexture(&again, false, u"themes/default/static/board/Neck_Mask.png"));
  EXPECT_EQ(again, neck) << "the cache entry is the one the holders point to";

  // Made again in the new context, with the pixels they had.
  assets->PreloadTextures();
  render->Preload(*neck);
  int differing = 0;
  for (const Kept& k : kept) {
    ASSERT_NE(k.texture->GlName(), 0u);
    EXPECT_EQ(glIsTexture(k.texture->GlName()), GL_TRUE);
    differing += PixelsOf(*k.texture) != k.pixels ? 1 : 0;
  }
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(PixelsOf(*neck), neckPixels);

  assets.reset();
  fw->Shutdown();
}

}  // namespace

TEST(AssetsOverADeviceRemake, TexturesStayTheSameObjectsAndComeBackWithTheirPixels) {
  const char* env = std::getenv("VELORIN_RUN_DIR");
  const std::filesystem::path run = env && *env ? env : VELORIN_TEST_RUN_DIR;
  if (!std::filesystem::exists(run / "themes/default/static/board/Neck_Mask.png"))
    GTEST_SKIP() << "the run folder's content is not built";
  // In a child process: the driver keeps allocations past its unloading.
  EXPECT_EXIT(
      {
        CheckAssetsOverARemake(run);
        std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}
