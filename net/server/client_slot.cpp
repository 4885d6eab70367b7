#include "net/server/client_slot.h"

#include <algorithm>

#include "core/log.h"

namespace net {

bool ClientSlot::SendAll(const uint8_t* data, size_t length, uint32_t nowMs) {
  if (socket == platform::net::kNoSocket) return false;
  if (outbox.size() + length > kSendQueueLimit) {
    lastError = 10055;
    return false;
  }
  if (outbox.empty()) lastSendProgress = nowMs;
  outbox.append(reinterpret_cast<const char*>(data), length);
  return Flush(nowMs);
}

bool ClientSlot::Flush(uint32_t nowMs) {
  while (!outbox.empty()) {
    const platform::net::IoResult r = platform::net::Send(socket, outbox.data(), outbox.size());
    if (r.kind == platform::net::IoResult::kWouldBlock) return true;
    if (r.kind != platform::net::IoResult::kDone) {
      lastError = r.error;
      return false;
    }
    bytesSent += static_cast<uint32_t>(r.bytes);
    outbox.erase(0, r.bytes);
    lastSendProgress = nowMs;
  }
  lastSendProgress = nowMs;
  return true;
}

bool ClientSlot::Close() {
  if (connected && socket != platform::net::kNoSocket) {
    // What is queued goes first when the socket takes it; the farewell only when
    // nothing is left in front of it, so it never lands inside another message.
    const platform::net::IoResult r = platform::net::Send(socket, outbox.data(), outbox.size());
    if (r.kind == platform::net::IoResult::kDone && r.bytes == outbox.size()) {
      const uint8_t farewell[2] = {1, 2};
      platform::net::Send(socket, farewell, sizeof farewell);
    }
  }
  platform::net::Close(socket);
  ResetAsNew();
  return true;
}

void ClientSlot::ResetAsNew() {
  socket = platform::net::kNoSocket;
  connected = false;
  state = SlotState::kNew;
  ready = false;
  name = "NO NAME";
  rosterState = 0;
  inGame = false;
  bytesSent = 0;
  bytesReceived = 0;
  songList.clear();
  kept = 0;
  outbox.clear();
  lastSendProgress = 0;
  lastError = 0;
}

void TextLines::Reset() {
  limit = 10;
  count = 0;
  for (std::string& line : lines) line.clear();
}

bool TextLines::AddLine(std::string text) {
  LogNarrow(LogSafe(text));
  if (limit <= 0) return true;
  if (count < limit) {
    lines[static_cast<size_t>(count)] = std::move(text);
    ++count;
  } else {
    std::move(lines.begin() + 1, lines.begin() + limit, lines.begin());
    lines[static_cast<size_t>(count - 1)] = std::move(text);
  }
  return true;
}

std::string LogSafe(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace net
