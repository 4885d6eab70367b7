#include "game/shell_services.h"

#include "devices/audio/song_audio.h"
#include "game/level/level.h"
#include "game/level/level_audio.h"
#include "song/song.h"

namespace game {

namespace {

SoundPlayerSound g_levelSound;

Song* SlotSong(int slot) {
  LevelSession& session = Session();
  Song* slots = session.Slots();
  if (!slots || slot < 0 || slot >= kSongSlotCount) return nullptr;
  return &slots[slot];
}

SongAudio* SlotAudio(int slot) {
  Song* song = SlotSong(slot);
  return song && song->audio ? song->audio->Audio() : nullptr;
}

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

  // The stems' service and the calibration flag, when the song data and the devices
  // have not plugged them in (the level keeps the set list's slots either way).
  shell::SongServices& s = services.song;
  if (!s.updateSongAudio) {
    s.updateSongAudio = [](int slot) {
      SongAudio* audio = SlotAudio(slot);
      return audio ? audio->Update() : false;
    };
  }
  if (!s.longestStemSeconds) {
    s.longestStemSeconds = [](int slot) {
      SongAudio* audio = SlotAudio(slot);
      return audio ? static_cast<double>(audio->songLength) : 0.0;
    };
  }
  if (!s.isCalibrationSong) {
    s.isCalibrationSong = [](int slot) {
      const Song* song = SlotSong(slot);
      return song && song->info && song->info->vl_calibrator;
    };
  }
  // The current song of the set list (the scene context, once the renderer brings
  // one, keeps its own).
  if (!services.graphics.currentSongIndex) services.graphics.currentSongIndex = [] { return Session().songIndex; };
}

}  // namespace game
