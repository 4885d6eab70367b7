// The theme drawn behind the boards for the abstract and practice backgrounds, whose
// elements animate on what the song does: beats every 1, 2, 4 and 8 beats
// ("beat_event"), energy switching on and off and a broken combo ("state_event":
// "vl_on", "vl_off", "combo_break"), and notes hit per lane ("note_event" with the
// lane's value as the row, then with no row, trigger "hit").
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "theme/menu_theme.h"

class Player;
class LevelVisuals;

namespace graphics {
struct RenderLayers;
}

namespace theme {

class ReactiveBackground {
 public:
  explicit ReactiveBackground(graphics::SceneContext* owner);
  ~ReactiveBackground();
  ReactiveBackground(const ReactiveBackground&) = delete;
  ReactiveBackground& operator=(const ReactiveBackground&) = delete;

  // A fresh theme from folder + name + ".ini" (or the default theme's); on failure
  // no theme, the stored name and folder unchanged, false.
  bool Load(const std::u16string& name, const std::u16string& folder);
  // Load with the stored name and folder; true whatever the load gave.
  bool Reload();
  // Once per gameplay frame: beats of the first player, energy, notes hit, combo break.
  void SendSongEvents(const Player* players, int32_t count);
  void NoteEvent(int32_t value);
  void ComboBreak();

  MenuTheme* Theme() { return theme_.get(); }
  float NextBeat(int step) const;  // step 1, 2, 4 or 8
  bool EnergyShown() const { return energyShown_; }
  const std::u16string& Name() const { return name_; }
  const std::u16string& Folder() const { return folder_; }

  // Sees every event that reaches the theme (id, row, trigger); for tools and tests.
  std::function<void(std::string_view, std::string_view, std::string_view)> listener;

 private:
  void Send(std::string_view id, std::string_view row, std::string_view trigger);

  graphics::SceneContext* owner_;
  std::unique_ptr<MenuTheme> theme_;
  std::u16string name_;
  std::u16string folder_;
  std::array<float, 4> nextBeat_{1.0f, 2.0f, 4.0f, 8.0f};
  bool energyShown_ = false;
};

// The level's reactive background (null when it has none).
ReactiveBackground* CurrentReactiveBackground();

// Fills the level's reactive-background entries and the frame's draw and hooks.
void RegisterReactiveBackground(LevelVisuals& visuals, graphics::RenderLayers& layers);

}  // namespace theme
