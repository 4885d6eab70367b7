#include "platform/gfx/framework.h"

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "platform/gfx/render_device.h"
#include "platform/text.h"

namespace platform::gfx {

namespace {

std::atomic<bool> g_closeRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the close flag is set from a signal handler");

void OnCloseSignal(int) { g_closeRequested.store(true, std::memory_order_relaxed); }

// "-name" or "-name:value" without regard to case; value parsed as decimal.
bool MatchFlag(const std::string& arg, std::string_view name, bool wantsValue, int* value) {
  if (arg.size() < name.size() + 1 || arg[0] != '-') return false;
  if (!platform::EqualsNoCaseAscii(std::string_view(arg).substr(1, name.size()), name)) return false;
  std::string_view rest = std::string_view(arg).substr(1 + name.size());
  if (!wantsValue) return rest.empty();
  if (rest.size() < 2 || rest[0] != ':') return false;
  rest.remove_prefix(1);
  for (char c : rest)
    if (c < '0' || c > '9') return false;
  if (rest.size() > 9) return false;
  *value = platform::AtoI(rest);
  return true;
}

}  // namespace

FrameworkFlags ParseFrameworkFlags(std::vector<std::string>& args) {
  FrameworkFlags f;
  static const char* const kIgnoredPlain[] = {"forcehal",  "forceref",  "forcepurehwvp", "forcehwvp",
                                              "forceswvp", "nostats",   "automation"};
  static const char* const kIgnoredValue[] = {"forceapi", "constantframetime"};
  std::vector<std::string> kept;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i == 0) {
      kept.push_back(a);
      continue;
    }
    int v = 0;
    bool taken = true;
    if (MatchFlag(a, "windowed", false, &v)) f.windowed = 1;
    else if (MatchFlag(a, "fullscreen", false, &v)) f.windowed = 0;
    else if (MatchFlag(a, "adapter", true, &v)) f.adapter = v;
    else if (MatchFlag(a, "width", true, &v)) f.width = v;
    else if (MatchFlag(a, "height", true, &v)) f.height = v;
    else if (MatchFlag(a, "startx", true, &v)) f.startX = v;
    else if (MatchFlag(a, "starty", true, &v)) f.startY = v;
    else if (MatchFlag(a, "forcevsync", true, &v)) f.forceVsync = v != 0 ? 1 : 0;
    else if (MatchFlag(a, "quitafterframe", true, &v)) f.quitAfterFrame = v;
    else if (MatchFlag(a, "noerrormsgboxes", false, &v)) f.noErrorMessageBoxes = true;
    else {
      taken = false;
      for (const char* n : kIgnoredPlain)
        if (MatchFlag(a, n, false, &v)) taken = true;
      for (const char* n : kIgnoredValue)
        if (MatchFlag(a, n, true, &v)) taken = true;
    }
    if (!taken) kept.push_back(a);
  }
  args = std::move(kept);
  return f;
}

Framework::~Framework() = default;

void Framework::Init(bool parseCommandLine, std::vector<std::string>* args) {
  if (!parseCommandLine || flagsParsed_ || !args) return;
  flags_ = ParseFrameworkFlags(*args);
  flagsParsed_ = true;
}

void Framework::ApplyFlagOverrides(DeviceSettings& s) {
  if (flags_.adapter >= 0) s.adapter = flags_.adapter;
  if (flags_.windowed >= 0) s.windowed = flags_.windowed == 1;
  if (flags_.width > 0) s.width = flags_.width;
  if (flags_.height > 0) s.height = flags_.height;
  if (flags_.forceVsync >= 0) s.presentInterval = flags_.forceVsync ? PresentInterval::kOne : PresentInterval::kImmediate;
  ClampSettings(s);
}

void Framework::ClampSettings(DeviceSettings& s) {
  if (s.adapter < 0 || s.adapter >= DisplayCount()) s.adapter = 0;
  if (s.width < 1) s.width = 1;
  if (s.height < 1) s.height = 1;
}

