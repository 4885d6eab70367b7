// The numbers by which the shell, the level and the menus name menu screens and the
// song-load screen's states. The menu manager keeps its current menu as such a number,
// so these are plain enumerations that convert to it.
#pragma once

#include <cstdint>

namespace menu {

enum Id : int32_t {
  kMain = 1,
  kPlayerSelect = 2,
  kCalibration = 4,
  kNetwork = 6,
  kStartGame = 7,
  kLobby = 10,
};

// What the song-load screen shows while the level loads.
enum LoadState : int32_t {
  kLoadStarted = 0,
  kLevelSetUp = 1,
  kLoadFinished = 2,
};

}  // namespace menu
