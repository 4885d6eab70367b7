// The demo songs as music: each song is a description (tempo, metre, key, a chord per
// bar, sections, lyrics) from which one arrangement is played out — every drum hit and
// every note of every part at its tick. The charts (charts.cpp) and the audio stems
// (synth.cpp) are both made from that arrangement, so what the player sees is what
// the player hears.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

inline constexpr int kTicksPerBeat = 480;

enum class Style { kRock, kDrive, kWaltz };
enum class SectionKind { kLeadIn, kIntro, kVerse, kChorus, kSolo, kOutro };

struct Chord {
  int root = 0;  // pitch class 0-11 (0 = C)
  bool minor = false;
};

struct SectionSpec {
  std::string name;  // shown in the practice menu; empty for the lead-in
  SectionKind kind = SectionKind::kVerse;
  std::vector<Chord> chords;         // one per bar
  std::vector<std::string> lyrics;   // one line per two bars; syllables split by '-'
};

struct SongSpec {
  std::string folder;  // folder name under music/
  std::string name, artist, album, genre, year, loadingPhrase;
  double bpm = 120.0;
  int beatsPerBar = 4;
  int keyRoot = 0;  // pitch class of the tonic
  bool minorKey = false;
  Style style = Style::kRock;
  std::vector<SectionSpec> sections;
  uint32_t seed = 1;
};

// The three demo songs, in folder order.
const std::vector<SongSpec>& DemoSongs();

// Articulation of a pitched note.
enum NoteFlags : uint8_t {
  kLegato = 1,   // slurred from the note before (hammer-on, pull-off, tied syllable)
  kMuted = 2,    // palm-muted chug
  kAccent = 4,
};

struct Note {
  int tick = 0;
  int length = 0;  // ticks
  int pitch = 60;  // MIDI note
  int velocity = 100;
  uint8_t flags = 0;
};

enum class DrumPiece : uint8_t {
  kKick,
  kKickDouble,  // the second pedal: only the extra expert chart has these
  kSnare,
  kSnareGhost,
  kHiHat,
  kHiHatOpen,
  kRide,
  kCrash,
  kTomHigh,
  kTomMid,
  kTomFloor,
  kSticks,  // the count-in, not charted
};

struct DrumHit {
  int tick = 0;
  DrumPiece piece = DrumPiece::kKick;
  int velocity = 100;
};

struct Syllable {
  int tick = 0;
  int length = 0;
  int pitch = 60;
  std::string lyric;  // as charted: "wa-" joins the next syllable, "+" holds on to a new pitch
  std::string sound;  // the letters sung (for the vowel), empty for "+"
};

struct Phrase {
  int start = 0;
  int end = 0;
  std::vector<Syllable> syllables;
};

struct TickRange {
  int start = 0;
  int end = 0;
};

struct SectionMark {
  std::string name;
  int tick = 0;
  SectionKind kind = SectionKind::kVerse;
  int bars = 0;
};

struct Arrangement {
  const SongSpec* params = nullptr;
  int beatsPerBar = 4;
  int ticksPerBar = 4 * kTicksPerBeat;
  int bars = 0;
  std::vector<Chord> chordOfBar;
  std::vector<SectionMark> sections;

  std::vector<DrumHit> drums;
  std::vector<Note> bass;
  std::vector<Note> guitar;     // lead guitar (left of centre)
  std::vector<Note> guitar2;    // second guitar (right of centre), the co-op part
  std::vector<Note> rhythm;     // rhythm guitar on the bass stem
  std::vector<Note> keysLeft;   // piano left hand
  std::vector<Note> keysRight;  // piano right hand
  std::vector<Note> pad;        // backing pad (not charted)
  std::vector<Phrase> lead;     // the sung melody
  std::vector<Phrase> harmonyHigh;  // chorus harmony a third above
  std::vector<Phrase> harmonyLow;   // chorus harmony a third below

  std::vector<TickRange> fills;        // drum fills played on the toms
  std::vector<TickRange> energy;       // energy phrases of the instrument parts
  TickRange solo;                      // the guitar solo
  int endTick = 0;                     // end of the last note of any part

  // The tempo as the chart stores it; the audio is timed by the same number.
  uint32_t microsecondsPerBeat = 500000;

  double SecondsAt(double tick) const { return tick / kTicksPerBeat * microsecondsPerBeat / 1e6; }
  int TickOfBar(int bar) const { return bar * ticksPerBar; }
};

Arrangement Arrange(const SongSpec& params);

}  // namespace demo
