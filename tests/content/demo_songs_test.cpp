// The demo songs of the built run folder, read the way the game reads them: every
// chart track an instrument asks for is there at every difficulty, easier charts are
// thinner and narrower, the vocal parts carry sung syllables inside phrases,
// "song.ini" has its keys, and every stem decodes, lasts as long as the chart, does
// not clip and plays what the chart shows: onsets where the notes start and the
// sung pitch of the vocal notes. Last, the generator writes the same bytes again.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/utils.h"
#include "devices/audio/ogg_stem.h"
#include "platform/audio/audio.h"
#include "song/midi_file.h"
#include "song/song_info.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

const char* const kSongs[] = {"copper_lanterns", "night_signal", "slow_river_waltz"};
const char* const kStems[] = {"drums.ogg", "rhythm.ogg", "guitar.ogg", "keys.ogg", "vocals.ogg", "song.ogg"};

std::string MusicFolder() {
  const char* run = std::getenv("VELORIN_RUN_DIR");
  return std::string(run ? run : "") + "/music";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// ---------------------------------------------------------------------------------
// Chart helpers

struct NoteOn {
  uint64_t tick;
  int note;
  int velocity;
  int channel;
};

struct TrackNotes {
  std::vector<NoteOn> ons;
  std::multimap<uint64_t, std::string> lyrics;
  uint64_t lastTick = 0;  // of any note event
};

TrackNotes Notes(const MidiTrack& track) {
  TrackNotes out;
  uint64_t tick = 0;
  for (const MidiEvent* e = track.events; e; e = e->next()) {
    tick += e->delta();
    if (e->kind() == kMidiNoteOn) out.ons.push_back({tick, e->data1(), e->data2(), e->channel()});
    if (e->kind() == kMidiNoteOn || e->kind() == kMidiNoteOff) out.lastTick = std::max(out.lastTick, tick);
    if (e->kind() == kMetaLyric) out.lyrics.insert({tick, std::string(e->text())});
  }
  return out;
}

std::vector<NoteOn> InRange(const TrackNotes& t, int lo, int hi) {
  std::vector<NoteOn> out;
  for (const NoteOn& n : t.ons) {
    if (n.note >= lo && n.note <= hi) out.push_back(n);
  }
  return out;
}

std::set<uint64_t> Ticks(const std::vector<NoteOn>& notes) {
  std::set<uint64_t> out;
  for (const NoteOn& n : notes) out.insert(n.tick);
  return out;
}

std::set<int> Keys(const std::vector<NoteOn>& notes) {
  std::set<int> out;
  for (const NoteOn& n : notes) out.insert(n.note);
  return out;
}

struct TrackWant {
  int instrument;
  int part;
  const char* name;
};

// Every track an instrument's players can ask for, with the part numbers they use.
const TrackWant kTracks[] = {
    {0, 0, "PART DRUMS"},          {1, 0, "PART BASS"},           {2, 0, "PART GUITAR"},
    {3, 0, "PART KEYS"},           {4, 0, "PART VOCALS"},         {5, 0, "PART DRUMS"},
    {6, 0, "PART REAL_BASS"},      {6, 1, "PART REAL_BASS"},      {7, 0, "PART REAL_GUITAR"},
    {7, 1, "PART REAL_GUITAR"},    {8, 0, "PART REAL_KEYS_E"},    {8, 1, "PART REAL_KEYS_M"},
    {8, 2, "PART REAL_KEYS_H"},    {8, 3, "PART REAL_KEYS_X"},    {9, 0, "HARM1"},
    {9, 1, "HARM2"},               {9, 2, "HARM3"},               {10, 0, "PART RHYTHM"},
    {11, 0, "PART GUITAR COOP"},   {12, 0, "PART DANCE"},         {13, 0, "PART REAL_DRUMS_VL"},
    {14, 0, "PART REAL_KEYS_VL_E"}, {14, 1, "PART REAL_KEYS_VL_M"}, {14, 2, "PART REAL_KEYS_VL_H"},
    {14, 3, "PART REAL_KEYS_VL_X"},
};

// ---------------------------------------------------------------------------------
// Audio helpers

struct Decoded {
  int channels = 0;
  long rate = 0;
  double totalSeconds = 0.0;
  std::vector<float> left, right;
};

bool Decode(const std::string& path, Decoded* out) {
  OggVorbis_File vf;
  if (ov_fopen(path.c_str(), &vf) != 0) return false;
  const vorbis_info* info = ov_info(&vf, -1);
  out->channels = info->channels;
  out->rate = info->rate;
  out->totalSeconds = ov_time_total(&vf, -1);
  float** pcm = nullptr;
  int section = 0;
  long n;
  while ((n = ov_read_float(&vf, &pcm, 4096, &section)) > 0) {
    out->left.insert(out->left.end(), pcm[0], pcm[0] + n);
    out->right.insert(out->right.end(), pcm[out->channels > 1 ? 1 : 0], pcm[out->channels > 1 ? 1 : 0] + n);
  }
  ov_clear(&vf);
  return n == 0;
}

constexpr int kHop = 256;  // samples per step of the onset curve (5.8 ms)

// How much louder each step is than the one before (0 where it gets quieter).
std::vector<float> OnsetCurve(const Decoded& d) {
  std::vector<float> level;
  for (size_t at = 0; at + kHop <= d.left.size(); at += kHop) {
    double e = 0.0;
    for (size_t i = at; i < at + kHop; ++i) {
      const double m = 0.5 * (d.left[i] + d.right[i]);
      e += m * m;
    }
    level.push_back(static_cast<float>(std::sqrt(e / kHop)));
  }
  std::vector<float> onset(level.size(), 0.0f);
  for (size_t i = 1; i < level.size(); ++i) onset[i] = std::max(0.0f, level[i] - level[i - 1]);
  return onset;
}

struct Alignment {
  double bestLagMs = 0.0;
  double peakOverMean = 0.0;
};

// Slides the note times over the onset curve from -200 to +200 ms: where the notes
// meet the most onset, and how far that stands above the average placement.
Alignment Align(const std::vector<float>& onset, const std::vector<double>& timesMs, long rate) {
  const double hopMs = 1000.0 * kHop / rate;
  std::vector<double> scores;
  std::vector<double> lags;
  for (double lag = -200.0; lag <= 200.0; lag += hopMs / 2) {
    double score = 0.0;
    for (double t : timesMs) {
      const long step = std::lround((t + lag) / hopMs);
      for (long s = step; s <= step + 1; ++s) {
        if (s >= 0 && s < static_cast<long>(onset.size())) score += onset[static_cast<size_t>(s)];
      }
    }
    scores.push_back(score);
    lags.push_back(lag);
  }
  const size_t best = static_cast<size_t>(std::max_element(scores.begin(), scores.end()) - scores.begin());
  const double mean = std::accumulate(scores.begin(), scores.end(), 0.0) / static_cast<double>(scores.size());
  return {lags[best], mean > 0 ? scores[best] / mean : 0.0};
}

// Normalised autocorrelation of a mono window at a fractional lag.
double Correlation(const std::vector<float>& x, size_t from, size_t length, double lag) {
  const size_t whole = static_cast<size_t>(lag);
  const double frac = lag - static_cast<double>(whole);
  double xy = 0.0, xx = 0.0, yy = 0.0;
  for (size_t i = from; i < from + length; ++i) {
    const double a = x[i];
    const double b = (1.0 - frac) * x[i + whole] + frac * x[i + whole + 1];
    xy += a * b;
    xx += a * a;
    yy += b * b;
  }
  return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0.0;
}

// Counts per difficulty (easy first): never more on an easier difficulty, and easy
// below expert (at most two thirds of it when `clearly`).
void ExpectThinnerDownwards(const std::vector<size_t>& perDifficulty, const char* what, bool clearly = true) {
  for (size_t d = 1; d < perDifficulty.size(); ++d) {
    EXPECT_LE(perDifficulty[d - 1], perDifficulty[d]) << what << " at difficulty " << d - 1 << " and " << d;
  }
  const size_t easy = perDifficulty.front(), expert = perDifficulty.back();
  if (clearly) {
    EXPECT_LE(easy * 3, expert * 2) << what << ": easy " << easy << ", expert " << expert;
  } else {
    EXPECT_LT(easy, expert) << what;
  }
}

class DemoSong : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    folder_ = MusicFolder() + "/" + GetParam();
    ASSERT_TRUE(chart_.Load(false, folder_ + "/notes.mid")) << folder_;
  }

  const MidiTrack& Track(int instrument, int part) {
    const int index = chart_.FindTrack(instrument, part);
    EXPECT_GE(index, 0) << "instrument " << instrument << " part " << part;
    return chart_.tracks[static_cast<size_t>(std::max(index, 0))];
  }

  // Milliseconds of the end of the chart's last note.
  double LastNoteMs() {
    uint64_t last = 0;
    for (const TrackWant& w : kTracks) last = std::max(last, Notes(Track(w.instrument, w.part)).lastTick);
    return chart_.TickToMs(last);
  }

  std::vector<double> TimesMs(const std::vector<NoteOn>& notes) {
    std::vector<double> out;
    for (uint64_t tick : Ticks(notes)) out.push_back(chart_.TickToMs(tick));
    return out;
  }

  std::string folder_;
  MidiFile chart_;
};

