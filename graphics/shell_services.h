// Plugs the graphics foundation into the application shell: the cameras, the asset
// store, the shared quad, the scene context with its font manager, the sprite and
// the system fonts, made and torn down in the shell's start-up and shutdown order.
#pragma once

#include "core/shell/services.h"

namespace graphics {

void RegisterShellServices(shell::Services& services);

struct SceneContext;
// The scene context start-up made, or null before it and after shutdown.
SceneContext* CurrentSceneContext();

// The board camera values the debug keys move (the shell's record of them).
shell::BoardCamera& BoardCameraKeys();

}  // namespace graphics
