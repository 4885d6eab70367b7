// What every element of a menu theme shares (images, texts, lists, models and
// backgrounds): its own Transform, its screen anchor, its name, its fxs in document
// order, the depth-clear and no-culling flags, and the steps of drawing that every
// kind takes the same way (parent fold, fx fold, screen anchor, device states).
// Element kinds derive from ThemeElement; the theme owns its elements.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <glm/glm.hpp>

#include "graphics/transform.h"
#include "theme/theme_fx.h"
#include "theme/theme_values.h"

class TextDocument;

namespace graphics {
struct SceneContext;
}

namespace theme {

// Bits of an element's flags.
enum ElementFlag : uint32_t {
  kZClear = 1u << 0,     // clear the depth buffer before drawing
  kNoCulling = 1u << 1,  // draw both windings
};

// A text or path written for one language; "set" tells a written empty text from none.
struct OptionalText {
  std::u16string text;
  bool set = false;
  void Set(std::u16string_view value) {
    text = std::u16string(value);
    set = true;
  }
};

// One row a menu hands to a list element: three flags only the menu reads, and the
// row's text.
struct MenuListEntry {
  uint8_t disabled = 0;
  uint8_t edit = 0;
  uint8_t selected = 0;
  std::u16string text;
};

// The screen space of menus: the plane the elements are placed on is this many units
// high, and as wide as the window's aspect gives.
inline constexpr float kMenuSpaceHeight = 1440.0f;

class ThemeElement {
 public:
  ThemeElement() = default;
  virtual ~ThemeElement() = default;

  // Reads the element's block up to its end tag or the end of the document, then
  // loads what the block names. folder is the base of the block's file paths.
  virtual bool Parse(TextDocument& document, graphics::SceneContext* owner, std::u16string_view folder) = 0;
  // Draws the element as a top-level element of its theme, folded into parent (may
  // be null).
  virtual bool Render(const graphics::Transform* parent) = 0;
  // Hands an event to every fx of the element (kinds with children pass it on).
  virtual void TriggerFxBySubId(std::string_view elementId, std::string_view row, std::string_view event);
  // Starts every fx without a trigger (idle animations), from the beginning.
  virtual void Reset();
  // Stops every fx of the element.
  virtual void StopFx();
  // The rows of a list element; other kinds ignore them. entries and selected stay
  // the caller's and are read at every draw.
  virtual void SetItems(const MenuListEntry* entries, const int32_t* selected, int32_t count) {
    (void)entries;
    (void)selected;
    (void)count;
  }

  // Appends a new fx at the end of the element's fxs. The pointer is valid until the
  // next fx is appended.
  ThemeFx* AddFx();

  // The window's width over its height, or 0 when the window has no size (nothing is
  // anchored or drawn then).
  float WindowAspect() const;

  graphics::Transform transform;
  graphics::SceneContext* owner = nullptr;
  std::vector<ThemeFx> fxs;
  std::u16string id;
  glm::vec3 screenPos{0.5f, 0.5f, 0.0f};  // fraction of the screen; only x and y are used
  uint32_t flags = 0;                      // ElementFlag bits

 protected:
  // The keys every image and text block shares: "position", "screen_pos", "scale",
  // "rotate", "colour", "alpha", "id", "system" (value discarded), the bare flag tags
  // "z_clear" and "no_culling", and "fx" blocks. True when key was one of them (its
  // value or block is then consumed).
  bool ParseCommonKey(std::u16string_view key, TextDocument& document);

  // Device states of the flags, before and after drawing.
  void BeginDrawStates() const;
  void EndDrawStates() const;
  // Moves t by the screen anchor; false when the window has no size.
  bool ApplyScreenAnchor(graphics::Transform& t) const;
  // Every fx advanced with value; every one folded (activeOnly false) or only the
  // active ones. Texts tint their highlight colour with the fxs' colour too.
  void RunFxs(graphics::Transform& t, int32_t value, bool activeOnly, bool highlightFollowsColour = false);
};

// The end tag of a block: "/" + the block's name, compared without regard to case.
bool IsEndTag(std::u16string_view tag, std::u16string_view blockName);

// Reads and drops everything up to the block's end tag (or the end of the document):
// for a block whose element cannot be made.
void SkipBlock(TextDocument& document, std::u16string_view blockName);

// The image rule of folding a parent: as Transform::Combine, but the pivot adds and
// the image keeps its own highlight colour and justification.
graphics::Transform CombineForImage(const graphics::Transform& own, const graphics::Transform& parent);

}  // namespace theme
