// The menu manager: owns the front end's screens and the shared themes, keeps the
// current menu number and switches it one frame after a screen asks, joins the
// controllers as players, runs the jukebox behind the menus and the controls legend.
// Screens never call each other; every switch goes through SwitchTo, so the hooks of
// leaving and entering a screen run whoever asked for the change.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "menus/menu_context.h"
#include "menus/screens/calibration_menu.h"
#include "menus/screens/drop_down_menu.h"
#include "menus/screens/main_menu.h"
#include "menus/screens/player_menu.h"
#include "menus/screens/song_load_menu.h"
#include "menus/screens/song_menu.h"

namespace menus {

struct JukeboxSlot {
  std::u16string folder;
  bool filled = false;
  bool newest = false;
};

class MenuManager {
 public:
  static constexpr int32_t kJukeboxSlots = 5;
  static constexpr int32_t kLegendElements = 6;
  // How long the menus wait for the Music thread to answer a pause request.
  static constexpr uint32_t kMusicPauseTimeoutMs = 2000;

  explicit MenuManager(MenuContext& context) : ctx_(context) {}
  ~MenuManager() { DestroyMenus(); }

  // Task thread at start-up: creates the screens and loads their themes.
  bool InitMenus(const std::u16string& musicFolder, const std::u16string& themeFolder);
  void LoadMenuThemes(const std::u16string& themeFolder);
  void Update();
  void Render(float screenWidth, float screenHeight);
  void ResetAfterSong();
  void DestroyMenus();
  // Makes `menu` current with the hooks a screen's own request would run.
  void SwitchTo(int32_t menu);

  bool JukeboxNext();
  bool JukeboxPrevious();
  void JukeboxPlay();
  bool PauseJukebox();
  bool ShowJukeboxSong();
  // The Music thread's pump: false when there is no jukebox audio.
  bool UpdateJukeboxAudio();

  void JoinControllers();
  void ApplyPlayerRequests();
  void UpdateControlsLegend();

  int32_t current = 0;
  int32_t previous = -1;
  std::atomic<bool> exitRequest{false};
  std::atomic<int32_t> exitCode{0};
  std::atomic<int32_t> themesLoaded{0};
  bool restartRequested = false;
  std::array<JukeboxSlot, kJukeboxSlots> jukebox{};
  int32_t jukeboxIndex = 0;
  std::u16string jukeboxFolder = u"NO PATH";

  MainMenu* mainMenu() const { return main_.get(); }
  SongMenu* songMenu() const { return song_.get(); }
  PlayerMenu* playerMenu() const { return player_.get(); }
  SongLoadMenu* songLoadMenu() const { return songLoad_.get(); }
  CalibrationMenu* calibrationMenu() const { return calibration_.get(); }
  DropDownHolderMenu* dropDowns() const { return dropDowns_.get(); }
  ScreenTheme* overlay() const { return overlay_.get(); }
  ScreenTheme* messageBox() const { return messageBox_.get(); }
  MenuContext& context() { return ctx_; }

 private:
  bool JukeboxAllowed() const;
  bool MusicAllowsRestart() const;
  void LeaveScreen(int32_t from, int32_t to);
  void EnterScreen(int32_t to);
  bool PauseMusicThread();
  void ResumeMusicThread();
  void RenderMessageRows(const std::vector<std::u16string>& rows);

  MenuContext& ctx_;
  std::u16string themeFolder_;
  std::unique_ptr<MainMenu> main_;
  std::unique_ptr<SongMenu> song_;
  std::unique_ptr<PlayerMenu> player_;
  std::unique_ptr<SongLoadMenu> songLoad_;
  std::unique_ptr<CalibrationMenu> calibration_;
  std::unique_ptr<DropDownHolderMenu> dropDowns_;
  std::unique_ptr<ScreenTheme> container_, overlay_, messageBox_;
  std::array<std::u16string, kLegendElements> legend_{};
  std::array<ListRow, 5> messageRows_{};
  int32_t messageSelected_ = 0;
  std::unique_ptr<MenuMusic> music_;
  std::mutex musicMutex_;  // the Music thread's pump against the jukebox's replacement
};

}  // namespace menus
