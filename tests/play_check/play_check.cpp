// play_check: plays a song folder as a level with scripted players in a real window,
// drawn through the game's own frame (the shell's callbacks and the graphics
// entries), and reports the frame times.
//
//   play_check --song DIR --players N --frames F --screenshot OUT.png
//              [--second OUT2.png] [--gap G] [--loading OUT.png] [--width W --height H]
//              [--run DIR] [--background MODE] [--resize WxH] [--toggle-fullscreen]
//              [--multisample N] [--after OUT3.png] [--menus] [--idle K] [--at-ms MS]
//
// Frame F of play is saved to OUT.png (and frame F + G to OUT2.png); the first frame
// of the start-up loading screen to --loading. Printed: the median and 99th
// percentile of the frame times of play and the share spent in the game's code (frame
// update and render calls) against the driver (the buffer swap and the event pump).
// --resize and --toggle-fullscreen change the window after the shot and print the
// size the next frame was drawn at ("size after resize: WxH"). --multisample asks for
// a back buffer of N samples after the shot, which destroys the device and makes it
// again (the window falls back to none when the driver has no such buffer); it prints
// "devices destroyed: K". --after saves the first frame drawn after the change.
// --menus draws the in-game screens over the boards (display, player boxes, solo
// boxes); --idle K lets the last K players press nothing, so they fail; --at-ms MS
// takes the shot at the first frame whose song time reaches MS instead of at frame F.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "core/settings.h"
#include "core/shell/shell.h"
#include "core/utils.h"
#include "devices/input/input_event.h"
#include "devices/plug/song_audio_stems.h"
#include "game/level/level.h"
#include "game/level/level_session.h"
#include "game/shell_services.h"
#include "graphics/render_layers.h"
#include "graphics/shell_services.h"
#include "menus/shell_services.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/gfx/framework.h"
#include "platform/gfx/render_device.h"
#include "platform/paths.h"
#include "song/shell_services.h"
#include "song/song.h"
#include "song/song_stems.h"
#include "tests/support/strum_bot.h"
#include "theme/reactive_background.h"
#include "theme/shell_services.h"

namespace {

namespace gfx = platform::gfx;
using Clock = std::chrono::steady_clock;

struct Options {
  std::string song;
  int players = 1;
  int frames = 120;
  int gap = 10;
  int width = 1280, height = 720;
  std::string screenshot, second, loading, run;
  int resizeWidth = 0, resizeHeight = 0;
  int background = 0;
  bool toggleFullscreen = false;
  int multisample = 0;
  std::string after;
  bool menus = false;
  int idle = 0;
  double atMs = -1.0;
};

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--toggle-fullscreen") {
      o.toggleFullscreen = true;
      continue;
    }
    if (a == "--menus") {
      o.menus = true;
      continue;
    }
    if (!(v = value())) {
      std::fprintf(stderr, "play_check: %s needs a value\n", a.c_str());
      return false;
    }
    if (a == "--song") o.song = v;
    else if (a == "--players") o.players = std::atoi(v);
    else if (a == "--frames") o.frames = std::atoi(v);
    else if (a == "--gap") o.gap = std::atoi(v);
    else if (a == "--width") o.width = std::atoi(v);
    else if (a == "--height") o.height = std::atoi(v);
    else if (a == "--screenshot") o.screenshot = v;
    else if (a == "--second") o.second = v;
    else if (a == "--loading") o.loading = v;
    else if (a == "--run") o.run = v;
    else if (a == "--background") o.background = std::atoi(v);
    else if (a == "--multisample") o.multisample = std::atoi(v);
    else if (a == "--after") o.after = v;
    else if (a == "--idle") o.idle = std::atoi(v);
    else if (a == "--at-ms") o.atMs = std::atof(v);
    else if (a == "--resize") {
      if (std::sscanf(v, "%dx%d", &o.resizeWidth, &o.resizeHeight) != 2) {
        std::fprintf(stderr, "play_check: --resize wants WxH\n");
        return false;
      }
    } else {
      std::fprintf(stderr, "play_check: unknown option %s\n", a.c_str());
      return false;
    }
  }
  if (o.song.empty() || o.players < 1 || o.players > kMaxLevelPlayers || o.frames < 1 || o.gap < 1 ||
      o.width < 64 || o.height < 64 || o.idle < 0 || o.idle > o.players) {
    std::fprintf(stderr, "play_check: --song DIR --players 1..%d --frames F (>= 1) are needed\n", kMaxLevelPlayers);
    return false;
  }
  return true;
}

