// "song.ini" from any bytes: the reader must end and stay inside the text, and the
// key writer must keep every line it does not change (adding the "[song]" line a text
// lacks) and read back what it wrote.
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "song/song_info.h"

namespace {

size_t LineCount(const std::string& s) {
  size_t n = 0;
  for (char c : s) n += c == '\n';
  return n + (!s.empty() && s.back() != '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    SetLogFolder(u"/dev/null/velorin_song_info_fuzz");
    std::freopen("/dev/null", "w", stdout);  // the log copies every line to the console
    return true;
  }();
  (void)quiet;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  SongInfo info;
  info.ParseIni(bytes);
  if (info.rating < 0 || info.rating > 5) __builtin_trap();
  if (!info.iniRead && info.name != "song.ini Error") __builtin_trap();

  std::string edited = bytes;
  const std::vector<std::pair<std::string, std::string>> values = {
      {"count", "77"}, {"last_play", "2024-01-02-03:04:05"}, {"Rating", "4"}};
  const bool ok = EditSongIniBytes(edited, values);
  // What was read can always be written; a text without its "[song]" line gets one.
  if (info.iniRead && !ok) __builtin_trap();
  if (!ok) {
    if (edited != bytes) __builtin_trap();
    return 0;
  }
  // Lines are only replaced or added (with the section line when it was missing), never lost.
  const size_t before = LineCount(bytes), after = LineCount(edited);
  if (after < before || after > before + values.size() + 1) __builtin_trap();
  SongInfo again;
  again.ParseIni(edited);
  if (!again.iniRead || again.count != 77 || again.rating != 4 ||
      again.last_play != "2024-01-02-03:04:05") {
    __builtin_trap();
  }
  // A second edit with the same values changes nothing.
  std::string twice = edited;
  EditSongIniBytes(twice, values);
  if (twice != edited) __builtin_trap();
  return 0;
}
