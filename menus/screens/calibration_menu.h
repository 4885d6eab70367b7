// The calibration screen: the audio and video delays, the song clock's sync method,
// and a row that takes the player to the calibration song, whose play measures both
// delays. Edits write straight into the settings record; the options screen saves it.
#pragma once

#include <cstdint>
#include <string>

#include "menus/screens/settings_menu.h"

namespace menus {

// The request the calibration row raises: song select pointed at the calibrator's
// folder. The manager reads it as this request only while the calibration screen is
// current (the same number is the jukebox's "next" elsewhere).
constexpr int32_t kRequestCalibrationSong = 64;

class CalibrationMenu : public SettingsMenu {
 public:
  enum Row : int32_t { kAudioDelay = 0, kVideoDelay = 1, kSyncMethod = 2, kCalibrationSong = 3, kRows = 4 };
  static constexpr int32_t kDelayLimitMs = 500;

  explicit CalibrationMenu(MenuContext& owner);

 protected:
  std::string DocumentName() const override { return "menu_calibration"; }
  int32_t BackMenu() const override { return static_cast<int32_t>(Menu::kOptions); }
  void ActionRow(int32_t row) override;

 private:
  void BuildSettings();
};

}  // namespace menus
