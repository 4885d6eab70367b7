// The data behind every settings-style menu page: a list of settings, each offering
// choices, stepping a number, or showing a value. Settings are bound by pointer to the
// variables they edit, so a change writes straight into the settings or profile record;
// SyncFromBindings reads the variables back to place each setting on its choice.
// Nothing here draws: menus turn settings into list rows with GetValueText.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace theme {

// One offered value of a choice setting. It is offered only while its setting's
// group id equals the choice's.
struct MenuChoice {
  std::u16string label = u"NO NAME";
  std::string narrowValue = "NONE";
  std::u16string wideValue = u"NONE";
  float floatValue = 0.0f;
  uint8_t byteValue = 0;
  int32_t intValue = 0;
  int32_t secondIntValue = 0;
  int32_t groupId = 0;
};

enum class SettingKind : int32_t {
  kUnset = -1,
  kChoice = 0,   // offers MenuChoice values
  kNumeric = 1,  // steps a bound int by `step` or a bound float by 0.1
  kDisplay = 2,  // an action or a shown value; not editable
};

class MenuSetting {
 public:
  // Steps forward: the next offered choice, or a lower number (Next lowers a numeric
  // setting, Previous raises it). Neither wraps.
  void Next();
  void Previous();
  // Writes the current choice to every bound variable.
  void Apply();
  // Makes the first choice of the setting's group current and applies it.
  void SelectFirstOfGroup();
  std::u16string GetValueText() const;

  // Whether the current choice is one the setting holds (a choice list may be empty).
  bool HasCurrentChoice() const { return current >= 0 && current < choiceCount && current < capacity; }

  std::unique_ptr<MenuChoice[]> choices;
  std::u16string name = u"No Name";
  int32_t choiceCount = 0;
  int32_t current = 0;
  std::string* boundNarrow = nullptr;
  std::u16string* boundWide = nullptr;
  float* boundFloat = nullptr;
  uint8_t* boundByte = nullptr;
  int32_t* boundInt = nullptr;
  int32_t* boundSecondInt = nullptr;
  SettingKind kind = SettingKind::kUnset;
  int32_t intMaximum = 100;
  int32_t intMinimum = -100;
  float floatMaximum = 100.0f;
  float floatMinimum = -100.0f;
  int32_t groupId = 0;
  int32_t step = 1;
  std::u16string description = u"No Desc";
  MenuSetting* linked = nullptr;  // its group id follows this setting's current index
  int32_t capacity = 0;
  uint8_t locked = 0;
  uint8_t spareState = 0;  // a menu's own marker for the row (the music studio's loop flag)

 private:
  int32_t FindChoiceOfGroup(int32_t from, int32_t direction) const;
  void UpdateLinked();
};

class OptionList {
 public:
  // Makes `settingCount` settings of `choicesPerSetting` choices each, dropping any
  // earlier array. Editing, count and cursor start at 0.
  void Allocate(int32_t settingCount, int32_t choicesPerSetting);
  void Free();

  // Cursor moves (clamped, no wrap), or a step of the edited setting. Always true.
  bool Up();
  bool Down();
  // False, changing nothing, on a display or locked setting or an empty list.
  bool ToggleEdit();
  void SyncFromBindings();

  // The cursor's setting, or null when the list holds none there.
  MenuSetting* CursorSetting();

  int32_t editing = 0;
  int32_t count = 0;
  int32_t cursor = 0;
  int32_t previousCursor = 0;  // -1 after Allocate; the menus keep their last cursor here
  std::unique_ptr<MenuSetting[]> settings;
  int32_t allocated = 0;
};

}  // namespace theme
