// A screen's theme document through the theme engine: the menus' view of a theme
// (ScreenTheme) over a loaded MenuTheme. Null when the document loads from neither
// the current theme nor the default one.
#pragma once

#include <memory>
#include <string>

#include "menus/menu_context.h"

namespace graphics {
struct SceneContext;
}

namespace menus {

std::unique_ptr<ScreenTheme> LoadMenuTheme(graphics::SceneContext* scene, const std::string& document,
                                           const std::u16string& dynamicFolder);

}  // namespace menus
