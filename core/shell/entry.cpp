// The game's entry: start-up, the message loop, shutdown and the relaunch.
#include <spawn.h>
#include <sys/types.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "core/settings.h"
#include "core/shell/shell_internal.h"
#include "core/utils.h"
#include "core/version.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/text.h"
#include "platform/threads.h"

extern char** environ;

namespace shell {

using namespace internal;

namespace {


platform::gfx::WindowHandle g_mainWindow = nullptr;
std::array<std::unique_ptr<platform::gfx::Texture>, 4> g_loadingTextures;
// The loading screen's fixed pictures, decoded while the window and device are made
// (the largest of them takes longer to decode than anything else before the loop).
std::unique_ptr<platform::gfx::ImagePrefetch> g_loadingPictures;
constexpr const char* kLoadingPictures[3] = {"data/2d/loading_background.png", "data/2d/loading_frame.png",
                                             "data/2d/loading_bar.png"};

std::u16string Bool01(bool b) { return b ? u"1" : u"0"; }
std::u16string Int(int32_t v) { return platform::FormatIntW(v); }

void ResetState() {
  ResetThreads();
  SetState(State::kStartupLoading);
  SetTask(Task::kIdle);
  ServerRunState.store(static_cast<int>(ServerRun::kStopped));
  BackBufferWidth = 0;
  BackBufferHeight = 0;
  WindowActive.store(false);
  LoadStep.store(static_cast<int>(LoadStepId::kNone));
  LoadProgressActive.store(false);
  LoadProgress.store(0.0f);
  ScreenFade.store(0.0f);
  LastSyncSongTime.store(0.0);
  RelaunchRequested.store(false);
  g_made.soundPlayer = g_made.songSlots = g_made.gameAssets = g_made.ctrlMain = false;
  g_made.sharedQuad = g_made.sceneContext = g_made.menuManager = g_made.cameras = false;
  g_lastMouseMoveTime = platform::TimeGetTime();
  g_quickMouseMoves = 0;
  g_cursorHidden = false;
  g_fadeRunning = false;
  g_mainWindow = nullptr;
  ReleaseLoadingScreenTextures();
  ReleaseDeviceObjects();
  ResetMissingReports();
}

}  // namespace

namespace internal {

void ComputeBackBuffer() {
  if (g_Settings.WINDOWED) {
    BackBufferWidth = g_Settings.XRESWINDOWED * g_Settings.MULTIDISPLAY;
    BackBufferHeight = g_Settings.YRESWINDOWED;
  } else {
    BackBufferWidth = g_Settings.XRESFULLSCREEN * g_Settings.MULTIDISPLAY;
    BackBufferHeight = g_Settings.YRESFULLSCREEN;
  }
}

void CheckDisplaySettings() {
  static const Settings defaults;
  struct Field {
    const char16_t* name;
    int32_t Settings::*field;
  };
  static const Field kFields[] = {{u"XRESWINDOWED", &Settings::XRESWINDOWED},
                                  {u"YRESWINDOWED", &Settings::YRESWINDOWED},
                                  {u"XRESFULLSCREEN", &Settings::XRESFULLSCREEN},
                                  {u"YRESFULLSCREEN", &Settings::YRESFULLSCREEN}};
  for (const Field& f : kFields) {
    int32_t& v = g_Settings.*(f.field);
    if (v >= 1) continue;
    const int32_t d = defaults.*(f.field);
    Log(0, u"Invalid " + std::u16string(f.name) + u" " + Int(v) + u", Using " + Int(d));
    v = d;
  }
  if (g_Settings.MULTIDISPLAY < 1) {
    Log(0, u"Invalid MULTIDISPLAY " + Int(g_Settings.MULTIDISPLAY) + u", Using 1");
    g_Settings.MULTIDISPLAY = 1;
  }
}

void ReleaseLoadingScreenTextures() {
  g_loadingPictures.reset();
  for (auto& t : g_loadingTextures) t.reset();
}

}  // namespace internal

bool SpawnDetached(const std::string& executable) {
  std::string path = executable;
  char* argv[] = {path.data(), nullptr};
  pid_t pid = 0;
  return posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) == 0;
}

