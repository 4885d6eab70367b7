// Folder scans over trees whose names come from any bytes (old archives hold names
// that are not UTF-8): the scan ends, and every song folder it lists opens again
// from the wide name the game keeps.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/log.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "song/song_list.h"
#include "tests/fuzz/scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = [] {
    const std::string f = fuzzsupport::ScratchFolder("scanfuzz");
    SetLogFolder(u"/dev/null/velorin_scan_fuzz");
    std::freopen("/dev/null", "w", stdout);
    return f;
  }();
  const std::string music = root + "/music";
  std::error_code ec;
  std::filesystem::remove_all(music, ec);
  platform::MakeDirectories(music);
  platform::InvalidatePathCache();

  // Names separated by '/', a byte 1 steps back up one level; '/' and zero bytes
  // never reach a name.
  std::string current = music;
  std::string name;
  int made = 0;
  auto flush = [&] {
    if (name.empty() || name == "." || name == ".." || name.size() > 200 || made >= 24) {
      name.clear();
      return;
    }
    current += "/" + name;
    name.clear();
    if (!platform::MakeDirectories(current)) return;
    ++made;
    platform::WriteFileAtomic(current + "/song.ini", "[song]\nname = x\n");
  };
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '/') {
      flush();
    } else if (c == '\1') {
      flush();
      if (current.size() > music.size()) current.erase(current.rfind('/'));
    } else if (c != '\0') {
      name.push_back(c);
    }
  }
  flush();

  SongList list;
  ScanSongFolders(platform::PathFromNative(music + "/"), list, true);
  if (list.count > made) __builtin_trap();
  for (const SongRecord* r = list.head; r; r = r->next) {
    std::string ini;
    if (!platform::ReadWholeFile(platform::PathToNative(r->folder + u"song.ini"), ini)) __builtin_trap();
  }
  return 0;
}
