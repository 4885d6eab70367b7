// Level set-up on the main thread: what each player is given, the order of the
// steps, the partial reload, songs without audio, the calibration song and revives.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>

#include "core/shell/shell_state.h"
#include "platform/clock.h"
#include "tests/game/level_test_harness.h"
#include "tests/support/midi_builder.h"

namespace {

using namespace leveltest;

class FakeDevice : public LevelController {
 public:
  FakeDevice(bool keyboard, int32_t lanes) : keyboard_(keyboard), lanes_(lanes) {
    isKeyboard = [this]() { return IsKeyboard(); };
    detectedDrumLanes = [this]() { return DetectedDrumLanes(); };
    clearEvents = [this]() { return ClearEvents(); };
  }
  bool IsKeyboard() const { return keyboard_; }
  int32_t DetectedDrumLanes() const { return lanes_; }
  void ClearEvents() { ++clears; }
  int32_t clears = 0;

 private:
  bool keyboard_;
  int32_t lanes_;
};

class RecordingVisuals : public LevelVisuals {
 public:
  RecordingVisuals() {
    loadReactive = [this](const std::string& name, const std::u16string& a1) { return LoadReactive(name, a1); };
    resetCameras = [this]() { return ResetCameras(); };
  }
  void LoadReactive(const std::string& name, const std::u16string&) { reactive.push_back(name); }
  void ResetCameras() { ++cameraResets; }
  std::vector<std::string> reactive;
  int32_t cameraResets = 0;
};

std::string ChartWithSections() {
  testsupport::MidiFileBuilder midi(480);
  midi.Track("tempo").Tempo(0, 500000).TimeSignature(0, 4, 2);
  midi.Track("PART GUITAR").Note(1920, 96, 60).Note(2400, 97, 60);
  midi.Track("PART DRUMS").Note(1920, 96, 60).Note(1920, 97, 60);
  midi.Track("EVENTS").Text(0, "[section intro]").Text(1920, "[section verse]");
  return midi.Build();
}


// A controller that hands over the events queued on it and remembers the lefty
// layout the level asked of it.
class ScriptedPad : public LevelController {
 public:
  explicit ScriptedPad(int32_t lanes) {
    getEvents = [this](InputEvent* events, int32_t& count) {
      count = 0;
      for (const InputEvent& e : queue) events[count++] = e;
      queue.clear();
      return count > 0;
    };
    detectedDrumLanes = [lanes] { return lanes; };
    setLefty = [this](bool on) { lefty = on ? 1 : 0; };
  }
  void Push(uint32_t id, int32_t value = 128) {
    InputEvent e;
    e.id = id;
    e.pressed = value != 0;
    e.value = value;
    queue.push_back(e);
  }
  std::vector<InputEvent> queue;
  int32_t lefty = -1;  // -1: never asked
};

// Every part far from its one note at 10 s: presses before it fall in a break and
// sound freely, which shows the lane and the sound each press reached.
std::string ChartForOptions() {
  testsupport::MidiFileBuilder midi(480);
  midi.Track("tempo").Tempo(0, 500000).TimeSignature(0, 4, 2);
  for (const char* part : {"PART GUITAR", "PART DRUMS", "PART KEYS", "PART REAL_DRUMS_VL", "PART REAL_GUITAR",
                           "PART REAL_KEYS_VL_X"})
    midi.Track(part).Note(9600, 96, 60);
  return midi.Build();
}

class LevelSetupTest : public ::testing::Test, public LevelTestBase {
 protected:
  LevelSetupTest() {
    songs[0].folder = WriteSongFolder(dir, "Song", ChartWithSections(), 0.0, "song_length = 45000\n");
    Session().visuals = &visuals;
  }

  LevelSlot& Slot(int32_t i, int32_t kind, int32_t difficulty = 3) {
    LevelSlot& s = Session().roster[static_cast<size_t>(i)];
    s = LevelSlot();
    s.kind = kind;
    s.difficulty = difficulty;
    s.controller = &pad;
    Session().rosterCount = std::max(Session().rosterCount, i + 1);
    return s;
  }
  Player& P(int32_t i) { return Level().players[static_cast<size_t>(i)]; }