void MakeSongFolderAbsolute(std::vector<std::string>& args, const std::string& startFolder) {
  if (args.size() < 2 || args[1].empty()) return;
  std::string a = platform::ToSlashes(args[1]);
  if (a[0] != '/') a = startFolder + (startFolder.empty() || startFolder.back() != '/' ? "/" : "") + a;
  char resolved[PATH_MAX];
  if (realpath(a.c_str(), resolved)) a = resolved;
  args[1] = a;
}

bool DropMissingSongFolder(std::vector<std::string>& args) {
  if (args.size() < 2 || args[1].empty()) return false;
  std::string folder = args[1];
  if (folder.back() == '"') folder.pop_back();  // as the start-up load reads it
  if (folder.empty() || platform::IsDirectory(folder)) return false;
  // A mistyped folder must not pass unnoticed: the player is told where the game looked.
  Log(0, u"Song folder not found: " + ToWide(args[1]));
  std::fprintf(stderr, "Song folder not found: %s\n", args[1].c_str());
  args.resize(1);
  return true;
}

std::u16string FormatBuildDate(const char* date) {
  // __DATE__ is "Mmm dd yyyy" with the day padded by a space.
  static const char* const kShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static const char16_t* const kLong[] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                          u"July",    u"August",   u"September", u"October", u"November", u"December"};
  if (!date || std::strlen(date) < 11) return std::u16string();
  int month = 0;
  for (int i = 0; i < 12; ++i)
    if (std::strncmp(date, kShort[i], 3) == 0) month = i;
  const int day = platform::AtoI(std::string_view(date + 4, 2));
  const std::u16string year = ToWide(std::string(date + 7, 4));
  const char16_t* suffix = u"th";
  if (day % 100 < 11 || day % 100 > 13) {
    if (day % 10 == 1) suffix = u"st";
    else if (day % 10 == 2) suffix = u"nd";
    else if (day % 10 == 3) suffix = u"rd";
  }
  return Int(day) + suffix + u" " + kLong[month] + u" " + year;
}

std::u16string WindowTitle() { return u"Velorin v" + platform::FormatNumberW(kGameVersion) + u" " + FormatBuildDate(__DATE__); }

void LogSettings() {
  const Settings& s = g_Settings;
  Log(0, u"**Config Settings**");
  Log(0, u"X-Resolution Windowed: " + Int(s.XRESWINDOWED));
  Log(0, u"Y-Resolution Windowed: " + Int(s.YRESWINDOWED));
  Log(0, u"X-Resolution Fullscreen: " + Int(s.XRESFULLSCREEN));
  Log(0, u"Y-Resolution Fullscreen: " + Int(s.YRESFULLSCREEN));
  Log(0, u"Music Path: " + s.MUSICPATH);
  Log(0, u"Theme: " + s.THEME);
  Log(0, u"Audio Calibration: " + Int(s.AUDIOCALIBRATION));
  Log(0, u"Video Calibration: " + Int(s.VIDEOCALIBRATION));
  Log(0, u"Display Adaptor: " + Int(s.DISPLAYADAPTOR));
  Log(0, u"V Sync: " + Bool01(s.VSYNC));
  Log(0, u"Triple Buffer: " + Bool01(s.TRIPLEBUFFER));
  Log(0, u"Windowed Mode: " + Bool01(s.WINDOWED));
  Log(0, u"Drunk Mode: " + Bool01(s.DRUNK));
  Log(0, u"Anti Aliasing: " + Int(s.ANTIALIASING));
  Log(0, u"Sync Method: " + Int(s.SYNCMETHOD));
  Log(0, u"Debug Mode: " + Bool01(s.DEBUGMODE));
  Log(0, u"Xinput: " + Bool01(s.XINPUT));
  Log(0, u"BG Mode: " + Int(s.BACKGROUND));
  Log(0, u"Menu Video BG: " + Bool01(s.MENUVIDEOBG));
  Log(0, u"Use Song Video: " + Bool01(s.USESONGVID));
  Log(0, u"Use Song Image: " + Bool01(s.USESONGIMAGE));
  Log(0, u"Server Version: " + platform::FormatNumberW(kGameVersion));
  Log(0, u"Play Count: " + Int(s.PLAYCOUNT));
  Log(0, u"*******************");
}

