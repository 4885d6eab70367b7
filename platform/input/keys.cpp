#include "platform/input/keys.h"

#include <SDL.h>

#include <mutex>

namespace platform::input {

namespace {

struct KeyCodes {
  int scancode;
  uint32_t dik;
  uint32_t vk;
};

// Scancodes of SDL (USB keyboard usages) with their DirectInput and UK virtual-key codes.
constexpr KeyCodes kKeys[] = {
    {SDL_SCANCODE_A, 30, 'A'}, {SDL_SCANCODE_B, 48, 'B'}, {SDL_SCANCODE_C, 46, 'C'}, {SDL_SCANCODE_D, 32, 'D'},
    {SDL_SCANCODE_E, 18, 'E'}, {SDL_SCANCODE_F, 33, 'F'}, {SDL_SCANCODE_G, 34, 'G'}, {SDL_SCANCODE_H, 35, 'H'},
    {SDL_SCANCODE_I, 23, 'I'}, {SDL_SCANCODE_J, 36, 'J'}, {SDL_SCANCODE_K, 37, 'K'}, {SDL_SCANCODE_L, 38, 'L'},
    {SDL_SCANCODE_M, 50, 'M'}, {SDL_SCANCODE_N, 49, 'N'}, {SDL_SCANCODE_O, 24, 'O'}, {SDL_SCANCODE_P, 25, 'P'},
    {SDL_SCANCODE_Q, 16, 'Q'}, {SDL_SCANCODE_R, 19, 'R'}, {SDL_SCANCODE_S, 31, 'S'}, {SDL_SCANCODE_T, 20, 'T'},
    {SDL_SCANCODE_U, 22, 'U'}, {SDL_SCANCODE_V, 47, 'V'}, {SDL_SCANCODE_W, 17, 'W'}, {SDL_SCANCODE_X, 45, 'X'},
    {SDL_SCANCODE_Y, 21, 'Y'}, {SDL_SCANCODE_Z, 44, 'Z'},
    {SDL_SCANCODE_1, 2, '1'}, {SDL_SCANCODE_2, 3, '2'}, {SDL_SCANCODE_3, 4, '3'}, {SDL_SCANCODE_4, 5, '4'},
    {SDL_SCANCODE_5, 6, '5'}, {SDL_SCANCODE_6, 7, '6'}, {SDL_SCANCODE_7, 8, '7'}, {SDL_SCANCODE_8, 9, '8'},
    {SDL_SCANCODE_9, 10, '9'}, {SDL_SCANCODE_0, 11, '0'},
    {SDL_SCANCODE_RETURN, 28, 0x0D}, {SDL_SCANCODE_ESCAPE, 1, 0x1B}, {SDL_SCANCODE_BACKSPACE, 14, 0x08},
    {SDL_SCANCODE_TAB, 15, 0x09}, {SDL_SCANCODE_SPACE, 57, 0x20},
    {SDL_SCANCODE_MINUS, 12, 0xBD}, {SDL_SCANCODE_EQUALS, 13, 0xBB}, {SDL_SCANCODE_LEFTBRACKET, 26, 0xDB},
    {SDL_SCANCODE_RIGHTBRACKET, 27, 0xDD}, {SDL_SCANCODE_BACKSLASH, 43, 0xDE}, {SDL_SCANCODE_NONUSHASH, 43, 0xDE},
    {SDL_SCANCODE_SEMICOLON, 39, 0xBA}, {SDL_SCANCODE_APOSTROPHE, 40, 0xC0}, {SDL_SCANCODE_GRAVE, 41, 0xDF},
    {SDL_SCANCODE_COMMA, 51, 0xBC}, {SDL_SCANCODE_PERIOD, 52, 0xBE}, {SDL_SCANCODE_SLASH, 53, 0xBF},
    {SDL_SCANCODE_NONUSBACKSLASH, 86, 0xDC},
    {SDL_SCANCODE_CAPSLOCK, 58, 0x14},
    {SDL_SCANCODE_F1, 59, 0x70}, {SDL_SCANCODE_F2, 60, 0x71}, {SDL_SCANCODE_F3, 61, 0x72}, {SDL_SCANCODE_F4, 62, 0x73},
    {SDL_SCANCODE_F5, 63, 0x74}, {SDL_SCANCODE_F6, 64, 0x75}, {SDL_SCANCODE_F7, 65, 0x76}, {SDL_SCANCODE_F8, 66, 0x77},
    {SDL_SCANCODE_F9, 67, 0x78}, {SDL_SCANCODE_F10, 68, 0x79}, {SDL_SCANCODE_F11, 87, 0x7A}, {SDL_SCANCODE_F12, 88, 0x7B},
    {SDL_SCANCODE_PRINTSCREEN, 183, 0x2C}, {SDL_SCANCODE_SCROLLLOCK, 70, 0x91}, {SDL_SCANCODE_PAUSE, 197, 0x13},
    {SDL_SCANCODE_INSERT, 210, 0x2D}, {SDL_SCANCODE_HOME, 199, 0x24}, {SDL_SCANCODE_PAGEUP, 201, 0x21},
    {SDL_SCANCODE_DELETE, 211, 0x2E}, {SDL_SCANCODE_END, 207, 0x23}, {SDL_SCANCODE_PAGEDOWN, 209, 0x22},
    {SDL_SCANCODE_RIGHT, 205, 0x27}, {SDL_SCANCODE_LEFT, 203, 0x25}, {SDL_SCANCODE_DOWN, 208, 0x28},
    {SDL_SCANCODE_UP, 200, 0x26},
    {SDL_SCANCODE_NUMLOCKCLEAR, 69, 0x90}, {SDL_SCANCODE_KP_DIVIDE, 181, 0x6F}, {SDL_SCANCODE_KP_MULTIPLY, 55, 0x6A},
    {SDL_SCANCODE_KP_MINUS, 74, 0x6D}, {SDL_SCANCODE_KP_PLUS, 78, 0x6B}, {SDL_SCANCODE_KP_ENTER, 156, 0x0D},
    {SDL_SCANCODE_KP_1, 79, 0x61}, {SDL_SCANCODE_KP_2, 80, 0x62}, {SDL_SCANCODE_KP_3, 81, 0x63},
    {SDL_SCANCODE_KP_4, 75, 0x64}, {SDL_SCANCODE_KP_5, 76, 0x65}, {SDL_SCANCODE_KP_6, 77, 0x66},
    {SDL_SCANCODE_KP_7, 71, 0x67}, {SDL_SCANCODE_KP_8, 72, 0x68}, {SDL_SCANCODE_KP_9, 73, 0x69},
    {SDL_SCANCODE_KP_0, 82, 0x60}, {SDL_SCANCODE_KP_PERIOD, 83, 0x6E},
    {SDL_SCANCODE_LCTRL, 29, kVkLControl}, {SDL_SCANCODE_LSHIFT, 42, kVkLShift}, {SDL_SCANCODE_LALT, 56, 0xA4},
    {SDL_SCANCODE_LGUI, 219, 0x5B}, {SDL_SCANCODE_RCTRL, 157, kVkRControl}, {SDL_SCANCODE_RSHIFT, 54, kVkRShift},
    {SDL_SCANCODE_RALT, 184, 0xA5}, {SDL_SCANCODE_RGUI, 220, 0x5C}, {SDL_SCANCODE_APPLICATION, 221, 0x5D},
};

const KeyCodes* Lookup(int scancode) {
  for (const KeyCodes& k : kKeys)
    if (k.scancode == scancode) return &k;
  return nullptr;
}

std::mutex g_sourceMutex;
std::function<bool(uint32_t)> g_source;

}  // namespace

uint32_t DikFromScancode(int scancode) {
  const KeyCodes* k = Lookup(scancode);
  return k ? k->dik : 0;
}

uint32_t VkFromScancode(int scancode) {
  const KeyCodes* k = Lookup(scancode);
  return k ? k->vk : 0;
}

bool AsyncKeyDown(uint32_t vk) {
  {
    std::lock_guard<std::mutex> lock(g_sourceMutex);
    if (g_source) return g_source(vk);
  }
  int n = 0;
  const Uint8* state = SDL_GetKeyboardState(&n);
  if (!state) return false;
  for (const KeyCodes& k : kKeys)
    if (k.vk == vk && k.scancode < n && state[k.scancode]) return true;
  return false;
}

void SetKeyStateSource(std::function<bool(uint32_t vk)> source) {
  std::lock_guard<std::mutex> lock(g_sourceMutex);
  g_source = std::move(source);
}

}  // namespace platform::input
