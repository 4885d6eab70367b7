#include "game/level/achievements.h"

#include "core/lang_ids.h"
#include "core/utils.h"
#include "game/level/level.h"
#include "song/profile.h"
#include "song/song.h"
#include "song/song_record.h"

namespace {

constexpr int32_t kTitleBase = LANG("LANG_MENU_ACHIEVEMENTS_PERFECTION_DENIED");
static_assert(LANG("LANG_MENU_ACHIEVEMENTS_BAT_HERO") == kTitleBase + kAchievementKinds - 1,
              "achievement titles follow the achievement numbers");

constexpr double kDrunkHitWindow = 170.0;

bool FullCombo(const Player& p) {
  const PlayerScore& s = p.score();
  return s.noteCount > 0 && s.hits >= s.noteCount;
}

// Enters the song once into the profile's list; the list's size afterwards.
int32_t EnterSong(Profile& profile, int32_t list, const std::string& hash) {
  if (!profile.HasListEntry(hash, list)) profile.AddListEntry(list, hash);
  return profile.listCounts[static_cast<size_t>(list)];
}

}  // namespace

int32_t AchievementTitleId(int32_t kind) { return kTitleBase + kind; }

namespace Achievement {

bool CheckThreshold(Profile& profile, const Player& player, int32_t threshold, const std::string& songHash,
                    bool passed, float rating) {
  // A song without a chart hash cannot be told apart from another: it is not counted.
  if (!passed || rating < 6.0f || player.score().noteCount <= 0 || !IsValidChartHash(songHash)) return false;
  return EnterSong(profile, kTopRatedList, songHash) >= threshold;
}

bool CheckCompletion(Profile& profile, const Player& player, int32_t threshold, const std::string& songHash,
                     bool passed) {
  if (!passed || player.difficulty != 3 || !FullCombo(player) || !IsValidChartHash(songHash)) return false;
  return EnterSong(profile, kFullComboList, songHash) >= threshold;
}

bool AllPlayersAbove(const Player* players, int32_t count, bool passed, float rating) {
  if (count < 2 || !passed || rating < 6.0f) return false;
  for (int32_t i = 0; i < count; ++i) {
    if (players[i].score().noteCount <= 0) return false;
  }
  return true;
}

bool OtherPlayerNamed(const Player* players, int32_t count, int32_t index) {
  for (int32_t i = 0; i < count; ++i) {
    if (i != index && EqualsNoCase(players[i].options.name, "your mother")) return true;
  }
  return false;
}

}  // namespace Achievement

void CheckAchievements() {
  LevelState& level = Level();
  LevelSession& session = Session();
  const int32_t count = level.playerCount;
  if (!level.players || count <= 0) return;
  Player* players = level.players.get();
  Song* song = session.CurrentSong();

  // Aids switch achievements off for everybody.
  if (song && song->info && song->info->vl_calibrator) return;
  bool anyFailed = false;
  int32_t failedCount = 0;
  for (int32_t i = 0; i < count; ++i) {
    const Player& p = players[i];
    if (p.assistBits != 0) return;
    if (p.score().noFail && p.score().meterEmptied) return;
    if (p.hitWindow == kDrunkHitWindow) return;
    if (p.failed()) {
      anyFailed = true;
      ++failedCount;
    }
  }

  const InGameState& ui = session.ingame;
  const bool passed = ui.songPassed;
  const float rating = level.rating ? level.rating->level : 0.0f;
  const std::string hash = song && song->scores ? song->scores->chartHash : std::string();
  const Settings& settings = *session.settings;

  for (int32_t i = 0; i < count; ++i) {
    Player& p = players[i];
    Profile* profile = level.info[static_cast<size_t>(i)].profile;
    if (p.remote || !profile || profile->READONLY) continue;
    const PlayerScore& s = p.score();
    const bool fc = FullCombo(p);
    auto award = [&](int32_t k, bool condition) {
      if (!condition || profile->achievements[static_cast<size_t>(k)]) return;
      profile->achievements[static_cast<size_t>(k)] = true;
      profile->Save();
      session.Menus().PushAchievement(k, settings.language.GetString(AchievementTitleId(k)),
                                      ToWide(profile->PLAYERNAME));
    };
    bool allExpertFc = count > 1 && passed;
    for (int32_t j = 0; j < count && allExpertFc; ++j) {
      allExpertFc = !players[j].failed() && players[j].difficulty == 3 && FullCombo(players[j]);
    }
    const LevelController* controller = level.info[static_cast<size_t>(i)].controller;

    award(22, session.boardRolled && passed && p.difficulty == 3 && fc && s.noteCount >= 100);
    award(0, passed && p.difficulty == 3 && s.hits == s.noteCount - 1);
    award(1, s.energyActive && settings.BACKGROUND == 2);
    award(2, passed && count > 2);
    award(3, passed && count > 8);
    award(4, passed && s.graceCount >= 1 && !anyFailed);
    award(5, passed && s.graceCount > 4);
    award(7, passed && p.difficulty == 2 && fc);
    award(8, Achievement::CheckThreshold(*profile, p, 1, hash, passed, rating));
    award(11, Achievement::CheckThreshold(*profile, p, 20, hash, passed, rating));
    award(12, Achievement::CheckThreshold(*profile, p, 50, hash, passed, rating));
    award(13, Achievement::CheckThreshold(*profile, p, 100, hash, passed, rating));
    award(6, Achievement::CheckCompletion(*profile, p, 1, hash, passed));
    award(14, Achievement::CheckCompletion(*profile, p, 20, hash, passed));
    award(15, Achievement::CheckCompletion(*profile, p, 50, hash, passed));
    award(16, Achievement::CheckCompletion(*profile, p, 100, hash, passed));
    award(10, allExpertFc);
    award(9, Achievement::AllPlayersAbove(players, count, passed, rating));
    award(17, s.energyActivations > 6);
    award(18, ui.songFailed && ui.failedSecondsLeft <= 15.0f);
    award(19, Achievement::OtherPlayerNamed(players, count, i));
    award(20, controller && controller->IsGamepad() && p.track.mix.mixFlip);
    award(21, passed && count > 1 && p.failed() && failedCount == 1);
  }
}
