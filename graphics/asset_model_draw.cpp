// Re-placing the asset store's shared mesh instance of a model and drawing it.
#include "graphics/asset_model_draw.h"

#include "graphics/game_assets.h"

namespace graphics {

bool DrawAssetModel(GameAssets* assets, int32_t model, platform::gfx::Texture* const* textureSlot,
                    const Transform& place) {
  if (!assets || model < 0 || model >= kMeshSlots || !place.Visible()) return false;
  MeshInstance& instance = assets->meshes[static_cast<size_t>(model)];
  MeshHierarchy* hierarchy = instance.Hierarchy();
  if (!hierarchy) return false;
  hierarchy->SetTexture(textureSlot, 0);
  hierarchy->alpha = place.alpha;
  hierarchy->colour = place.colour;
  instance.PlaceAt(place);
  // The one instance is moved for every object that shares the model, so its frame
  // matrices are brought up to the new placement at every draw.
  instance.Update(true);
  return true;
}

}  // namespace graphics
