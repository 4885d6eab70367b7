#include "menus/screens/player_menu.h"

#include <algorithm>

#include "core/lang_ids.h"
#include "core/utils.h"
#include "game/level/level_session.h"
#include "song/song.h"

namespace menus {
namespace {

constexpr std::array<int32_t, PlayerMenu::kGameTypes> kGameTypeNames{
    LANG("LANG_GAME_TYPE_COOP"), LANG("LANG_GAME_TYPE_VERSUS"), LANG("LANG_GAME_TYPE_SPEEDY_120"),
    LANG("LANG_GAME_TYPE_SPEEDY_140"), LANG("LANG_GAME_TYPE_SPEEDY_160"), LANG("LANG_GAME_TYPE_LAST_MAN_STANDING"),
    LANG("LANG_GAME_TYPE_WEAKEST_LINK")};

constexpr int32_t kMaxNetPlayerId = 49;
constexpr int32_t kBoxWidth = 500;

bool ValidPlayerId(int32_t id) { return id >= 0 && id <= kMaxNetPlayerId; }

}  // namespace

BoxPlacement PlaceBox(int32_t index, int32_t count, float screenWidth, float screenHeight) {
  BoxPlacement p;
  if (count <= 0 || screenHeight <= 0) return p;
  const float w = screenWidth / screenHeight * 1440.0f;
  const float total = static_cast<float>(count * kBoxWidth);
  if (total <= w) {
    const float gap = (w - total) / (2.0f * static_cast<float>(count));
    p.x = 2.0f * gap * static_cast<float>(index) + static_cast<float>(kBoxWidth * index) + gap + kBoxWidth / 2.0f;
  } else {
    p.scale = w / total;
    p.x = static_cast<float>(kBoxWidth * index) * p.scale + kBoxWidth / 2.0f * p.scale;
  }
  p.x -= w / 2.0f;
  return p;
}

PlayerMenu::PlayerMenu(MenuContext& owner) : owner_(owner) {
  for (auto& s : slots_) s = std::make_unique<PlayerSlot>(owner_);
}

int32_t& PlayerMenu::GameType() { return owner_.session ? owner_.session->gameType : gameTypeFallback_; }

bool PlayerMenu::LoadTheme(const std::u16string& dynamicFolder) {
  for (auto& s : slots_) s->LoadTheme(dynamicFolder);
  theme_ = owner_.LoadTheme("menu_playerselect", dynamicFolder);
  if (!theme_) return false;
  return BuildLists();
}

bool PlayerMenu::BuildLists() {
  if (!theme_) return false;
  const int32_t count = owner_.session ? owner_.session->songCount : 1;
  playlistRows_.assign(static_cast<size_t>(std::max(1, count)), ListRow());
  int32_t* songIndex = owner_.session ? &owner_.session->songIndex : &songIndexFallback_;
  theme_->SetListItems("list_playlist", playlistRows_.data(), songIndex, static_cast<int32_t>(playlistRows_.size()));
  theme_->SetListItems("list_game_type", gameTypeRows_.data(), &GameType(), kGameTypes);
  RefreshTexts();
  return true;
}

void PlayerMenu::RefreshTexts() {
  if (!theme_) return;
  Song* slots = owner_.session ? owner_.session->Slots() : nullptr;
  for (size_t i = 0; i < playlistRows_.size(); ++i) {
    const int32_t count = owner_.session ? owner_.session->songCount : 0;
    const bool shown = slots && static_cast<int32_t>(i) < count && slots[i].info;
    playlistRows_[i].text = shown ? ToWide(slots[i].info->name) : std::u16string();
  }
  theme_->SetText("info", allReady ? owner_.Text(LANG("LANG_PLAYER_ALL_READY")) : u"");
  const LevelSession* s = owner_.session;
  int32_t mode = LANG("LANG_MENU_MAIN_QUICKPLAY");
  if (s && s->practice) mode = LANG("LANG_MENU_MAIN_PRACTICE");
  else if (s && s->career) mode = LANG("LANG_MENU_MAIN_CAREER");
  else if (owner_.Connected()) mode = LANG("LANG_MENU_MAIN_NETWORK");
  theme_->SetText("game_mode", owner_.Text(mode));
  for (int32_t i = 0; i < kGameTypes; ++i) gameTypeRows_[static_cast<size_t>(i)].text = owner_.Text(kGameTypeNames[static_cast<size_t>(i)]);
}

PlayerSlot* PlayerMenu::SlotOf(int32_t controller) {
  for (int32_t i = 0; i < slotCount; ++i)
    if (slots_[static_cast<size_t>(i)]->controllerIndex == controller && !slots_[static_cast<size_t>(i)]->remote)
      return slots_[static_cast<size_t>(i)].get();
  return nullptr;
}

bool PlayerMenu::CalibrationSong() const {
  const Song* song = owner_.session ? owner_.session->CurrentSong() : nullptr;
  return song && song->info && song->info->vl_calibrator;
}

void PlayerMenu::Update() {
  HandleInput();
  for (int32_t i = 0; i < slotCount; ++i) {
    if (!slots_[static_cast<size_t>(i)]->leaving) continue;
    if (owner_.Connected()) {
      NetOut m;
      m.type = 1;
      m.code = 22;
      m.a2() = slots_[static_cast<size_t>(i)]->playerId;
      owner_.Send(m);
    }
    RemoveAt(i);
  }
  for (int32_t i = 0; i < slotCount; ++i) {
    PlayerSlot& s = *slots_[static_cast<size_t>(i)];
    s.ready = s.state == SlotState::kReady;
    s.RefreshStates();
  }
  allReady = slotCount > 0;
  for (int32_t i = 0; i < slotCount; ++i) allReady = allReady && slots_[static_cast<size_t>(i)]->ready;
  RefreshTexts();
  if (theme_ && GameType() != shownGameType) {
    if (shownGameType >= 0) theme_->TriggerEvent("list_game_type", RowName(shownGameType), "hover_off");
    theme_->TriggerEvent("list_game_type", RowName(GameType()), "hover_on");
    shownGameType = GameType();
  }
}

void PlayerMenu::RemoveAt(int32_t i) {
  if (i < 0 || i >= slotCount) return;
  std::unique_ptr<PlayerSlot> freed = std::move(slots_[static_cast<size_t>(i)]);
  freed->Reset();
  for (int32_t k = i; k + 1 < slotCount; ++k) slots_[static_cast<size_t>(k)] = std::move(slots_[static_cast<size_t>(k + 1)]);
  slots_[static_cast<size_t>(slotCount - 1)] = std::move(freed);
  --slotCount;
}

void PlayerMenu::HandleInput() {
  ForEachPress(owner_, events_, [&](int32_t c, uint32_t, const MenuActions& a) {
    if (a.up) OnUpDown(c, -1);
    if (a.down) OnUpDown(c, 1);
    if (a.confirm) OnConfirm(c);
    if (a.back) OnBack(c);
    if (a.profileBox) OnStart(c);
    if (a.extra) {
      const bool leader = !owner_.Connected() || (owner_.session && owner_.session->leaderId == owner_.OwnId());
      if (!CalibrationSong() && !(owner_.session && owner_.session->practice) && leader) {
        owner_.PlaySound(Sound::kGameType);
        NextGameType();
      } else {
        owner_.PlaySound(Sound::kRefused);
      }
    }
    return !leave;
  });
}

void PlayerMenu::OnUpDown(int32_t controller, int32_t step) {
  PlayerSlot* s = SlotOf(controller);
  if (!s) return;
  if (s->state == SlotState::kInstrument) s->instrumentRow = std::clamp(s->instrumentRow + step, 0, s->instrumentCount - 1);
  if (s->state == SlotState::kSkill) s->skillRow = std::clamp(s->skillRow + step, 0, s->skillCount - 1);
  if (s->state == SlotState::kInstrument) s->RefreshTexts();
  s->SendSelection();
}

void PlayerMenu::OnConfirm(int32_t controller) {
  owner_.PlaySound(Sound::kConfirm);
  PlayerSlot* s = SlotOf(controller);
  if (!s) {
    AddSlot(controller, -1, false);
    return;
  }
  if (!allReady) {
    if (s->state == SlotState::kInstrument) {
      s->state = SlotState::kSkill;
      s->CollectSkills();
    } else if (s->state == SlotState::kSkill) {
      s->state = SlotState::kReady;
    }
    s->SendSelection();
    return;
  }
  if (owner_.Connected()) {
    NetOut m;
    m.type = 1;
    m.code = 23;
    owner_.Send(m);
    return;
  }
  FillSession();
  requestedMenu = static_cast<int32_t>(Menu::kStartSong);
  leave = true;
}

void PlayerMenu::OnBack(int32_t controller) {
  owner_.PlaySound(Sound::kBack);
  if (PlayerSlot* s = SlotOf(controller)) {
    switch (s->state) {
      case SlotState::kInstrument: s->state = SlotState::kEmpty; s->leaving = true; break;
      case SlotState::kSkill: s->state = SlotState::kInstrument; break;
      case SlotState::kReady: s->state = SlotState::kSkill; break;
      default: break;
    }
    s->SendSelection();
    return;
  }
  ResetSlots();
  if (owner_.Connected()) {
    NetOut m;
    m.type = 1;
    m.code = 30;
    owner_.Send(m);
  }
  leave = true;
  GameType() = 0;
  Song* first = owner_.session ? owner_.session->Slots() : nullptr;
  const bool calibration = first && first->info && first->info->vl_calibrator;
  requestedMenu = static_cast<int32_t>(owner_.Connected() ? Menu::kLobby : calibration ? Menu::kCalibration : Menu::kSongSelect);
}

void PlayerMenu::OnStart(int32_t controller) {
  for (int32_t i = 0; i < slotCount; ++i) {
    PlayerSlot& s = *slots_[static_cast<size_t>(i)];
    if (s.remote || s.controllerIndex != controller || !s.ready) continue;
    s.state = static_cast<SlotState>(static_cast<int32_t>(s.state) - 1);
    if (owner_.Connected()) {
      NetOut m;
      m.type = 2;
      m.code = 19;
      m.a2() = s.playerId;
      m.a3() = static_cast<int32_t>(s.state);
      m.a4() = s.instrumentRow;
      m.a5() = s.skillRow;
      owner_.Send(m);
    }
  }
  if (controller >= 0 && controller < kMaxControllers) {
    owner_.seats[static_cast<size_t>(controller)].boxOpen = true;
    owner_.seats[static_cast<size_t>(controller)].boxOpenEvent = true;
  }
}

void PlayerMenu::NextGameType() {
  GameType() = GameType() >= kGameTypes - 1 ? 0 : GameType() + 1;
  if (owner_.Connected()) {
    NetOut m;
    m.type = 1;
    m.code = 32;
    m.a3() = GameType();
    owner_.Send(m);
  }
}

void PlayerMenu::AddSlot(int32_t controller, int32_t playerId, bool remote) {
  if (slotCount >= kSlots) return;
  PlayerSlot& s = *slots_[static_cast<size_t>(slotCount)];
  s.Reset();
  s.controllerIndex = remote ? -1 : controller;
  s.hasController = true;
  s.playerId = playerId;
  s.remote = remote;
  s.state = SlotState::kInstrument;
  s.CollectInstruments();
  if (!remote && owner_.Connected() && !s.leaving) {
    NetOut m;
    m.type = 1;
    m.code = 20;
    m.a3() = slotCount;
    owner_.Send(m);
  }
  ++slotCount;
}

void PlayerMenu::ResetSlots() {
  for (auto& s : slots_) s->Reset();
  slotCount = 0;
}

void PlayerMenu::RemovePlayer(int32_t playerId) {
  for (int32_t i = 0; i < slotCount; ++i) {
    if (slots_[static_cast<size_t>(i)]->playerId != playerId) continue;
    RemoveAt(i);
    --i;
  }
}

int32_t PlayerMenu::ApplyNetMessage(const GameMessage& m) {
  switch (m.code) {
    case 16: RemovePlayer(m.a2); break;
    case 17:
      if (m.a3 < 0 || m.a3 >= slotCount || !ValidPlayerId(m.a2)) break;
      if (slots_[static_cast<size_t>(m.a3)]->hasController) {
        slots_[static_cast<size_t>(m.a3)]->playerId = m.a2;
        slots_[static_cast<size_t>(m.a3)]->SendPlayerInfo();
      }
      break;
    case 19:
      if (!ValidPlayerId(m.a2)) break;
      for (int32_t i = 0; i < slotCount; ++i) {
        PlayerSlot& s = *slots_[static_cast<size_t>(i)];
        if (s.playerId != m.a2) continue;
        if (static_cast<int32_t>(s.state) != m.a3) s.CollectSkills();
        s.state = static_cast<SlotState>(std::clamp(m.a3, 0, 3));
        s.instrumentRow = std::clamp(m.a4, 0, s.instrumentCount - 1);
        s.skillRow = std::clamp(m.a5, 0, s.skillCount - 1);
      }
      break;
    case 20:
    case 21:
      FillSession();
      leave = true;
      requestedMenu = static_cast<int32_t>(Menu::kStartSong);
      break;
    case 27:
      if (!ValidPlayerId(m.a2)) break;
      AddSlot(-1, m.a2, true);
      break;
    case 31: return static_cast<int32_t>(Menu::kPlayerSelect);
    case 32: ResetSlots(); return static_cast<int32_t>(Menu::kLobby);
    case 33: {
      if (!ValidPlayerId(m.a2)) break;
      for (int32_t i = 0; i < slotCount; ++i) {
        PlayerSlot& s = *slots_[static_cast<size_t>(i)];
        if (s.playerId != m.a2) continue;
        Profile* p = s.PlayerProfile();
        if (!p) continue;
        const int32_t kind = m.a4 & 0xff;
        const int32_t flags = (m.a4 >> 24) & 0xff;
        if (s.remote) s.remoteKind = kind <= 7 ? kind : 2;
        p->PLAYERNAME = m.str1;
        p->LEFTY = (flags & 2) != 0;
        p->LEFTYDRUMS = (flags & 4) != 0;
        p->NECKSPEED = m.a5;
        s.remoteFiveLaneDrums = (flags & 1) != 0;
        p->DRUMSASSIST = m.a3 & 0xff;
        p->GUITARASSIST = (m.a3 >> 8) & 0xff;
        p->KEYSASSIST = (m.a3 >> 16) & 0xff;
        p->DANCEASSIST = (m.a3 >> 24) & 0xff;
        p->NECKANGLE = (m.a4 >> 8) & 0xff;
        p->WHAMMYFX = (m.a4 >> 16) & 0xff;
        p->FOURLANEFREESTYLETYPE = (flags & 8) ? 1 : 0;
        s.CollectInstruments();
      }
      break;
    }
    case 36:
      if (m.a3 < 0 || m.a3 >= kGameTypes) break;
      GameType() = m.a3;
      owner_.PlaySound(Sound::kGameType);
      break;
    default: break;
  }
  return -1;
}

void PlayerMenu::FillSession() {
  LevelSession* s = owner_.session;
  if (!s) return;
  s->rosterCount = std::min(slotCount, kMaxLevelPlayers);
  for (int32_t i = 0; i < s->rosterCount; ++i) {
    PlayerSlot& slot = *slots_[static_cast<size_t>(i)];
    LevelSlot& out = s->roster[static_cast<size_t>(i)];
    out = LevelSlot();
    out.profile = slot.PlayerProfile();
    out.kind = slot.ChosenInstrument();
    out.difficulty = slot.ChosenSkill();
    out.remote = slot.remote;
    out.netSlot = slot.playerId;
    out.controller = slot.remote ? nullptr : owner_.ControllerFor(slot.controllerIndex);
    out.remoteFiveLaneDrums = slot.remoteFiveLaneDrums;
    out.guest = out.profile && out.profile->path.find(u"uest.dat") != std::u16string::npos;
  }
}

void PlayerMenu::Render(float screenWidth, float screenHeight) {
  if (theme_) theme_->Render(0, 0, 1);
  const int32_t n = std::min(slotCount + 1, kSlots);
  for (int32_t i = 0; i < n; ++i) {
    ScreenTheme* t = slots_[static_cast<size_t>(i)]->theme();
    if (!t) continue;
    const BoxPlacement p = PlaceBox(i, n, screenWidth, screenHeight);
    t->Render(p.x, 0, p.scale);
  }
}

}  // namespace menus
