// The network message: one record of type, code, six integers and two texts, and its
// byte form on the wire. Which fields travel is fixed per (type, code) by one table
// that packing and unpacking share; nothing marks where a message ends, so every
// peer must use the same table. Integers are little-endian; floats travel as bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/version.h"
#include "game/game_message.h"

namespace net {

enum class MessageType : uint32_t { kControl = 1, kGame = 2 };

// The message's type as the wire carries it.
inline constexpr uint32_t kControlMessage = static_cast<uint32_t>(MessageType::kControl);
inline constexpr uint32_t kGameMessage = static_cast<uint32_t>(MessageType::kGame);

// Control codes (type 1); those the level sends are the game's SessionCode numbers.
namespace control {
enum : uint32_t {
  kFarewell = 2,
  kLocked = 3,
  kAuthenticated = 5,
  kVersionRequest = 10,
  kVersion = 11,
  kPasswordRequest = 12,
  kPassword = 13,
  kNetName = 16,
  kPlayerInfo = 17,
  kJoinPlayer = 20,
  kLeavePlayer = 22,
  kLoadGame = 23,
  kReady = 24,
  kRestart = static_cast<uint32_t>(SessionCode::kRestart),
  kBackToMenus = 26,
  kChooseSong = 27,
  kRosterState = 28,
  kStartGame = 29,
  kLeavePlayerSelect = 30,
  kResignLead = 31,
  kGameType = 32,
  kCrowdSound = 33,
  kSongListBegin = static_cast<uint32_t>(SessionCode::kSongListBegin),
  kSongListHash = static_cast<uint32_t>(SessionCode::kSongListHash),
  kSongListEnd = static_cast<uint32_t>(SessionCode::kSongListEnd),
  kLimboOn = 37,
  kLimboOff = 38,
  kSessionStatus = 39,
  kWrongVersion = 101,
  kWrongPassword = 103,
  kServerFull = 105,
};
}  // namespace control

// Game codes (type 2) are the game's own table (GameCode, game/game_message.h): the
// numbers it gives them are the ones on the wire.
constexpr uint32_t Code(GameCode code) { return static_cast<uint32_t>(code); }

// The field a table entry names.
enum class Field : uint8_t { kA2, kA3, kA4, kA5, kA6, kA7, kStr1, kStr2 };

// Bytes of every receive buffer and send buffer; messages a buffer can hold.
constexpr size_t kNetBufferSize = 2000;
constexpr size_t kMaxNetMessages = 1000;
// The protocol version, sent as the bits of this float and compared as a float.
constexpr float kNetVersion = kGameVersion;

struct NetMessage {
  uint32_t type = 0;
  uint32_t code = 0;
  int32_t a2 = 0, a3 = 0, a4 = 0, a5 = 0, a6 = 0, a7 = 0;
  std::string str1, str2;

  void Clear();
  // Writes the header and the fields of the message's pair at `pos` and advances it.
  // False (nothing written, `pos` kept) when the message does not fit in `capacity`.
  bool Pack(uint8_t* buffer, size_t capacity, size_t& pos) const;
  // Bytes the packed form takes.
  size_t PackedSize() const;
  float A6AsFloat() const;
  float A7AsFloat() const;
  void SetA6Float(float value);
  void SetA7Float(float value);
};

// The fields that travel for the pair, in wire order; empty for header-only pairs.
std::span<const Field> FieldsOf(uint32_t type, uint32_t code);

// Cuts `n` bytes into messages (at most `capacity` records, stopping before the
// message that would overflow) and returns the bytes consumed: the start of the first
// incomplete message, or `n`. A type other than 1 and 2 logs "Error Unpacking Data!"
// to the game log and consumes the rest of the run; `badType` then reports it.
size_t UnpackMessages(const uint8_t* buffer, size_t n, NetMessage* out, size_t capacity, int32_t& count,
                      bool* badType = nullptr);

void WriteStringField(uint8_t* buffer, size_t& pos, const std::string& text);
// Empties the target; false (position kept) when the length or the bytes do not fit.
bool ReadStringField(const uint8_t* buffer, size_t& pos, size_t n, std::string& target);

}  // namespace net
