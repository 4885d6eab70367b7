// The menu screens' entries in the shell's service table: the manager's life, its
// frame update, the song-load screen's state from the level-load job, the jukebox's
// audio pump and the command-line song folder; and the menus' side of the level
// session (the song-load screen, the player slots).
#pragma once

#include "core/shell/services.h"

namespace menus {

class MenuManager;
struct MenuContext;

void RegisterShellServices(shell::Services& services);

// The process's manager and the context it was made with (null before start-up).
MenuManager* Manager();
MenuContext* Context();

}  // namespace menus
