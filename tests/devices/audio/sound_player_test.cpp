// The sound-effect player and its table, over the loopback device.
#include "devices/audio/sound_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/settings.h"
#include "core/utils.h"
#include "tests/devices/audio/audio_test_env.h"

namespace {

using audiotest::kRate;

// A mono 16-bit sound of `frames` frames whose samples all hold `value`.
std::string Sound(uint32_t frames, int16_t value = 1000, uint32_t rate = kRate) {
  testsupport::WavSpec s;
  s.rate = rate;
  s.data = testsupport::Pcm16Bytes(std::vector<int16_t>(frames, value));
  return testsupport::MakeWav(s);
}

class SoundPlayerTest : public audiotest::LoopbackTest {
 protected:
  void SetUp() override {
    LoopbackTest::SetUp();
    player_ = std::make_unique<SoundPlayer>();
    ASSERT_TRUE(player_->engine);
    dir_.WriteBytes("short.wav", Sound(1000));
    dir_.WriteBytes("long.wav", Sound(100000));
  }
  void TearDown() override {
    player_.reset();
    LoopbackTest::TearDown();
  }

  std::unique_ptr<SoundPlayer> player_;
};

TEST_F(SoundPlayerTest, HandlesCountUpAndUnplayableIdsGiveMinusOne) {
  ASSERT_TRUE(player_->LoadWave(5, u"short.wav"));
  EXPECT_EQ(player_->Play(5, 1.0f, 1.0f), 1);
  EXPECT_EQ(player_->Play(5, 1.0f, 1.0f), 2);
  for (uint32_t id : {6u, 66u, 317u, 318u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(player_->Play(id, 1.0f, 1.0f), -1);
  }
  EXPECT_EQ(player_->Play(5, 1.0f, 1.0f), 3);  // failures take no handle
  EXPECT_FALSE(player_->FadeOut(-1, 100.0f));
  EXPECT_FALSE(player_->FadeOut(0, 100.0f));
  EXPECT_EQ(player_->loadCount.load(), 1);
}

TEST_F(SoundPlayerTest, PlaysTheSoundAtItsRatioAndVolume) {
  ASSERT_TRUE(player_->LoadWave(0, u"long.wav"));
  const int32_t handle = player_->Play(0, 1.5f, 0.5f);
  ASSERT_GT(handle, 0);
  const SfxVoice& v = player_->voices[0];
  EXPECT_EQ(v.playHandle, handle);
  EXPECT_FLOAT_EQ(v.frequencyRatio, 1.5f);
  std::vector<float> out = Render(2000);
  EXPECT_NEAR(out[2 * 1500], 0.5f * 1000 / 32768.0f, 1e-6);
  EXPECT_EQ(v.sourceVoice->GetState().samplesPlayed, 3000u);
  // The ratio is capped at 2.
  player_->Play(0, 3.0f, 1.0f);
  EXPECT_FLOAT_EQ(player_->voices[1].sourceVoice->GetFrequencyRatio(), 2.0f);
}

TEST_F(SoundPlayerTest, AllVoicesBusyStealsTheEarliestHandle) {
  ASSERT_TRUE(player_->LoadWave(1, u"long.wav"));
  for (int i = 1; i <= SoundPlayer::kVoiceCount; ++i) ASSERT_EQ(player_->Play(1, 1.0f, 1.0f), i);
  Render(100);
  const int32_t next = player_->Play(1, 1.0f, 1.0f);
  EXPECT_EQ(next, 51);
  EXPECT_EQ(player_->voices[0].playHandle, 51);
  EXPECT_FALSE(player_->FadeOut(1, 100.0f));
  EXPECT_TRUE(player_->FadeOut(2, 100.0f));
  EXPECT_TRUE(player_->FadeOut(51, 100.0f));
  EXPECT_EQ(player_->Play(1, 1.0f, 1.0f), 52);
  EXPECT_EQ(player_->voices[1].playHandle, 52);  // handle 2 was the oldest left
  EXPECT_EQ(platform::audio::testing::LiveVoiceCount(), 50u);
}

TEST_F(SoundPlayerTest, FinishedVoiceIsReclaimedOnlyAtTheNextPlay) {
  ASSERT_TRUE(player_->LoadWave(1, u"short.wav"));
  ASSERT_TRUE(player_->LoadWave(2, u"long.wav"));
  ASSERT_EQ(player_->Play(2, 1.0f, 1.0f), 1);  // voice 0, still playing
  ASSERT_EQ(player_->Play(1, 1.0f, 1.0f), 2);  // voice 1
  Render(500);
  ASSERT_EQ(player_->Play(1, 1.0f, 1.0f), 3);  // voice 1 still plays: voice 2
  EXPECT_EQ(player_->voices[2].playHandle, 3);
  Render(2000);  // both short sounds have played out
  EXPECT_TRUE(player_->voices[1].inUse);
  EXPECT_TRUE(player_->FadeOut(2, 10.0f));  // finished, not yet reclaimed: still found
  ASSERT_EQ(player_->Play(1, 1.0f, 1.0f), 4);
  EXPECT_EQ(player_->voices[1].playHandle, 4);
  EXPECT_FALSE(player_->voices[2].inUse);
  EXPECT_EQ(player_->voices[0].playHandle, 1);
  EXPECT_FALSE(player_->FadeOut(3, 10.0f));
}

TEST_F(SoundPlayerTest, FadeRunsFromFullVolumeToSilenceOnTheClock) {
  ASSERT_TRUE(player_->LoadWave(3, u"long.wav"));
  const int32_t handle = player_->Play(3, 1.0f, 0.3f);
  ASSERT_TRUE(player_->FadeOut(handle, 100.0f));
  const SfxVoice& v = player_->voices[0];
  const std::vector<std::pair<uint32_t, float>> steps = {{0, 1.0f}, {25, 0.75f}, {50, 0.5f}, {100, 0.0f}, {150, 0.0f}};
  uint32_t at = 0;
  for (const auto& [ms, volume] : steps) {
    clock_.clock.AdvanceMs(ms - at);
    at = ms;
    player_->Update();
    EXPECT_NEAR(v.sourceVoice->GetVolume(), volume, 1e-6) << ms << " ms";
  }
  EXPECT_FALSE(v.fading);
  // The silent voice keeps its place while its buffer plays.
  std::vector<float> out = Render(2000);
  EXPECT_EQ(out[2 * 1500], 0.0f);
  EXPECT_TRUE(v.inUse);
  EXPECT_TRUE(player_->FadeOut(handle, 100.0f));
}

TEST_F(SoundPlayerTest, MasterVolumeAppliesOnlyWhenChanged) {
  ASSERT_TRUE(player_->LoadWave(3, u"long.wav"));
  player_->Play(3, 1.0f, 1.0f);
  player_->masterVolume = 0.25f;
  player_->ApplyMasterVolume();
  EXPECT_FLOAT_EQ(player_->appliedMasterVolume, 0.25f);
  EXPECT_FLOAT_EQ(player_->engine->GetMasterVolume(), 0.25f);
  std::vector<float> out = Render(3000);
  EXPECT_NEAR(out[2 * 2500], 0.25f * 1000 / 32768.0f, 1e-6);
}

TEST_F(SoundPlayerTest, MissingOrBrokenFilesLogAndStayUnloaded) {
  std::string lying = Sound(100);
  lying.replace(8, 4, "AVI ");  // a RIFF file of another kind
  dir_.WriteBytes("lying.wav", lying);
  std::string cut = Sound(100);
  cut[43] = '\x7F';  // data size far beyond the file: a copy cut short still plays
  dir_.WriteBytes("cut.wav", cut);
  EXPECT_FALSE(player_->LoadWave(7, u"missing.wav"));
  EXPECT_FALSE(player_->LoadWave(8, u"lying.wav"));
  EXPECT_TRUE(player_->LoadWave(9, u"cut.wav"));
  EXPECT_FALSE(player_->slots[7].loaded);
  EXPECT_FALSE(player_->slots[8].loaded);
  EXPECT_TRUE(player_->slots[9].loaded);
  EXPECT_EQ(player_->Play(8, 1.0f, 1.0f), -1);
  const auto lines = dir_.GameLogTexts();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Could Not Open:missing.wav"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Could Not Open:lying.wav"), lines.end());
  EXPECT_EQ(player_->loadCount.load(), 3);
}

