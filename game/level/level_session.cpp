#include "game/level/level_session.h"

#include "devices/audio/song_audio.h"
#include "devices/input/ctrl.h"
#include "game/level/level.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "song/shell_services.h"
#include "song/song.h"

namespace {

constexpr int32_t kPauseSound = 97;
constexpr int32_t kAllFailedSound = 92;
constexpr int32_t kConfirmSound = 105;
constexpr int32_t kBackSound = 104;
constexpr uint32_t kFirstNoteId = 101;
constexpr uint32_t kCountDownMs = 3000;
constexpr double kPracticeMinRangeMs = 1000.0;

InGameScreens g_defaultScreens;
LevelVisuals g_defaultVisuals;
LevelMenus g_defaultMenus;

// A wrapping millisecond time has been reached (signed difference).
bool Reached(uint32_t now, uint32_t at) { return static_cast<int32_t>(now - at) >= 0; }

// The menus' reading of a button: a note id counts by its place in the octave.
bool IsConfirmButton(uint32_t id) { return id == 1 || id == 9 || (id >= kFirstNoteId && (id - 100) % 12 == 0); }
bool IsBackButton(uint32_t id) { return id == 2 || (id >= kFirstNoteId && (id - 100) % 12 == 2); }

}  // namespace

CtrlDeviceController::CtrlDeviceController(CtrlDevice* device) {
  getEvents = [device](InputEvent* events, int32_t& count) {
    count = 0;
    return device ? device->GetEvents(events, &count) : false;
  };
  clearEvents = [device] {
    if (device) device->ClearEvents();
  };
  isKeyboard = [device] { return device && device->desc.kind == kind::kKeyboard; };
  isGamepad = [device] { return device && device->desc.kind == kind::kGamepad; };
  detectedDrumLanes = [device] { return device ? device->desc.drumLanes : 4; };
  setLefty = [device](bool on) {
    if (device) device->lefty = on ? 1 : 0;
  };
}

LevelSession::LevelSession() { Reset(); }

void LevelSession::Reset() {
  settings = &g_Settings;
  songs = nullptr;
  songCount = 1;
  songIndex = 0;
  library = nullptr;
  songHashes.Clear();
  gameType = 0;
  practice = career = demoPlayback = boardRolled = false;
  leaderId = -1;
  roster.fill(LevelSlot());
  rosterCount = 0;
  careerSlot = LevelSlot();
  careerData = nullptr;
  songLoadStart = false;
  ingame = InGameState();
  sound = nullptr;
  net = nullptr;
  limbo = nullptr;
  screens = nullptr;
  visuals = nullptr;
  menus = nullptr;
  resetHeld = [](bool waitForRelease) {
    if (g_CtrlMain) g_CtrlMain->ResetHeld(waitForRelease);
  };
  clearAllEvents = [] {
    if (g_CtrlMain) g_CtrlMain->ClearAllEvents();
  };
  spectatorPausePressed = [] {
    if (!g_CtrlMain) return false;
    bool pressed = false;
    InputEvent events[kMaxFetchEvents];
    for (int32_t d = 0; d < g_CtrlMain->count && d < CtrlMain::kMaxDevices; ++d) {
      int32_t n = 0;
      g_CtrlMain->devices[d].GetEvents(events, &n);
      for (int32_t i = 0; i < n && i < static_cast<int32_t>(kMaxFetchEvents); ++i) {
        if (events[i].id == button::kStart && events[i].pressed) pressed = true;
      }
    }
    return pressed;
  };
}

Song* LevelSession::Slots() const { return songs ? songs : song::SongSlots(); }

Song* LevelSession::CurrentSong() const {
  Song* slots = Slots();
  if (!slots || songIndex < 0 || songIndex >= kSongSlotCount) return nullptr;
  return &slots[songIndex];
}

SongAudio* LevelSession::CurrentAudio() const {
  Song* song = CurrentSong();
  return song && song->audio ? song->audio->Audio() : nullptr;
}

GameSound* LevelSession::Sound() const { return sound; }
InGameScreens& LevelSession::Screens() const { return screens ? *screens : g_defaultScreens; }
LevelVisuals& LevelSession::Visuals() const { return visuals ? *visuals : g_defaultVisuals; }
LevelMenus& LevelSession::Menus() const { return menus ? *menus : g_defaultMenus; }

void LevelSession::PlaySound(int32_t id) const {
  if (sound) sound->Play(id, 1.0f, 1.0f);
}

LevelSession& Session() {
  static LevelSession session;
  return session;
}

void InGameScreens::Start(int32_t playerCount) {
  InGameState& s = Session().ingame;
  s.songFinished = s.songFailed = s.songPassed = false;
  s.inputLocked = false;
  for (std::u16string& t : s.resultText) t.clear();
  if (startDisplay) startDisplay(playerCount);
}

void InGameScreens::Restart() {
  InGameState& s = Session().ingame;
  s.songFinished = s.songFailed = s.songPassed = false;
  s.inputLocked = false;
  s.countDownEnd = platform::TimeGetTime() + kCountDownMs;
  for (std::u16string& t : s.resultText) t.clear();
  if (restartDisplay) restartDisplay();
}

void InGameScreens::LockSongEndInput() {
  LevelSession& session = Session();
  InGameState& s = session.ingame;
  if (session.clearAllEvents) session.clearAllEvents();
  LevelState& level = Level();
  for (int32_t i = 0; i < level.playerCount; ++i) {
    if (LevelController* c = level.info[static_cast<size_t>(i)].controller) c->ClearEvents();
  }
  s.inputLocked = true;
  s.inputLockUntil = platform::TimeGetTime() + kSongEndLockMs;
}

