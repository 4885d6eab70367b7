// The hub of a network game: listens on one TCP port, keeps up to twenty client
// slots, leads each connection through the version and password handshake, acts on
// control messages (players, song, roster, lock, start signal) and relays the
// clients' in-play messages to each other. Ticked by one thread (the game's Net
// thread or the dedicated server's main thread) whenever a socket has data, at most
// once a millisecond; Tick never blocks, WaitForWork between ticks does.
//
// A modified client is kept in bounds: only the leader chooses the song, starts or
// changes the game type; a client frees only its own player numbers; only the
// in-play and chat codes are relayed; texts are cut to their sizes; a connection
// that floods, sends what cannot be a message, stops reading or never finishes the
// handshake is dropped without touching the others.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "net/protocol/net_message.h"
#include "net/server/client_slot.h"

namespace net {

constexpr int32_t kServerSlots = 20;
constexpr int32_t kPlayerNumbers = 50;
constexpr int32_t kMaxPlayersPerSlot = 15;
constexpr uint16_t kDefaultPort = 27960;

// What the server tells the public server list about itself, copied when the
// registration starts (the tick goes on changing the server meanwhile).
struct ServerListing {
  uint16_t port = kDefaultPort;
  int32_t playerCount = 0;
  int32_t state = 0;  // 0 lobby, 1 in game
  float version = kNetVersion;
  bool passwordProtected = false;
  int32_t playerLimit = 10;
  int32_t location = 0;
  std::string name, description, currentSong;
  std::string players;  // the connected names joined by "."
};

// Registers the server in the public list; runs on its own short-lived thread, at
// most one at a time, at the first tick and then at most once a period after the
// previous one finished. A private server never calls it.
using RegistrationHook = std::function<void(const ServerListing&)>;

struct PlayerEntry {
  bool inUse = false;
  int32_t owner = -1;
};

struct CurrentSong {
  std::string name;   // artist " - " title
  std::string hash;
  int32_t value = 0;  // the chart file's size
};

class GameServer {
 public:
  GameServer();
  ~GameServer();
  GameServer(const GameServer&) = delete;
  GameServer& operator=(const GameServer&) = delete;

  void Reset();
  void ResetGame();
  // Opens the listener; false (logged) when the port is outside 1..65535 or cannot
  // be bound.
  bool StartServer(uint16_t port, const std::string& password);
  // Says farewell to every client, closes them and the listener, and waits for a
  // running registration.
  void Stop();
  // Closes the listener only (the Net thread's end).
  void CloseListener();
  bool Tick();
  // Sleeps until the listener or a client has something to read, a queued send
  // may move on, or maxMs pass; never returns sooner than a millisecond after the
  // last tick began, so that a client held back by its budget (its socket stays
  // readable) cannot turn the wait into a spin.
  void WaitForWork(int maxMs);

  // Configuration (between Reset and the first tick).
  void SetPlayerLimit(int32_t limit);  // kept to 1..15, logged when changed
  void SetRegistrationHook(RegistrationHook hook, uint32_t periodMs = 10000);
  void SetHandshakeTimeout(uint32_t ms) { handshakeTimeoutMs_ = ms; }
  bool RegistrationRunning() const { return registering_.load(); }

  // The record as the steps use it; read by tests and the registration snapshot.
  bool isPrivate = false;
  std::string name, description;
  int32_t location = 0;
  int32_t playerLimit = 10;

  bool Running() const { return running_; }
  uint16_t Port() const { return port_; }
  int32_t Leader() const { return leader_; }
  bool Locked() const { return locked_; }
  int32_t ConnectedCount() const;
  int32_t PlayerCount() const { return playerCount_; }
  const ClientSlot& Slot(int32_t i) const { return slots_[static_cast<size_t>(i)]; }
  const PlayerEntry& Player(int32_t p) const { return players_[static_cast<size_t>(p)]; }
  const CurrentSong& Song() const { return song_; }
  const std::vector<std::string>& CommonSongList() const { return commonSongs_; }
  int ListenSocket() const { return listener_; }

  // Steps of one tick, public for the game's and tests' use.
  bool NewClientCheck();
  void Recieve();
  void GameCheck();
  bool Send(int32_t slot, const NetMessage& message);
  int32_t FindFreePlayer() const;
  void KillSocket(int32_t slot);
  void KillAllPlayers();
  bool ServerLock(bool lock);
  void AnnounceLeader();
  bool NextLeader();
  bool SendRoster();
  bool SendCurrentSong(int32_t slot);
  void SendConnectNotice(bool joined);
  void IntersectSongLists();
  void SendCommonSongList();
  void Log(const std::string& text);

 private:
  bool Authenticated(int32_t i) const;
  bool Live(int32_t i) const;  // connected and not waiting to be dropped
  void SendToOthers(int32_t sender, const NetMessage& m);
  void SendToAll(const NetMessage& m);
  void Drop(int32_t slot);      // drops at once unless inside a send loop
  void ReapDropped();
  void ReceiveFrom(int32_t i, uint32_t now);
  void Handle(int32_t i, const NetMessage& m);
  void HandleControl(int32_t i, const NetMessage& m);
  void HandleVersion(int32_t i, const NetMessage& m);
  void HandlePassword(int32_t i, const NetMessage& m);
  void Relay(int32_t i, const NetMessage& m);
  void RefuseWhenFull();
  void DropStaleSlots(uint32_t now);
  void FlushSlots(uint32_t now);
  void MaybeRegister(uint32_t now);
  void JoinRegistration();

  std::array<ClientSlot, kServerSlots> slots_;
  std::array<bool, kServerSlots> dropPending_{};
  std::array<uint32_t, kServerSlots> acceptedAt_{};
  std::array<uint32_t, kServerSlots> floodWindowStart_{};
  std::array<uint32_t, kServerSlots> floodCount_{};
  std::array<bool, kServerSlots> relayRefusalLogged_{};
  std::array<double, kServerSlots> relayBudget_{};
  std::array<uint32_t, kServerSlots> relayBudgetStamp_{};
  std::array<PlayerEntry, kPlayerNumbers> players_{};
  std::vector<NetMessage> received_;
  std::vector<std::string> commonSongs_;
  NetMessage out_;
  CurrentSong song_;
  std::string password_;
  int listener_ = -1;
  uint16_t port_ = kDefaultPort;
  int32_t playerCount_ = 0;
  int32_t tickCount_ = 0;
  int64_t tickStartNs_ = 0;        // steady clock, of the last Tick
  std::vector<int> waitSockets_;   // WaitForWork's list, kept to avoid allocating
  int32_t leader_ = -1;
  bool locked_ = false;
  bool running_ = false;
  bool songListRequest_ = false;
  bool noFreeSocketsLogged_ = false;
  int32_t sendDepth_ = 0;
  uint32_t handshakeTimeoutMs_ = 10000;

  RegistrationHook registration_;
  uint32_t registrationPeriodMs_ = 10000;
  std::thread registrationThread_;
  std::atomic<bool> registering_{false};
  std::atomic<uint32_t> lastRegistration_{0};
  bool registeredOnce_ = false;
};

}  // namespace net
