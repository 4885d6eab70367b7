#include "menus/input_map.h"

namespace menus {
namespace {

constexpr uint32_t kFirstNote = 101;

// The note's place in the octave, or -1 for a plain button.
int32_t NoteStep(uint32_t id) { return id >= kFirstNote ? static_cast<int32_t>((id - 100) % 12) : -1; }

bool IsDrumKind(int32_t kind) { return kind == 0 || kind == 5; }

}  // namespace

MenuActions MapButton(uint32_t id, int32_t kind) {
  const int32_t note = NoteStep(id);
  MenuActions a;
  a.up = (id == 3 && IsDrumKind(kind)) || id == 7 || id == 12 || id == 14 || id == 35 || note == 4;
  a.down = (id == 4 && IsDrumKind(kind)) || id == 8 || id == 13 || id == 15 || id == 36 || note == 5;
  a.confirm = id == 1 || id == 9 || note == 0;
  a.back = id == 2 || note == 2;
  a.left = id == 16;
  a.right = id == 17;
  a.profileBox = id == 18;
  a.extra = id == 19;
  return a;
}

bool IsSearchButton(uint32_t id) { return id == 5 || NoteStep(id) == 7; }

}  // namespace menus
