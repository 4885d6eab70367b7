// A dense expert chart built in memory as a Standard MIDI File: six parts with a note
// every sixteenth, chords, sustains, energy phrases and solos, for the benchmarks that
// play or draw a busy song.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// The file's bytes: a tempo track and six parts of `steps` sixteenths each.
std::string DenseChart(uint32_t steps);

}  // namespace bench
