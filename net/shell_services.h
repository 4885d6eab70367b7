// The game's network entries in the shell's service table: the one game client
// (stepped by the frame, on the main thread) and the one game server (ticked by the
// Net thread while the player hosts).
#pragma once

#include "core/shell/services.h"

namespace net {

class GameClient;
class GameServer;

void RegisterShellServices(shell::Services& services);

// The process's client and server.
GameClient& Client();
GameServer& Server();

}  // namespace net
