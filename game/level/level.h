// The level: everything one song needs while it is played, from its set-up through
// the frame update, the end of the song and its results, to restart, seek and quit.
// One level exists at a time; its values are process-wide. A full set-up runs on the
// Task thread while the main thread shows the song-load screen, and the main thread
// touches the level only once the task step reports it done; everything else runs on
// the main thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "game/demo_player.h"
#include "game/game_services.h"
#include "game/level_fade.h"
#include "game/level/level_session.h"
#include "game/lyrics.h"
#include "game/player.h"
#include "game/score_rating.h"
#include "game/level/song_clock.h"

class SongInfo;

// What the level keeps per player beside the Player record.
struct LevelPlayerInfo {
  Profile* profile = nullptr;  // not owned
  bool guest = false;
  LevelController* controller = nullptr;
  int32_t bestScore = -1;  // the stored best before this result; -1 none
  int32_t thisScore = 0;
  // The player's stems stay audible from a hit until a miss or overhit: flag 0 for the
  // whole part, flags 1..6 for a drummer's pieces, each cut by its own missed notes.
  uint8_t audible[7] = {1, 1, 1, 1, 1, 1, 1};
  int32_t seenMisses = 0;
  int32_t seenOverhits = 0;
};

struct LevelState {
  std::unique_ptr<Player[]> players;
  int32_t playerCount = 0;
  std::array<LevelPlayerInfo, kMaxLevelPlayers> info;
  std::unique_ptr<SongClock> clock;
  std::unique_ptr<ScoreRating> rating;
  std::unique_ptr<VocalTrack> lyrics;
  bool allRemote = false;
  // The context the players of the level read.
  GameContext context;
  // The input recorder and the playback source (for the whole run).
  DemoPlayer recorder;
  DemoPlayer playback;
  // The in-game visuals' fade: in over a second at playback start, out at the end.
  LevelFade playFade;
  // Game state 4.
  int32_t onlineFrames = 0;
  bool onlineReady = false;
  // The song's length when it has no audio to give one (ms).
  double fallbackLengthMs = 0.0;
  // A network abort (23) or reload (24) that came while the level was loading.
  int32_t deferredFlowCode = 0;
};

// The process's level.
LevelState& Level();

// Builds the level of the current song: `full` from the menus (reads the chart and
// its sections; the Task thread's job), otherwise a restart or seek that keeps the
// chart in memory (main thread).
void SetupLevel(bool full);
void SetupBackground();
// Copies the song's chart options into every track record of the chart.
void ApplySongTrackOptions(const SongInfo& info, MidiFile& chart);

// Frame update by game state: 2 playing, 3 song loading, 4 online start.
void UpdateGameplay();
void UpdateSongLoad();
void UpdateOnlineStart();
void StartSongPlayback();
void PauseSong();
void ResumeSong();

// The end of the song: whether the result may be stored, the stored result and the
// text of each player box.
void ShowHighScoreResult();

void TeardownLevel(bool full);
void RestartLevel(bool full);
void QuitToMenus(bool notifyHost);
// Positions every player at the start, then arms the count-in (true) or starts
// playback. Without `allowCountIn` playback always starts.
bool PrepareSongStart(bool allowCountIn = true);
void SeekSong(double targetMs);

// The level's song time (0 without a clock) and its length in seconds: the longest
// stem, or without audio the song's "song_length", or the end of its chart plus
// three seconds.
double LevelSongTime();
double LevelSongLengthSeconds();
// Chart time of the level at a song time: minus AUDIOCALIBRATION and the song delay.
double LevelChartTime(double songTime);

// The achievement checks of the frame (game state 2, after the frame update).
void CheckAchievements();

// Frees the level's objects that outlive a teardown (clock, rating, lyrics) and the
// players: the shell's shutdown.
void DestroyLevelObjects();
// No level: every value of the level back to its start.
void ResetLevelState();