TEST_F(SoundPlayerTest, ThemeSoundFallsBackToTheDefaultThemeOnce) {
  dir_.WriteBytes("themes/default/static/sfx/a.wav", Sound(10));
  dir_.WriteBytes("themes/custom/static/sfx/b.wav", Sound(10));
  const std::string cwd = ToNarrow(GetCurrentFolder());

  EXPECT_TRUE(player_->LoadThemeSound(70, u"sfx/b.wav", u"themes/custom/"));  // own file
  EXPECT_EQ(player_->loadCount.load(), 1);
  EXPECT_TRUE(player_->LoadThemeSound(71, u"sfx/a.wav", u"themes/custom/"));  // from default
  EXPECT_EQ(player_->loadCount.load(), 2);
  EXPECT_FALSE(player_->LoadThemeSound(72, u"sfx/c.wav", u"themes/custom/"));  // nowhere: counted once
  EXPECT_EQ(player_->loadCount.load(), 3);
  EXPECT_FALSE(player_->LoadThemeSound(73, u"sfx/c.wav", u"themes/default/"));  // default itself: no retry
  EXPECT_EQ(player_->loadCount.load(), 3);
  EXPECT_TRUE(player_->slots[71].loaded);

  const std::vector<std::string> expected = {
      "Could Not Open:" + cwd + "/themes/custom/static/sfx/a.wav",
      "ERROR! Could Not Load SFX:" + cwd + "/themes/custom/static/sfx/a.wav",
      "Loading Default:" + cwd + "/themes/default/static/sfx/a.wav",
      "Could Not Open:" + cwd + "/themes/custom/static/sfx/c.wav",
      "ERROR! Could Not Load SFX:" + cwd + "/themes/custom/static/sfx/c.wav",
      "Loading Default:" + cwd + "/themes/default/static/sfx/c.wav",
      "Could Not Open:" + cwd + "/themes/default/static/sfx/c.wav",
      "ERROR! Could Not Load SFX:" + cwd + "/themes/default/static/sfx/c.wav",
      "Could Not Open:" + cwd + "/themes/default/static/sfx/c.wav",
      "ERROR! Could Not Load SFX:" + cwd + "/themes/default/static/sfx/c.wav",
  };
  EXPECT_EQ(dir_.GameLogTexts(), expected);
}

