// The boards of every player while a song is played: one eye pass of the frame
// draws each player's necks, lane sections, lines, sustains, frets, notes and
// meters in the player's own viewport, then the full-screen overlays of play.
#pragma once

#include <cstdint>

namespace graphics {

// Draws the boards for eye pass `eye` (0, or 1 for the second eye of a
// stereoscopic frame). Reads the level's players; changes only the alpha values
// of the note placements it scales for this frame.
void RenderGameplay(int32_t eye);

}  // namespace graphics