void StartLoadingScreen() {
  platform::SRand(platform::TimeGetTime());
  const int logo = platform::Rand() % 10;
  const std::string files[4] = {"data/2d/logo_" + std::to_string(logo) + ".png", kLoadingPictures[0],
                                kLoadingPictures[1], kLoadingPictures[2]};
  platform::gfx::Device* device = g_framework ? g_framework->GetDevice() : nullptr;
  for (int i = 0; i < 4; ++i) {
    platform::gfx::ImageData image;
    const bool decoded = g_loadingPictures ? g_loadingPictures->Take(files[i], image)
                                           : platform::gfx::DecodeImageFile(files[i], image);
    g_loadingTextures[i] = device && decoded ? device->CreateTexture(image) : nullptr;
  }
  g_loadingPictures.reset();
  StartThread(ThreadId::kMusic);
  StartThread(ThreadId::kTask);
  StartThread(ThreadId::kNet);
}

const platform::gfx::Texture* LoadingScreenTexture(int index) {
  return index >= 0 && index < 4 ? g_loadingTextures[index].get() : nullptr;
}

platform::gfx::WindowHandle* MainWindowHandle() { return &g_mainWindow; }

void Shutdown() {
  Destroy(g_services.net.stopVersionCheck);
  Destroy(g_services.graphics.destroyNoteViewModel);

  // The Task thread stops first: a job it runs may still be pausing the Music
  // thread, and it may have started the Ctrl thread. Music stops last.
  StopThread(ThreadId::kTask);
  StopThread(ThreadId::kCtrl);
  StopThread(ThreadId::kNet);
  StopThread(ThreadId::kMusic);

  const GameplayServices& game = g_services.gameplay;
  const GraphicsServices& gfx = g_services.graphics;
  Destroy(game.destroyScoreRating);
  Destroy(game.destroySongClock);
  Destroy(game.destroyPlayers);
  if (g_made.sharedQuad.exchange(false)) Destroy(gfx.destroySharedQuad);
  Destroy(gfx.destroyVideoBackground);
  if (g_made.ctrlMain.exchange(false)) Destroy(g_services.devices.destroyCtrlMain);
  if (g_made.sceneContext.exchange(false)) Destroy(gfx.destroySceneContext);
  if (g_made.menuManager.exchange(false)) Destroy(g_services.menus.destroyMenus);
  Destroy(gfx.destroyStage);
  if (g_made.cameras.exchange(false)) Destroy(gfx.destroyCameras);
  if (g_made.gameAssets.exchange(false)) Destroy(gfx.destroyGameAssets);
  if (g_made.songSlots.exchange(false)) Destroy(g_services.song.destroySongSlots);
  if (g_made.soundPlayer.exchange(false)) Destroy(g_services.devices.destroySoundPlayer);
  Destroy(gfx.destroyReactiveBackground);
  Destroy(game.destroyVocalTrack);
  Destroy(gfx.releasePlayBackgroundTexture);
  ReleaseLoadingScreenTextures();

  // The device goes last, once nothing that was made on it is left.
  if (g_framework) g_framework->Shutdown();
  g_mainWindow = nullptr;
}

namespace {
// The temporary files of saves that a killed game left half done, in the folders
// the game writes at start and in menus (song folders are swept by the song scan).
void RemoveUnfinishedSaves() {
  for (const char* folder : {"settings", "profiles"}) platform::RemoveStaleTempFiles(folder);
  for (const platform::DirEntry& e : platform::ListDirectory("careers")) {
    if (e.isDirectory) platform::RemoveStaleTempFiles("careers/" + e.name);
  }
}
}  // namespace

