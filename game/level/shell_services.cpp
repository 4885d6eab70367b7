#include "game/shell_services.h"

#include "game/level/level.h"
#include "game/level/level_audio.h"

namespace game {

namespace {

SoundPlayerSound g_levelSound;

}  // namespace

void RegisterShellServices(shell::Services& services) {
  LevelSession& session = Session();
  if (!session.sound) session.sound = &g_levelSound;

  shell::GameplayServices& g = services.gameplay;
  g.updateSongLoad = UpdateSongLoad;
  g.updateOnlineStart = UpdateOnlineStart;
  g.updateGameplay = UpdateGameplay;
  g.checkAchievements = CheckAchievements;
  g.setupLevel = SetupLevel;
  g.quitToMenus = QuitToMenus;
  g.hasLevelPlayers = [] { return Level().playerCount > 0; };
  g.requestPause = [] {
    LevelState& level = Level();
    for (int32_t i = 0; i < level.playerCount; ++i) {
      if (!level.players[static_cast<size_t>(i)].remote) level.players[static_cast<size_t>(i)].RequestPause();
    }
  };
  g.hasSongClock = [] { return Level().clock != nullptr; };
  g.songTime = LevelSongTime;
  g.ratingValue = [] {
    const LevelState& level = Level();
    return level.rating ? level.rating->level : 0.0f;
  };
  g.destroyScoreRating = [] { Level().rating.reset(); };
  g.destroySongClock = [] { Level().clock.reset(); };
  g.destroyPlayers = [] {
    LevelState& level = Level();
    level.players.reset();
    level.playerCount = 0;
    level.info.fill(LevelPlayerInfo());
  };
  g.destroyVocalTrack = [] { Level().lyrics.reset(); };

  // The set list's current song: the level owns the set list.
  services.graphics.currentSongIndex = [] { return Session().songIndex; };
}

}  // namespace game
