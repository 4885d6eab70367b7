// A model element of a menu theme: a .X model from the asset store's shared cache,
// placed, tinted and animated by theme fxs. Elements that name the same file share
// one model, so each writes its own placement into it just before drawing.
#pragma once

#include <string>
#include <string_view>

#include "theme/theme_element.h"

namespace graphics {
class Model;
}

namespace theme {

class ThemeModel : public ThemeElement {
 public:
  bool Parse(TextDocument& document, graphics::SceneContext* owner, std::u16string_view folder) override;
  bool Render(const graphics::Transform* parent) override { return Draw(parent); }
  // Draws nothing when no model loaded.
  bool Draw(const graphics::Transform* parent);

  // Loads path from the theme's folder, else from the default theme's.
  void LoadModel();

  // The placement the last Draw gave the model (also without a model to draw).
  const graphics::Transform& LastPlacement() const { return lastPlacement_; }

  std::u16string path;
  std::u16string folder;
  std::u16string replaceId;  // read from documents; no operation of the element uses it
  graphics::Model* model = nullptr;  // the asset store's

 private:
  graphics::Transform lastPlacement_;
};

}  // namespace theme
