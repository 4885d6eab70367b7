// The partial-frame tests' comparison of a frame with the same frame drawn whole.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>

#include "platform/gfx/device.h"

namespace gfxtest {

// Compares a drawn frame with the same frame drawn whole at probe points: every
// xStep-th pixel (from x = 1) of the given rows, colour channels within 2. Reports the
// first five differences as test failures naming `frame`, and returns how many
// probes differed.
inline int ProbeMismatches(const platform::gfx::ImageData& got, const platform::gfx::ImageData& want,
                           std::initializer_list<int> rows, int xStep, int frame) {
  int mismatches = 0;
  const int width = want.width;
  for (int y : rows)
    for (int x = 1; x < width; x += xStep) {
      const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 4;
      if (at + 3 >= got.rgba.size() || at + 3 >= want.rgba.size()) {
        ADD_FAILURE() << "frame " << frame << ": probe " << x << "," << y << " lies outside the picture";
        return mismatches + 1;
      }
      for (int ch = 0; ch < 3; ++ch)
        if (std::abs(int(got.rgba[at + ch]) - int(want.rgba[at + ch])) > 2) {
          if (++mismatches <= 5)
            ADD_FAILURE() << "frame " << frame << " at " << x << "," << y << " channel " << ch << ": "
                          << int(got.rgba[at + ch]) << " where a full draw gives " << int(want.rgba[at + ch]);
          break;
        }
    }
  return mismatches;
}

}  // namespace gfxtest
