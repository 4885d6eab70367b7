// A list element of a menu theme: a window of at most view_count rows of the menu's
// entries around its selected index, one text row per entry, spaced by `leading`
// downwards (or to the right), with the list's child images standing in for rows
// that read their replace word, drawn at the selected row (selector) and at the
// scroll position (scrollbar). Each row carries its own copies of the list's row
// animations (fxs marked inherit_sub_id) addressed by the row's index, so an event
// for one row animates that row alone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "theme/theme_element.h"
#include "theme/theme_image.h"
#include "theme/theme_text.h"

namespace theme {

class ThemeList : public ThemeElement {
 public:
  bool Parse(TextDocument& document, graphics::SceneContext* owner, std::u16string_view folder) override;
  bool Render(const graphics::Transform* parent) override { return Draw(parent); }
  bool Draw(const graphics::Transform* parent);

  // New rows for the entries (none when entries is null); the window goes back to the
  // top. entries and selected stay the caller's and are read at every draw.
  void SetItems(const MenuListEntry* entries, const int32_t* selected, int32_t count) override;
  // The list's own fxs, its child images and its rows.
  void TriggerFxBySubId(std::string_view elementId, std::string_view row, std::string_view event) override;
  // Starts the list's untriggered fxs and resets its child images; rows keep theirs.
  void Reset() override;
  // Stops the list's own fxs only.
  void StopFx() override;

  ThemeImage* AddImage();

  // Where the scroll thumb stands: 0 at the top, 1 at the bottom of the list. A list
  // that fits its window entirely is at the top.
  float ScrollFraction() const;

  int32_t RowCount() const { return count; }
  ThemeText& Row(int32_t i) { return rows_[static_cast<size_t>(i)]; }

  std::vector<std::unique_ptr<ThemeImage>> images;  // child images, document order
  std::u16string folder;
  std::u16string font = u"default";
  int32_t textCase = 0;  // graphics::TextCase
  float size = 10.0f;
  int32_t maxLength = 0;
  float leading = 50.0f;  // menu-space units between consecutive rows
  int32_t viewCount = 20;
  const MenuListEntry* entries = nullptr;
  int32_t count = 0;
  int32_t first = 0;  // first visible row; follows the selection and persists
  bool horizontal = false;
  const int32_t* selected = nullptr;
  float listAlign = 0.0f;  // 0 top, 0.5 middle, 1 bottom

 private:
  // Moves the window just far enough to show the selection. Returns the selected
  // row, or -1 when there is no selection.
  int32_t UpdateWindow();
  // One past the last visible row.
  int32_t LastRow() const;
  // T placed at the k-th visible row (or at an offset in rows' units).
  graphics::Transform PlaceAt(const graphics::Transform& base, float offset, float alignOffset) const;
  void DrawRow(int32_t i, const graphics::Transform& at);

  std::unique_ptr<ThemeText[]> rows_;
};

}  // namespace theme
