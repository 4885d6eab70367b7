#include "theme/option_list.h"

#include <algorithm>
#include <locale>
#include <sstream>

#include "core/utils.h"

namespace theme {

namespace {

constexpr float kFloatStep = 0.1f;

std::u16string IntText(int32_t value) { return ToWide(std::to_string(value)); }

// Stream formatting with the default precision, independent of the process locale.
std::u16string FloatText(float value) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << value;
  return ToWide(out.str());
}

}  // namespace

// ---------------------------------------------------------------------------
// MenuSetting

int32_t MenuSetting::FindChoiceOfGroup(int32_t from, int32_t direction) const {
  const int32_t usable = std::min(choiceCount, capacity);
  for (int32_t j = from; j >= 0 && j < usable; j += direction) {
    if (choices[j].groupId == groupId) return j;
  }
  return -1;
}

void MenuSetting::UpdateLinked() {
  if (!linked) return;
  linked->groupId = current;
  linked->SelectFirstOfGroup();
}

void MenuSetting::Next() {
  switch (kind) {
    case SettingKind::kChoice: {
      const int32_t found = FindChoiceOfGroup(current + 1, +1);
      if (found >= 0) {
        current = found;
        Apply();
      }
      UpdateLinked();
      break;
    }
    case SettingKind::kNumeric:
      // The float is not clamped after its step: it may end a step below the minimum.
      if (boundFloat && *boundFloat > floatMinimum) *boundFloat -= kFloatStep;
      if (boundInt) {
        *boundInt -= step;
        if (*boundInt < intMinimum) *boundInt = intMinimum;
      }
      break;
    default:
      break;
  }
}

void MenuSetting::Previous() {
  switch (kind) {
    case SettingKind::kChoice: {
      const int32_t found = FindChoiceOfGroup(current - 1, -1);
      if (found >= 0) {
        current = found;
        Apply();
      }
      UpdateLinked();
      break;
    }
    case SettingKind::kNumeric:
      if (boundFloat && floatMaximum > *boundFloat) *boundFloat += kFloatStep;
      if (boundInt) {
        *boundInt += step;
        if (*boundInt > intMaximum) *boundInt = intMaximum;
      }
      break;
    default:
      break;
  }
}

void MenuSetting::Apply() {
  // A setting without choices has nothing to write.
  if (!HasCurrentChoice()) return;
  const MenuChoice& choice = choices[current];
  if (boundNarrow) *boundNarrow = choice.narrowValue;
  if (boundWide) *boundWide = choice.wideValue;
  if (boundFloat) *boundFloat = choice.floatValue;
  if (boundByte) *boundByte = choice.byteValue;
  if (boundInt) *boundInt = choice.intValue;
  if (boundSecondInt) *boundSecondInt = choice.secondIntValue;
}

void MenuSetting::SelectFirstOfGroup() {
  current = 0;
  const int32_t found = FindChoiceOfGroup(0, +1);
  if (found < 0) return;
  current = found;
  Apply();
}

std::u16string MenuSetting::GetValueText() const {
  switch (kind) {
    case SettingKind::kChoice:
      return HasCurrentChoice() ? choices[current].label : std::u16string();
    case SettingKind::kNumeric:
      if (boundInt) return IntText(*boundInt);
      if (boundFloat) return FloatText(*boundFloat);
      return u"ERROR";
    case SettingKind::kDisplay:
      if (boundInt) return IntText(*boundInt);
      if (boundNarrow) return ToWide(*boundNarrow);
      if (boundWide) return *boundWide;
      if (boundFloat) return FloatText(*boundFloat);
      if (boundByte) return IntText(*boundByte);
      return std::u16string();
    default:
      return u"ERROR";
  }
}

// ---------------------------------------------------------------------------
// OptionList

void OptionList::Allocate(int32_t settingCount, int32_t choicesPerSetting) {
  Free();
  if (settingCount < 0) settingCount = 0;
  if (choicesPerSetting < 0) choicesPerSetting = 0;
  settings = std::make_unique<MenuSetting[]>(static_cast<size_t>(settingCount));
  allocated = settingCount;
  for (int32_t i = 0; i < settingCount; ++i) {
    settings[i].capacity = choicesPerSetting;
    settings[i].choices = std::make_unique<MenuChoice[]>(static_cast<size_t>(choicesPerSetting));
  }
  editing = 0;
  count = 0;
  cursor = 0;
  previousCursor = -1;
}

void OptionList::Free() {
  settings.reset();
  allocated = 0;
  count = 0;
  cursor = 0;
  editing = 0;
}

MenuSetting* OptionList::CursorSetting() {
  if (cursor < 0 || cursor >= count || cursor >= allocated) return nullptr;
  return &settings[cursor];
}

bool OptionList::Up() {
  if (editing) {
    if (MenuSetting* setting = CursorSetting()) setting->Previous();
  } else if (cursor >= 1) {
    --cursor;
  }
  return true;
}

bool OptionList::Down() {
  if (editing) {
    if (MenuSetting* setting = CursorSetting()) setting->Next();
  } else if (cursor < count - 1) {
    ++cursor;
  }
  return true;
}

bool OptionList::ToggleEdit() {
  MenuSetting* setting = CursorSetting();
  if (!setting || setting->kind == SettingKind::kDisplay || setting->locked) return false;
  editing = editing ? 0 : 1;
  return true;
}

void OptionList::SyncFromBindings() {
  const int32_t used = std::min(count, allocated);
  for (int32_t i = 0; i < used; ++i) {
    MenuSetting& s = settings[i];
    s.current = 0;
    const int32_t usable = std::min(s.choiceCount, s.capacity);
    // Every check that holds moves the setting on, so the last matching choice wins.
    for (int32_t j = 0; j < usable; ++j) {
      const MenuChoice& c = s.choices[j];
      if (c.groupId != s.groupId) continue;
      if (s.boundNarrow && *s.boundNarrow == c.narrowValue) s.current = j;
      if (s.boundWide && *s.boundWide == c.wideValue) s.current = j;
      if (s.boundByte && *s.boundByte == c.byteValue) s.current = j;
      if (s.boundFloat && *s.boundFloat == c.floatValue) s.current = j;
      if (s.boundInt) {
        const bool intMatches = *s.boundInt == c.intValue;
        if (s.boundSecondInt ? intMatches && *s.boundSecondInt == c.secondIntValue : intMatches) s.current = j;
      }
    }
    if (s.linked) s.linked->groupId = s.current;
  }
}

}  // namespace theme
