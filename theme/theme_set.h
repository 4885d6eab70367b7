// The themes of the menu screens, loaded and reloaded together: each screen (and each
// shared overlay) registers a slot with its document name; a reload builds every
// slot's theme anew from the current theme's dynamic folder, in registration order,
// then loads that theme's bitmap fonts. The count of finished steps is what the
// start-up loading screen shows.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "theme/menu_theme.h"

namespace graphics {
struct SceneContext;
}

namespace theme {

struct ThemeSlot {
  std::u16string name;                 // the document name, without ".ini"
  std::unique_ptr<MenuTheme> theme;    // null while not loaded or when no document opened
  // Called after each (re)load with the new theme, or null.
  std::function<void(MenuTheme*)> onLoaded;
};

class ThemeSet {
 public:
  // Adds a slot at the end of the load order; the slot lives as long as the set (or
  // until Clear).
  ThemeSlot* Register(std::u16string_view name, std::function<void(MenuTheme*)> onLoaded = {});
  // The slot of that name (ignoring case), or null.
  ThemeSlot* Find(std::u16string_view name);
  MenuTheme* ThemeOf(std::u16string_view name);
  void Clear();  // the slots and the reload listeners

  // Reloads every slot from themeFolder + "dynamic/", then the fonts from its
  // "dynamic/fonts/" into the owner's font list ("Font Load Failed!" when no font
  // loads from there).
  // Returns the number of slots that have a theme.
  int LoadAll(graphics::SceneContext* owner, std::u16string_view themeFolder);
  // Called at the end of every LoadAll, once the slots and the fonts are in: the
  // themes that their owners load themselves (the menu screens) are rebuilt here.
  void AddReloadListener(std::function<void(std::u16string_view themeFolder)> listener);
  // MenuTheme::ControlVideo on every loaded theme.
  void ControlAllVideos(int32_t command);

  // Steps finished by the running or last LoadAll (one a slot, one for the fonts).
  int StepsLoaded() const { return steps_.load(); }
  size_t SlotCount() const { return slots_.size(); }

 private:
  std::list<ThemeSlot> slots_;
  std::vector<std::function<void(std::u16string_view)>> reloadListeners_;
  std::atomic<int> steps_{0};
};

// The set the shell's theme entries work on.
ThemeSet& MenuThemes();

}  // namespace theme
