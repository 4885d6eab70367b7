// The asset store: the fixed gameplay textures (five tables addressed by slot) and
// models (78 mesh-instance slots), loaded once from the theme's "static/" folder with
// a fall-back to the default theme, and two caches of textures and models shared by
// path. Tables and caches own what they hold.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/mesh_instance.h"
#include "graphics/model.h"
#include "graphics/render_mesh_device.h"
#include "platform/gfx/render_device.h"

namespace graphics {

class ImageDecodePool;

using TexturePtr = std::unique_ptr<platform::gfx::Texture>;
// A fixed-table slot: a plain pointer owned by the store, because mesh hierarchies
// keep a slot's address and read the pointer through it at each draw.
using TextureSlotPointer = platform::gfx::Texture*;

inline constexpr int kNoteTextureSlots = 160;
inline constexpr int kFretTextureSlots = 131;
inline constexpr int kTailTextureSlots = 221;
inline constexpr int kMeterTextureSlots = 50;
inline constexpr int kNumberTextureSlots = 60;
inline constexpr int kMeshSlots = 78;

enum class TextureTable { kNote, kTail, kFret, kMeter, kNumber };

// One row of the fixed lists: a table slot and the file under "static/".
struct StaticAssetRow {
  int slot;
  std::u16string_view folder;
  std::u16string_view name;
};

// The theme everyone falls back to; the comparison with it is exact.
inline constexpr std::u16string_view kDefaultThemeFolder = u"themes/default/";

class GameAssets {
 public:
  explicit GameAssets(platform::gfx::RenderDevice* device);
  ~GameAssets();
  GameAssets(const GameAssets&) = delete;
  GameAssets& operator=(const GameAssets&) = delete;

  void LoadTextures(std::u16string_view themeFolder);
  // How many worker threads decode the fixed tables' pictures during LoadTextures, and
  // parse the models and decode their pictures during LoadModels (0: the loading thread
  // does it all itself). One per core unless set. The workers LoadTextures starts go on
  // to the same theme's models once the pictures are done, and LoadModels takes them
  // over, so no worker waits between the two.
  void SetDecodeThreads(int threads);
  int DecodeThreads() const { return decodeThreads_; }
  void LoadModels(std::u16string_view themeFolder);
  // Uploads every fixed texture but the number table's (main thread).
  void PreloadTextures();

  // The named caches. out may be null; it is written only on success.
  bool GetTexture(platform::gfx::Texture** out, bool reload, std::u16string_view name);
  bool GetModel(Model** out, std::u16string_view name);

  platform::gfx::RenderDevice* Device() const { return device_; }
  MeshDevice* MeshDeviceOf() { return &meshDevice_; }

  std::array<MeshInstance, kMeshSlots> meshes;
  std::array<TextureSlotPointer, kNoteTextureSlots> noteTextures;
  std::array<TextureSlotPointer, kFretTextureSlots> fretTextures;
  std::array<TextureSlotPointer, kTailTextureSlots> tailTextures;
  std::array<TextureSlotPointer, kMeterTextureSlots> meterTextures;
  std::array<TextureSlotPointer, kNumberTextureSlots> numberTextures;
  std::atomic<int32_t> texturesLoaded{0};
  std::atomic<int32_t> modelsLoaded{0};

  // How many rows the fixed lists have (the loading screen's totals).
  static int StaticTextureCount();
  static int StaticModelCount();

  size_t TextureCacheSize() const { return textureCache_.size(); }
  size_t ModelCacheSize() const { return modelCache_.size(); }

 private:
  struct TextureCacheEntry {
    TexturePtr texture;
    std::u16string name;
    bool loaded = false;
    bool Load(platform::gfx::RenderDevice* device, std::u16string_view path);
  };
  struct ModelCacheEntry {
    std::unique_ptr<Model> model;
    std::u16string name;
    bool loaded = false;
    bool Load(MeshDevice* device, std::u16string_view path);
  };

  // The model files LoadModels reads for a theme, as the pool is given them.
  static std::vector<std::string> ModelFiles(std::u16string_view themeFolder);

  platform::gfx::RenderDevice* device_;
  int decodeThreads_;
  RenderMeshDevice meshDevice_;
  // Started by LoadTextures with the models of modelsTheme_ queued after the pictures;
  // taken over by the next LoadModels of that theme (from the same folder).
  std::unique_ptr<ImageDecodePool> pool_;
  std::vector<std::string> pooledModels_;
  std::list<TextureCacheEntry> textureCache_;
  std::list<ModelCacheEntry> modelCache_;
};

// Loads theme folder + "static/" + file into slot, falling back to the default theme.
// counter (when given) counts the attempt whether it succeeds or not. Whatever the
// slot held is freed first. With a pool, a path queued there is taken from it in place
// of decoding it here.
bool LoadStaticTexture(platform::gfx::RenderDevice* device, TextureSlotPointer& slot, std::atomic<int32_t>* counter,
                       std::u16string_view file, std::u16string_view themeFolder, ImageDecodePool* pool = nullptr);
bool LoadStaticModel(MeshDevice* device, MeshInstance& mesh, std::atomic<int32_t>* counter,
                     std::u16string_view file, std::u16string_view themeFolder);

}  // namespace graphics
