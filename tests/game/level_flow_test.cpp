// Restart, quit, seek and the count-in: played through the shell with its threads
// running (nothing may be left waiting and no stem left playing), and the rules of
// the song start on levels built directly.
#include <gtest/gtest.h>

#include "core/shell/shell_state.h"
#include "devices/audio/song_audio.h"
#include "devices/plug/song_audio_stems.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "tests/game/level_test_harness.h"

namespace {

using namespace leveltest;
using platform::audio::testing::LiveVoiceCount;

class LevelFlowTest : public ::testing::Test, public LevelTestBase {
 protected:
  void OnePlayer(ChartBot* bot, int32_t kind = 2) {
    profile.PLAYERNAME = "Alice";
    profile.path = dir.WPath("profiles/Alice.dat");
    LevelSession& s = Session();
    s.rosterCount = 1;
    s.roster[0] = LevelSlot();
    s.roster[0].profile = &profile;
    s.roster[0].kind = kind;
    s.roster[0].difficulty = 3;
    s.roster[0].controller = bot;
  }

  // Nothing waits: the Music and Task threads run (not paused), no load is pending.
  static void ExpectThreadsFree() {
    EXPECT_EQ(shell::ThreadRunFlag(shell::ThreadId::kMusic).load(), shell::kThreadRunning);
    EXPECT_EQ(shell::ThreadRunFlag(shell::ThreadId::kTask).load(), shell::kThreadRunning);
    EXPECT_EQ(shell::TaskStep.load(), 0);
  }

  static bool StemsPlaying() {
    SongAudio* audio = Session().CurrentAudio();
    if (!audio || !audio->stems) return false;
    for (int i = 0; i < SongAudio::kStemCount; ++i) {
      if (audio->stems[i].sourceVoice && audio->stems[i].sourceVoice->IsStarted()) return true;
    }
    return false;
  }

