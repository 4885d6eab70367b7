// Where a lane (or, in edge mode, the boundary at a lane's start) lies on the board's
// arc, for the fret row, the lane lines and the lane overlays. A stand-in with the
// board's lane geometry until the board code's own function is merged.
#pragma once

#include <cstdint>

#include "graphics/transform.h"

namespace graphics {

// Sets position, scale and rotation of `out` for lane `lane` of `laneCount` lanes
// (lane 0 is the open lane at the board's centre unless `edge`), mirrored for lefty
// players except on drums, shifted by `laneOffset` lanes.
void LanePlacement(Transform& out, int32_t lane, int32_t laneCount, int32_t kind, bool lefty, int32_t mode, bool edge,
                   float laneOffset);

}  // namespace graphics
