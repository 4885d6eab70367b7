// The window and device framework: SDL event translation, the SDL back end on the
// offscreen video driver (a real OpenGL context without a display), and the loop.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/clipboard.h"
#include "platform/gfx/framework.h"
#include "platform/gfx/sdl_events.h"
#include "tests/support/test_support.h"

using namespace platform::gfx;

namespace {

SDL_Event KeyEvent(Uint32 type, SDL_Scancode sc, Uint16 mod = 0, Uint8 repeat = 0) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.key.keysym.scancode = sc;
  e.key.keysym.mod = mod;
  e.key.repeat = repeat;
  return e;
}

std::vector<WindowMessage> Translate(const SDL_Event& e, uint32_t user = 0) {
  std::vector<WindowMessage> out;
  TranslateSdlEvent(e, user, out);
  return out;
}

// A 2x2 24-bit BMP: blue, green / red, white (bottom row first in the file).
std::string TinyBmp() {
  std::string b = "BM";
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto u16 = [&](uint16_t v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>(v >> 8));
  };
  u32(54 + 16);
  u32(0);
  u32(54);
  u32(40);
  u32(2);
  u32(2);
  u16(1);
  u16(24);
  u32(0);
  u32(16);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  const unsigned char rows[16] = {0, 0, 255, 255, 255, 255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0};
  b.append(reinterpret_cast<const char*>(rows), 16);
  return b;
}

}  // namespace

TEST(FrameworkKeys, ScancodesMapToVirtualKeysByPosition) {
  const std::pair<SDL_Scancode, uint32_t> table[] = {
      {SDL_SCANCODE_A, 'A'}, {SDL_SCANCODE_Z, 'Z'}, {SDL_SCANCODE_1, '1'}, {SDL_SCANCODE_0, '0'},
      {SDL_SCANCODE_RETURN, VK_RETURN}, {SDL_SCANCODE_BACKSPACE, VK_BACK}, {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
      {SDL_SCANCODE_PAGEUP, VK_PRIOR}, {SDL_SCANCODE_PAGEDOWN, VK_NEXT}, {SDL_SCANCODE_HOME, VK_HOME},
      {SDL_SCANCODE_KP_0, VK_NUMPAD0}, {SDL_SCANCODE_KP_6, VK_NUMPAD6}, {SDL_SCANCODE_KP_9, VK_NUMPAD9},
      {SDL_SCANCODE_KP_PLUS, VK_ADD}, {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT}, {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL},
      {SDL_SCANCODE_F8, VK_F8}, {SDL_SCANCODE_F12, VK_F12}, {SDL_SCANCODE_SEMICOLON, VK_OEM_1},
      {SDL_SCANCODE_EQUALS, VK_OEM_PLUS}, {SDL_SCANCODE_MINUS, VK_OEM_MINUS}, {SDL_SCANCODE_APOSTROPHE, VK_OEM_3},
      {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_5}, {SDL_SCANCODE_NONUSHASH, VK_OEM_7}, {SDL_SCANCODE_BACKSLASH, VK_OEM_7},
      {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4}, {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6}, {SDL_SCANCODE_DELETE, VK_DELETE},
      {SDL_SCANCODE_LALT, VK_MENU}, {SDL_SCANCODE_UNKNOWN, 0}};
  for (const auto& [sc, vk] : table) EXPECT_EQ(ScancodeToVirtualKey(sc), vk) << sc;
}

TEST(FrameworkKeys, EventsBecomeWindowMessages) {
  auto m = Translate(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_RETURN, KMOD_LALT));
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].msg, WM_SYSKEYDOWN);
  EXPECT_EQ(m[0].wParam, VK_RETURN);
  m = Translate(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_LALT));
  EXPECT_EQ(m[0].msg, WM_SYSKEYDOWN);
  EXPECT_EQ(m[0].wParam, VK_MENU);
  // Key repeat reaches the window procedure as further key-downs.
  m = Translate(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_B, KMOD_LSHIFT, 1));
  EXPECT_EQ(m[0].msg, WM_KEYDOWN);
  EXPECT_EQ(m[0].wParam, 'B');
  EXPECT_NE(m[0].lParam & kKeyRepeatBit, 0);
  EXPECT_EQ(Translate(KeyEvent(SDL_KEYUP, SDL_SCANCODE_B))[0].msg, WM_KEYUP);
  EXPECT_EQ(Translate(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_F10))[0].msg, WM_KEYDOWN);

  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  m = Translate(e);
  EXPECT_EQ(m[0].msg, WM_ACTIVATEAPP);
  EXPECT_EQ(m[0].wParam, 0u);
  e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  EXPECT_EQ(Translate(e)[0].wParam, 1u);
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  EXPECT_EQ(Translate(e)[0].msg, WM_CLOSE);
  e.window.event = SDL_WINDOWEVENT_MOVED;
  EXPECT_TRUE(Translate(e).empty());
  // Each of these leaves the window's pixels to us again: the next frame must be
  // drawn and presented whole (a present may copy only what a frame changed).
  for (Uint8 repaint : {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_SHOWN, SDL_WINDOWEVENT_RESTORED,
                        SDL_WINDOWEVENT_MAXIMIZED}) {
    e.window.event = repaint;
    m = Translate(e);
    ASSERT_EQ(m.size(), 1u) << int(repaint);
    EXPECT_EQ(m[0].msg, WM_PAINT) << int(repaint);
  }

  SDL_zero(e);
  e.type = SDL_MOUSEMOTION;
  e.motion.x = 300;
  e.motion.y = 20;
  m = Translate(e);
  EXPECT_EQ(m[0].msg, WM_MOUSEMOVE);
  EXPECT_EQ(m[0].lParam, 300 | (20 << 16));

  for (Uint32 type : {SDL_JOYDEVICEADDED, SDL_JOYDEVICEREMOVED, SDL_CONTROLLERDEVICEADDED}) {
    SDL_zero(e);
    e.type = type;
    m = Translate(e);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].msg, WM_DEVICECHANGE);
    EXPECT_EQ(m[0].wParam, DBT_DEVNODES_CHANGED);
  }

  SDL_zero(e);
  e.type = SDL_USEREVENT + 3;
  e.user.code = WM_APP + 1;
  e.user.data1 = reinterpret_cast<void*>(uintptr_t(7));
  m = Translate(e, SDL_USEREVENT + 3);
  EXPECT_EQ(m[0].msg, WM_APP + 1);
  EXPECT_EQ(m[0].wParam, 7u);
  EXPECT_TRUE(Translate(e, 0).empty());
}

