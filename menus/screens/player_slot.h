// One player box of player select: a local controller or a remote player, the
// instruments the current song offers that the controller can play, the skills the
// song has for the chosen instrument, and the box's step from joining to ready.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "menus/menu_context.h"

class Song;

namespace menus {

enum class SlotState : int32_t { kEmpty = 0, kInstrument = 1, kSkill = 2, kReady = 3 };

class PlayerSlot {
 public:
  static constexpr int32_t kNoInstrument = 99;

  explicit PlayerSlot(MenuContext& owner) : owner_(owner) { Reset(); }
  void Reset();
  bool LoadTheme(const std::u16string& dynamicFolder);
  bool BuildLists();
  void RefreshTexts();
  void RefreshStates();
  bool CollectInstruments();
  bool CollectSkills();
  void SendSelection();
  bool SendPlayerInfo();
  ScreenTheme* theme() const { return theme_.get(); }

  // The profile of the box's player: the controller's seat, or the remote record.
  Profile* PlayerProfile();
  int32_t DeviceKind() const;
  int32_t ChosenInstrument() const { return instruments[static_cast<size_t>(std::clamp(instrumentRow, 0, 14))]; }
  int32_t ChosenSkill() const { return skills[static_cast<size_t>(std::clamp(skillRow, 0, 4))]; }

  int32_t instrumentRow = 0, shownInstrumentRow = -1;
  std::array<int32_t, 15> instruments{};
  int32_t instrumentCount = 1;
  int32_t skillRow = 0, shownSkillRow = -1;
  std::array<int32_t, 5> skills{};
  int32_t skillCount = 1;
  SlotState state = SlotState::kEmpty;
  int32_t shownState = -1;
  bool ready = false;
  bool leaving = false;
  int32_t playerId = -1;
  bool remote = false;
  bool hasController = false;
  int32_t controllerIndex = -1;
  // A remote player's profile and device kind (from the network).
  Profile remoteProfile;
  int32_t remoteKind = 2;
  bool remoteFiveLaneDrums = false;

 private:
  const Song* CurrentSong() const;

  MenuContext& owner_;
  std::unique_ptr<ScreenTheme> theme_;
  std::array<ListRow, 15> instrumentRows_{}, difficultyRows_{};
  std::array<ListRow, 5> skillRows_{};
};

}  // namespace menus