// ---------------------------------------------------------------------------------

TEST(DemoSongs, MusicFolderHoldsTheThreeSongs) {
  int songs = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(MusicFolder(), ec)) {
    if (entry.is_directory() && fs::exists(entry.path() / "notes.mid")) ++songs;
  }
  ASSERT_FALSE(ec) << MusicFolder() << ": " << ec.message();
  EXPECT_GE(songs, 3);
  for (const char* song : kSongs) {
    EXPECT_TRUE(fs::exists(MusicFolder() + "/" + song + "/notes.mid")) << song;
  }
}

TEST_P(DemoSong, ChartHoldsEveryInstrumentAtEveryDifficulty) {
  for (const TrackWant& w : kTracks) {
    SCOPED_TRACE(w.name);
    const int index = chart_.FindTrack(w.instrument, w.part);
    ASSERT_GE(index, 0);
    const MidiTrack& t = chart_.tracks[static_cast<size_t>(index)];
    EXPECT_EQ(t.name, w.name);
    EXPECT_TRUE(t.complete);
    const int flags = t.family() == ChartFamily::kOther ? 0 : t.family() == ChartFamily::kProStrings ? 4 : 5;
    for (int d = 0; d < flags; ++d) {
      EXPECT_TRUE(t.difficultyPresent[static_cast<size_t>(d)]) << "difficulty " << d;
    }
    EXPECT_FALSE(Notes(t).ons.empty());
    // Energy phrases are marked with 116 in every instrument part (harmonies aside).
    if (w.instrument != 9) {
      EXPECT_EQ(t.energyNote, kEnergyNote);
    }
  }

  // The guitar solo holds notes at every difficulty, on the five-lane and pro tracks.
  auto soloNotes = [](const MidiTrack& t, int marker) {
    for (const MidiEvent* e = t.events; e; e = e->next()) {
      if (e->kind() == kMidiNoteOn && e->data1() == marker) return e->spanNotes();
    }
    return std::array<uint32_t, 5>{};
  };
  const auto solo = soloNotes(Track(2, 0), kSoloNote);
  const auto proSolo = soloNotes(Track(7, 1), kProSoloNote);
  for (size_t d = 0; d < 4; ++d) {
    EXPECT_GT(solo[d], 0u) << "difficulty " << d;
    EXPECT_GT(proSolo[d], 0u) << "difficulty " << d;
  }
  EXPECT_GT(solo[3], solo[0]);

  // Drums: the extra kick of expert+ and tom markers over the fills.
  const MidiTrack& drums = Track(0, 0);
  EXPECT_TRUE(drums.hasTomMarkers);
  EXPECT_FALSE(InRange(Notes(drums), 95, 95).empty());
  EXPECT_TRUE(Track(13, 0).hasTomMarkers);

  ASSERT_TRUE(chart_.ReadSections());
  ASSERT_GE(chart_.sectionCount, 5);
  std::set<std::string> names;
  for (int i = 0; i < chart_.sectionCount; ++i) {
    names.insert(chart_.sections[static_cast<size_t>(i)].name);
    if (i > 0) {
      EXPECT_GT(chart_.sections[static_cast<size_t>(i)].timeMs, chart_.sections[static_cast<size_t>(i - 1)].timeMs);
    }
  }
  for (const char* name : {"Intro", "Verse 1", "Chorus 1", "Guitar Solo", "Outro"}) {
    EXPECT_TRUE(names.count(name)) << name;
  }
  EXPECT_LT(chart_.sections[static_cast<size_t>(chart_.sectionCount - 1)].timeMs, LastNoteMs());
}

