// The window and device framework: it creates the game's window and rendering
// device, runs the message loop, and calls the game back through eight callbacks
// (modify device settings, frame move, frame render, window messages, device
// created, device reset, device lost, device destroyed). Two back ends: SDL2 with
// an OpenGL 3.3 core context, and a null back end with no window that only runs
// frames and the messages posted to it (for tests).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/window_messages.h"

namespace platform::gfx {

// Window styles the game asks for.
constexpr uint32_t kWindowStyleCaption = 0x00CA0000;  // caption, system menu, minimise box
constexpr uint32_t kWindowStylePopup = 0x80000000;    // borderless

// Vertex-processing flags of the device settings. They have no effect on the OpenGL
// device; the game's choice is kept so that it can be reported and tested.
constexpr uint32_t kSoftwareVertexProcessing = 0x20;
constexpr uint32_t kHardwareVertexProcessing = 0x40;
constexpr uint32_t kMixedVertexProcessing = 0x80;
constexpr uint32_t kMultithreaded = 0x04;

enum class PresentInterval { kDefault, kOne, kImmediate };

struct DeviceSettings {
  int adapter = 0;
  bool windowed = true;
  int width = 0;   // back buffer
  int height = 0;
  int refreshRate = 0;  // full screen only; 0 in a window
  PresentInterval presentInterval = PresentInterval::kDefault;
  int backBufferCount = 1;
  int multisampleSamples = 0;  // 0: none
  int multisampleQuality = 0;
  uint32_t behaviorFlags = kHardwareVertexProcessing;
};

struct DisplayMode {
  int width = 0;
  int height = 0;
  int refreshRate = 0;
};

// What the device offers, as the game's vertex-processing rule reads it.
struct DeviceCaps {
  bool hardwareTransformAndLight = true;
  int vertexShaderMajor = 3;
  int vertexShaderMinor = 0;
  int maxVertexBlendMatrices = 4;
};

struct BackBufferDesc {
  int width = 0;
  int height = 0;
  int multisampleSamples = 0;
  int multisampleQuality = 0;
};

struct FrameworkCallbacks {
  // False refuses the settings: the device is not made or changed.
  std::function<bool(DeviceSettings&)> modifyDeviceSettings;
  std::function<void(double time, float elapsed)> frameMove;
  std::function<void(Device&, double time, float elapsed)> frameRender;
  // Sets *noFurtherProcessing to keep the framework's own handling away.
  std::function<intptr_t(WindowHandle, uint32_t msg, uintptr_t wParam, intptr_t lParam, bool* noFurtherProcessing)>
      msgProc;
  std::function<void(Device&, const BackBufferDesc&)> deviceCreated;
  std::function<void(Device&, const BackBufferDesc&)> deviceReset;
  std::function<void()> deviceLost;
  std::function<void()> deviceDestroyed;
};

// The framework's own command-line flags. Each begins with '-' and is matched
// without regard to case; the value flags are written "-name:value".
struct FrameworkFlags {
  int adapter = -1;       // -adapter:N
  int windowed = -1;      // -windowed (1), -fullscreen (0)
  int width = 0;          // -width:N
  int height = 0;         // -height:N
  int startX = -1;        // -startx:N
  int startY = -1;        // -starty:N
  int forceVsync = -1;    // -forcevsync:0|1
  int quitAfterFrame = 0; // -quitafterframe:N
  bool noErrorMessageBoxes = false;  // -noerrormsgboxes
  // Accepted for compatibility; they choose between Direct3D device kinds and
  // vertex processing and mean nothing to the OpenGL device:
  // -forcehal, -forceref, -forcepurehwvp, -forcehwvp, -forceswvp, -forceapi:N,
  // -constantframetime:N, -nostats, -automation.
};

// Takes the framework's flags out of args (argument 0, the program path, is never
// looked at) and returns them. Other arguments keep their order.
FrameworkFlags ParseFrameworkFlags(std::vector<std::string>& args);

class Framework {
 public:
  virtual ~Framework();

  void SetCallbacks(FrameworkCallbacks callbacks) { callbacks_ = std::move(callbacks); }

  // With parseCommandLine set, the framework's flags are taken out of *args and stay
  // in force for the device made later. A second call without parsing keeps them.
  void Init(bool parseCommandLine, std::vector<std::string>* args);
  const FrameworkFlags& Flags() const { return flags_; }

