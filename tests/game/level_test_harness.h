// Fixtures of the level tests: a generated song folder, a controller that plays a
// player's notes as they come due (perfectly, or leaving chosen chords out), fakes of
// the in-game screens and the menus, and a runner that plays a song through the
// application shell (the level-load job on the Task thread, the Music thread pumping
// the stems, the frame dispatch) on the loopback audio device, under a time-out.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/settings.h"
#include "game/level/level.h"
#include "game/level/level_session.h"
#include "platform/gfx/framework.h"
#include "song/profile.h"
#include "song/song.h"
#include "tests/support/test_support.h"

namespace leveltest {

// The reference chart: twelve expert guitar notes on lanes 1, 2, 3, 1, ... every
// 500 ms from `firstMs` (120 beats per minute, 480 ticks per quarter), 60 ticks long.
// A perfect game of it scores 375 against a base score of 300.
std::string ReferenceChart(double firstMs = 2000.0, bool vocals = false);
// A song folder under the temp folder: song.ini, notes.mid and, unless `seconds` is
// 0, a stereo "guitar.ogg" of that length (and a "song.ogg" beside it with
// `backing`). Returns the folder, ending in '/'.
std::u16string WriteSongFolder(const testsupport::TempDir& dir, const std::string& name, const std::string& chart,
                               double seconds, const std::string& extraIni = std::string(), bool backing = false);
// The "song.ini" value of a key in a song folder ("" when absent).
std::string IniValue(const std::u16string& folder, const std::string& key);

// Plays the due notes of the level's player `index`: all frets of a chord pressed
// (the others released) and a strum, at the first frame at or after the chord's
// time. Chords whose running number is in `skip` are left to be missed.
class ChartBot : public LevelController {
 public:
  explicit ChartBot(int32_t index = 0) : index_(index) {
    getEvents = [this](InputEvent* events, int32_t& count) { return GetEvents(events, count); };
    clearEvents = [this]() { return ClearEvents(); };
  }
  bool GetEvents(InputEvent* events, int32_t& count);
  void ClearEvents() { ++clears; }
  // Forgets what was played (done by itself when the song time goes back: a restart
  // or a seek back rebuilds the players).
  void Reset() {
    handled_.clear();
    held_.clear();
    chords_ = 0;
  }

  std::set<int32_t> skip;
  int32_t clears = 0;
  bool pauseOnce = false;  // the next fetch presses the pause button
  uint32_t pressOnce = 0;  // the next fetch presses this button (0: none)

 private:
  int32_t index_;
  std::set<int32_t> handled_;
  std::set<int32_t> held_;
  int32_t chords_ = 0;
  double lastTime_ = 0.0;
};

class RecordingMenus : public LevelMenus {
 public:
  RecordingMenus() {
    resetAfterSong = [this]() { return ResetAfterSong(); };
    setCurrentMenu = [this](int32_t menu) { return SetCurrentMenu(menu); };
    resumeMenuMusic = [this]() { return ResumeMenuMusic(); };
    pushAchievement = [this](int32_t kind, const std::u16string& title, const std::u16string& name) {
      return PushAchievement(kind, title, name);
    };
    addChatLine = [this](const std::string& text) { return AddChatLine(text); };
    buildRoster = [this]() { return BuildRoster(); };
    playCrowdSound = [this]() { return PlayCrowdSound(); };
    resetSlots = [this]() { return ResetSlots(); };
    endChatEditing = [this]() { return EndChatEditing(); };
    getSlotCount = [this]() { return SlotCount(); };
    slotHasController = [this](int32_t slot) { return SlotHasController(slot); };
    grantPlayerId = [this](int32_t slot, int32_t id) { return GrantPlayerId(slot, id); };
    addRemoteSlot = [this](int32_t id) { return AddRemoteSlot(id); };
    startGame = [this]() { return StartGame(); };
    applyRemotePlayer = [this](int32_t id, int32_t a5, bool f1, bool f2, bool f0, const uint8_t(&a3)[4],
                               const uint8_t(&a4)[3], bool f3, const std::string& name) {
      ApplyRemotePlayer(id, a5, f1, f2, f0, a3, a4, f3, name);
    };
  }
  void ResetAfterSong() { calls.push_back("ResetAfterSong"); }
  void SetCurrentMenu(int32_t menu) { menusShown.push_back(menu); }
  void ResumeMenuMusic() { calls.push_back("ResumeMenuMusic"); }
  void PushAchievement(int32_t kind, const std::u16string& title, const std::u16string& name) {
    achievements.push_back({kind, title, name});
  }
  void AddChatLine(const std::string& text) { calls.push_back("Chat:" + text); }
  void BuildRoster() { calls.push_back("BuildRoster"); }
  void PlayCrowdSound() { calls.push_back("Crowd"); }
  void ResetSlots() { calls.push_back("ResetSlots"); }
  void EndChatEditing() { calls.push_back("EndChatEditing"); }
  int32_t SlotCount() const { return slotCount; }
  bool SlotHasController(int32_t slot) const { return slot == 0; }
  void GrantPlayerId(int32_t slot, int32_t id) {
    calls.push_back("Grant:" + std::to_string(slot) + ":" + std::to_string(id));
  }
  void AddRemoteSlot(int32_t id) { calls.push_back("AddRemote:" + std::to_string(id)); }
  void StartGame() { calls.push_back("StartGame"); }
  void ApplyRemotePlayer(int32_t id, int32_t a5, bool f1, bool f2, bool f0, const uint8_t (&a3)[4],
                         const uint8_t (&a4)[3], bool f3, const std::string& name);

