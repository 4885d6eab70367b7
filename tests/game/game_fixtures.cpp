#include "tests/game/game_fixtures.h"

#include <algorithm>
#include <map>

namespace gametest {

int32_t RecordingSound::Count(int32_t id) const {
  return static_cast<int32_t>(
      std::count_if(played.begin(), played.end(), [id](const PlayedSound& p) { return p.id == id; }));
}

std::vector<GameMessage> RecordingNet::OfCode(int32_t code) const {
  std::vector<GameMessage> out;
  for (const GameMessage& m : sent) {
    if (m.code == code) out.push_back(m);
  }
  return out;
}

bool ScriptInput::GetEvents(InputEvent* out, int32_t& count) {
  count = 0;
  while (!queue.empty() && count < Player::kMaxEvents) {
    out[count++] = queue.front();
    queue.pop_front();
  }
  return count > 0;
}

void ScriptInput::Push(uint32_t id, bool pressed, int32_t value, int32_t range, int32_t rest) {
  InputEvent e;
  e.id = id;
  e.pressed = pressed;
  e.value = value;
  e.range = range;
  e.rest = rest;
  queue.push_back(e);
}

std::vector<Step> StrumNotes(const std::vector<std::pair<double, int32_t>>& notes) {
  std::vector<Step> script;
  for (const auto& [time, lane] : notes) {
    script.push_back({time, static_cast<uint32_t>(lane), true, 128});
    script.push_back({time, 12, true, 128});
    script.push_back({time + 100.0, static_cast<uint32_t>(lane), false, 0});
  }
  return script;
}

testsupport::MidiTrackBuilder& TempoTrack(testsupport::MidiFileBuilder& midi) {
  return midi.Track("tempo").Tempo(0, 500000).TimeSignature(0, 4, 2);
}

std::string ReferenceGuitarChart(bool withPhrases) {
  testsupport::MidiFileBuilder midi(480);
  TempoTrack(midi);
  testsupport::MidiTrackBuilder& part = midi.Track("PART GUITAR");
  for (int k = 0; k < 12; ++k) part.Note(1920 + 480 * k, 96 + (k % 3), 60);
  if (withPhrases) {
    // Phrases around N1-N4 and N5-N8.
    part.Note(1900, 116, 1500);
    part.Note(3800, 116, 1500);
  }
  return midi.Build();
}

Harness::Harness(const std::string& chartBytes) {
  chart.LoadFromBytes(false, chartBytes);
  settings.AUDIOCALIBRATION = 0;
  settings.VIDEOCALIBRATION = 0;
  settings.RECORDGAMEPLAY = false;
  context.settings = &settings;
  context.sound = &sound;
  context.net = &net;
  context.recorder = &recorder;
  context.playback = &playback;
  // The board without a neck image: no theme folder in the tests.
  context.practice = true;
  SetWallClock(0);
}

Harness::~Harness() = default;

Player& Harness::Setup(const PlayerSpec& params) { return Setup(params, PlayerOptions()); }

Player& Harness::Setup(const PlayerSpec& params, const PlayerOptions& options) {
  player = std::make_unique<Player>();
  Player& p = *player;
  p.context = &context;
  p.input = &input;
  p.track.fx = &board;
  p.kind = params.kind;
  p.difficulty = params.difficulty;
  p.laneCount = params.laneCount;
  p.hitWindow = params.hitWindow;
  p.netSlot = 3;
  p.options = options;
  int32_t track = -1;
  for (int32_t i = 0; i < kMidiTrackSlots; ++i) {
    if (chart.tracks[static_cast<size_t>(i)].name == params.trackName) {
      track = i;
      break;
    }
  }
  p.SetupBoard(&chart, track);
  const MidiEvent* events = track >= 0 ? chart.tracks[static_cast<size_t>(track)].events : nullptr;
  p.chartScore.Compute(&chart, events, params.kind, params.difficulty);
  p.track.score.noteCount = p.chartScore.noteCount[std::clamp(params.difficulty, 0, 4)];
  lastFrame = 0;
  framed = false;
  return p;
}

void Harness::Frame(double t) {
  SetWallClock(t);
  player->Update(true, false, t, 1.0f);
  lastFrame = t;
  framed = true;
}

void Harness::Run(const std::vector<Step>& script, double endMs) {
  std::map<double, std::vector<Step>> byTime;
  for (const Step& s : script) byTime[s.time].push_back(s);
  std::vector<double> times;
  for (double t = 0; t <= endMs; t += 10.0) times.push_back(t);
  for (const auto& [t, steps] : byTime) {
    if (t <= endMs) times.push_back(t);
  }
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  for (double t : times) {
    if (framed && t <= lastFrame) continue;
    auto it = byTime.find(t);
    if (it != byTime.end()) {
      for (const Step& s : it->second) input.Push(s.code, s.pressed, s.value);
    }
    Frame(t);
  }
}

}  // namespace gametest