namespace {

void CheckSdlFramework() {
  testsupport::TempDir dir;
  dir.WriteBytes("tiny.bmp", TinyBmp());
  setenv("LP_NUM_THREADS", "0", 1);  // see the note in binary_test.cpp
  std::unique_ptr<Framework> fw = CreateSdlFramework();
  std::vector<std::string> calls;
  std::vector<WindowMessage> messages;
  int frames = 0;
  FrameworkCallbacks cb;
  cb.modifyDeviceSettings = [&](DeviceSettings& s) {
    calls.push_back("modify");
    s.presentInterval = PresentInterval::kImmediate;
    return true;
  };
  cb.deviceCreated = [&](Device& d, const BackBufferDesc& b) {
    calls.push_back("created " + std::to_string(b.width) + "x" + std::to_string(b.height));
    EXPECT_TRUE(d.HasContext());
  };
  cb.deviceReset = [&](Device& d, const BackBufferDesc& b) {
    calls.push_back("reset " + std::to_string(b.width) + "x" + std::to_string(b.height));
    auto rt = d.CreateRenderTarget(b.width, b.height, 0);
    EXPECT_NE(rt->Framebuffer(), 0u);
  };
  cb.deviceLost = [&] { calls.push_back("lost"); };
  cb.deviceDestroyed = [&] { calls.push_back("destroyed"); };
  cb.frameMove = [&](double, float) { ++frames; };
  cb.frameRender = [&](Device&, double, float) {};
  cb.msgProc = [&](WindowHandle, uint32_t msg, uintptr_t w, intptr_t l, bool* noFurther) -> intptr_t {
    messages.push_back({msg, w, l});
    if (msg == WM_APP + 1) fw->Quit(7);
    *noFurther = true;
    return 0;
  };
  fw->SetCallbacks(cb);
  std::vector<std::string> args = {"prog", "-width:320", "-height:240"};
  fw->Init(true, &args);
  EXPECT_EQ(args.size(), 1u);
  ASSERT_TRUE(fw->CreateWindow(u"Velorin test", kWindowStyleCaption, ""));
  ASSERT_GE(fw->DisplayCount(), 1);
  DisplayMode mode;
  EXPECT_TRUE(fw->GetDisplayMode(0, mode));
  EXPECT_GT(mode.width, 0);
  int levels = 0;
  EXPECT_TRUE(fw->CheckMultiSample(0, 0, &levels));
  EXPECT_FALSE(fw->CheckMultiSample(99, 0, &levels));
  ASSERT_TRUE(fw->CreateDevice(true, 640, 480));  // the flags win over the size asked for
  EXPECT_NE(fw->GetWindow(), nullptr);
  ASSERT_NE(fw->GetDevice(), nullptr);
  EXPECT_EQ((std::vector<std::string>{"modify", "created 320x240", "reset 320x240"}), calls);
  // A software rasterizer offers no multisampling: each sample would cost a full fill.
  using GetStringFn = const unsigned char* (*)(unsigned);
  auto getString = reinterpret_cast<GetStringFn>(SDL_GL_GetProcAddress("glGetString"));
  const unsigned char* renderer = getString ? getString(0x1F01 /* GL_RENDERER */) : nullptr;
  if (renderer && std::string(reinterpret_cast<const char*>(renderer)).find("llvmpipe") != std::string::npos) {
    EXPECT_FALSE(fw->CheckMultiSample(0, 4, &levels));
  }

  auto tex = fw->GetDevice()->CreateTextureFromFile(dir.Path("tiny.bmp"));
  ASSERT_NE(tex, nullptr);
  EXPECT_NE(tex->GlName(), 0u);
  EXPECT_EQ(tex->Width(), 2);
  EXPECT_EQ(fw->GetDevice()->CreateTextureFromFile(dir.Path("missing.png")), nullptr);
  dir.WriteBytes("bad.png", "not an image");
  EXPECT_EQ(fw->GetDevice()->CreateTextureFromFile(dir.Path("bad.png")), nullptr);

  // The clipboard goes through the window system while the window exists.
  if (platform::ClipboardSetText("velorin clip")) {
    EXPECT_EQ(platform::ClipboardGetText(), "velorin clip");
  }

  calls.clear();
  DeviceSettings s = fw->GetDeviceSettings();
  s.width = 400;
  s.height = 300;
  EXPECT_TRUE(fw->ChangeDevice(s));
  EXPECT_EQ((std::vector<std::string>{"modify", "lost", "reset 400x300"}), calls);

  // A message posted from another thread reaches the window procedure in the loop.
  std::thread poster([&] { fw->PostMessage(WM_APP + 1, 5, 6); });
  poster.join();
  EXPECT_EQ(fw->MainLoop(), 7);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().msg, WM_APP + 1);
  EXPECT_EQ(messages.back().wParam, 5u);
  EXPECT_GE(frames, 0);

