// Reading the controllers the way every screen does: each joined controller in index
// order, its events fetched into the screen's buffer, each pressed event mapped to
// menu actions. Releases do nothing in the menus.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "menus/input_map.h"
#include "menus/menu_context.h"

namespace menus {

using EventBuffer = std::array<InputEvent, kMaxFetchEvents>;

// Calls handle(controller, event id, actions) for each pressed event; a handler that
// returns false ends that controller's events for this frame.
template <class Handler>
void ForEachPress(MenuContext& ctx, EventBuffer& events, Handler&& handle) {
  const int32_t count = std::min(ctx.ControllerCount(), kMaxControllers);
  for (int32_t c = 0; c < count; ++c) {
    const Seat& seat = ctx.seats[static_cast<size_t>(c)];
    // An open drop-down box has its controller to itself.
    if (!seat.inPlay || seat.boxOpen) continue;
    const int32_t n = std::min<int32_t>(ctx.GetEvents(c, events.data()), kMaxFetchEvents);
    for (int32_t i = 0; i < n; ++i) {
      const InputEvent& e = events[static_cast<size_t>(i)];
      if (!e.pressed) continue;
      if (!handle(c, e.id, MapButton(e.id, ctx.Kind(c)))) break;
    }
  }
}

inline std::string RowName(int32_t row) { return std::to_string(row); }

}  // namespace menus