// Plays a player's due notes: the chord's frets pressed, the others let go, a strum.
class ScriptedPlayer : public LevelController {
 public:
  ScriptedPlayer(int32_t index, bool idle) : index_(index), idle_(idle) {
    getEvents = [this](InputEvent* events, int32_t& count) { return Fetch(events, count); };
    clearEvents = [] {};
  }

 private:
  bool Fetch(InputEvent* events, int32_t& count) {
    count = 0;
    const LevelState& level = Level();
    if (idle_ || !level.players || index_ >= level.playerCount) return true;
    const Player& p = level.players[size_t(index_)];
    const auto lanes = testsupport::TakeDueChord(p, p.songTime, played_);
    if (lanes) testsupport::PressChord(*lanes, held_, events, count);
    return true;
  }

  int32_t index_;
  bool idle_;
  std::set<int32_t> played_;
  std::set<int32_t> held_;
};

bool SavePng(gfx::Device& device, const std::string& path) {
  gfx::ImageData image;
  if (!device.Render().ReadPixels(image) || image.width < 1) {
    std::fprintf(stderr, "play_check: could not read the frame\n");
    return false;
  }
  if (!stbi_write_png(path.c_str(), image.width, image.height, 4, image.rgba.data(), image.width * 4)) {
    std::fprintf(stderr, "play_check: could not write %s\n", path.c_str());
    return false;
  }
  return true;
}

double Percentile(std::vector<double> v, double q) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, size_t(std::ceil(q * double(v.size()))) - (q > 0 ? 1 : 0));
  return v[i];
}

enum class Phase { kStartup, kSongLoad, kPlay, kChangeWindow, kToggling, kResized, kDone };

struct Run {
  Options options;
  gfx::Framework* framework = nullptr;
  std::vector<std::unique_ptr<ScriptedPlayer>> players;
  Phase phase = Phase::kStartup;
  bool loadingSaved = false;
  int playFrames = 0;
  int shotFrame = -1;  // the play frame the first shot was taken at
  Clock::time_point frameStart{}, lastFrameStart{};
  double oursMs = 0.0;     // of the current frame
  double oursCpuMs = 0.0;  // the main thread's CPU time in the same calls
  std::vector<double> frameMs, ourMs, ourCpuMs;
  // Of each played frame's hand-over to GL at its present (the back end's replay of
  // the held frame with the driver's vertex work; outside ourMs).
  std::vector<double> sendMs, recordedDraws, sentDraws;
  uint32_t phaseStart = 0;
  int devicesDestroyed = 0;
  // The samples the device settings ask for once the window changes (0: the game's own).
  int forcedSamples = 0;
  int exitCode = 0;
  std::string failure;
};

Run* g_run = nullptr;

// The main thread's own CPU time: less disturbed by a loaded machine than wall time,
// since waiting for a core does not count.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1.0e6;
}

void Fail(const std::string& why) {
  g_run->failure = why;
  g_run->exitCode = 1;
  g_run->framework->Quit(1);
}

void StartSong() {
  Run& r = *g_run;
  LevelSession& s = Session();
  song::SongSlot(0)->folder = ToWide(r.options.song);
  s.songs = nullptr;
  s.songIndex = 0;
  s.songCount = 1;
  s.rosterCount = r.options.players;
  for (int i = 0; i < r.options.players; ++i) {
    r.players.push_back(std::make_unique<ScriptedPlayer>(i, i >= r.options.players - r.options.idle));
    s.roster[size_t(i)] = LevelSlot();
    s.roster[size_t(i)].kind = 2;
    s.roster[size_t(i)].difficulty = 3;
    s.roster[size_t(i)].controller = r.players.back().get();
  }
  s.songLoadStart = true;
  shell::SetState(shell::State::kSongLoading);
  r.phase = Phase::kSongLoad;
  r.phaseStart = platform::TimeGetTime();
}

