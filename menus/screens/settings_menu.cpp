#include "menus/screens/settings_menu.h"

namespace menus {
namespace {

constexpr const char* kNameList = "list_name";
constexpr const char* kValueList = "list_value";
constexpr const char* kDescriptionList = "list_description";

}  // namespace

SettingsMenu::SettingsMenu(MenuContext& owner) : owner_(owner) {
  settings.Allocate(kMaxSettings, kMaxChoices);
}

bool SettingsMenu::LoadTheme(const std::u16string& dynamicFolder) {
  theme_.reset();
  theme_ = owner_.LoadTheme(DocumentName(), dynamicFolder);
  if (!theme_) return false;
  BuildLists();
  return true;
}

bool SettingsMenu::BuildLists() {
  if (!theme_) return false;
  const size_t rows = static_cast<size_t>(std::max(0, std::min(settings.count, settings.allocated)));
  // Fresh rows start with every state off, so the first update re-signals what differs.
  names_.assign(rows, ListRow{});
  values_.assign(rows, ListRow{});
  descriptions_.assign(rows, ListRow{});
  const int32_t n = static_cast<int32_t>(rows);
  theme_->SetListItems(kNameList, names_.data(), &settings.cursor, n);
  theme_->SetListItems(kValueList, values_.data(), &settings.cursor, n);
  theme_->SetListItems(kDescriptionList, descriptions_.data(), &settings.cursor, n);
  UpdateListStates();
  return true;
}

void SettingsMenu::Signal(const char* list, std::vector<ListRow>& rows, int32_t row, bool on,
                          uint8_t ListRow::*state, const char* onEvent, const char* offEvent) {
  ListRow& r = rows[static_cast<size_t>(row)];
  if ((r.*state != 0) == on) return;
  theme_->TriggerEvent(list, RowName(row), on ? onEvent : offEvent);
  r.*state = on ? 1 : 0;
}

void SettingsMenu::UpdateListStates() {
  if (!theme_) return;
  const int32_t n = static_cast<int32_t>(names_.size());
  for (int32_t i = 0; i < n && i < settings.allocated; ++i) {
    const theme::MenuSetting& s = settings.settings[i];
    const size_t at = static_cast<size_t>(i);
    names_[at].text = s.name;
    values_[at].text = s.GetValueText();
    descriptions_[at].text = s.description;
    const bool locked = s.locked != 0;
    Signal(kNameList, names_, i, locked, &ListRow::disabled, "disable_on", "disable_off");
    Signal(kValueList, values_, i, locked, &ListRow::disabled, "disable_on", "disable_off");
    Signal(kDescriptionList, descriptions_, i, locked, &ListRow::disabled, "disable_on", "disable_off");
    if (i == settings.cursor) {
      const bool editing = settings.editing != 0;
      Signal(kNameList, names_, i, editing, &ListRow::edit, "edit_on", "edit_off");
      Signal(kValueList, values_, i, editing, &ListRow::edit, "edit_on", "edit_off");
      Signal(kDescriptionList, descriptions_, i, editing, &ListRow::edit, "edit_on", "edit_off");
    }
  }
  if (settings.cursor == settings.previousCursor) return;
  for (const char* list : {kNameList, kValueList, kDescriptionList}) {
    if (settings.previousCursor >= 0) theme_->TriggerEvent(list, RowName(settings.previousCursor), "hover_off");
  }
  for (const char* list : {kNameList, kValueList, kDescriptionList}) {
    theme_->TriggerEvent(list, RowName(settings.cursor), "hover_on");
  }
  settings.previousCursor = settings.cursor;
}

void SettingsMenu::Frame() {
  settings.SyncFromBindings();
  UpdateListStates();
  Update();
}

void SettingsMenu::Request(int32_t menu) {
  requestedMenu = menu;
  changeRequested = true;
}

void SettingsMenu::Update() {
  ForEachPress(owner_, events_, [&](int32_t c, uint32_t, const MenuActions& a) {
    if (a.up) settings.Up();
    if (a.down) settings.Down();
    if (a.confirm) {
      owner_.PlaySound(Sound::kConfirm);
      // An action row or a locked one does not enter edit mode: it acts instead.
      if (!settings.ToggleEdit()) ActionRow(settings.cursor);
    }
    if (a.back) {
      owner_.PlaySound(Sound::kBack);
      if (settings.editing) {
        settings.editing = 0;
      } else {
        Request(BackMenu());
      }
    }
    if (a.profileBox) {
      Seat& seat = owner_.seats[static_cast<size_t>(c)];
      seat.boxOpen = !seat.boxOpen;
      seat.boxOpenEvent = true;
    }
    return true;
  });
}

}  // namespace menus
