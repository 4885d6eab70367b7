// The shape every settings screen shares: a list of settings shown as three parallel
// theme lists (name, value, description), the row states kept in step with the list
// (hover under the cursor, disabled for locked settings, edit for the row being
// changed), and the input that moves the cursor, edits a value in place and leaves.
// A screen derives from it, fills `settings` in its constructor and names its theme
// document and the menu Back returns to.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "menus/menu_context.h"
#include "menus/screen_input.h"
#include "theme/option_list.h"

namespace menus {

class SettingsMenu {
 public:
  static constexpr int32_t kMaxSettings = 45;
  static constexpr int32_t kMaxChoices = 80;

  explicit SettingsMenu(MenuContext& owner);
  virtual ~SettingsMenu() = default;
  SettingsMenu(const SettingsMenu&) = delete;
  SettingsMenu& operator=(const SettingsMenu&) = delete;

  // Loads the screen's document from the theme's dynamic folder and rebuilds the rows.
  // A failed load leaves the screen without a theme (it still takes input).
  bool LoadTheme(const std::u16string& dynamicFolder);
  // New rows, one per setting, handed to the three lists. False without a theme.
  bool BuildLists();
  // Row texts, then every disabled / edit / hover state that changed since it was
  // last signalled. Nothing without a theme.
  void UpdateListStates();
  // One frame as the menu manager runs a settings screen: the settings read back
  // from what they are bound to, the row states, then the screen's input.
  void Frame();
  virtual void Update();

  ScreenTheme* theme() const { return theme_.get(); }

  theme::OptionList settings;
  bool changeRequested = false;
  int32_t requestedMenu = 0;

 protected:
  virtual std::string DocumentName() const = 0;
  virtual int32_t BackMenu() const = 0;
  // Confirm on a setting that cannot be edited (an action row, or a locked one).
  virtual void ActionRow(int32_t /*row*/) {}
  void Request(int32_t menu);

  MenuContext& owner_;

 private:
  void Signal(const char* list, std::vector<ListRow>& rows, int32_t row, bool on, uint8_t ListRow::*state,
              const char* onEvent, const char* offEvent);

  EventBuffer events_{};
  std::unique_ptr<ScreenTheme> theme_;
  std::vector<ListRow> names_, values_, descriptions_;
};

}  // namespace menus
