// The asset store: fixed tables with the default-theme fall-back and its log lines,
// the load counters, and the shared texture cache.
#include <gtest/gtest.h>

#include <algorithm>

#include "gfx_fixtures.h"
#include "graphics/game_assets.h"
#include "graphics/render_mesh_device.h"
#include "platform/gfx/recording_device.h"
#include "test_support.h"

namespace {

namespace gfx = platform::gfx;
using graphics::GameAssets;

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

size_t Count(const std::vector<std::string>& lines, const std::string& prefix) {
  return size_t(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

class GameAssetsTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  gfx::RecordingRenderDevice device;
};

TEST_F(GameAssetsTest, StaticTextureFallbackTable) {
  dir.MakeDir("themes/default/static/notes");
  dir.MakeDir("themes/mine/static/notes");
  ASSERT_TRUE(gfxtest::WritePng(dir.Path("themes/default/static/notes/d.png"), 2, 2, 0xFFFFFFFF));
  ASSERT_TRUE(gfxtest::WritePng(dir.Path("themes/mine/static/notes/m.png"), 4, 4, 0xFFFFFFFF));
  struct Case {
    const char16_t* theme;
    const char16_t* file;
    bool loaded;
    int width;
    size_t failures, defaults;
  };
  const Case cases[] = {
      {u"themes/mine/", u"notes/m.png", true, 4, 0, 0},
      {u"themes/mine/", u"notes/d.png", true, 2, 1, 1},
      {u"themes/mine/", u"notes/x.png", false, 0, 2, 1},
      {u"themes/default/", u"notes/x.png", false, 0, 1, 0},
      {u"themes/Default/", u"notes/x.png", false, 0, 2, 1},  // the comparison is exact
  };
  for (const Case& c : cases) {
    size_t before = dir.GameLogTexts().size();
    graphics::TextureSlotPointer slot = nullptr;
    std::atomic<int32_t> counter{0};
    EXPECT_EQ(graphics::LoadStaticTexture(&device, slot, &counter, c.file, c.theme), c.loaded);
    EXPECT_EQ(counter.load(), 1);
    EXPECT_EQ(slot != nullptr, c.loaded);
    if (slot) {
      EXPECT_EQ(slot->Width(), c.width);
    }
    auto all = dir.GameLogTexts();
    std::vector<std::string> lines(all.begin() + long(before), all.end());
    EXPECT_EQ(Count(lines, "ERROR! Could Not Load Texture:"), c.failures);
    EXPECT_EQ(Count(lines, "Loading Default:"), c.defaults);
    delete slot;
  }
  auto lines = dir.GameLogTexts();
  EXPECT_TRUE(Has(lines, "ERROR! Could Not Load Texture:themes/mine/static/notes/d.png"));
  EXPECT_TRUE(Has(lines, "Loading Default:themes/default/static/notes/d.png"));
}

TEST_F(GameAssetsTest, FullLoadCountsEveryRowAndFillsListedSlots) {
  EXPECT_EQ(GameAssets::StaticTextureCount(), 294);
  EXPECT_EQ(GameAssets::StaticModelCount(), 77);
  dir.MakeDir("themes/default/static/notes");
  dir.MakeDir("themes/default/static/other");
  ASSERT_TRUE(gfxtest::WritePng(dir.Path("themes/default/static/notes/Note_Guitar_Green.png"), 2, 2, 0xFFFFFFFF));
  ASSERT_TRUE(gfxtest::WritePng(dir.Path("themes/default/static/other/22_vl.png"), 2, 2, 0xFFFFFFFF));
  GameAssets assets(&device);
  assets.LoadTextures(u"themes/default/");
  assets.LoadModels(u"themes/default/");
  EXPECT_EQ(assets.texturesLoaded.load(), 294);
  EXPECT_EQ(assets.modelsLoaded.load(), 77);
  EXPECT_NE(assets.noteTextures[1], nullptr);
  EXPECT_NE(assets.numberTextures[45], nullptr);
  EXPECT_EQ(assets.noteTextures[0], nullptr);
  auto lines = dir.GameLogTexts();
  EXPECT_TRUE(Has(lines, "ERROR! Could Not Load Texture:themes/default/static/notes/Note_Guitar_Bass.png"));
  EXPECT_EQ(Count(lines, "ERROR! Could Not Load Texture:"), 292u);
  EXPECT_EQ(Count(lines, "ERROR! Could Not Load Model:"), 77u);
  EXPECT_EQ(Count(lines, "Loading Default:"), 0u);
  for (int slot : {23, 31}) EXPECT_EQ(assets.meshes[size_t(slot)].pivot.z, 15.0f);
  EXPECT_EQ(assets.meshes[22].pivot.z, 0.0f);
}

TEST_F(GameAssetsTest, TextureCacheSharesReloadsAndForgetsFailures) {
  ASSERT_TRUE(gfxtest::WritePng(dir.Path("a.png"), 2, 2, 0xFFFFFFFF));
  ASSERT_TRUE(gfxtest::WritePng(dir.Path("A.PNG"), 3, 3, 0xFFFFFFFF));
  GameAssets assets(&device);
  gfx::Texture* first = nullptr;
  gfx::Texture* second = nullptr;
  ASSERT_TRUE(assets.GetTexture(&first, false, u"a.png"));
  ASSERT_TRUE(assets.GetTexture(&second, false, u"a.png"));
  EXPECT_EQ(first, second);
  gfx::Texture* other = nullptr;
  ASSERT_TRUE(assets.GetTexture(&other, false, u"A.PNG"));
  EXPECT_NE(other, first);
  EXPECT_EQ(assets.TextureCacheSize(), 2u);
  // Reload: same entry, a texture made again from the file.
  ASSERT_TRUE(gfxtest::WritePng(dir.Path("a.png"), 5, 5, 0xFFFFFFFF));
  gfx::Texture* reloaded = nullptr;
  ASSERT_TRUE(assets.GetTexture(&reloaded, true, u"a.png"));
  EXPECT_EQ(reloaded->Width(), 5);
  EXPECT_EQ(assets.TextureCacheSize(), 2u);
  EXPECT_TRUE(assets.GetTexture(nullptr, false, u"a.png"));
  gfx::Texture* untouched = reinterpret_cast<gfx::Texture*>(0x1);
  EXPECT_FALSE(assets.GetTexture(&untouched, false, u"missing.png"));
  EXPECT_EQ(untouched, reinterpret_cast<gfx::Texture*>(0x1));
  EXPECT_EQ(assets.TextureCacheSize(), 2u);
  EXPECT_TRUE(Has(dir.GameLogTexts(), "ERROR! Could Not Load Texture:missing.png"));
  graphics::Model* model = nullptr;
  EXPECT_FALSE(assets.GetModel(&model, u"missing.x"));
  EXPECT_EQ(assets.ModelCacheSize(), 0u);
  EXPECT_TRUE(Has(dir.GameLogTexts(), "Could Note Load Model:missing.x"));
  EXPECT_TRUE(Has(dir.GameLogTexts(), "ERROR! Could Not Load Model:missing.x"));
}

// The model load decodes each picture once: textures made while sharing is on come
// from the first decode of the file, each its own texture; turning sharing off drops
// the kept pixels, and a file that failed is tried again.
TEST_F(GameAssetsTest, SharedDecodesReadEachPictureOnceUntilTurnedOff) {
  graphics::RenderMeshDevice mesh(&device);
  const std::string picture = dir.Path("skin.png");
  const std::string missing = dir.Path("later.png");
  ASSERT_TRUE(gfxtest::WritePng(picture, 4, 2, 0xFF0000FF));
  mesh.ShareDecodes(true);
  auto first = mesh.CreateTextureFromFile(picture);
  EXPECT_EQ(mesh.CreateTextureFromFile(missing), nullptr);
  ASSERT_TRUE(gfxtest::WritePng(picture, 8, 8, 0xFF0000FF));  // changed on disk after the first read
  ASSERT_TRUE(gfxtest::WritePng(missing, 2, 2, 0xFF0000FF));
  auto second = mesh.CreateTextureFromFile(picture);
  auto appeared = mesh.CreateTextureFromFile(missing);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first.get(), second.get());
  EXPECT_EQ(second->Width(), 4) << "the shared decode was not used";
  ASSERT_NE(appeared, nullptr) << "a failed file must be read again";
  EXPECT_EQ(appeared->Width(), 2);
  mesh.ShareDecodes(false);
  auto fresh = mesh.CreateTextureFromFile(picture);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->Width(), 8) << "kept pixels outlived the sharing";
}

}  // namespace
