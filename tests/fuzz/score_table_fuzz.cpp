// "vl.dat" from any bytes: the reader must stay inside the file, end, keep at most 40
// results, and what it kept must survive being written and read again.
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/log.h"
#include "song/score_table.h"

namespace {

bool SameEntry(const ScoreEntry& a, const ScoreEntry& b) {
  return a.name == b.name && a.score == b.score && a.rating == b.rating && a.percent == b.percent &&
         a.difficulty == b.difficulty && a.instrument == b.instrument && a.players == b.players;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    // Damaged input logs on every run: send the log where no file can be made.
    SetLogFolder(u"/dev/null/velorin_score_table_fuzz");
    std::freopen("/dev/null", "w", stdout);  // the log copies every line to the console
    return true;
  }();
  (void)quiet;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  static ScoreTable table;  // reused, as the song library reloads its tables
  const bool loaded = table.LoadBytes(bytes);
  if (table.count < 0 || table.count > ScoreTable::kSlots) __builtin_trap();
  if (!loaded && (table.count != 0 || table.hasAvailability)) __builtin_trap();
  for (int32_t i = 1; i < table.count; ++i)
    if (table.entries[i - 1].score < table.entries[i].score) __builtin_trap();
  for (const Availability& a : table.availability) {
    if (a.present > 1) __builtin_trap();
    for (uint8_t d : a.difficulty)
      if (d > 1) __builtin_trap();
  }
  if (!loaded) return 0;

  for (int32_t p : {-1, 1, 2}) (void)table.BestPercent("a", 2, p);
  ScoreTable back;
  if (!back.LoadBytes(table.Serialize())) __builtin_trap();
  if (back.count != table.count) __builtin_trap();
  for (int32_t i = 0; i < table.count; ++i)
    if (!SameEntry(back.entries[i], table.entries[i])) __builtin_trap();
  if (table.count < ScoreTable::kSlots) {
    if (!back.hasAvailability || back.chartHash != table.chartHash) __builtin_trap();
    for (int i = 0; i < kInstrumentCount; ++i) {
      if (back.availability[i].present != table.availability[i].present ||
          back.availability[i].difficulty != table.availability[i].difficulty) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
