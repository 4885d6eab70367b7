// The application shell of the game: the entry and shutdown, the frame callbacks
// and their dispatch on the game state, the long-lived threads and the load jobs,
// the window procedure and the device callbacks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/shell/services.h"
#include "core/shell/shell_state.h"
#include "platform/gfx/framework.h"

namespace shell {

// Starts a new instance of the program at the given path, without arguments.
using RelaunchFunction = std::function<bool(const std::string& executable)>;
bool SpawnDetached(const std::string& executable);

// The game's entry: runs from start-up through the message loop to shutdown and
// returns the process exit code. The framework must outlive the call.
int RunGame(int argc, const char* const* argv, platform::gfx::Framework& framework, Services services,
            RelaunchFunction relaunch = SpawnDetached);

// Stops the threads and deletes the process-wide objects; RunGame calls it once
// after the message loop.
void Shutdown();
// The settings summary block of the game log.
void LogSettings();
// Loads the loading-screen images and starts the Music, Task and Net threads.
void StartLoadingScreen();

// The game's arguments from the process's: the framework's flags are taken out
// (by the framework) and a song folder in argument 1 is made absolute against the
// folder the program was started from.
void MakeSongFolderAbsolute(std::vector<std::string>& args, const std::string& startFolder);

// A song folder in argument 1 that is not there is logged, said on standard error and
// dropped with the arguments after it, so that the game starts at its music folder.
bool DropMissingSongFolder(std::vector<std::string>& args);

// Where the window's icon is read from, in the run folder.
inline constexpr const char* kWindowIconPath = "data/icons/velorin.png";

// Argument 1 and 2 of the game's command line as the start-up load reads them.
struct SongFolderArgument {
  bool present = false;
  std::u16string folder;  // one trailing '/', '\' or '"' dropped
  std::u16string parent;  // up to and including the last '/'
  bool practice = false;  // argument 2 is "/p" in any case
};
SongFolderArgument ReadSongFolderArgument();

// "Velorin v1.27 9th December 2025": the version and the build date.
std::u16string WindowTitle();
std::u16string FormatBuildDate(const char* compilerDate);  // from __DATE__

// Framework callbacks.
bool ModifyDeviceSettings(platform::gfx::DeviceSettings& settings);
void OnFrameMove(double time, float elapsed);
void OnFrameRender(platform::gfx::Device& device, double time, float elapsed);
intptr_t MsgProc(platform::gfx::WindowHandle window, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                 bool* noFurtherProcessing);
void OnCreateDevice(platform::gfx::Device& device, const platform::gfx::BackBufferDesc& desc);
void OnResetDevice(platform::gfx::Device& device, const platform::gfx::BackBufferDesc& desc);
void OnLostDevice();
void OnDestroyDevice();

// Frame update.
void UpdateFrame();
void UpdateNetworkClient();
void UpdateStartupLoading();
void UpdateMenus();
// Moves the device to the settings' size and mode; a full-screen mode the display
// refuses falls back to the desktop's mode. False when no change took effect.
bool ApplyResolution();
// Switches between window and full screen; the settings are saved only when the
// switch took effect.
bool ToggleFullscreen();

// The Task thread's jobs.
bool LoadAll();
bool LoadLevelJob();

// The framework's window handle for the current window mode (null before the
// device exists); the controller manager, the scene context and the level code
// read it through this pointer.
platform::gfx::WindowHandle* MainWindowHandle();

// Device objects the shell owns for the renderers (null when not made).
DeviceObject* SharedSprite();
DeviceObject* OverlayFont(int index);  // 0: height 18, 1: height 22
platform::gfx::RenderSurface* StereoRenderTarget(int index);
platform::gfx::RenderSurface* StereoRenderTexture(int index);
uint32_t BackBufferRenderTarget();
// The logo, "data/2d/loading_background.png", "data/2d/loading_frame.png",
// "data/2d/loading_bar.png"; null when missing.
const platform::gfx::Texture* LoadingScreenTexture(int index);

// Puts the shell's state back to its start values and connects it to a framework
// and a service table without running the entry (tests drive the callbacks).
void AttachForTesting(platform::gfx::Framework* framework, Services services);
// Whether the process-wide objects made by the start-up load exist.
struct SingletonState {
  bool soundPlayer, songSlots, gameAssets, ctrlMain, sharedQuad, sceneContext, menuManager, cameras;
};
SingletonState Singletons();
// Marks objects as made, for tests that drive the callbacks without the load job.
void SetSingletonsForTesting(const SingletonState& state);
// Whether each long-lived thread was started (and not yet stopped).
bool ThreadStarted(ThreadId id);

}  // namespace shell
