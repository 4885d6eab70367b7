#include "menus/screens/player_slot.h"

#include <algorithm>

#include "core/lang_ids.h"
#include "core/settings.h"
#include "core/utils.h"
#include "game/lane_map.h"
#include "game/level/level_session.h"
#include "menus/screen_input.h"
#include "song/instrument.h"
#include "song/song.h"

namespace menus {
namespace {

struct InstrumentRow {
  int32_t text;
  int32_t SongInfo::*rating;
};

constexpr std::array<InstrumentRow, 15> kInstrumentRows{{
    {LANG("LANG_INSTRUMENT_DRUMS"), &SongInfo::diff_drums},
    {LANG("LANG_INSTRUMENT_BASS"), &SongInfo::diff_bass},
    {LANG("LANG_INSTRUMENT_GUITAR"), &SongInfo::diff_guitar},
    {LANG("LANG_INSTRUMENT_KEYS"), &SongInfo::diff_keys},
    {LANG("LANG_INSTRUMENT_VOCALS"), &SongInfo::diff_vocals},
    {LANG("LANG_INSTRUMENT_DRUMS_ADV"), &SongInfo::diff_drums_real},
    {LANG("LANG_INSTRUMENT_BASS_REAL"), &SongInfo::diff_bass_real},
    {LANG("LANG_INSTRUMENT_GUITAR_REAL"), &SongInfo::diff_guitar_real},
    {LANG("LANG_INSTRUMENT_KEYS_ADV"), &SongInfo::diff_keys_real},
    {LANG("LANG_INSTRUMENT_VOCALS_HARM"), &SongInfo::diff_vocals_harm},
    {LANG("LANG_INSTRUMENT_GUITAR_RHYTHM"), &SongInfo::diff_rhythm},
    {LANG("LANG_INSTRUMENT_GUITAR_COOP"), &SongInfo::diff_guitar_coop},
    {LANG("LANG_INSTRUMENT_DANCE"), &SongInfo::diff_dance},
    {LANG("LANG_INSTRUMENT_DRUMS_REAL"), &SongInfo::diff_drums_real_vl},
    {LANG("LANG_INSTRUMENT_KEYS_REAL"), &SongInfo::diff_keys_real_vl},
}};

constexpr std::array<int32_t, 5> kSkillNames{LANG("LANG_SKILL_EASY"), LANG("LANG_SKILL_MEDIUM"), LANG("LANG_SKILL_HARD"),
                                             LANG("LANG_SKILL_EXPERT"), LANG("LANG_SKILL_EXPERT_PLUS")};

// The profile's favourite skill for an instrument kind.
int32_t FavouriteSkill(const Profile& p, int32_t kind) {
  switch (kind) {
    case 0: return p.FAVOURITEDRUMSSKILL;
    case 1: return p.FAVOURITEBASSSKILL;
    case 2: return p.FAVOURITEGUITARSKILL;
    case 3: return p.FAVOURITEKEYSSKILL;
    case 5: case 13: return p.FAVOURITEREALDRUMSSKILL;
    case 6: return p.FAVOURITEREALBASSSKILL;
    case 8: case 14: return p.FAVOURITEREALKEYSSKILL;
    default: return 3;
  }
}

}  // namespace

void PlayerSlot::Reset() {
  instrumentRow = 0;
  shownInstrumentRow = -1;
  instruments.fill(kNoInstrument);
  instrumentCount = 1;
  skillRow = 0;
  shownSkillRow = -1;
  skills.fill(0);
  skillCount = 1;
  state = SlotState::kEmpty;
  shownState = -1;
  ready = leaving = remote = hasController = false;
  playerId = -1;
  controllerIndex = -1;
  remoteFiveLaneDrums = false;
  BuildLists();
}

bool PlayerSlot::LoadTheme(const std::u16string& dynamicFolder) {
  shownState = -1;
  theme_ = owner_.LoadTheme("menu_playerslot", dynamicFolder);
  if (!theme_) return false;
  return BuildLists();
}

const Song* PlayerSlot::CurrentSong() const { return owner_.session ? owner_.session->CurrentSong() : nullptr; }

Profile* PlayerSlot::PlayerProfile() {
  if (remote) return &remoteProfile;
  if (controllerIndex < 0 || controllerIndex >= kMaxControllers) return nullptr;
  return &owner_.seats[static_cast<size_t>(controllerIndex)].profile;
}

int32_t PlayerSlot::DeviceKind() const { return remote ? remoteKind : owner_.Kind(controllerIndex); }

bool PlayerSlot::BuildLists() {
  if (!theme_) return false;
  theme_->SetListItems("list_instrument", instrumentRows_.data(), &instrumentRow, instrumentCount);
  theme_->SetListItems("list_difficulty", difficultyRows_.data(), &instrumentRow, instrumentCount);
  theme_->SetListItems("list_skill", skillRows_.data(), &skillRow, skillCount);
  RefreshTexts();
  return true;
}

void PlayerSlot::RefreshTexts() {
  const Song* song = CurrentSong();
  for (int32_t i = 0; i < instrumentCount; ++i) {
    const int32_t k = instruments[static_cast<size_t>(i)];
    if (k == kNoInstrument) {
      instrumentRows_[static_cast<size_t>(i)].text = owner_.Text(LANG("LANG_GENERAL_UNKNOWN"));
      difficultyRows_[static_cast<size_t>(i)].text = u"-1";
    } else if (k >= 0 && k < 15) {
      instrumentRows_[static_cast<size_t>(i)].text = owner_.Text(kInstrumentRows[static_cast<size_t>(k)].text);
      const int32_t rating = song && song->info ? (*song->info).*kInstrumentRows[static_cast<size_t>(k)].rating : 0;
      difficultyRows_[static_cast<size_t>(i)].text = ToWide(std::to_string(rating));
    }
  }
  const int32_t chosen = ChosenInstrument();
  const bool fiveFret = chosen == 1 || chosen == 2 || chosen == 10 || chosen == 11;
  for (int32_t j = 0; j < skillCount; ++j) {
    ListRow& row = skillRows_[static_cast<size_t>(j)];
    const int32_t value = std::clamp(skills[static_cast<size_t>(j)], 0, 4);
    row.text = owner_.Text(kSkillNames[static_cast<size_t>(value)]);
    if (value == 4) {
      row.disabled = fiveFret;
      if (theme_) theme_->TriggerEvent("list_skill", RowName(j), fiveFret ? "disable_on" : "disable_off");
    } else {
      row.disabled = 0;
    }
  }
  RefreshStates();
}

void PlayerSlot::RefreshStates() {
  if (!theme_) return;
  if (instrumentRow != shownInstrumentRow) {
    if (shownInstrumentRow >= 0) {
      theme_->TriggerEvent("list_instrument", RowName(shownInstrumentRow), "hover_off");
      theme_->TriggerEvent("list_difficulty", RowName(shownInstrumentRow), "hover_off");
    }
    theme_->TriggerEvent("list_instrument", RowName(instrumentRow), "hover_on");
    theme_->TriggerEvent("list_difficulty", RowName(instrumentRow), "hover_on");
    shownInstrumentRow = instrumentRow;
  }
  if (skillRow != shownSkillRow) {
    if (shownSkillRow >= 0) theme_->TriggerEvent("list_skill", RowName(shownSkillRow), "hover_off");
    theme_->TriggerEvent("list_skill", RowName(skillRow), "hover_on");
    shownSkillRow = skillRow;
  }
  const int32_t st = static_cast<int32_t>(state);
  if (st != shownState) {
    if (shownState < 0) {
      for (int32_t r = 0; r < 4; ++r) theme_->TriggerEvent("state", RowName(r), "active_off");
    } else {
      theme_->TriggerEvent("state", RowName(shownState), "active_off");
    }
    theme_->TriggerEvent("state", RowName(st), "active_on");
    shownState = st;
  }
  const Profile* p = (hasController || remote) ? PlayerProfile() : nullptr;
  if (!p) {
    theme_->SetText("player_name", u"");
    theme_->SetText("player_ready", owner_.Text(LANG("LANG_PLAYER_PRESS_GREEN")));
    theme_->SetText("player_type", u"Human");
    theme_->SetText("player_location", u"Local");
    return;
  }
  theme_->SetText("player_name", ToWide(p->PLAYERNAME));
  theme_->SetText("player_ready", owner_.Text(ready ? LANG("LANG_GENERAL_READY") : LANG("LANG_PLAYER_NOT_READY")));
  const bool bot = p->DRUMSASSIST || p->GUITARASSIST || p->KEYSASSIST || p->DANCEASSIST;
  theme_->SetText("player_type", bot ? u"Bot" : u"Human");
  theme_->SetText("player_location", remote ? u"Remote" : u"Local");
}

bool PlayerSlot::CollectInstruments() {
  instrumentRow = 0;
  instrumentCount = 0;
  const Song* song = CurrentSong();
  const int32_t device = DeviceKind();
  for (int32_t k = 0; k < 15; ++k) {
    bool avail[6] = {false, false, false, false, false, false};
    if (song && song->scores) {
      const Availability& a = song->scores->availability[static_cast<size_t>(k)];
      avail[0] = a.present != 0;
      for (int32_t d = 0; d < 5; ++d) avail[d + 1] = a.difficulty[static_cast<size_t>(d)] != 0;
    }
    if (LaneMap::CanPlayPart(device, k, avail)) instruments[static_cast<size_t>(instrumentCount++)] = k;
  }
  if (instrumentCount == 0) {
    instruments.fill(kNoInstrument);
    instrumentCount = 1;
    leaving = true;
    BuildLists();
    return true;
  }
  state = SlotState::kInstrument;
  const Profile* p = PlayerProfile();
  // A keyboard, a pad or a dance mat has no favourite of its own: it starts on the
  // guitar part (drums, the first kind, would put a keyboard player on drum lanes).
  int32_t favourite = InstrumentIndex(Instrument::guitar);
  if (p) {
    switch (device) {
      case 0: case 5: favourite = p->FAVOURITEDRUMS; break;
      case 1: favourite = p->FAVOURITEGUITAR; break;
      case 4: favourite = p->FAVOURITEKEYS; break;
      case 6: favourite = p->FAVOURITEREALGUITAR; break;
      default: break;
    }
  }
  for (int32_t i = 0; i < instrumentCount; ++i)
    if (instruments[static_cast<size_t>(i)] == favourite) { instrumentRow = i; break; }
  BuildLists();
  return true;
}

bool PlayerSlot::CollectSkills() {
  const int32_t kind = ChosenInstrument();
  const Song* song = CurrentSong();
  skillCount = 0;
  for (int32_t d = 0; d < 5 && kind >= 0 && kind < 15; ++d) {
    if (song && song->scores && song->scores->availability[static_cast<size_t>(kind)].difficulty[static_cast<size_t>(d)])
      skills[static_cast<size_t>(skillCount++)] = d;
  }
  if (skillCount == 0) {
    skillCount = 1;
    skills.fill(0);
    leaving = true;
    BuildLists();
    return true;
  }
  const Profile* p = PlayerProfile();
  const int32_t favourite = p ? FavouriteSkill(*p, kind) : 3;
  skillRow = 0;
  int32_t below = -1;
  for (int32_t j = 0; j < skillCount; ++j) {
    if (skills[static_cast<size_t>(j)] == favourite) { below = -2; skillRow = j; break; }
    if (skills[static_cast<size_t>(j)] < favourite) below = j;
  }
  if (below >= 0) skillRow = below;
  BuildLists();
  return true;
}

void PlayerSlot::SendSelection() {
  if (!owner_.Connected()) return;
  NetOut m;
  m.type = 2;
  m.code = 19;
  m.a2() = playerId;
  m.a3() = static_cast<int32_t>(state);
  m.a4() = instrumentRow;
  m.a5() = skillRow;
  owner_.Send(m);
}

bool PlayerSlot::SendPlayerInfo() {
  if (!owner_.Connected()) return true;
  const Profile* p = PlayerProfile();
  if (!p) return true;
  NetOut m;
  m.type = 1;
  m.code = 17;
  m.a2() = playerId;
  m.str1 = p->PLAYERNAME;
  const auto b = [](int32_t v) { return static_cast<uint32_t>(v) & 0xffu; };
  m.a3() = static_cast<int32_t>(b(p->DRUMSASSIST) | b(p->GUITARASSIST) << 8 | b(p->KEYSASSIST) << 16 | b(p->DANCEASSIST) << 24);
  const bool keyboard = owner_.IsKeyboard(controllerIndex);
  const int32_t lanes = keyboard ? (owner_.settings ? owner_.settings->KEYBOARDDRUMLANECOUNT : 4) : owner_.DrumLanes(controllerIndex);
  const bool fiveLane = ChosenInstrument() == 0 && (lanes == 5 || p->LEGACYDRUMLANECOUNT == 5);
  const uint32_t flags = (fiveLane ? 1u : 0u) | (p->LEFTY ? 2u : 0u) | (p->LEFTYDRUMS ? 4u : 0u) |
                         (p->FOURLANEFREESTYLETYPE == 1 ? 8u : 0u);
  m.a4() = static_cast<int32_t>(b(DeviceKind()) | b(p->NECKANGLE) << 8 | b(p->WHAMMYFX) << 16 | flags << 24);
  m.a5() = p->NECKSPEED;
  owner_.Send(m);
  return true;
}

}  // namespace menus
