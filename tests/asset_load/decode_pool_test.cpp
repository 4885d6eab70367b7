// Pooled picture decoding: a load of the fixed tables with worker threads fills the
// same slots with the same pixels and writes the same log lines, in the same order, as
// a load that decodes on its own thread; and the pool hands each queued decode over
// once, whichever order it is asked for.
#include <gtest/gtest.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/utils.h"
#include "graphics/game_asset_lists.h"
#include "graphics/game_assets.h"
#include "graphics/image_decode_pool.h"
#include "platform/gfx/render_device.h"
#include "test_support.h"

namespace {

namespace gfx = platform::gfx;
using graphics::GameAssets;
using graphics::ImageDecodePool;

// A picture whose size and pixels follow from seed, so every file differs.
bool WritePicture(const std::string& path, int seed) {
  const int w = 3 + seed % 17, h = 2 + seed % 11;
  std::vector<uint8_t> px(size_t(w) * size_t(h) * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[(size_t(y) * size_t(w) + size_t(x)) * 4];
      p[0] = uint8_t(seed * 37 + x * 11);
      p[1] = uint8_t(seed * 5 + y * 29);
      p[2] = uint8_t(x * y + seed);
      p[3] = uint8_t(255 - seed % 64);
    }
  return stbi_write_png(path.c_str(), w, h, 4, px.data(), w * 4) != 0;
}

uint64_t Checksum(const std::vector<uint8_t>& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

struct SlotPrint {
  bool present = false;
  int width = 0, height = 0;
  uint64_t sum = 0;
  bool operator==(const SlotPrint&) const = default;
};

template <size_t N>
void Print(const std::array<graphics::TextureSlotPointer, N>& table, std::vector<SlotPrint>& out) {
  for (gfx::Texture* t : table) {
    SlotPrint p;
    if (t) p = {true, t->Width(), t->Height(), Checksum(t->PendingPixels())};
    out.push_back(p);
  }
}

struct LoadPrint {
  std::vector<SlotPrint> slots;
  std::vector<std::string> log;
  int counted = 0;
};

// Every table row, in load order.
std::vector<graphics::StaticAssetRow> AllRows() {
  std::vector<graphics::StaticAssetRow> rows;
  for (auto list : {std::span<const graphics::StaticAssetRow>(graphics::kNoteTextureRows),
                    std::span<const graphics::StaticAssetRow>(graphics::kTailTextureRows),
                    std::span<const graphics::StaticAssetRow>(graphics::kFretTextureRows),
                    std::span<const graphics::StaticAssetRow>(graphics::kMeterTextureRows),
                    std::span<const graphics::StaticAssetRow>(graphics::kNumberTextureRows)})
    rows.insert(rows.end(), list.begin(), list.end());
  return rows;
}

std::string RowFile(const graphics::StaticAssetRow& row) {
  return ToNarrow(std::u16string(row.folder) + u"/" + std::u16string(row.name) + u".png");
}

class PooledLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The theme holds most rows itself; some only the default theme has (a fall-back
    // the walk decodes on its own), some are broken in the theme but fine in the
    // default, some are nowhere or broken everywhere.
    const std::vector<graphics::StaticAssetRow> rows = AllRows();
    ASSERT_EQ(rows.size(), size_t(GameAssets::StaticTextureCount()));
    for (size_t i = 0; i < rows.size(); ++i) {
      const std::string file = RowFile(rows[i]);
      const std::string folder = ToNarrow(std::u16string(rows[i].folder));
      dir.MakeDir("themes/default/static/" + folder);
      dir.MakeDir("themes/mine/static/" + folder);
      const int seed = int(i);
      switch (i % 23) {
        case 3:  // only in the default theme
          ASSERT_TRUE(WritePicture(dir.Path("themes/default/static/" + file), seed + 1000));
          break;
        case 7:  // broken in the theme, sound in the default
          dir.WriteBytes("themes/mine/static/" + file, "\x89PNG\r\n\x1a\n not really");
          ASSERT_TRUE(WritePicture(dir.Path("themes/default/static/" + file), seed + 2000));
          break;
        case 11:  // nowhere
          break;
        case 13:  // broken everywhere
          dir.WriteBytes("themes/mine/static/" + file, "GIF89a");
          dir.WriteBytes("themes/default/static/" + file, "");
          break;
        default:
          ASSERT_TRUE(WritePicture(dir.Path("themes/mine/static/" + file), seed));
          // The default's own copy differs, so taking it by mistake shows.
          ASSERT_TRUE(WritePicture(dir.Path("themes/default/static/" + file), seed + 3000));
      }
    }
  }

  LoadPrint Load(int threads) {
    auto device = gfx::CreateGlRenderDeviceOverStub(64, 64);
    const size_t before = dir.GameLogTexts().size();
    LoadPrint print;
    {
      GameAssets assets(device.get());
      assets.SetDecodeThreads(threads);
      EXPECT_EQ(assets.DecodeThreads(), threads);
      assets.LoadTextures(u"themes/mine/");
      print.counted = assets.texturesLoaded.load();
      Print(assets.noteTextures, print.slots);
      Print(assets.tailTextures, print.slots);
      Print(assets.fretTextures, print.slots);
      Print(assets.meterTextures, print.slots);
      Print(assets.numberTextures, print.slots);
    }
    auto all = dir.GameLogTexts();
    print.log.assign(all.begin() + long(before), all.end());
    return print;
  }

  testsupport::TempDir dir;
};

TEST_F(PooledLoadTest, SameSlotsPixelsAndLogAsOneThread) {
  const LoadPrint alone = Load(0);
  // The one-thread load itself is right: a fixed picture in its slot, the fall-backs
  // logged, and slots with no picture anywhere left empty.
  ASSERT_EQ(alone.counted, GameAssets::StaticTextureCount());
  size_t present = 0;
  for (const SlotPrint& s : alone.slots) present += s.present;
  const size_t rows = AllRows().size();
  size_t expected = 0, fallbacks = 0;
  for (size_t i = 0; i < rows; ++i) {
    expected += (i % 23 != 11 && i % 23 != 13);
    fallbacks += (i % 23 == 3 || i % 23 == 7 || i % 23 == 11 || i % 23 == 13);
  }
  EXPECT_EQ(present, expected);
  size_t defaults = 0;
  for (const std::string& line : alone.log) defaults += line.rfind("Loading Default:", 0) == 0;
  EXPECT_EQ(defaults, fallbacks);
  ASSERT_EQ(alone.slots[1].present, true);  // notes: Note_Guitar_Green, row 1
  EXPECT_EQ(alone.slots[1].width, 3 + 1 % 17);

  for (int threads : {1, 3, ImageDecodePool::kMaxThreads}) {
    SCOPED_TRACE("decode threads " + std::to_string(threads));
    const LoadPrint pooled = Load(threads);
    EXPECT_EQ(pooled.counted, alone.counted);
    ASSERT_EQ(pooled.slots.size(), alone.slots.size());
    for (size_t i = 0; i < alone.slots.size(); ++i) EXPECT_EQ(pooled.slots[i], alone.slots[i]) << "slot entry " << i;
    EXPECT_EQ(pooled.log, alone.log);
  }
}

TEST_F(PooledLoadTest, DefaultPoolIsOnePerCoreWithinBounds) {
  auto device = gfx::CreateGlRenderDeviceOverStub(64, 64);
  GameAssets assets(device.get());
  EXPECT_GE(assets.DecodeThreads(), 1);
  EXPECT_LE(assets.DecodeThreads(), ImageDecodePool::kMaxThreads);
  assets.SetDecodeThreads(99);
  EXPECT_EQ(assets.DecodeThreads(), ImageDecodePool::kMaxThreads);
  assets.SetDecodeThreads(-2);
  EXPECT_EQ(assets.DecodeThreads(), 0);
}

class DecodePoolTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
};