void Framework::TakeDrawableSize(DeviceSettings& s) {
  int width = 0, height = 0;
  if (!DrawableSize(width, height) || width < 1 || height < 1) return;
  s.width = width;
  s.height = height;
}

void Framework::OnWindowSized(int width, int height) {
  if (!device_ || width < 1 || height < 1) return;
  if (width == current_.width && height == current_.height) return;
  // The window took another size than the device has (the window manager, a mode
  // switch that settled late): everything sized by the back buffer is made again.
  if (callbacks_.deviceLost) callbacks_.deviceLost();
  current_.width = width;
  current_.height = height;
  device_->SetBackBufferSize(width, height);
  CallDeviceReset();
}

BackBufferDesc Framework::CurrentBackBuffer() const {
  BackBufferDesc d;
  d.width = current_.width;
  d.height = current_.height;
  d.multisampleSamples = current_.multisampleSamples;
  d.multisampleQuality = current_.multisampleQuality;
  return d;
}

void Framework::CallDeviceCreated() {
  if (callbacks_.deviceCreated && device_) callbacks_.deviceCreated(*device_, CurrentBackBuffer());
}

void Framework::CallDeviceReset() {
  redrawNeeded_ = true;
  if (callbacks_.deviceReset && device_) callbacks_.deviceReset(*device_, CurrentBackBuffer());
}

bool Framework::CreateDevice(bool windowed, int width, int height) {
  DeviceSettings s;
  s.adapter = 0;
  s.windowed = windowed;
  s.width = width;
  s.height = height;
  // The command line's flags come first, so that the game's settings callback sees
  // the mode that will be made (a -windowed flag takes away the refresh rate).
  ApplyFlagOverrides(s);
  pendingSettings_ = s;
  if (callbacks_.modifyDeviceSettings && !callbacks_.modifyDeviceSettings(s)) return false;
  ClampSettings(s);
  if (!MakeDevice(s)) return false;
  TakeDrawableSize(s);
  current_ = s;
  if (device_) device_->SetBackBufferSize(s.width, s.height);
  CallDeviceCreated();
  CallDeviceReset();
  return true;
}

void Framework::AdoptRender(std::shared_ptr<RenderDevice> carried) {
  if (!carried || device_->TakeOverRender(carried)) return;
  // A device of the other kind cannot draw through it; the holders' pointers must
  // still not dangle.
  orphanedRender_ = std::move(carried);
}

bool Framework::ChangeDevice(const DeviceSettings& requested) {
  if (!device_) return CreateDevice(requested.windowed, requested.width, requested.height);
  DeviceSettings s = requested;
  pendingSettings_ = s;
  if (callbacks_.modifyDeviceSettings && !callbacks_.modifyDeviceSettings(s)) return false;
  ClampSettings(s);
  const bool remake = s.adapter != current_.adapter || s.multisampleSamples != current_.multisampleSamples;
  if (callbacks_.deviceLost) callbacks_.deviceLost();
  if (remake) {
    if (callbacks_.deviceDestroyed) callbacks_.deviceDestroyed();
    // The drawing interface outlives the device: the game's objects keep pointers to
    // it and to the textures it made, which move to the new context with it.
    std::shared_ptr<RenderDevice> carried = device_ ? device_->HandOverRender() : nullptr;
    DestroyDevice();
    if (!MakeDevice(s)) {
      // Back to what worked before; without that there is no device and the loop ends.
      if (!MakeDevice(current_)) {
        // Kept for the holders' own shutdown; it has no context left to touch.
        orphanedRender_ = std::move(carried);
        quit_ = true;
        exitCode_ = 1;
        return false;
      }
      device_->SetBackBufferSize(current_.width, current_.height);
      AdoptRender(std::move(carried));
      CallDeviceCreated();
      CallDeviceReset();
      return false;
    }
    TakeDrawableSize(s);
    current_ = s;
    device_->SetBackBufferSize(s.width, s.height);
    AdoptRender(std::move(carried));
    CallDeviceCreated();
    CallDeviceReset();
    return true;
  }
  const bool ok = ResizeDevice(s);
  // A window that settles at another size later says so through WM_SIZE.
  if (ok) current_ = s;
  device_->SetBackBufferSize(current_.width, current_.height);
  CallDeviceReset();
  return ok;
}

