// List elements: reading the block, building rows with their own animations, and
// drawing the window of rows with selector and scroll thumb.
#include "theme/theme_list.h"

#include <algorithm>

#include "core/text_document.h"
#include "theme/element_makers.h"

namespace theme {

namespace {

// The system flags of a list block come as a value ("z_clear" or "no_culling").
uint32_t SystemFlag(std::u16string_view value) {
  if (SameName(u"z_clear", value)) return kZClear;
  if (SameName(u"no_culling", value)) return kNoCulling;
  return 0;
}

std::u16string RowIndexText(int32_t i) {
  const std::string narrow = std::to_string(i);
  return std::u16string(narrow.begin(), narrow.end());
}

}  // namespace

std::unique_ptr<ThemeElement> MakeThemeList() { return std::make_unique<ThemeList>(); }

bool ThemeList::Parse(TextDocument& document, graphics::SceneContext* ownerContext, std::u16string_view themeFolder) {
  owner = ownerContext;
  folder = std::u16string(themeFolder);
  while (document.cursor < document.count) {
    const std::u16string tag = document.NextTag();
    if (IsEndTag(tag, u"list")) break;
    if (SameName(u"system", tag)) {
      flags |= SystemFlag(document.NextValue());
    } else if (SameName(u"z_clear", tag) || SameName(u"no_culling", tag)) {
      // Lists take their flags only through "system"; a bare flag tag is not theirs.
    } else if (SameName(u"image", tag)) {
      AddImage()->Parse(document, owner, folder);
    } else if (ParseCommonKey(tag, document)) {
    } else if (SameName(u"justification", tag)) {
      const std::u16string v = document.NextValue();
      if (SameName(u"left", v)) transform.justification.x = 0.0f;
      else if (SameName(u"center", v)) transform.justification.x = 0.5f;
      else if (SameName(u"right", v)) transform.justification.x = 1.0f;
    } else if (SameName(u"list_align", tag)) {
      const std::u16string v = document.NextValue();
      if (SameName(u"top", v)) listAlign = 0.0f;
      else if (SameName(u"middle", v)) listAlign = 0.5f;
      else if (SameName(u"bottom", v)) listAlign = 1.0f;
    } else if (SameName(u"size", tag)) {
      size = ParseFloat(document.NextValue());
    } else if (SameName(u"font", tag)) {
      font = document.NextValue();
    } else if (SameName(u"case", tag)) {
      const std::u16string v = document.NextValue();
      if (SameName(u"normal", v)) textCase = 0;
      else if (SameName(u"upper", v)) textCase = 1;
      else if (SameName(u"lower", v)) textCase = 2;
    } else if (SameName(u"max_length", tag)) {
      maxLength = ParseInt(document.NextValue());
    } else if (SameName(u"leading", tag)) {
      leading = ParseFloat(document.NextValue());
    } else if (SameName(u"view_count", tag)) {
      // A window of no rows would show nothing and divide by zero at the thumb.
      viewCount = std::max(1, ParseInt(document.NextValue()));
    } else if (SameName(u"horizontal", tag)) {
      horizontal = ParseBool(document.NextValue());
    }
  }
  return true;
}

ThemeImage* ThemeList::AddImage() {
  images.push_back(std::make_unique<ThemeImage>());
  return images.back().get();
}

void ThemeList::SetItems(const MenuListEntry* newEntries, const int32_t* selectedIndex, int32_t newCount) {
  // Rows without entries to read would be read from nowhere: no entries, no rows.
  if (!newEntries || newCount < 0) newCount = 0;
  entries = newEntries;
  selected = selectedIndex;
  count = newCount;
  first = 0;
  rows_ = std::make_unique<ThemeText[]>(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    ThemeText& row = rows_[static_cast<size_t>(i)];
    row.owner = owner;
    row.font = font;
    row.size = size;
    row.textCase = textCase;
    row.maxLength = maxLength;
    row.text = entries[i].text;
    row.ClearChildren();
    for (const ThemeFx& fx : fxs) {
      if (!fx.inheritSubId) continue;
      ThemeFx* copy = row.AddFx();
      *copy = fx;
      copy->subId = RowIndexText(i);
      copy->BindTarget();
    }
  }
}

void ThemeList::TriggerFxBySubId(std::string_view elementId, std::string_view row, std::string_view event) {
  ThemeElement::TriggerFxBySubId(elementId, row, event);
  for (auto& image : images) image->TriggerFxBySubId(elementId, row, event);
  for (int32_t i = 0; i < count; ++i) rows_[static_cast<size_t>(i)].TriggerFxBySubId(elementId, row, event);
}

void ThemeList::Reset() {
  ThemeElement::Reset();
  for (auto& image : images) image->Reset();
}

void ThemeList::StopFx() { ThemeElement::StopFx(); }

float ThemeList::ScrollFraction() const {
  if (count <= viewCount) return 0.0f;
  const int32_t last = LastRow();
  return static_cast<float>(last - viewCount) / static_cast<float>(count - viewCount);
}

int32_t ThemeList::LastRow() const {
  return static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(first) + viewCount, count));
}

