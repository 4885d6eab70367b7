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

// What the menus' background videos are told (MenuManager::ControlAllVideos).
enum class VideoCommand : int32_t {
  kRunMuted = 0,
  kStop = 1,
  kPause = 2,
  kHandleEvents = 3,
  kDeviceLost = 4,   // keep the position and release the video
  kDeviceReset = 5,  // make the video again where it was
};

// Why the menus ended their part of the game.
enum class ExitCode : int32_t {
  kQuit = 0,
  kPlaySong = 1,
};

}  // namespace menu