TEST_P(DemoSong, EasierDifficultiesAreThinnerAndNarrower) {
  // Five-lane parts: lanes 60 + 12d .. 64 + 12d; easy uses three lanes, medium four.
  for (const auto& [instrument, name] : std::vector<std::pair<int, const char*>>{
           {1, "bass"}, {2, "guitar"}, {3, "keys"}, {10, "rhythm"}, {11, "co-op"}}) {
    SCOPED_TRACE(name);
    const TrackNotes t = Notes(Track(instrument, 0));
    std::vector<size_t> strikes, gems, lanes;
    for (int d = 0; d < 4; ++d) {
      const int base = 60 + 12 * d;
      const std::vector<NoteOn> notes = InRange(t, base, base + 4);
      strikes.push_back(Ticks(notes).size());
      gems.push_back(notes.size());
      lanes.push_back(Keys(notes).size());
      if (d == 0) {
        EXPECT_LE(*Keys(notes).rbegin(), base + 2);
      }
      if (d == 1) {
        EXPECT_LE(*Keys(notes).rbegin(), base + 3);
      }
    }
    ExpectThinnerDownwards(strikes, "strikes", false);
    ExpectThinnerDownwards(gems, "notes");
    EXPECT_GE(lanes[3], 4u);
    EXPECT_GT(lanes[3], lanes[0]);
  }
  // Drums and dance thin the same way; dance steps on four arrows.
  for (int instrument : {0, 12}) {
    SCOPED_TRACE(instrument);
    const TrackNotes t = Notes(Track(instrument, 0));
    std::vector<size_t> counts;
    for (int d = 0; d < 4; ++d) {
      const int base = 60 + 12 * d;
      const std::vector<NoteOn> notes = InRange(t, base, base + 5);
      if (instrument == 12) {
        EXPECT_LE(*Keys(notes).rbegin(), base + 3);
      }
      counts.push_back(notes.size());
    }
    ExpectThinnerDownwards(counts, "notes");
  }
  // Pro strings: frets as velocity 100 + fret on channel 1; chords only from hard up.
  for (int instrument : {6, 7}) {
    SCOPED_TRACE(instrument);
    const TrackNotes t = Notes(Track(instrument, 1));
    std::vector<size_t> counts;
    for (int d = 0; d < 4; ++d) {
      const int base = 24 * (d + 1);
      const std::vector<NoteOn> notes = InRange(t, base, base + 5);
      for (const NoteOn& n : notes) {
        EXPECT_GE(n.velocity, 100);
        EXPECT_LE(n.velocity, 122);
        EXPECT_EQ(n.channel, 1);
      }
      counts.push_back(notes.size());
      const size_t strikes = Ticks(notes).size();
      if (d < 2) {
        EXPECT_EQ(strikes, notes.size()) << "chords at difficulty " << d;
      }
      if (d == 3 && instrument == 7) {
        EXPECT_GT(notes.size(), strikes);
      }
    }
    ExpectThinnerDownwards(counts, "notes");
  }
  // Keys tracks: one per difficulty, each thinner than the next, inside its range; the
  // key window markers are the only notes outside it.
  for (int instrument : {8, 14}) {
    SCOPED_TRACE(instrument);
    std::vector<size_t> counts;
    for (int d = 0; d < 4; ++d) {
      const TrackNotes t = Notes(Track(instrument, d));
      const int lo = instrument == 8 ? 48 : 21, hi = instrument == 8 ? 72 : 108;
      const std::vector<NoteOn> keys = InRange(t, lo, hi);
      for (const NoteOn& n : t.ons) {
        const bool marker = n.note == kEnergyNote || (instrument == 8 ? n.note <= 11 : n.note == 12 || n.note == 13);
        EXPECT_TRUE(marker || (n.note >= lo && n.note <= hi)) << n.note;
        if (instrument == 14 && !marker) {
          EXPECT_TRUE(n.channel == 1 || n.channel == 2);
        }
      }
      counts.push_back(keys.size());
    }
    ExpectThinnerDownwards(counts, "notes");
  }
}

