// The makers of the element kinds the container holds through the element base:
// lists and models. Null when the kind cannot be made; the reader then skips the
// block with one log line.
#pragma once

#include <memory>

#include "theme/theme_element.h"

namespace theme {

std::unique_ptr<ThemeElement> MakeThemeList();
std::unique_ptr<ThemeElement> MakeThemeModel();

}  // namespace theme
