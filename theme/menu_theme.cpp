// The menu theme container: loading with the fall-back to the default theme, the
// draw order, event broadcast, setters and depth spreading.
#include "theme/menu_theme.h"

#include <utility>

#include "core/log.h"
#include "core/text_document.h"
#include "theme/element_makers.h"

namespace theme {

namespace {

template <typename Element, typename Container>
Element* Append(Container& container, std::unique_ptr<Element> element) {
  if (!element) return nullptr;
  container.push_back(std::move(element));
  return container.back().get();
}

// Each kind that cannot be made is reported once per theme.
void ReportUnmadeKind(std::u16string_view kind, bool& reported) {
  if (reported) return;
  reported = true;
  Log(0, u"Theme Element Kind Not Available: " + std::u16string(kind));
}

}  // namespace

MenuTheme::MenuTheme(graphics::SceneContext* owner) : owner_(owner) {}

MenuTheme::~MenuTheme() {
  images_.clear();
  texts_.clear();
  lists_.clear();
  backgrounds_.clear();
  models_.clear();
}

ThemeImage* MenuTheme::AddImage() { return Append(images_, std::make_unique<ThemeImage>()); }
ThemeText* MenuTheme::AddText() { return Append(texts_, std::make_unique<ThemeText>()); }
ThemeBackground* MenuTheme::AddBackground() { return Append(backgrounds_, std::make_unique<ThemeBackground>()); }
ThemeElement* MenuTheme::AddList() { return Append(lists_, MakeThemeList()); }
ThemeElement* MenuTheme::AddModel() { return Append(models_, MakeThemeModel()); }

bool MenuTheme::Empty() const {
  return images_.empty() && texts_.empty() && backgrounds_.empty() && lists_.empty() && models_.empty();
}

bool MenuTheme::Load(std::u16string_view folder, std::u16string_view name) {
  folder_ = std::u16string(folder);
  const std::u16string path = JoinThemePath(folder, std::u16string(name) + u".ini");
  Log(0, u"Loading Theme Data " + path);
  TextDocument document;
  if (!document.Load(path)) {
    Log(0, u"Could NOT open Theme " + path + u" ... Loading Default");
    folder_ = std::u16string(kDefaultDynamicFolder);
    const std::u16string fallback = JoinThemePath(kDefaultDynamicFolder, std::u16string(name) + u".ini");
    if (!document.Load(fallback)) {
      Log(0, u"Could NOT open Theme " + fallback + u" ... No Theme Loaded For This Menu!");
      return false;
    }
  }
  ReadDocument(document);
  ResetElements();
  SpreadDepths();
  document.Free();
  return true;
}

bool MenuTheme::ReadDocument(TextDocument& document) {
  bool listReported = false, modelReported = false;
  while (document.cursor < document.count) {
    const std::u16string tag = document.NextTag();
    if (SameName(u"background", tag)) {
      AddBackground()->Parse(document, owner_, folder_);
    } else if (SameName(u"model", tag)) {
      if (ThemeElement* model = AddModel()) {
        model->Parse(document, owner_, folder_);
      } else {
        ReportUnmadeKind(u"model", modelReported);
        SkipBlock(document, u"model");
      }
    } else if (SameName(u"image", tag)) {
      AddImage()->Parse(document, owner_, folder_);
    } else if (SameName(u"text", tag)) {
      AddText()->Parse(document, owner_, folder_);
    } else if (SameName(u"list", tag)) {
      if (ThemeElement* list = AddList()) {
        list->Parse(document, owner_, folder_);
      } else {
        ReportUnmadeKind(u"list", listReported);
        SkipBlock(document, u"list");
      }
    }
  }
  return true;
}

bool MenuTheme::Render(const graphics::Transform* parent) {
  for (auto& background : backgrounds_) background->Draw();
  for (auto& model : models_) model->Render(parent);
  for (auto& image : images_) image->Draw(parent, 0);
  for (auto& list : lists_) list->Render(parent);
  for (auto& text : texts_) text->Draw(parent, nullptr);
  return true;
}

bool MenuTheme::TriggerEvent(std::string_view elementId, std::string_view row, std::string_view event) {
  for (auto& image : images_) image->TriggerFxBySubId(elementId, row, event);
  for (auto& model : models_) model->TriggerFxBySubId(elementId, row, event);
  for (auto& text : texts_) text->TriggerFxBySubId(elementId, row, event);
  for (auto& list : lists_) list->TriggerFxBySubId(elementId, row, event);
  return true;
}

bool MenuTheme::ControlVideo(int32_t command) {
  for (auto& background : backgrounds_) {
    if (background->video) background->ControlVideo(command);
  }
  return true;
}

bool MenuTheme::SetListItems(const MenuListEntry* entries, const int32_t* selected, int32_t count,
                             std::string_view listId) {
  for (auto& list : lists_) {
    if (SameName(listId, list->id)) list->SetItems(entries, selected, count);
  }
  return true;
}

bool MenuTheme::SetText(std::string_view textId, std::u16string_view text) {
  for (auto& element : texts_) {
    // Screens set their texts every frame; an unchanged one is left as it is, and a
    // changed one reuses the element's storage.
    if (element->dynamic && SameName(textId, element->id) && element->text != text) element->text.assign(text);
  }
  return true;
}

std::u16string MenuTheme::GetText(std::string_view textId) const {
  for (const auto& element : texts_) {
    if (element->dynamic && SameName(textId, element->id)) return element->text;
  }
  return std::u16string();
}

bool MenuTheme::SetTextHighlight(int32_t from, int32_t to, std::string_view textId) {
  for (auto& element : texts_) {
    if (element->dynamic && SameName(textId, element->id)) {
      element->highlightFrom = from;
      element->highlightTo = to;
    }
  }
  return true;
}

bool MenuTheme::SetImageTexture(std::shared_ptr<const platform::gfx::Texture> texture, std::string_view imageId) {
  for (auto& image : images_) {
    if (image->dynamic && SameName(imageId, image->id)) image->ShowTexture(texture);
  }
  return true;
}

bool MenuTheme::SetImageTexture(const platform::gfx::Texture* texture, std::string_view imageId) {
  for (auto& image : images_) {
    if (image->dynamic && SameName(imageId, image->id)) image->ShowUnownedTexture(texture);
  }
  return true;
}

bool MenuTheme::SetImageTexture(std::nullptr_t, std::string_view imageId) {
  return SetImageTexture(static_cast<const platform::gfx::Texture*>(nullptr), imageId);
}

bool MenuTheme::ResetElements() {
  for (auto& image : images_) image->Reset();
  for (auto& text : texts_) text->Reset();
  for (auto& list : lists_) list->Reset();
  for (auto& model : models_) model->Reset();
  return true;
}

bool MenuTheme::StopAnimations() {
  for (auto& image : images_) image->StopFx();
  for (auto& text : texts_) text->StopFx();
  for (auto& list : lists_) list->StopFx();
  for (auto& model : models_) model->StopFx();
  return true;
}

void MenuTheme::SpreadDepths() {
  struct DepthCount {
    float depth;
    int32_t count;
  };
  std::vector<DepthCount> table;
  table.reserve(kMaxSpreadDepths);
  auto spread = [&table](ThemeElement& element) {
    float& z = element.transform.position.z;
    for (DepthCount& entry : table) {
      if (entry.depth == z) {
        z = z - 0.5f * static_cast<float>(entry.count);
        ++entry.count;
        return;
      }
    }
    if (table.size() < static_cast<size_t>(kMaxSpreadDepths)) table.push_back({z, 1});
  };
  for (auto& image : images_) spread(*image);
  for (auto& list : lists_) spread(*list);
  for (auto& text : texts_) spread(*text);
}

}  // namespace theme
