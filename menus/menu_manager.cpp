#include "menus/menu_manager.h"

#include <mutex>

#include "core/lang_ids.h"
#include "core/log.h"
#include "core/settings.h"
#include "core/utils.h"
#include "game/level/level_session.h"
#include "platform/clock.h"
#include "song/song_list.h"
#include "song/song_record.h"

namespace menus {
namespace {


constexpr std::array<const char*, MenuManager::kLegendElements> kLegendNames{
    "button_green", "button_red", "button_orange", "button_start", "button_select", "button_leftright"};
constexpr std::array<const char*, 5> kKeyboardNames{"keyboard_green", "keyboard_red", "keyboard_orange",
                                                    "keyboard_start", "keyboard_select"};
constexpr std::array<uint32_t, 5> kLegendButtons{1, 2, 5, 18, 19};

// Where the build puts the calibration song, relative to the run folder.
const std::u16string kCalibratorFolder = u"data/calibrator/";

bool IsMenu(int32_t n, Menu m) { return n == static_cast<int32_t>(m); }

}  // namespace

bool MenuManager::InitMenus(const std::u16string& musicFolder, const std::u16string& themeFolder) {
  LogNarrow("Initializing Menus");
  current = static_cast<int32_t>(Menu::kMain);
  previous = -1;
  exitRequest.store(false);
  exitCode.store(0);
  LogNarrow("Initializing: Main Menu");
  main_ = std::make_unique<MainMenu>(ctx_);
  LogNarrow("Initializing: Calibration Menu");
  calibration_ = std::make_unique<CalibrationMenu>(ctx_);
  LogNarrow("Initializing: Song Menu");
  song_ = std::make_unique<SongMenu>(ctx_, musicFolder);
  LogNarrow("Initializing: Player Menu");
  player_ = std::make_unique<PlayerMenu>(ctx_);
  LogNarrow("Initializing: Song Load Menu");
  songLoad_ = std::make_unique<SongLoadMenu>(ctx_);
  LogNarrow("Initializing: Drop Down Holder Menu");
  dropDowns_ = std::make_unique<DropDownHolderMenu>(ctx_);
  LogNarrow("Loading Menu Themes");
  LoadMenuThemes(themeFolder);
  if (ctx_.settings && ctx_.settings->PLAYCOUNT == 10) current = static_cast<int32_t>(Menu::kDonate);
  jukeboxIndex = 0;
  return true;
}

void MenuManager::LoadMenuThemes(const std::u16string& themeFolder) {
  themeFolder_ = themeFolder;
  std::u16string dynamic = themeFolder;
  if (!dynamic.empty() && dynamic.back() != u'/') dynamic += u'/';
  dynamic += u"dynamic/";
  container_ = ctx_.LoadTheme("menu_container", dynamic);
  themesLoaded.fetch_add(1);
  overlay_ = ctx_.LoadTheme("menu_overlay", dynamic);
  themesLoaded.fetch_add(1);
  messageBox_ = ctx_.LoadTheme("message_box", dynamic);
  themesLoaded.fetch_add(1);
  if (main_) main_->LoadTheme(dynamic);
  themesLoaded.fetch_add(1);
  if (calibration_) calibration_->LoadTheme(dynamic);
  themesLoaded.fetch_add(1);
  if (song_) song_->LoadTheme(dynamic);
  themesLoaded.fetch_add(1);
  if (player_) player_->LoadTheme(dynamic);
  themesLoaded.fetch_add(1);
  if (songLoad_) songLoad_->LoadTheme(dynamic);
  themesLoaded.fetch_add(1);
  if (dropDowns_) dropDowns_->LoadTheme(dynamic);
  themesLoaded.fetch_add(1);
  legend_.fill(std::u16string());
}

void MenuManager::DestroyMenus() {
  if (song_) song_->WaitPreviewThread();
  main_.reset();
  calibration_.reset();
  song_.reset();
  player_.reset();
  songLoad_.reset();
  dropDowns_.reset();
  container_.reset();
  overlay_.reset();
  messageBox_.reset();
  std::lock_guard<std::mutex> lock(musicMutex_);
  music_.reset();
}

// ---- Switching -------------------------------------------------------------------

void MenuManager::LeaveScreen(int32_t from, int32_t to) {
  if (IsMenu(from, Menu::kSongSelect) && song_) {
    song_->WaitPreviewThread();
    if (!IsMenu(to, Menu::kStartSong) && MusicAllowsRestart()) {
      std::lock_guard<std::mutex> lock(musicMutex_);
      if (music_) music_->Restart();
    }
  }
}

void MenuManager::EnterScreen(int32_t to) {
  if (IsMenu(to, Menu::kPlayerSelect) && player_) player_->BuildLists();
}

void MenuManager::SwitchTo(int32_t menu) {
  if (menu == current) return;
  LeaveScreen(current, menu);
  current = menu;
  EnterScreen(menu);
}

void MenuManager::Update() {
  bool finished = false;
  {
    std::lock_guard<std::mutex> lock(musicMutex_);
    finished = music_ && music_->IsFinished();
  }
  if (finished) JukeboxNext();
  JoinControllers();
  switch (static_cast<Menu>(current)) {
    case Menu::kMain:
      if (!main_) break;
      main_->Update();
      if (!main_->changeFlag) break;
      main_->changeFlag = false;
      switch (static_cast<Menu>(main_->requestedMenu)) {
        case Menu::kSongSelect:
          if (song_) song_->actingController = main_->chooser;
          SwitchTo(main_->requestedMenu);
          break;
        case Menu::kQuit:
          exitCode.store(0);
          exitRequest.store(true);
          break;
        case Menu::kJukeboxPrevious: JukeboxPrevious(); break;
        case Menu::kJukeboxNext: JukeboxNext(); break;
        case Menu::kShowJukeboxSong: ShowJukeboxSong(); break;
        default: SwitchTo(main_->requestedMenu); break;
      }
      break;
    case Menu::kSongSelect:
      if (!song_) break;
      song_->Update();
      if (song_->previewStarted) {
        song_->previewStarted = false;
        if (MusicAllowsRestart()) {
          std::lock_guard<std::mutex> lock(musicMutex_);
          if (music_) music_->FadeOut(1000);
        }
      }
      if (song_->changeFlag) {
        song_->changeFlag = false;
        SwitchTo(song_->requestedMenu);
      }
      break;
    case Menu::kPlayerSelect:
      if (!player_) break;
      player_->Update();
      if (player_->leave) {
        player_->leave = false;
        SwitchTo(player_->requestedMenu);
      }
      break;
    case Menu::kCalibration:
      if (!calibration_) break;
      calibration_->Frame();
      if (!calibration_->changeRequested) break;
      calibration_->changeRequested = false;
      if (calibration_->requestedMenu == kRequestCalibrationSong) {
        // The calibration song lives in the run folder, outside the music folder.
        if (!song_) break;
        song_->Enter(true, false, kCalibratorFolder);
        song_->ChooseSong(false, false);
        SwitchTo(static_cast<int32_t>(Menu::kSongSelect));
      } else {
        SwitchTo(calibration_->requestedMenu);
      }
      break;
    case Menu::kStartSong:
      // One frame after the request: the shell leaves the menus for the song.
      exitCode.store(1);
      exitRequest.store(true);
      ctx_.ResetHeld(false);
      break;
    default:
      // Screens this build does not have: nothing is updated or drawn, and a
      // back press returns to the main menu so the player is never stranded.
      if (!IsMenu(current, Menu::kStartSong)) {
        std::array<InputEvent, kMaxFetchEvents> events{};
        bool back = false;
        ForEachPress(ctx_, events, [&](int32_t, uint32_t, const MenuActions& a) {
          back = back || a.back;
          return true;
        });
        if (back) SwitchTo(static_cast<int32_t>(Menu::kMain));
      }
      break;
  }
  UpdateControlsLegend();
  if (current != previous) {
    ctx_.ClearHeld();
    previous = current;
  }
}

void MenuManager::RenderMessageRows(const std::vector<std::u16string>& rows) {
  if (!messageBox_ || rows.empty()) return;
  for (size_t i = 0; i < messageRows_.size(); ++i) messageRows_[i].text = i < rows.size() ? rows[i] : u"";
  messageSelected_ = 0;
  messageBox_->SetListItems("list_message", messageRows_.data(), &messageSelected_, 5);
  messageBox_->Render(0, 0, 1);
}

void MenuManager::Render(float screenWidth, float screenHeight) {
  if (container_) container_->Render(0, 0, 1);
  switch (static_cast<Menu>(current)) {
    case Menu::kMain:
      if (main_ && main_->theme()) main_->theme()->Render(0, 0, 1);
      break;
    case Menu::kSongSelect:
      if (song_ && song_->theme()) song_->theme()->Render(0, 0, 1);
      if (song_) RenderMessageRows(song_->MessageRows());
      break;
    case Menu::kPlayerSelect:
      if (player_) player_->Render(screenWidth, screenHeight);
      break;
    case Menu::kCalibration:
      if (calibration_ && calibration_->theme()) calibration_->theme()->Render(0, 0, 1);
      break;
    default: break;
  }
  if (dropDowns_) dropDowns_->Render(screenWidth, screenHeight);
  if (overlay_) overlay_->Render(0, 0, 1);
}

void MenuManager::ResetAfterSong() {
  // The legend's animations ran on during the song: back to how the menus first showed it.
  if (overlay_) {
    overlay_->StopAnimations();
    overlay_->ResetElements();
  }
  exitRequest.store(false);
  exitCode.store(0);
  ctx_.ResetHeld(true);
  ctx_.ControlAllVideos(0);
  if (player_) player_->ResetSlots();
  for (int32_t c = 0; c < std::min(ctx_.ControllerCount(), kMaxControllers); ++c) ctx_.ClearEvents(c);
  if (song_) {
    // A career's set list is the career's own and is chosen again from its screen; a
    // play list the player built stays, so the way back from a song keeps it.
    if (ctx_.session && ctx_.session->career) {
      const int32_t selected = song_->selectedRow;
      song_->ClearPlaylist();
      song_->selectedRow = selected;
    }
    song_->RefreshAfterSong();
  }
}

// ---- Joining ---------------------------------------------------------------------

void MenuManager::JoinControllers() {
  const int32_t count = std::min(ctx_.ControllerCount(), kMaxControllers);
  for (int32_t c = 0; c < count; ++c) {
    Seat& seat = ctx_.seats[static_cast<size_t>(c)];
    if (seat.inPlay || !ctx_.AnyButtonDown(c)) continue;
    if (!ctx_.Identify(c)) {
      if (ctx_.settings && ctx_.settings->SHOWPROFILEMESSAGE && ctx_.showAlert)
        ctx_.showAlert("Unknown Controller (Please Profile Your Device)");
      continue;
    }
    seat.inPlay = true;
    seat.defaultKind = ctx_.Kind(c);
    ctx_.PlaySound(Sound::kJoined);
    int32_t inPlay = 0;
    for (int32_t k = 0; k < count; ++k) inPlay += ctx_.seats[static_cast<size_t>(k)].inPlay && ctx_.Present(k);
    const std::u16string guest = ctx_.profilesFolder + u"Guest.dat";
    if (inPlay == 1 && ctx_.settings) {
      const std::u16string path = ctx_.settings->DEFAULTPROFILE;
      if (path.empty() || !seat.profile.Load(path)) {
        LogNarrow("Could Not Find Default Profile:" + ToNarrow(path) + " Reverting To Guest");
        ctx_.settings->DEFAULTPROFILE = guest;
        ctx_.settings->Save();
        seat.profile.Load(guest);
      }
    } else {
      seat.profile.Load(guest);
    }
    if (dropDowns_) dropDowns_->Open(c);
    ctx_.ClearEvents(c);
  }
  if (dropDowns_) dropDowns_->Update();
  ApplyPlayerRequests();
}

void MenuManager::ApplyPlayerRequests() {
  const int32_t count = std::min(ctx_.ControllerCount(), kMaxControllers);
  for (int32_t c = 0; c < count; ++c) {
    Seat& seat = ctx_.seats[static_cast<size_t>(c)];
    if (!seat.inPlay) continue;
    if (seat.kindChanged) {
      seat.kindChanged = false;
      ctx_.SetKind(c, seat.defaultKind);
      if (player_)
        for (int32_t i = 0; i < player_->slotCount; ++i)
          if (player_->Slot(i).controllerIndex == c) player_->Slot(i).SendPlayerInfo();
      if (song_) song_->UpdateScoreFilter(song_->actingController);
    }
    if (seat.profileLoadRequest) {
      // The box chose a profile file: it becomes the player's profile now.
      seat.profileLoadRequest = false;
      const std::u16string path = seat.profile.path;
      if (!seat.profile.Load(path)) LogNarrow("Could not load the chosen profile: " + ToNarrow(path));
      if (player_)
        for (int32_t i = 0; i < player_->slotCount; ++i)
          if (player_->Slot(i).controllerIndex == c) player_->Slot(i).SendPlayerInfo();
      if (dropDowns_) dropDowns_->ReloadProfiles();
    }
    // The profile editor and the MIDI link screen are not part of this build: their
    // requests are dropped so they cannot pile up.
    seat.editProfileRequest = false;
    seat.midiLinkRequest = false;
  }
}

// ---- Controls legend -------------------------------------------------------------

void MenuManager::UpdateControlsLegend() {
  if (!overlay_) return;
  const bool career = ctx_.session && ctx_.session->career;
  const bool music = ctx_.settings && ctx_.settings->mixer.MENUMUSIC != 0;
  std::array<std::u16string, kLegendElements> t;
  const bool songs = IsMenu(current, Menu::kSongSelect) && song_;
  const bool donate = IsMenu(current, Menu::kDonate);
  t[0] = songs ? song_->legendSelect : ctx_.Text(donate ? LANG("LANG_BUTTONS_MORE_INFO") : LANG("LANG_BUTTONS_SELECT"));
  t[1] = songs ? song_->legendBack : ctx_.Text(donate ? LANG("LANG_BUTTONS_DISMISS") : LANG("LANG_BUTTONS_BACK"));
  t[2] = songs && !career ? ctx_.Text(LANG("LANG_BUTTONS_SEARCH")) : u"";
  t[3] = ctx_.Text(LANG("LANG_BUTTONS_PROFILE"));
  switch (static_cast<Menu>(current)) {
    case Menu::kMain: t[4] = music ? ctx_.Text(LANG("LANG_BUTTONS_PLAY_SONG")) : u""; break;
    case Menu::kSongSelect: t[4] = career || !song_ ? u"" : song_->functionName; break;
    case Menu::kPlayerSelect: t[4] = ctx_.Text(LANG("LANG_BUTTONS_GAME_TYPE")); break;
    case Menu::kServerList: t[4] = ctx_.Text(LANG("LANG_BUTTONS_REFRESH_LIST")); break;
    case Menu::kCareerProfile: t[4] = ctx_.Text(LANG("LANG_BUTTONS_DELETE")); break;
    case Menu::kSearch: t[4] = ctx_.Text(LANG("LANG_BUTTONS_SEARCH")); break;
    default: break;
  }
  switch (static_cast<Menu>(current)) {
    case Menu::kMain:
    case Menu::kLobby: t[5] = music ? ctx_.Text(LANG("LANG_BUTTONS_CHANGE_SONG")) : u""; break;
    case Menu::kSongSelect: t[5] = career ? u"" : ctx_.Text(LANG("LANG_BUTTONS_CHANGE_FUNCTION")); break;
    case Menu::kSearch: t[5] = ctx_.Text(LANG("LANG_BUTTONS_CHANGE_SORTING")); break;
    default: break;
  }
  for (int32_t i = 0; i < kLegendElements; ++i) overlay_->SetText(kLegendNames[static_cast<size_t>(i)], t[static_cast<size_t>(i)]);
  for (int32_t i = 0; i < kLegendElements; ++i) {
    const std::u16string shown = overlay_->GetText(kLegendNames[static_cast<size_t>(i)]);
    if (shown == legend_[static_cast<size_t>(i)]) continue;
    legend_[static_cast<size_t>(i)] = shown;
    overlay_->TriggerEvent(kLegendNames[static_cast<size_t>(i)], "", "change");
  }
  // The keys the keyboard player presses for each hint shown.
  for (size_t i = 0; i < kKeyboardNames.size(); ++i)
    overlay_->SetText(kKeyboardNames[i], t[i].empty() ? u"" : ctx_.KeyName(kLegendButtons[i]));
  overlay_->SetText("keyboard_left", t[5].empty() ? u"" : ctx_.KeyName(16));
  overlay_->SetText("keyboard_right", t[5].empty() ? u"" : ctx_.KeyName(17));
}

// ---- Jukebox ---------------------------------------------------------------------

bool MenuManager::JukeboxAllowed() const {
  return ctx_.songList && ctx_.songList->count > 0 && ctx_.settings && ctx_.settings->mixer.MENUMUSIC != 0;
}

bool MenuManager::MusicAllowsRestart() const {
  return ctx_.settings && ctx_.settings->mixer.MENUMUSIC != 0 && ctx_.settings->mixer.SONGPREVIEWTYPE != 0;
}

bool MenuManager::JukeboxNext() {
  if (!JukeboxAllowed()) return false;
  JukeboxSlot& slot = jukebox[static_cast<size_t>(jukeboxIndex)];
  if (!slot.filled || slot.newest) {
    slot.newest = false;
    if (slot.filled) jukeboxIndex = (jukeboxIndex + 1) % kJukeboxSlots;
    JukeboxSlot& next = jukebox[static_cast<size_t>(jukeboxIndex)];
    next.newest = next.filled = true;
    const SongRecord* rec = ctx_.songList->GetAt(static_cast<int32_t>(ctx_.Random() % static_cast<uint32_t>(ctx_.songList->count)));
    next.folder = rec ? rec->folder : std::u16string();
  } else {
    jukeboxIndex = (jukeboxIndex + 1) % kJukeboxSlots;
  }
  JukeboxPlay();
  return true;
}

bool MenuManager::JukeboxPrevious() {
  if (!JukeboxAllowed()) return false;
  const int32_t before = jukeboxIndex;
  jukeboxIndex = (jukeboxIndex + kJukeboxSlots - 1) % kJukeboxSlots;
  const JukeboxSlot& slot = jukebox[static_cast<size_t>(jukeboxIndex)];
  if (slot.filled && !slot.newest) JukeboxPlay();
  else jukeboxIndex = before;
  return true;
}

bool MenuManager::PauseMusicThread() {
  return ctx_.pauseMusicThread && ctx_.pauseMusicThread(kMusicPauseTimeoutMs);
}

void MenuManager::ResumeMusicThread() {
  if (ctx_.resumeMusicThread) ctx_.resumeMusicThread();
}

void MenuManager::JukeboxPlay() {
  if (!JukeboxAllowed()) return;
  const bool paused = PauseMusicThread();
  {
    std::lock_guard<std::mutex> lock(musicMutex_);
    if (music_) music_->Stop();
    jukeboxFolder = jukebox[static_cast<size_t>(jukeboxIndex)].folder;
    music_ = ctx_.loadMusic ? ctx_.loadMusic(jukeboxFolder) : nullptr;
    if (music_) {
      music_->Update();
      music_->Start();
    }
  }
  if (paused) ResumeMusicThread();
  SongInfo info;
  info.ReadIni(jukeboxFolder);
  if (main_) main_->jukeboxLine = info.artist + " - " + info.name;
}

bool MenuManager::PauseJukebox() {
  std::lock_guard<std::mutex> lock(musicMutex_);
  if (!music_) return false;
  music_->Pause();
  return true;
}

bool MenuManager::ShowJukeboxSong() {
  if (!JukeboxAllowed() || !song_) return false;
  {
    std::lock_guard<std::mutex> lock(musicMutex_);
    if (!music_) return false;
  }
  SwitchTo(static_cast<int32_t>(Menu::kSongSelect));
  song_->OpenPath(jukeboxFolder);
  return true;
}

bool MenuManager::UpdateJukeboxAudio() {
  std::lock_guard<std::mutex> lock(musicMutex_);
  if (!music_) return false;
  music_->Update();
  return true;
}

}  // namespace menus
