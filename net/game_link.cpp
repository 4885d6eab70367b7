#include "net/game_link.h"

#include "game/level/level_net.h"
#include "game/level/level_session.h"

namespace net {

GameMessage ToGameMessage(const NetMessage& m) {
  GameMessage g;
  g.type = static_cast<int32_t>(m.type);
  g.code = static_cast<int32_t>(m.code);
  g.a2 = m.a2;
  g.a3 = m.a3;
  g.a4 = m.a4;
  g.a5 = m.a5;
  g.a6 = m.a6;
  g.a7 = m.a7;
  g.str1 = m.str1;
  g.str2 = m.str2;
  return g;
}

NetMessage ToNetMessage(const GameMessage& g) {
  NetMessage m;
  m.type = static_cast<uint32_t>(g.type);
  m.code = static_cast<uint32_t>(g.code);
  m.a2 = g.a2;
  m.a3 = g.a3;
  m.a4 = g.a4;
  m.a5 = g.a5;
  m.a6 = g.a6;
  m.a7 = g.a7;
  m.str1 = g.str1;
  m.str2 = g.str2;
  return m;
}

void ConnectClientToLevel(GameClient& client, ClientGameLink& link) {
  client.SetMessageHandler([](const NetMessage& m) { OnNetMessage(ToGameMessage(m)); });
  LevelSession& session = Session();
  session.net = &link;
  session.limbo = [&client] { return client.InLimbo(); };
}

}  // namespace net
