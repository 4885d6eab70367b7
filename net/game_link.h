// The bridge between the level's game messages and the wire records: the game
// client seen as the level's network link, and the installed handler that turns
// each received game message into the level's record and hands it to the level.
#pragma once

#include "game/game_services.h"
#include "net/client/game_client.h"

namespace net {

GameMessage ToGameMessage(const NetMessage& m);
NetMessage ToNetMessage(const GameMessage& m);

// The level's view of a game client: connected, and a send of its records.
class ClientGameLink : public GameNetLink {
 public:
  explicit ClientGameLink(GameClient& client) {
    isConnected = [&client] { return client.Connected(); };
    send = [&client](const GameMessage& message) { client.Send(ToNetMessage(message)); };
  }
};

// Makes the client's game messages drive the level (OnNetMessage) and makes the
// level's session send through the client and follow its limbo flag.
void ConnectClientToLevel(GameClient& client, ClientGameLink& link);

}  // namespace net
