// Lays out a music folder of many song folders for tests and benchmarks: each with
// a "song.ini" of the usual keys and a "notes.mid" chart of a realistic size (guitar,
// bass, drums and vocals parts at four difficulties, 20-150 KB), plus small stand-ins
// for the audio and artwork files a real song folder holds. Every chart is unique,
// so every folder has its own MD5. Nothing here knows the game's readers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct SongFolderLayout {
  int count = 100;
  // Songs per artist folder; 0 puts every song folder straight under the root.
  int songsPerGroup = 0;
  // Write empty "guitar.ogg", "song.ogg", "preview.ogg" and "album.png" beside the chart.
  bool extraFiles = true;
  uint32_t seed = 1;
};

struct GeneratedSong {
  std::string folder;  // relative to the root, ending in '/'
  std::string name;
  std::string artist;
  std::string album;
  std::string year;
  int32_t rating = 0;
  int32_t count = 0;
  int64_t chartBytes = 0;
};

// The "song.ini" text of song `index` (LF line ends).
std::string GeneratedSongIni(const GeneratedSong& song, int index);

// A chart of about `targetBytes` bytes, unique for (index, seed).
std::string GeneratedChart(int index, int64_t targetBytes, uint32_t seed);

// Writes the folders under `root` (created when missing) and returns what was
// written, in the order of the folder names.
std::vector<GeneratedSong> GenerateSongFolders(const std::string& root, const SongFolderLayout& layout);

}  // namespace testsupport