TEST_F(SoundPlayerTest, EngineFailuresLeaveASilentPlayer) {
  player_.reset();
  using platform::audio::testing::FailNext;
  using platform::audio::testing::Operation;
  ASSERT_TRUE(player_ == nullptr);
  for (Operation op : {Operation::kCreateEngine, Operation::kCreateMastering}) {
    FailNext(op);
    ::testing::internal::CaptureStdout();
    auto player = std::make_unique<SoundPlayer>();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, op == Operation::kCreateEngine ? "Failed to init XAudio2 engine: 0X8A0100FF\n"
                                                  : "Failed creating mastering voice: 0X8A0100FF\n");
    EXPECT_FALSE(player->engine);
    ASSERT_TRUE(player->LoadWave(1, u"short.wav"));
    EXPECT_EQ(player->Play(1, 1.0f, 1.0f), -1);
    EXPECT_TRUE(player->Update());
    EXPECT_TRUE(player->ApplyMasterVolume());
  }
  // A voice that cannot be made plays nothing and leaves the voice idle.
  player_ = std::make_unique<SoundPlayer>();
  ASSERT_TRUE(player_->LoadWave(1, u"short.wav"));
  FailNext(Operation::kCreateSource);
  EXPECT_EQ(player_->Play(1, 1.0f, 1.0f), -1);
  FailNext(Operation::kSubmit);
  EXPECT_EQ(player_->Play(1, 1.0f, 1.0f), -1);
  EXPECT_FALSE(player_->voices[0].inUse);
  EXPECT_EQ(player_->Play(1, 1.0f, 1.0f), 1);
}

