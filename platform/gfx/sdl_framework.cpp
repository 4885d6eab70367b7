// The SDL2 back end of the framework.
#include <SDL.h>
#include <SDL_syswm.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <string>

#include "platform/clipboard.h"
#include "platform/gfx/framework.h"
#include "platform/gfx/glx_present.h"
#include "platform/gfx/render_device.h"
#include "platform/gfx/sdl_events.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace platform::gfx {

namespace {

class SdlClipboard : public platform::ClipboardBackend {
 public:
  std::string GetText() override {
    char* text = SDL_GetClipboardText();
    std::string s = text ? text : "";
    SDL_free(text);
    return s;
  }
  bool SetText(std::string_view utf8) override { return SDL_SetClipboardText(std::string(utf8).c_str()) == 0; }
};

void SetGlAttributes(int samples) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 1 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples > 1 ? samples : 0);
}

class SdlFramework : public Framework {
 public:
  ~SdlFramework() override {
    Shutdown();
    DestroySpare();
    if (videoStarted_) {
      SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
      // Nothing else of SDL in use (audio and input start their own parts): let
      // it release its global state too.
      if (SDL_WasInit(0) == 0) SDL_Quit();
    }
  }

  bool CreateWindow(const std::u16string& title, uint32_t style, const std::string& iconPath) override {
    if (!StartVideo()) return false;
    title_ = platform::Utf16ToUtf8(title);
    style_ = style;
    iconPath_ = iconPath;
    return true;
  }

