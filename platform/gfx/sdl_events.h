// Translation of SDL events into the window messages and virtual-key codes the
// game's window procedure handles. Keys map by their position on the keyboard
// (SDL scancodes) to the codes of the United Kingdom layout, which the game's
// text-entry field and key tables assume.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "platform/gfx/window_messages.h"

namespace platform::gfx {

// 0 for a key without a code.
uint32_t ScancodeToVirtualKey(SDL_Scancode scancode);

// Appends the messages an event stands for (none for most events). userEventType
// is the registered SDL event that carries posted messages (0: none).
void TranslateSdlEvent(const SDL_Event& event, uint32_t userEventType, std::vector<WindowMessage>& out);

}  // namespace platform::gfx
