// The game server's registration in the public server list: the hook a server that
// is not private calls (on its own thread, at most once a period) to send its listing
// to the web service.
#pragma once

#include "net/server/game_server.h"

namespace net::online {

RegistrationHook ServerListRegistrationHook();

}  // namespace net::online