  // Cursor: shown in full screen or not; kept inside the window or not.
  void SetCursorSettings(bool showInFullscreen, bool clip) {
    showCursorInFullscreen_ = showInFullscreen;
    clipCursor_ = clip;
  }
  // The framework's hot keys: Alt+Enter toggles full screen, Esc closes, Pause
  // does nothing here (there is no framework timer to pause).
  void SetHotkeyHandling(bool altEnterToggles, bool escapeQuits, bool pausePauses) {
    altEnterToggles_ = altEnterToggles;
    escapeQuits_ = escapeQuits;
    (void)pausePauses;
  }

  // Remembers the title, style and icon of the window the device is made in.
  virtual bool CreateWindow(const std::u16string& title, uint32_t style, const std::string& iconPath) = 0;
  // Runs modifyDeviceSettings, applies the command-line flags, makes the window and
  // its device, then calls deviceCreated and deviceReset.
  bool CreateDevice(bool windowed, int width, int height);
  // Moves the device to new settings (modifyDeviceSettings runs first): deviceLost,
  // the window change, deviceReset (or destroyed and created when it must be remade).
  bool ChangeDevice(const DeviceSettings& settings);
  const DeviceSettings& GetDeviceSettings() const { return current_; }

  // Pumps messages and, when none wait, runs frame move and frame render. Frames
  // start no faster than the display refreshes (60 a second where its rate is
  // unknown); the loop sleeps between them. While the window is hidden or minimised
  // frame move still runs but nothing is drawn or presented. A frame whose picture
  // is the one on screen already (the device compares them, see Device::EndFrame) is
  // rendered by the game but neither drawn nor presented, unless the window was
  // resized, exposed or shown again since. Returns the exit code
  // once the window has closed (or at once when there is no device).
  int MainLoop();
  // Ends the message loop after the current message or frame (PostQuitMessage).
  void Quit(int exitCode);
  // Closes the window as its close button does: WM_CLOSE goes to the window
  // procedure, and unless that keeps it, the loop ends with exit code 0.
  // Async-signal-safe: it only sets a flag that the loop reads.
  static void RequestClose();
  static bool CloseRequested();
  // Signal handlers for SIGINT and SIGTERM that call RequestClose.
  static void InstallCloseSignalHandlers();
  // Makes the next MainLoop start with no close request (tests run several loops).
  static void ResetCloseRequest();

  // Thread-safe: queues a message for the window procedure.
  virtual void PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;

  virtual int DisplayCount() = 0;
  virtual bool GetDisplayMode(int adapter, DisplayMode& mode) = 0;
  virtual DeviceCaps GetDeviceCaps(int adapter) { (void)adapter; return DeviceCaps(); }
  // Whether the back buffer can have that many samples; qualityLevels is then 1.
  // A software rasterizer is taken to offer none (every sample costs a full fill).
  virtual bool CheckMultiSample(int adapter, int samples, int* qualityLevels) = 0;
  virtual void ShowCursor(bool show) = 0;
  virtual WindowHandle GetWindow() = 0;
  Device* GetDevice() { return device_.get(); }
  int ExitCode() const { return exitCode_; }
  uint64_t FrameCount() const { return frames_; }   // frame moves run
  uint64_t DrawnFrameCount() const { return drawnFrames_; }      // frame renders run
  uint64_t PresentedFrameCount() const { return presentedFrames_; }  // of those, presented
  // The shortest time between two frame starts (0: not paced).
  int64_t FramePeriodNs();

  // Releases the device (deviceLost, deviceDestroyed) and the window. MainLoop does
  // not do this: the game deletes what it made on the device first.
  void Shutdown();

 protected:
  // Back-end hooks.
  virtual bool MakeDevice(const DeviceSettings& settings) = 0;    // window + device
  virtual bool ResizeDevice(const DeviceSettings& settings) = 0;  // same device, new size or mode
  virtual void DestroyDevice() = 0;                               // device + window
  // Takes the next waiting message; false when none waits.
  virtual bool NextMessage(WindowMessage& out) = 0;
  virtual void Present() = 0;
  virtual void IdleWait() {}
  // The size of the window's drawable area now; false when the back end cannot tell.
  virtual bool DrawableSize(int& width, int& height) {
    (void)width;
    (void)height;
    return false;
  }
  // False while the window is hidden or minimised: the frame is not drawn.
  virtual bool WindowShown() { return true; }
  // The next frame is drawn and presented whole, whatever it shows (a present that
  // left the back buffer undefined).
  void RedrawNextFrame() { redrawNeeded_ = true; }
  // Whether the loop paces its frames to the display's refresh rate.
  virtual bool Paced() { return true; }

