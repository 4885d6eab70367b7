// One slot of a player's note windows, the chord groups of pro strings, the beat lines
// and the judging state of each lane.
#pragma once

#include <cstdint>

constexpr int32_t kNoteSlots = 75;
// Slot 0 of the note window holds only the energy activation note of drums and dance.
constexpr int32_t kActivationSlot = 0;
constexpr int32_t kMaxGroupNotes = 8;

struct NoteRecord {
  void Reset() { *this = NoteRecord(); }

  // Drawing values set by the scroll step (the renderer reads them).
  float position = 0;     // along the board: 0 at the frets, negative once passed
  float endPosition = 0;  // of the sustain's end
  float alpha = 1.0f;
  bool drawn = false;

  int32_t group = -1;      // pro strings: the chord group, -1 for a single note
  float time = 0;          // ms
  float endTime = 0;       // end of the sustain (the note's time when it has none)
  float tick = 0;
  float endTick = 0;
  bool hasSustain = false;
  bool energyPhrase = false;
  int32_t phrase = -1;
  int32_t serial = -1;
  bool active = false;
  bool hammerOn = false;
  bool activation = false;  // the drum and dance note that activates energy
  bool classified = false;
  bool missed = false;
  bool hit = false;
  bool tap = false;
  int32_t slide = 0;        // pro strings: 1 up, 2 down
  int32_t padVariant = 0;   // drums_real cymbal and hi-hat variants 0..3
  int32_t lane = -1;
  int32_t fretSlot = -1;
  int32_t visible = 1;
  int32_t fret = 0;         // pro strings: the fret to hold
  bool anyFret = false;
  bool channelFlag[3] = {false, false, false};
  bool unscored = false;    // ghost notes (and notes of the vocal kinds, which are not judged)
  bool forbidden = false;   // dance mines
  bool unscored2 = false;   // beyond the practice limit
  int32_t drumPiece = 0;
  int32_t hand = 0;         // keys_real
  bool rim = false;
  int32_t note = -1;        // chart note number
  bool tomDone = false;
  bool mixDone = false;
};

struct ChordGroup {
  int32_t count = 0;
  int32_t slots[kMaxGroupNotes] = {};
  int32_t plucks = 0;
  int32_t lowLane = 0;
  int32_t highLane = 0;
  bool used = false;
};

// A beat line's kind; the numbers are those of the note kinds the board draws.
enum class BeatKind : int32_t { kBeat = 50, kMeasure = 51 };

// Window B: the beat lines drawn on the board; the energy logic reads their beats.
struct BeatLine {
  bool active = false;
  BeatKind kind = BeatKind::kBeat;
  float time = 0;
  float beat = 0;
  int32_t serial = -1;
  float position = 0;
};

// The judging state of one fret slot (what the board's fret objects show).
struct LaneState {
  bool enabled = false;
  bool held = false;
  int32_t value = 0;        // the fret value (pro strings: the fret number)
  bool sustaining = false;
  int32_t sustainNote = -1; // the note slot
  float sustainStart = 0;
  float sustainEnd = 0;
  double sustainEndBeat = 0;
  double lastScoredBeat = 0;
  bool sustainPhrase = false;
  int32_t sustainFret = 0;
  bool sustainAnyFret = false;
  int32_t sustainSlide = 0;
  bool autoHold = false;    // hit by the assist: held to its end
};
