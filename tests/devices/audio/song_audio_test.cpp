// A song's stem set over the loopback device: which files make up a song, the play
// position and its speed, pause, stem alignment, the three layers of the mix, fades,
// seeks and previews.
#include "devices/audio/song_audio.h"

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "tests/devices/audio/audio_test_env.h"

namespace {

using audiotest::kRate;

constexpr int64_t kSecond = kRate;

class SongAudioTest : public audiotest::LoopbackTest {
 protected:
  void SetUp() override {
    LoopbackTest::SetUp();
    savedMixer_ = g_Settings.mixer;
  }
  void TearDown() override {
    g_Settings.mixer = savedMixer_;
    LoopbackTest::TearDown();
  }

  // Writes stems into a folder; each file gets its own length and tone.
  std::u16string Song(const std::string& folder, const std::vector<std::pair<std::string, int64_t>>& files) {
    double frequency = 220.0;
    for (const auto& [name, frames] : files) {
      WriteTone(folder + "/" + name, frames, frequency);
      frequency += 55.0;
    }
    return WPath(folder + "/");
  }

  std::set<int> ReadySlots(SongAudio& audio) {
    std::set<int> ready;
    for (int i = 0; i < SongAudio::kStemCount; ++i) {
      if (audio.stems[i].ready) ready.insert(i);
    }
    return ready;
  }

  // Renders in pieces and pumps between them, as the Music thread would.
  std::vector<float> Play(SongAudio& audio, int64_t frames) {
    std::vector<float> out;
    while (frames > 0) {
      const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(frames, 2205));
      std::vector<float> part = Render(n);
      out.insert(out.end(), part.begin(), part.end());
      audio.Update();
      frames -= n;
    }
    return out;
  }

  MixerSettings mix_;
  MixerSettings savedMixer_;
};

