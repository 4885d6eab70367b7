// Plugs the theme engine into the application shell: the reload of every menu theme
// (start-up, theme or language change, debug key), the video commands for the
// themes' background videos (activation, device loss and reset) and the load count
// the loading screen shows.
#pragma once

#include "core/shell/services.h"

namespace theme {

void RegisterShellServices(shell::Services& services);

}  // namespace theme