  void PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
    const uint32_t type = userEvent_.load();
    if (type == 0) return;
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    e.user.code = static_cast<Sint32>(msg);
    e.user.data1 = reinterpret_cast<void*>(wParam);
    e.user.data2 = reinterpret_cast<void*>(lParam);
    SDL_PushEvent(&e);
  }

  int DisplayCount() override {
    if (!StartVideo()) return 0;
    const int n = SDL_GetNumVideoDisplays();
    return n > 0 ? n : 0;
  }

  bool GetDisplayMode(int adapter, DisplayMode& mode) override {
    if (!StartVideo() || adapter < 0 || adapter >= DisplayCount()) return false;
    SDL_DisplayMode m;
    if (SDL_GetCurrentDisplayMode(adapter, &m) != 0 && SDL_GetDesktopDisplayMode(adapter, &m) != 0) return false;
    mode.width = m.w;
    mode.height = m.h;
    mode.refreshRate = m.refresh_rate;
    return true;
  }

  // A sample count is supported when a window's back buffer can be made with it: a
  // hidden probe window is made once per count.
  bool CheckMultiSample(int adapter, int samples, int* qualityLevels) override {
    if (adapter < 0 || adapter >= DisplayCount()) return false;
    if (samples <= 1) {
      if (qualityLevels) *qualityLevels = 1;
      return true;
    }
    auto it = multisampleProbe_.find(samples);
    if (it == multisampleProbe_.end()) it = multisampleProbe_.emplace(samples, ProbeSamples(samples)).first;
    if (it->second && qualityLevels) *qualityLevels = 1;
    return it->second;
  }

  void ShowCursor(bool show) override {
    if (videoStarted_) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
  }

  WindowHandle GetWindow() override { return window_; }

 protected:
  bool DrawableSize(int& width, int& height) override {
    if (!window_) return false;
    SDL_GL_GetDrawableSize(window_, &width, &height);
    return true;
  }

  bool MakeDevice(const DeviceSettings& s) override {
    if (!StartVideo()) return false;
    SDL_DisplayMode mode;
    if (!s.windowed && !DisplayHasMode(s, mode)) {
      std::fprintf(stderr, "The display has no %dx%d mode\n", s.width, s.height);
      return false;
    }
    const Uint32 flags = WindowFlags(s);
    const int x = flags_.startX >= 0 ? flags_.startX : static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(s.adapter));
    const int y = flags_.startY >= 0 ? flags_.startY : static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(s.adapter));
    int samples = s.multisampleSamples;
    if (spare_.window && samples <= 1 && spare_.flags == flags && spare_.width == s.width &&
        spare_.height == s.height) {
      // The renderer probe already made this very window and context; a second
      // context costs a software driver as much as the first.
      window_ = spare_.window;
      gl_ = spare_.gl;
      spare_ = {};
      SDL_SetWindowTitle(window_, title_.c_str());
      SDL_SetWindowPosition(window_, x, y);
      SDL_ShowWindow(window_);
    } else {
      DestroySpare();
      SetGlAttributes(samples);
      window_ = SDL_CreateWindow(title_.c_str(), x, y, s.width, s.height, flags);
      if (window_) gl_ = SDL_GL_CreateContext(window_);
    }
    if (!gl_ && samples > 1) {
      // The probe said yes but this window cannot have it: go without multisampling.
      if (window_) SDL_DestroyWindow(window_);
      samples = 0;
      SetGlAttributes(0);
      window_ = SDL_CreateWindow(title_.c_str(), x, y, s.width, s.height, flags);
      if (window_) gl_ = SDL_GL_CreateContext(window_);
    }
    if (!window_ || !gl_) {
      ReportError("Could not create the window and its OpenGL 3.3 context");
      if (window_) SDL_DestroyWindow(window_);
      window_ = nullptr;
      gl_ = nullptr;
      return false;
    }
    SDL_GL_MakeCurrent(window_, gl_);
    ApplyPresentInterval(s);
    SetIcon();
    ApplyCursor(s);
    device_ = std::make_unique<Device>(true);
    // A rasterizer on the processor copies the whole back buffer to the X server at
    // every swap, and asks the server for the window's size before the next frame
    // (a round trip each). Copying only the part a frame changed leaves the back
    // buffer as it was, so frames are drawn again in part right there.
    copySubBuffer_ = !offscreen_ && samples <= 1 && SoftwareRenderer() && CanCopySubBuffer();
    swappedWidth_ = swappedHeight_ = 0;
    // The offscreen driver draws into a single-buffered pbuffer, whose swap does nothing.
    if (offscreen_ || copySubBuffer_) device_->Render().SetBackBufferKept(true);
    device_->SetBackBufferSize(s.width, s.height);
    SDL_RaiseWindow(window_);
    platform::SetClipboardBackend(&clipboard_);
    return true;
  }

  bool ResizeDevice(const DeviceSettings& s) override {
    if (!window_) return false;
    bool ok = true;
    if (s.windowed) {
      ok = SDL_SetWindowFullscreen(window_, 0) == 0;
      SDL_SetWindowSize(window_, s.width, s.height);
      SDL_SetWindowPosition(window_, static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(s.adapter)),
                            static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(s.adapter)));
    } else {
      // A size the display has no mode for is refused before the window is touched.
      SDL_DisplayMode got;
      if (!DisplayHasMode(s, got)) return false;
      SDL_SetWindowDisplayMode(window_, &got);
      SDL_SetWindowSize(window_, s.width, s.height);
      ok = SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) == 0;
    }
    ApplyPresentInterval(s);
    ApplyCursor(s);
    return ok;
  }

  void DestroyDevice() override {
    DestroySpare();
    platform::SetClipboardBackend(nullptr);
    device_.reset();
    if (gl_) SDL_GL_DeleteContext(gl_);
    if (window_) SDL_DestroyWindow(window_);
    gl_ = nullptr;
    window_ = nullptr;
  }

  bool NextMessage(WindowMessage& out) override {
    while (pending_.empty()) {
      SDL_Event e;
      if (!SDL_PollEvent(&e)) return false;
      std::vector<WindowMessage> msgs;
      TranslateSdlEvent(e, userEvent_.load(), msgs);
      for (const WindowMessage& m : msgs) {
        // One rescan serves both the joystick and the game-controller announcement.
        if (m.msg == WM_DEVICECHANGE && !pending_.empty() && pending_.back().msg == WM_DEVICECHANGE) continue;
        pending_.push_back(m);
      }
    }
    out = pending_.front();
    pending_.pop_front();
    return true;
  }

  void Present() override {
    if (!window_) return;
    // An offscreen surface's swap does nothing: without waiting for the frame here
    // a software driver keeps queueing frames, and deleting the context at shutdown
    // waits for all of them.
    if (gl_ && offscreen_) glFinish();
    if (copySubBuffer_ && PresentChangedPart()) return;
    SDL_GL_SwapWindow(window_);
  }

  bool WindowShown() override {
    return window_ && (SDL_GetWindowFlags(window_) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) == 0;
  }

 private:
  // The display's mode of exactly that size (any refresh rate).
  bool DisplayHasMode(const DeviceSettings& s, SDL_DisplayMode& got) {
    SDL_DisplayMode want{SDL_PIXELFORMAT_UNKNOWN, s.width, s.height, s.refreshRate, nullptr};
    if (!SDL_GetClosestDisplayMode(s.adapter, &want, &got)) return false;
    return got.w == s.width && got.h == s.height;
  }

  bool StartVideo() {
    if (videoStarted_) return true;
    // The game installs its own SIGINT/SIGTERM handling (RequestClose).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      ReportError(std::string("Could not start the video system: ") + SDL_GetError());
      return false;
    }
    if (!DisplayAvailable()) {
      SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
      return false;
    }
    videoStarted_ = true;
    const char* driver = SDL_GetCurrentVideoDriver();
    offscreen_ = driver && std::string(driver) == "offscreen";
    const Uint32 type = SDL_RegisterEvents(1);
    userEvent_.store(type == static_cast<Uint32>(-1) ? 0 : type);
    return true;
  }

  // Without a display SDL quietly falls back to a driver that draws nowhere, and the
  // game would run unseen. Such a driver is taken only when SDL_VIDEODRIVER asks for it.
  bool DisplayAvailable() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    const bool headless = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (!headless || (asked && *asked)) return true;
    // Said on standard error only: with no display there is nowhere to show a message
    // box, and SDL's attempt forks the game, threads and all, to try a dialog program;
    // a child forked while another thread holds an allocator or locale lock never ends.
    std::fprintf(stderr, "%s\n",
                 "No display to open the window on: DISPLAY and WAYLAND_DISPLAY name none. Start the game from a "
                 "desktop session, or set SDL_VIDEODRIVER=offscreen to run it without a window.");
    return false;
  }

  // A rasterizer on the processor (Mesa's llvmpipe, softpipe, swrast) can make a
  // multisampled buffer but pays for every sample in every frame: several times the
  // fill work of the whole game. Such a device is treated as offering none.
  static bool SoftwareRenderer() {
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!name) return false;
    const std::string renderer(name);
    for (const char* software : {"llvmpipe", "softpipe", "swrast"})
      if (renderer.find(software) != std::string::npos) return true;
    return false;
  }

  bool CanCopySubBuffer() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window_, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    return GlxCanCopySubBuffer(info.info.x11.display);
  }

  // Copies what the last frame changed to the window; false when the frame is to be
  // swapped instead. The driver learns a new window size only at a swap, so the first
  // present at each size swaps; the back buffer is undefined after it, so the frame
  // after is drawn whole.
  bool PresentChangedPart() {
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window_, &width, &height);
    if (width != swappedWidth_ || height != swappedHeight_) {
      swappedWidth_ = width;
      swappedHeight_ = height;
      RedrawNextFrame();
      return false;
    }
    int x = 0, y = 0, w = width, h = height;
    if (!device_ || !device_->Render().LastDrawnArea(x, y, w, h)) {
      x = y = 0;
      w = width;
      h = height;
    }
    GlxCopySubBuffer(x, y, w, h);
    return true;
  }

  // The window flags MakeDevice gives a window for these settings.
  Uint32 WindowFlags(const DeviceSettings& s) const {
    Uint32 flags = SDL_WINDOW_OPENGL;
    if (style_ == kWindowStylePopup) flags |= SDL_WINDOW_BORDERLESS;
    if (!s.windowed) flags |= SDL_WINDOW_FULLSCREEN;
    return flags;
  }

  // Learns once whether the driver rasterizes on the processor, from a context
  // without multisampling. Before the first device that context is made on a hidden
  // window of the size and kind the device will have, and kept: where multisampling
  // is refused it becomes the device's own.
  void ProbeRenderer() {
    if (software_.has_value()) return;
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    const DeviceSettings& s = pendingSettings_;
    const bool keep = !window_ && s.windowed && s.width > 0 && s.height > 0;
    const Uint32 flags = keep ? WindowFlags(s) : static_cast<Uint32>(SDL_WINDOW_OPENGL);
    const int width = keep ? s.width : 16;
    const int height = keep ? s.height : 16;
    SetGlAttributes(0);
    const int centred = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(s.adapter));
    const int x = flags_.startX >= 0 ? flags_.startX : centred;
    const int y = flags_.startY >= 0 ? flags_.startY : centred;
    SDL_Window* w = SDL_CreateWindow(title_.c_str(), x, y, width, height, flags | SDL_WINDOW_HIDDEN);
    SDL_GLContext c = w ? SDL_GL_CreateContext(w) : nullptr;
    if (!c) {
      // Nothing learnt: the multisampling probe decides on its own.
      if (w) SDL_DestroyWindow(w);
      if (previousWindow && previousContext) SDL_GL_MakeCurrent(previousWindow, previousContext);
      return;
    }
    software_ = SoftwareRenderer();
    if (keep && *software_) {
      spare_ = {w, c, flags, width, height};
    } else {
      SDL_GL_DeleteContext(c);
      SDL_DestroyWindow(w);
    }
    if (previousWindow && previousContext) SDL_GL_MakeCurrent(previousWindow, previousContext);
  }

  void DestroySpare() {
    if (spare_.gl) SDL_GL_DeleteContext(spare_.gl);
    if (spare_.window) SDL_DestroyWindow(spare_.window);
    spare_ = {};
  }

  bool ProbeSamples(int samples) {
    ProbeRenderer();
    if (software_.value_or(false)) return false;
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SetGlAttributes(samples);
    bool ok = false;
    SDL_Window* w = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (w) {
      SDL_GLContext c = SDL_GL_CreateContext(w);
      if (c) {
        int buffers = 0, got = 0;
        SDL_GL_GetAttribute(SDL_GL_MULTISAMPLEBUFFERS, &buffers);
        SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &got);
        ok = buffers > 0 && got >= samples && !SoftwareRenderer();
        SDL_GL_DeleteContext(c);
      }
      SDL_DestroyWindow(w);
    }
    if (previousWindow && previousContext) SDL_GL_MakeCurrent(previousWindow, previousContext);
    return ok;
  }

  void ApplyPresentInterval(const DeviceSettings& s) {
    if (!gl_) return;
    if (s.presentInterval == PresentInterval::kImmediate) SDL_GL_SetSwapInterval(0);
    else SDL_GL_SetSwapInterval(1);
  }

  void ApplyCursor(const DeviceSettings& s) {
    if (!window_) return;
    SDL_SetWindowGrab(window_, clipCursor_ ? SDL_TRUE : SDL_FALSE);
    if (!s.windowed && !showCursorInFullscreen_) SDL_ShowCursor(SDL_DISABLE);
    else if (s.windowed) SDL_ShowCursor(SDL_ENABLE);
  }

  void SetIcon() {
    if (iconPath_.empty() || !window_) return;
    ImageData image;
    if (!DecodeImageFile(iconPath_, image)) {
      std::fprintf(stderr, "Could not load the window icon %s\n", iconPath_.c_str());
      return;
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(image.rgba.data(), image.width, image.height, 32,
                                                              image.width * 4, SDL_PIXELFORMAT_RGBA32);
    if (!surface) return;
    SDL_SetWindowIcon(window_, surface);
    SDL_FreeSurface(surface);
  }

  void ReportError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    if (!flags_.noErrorMessageBoxes) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Velorin", text.c_str(), nullptr);
  }

  bool videoStarted_ = false;
  bool offscreen_ = false;
  bool copySubBuffer_ = false;  // frames are presented by copying their changed part
  int swappedWidth_ = 0;        // the drawable's size at the last swap
  int swappedHeight_ = 0;
  std::atomic<uint32_t> userEvent_{0};
  std::string title_;
  uint32_t style_ = kWindowStyleCaption;
  std::string iconPath_;
  SDL_Window* window_ = nullptr;
  SDL_GLContext gl_ = nullptr;
  std::deque<WindowMessage> pending_;
  std::map<int, bool> multisampleProbe_;
  std::optional<bool> software_;  // the driver rasterizes on the processor; unset until probed
  struct Spare {
    SDL_Window* window = nullptr;
    SDL_GLContext gl = nullptr;
    Uint32 flags = 0;
    int width = 0;
    int height = 0;
  } spare_;
  SdlClipboard clipboard_;
};

}  // namespace

std::unique_ptr<Framework> CreateSdlFramework() { return std::make_unique<SdlFramework>(); }

}  // namespace platform::gfx