TEST_F(SongAudioTest, TheFilesOfAFolderDecideTheStems) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    bool menuMusic;
    bool crowd;
    std::set<int> ready;
    bool guitarOnly;
    int split;
  };
  const std::vector<Case> cases = {
      {"guitar only", {"guitar.ogg"}, false, true, {2}, true, 0},
      {"guitar any case", {"Guitar.OGG", "Song.ogg"}, false, true, {2, 11}, false, 0},
      {"four drum parts", {"drums.ogg", "drums_1.ogg", "drums_2.ogg", "drums_3.ogg", "drums_4.ogg"}, false, true,
       {7, 8, 9, 10}, false, 1},
      {"three drum parts", {"drums.ogg", "drums_1.ogg", "drums_2.ogg", "drums_3.ogg"}, false, true, {7, 8, 9}, false, 2},
      {"two drum parts", {"drums.ogg", "drums_1.ogg", "drums_2.ogg"}, false, true, {7, 8}, false, 3},
      {"one drum part", {"drums.ogg", "drums_1.ogg"}, false, true, {0, 7}, false, 0},
      {"parts 1, 2 and 4", {"drums_1.ogg", "drums_2.ogg", "drums_4.ogg"}, false, true, {7, 8, 10}, false, 3},
      {"x vocals for a song", {"vocalsx.ogg", "vocals_1x.ogg", "vocals_2x.ogg", "song.ogg"}, false, true,
       {4, 5, 6, 11}, false, 0},
      {"no x vocals for the menus", {"vocalsx.ogg", "song.ogg"}, true, true, {11}, false, 0},
      {"crowd for a song", {"song.ogg", "crowd.ogg"}, false, true, {11, 12}, false, 0},
      {"crowd off", {"song.ogg", "crowd.ogg"}, false, false, {11}, false, 0},
      {"no crowd for the menus", {"song.ogg", "crowd.ogg"}, true, true, {11}, false, 0},
      {"preview.ogg is not a stem", {"song.ogg", "preview.ogg"}, false, true, {11}, false, 0},
      {"nothing playable", {"notes.mid"}, false, true, {}, false, 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = "song" + std::to_string(n++);
    std::vector<std::pair<std::string, int64_t>> files;
    for (const std::string& f : c.files) files.push_back({f, kSecond / 4});
    const std::u16string path = Song(folder, files);
    mix_.CROWD = c.crowd;
    SongAudio audio;
    audio.menuMusic = c.menuMusic;
    audio.ApplyMixer(&mix_);
    EXPECT_TRUE(audio.LoadStems(path));
    EXPECT_EQ(ReadySlots(audio), c.ready);
    EXPECT_EQ(audio.guitarOnly, c.guitarOnly);
    EXPECT_EQ(audio.drumSplitMode, c.split);
    EXPECT_EQ(audio.IsFinished(), c.ready.empty());
    const uint8_t flags[7] = {1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(audio.AddPlayer(2), !c.guitarOnly);
    EXPECT_EQ(audio.MarkAudible(11, flags), !c.guitarOnly);
    EXPECT_TRUE(audio.AddPlayer(0));
  }
}

TEST_F(SongAudioTest, VocalsPreferTheirOwnFileOverTheXFile) {
  const std::u16string path = Song("s", {{"vocals.ogg", kSecond / 2}, {"vocalsx.ogg", kSecond / 4}});
  SongAudio audio;
  audio.LoadStems(path);
  EXPECT_NEAR(audio.stems[4].totalLength, 0.5, 1e-9);
}

TEST_F(SongAudioTest, TheLongestStemIsTheClock) {
  const std::u16string path =
      Song("s", {{"drums.ogg", kSecond / 2}, {"guitar.ogg", kSecond}, {"keys.ogg", kSecond}, {"song.ogg", kSecond / 4}});
  SongAudio audio;
  audio.LoadStems(path);
  EXPECT_EQ(audio.clockStem, 2);  // the first of the two longest
  EXPECT_FLOAT_EQ(audio.songLength, 1.0f);
}

TEST_F(SongAudioTest, PositionFollowsFramesPlayedAtAnySpeedAndHoldsInPause) {
  const std::u16string path = Song("s", {{"guitar.ogg", 6 * kSecond}, {"song.ogg", 6 * kSecond}});
  SongAudio audio;
  audio.LoadStems(path);
  audio.Update();
  EXPECT_EQ(audio.GetPositionMs(false), 0.0);
  EXPECT_EQ(audio.GetPositionMs(true), 0.0);  // not the song length before the start
  ASSERT_TRUE(audio.Start());
  EXPECT_TRUE(audio.playing);
  Play(audio, kSecond);
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(false), 1000.0);
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(true), 1000.0);
  audio.SetSpeed(1.5);
  Play(audio, kSecond);
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(false), 2500.0);
  audio.Pause();
  EXPECT_FALSE(audio.playing);
  Play(audio, kSecond / 2);
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(false), 2500.0);
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(true), 2500.0);
  audio.Resume();
  Play(audio, kSecond / 10);
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(false), 2650.0);
  audio.Stop();
  Play(audio, kSecond / 10);
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(false), 2650.0);
}

TEST_F(SongAudioTest, AllStemsStayFrameAligned) {
  std::vector<std::pair<std::string, int64_t>> files;
  for (const char* f : {"drums.ogg", "rhythm.ogg", "guitar.ogg", "keys.ogg", "vocals.ogg", "vocals_1.ogg",
                        "vocals_2.ogg", "drums_1.ogg", "drums_2.ogg", "drums_3.ogg", "drums_4.ogg", "song.ogg",
                        "crowd.ogg"}) {
    files.push_back({f, 3 * kSecond});
  }
  SongAudio audio;
  audio.ApplyMixer(&mix_);
  audio.LoadStems(Song("s", files));
  ASSERT_EQ(ReadySlots(audio).size(), 12u);  // the drum parts replace "drums.ogg"
  audio.Update();
  audio.Start();
  auto check = [&] {
    uint64_t first = 0;
    bool have = false;
    for (int slot : ReadySlots(audio)) {
      const uint64_t played = audio.stems[slot].sourceVoice->GetState().samplesPlayed;
      if (!have) first = played, have = true;
      EXPECT_EQ(played, first) << "slot " << slot;
    }
    return first;
  };
  for (int64_t frames : {1, 999, 4410, 22050}) {
    Play(audio, frames);
    check();
  }
  audio.SetSpeed(1.5);
  Play(audio, 12345);
  check();
  audio.Pause();
  audio.Resume();
  Play(audio, 10000);
  const uint64_t at = check();
  EXPECT_EQ(at, 1u + 999 + 4410 + 22050 + 18517 + 15000);
}

