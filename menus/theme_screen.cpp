#include "menus/theme_screen.h"

#include <map>

#include "core/utils.h"
#include "graphics/scene_context.h"
#include "graphics/transform.h"
#include "platform/gfx/render_device.h"
#include "theme/menu_theme.h"

namespace menus {
namespace {

class MenuThemeScreen : public ScreenTheme {
 public:
  explicit MenuThemeScreen(graphics::SceneContext* scene) : scene_(scene), theme_(scene) {}
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
  // The decoded picture is turned into a texture at the next draw, on the main thread
  // (the only one that may touch the device); null gives the element its own image.
  void SetImage(const std::string& element, std::shared_ptr<const Picture> picture) override {
    pending_[element] = std::move(picture);
  }
  void StopAnimations() override { theme_.StopAnimations(); }
  void ResetElements() override { theme_.ResetElements(); }
  void ControlVideo(int32_t command) override { theme_.ControlVideo(command); }
  void Render(float x, float y, float scale) override {
    UploadPendingImages();
    graphics::Transform parent;
    parent.position = glm::vec3(x, y, 0.0f);
    parent.scale = glm::vec3(scale, scale, 1.0f);
    theme_.Render(&parent);
  }

 private:
  void UploadPendingImages() {
    for (auto& [element, picture] : pending_) {
      std::shared_ptr<const platform::gfx::Texture> texture;
      if (picture && scene_ && scene_->device) {
        platform::gfx::ImageData image;
        image.width = picture->width;
        image.height = picture->height;
        image.rgba.assign(picture->rgba.begin(), picture->rgba.end());
        texture = scene_->device->CreateTexture(std::move(image));
      }
      if (texture) theme_.SetImageTexture(std::move(texture), element);
      else theme_.SetImageTexture(nullptr, element);
    }
    pending_.clear();
  }

  graphics::SceneContext* scene_;
  theme::MenuTheme theme_;
  std::map<std::string, std::shared_ptr<const Picture>> pending_;
};

}  // namespace

std::unique_ptr<ScreenTheme> LoadMenuTheme(graphics::SceneContext* scene, const std::string& document,
                                           const std::u16string& dynamicFolder) {
  auto screen = std::make_unique<MenuThemeScreen>(scene);
  if (!screen->Load(dynamicFolder, document)) return nullptr;
  return screen;
}

}  // namespace menus