  // Runs the window procedure, then the framework's own handling unless refused.
  void Dispatch(const WindowMessage& m);
  void CallDeviceCreated();
  void CallDeviceReset();
  void ApplyFlagOverrides(DeviceSettings& s);
  void ClampSettings(DeviceSettings& s);
  // The settings take the size the window really got.
  void TakeDrawableSize(DeviceSettings& s);
  // WM_SIZE: a new drawable size resets the device at that size.
  void OnWindowSized(int width, int height);
  BackBufferDesc CurrentBackBuffer() const;
  // The device made again takes the drawing interface of the one before.
  void AdoptRender(std::shared_ptr<RenderDevice> carried);

  FrameworkCallbacks callbacks_;
  FrameworkFlags flags_;
  bool flagsParsed_ = false;
  bool showCursorInFullscreen_ = true;
  bool clipCursor_ = false;
  bool altEnterToggles_ = true;
  bool escapeQuits_ = true;
  DeviceSettings current_;
  // The settings a device is being made or changed with, as the settings callback
  // got them (set before it runs): what a probe of the back end may prepare for.
  DeviceSettings pendingSettings_;
  std::unique_ptr<Device> device_;
  // A drawing interface no device could take over: kept (without a context) so that
  // the pointers the game holds to it stay valid until it shuts down.
  std::shared_ptr<RenderDevice> orphanedRender_;
  bool quit_ = false;
  int exitCode_ = 0;
  uint64_t frames_ = 0;
  uint64_t drawnFrames_ = 0;
  uint64_t presentedFrames_ = 0;
  bool redrawNeeded_ = true;  // the next frame is presented whatever it draws
};

// The SDL2 back end: one window with an OpenGL 3.3 core context; while the window
// exists, the system clipboard goes through SDL.
std::unique_ptr<Framework> CreateSdlFramework();

// The null back end: no window and no OpenGL; messages come only from PostMessage,
// and every loop pass runs one frame.
class NullFramework : public Framework {
 public:
  struct Options {
    int displayCount = 1;
    DisplayMode displayMode{1920, 1080, 60};
    bool displayModeReadable = true;
    int maxSamples = 4;
    uint32_t frameSleepMs = 1;  // between frames, so that tests do not spin
    uint64_t maxFrames = 0;     // 0: no limit; else the loop ends after that many frames
    // Full screen only at the display mode's size (a display that refuses others).
    bool fullscreenOnlyAtDisplayMode = false;
    bool paced = false;         // frames paced to displayMode's refresh rate, as a window's are
    bool shown = true;          // false: as a hidden window, frames are moved but not drawn
  };
  NullFramework() = default;
  explicit NullFramework(Options options) : options_(options) {}

  Options& options() { return options_; }
  // Every settings record a device was made or changed with.
  std::vector<DeviceSettings> DeviceHistory();
  bool cursorShown() const { return cursorShown_; }

  bool CreateWindow(const std::u16string& title, uint32_t style, const std::string& iconPath) override;
  const std::u16string& title() const { return title_; }
  uint32_t style() const { return style_; }
  const std::string& iconPath() const { return iconPath_; }
  void PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  int DisplayCount() override { return options_.displayCount; }
  bool GetDisplayMode(int adapter, DisplayMode& mode) override;
  bool CheckMultiSample(int adapter, int samples, int* qualityLevels) override;
  void ShowCursor(bool show) override { cursorShown_ = show; }
  WindowHandle GetWindow() override { return device_ ? this : nullptr; }

 protected:
  bool MakeDevice(const DeviceSettings& settings) override;
  bool ResizeDevice(const DeviceSettings& settings) override;
  void DestroyDevice() override;
  bool NextMessage(WindowMessage& out) override;
  void Present() override;
  void IdleWait() override;
  bool WindowShown() override { return options_.shown; }
  bool Paced() override { return options_.paced; }

 private:
  Options options_;
  std::u16string title_;
  uint32_t style_ = 0;
  std::string iconPath_;
  bool cursorShown_ = true;
  struct Queue;
  std::shared_ptr<Queue> queue_;
  std::shared_ptr<Queue> GetQueue();
  bool Refuses(const DeviceSettings& settings) const;
};

}  // namespace platform::gfx