TEST_F(SongAudioTest, MixerLevelsMuteSoloAndPlayAlongDrums) {
  std::vector<std::pair<std::string, int64_t>> files;
  for (const char* f : {"drums.ogg", "rhythm.ogg", "guitar.ogg", "keys.ogg", "drums_1.ogg", "song.ogg"}) {
    files.push_back({f, 2 * kSecond});
  }
  mix_.GAMEMUSICVOL = 90;
  mix_.MENUMUSICVOL = 30;
  for (int i = 0; i < kMixerStemCount; ++i) mix_.stemVolume[i] = 10 * (i + 1);
  SongAudio audio;
  audio.ApplyMixer(&mix_);
  audio.LoadStems(Song("s", files));
  auto volume = [&](int slot) { return audio.stems[slot].sourceVoice->GetVolume(); };
  EXPECT_FLOAT_EQ(audio.stems[0].engine->GetMasterVolume(), 0.9f);
  EXPECT_FLOAT_EQ(volume(0), 0.1f);
  EXPECT_FLOAT_EQ(volume(2), 0.3f);
  EXPECT_FLOAT_EQ(volume(7), 0.8f);
  EXPECT_FLOAT_EQ(volume(11), 1.2f);

  mix_.stemMute[2] = true;
  audio.Update();  // the pump applies mixer changes
  EXPECT_FLOAT_EQ(volume(2), 0.0f);
  EXPECT_FLOAT_EQ(volume(3), 0.4f);

  mix_.stemMute[2] = false;
  mix_.stemSolo[3] = true;
  mix_.stemSolo[11] = true;
  audio.Update();
  for (int slot : {0, 1, 2, 7}) EXPECT_FLOAT_EQ(volume(slot), 0.0f) << slot;
  EXPECT_FLOAT_EQ(volume(3), 0.4f);
  EXPECT_FLOAT_EQ(volume(11), 1.2f);
  // Unchanged levels are not sent again, and a non-soloed stem never gets two levels.
  std::vector<uint32_t> calls;
  for (int slot : ReadySlots(audio)) calls.push_back(audio.stems[slot].sourceVoice->SetVolumeCalls());
  for (int i = 0; i < 5; ++i) audio.Update();
  size_t k = 0;
  for (int slot : ReadySlots(audio)) EXPECT_EQ(audio.stems[slot].sourceVoice->SetVolumeCalls(), calls[k++]) << slot;

  mix_.stemSolo[3] = mix_.stemSolo[11] = false;
  mix_.DRUMPLAYALONG = true;
  mix_.drumPlayer = true;
  audio.Update();
  EXPECT_FLOAT_EQ(volume(0), 0.0f);
  EXPECT_FLOAT_EQ(volume(7), 0.0f);
  EXPECT_FLOAT_EQ(volume(1), 0.2f);
  mix_.drumPlayer = false;
  audio.Update();
  EXPECT_FLOAT_EQ(volume(7), 0.8f);

  // The menus' music plays at the menu level.
  SongAudio jukebox;
  jukebox.menuMusic = true;
  jukebox.ApplyMixer(&mix_);
  jukebox.LoadStems(WPath("s/"));
  EXPECT_FLOAT_EQ(jukebox.stems[0].engine->GetMasterVolume(), 0.3f);

  // Everything muted is silence.
  for (int i = 0; i < kMixerStemCount; ++i) mix_.stemMute[i] = true;
  audio.Update();
  audio.Start();
  std::vector<float> out = Play(audio, kSecond / 2);
  EXPECT_EQ(audiotest::Rms(out, 2048), 0.0);
}

