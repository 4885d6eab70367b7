// The gameplay engine's entries in the application shell's service table: the frame
// update of game states 2, 3 and 4 with the achievement checks, the level set-up of the
// level-load job, and the level's clock, rating and players for the shell's network
// step and shutdown, and the set list's current song for the renderers.
#pragma once

#include "core/shell/services.h"

namespace game {

void RegisterShellServices(shell::Services& services);

}  // namespace game
