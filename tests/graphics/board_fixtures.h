// Board drawing fixtures: a theme folder of flat quad models and one-colour pictures
// for the asset store, and players whose note windows are filled by hand, so the
// board renderer can be driven without a chart.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "game/player.h"
#include "graphics/camera.h"
#include "graphics/game_assets.h"
#include "graphics/player_board.h"
#include "platform/gfx/render_device.h"

namespace boardtest {

// A flat quad in the board's plane (y = 0): `width` across, `depth` along the board,
// centred on the origin, in a frame, with one emissive white material.
std::string QuadModelText(float width, float depth);

// The depth of the fixture quad of model slot `slot`: every model is told apart by it.
float QuadDepthOf(int32_t slot);
// The model slot whose fixture quad reaches `maxZ` along the board; -1 when none.
int32_t SlotOfQuadDepth(float maxZ);

// Writes every model of the fixed model list as a quad under root/themes/default/
// static/ (or only those whose file name is in `onlyModels`, when not empty); every
// fixed picture as a 2x2 PNG of `rgba` except those named in `colours` (file name
// without folder and extension, e.g. "Note_Guitar_Yellow"). False when a file could
// not be written.
struct NamedColour {
  std::string name;
  uint32_t rgba;
};
bool WriteBoardTheme(const std::string& root, const std::vector<std::string>& onlyModels,
                     const std::vector<NamedColour>& colours, uint32_t rgba);

// A player of `kind` with `lanes` lanes and an empty note window.
void SetupPlayer(Player& p, int32_t kind, int32_t lanes);
// Fills note slot `slot`: active and drawn at board distance `position`, on `lane`.
NoteRecord& PutNote(Player& p, int32_t slot, int32_t lane, float position);
// Gives the note of `slot` a sustain to `endPosition`; held keeps its lane sustaining.
void PutSustain(Player& p, int32_t slot, float endPosition, bool hit, bool held);

// Draws one frame of the gameplay pass with `player`'s board alone on a black target
// and reads it back into `out` (false when it could not be read). `prepare` runs first
// inside the scene (device state a test wants).
bool DrawBoardFrame(platform::gfx::RenderDevice& device, graphics::GameAssets& assets, graphics::Cameras& cameras,
                    Player& player, graphics::PlayerBoard& board, int width, int height, platform::gfx::ImageData& out,
                    const std::function<void()>& prepare = {});

}  // namespace boardtest
