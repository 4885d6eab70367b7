// Writes the calibration song into a folder: "song.ini" flagged as the calibrator,
// "notes.mid" with one note on every beat for each instrument at every difficulty,
// and "song.ogg", a click on every beat. Playing along by ear gives the audio delay;
// the second pass, with the click muted, gives the video delay.
//
//   velorin_calibration_song <folder>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/audio_fixtures.h"
#include "tests/support/midi_builder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
constexpr int kTicksPerBeat = 480;
constexpr double kBeatSeconds = 0.5;  // 120 beats per minute
constexpr int kLeadInBeats = 4;
constexpr int kBeats = 32;
constexpr double kSeconds = (kLeadInBeats + kBeats + 4) * kBeatSeconds;

bool WriteFile(const fs::path& path, const std::string& bytes) {
  const fs::path temp = path.string() + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) return false;
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  return !ec;
}

std::string Chart() {
  testsupport::MidiFileBuilder midi(kTicksPerBeat);
  midi.Track("tempo").Tempo(0, 500000).TimeSignature(0, 4, 2);
  for (const char* name : {"PART GUITAR", "PART BASS", "PART DRUMS", "PART KEYS", "PART RHYTHM"}) {
    testsupport::MidiTrackBuilder& t = midi.Track(name);
    for (int b = 0; b < kBeats; ++b) {
      const uint32_t tick = static_cast<uint32_t>((kLeadInBeats + b) * kTicksPerBeat);
      const int lane = b % 3;  // the three lanes under the first fingers
      for (int base : {60, 72, 84, 96}) t.Note(tick, base + lane, 60);
    }
  }
  return midi.Build();
}

// A short wooden click, the downbeat of each bar higher.
float Click(int64_t frame) {
  const double t = static_cast<double>(frame) / kRate;
  const int beat = static_cast<int>(t / kBeatSeconds);
  if (beat < kLeadInBeats || beat >= kLeadInBeats + kBeats) return 0.0f;
  const double since = t - beat * kBeatSeconds;
  if (since > 0.06) return 0.0f;
  const double freq = beat % 4 == 0 ? 1760.0 : 1320.0;
  return static_cast<float>(0.45 * std::exp(-since * 70.0) * std::sin(2.0 * M_PI * freq * since));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velorin_calibration_song <folder>\n");
    return 2;
  }
  const fs::path folder = argv[1];
  std::error_code ec;
  fs::create_directories(folder, ec);
  testsupport::OggSpec ogg;
  ogg.channels = 2;
  ogg.rate = kRate;
  ogg.frames = static_cast<int64_t>(kSeconds * kRate);
  ogg.signal = [](int64_t frame, int) { return Click(frame); };
  const std::string audio = testsupport::MakeOgg(ogg);
  const std::string ini = "[song]\nname = Calibration\nartist = Velorin\ncharter = Velorin\ndelay = 0\nsong_length = " +
                          std::to_string(static_cast<int>(kSeconds * 1000.0)) +
                          "\ndiff_guitar = 1\ndiff_bass = 1\ndiff_drums = 1\ndiff_keys = 1\nvl_calibrator = 1\n";
  if (audio.empty() || !WriteFile(folder / "notes.mid", Chart()) || !WriteFile(folder / "song.ogg", audio) ||
      !WriteFile(folder / "song.ini", ini)) {
    std::fprintf(stderr, "velorin_calibration_song: cannot write %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
