// The tables that tie chart note numbers, lanes, fret slots and colours together
// for every instrument kind, and the small lookups the menus and boards share.
//
// Lanes come from the chart and the buttons (lane 0 is the open or kick lane); fret
// slots 0..91 are what judging, lane hit flags and network messages use.
#pragma once

#include <cstdint>
#include <string_view>

// Capacity of the per-lane arrays of a player (one slot per lane index, so that 88
// keys fit).
constexpr int32_t kLaneSlots = 92;

namespace LaneMap {

bool IsDrumKind(int32_t kind);       // 0, 5, 13
bool IsFiveFretKind(int32_t kind);   // 1, 2, 10, 11
bool IsProKind(int32_t kind);        // 6, 7
bool IsKeysKind(int32_t kind);       // 3, 8, 14
bool IsVocalKind(int32_t kind);      // 4, 9
bool IsDanceKind(int32_t kind);      // 12

// The lane count a board of this kind is built with. Drums (kind 0) take 5 when
// asked for 5 and 4 otherwise, so that a bad count from a profile or the keyboard
// setting never leaves a board whose lanes have no fret slots.
int32_t NormalLaneCount(int32_t kind, int32_t requested);

// Lowest and highest chart note of a part at a difficulty (the base note B and the
// top note of the note set-up).
int32_t BaseNote(int32_t kind, int32_t difficulty);
int32_t TopNote(int32_t kind, int32_t difficulty);

bool IsPlayableNote(int32_t kind, int32_t note, int32_t difficulty);

// Lane of a playable note-on (-1 for a note that is not playable). For drums the
// drum piece (1 kick .. 6) comes back through `drumPiece`; `drumLayoutSwap` is the
// song's flag that exchanges the lanes of the fifth and sixth drum notes.
int32_t NoteLane(int32_t kind, int32_t note, int32_t difficulty, bool drumLayoutSwap,
                 int32_t* drumPiece = nullptr);

// -1 when the lane has no colour / no fret slot on such a board.
int32_t ColourIndex(int32_t lane, int32_t kind, int32_t laneCount);
int32_t FretIndex(int32_t lane, int32_t kind, int32_t laneCount);

// controllerType: a ControllerType number; availability: present flag then the
// five difficulty flags of the part.
bool CanPlayPart(int32_t controllerType, int32_t kind, const bool availability[6]);

int32_t PadToLane(int32_t kind, int32_t laneCount, int32_t pad);
int32_t TrackToIndexA(int32_t k);
int32_t TrackToIndexB(int32_t k);
// Effect indexes 0..10; others give -1.
int32_t EffectSlot(int32_t e);

// Drum lanes above 0: the lane whose fret slot mirrors this one across the board.
int32_t MirrorDrumLane(int32_t lane, int32_t kind, int32_t laneCount);

// Whether `text` is a drum-mix event for this difficulty; `flipOn` tells whether it
// switches the mix flip on (the text after " drums" and one more character is "d]").
bool ParseMixEvent(int32_t difficulty, std::string_view text, bool* flipOn = nullptr);

}  // namespace LaneMap
