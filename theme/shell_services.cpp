// The theme engine's entries of the shell's service table.
#include "theme/shell_services.h"

#include "graphics/shell_services.h"
#include "theme/theme_set.h"

namespace theme {

void RegisterShellServices(shell::Services& services) {
  shell::MenuServices& m = services.menus;
  m.loadMenuThemes = [](const std::u16string& themeFolder) {
    MenuThemes().LoadAll(graphics::CurrentSceneContext(), themeFolder);
  };
  m.controlAllVideos = [](int command) { MenuThemes().ControlAllVideos(command); };
  m.themesLoaded = [] { return MenuThemes().StepsLoaded(); };
}

}  // namespace theme
