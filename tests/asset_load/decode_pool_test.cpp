// Pooled loading: a load of the fixed tables, and of the model slots with their
// pictures, with worker threads fills the same slots with the same pixels and meshes
// and writes the same log lines, in the same order, as a load that does everything on
// its own thread; and the pool hands each queued decode over once, whichever order it
// is asked for.
#include <gtest/gtest.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <algorithm>
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

// A w x h picture whose pixels follow from seed; the pixels written, or none when the
// file could not be written.
std::vector<uint8_t> WriteSizedPicture(const std::string& path, int w, int h, int seed) {
  std::vector<uint8_t> px(size_t(w) * size_t(h) * 4);
  uint32_t noise = uint32_t(seed) * 2654435761u + 1;
  for (uint8_t& b : px) {
    noise = noise * 1664525u + 1013904223u;
    b = uint8_t(noise >> 24);
  }
  if (!stbi_write_png(path.c_str(), w, h, 4, px.data(), w * 4)) px.clear();
  return px;
}

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

uint64_t Checksum(const platform::gfx::PixelVector& bytes) {
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

// A model file of one frame and one mesh of `corners` (at least 4) corners, a fan whose
// triangles take the two materials in turn; they name the two pictures as written.
std::string ModelText(int corners, const std::string& pictureA, const std::string& pictureB) {
  std::string x = "xof 0303txt 0032\nFrame Body {\n  Mesh Fan {\n    " + std::to_string(corners) + ";\n";
  for (int i = 0; i < corners; ++i)
    x += "    " + std::to_string(i % 3) + ".0; " + std::to_string(i / 3) + ".0; " + std::to_string(i) + ".5;" +
         (i + 1 < corners ? ",\n" : ";\n");
  x += "    " + std::to_string(corners - 2) + ";\n";
  for (int i = 1; i + 1 < corners; ++i)
    x += "    3; 0, " + std::to_string(i) + ", " + std::to_string(i + 1) + ";" + (i + 2 < corners ? ",\n" : ";\n");
  x += "    MeshMaterialList {\n      2;\n      " + std::to_string(corners - 2) + ";\n";
  for (int i = 1; i + 1 < corners; ++i) x += "      " + std::to_string((i - 1) % 2) + (i + 2 < corners ? ",\n" : ";;\n");
  for (const std::string& picture : {pictureA, pictureB})
    x += "      Material {\n        1.0; 1.0; 1.0; 1.0;;\n        4.0;\n        0.0; 0.0; 0.0;;\n"
         "        0.0; 0.0; 0.0;;\n        TextureFilename { \"" + picture + "\"; }\n      }\n";
  return x + "    }\n  }\n}\n";
}

struct MeshPrint {
  bool present = false;
  size_t vertices = 0, containers = 0;
  std::vector<SlotPrint> textures;
  bool operator==(const MeshPrint&) const = default;
};

struct ModelLoadPrint {
  std::vector<MeshPrint> meshes;
  std::vector<std::string> log;
  int counted = 0;
};

std::string ModelFile(const graphics::StaticAssetRow& row) {
  return ToNarrow(std::u16string(row.folder) + u"/" + std::u16string(row.name) + u".X");
}

class PooledModelLoadTest : public ::testing::Test {
 protected:
  // Rows by their index in the model list: most models are in the theme, naming a
  // picture of their folder that several models share and one of their own; some are
  // only in the default theme, broken in the theme, nowhere, or name pictures that are
  // missing, broken, or found by file name alone.
  enum Case { kInTheme, kOnlyDefault, kBrokenInTheme, kNowhere, kBadPictures, kByFileName };
  static Case CaseOf(size_t i) {
    switch (i % 11) {
      case 3: return kOnlyDefault;
      case 5: return kBrokenInTheme;
      case 7: return kNowhere;
      case 9: return kBadPictures;
      case 10: return kByFileName;
      default: return kInTheme;
    }
  }

  void SetUp() override {
    const auto& rows = graphics::kModelRows;
    ASSERT_EQ(std::size(rows), size_t(GameAssets::StaticModelCount()));
    for (size_t i = 0; i < std::size(rows); ++i) {
      const std::string folder = ToNarrow(std::u16string(rows[i].folder));
      const std::string mine = "themes/mine/static/" + folder + "/", fallback = "themes/default/static/" + folder + "/";
      dir.MakeDir(mine);
      dir.MakeDir(fallback);
      const int seed = int(i);
      const std::string shared = "shared_" + std::to_string(i % 4) + ".png";
      const std::string own = "own_" + std::to_string(i) + ".png";
      for (const std::string& place : {mine, fallback}) {
        ASSERT_TRUE(WritePicture(dir.Path(place + shared), int(i % 4) + (place == mine ? 100 : 200)));
        ASSERT_TRUE(WritePicture(dir.Path(place + own), seed + (place == mine ? 300 : 400)));
      }
      const std::string model = ModelText(4 + seed % 7, shared, own);
      const std::string file = ModelFile(rows[i]);
      switch (CaseOf(i)) {
        case kInTheme:
          dir.WriteBytes("themes/mine/static/" + file, model);
          break;
        case kOnlyDefault:
          dir.WriteBytes("themes/default/static/" + file, ModelText(5 + seed % 5, shared, own));
          break;
        case kBrokenInTheme:
          dir.WriteBytes("themes/mine/static/" + file, "xof 0303txt 0032\nFrame Body {\n  Mesh Fan { 3;");
          dir.WriteBytes("themes/default/static/" + file, model);
          break;
        case kNowhere:
          break;
        case kBadPictures:
          dir.WriteBytes(mine + "broken_" + std::to_string(i) + ".png", "\x89PNG\r\n\x1a\n no pixels");
          dir.WriteBytes("themes/mine/static/" + file,
                         ModelText(4 + seed % 7, "absent.png", "broken_" + std::to_string(i) + ".png"));
          break;
        case kByFileName:
          dir.WriteBytes("themes/mine/static/" + file, ModelText(4 + seed % 7, "maps\\\\" + shared, own));
          break;
      }
    }
  }

  // texturesTheme: the fixed tables are loaded from that theme first, as a level load
  // does, so the models may be under way before LoadModels begins.
  ModelLoadPrint Load(int threads, std::u16string_view texturesTheme = {}) {
    auto device = gfx::CreateGlRenderDeviceOverStub(64, 64);
    const size_t before = dir.GameLogTexts().size();
    ModelLoadPrint print;
    {
      GameAssets assets(device.get());
      assets.SetDecodeThreads(threads);
      if (!texturesTheme.empty()) assets.LoadTextures(texturesTheme);
      assets.LoadModels(u"themes/mine/");
      print.counted = assets.modelsLoaded.load();
      for (const graphics::MeshInstance& mesh : assets.meshes) {
        MeshPrint p;
        if (const graphics::MeshHierarchy* h = mesh.Hierarchy()) {
          p.present = true;
          p.containers = h->Containers().size();
          for (const graphics::MeshContainer& c : h->Containers()) {
            p.vertices += c.mesh ? c.mesh->vertices.size() : 0;
            for (const auto& t : c.textures) {
              SlotPrint tp;
              if (t) tp = {true, t->Width(), t->Height(), Checksum(t->PendingPixels())};
              p.textures.push_back(tp);
            }
          }
        }
        print.meshes.push_back(p);
      }
    }
    auto all = dir.GameLogTexts();
    print.log.assign(all.begin() + long(before), all.end());
    return print;
  }

  testsupport::TempDir dir;
};

TEST_F(PooledModelLoadTest, SameMeshesPicturesAndLogAsOneThread) {
  const ModelLoadPrint alone = Load(0);
  // The one-thread load itself is right: each listed slot holds its model with both
  // pictures (or none where they are missing or broken), and the fall-backs and the
  // pictures not found or not loaded are logged.
  const auto& rows = graphics::kModelRows;
  ASSERT_EQ(alone.counted, GameAssets::StaticModelCount());
  size_t fallbacks = 0, absent = 0, unloadable = 0;
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("model row " + std::to_string(i));
    const Case c = CaseOf(i);
    const MeshPrint& m = alone.meshes.at(size_t(rows[i].slot));
    fallbacks += (c == kOnlyDefault || c == kBrokenInTheme || c == kNowhere);
    absent += c == kBadPictures;
    unloadable += c == kBadPictures;
    ASSERT_EQ(m.present, c != kNowhere);
    if (c == kNowhere) continue;
    // Every triangle corner is a vertex of its own.
    EXPECT_EQ(m.vertices, 3 * (size_t(c == kOnlyDefault ? 5 + i % 5 : 4 + i % 7) - 2));
    ASSERT_EQ(m.textures.size(), 2u);
    EXPECT_EQ(m.textures[0].present, c != kBadPictures);
    EXPECT_EQ(m.textures[1].present, c != kBadPictures);
    if (c != kBadPictures) {
      EXPECT_EQ(m.textures[1].width, 3 + int(i + (c == kInTheme || c == kByFileName ? 300 : 400)) % 17);
    }
  }
  auto count = [&](const std::string& prefix) {
    return size_t(std::count_if(alone.log.begin(), alone.log.end(),
                                [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
  };
  EXPECT_EQ(count("Loading Default:"), fallbacks);
  EXPECT_EQ(count("Could not find texture: absent.png"), absent);
  EXPECT_EQ(count("Could not load texture: broken_"), unloadable);
  // The models that share a picture get the same pixels.
  ASSERT_TRUE(alone.meshes.at(size_t(rows[0].slot)).present && alone.meshes.at(size_t(rows[4].slot)).present);
  EXPECT_EQ(alone.meshes.at(size_t(rows[0].slot)).textures[0], alone.meshes.at(size_t(rows[4].slot)).textures[0]);

  for (int threads : {1, 3, ImageDecodePool::kMaxThreads}) {
    SCOPED_TRACE("decode threads " + std::to_string(threads));
    const ModelLoadPrint pooled = Load(threads);
    EXPECT_EQ(pooled.counted, alone.counted);
    ASSERT_EQ(pooled.meshes.size(), alone.meshes.size());
    for (size_t i = 0; i < alone.meshes.size(); ++i) EXPECT_EQ(pooled.meshes[i], alone.meshes[i]) << "mesh slot " << i;
    EXPECT_EQ(pooled.log, alone.log);
  }
}

// The textures' workers go on to the models; a LoadModels of another theme than the
// textures' must not take those over.
TEST_F(PooledModelLoadTest, TexturesThenModelsGiveTheSameMeshesPicturesAndLogAsOneThread) {
  for (std::u16string_view texturesTheme : {u"themes/mine/", u"themes/default/"}) {
    SCOPED_TRACE("textures from " + ToNarrow(std::u16string(texturesTheme)));
    const ModelLoadPrint alone = Load(0, texturesTheme);
    ASSERT_EQ(alone.counted, GameAssets::StaticModelCount());
    ASSERT_GT(std::count_if(alone.meshes.begin(), alone.meshes.end(), [](const MeshPrint& m) { return m.present; }),
              0);
    for (int threads : {1, ImageDecodePool::kMaxThreads}) {
      SCOPED_TRACE("decode threads " + std::to_string(threads));
      const ModelLoadPrint pooled = Load(threads, texturesTheme);
      EXPECT_EQ(pooled.counted, alone.counted);
      ASSERT_EQ(pooled.meshes.size(), alone.meshes.size());
      for (size_t i = 0; i < alone.meshes.size(); ++i)
        EXPECT_EQ(pooled.meshes[i], alone.meshes[i]) << "mesh slot " << i;
      EXPECT_EQ(pooled.log, alone.log);
    }
  }
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

TEST_F(DecodePoolTest, AParsedModelQueuesItsPicturesOnceAcrossModels) {
  ASSERT_TRUE(WritePicture(dir.Path("a.png"), 6));
  ASSERT_TRUE(WritePicture(dir.Path("b.png"), 8));
  dir.WriteBytes("one.X", ModelText(5, "a.png", "b.png"));
  dir.WriteBytes("two.X", ModelText(4, "sub\\\\a.png", "gone.png"));  // a.png by file name; gone.png nowhere
  dir.WriteBytes("bad.X", "xof 0303txt 0032\nFrame {");
  gfx::ImageData a;
  ASSERT_TRUE(gfx::DecodeImageFile(dir.Path("a.png"), a));
  for (int threads : {1, 4}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    ImageDecodePool pool(threads);
    for (const char* f : {"one.X", "bad.X", "two.X"}) pool.QueueModel(dir.Path(f));
    platform::model::XModel model;
    std::string error;
    // Taken out of queue order; a model is handed over once, and a picture is
    // never taken for a model or the other way round.
    EXPECT_EQ(pool.TakeModel(dir.Path("two.X"), model, error), ImageDecodePool::Taken::kDecoded);
    EXPECT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(pool.TakeModel(dir.Path("two.X"), model, error), ImageDecodePool::Taken::kNotQueued);
    EXPECT_EQ(pool.TakeModel(dir.Path("bad.X"), model, error), ImageDecodePool::Taken::kFailed);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(model.meshes.empty());
    gfx::ImageData out;
    EXPECT_EQ(pool.Take(dir.Path("one.X"), out), ImageDecodePool::Taken::kNotQueued);
    EXPECT_EQ(pool.TakeModel(dir.Path("one.X"), model, error), ImageDecodePool::Taken::kDecoded);
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].vertices.size(), 9u);
    // Both models name a.png: it was queued once, and gone.png not at all.
    EXPECT_EQ(pool.Take(dir.Path("a.png"), out), ImageDecodePool::Taken::kDecoded);
    EXPECT_EQ(out.rgba, a.rgba);
    EXPECT_EQ(pool.Take(dir.Path("a.png"), out), ImageDecodePool::Taken::kNotQueued);
    EXPECT_EQ(pool.Take(dir.Path("b.png"), out), ImageDecodePool::Taken::kDecoded);
    EXPECT_EQ(pool.Take(dir.Path("gone.png"), out), ImageDecodePool::Taken::kNotQueued);
  }
}

// Pictures decoded in a row on one thread, growing, shrinking and growing again (the
// allocator hands the decoder memory of the pictures before), each come out as
// written, on the loading thread and on workers alike.
TEST_F(DecodePoolTest, PicturesInARowOfChangingSizesComeOutAsWritten) {
  struct Size {
    int w, h;
  };
  const Size sizes[] = {{300, 200}, {40, 30}, {700, 500}, {300, 200}, {1000, 20}, {64, 64}, {701, 499}, {2, 2}};
  std::vector<std::vector<uint8_t>> written;
  for (size_t i = 0; i < std::size(sizes); ++i) {
    written.push_back(WriteSizedPicture(dir.Path("s" + std::to_string(i) + ".png"), sizes[i].w, sizes[i].h, int(i)));
    ASSERT_FALSE(written.back().empty());
  }
  for (int round = 0; round < 2; ++round)
    for (size_t i = 0; i < std::size(sizes); ++i) {
      SCOPED_TRACE("picture " + std::to_string(i) + " round " + std::to_string(round));
      gfx::ImageData out;
      ASSERT_TRUE(gfx::DecodeImageFile(dir.Path("s" + std::to_string(i) + ".png"), out));
      EXPECT_EQ(out.width, sizes[i].w);
      EXPECT_TRUE(out.rgba == written[i]);
    }
  ImageDecodePool pool(2);
  for (int round = 0; round < 3; ++round)
    for (size_t i = 0; i < std::size(sizes); ++i) pool.Queue(dir.Path("s" + std::to_string(i) + ".png"));
  for (int round = 0; round < 3; ++round)
    for (size_t i = 0; i < std::size(sizes); ++i) {
      SCOPED_TRACE("pooled picture " + std::to_string(i) + " round " + std::to_string(round));
      gfx::ImageData out;
      ASSERT_EQ(pool.Take(dir.Path("s" + std::to_string(i) + ".png"), out), ImageDecodePool::Taken::kDecoded);
      EXPECT_TRUE(out.rgba == written[i]);
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
