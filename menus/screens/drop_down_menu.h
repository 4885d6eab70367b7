// The players' drop-down boxes: one per joined controller, opened with its menu
// button over whatever screen shows. A box lists the profile files and the MIDI-link
// and new-profile rows, offers the chosen profile's options, and changes the
// controller's kind. It never loads a profile itself: it raises requests on the
// player's seat, which the menu manager answers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "menus/menu_context.h"
#include "menus/screen_input.h"

namespace menus {

class DropDownBox {
 public:
  static constexpr int32_t kOptions = 4;
  static constexpr int32_t kKinds = 8;

  explicit DropDownBox(MenuContext& owner) : owner_(owner) {}
  bool LoadTheme(const std::u16string& dynamicFolder);
  void Bind(int32_t controller);
  void Release();
  void BuildLists();
  bool SelectProfileByName(const std::string& name);
  void Opened();
  void Close();
  void HandleInput();
  void UpdateListStates();

  int32_t controller = -1;  // -1: free
  int32_t chosenProfile = 0, profileCursor = 0, optionCursor = 0;
  int32_t state = 0;  // 1 profile list, 2 options
  std::vector<std::u16string> profileNames;  // without ".dat"
  ScreenTheme* theme() const { return theme_.get(); }

 private:
  void Select();
  Seat& SeatOf() { return owner_.seats[static_cast<size_t>(controller)]; }

  MenuContext& owner_;
  EventBuffer events_{};
  std::unique_ptr<ScreenTheme> theme_;
  std::vector<ListRow> profileRows_;
  std::array<ListRow, kOptions> optionRows_{};
  std::array<ListRow, kKinds> kindRows_{};
  int32_t previousProfileCursor_ = -1, previousOptionCursor_ = -1, previousState_ = -1;
  int32_t kindCursor_ = 3;
  std::u16string shownDefault_;
};

class DropDownHolderMenu {
 public:
  static constexpr int32_t kBoxes = 15;

  explicit DropDownHolderMenu(MenuContext& owner);
  bool LoadTheme(const std::u16string& dynamicFolder);
  bool Open(int32_t controller);
  void Update();
  void Render(float screenWidth, float screenHeight);
  void ReloadProfiles();
  DropDownBox& Box(int32_t i) { return *boxes_[static_cast<size_t>(i)]; }
  DropDownBox* BoxOf(int32_t controller);

 private:
  MenuContext& owner_;
  std::array<std::unique_ptr<DropDownBox>, kBoxes> boxes_;
};

}  // namespace menus