  tex.reset();
  calls.clear();
  fw->Shutdown();
  EXPECT_EQ((std::vector<std::string>{"lost", "destroyed"}), calls);
  EXPECT_EQ(fw->GetWindow(), nullptr);
  EXPECT_EQ(platform::ClipboardGetText(), "");
}

}  // namespace

// In a child process of its own: the OpenGL driver keeps allocations past its
// unloading, which a sanitizer build's leak check at exit would take for ours.
TEST(FrameworkSdl, OffscreenWindowDeviceLoopAndClipboard) {
  EXPECT_EXIT(
      {
        CheckSdlFramework();
        std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(FrameworkNull, CloseRequestEndsTheLoopUnlessTheWindowProcedureKeepsIt) {
  NullFramework fw;
  int closes = 0;
  bool keep = true;
  FrameworkCallbacks cb;
  cb.msgProc = [&](WindowHandle, uint32_t msg, uintptr_t, intptr_t, bool* noFurther) -> intptr_t {
    if (msg == WM_CLOSE) {
      ++closes;
      *noFurther = keep;
      if (keep) {
        keep = false;
        Framework::RequestClose();  // asked again: now it may close
      }
    }
    return 0;
  };
  fw.SetCallbacks(cb);
  fw.CreateWindow(u"t", kWindowStyleCaption, "");
  ASSERT_TRUE(fw.CreateDevice(true, 100, 100));
  Framework::ResetCloseRequest();
  Framework::RequestClose();
  EXPECT_EQ(fw.MainLoop(), 0);
  EXPECT_EQ(closes, 2);
  fw.Shutdown();
  // Without a device the loop does not run.
  NullFramework none;
  EXPECT_NE(none.MainLoop(), 0);
}

TEST(FrameworkNull, RefusedSettingsMakeNoDevice) {
  NullFramework fw;
  FrameworkCallbacks cb;
  cb.modifyDeviceSettings = [](DeviceSettings&) { return false; };
  bool created = false;
  cb.deviceCreated = [&](Device&, const BackBufferDesc&) { created = true; };
  fw.SetCallbacks(cb);
  fw.CreateWindow(u"t", kWindowStyleCaption, "");
  EXPECT_FALSE(fw.CreateDevice(true, 100, 100));
  EXPECT_FALSE(created);
  EXPECT_EQ(fw.GetDevice(), nullptr);
}

namespace {

struct FrameCounts {
  int moves = 0;
  int renders = 0;
};

FrameworkCallbacks CountingCallbacks(FrameCounts& counts) {
  FrameworkCallbacks cb;
  cb.frameMove = [&counts](double, float) { ++counts.moves; };
  cb.frameRender = [&counts](Device&, double, float) { ++counts.renders; };
  return cb;
}

}  // namespace

TEST(FrameworkNull, FramesStartNoFasterThanTheDisplayRefreshes) {
  struct Case {
    int refreshRate;
    bool readable;
    int expectedHz;
  };
  // A rate the display gives is kept; without one the loop runs at 60 a second.
  for (const Case& c : {Case{30, true, 30}, Case{0, true, 60}, Case{75, false, 60}}) {
    NullFramework::Options options;
    options.paced = true;
    options.displayMode.refreshRate = c.refreshRate;
    options.displayModeReadable = c.readable;
    options.frameSleepMs = 0;
    options.maxFrames = 7;
    NullFramework fw(options);
    FrameCounts counts;
    fw.SetCallbacks(CountingCallbacks(counts));
    ASSERT_TRUE(fw.CreateWindow(u"paced", kWindowStyleCaption, ""));
    ASSERT_TRUE(fw.CreateDevice(true, 64, 48));
    const int64_t period = fw.FramePeriodNs();
    EXPECT_EQ(period, 1000000000LL / c.expectedHz) << c.refreshRate;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fw.MainLoop(), 0);
    const int64_t elapsed =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(counts.moves, 7);
    EXPECT_EQ(counts.renders, 7);
    // Seven frame starts are six periods apart at least; a busy machine only adds.
    EXPECT_GE(elapsed, 6 * period) << c.refreshRate;
  }
  NullFramework unpaced;
  EXPECT_EQ(unpaced.FramePeriodNs(), 0);
}

TEST(FrameworkNull, AHiddenWindowMovesFramesButDrawsNone) {
  NullFramework::Options options;
  options.shown = false;
  options.maxFrames = 5;
  NullFramework fw(options);
  FrameCounts counts;
  fw.SetCallbacks(CountingCallbacks(counts));
  ASSERT_TRUE(fw.CreateWindow(u"hidden", kWindowStyleCaption, ""));
  ASSERT_TRUE(fw.CreateDevice(true, 64, 48));
  EXPECT_EQ(fw.MainLoop(), 0);
  EXPECT_EQ(counts.moves, 5);
  EXPECT_EQ(counts.renders, 0);
  EXPECT_EQ(fw.FrameCount(), 5u);
  EXPECT_EQ(fw.DrawnFrameCount(), 0u);
}

// A real window is drawn while shown; hidden, the game keeps running but nothing is
// drawn.
TEST(FrameworkSdl, AHiddenWindowIsNotDrawn) {
  EXPECT_EXIT(
      {
        setenv("LP_NUM_THREADS", "0", 1);
        int failures = 0;
        for (bool hide : {false, true}) {
          std::unique_ptr<Framework> fw = CreateSdlFramework();
          FrameCounts counts;
          FrameworkCallbacks cb = CountingCallbacks(counts);
          cb.frameMove = [&](double, float) {
            if (++counts.moves == 5) fw->Quit(0);
          };
          fw->SetCallbacks(cb);
          if (!fw->CreateWindow(u"hidden", kWindowStyleCaption, "") || !fw->CreateDevice(true, 160, 120)) std::_Exit(2);
          if (fw->FramePeriodNs() <= 0) std::_Exit(3);  // a window is always paced
          if (hide) SDL_HideWindow(static_cast<SDL_Window*>(fw->GetWindow()));
          const int code = fw->MainLoop();
          // The fifth frame move ends the loop before that frame is drawn.
          const int drawn = hide ? 0 : 4;
          if (code != 0 || counts.moves != 5 || counts.renders != drawn || fw->DrawnFrameCount() != uint64_t(drawn))
          {
            std::fprintf(stderr, "hide=%d code=%d moves=%d renders=%d\n", hide ? 1 : 0, code, counts.moves,
                         counts.renders);
            ++failures;
          }
          fw->Shutdown();
        }
        std::_Exit(failures == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// The game asks for multisampling while the device is made. A software rasterizer
// refuses it, and the window and context its renderer probe made then serve as the
// device: that window must come out exactly as a freshly made one would, shown, of
// the size and kind asked for, and drawing into its back buffer.
namespace {
// Runs in a child process; its exit code is the number of failures (2: no window).
int CheckRefusedMultisampleWindows() {
        setenv("LP_NUM_THREADS", "0", 1);
        struct Case {
          uint32_t style;
          int width, height;
        };
        int failures = 0;
        auto fail = [&](const char* what, uint32_t style) {
          std::fprintf(stderr, "style %u: %s\n", style, what);
          ++failures;
        };
        for (const Case c : {Case{kWindowStyleCaption, 200, 150}, Case{kWindowStylePopup, 96, 64}}) {
          std::unique_ptr<Framework> fw = CreateSdlFramework();
          bool refused = false;
          FrameworkCallbacks cb;
          cb.modifyDeviceSettings = [&](DeviceSettings& s) {
            int levels = 0;
            if (fw->CheckMultiSample(0, 4, &levels)) s.multisampleSamples = 4;
            else refused = true;
            return true;
          };
          fw->SetCallbacks(cb);
          if (!fw->CreateWindow(u"probe reuse", c.style, "") || !fw->CreateDevice(true, c.width, c.height))
            return 2;
          using GetStringFn = const unsigned char* (*)(unsigned);
          auto getString = reinterpret_cast<GetStringFn>(SDL_GL_GetProcAddress("glGetString"));
          const unsigned char* renderer = getString ? getString(0x1F01 /* GL_RENDERER */) : nullptr;
          if (!renderer || std::string(reinterpret_cast<const char*>(renderer)).find("llvmpipe") == std::string::npos)
            return 0;  // a hardware driver makes its device afresh; nothing to check here
          if (!refused) fail("multisampling offered by a software rasterizer", c.style);
          auto* window = static_cast<SDL_Window*>(fw->GetWindow());
          const Uint32 flags = window ? SDL_GetWindowFlags(window) : static_cast<Uint32>(SDL_WINDOW_HIDDEN);
          if (flags & SDL_WINDOW_HIDDEN) fail("window left hidden", c.style);
          if (((flags & SDL_WINDOW_BORDERLESS) != 0) != (c.style == kWindowStylePopup)) fail("wrong border", c.style);
          if (window && std::string(SDL_GetWindowTitle(window)) != "probe reuse") fail("wrong title", c.style);
          int w = 0, h = 0;
          if (window) SDL_GL_GetDrawableSize(window, &w, &h);
          if (w != c.width || h != c.height) fail("wrong drawable size", c.style);
          if (fw->GetDeviceSettings().multisampleSamples > 1) fail("multisampled device", c.style);
          // The back buffer is the window's: a clear to green reads back green.
          using ClearColorFn = void (*)(float, float, float, float);
          using ClearFn = void (*)(unsigned);
          using ReadPixelsFn = void (*)(int, int, int, int, unsigned, unsigned, void*);
          auto clearColor = reinterpret_cast<ClearColorFn>(SDL_GL_GetProcAddress("glClearColor"));
          auto clear = reinterpret_cast<ClearFn>(SDL_GL_GetProcAddress("glClear"));
          auto readPixels = reinterpret_cast<ReadPixelsFn>(SDL_GL_GetProcAddress("glReadPixels"));
          unsigned char px[4] = {0, 0, 0, 0};
          fw->GetDevice()->BeginFrame();
          clearColor(0.0f, 1.0f, 0.0f, 1.0f);
          clear(0x4000 /* GL_COLOR_BUFFER_BIT */);
          readPixels(c.width - 2, c.height - 2, 1, 1, 0x1908 /* GL_RGBA */, 0x1401 /* GL_UNSIGNED_BYTE */, px);
          if (px[0] > 8 || px[1] < 247 || px[2] > 8) fail("back buffer does not take the clear", c.style);
          fw->Shutdown();
        }
        return failures;
}
}  // namespace

TEST(FrameworkSdl, ARefusedMultisampleRequestStillGivesTheWindowAskedFor) {
  EXPECT_EXIT(std::_Exit(CheckRefusedMultisampleWindows()), ::testing::ExitedWithCode(0), "");
}
