// A chart from any bytes turned into a player's notes: the set-up of a board for
// every instrument and difficulty the first bytes pick, then frames across the chart
// that spawn, judge and miss its notes. Every note lands on a lane slot of its board,
// and the counts stay within their windows.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/log.h"
#include "core/settings.h"
#include "game/player.h"
#include "song/midi_file.h"

namespace {

void CheckPlayer(const Player& p) {
  for (const NoteRecord& n : p.track.notes) {
    if (!n.active) continue;
    if (n.fretSlot < -1 || n.fretSlot >= kLaneSlots) __builtin_trap();
    if (n.time != n.time) __builtin_trap();  // a time that is not a number
  }
  const PlayerScore& s = p.track.score;
  if (s.misses < 0 || s.hits < 0 || s.overhits < 0) __builtin_trap();
  if (p.chartScore.noteCount[std::clamp(p.difficulty, 0, 4)] < 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    SetLogFolder(u"/dev/null/velorin_chart_notes_fuzz");
    std::freopen("/dev/null", "w", stdout);
    return true;
  }();
  (void)quiet;
  if (size < 4) return 0;
  const int32_t kind = data[0] % 15;
  const int32_t difficulty = data[1] % 5;
  const int32_t part = data[2] % 4;
  const uint8_t flags = data[3];
  const std::string bytes(reinterpret_cast<const char*>(data + 4), size - 4);

  static MidiFile chart;
  chart.LoadFromBytes(false, bytes);
  static Settings settings;
  settings.AUDIOCALIBRATION = 0;
  settings.RECORDGAMEPLAY = false;
  GameContext context;
  context.settings = &settings;
  context.practice = true;  // no neck picture to look for
  context.song.drumLayoutSwap = (flags & 1) != 0;
  context.song.multiplierNote = (flags & 2) ? 103 : 0;
  context.song.eighthNoteHopo = (flags & 4) != 0;
  BoardEffects board;
  PlayerInput input;

  Player p;
  p.context = &context;
  p.input = &input;
  p.track.fx = &board;
  p.kind = kind;
  p.difficulty = difficulty;
  p.laneCount = (flags & 8) ? 4 : 5;
  p.options.leftyGuitar = p.options.leftyDrums = (flags & 16) != 0;
  p.options.drumSwap = (flags & 32) ? 1 : 0;
  const int32_t track = chart.FindTrack(kind, part);
  if (track >= chart.header.trackCount) __builtin_trap();
  p.SetupBoard(&chart, track);
  const MidiEvent* events = track >= 0 ? chart.tracks[static_cast<size_t>(track)].events : nullptr;
  p.chartScore.Compute(&chart, events, kind, difficulty);
  CheckPlayer(p);
  // Frames through the first minutes of the chart, a little further each time.
  double t = 0.0;
  for (int frame = 0; frame < 200; ++frame) {
    t += 5.0 + frame * 3.0;
    p.Update(true, false, t, 1.0f);
    CheckPlayer(p);
  }
  return 0;
}