TEST_F(SongAudioTest, PlayersHittingTheirNotesSetTheirStemsLevel) {
  SongAudio audio;
  audio.ApplyMixer(&mix_);
  audio.LoadStems(Song("s", {{"guitar.ogg", kSecond}, {"rhythm.ogg", kSecond}, {"keys.ogg", kSecond},
                             {"drums.ogg", kSecond}, {"drums_1.ogg", kSecond}}));
  mix_.stemVolume[2] = 80;
  audio.Update();
  ASSERT_TRUE(audio.AddPlayer(2));
  ASSERT_TRUE(audio.AddPlayer(11));  // a second guitar kind
  ASSERT_TRUE(audio.AddPlayer(0));
  ASSERT_TRUE(audio.AddPlayer(9));  // no stem of its own
  EXPECT_EQ(audio.stems[2].playerCount, 2);
  EXPECT_EQ(audio.stems[0].playerCount, 1);
  EXPECT_EQ(audio.stems[7].playerCount, 1);
  EXPECT_EQ(audio.stems[1].playerCount, 0);

  const uint8_t hit[7] = {1, 0, 0, 0, 0, 0, 0};
  const uint8_t missed[7] = {0, 1, 1, 1, 1, 1, 1};
  auto frame = [&](const uint8_t* guitar1, const uint8_t* guitar2, const uint8_t* drums) {
    for (int i = 0; i < SongAudio::kStemCount; ++i) audio.stems[i].audibleCount = 0;
    audio.MarkAudible(2, guitar1);
    audio.MarkAudible(11, guitar2);
    audio.MarkAudible(0, drums);
    audio.UpdateMix();
  };
  CAudio& guitar = audio.stems[2];
  frame(hit, missed, hit);
  EXPECT_FLOAT_EQ(guitar.sourceVoice->GetVolume(), 0.4f);
  const uint32_t calls = guitar.sourceVoice->SetVolumeCalls();
  frame(missed, hit, hit);  // still one of two
  EXPECT_EQ(guitar.sourceVoice->SetVolumeCalls(), calls);
  // A lone "drums_1.ogg" beside "drums.ogg" follows the drummer too.
  EXPECT_FLOAT_EQ(audio.stems[0].sourceVoice->GetVolume(), 1.0f);
  EXPECT_FLOAT_EQ(audio.stems[7].sourceVoice->GetVolume(), 1.0f);
  frame(missed, missed, missed);
  EXPECT_FLOAT_EQ(guitar.sourceVoice->GetVolume(), 0.0f);
  EXPECT_FLOAT_EQ(audio.stems[0].sourceVoice->GetVolume(), 0.0f);
  EXPECT_FLOAT_EQ(audio.stems[7].sourceVoice->GetVolume(), 0.0f);
  EXPECT_FLOAT_EQ(audio.stems[1].sourceVoice->GetVolume(), 1.0f);  // nobody on it: kept
  frame(hit, hit, hit);
  EXPECT_FLOAT_EQ(guitar.sourceVoice->GetVolume(), 0.8f);
  // The mixer pass keeps the players' factor.
  audio.Update();
  EXPECT_FLOAT_EQ(guitar.sourceVoice->GetVolume(), 0.8f);
}

TEST_F(SongAudioTest, SplitDrumsFollowTheirOwnPads) {
  SongAudio audio;
  audio.LoadStems(Song("s", {{"drums_1.ogg", kSecond}, {"drums_2.ogg", kSecond}, {"drums_3.ogg", kSecond}}));
  ASSERT_EQ(audio.drumSplitMode, 2);
  audio.AddPlayer(13);
  const uint8_t flags[7] = {1, 0, 1, 1, 1, 0, 0};  // kick 1, pad 2, pad 5
  audio.MarkAudible(13, flags);
  audio.UpdateMix();
  EXPECT_FLOAT_EQ(audio.stems[7].sourceVoice->GetVolume(), 0.0f);
  EXPECT_FLOAT_EQ(audio.stems[8].sourceVoice->GetVolume(), 1.0f);
  EXPECT_FLOAT_EQ(audio.stems[9].sourceVoice->GetVolume(), 0.0f);
}

