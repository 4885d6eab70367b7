#include "menus/screens/calibration_menu.h"

#include "core/lang_ids.h"
#include "core/settings.h"

namespace menus {

CalibrationMenu::CalibrationMenu(MenuContext& owner) : SettingsMenu(owner) { BuildSettings(); }

void CalibrationMenu::BuildSettings() {
  Settings* s = owner_.settings;
  auto named = [&](int32_t row, int32_t name, int32_t description) -> theme::MenuSetting& {
    theme::MenuSetting& setting = settings.settings[row];
    setting.name = owner_.Text(name);
    setting.description = owner_.Text(description);
    setting.groupId = 0;
    return setting;
  };
  auto delay = [&](int32_t row, int32_t name, int32_t description, int32_t* bound) {
    theme::MenuSetting& setting = named(row, name, description);
    setting.kind = theme::SettingKind::kNumeric;
    setting.boundInt = bound;
    setting.intMinimum = -kDelayLimitMs;
    setting.intMaximum = kDelayLimitMs;
    setting.step = 1;
  };
  delay(kAudioDelay, LANG("LANG_OPTIONS_CALIBRATION_AUDIO_DELAY"), LANG("LANG_OPTIONS_CALIBRATION_AUDIO_DELAY_DESC"),
        s ? &s->AUDIOCALIBRATION : nullptr);
  delay(kVideoDelay, LANG("LANG_OPTIONS_CALIBRATION_VIDEO_DELAY"), LANG("LANG_OPTIONS_CALIBRATION_VIDEO_DELAY_DESC"),
        s ? &s->VIDEOCALIBRATION : nullptr);

  theme::MenuSetting& sync = named(kSyncMethod, LANG("LANG_OPTIONS_CALIBRATION_SYNC_METHOD"),
                                   LANG("LANG_OPTIONS_CALIBRATION_SYNC_METHOD_DESC"));
  sync.kind = theme::SettingKind::kChoice;
  sync.boundInt = s ? &s->SYNCMETHOD : nullptr;
  const int32_t labels[] = {LANG("LANG_GENERAL_NORMAL"), LANG("LANG_OPTIONS_CALIBRATION_VALUE_PERFORMANCE"),
                            LANG("LANG_OPTIONS_CALIBRATION_VALUE_SAMPLE_LINKED")};
  for (int32_t i = 0; i < 3; ++i) {
    theme::MenuChoice& c = sync.choices[i];
    c.label = owner_.Text(labels[i]);
    c.intValue = i;
    c.groupId = 0;
  }
  sync.choiceCount = 3;

  theme::MenuSetting& song = named(kCalibrationSong, LANG("LANG_OPTIONS_CALIBRATION_SONG"),
                                   LANG("LANG_OPTIONS_CALIBRATION_SONG_DESC"));
  song.kind = theme::SettingKind::kDisplay;
  // The count is set last: only now are the rows whole.
  settings.count = kRows;
}

void CalibrationMenu::ActionRow(int32_t row) {
  if (row == kCalibrationSong) Request(kRequestCalibrationSong);
}

}  // namespace menus
