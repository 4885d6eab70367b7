#include "net/client/game_client.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"

namespace net {
namespace {

constexpr int kReadsPerFrame = 8;
// A server that takes none of our bytes for this long is given up.
constexpr uint32_t kSendStallMs = 2000;

NetMessage Header(uint32_t type, uint32_t code) {
  NetMessage m;
  m.type = type;
  m.code = code;
  return m;
}

float FiniteOrZero(float v) { return std::isfinite(v) ? v : 0.0f; }

}  // namespace

GameClient::GameClient() : received_(kMaxNetMessages) { status_.Reset(); }

GameClient::~GameClient() { platform::net::Close(slot_.socket); }

bool GameClient::Connect(uint16_t port, const std::string& host) {
  backToLobby_ = false;
  ownId_ = -1;
  limbo_ = false;
  lastScore_ = lastTime_ = 0.0f;
  slot_.Close();
  platform::net::ConnectError error;
  const int fd = platform::net::Connect(host, port, connectTimeoutMs_, error);
  if (fd == platform::net::kNoSocket) {
    switch (error) {
      case platform::net::ConnectError::kSocket: AddStatus("Connect:Winsock error - Socket creation Failed!"); break;
      case platform::net::ConnectError::kResolve: AddStatus("Connect:Failed to resolve hostname!"); break;
      default: AddStatus("Connect:Failed to establish connection with server"); break;
    }
    return false;
  }
  slot_.socket = fd;
  slot_.connected = true;
  slot_.lastSendProgress = platform::TimeGetTime();
  AddStatus("Connect:Connected To Server");
  NetMessage m = Header(1, control::kNetName);
  if (name_) m.str1 = *name_;
  Send(m);
  AddStatus("Connect:Computer Name Sent");
  return true;
}

void GameClient::Send(const NetMessage& message) {
  if (!slot_.connected) return;
  uint8_t buffer[kNetBufferSize];
  size_t pos = 0;
  if (!message.Pack(buffer, sizeof buffer, pos)) {
    AddStatus("Send:Message Too Large");
    return;
  }
  if (!slot_.SendAll(buffer, pos, platform::TimeGetTime())) {
    AddStatus("Send:Winsock error code: " + std::to_string(slot_.lastError));
    Disconnect();
  }
}

bool GameClient::Disconnect() {
  slot_.Close();
  AddStatus("Disconnect:Disconnected From Server!");
  backToLobby_ = true;
  return true;
}

void GameClient::Lost(const std::string& why) {
  if (!why.empty()) AddStatus(why);
  platform::net::Close(slot_.socket);
  slot_.ResetAsNew();
  AddStatus("Disconnect:Disconnected From Server!");
  backToLobby_ = true;
}

void GameClient::Receive() {
  if (!slot_.connected) return;
  const uint32_t now = platform::TimeGetTime();
  if (slot_.HasQueued()) {
    if (!slot_.Flush(now)) {
      AddStatus("Send:Winsock error code: " + std::to_string(slot_.lastError));
      Lost("");
      return;
    }
    if (slot_.HasQueued() && static_cast<int32_t>(now - slot_.lastSendProgress) > static_cast<int32_t>(kSendStallMs)) {
      Lost("Send:Server Not Reading");
      return;
    }
  }
  for (int reads = 0; reads < kReadsPerFrame && slot_.connected; ++reads) {
    const size_t room = kNetBufferSize - slot_.kept;
    const platform::net::IoResult r = platform::net::Receive(slot_.socket, slot_.inbox.data() + slot_.kept, room);
    if (r.kind == platform::net::IoResult::kWouldBlock) return;
    if (r.kind == platform::net::IoResult::kError) {
      Lost("Receive:Winsock error code: " + std::to_string(r.error));
      return;
    }
    if (r.kind == platform::net::IoResult::kClosed) {
      Lost("");
      return;
    }
    slot_.bytesReceived += static_cast<uint32_t>(r.bytes);
    const size_t total = slot_.kept + r.bytes;
    int32_t count = 0;
    bool badType = false;
    const size_t consumed =
        UnpackMessages(slot_.inbox.data(), total, received_.data(), received_.size(), count, &badType);
    std::copy(slot_.inbox.begin() + static_cast<std::ptrdiff_t>(consumed),
              slot_.inbox.begin() + static_cast<std::ptrdiff_t>(total), slot_.inbox.begin());
    slot_.kept = total - consumed;
    for (int32_t k = 0; k < count && slot_.connected; ++k) {
      const NetMessage& m = received_[static_cast<size_t>(k)];
      if (m.type == kControlMessage) {
        HandleControl(m);
      } else if (m.type == kGameMessage && Authenticated() && handler_) {
        handler_(m);
      }
    }
    if (!slot_.connected) return;
    if (badType || slot_.kept == kNetBufferSize) {
      Lost("Receive:Protocol error");
      return;
    }
    if (r.bytes < room) return;
  }
}

void GameClient::HandleControl(const NetMessage& m) {
  switch (m.code) {
    case control::kFarewell: Lost(""); break;
    case control::kLocked:
      AddStatus("Receive:LOCKED:Game Is Running, Try Again Later.");
      Disconnect();
      break;
    case control::kAuthenticated:
      AddStatus("Receive:Authenticated");
      slot_.state = SlotState::kAuthenticated;
      ownId_ = (m.a3 >= 0 && m.a3 < 20) ? m.a3 : -1;
      break;
    case control::kVersionRequest: {
      AddStatus("Receive:Version Request");
      NetMessage v = Header(1, control::kVersion);
      v.SetA6Float(kNetVersion);
      Send(v);
      AddStatus("Receive:Version Sent");
      break;
    }
    case control::kPasswordRequest: {
      AddStatus("Receive:Password Request");
      NetMessage p = Header(1, control::kPassword);
      p.str1 = password_;
      Send(p);
      AddStatus("Receive:Password Sent");
      break;
    }
    case control::kLimboOn:
      AddStatus("Receive:In Limbo TRUE");
      limbo_ = true;
      break;
    case control::kLimboOff:
      AddStatus("Receive:In Limbo FALSE");
      limbo_ = false;
      break;
    case control::kSessionStatus:
      lastScore_ = FiniteOrZero(m.A6AsFloat());
      lastTime_ = FiniteOrZero(m.A7AsFloat());
      break;
    case control::kWrongVersion:
      AddStatus("Receive:The Server Is Running A Different Version");
      Disconnect();
      break;
    case control::kWrongPassword:
      AddStatus("Receive:Wrong Password");
      Disconnect();
      break;
    case control::kServerFull:
      AddStatus("Receive:The Server Is Full");
      Disconnect();
      break;
    default: break;
  }
}

}  // namespace net