TEST_F(DecodePoolTest, EachQueueingIsHandedOverOnceInAnyOrder) {
  ASSERT_TRUE(WritePicture(dir.Path("a.png"), 4));
  ASSERT_TRUE(WritePicture(dir.Path("b.png"), 9));
  dir.WriteBytes("bad.png", "not a picture at all");
  gfx::ImageData a, b;
  ASSERT_TRUE(gfx::DecodeImageFile(dir.Path("a.png"), a));
  ASSERT_TRUE(gfx::DecodeImageFile(dir.Path("b.png"), b));

  struct Step {
    const char* file;
    ImageDecodePool::Taken taken;
    const gfx::ImageData* expect;  // null: out must be left empty
  };
  // Asked back to front, with a file queued twice and one never queued.
  const Step steps[] = {
      {"missing.png", ImageDecodePool::Taken::kFailed, nullptr},
      {"b.png", ImageDecodePool::Taken::kDecoded, &b},
      {"bad.png", ImageDecodePool::Taken::kFailed, nullptr},
      {"a.png", ImageDecodePool::Taken::kDecoded, &a},
      {"a.png", ImageDecodePool::Taken::kDecoded, &a},
      {"a.png", ImageDecodePool::Taken::kNotQueued, nullptr},
      {"never.png", ImageDecodePool::Taken::kNotQueued, nullptr},
  };
  for (int threads : {1, 2, 5}) {
    ImageDecodePool pool(threads);
    EXPECT_EQ(pool.Threads(), threads);
    for (const char* f : {"a.png", "a.png", "bad.png", "b.png", "missing.png"}) pool.Queue(dir.Path(f));
    for (const Step& s : steps) {
      SCOPED_TRACE(std::string(s.file) + " with " + std::to_string(threads) + " threads");
      gfx::ImageData out;
      out.width = -7;  // shows whether a take wrote out
      EXPECT_EQ(pool.Take(dir.Path(s.file), out), s.taken);
      if (s.expect) {
        EXPECT_EQ(out.width, s.expect->width);
        EXPECT_EQ(out.height, s.expect->height);
        EXPECT_EQ(out.rgba, s.expect->rgba);
      } else if (s.taken == ImageDecodePool::Taken::kFailed) {
        EXPECT_EQ(out.width, 0);
        EXPECT_TRUE(out.rgba.empty());
      } else {
        EXPECT_EQ(out.width, -7);
      }
    }
  }
}

TEST_F(DecodePoolTest, ClosingWithUntakenWorkNeitherHangsNorLeaks) {
  ASSERT_TRUE(WritePicture(dir.Path("p.png"), 12));
  for (int threads : {1, 4}) {
    ImageDecodePool pool(threads);
    for (int i = 0; i < 200; ++i) pool.Queue(dir.Path("p.png"));
    gfx::ImageData out;
    EXPECT_EQ(pool.Take(dir.Path("p.png"), out), ImageDecodePool::Taken::kDecoded);
    EXPECT_EQ(out.width, 3 + 12 % 17);
  }
  ImageDecodePool idle(3);  // nothing ever queued
  EXPECT_EQ(idle.Threads(), 3);
  EXPECT_EQ(ImageDecodePool(0).Threads(), 1);
  EXPECT_EQ(ImageDecodePool(100).Threads(), ImageDecodePool::kMaxThreads);
}

}  // namespace