void Framework::Dispatch(const WindowMessage& m) {
  bool noFurther = false;
  if (callbacks_.msgProc) callbacks_.msgProc(GetWindow(), m.msg, m.wParam, m.lParam, &noFurther);
  if (noFurther) return;
  switch (m.msg) {
    case WM_CLOSE:
      Quit(0);
      break;
    case WM_PAINT:
      redrawNeeded_ = true;
      break;
    case WM_SIZE:
      redrawNeeded_ = true;
      OnWindowSized(static_cast<int>(m.lParam & 0xFFFF), static_cast<int>((m.lParam >> 16) & 0xFFFF));
      break;
    case WM_SYSKEYDOWN:
      if (altEnterToggles_ && m.wParam == VK_RETURN) {
        DeviceSettings s = current_;
        s.windowed = !s.windowed;
        ChangeDevice(s);
      }
      break;
    case WM_KEYDOWN:
      if (escapeQuits_ && m.wParam == VK_ESCAPE) Dispatch(WindowMessage{WM_CLOSE, 0, 0});
      break;
    default:
      break;
  }
}

int64_t Framework::FramePeriodNs() {
  constexpr int kUnknownRefreshRate = 60;
  if (!Paced()) return 0;
  DisplayMode mode;
  const int rate = GetDisplayMode(current_.adapter, mode) && mode.refreshRate > 0 ? mode.refreshRate : kUnknownRefreshRate;
  return 1000000000LL / rate;
}

int Framework::MainLoop() {
  if (!device_) return exitCode_ == 0 ? 1 : exitCode_;
  using PaceClock = std::chrono::steady_clock;
  const int64_t start = platform::PerformanceCounter();
  int64_t last = start;
  // The pace is kept on the real clock: a test may replace the game's clock.
  PaceClock::time_point nextFrame = PaceClock::now();
  while (!quit_) {
    if (g_closeRequested.exchange(false)) {
      Dispatch(WindowMessage{WM_CLOSE, 0, 0});
      if (quit_) break;
    }
    WindowMessage m;
    while (!quit_ && NextMessage(m)) Dispatch(m);
    if (quit_ || !device_) break;
    // Read each frame: a device change may move the window to another display.
    const auto period = std::chrono::nanoseconds(FramePeriodNs());
    if (period.count() > 0) {
      const PaceClock::time_point paceNow = PaceClock::now();
      if (paceNow < nextFrame) {
        // Messages that came meanwhile are handled before the frame starts.
        std::this_thread::sleep_until(nextFrame);
        continue;
      }
      // A frame that ran long starts the count again rather than rushing to catch up.
      nextFrame = paceNow - nextFrame >= period ? paceNow + period : nextFrame + period;
    }
    const int64_t now = platform::PerformanceCounter();
    const double time = static_cast<double>(now - start) / 1e9;
    const float elapsed = static_cast<float>(static_cast<double>(now - last) / 1e9);
    last = now;
    if (callbacks_.frameMove) callbacks_.frameMove(time, elapsed);
    if (quit_ || !device_) break;
    if (WindowShown()) {
      device_->BeginFrame();
      if (callbacks_.frameRender) callbacks_.frameRender(*device_, time, elapsed);
      // A frame that would paint the picture already on screen is neither drawn nor
      // presented (software OpenGL pays for every pixel of both).
      if (device_ && device_->EndFrame(redrawNeeded_)) {
        Present();
        ++presentedFrames_;
      }
      redrawNeeded_ = false;
      ++drawnFrames_;
    } else {
      redrawNeeded_ = true;  // a window shown again has no picture of ours
    }
    ++frames_;
    if (flags_.quitAfterFrame > 0 && frames_ >= static_cast<uint64_t>(flags_.quitAfterFrame)) Quit(0);
    IdleWait();
  }
  return exitCode_;
}