void InGameScreens::SongEndInput() {
  LevelSession& session = Session();
  InGameState& s = session.ingame;
  LevelState& level = Level();
  InputEvent events[kMaxFetchEvents];
  for (int32_t i = 0; i < level.playerCount && !s.actionPending; ++i) {
    LevelController* c = level.info[static_cast<size_t>(i)].controller;
    if (!c) continue;
    int32_t n = 0;
    c->GetEvents(events, n);
    for (int32_t e = 0; e < n && e < static_cast<int32_t>(kMaxFetchEvents) && !s.actionPending; ++e) {
      if (!events[e].pressed) continue;
      if (IsConfirmButton(events[e].id)) {
        session.PlaySound(kConfirmSound);
        s.action = s.songFailed ? InGameAction::kRestart : InGameAction::kNextSong;
        s.actionPending = true;
      } else if (IsBackButton(events[e].id)) {
        session.PlaySound(kBackSound);
        s.action = s.songFailed ? InGameAction::kQuit : InGameAction::kRestart;
        s.actionPending = true;
      }
    }
  }
}

void InGameScreens::Update(double chartTime, double songTime, double speed) {
  LevelSession& session = Session();
  InGameState& s = session.ingame;
  // Stored first: a failure found below stamps the players' boxes with this frame's time.
  s.chartTime = chartTime;
  const uint32_t now = platform::TimeGetTime();
  if (s.countDownShown && Reached(now, s.countDownEnd)) {
    s.countDownShown = false;
    if (!s.actionPending) {
      s.actionPending = true;
      s.action = InGameAction::kResume;
    }
  }
  if (session.practice && s.rangeFlag && s.rangeEnd - s.rangeStart > kPracticeMinRangeMs && !s.actionPending &&
      (songTime < s.rangeStart || songTime > s.rangeEnd)) {
    s.jumpPoint = s.rangeStart;
    s.actionPending = true;
    s.action = InGameAction::kJump;
  }
  // Every player failed: the song is failed and what the controllers still hold is dropped.
  LevelState& level = Level();
  if (level.players && level.playerCount > 0 && !s.songFailed && !s.songFinished) {
    bool all = true;
    for (int32_t i = 0; i < level.playerCount && all; ++i) all = level.players[i].failed();
    if (all) {
      s.songFailed = true;
      s.songPassed = false;
      s.failedSecondsLeft = static_cast<float>(LevelSongLengthSeconds() - songTime / 1000.0);
      LockSongEndInput();
      session.PlaySound(kAllFailedSound);
      if (songEndDisplay) songEndDisplay();
    }
  }
  if (s.inputLocked && Reached(now, s.inputLockUntil)) s.inputLocked = false;
  if ((s.songFailed || s.songFinished) && !s.inputLocked && !s.countDownShown && !s.actionPending) SongEndInput();
  if (s.paused && !openPauseMenu && !s.countDownShown && !s.actionPending && !s.songFailed && !s.songFinished &&
      !session.Online()) {
    PausedInput();
  }
  if (updateDisplay) updateDisplay(chartTime, songTime, speed);
}

void InGameScreens::PausedInput() {
  LevelSession& session = Session();
  InGameState& s = session.ingame;
  LevelState& level = Level();
  InputEvent events[kMaxFetchEvents];
  for (int32_t i = 0; i < level.playerCount && !s.actionPending && !s.countDownShown; ++i) {
    LevelController* c = level.info[static_cast<size_t>(i)].controller;
    if (!c) continue;
    int32_t n = 0;
    c->GetEvents(events, n);
    for (int32_t e = 0; e < n && e < static_cast<int32_t>(kMaxFetchEvents); ++e) {
      if (!events[e].pressed) continue;
      if (events[e].id == button::kStart || IsConfirmButton(events[e].id)) {
        session.PlaySound(kConfirmSound);
        s.countDownShown = true;
        s.countDownEnd = platform::TimeGetTime() + kCountDownMs;
        break;
      }
      if (IsBackButton(events[e].id)) {
        session.PlaySound(kBackSound);
        s.action = InGameAction::kQuit;
        s.actionPending = true;
        break;
      }
    }
  }
}

void InGameScreens::UpdateLyrics(double chartTime) {
  if (updateLyricsDisplay) {
    updateLyricsDisplay(chartTime);  // advances the phrases itself, to see their change
  } else if (VocalTrack* lyrics = Level().lyrics.get()) {
    lyrics->Advance(static_cast<float>(chartTime));
  }
}

void InGameScreens::ShowSongEnd() {
  LevelSession& session = Session();
  InGameState& s = session.ingame;
  s.songFinished = true;
  s.songPassed = !s.songFailed;
  s.songEndTime = platform::TimeGetTime();
  session.PlaySound(platform::Rand() % 2 == 0 ? 90 : 91);
  LockSongEndInput();
  if (songEndDisplay) songEndDisplay();
}

void InGameScreens::Pause(Player* /*player*/) {
  LevelSession& session = Session();
  InGameState& s = session.ingame;
  if (s.paused || s.songFinished || s.songFailed) return;
  s.paused = true;
  if (!session.practice) session.PlaySound(kPauseSound);
}

void InGameScreens::OpenPauseForPlayer(Player* /*player*/) { Session().ingame.countDownShown = false; }
