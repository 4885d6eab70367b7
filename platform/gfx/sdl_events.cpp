#include "platform/gfx/sdl_events.h"

namespace platform::gfx {

uint32_t ScancodeToVirtualKey(SDL_Scancode sc) {
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + static_cast<uint32_t>(sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + static_cast<uint32_t>(sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + static_cast<uint32_t>(sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9)
    return VK_NUMPAD0 + 1 + static_cast<uint32_t>(sc - SDL_SCANCODE_KP_1);
  switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_RETURN: return VK_RETURN;
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    // The key beside Enter: '#' and '~' on the United Kingdom layout.
    case SDL_SCANCODE_BACKSLASH: return VK_OEM_7;
    case SDL_SCANCODE_NONUSHASH: return VK_OEM_7;
    // The key left of Z: '\' and '|'.
    case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    // The key right of ';': the apostrophe and '@'.
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_3;
    case SDL_SCANCODE_GRAVE: return VK_OEM_8;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_PRINTSCREEN: return VK_SNAPSHOT;
    case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
    case SDL_SCANCODE_KP_PERIOD: return VK_DECIMAL;
    case SDL_SCANCODE_APPLICATION: return VK_APPS;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_LGUI: return VK_LWIN;
    case SDL_SCANCODE_RGUI: return VK_RWIN;
    default: return 0;
  }
}

void TranslateSdlEvent(const SDL_Event& e, uint32_t userEventType, std::vector<WindowMessage>& out) {
  switch (e.type) {
    case SDL_QUIT:
      out.push_back({WM_CLOSE, 0, 0});
      return;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: out.push_back({WM_CLOSE, 0, 0}); break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          if (e.window.data1 > 0 && e.window.data2 > 0 && e.window.data1 <= 0xFFFF && e.window.data2 <= 0xFFFF)
            out.push_back({WM_SIZE, 0,
                           static_cast<intptr_t>((static_cast<uint32_t>(e.window.data2) << 16) |
                                                 static_cast<uint32_t>(e.window.data1))});
          break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED: out.push_back({WM_PAINT, 0, 0}); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: out.push_back({WM_ACTIVATEAPP, 1, 0}); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: out.push_back({WM_ACTIVATEAPP, 0, 0}); break;
        default: break;
      }
      return;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const uint32_t vk = ScancodeToVirtualKey(e.key.keysym.scancode);
      if (vk == 0) return;
      const bool down = e.type == SDL_KEYDOWN;
      // Keys pressed with Alt held are system keys, as is Alt itself; they never
      // reach the text field. (F10 stays an ordinary key: the game uses it.)
      const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
      intptr_t lParam = 1 | (static_cast<intptr_t>(e.key.keysym.scancode & 0xFF) << 16);
      if (alt) lParam |= kKeyAltDownBit;
      if (e.key.repeat) lParam |= kKeyRepeatBit;
      const uint32_t msg = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
      out.push_back({msg, vk, lParam});
      return;
    }
    case SDL_MOUSEMOTION: {
      const intptr_t lParam = static_cast<intptr_t>(static_cast<uint16_t>(e.motion.x)) |
                              (static_cast<intptr_t>(static_cast<uint16_t>(e.motion.y)) << 16);
      out.push_back({WM_MOUSEMOVE, 0, lParam});
      return;
    }
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED:
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
      out.push_back({WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0});
      return;
    default:
      if (userEventType != 0 && e.type == userEventType) {
        out.push_back({static_cast<uint32_t>(e.user.code), reinterpret_cast<uintptr_t>(e.user.data1),
                       reinterpret_cast<intptr_t>(e.user.data2)});
      }
      return;
  }
}

}  // namespace platform::gfx
