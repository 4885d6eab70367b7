// The level's bridge to the devices layer's sound-effect player.
#pragma once

#include "game/game_services.h"

// GameSound over the process's sound player (g_SoundPlayer); nothing plays while it
// does not exist.
class SoundPlayerSound : public GameSound {
 public:
  SoundPlayerSound();
};
