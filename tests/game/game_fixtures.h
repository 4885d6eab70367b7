// Fakes and the scripted harness for the gameplay tests: recording sound, network
// and board effects, a controller fed from a script, and a runner that plays a chart
// frame by frame at exact song times.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "devices/input/input_event.h"
#include "game/demo_player.h"
#include "game/game_services.h"
#include "game/player.h"
#include "platform/clock.h"
#include "song/midi_file.h"
#include "tests/support/midi_builder.h"

namespace gametest {

struct PlayedSound {
  int32_t id;
  float ratio;
  float volume;
};

class RecordingSound : public GameSound {
 public:
  RecordingSound() {
    play = [this](int32_t id, float ratio, float volume) { return Play(id, ratio, volume); };
    setVolume = [this](int32_t handle, float volume) { return SetVolume(handle, volume); };
    baseRatio = [this](int32_t handle) { return BaseRatio(handle); };
    setRatio = [this](int32_t handle, float ratio) { return SetRatio(handle, ratio); };
  }
  int32_t Play(int32_t id, float ratio, float volume) {
    played.push_back({id, ratio, volume});
    return nextHandle++;
  }
  void SetVolume(int32_t handle, float volume) { volumes.push_back({handle, volume}); }
  float BaseRatio(int32_t handle) { return handle >= 1000 ? 1.0f : -1.0f; }
  void SetRatio(int32_t handle, float ratio) { ratios.push_back({handle, ratio}); }

  int32_t Count(int32_t id) const;

  std::vector<PlayedSound> played;
  std::vector<std::pair<int32_t, float>> volumes;
  std::vector<std::pair<int32_t, float>> ratios;
  int32_t nextHandle = 1000;
};

class RecordingNet : public GameNetLink {
 public:
  RecordingNet() {
    isConnected = [this]() { return Connected(); };
    send = [this](const GameMessage& m) { return Send(m); };
  }
  bool Connected() const { return connected; }
  void Send(const GameMessage& m) { sent.push_back(m); }
  std::vector<GameMessage> OfCode(int32_t code) const;

  bool connected = true;
  std::vector<GameMessage> sent;
};

class RecordingBoard : public BoardEffects {
 public:
  RecordingBoard() {
    loadNeck = [this](const std::u16string& path) { return LoadNeck(path); };
    fretMiss = [this](int32_t slot) { return FretMiss(slot); };
    timingGrade = [this](int32_t slot, int32_t grade) { return TimingGrade(slot, grade); };
    boardState = [this](int32_t state) { return BoardState(state); };
    energyFlash = [this]() { return EnergyFlash(); };
    fillGlow = [this]() { return FillGlow(); };
    warning = [this](bool on) { return Warning(on); };
    sustainEnd = [this](int32_t slot) { return SustainEnd(slot); };
  }
  bool LoadNeck(const std::u16string& path) {
    necks.push_back(path);
    return neckLoads;
  }
  void FretMiss(int32_t slot) { fretMisses.push_back(slot); }
  void TimingGrade(int32_t slot, int32_t grade) { grades.push_back({slot, grade}); }
  void BoardState(int32_t state) { states.push_back(state); }
  void EnergyFlash() { ++energyFlashes; }
  void FillGlow() { ++fillGlows; }
  void Warning(bool on) { warnings.push_back(on); }
  void SustainEnd(int32_t slot) { sustainEnds.push_back(slot); }

  bool neckLoads = true;
  std::vector<std::u16string> necks;
  std::vector<int32_t> fretMisses;
  std::vector<std::pair<int32_t, int32_t>> grades;
  std::vector<int32_t> states;
  std::vector<bool> warnings;
  std::vector<int32_t> sustainEnds;
  int32_t energyFlashes = 0;
  int32_t fillGlows = 0;
};

// A controller whose events the test queues.
class ScriptInput : public PlayerInput {
 public:
  ScriptInput() {
    getEvents = [this](InputEvent* out, int32_t& count) { return GetEvents(out, count); };
  }
  bool GetEvents(InputEvent* out, int32_t& count);
  void Push(uint32_t id, bool pressed, int32_t value, int32_t range = 0, int32_t rest = 0);
  std::deque<InputEvent> queue;
};

// One scripted controller event at an exact song time.
struct Step {
  double time;
  uint32_t code;
  bool pressed;
  int32_t value;
};

// Fret press and strum at the note's time, fret release 100 ms later (five-fret).
std::vector<Step> StrumNotes(const std::vector<std::pair<double, int32_t>>& notes);

// Tempo track with 120 beats per minute in 4/4 at 480 ticks per quarter.
testsupport::MidiTrackBuilder& TempoTrack(testsupport::MidiFileBuilder& midi);

// The reference chart: twelve guitar notes on lanes 1, 2, 3, ... every 500 ms from
// 2000 ms, each 60 ticks long.
std::string ReferenceGuitarChart(bool withPhrases = false);

struct PlayerSpec {
  int32_t kind = 2;
  int32_t difficulty = 3;
  int32_t laneCount = 5;
  std::string trackName = "PART GUITAR";
  double hitWindow = 85.0;
};

class Harness {
 public:
  explicit Harness(const std::string& chartBytes);
  ~Harness();

  Player& Setup(const PlayerSpec& params);
  Player& Setup(const PlayerSpec& params, const PlayerOptions& options);
  // Frames every 10 ms up to `endMs` and at every scripted time; the events of a
  // time are queued just before its frame.
  void Run(const std::vector<Step>& script, double endMs);
  // One frame at song time t (the wall clock follows the song time).
  void Frame(double t);
  void SetWallClock(double t) { clock.clock.ms = kWallBase + static_cast<uint32_t>(t); }

  static constexpr uint32_t kWallBase = 100000;

  platform::ScopedFakeClock clock;
  Settings settings;
  RecordingSound sound;
  RecordingNet net;
  ScriptInput input;
  RecordingBoard board;
  MidiFile chart;
  DemoPlayer recorder;
  DemoPlayer playback;
  GameContext context;
  std::unique_ptr<Player> player;
  double lastFrame = 0;
  bool framed = false;
};

}  // namespace gametest
