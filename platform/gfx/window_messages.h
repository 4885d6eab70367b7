// Window messages as the game's window procedure sees them: the message ids and
// virtual-key codes of the Windows API, so that the game's key tables, device
// files and keyboard layouts keep their numbers. The window back end translates
// its own events into these.
#pragma once

#include <cstdint>

namespace platform::gfx {

// An opaque handle of the game's window (null without a window).
using WindowHandle = void*;

struct WindowMessage {
  uint32_t msg = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// Message ids.
// lParam: the new drawable width in the low 16 bits, the height in the next 16.
constexpr uint32_t WM_SIZE = 0x0005;
// The window's picture was lost (exposed, shown or restored) and must be drawn again.
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_DEVICECHANGE = 0x0219;
constexpr uint32_t WM_APP = 0x8000;

// wParam of WM_DEVICECHANGE when a device was added or removed.
constexpr uintptr_t DBT_DEVNODES_CHANGED = 0x0007;

// Virtual-key codes.
constexpr uint32_t VK_BACK = 0x08;
constexpr uint32_t VK_TAB = 0x09;
constexpr uint32_t VK_RETURN = 0x0D;
constexpr uint32_t VK_SHIFT = 0x10;
constexpr uint32_t VK_CONTROL = 0x11;
constexpr uint32_t VK_MENU = 0x12;  // Alt
constexpr uint32_t VK_PAUSE = 0x13;
constexpr uint32_t VK_CAPITAL = 0x14;
constexpr uint32_t VK_ESCAPE = 0x1B;
constexpr uint32_t VK_SPACE = 0x20;
constexpr uint32_t VK_PRIOR = 0x21;  // Page Up
constexpr uint32_t VK_NEXT = 0x22;   // Page Down
constexpr uint32_t VK_END = 0x23;
constexpr uint32_t VK_HOME = 0x24;
constexpr uint32_t VK_LEFT = 0x25;
constexpr uint32_t VK_UP = 0x26;
constexpr uint32_t VK_RIGHT = 0x27;
constexpr uint32_t VK_DOWN = 0x28;
constexpr uint32_t VK_SNAPSHOT = 0x2C;
constexpr uint32_t VK_INSERT = 0x2D;
constexpr uint32_t VK_DELETE = 0x2E;
constexpr uint32_t VK_LWIN = 0x5B;
constexpr uint32_t VK_RWIN = 0x5C;
constexpr uint32_t VK_APPS = 0x5D;
constexpr uint32_t VK_NUMPAD0 = 0x60;
constexpr uint32_t VK_NUMPAD2 = 0x62;
constexpr uint32_t VK_NUMPAD4 = 0x64;
constexpr uint32_t VK_NUMPAD6 = 0x66;
constexpr uint32_t VK_NUMPAD7 = 0x67;
constexpr uint32_t VK_NUMPAD8 = 0x68;
constexpr uint32_t VK_NUMPAD9 = 0x69;
constexpr uint32_t VK_MULTIPLY = 0x6A;
constexpr uint32_t VK_ADD = 0x6B;
constexpr uint32_t VK_SUBTRACT = 0x6D;
constexpr uint32_t VK_DECIMAL = 0x6E;
constexpr uint32_t VK_DIVIDE = 0x6F;
constexpr uint32_t VK_F1 = 0x70;
constexpr uint32_t VK_F8 = 0x77;
constexpr uint32_t VK_F9 = 0x78;
constexpr uint32_t VK_F10 = 0x79;
constexpr uint32_t VK_F11 = 0x7A;
constexpr uint32_t VK_F12 = 0x7B;
constexpr uint32_t VK_NUMLOCK = 0x90;
constexpr uint32_t VK_SCROLL = 0x91;
constexpr uint32_t VK_OEM_1 = 0xBA;       // ; :
constexpr uint32_t VK_OEM_PLUS = 0xBB;    // = +
constexpr uint32_t VK_OEM_COMMA = 0xBC;   // , <
constexpr uint32_t VK_OEM_MINUS = 0xBD;   // - _
constexpr uint32_t VK_OEM_PERIOD = 0xBE;  // . >
constexpr uint32_t VK_OEM_2 = 0xBF;       // / ?
constexpr uint32_t VK_OEM_3 = 0xC0;       // ' @ (United Kingdom layout)
constexpr uint32_t VK_OEM_4 = 0xDB;       // [ {
constexpr uint32_t VK_OEM_5 = 0xDC;       // \ |
constexpr uint32_t VK_OEM_6 = 0xDD;       // ] }
constexpr uint32_t VK_OEM_7 = 0xDE;       // # ~
constexpr uint32_t VK_OEM_8 = 0xDF;       // ` (the key left of 1)

// lParam bits of key messages.
constexpr intptr_t kKeyAltDownBit = intptr_t(1) << 29;
constexpr intptr_t kKeyRepeatBit = intptr_t(1) << 30;

}  // namespace platform::gfx