void OnMove(double time, float elapsed) {
  Run& r = *g_run;
  const Clock::time_point now = Clock::now();
  if (r.phase == Phase::kPlay && r.lastFrameStart != Clock::time_point{}) {
    r.frameMs.push_back(std::chrono::duration<double, std::milli>(now - r.lastFrameStart).count());
    r.ourMs.push_back(r.oursMs);
    r.ourCpuMs.push_back(r.oursCpuMs);
  }
  r.lastFrameStart = now;
  r.oursMs = 0.0;
  r.oursCpuMs = 0.0;
  const double cpuStart = ThreadCpuMs();
  // The stems play on the loopback device, at the pace of the frames.
  platform::audio::testing::Render(std::max<uint32_t>(1, uint32_t(elapsed * 44100.0f)));
  shell::OnFrameMove(time, elapsed);
  const uint32_t waited = platform::TimeGetTime() - r.phaseStart;
  switch (r.phase) {
    case Phase::kStartup:
      if (shell::CurrentState() == shell::State::kMenus) StartSong();
      else if (waited > 120000) Fail("the start-up load did not finish");
      break;
    case Phase::kSongLoad:
      if (shell::CurrentState() == shell::State::kPlaying) {
        r.phase = Phase::kPlay;
        r.lastFrameStart = Clock::time_point{};
      } else if (waited > 60000) {
        Fail("the song did not load");
      }
      break;
    case Phase::kChangeWindow:
      // The window changes in the frame update, as the game's own resolution change
      // does; the switch to full screen goes through the window procedure.
      if (r.options.resizeWidth > 0) {
        g_Settings.XRESWINDOWED = r.options.resizeWidth;
        g_Settings.YRESWINDOWED = r.options.resizeHeight;
        shell::ApplyResolution();
      }
      if (r.options.multisample > 0) {
        // Another multisampling than the device has: the device is made again.
        r.forcedSamples = r.options.multisample;
        shell::ApplyResolution();
      }
      if (r.options.toggleFullscreen) {
        r.framework->PostMessage(gfx::WM_SYSKEYDOWN, gfx::VK_RETURN, 0);
        r.phase = Phase::kToggling;
      } else {
        r.phase = Phase::kResized;
      }
      break;
    case Phase::kToggling:
      r.phase = Phase::kResized;
      break;
    default:
      break;
  }
  r.oursMs += std::chrono::duration<double, std::milli>(Clock::now() - now).count();
  r.oursCpuMs += ThreadCpuMs() - cpuStart;
}

