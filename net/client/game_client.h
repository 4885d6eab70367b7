// The game's one connection to a game server (its own, over the loopback address,
// or another machine's). It has no thread: the frame step calls Receive once a
// frame and the screens and the level send through Send, all on the main thread. It
// answers the server's handshake itself, keeps its id, its limbo state and its last
// status lines, and hands every game message to the installed handler once the
// server has let it in. Nothing here waits on the network except Connect, whose
// wait is bounded.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/protocol/net_message.h"
#include "net/server/client_slot.h"

namespace net {

class GameClient {
 public:
  using MessageHandler = std::function<void(const NetMessage&)>;

  GameClient();
  ~GameClient();
  GameClient(const GameClient&) = delete;
  GameClient& operator=(const GameClient&) = delete;

  // The caller sets the name and the password first.
  bool Connect(uint16_t port, const std::string& host);
  void Send(const NetMessage& message);
  void Receive();
  bool Disconnect();

  void SetMessageHandler(MessageHandler handler) { handler_ = std::move(handler); }
  void SetName(const std::string* name) { name_ = name; }
  void SetPassword(std::string password) { password_ = std::move(password); }
  void SetConnectTimeout(int ms) { connectTimeoutMs_ = ms; }

  bool Connected() const { return slot_.connected; }
  bool Authenticated() const { return slot_.connected && slot_.state == SlotState::kAuthenticated; }
  int32_t OwnId() const { return ownId_; }
  bool InLimbo() const { return limbo_; }
  bool BackToLobby() const { return backToLobby_; }
  void ClearBackToLobby() { backToLobby_ = false; }
  float LastGameScore() const { return lastScore_; }
  float LastGameTime() const { return lastTime_; }
  const TextLines& Status() const { return status_; }
  const ClientSlot& Slot() const { return slot_; }
  // The record the screens fill before Send.
  NetMessage outgoing;

 private:
  void AddStatus(const std::string& line) { status_.AddLine(line); }
  void Lost(const std::string& why);
  void HandleControl(const NetMessage& m);

  ClientSlot slot_;
  TextLines status_;
  std::string password_;
  const std::string* name_ = nullptr;
  MessageHandler handler_;
  bool backToLobby_ = false;
  int32_t ownId_ = -1;
  bool limbo_ = false;
  float lastScore_ = 0.0f, lastTime_ = 0.0f;
  int connectTimeoutMs_ = 5000;
  std::vector<NetMessage> received_;
};

}  // namespace net
