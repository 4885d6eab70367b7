// The dedicated game server: reads the network settings from the game's settings
// file, prints them, and ticks a game server on the main thread until SIGINT or
// SIGTERM, which close every client with its farewell and end with status 0. A
// server that cannot start ends with status 1.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <string>

#include "core/log.h"
#include "core/settings.h"
#include "core/utils.h"
#include "net/protocol/net_message.h"
#include "net/online/listing_registration.h"
#include "net/server/game_server.h"
#include "platform/clock.h"
#include "platform/net/socket.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

std::atomic<bool> g_stop{false};

void OnStopSignal(int) { g_stop = true; }

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  platform::net::IgnoreBrokenPipe();
}

void Print(const std::string& line) { std::cout << line << '\n' << std::flush; }

// The logs go beside the program when it may write there; an installed program gets
// the user's state folder instead.
std::string ChooseLogFolder(const std::string& programFolder) {
  if (access(programFolder.c_str(), W_OK) == 0) return std::string();
  std::string base;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/') {
    base = state;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.local/state";
  } else {
    return std::string();
  }
  const std::string folder = base + "/velorin";
  return platform::MakeDirectories(folder) ? folder : std::string();
}

// The port text as the settings hold it; 0 (refused by the server) unless it is a
// decimal number from 1 to 65535.
uint16_t ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5) return 0;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return (value >= 1 && value <= 65535) ? static_cast<uint16_t>(value) : 0;
}

int RunDedicatedServer() {
  const std::string programFolder = platform::ExecutableFolder();
  const std::string logFolder = ChooseLogFolder(programFolder);
  if (!logFolder.empty()) SetLogFolder(platform::Utf8ToUtf16(logFolder));
  LogEx(3, "");
  if (!logFolder.empty()) LogEx(2, "Program folder not writable; logs are kept in " + logFolder);
  platform::SetCurrentDirectory(programFolder);

  Print("Velorin Dedicated Server Version " + platform::FormatNumber(net::kNetVersion));
  Settings settings;
  if (!settings.Load(GetCurrentFolder() + u"/settings/config.ini")) Print("Could NOT Find Config. Using Defaults. . .");

  net::GameServer server;
  server.name = settings.SERVERNAME;
  server.description = settings.SERVERDESC;
  server.isPrivate = settings.LASTPRIVATEHOST;
  server.SetPlayerLimit(settings.PLAYERLIMIT);
  server.location = settings.LOCATION;
  server.SetRegistrationHook(net::online::ServerListRegistrationHook());
  const bool started = server.StartServer(ParsePort(settings.LASTPORT), settings.LASTPASSWORD);

  Print("Server Name: " + settings.SERVERNAME);
  Print("Server Description: " + settings.SERVERDESC);
  Print(std::string("Server Private: ") + (settings.LASTPRIVATEHOST ? "Yes" : "No"));
  Print("Server Max Players: " + std::to_string(server.playerLimit));
  Print("Server Port: " + settings.LASTPORT);
  Print("Server Password: " + settings.LASTPASSWORD);
  if (!started) {
    std::cerr << "velorin_server: the server could not start on port \"" << settings.LASTPORT
              << "\" (see server_log.txt)" << std::endl;
    return 1;
  }
  Print("Server Running...");

  // A stop signal is seen within one wait: the wait is bounded, and a signal
  // also ends it early.
  constexpr int kWaitMs = 20;
  while (!g_stop) {
    server.Tick();
    server.WaitForWork(kWaitMs);
  }
  server.Log("Server Stopping");
  server.Stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SetCommandLine(argc, argv);
  InstallStopSignals();
  return RunDedicatedServer();
}