void OnRender(gfx::Device& device, double time, float elapsed) {
  Run& r = *g_run;
  if (r.phase == Phase::kPlay && r.playFrames > 0) {
    // The frame before this one was presented by now.
    const gfx::FrameSendStats sent = device.Render().LastFrameSendStats();
    r.sendMs.push_back(sent.sendMs);
    r.recordedDraws.push_back(double(sent.recordedDraws));
    r.sentDraws.push_back(double(sent.sentDraws));
  }
  const Clock::time_point start = Clock::now();
  const double cpuStart = ThreadCpuMs();
  shell::OnFrameRender(device, time, elapsed);
  r.oursMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  r.oursCpuMs += ThreadCpuMs() - cpuStart;
  if (r.phase == Phase::kStartup && !r.loadingSaved && !r.options.loading.empty() &&
      shell::CurrentState() == shell::State::kStartupLoading) {
    r.loadingSaved = SavePng(device, r.options.loading);
    if (!r.loadingSaved) Fail("the loading screen was not saved");
  }
  if (r.phase == Phase::kResized) {
    std::printf("size after resize: %dx%d\n", device.BackBufferWidth(), device.BackBufferHeight());
    gfx::ImageData image;
    if (device.Render().ReadPixels(image))
      std::printf("frame drawn: %dx%d\n", image.width, image.height);
    if (!r.options.second.empty() && r.options.screenshot.empty()) SavePng(device, r.options.second);
    if (r.options.multisample > 0) std::printf("devices destroyed: %d\n", r.devicesDestroyed);
    if (!r.options.after.empty() && !SavePng(device, r.options.after)) Fail("the frame after the change was not saved");
    r.phase = Phase::kDone;
    r.framework->Quit(r.exitCode);
    return;
  }
  if (r.phase != Phase::kPlay) return;
  ++r.playFrames;
  if (r.options.atMs >= 0.0) {
    const double songTime = Level().clock ? Level().clock->GetSongTime() : 0.0;
    if (r.shotFrame < 0 && songTime >= r.options.atMs) r.shotFrame = r.playFrames;
    else if (r.shotFrame < 0 && platform::TimeGetTime() - r.phaseStart > 600000) Fail("the song never reached --at-ms");
    if (r.shotFrame < 0) return;
  } else {
    r.shotFrame = r.options.frames;
  }
  if (r.playFrames == r.shotFrame && !r.options.screenshot.empty() && !SavePng(device, r.options.screenshot))
    Fail("the screenshot was not saved");
  const int last = r.options.second.empty() ? r.shotFrame : r.shotFrame + r.options.gap;
  if (r.playFrames == last && !r.options.second.empty() && !SavePng(device, r.options.second))
    Fail("the second screenshot was not saved");
  if (r.playFrames < last) return;
  if (r.options.resizeWidth > 0 || r.options.toggleFullscreen || r.options.multisample > 0) {
    r.phase = Phase::kChangeWindow;
    return;
  }
  r.phase = Phase::kDone;
  r.framework->Quit(r.exitCode);
}

}  // namespace

