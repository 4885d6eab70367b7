#include "net/shell_services.h"

#include "net/client/game_client.h"
#include "net/game_link.h"
#include "net/server/game_server.h"

namespace net {
namespace {

ClientGameLink& Link() {
  static ClientGameLink link(Client());
  return link;
}

}  // namespace

GameClient& Client() {
  static GameClient client;
  return client;
}

GameServer& Server() {
  static GameServer server;
  return server;
}

void RegisterShellServices(shell::Services& services) {
  shell::NetServices& n = services.net;
  n.installMessageHandler = [] { ConnectClientToLevel(Client(), Link()); };
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
  n.serverCloseListener = [] { Server().Stop(); };
  n.serverRegistrationRunning = [] { return Server().RegistrationRunning(); };
  n.serverReset = [] { Server().Reset(); };
}

}  // namespace net
