// Drawing one of the asset store's shared models at a placement: the slot's single
// mesh instance is re-placed, re-textured and re-coloured before every draw, so
// every board object that shares a model draws through here.
#pragma once

#include <cstdint>

#include "graphics/transform.h"

namespace platform::gfx {
class Texture;
}

namespace graphics {

class GameAssets;

// Draws model slot `model` of the store with the texture held in `textureSlot` (read
// at draw time; null draws the model's own textures) at `place` (position, scale,
// rotation, colour and alpha). Nothing is drawn for a missing model, a slot out of
// range or an alpha at or below 0.001. True when a draw was issued.
bool DrawAssetModel(GameAssets* assets, int32_t model, platform::gfx::Texture* const* textureSlot,
                    const Transform& place);

}  // namespace graphics
