// The default theme's fixed model set and the stage files, as data: which file each
// model is, the asset-store slot it fills, where on the board it sits and whether it
// carries the second texture-coordinate set the mask stage reads. The generator writes
// every row; the content tests walk the same rows.
#pragma once

#include <array>
#include <string>

namespace models {

// Where a model sits once the game has placed it, in board units of its own space.
enum class Place {
  kLaneGem,       // a note head on one lane (48 units wide before lane scaling)
  kLaneFret,      // a fret ring or button on one lane at the strike line
  kKeysFret,      // a key of the keyboard kinds, pivoting about its back edge z = 15
  kOpenBar,       // a bar across the whole board (open notes, the kick bar)
  kChordBar,      // the bar that joins the gems of a chord
  kTrail,         // a streak left behind a missed note
  kDigit,         // an upright number plate above a note or fret
  kLaneEffect,    // hit glows, rays, beams and sparks around one fret
  kStrikeBand,    // the band under the frets, across the board
  kKillBox,       // the invisible occluder in front of the keys
  kBoardSurface,  // the neck itself
  kBoardEdges,    // rails and glows along both board edges
  kLaneLine,      // one lane separator along the board
  kBeatLine,      // one beat line across the board
  kIconPlane,     // the square plane that carries icons
  kMeter,         // a meter beside the board
  kKeysRange,     // the 88-key range meter
};

struct FixedModel {
  const char* folder;  // under themes/default/static/
  const char* name;    // file name without ".X"
  int slot;            // asset-store mesh slot
  Place place;
  bool mask_uv;        // second texture-coordinate set for the mask stage
};

// In the asset store's load order; slot 49 has no model.
extern const std::array<FixedModel, 77> kFixedModels;

// The stage files every detail level needs, under data/backgrounds/stage/ (without
// ".X"); the objects the layout files call for come on top.
extern const std::array<const char*, 5> kStageFiles;

// The names of the four animation sets an animated stage object plays.
extern const std::array<const char*, 4> kStageAnimationSets;

// Paths below the run folder, with '/'.
std::string FixedModelPath(const FixedModel& model);
std::string StageModelPath(const std::string& name);

}  // namespace models
