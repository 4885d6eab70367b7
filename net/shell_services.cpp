#include "net/shell_services.h"

#include "core/settings.h"
#include "net/client/game_client.h"
#include "net/game_link.h"
#include "net/online/listing_registration.h"
#include "net/online/version_info.h"
#include "net/server/game_server.h"
#include "platform/online/http.h"

namespace net {
namespace {

ClientGameLink& Link() {
  static ClientGameLink link(Client());
  return link;
}

online::VersionInfo& VersionCheck() {
  static online::VersionInfo check;
  return check;
}

}  // namespace

GameClient& Client() {
  static GameClient client;
  return client;
}

GameServer& Server() {
  static GameServer server;
  static const bool registers = [] {
    server.SetRegistrationHook(online::ServerListRegistrationHook());
    return true;
  }();
  (void)registers;
  return server;
}

void RegisterShellServices(shell::Services& services) {
  shell::NetServices& n = services.net;
  n.installMessageHandler = [] {
    ConnectClientToLevel(Client(), Link());
    // Before the check's thread exists and before the check is made, so that the
    // HTTP library's exit-time clean-up is ordered after the check is destroyed.
    platform::online::StartHttp();
    // The version check runs once per start; until the menus show its message box,
    // a newer version is only logged.
    if (g_Settings.UPDATECHECK) VersionCheck().StartCheck();
  };
  n.stopVersionCheck = [] { VersionCheck().Stop(); };
  n.receive = [] { Client().Receive(); };
  n.isConnected = [] { return Client().Connected(); };
  n.ownId = [] { return Client().OwnId(); };
  n.backToLobbyRequested = [] { return Client().BackToLobby(); };
  n.clearBackToLobby = [] { Client().ClearBackToLobby(); };
  n.send = [](const shell::OutgoingMessage& out) {
    NetMessage& m = Client().outgoing;
    m.Clear();
    m.type = static_cast<uint32_t>(out.type);
    m.code = static_cast<uint32_t>(out.code);
    m.a2 = out.args[0];
    m.a3 = out.args[1];
    m.a4 = out.args[2];
    m.a5 = out.args[3];
    m.a6 = out.args[4];
    m.a7 = out.args[5];
    Client().Send(m);
  };
  n.serverTick = [] { Server().Tick(); };
  n.serverWait = [](int maxMs) { Server().WaitForWork(maxMs); };
  n.serverCloseListener = [] { Server().Stop(); };
  n.serverRegistrationRunning = [] { return Server().RegistrationRunning(); };
  n.serverReset = [] { Server().Reset(); };
}

}  // namespace net
