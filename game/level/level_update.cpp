// The frame update of game states 2 (playing), 3 (song loading) and 4 (online start),
// and the three playback switches.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "core/log.h"
#include "core/shell/shell_state.h"
#include "devices/audio/song_audio.h"
#include "game/lane_map.h"
#include "game/level/level.h"
#include "game/level/level_net.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "song/song.h"
#include "song/song_record.h"

namespace {

constexpr int32_t kPauseSound = 97;
constexpr int32_t kFasterSound = 107;
constexpr int32_t kSlowerSound = 108;
constexpr int32_t kRefusedSound = 109;
constexpr double kSpeedStep = 0.05;
constexpr double kSkipMs = 10000.0;
constexpr uint32_t kReviveGraceMs = 2000;
constexpr int32_t kOnlineReadyFrames = 120;

bool Ending(const InGameState& s) { return s.songFinished || s.songFailed; }

bool IsCalibrationSong() {
  const Song* song = Session().CurrentSong();
  return song && song->info && song->info->vl_calibrator;
}

// What every controller still holds is dropped.
void ClearControllerEvents() {
  LevelSession& session = Session();
  if (session.clearAllEvents) session.clearAllEvents();
  LevelState& level = Level();
  for (int32_t i = 0; i < level.playerCount; ++i) {
    if (LevelController* c = level.info[static_cast<size_t>(i)].controller) c->ClearEvents();
  }
}

void ResetHeld(bool waitForRelease) {
  LevelSession& session = Session();
  if (session.resetHeld) session.resetHeld(waitForRelease);
}

// A practice speed request (2 slower, 3 faster): steps of 0.05 up to 2.0. A speed of 0
// or less would stop the song while the stems still crawl on: refused like one above 2.0.
void SpeedRequest(int32_t code, bool tick) {
  LevelSession& session = Session();
  SongClock* clock = Level().clock.get();
  if (!session.practice || !clock) return;
  const double next = SnapSpeed(clock->speed + (code == 3 ? kSpeedStep : -kSpeedStep));
  if (next <= SongClock::kMinSpeed || next > SongClock::kMaxSpeed) {
    session.PlaySound(kRefusedSound);
    return;
  }
  if (tick) {
    clock->ChangeSpeed(next);
  } else {
    if (SongAudio* audio = session.CurrentAudio()) audio->SetSpeed(next);
    clock->speed = next;
  }
  session.PlaySound(code == 3 ? kFasterSound : kSlowerSound);
}

void MuteFirstStem(SongAudio& audio) {
  std::lock_guard<std::recursive_mutex> lock(audio.mutex);
  if (!audio.stems) return;
  for (int slot = 0; slot < SongAudio::kStemCount; ++slot) {
    CAudio& stem = audio.stems[slot];
    if (!stem.sourceVoice) continue;
    stem.sourceVoice->SetVolume(0.0f);
    stem.appliedVolume = 0.0f;
    break;
  }
  audio.mixerHold = true;
}

// Each player's stems sound from a hit until the next miss or overhit.
void UpdateMix(SongAudio& audio) {
  LevelState& level = Level();
  {
    std::lock_guard<std::recursive_mutex> lock(audio.mutex);
    if (!audio.stems) return;
    for (int slot = 0; slot < SongAudio::kStemCount; ++slot) audio.stems[slot].audibleCount = 0;
  }
  for (int32_t i = 0; i < level.playerCount; ++i) {
    Player& p = level.players[static_cast<size_t>(i)];
    LevelPlayerInfo& pi = level.info[static_cast<size_t>(i)];
    const PlayerScore& s = p.score();
    const bool overhit = s.overhits != pi.seenOverhits;
    const bool missed = s.misses != pi.seenMisses || overhit;
    pi.seenMisses = s.misses;
    pi.seenOverhits = s.overhits;
    bool hit = false;
    for (bool h : p.laneHit) hit = hit || h;
    if (LaneMap::IsDrumKind(p.kind)) {
      // A missed note silences its own drum piece only; a stray hit has no piece to
      // blame and silences the kit.
      if (missed) pi.audible[0] = 0;
      if (overhit) std::fill(std::begin(pi.audible) + 1, std::end(pi.audible), uint8_t{0});
      for (int32_t k = 1; k < Player::kDrumPieceFlags; ++k) {
        if (p.pieceMissed[k]) pi.audible[k] = 0;
        if (p.pieceHit[k]) pi.audible[k] = 1;
      }
      if (hit) pi.audible[0] = 1;
    } else {
      if (missed) std::fill(std::begin(pi.audible), std::end(pi.audible), uint8_t{0});
      if (hit) std::fill(std::begin(pi.audible), std::end(pi.audible), uint8_t{1});
    }
    audio.MarkAudible(p.kind, pi.audible);
  }
  audio.UpdateMix();
}

void UpdateCrowd(SongAudio& audio) {
  LevelState& level = Level();
  if (level.playerCount <= 0) return;
  float sum = 0.0f;
  for (int32_t i = 0; i < level.playerCount; ++i) sum += level.players[static_cast<size_t>(i)].score().rockMeter / 100.0f;
  const float mean = sum / static_cast<float>(level.playerCount);
  std::lock_guard<std::recursive_mutex> lock(audio.mutex);
  if (!audio.stems) return;
  CAudio& crowd = audio.stems[SongAudio::kCrowdSlot];
  crowd.mixFactor = mean;
  if (!crowd.sourceVoice) return;
  const float volume = crowd.baseVolume * mean;
  if (volume != crowd.appliedVolume) {
    crowd.sourceVoice->SetVolume(volume);
    crowd.appliedVolume = volume;
  }
}

// The song's play count, raised by one after every song that reached its end.
void CountPlay() {
  LevelSession& session = Session();
  Song* song = session.CurrentSong();
  if (!song || !song->info) return;
  SongInfo& info = *song->info;
  ++info.count;
  SetSongIniValue(song->folder, "count", std::to_string(info.count));
  if (session.library) {
    std::u16string folder = platform::ToSlashes(song->folder);
    if (!folder.empty() && folder.back() != u'/') folder.push_back(u'/');
    if (SongRecord* record = session.library->FindByPath(folder)) record->playCount = info.count;
  }
}

void PauseRequest(Player& p) {
  LevelSession& session = Session();
  InGameState& ui = session.ingame;
  ResetHeld(true);
  session.Screens().OpenPauseMenu(&p);
  if (!Ending(ui)) {
    if (!session.practice) session.PlaySound(kPauseSound);
    ui.paused = true;
  }
  if (!session.Online() && !session.practice) PauseSong();
  if (session.practice) {
    PauseSong();
    session.Screens().BindPracticeProfile(&p);
    session.PlaySound(kPauseSound);
    ui.practiceMenuOpen = true;
  }
}

void RunningFrame() {
  LevelSession& session = Session();
  LevelState& level = Level();
  const Settings& settings = *session.settings;
  InGameState& ui = session.ingame;
  SongAudio* audio = session.CurrentAudio();

  const int32_t type = session.gameType;
  if (level.rating && !(type == 1 || (type >= 5 && type <= 7)) && !session.practice) level.rating->Update(session.sound);
  // The fades of the effect voices (a lane's previous free-play sound) move on.
  if (session.sound) session.sound->Update();
  LevelVisuals& visuals = session.Visuals();
  if (!settings.songVideoBackgroundOn && !settings.songImageBackgroundOn && settings.BACKGROUND == 2 &&
      visuals.HasStage())
    visuals.UpdateStage();
  if (visuals.HasReactive()) visuals.SendReactiveEvents();
  level.clock->Tick();
  level.clock->UpdateSpeedRamp();

  if (audio) {
    if (IsCalibrationSong() && ui.calibrationStep == 1) {
      MuteFirstStem(*audio);
    } else if (settings.mixer.MISSAUDIOCUT) {
      UpdateMix(*audio);
    }
    UpdateCrowd(*audio);
  }

  double songTime = level.clock->GetSongTime();
  if (LevelSongLengthSeconds() - songTime / 1000.0 <= 0.0 && !session.practice) {
    level.playFade.Start(1.0f, 0.0f, 1.0f);
    ShowHighScoreResult();
    session.Screens().ShowSongEnd();
    // The ending state takes the next frames off this branch: the end is handled once.
    ui.songFinished = true;
    CountPlay();
  }

  const double chart = LevelChartTime(songTime);
  for (int32_t i = 0; i < level.playerCount; ++i) {
    Player& p = level.players[static_cast<size_t>(i)];
    p.Update(true, false, chart, static_cast<float>(level.clock->speed));
    if (!p.menuRequest) continue;
    const int32_t code = p.menuRequestCode;
    p.menuRequest = false;
    p.menuRequestCode = 0;
    if (code == 1) {
      PauseRequest(p);
    } else if (code == 2 || code == 3) {
      SpeedRequest(code, true);
    }
  }
}

void HeldFrame() {
  LevelSession& session = Session();
  LevelState& level = Level();
  InGameState& ui = session.ingame;
  // An online song and a song that is ending keep running; an offline pause stops it.
  if (session.Online() || !ui.paused) level.clock->Tick();
  const double chart = LevelChartTime(level.clock->GetSongTime());
  for (int32_t i = 0; i < level.playerCount; ++i) {
    Player& p = level.players[static_cast<size_t>(i)];
    p.Update(ui.countDownShown, true, chart, static_cast<float>(level.clock->speed));
    if (!p.menuRequest) continue;
    const int32_t code = p.menuRequestCode;
    p.menuRequest = false;
    p.menuRequestCode = 0;
    if (code == 1 && !ui.countIn) {
      ResetHeld(true);
      session.Menus().ControlAllVideos(menu::VideoCommand::kRunMuted);
      session.Screens().OpenPauseForPlayer(&p);
    } else if (code == 2 || code == 3) {
      SpeedRequest(code, false);
    }
  }
}

void ReviveStep() {
  LevelState& level = Level();
  bool requested = false;
  for (int32_t i = 0; i < level.playerCount; ++i) {
    Player& p = level.players[static_cast<size_t>(i)];
    requested = requested || p.reviveRequest;
    p.reviveRequest = false;
  }
  if (!requested) return;
  for (int32_t i = 0; i < level.playerCount; ++i) {
    Player& p = level.players[static_cast<size_t>(i)];
    if (!p.failed() || p.revivesLeft <= 0) continue;
    PlayerScore& s = p.score();
    --p.revivesLeft;
    s.failed = false;
    s.rockMeter = 75.0f;
    s.energy = 0.0f;
    s.energyActive = false;
    s.multiplier = 1;
    s.stepHits = 0;
    ++s.graceCount;
    ++p.reviveCount;
    s.graceUntil = platform::TimeGetTime() + kReviveGraceMs;
    if (LevelController* c = level.info[static_cast<size_t>(i)].controller) c->ClearEvents();
    Session().Screens().UpdatePlayerBox(i);
  }
}

void SpectatorPause() {
  LevelSession& session = Session();
  InGameState& ui = session.ingame;
  if (!session.spectatorPausePressed || !session.spectatorPausePressed()) return;
  ResetHeld(true);
  session.Screens().RebuildOptions(nullptr);
  if (!Ending(ui)) {
    if (!session.practice) session.PlaySound(kPauseSound);
    ui.paused = true;
  }
  if (!session.Online() && !session.practice) PauseSong();
}

// Both calibration passes store the mean delay of player 0's hits. A pass without a
// single judged hit has no mean: the values stay, nothing is saved and the pass is
// played again.
void CalibrationStep(InGameAction& action) {
  LevelSession& session = Session();
  LevelState& level = Level();
  InGameState& ui = session.ingame;
  Settings& settings = *session.settings;
  if (level.playerCount <= 0 || level.players[0].hitDelayCount <= 0) {
    Log(0, u"Calibration Pass Without Hits: Delays Kept");
    action = InGameAction::kRestart;
    return;
  }
  const Player& p = level.players[0];
  const double mean = std::floor(p.hitDelaySum / static_cast<double>(p.hitDelayCount));
  const int32_t delay = static_cast<int32_t>(std::clamp(mean, -100000.0, 100000.0));
  if (ui.calibrationStep == 0) {
    settings.AUDIOCALIBRATION = delay;
    settings.Save();
    ui.calibrationStep = 1;
    action = InGameAction::kRestart;
  } else {
    settings.VIDEOCALIBRATION = delay - settings.AUDIOCALIBRATION;
    settings.Save();
    ui.calibrationStep = 0;
  }
}

void RunAction(InGameAction action) {
  LevelSession& session = Session();
  InGameState& ui = session.ingame;
  const bool online = session.Online();
  switch (action) {
    case InGameAction::kRestart:
      if (online) {
        RestartLevelOnline(true);
      } else if (session.practice) {
        SeekSong(0.0);
      } else {
        RestartLevel(false);
      }
      break;
    case InGameAction::kResume:
      ResetHeld(false);
      if (online) {
        ui.paused = false;
      } else if (ui.countIn) {
        ui.countIn = false;
        StartSongPlayback();
      } else {
        ResumeSong();
      }
      break;
    case InGameAction::kQuit: {
      const bool practice = session.practice;
      QuitToMenus(true);
      if (practice) {
        session.PlaySound(kPauseSound);
        ui.practiceMenuOpen = false;
      }
      break;
    }
    case InGameAction::kExit:
      session.Menus().QuitProgram();
      break;
    case InGameAction::kNextSong:
      if (session.songIndex < session.songCount - 1 && session.songIndex + 1 < kSongSlotCount) {
        // The Music thread reads the song index: it is changed while the thread is paused.
        shell::PauseMusicThread();
        ++session.songIndex;
        RestartLevel(true);
      } else {
        QuitToMenus(true);
      }
      break;
    case InGameAction::kTogglePause:
      if (!ui.paused) {
        session.Screens().Pause(nullptr);
        PauseSong();
      } else {
        ui.paused = false;
        ResumeSong();
      }
      break;
    case InGameAction::kSkipForward: {
      double target = LevelSongTime() + kSkipMs;
      const double end = LevelSongLengthSeconds() * 1000.0;
      if (!(end > target)) target = end;
      SeekSong(target);
      break;
    }
    case InGameAction::kSkipBack: {
      const double back = LevelSongTime() - kSkipMs;
      SeekSong(back > 0.0 ? back : 0.0);
      break;
    }
    case InGameAction::kJump:
      SeekSong(ui.jumpPoint);
      break;
    case InGameAction::kClosePractice:
      if (ui.paused) {
        ui.paused = false;
        ResumeSong();
      }
      if (session.practice) {
        session.PlaySound(kPauseSound);
        ui.practiceMenuOpen = false;
      }
      ResetHeld(false);
      break;
    default:
      break;
  }
}

}  // namespace

