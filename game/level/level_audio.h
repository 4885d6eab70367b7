// The level's bridge to the devices layer's sound-effect player.
#pragma once

#include "game/game_services.h"

// GameSound over the process's sound player (g_SoundPlayer); nothing plays while it
// does not exist.
class SoundPlayerSound : public GameSound {
 public:
  int32_t Play(int32_t id, float frequencyRatio, float volume) override;
  void SetVolume(int32_t handle, float volume) override;
  float BaseRatio(int32_t handle) override;
  void SetRatio(int32_t handle, float ratio) override;
};
