// The set of menu themes the shell reloads together.
#include "theme/theme_set.h"

#include "core/log.h"
#include "graphics/scene_context.h"

namespace theme {

ThemeSlot* ThemeSet::Register(std::u16string_view name, std::function<void(MenuTheme*)> onLoaded) {
  slots_.push_back(ThemeSlot{std::u16string(name), nullptr, std::move(onLoaded)});
  return &slots_.back();
}

ThemeSlot* ThemeSet::Find(std::u16string_view name) {
  for (ThemeSlot& slot : slots_) {
    if (SameName(slot.name, name)) return &slot;
  }
  return nullptr;
}

MenuTheme* ThemeSet::ThemeOf(std::u16string_view name) {
  ThemeSlot* slot = Find(name);
  return slot ? slot->theme.get() : nullptr;
}

void ThemeSet::Clear() {
  slots_.clear();
  reloadListeners_.clear();
  steps_ = 0;
}

int ThemeSet::LoadAll(graphics::SceneContext* owner, std::u16string_view themeFolder) {
  steps_ = 0;
  const std::u16string dynamicFolder = std::u16string(themeFolder) + u"dynamic/";
  int loaded = 0;
  for (ThemeSlot& slot : slots_) {
    // The old theme goes first: its users are told about the new one (or none) below.
    slot.theme.reset();
    auto theme = std::make_unique<MenuTheme>(owner);
    if (theme->Load(dynamicFolder, slot.name)) {
      slot.theme = std::move(theme);
      ++loaded;
    }
    if (slot.onLoaded) slot.onLoaded(slot.theme.get());
    ++steps_;
  }
  if (owner) {
    // The font list has no failure of its own to report: a folder that added no font
    // is the failure.
    const size_t before = owner->fonts.FontCount();
    if (!owner->fonts.LoadAll(dynamicFolder + u"fonts/") || owner->fonts.FontCount() == before) {
      LogEx(0, "Font Load Failed!");
    }
  }
  ++steps_;
  for (const auto& listener : reloadListeners_) listener(themeFolder);
  return loaded;
}

void ThemeSet::AddReloadListener(std::function<void(std::u16string_view themeFolder)> listener) {
  if (listener) reloadListeners_.push_back(std::move(listener));
}

void ThemeSet::ControlAllVideos(int32_t command) {
  for (ThemeSlot& slot : slots_) {
    if (slot.theme) slot.theme->ControlVideo(command);
  }
}

ThemeSet& MenuThemes() {
  static ThemeSet set;
  return set;
}

}  // namespace theme
