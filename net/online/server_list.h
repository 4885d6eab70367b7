// The public server list of the game's web service: a game server that is not private
// registers itself (at most every 10 seconds), and the server-list screen downloads
// the list of registered servers into a chain of ServerInfo records.
//
// The list is a text of comma-separated lines after a "[start]" line, with no escape
// for a comma: so registration turns commas, line breaks and other control bytes in
// its texts into spaces, and the download checks every field it takes (addresses,
// ports, lengths, the number of servers) before a record reaches the screen.
#pragma once

#include <memory>
#include <string>

#include "net/online/http_connection.h"

namespace net::online {

constexpr int kMaxListedServers = 1000;
constexpr size_t kMaxListLine = 4096;
constexpr size_t kMaxListReply = 1 << 20;

struct ServerInfo {
  std::string ip = "0.0.0.0";
  int32_t port = 27960;
  std::string description;
  std::string name = "No Name";
  std::string currentSong = "Unknown Song";
  std::string players;  // the player names joined by "."
  int32_t playerCount = 0;
  int32_t state = 0;  // 0 lobby, 1 in game
  bool passwordProtected = false;
  float version = 0;
  int32_t pingMs = -1;  // -1: not measured
  int32_t playerLimit = 10;
  int32_t location = 0;
  std::unique_ptr<ServerInfo> next;

  // Fills the record from one server line: state, name, ip, port, player count,
  // version, password flag ("1" only), description, player limit, current song,
  // location, players. Fields after the twelfth are ignored, missing ones keep their
  // defaults. False when the line names no usable server (not a dotted IPv4 address,
  // or a port outside 1 to 65535).
  bool Parse(const std::string& line);
};

// What a server says of itself in a registration.
struct ServerRegistration {
  int32_t port = 27960;
  int32_t playerCount = 0;
  int32_t state = 0;
  float version = 0;
  bool passwordProtected = false;
  int32_t playerLimit = 10;
  int32_t location = 0;
  std::string name, description, currentSong, players;
};

// The registration's form body: "name=…&port=…&state=…&playercount=…&version=…
// &pwprotected=…&description=…&playerlimit=…&currentsong=…&location=…&players=…".
std::string RegistrationBody(const ServerRegistration& r);

class ServerList {
 public:
  // Sends one registration; a failure logs "Could NOT Handshake Server Post".
  void Register(const ServerRegistration& r);
  // Fills *head with a new chain (null when none) and returns its length; 0 and
  // "Could NOT Handshake Serverlist" when the service cannot be asked.
  int Download(std::unique_ptr<ServerInfo>* head);
  // Parses a downloaded reply into a chain; its length.
  static int ParseList(const std::string& reply, std::unique_ptr<ServerInfo>* head);

  HttpConnection connection;  // its options bound time and size
};

}  // namespace net::online
