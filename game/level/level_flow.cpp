// The moves of a level between its lives: teardown, restart, quit to the menus, the
// start of a song with or without its count-in, and seeking within a song.
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/log.h"
#include "core/menu_ids.h"
#include "core/shell/shell_state.h"
#include "devices/audio/song_audio.h"
#include "game/level/level.h"
#include "platform/clock.h"
#include "song/song.h"

namespace {

constexpr int32_t kPauseSound = 97;
constexpr double kCountInLeadMs = 2000.0;
constexpr uint32_t kCountInMs = 3000;
constexpr double kSeekSkipMs = 1000.0;

bool Ending(const InGameState& s) { return s.songFinished || s.songFailed; }

int32_t SongDelay() {
  const Song* song = Session().CurrentSong();
  return song && song->info ? song->info->delay : 0;
}

// The time of the earliest note in the player's window, or infinity without one.
double FirstNoteTime(const Player& p) {
  double first = std::numeric_limits<double>::infinity();
  for (const NoteRecord& n : p.track.notes) {
    if (n.active && !n.activation) first = std::min(first, static_cast<double>(n.time));
  }
  return first;
}

}  // namespace

void TeardownLevel(bool full) {
  LevelSession& session = Session();
  LevelState& level = Level();
  level.players.reset();
  level.playerCount = 0;
  session.Visuals().DestroyBoards();
  level.info.fill(LevelPlayerInfo());
  session.Screens().Start(0);
  session.Screens().Restart();

  shell::PauseMusicThread();
  if (Song* slots = session.Slots()) {
    const int32_t entries = std::clamp(session.songCount, 1, kSongSlotCount);
    for (int32_t i = 0; i < entries; ++i) {
      Song& song = slots[i];
      if (full && song.chart) MidiFile::Delete(song.chart.release());
      if (song.audio) {
        if (SongAudio* audio = song.audio->Audio()) audio->ReleaseVoices();
        song.audio.reset();
      }
    }
  }
  // The lyrics hold only their own words; the chart they were read from may be gone.
  if (full && level.lyrics) level.lyrics->chart = nullptr;
  level.rating.reset();
}

void RestartLevel(bool full) {
  LevelSession& session = Session();
  if (session.Visuals().HasVideo()) session.Visuals().VideoStop();
  TeardownLevel(full);
  SetupLevel(full);
  PrepareSongStart();
  Level().onlineReady = false;
}

void QuitToMenus(bool notifyHost) {
  LevelSession& session = Session();
  LevelState& level = Level();
  const Song* song = session.CurrentSong();
  const bool calibration = song && song->info && song->info->vl_calibrator;
  const bool online = session.Online();
  if (notifyHost && online) {
    GameMessage m;
    m.type = 1;
    m.code = 26;
    session.net->Send(m);
  }
  TeardownLevel(true);
  session.Visuals().DeleteVideo();
  session.Visuals().DeleteReactive();
  shell::SetState(shell::State::kMenus);
  session.Menus().ResetAfterSong();
  session.Menus().SetCurrentMenu(online ? menu::kLobby : calibration ? menu::kCalibration : menu::kMain);
  // The set list starts over; written before the Music thread runs again, which reads
  // the song index.
  session.songIndex = 0;
  session.gameType = 0;
  level.onlineReady = false;
  level.deferredFlowCode = 0;
  session.ingame.calibrationStep = 0;
  shell::ResumeMusicThread();
  if (session.settings->mixer.MENUMUSIC != 0) session.Menus().ResumeMenuMusic();
}

bool PrepareSongStart(bool allowCountIn) {
  LevelSession& session = Session();
  LevelState& level = Level();
  if (level.clock) level.clock->Restart(false);
  const double chart = LevelChartTime(LevelSongTime());
  const float speed = level.clock ? static_cast<float>(level.clock->speed) : 1.0f;
  const double delay = SongDelay();
  bool countIn = false;
  for (int32_t i = 0; i < level.playerCount; ++i) {
    Player& p = level.players[static_cast<size_t>(i)];
    p.Update(false, false, chart, speed);
    if (delay + FirstNoteTime(p) < kCountInLeadMs) countIn = true;
  }
  if (countIn && allowCountIn && !session.practice) {
    InGameState& ui = session.ingame;
    ui.countIn = true;
    ui.paused = true;
    ui.countDownShown = true;
    ui.countDownEnd = platform::TimeGetTime() + kCountInMs;
    return true;
  }
  StartSongPlayback();
  return false;
}

void SeekSong(double targetMs) {
  LevelSession& session = Session();
  LevelState& level = Level();
  InGameState& ui = session.ingame;
  if (!level.clock) return;
  const double clamped = targetMs <= 0.0 ? 0.0 : targetMs;
  const bool wasPaused = ui.paused;
  const double speed = level.clock->speed;

  if (clamped < level.clock->GetSongTime()) {
    // Back in time: the level is built again from the start, then moved forward. The
    // rebuild starts at once: a count-in would restart the clock at 0 later while
    // the notes and stems stand at the target.
    if (session.Visuals().HasVideo()) session.Visuals().VideoStop();
    TeardownLevel(false);
    SetupLevel(false);
    PrepareSongStart(false);
    level.onlineReady = false;
  }

  shell::PauseMusicThread();
  const double delay = SongDelay();
  for (int32_t i = 0; i < level.playerCount; ++i) {
    Player& p = level.players[static_cast<size_t>(i)];
    p.track.SeekTo(targetMs + kSeekSkipMs - delay);
    p.score().Reset(false);
  }
  SongAudio* audio = session.CurrentAudio();
  if (audio) {
    audio->SeekMs(clamped);
    for (int32_t i = 0; i < level.playerCount; ++i) audio->AddPlayer(level.players[static_cast<size_t>(i)].kind);
  }
  if (speed >= SongClock::kMinSpeed && speed <= SongClock::kMaxSpeed && session.Slots()) {
    if (audio) audio->SetSpeed(speed);
    level.clock->Tick();
    level.clock->speed = speed;
  }
  level.clock->SetSongTime(clamped);
  shell::ResumeMusicThread();

  if (wasPaused) {
    session.Screens().RebuildOptions(nullptr);
    if (!Ending(ui)) {
      if (!session.practice) session.PlaySound(kPauseSound);
      ui.paused = true;
    }
    PauseSong();
  }
}
