// Player select: each player takes one of fifteen boxes with a controller, chooses an
// instrument and a skill and becomes ready; remote players' boxes follow the game
// server's messages. When every box is ready a confirm starts the song, and the boxes
// become the session's players.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "game/game_message.h"
#include "menus/menu_context.h"
#include "menus/screen_input.h"
#include "menus/screens/player_slot.h"

namespace menus {

// Where the n-th of `count` boxes 500 units wide sits across a screen of the given
// size (theme units, 0 in the middle), and at which scale.
struct BoxPlacement {
  float x = 0;
  float scale = 1;
};
BoxPlacement PlaceBox(int32_t index, int32_t count, float screenWidth, float screenHeight);

class PlayerMenu {
 public:
  static constexpr int32_t kSlots = 15;
  static constexpr int32_t kGameTypes = 7;

  explicit PlayerMenu(MenuContext& owner);
  bool LoadTheme(const std::u16string& dynamicFolder);
  bool BuildLists();
  void Update();
  void Render(float screenWidth, float screenHeight);
  void ResetSlots();
  void RemovePlayer(int32_t playerId);
  // A type 2 message of the game server (codes 16, 17, 19, 20, 21, 27, 33, 36);
  // values out of range are dropped. Returns the menu the manager must show, or -1.
  int32_t ApplyNetMessage(const GameMessage& m);
  // The boxes in use become the session's players.
  void FillSession();

  PlayerSlot& Slot(int32_t i) { return *slots_[static_cast<size_t>(i)]; }
  int32_t slotCount = 0;
  bool leave = false;
  bool allReady = false;
  int32_t requestedMenu = 0;
  int32_t shownGameType = -1;
  ScreenTheme* theme() const { return theme_.get(); }

 private:
  PlayerSlot* SlotOf(int32_t controller);
  void HandleInput();
  void OnUpDown(int32_t controller, int32_t step);
  void OnConfirm(int32_t controller);
  void OnBack(int32_t controller);
  void OnStart(int32_t controller);
  void NextGameType();
  void AddSlot(int32_t controller, int32_t playerId, bool remote);
  void RemoveAt(int32_t i);
  void RefreshTexts();
  bool CalibrationSong() const;
  int32_t& GameType();

  MenuContext& owner_;
  EventBuffer events_{};
  std::unique_ptr<ScreenTheme> theme_;
  std::array<std::unique_ptr<PlayerSlot>, kSlots> slots_;
  std::vector<ListRow> playlistRows_;
  std::array<ListRow, kGameTypes> gameTypeRows_{};
  int32_t gameTypeFallback_ = 0;
  int32_t songIndexFallback_ = 0;
};

}  // namespace menus