TEST_P(DemoSong, VocalPartsCarryPitchedSyllablesInPhrases) {
  for (const auto& [instrument, part] : std::vector<std::pair<int, int>>{{4, 0}, {9, 0}, {9, 1}, {9, 2}}) {
    SCOPED_TRACE(Track(instrument, part).name);
    const TrackNotes t = Notes(Track(instrument, part));
    const MidiTrack& track = Track(instrument, part);
    // Phrase spans (105) from the note events.
    std::vector<std::pair<uint64_t, uint64_t>> phrases;
    uint64_t tick = 0;
    for (const MidiEvent* e = track.events; e; e = e->next()) {
      tick += e->delta();
      if (e->data1() != 105) continue;
      if (e->kind() == kMidiNoteOn) phrases.push_back({tick, tick});
      if (e->kind() == kMidiNoteOff && !phrases.empty()) phrases.back().second = tick;
    }
    ASSERT_FALSE(phrases.empty());
    const std::vector<NoteOn> sung = InRange(t, 0, 104);
    ASSERT_FALSE(sung.empty());
    for (const NoteOn& n : sung) {
      EXPECT_GE(n.note, 36);
      EXPECT_LE(n.note, 84);
      EXPECT_EQ(t.lyrics.count(n.tick), 1u) << "syllable at tick " << n.tick;
      const bool inside = std::any_of(phrases.begin(), phrases.end(),
                                      [&](const auto& p) { return n.tick >= p.first && n.tick < p.second; });
      EXPECT_TRUE(inside) << "note at tick " << n.tick;
    }
    EXPECT_EQ(t.lyrics.size(), sung.size());
    // Words hold letters; syllables that go on into the next end in '-'.
    std::string text;
    for (const auto& [at, word] : t.lyrics) text += word == "+" ? "" : word.back() == '-' ? word.substr(0, word.size() - 1) : word + " ";
    EXPECT_GT(text.size(), 20u);
    EXPECT_EQ(text.find('-'), std::string::npos);
  }
}

