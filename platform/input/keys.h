// Keyboard codes: SDL scancodes (USB usage numbers) to DirectInput key codes (the
// positional codes the keyboard layout file uses) and to Windows virtual-key codes of
// a United Kingdom layout (what the text-entry field switches on), and the state of
// the modifier keys.
#pragma once

#include <cstdint>
#include <functional>

namespace platform::input {

// 0 when the scancode has no DirectInput code.
uint32_t DikFromScancode(int scancode);
// 0 when the scancode has no virtual-key code.
uint32_t VkFromScancode(int scancode);

// Virtual-key codes of the modifiers.
constexpr uint32_t kVkLShift = 0xA0, kVkRShift = 0xA1, kVkLControl = 0xA2, kVkRControl = 0xA3;

// True while the key (a virtual-key code; the four modifiers above are what the game
// asks for) is held. Reads SDL's keyboard state unless a test installed a source.
bool AsyncKeyDown(uint32_t vk);
// Replaces the key-state source (empty function restores SDL's).
void SetKeyStateSource(std::function<bool(uint32_t vk)> source);

}  // namespace platform::input