  FakeDevice pad{false, 5};
  FakeDevice keyboard{true, 4};
  RecordingVisuals visuals;
  RecordingNet net;
  platform::ScopedFakeClock clock;
};

TEST_F(LevelSetupTest, NoFailFollowsTheSettingThePracticeAndTheKindButNeverOnlineOrInACareer) {
  struct Case {
    int32_t mode;
    bool practice, online, career;
    int32_t kind;
    bool noFail;
  };
  const Case cases[] = {
      {0, false, false, false, 2, false}, {1, false, false, false, 2, true},  {2, false, false, false, 2, false},
      {2, false, false, false, 5, true},  {2, false, false, false, 14, true}, {0, true, false, false, 2, true},
      {1, false, true, false, 2, false},  {1, true, true, false, 2, false},   {1, false, false, true, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "NOFAILMODE " << c.mode << " kind " << c.kind << (c.practice ? " practice" : "")
                                    << (c.online ? " online" : "") << (c.career ? " career" : ""));
    g_Settings.NOFAILMODE = c.mode;
    Session().practice = c.practice;
    Session().net = c.online ? &net : nullptr;
    Session().career = c.career;
    Session().careerSlot.kind = c.kind;
    Session().careerSlot.difficulty = 3;
    Session().careerSlot.remote = true;  // a career player is never remote
    Slot(0, c.kind).remote = false;
    SetupLevel(true);
    ASSERT_EQ(Level().playerCount, 1);
    EXPECT_EQ(P(0).score().noFail, c.noFail);
    EXPECT_FALSE(P(0).remote);
  }
}

TEST_F(LevelSetupTest, LaneCountAndHitWindowByKindDeviceAndDifficulty) {
  Profile fourLanes;
  fourLanes.LEGACYDRUMLANECOUNT = 4;
  g_Settings.KEYBOARDDRUMLANECOUNT = 4;
  g_Settings.DRUNK = true;
  struct Case {
    const char* name;
    int32_t kind, difficulty;
    LevelController* device;
    Profile* profile;
    int32_t lanes;
    double window;
  };
  const Case cases[] = {
      {"drums on a five-lane kit", 0, 3, &pad, nullptr, 5, 170.0},
      {"drums on the keyboard", 0, 3, &keyboard, nullptr, 4, 170.0},
      {"drums with a profile count", 0, 3, &pad, &fourLanes, 4, 170.0},
      {"pro drums", 5, 3, &pad, nullptr, 7, 170.0},
      {"real drums", 13, 3, &pad, nullptr, 7, 170.0},
      {"pro guitar", 7, 3, &pad, nullptr, 6, 170.0},
      {"real keys", 14, 3, &pad, nullptr, 88, 170.0},
      {"dance", 12, 3, &pad, nullptr, 4, 170.0},
      {"vocals", 4, 3, &pad, nullptr, 49, 170.0},
      {"guitar expert plus, drunk or not", 2, 4, &pad, nullptr, 5, 55.0},
      {"bass expert plus", 1, 4, &pad, nullptr, 5, 55.0},
      {"keys expert plus keep the wide window", 3, 4, &pad, nullptr, 5, 170.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LevelSlot& s = Slot(0, c.kind, c.difficulty);
    s.controller = c.device;
    s.profile = c.profile;
    SetupLevel(true);
    EXPECT_EQ(P(0).laneCount, c.lanes);
    EXPECT_DOUBLE_EQ(P(0).hitWindow, c.window);
  }
  // Online and in a career the drunk window is not given.
  g_Settings.DRUNK = true;
  Session().net = &net;
  Slot(0, 2, 3);
  SetupLevel(true);
  EXPECT_DOUBLE_EQ(P(0).hitWindow, 85.0);
  // A remote drummer online plays on the lanes of its own profile.
  LevelSlot& remote = Slot(0, 0, 3);
  remote.remote = true;
  remote.remoteFiveLaneDrums = false;
  SetupLevel(true);
  EXPECT_EQ(P(0).laneCount, 4);
}

TEST_F(LevelSetupTest, StepsRunInOrderAndFillTheLevel) {
  Slot(0, 2);
  Slot(1, 0);
  SetupLevel(true);
  const std::vector<std::string> expected = {
      "Setup Level Start", "Loading Song Info", "Loading Scores", "Loading Audio",   "Loading Background",
      "Loading MIDI",      "Event Check",       "Creating Players", "Configuring Players", "Creating Board:0",
      "Creating Board:1",  "Players Created",   "First Audio Update"};
  const auto log = dir.GameLogTexts();
  auto at = log.begin();
  for (const std::string& line : expected) {
    at = std::find(at, log.end(), line);
    ASSERT_NE(at, log.end()) << "missing or out of order: " << line;
  }
  LevelState& level = Level();
  ASSERT_EQ(level.playerCount, 2);
  EXPECT_EQ(P(0).score().noteCount, 2);
  EXPECT_EQ(P(1).score().noteCount, 2);
  ASSERT_NE(level.rating, nullptr);
  EXPECT_FLOAT_EQ(level.rating->totalBaseScore, P(0).chartScore.baseScore[3] + P(1).chartScore.baseScore[3]);
  EXPECT_GT(level.rating->totalBaseScore, 0.0f);
  EXPECT_FALSE(level.allRemote);
  EXPECT_EQ(visuals.cameraResets, 1);
  // The practice state and sections for a full load.
  const InGameState& ui = Session().ingame;
  ASSERT_EQ(ui.sectionCount, 2);
  EXPECT_EQ(ui.sections[1].name, "verse");
  EXPECT_FLOAT_EQ(ui.sections[1].timeMs, 2000.0f);
  EXPECT_TRUE(ui.rangeFlag);
  EXPECT_DOUBLE_EQ(ui.rangeEnd, 46000.0);
  // last_play went into song.ini.
  EXPECT_FALSE(IniValue(songs[0].folder, "last_play").empty());
}

TEST_F(LevelSetupTest, APartialReloadInPracticeKeepsChartBackgroundAndSections) {
  Session().practice = true;
  Slot(0, 2);
  SetupLevel(true);
  const MidiFile* chart = songs[0].chart.get();
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(visuals.reactive, std::vector<std::string>{"game_practice_background"});
  Session().ingame.sections[0].name = "kept";
  TeardownLevel(false);
  SetupLevel(false);
  EXPECT_EQ(songs[0].chart.get(), chart);
  EXPECT_EQ(visuals.reactive.size(), 1u);
  EXPECT_EQ(Session().ingame.sections[0].name, "kept");
  EXPECT_EQ(P(0).score().noteCount, 2);
}

TEST_F(LevelSetupTest, ASongWithoutAudioKeepsItsLengthAndEndsOnIt) {
  Slot(0, 2);
  SetupLevel(true);
  EXPECT_EQ(IniValue(songs[0].folder, "song_length"), "45000");  // not overwritten with 0
  EXPECT_DOUBLE_EQ(LevelSongLengthSeconds(), 45.0);
  PrepareSongStart();
  UpdateGameplay();
  EXPECT_FALSE(Session().ingame.songFinished);  // no audio is no reason to end at once
  clock.clock.AdvanceMs(44990);
  UpdateGameplay();
  EXPECT_FALSE(Session().ingame.songFinished);
  clock.clock.AdvanceMs(10);
  UpdateGameplay();
  EXPECT_TRUE(Session().ingame.songFinished);
  EXPECT_EQ(IniValue(songs[0].folder, "count"), "1");

  // Without a length anywhere: the end of the chart and three seconds.
  ResetLevelState();
  Session().ingame = InGameState();
  songs[0].folder = WriteSongFolder(dir, "Bare", ChartWithSections(), 0.0);
  SetupLevel(true);
  EXPECT_NEAR(LevelSongLengthSeconds(), (2000.0 + 500.0 + 62.5 + 3000.0) / 1000.0, 1e-3);
}

TEST_F(LevelSetupTest, CalibrationSetsTheAudioThenTheVideoDelayAndAPassWithoutHitsChangesNothing) {
  songs[0].folder = WriteSongFolder(dir, "Calibration", ChartWithSections(), 0.0, "vl_calibrator = 1\n");
  Slot(0, 2);
  g_Settings.AUDIOCALIBRATION = 45;
  g_Settings.VIDEOCALIBRATION = 0;
  SetupLevel(true);
  EXPECT_TRUE(P(0).score().noFail);  // every player of the calibration song
  PrepareSongStart();
  auto finishPass = [&](double sum, int32_t count) {
    P(0).hitDelaySum = sum;
    P(0).hitDelayCount = count;
    Session().ingame.actionPending = true;
    Session().ingame.action = InGameAction::kNextSong;
    UpdateGameplay();
  };

  // No hit at all: nothing to measure, nothing saved, the pass is played again.
  std::filesystem::remove(dir.Path("settings/config.ini"));
  finishPass(0.0, 0);
  EXPECT_EQ(g_Settings.AUDIOCALIBRATION, 45);
  EXPECT_FALSE(std::filesystem::exists(dir.Path("settings/config.ini")));
  EXPECT_EQ(Session().ingame.calibrationStep, 0);
  EXPECT_EQ(shell::GameState.load(), 2);

  finishPass(10 * 75.0 + 5.0, 10);  // mean 75.5: floor 75
  EXPECT_EQ(g_Settings.AUDIOCALIBRATION, 75);
  EXPECT_TRUE(std::filesystem::exists(dir.Path("settings/config.ini")));
  EXPECT_EQ(Session().ingame.calibrationStep, 1);
  EXPECT_EQ(shell::GameState.load(), 2);  // played again, audio muted
  EXPECT_EQ(P(0).hitDelayCount, 0);

  finishPass(10 * 95.0, 10);
  EXPECT_EQ(g_Settings.VIDEOCALIBRATION, 20);
  EXPECT_EQ(Session().ingame.calibrationStep, 0);
  EXPECT_EQ(shell::GameState.load(), 1);  // done: back to the calibration menu
  EXPECT_EQ(menus.menusShown, std::vector<int32_t>{4});
}

TEST_F(LevelSetupTest, AnEnergyActivationRevivesFailedPlayersThatHaveRevivesLeft) {
  Slot(0, 2);
  Slot(1, 2);
  Slot(2, 2);
  SetupLevel(true);
  PrepareSongStart();
  ASSERT_EQ(P(1).revivesLeft, 3);
  P(1).score().failed = true;
  P(1).score().rockMeter = 0.0f;
  P(1).score().multiplier = 3;
  P(2).score().failed = true;
  P(2).revivesLeft = 0;
  P(0).reviveRequest = true;
  const int32_t clears = pad.clears;
  UpdateGameplay();
  EXPECT_FALSE(P(0).reviveRequest);
  EXPECT_FALSE(P(1).failed());
  EXPECT_FLOAT_EQ(P(1).score().rockMeter, 75.0f);
  EXPECT_EQ(P(1).score().multiplier, 1);
  EXPECT_EQ(P(1).revivesLeft, 2);
  EXPECT_EQ(P(1).score().graceCount, 1);
  EXPECT_EQ(P(1).score().graceUntil, clock.clock.ms + 2000);
  EXPECT_GT(pad.clears, clears);
  EXPECT_TRUE(P(2).failed());  // no revives left
}

// Each option the profile or the song holds reaches the player and changes what a
// press does: the same presses are played with the defaults and with the option.
TEST_F(LevelSetupTest, EveryProfileAndSongOptionChangesPlay) {
  struct Press {
    uint32_t id;
    int32_t value;
  };
  struct Case {
    const char* name;
    int32_t kind;
    std::function<void(Profile&)> profile;  // on a default profile
    std::string ini;                        // added to song.ini
    std::vector<Press> presses;             // in a break, 1 s into the song
    std::function<int32_t(const Player&, const RecordingSfx&)> observe;
    int32_t withDefaults, withOption;
  };
  auto sounds = [](int32_t id) {
    return [id](const Player&, const RecordingSfx& s) { return s.Count(id); };
  };
  const std::vector<Case> cases = {
      // Keys: C# is no lane in the default layout, lane 2 (the D key's sound) in layout 1.
      {"key layout", 3, [](Profile& p) { p.LEGACYKEYSFINGERLAYOUT = 1; }, "", {{100 + 61, 128}},
       sounds(180 + 42), 0, 1},
      // A real guitar on a legacy chart strums only on string 2, above 100.
      {"strum string and cut-off", 2,
       [](Profile& p) {
         p.REALGUITARLEGACYSTRINGFILTER = 2;
         p.REALGUITARLEGACYCUTOFF = 100;
       },
       "", {{1, 128}, {35, 127}, {36, 90}, {36, 110}}, sounds(121), 3, 1},
      // Ride and crash traded: the green pad of real drums sounds the blue piece.
      {"drum swap", 13, [](Profile& p) { p.RIDECRASHFLIP = 1; }, "", {{1, 128}}, sounds(7), 0, 1},
      // The song's kit: the red pad of kit 3 is 22 + 1.
      {"drum kit", 0, nullptr, "kit_type = 3\n", {{2, 128}}, sounds(23), 0, 1},
      // The song's guitar tone: the second bank starts at 135.
      {"guitar sound", 2, nullptr, "guitar_type = 2\n", {{1, 128}, {12, 128}}, sounds(136), 0, 1},
      // Real drums lanes laid out alternately (the profile's default flips them too).
      {"drum board layout", 13, [](Profile& p) { p.REALDRUMLAYOUT = 1; }, "", {},
       [](const Player& p, const RecordingSfx&) { return p.track.boardOption; }, 2, 1},
      // Real keys: how many keys each hand's window shows.
      {"keys lane count", 14, [](Profile& p) { p.REALKEYSLANECOUNT = 30; }, "", {},
       [](const Player& p, const RecordingSfx&) { return p.track.visibleKeys[0] * 100 + p.track.visibleKeys[1]; },
       1818, 3030},
  };
  for (const Case& c : cases) {
    for (const bool withOption : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (withOption ? " with the option" : " with defaults"));
      songs[0].FreeParts();
      songs[0].folder = WriteSongFolder(dir, std::string("Options ") + (withOption ? "on" : "off"), ChartForOptions(),
                                        0.0, withOption ? c.ini : std::string());
      Profile profile;
      // The guest's defaults as they are, the option on top.
      if (withOption && c.profile) c.profile(profile);
      ScriptedPad scripted(5);
      LevelSlot& s = Slot(0, c.kind);
      s.profile = &profile;
      s.controller = &scripted;
      sfx.played.clear();
      SetupLevel(true);
      ASSERT_EQ(Level().playerCount, 1);
      Player& p = P(0);
      clock.clock.ms = 0;
      p.Update(true, false, 0.0, 1.0f);
      for (const Press& press : c.presses) scripted.Push(press.id, press.value);
      clock.clock.ms = 1000;
      p.Update(true, false, 1000.0, 1.0f);
      EXPECT_EQ(c.observe(p, sfx), withOption ? c.withOption : c.withDefaults);
    }
  }
}

// The flags the level sets outside the player: the drum stems' play-along, the
// controller's left-handed pads and the song's drum layout.
TEST_F(LevelSetupTest, DrumPlayAlongLeftyAndDrumLayoutFlagsAreSet) {
  Profile lefty;
  lefty.LEFTYDRUMS = true;
  ScriptedPad scripted(5);
  struct Case {
    const char* name;
    int32_t kind;
    bool remote;
    bool drumPlayer;
    int32_t padLefty;
  };
  for (const Case& c : {Case{"a local drummer", 0, false, true, 1}, Case{"a guitarist", 2, false, false, 0},
                        Case{"a real drummer", 13, false, true, 1}}) {
    SCOPED_TRACE(c.name);
    g_Settings.mixer.drumPlayer = !c.drumPlayer;  // whatever an earlier song left
    LevelSlot& s = Slot(0, c.kind);
    s.profile = &lefty;
    s.controller = &scripted;
    scripted.lefty = -1;
    SetupLevel(true);
    EXPECT_EQ(g_Settings.mixer.drumPlayer, c.drumPlayer);
    EXPECT_EQ(scripted.lefty, c.padLefty);
  }

  // A five-lane song puts its fifth drum note on lane 5 and its sixth on lane 1.
  for (const bool fiveLane : {false, true}) {
    SCOPED_TRACE(fiveLane ? "five-lane song" : "four-lane song");
    testsupport::MidiFileBuilder midi(480);
    midi.Track("tempo").Tempo(0, 500000).TimeSignature(0, 4, 2);
    midi.Track("PART DRUMS").Note(960, 100, 60);  // expert, fifth note, at 1 s
    songs[0].FreeParts();
    songs[0].folder = WriteSongFolder(dir, fiveLane ? "Five" : "Four", midi.Build(), 0.0,
                                      fiveLane ? "five_lane_drums = True\n" : "");
    LevelSlot& s = Slot(0, 0);
    s.profile = nullptr;
    s.controller = &scripted;
    SetupLevel(true);
    Player& p = P(0);
    ASSERT_EQ(p.laneCount, 5);
    clock.clock.ms = 0;
    p.Update(true, false, 0.0, 1.0f);
    scripted.Push(5);  // the orange pad: lane 5
    clock.clock.ms = 1000;
    p.Update(true, false, 1000.0, 1.0f);
    EXPECT_EQ(p.score().hits, fiveLane ? 1 : 0);
  }
}

TEST_F(LevelSetupTest, SongOptionsReachEveryTrackOfTheChart) {
  songs[0].folder = WriteSongFolder(dir, "Options", ChartWithSections(), 0.0,
                                    "multiplier_note = 103\ndrum_fallback_blue = True\nreal_keys_lane_count_left = 7\n");
  Slot(0, 2);
  SetupLevel(true);
  const MidiFile& chart = *songs[0].chart;
  for (int32_t i = 0; i < chart.header.trackCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(chart.tracks[static_cast<size_t>(i)].energyNote, 103);
    EXPECT_TRUE(chart.tracks[static_cast<size_t>(i)].drumFallbackBlue);
    EXPECT_FALSE(chart.tracks[static_cast<size_t>(i)].fiveLaneDrums);  // the song does not say so
    EXPECT_EQ(chart.tracks[static_cast<size_t>(i)].keysLaneCountLeft, 7);
  }
}

}  // namespace