int RunGame(int argc, const char* const* argv, platform::gfx::Framework& framework, Services services,
            RelaunchFunction relaunch) {
  ResetState();
  g_framework = &framework;
  g_services = std::move(services);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");

  Log(1, u"");
  LogEx(3, "");
  for (size_t i = 0; i < args.size(); ++i)
    Log(0, u"Argument " + platform::FormatIntW(static_cast<long long>(i)) + u":" + ToWide(args[i]));

  // The framework's own flags leave the game's arguments before anything reads them;
  // a song folder is made absolute against the folder the program was started in.
  framework.Init(true, &args);
  MakeSongFolderAbsolute(args, platform::CurrentDirectory());
  DropMissingSongFolder(args);
  {
    std::vector<const char*> ptrs;
    for (const std::string& a : args) ptrs.push_back(a.c_str());
    SetCommandLine(static_cast<int>(ptrs.size()), ptrs.data());
  }

  Log(0, u"Current Directory: " + GetCurrentFolder());
  platform::SetCurrentDirectory(platform::PathToNative(GetExeFolder()));
  Log(0, u"New Directory: " + GetCurrentFolder());

  RemoveUnfinishedSaves();
  g_Settings.Load(u"settings/config.ini");
  Log(0, u"Config Loaded");
  CheckDisplaySettings();
  ComputeBackBuffer();
  ++g_Settings.PLAYCOUNT;
  if (!g_Settings.Save()) Log(0, u"Could Not Save Settings: " + g_Settings.configPath);
  LogSettings();
  GameState.store(g_Settings.FORCESTATE);

  Invoke(g_services.net.installMessageHandler, "Networking: GameClient message callback");

  platform::gfx::FrameworkCallbacks cb;
  cb.deviceCreated = OnCreateDevice;
  cb.deviceReset = OnResetDevice;
  cb.frameRender = OnFrameRender;
  cb.deviceLost = OnLostDevice;
  cb.deviceDestroyed = OnDestroyDevice;
  cb.msgProc = MsgProc;
  cb.frameMove = OnFrameMove;
  cb.modifyDeviceSettings = ModifyDeviceSettings;
  framework.SetCallbacks(std::move(cb));

  const uint32_t style =
      g_Settings.WINDOWSTYLE == 1 ? platform::gfx::kWindowStylePopup : platform::gfx::kWindowStyleCaption;
  if (!framework.CreateWindow(WindowTitle(), style, kWindowIconPath)) {
    Log(0, u"Could Not Create The Window");
    Shutdown();
    return 1;
  }
  // Decoded while the device is made; only once there is a window, so a run that cannot
  // open one ends at once instead of waiting for pictures it will never show.
  g_loadingPictures = std::make_unique<platform::gfx::ImagePrefetch>(
      std::vector<std::string>(std::begin(kLoadingPictures), std::end(kLoadingPictures)));
  framework.SetCursorSettings(false, false);
  if (Invoke(g_services.graphics.createCameras, "Graphics: CreateCameras")) g_made.cameras.store(true);
  framework.Init(false, nullptr);
  framework.SetHotkeyHandling(false, false, false);
  if (!framework.CreateDevice(g_Settings.WINDOWED, BackBufferWidth, BackBufferHeight) && !g_Settings.WINDOWED) {
    // The display refuses the full-screen size: its desktop mode serves this run.
    platform::gfx::DisplayMode desktop;
    if (framework.GetDisplayMode(0, desktop) && desktop.width > 0 && desktop.height > 0) {
      Log(0, u"Fullscreen " + Int(BackBufferWidth) + u"x" + Int(BackBufferHeight) +
                 u" Not Available, Using Desktop Mode " + Int(desktop.width) + u"x" + Int(desktop.height));
      framework.CreateDevice(false, desktop.width, desktop.height);
    }
  }

  if (!platform::CreateNamedMutex("Ctrl Mutex")) {
    Log(0, u"Error Creating Controller Mutex");
    Shutdown();
    return 1;
  }
  if (!platform::CreateNamedMutex("Song Load Mutex")) Log(0, u"Error Creating Song Load Mutex");

  g_mainWindow = framework.GetWindow();

  Log(0, u"Loading Basic Textures");
  StartLoadingScreen();
  Log(0, u"Entering Main Loop");

  const int exitCode = framework.MainLoop();
  Shutdown();
  if (RelaunchRequested.load() && relaunch) relaunch(platform::ExecutablePath());
  return exitCode;
}

void AttachForTesting(platform::gfx::Framework* framework, Services services) {
  ResetState();
  g_framework = framework;
  g_services = std::move(services);
}

SingletonState Singletons() {
  return SingletonState{g_made.soundPlayer.load(), g_made.songSlots.load(),    g_made.gameAssets.load(),
                        g_made.ctrlMain.load(),    g_made.sharedQuad.load(),   g_made.sceneContext.load(),
                        g_made.menuManager.load(), g_made.cameras.load()};
}

void SetSingletonsForTesting(const SingletonState& s) {
  g_made.soundPlayer = s.soundPlayer;
  g_made.songSlots = s.songSlots;
  g_made.gameAssets = s.gameAssets;
  g_made.ctrlMain = s.ctrlMain;
  g_made.sharedQuad = s.sharedQuad;
  g_made.sceneContext = s.sceneContext;
  g_made.menuManager = s.menuManager;
  g_made.cameras = s.cameras;
}

}  // namespace shell
