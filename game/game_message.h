// The game message: what the players of a network game tell each other (type 2) and
// what the session sends (type 1). A gameplay record; the network layer converts it to
// and from its own wire record.
#pragma once

#include <cstdint>
#include <string>

struct GameMessage {
  int32_t type = 0;
  int32_t code = 0;
  int32_t a2 = 0, a3 = 0, a4 = 0, a5 = 0, a6 = 0, a7 = 0;
  std::string str1, str2;

  void Clear() { *this = GameMessage(); }
};