void Framework::Quit(int exitCode) {
  quit_ = true;
  exitCode_ = exitCode;
}

void Framework::RequestClose() { g_closeRequested.store(true); }
bool Framework::CloseRequested() { return g_closeRequested.load(); }
void Framework::ResetCloseRequest() { g_closeRequested.store(false); }

void Framework::InstallCloseSignalHandlers() {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnCloseSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

void Framework::Shutdown() {
  if (!device_) return;
  if (callbacks_.deviceLost) callbacks_.deviceLost();
  if (callbacks_.deviceDestroyed) callbacks_.deviceDestroyed();
  DestroyDevice();
}

// ---- null back end ----

struct NullFramework::Queue {
  std::mutex mutex;
  std::deque<WindowMessage> messages;
  std::vector<DeviceSettings> history;
};

std::shared_ptr<NullFramework::Queue> NullFramework::GetQueue() {
  if (!queue_) queue_ = std::make_shared<Queue>();
  return queue_;
}

std::vector<DeviceSettings> NullFramework::DeviceHistory() {
  auto q = GetQueue();
  std::lock_guard<std::mutex> lock(q->mutex);
  return q->history;
}

bool NullFramework::CreateWindow(const std::u16string& title, uint32_t style, const std::string& iconPath) {
  GetQueue();
  title_ = title;
  style_ = style;
  iconPath_ = iconPath;
  return true;
}

void NullFramework::PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  auto q = queue_;  // made by CreateWindow before any other thread runs
  if (!q) return;
  std::lock_guard<std::mutex> lock(q->mutex);
  q->messages.push_back(WindowMessage{msg, wParam, lParam});
}

bool NullFramework::GetDisplayMode(int adapter, DisplayMode& mode) {
  if (!options_.displayModeReadable || adapter < 0 || adapter >= options_.displayCount) return false;
  mode = options_.displayMode;
  return true;
}

bool NullFramework::CheckMultiSample(int adapter, int samples, int* qualityLevels) {
  if (adapter < 0 || adapter >= options_.displayCount) return false;
  if (samples > options_.maxSamples) return false;
  if (qualityLevels) *qualityLevels = 1;
  return true;
}

bool NullFramework::Refuses(const DeviceSettings& s) const {
  return options_.fullscreenOnlyAtDisplayMode && !s.windowed &&
         (s.width != options_.displayMode.width || s.height != options_.displayMode.height);
}

bool NullFramework::MakeDevice(const DeviceSettings& settings) {
  if (Refuses(settings)) return false;
  auto q = GetQueue();
  {
    std::lock_guard<std::mutex> lock(q->mutex);
    q->history.push_back(settings);
  }
  device_ = std::make_unique<Device>(false);
  device_->SetBackBufferSize(settings.width, settings.height);
  return true;
}

bool NullFramework::ResizeDevice(const DeviceSettings& settings) {
  if (Refuses(settings)) return false;
  auto q = GetQueue();
  std::lock_guard<std::mutex> lock(q->mutex);
  q->history.push_back(settings);
  return true;
}

void NullFramework::DestroyDevice() { device_.reset(); }

bool NullFramework::NextMessage(WindowMessage& out) {
  auto q = GetQueue();
  std::lock_guard<std::mutex> lock(q->mutex);
  if (q->messages.empty()) return false;
  out = q->messages.front();
  q->messages.pop_front();
  return true;
}

void NullFramework::Present() {}

void NullFramework::IdleWait() {
  if (options_.maxFrames > 0 && frames_ >= options_.maxFrames) Quit(0);
  if (options_.frameSleepMs) platform::SleepMs(options_.frameSleepMs);
}

}  // namespace platform::gfx
