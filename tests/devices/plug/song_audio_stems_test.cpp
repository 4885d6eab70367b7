// A song's audio loaded through the song data's loader with the devices layer's stem
// player installed: which stems of a folder are taken for a song to play and for the
// menus' jukebox, a folder with nothing playable, the mixer the loader hands over,
// and a loaded set that really plays.
#include "devices/plug/song_audio_stems.h"

#include <filesystem>
#include <memory>
#include <set>

#include "song/song.h"
#include "tests/devices/audio/audio_test_env.h"

namespace {

using audiotest::kRate;

class SongAudioStemsTest : public audiotest::LoopbackTest {
 protected:
  void SetUp() override {
    LoopbackTest::SetUp();
    SetSongStemsFactory(&devices::MakeSongAudioStems);
    mix_ = MixerSettings();
  }
  void TearDown() override {
    song_.reset();
    SetSongStemsFactory(nullptr);
    LoopbackTest::TearDown();
  }

  // A song folder holding the given files, each a tone of its own length (frames).
  ::Song& MakeSong(const std::vector<std::pair<std::string, int64_t>>& files) {
    dir_.MakeDir("song");
    double frequency = 220.0;
    for (const auto& [name, frames] : files) {
      WriteTone("song/" + name, frames, frequency);
      frequency += 110.0;
    }
    song_ = std::make_unique<::Song>();
    song_->folder = WPath("song");
    return *song_;
  }

  static std::set<int> ReadySlots(SongAudio& audio) {
    std::set<int> ready;
    for (int i = 0; i < SongAudio::kStemCount; ++i) {
      if (audio.stems && audio.stems[i].ready) ready.insert(i);
    }
    return ready;
  }

  MixerSettings mix_;
  std::unique_ptr<::Song> song_;
};

TEST_F(SongAudioStemsTest, TheLoaderFlagChoosesBetweenASongToPlayAndTheJukebox) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, int64_t>> files;
    bool jukebox;
    bool loads;
    std::set<int> ready;
    float lengthSeconds;
  };
  const std::vector<Case> cases = {
      {"stems of a song", {{"guitar.ogg", kRate}, {"song.ogg", kRate * 3 / 2}}, false, true, {2, 11}, 1.5f},
      // The "x" vocals and the crowd belong to a song being played only.
      {"played song with extras",
       {{"vocalsx.ogg", kRate / 2}, {"crowd.ogg", kRate * 2}, {"song.ogg", kRate}},
       false,
       true,
       {4, 11, 12},
       2.0f},
      {"jukebox leaves the extras out",
       {{"vocalsx.ogg", kRate / 2}, {"crowd.ogg", kRate * 2}, {"song.ogg", kRate}},
       true,
       true,
       {11},
       1.0f},
      {"jukebox with nothing it may play", {{"vocalsx.ogg", kRate}}, true, false, {}, 0.0f},
      {"empty folder", {}, false, false, {}, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::Song& song = MakeSong(c.files);
    EXPECT_EQ(song.LoadAudio(&mix_, c.jukebox), c.loads);
    if (!c.loads) {
      EXPECT_EQ(song.audio, nullptr);
      EXPECT_EQ(platform::audio::testing::LiveVoiceCount(), 0u) << "a refused set keeps nothing open";
    } else {
      ASSERT_NE(song.audio, nullptr);
      SongAudio* audio = song.audio->Audio();
      ASSERT_NE(audio, nullptr);
      EXPECT_EQ(audio->menuMusic, c.jukebox);
      EXPECT_FALSE(audio->preview) << "a jukebox song is not a preview: it must not reload itself when it ends";
      EXPECT_EQ(ReadySlots(*audio), c.ready);
      EXPECT_NEAR(audio->songLength, c.lengthSeconds, 0.01f);
      EXPECT_EQ(audio->mixer, &mix_);
    }
    song_.reset();
    std::filesystem::remove_all(dir_.Path("song"));
    platform::InvalidatePathCache();
  }
}

TEST_F(SongAudioStemsTest, UnreadableStemFilesAreRefusedWithoutHarm) {
  ::Song& song = MakeSong({});
  dir_.WriteBytes("song/guitar.ogg", std::string("OggS") + std::string(3000, '\x5A'));
  dir_.WriteBytes("song/song.ogg", "");
  platform::InvalidatePathCache();
  EXPECT_FALSE(song.LoadAudio(&mix_, false));
  EXPECT_EQ(song.audio, nullptr);

  // One good stem among broken ones is enough.
  WriteTone("song/rhythm.ogg", kRate / 2);
  EXPECT_TRUE(song.LoadAudio(&mix_, false));
  ASSERT_NE(song.audio, nullptr);
  EXPECT_EQ(ReadySlots(*song.audio->Audio()), std::set<int>{1});
}

TEST_F(SongAudioStemsTest, TheLoadersMixerSetsTheMusicLevel) {
  mix_.GAMEMUSICVOL = 50;
  mix_.MENUMUSICVOL = 20;
  ::Song& song = MakeSong({{"guitar.ogg", kRate}, {"song.ogg", kRate}});
  ASSERT_TRUE(song.LoadAudio(&mix_, false));
  SongAudio* audio = song.audio->Audio();
  EXPECT_FLOAT_EQ(audio->stems[0].engine->GetMasterVolume(), 0.5f);

  ASSERT_TRUE(song.LoadAudio(&mix_, true));
  EXPECT_FLOAT_EQ(song.audio->Audio()->stems[0].engine->GetMasterVolume(), 0.2f);

  // Without settings the set follows the program's own.
  ASSERT_TRUE(song.LoadAudio(nullptr, false));
  EXPECT_EQ(song.audio->Audio()->mixer, nullptr);
}

TEST_F(SongAudioStemsTest, ALoadedSetPlaysAndItsClockAdvances) {
  ::Song& song = MakeSong({{"guitar.ogg", kRate * 2}});
  ASSERT_TRUE(song.LoadAudio(&mix_, false));
  SongAudio* audio = song.audio->Audio();
  ASSERT_TRUE(audio->Update());
  ASSERT_TRUE(audio->Start());
  std::vector<float> out;
  for (int i = 0; i < 10; ++i) {  // half a second, pumped as the Music thread does
    std::vector<float> part = Render(kRate / 20);
    out.insert(out.end(), part.begin(), part.end());
    audio->Update();
  }
  EXPECT_GT(audiotest::Rms(out, kRate / 10), 0.01) << "the stem is heard";
  EXPECT_NEAR(audio->GetPositionMs(false), 500.0, 30.0);
}

}  // namespace
