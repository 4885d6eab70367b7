// The actions the in-game screens (pause, practice and end screens, the count-down)
// leave for the level's frame update to run. The level's rules and the screens both
// raise them, and the tests of either side script them, so they live in one place.
// Zero is no action; the numbers are the ones the level has always used.
#pragma once

#include <cstdint>

enum class InGameAction : int32_t {
  kNone = 0,
  kRestart = 1,
  kResume = 2,
  kQuit = 3,
  kExit = 4,
  kNextSong = 5,  // also the end of the song: the calibration song measures here
  kTogglePause = 6,
  kSkipForward = 7,
  kSkipBack = 8,
  kJump = 9,
  kClosePractice = 10,
};
