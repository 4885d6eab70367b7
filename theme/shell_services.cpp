// The theme engine's entries of the shell's service table.
#include "theme/shell_services.h"

#include "game/level/level_session.h"
#include "graphics/render_layers.h"
#include "graphics/shell_services.h"
#include "theme/reactive_background.h"
#include "theme/theme_set.h"

namespace theme {

void RegisterShellServices(shell::Services& services) {
  shell::MenuServices& m = services.menus;
  m.loadMenuThemes = [](const std::u16string& themeFolder) {
    MenuThemes().LoadAll(graphics::CurrentSceneContext(), themeFolder);
  };
  m.controlAllVideos = [](int command) { MenuThemes().ControlAllVideos(command); };
  m.themesLoaded = [] { return MenuThemes().StepsLoaded(); };
  // The reactive background plugs into the level's visuals, which graphics made.
  if (Session().visuals) RegisterReactiveBackground(*Session().visuals, graphics::Layers());
}

}  // namespace theme
