// The chart of a demo song ("notes.mid") made from its arrangement: a tempo track,
// the "EVENTS" track with the sections, and a track for every instrument at four
// difficulties. Expert follows the arrangement note for note; the easier
// difficulties keep the stronger beats first, fewer notes per chord and fewer lanes.
#pragma once

#include <map>
#include <string>

#include "content/songs/arrangement.h"

namespace demo {

struct Chart {
  std::string bytes;  // the Standard MIDI File
  // Difficulty ratings 0-6 by "song.ini" key ("diff_guitar" ...), from the density
  // of each expert part.
  std::map<std::string, int> ratings;
};

Chart MakeChart(const Arrangement& a);

}  // namespace demo
