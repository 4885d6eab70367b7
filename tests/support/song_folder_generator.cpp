#include "tests/support/song_folder_generator.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <utility>

#include "tests/support/midi_builder.h"

namespace testsupport {

namespace {

// A small deterministic generator (no dependence on the library's rand()).
struct Lcg {
  uint32_t state;
  explicit Lcg(uint32_t seed) : state(seed * 2654435761u + 12345u) {}
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
  int Below(int n) { return n > 0 ? static_cast<int>(Next() % static_cast<uint32_t>(n)) : 0; }
};

const char* const kWords[] = {"Midnight", "electric", "Echo",   "river",  "Static", "Neon",  "ghost", "Silver",
                              "Zenith",   "amber",    "Hollow", "Crown",  "velvet", "Storm", "Orbit", "Paper",
                              "Tide",     "ashes",    "Signal", "Horizon", "Glass", "Fever", "Lantern", "Wolves"};
const char* const kGenres[] = {"Rock", "Metal", "Pop", "Punk", "Indie", "Blues", "Funk", "Prog", "rock", ""};
constexpr int kWordCount = sizeof kWords / sizeof kWords[0];
constexpr int kGenreCount = sizeof kGenres / sizeof kGenres[0];
// Chart sizes in bytes, roughly as community charts come: mostly 30-80 KB.
constexpr int64_t kChartSizes[] = {24000, 36000, 48000, 60000, 80000, 120000};

std::string Title(Lcg& rng, int words) {
  std::string out;
  for (int i = 0; i < words; ++i) {
    if (i) out += ' ';
    out += kWords[rng.Below(kWordCount)];
  }
  return out;
}

std::string Padded(int value, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  return buf;
}

// One part: notes of four difficulties at base + 12 * d, until the part holds about
// `bytes` bytes.
void AddPart(MidiFileBuilder& midi, const char* name, int base, int span, int64_t bytes, Lcg& rng) {
  MidiTrackBuilder& t = midi.Track(name).RunningStatus().ZeroVelocityNoteOff();
  // A note is two events of three or four bytes each with running status.
  const int64_t notes = bytes / 7;
  uint32_t tick[4] = {0, 0, 0, 0};
  for (int64_t n = 0; n < notes; ++n) {
    const int d = static_cast<int>(n % 10 < 4 ? 3 : n % 10 < 7 ? 2 : n % 10 < 9 ? 1 : 0);
    tick[d] += 120 * static_cast<uint32_t>(1 + rng.Below(4));
    t.Note(tick[d], base + 12 * d + rng.Below(span), 60, 100);
  }
  t.Note(0, 103, 1920);  // a solo span, as most parts have
  t.Note(3840, 116, 1920);
}

std::string BuildTemplate(int64_t targetBytes, uint32_t seed) {
  Lcg rng(seed ^ static_cast<uint32_t>(targetBytes));
  MidiFileBuilder midi(480);
  MidiTrackBuilder& tempo = midi.Track("tempo");
  tempo.Tempo(0, 500000).TimeSignature(0, 4, 2);
  for (int i = 1; i < 20; ++i) tempo.Tempo(static_cast<uint32_t>(i) * 7680, 400000 + 10000 * static_cast<uint32_t>(i));
  const int64_t part = targetBytes * 29 / 100;
  AddPart(midi, "PART GUITAR", 60, 5, part, rng);
  AddPart(midi, "PART BASS", 60, 5, part, rng);
  AddPart(midi, "PART DRUMS", 60, 5, part, rng);
  MidiTrackBuilder& vocals = midi.Track("PART VOCALS").RunningStatus();
  // A lyric and its note take about 14 bytes.
  const uint32_t lyrics = static_cast<uint32_t>(targetBytes * 12 / 100 / 14);
  for (uint32_t i = 0; i < lyrics; ++i) {
    vocals.Lyric(i * 480, kWords[rng.Below(kWordCount)]);
    vocals.Note(i * 480, 40 + rng.Below(40), 240);
  }
  MidiTrackBuilder& events = midi.Track("EVENTS");
  for (int i = 0; i < 12; ++i) events.Text(static_cast<uint32_t>(i) * 15360, "[section verse " + std::to_string(i) + "]");
  return midi.Build();
}

const std::string& Template(int64_t targetBytes, uint32_t seed) {
  static std::mutex mutex;
  static std::map<std::pair<int64_t, uint32_t>, std::string> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = cache.find({targetBytes, seed});
  if (it == cache.end()) it = cache.emplace(std::make_pair(targetBytes, seed), BuildTemplate(targetBytes, seed)).first;
  return it->second;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

std::string GeneratedChart(int index, int64_t targetBytes, uint32_t seed) {
  std::string chart = Template(targetBytes, seed);
  // One more track naming the song makes every chart's MD5 its own.
  MidiTrackBuilder id;
  id.Name("song id").Text(0, "generated song " + std::to_string(index) + " seed " + std::to_string(seed));
  chart += MidiChunk("MTrk", id.Bytes());
  const uint16_t tracks = static_cast<uint16_t>(((static_cast<unsigned char>(chart[10]) << 8) |
                                                 static_cast<unsigned char>(chart[11])) + 1);
  chart[10] = static_cast<char>(tracks >> 8);
  chart[11] = static_cast<char>(tracks & 0xFF);
  return chart;
}

std::string GeneratedSongIni(const GeneratedSong& song, int index) {
  Lcg rng(static_cast<uint32_t>(index) * 7919u + 17u);
  auto diff = [&] { return std::to_string(rng.Below(7) - 1); };
  std::string s = "[song]\n";
  s += "name = " + song.name + "\n";
  s += "artist = " + song.artist + "\n";
  s += "album = " + song.album + "\n";
  s += "genre = " + std::string(kGenres[rng.Below(kGenreCount)]) + "\n";
  s += "year = " + song.year + "\n";
  s += "track = " + std::to_string(1 + rng.Below(14)) + "\n";
  s += "charter = Chart Maker " + std::to_string(rng.Below(30)) + "\n";
  s += "loading_phrase = " + Title(rng, 12) + "\n";
  s += "delay = " + std::to_string(rng.Below(200) - 100) + "\n";
  for (const char* key : {"diff_band", "diff_guitar", "diff_bass", "diff_drums", "diff_keys", "diff_vocals",
                          "diff_guitar_real", "diff_bass_real", "diff_drums_real", "diff_keys_real", "diff_rhythm"}) {
    s += std::string(key) + " = " + diff() + "\n";
  }
  s += "preview_start_time = " + std::to_string(30000 + rng.Below(60000)) + "\n";
  s += "song_length = " + std::to_string(150000 + rng.Below(200000)) + "\n";
  s += "video_start_time = 0\n";
  s += "rating = " + std::to_string(song.rating) + "\n";
  s += "count = " + std::to_string(song.count) + "\n";
  s += "five_lane_drums = False\n";
  s += "pro_drums = True\n";
  s += "icon = " + std::string(rng.Below(2) ? "band" : "") + "\n";
  return s;
}

std::vector<GeneratedSong> GenerateSongFolders(const std::string& root, const SongFolderLayout& layout) {
  namespace fs = std::filesystem;
  std::vector<GeneratedSong> out;
  out.reserve(static_cast<size_t>(layout.count > 0 ? layout.count : 0));
  Lcg rng(layout.seed);
  const int width = layout.count >= 100000 ? 6 : 5;
  for (int i = 0; i < layout.count; ++i) {
    GeneratedSong song;
    const int artistNo = layout.songsPerGroup > 0 ? i / layout.songsPerGroup : rng.Below(layout.count / 8 + 1);
    song.artist = "The " + std::string(kWords[artistNo % kWordCount]) + " " + std::to_string(artistNo);
    song.name = Title(rng, 1 + rng.Below(3));
    song.album = Title(rng, 2);
    song.year = std::to_string(1960 + rng.Below(64));
    song.rating = rng.Below(6);
    song.count = rng.Below(4) == 0 ? rng.Below(50) : 0;
    const std::string songFolder = "Song " + Padded(i, width) + " - " + song.name;
    song.folder = layout.songsPerGroup > 0 ? "Artist " + Padded(artistNo, width) + "/" + songFolder + "/"
                                            : songFolder + "/";
    const fs::path dir = fs::path(root) / song.folder;
    fs::create_directories(dir);
    const std::string chart =
        GeneratedChart(i, kChartSizes[rng.Below(static_cast<int>(sizeof kChartSizes / sizeof kChartSizes[0]))],
                       layout.seed);
    song.chartBytes = static_cast<int64_t>(chart.size());
    WriteFile(dir / "notes.mid", chart);
    WriteFile(dir / "song.ini", GeneratedSongIni(song, i));
    if (layout.extraFiles) {
      for (const char* name : {"guitar.ogg", "song.ogg", "preview.ogg", "album.png"}) WriteFile(dir / name, "");
    }
    out.push_back(std::move(song));
  }
  std::sort(out.begin(), out.end(), [](const GeneratedSong& a, const GeneratedSong& b) { return a.folder < b.folder; });
  return out;
}

}  // namespace testsupport