TEST_P(DemoSong, SongIniHasEveryKey) {
  std::istringstream ini(ReadAll(folder_ + "/song.ini"));
  std::string line;
  ASSERT_TRUE(std::getline(ini, line));
  EXPECT_EQ(line, "[song]");
  std::map<std::string, std::string> values;
  while (std::getline(ini, line)) {
    std::string key, value;
    if (SplitSongIniLine(line, key, value)) values[key] = value;
  }
  for (const char* key : {"name", "artist", "album", "genre", "year", "charter", "delay", "song_length",
                          "preview_start_time", "loading_phrase"}) {
    EXPECT_TRUE(values.count(key) && !values[key].empty()) << key;
  }
  int diffs = 0;
  for (const auto& [key, value] : values) {
    if (key.rfind("diff_", 0) != 0) continue;
    ++diffs;
    const int rating = std::atoi(value.c_str());
    EXPECT_TRUE(rating >= 0 && rating <= 6) << key << " = " << value;
  }
  EXPECT_EQ(diffs, 16);

  SongInfo info;
  info.ReadIni(ToWide(folder_ + "/"));
  EXPECT_TRUE(info.iniRead);
  EXPECT_EQ(info.name, values["name"]);
  EXPECT_EQ(info.artist, values["artist"]);
  EXPECT_GT(info.diff_guitar, 0);
  EXPECT_GT(info.diff_drums_real_vl, 0);
  EXPECT_GE(info.preview_start_time, 0);
  EXPECT_LT(info.preview_start_time, info.song_length);
}

