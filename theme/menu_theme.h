// The theme of one menu screen (or shared overlay, or the play screen's reactive
// background): the elements one theme document describes, read once from
// "<folder><name>.ini" (falling back to the default theme's dynamic folder), drawn
// every frame in a fixed order (backgrounds, models, images, lists, texts), and
// driven from outside by named events and by setters that put the screen's live data
// into named elements (list rows, dynamic texts, swapped textures).
//
// A theme is loaded, drawn and driven from one thread, never at the same time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "theme/theme_background.h"
#include "theme/theme_element.h"
#include "theme/theme_image.h"
#include "theme/theme_text.h"

namespace graphics {
struct SceneContext;
struct Transform;
}  // namespace graphics

namespace platform::gfx {
class Texture;
}

namespace theme {

// Events the program sends to themes; a theme may use any of them as an fx trigger.
namespace events {
inline constexpr std::string_view kHoverOn = "hover_on";
inline constexpr std::string_view kHoverOff = "hover_off";
inline constexpr std::string_view kDisableOn = "disable_on";
inline constexpr std::string_view kDisableOff = "disable_off";
inline constexpr std::string_view kEditOn = "edit_on";
inline constexpr std::string_view kEditOff = "edit_off";
inline constexpr std::string_view kSelectOn = "select_on";
inline constexpr std::string_view kSelectOff = "select_off";
inline constexpr std::string_view kActiveOn = "active_on";
inline constexpr std::string_view kActiveOff = "active_off";
}  // namespace events

// The most distinct depths the depth spreading keeps track of.
inline constexpr int kMaxSpreadDepths = 200;

class MenuTheme {
 public:
  explicit MenuTheme(graphics::SceneContext* owner);
  ~MenuTheme();
  MenuTheme(const MenuTheme&) = delete;
  MenuTheme& operator=(const MenuTheme&) = delete;

  // Reads folder + name + ".ini", or the default theme's document of that name; false
  // (with its log lines, and no elements) when neither opens. Called once on a fresh
  // theme.
  bool Load(std::u16string_view folder, std::u16string_view name);

  // Backgrounds, models, images, lists, texts; document order within a kind.
  bool Render(const graphics::Transform* parent = nullptr);
  // Hands the event to every image, model, text (and its child images) and list (and
  // its child images and rows). row is a decimal row index or "".
  bool TriggerEvent(std::string_view elementId, std::string_view row, std::string_view event);
  // graphics::VideoCommand on every background that has a video.
  bool ControlVideo(int32_t command);

  // Every list of that id shows the rows; entries and selected stay the caller's and
  // are read at every draw until the next call.
  bool SetListItems(const MenuListEntry* entries, const int32_t* selected, int32_t count, std::string_view listId);
  // Every dynamic text of that id shows the text.
  bool SetText(std::string_view textId, std::u16string_view text);
  // The text of the first dynamic text of that id; "" when there is none.
  std::u16string GetText(std::string_view textId) const;
  // Characters from..to (inclusive) of every dynamic text of that id take the
  // highlight colour; -1, -1 highlights nothing.
  bool SetTextHighlight(int32_t from, int32_t to, std::string_view textId);
  // Every dynamic top-level image of that id shows the texture (null: its own picture
  // again). The images keep a share of the texture while they show it, so the caller
  // may release its own at any time.
  bool SetImageTexture(std::shared_ptr<const platform::gfx::Texture> texture, std::string_view imageId);
  // The same for a texture that outlives the theme (the asset store's cache).
  bool SetImageTexture(const platform::gfx::Texture* texture, std::string_view imageId);
  bool SetImageTexture(std::nullptr_t, std::string_view imageId);

  // Restarts every idle animation (fxs without a trigger).
  bool ResetElements();
  // Stops the fxs of images, texts (and their child images), lists (their own) and models.
  bool StopAnimations();
  // Pulls elements that share a depth apart: the second at a depth moves 0.5 towards
  // the viewer, the third 1.0 ... (images, then lists, then texts, one shared table).
  void SpreadDepths();

  // The appends of the document reader; null (nothing added) when the kind cannot be made.
  ThemeImage* AddImage();
  ThemeText* AddText();
  ThemeBackground* AddBackground();
  ThemeElement* AddList();
  ThemeElement* AddModel();

  graphics::SceneContext* Owner() const { return owner_; }
  // "None" before Load; the folder the document was read from afterwards.
  const std::u16string& Folder() const { return folder_; }
  bool Empty() const;

  const std::vector<std::unique_ptr<ThemeImage>>& Images() const { return images_; }
  const std::vector<std::unique_ptr<ThemeText>>& Texts() const { return texts_; }
  const std::vector<std::unique_ptr<ThemeBackground>>& Backgrounds() const { return backgrounds_; }
  const std::vector<std::unique_ptr<ThemeElement>>& Lists() const { return lists_; }
  const std::vector<std::unique_ptr<ThemeElement>>& Models() const { return models_; }

 private:
  bool ReadDocument(TextDocument& document);

  graphics::SceneContext* owner_;
  std::u16string folder_ = u"None";
  std::vector<std::unique_ptr<ThemeImage>> images_;
  std::vector<std::unique_ptr<ThemeText>> texts_;
  std::vector<std::unique_ptr<ThemeBackground>> backgrounds_;
  std::vector<std::unique_ptr<ThemeElement>> lists_;
  std::vector<std::unique_ptr<ThemeElement>> models_;
};

}  // namespace theme