  Profile profile;
};

TEST_F(LevelFlowTest, QuitMidSongReleasesEveryStemAndLeavesNoThreadWaiting) {
  Watchdog dog(60, "quit mid-song");
  g_Settings.SYNCMETHOD = 2;
  const std::u16string folder = WriteSongFolder(dir, "Song", ReferenceChart(), 10.0);
  ChartBot bot;
  OnePlayer(&bot);
  ShellRun run(folder);
  ASSERT_TRUE(run.Load());
  ASSERT_TRUE(run.PlayUntil(3000.0));
  EXPECT_TRUE(StemsPlaying());
  EXPECT_GT(LiveVoiceCount(), 0u);

  run.Act(InGameAction::kQuit);
  EXPECT_EQ(shell::GameState.load(), 1);
  ExpectThreadsFree();
  EXPECT_EQ(LiveVoiceCount(), 0u);
  EXPECT_EQ(ShellRun::CurrentSong().audio, nullptr);
  EXPECT_EQ(ShellRun::CurrentSong().chart, nullptr);
  EXPECT_EQ(Level().playerCount, 0);
  EXPECT_EQ(menus.menusShown, std::vector<int32_t>{1});
  // A song left before its end is not counted as played.
  EXPECT_EQ(IniValue(folder, "count"), "0");
  // The menus run on: frames in state 1 touch no level.
  for (int i = 0; i < 5; ++i) run.Frame();
  EXPECT_EQ(LiveVoiceCount(), 0u);
}

TEST_F(LevelFlowTest, RestartMidSongStartsOverOnOneSetOfStems) {
  Watchdog dog(60, "restart mid-song");
  g_Settings.SYNCMETHOD = 2;
  const std::u16string folder = WriteSongFolder(dir, "Song", ReferenceChart(), 10.0);
  ChartBot bot;
  OnePlayer(&bot);
  ShellRun run(folder);
  ASSERT_TRUE(run.Load());
  ASSERT_TRUE(run.PlayUntil(4200.0));
  EXPECT_EQ(Level().players[0].score().hits, 5);
  const size_t voices = LiveVoiceCount();

  run.Act(InGameAction::kRestart);
  EXPECT_EQ(shell::GameState.load(), 2);
  ExpectThreadsFree();
  EXPECT_LT(LevelSongTime(), 50.0);
  EXPECT_EQ(Level().players[0].score().hits, 0);
  EXPECT_EQ(LiveVoiceCount(), voices);  // the old stems are gone, the new ones play
  EXPECT_TRUE(StemsPlaying());
  ASSERT_NE(ShellRun::CurrentSong().chart, nullptr);  // a restart keeps the chart

  ASSERT_TRUE(run.PlayToEnd());
  EXPECT_EQ(Level().players[0].score().hits, 12);
  EXPECT_FLOAT_EQ(Level().players[0].score().score, 375.0f);
  run.Act(InGameAction::kQuit);
  ExpectThreadsFree();
  EXPECT_EQ(LiveVoiceCount(), 0u);
}

TEST_F(LevelFlowTest, SeekBackRebuildsAtTheTargetSeekWhilePausedStaysAndSkipToTheEndEnds) {
  Watchdog dog(60, "seeking");
  g_Settings.SYNCMETHOD = 2;
  const std::u16string folder = WriteSongFolder(dir, "Song", ReferenceChart(), 10.0);
  ChartBot bot;
  OnePlayer(&bot);
  ShellRun run(folder);
  ASSERT_TRUE(run.Load());
  ASSERT_TRUE(run.PlayUntil(6200.0));
  EXPECT_EQ(Level().players[0].score().hits, 9);

  // Ten seconds back from 6 s is before the start: the level is rebuilt at 0.
  run.Act(InGameAction::kSkipBack);
  ExpectThreadsFree();
  EXPECT_LT(LevelSongTime(), 50.0);
  EXPECT_EQ(Level().players[0].score().hits, 0);
  EXPECT_TRUE(StemsPlaying());
  ASSERT_TRUE(run.PlayUntil(3200.0));
  EXPECT_EQ(Level().players[0].score().hits, 3);

  // Paused, then back again: still paused, at the new time, the stems quiet.
  run.Act(InGameAction::kTogglePause);
  ASSERT_TRUE(Session().ingame.paused);
  EXPECT_FALSE(StemsPlaying());
  run.Act(InGameAction::kSkipBack);
  ExpectThreadsFree();
  EXPECT_TRUE(Session().ingame.paused);
  EXPECT_FALSE(StemsPlaying());
  const double held = LevelSongTime();
  EXPECT_LT(held, 50.0);
  for (int i = 0; i < 20; ++i) run.Frame();
  EXPECT_DOUBLE_EQ(LevelSongTime(), held);
  run.Act(InGameAction::kTogglePause);
  EXPECT_FALSE(Session().ingame.paused);
  EXPECT_TRUE(StemsPlaying());
  ASSERT_TRUE(run.PlayUntil(1000.0));

  // Less than ten seconds before the end, skipping forward lands on the end: the next
  // frame ends the song.
  run.Act(InGameAction::kSkipForward);
  ExpectThreadsFree();
  EXPECT_FALSE(Session().ingame.songFinished);
  run.Frame();
  EXPECT_TRUE(Session().ingame.songFinished);
  run.Act(InGameAction::kQuit);
  ExpectThreadsFree();
  EXPECT_EQ(LiveVoiceCount(), 0u);
}

TEST_F(LevelFlowTest, WithMissAudioCutAStemFallsSilentFromAMissToTheNextHit) {
  ASSERT_TRUE(platform::audio::testing::UseLoopback(44100));
  SetSongStemsFactory(&devices::MakeSongAudioStems);
  g_Settings.mixer.MISSAUDIOCUT = true;
  // A guitar stem that is the song's only one always plays: a backing stem beside it.
  songs[0].folder = WriteSongFolder(dir, "Song", ReferenceChart(), 10.0, "", true);
  ChartBot bot;
  OnePlayer(&bot);
  SetupLevel(true);
  PrepareSongStart();
  SongAudio* audio = Session().CurrentAudio();
  ASSERT_NE(audio, nullptr);
  const CAudio& guitar = audio->stems[2];
  ASSERT_NE(guitar.sourceVoice, nullptr);
  const float full = guitar.baseVolume;
  ASSERT_GT(full, 0.0f);
  Player& p = Level().players[0];
  UpdateGameplay();
  EXPECT_FLOAT_EQ(guitar.appliedVolume, full);  // audible until the first miss
  p.score().misses += 1;
  UpdateGameplay();
  EXPECT_FLOAT_EQ(guitar.appliedVolume, 0.0f);
  UpdateGameplay();
  EXPECT_FLOAT_EQ(guitar.appliedVolume, 0.0f);  // and between the frames after it
  p.laneHit[1] = true;  // a hit in the frame before
  UpdateGameplay();
  EXPECT_FLOAT_EQ(guitar.appliedVolume, full);
  UpdateGameplay();
  EXPECT_FLOAT_EQ(guitar.appliedVolume, full);

  ResetLevelState();
  songs[0].audio.reset();
  EXPECT_TRUE(platform::audio::testing::UseDefaultDevice());
}

TEST_F(LevelFlowTest, WithMissAudioCutAMissedDrumPieceSilencesOnlyItsOwnStem) {
  ASSERT_TRUE(platform::audio::testing::UseLoopback(44100));
  SetSongStemsFactory(&devices::MakeSongAudioStems);
  g_Settings.mixer.MISSAUDIOCUT = true;
  g_Settings.mixer.DRUMPLAYALONG = false;
  songs[0].folder = WriteSongFolder(dir, "Drums", ReferenceChart(), 10.0, "", true);
  // The kit split in four: kick, snare, toms and cymbals.
  std::string ogg;
  ASSERT_TRUE(platform::ReadWholeFile(dir.Path("Drums/guitar.ogg"), ogg));
  for (const char* stem : {"drums_1.ogg", "drums_2.ogg", "drums_3.ogg", "drums_4.ogg"})
    dir.WriteBytes(std::string("Drums/") + stem, ogg);
  ChartBot bot;
  OnePlayer(&bot, 0);
  SetupLevel(true);
  PrepareSongStart();
  SongAudio* audio = Session().CurrentAudio();
  ASSERT_NE(audio, nullptr);
  ASSERT_EQ(audio->drumSplitMode, 1);
  auto volume = [&](int slot) { return audio->stems[slot].appliedVolume; };
  const float full = audio->stems[8].baseVolume;
  ASSERT_GT(full, 0.0f);
  Player& p = Level().players[0];
  UpdateGameplay();
  for (int slot : {7, 8, 9, 10}) EXPECT_FLOAT_EQ(volume(slot), full) << slot;
  // A missed snare note: the snare stem alone falls silent, until a snare hit.
  p.score().misses += 1;
  p.pieceMissed[2] = true;
  UpdateGameplay();
  EXPECT_FLOAT_EQ(volume(8), 0.0f);
  for (int slot : {7, 9, 10}) EXPECT_FLOAT_EQ(volume(slot), full) << slot;
  p.laneHit[2] = true;
  p.pieceHit[1] = true;  // a kick hit does not bring the snare back
  UpdateGameplay();
  EXPECT_FLOAT_EQ(volume(8), 0.0f);
  p.pieceHit[2] = true;
  UpdateGameplay();
  EXPECT_FLOAT_EQ(volume(8), full);
  // A stray pad hit silences the whole kit.
  p.score().overhits += 1;
  UpdateGameplay();
  for (int slot : {7, 8, 9, 10}) EXPECT_FLOAT_EQ(volume(slot), 0.0f) << slot;

  ResetLevelState();
  songs[0].audio.reset();
  EXPECT_TRUE(platform::audio::testing::UseDefaultDevice());
}

// Levels built on the main thread from a song without audio, on a fake clock.
class LevelStartTest : public LevelFlowTest {
 protected:
  void Build(double firstNoteMs, int32_t delay = 0) {
    songs[0].folder =
        WriteSongFolder(dir, "Song", ReferenceChart(firstNoteMs), 0.0, "delay = " + std::to_string(delay) + "\n");
    OnePlayer(&bot);
    clock.clock.ms = 50000;
    SetupLevel(true);
  }
  platform::ScopedFakeClock clock;
  ChartBot bot;
};

TEST_F(LevelStartTest, CountInWhenTheFirstNoteComesWithinTwoSecondsCountingTheDelay) {
  struct Case {
    double firstNote;
    int32_t delay;
    bool practice;
    bool countIn;
  };
  const Case cases[] = {
      {2000.0, 0, false, false}, {1999.0, 0, false, true}, {1500.0, 600, false, false},
      {2000.0, -1, false, true}, {1000.0, 0, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.firstNote << " ms, delay " << c.delay << (c.practice ? ", practice" : ""));
    ResetLevelState();
    Session().ingame = InGameState();
    Session().practice = c.practice;
    Build(c.firstNote, c.delay);
    EXPECT_EQ(PrepareSongStart(), c.countIn);
    EXPECT_EQ(Session().ingame.countIn, c.countIn);
    EXPECT_EQ(Session().ingame.paused, c.countIn);
    if (!c.countIn) continue;
    EXPECT_EQ(Session().ingame.countDownEnd, clock.clock.ms + 3000);
    // The count-down holds the clock; its end starts the song at 0.
    clock.clock.AdvanceMs(2999);
    UpdateGameplay();
    EXPECT_TRUE(Session().ingame.paused);
    EXPECT_DOUBLE_EQ(LevelSongTime(), 0.0);
    clock.clock.AdvanceMs(1);
    UpdateGameplay();  // the end of the count-down raises the resume, carried out at once
    EXPECT_FALSE(Session().ingame.paused);
    EXPECT_FALSE(Session().ingame.countIn);
    clock.clock.AdvanceMs(500);
    UpdateGameplay();
    EXPECT_DOUBLE_EQ(LevelSongTime(), 500.0);
  }
}

TEST_F(LevelStartTest, QuitGoesToTheLobbyOnlineTheCalibrationMenuAfterCalibrationElseTheMainMenu) {
  RecordingNet net;
  struct Case {
    bool online;
    bool calibration;
    int32_t menu;
  };
  for (const Case& c : {Case{false, false, 1}, Case{true, false, 10}, Case{false, true, 4}}) {
    SCOPED_TRACE(c.menu);
    menus.menusShown.clear();
    net.sent.clear();
    Session().net = c.online ? &net : nullptr;
    songs[0].folder = WriteSongFolder(dir, "Song", ReferenceChart(), 0.0, c.calibration ? "vl_calibrator = 1\n" : "");
    OnePlayer(&bot);
    SetupLevel(true);
    Session().gameType = 3;
    Session().songIndex = 0;
    Session().ingame.calibrationStep = 1;
    QuitToMenus(true);
    EXPECT_EQ(menus.menusShown, std::vector<int32_t>{c.menu});
    EXPECT_EQ(shell::GameState.load(), 1);
    EXPECT_EQ(Session().gameType, 0);
    EXPECT_EQ(Session().ingame.calibrationStep, 0);
    EXPECT_EQ(net.Codes(), c.online ? std::vector<int32_t>{26} : std::vector<int32_t>{});
  }
}

TEST_F(LevelStartTest, SeekBackInPracticeResetsTheScoreKeepsTheSpeedAndSkipsTheFirstSecond) {
  Session().practice = true;
  Build(2000.0);
  PrepareSongStart();
  // Slower by two steps of 0.05.
  Player& p = Level().players[0];
  for (int i = 0; i < 2; ++i) {
    p.menuRequest = true;
    p.menuRequestCode = 2;
    UpdateGameplay();
  }
  EXPECT_DOUBLE_EQ(Level().clock->speed, 0.9);
  EXPECT_EQ(sfx.Count(108), 2);
  clock.clock.AdvanceMs(5000);
  UpdateGameplay();
  EXPECT_NEAR(LevelSongTime(), 4500.0, 1e-6);

  SeekSong(2500.0);
  EXPECT_DOUBLE_EQ(Level().clock->speed, 0.9);  // the rebuild set 1.0 again
  EXPECT_DOUBLE_EQ(LevelSongTime(), 2500.0);
  EXPECT_EQ(Level().players[0].score().hits, 0);
  // The notes of the second after the target are gone: the first left is at 3500.
  float first = 1e9f;
  for (const NoteRecord& n : Level().players[0].track.notes) {
    if (n.active) first = std::min(first, n.time);
  }
  EXPECT_FLOAT_EQ(first, 3500.0f);
  // Practice songs never end by themselves.
  clock.clock.AdvanceMs(60000);
  UpdateGameplay();
  EXPECT_FALSE(Session().ingame.songFinished);
}

TEST_F(LevelStartTest, NextSongLoadsTheNextChartOfTheSetListAndTheLastGoesBackToTheMenus) {
  songs[0].folder = WriteSongFolder(dir, "One", ReferenceChart(2000.0), 0.0);
  songs[1].folder = WriteSongFolder(dir, "Two", ReferenceChart(3000.0), 0.0);
  Session().songCount = 2;
  OnePlayer(&bot);
  SetupLevel(true);
  PrepareSongStart();
  auto firstNote = [] {
    float first = 1e9f;
    for (const NoteRecord& n : Level().players[0].track.notes) {
      if (n.active) first = std::min(first, n.time);
    }
    return first;
  };
  EXPECT_FLOAT_EQ(firstNote(), 2000.0f);
  Session().ingame.actionPending = true;
  Session().ingame.action = InGameAction::kNextSong;
  UpdateGameplay();
  EXPECT_EQ(Session().songIndex, 1);
  EXPECT_EQ(songs[0].chart, nullptr);  // the set list's charts are freed
  ASSERT_NE(songs[1].chart, nullptr);
  EXPECT_FLOAT_EQ(firstNote(), 3000.0f);
  EXPECT_EQ(shell::GameState.load(), 2);
  Session().ingame.actionPending = true;
  Session().ingame.action = InGameAction::kNextSong;
  UpdateGameplay();
  EXPECT_EQ(shell::GameState.load(), 1);
  EXPECT_EQ(Session().songIndex, 0);
  EXPECT_EQ(songs[1].chart, nullptr);
}

TEST_F(LevelStartTest, TheEffectVoicesFadeOnEveryFrameOfPlay) {
  Build(5000.0);  // no count-in
  PrepareSongStart();
  const int32_t before = sfx.updates;
  for (int i = 0; i < 3; ++i) {
    clock.clock.AdvanceMs(16);
    UpdateGameplay();
  }
  EXPECT_EQ(sfx.updates - before, 3);
}

TEST_F(LevelStartTest, APauseStopsTheClockOfflineButNotOnline) {
  RecordingNet net;
  for (bool online : {false, true}) {
    SCOPED_TRACE(online ? "online" : "offline");
    ResetLevelState();
    Session().ingame = InGameState();
    Session().net = online ? &net : nullptr;
    Build(2000.0);
    PrepareSongStart();
    clock.clock.AdvanceMs(1000);
    UpdateGameplay();
    bot.pauseOnce = true;
    clock.clock.AdvanceMs(10);
    UpdateGameplay();  // the pause button
    EXPECT_TRUE(Session().ingame.paused);
    const double paused = LevelSongTime();
    clock.clock.AdvanceMs(3000);
    UpdateGameplay();
    EXPECT_DOUBLE_EQ(LevelSongTime(), online ? paused + 3000.0 : paused);
    // Resume: the paused time is not counted.
    Session().ingame.actionPending = true;
    Session().ingame.action = InGameAction::kResume;
    UpdateGameplay();
    EXPECT_FALSE(Session().ingame.paused);
    clock.clock.AdvanceMs(100);
    UpdateGameplay();
    EXPECT_DOUBLE_EQ(LevelSongTime(), online ? paused + 3100.0 : paused + 100.0);
  }
}

TEST_F(LevelStartTest, WithoutAPauseMenuThePauseButtonCountsDownToResumeAndBackQuits) {
  Build(2000.0);
  PrepareSongStart();
  clock.clock.AdvanceMs(1000);
  UpdateGameplay();
  bot.pauseOnce = true;
  clock.clock.AdvanceMs(10);
  UpdateGameplay();
  ASSERT_TRUE(Session().ingame.paused);
  const double paused = LevelSongTime();
  clock.clock.AdvanceMs(2000);
  UpdateGameplay();
  EXPECT_TRUE(Session().ingame.paused);
  EXPECT_FALSE(Session().ingame.countDownShown);
  // Pressed again: a count-down, the song still held while it runs.
  bot.pauseOnce = true;
  clock.clock.AdvanceMs(10);
  UpdateGameplay();
  EXPECT_TRUE(Session().ingame.countDownShown);
  clock.clock.AdvanceMs(1500);
  UpdateGameplay();
  EXPECT_TRUE(Session().ingame.paused);
  EXPECT_DOUBLE_EQ(LevelSongTime(), paused);
  // A third press stops the count-down; a fourth starts it again, and it runs out.
  bot.pauseOnce = true;
  UpdateGameplay();
  EXPECT_FALSE(Session().ingame.countDownShown);
  bot.pauseOnce = true;
  UpdateGameplay();
  ASSERT_TRUE(Session().ingame.countDownShown);
  clock.clock.AdvanceMs(3100);
  UpdateGameplay();  // the count-down ends: resume
  UpdateGameplay();
  EXPECT_FALSE(Session().ingame.paused);
  clock.clock.AdvanceMs(100);
  UpdateGameplay();
  EXPECT_GT(LevelSongTime(), paused);
  // Paused again, back leaves the song for the menus.
  bot.pauseOnce = true;
  UpdateGameplay();
  ASSERT_TRUE(Session().ingame.paused);
  bot.pressOnce = 2;  // back
  UpdateGameplay();
  UpdateGameplay();
  EXPECT_EQ(shell::GameState.load(), 1);
}

TEST_F(LevelStartTest, ASpectatingMachinePausesFromAnyController) {
  LevelSession& s = Session();
  s.rosterCount = 1;
  s.roster[0] = LevelSlot();
  s.roster[0].remote = true;
  songs[0].folder = WriteSongFolder(dir, "Song", ReferenceChart(), 0.0);
  SetupLevel(true);
  ASSERT_TRUE(Level().allRemote);
  PrepareSongStart();
  bool pressed = false;
  s.spectatorPausePressed = [&pressed] { return pressed; };
  UpdateGameplay();
  EXPECT_FALSE(s.ingame.paused);
  pressed = true;
  UpdateGameplay();
  EXPECT_TRUE(s.ingame.paused);
  EXPECT_EQ(sfx.Count(97), 1);
}

TEST_F(LevelStartTest, ASeekBackOutsidePracticeNeverArmsACountIn) {
  Build(1000.0);  // the first note needs a count-in
  ASSERT_TRUE(PrepareSongStart());
  clock.clock.AdvanceMs(3000);
  UpdateGameplay();  // the count-down ends and the song starts
  ASSERT_FALSE(Session().ingame.paused);
  clock.clock.AdvanceMs(5000);
  UpdateGameplay();
  ASSERT_DOUBLE_EQ(LevelSongTime(), 5000.0);
  SeekSong(2000.0);  // back: the level is rebuilt, and must not wait for a count-down
  EXPECT_FALSE(Session().ingame.countIn);
  EXPECT_FALSE(Session().ingame.paused);
  EXPECT_DOUBLE_EQ(LevelSongTime(), 2000.0);
  clock.clock.AdvanceMs(3000);
  UpdateGameplay();
  EXPECT_DOUBLE_EQ(LevelSongTime(), 5000.0);
}

TEST_F(LevelStartTest, PracticeSpeedStepsStopAtTwoAndAboveZero) {
  Session().practice = true;
  Build(2000.0);
  PrepareSongStart();
  Player& p = Level().players[0];
  auto request = [&](int32_t code, int times) {
    for (int i = 0; i < times; ++i) {
      p.menuRequest = true;
      p.menuRequestCode = code;
      UpdateGameplay();
    }
  };
  request(3, 20);  // 1.0 -> 2.0 in exact steps, the rest refused
  EXPECT_DOUBLE_EQ(Level().clock->speed, 2.0);
  EXPECT_EQ(sfx.Count(107), 20);
  request(3, 1);
  EXPECT_EQ(sfx.Count(109), 1);
  request(2, 60);  // down to 0.05; a speed of 0 would stop the song
  EXPECT_DOUBLE_EQ(Level().clock->speed, 0.05);
  EXPECT_EQ(sfx.Count(109), 1 + 21);
}

}  // namespace
