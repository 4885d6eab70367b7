// The main menu: the first screen, seven rows from quick play to quit, and the
// jukebox line. It asks for other screens only through its change flag.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "menus/menu_context.h"
#include "menus/screen_input.h"

namespace menus {

class MainMenu {
 public:
  static constexpr int32_t kRows = 7;

  explicit MainMenu(MenuContext& owner) : owner_(owner) {}
  bool LoadTheme(const std::u16string& dynamicFolder);
  void BuildList();
  void Update();

  ScreenTheme* theme() const { return theme_.get(); }
  int32_t selectedRow = 0;
  bool changeFlag = false;
  int32_t requestedMenu = 0;
  int32_t chooser = 0;  // the controller whose confirm chose
  std::string jukeboxLine;

 private:
  void MoveUp();
  void MoveDown();
  void Select(int32_t controller);

  MenuContext& owner_;
  EventBuffer events_{};
  std::unique_ptr<ScreenTheme> theme_;
  std::array<ListRow, kRows> rows_{};
};

}  // namespace menus
