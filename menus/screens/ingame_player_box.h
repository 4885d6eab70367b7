// The two panels each player slot draws over its own board while a song plays: the
// player box, the result panel shown once the player has failed, finished, died, won
// or lost (name, skill, score, hits, accuracy, best streak, lives, the share of
// perfect, normal and sloppy hits, the time of death and the result line), and the
// solo box, shown while the player is inside a solo section (the share of the solo's
// notes hit, then its rating and points once it is over). InGameMenus owns fifteen
// of each, binds them to the level's players, sets the player box's states and
// places both at their board.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "menus/menu_context.h"

class Player;
struct LaneSection;

namespace menus {

class PlayerBox {
 public:
  explicit PlayerBox(MenuContext& owner) : owner_(owner) { Update(); }
  PlayerBox(const PlayerBox&) = delete;
  PlayerBox& operator=(const PlayerBox&) = delete;

  // "game_playerbox" from the folder; false (and no theme) when it does not load.
  bool LoadTheme(const std::u16string& folder);
  // Writes every text from the bound player; nothing without a theme or a player.
  void Update();
  // The states off, no time of death, no result line, then a refresh.
  void Reset();
  // A state set while the box is not dead takes the chart time as the time of death,
  // so a dead box keeps the moment it died.
  void MarkDeath(double chartTimeMs);
  bool AnyState() const { return failed || finished || dead || winner || loser; }

  ScreenTheme* theme() const { return theme_.get(); }
  const Player* player = nullptr;  // not owned; none while the slot is unbound

  bool failed = false;    // every player failed
  bool finished = false;  // the song ended
  bool dead = false;      // this player failed (or was eliminated)
  bool winner = false;
  bool loser = false;
  double deathTime = 0.0;     // ms of chart time
  std::u16string scoreInfo;   // the result line of the song's end

  // The texts the box shows, for the tests and for the panel.
  static std::u16string PercentText(int64_t part, int64_t whole);
  static std::u16string KindShareText(int32_t count, int32_t perfect, int32_t normal, int32_t sloppy);
  static std::u16string DeathTimeText(double ms);

 private:
  MenuContext& owner_;
  std::unique_ptr<ScreenTheme> theme_;
};

class SoloBox {
 public:
  explicit SoloBox(MenuContext& owner) : owner_(owner) {}
  SoloBox(const SoloBox&) = delete;
  SoloBox& operator=(const SoloBox&) = delete;

  // "game_player_solo" from the folder; false (and no theme) when it does not load.
  bool LoadTheme(const std::u16string& folder);
  // Each frame: the solo's texts while one is under way, and the combo-break event.
  void Update();
  void ShowComboBreak();
  // The bound player is inside a solo section (the box is drawn).
  bool InSolo() const;
  // Forgets the streak it watched (a new song, or another player bound).
  void Bind(const Player* p);

  ScreenTheme* theme() const { return theme_.get(); }
  const Player* player() const { return player_; }

 private:
  const LaneSection* CurrentSolo() const;

  MenuContext& owner_;
  std::unique_ptr<ScreenTheme> theme_;
  const Player* player_ = nullptr;
  int32_t lastStreak_ = 0;
};

}  // namespace menus
