// The files an end-to-end run puts into its private run folder, written and read with
// the game's own writers and readers so the test never guesses at a file format:
//
//   velorin_e2e_fixture song <folder>            a short guitar song (see below)
//   velorin_e2e_fixture profile <file> <name>    a player profile with that name
//   velorin_e2e_fixture scores <song folder>     prints the song's stored results,
//                                                one "name,players,score,rating,
//                                                percent,difficulty,instrument" a line
//
// The song is built so that a keyboard player driven by xdotool on a loaded machine
// finishes it with the meter up: its notes come in four short runs of green notes,
// each run close enough together that a strum anywhere within half a second of the
// run's centre lands inside some note's hit window. Even a run of presses that all
// miss leaves the meter above empty (four runs of six notes).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/utils.h"
#include "platform/file.h"
#include "song/profile.h"
#include "song/score_table.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/midi_builder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
constexpr int kTicksPerBeat = 480;
constexpr double kBeatSeconds = 0.5;   // 120 beats per minute
constexpr int kRuns = 4;
constexpr int kNotesPerRun = 6;
constexpr int kNoteSpacingTicks = 144;  // 150 ms: closer than two 85 ms hit windows
constexpr double kFirstRunCentre = 4.0;  // seconds; late enough for no count-in
constexpr double kRunGap = 2.5;          // seconds between run centres
constexpr double kSeconds = 14.0;

// The centre of run r in ticks; its notes sit around it.
uint32_t RunCentreTick(int r) {
  return static_cast<uint32_t>(std::lround((kFirstRunCentre + r * kRunGap) / kBeatSeconds * kTicksPerBeat));
}
uint32_t NoteTick(int r, int n) {
  const int32_t offset = (2 * n - (kNotesPerRun - 1)) * kNoteSpacingTicks / 2;
  return static_cast<uint32_t>(static_cast<int32_t>(RunCentreTick(r)) + offset);
}

bool WriteFile(const fs::path& path, const std::string& bytes) {
  return platform::WriteFileAtomic(path.string(), bytes);
}

std::string Chart() {
  testsupport::MidiFileBuilder midi(kTicksPerBeat);
  midi.Track("tempo").Tempo(0, 500000).TimeSignature(0, 4, 2);
  // The parts of a demo song, so that player select offers its usual instruments;
  // the keyboard plays the guitar.
  for (const char* name : {"PART GUITAR", "PART BASS", "PART DRUMS", "PART KEYS"}) {
    testsupport::MidiTrackBuilder& t = midi.Track(name);
    for (int r = 0; r < kRuns; ++r) {
      for (int n = 0; n < kNotesPerRun; ++n) {
        // The first lane at every difficulty, so whichever skill is picked has the runs.
        for (int base : {60, 72, 84, 96}) t.Note(NoteTick(r, n), base, 60);
      }
    }
  }
  return midi.Build();
}

// A plucked string on every note and a soft drone under it, so the song sounds like
// something is being played along to.
float Signal(int64_t frame) {
  const double t = static_cast<double>(frame) / kRate;
  double v = 0.08 * std::sin(2.0 * M_PI * 110.0 * t) * std::min(1.0, t) * std::min(1.0, kSeconds - t);
  for (int r = 0; r < kRuns; ++r) {
    for (int n = 0; n < kNotesPerRun; ++n) {
      const double at = NoteTick(r, n) * kBeatSeconds / kTicksPerBeat;
      const double since = t - at;
      if (since < 0.0 || since > 0.4) continue;
      const double freq = 329.63 * (n % 2 == 0 ? 1.0 : 1.5);
      v += 0.3 * std::exp(-since * 9.0) * (std::sin(2.0 * M_PI * freq * since) + 0.4 * std::sin(4.0 * M_PI * freq * since));
    }
  }
  return static_cast<float>(std::clamp(v, -0.95, 0.95));
}

int WriteSong(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  testsupport::OggSpec ogg;
  ogg.channels = 2;
  ogg.rate = kRate;
  ogg.frames = static_cast<int64_t>(kSeconds * kRate);
  ogg.signal = [](int64_t frame, int) { return Signal(frame); };
  const std::string audio = testsupport::MakeOgg(ogg);
  const std::string ini = "[song]\nname = A Short Rehearsal\nartist = The Test Bench\ncharter = Velorin\ndelay = 0\n"
                          "song_length = " + std::to_string(static_cast<int>(kSeconds * 1000.0)) +
                          "\ndiff_guitar = 0\ndiff_bass = 0\ndiff_drums = 0\ndiff_keys = 0\n";
  if (audio.empty() || !WriteFile(folder / "notes.mid", Chart()) || !WriteFile(folder / "song.ogg", audio) ||
      !WriteFile(folder / "song.ini", ini)) {
    std::fprintf(stderr, "velorin_e2e_fixture: cannot write the song into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}

int WriteProfile(const std::string& file, const std::string& name) {
  Profile p;
  p.SetDefaults();
  p.PLAYERNAME = name;
  p.path = ToWide(file);
  if (!p.Save()) {
    std::fprintf(stderr, "velorin_e2e_fixture: cannot write the profile %s\n", file.c_str());
    return 1;
  }
  return 0;
}

int PrintScores(const std::string& songFolder) {
  std::string folder = songFolder;
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  ScoreTable table;
  if (!table.Load(ToWide(folder))) {
    std::fprintf(stderr, "velorin_e2e_fixture: no readable score file in %s\n", folder.c_str());
    return 1;
  }
  for (int32_t i = 0; i < table.count && i < ScoreTable::kSlots; ++i)
    std::printf("%s\n", table.entries[static_cast<size_t>(i)].Text().c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "song" && argc == 3) return WriteSong(argv[2]);
  if (mode == "profile" && argc == 4) return WriteProfile(argv[2], argv[3]);
  if (mode == "scores" && argc == 3) return PrintScores(argv[2]);
  std::fprintf(stderr,
               "usage: velorin_e2e_fixture song <folder> | profile <file> <name> | scores <song folder>\n");
  return 2;
}
