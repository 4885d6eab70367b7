// A line of bitmap-font text of a menu theme: a caption written in four languages,
// or, when dynamic, a slot the program fills by the element's id (song names,
// scores, lyrics). Child images may stand in for particular words or for any word
// (generic replacer). List rows are text elements too.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "theme/theme_element.h"
#include "theme/theme_image.h"

namespace graphics {
struct BitmapFont;
}

namespace theme {

class ThemeText : public ThemeElement {
 public:
  bool Parse(TextDocument& document, graphics::SceneContext* owner, std::u16string_view folder) override;
  bool Render(const graphics::Transform* parent) override { return Draw(parent, nullptr); }
  // replacement (list rows): drawn instead of the letters when no child image stood
  // in for the text.
  bool Draw(const graphics::Transform* parent, ThemeImage* replacement);
  // text := the current language's text, else the english one, else "".
  void SelectLanguageText();

  ThemeImage* AddImage();
  void TriggerFxBySubId(std::string_view elementId, std::string_view row, std::string_view event) override;
  void Reset() override;
  void StopFx() override;
  // Drops every fx and child image.
  void ClearChildren();

  // The number the text shows (its leading digits; 0 when none): the input of
  // "value" fxs.
  int32_t NumericValue() const;

  std::vector<std::unique_ptr<ThemeImage>> images;  // child images, document order
  std::u16string text;                               // what is shown
  std::array<OptionalText, kThemeLanguages> texts;
  std::u16string font = u"default";
  int32_t textCase = 0;  // graphics::TextCase
  int32_t maxLength = 0;  // 0: the whole text
  bool dynamic = false;
  float size = 10.0f;
  int32_t highlightFrom = -1;
  int32_t highlightTo = -1;

 private:
  // Logs the characters of the text its font cannot draw, once per text and font:
  // a caption drawn every frame is not searched again until it changes.
  void NoteMissingGlyphsOnce(const graphics::BitmapFont& font);

  const graphics::BitmapFont* glyphsCheckedFont_ = nullptr;
  std::u16string glyphsCheckedText_;
  uint32_t glyphsCheckedEpoch_ = 0;
};

}  // namespace theme
