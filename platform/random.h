// The program's one random generator. It behaves like the MSVC C runtime's rand:
// values 0..32767, one state per thread, seed 1 until seeded, so "rand() / 32768"
// and "rand() % n" give what the game's formulas expect.
#pragma once

#include <cstdint>

namespace platform {

constexpr int kRandMax = 32767;

int Rand();
void SRand(uint32_t seed);

}  // namespace platform