TEST_F(SongAudioTest, FadeOutPausesAndFadeInBringsTheMusicBack) {
  mix_.MENUMUSICVOL = 80;
  SongAudio jukebox;
  jukebox.menuMusic = true;
  jukebox.ApplyMixer(&mix_);
  jukebox.LoadStems(Song("s", {{"song.ogg", 4 * kSecond}, {"guitar.ogg", 4 * kSecond}}));
  platform::audio::Engine& engine = *jukebox.stems[0].engine;
  jukebox.Update();
  jukebox.Start();
  Play(jukebox, kSecond / 2);

  jukebox.FadeOut();
  EXPECT_TRUE(jukebox.mixerHold);
  clock_.clock.AdvanceMs(500);
  jukebox.Update();
  EXPECT_FLOAT_EQ(engine.GetMasterVolume(), 0.4f);
  clock_.clock.AdvanceMs(500);
  jukebox.Update();
  EXPECT_FLOAT_EQ(engine.GetMasterVolume(), 0.0f);
  EXPECT_TRUE(jukebox.stems[11].paused);
  EXPECT_TRUE(jukebox.stems[11].silenced);
  EXPECT_FALSE(jukebox.stems[11].fadeOutActive);
  const double stoppedAt = jukebox.GetPositionMs(false);
  Play(jukebox, kSecond / 4);
  EXPECT_EQ(jukebox.GetPositionMs(false), stoppedAt);
  EXPECT_FLOAT_EQ(engine.GetMasterVolume(), 0.0f);  // held: the pump does not restore it

  jukebox.FadeIn(false);
  jukebox.Start();
  EXPECT_FALSE(jukebox.mixerHold);
  EXPECT_FLOAT_EQ(engine.GetMasterVolume(), 0.0f);
  clock_.clock.AdvanceMs(250);
  jukebox.Update();
  EXPECT_FLOAT_EQ(engine.GetMasterVolume(), 0.2f);
  clock_.clock.AdvanceMs(1000);
  jukebox.Update();
  EXPECT_FLOAT_EQ(engine.GetMasterVolume(), 0.8f);
  Play(jukebox, kSecond / 4);
  EXPECT_DOUBLE_EQ(jukebox.GetPositionMs(false), stoppedAt + 250.0);

  // A fade-in without force leaves stems that are not silenced alone.
  jukebox.stems[0].engine->SetMasterVolume(0.5f);
  jukebox.FadeIn(false);
  EXPECT_FLOAT_EQ(engine.GetMasterVolume(), 0.5f);
}

TEST_F(SongAudioTest, PositionAtTheEndAndWhileStemsFinishEarly) {
  SongAudio audio;
  EXPECT_EQ(audio.GetPositionMs(false), 0.0);
  EXPECT_FALSE(audio.Start());
  EXPECT_FALSE(audio.IsFinished());
  audio.LoadStems(Song("s", {{"song.ogg", kSecond / 2}, {"guitar.ogg", 2 * kSecond}}));
  audio.Update();
  audio.Start();
  Play(audio, kSecond + kSecond / 2);
  // The short stem has stopped at its padded end; the average follows the running one.
  EXPECT_TRUE(audio.stems[11].ended);
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(true), 1500.0);
  Play(audio, 2 * kSecond);
  ASSERT_TRUE(audio.IsFinished());
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(false), 2000.0);  // the clock stem's length
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(true), 2000.0);   // the song length
}

TEST_F(SongAudioTest, SeekPutsEveryStemWhereAsked) {
  // Each stem holds one burst, at 1.0, 1.25, 1.5 and 1.75 s.
  const char* names[4] = {"guitar.ogg", "rhythm.ogg", "keys.ogg", "song.ogg"};
  for (int i = 0; i < 4; ++i) {
    testsupport::OggSpec params;
    params.frames = 3 * kSecond;
    params.signal = testsupport::BurstAt(kSecond + i * kSecond / 4, kSecond / 20, kRate);
    WriteOgg(std::string("s/") + names[i], params);
  }
  SongAudio audio;
  audio.LoadStems(WPath("s/"));
  audio.AddPlayer(2);
  audio.Update();
  audio.Start();
  Play(audio, kSecond / 10);
  ASSERT_TRUE(audio.SeekMs(900.0));
  EXPECT_TRUE(audio.playing);
  EXPECT_EQ(audio.stems[2].playerCount, 0);  // a seek reloads: the players are counted again
  for (int slot : {1, 2, 3, 11}) EXPECT_DOUBLE_EQ(audio.stems[slot].GetPositionMs(), 900.0) << slot;
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(true), 900.0);
  std::vector<float> out = Play(audio, kSecond);
  // Every burst shows up where its stem's time puts it, and only there.
  int64_t expectedFirst = kSecond / 10;
  EXPECT_NEAR(static_cast<double>(audiotest::FirstLoudFrame(out, 0.3f)), static_cast<double>(expectedFirst), 64.0);
  for (int i = 0; i < 4; ++i) {
    const size_t from = static_cast<size_t>(kSecond / 10 + i * kSecond / 4 + 200);
    const size_t to = from + kSecond / 20 - 400;
    EXPECT_GT(audiotest::Rms(out, from, to), 0.2) << "burst " << i;
    EXPECT_LT(audiotest::Rms(out, to + 600, to + 600 + kSecond / 10), 0.01) << "after burst " << i;
  }
  for (int slot : {1, 2, 3, 11}) EXPECT_DOUBLE_EQ(audio.stems[slot].GetPositionMs(), 1900.0) << slot;
}

