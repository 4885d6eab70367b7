#include "menus/theme_screen.h"

#include "core/utils.h"
#include "graphics/transform.h"
#include "theme/menu_theme.h"

namespace menus {
namespace {

class MenuThemeScreen : public ScreenTheme {
 public:
  explicit MenuThemeScreen(graphics::SceneContext* scene) : theme_(scene) {}
  bool Load(const std::u16string& folder, const std::string& document) { return theme_.Load(folder, ToWide(document)); }

  void SetListItems(const std::string& list, const ListRow* rows, const int32_t* selected, int32_t count) override {
    theme_.SetListItems(rows, selected, count, list);
  }
  void TriggerEvent(const std::string& element, const std::string& row, const std::string& event) override {
    theme_.TriggerEvent(element, row, event);
  }
  void SetText(const std::string& element, const std::u16string& text) override { theme_.SetText(element, text); }
  std::u16string GetText(const std::string& element) const override { return theme_.GetText(element); }
  void SetTextHighlight(const std::string& element, int32_t first, int32_t last) override {
    theme_.SetTextHighlight(first, last, element);
  }
  // The decoded picture stays with the menus; until the renderer uploads pictures for
  // the menus, the element shows its own image.
  void SetImage(const std::string& element, std::shared_ptr<const Picture> picture) override {
    picture_ = std::move(picture);
    theme_.SetImageTexture(nullptr, element);
  }
  void Render(float x, float y, float scale) override {
    graphics::Transform parent;
    parent.position = glm::vec3(x, y, 0.0f);
    parent.scale = glm::vec3(scale, scale, 1.0f);
    theme_.Render(&parent);
  }

 private:
  theme::MenuTheme theme_;
  std::shared_ptr<const Picture> picture_;
};

}  // namespace

std::unique_ptr<ScreenTheme> LoadMenuTheme(graphics::SceneContext* scene, const std::string& document,
                                           const std::u16string& dynamicFolder) {
  auto screen = std::make_unique<MenuThemeScreen>(scene);
  if (!screen->Load(dynamicFolder, document)) return nullptr;
  return screen;
}

}  // namespace menus
