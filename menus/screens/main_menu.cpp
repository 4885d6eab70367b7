#include "menus/screens/main_menu.h"

#include "core/lang_ids.h"
#include "core/utils.h"
#include "game/level/level_session.h"

namespace menus {
namespace {

struct MainRow {
  int32_t text;
  Menu request;
};

constexpr std::array<MainRow, MainMenu::kRows> kMainRows{{
    {LANG("LANG_MENU_MAIN_QUICKPLAY"), Menu::kSongSelect},
    {LANG("LANG_MENU_MAIN_CAREER"), Menu::kCareer},
    {LANG("LANG_MENU_MAIN_PRACTICE"), Menu::kSongSelect},
    {LANG("LANG_MENU_MAIN_NETWORK"), Menu::kNetwork},
    {LANG("LANG_MENU_MAIN_OPTIONS"), Menu::kOptions},
    {LANG("LANG_MENU_MAIN_EXTRAS"), Menu::kExtras},
    {LANG("LANG_MENU_MAIN_QUIT"), Menu::kQuit},
}};

constexpr int32_t kPracticeRow = 2;

}  // namespace

bool MainMenu::LoadTheme(const std::u16string& dynamicFolder) {
  theme_ = owner_.LoadTheme("menu_main", dynamicFolder);
  if (!theme_) return false;
  BuildList();
  return true;
}

void MainMenu::BuildList() {
  if (!theme_) return;
  for (int32_t i = 0; i < kRows; ++i) rows_[static_cast<size_t>(i)] = ListRow{0, 0, 0, owner_.Text(kMainRows[static_cast<size_t>(i)].text)};
  theme_->SetListItems("list_name", rows_.data(), &selectedRow, kRows);
  theme_->TriggerEvent("list_name", RowName(selectedRow), "hover_on");
}

void MainMenu::MoveUp() {
  if (selectedRow <= 0) return;
  if (theme_) theme_->TriggerEvent("list_name", RowName(selectedRow), "hover_off");
  --selectedRow;
  if (theme_) theme_->TriggerEvent("list_name", RowName(selectedRow), "hover_on");
}

void MainMenu::MoveDown() {
  if (selectedRow >= kRows - 1) return;
  if (theme_) theme_->TriggerEvent("list_name", RowName(selectedRow), "hover_off");
  ++selectedRow;
  if (theme_) theme_->TriggerEvent("list_name", RowName(selectedRow), "hover_on");
}

void MainMenu::Select(int32_t controller) {
  owner_.PlaySound(Sound::kConfirm);
  const MainRow& row = kMainRows[static_cast<size_t>(selectedRow)];
  requestedMenu = static_cast<int32_t>(row.request);
  changeFlag = true;
  if (row.request == Menu::kSongSelect || row.request == Menu::kCareer) chooser = controller;
  if (selectedRow == kPracticeRow && owner_.session) owner_.session->practice = true;
}

void MainMenu::Update() {
  ForEachPress(owner_, events_, [&](int32_t c, uint32_t, const MenuActions& a) {
    if (a.up) MoveUp();
    if (a.down) MoveDown();
    if (a.confirm) Select(c);
    if (a.profileBox) {
      owner_.seats[static_cast<size_t>(c)].boxOpen = true;
      owner_.seats[static_cast<size_t>(c)].boxOpenEvent = true;
    }
    if (a.extra) { requestedMenu = static_cast<int32_t>(Menu::kShowJukeboxSong); changeFlag = true; }
    if (a.right) { requestedMenu = static_cast<int32_t>(Menu::kJukeboxNext); changeFlag = true; }
    if (a.left) { requestedMenu = static_cast<int32_t>(Menu::kJukeboxPrevious); changeFlag = true; }
    return true;
  });
  if (theme_) theme_->SetText("jukebox_name", ToWide(jukeboxLine));
}

}  // namespace menus