int32_t ThemeList::UpdateWindow() {
  int32_t sel = selected ? *selected : viewCount - 1;
  const bool hasSelection = sel >= 0;
  if (!hasSelection) sel = 0;
  // A selection past the rows (left from before a rebuild) scrolls only to the last row.
  const int32_t windowSel = std::max(0, std::min(sel, count - 1));
  if (static_cast<int64_t>(first) + viewCount <= windowSel) first = windowSel - viewCount + 1;
  if (windowSel < first) first = windowSel;
  if (first < 0) first = 0;
  return hasSelection ? sel : -1;
}

graphics::Transform ThemeList::PlaceAt(const graphics::Transform& base, float offset, float alignOffset) const {
  graphics::Transform r = base;
  if (horizontal) r.position.x = base.position.x + offset - alignOffset;
  else r.position.y = base.position.y - offset + alignOffset;
  return r;
}

void ThemeList::DrawRow(int32_t i, const graphics::Transform& at) {
  ThemeText& row = rows_[static_cast<size_t>(i)];
  row.text = entries[i].text;  // menus may change a row's text without new items
  bool replaced = false;
  ThemeImage* generic = nullptr;
  for (auto& image : images) {
    if (!row.text.empty() && SameName(row.text, image->replaceText)) {
      row.Draw(&at, image.get());
      replaced = true;
    }
    if (image->genericReplacer) generic = image.get();
  }
  if (replaced) return;
  row.Draw(&at, !row.text.empty() ? generic : nullptr);
}

bool ThemeList::Draw(const graphics::Transform* parent) {
  BeginDrawStates();
  const int32_t sel = UpdateWindow();

  graphics::Transform t = parent ? transform.Combine(*parent) : transform;
  for (ThemeFx& fx : fxs) {
    fx.Update(0);
    if (!fx.inheritSubId) FoldFx(t, fx);
  }
  if (!ApplyScreenAnchor(t)) {
    EndDrawStates();
    return true;
  }

  const int32_t last = LastRow();
  const float alignOffset = static_cast<float>(count - 1) * leading * listAlign;
  for (int32_t i = first; i < last; ++i) {
    DrawRow(i, PlaceAt(t, static_cast<float>(i - first) * leading, alignOffset));
  }

  if (sel >= 0 && sel < count) {
    const graphics::Transform at = PlaceAt(t, static_cast<float>(sel - first) * leading, alignOffset);
    const int32_t value = ParseInt(entries[sel].text);
    for (auto& image : images) {
      if (image->selector) image->Draw(&at, value);
    }
  }

  const float thumb = ScrollFraction() * static_cast<float>(viewCount - 1) * leading;
  const graphics::Transform thumbAt = PlaceAt(t, thumb, alignOffset);
  for (auto& image : images) {
    if (image->scrollbar) image->Draw(&thumbAt, 0);
  }
  EndDrawStates();
  return true;
}

}  // namespace theme
