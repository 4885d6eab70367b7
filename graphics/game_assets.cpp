// The asset store: fixed tables with the default-theme fall-back, and the shared
// texture and model caches.
#include "graphics/game_assets.h"

#include <algorithm>
#include <span>

#include "core/log.h"
#include "core/utils.h"
#include "graphics/game_asset_lists.h"
#include "graphics/image_decode_pool.h"

namespace graphics {

namespace gfx = platform::gfx;

namespace {

std::string Narrow(std::u16string_view path) { return ToNarrow(path); }

std::u16string TableFile(const StaticAssetRow& row) {
  return std::u16string(row.folder) + u"/" + std::u16string(row.name) + u".png";
}

template <size_t N>
void LoadTable(gfx::RenderDevice* device, std::array<TextureSlotPointer, N>& table, std::span<const StaticAssetRow> rows,
               std::atomic<int32_t>& counter, std::u16string_view theme, ImageDecodePool* pool) {
  for (const StaticAssetRow& row : rows)
    LoadStaticTexture(device, table.at(size_t(row.slot)), &counter, TableFile(row), theme, pool);
}

// Where the walk will look first for each row: the theme's own file. A fall-back to the
// default theme is rare and decoded when it happens.
void QueueTable(ImageDecodePool& pool, std::span<const StaticAssetRow> rows, std::u16string_view theme) {
  for (const StaticAssetRow& row : rows)
    pool.Queue(Narrow(std::u16string(theme) + u"static/" + TableFile(row)));
}

constexpr int kKeysFretSlots[] = {23, 24, 25, 26, 27, 28, 29, 30, 31};
constexpr int kNeckMaskedSlots[] = {45, 46, 47, 51, 52};
// The bars that show a level through the mask stage: the energy bars and their halves,
// and the rock meters, whose fill is uncovered the same way.
constexpr int kEnergyMaskedSlots[] = {53, 56, 57, 58, 59, 62, 63, 64};
constexpr int kNeckMaskSlot = 51;          // fret table: Neck_Mask
constexpr int kEnergyBarMaskSlot = 22;     // meter table: Meter_Energy_Bar_mask

template <size_t N>
bool Contains(const int (&list)[N], int slot) {
  for (int s : list)
    if (s == slot) return true;
  return false;
}

}  // namespace

bool LoadStaticTexture(gfx::RenderDevice* device, TextureSlotPointer& slot, std::atomic<int32_t>* counter,
                       std::u16string_view file, std::u16string_view themeFolder, ImageDecodePool* pool) {
  if (counter) counter->fetch_add(1);
  auto load = [&](const std::u16string& path) {
    delete slot;
    slot = nullptr;
    if (!device) return false;
    std::string narrow = Narrow(path);
    gfx::ImageData image;
    switch (pool ? pool->Take(narrow, image) : ImageDecodePool::Taken::kNotQueued) {
      case ImageDecodePool::Taken::kDecoded: slot = device->CreateTexture(std::move(image)).release(); break;
      case ImageDecodePool::Taken::kFailed: break;
      case ImageDecodePool::Taken::kNotQueued: slot = device->CreateTextureFromFile(narrow).release(); break;
    }
    return slot != nullptr;
  };
  std::u16string path = std::u16string(themeFolder) + u"static/" + std::u16string(file);
  if (load(path)) return true;
  Log(0, u"ERROR! Could Not Load Texture:" + path);
  if (themeFolder == kDefaultThemeFolder) return false;
  path = std::u16string(kDefaultThemeFolder) + u"static/" + std::u16string(file);
  Log(0, u"Loading Default:" + path);
  if (load(path)) return true;
  Log(0, u"ERROR! Could Not Load Texture:" + path);
  return false;
}

bool LoadStaticModel(MeshDevice* device, MeshInstance& mesh, std::atomic<int32_t>* counter, std::u16string_view file,
                     std::u16string_view themeFolder) {
  if (counter) counter->fetch_add(1);
  std::u16string base = GetCurrentFolder();
  if (!base.empty() && base.back() != u'/') base += u'/';
  mesh.SetDevice(device);
  std::u16string path = base + std::u16string(themeFolder) + u"static/" + std::u16string(file);
  if (mesh.Load(Narrow(path))) return true;
  Log(0, u"ERROR! Could Not Load Model:" + path);
  if (themeFolder == kDefaultThemeFolder) return false;
  path = base + std::u16string(kDefaultThemeFolder) + u"static/" + std::u16string(file);
  Log(0, u"Loading Default:" + path);
  if (mesh.Load(Narrow(path))) return true;
  Log(0, u"ERROR! Could Not Load Model:" + path);
  return false;
}

GameAssets::GameAssets(gfx::RenderDevice* device)
    : device_(device), decodeThreads_(ImageDecodePool::DefaultThreads()), meshDevice_(device) {
  noteTextures.fill(nullptr);
  fretTextures.fill(nullptr);
  tailTextures.fill(nullptr);
  meterTextures.fill(nullptr);
  numberTextures.fill(nullptr);
  for (MeshInstance& m : meshes) m.SetDevice(&meshDevice_);
}

GameAssets::~GameAssets() {
  auto release = [](auto& table) {
    for (auto& t : table) {
      delete t;
      t = nullptr;
    }
  };
  release(noteTextures);
  release(fretTextures);
  release(tailTextures);
  release(meterTextures);
  release(numberTextures);
  textureCache_.clear();
  for (ModelCacheEntry& e : modelCache_)
    if (e.model) e.model->Release();
  modelCache_.clear();
  // The mesh instances go with the members; their hierarchies keep table slot
  // addresses, which are gone by then and never read again.
}

int GameAssets::StaticTextureCount() {
  return int(std::size(kNoteTextureRows) + std::size(kTailTextureRows) + std::size(kFretTextureRows) +
             std::size(kMeterTextureRows) + std::size(kNumberTextureRows));
}

int GameAssets::StaticModelCount() { return int(std::size(kModelRows)); }

void GameAssets::SetDecodeThreads(int threads) { decodeThreads_ = std::clamp(threads, 0, ImageDecodePool::kMaxThreads); }

void GameAssets::LoadTextures(std::u16string_view theme) {
  texturesLoaded = 0;
  // Decoding is most of a load; the pool decodes ahead of the walk, which still fills
  // the slots and writes its log lines one row after another.
  pool_.reset();
  pooledModels_.clear();
  if (device_ && decodeThreads_ > 0) {
    pool_ = std::make_unique<ImageDecodePool>(decodeThreads_);
    QueueTable(*pool_, kNoteTextureRows, theme);
    QueueTable(*pool_, kTailTextureRows, theme);
    QueueTable(*pool_, kFretTextureRows, theme);
    QueueTable(*pool_, kMeterTextureRows, theme);
    QueueTable(*pool_, kNumberTextureRows, theme);
    // The models come next in every load: the workers parse them (and decode their
    // pictures) while this thread is still making the tables' textures.
    pooledModels_ = ModelFiles(theme);
    for (const std::string& file : pooledModels_) pool_->QueueModel(file);
  }
  LoadTable(device_, noteTextures, kNoteTextureRows, texturesLoaded, theme, pool_.get());
  LoadTable(device_, tailTextures, kTailTextureRows, texturesLoaded, theme, pool_.get());
  LoadTable(device_, fretTextures, kFretTextureRows, texturesLoaded, theme, pool_.get());
  LoadTable(device_, meterTextures, kMeterTextureRows, texturesLoaded, theme, pool_.get());
  LoadTable(device_, numberTextures, kNumberTextureRows, texturesLoaded, theme, pool_.get());
}

std::vector<std::string> GameAssets::ModelFiles(std::u16string_view theme) {
  // As the walk will first look: in the theme's own folder.
  std::u16string base = GetCurrentFolder();
  if (!base.empty() && base.back() != u'/') base += u'/';
  std::vector<std::string> files;
  for (const StaticAssetRow& row : kModelRows)
    files.push_back(Narrow(base + std::u16string(theme) + u"static/" + std::u16string(row.folder) + u"/" +
                           std::u16string(row.name) + u".X"));
  return files;
}

void GameAssets::LoadModels(std::u16string_view theme) {
  modelsLoaded = 0;
  auto modelFile = [](const StaticAssetRow& row) {
    return std::u16string(row.folder) + u"/" + std::u16string(row.name) + u".X";
  };
  // Parsing and the pictures the models name are most of this load; the pool does both
  // ahead of the walk, which still fills the slots and writes its log lines one row
  // after another. The textures' pool has them under way already when it was started
  // for the same files (same theme, same working folder).
  std::unique_ptr<ImageDecodePool> pool = std::move(pool_);
  std::vector<std::string> files = ModelFiles(theme);
  if (pool && files != pooledModels_) pool.reset();
  pooledModels_.clear();
  if (!pool && device_ && decodeThreads_ > 0) {
    pool = std::make_unique<ImageDecodePool>(decodeThreads_);
    for (const std::string& file : files) pool->QueueModel(file);
  }
  // The models name many of the same pictures: decode each once for this load.
  meshDevice_.ShareDecodes(true, pool.get());
  for (const StaticAssetRow& row : kModelRows) {
    MeshInstance& mesh = meshes.at(size_t(row.slot));
    LoadStaticModel(&meshDevice_, mesh, &modelsLoaded, modelFile(row), theme);
    if (Contains(kKeysFretSlots, row.slot)) mesh.pivot.z = 15.0f;
    // The hierarchy keeps the slot's address, so it draws whatever the slot holds then.
    if (Contains(kNeckMaskedSlots, row.slot) && mesh.Hierarchy())
      mesh.Hierarchy()->SetTexture(&fretTextures[kNeckMaskSlot], 1);
    if (Contains(kEnergyMaskedSlots, row.slot) && mesh.Hierarchy())
      mesh.Hierarchy()->SetTexture(&meterTextures[kEnergyBarMaskSlot], 1);
  }
  meshDevice_.ShareDecodes(false);
}

void GameAssets::PreloadTextures() {
  if (!device_) return;
  auto preload = [&](auto& table) {
    for (auto* t : table)
      if (t) device_->Preload(*t);
  };
  preload(noteTextures);
  preload(tailTextures);
  preload(fretTextures);
  preload(meterTextures);
}

bool GameAssets::TextureCacheEntry::Load(gfx::RenderDevice* device, std::u16string_view path) {
  texture.reset();
  name.clear();
  loaded = false;
  texture = device ? device->CreateTextureFromFile(Narrow(path)) : nullptr;
  if (!texture) return false;
  name = std::u16string(path);
  loaded = true;
  return true;
}

bool GameAssets::GetTexture(gfx::Texture** out, bool reload, std::u16string_view name) {
  for (TextureCacheEntry& e : textureCache_) {
    if (!e.loaded || e.name != name) continue;
    if (reload) e.Load(device_, std::u16string(name));
    if (out) *out = e.texture.get();
    return true;
  }
  textureCache_.emplace_back();
  if (!textureCache_.back().Load(device_, name)) {
    textureCache_.pop_back();
    Log(0, u"ERROR! Could Not Load Texture:" + std::u16string(name));
    return false;
  }
  if (out) *out = textureCache_.back().texture.get();
  return true;
}

bool GameAssets::ModelCacheEntry::Load(MeshDevice* device, std::u16string_view path) {
  if (model) model->Release();
  model.reset();
  name.clear();
  loaded = false;
  model = std::make_unique<Model>(device);
  if (!model->LoadFromX(Narrow(path))) {
    Log(0, u"Could Note Load Model:" + std::u16string(path));
    model->Release();
    model.reset();
    return false;
  }
  name = std::u16string(path);
  loaded = true;
  return true;
}

bool GameAssets::GetModel(Model** out, std::u16string_view name) {
  for (ModelCacheEntry& e : modelCache_) {
    if (!e.loaded || e.name != name) continue;
    if (out) *out = e.model.get();
    return true;
  }
  modelCache_.emplace_back();
  if (!modelCache_.back().Load(&meshDevice_, name)) {
    modelCache_.pop_back();
    Log(0, u"ERROR! Could Not Load Model:" + std::u16string(name));
    return false;
  }
  if (out) *out = modelCache_.back().model.get();
  return true;
}

}  // namespace graphics
