// The song object: its loaders, the availability taken from the chart into
// "vl.dat", and the stems behind the installed factory.
#include "song/song.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/md5.h"
#include "core/settings.h"
#include "tests/support/midi_builder.h"
#include "tests/support/test_support.h"

namespace {

bool LogHas(const testsupport::TempDir& dir, const std::string& text) {
  const auto lines = dir.GameLogTexts();
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

// Notes of all four difficulty ranges of a five-lane or drum track.
void AllDifficulties(testsupport::MidiTrackBuilder& t) {
  for (int base : {60, 72, 84, 96})
    for (int lane = 0; lane < 5; ++lane) t.Note(480, base + lane, 120);
}

std::string Chart() {
  testsupport::MidiFileBuilder midi(480);
  midi.Track("tempo").Tempo(0, 500000);
  AllDifficulties(midi.Track("PART GUITAR"));
  AllDifficulties(midi.Track("PART KEYS"));
  AllDifficulties(midi.Track("PART DRUMS").Note(480, 95, 120));
  midi.Track("PART REAL_KEYS_H").Note(480, 60, 120);
  midi.Track("HARM2").Note(480, 60, 120);
  return midi.Build();
}

using Flags = std::array<uint8_t, 5>;

class SongTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.MakeDir("song"); }
  std::u16string Folder() const { return dir.WPath("song"); }
  testsupport::TempDir dir;
};

TEST_F(SongTest, LoadWritesTheChartsAvailabilityAndHash) {
  const std::string chart = Chart();
  dir.WriteBytes("song/notes.mid", chart);
  dir.WriteBytes("song/song.ini", "[song]\nname = Avail\n");
  // An older score file whose keys_adv record claims difficulties this chart lacks.
  {
    ScoreTable old;
    old.Load(dir.WPath("song/"));
    old.availability[8].present = 1;
    old.availability[8].difficulty = {1, 1, 0, 1, 0};
    old.availability[6].present = 1;
    old.availability[6].difficulty = {1, 1, 1, 1, 0};
    ASSERT_TRUE(old.Save());
  }

  Song song;
  EXPECT_EQ(song.folder, u"NO PATH");
  ASSERT_TRUE(song.Load(Folder()));
  EXPECT_EQ(song.folder, dir.WPath("song/"));
  ASSERT_TRUE(song.info && song.scores && song.chart);
  EXPECT_EQ(song.info->name, "Avail");
  EXPECT_EQ(song.scores->chartHash, Md5Hex(chart.data(), chart.size()));

  // What the file now says, read by a table of its own.
  ScoreTable saved;
  ASSERT_TRUE(saved.Load(dir.WPath("song/")));
  EXPECT_EQ(saved.hasAvailability, 1);
  EXPECT_EQ(saved.chartHash, song.scores->chartHash);
  auto at = [&](Instrument i) { return saved.availability[static_cast<size_t>(InstrumentIndex(i))]; };
  EXPECT_EQ(at(Instrument::guitar).present, 1);
  EXPECT_EQ(at(Instrument::guitar).difficulty, (Flags{1, 1, 1, 1, 1}));
  EXPECT_EQ(at(Instrument::keys).present, 1);
  EXPECT_EQ(at(Instrument::keys).difficulty, (Flags{1, 1, 1, 1, 0}));
  EXPECT_EQ(at(Instrument::drums).difficulty, (Flags{1, 1, 1, 1, 1}));
  EXPECT_EQ(at(Instrument::drums_adv).present, 1);
  EXPECT_EQ(at(Instrument::keys_adv).present, 1);
  EXPECT_EQ(at(Instrument::keys_adv).difficulty, (Flags{0, 0, 1, 0, 0}));  // nothing left of the old record
  EXPECT_EQ(at(Instrument::vocals_harm).present, 1);
  EXPECT_EQ(at(Instrument::vocals_harm).difficulty, (Flags{1, 1, 1, 1, 0}));
  EXPECT_EQ(at(Instrument::bass_real).present, 0);
  EXPECT_EQ(at(Instrument::bass_real).difficulty, (Flags{0, 0, 0, 0, 0}));
  for (Instrument i : {Instrument::bass, Instrument::vocals, Instrument::keys_real, Instrument::dance}) {
    EXPECT_EQ(at(i).present, 0) << InstrumentName(i);
  }
}

TEST_F(SongTest, BassAndVocalTracksGetTheirFlags) {
  testsupport::MidiFileBuilder midi(480);
  midi.Track("PART BASS").Note(0, 96, 60);  // expert only: the extra difficulty follows it
  midi.Track("PART VOCALS").Note(0, 60, 60);
  midi.Track("PART REAL_KEYS_VL_E").Note(0, 60, 60);
  midi.Track("PART REAL_KEYS_VL_X").Note(0, 60, 60);
  dir.WriteBytes("song/notes.mid", midi.Build());
  Song song;
  ASSERT_TRUE(song.Load(Folder()));
  const auto& av = song.scores->availability;
  EXPECT_EQ(av[1].difficulty, (Flags{0, 0, 0, 1, 1}));
  EXPECT_EQ(av[4].present, 1);
  EXPECT_EQ(av[4].difficulty, (Flags{1, 1, 1, 1, 0}));
  EXPECT_EQ(av[14].present, 1);
  EXPECT_EQ(av[14].difficulty, (Flags{1, 0, 0, 1, 0}));
}

