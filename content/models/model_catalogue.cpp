// The rows of the fixed model set and the stage file names.
#include "content/models/model_catalogue.h"

namespace models {

namespace {
constexpr bool kMask = true;
constexpr bool kPlain = false;
}  // namespace

const std::array<FixedModel, 77> kFixedModels = {{
    {"notes", "Note_Guitar", 0, Place::kLaneGem, kPlain},
    {"notes", "Note_Guitar_Bass", 2, Place::kOpenBar, kPlain},
    {"notes", "Note_Guitar_Hopo", 1, Place::kLaneGem, kPlain},
    {"notes", "Note_Drum", 5, Place::kLaneGem, kPlain},
    {"notes", "Note_Drum_Bass", 11, Place::kOpenBar, kPlain},
    {"notes", "Note_Dance_Green", 6, Place::kLaneGem, kPlain},
    {"notes", "Note_Dance_Red", 7, Place::kLaneGem, kPlain},
    {"notes", "Note_Dance_Yellow", 8, Place::kLaneGem, kPlain},
    {"notes", "Note_Dance_Blue", 9, Place::kLaneGem, kPlain},
    {"notes", "Fret_Number", 17, Place::kDigit, kPlain},
    {"notes", "Note_Mine", 18, Place::kLaneGem, kPlain},
    {"frets", "Fret_Bass", 32, Place::kOpenBar, kPlain},
    {"frets", "Fret_Bass_Hold", 33, Place::kOpenBar, kPlain},
    {"frets", "Fret", 19, Place::kLaneFret, kPlain},
    {"frets", "Fret_Hold", 20, Place::kLaneFret, kPlain},
    {"frets", "Fret_Dance", 21, Place::kLaneFret, kPlain},
    {"frets", "Fret_Dance_Hold", 22, Place::kLaneFret, kPlain},
    {"frets", "Fret_Keys_White", 23, Place::kKeysFret, kPlain},
    {"frets", "Fret_Keys_Black", 24, Place::kKeysFret, kPlain},
    {"frets", "Fret_Keys_C", 25, Place::kKeysFret, kPlain},
    {"frets", "Fret_Keys_D", 26, Place::kKeysFret, kPlain},
    {"frets", "Fret_Keys_E", 27, Place::kKeysFret, kPlain},
    {"frets", "Fret_Keys_F", 28, Place::kKeysFret, kPlain},
    {"frets", "Fret_Keys_G", 29, Place::kKeysFret, kPlain},
    {"frets", "Fret_Keys_A", 30, Place::kKeysFret, kPlain},
    {"frets", "Fret_Keys_B", 31, Place::kKeysFret, kPlain},
    {"frets", "Fret_Hit_Glow", 34, Place::kLaneEffect, kPlain},
    {"frets", "Fret_Sides", 35, Place::kStrikeBand, kPlain},
    {"board", "Board", 45, Place::kBoardSurface, kMask},
    {"board", "Board_Sides", 46, Place::kBoardEdges, kMask},
    {"board", "Board_Sides_Real_Keys", 47, Place::kBoardEdges, kMask},
    {"General", "Plane_Large", 48, Place::kIconPlane, kPlain},
    {"board", "Beat_Line", 50, Place::kBeatLine, kPlain},
    {"notes", "Note_Bass_Miss_Trail", 16, Place::kTrail, kPlain},
    {"notes", "Note_Miss_Trail", 15, Place::kTrail, kPlain},
    {"frets", "Fret_Bottom", 36, Place::kStrikeBand, kPlain},
    {"frets", "Fret_Bottom_Keys", 37, Place::kStrikeBand, kPlain},
    {"frets", "Fret_Bottom_Keys_Real", 38, Place::kStrikeBand, kPlain},
    {"frets", "Fret_Kill_Box", 39, Place::kKillBox, kPlain},
    {"frets", "Fret_Ray_A", 42, Place::kLaneEffect, kPlain},
    {"frets", "Fret_Ray_B", 43, Place::kLaneEffect, kPlain},
    {"frets", "Fret_Beam", 44, Place::kLaneEffect, kPlain},
    {"frets", "Fret_Spark_A", 40, Place::kLaneEffect, kPlain},
    {"frets", "Fret_Spark_B", 41, Place::kLaneEffect, kPlain},
    {"notes", "Note_Activate", 3, Place::kLaneGem, kPlain},
    {"board", "Lane", 51, Place::kLaneLine, kMask},
    {"board", "Lane_Sides", 52, Place::kBoardEdges, kMask},
    {"notes", "Note_Slider", 4, Place::kLaneGem, kPlain},
    {"notes", "Note_Guitar_Real", 12, Place::kLaneGem, kPlain},
    {"notes", "Note_HOPO_Guitar_Real", 13, Place::kLaneGem, kPlain},
    {"notes", "Note_Muted_Guitar_Real", 14, Place::kLaneGem, kPlain},
    {"notes", "Note_Keys", 10, Place::kLaneGem, kPlain},
    {"meters", "Meter_Main", 53, Place::kMeter, kMask},
    {"meters", "Meter_Chunk_Bar", 54, Place::kMeter, kPlain},
    {"meters", "Meter_Multiplier_Bar", 55, Place::kMeter, kPlain},
    {"meters", "Meter_Energy_Bar", 56, Place::kMeter, kMask},
    {"meters", "Meter_VL_Bar_1", 57, Place::kMeter, kMask},
    {"meters", "Meter_VL_Bar_2", 58, Place::kMeter, kMask},
    {"meters", "Meter_Main_Real_Keys", 59, Place::kMeter, kMask},
    {"meters", "Meter_Chunk_Bar_Real_Keys", 60, Place::kMeter, kPlain},
    {"meters", "Meter_Multiplier_Bar_Real_Keys", 61, Place::kMeter, kPlain},
    {"meters", "Meter_Energy_Bar_Real_Keys", 62, Place::kMeter, kMask},
    {"meters", "Meter_VL_Bar_1_Real_Keys", 63, Place::kMeter, kMask},
    {"meters", "Meter_VL_Bar_2_Real_Keys", 64, Place::kMeter, kMask},
    {"meters", "Meter_Accuracy", 65, Place::kMeter, kPlain},
    {"meters", "Meter_Keys_Layout", 66, Place::kKeysRange, kPlain},
    {"meters", "Meter_Keys_Layout_Active", 67, Place::kKeysRange, kPlain},
    {"notes", "Chord_2", 68, Place::kChordBar, kPlain},
    {"notes", "Chord_3", 69, Place::kChordBar, kPlain},
    {"notes", "Chord_4", 70, Place::kChordBar, kPlain},
    {"notes", "Chord_5", 71, Place::kChordBar, kPlain},
    {"notes", "Chord_6", 72, Place::kChordBar, kPlain},
    {"notes", "Note_Cymbal_Closed", 73, Place::kLaneGem, kPlain},
    {"notes", "Note_Cymbal_Open", 74, Place::kLaneGem, kPlain},
    {"notes", "Note_Cymbal_Pedal", 75, Place::kLaneGem, kPlain},
    {"notes", "Note_Cymbal_Sizzle", 76, Place::kLaneGem, kPlain},
    {"notes", "Note_Drum_Rimshot", 77, Place::kLaneGem, kPlain},
}};

const std::array<const char*, 5> kStageFiles = {"background", "dummy_low", "dummy_medium", "dummy_high",
                                                "cat_medium"};

const std::array<const char*, 4> kStageAnimationSets = {"activate", "active", "deactivate", "unactive"};

std::string FixedModelPath(const FixedModel& model) {
  return std::string("themes/default/static/") + model.folder + "/" + model.name + ".X";
}

std::string StageModelPath(const std::string& name) { return "data/backgrounds/stage/" + name + ".X"; }

}  // namespace models