  struct Award {
    int32_t kind;
    std::u16string title, name;
  };
  std::vector<std::string> calls;
  std::vector<int32_t> menusShown;
  std::vector<Award> achievements;
  int32_t slotCount = 0;
};

class RecordingSfx : public GameSound {
 public:
  RecordingSfx() {
    play = [this](int32_t id, float a1, float a2) { return Play(id, a1, a2); };
    setVolume = [this](int32_t a0, float a1) { return SetVolume(a0, a1); };
    baseRatio = [this](int32_t a0) { return BaseRatio(a0); };
    setRatio = [this](int32_t a0, float a1) { return SetRatio(a0, a1); };
    update = [this]() { ++updates; };
  }
  int32_t Play(int32_t id, float, float) {
    played.push_back(id);
    return static_cast<int32_t>(played.size());
  }
  void SetVolume(int32_t, float) {}
  float BaseRatio(int32_t) { return -1.0f; }
  void SetRatio(int32_t, float) {}
  int32_t Count(int32_t id) const;
  std::vector<int32_t> played;
  int32_t updates = 0;
};

class RecordingNet : public GameNetLink {
 public:
  RecordingNet() {
    isConnected = [this]() { return Connected(); };
    send = [this](const GameMessage& m) { return Send(m); };
  }
  bool Connected() const { return connected; }
  void Send(const GameMessage& m) { sent.push_back(m); }
  std::vector<int32_t> Codes() const;
  bool connected = true;
  std::vector<GameMessage> sent;
};

// Aborts the test program when not disarmed in time: a hang must fail, not stall.
class Watchdog {
 public:
  Watchdog(int seconds, std::string what);
  ~Watchdog();

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

// Puts the session, the level and the settings back to their start for each test;
// the settings are restored afterwards.
class LevelTestBase {
 public:
  LevelTestBase();
  ~LevelTestBase();

  testsupport::TempDir dir;
  std::unique_ptr<Song[]> songs;
  RecordingMenus menus;
  RecordingSfx sfx;

 private:
  Settings saved_;
};

// One song played through the shell, as the game plugs it: the song data's slots,
// the devices' stem player and the gameplay services. The constructor attaches the
// shell, makes the slots (the song `folder` in the first) and starts the Music, Task
// and Net threads; the destructor shuts them down (the shell's shutdown).
class ShellRun {
 public:
  explicit ShellRun(const std::u16string& folder);
  ~ShellRun();

  // The current song: the first of the song data's slots.
  static Song& CurrentSong();

  // Game state 3 until the level is loaded and started (state 2); false on time-out.
  bool Load();
  // One frame: 10 ms of loopback audio rendered, then the shell's frame update.
  void Frame();
  // Frames until the song is finished; false on time-out.
  bool PlayToEnd();
  // Frames until the song time reaches `ms`.
  bool PlayUntil(double ms);
  // Leaves an action for the frame update and runs the frame that carries it out.
  void Act(InGameAction action);

  platform::gfx::NullFramework framework;
  int32_t frames = 0;
};

}  // namespace leveltest