TEST_P(DemoSong, StemsDecodeToTheSongsLengthWithoutClipping) {
  // As the game opens them.
  ASSERT_TRUE(platform::audio::testing::UseLoopback(44100));
  const double lastNoteSeconds = LastNoteMs() / 1000.0;
  double longest = 0.0;
  for (const char* stem : {"drums.ogg", "rhythm.ogg", "guitar.ogg", "keys.ogg", "vocals.ogg", "song.ogg",
                           "preview.ogg"}) {
    SCOPED_TRACE(stem);
    CAudio audio;
    ASSERT_TRUE(audio.CreateEngine());
    ASSERT_TRUE(audio.Open(ToWide(folder_ + "/" + stem)));
    EXPECT_TRUE(audio.ready);
    EXPECT_EQ(audio.channels, 2u);
    EXPECT_EQ(audio.sampleRate, 44100);
    if (std::string(stem) == "preview.ogg") {
      EXPECT_NEAR(audio.totalLength, 15.0, 0.5);
    } else {
      // The last note and a short ring-out.
      EXPECT_GE(audio.totalLength, lastNoteSeconds + 1.0);
      EXPECT_LE(audio.totalLength, lastNoteSeconds + 3.0);
      longest = std::max(longest, audio.totalLength);
    }
  }
  SongInfo info;
  info.ReadIni(ToWide(folder_ + "/"));
  EXPECT_NEAR(info.song_length, longest * 1000.0, 2.0);

  // The stems decoded: each sounds, none clips, and neither does their sum.
  std::vector<float> mixLeft, mixRight;
  for (const char* stem : kStems) {
    SCOPED_TRACE(stem);
    Decoded d;
    ASSERT_TRUE(Decode(folder_ + "/" + stem, &d));
    mixLeft.resize(std::max(mixLeft.size(), d.left.size()), 0.0f);
    mixRight.resize(std::max(mixRight.size(), d.right.size()), 0.0f);
    float peak = 0.0f;
    double energy = 0.0;
    for (size_t i = 0; i < d.left.size(); ++i) {
      peak = std::max({peak, std::fabs(d.left[i]), std::fabs(d.right[i])});
      energy += double(d.left[i]) * d.left[i] + double(d.right[i]) * d.right[i];
      mixLeft[i] += d.left[i];
      mixRight[i] += d.right[i];
    }
    EXPECT_LT(peak, 0.95f);
    EXPECT_GT(std::sqrt(energy / (2.0 * static_cast<double>(d.left.size()))), 0.003);
  }
  float mixPeak = 0.0f;
  for (size_t i = 0; i < mixLeft.size(); ++i) mixPeak = std::max({mixPeak, std::fabs(mixLeft[i]), std::fabs(mixRight[i])});
  EXPECT_LT(mixPeak, 0.98f);
  EXPECT_GT(mixPeak, 0.5f);
}