TEST_F(SongAudioTest, SeekPastAShortStemLeavesItAtItsEnd) {
  testsupport::OggSpec loud;
  loud.frames = kSecond;
  loud.signal = testsupport::Sine(500.0, 0.5f, kRate);
  WriteOgg("s/crowd.ogg", loud);  // short and loud
  WriteTone("s/song.ogg", 3 * kSecond, 300.0, 0.0f);  // long and silent
  mix_.CROWD = true;
  SongAudio audio;
  audio.ApplyMixer(&mix_);
  audio.LoadStems(WPath("s/"));
  audio.Update();
  audio.Start();
  ASSERT_TRUE(audio.SeekMs(1500.0));
  EXPECT_DOUBLE_EQ(audio.stems[12].GetPositionMs(), 1000.0);
  EXPECT_DOUBLE_EQ(audio.stems[11].GetPositionMs(), 1500.0);
  std::vector<float> out = Play(audio, kSecond);
  EXPECT_LT(audiotest::Rms(out), 1e-3) << "the short stem played from its start";
  EXPECT_TRUE(audio.stems[12].ended);
  EXPECT_FALSE(audio.stems[11].ended);

  // A seek to the song's end leaves nothing to play.
  ASSERT_TRUE(audio.SeekMs(3000.0));
  Play(audio, kSecond);
  EXPECT_TRUE(audio.IsFinished());
  EXPECT_DOUBLE_EQ(audio.GetPositionMs(false), 3000.0);
  EXPECT_FALSE(SongAudio().SeekMs(10.0));  // nothing loaded
}

TEST_F(SongAudioTest, PreviewOfStemsStartsAtItsPointAndFadesIn) {
  Song("s", {{"song.ogg", 5 * kSecond}, {"guitar.ogg", 5 * kSecond}, {"crowd.ogg", 5 * kSecond}});
  mix_.SONGPREVIEWTYPE = 1;
  mix_.MENUMUSICVOL = 50;
  mix_.CROWD = true;
  {
    SongAudio preview;
    ASSERT_TRUE(preview.LoadPreview(&mix_, WPath("s/"), -1.0));
    EXPECT_FALSE(preview.previewFile);
    EXPECT_TRUE(preview.mixerHold);
    EXPECT_EQ(ReadySlots(preview), (std::set<int>{2, 11}));  // no crowd for a preview
    EXPECT_DOUBLE_EQ(preview.GetPositionMs(false), 1000.0);  // a fifth of the song
    preview.Update();
    preview.FadeIn(true);
    preview.Start();
    EXPECT_FLOAT_EQ(preview.stems[0].engine->GetMasterVolume(), 0.0f);
    clock_.clock.AdvanceMs(500);
    preview.Update();
    EXPECT_FLOAT_EQ(preview.stems[0].engine->GetMasterVolume(), 0.25f);
  }
  SongAudio preview;
  ASSERT_TRUE(preview.LoadPreview(&mix_, WPath("s/"), 2500.0));
  EXPECT_DOUBLE_EQ(preview.GetPositionMs(false), 2500.0);
  EXPECT_DOUBLE_EQ(preview.GetPositionMs(true), 2500.0);
}

TEST_F(SongAudioTest, PreviewFileAndItsFailure) {
  Song("s", {{"song.ogg", kSecond}, {"preview.ogg", kSecond / 2}});
  mix_.SONGPREVIEWTYPE = 1;
  mix_.MENUMUSICVOL = 70;
  SongAudio preview;
  ASSERT_TRUE(preview.LoadPreview(&mix_, WPath("s/"), 300.0));
  EXPECT_TRUE(preview.previewFile);
  EXPECT_EQ(ReadySlots(preview), (std::set<int>{13}));
  EXPECT_DOUBLE_EQ(preview.stems[13].GetPositionMs(), 0.0);  // from its start
  EXPECT_FLOAT_EQ(preview.stems[0].engine->GetMasterVolume(), 0.7f);

  mix_.SONGPREVIEWTYPE = 0;  // another preview type: the stems
  ASSERT_TRUE(preview.LoadPreview(&mix_, WPath("s/"), 300.0));
  EXPECT_FALSE(preview.previewFile);
  EXPECT_EQ(ReadySlots(preview), (std::set<int>{11}));

  dir_.WriteBytes("s/preview.ogg", "not a stream");
  mix_.SONGPREVIEWTYPE = 1;
  EXPECT_FALSE(preview.LoadPreview(&mix_, WPath("s/"), 300.0));
  EXPECT_FALSE(preview.stems);
  const auto lines = dir_.GameLogTexts();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Tried but FAILED to Load:" + dir_.Path("s/preview.ogg"));
}

