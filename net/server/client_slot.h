// One TCP connection as the server (twenty of them) and the game client (one) keep
// it: the handshake and roster state, a receive buffer that keeps a message cut at
// the end of one read until the rest arrives, and a bounded queue of bytes still to
// send, so that a peer that stops reading never blocks the sender. Also the small
// ring of status lines the client keeps for the screens.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/protocol/net_message.h"
#include "platform/net/socket.h"

namespace net {

enum class SlotState : uint32_t { kNew = 0, kVersionAccepted = 1, kAuthenticated = 2 };

// Bytes a slot may have waiting to go out before its peer counts as not reading.
constexpr size_t kSendQueueLimit = 64 * 1024;

struct ClientSlot {
  int socket = platform::net::kNoSocket;
  bool connected = false;
  SlotState state = SlotState::kNew;
  bool ready = false;
  std::string name = "NO NAME";
  uint32_t rosterState = 0;
  bool inGame = false;
  uint32_t bytesSent = 0;
  uint32_t bytesReceived = 0;
  std::vector<std::string> songList;

  // The connection's buffers.
  std::array<uint8_t, kNetBufferSize> inbox{};
  size_t kept = 0;                 // bytes of an incomplete message at the front
  std::string outbox;              // bytes accepted by SendAll, not yet on the socket
  uint32_t lastSendProgress = 0;   // ms; when the queue last moved or was empty
  int lastError = 0;               // of the failing send

  // Hands the bytes to the socket, queueing what it does not take at once. False
  // when the socket failed or the queue would grow past its limit.
  bool SendAll(const uint8_t* data, size_t length, uint32_t nowMs);
  // Moves queued bytes to the socket; false on a socket error.
  bool Flush(uint32_t nowMs);
  bool HasQueued() const { return !outbox.empty(); }
  // Sends the farewell header once (when connected; best effort, never waits),
  // closes the socket and resets every field as for a new slot.
  bool Close();
  // Every field as for a new slot; the socket is not touched.
  void ResetAsNew();
};

// The last status lines of the game client (newest last).
struct TextLines {
  std::array<std::string, 50> lines;
  int32_t limit = 10;
  int32_t count = 0;

  void Reset();
  // Writes the text to the game log, then appends it (dropping the oldest when full).
  bool AddLine(std::string text);
};

// Text for a log line: bytes below 0x20 and 0x7F as \xNN, so that peer-chosen text
// cannot forge lines.
std::string LogSafe(const std::string& text);

}  // namespace net