void UpdateGameplay() {
  LevelSession& session = Session();
  LevelState& level = Level();
  InGameState& ui = session.ingame;
  if (!level.clock) return;  // no level: nothing to play

  level.playFade.Update();
  const double before = level.clock->GetSongTime();
  const double chartBefore = LevelChartTime(before);
  if (level.lyrics && session.settings->LYRICS != 0) session.Screens().UpdateLyrics(chartBefore);
  session.Screens().Update(chartBefore, before, level.clock->speed);
  const Song* song = session.CurrentSong();
  const double delay = song && song->info ? song->info->delay : 0;
  for (int32_t i = 0; i < level.playerCount; ++i) {
    PlayerTrack& t = level.players[static_cast<size_t>(i)].track;
    t.practiceLimitOn = ui.rangeFlag;
    t.practiceLimitTime = ui.rangeEnd - delay;
  }

  if (ui.actionPending) {
    InGameAction action = ui.action;
    ui.actionPending = false;
    if (action == InGameAction::kNextSong && IsCalibrationSong()) CalibrationStep(action);
    RunAction(action);
    return;
  }

  if (!ui.paused && !ui.practiceMenuOpen && !Ending(ui)) {
    RunningFrame();
  } else {
    HeldFrame();
  }
  ReviveStep();
  session.Screens().ShowRankAlert(level.clock->eventBits);
  if (level.allRemote) SpectatorPause();
}

