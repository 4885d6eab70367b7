// A picture of a menu theme: a textured quad with a path per language, a replace id
// (shown instead of a text or list row that reads that word), the roles of a list's
// selector and scroll thumb, and a dynamic slot whose texture the program swaps at
// run time (album art, banners). Read from "image" blocks at the top of a theme or
// inside text and list blocks.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "graphics/image.h"
#include "theme/theme_element.h"

namespace platform::gfx {
class Texture;
}

namespace theme {

class ThemeImage : public ThemeElement {
 public:
  bool Parse(TextDocument& document, graphics::SceneContext* owner, std::u16string_view folder) override;
  bool Render(const graphics::Transform* parent) override { return Draw(parent, 0); }
  // value feeds the element's "value" fxs (a list row's or text's number).
  bool Draw(const graphics::Transform* parent, int32_t value);
  // Chooses path and replace text for the current language and loads the picture,
  // from folder or else from the default theme's dynamic folder.
  void LoadTexture();

  // The displayed texture of a dynamic element. The image keeps a share of the
  // texture while it shows it, so the program may drop its own reference at any time.
  // Null shows the element's own picture again.
  void ShowTexture(std::shared_ptr<const platform::gfx::Texture> texture);
  // A texture whose owner outlives the theme (the asset store's cache).
  void ShowUnownedTexture(const platform::gfx::Texture* texture);
  const platform::gfx::Texture* DisplayedTexture() const { return image.texture; }

  std::u16string path;  // for the current language, relative to folder
  std::array<OptionalText, kThemeLanguages> paths;
  std::u16string folder;
  std::u16string replaceText;  // for the current language
  std::array<OptionalText, kThemeLanguages> replaceIds;
  graphics::Image image;
  bool selector = false;
  bool scrollbar = false;
  bool dynamic = false;
  bool genericReplacer = false;

 private:
  // The texture drawn: a swapped one is drawn at its own size, the element's own
  // picture at the size of its file.
  void Display(const platform::gfx::Texture* texture);

  std::shared_ptr<const platform::gfx::Texture> shownTexture_;
  int ownWidth_ = 0, ownHeight_ = 0;
};

}  // namespace theme
