// Small placed records of a player's board that the gameplay render draws with a
// model of the asset store: a placement, an optional texture index into one of the
// store's tables and a visibility flag; a BoardPart adds three animators for the
// track to move it with. A NoteGroup places a group of up to seven lanes (a chord)
// on the board.
#pragma once

#include <cstdint>

#include "core/animators.h"
#include "graphics/transform.h"

namespace graphics {

struct BoardPartBase {
  Transform place;
  int32_t index = -1;  // texture index, -1 = the model's own textures
  float scale = 1.0f;
  const void* data = nullptr;
  uint16_t visible = 1;
  bool flag = false;
};

struct BoardPart : BoardPartBase {
  BoardPart() = default;
  BoardPart(const BoardPart&) = delete;
  BoardPart& operator=(const BoardPart&) = delete;

  ValueAnimator animators[3];
  int32_t valueA = 0;
  int32_t valueB = 0;
};

struct NoteGroup {
  static constexpr int kMaxLanes = 7;
  int32_t count = 0;
  int32_t lanes[kMaxLanes] = {-1, -1, -1, -1, -1, -1, -1};  // -1 = none
  int32_t value = 0;
  Transform place;
  int32_t tail = 0;
};

}  // namespace graphics
