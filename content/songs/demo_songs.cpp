// Writes the demo songs into a music folder: for each song a folder with "song.ini",
// "notes.mid" and the Ogg Vorbis stems, all made from the song's one arrangement.
//
//   velorin_demo_songs <music folder> [song folder name ...]
//
// Without names every song is written. The output depends on nothing but this
// program, so a build regenerates it only when the program changes.
#include <cmath>
#include <exception>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "content/songs/arrangement.h"
#include "content/songs/charts.h"
#include "content/songs/synth.h"
#include "tests/support/audio_fixtures.h"

namespace fs = std::filesystem;

namespace {

constexpr float kOggQuality = 0.0f;  // about 64 kbit/s for stereo: small files, clean enough
constexpr double kPreviewSeconds = 15.0;

// Written beside the final name and renamed over it, so that an interrupted build
// never leaves half a file behind.
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
  if (ec) {
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

std::string Ogg(const demo::Stereo& s) {
  testsupport::OggSpec params;
  params.channels = 2;
  params.rate = demo::kSampleRate;
  params.frames = s.Frames();
  params.quality = kOggQuality;
  params.signal = [&s](int64_t frame, int channel) {
    return channel == 0 ? s.left[static_cast<size_t>(frame)] : s.right[static_cast<size_t>(frame)];
  };
  return testsupport::MakeOgg(params);
}

double FirstChorusSeconds(const demo::Arrangement& a) {
  for (const demo::SectionMark& s : a.sections) {
    if (s.kind == demo::SectionKind::kChorus) return a.SecondsAt(s.tick);
  }
  return a.SecondsAt(a.endTick) / 5.0;
}

std::string SongIni(const demo::SongSpec& params, const demo::Chart& chart, int lengthMs, int previewMs) {
  std::ostringstream ini;
  ini << "[song]\n";
  ini << "name = " << params.name << "\n";
  ini << "artist = " << params.artist << "\n";
  ini << "album = " << params.album << "\n";
  ini << "genre = " << params.genre << "\n";
  ini << "year = " << params.year << "\n";
  ini << "charter = Velorin Demo Team\n";
  ini << "delay = 0\n";
  ini << "song_length = " << lengthMs << "\n";
  ini << "preview_start_time = " << previewMs << "\n";
  for (const char* key : {"diff_band", "diff_guitar", "diff_drums", "diff_bass", "diff_keys", "diff_vocals",
                          "diff_guitar_real", "diff_drums_real", "diff_bass_real", "diff_keys_real", "diff_vocals_harm",
                          "diff_dance", "diff_drums_real_vl", "diff_keys_real_vl", "diff_guitar_coop", "diff_rhythm"}) {
    ini << key << " = " << chart.ratings.at(key) << "\n";
  }
  ini << "loading_phrase = " << params.loadingPhrase << "\n";
  ini << "real_guitar_tuning = 0 0 0 0 0 0 \n";
  ini << "real_bass_tuning = 0 0 0 0 0 0 \n";
  return ini.str();
}

bool WriteSong(const fs::path& music, const demo::SongSpec& params) {
  const fs::path folder = music / params.folder;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    std::fprintf(stderr, "velorin_demo_songs: cannot create %s: %s\n", folder.c_str(), ec.message().c_str());
    return false;
  }
  const demo::Arrangement a = demo::Arrange(params);
  const demo::Chart chart = demo::MakeChart(a);
  const demo::Stems stems = demo::Render(a);
  const double previewFrom = FirstChorusSeconds(a);
  const int lengthMs = static_cast<int>(static_cast<double>(stems.drums.Frames()) * 1000.0 / demo::kSampleRate);

  std::vector<std::pair<std::string, std::string>> files;
  files.push_back({"notes.mid", chart.bytes});
  const std::pair<const char*, const demo::Stereo*> audio[] = {
      {"drums.ogg", &stems.drums}, {"rhythm.ogg", &stems.rhythm}, {"guitar.ogg", &stems.guitar},
      {"keys.ogg", &stems.keys},   {"vocals.ogg", &stems.vocals}, {"song.ogg", &stems.song}};
  for (const auto& [name, stem] : audio) files.push_back({name, Ogg(*stem)});
  files.push_back({"preview.ogg", Ogg(demo::PreviewMix(stems, previewFrom, kPreviewSeconds))});
  files.push_back({"song.ini", SongIni(params, chart, lengthMs, static_cast<int>(std::lround(previewFrom * 1000.0)))});

  for (const auto& [name, bytes] : files) {
    if (bytes.empty()) {
      std::fprintf(stderr, "velorin_demo_songs: the encoder refused %s/%s\n", params.folder.c_str(), name.c_str());
      return false;
    }
    if (!WriteFile(folder / name, bytes)) {
      std::fprintf(stderr, "velorin_demo_songs: cannot write %s\n", (folder / name).c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: velorin_demo_songs <music folder> [song folder name ...]\n");
    return 2;
  }
  const fs::path music = argv[1];
  std::vector<const demo::SongSpec*> chosen;
  for (int i = 2; i < argc; ++i) {
    const demo::SongSpec* found = nullptr;
    for (const demo::SongSpec& s : demo::DemoSongs()) {
      if (s.folder == argv[i]) found = &s;
    }
    if (!found) {
      std::fprintf(stderr, "velorin_demo_songs: no demo song named %s\n", argv[i]);
      return 2;
    }
    chosen.push_back(found);
  }
  if (chosen.empty()) {
    for (const demo::SongSpec& s : demo::DemoSongs()) chosen.push_back(&s);
  }
  for (const demo::SongSpec* s : chosen) {
    try {
      if (!WriteSong(music, *s)) return 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "velorin_demo_songs: %s: %s\n", s->folder.c_str(), e.what());
      return 1;
    }
  }
  return 0;
}
