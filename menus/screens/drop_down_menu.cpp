#include "menus/screens/drop_down_menu.h"

#include <algorithm>
#include <cstdio>

#include "core/lang_ids.h"
#include "core/log.h"
#include "core/settings.h"
#include "core/utils.h"
#include "menus/screens/player_menu.h"
#include "platform/paths.h"

namespace menus {
namespace {

constexpr std::array<int32_t, DropDownBox::kOptions> kOptionNames{
    LANG("LANG_MENU_DDBOX_EDIT_PROFILE"), LANG("LANG_MENU_DDBOX_DELETE_PROFILE"), LANG("LANG_MENU_DDBOX_MAKE_DEFAULT"),
    LANG("LANG_MENU_DDBOX_CONTINUE")};

constexpr std::array<int32_t, DropDownBox::kKinds> kKindNames{
    LANG("LANG_INSTRUMENT_DRUMS"), LANG("LANG_INSTRUMENT_GUITAR"), LANG("LANG_INSTRUMENT_GAMEPAD"),
    LANG("LANG_INSTRUMENT_KEYBOARD"), LANG("LANG_INSTRUMENT_KEYS"), LANG("LANG_INSTRUMENT_DRUMS_REAL"),
    LANG("LANG_INSTRUMENT_GUITAR_REAL"), LANG("LANG_INSTRUMENT_DANCEPAD")};

constexpr int32_t kFixedRows = 2;  // MIDI link, new profile

}  // namespace

bool DropDownBox::LoadTheme(const std::u16string& dynamicFolder) {
  theme_ = owner_.LoadTheme("menu_dropdownbox", dynamicFolder);
  if (!theme_) return false;
  previousProfileCursor_ = previousOptionCursor_ = previousState_ = -1;
  shownDefault_.clear();
  BuildLists();
  return true;
}

void DropDownBox::Bind(int32_t c) {
  controller = c;
  profileCursor = optionCursor = chosenProfile = 0;
  state = 1;
  kindCursor_ = owner_.Kind(c);
  BuildLists();
}

void DropDownBox::Release() {
  controller = -1;
  profileCursor = optionCursor = chosenProfile = 0;
  previousProfileCursor_ = previousOptionCursor_ = previousState_ = -1;
  shownDefault_.clear();
}

void DropDownBox::BuildLists() {
  if (controller < 0) return;
  profileNames.clear();
  const std::string folder = platform::ResolvePath(platform::PathToNative(owner_.profilesFolder));
  for (const platform::DirEntry& e : platform::ListDirectory(folder, "*.dat")) {
    if (e.isDirectory || e.name.size() < 4) continue;
    profileNames.push_back(platform::PathFromNative(e.name.substr(0, e.name.size() - 4)));
  }
  profileRows_.assign(profileNames.size() + kFixedRows, ListRow());
  profileRows_[0].text = owner_.Text(LANG("LANG_MENU_DDBOX_MIDI_LINK"));
  profileRows_[1].text = owner_.Text(LANG("LANG_MENU_DDBOX_NEW_PROFILE"));
  for (size_t i = 0; i < profileNames.size(); ++i) profileRows_[i + kFixedRows].text = profileNames[i];
  profileCursor = std::clamp(profileCursor, 0, static_cast<int32_t>(profileRows_.size()) - 1);
  for (int32_t i = 0; i < kOptions; ++i) optionRows_[static_cast<size_t>(i)].text = owner_.Text(kOptionNames[static_cast<size_t>(i)]);
  for (int32_t i = 0; i < kKinds; ++i) kindRows_[static_cast<size_t>(i)].text = owner_.Text(kKindNames[static_cast<size_t>(i)]);
  if (!theme_) return;
  theme_->SetListItems("list_profiles", profileRows_.data(), &profileCursor, static_cast<int32_t>(profileRows_.size()));
  theme_->SetListItems("list_options", optionRows_.data(), &optionCursor, kOptions);
  theme_->SetListItems("list_ctrl", kindRows_.data(), &kindCursor_, kKinds);
}

bool DropDownBox::SelectProfileByName(const std::string& name) {
  const std::u16string wide = ToWide(name);
  for (size_t i = 0; i < profileNames.size(); ++i) {
    if (profileNames[i] != wide) continue;
    profileCursor = chosenProfile = static_cast<int32_t>(i) + kFixedRows;
    return true;
  }
  return false;
}

void DropDownBox::Opened() {
  state = 1;
  if (theme_) theme_->TriggerEvent("open", "", "active_on");
}

void DropDownBox::Close() {
  if (controller >= 0) SeatOf().boxOpen = false;
  state = 1;
  if (theme_) theme_->TriggerEvent("open", "", "active_off");
}

void DropDownBox::HandleInput() {
  if (controller < 0 || !SeatOf().inPlay || !SeatOf().boxOpen) return;
  const int32_t n = std::min<int32_t>(owner_.GetEvents(controller, events_.data()), kMaxFetchEvents);
  const int32_t lastProfile = static_cast<int32_t>(profileRows_.size()) - 1;
  for (int32_t i = 0; i < n && SeatOf().boxOpen; ++i) {
    const InputEvent& e = events_[static_cast<size_t>(i)];
    if (!e.pressed) continue;
    const MenuActions a = MapButton(e.id, owner_.Kind(controller));
    if (a.up) { if (state == 1) profileCursor = std::max(0, profileCursor - 1); else optionCursor = std::max(0, optionCursor - 1); }
    if (a.down) { if (state == 1) profileCursor = std::min(lastProfile, profileCursor + 1); else optionCursor = std::min(kOptions - 1, optionCursor + 1); }
    if (a.left && SeatOf().defaultKind > 0) { --SeatOf().defaultKind; SeatOf().kindChanged = true; }
    if (a.right && SeatOf().defaultKind < kKinds - 1) { ++SeatOf().defaultKind; SeatOf().kindChanged = true; }
    kindCursor_ = SeatOf().defaultKind;
    if (a.confirm) Select();
    if (a.back) { if (state == 1) Close(); else state = 1; }
    if (a.profileBox) Close();
    if (a.extra && state == 1 && profileCursor >= kFixedRows) {
      // The options of a listed profile, without loading it: the player's own
      // profile stays what it was until a profile row is chosen.
      chosenProfile = profileCursor;
      state = 2;
    }
  }
}

void DropDownBox::Select() {
  Seat& seat = SeatOf();
  const std::u16string folder = platform::ToSlashes(owner_.profilesFolder);
  if (state == 1) {
    if (profileCursor == 0) { seat.midiLinkRequest = true; return; }
    if (profileCursor == 1) {
      seat.profile.SetDefaults();
      seat.profile.path = folder + u"No Name.dat";
      seat.profile.Save();
      state = 2;
      seat.editProfileRequest = true;
      BuildLists();
      chosenProfile = profileCursor;
      return;
    }
    seat.profile.path = folder + profileNames[static_cast<size_t>(profileCursor - kFixedRows)] + u".dat";
    seat.profileLoadRequest = true;
    chosenProfile = profileCursor;
    Close();
    return;
  }
  const bool chosenListed = chosenProfile >= kFixedRows && chosenProfile - kFixedRows < static_cast<int32_t>(profileNames.size());
  const std::u16string chosenPath = chosenListed ? folder + profileNames[static_cast<size_t>(chosenProfile - kFixedRows)] + u".dat" : seat.profile.path;
  switch (optionCursor) {
    case 0:
      if (!seat.profile.READONLY) seat.editProfileRequest = true;
      break;
    case 1: {
      // Deletes the profile the options were opened for, never the one the player
      // happens to hold; a read-only player profile is kept.
      if (seat.profile.READONLY && chosenPath == seat.profile.path) break;
      std::remove(platform::ResolvePath(platform::PathToNative(chosenPath)).c_str());
      if (chosenPath == seat.profile.path) seat.profile.path = folder + u"Guest.dat";
      BuildLists();
      optionCursor = 0;
      state = 1;
      break;
    }
    case 2:
      if (owner_.settings && profileCursor >= kFixedRows) {
        owner_.settings->DEFAULTPROFILE = chosenPath;
        owner_.settings->Save();
      }
      break;
    default: state = 1; break;
  }
}

void DropDownBox::UpdateListStates() {
  if (!theme_ || controller < 0) return;
  if (profileCursor != previousProfileCursor_) {
    if (previousProfileCursor_ >= 0) theme_->TriggerEvent("list_profiles", RowName(previousProfileCursor_), "hover_off");
    theme_->TriggerEvent("list_profiles", RowName(profileCursor), "hover_on");
    previousProfileCursor_ = profileCursor;
  }
  for (size_t i = 0; i < profileRows_.size(); ++i) {
    const bool sel = static_cast<int32_t>(i) == chosenProfile;
    if (sel == (profileRows_[i].selected != 0)) continue;
    profileRows_[i].selected = sel;
    theme_->TriggerEvent("list_profiles", RowName(static_cast<int32_t>(i)), sel ? "selected_on" : "selected_off");
  }
  if (optionCursor != previousOptionCursor_) {
    if (previousOptionCursor_ >= 0) theme_->TriggerEvent("list_options", RowName(previousOptionCursor_), "hover_off");
    theme_->TriggerEvent("list_options", RowName(optionCursor), "hover_on");
    previousOptionCursor_ = optionCursor;
  }
  if (state != previousState_) {
    if (previousState_ < 0) for (int32_t r = 0; r < 4; ++r) theme_->TriggerEvent("state", RowName(r), "active_off");
    else theme_->TriggerEvent("state", RowName(previousState_), "active_off");
    theme_->TriggerEvent("state", RowName(state), "active_on");
    previousState_ = state;
  }
  theme_->SetText("current_profile", ToWide(SeatOf().profile.PLAYERNAME));
  if (owner_.settings && owner_.settings->DEFAULTPROFILE != shownDefault_) {
    shownDefault_ = owner_.settings->DEFAULTPROFILE;
    const std::u16string folder = platform::ToSlashes(owner_.profilesFolder);
    for (const std::u16string& name : profileNames)
      if (folder + name + u".dat" == platform::ToSlashes(shownDefault_)) theme_->SetText("default_profile", name);
  }
}

DropDownHolderMenu::DropDownHolderMenu(MenuContext& owner) : owner_(owner) {
  for (auto& b : boxes_) b = std::make_unique<DropDownBox>(owner_);
}

bool DropDownHolderMenu::LoadTheme(const std::u16string& dynamicFolder) {
  for (auto& b : boxes_) b->LoadTheme(dynamicFolder);
  return true;
}

DropDownBox* DropDownHolderMenu::BoxOf(int32_t controller) {
  for (auto& b : boxes_)
    if (b->controller == controller) return b.get();
  return nullptr;
}

bool DropDownHolderMenu::Open(int32_t controller) {
  for (auto& b : boxes_) {
    if (b->controller >= 0) continue;
    b->Bind(controller);
    b->SelectProfileByName(owner_.seats[static_cast<size_t>(controller)].profile.PLAYERNAME);
    return true;
  }
  LogNarrow("Could Not Find Free Drop Down Box Holder!");
  return false;
}

void DropDownHolderMenu::Update() {
  for (auto& b : boxes_) {
    if (b->controller < 0) continue;
    // A controller that left play (unplugged) gives its box back.
    if (!owner_.seats[static_cast<size_t>(b->controller)].inPlay) {
      b->Release();
      continue;
    }
    Seat& seat = owner_.seats[static_cast<size_t>(b->controller)];
    if (seat.boxOpenEvent) {
      seat.boxOpenEvent = false;
      if (seat.boxOpen) b->Opened();
    }
    b->HandleInput();
    b->UpdateListStates();
  }
}

void DropDownHolderMenu::ReloadProfiles() {
  for (auto& b : boxes_) {
    if (b->controller < 0) continue;
    b->BuildLists();
    b->SelectProfileByName(owner_.seats[static_cast<size_t>(b->controller)].profile.PLAYERNAME);
  }
}

void DropDownHolderMenu::Render(float screenWidth, float screenHeight) {
  int32_t n = 0;
  for (auto& b : boxes_) n += b->controller >= 0;
  int32_t k = 0;
  for (auto& b : boxes_) {
    if (b->controller < 0) continue;
    const BoxPlacement p = PlaceBox(k++, n, screenWidth, screenHeight);
    // A closed box keeps its place in the row but shows nothing: its lists and texts
    // would otherwise sit over whatever screen is current.
    if (!owner_.seats[static_cast<size_t>(b->controller)].boxOpen) continue;
    if (b->theme()) b->theme()->Render(p.x, 0, p.scale);
  }
}

}  // namespace menus