TEST(HiResTimer, CounterOnlyWhenWished) {
  platform::ScopedFakeClock fake;
  fake.clock.ms = 1234;
  fake.clock.ns = 987654321;
  HiResTimer timer;
  EXPECT_TRUE(timer.Start(true));
  EXPECT_TRUE(timer.usesCounter);
  EXPECT_EQ(timer.startCount, 987654321);
  EXPECT_EQ(timer.lastCount, 987654321);
  EXPECT_DOUBLE_EQ(timer.secondsPerTick, 1e-9);
  EXPECT_FALSE(timer.Start(false));
  EXPECT_FALSE(timer.usesCounter);
  EXPECT_EQ(timer.startMs, 1234u);
  EXPECT_EQ(timer.lastMs, 1234u);
  EXPECT_EQ(timer.frequency, 1000);
  EXPECT_DOUBLE_EQ(timer.secondsPerTick, 0.001);
}

// ---------------------------------------------------------------------------------
// The sound table.

struct TableFile {
  uint32_t id;
  std::string path;  // relative to the program folder; theme files under "THEME/static/"
  bool theme;
};

// Every file of the table, built from its rules (ids, name patterns).
std::vector<TableFile> AllTableFiles() {
  std::vector<TableFile> files;
  const char* drums[11] = {"Bass", "Snare", "HiHat", "Tom1", "Tom2", "Tom3", "Crash", "Ride", "HiHatOpen",
                           "HiHatPedal", "HiHatSizzle"};
  for (int k = 1; k <= 6; ++k) {
    for (int d = 0; d < 11; ++d) {
      files.push_back({static_cast<uint32_t>((k - 1) * 11 + d),
                       "data/sfx/drumkit" + std::to_string(k) + "/Drum_" + drums[d] + ".wav", false});
    }
  }
  const std::pair<const char*, uint32_t> notes[] = {{"guitar1", 120}, {"guitar2", 135}, {"guitar3", 150},
                                                    {"bass1", 165},   {"keys1", 180},   {"keys2", 202},
                                                    {"keys3", 224},   {"keys4", 246},   {"keys5", 268}};
  for (const auto& [set, base] : notes) {
    const int count = base >= 180 ? 22 : 15;
    for (int n = 0; n < count; ++n) {
      files.push_back({base + n, std::string("data/sfx/") + set + "/" + std::to_string(n) + ".wav", false});
    }
  }
  const char* steps[4] = {"up", "down", "left", "right"};
  for (int i = 0; i < 4; ++i) files.push_back({290u + i, std::string("data/sfx/dance1/dance_") + steps[i] + ".wav", false});
  files.push_back({110, "data/sfx/Menu_Secret.wav", false});
  const char* extras[6] = {"Cowbell", "Sleigh_Bells", "Firework", "Scream", "Turkey", "Harp"};
  for (int e = 0; e < 6; ++e) {
    for (int v = 1; v <= 3; ++v) {
      files.push_back({300u + e * 3 + v - 1, std::string("data/sfx/Menu_") + extras[e] + "_" + std::to_string(v) + ".wav",
                       false});
    }
  }
  auto theme = [&](uint32_t id, const std::string& p) { files.push_back({id, p, true}); };
  for (int i = 1; i <= 4; ++i) theme(69 + i, "sfx/miss_fx/Game_Drum_Miss_" + std::to_string(i) + ".wav");
  theme(74, "sfx/miss_fx/Game_Drum_Miss_Bass.wav");
  for (int i = 1; i <= 4; ++i) theme(74 + i, "sfx/miss_fx/Game_Bass_Miss_" + std::to_string(i) + ".wav");
  for (int i = 1; i <= 4; ++i) theme(79 + i, "sfx/miss_fx/Game_Guitar_Miss_" + std::to_string(i) + ".wav");
  for (int i = 1; i <= 4; ++i) theme(84 + i, "sfx/miss_fx/Game_Keys_Miss_" + std::to_string(i) + ".wav");
  const char* named[] = {"Game_Win_1",    "Game_Win_2",       "Game_Lose",        "Game_Combo_Breaker",
                         "Game_VL_Activate", "Game_VL_Finish", "Game_VL_Sequence", "Game_Pause_Activate",
                         "Game_Player_Fail", "Game_Rank_Up",   "Game_Mine",        "Game_Alert",
                         "Game_Tick",     "Game_Combo_Alert", "Menu_Backwards",   "Menu_Forwards",
                         "Menu_NewCtrl",  "Menu_Switch_Up",   "Menu_Switch_Down", "Menu_Error"};
  for (int i = 0; i < 20; ++i) theme(90u + i, std::string("sfx/") + named[i] + ".wav");
  theme(111, "sfx/Menu_Client_Connect.wav");
  theme(112, "sfx/Menu_Client_Disconnect.wav");
  return files;
}