void StartSongPlayback() {
  LevelSession& session = Session();
  LevelState& level = Level();
  level.playFade.Start(0.0f, 1.0f, 1.0f);
  session.Visuals().VideoRun();
  if (level.clock) level.clock->Restart(false);
  if (SongAudio* audio = session.CurrentAudio()) audio->Start();
  session.Screens().Restart();
  // The song runs from here (a count-in left the level paused).
  session.ingame.paused = false;
  ClearControllerEvents();
}

void PauseSong() {
  LevelSession& session = Session();
  session.Visuals().VideoPause();
  if (SongAudio* audio = session.CurrentAudio()) audio->Pause();
  if (SongClock* clock = Level().clock.get()) clock->Tick();
}

void ResumeSong() {
  LevelSession& session = Session();
  session.Visuals().VideoRun();
  session.ingame.paused = false;
  ClearControllerEvents();
  if (SongAudio* audio = session.CurrentAudio()) audio->Resume();
  if (SongClock* clock = Level().clock.get()) clock->Restart(true);
}

void UpdateSongLoad() {
  LevelSession& session = Session();
  LevelState& level = Level();
  const shell::Task step = shell::CurrentTask();
  if (step == shell::Task::kIdle) {
    session.Menus().LoadBanner();
    shell::SetTask(shell::Task::kLevelLoadRequested);
  } else if (step == shell::Task::kLevelLoadDone && session.Online()) {
    session.Visuals().PreloadTextures();
    platform::SleepMs(10);
    shell::SetTask(shell::Task::kIdle);
    shell::SetState(shell::State::kOnlineStart);
    level.onlineFrames = 0;
    level.onlineReady = false;
    session.Visuals().ResetReactiveTheme();
    ApplyDeferredFlow();
    return;
  } else if (step == shell::Task::kLevelLoadDone && session.songLoadStart) {
    session.Visuals().PreloadTextures();
    platform::SleepMs(10);
    shell::SetTask(shell::Task::kIdle);
    session.songLoadStart = false;
    shell::SetState(shell::State::kPlaying);
    session.Visuals().ResetReactiveTheme();
    PrepareSongStart();
    ApplyDeferredFlow();
    return;
  }
  session.Menus().RefreshSongLoad();
  session.Menus().SongLoadInput();
}

void UpdateOnlineStart() {
  LevelSession& session = Session();
  LevelState& level = Level();
  level.playFade = LevelFade();
  session.Screens().Update(0.0, 0.0, 1.0);
  const float speed = level.clock ? static_cast<float>(level.clock->speed) : 1.0f;
  for (int32_t i = 0; i < level.playerCount; ++i) {
    Player& p = level.players[static_cast<size_t>(i)];
    p.Update(true, true, 0.0, speed);
    if (!p.menuRequest) continue;
    const int32_t code = p.menuRequestCode;
    p.menuRequest = false;
    p.menuRequestCode = 0;
    if (code == 1) {
      QuitToMenus(true);
      return;  // the level is gone
    }
  }
  ++level.onlineFrames;
  if (!level.onlineReady && level.onlineFrames >= kOnlineReadyFrames) {
    GameMessage m;
    m.type = 1;
    m.code = 24;
    if (session.net) session.net->Send(m);
    level.onlineReady = true;
  }
}