namespace {

// Eight guitar notes on the beats from 2000 ms (120 beats per minute), lanes 1 to 3.
std::string CalibrationChart() {
  testsupport::MidiFileBuilder midi(480);
  midi.Track("tempo").Tempo(0, 500000).TimeSignature(0, 4, 2);
  testsupport::MidiTrackBuilder& part = midi.Track("PART GUITAR");
  for (int k = 0; k < 8; ++k) part.Note(1920 + 480 * k, 96 + (k % 3), 60);
  return midi.Build();
}

class CalibrationPressesTest : public LevelSetupTest {
 protected:
  CalibrationPressesTest() {
    pad.getEvents = [this](InputEvent* out, int32_t& count) {
      count = 0;
      while (!queue.empty() && count < Player::kMaxEvents) {
        out[count++] = queue.front();
        queue.pop_front();
      }
      return count > 0;
    };
  }
  void Push(uint32_t id, bool pressed) {
    InputEvent e;
    e.id = id;
    e.pressed = pressed;
    e.value = pressed ? 128 : 0;
    queue.push_back(e);
  }
  // Starts the pass (past a count-in), then plays it with fret and strum `offsetMs`
  // after every beat that carries a note, frame by frame on the fake clock, and
  // ends it the way the end screen does.
  void PlayPass(double offsetMs) {
    if (Session().ingame.countIn) {
      Session().ingame.actionPending = true;
      Session().ingame.action = InGameAction::kResume;
      UpdateGameplay();
    }
    const uint32_t start = clock.clock.ms;
    for (double t = 0.0; t <= 6000.0; t += 10.0) {
      clock.clock.ms = start + static_cast<uint32_t>(t);
      for (int k = 0; k < 8; ++k) {
        const double press = 2000.0 + 500.0 * k + offsetMs;
        const uint32_t lane = static_cast<uint32_t>(1 + k % 3);
        if (t == press) {
          Push(lane, true);
          Push(12, true);
        }
        if (t == press + 100.0) Push(lane, false);
      }
      UpdateGameplay();
    }
    Session().ingame.actionPending = true;
    Session().ingame.action = InGameAction::kNextSong;
    UpdateGameplay();
  }
  std::deque<InputEvent> queue;
};

TEST_F(CalibrationPressesTest, PressesAtAKnownOffsetFromTheBeatsAreSavedAsTheDelays) {
  songs[0].folder = WriteSongFolder(dir, "Calibrator", CalibrationChart(), 0.0,
                                    "song_length = 7000\nvl_calibrator = 1\n");
  Slot(0, 2);
  g_Settings.AUDIOCALIBRATION = 0;
  g_Settings.VIDEOCALIBRATION = 0;
  g_Settings.SYNCMETHOD = 0;
  SetupLevel(true);
  PrepareSongStart();

  // The audio pass: every press 30 ms late.
  PlayPass(30.0);
  EXPECT_EQ(g_Settings.AUDIOCALIBRATION, 30);
  ASSERT_EQ(Session().ingame.calibrationStep, 1);
  std::string config = dir.ReadUtf16("settings/config.ini");
  EXPECT_NE(config.find("AUDIOCALIBRATION = \"30\""), std::string::npos) << config;

  // The video pass: every press 50 ms late against the song, 20 ms beyond the audio delay.
  PlayPass(50.0);
  EXPECT_EQ(g_Settings.AUDIOCALIBRATION, 30);
  EXPECT_EQ(g_Settings.VIDEOCALIBRATION, 20);
  EXPECT_EQ(Session().ingame.calibrationStep, 0);
  config = dir.ReadUtf16("settings/config.ini");
  EXPECT_NE(config.find("VIDEOCALIBRATION = \"20\""), std::string::npos) << config;
}

}  // namespace