TEST_F(SongAudioTest, AFinishedPreviewStartsOver) {
  Song("s", {{"preview.ogg", kSecond / 5}});
  mix_.SONGPREVIEWTYPE = 1;
  SongAudio preview;
  ASSERT_TRUE(preview.LoadPreview(&mix_, WPath("s/"), -1.0));
  preview.Update();
  preview.Start();
  int reloads = 0;
  for (int i = 0; i < 40 && reloads == 0; ++i) {
    Render(4410);
    const bool wasNearEnd = preview.stems[13].finished;
    preview.Update();
    if (wasNearEnd && !preview.stems[13].ended) ++reloads;
  }
  ASSERT_EQ(reloads, 1);
  EXPECT_TRUE(preview.playing);
  EXPECT_FALSE(preview.IsFinished());
  EXPECT_LT(preview.stems[13].GetPositionMs(), 1.0);
  Play(preview, kSecond / 10);
  EXPECT_DOUBLE_EQ(preview.stems[13].GetPositionMs(), 100.0);
}

TEST_F(SongAudioTest, PreviewOfAFolderWithoutAudioDoesNotRecurse) {
  dir_.WriteBytes("empty/song.ini", "[song]\n");
  dir_.WriteBytes("empty/guitar.ogg", "broken");
  SongAudio preview;
  ASSERT_TRUE(preview.LoadPreview(&mix_, WPath("empty/"), -1.0));
  EXPECT_TRUE(preview.IsFinished());
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(preview.Update());
  EXPECT_TRUE(preview.IsFinished());
  EXPECT_EQ(preview.GetPositionMs(false), 0.0);
}

TEST_F(SongAudioTest, WithoutAnEngineTheSongIsSilentAndFinished) {
  const std::u16string path = Song("s", {{"song.ogg", kSecond}});
  platform::audio::testing::FailNext(platform::audio::testing::Operation::kCreateEngine);
  SongAudio audio;
  EXPECT_TRUE(audio.LoadStems(path));
  ASSERT_TRUE(audio.stems);
  EXPECT_TRUE(ReadySlots(audio).empty());
  EXPECT_TRUE(audio.IsFinished());
  EXPECT_EQ(audio.GetPositionMs(false), 0.0);
  EXPECT_TRUE(audio.Start());
  EXPECT_TRUE(audio.Update());
  EXPECT_TRUE(audio.SetSpeed(1.2));
  audio.FadeOut();
  audio.FadeIn(true);
}

}  // namespace

