// How a controller's button ids become menu actions, shared by every screen. One
// event may be several actions at once (each acts). A note id (101 and above) counts
// by its place in the octave, (id - 100) modulo 12.
#pragma once

#include <cstdint>

namespace menus {

struct MenuActions {
  bool up = false;
  bool down = false;
  bool confirm = false;
  bool back = false;
  bool left = false;
  bool right = false;
  bool profileBox = false;  // id 18: the player's drop-down box
  bool extra = false;       // id 19: the screen's own action
};

// The actions of a pressed button `id` on a controller of device kind `kind`.
MenuActions MapButton(uint32_t id, int32_t kind);

// The search request of song select: the orange button or the note a fifth up.
bool IsSearchButton(uint32_t id);

}  // namespace menus
