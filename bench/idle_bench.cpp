// The game doing nothing: its processor time and its threads' wake-ups at the first
// screen over a wall interval (10 s; VELORIN_IDLE_BENCH_SECONDS changes it), read
// from /proc, beside a minimal SDL program that clears and presents a window of the
// same size at the same frame rate, measured in the same run. Also the time from
// start to "Entering Main Loop". Both run headless (offscreen video) unless
// VELORIN_IDLE_BENCH_VIDEO names another SDL driver (x11 under Xvfb). With
// VELORIN_IDLE_BENCH_BASE_RUN_DIR naming the run folder of another build, that
// build is measured beside this one (before/after figures). The game and the
// reference render with the same rasterizer threads: headless with one llvmpipe
// thread (LP_NUM_THREADS=0, as the game's tests start it), under a display with as
// many as the driver chooses (as a player runs the game; the minimal program then
// costs what it costs on a desktop). VELORIN_IDLE_BENCH_LP_THREADS sets the count
// for both ("driver" leaves it to the driver). VELORIN_IDLE_BENCH_ROUNDS (1 unless set) measures each program
// that many times in turns and reports the medians, since one interval on a shared
// machine swings by a point or two.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/shell/game_process.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kWindowWidth = 1280;  // the game's default window
constexpr int kWindowHeight = 720;
constexpr int kFrameRate = 60;      // what the game paces to where the rate is unknown

std::string VideoDriver() {
  const char* v = std::getenv("VELORIN_IDLE_BENCH_VIDEO");
  return v && *v ? v : "offscreen";
}

// The llvmpipe thread count both programs render with, or "" to leave it to the driver.
std::string RasterizerThreads() {
  const char* v = std::getenv("VELORIN_IDLE_BENCH_LP_THREADS");
  if (v && *v) return std::string(v) == "driver" ? "" : v;
  return VideoDriver() == "offscreen" ? "0" : "";
}

void SetRasterizerThreads() {
  const std::string n = RasterizerThreads();
  if (n.empty()) unsetenv("LP_NUM_THREADS");
  else setenv("LP_NUM_THREADS", n.c_str(), 1);
}

// The game with the silent audio device and the rasterizer threads above, in its own
// folder; output to /dev/null.
pid_t StartGame(const std::string& runFolder) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, runFolder.c_str());
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string path = runFolder + "/velorin";
  char* argv[] = {path.data(), nullptr};
  setenv("SDL_VIDEODRIVER", VideoDriver().c_str(), 1);
  SetRasterizerThreads();
  setenv("VELORIN_AUDIO", "null", 1);
  pid_t pid = -1;
  if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  unsetenv("VELORIN_AUDIO");
  return pid;
}

double Seconds() {
  const char* v = std::getenv("VELORIN_IDLE_BENCH_SECONDS");
  const double s = v ? std::atof(v) : 0.0;
  return s > 0.0 ? s : 10.0;
}

