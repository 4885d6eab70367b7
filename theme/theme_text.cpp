// Text elements: parsing, the language's caption, replacement by child images and
// drawing with the bitmap fonts.
#include "theme/theme_text.h"

#include "core/settings.h"
#include "core/text_document.h"
#include "graphics/scene_context.h"
#include "theme/glyph_log.h"

namespace theme {

bool ThemeText::Parse(TextDocument& document, graphics::SceneContext* ownerContext, std::u16string_view folder) {
  owner = ownerContext;
  while (document.cursor < document.count) {
    const std::u16string tag = document.NextTag();
    if (IsEndTag(tag, u"text")) break;
    if (ParseCommonKey(tag, document)) continue;
    if (SameName(u"justification", tag)) {
      const std::u16string v = document.NextValue();
      if (SameName(u"left", v)) transform.justification.x = 0.0f;
      else if (SameName(u"center", v)) transform.justification.x = 0.5f;
      else if (SameName(u"right", v)) transform.justification.x = 1.0f;
    } else if (SameName(u"case", tag)) {
      const std::u16string v = document.NextValue();
      if (SameName(u"normal", v)) textCase = 0;
      else if (SameName(u"upper", v)) textCase = 1;
      else if (SameName(u"lower", v)) textCase = 2;
    } else if (SameName(u"max_length", tag)) {
      maxLength = ParseInt(document.NextValue());
    } else if (SameName(u"colour_highlight", tag)) {
      transform.highlight = ParseVector(document.NextValue(), ValueUnit::kPercent);
    } else if (SameName(u"size", tag)) {
      size = ParseFloat(document.NextValue());
    } else if (SameName(u"english", tag)) {
      texts[0].Set(document.NextValue());
    } else if (SameName(u"french", tag)) {
      texts[1].Set(document.NextValue());
    } else if (SameName(u"spanish", tag)) {
      texts[2].Set(document.NextValue());
    } else if (SameName(u"italian", tag)) {
      texts[3].Set(document.NextValue());
    } else if (SameName(u"font", tag)) {
      font = document.NextValue();
    } else if (SameName(u"dynamic", tag)) {
      dynamic = ParseBool(document.NextValue());
    } else if (SameName(u"image", tag)) {
      AddImage()->Parse(document, owner, folder);
    }
  }
  SelectLanguageText();
  return true;
}

void ThemeText::SelectLanguageText() {
  const int slot = (owner && owner->settings) ? LanguageSlot(owner->settings->language.index) : 0;
  text = texts[slot].set ? texts[slot].text : texts[0].text;
}

ThemeImage* ThemeText::AddImage() {
  images.push_back(std::make_unique<ThemeImage>());
  return images.back().get();
}

void ThemeText::TriggerFxBySubId(std::string_view elementId, std::string_view row, std::string_view event) {
  ThemeElement::TriggerFxBySubId(elementId, row, event);
  for (auto& image : images) image->TriggerFxBySubId(elementId, row, event);
}

void ThemeText::Reset() {
  ThemeElement::Reset();
  for (auto& image : images) image->Reset();
}

void ThemeText::StopFx() {
  ThemeElement::StopFx();
  for (auto& image : images) image->StopFx();
}

void ThemeText::ClearChildren() {
  fxs.clear();
  images.clear();
}

int32_t ThemeText::NumericValue() const { return ParseInt(text); }

void ThemeText::NoteMissingGlyphsOnce(const graphics::BitmapFont& bitmapFont) {
  const uint32_t epoch = LoggedGlyphsEpoch();
  if (glyphsCheckedFont_ == &bitmapFont && glyphsCheckedEpoch_ == epoch && glyphsCheckedText_ == text) return;
  NoteMissingGlyphs(bitmapFont, text);
  glyphsCheckedFont_ = &bitmapFont;
  glyphsCheckedEpoch_ = epoch;
  glyphsCheckedText_.assign(text);  // reuses its storage: no allocation per change of a short text
}

bool ThemeText::Draw(const graphics::Transform* parent, ThemeImage* replacement) {
  const int32_t value = NumericValue();
  BeginDrawStates();
  graphics::Transform t = parent ? transform.Combine(*parent) : transform;
  RunFxs(t, value, true, true);
  if (!ApplyScreenAnchor(t)) {
    EndDrawStates();
    return true;
  }
  bool replaced = false;
  ThemeImage* generic = nullptr;
  for (auto& image : images) {
    if (!text.empty() && SameName(text, image->replaceText)) {
      image->Draw(&t, value);
      replaced = true;
    }
    if (image->genericReplacer) generic = image.get();
  }
  if (!replaced && generic && !text.empty()) {
    generic->Draw(&t, value);
    replaced = true;
  }
  if (replacement) {
    if (!replaced) replacement->Draw(&t, value);
  } else if (!replaced && owner) {
    if (const graphics::BitmapFont* bitmapFont = owner->fonts.FindFont(font)) NoteMissingGlyphsOnce(*bitmapFont);
    owner->fonts.DrawText(&t, textCase, maxLength, highlightFrom, highlightTo, text, font, size);
  }
  EndDrawStates();
  return true;
}

}  // namespace theme