class SoundTableTest : public audiotest::LoopbackTest {
 protected:
  void SetUp() override {
    LoopbackTest::SetUp();
    g_SoundPlayer = new SoundPlayer();
    savedTheme_ = g_Settings.themeFolder;
    savedVolume_ = g_Settings.mixer.SFXVOL;
  }
  void TearDown() override {
    delete g_SoundPlayer;
    g_SoundPlayer = nullptr;
    g_Settings.themeFolder = savedTheme_;
    g_Settings.mixer.SFXVOL = savedVolume_;
    LoopbackTest::TearDown();
  }
  // Writes every table file; each holds a different sample value so that the slot
  // it lands in can be told apart. Theme files go to `themeFolder` when given.
  void WriteTable(const std::string& themeFolder) {
    for (const TableFile& f : AllTableFiles()) {
      if (f.theme && themeFolder.empty()) continue;
      dir_.WriteBytes(f.theme ? themeFolder + "static/" + f.path : f.path, Sound(4, static_cast<int16_t>(f.id + 1)));
    }
    platform::InvalidatePathCache();
  }
  int16_t FirstSample(uint32_t id) {
    const SoundSlot& s = g_SoundPlayer->slots[id];
    return s.byteCount >= 2 ? static_cast<int16_t>(s.data[0] | (s.data[1] << 8)) : 0;
  }

  std::u16string savedTheme_;
  int32_t savedVolume_ = 100;
};

TEST_F(SoundTableTest, LoadsAllSoundsIntoTheirIdsAndSetsTheVolume) {
  EXPECT_EQ(AllTableFiles().size(), 298u);
  WriteTable("themes/default/");
  g_Settings.themeFolder = u"themes/default/";
  g_Settings.mixer.SFXVOL = 40;
  LoadInstrumentSounds();
  EXPECT_EQ(g_SoundPlayer->loadCount.load(), SoundPlayer::kTableSoundCount);
  std::set<uint32_t> filled;
  for (const TableFile& f : AllTableFiles()) filled.insert(f.id);
  for (uint32_t id = 0; id < SoundPlayer::kSlotCount; ++id) {
    SCOPED_TRACE(id);
    EXPECT_EQ(g_SoundPlayer->slots[id].loaded, filled.count(id) == 1);
    if (filled.count(id)) {
      EXPECT_EQ(FirstSample(id), static_cast<int16_t>(id + 1));
    }
  }
  for (uint32_t hole : {66u, 69u, 79u, 84u, 89u, 113u, 119u, 294u, 299u}) {
    EXPECT_EQ(g_SoundPlayer->Play(hole, 1.0f, 1.0f), -1);
  }
  EXPECT_FLOAT_EQ(g_SoundPlayer->masterVolume, 0.4f);
  EXPECT_FLOAT_EQ(g_SoundPlayer->appliedMasterVolume, 0.4f);
  EXPECT_FLOAT_EQ(g_SoundPlayer->engine->GetMasterVolume(), 0.4f);
}

TEST_F(SoundTableTest, ThemeWithoutSoundsUsesTheDefaultTheme) {
  WriteTable("themes/default/");
  dir_.MakeDir("themes/custom/static");
  g_Settings.themeFolder = u"themes/custom/";
  LoadInstrumentSounds();
  EXPECT_EQ(g_SoundPlayer->loadCount.load(), 298);
  EXPECT_EQ(FirstSample(74), 75);
  EXPECT_EQ(FirstSample(112), 113);
}

TEST_F(SoundTableTest, DefaultThemeWithoutSoundsCountsThemOut) {
  WriteTable("");
  g_Settings.themeFolder = u"themes/default/";
  LoadInstrumentSounds();
  EXPECT_EQ(g_SoundPlayer->loadCount.load(), 298 - 39);
  EXPECT_FALSE(g_SoundPlayer->slots[90].loaded);
  EXPECT_TRUE(g_SoundPlayer->slots[110].loaded);  // loaded from data/sfx, not from the theme
}

}  // namespace
