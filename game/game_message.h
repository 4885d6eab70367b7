// The game message: what the players of a network game tell each other (type 2) and
// what the session sends (type 1). A gameplay record; the network layer converts it to
// and from its own wire record.
#pragma once

#include <cstdint>
#include <string>

// The message's type: the session's own (type 1) or the players' (type 2). The
// numbers travel on the wire.
enum class MessageType : int32_t { kSession = 1, kGame = 2 };

// The session codes (type 1) the game sends to its server.
enum class SessionCode : int32_t {
  kRestart = 25,
  kSongListBegin = 34,
  kSongListHash = 35,
  kSongListEnd = 36,
};

// The game codes (type 2): what players and the host tell each other.
enum class GameCode : int32_t {
  kNoteHit = 10,
  kPress = 11,
  kFretState = 12,
  kEnergy = 13,
  kMiss = 14,
  kReserved = 15,  // travels with a2 and a3; nobody sends it
  kOtherPlayerLeft = 16,
  kYourPlayerJoined = 17,
  kYourPlayerLeft = 18,
  kSlotState = 19,
  kLoadingOthers = 20,
  kLoadingSender = 21,
  kStartSignal = 22,
  kBackToMenus = 23,
  kRestart = 24,
  kChat = 25,
  kLeader = 26,
  kOtherPlayerJoined = 27,
  kCurrentSong = 28,
  kRosterBegin = 29,
  kRosterEntry = 30,
  kLocked = 31,
  kUnlocked = 32,
  kPlayerInfo = 33,
  kScoreState = 34,
  kEnergyFlag = 35,
  kGameType = 36,
  kCrowdSound = 37,
  kClientJoined = 39,
  kClientDropped = 40,
  kCommonListBegin = 41,
  kCommonListHash = 42,
  kCommonListEnd = 43,
  kSongListRequest = 44,
};

struct GameMessage {
  int32_t type = 0;  // a MessageType number
  int32_t code = 0;  // a SessionCode or GameCode number
  int32_t a2 = 0, a3 = 0, a4 = 0, a5 = 0, a6 = 0, a7 = 0;
  std::string str1, str2;

  void Clear() { *this = GameMessage(); }

  void Set(MessageType t) { type = static_cast<int32_t>(t); }
  void Set(SessionCode c) {
    Set(MessageType::kSession);
    code = static_cast<int32_t>(c);
  }
  void Set(GameCode c) {
    Set(MessageType::kGame);
    code = static_cast<int32_t>(c);
  }
  bool Is(MessageType t) const { return type == static_cast<int32_t>(t); }
  bool Is(GameCode c) const { return code == static_cast<int32_t>(c); }
  // The code as a game code, for a switch over them (any number converts).
  GameCode AsGameCode() const { return static_cast<GameCode>(code); }
};
