// The SDL2 back end without hardware: the keyboard device, key events handed over by
// the window's loop, and the key code tables.
#include "platform/input/sdl_input.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/input/keys.h"

using namespace platform::input;

namespace {

SDL_Event KeyEvent(Uint32 type, SDL_Scancode sc, Uint8 repeat, Uint32 timestamp) {
  SDL_Event e{};
  e.type = type;
  e.key.type = type;
  e.key.timestamp = timestamp;
  e.key.repeat = repeat;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = sc;
  return e;
}

TEST(SdlInput, KeyboardIsOneDeviceWithDirectInputCodes) {
  SdlInputBackend sdl;
  auto devices = sdl.EnumerateDevices();
  ASSERT_FALSE(devices.empty());
  EXPECT_EQ(devices[0].type, kTypeKeyboard);
  EXPECT_EQ(std::count_if(devices.begin(), devices.end(), [](const DeviceInfo& d) { return d.type == kTypeKeyboard; }),
            1);
  auto kb = sdl.CreateDevice("keyboard");
  ASSERT_NE(kb, nullptr);

  const Uint32 now = SDL_GetTicks();
  EXPECT_TRUE(sdl.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_A, 0, now)));
  sdl.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_A, 1, now + 30));  // the system's repeat
  sdl.HandleEvent(KeyEvent(SDL_KEYUP, SDL_SCANCODE_A, 0, now));
  sdl.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER, 0, now));
  SDL_Event other{};
  other.type = SDL_WINDOWEVENT;
  EXPECT_FALSE(sdl.HandleEvent(other));

  DiRecord r[kBufferSize];
  uint32_t n = 0;
  ASSERT_EQ(kb->Acquire(), kOk);
  ASSERT_EQ(kb->GetDeviceData(r, kBufferSize, &n), kOk);
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(r[0].ofs, 30u);
  EXPECT_EQ(r[0].data, 0x80u);
  EXPECT_EQ(r[1].ofs, 30u);
  EXPECT_EQ(r[1].data, 0u);
  EXPECT_EQ(r[2].ofs, 156u);
  // Delivery times are on the game's clock, not SDL's.
  const uint32_t game = platform::TimeGetTime();
  EXPECT_LE(game - r[0].timeMs, 1000u);
}

TEST(KeyCodes, ScancodeTables) {
  struct Case {
    SDL_Scancode sc;
    uint32_t dik, vk;
  } cases[] = {
      {SDL_SCANCODE_A, 30, 'A'},        {SDL_SCANCODE_Z, 44, 'Z'},          {SDL_SCANCODE_1, 2, '1'},
      {SDL_SCANCODE_0, 11, '0'},        {SDL_SCANCODE_F1, 59, 0x70},       {SDL_SCANCODE_UP, 200, 0x26},
      {SDL_SCANCODE_KP_ENTER, 156, 0x0D}, {SDL_SCANCODE_RETURN, 28, 0x0D}, {SDL_SCANCODE_DELETE, 211, 0x2E},
      {SDL_SCANCODE_KP_PERIOD, 83, 0x6E}, {SDL_SCANCODE_PERIOD, 52, 0xBE}, {SDL_SCANCODE_NONUSHASH, 43, 0xDE},
      {SDL_SCANCODE_NONUSBACKSLASH, 86, 0xDC}, {SDL_SCANCODE_APOSTROPHE, 40, 0xC0}, {SDL_SCANCODE_RSHIFT, 54, kVkRShift},
      {SDL_SCANCODE_LCTRL, 29, kVkLControl},   {SDL_SCANCODE_UNKNOWN, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DikFromScancode(c.sc), c.dik) << c.sc;
    EXPECT_EQ(VkFromScancode(c.sc), c.vk) << c.sc;
  }
}

}  // namespace

namespace {

// A game pad made by SDL itself, with the buttons of the controller view up to the
// paddles (SDL maps no touchpad for such a pad).
class VirtualPad {
 public:
  VirtualPad() {
    SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
    SDL_VirtualJoystickDesc d;
    SDL_zero(d);
    d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    d.naxes = 6;
    d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    d.button_mask = 0xFFFFFFFFu;
    d.axis_mask = 0x3F;
    d.name = "Virtual pad";
    index_ = SDL_JoystickAttachVirtualEx(&d);
  }
  ~VirtualPad() {
    if (joystick_) SDL_JoystickClose(joystick_);
    if (index_ >= 0) SDL_JoystickDetachVirtual(index_);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
  }
  bool Ok() const { return index_ >= 0; }
  void Press(SDL_GameControllerButton button, bool down) {
    if (!joystick_) joystick_ = SDL_JoystickOpen(index_);
    SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0);
    SDL_JoystickUpdate();
  }

 private:
  int index_ = -1;
  SDL_Joystick* joystick_ = nullptr;
};

TEST(SdlInput, PadButtonsOnlyTheControllerViewHasReachTheXInputView) {
  VirtualPad pad;
  ASSERT_TRUE(pad.Ok()) << SDL_GetError();
  SdlInputBackend sdl;
  ASSERT_TRUE(sdl.Ok()) << sdl.Error();
  XReport r;
  ASSERT_EQ(sdl.XInputPeekState(0, &r), kXOk);  // the pad took user slot 0
  struct Case {
    SDL_GameControllerButton button;
    uint16_t bit;
    uint8_t extra;
  };
  const Case cases[] = {
      {SDL_CONTROLLER_BUTTON_GUIDE, kXGuide, 0},        {SDL_CONTROLLER_BUTTON_MISC1, kXMisc, 0},
      {SDL_CONTROLLER_BUTTON_PADDLE1, 0, kXPaddle1},    {SDL_CONTROLLER_BUTTON_PADDLE4, 0, kXPaddle4},
      {SDL_CONTROLLER_BUTTON_PADDLE2, 0, kXPaddle2},    {SDL_CONTROLLER_BUTTON_A, kXA, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.button));
    for (const bool down : {true, false}) {
      pad.Press(c.button, down);
      // SDL holds back a guide release that follows its press closely: wait for the
      // report (generously; the check is the state, not the time).
      const uint16_t bits = down ? c.bit : 0;
      const uint8_t extra = down ? c.extra : 0;
      const Uint32 start = SDL_GetTicks();
      do {
        SDL_JoystickUpdate();
        sdl.PumpEvents();
        ASSERT_EQ(sdl.XInputPeekState(0, &r), kXOk);
        if (r.buttons == bits && r.extraButtons == extra) break;
        SDL_Delay(5);
      } while (SDL_GetTicks() - start < 10000);
      EXPECT_EQ(r.buttons, bits);
      EXPECT_EQ(r.extraButtons, extra);
    }
  }
}

}  // namespace