TEST_F(SongTest, WithoutAChartLoadFailsAndLeavesTheScoreFile) {
  dir.WriteBytes("song/song.ini", "[song]\nname = No Chart\n");
  ScoreTable old;
  old.Load(dir.WPath("song/"));
  ASSERT_TRUE(old.AddScore(1, 100, 3, 50, 2, 2, "Ann"));
  old.chartHash = "0123456789abcdef0123456789abcdef";
  ASSERT_TRUE(old.Save());
  const std::string before = dir.ReadBytes("song/vl.dat");

  Song song;
  EXPECT_FALSE(song.Load(Folder()));
  EXPECT_TRUE(LogHas(dir, "Could not locate 'notes.mid' in song folder"));
  ASSERT_TRUE(song.info && song.scores);
  EXPECT_EQ(song.chart, nullptr);
  EXPECT_EQ(song.scores->chartHash, "");
  EXPECT_EQ(song.scores->count, 1);
  EXPECT_EQ(dir.ReadBytes("song/vl.dat"), before);
  EXPECT_FALSE(song.ComputeAvailability());  // nothing to take it from
  EXPECT_EQ(dir.ReadBytes("song/vl.dat"), before);
}

TEST_F(SongTest, LoadersReplaceOnlyTheirOwnPart) {
  // Missing "song.ini" and "vl.dat" still give a record and an empty table.
  Song song;
  song.folder = dir.WPath("song/");
  EXPECT_TRUE(song.LoadInfo());
  EXPECT_FALSE(song.info->iniFound);
  EXPECT_TRUE(song.LoadScores());
  EXPECT_EQ(song.scores->count, 0);

  testsupport::MidiFileBuilder first(480), second(480);
  first.Track("PART GUITAR").Note(0, 60, 10);
  second.Track("PART BASS").Note(0, 60, 10);
  dir.WriteBytes("song/notes.mid", first.Build());
  ASSERT_TRUE(song.LoadChart(false));
  EXPECT_GE(song.chart->FindTrack(Instrument::guitar, 0), 0);
  dir.WriteBytes("song/notes.mid", second.Build());
  ASSERT_TRUE(song.LoadChart(false));  // the first chart is freed (the sanitizer run checks)
  EXPECT_LT(song.chart->FindTrack(Instrument::guitar, 0), 0);
  EXPECT_GE(song.chart->FindTrack(Instrument::bass, 0), 0);
  const std::string hash = song.scores->chartHash;
  EXPECT_EQ(hash.size(), 32u);

  SongInfo* info = song.info.get();
  ASSERT_TRUE(song.LoadScores());
  EXPECT_EQ(song.info.get(), info);  // untouched by another loader
  EXPECT_GE(song.chart->FindTrack(Instrument::bass, 0), 0);

  EXPECT_TRUE(song.FreeParts());
  EXPECT_EQ(song.info, nullptr);
  EXPECT_EQ(song.scores, nullptr);
  EXPECT_EQ(song.chart, nullptr);
  EXPECT_EQ(song.audio, nullptr);
}

// A stand-in for the devices layer's stem player.
struct StemCalls {
  const MixerSettings* mix = nullptr;
  bool preview = false;
  std::u16string folder;
  bool loads = true;
  int made = 0;
  int destroyed = 0;
};
StemCalls g_calls;

class FakeStems : public SongStems {
 public:
  ~FakeStems() override { ++g_calls.destroyed; }
  bool ApplyMixer(const MixerSettings* mix) override {
    g_calls.mix = mix;
    return true;
  }
  void SetPreview(bool preview) override { g_calls.preview = preview; }
  bool LoadStems(std::u16string_view folder) override {
    g_calls.folder = folder;
    return g_calls.loads;
  }
  SongAudio* Audio() override { return nullptr; }
};

std::unique_ptr<SongStems> MakeFake() {
  ++g_calls.made;
  return std::make_unique<FakeStems>();
}

TEST_F(SongTest, StemsComeFromTheInstalledFactory) {
  Song song;
  song.folder = dir.WPath("song");
  SetSongStemsFactory(nullptr);
  EXPECT_FALSE(song.LoadAudio(nullptr, false));
  EXPECT_EQ(song.audio, nullptr);
  EXPECT_TRUE(LogHas(dir, "No audio back end for song stems"));

  g_calls = StemCalls();
  SetSongStemsFactory(&MakeFake);
  MixerSettings mix;
  ASSERT_TRUE(song.LoadAudio(&mix, true));
  EXPECT_NE(song.audio, nullptr);
  EXPECT_EQ(g_calls.mix, &mix);
  EXPECT_TRUE(g_calls.preview);
  EXPECT_EQ(g_calls.folder, dir.WPath("song/"));

  // A new set replaces the old one; a set that cannot load is freed and absent.
  g_calls.loads = false;
  g_calls.mix = nullptr;
  EXPECT_FALSE(song.LoadAudio(nullptr, false));
  EXPECT_EQ(song.audio, nullptr);
  EXPECT_EQ(g_calls.mix, nullptr);  // no settings given, none applied
  EXPECT_EQ(g_calls.made, 2);
  EXPECT_EQ(g_calls.destroyed, 2);
  SetSongStemsFactory(nullptr);
}

}  // namespace