TEST_P(DemoSong, AudioFollowsTheChart) {
  struct Pairing {
    const char* stem;
    int instrument;
    int lo, hi;  // expert notes of the part
  };
  const Pairing pairings[] = {{"drums.ogg", 0, 95, 100},  {"rhythm.ogg", 1, 96, 100}, {"guitar.ogg", 2, 96, 100},
                              {"keys.ogg", 3, 96, 100},   {"vocals.ogg", 4, 36, 84}};
  for (const Pairing& p : pairings) {
    SCOPED_TRACE(p.stem);
    Decoded d;
    ASSERT_TRUE(Decode(folder_ + "/" + p.stem, &d));
    const TrackNotes t = Notes(Track(p.instrument, 0));
    std::vector<NoteOn> notes;
    for (const NoteOn& n : InRange(t, p.lo, p.hi)) {
      const auto lyric = t.lyrics.find(n.tick);
      if (lyric == t.lyrics.end() || lyric->second != "+") notes.push_back(n);  // a held syllable has no onset
    }
    const Alignment a = Align(OnsetCurve(d), TimesMs(notes), d.rate);
    EXPECT_GE(a.bestLagMs, -15.0);
    EXPECT_LE(a.bestLagMs, 25.0);
    EXPECT_GT(a.peakOverMean, 1.8);
  }

  // Where the lead voice sings alone, it sings the charted pitch: the voice repeats
  // at the note's period, and not at a semitone either side.
  Decoded d;
  ASSERT_TRUE(Decode(folder_ + "/vocals.ogg", &d));
  std::vector<float> mono(d.left.size());
  for (size_t i = 0; i < mono.size(); ++i) mono[i] = 0.5f * (d.left[i] + d.right[i]);
  const TrackNotes lead = Notes(Track(4, 0));
  const std::set<uint64_t> harmony = Ticks(InRange(Notes(Track(9, 1)), 36, 84));
  int checked = 0, inTune = 0;
  const std::vector<NoteOn> sung = InRange(lead, 36, 84);
  for (size_t i = 0; i + 1 < sung.size(); ++i) {
    const NoteOn& n = sung[i];
    if (harmony.count(n.tick)) continue;
    const double startMs = chart_.TickToMs(n.tick);
    if (chart_.TickToMs(sung[i + 1].tick) - startMs < 140.0) continue;
    const double period = d.rate / (440.0 * std::pow(2.0, (n.note - 69) / 12.0));
    const size_t from = static_cast<size_t>((startMs + 60.0) * d.rate / 1000.0);
    const size_t window = 1024;
    if (from + window + static_cast<size_t>(period * 1.1) + 2 >= mono.size()) continue;
    const double at = Correlation(mono, from, window, period);
    const double sharp = Correlation(mono, from, window, period / std::pow(2.0, 1.0 / 12.0));
    const double flat = Correlation(mono, from, window, period * std::pow(2.0, 1.0 / 12.0));
    ++checked;
    if (at > 0.85 && at > sharp && at > flat) ++inTune;
  }
  EXPECT_GE(checked, 6);
  EXPECT_GE(inTune, checked * 9 / 10) << inTune << " of " << checked;
}

INSTANTIATE_TEST_SUITE_P(Music, DemoSong, ::testing::ValuesIn(kSongs));

// The program that wrote the run folder writes the same bytes again (a build that
// regenerates a song changes nothing unless the generator changed). The keys the game
// rewrites while it plays ("count", "last_play", ...) are left out of the comparison.
TEST(DemoSongs, GeneratorWritesTheSameBytesAgain) {
  testsupport::TempDir dir;
  const std::string song = "night_signal";
  const std::string command = std::string("\"") + VELORIN_DEMO_SONGS_PROGRAM + "\" \"" + dir.path() + "\" " + song;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::string built = MusicFolder() + "/" + song;
  for (const char* file : {"notes.mid", "drums.ogg", "rhythm.ogg", "guitar.ogg", "keys.ogg", "vocals.ogg", "song.ogg",
                           "preview.ogg"}) {
    const std::string fresh = ReadAll(dir.path() + "/" + song + "/" + file);
    EXPECT_FALSE(fresh.empty()) << file;
    EXPECT_TRUE(fresh == ReadAll(built + "/" + file)) << file << " differs";
  }
  auto keys = [](const std::string& text) {
    std::map<std::string, std::string> out;
    std::istringstream in(text);
    std::string line, key, value;
    while (std::getline(in, line)) {
      if (SplitSongIniLine(line, key, value) && key != "count" && key != "last_play" && key != "rating") out[key] = value;
    }
    return out;
  };
  EXPECT_EQ(keys(ReadAll(dir.path() + "/" + song + "/song.ini")), keys(ReadAll(built + "/song.ini")));

  // A name it does not know is refused and nothing is written.
  const std::string wrong = std::string("\"") + VELORIN_DEMO_SONGS_PROGRAM + "\" \"" + dir.path() + "/other\" no_such_song 2>/dev/null";
  EXPECT_NE(std::system(wrong.c_str()), 0);
  EXPECT_FALSE(fs::exists(dir.path() + "/other"));
}

}  // namespace
