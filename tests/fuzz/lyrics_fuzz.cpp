// Lyrics from any chart bytes: the phrases built from the vocal track stay within
// their bounds, and walking the song shows texts whose sung part lies inside them.
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/log.h"
#include "game/lyrics.h"
#include "song/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    SetLogFolder(u"/dev/null/velorin_lyrics_fuzz");
    std::freopen("/dev/null", "w", stdout);
    return true;
  }();
  (void)quiet;
  MidiFile chart;
  chart.LoadFromBytes(false, std::string(reinterpret_cast<const char*>(data), size));
  VocalTrack vocals(&chart);
  vocals.Build();
  int32_t phrases = 0;
  for (const LyricPhrase* p = vocals.first.get(); p; p = p->next.get()) {
    if (++phrases > VocalTrack::kMaxPhrases) __builtin_trap();
    if (p->wordCount < 0 || p->wordCount > LyricPhrase::kMaxWords) __builtin_trap();
    int32_t first = 0, last = 0;
    const std::string text = VocalTrack::PhraseText(p, first, last);
    if (first < -1 || last < -1 || first > static_cast<int32_t>(text.size()) ||
        last > static_cast<int32_t>(text.size()))
      __builtin_trap();
  }
  // Walk the song forward, as the level does, then back to its start.
  vocals.Advance(-1000.0f);
  for (float t = 0.0f; t < 600000.0f; t = t * 1.7f + 500.0f) vocals.Advance(t);
  vocals.Advance(0.0f);
  vocals.Build();  // a second build replaces the first
  return 0;
}