// The pumping thread and the main thread work on one object at once, as the Music
// thread and the gameplay do; the position only moves forward.
TEST_F(SongAudioTest, PumpAndMainThreadShareTheObject) {
  SongAudio audio;
  audio.ApplyMixer(&mix_);
  audio.LoadStems(Song("s", {{"guitar.ogg", 3 * kSecond}, {"drums.ogg", 3 * kSecond}, {"song.ogg", 3 * kSecond}}));
  audio.AddPlayer(2);
  audio.AddPlayer(0);
  audio.Update();
  audio.Start();
  std::atomic<bool> stop{false};
  std::thread pump([&] {
    while (!stop.load()) {
      audio.Update();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  double last = 0.0;
  const uint8_t flags[7] = {1, 0, 1, 0, 1, 0, 1};
  for (int i = 0; i < 200; ++i) {
    Render(441);
    for (int s = 0; s < SongAudio::kStemCount; ++s) audio.stems[s].audibleCount = 0;
    audio.MarkAudible(2, flags);
    audio.MarkAudible(0, flags);
    audio.UpdateMix();
    if (i % 50 == 10) audio.SetSpeed(1.0 + (i % 3) * 0.2);
    if (i == 120) audio.FadeOut();
    if (i == 160) audio.FadeIn(false), audio.Start();
    if (i % 40 == 0) audio.ApplyMixer(&mix_);
    const double now = audio.GetPositionMs(true);
    EXPECT_GE(now, last);
    last = now;
  }
  stop = true;
  pump.join();
  EXPECT_GT(last, 0.0);
}

namespace {
// The amplitude of one frequency in the left channel (Hann-windowed Goertzel), for
// output rendered at `rate`.
double ToneAmplitude(const std::vector<float>& stereo, double frequency, double rate) {
  const size_t n = stereo.size() / 2;
  const double pi = std::acos(-1.0);
  const double w = 2.0 * pi * frequency / rate;
  double re = 0.0, im = 0.0, windowSum = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const double hann = 0.5 - 0.5 * std::cos(2.0 * pi * static_cast<double>(i) / static_cast<double>(n - 1));
    const double x = static_cast<double>(stereo[2 * i]) * hann;
    re += x * std::cos(w * static_cast<double>(i));
    im -= x * std::sin(w * static_cast<double>(i));
    windowSum += hann;
  }
  return 2.0 * std::sqrt(re * re + im * im) / windowSum;
}
}  // namespace

// Two stems mixed at their levels and, where the device keeps a rate of its own,
// converted to it: each tone comes out at its own pitch and at its stem's level
// times the music level, whichever way the rates lie.
TEST_F(SongAudioTest, StemsMixAtTheirLevelsAndKeepTheirPitchAtAnyDeviceRate) {
  struct Case {
    int stemRate;
    uint32_t deviceRate;
    bool deviceFollows;
    uint32_t mixedAt;
  };
  const Case cases[] = {{44100, 48000, false, 48000},
                        {48000, 44100, false, 44100},
                        {44100, 48000, true, 44100},
                        {48000, 48000, false, 48000}};
  constexpr double kGuitarHz = 220.0, kSongHz = 330.0, kToneAmplitude = 0.25;
  mix_.GAMEMUSICVOL = 80;
  mix_.stemVolume[2] = 100;  // guitar
  mix_.stemVolume[11] = 50;  // song
  int folder = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE("stems at " + std::to_string(c.stemRate) + " Hz, device at " + std::to_string(c.deviceRate) +
                 (c.deviceFollows ? " (follows)" : " (held)"));
    ASSERT_TRUE(platform::audio::testing::UseLoopback(c.deviceRate, c.deviceFollows));
    const std::string name = "rates" + std::to_string(folder++);
    WriteTone(name + "/guitar.ogg", 3 * c.stemRate, kGuitarHz, static_cast<float>(kToneAmplitude), 2, c.stemRate);
    WriteTone(name + "/song.ogg", 3 * c.stemRate, kSongHz, static_cast<float>(kToneAmplitude), 2, c.stemRate);
    std::vector<float> out;
    {
      SongAudio audio;
      audio.ApplyMixer(&mix_);
      ASSERT_TRUE(audio.LoadStems(WPath(name + "/")));
      ASSERT_EQ(ReadySlots(audio), (std::set<int>{2, 11}));
      ASSERT_EQ(platform::audio::GetDeviceInfo().sampleRate, c.mixedAt);
      audio.Update();
      ASSERT_TRUE(audio.Start());
      Play(audio, c.mixedAt / 5);  // past the start
      out = Play(audio, c.mixedAt);
    }
    const double rate = c.mixedAt;
    EXPECT_NEAR(ToneAmplitude(out, kGuitarHz, rate), kToneAmplitude * 1.0 * 0.8, 0.01);
    EXPECT_NEAR(ToneAmplitude(out, kSongHz, rate), kToneAmplitude * 0.5 * 0.8, 0.01);
    // A stem played at the wrong rate would put its tone where the ratio of the
    // rates moves it: nothing of either tone may be there.
    const double shift = static_cast<double>(c.stemRate) / rate;
    if (shift != 1.0) {
      EXPECT_LT(ToneAmplitude(out, kGuitarHz * shift, rate), 0.01);
      EXPECT_LT(ToneAmplitude(out, kSongHz * shift, rate), 0.01);
    }
    // Nothing but the two tones: the output's power is theirs.
    const double a = kToneAmplitude * 0.8, b = kToneAmplitude * 0.4;
    EXPECT_NEAR(audiotest::Rms(out), std::sqrt((a * a + b * b) / 2.0), 0.01);
  }
  ASSERT_TRUE(platform::audio::testing::UseLoopback(kRate));
}