int main(int argc, char** argv) {
  Run run;
  g_run = &run;
  if (!ParseOptions(argc, argv, run.options)) return 2;
  Options& o = run.options;
  // A relative song folder is read from the run folder, where the game's content is.
  if (!o.run.empty() && !platform::SetCurrentDirectory(o.run)) {
    std::fprintf(stderr, "play_check: no run folder %s\n", o.run.c_str());
    return 2;
  }
  if (o.song[0] != '/') o.song = platform::CurrentDirectory() + "/" + o.song;
  if (o.song.back() != '/') o.song += '/';

  if (!platform::audio::testing::UseLoopback(44100)) {
    std::fprintf(stderr, "play_check: no loopback audio device\n");
    return 1;
  }
#if defined(__SANITIZE_ADDRESS__)
  // The software GL driver and the X libraries keep allocations for the life of the
  // process from code loaded at run time, which the leak checker can neither name nor
  // suppress: what is allocated while the window lives is not checked for leaks (the
  // frame's own code is, in the frame tests); addresses are checked throughout.
  __lsan_disable();
#endif
  std::unique_ptr<gfx::Framework> framework = gfx::CreateSdlFramework();
  run.framework = framework.get();

  g_Settings.Load(u"settings/config.ini");
  g_Settings.WINDOWED = true;
  g_Settings.XRESWINDOWED = o.width;
  g_Settings.YRESWINDOWED = o.height;
  g_Settings.MULTIDISPLAY = 1;
  g_Settings.VSYNC = false;
  g_Settings.FORCESTATE = 0;
  // 0 picture, 1 abstract (reactive theme), 2 stage, 3 video.
  g_Settings.BACKGROUND = o.background;
  // The full-screen switch saves the settings: into a file of this run only.
  const std::string config = (std::filesystem::temp_directory_path() /
                              ("play_check_" + std::to_string(getpid()) + ".ini")).string();
  g_Settings.configPath = ToWide(config);

  shell::Services services;
  song::RegisterShellServices(services);
  SetSongStemsFactory(&devices::MakeSongAudioStems);
  game::RegisterShellServices(services);
  graphics::RegisterShellServices(services);
  if (o.menus) {
    // The theme set and the menus, for the in-game screens over the boards.
    theme::RegisterShellServices(services);
    menus::RegisterShellServices(services);
  } else {
    // Only the reactive background of the theme engine: play shows no menus.
    theme::RegisterReactiveBackground(Session().Visuals(), graphics::Layers());
  }
  services.song.updateSongAudio = [](int slot) {
    Song* song = song::SongSlot(slot);
    return song && song->audio && song->audio->Audio() ? song->audio->Audio()->Update() : false;
  };
  services.song.longestStemSeconds = [](int slot) {
    Song* song = song::SongSlot(slot);
    return song && song->audio && song->audio->Audio() ? double(song->audio->Audio()->songLength) : 0.0;
  };
  // The shell makes the cameras between the window and the device; the boards draw
  // through them.
  const std::function<void()> createCameras = services.graphics.createCameras;
  const std::function<void()> destroyCameras = services.graphics.destroyCameras;
  shell::AttachForTesting(framework.get(), std::move(services));
  shell::BackBufferWidth = o.width;
  shell::BackBufferHeight = o.height;

  gfx::FrameworkCallbacks cb;
  cb.deviceCreated = shell::OnCreateDevice;
  cb.deviceReset = shell::OnResetDevice;
  cb.deviceLost = shell::OnLostDevice;
  cb.deviceDestroyed = [] {
    ++g_run->devicesDestroyed;
    shell::OnDestroyDevice();
  };
  cb.msgProc = shell::MsgProc;
  cb.modifyDeviceSettings = [](gfx::DeviceSettings& s) {
    const bool ok = shell::ModifyDeviceSettings(s);
    if (g_run->forcedSamples > 0) s.multisampleSamples = g_run->forcedSamples;
    return ok;
  };
  cb.frameMove = OnMove;
  cb.frameRender = OnRender;
  framework->SetCallbacks(std::move(cb));
  framework->CreateWindow(u"play_check", gfx::kWindowStyleCaption, "data/icons/velorin.png");
  if (createCameras) createCameras();
  std::vector<std::string> noArgs{"play_check"};
  framework->Init(true, &noArgs);
  framework->SetHotkeyHandling(false, false, false);
  shell::SetState(shell::State::kStartupLoading);
  if (!framework->CreateDevice(true, o.width, o.height)) {
    std::fprintf(stderr, "play_check: no window (is there a display?)\n");
    return 1;
  }
  run.phaseStart = platform::TimeGetTime();
  shell::StartLoadingScreen();
  framework->MainLoop();
  shell::Shutdown();
  if (destroyCameras) destroyCameras();
  framework.reset();
#if defined(__SANITIZE_ADDRESS__)
  __lsan_enable();
#endif
  platform::audio::testing::UseDefaultDevice();
  std::error_code ignored;
  std::filesystem::remove(config, ignored);

  if (!run.failure.empty()) {
    std::fprintf(stderr, "play_check: %s\n", run.failure.c_str());
    return 1;
  }
  double frameTotal = 0.0, oursTotal = 0.0;
  for (size_t i = 0; i < run.frameMs.size(); ++i) {
    frameTotal += run.frameMs[i];
    oursTotal += run.ourMs[i];
  }
  std::printf("frames: %zu at %dx%d, %d player(s)\n", run.frameMs.size(), o.width, o.height, o.players);
  std::printf("frame time median: %.2f ms\n", Percentile(run.frameMs, 0.5));
  std::printf("frame time p99: %.2f ms\n", Percentile(run.frameMs, 0.99));
  std::printf("our code: %.1f %% of the frame time (driver and swap: %.1f %%)\n",
              frameTotal > 0 ? 100.0 * oursTotal / frameTotal : 0.0,
              frameTotal > 0 ? 100.0 * (frameTotal - oursTotal) / frameTotal : 0.0);
  std::printf("our code CPU time per frame: median %.2f ms, p99 %.2f ms\n", Percentile(run.ourCpuMs, 0.5),
              Percentile(run.ourCpuMs, 0.99));
  std::printf("frame handed to GL at present (back end and driver): median %.2f ms, p99 %.2f ms\n",
              Percentile(run.sendMs, 0.5), Percentile(run.sendMs, 0.99));
  std::printf("draws per frame: median %.0f made, %.0f sent to GL\n", Percentile(run.recordedDraws, 0.5),
              Percentile(run.sentDraws, 0.5));
  return run.exitCode;
}