int Rounds() {
  const char* v = std::getenv("VELORIN_IDLE_BENCH_ROUNDS");
  const int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : 1;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// utime + stime of a process, in seconds.
double ProcessCpuSeconds(pid_t pid) {
  const std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0.0;
  std::istringstream in(stat.substr(close + 2));
  std::string field;
  double ticks = 0.0;
  // Fields after the name start at 3 (state); utime and stime are 14 and 15.
  for (int i = 3; i <= 15 && in >> field; ++i)
    if (i >= 14) ticks += std::atof(field.c_str());
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Context switches (voluntary + forced) of each thread, by thread name.
std::map<std::string, long long> SwitchesByThread(pid_t pid) {
  std::map<std::string, long long> out;
  const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
  DIR* d = opendir(taskDir.c_str());
  if (!d) return out;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const std::string t = taskDir + "/" + e->d_name;
    std::string name = ReadText(t + "/comm");
    while (!name.empty() && name.back() == '\n') name.pop_back();
    std::istringstream status(ReadText(t + "/status"));
    std::string line;
    long long n = 0;
    while (std::getline(status, line))
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        n += std::atoll(line.substr(line.find(':') + 1).c_str());
    out[name + "#" + e->d_name] = n;
  }
  closedir(d);
  return out;
}

struct IdleFigures {
  double cpuShare = 0.0;        // of one core
  double mainWakesPerSecond = 0.0;
  double workerWakesPerSecond = 0.0;  // the game's own Music, Task, Net and Ctrl threads
  double startMs = 0.0;         // start to "Entering Main Loop"
  bool ok = false;
};

std::string NameOf(const std::string& key) { return key.substr(0, key.find('#')); }
long TidOf(const std::string& key) { return std::atol(key.substr(key.find('#') + 1).c_str()); }

// The game's own workers are named "vl-music", "vl-task", "vl-net" and "vl-ctrl";
// threads a library starts from one of them inherit its name but come later, so
// of each name the thread with the lowest id is the game's.
std::map<std::string, std::string> OwnWorkers(const std::map<std::string, long long>& threads) {
  std::map<std::string, std::string> first;  // name -> key
  for (const auto& [key, n] : threads) {
    (void)n;
    const std::string name = NameOf(key);
    if (name.rfind("vl-", 0) != 0) continue;
    auto it = first.find(name);
    if (it == first.end() || TidOf(key) < TidOf(it->second)) first[name] = key;
  }
  return first;
}

// Per-second wake-ups of the main thread and of the game's own workers between two
// readings (a thread that ended meanwhile is left out).
void WakeRates(pid_t pid, const std::map<std::string, long long>& a, const std::map<std::string, long long>& b,
               double seconds, IdleFigures& f) {
  auto rate = [&](const std::string& key) {
    auto ia = a.find(key);
    auto ib = b.find(key);
    return ia == a.end() || ib == b.end() ? 0.0 : static_cast<double>(ib->second - ia->second) / seconds;
  };
  for (const auto& [key, n] : b) {
    (void)n;
    if (TidOf(key) == pid) f.mainWakesPerSecond = rate(key);
  }
  for (const auto& [name, key] : OwnWorkers(a)) {
    (void)name;
    f.workerWakesPerSecond += rate(key);
  }
}

bool LogHas(const std::string& logPath, const std::string& text) {
  for (const std::string& line : gametest::LogTexts(logPath))
    if (line.find(text) != std::string::npos) return true;
  return false;
}

bool WaitForLog(const std::string& logPath, const std::string& text, double timeoutSeconds) {
  const auto end = Clock::now() + std::chrono::duration<double>(timeoutSeconds);
  while (Clock::now() < end) {
    if (LogHas(logPath, text)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

void Stop(pid_t pid) {
  kill(pid, SIGTERM);
  long long ms = 0;
  gametest::WaitForExit(pid, 20000, &ms);
}

// Runs the game of a run folder (copied, so that it starts as on a first run) to
// its first screen and measures it there.
IdleFigures MeasureGame(const std::string& runDir, double seconds) {
  IdleFigures f;
  const fs::path base = fs::temp_directory_path() / ("velorin_idle_bench_" + std::to_string(::getpid()));
  std::error_code ec;
  fs::remove_all(base, ec);
  fs::create_directories(base);
  const fs::path copy = base / "run";
  fs::copy(runDir, copy, fs::copy_options::recursive, ec);
  fs::remove(copy / "game_log.txt", ec);
  fs::remove(copy / "settings" / "config.ini", ec);
  const std::string log = (copy / "game_log.txt").string();
  const auto start = Clock::now();
  const pid_t pid = StartGame(copy.string());
  if (pid > 0 && WaitForLog(log, "Entering Main Loop", 60)) {
    f.startMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    // The first screen: the load is complete and the loading screen has faded.
    if (WaitForLog(log, "Loading: Complete", 120)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      const auto switches0 = SwitchesByThread(pid);
      const double cpu0 = ProcessCpuSeconds(pid);
      const auto t0 = Clock::now();
      std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
      const double cpu1 = ProcessCpuSeconds(pid);
      const auto switches1 = SwitchesByThread(pid);
      const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
      f.cpuShare = (cpu1 - cpu0) / wall;
      WakeRates(pid, switches0, switches1, wall, f);
      f.ok = true;
    }
  }
  if (pid > 0) Stop(pid);
  fs::remove_all(base, ec);
  return f;
}

// The reference: a window of the game's size cleared and presented kFrameRate times
// a second, sleeping between frames, in a child process whose time is read as the
// game's is.
double MeasureMinimalSdlProgram(double seconds) {
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("SDL_VIDEODRIVER", VideoDriver().c_str(), 1);
    SetRasterizerThreads();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) _exit(2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_Window* w = SDL_CreateWindow("reference", 0, 0, kWindowWidth, kWindowHeight, SDL_WINDOW_OPENGL);
    SDL_GLContext c = w ? SDL_GL_CreateContext(w) : nullptr;
    if (!c) _exit(3);
    using ClearColorFn = void (*)(float, float, float, float);
    using ClearFn = void (*)(unsigned);
    auto clearColor = reinterpret_cast<ClearColorFn>(SDL_GL_GetProcAddress("glClearColor"));
    auto clear = reinterpret_cast<ClearFn>(SDL_GL_GetProcAddress("glClear"));
    const auto period = std::chrono::nanoseconds(1000000000LL / kFrameRate);
    auto next = Clock::now();
    for (;;) {
      SDL_Event e;
      while (SDL_PollEvent(&e)) {
      }
      clearColor(0.1f, 0.2f, 0.3f, 1.0f);
      clear(0x00004000 /* colour buffer */);
      SDL_GL_SwapWindow(w);
      next += period;
      std::this_thread::sleep_until(next);
    }
  }
  if (pid < 0) return 0.0;
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // past its start-up
  const double cpu0 = ProcessCpuSeconds(pid);
  const auto t0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double cpu1 = ProcessCpuSeconds(pid);
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  return (cpu1 - cpu0) / wall;
}

std::string RunDir() {
  const char* v = std::getenv("VELORIN_RUN_DIR");
  return v && *v ? v : VELORIN_BENCH_RUN_DIR;
}

void Report(benchmark::State& state, const IdleFigures& f, const std::string& prefix) {
  state.counters[prefix + "cpu_pct"] = f.cpuShare * 100.0;
  state.counters[prefix + "main_wakes_per_s"] = f.mainWakesPerSecond;
  state.counters[prefix + "worker_wakes_per_s"] = f.workerWakesPerSecond;
  state.counters[prefix + "start_ms"] = f.startMs;
}

// The median of each figure over the rounds a program was measured in.
IdleFigures MedianOf(const std::vector<IdleFigures>& rounds) {
  IdleFigures m;
  std::vector<double> cpu, main, worker, start;
  for (const IdleFigures& f : rounds) {
    if (!f.ok) continue;
    cpu.push_back(f.cpuShare);
    main.push_back(f.mainWakesPerSecond);
    worker.push_back(f.workerWakesPerSecond);
    start.push_back(f.startMs);
  }
  m.ok = !cpu.empty();
  m.cpuShare = Median(cpu);
  m.mainWakesPerSecond = Median(main);
  m.workerWakesPerSecond = Median(worker);
  m.startMs = Median(start);
  return m;
}

void BM_GameIdleAtFirstScreen(benchmark::State& state) {
  const double seconds = Seconds();
  const int rounds = Rounds();
  const char* baseDir = std::getenv("VELORIN_IDLE_BENCH_BASE_RUN_DIR");
  const bool withBase = baseDir && *baseDir;
  for (auto _ : state) {
    if (!fs::exists(fs::path(RunDir()) / "velorin")) {
      state.SkipWithError("the game is not built");
      return;
    }
    std::vector<IdleFigures> games, befores;
    std::vector<double> references;
    for (int r = 0; r < rounds; ++r) {
      games.push_back(MeasureGame(RunDir(), seconds));
      if (!games.back().ok) {
        state.SkipWithError("the game did not reach its first screen");
        return;
      }
      references.push_back(MeasureMinimalSdlProgram(seconds));
      if (withBase) befores.push_back(MeasureGame(baseDir, seconds));
    }
    const IdleFigures game = MedianOf(games);
    const double reference = Median(references);
    Report(state, game, "");
    state.counters["rounds"] = rounds;
    state.counters["lp_threads"] = RasterizerThreads().empty() ? -1 : std::atoi(RasterizerThreads().c_str());
    state.counters["reference_cpu_pct"] = reference * 100.0;
    state.counters["ratio_to_reference"] = reference > 0.0 ? game.cpuShare / reference : 0.0;
    if (withBase) {
      const IdleFigures before = MedianOf(befores);
      if (before.ok) {
        Report(state, before, "before_");
        state.counters["start_ratio_to_before"] = before.startMs > 0.0 ? game.startMs / before.startMs : 0.0;
        state.counters["cpu_ratio_to_before"] = before.cpuShare > 0.0 ? game.cpuShare / before.cpuShare : 0.0;
      }
    }
  }
}

// Start to "Entering Main Loop", five starts in turns with the other build's when
// one is named (the first start of each warms the cache and is not counted).
void BM_StartToMainLoop(benchmark::State& state) {
  const char* baseDir = std::getenv("VELORIN_IDLE_BENCH_BASE_RUN_DIR");
  auto timeStart = [](const std::string& runDir) {
    const fs::path base = fs::temp_directory_path() / ("velorin_start_bench_" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(base, ec);
    fs::create_directories(base);
    const fs::path copy = base / "run";
    fs::copy(runDir, copy, fs::copy_options::recursive, ec);
    fs::remove(copy / "game_log.txt", ec);
    const std::string log = (copy / "game_log.txt").string();
    const auto start = Clock::now();
    const pid_t pid = StartGame(copy.string());
    double ms = -1.0;
    if (pid > 0 && WaitForLog(log, "Entering Main Loop", 60))
      ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (pid > 0) Stop(pid);
    fs::remove_all(base, ec);
    return ms;
  };
  for (auto _ : state) {
    if (!fs::exists(fs::path(RunDir()) / "velorin")) {
      state.SkipWithError("the game is not built");
      return;
    }
    double now = 0.0, before = 0.0;
    timeStart(RunDir());
    if (baseDir && *baseDir) timeStart(baseDir);
    for (int i = 0; i < 5; ++i) {
      now += timeStart(RunDir());
      if (baseDir && *baseDir) before += timeStart(baseDir);
    }
    state.counters["start_ms"] = now / 5.0;
    if (before > 0.0) {
      state.counters["before_start_ms"] = before / 5.0;
      state.counters["ratio_to_before"] = now / before;
    }
  }
}

}  // namespace

BENCHMARK(BM_GameIdleAtFirstScreen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_StartToMainLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

BENCHMARK_MAIN();
