// Recording stand-ins for the subsystems above the shell: every entry of the
// service table records its call (thread-safe), and a few entries can be given
// behaviour (a blocking loader, a level set-up that pauses the Music thread).
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/shell/services.h"

namespace shelltest {

class Recorder {
 public:
  void Add(std::string call);
  std::vector<std::string> Calls();
  bool Has(const std::string& call);
  int Count(const std::string& call);
  // Index of the first call, -1 when absent.
  int IndexOf(const std::string& call);
  // Waits until the call was recorded; false after the time-out.
  bool WaitFor(const std::string& call, int timeoutMs);
  void Clear();
  // Runs on the calling thread after each recorded call (set before the threads start).
  std::function<void(const std::string&)> hook;

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::string> calls_;
};

struct FakeWorld {
  Recorder rec;
  // Scene-context and camera values the shell moves.
  shell::BoardCamera board;
  shell::FreeLookCamera freeLook;
  shell::NoteViewTurn noteModel;
  bool noteModelLoaded = false;
  float scale = 0.5f;
  bool resolutionRequest = false;
  int songIndex = 0;
  // Networking.
  std::atomic<bool> connected{false};
  int ownId = 1;
  int leaderId = 1;
  bool backToLobby = false;
  std::vector<shell::OutgoingMessage> sent;
  // Gameplay.
  std::atomic<bool> levelPlayers{false};
  bool songClock = true;
  double songTime = 0.0;
  float rating = 0.0f;
  double stemSeconds = 200.0;
  // Menus.
  bool menuExit = false;
  int menuExitCode = 0;
  bool restart = false;
  int currentMenu = 0;
  bool calibrationSong = false;
  std::atomic<bool> pollRecorded{false};
  std::atomic<bool> updateRecorded{false};
  // Threads: pad polls, whether a pad is there to poll, the hosted server's ticks and
  // socket waits (the wait entry is filled only with withServerWait).
  std::atomic<int> polls{0};
  std::atomic<bool> padsConnected{true};
  std::atomic<int> serverTicks{0};
  std::atomic<int> serverWaits{0};
  std::atomic<int> lastServerWaitMs{-1};
  bool withServerWait = false;
};

// A complete table: every entry records "<name>" or "<name>(<argument>)".
shell::Services MakeServices(FakeWorld& w);

}  // namespace shelltest
