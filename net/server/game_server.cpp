#include "net/server/game_server.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <unordered_set>

#include "core/log.h"
#include "platform/clock.h"

namespace net {
namespace {

// Longest texts kept from a client (the screens allow far less).
constexpr size_t kMaxNameBytes = 32;
constexpr size_t kMaxChatBytes = 256;
constexpr size_t kMaxSongNameBytes = 256;
constexpr size_t kHashBytes = 32;
constexpr size_t kMaxSongListEntries = 20000;
// Messages one connection may send in one second before it counts as flooding.
constexpr uint32_t kFloodMessagesPerSecond = 1200;
// Game messages of one connection relayed to the others: a burst of this many, then
// this many a second. What goes beyond is not relayed.
constexpr double kRelayBudgetPerSecond = 600.0;
// Reads from one connection in one tick, so that one sender cannot hold the tick.
constexpr int kReadsPerTick = 4;
// A peer whose queued bytes have not moved for this long is not reading.
constexpr uint32_t kSendStallMs = 5000;

std::string Num(long long v) { return std::to_string(v); }

// Milliseconds from `then` to `now`; 0 when `then` was stamped after `now` was read.
uint32_t Elapsed(uint32_t now, uint32_t then) {
  const int32_t d = static_cast<int32_t>(now - then);
  return d > 0 ? static_cast<uint32_t>(d) : 0;
}

void Truncate(std::string& s, size_t max) {
  if (s.size() > max) s.resize(max);
}

bool IsLowerHexHash(const std::string& s) {
  if (s.size() != kHashBytes) return false;
  return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Codes a client may send to the others; everything else on type 2 is the server's.
bool IsClientGameCode(uint32_t code) {
  switch (code) {
    case Code(GameCode::kNoteHit):
    case Code(GameCode::kPress):
    case Code(GameCode::kFretState):
    case Code(GameCode::kEnergy):
    case Code(GameCode::kMiss):
    case Code(GameCode::kSlotState):
    case Code(GameCode::kChat):
    case Code(GameCode::kScoreState):
    case Code(GameCode::kEnergyFlag):
      return true;
    default:
      return false;
  }
}

// A receiver outside the running game gets only these of the game codes.
bool PassesToLobby(uint32_t code) {
  if (code < Code(GameCode::kNoteHit) || code > Code(GameCode::kGameType)) return true;
  switch (code) {
    case Code(GameCode::kEnergy):
    case Code(GameCode::kYourPlayerLeft):
    case Code(GameCode::kStartSignal):
    case Code(GameCode::kBackToMenus):
    case Code(GameCode::kRestart):
    case Code(GameCode::kChat):
    case Code(GameCode::kLeader):
    case Code(GameCode::kCurrentSong):
    case Code(GameCode::kRosterBegin):
    case Code(GameCode::kRosterEntry):
    case Code(GameCode::kLocked):
    case Code(GameCode::kUnlocked):
      return true;
    default:
      return false;
  }
}

NetMessage Header(uint32_t type, uint32_t code) {
  NetMessage m;
  m.type = type;
  m.code = code;
  return m;
}

}  // namespace

GameServer::GameServer() : received_(kMaxNetMessages) { Reset(); }

GameServer::~GameServer() {
  JoinRegistration();
  for (ClientSlot& s : slots_) platform::net::Close(s.socket);
  platform::net::Close(listener_);
}

void GameServer::Reset() {
  JoinRegistration();
  running_ = false;
  listener_ = platform::net::kNoSocket;
  playerCount_ = 0;
  tickCount_ = 0;
  for (PlayerEntry& p : players_) p = PlayerEntry();
  for (ClientSlot& s : slots_) s.ResetAsNew();
  dropPending_.fill(false);
  leader_ = -1;
  song_ = CurrentSong();
  locked_ = false;
  password_.clear();
  name.clear();
  description.clear();
  isPrivate = false;
  port_ = kDefaultPort;
  lastRegistration_ = 0;
  registeredOnce_ = false;
  playerLimit = 10;
  location = 0;
  songListRequest_ = false;
  noFreeSocketsLogged_ = false;
  commonSongs_.clear();
}

void GameServer::ResetGame() {
  playerCount_ = 0;
  tickCount_ = 0;
  for (PlayerEntry& p : players_) p = PlayerEntry();
  for (size_t i = 0; i < slots_.size(); ++i) {
    // A slot still open here would be orphaned; close it properly.
    if (slots_[i].connected) slots_[i].Close();
    slots_[i].ResetAsNew();
  }
  dropPending_.fill(false);
  leader_ = -1;
  song_ = CurrentSong();
  locked_ = false;
}

void GameServer::Log(const std::string& text) { LogEx(2, LogSafe(text)); }

void GameServer::SetPlayerLimit(int32_t limit) {
  const int32_t kept = std::clamp(limit, 1, 15);
  if (kept != limit) Log("StartServer:Player Limit " + Num(limit) + " Changed To " + Num(kept));
  playerLimit = kept;
}

void GameServer::SetRegistrationHook(RegistrationHook hook, uint32_t periodMs) {
  registration_ = std::move(hook);
  registrationPeriodMs_ = periodMs;
}

bool GameServer::StartServer(uint16_t port, const std::string& password) {
  port_ = port;
  password_ = password;
  if (port == 0) {
    Log("Unable to bind socket!");
    return false;
  }
  platform::net::ListenError error;
  const int fd = platform::net::Listen(port, error);
  if (fd == platform::net::kNoSocket) {
    Log(error == platform::net::ListenError::kSocket ? "Socket creation failed." : "Unable to bind socket!");
    return false;
  }
  listener_ = fd;
  Log("Server Running!");
  running_ = true;
  return true;
}

void GameServer::Stop() {
  for (ClientSlot& s : slots_)
    if (s.connected) s.Close();
  CloseListener();
  JoinRegistration();
  running_ = false;
}

void GameServer::CloseListener() {
  platform::net::Close(listener_);
  listener_ = platform::net::kNoSocket;
}

void GameServer::JoinRegistration() {
  if (registrationThread_.joinable()) registrationThread_.join();
  registering_ = false;
}

int32_t GameServer::ConnectedCount() const {
  int32_t n = 0;
  for (const ClientSlot& s : slots_) n += s.connected ? 1 : 0;
  return n;
}

bool GameServer::Authenticated(int32_t i) const {
  const ClientSlot& s = slots_[static_cast<size_t>(i)];
  return s.connected && s.state == SlotState::kAuthenticated;
}

bool GameServer::Live(int32_t i) const {
  return slots_[static_cast<size_t>(i)].connected && !dropPending_[static_cast<size_t>(i)];
}

bool GameServer::Tick() {
  tickStartNs_ = std::chrono::duration_cast<std::chrono::nanoseconds>(
                     std::chrono::steady_clock::now().time_since_epoch()).count();
  if (!running_) return true;
  const uint32_t now = platform::TimeGetTime();
  tickCount_ = ConnectedCount();
  MaybeRegister(now);
  NewClientCheck();
  Recieve();
  GameCheck();
  FlushSlots(now);
  DropStaleSlots(now);
  ReapDropped();
  return true;
}

void GameServer::WaitForWork(int maxMs) {
  using namespace std::chrono;
  waitSockets_.clear();
  bool queued = false;
  if (running_) {
    waitSockets_.push_back(listener_);
    for (int32_t i = 0; i < kServerSlots; ++i) {
      if (!Live(i)) continue;
      waitSockets_.push_back(slots_[static_cast<size_t>(i)].socket);
      queued = queued || slots_[static_cast<size_t>(i)].HasQueued();
    }
  }
  // A queued send is retried a millisecond on, as the tick did before.
  platform::net::WaitReadable(waitSockets_.data(), waitSockets_.size(), queued ? std::min(maxMs, 1) : maxMs);
  const steady_clock::time_point earliest = steady_clock::time_point(nanoseconds(tickStartNs_)) + milliseconds(1);
  if (steady_clock::now() < earliest) std::this_thread::sleep_until(earliest);
}

void GameServer::MaybeRegister(uint32_t now) {
  if (!registration_ || isPrivate || registering_) return;
  if (registeredOnce_ && Elapsed(now, lastRegistration_.load()) < registrationPeriodMs_) return;
  if (registrationThread_.joinable()) registrationThread_.join();
  ServerListing listing;
  listing.port = port_;
  listing.playerCount = tickCount_;
  listing.state = locked_ ? 1 : 0;
  listing.passwordProtected = !password_.empty();
  listing.playerLimit = playerLimit;
  listing.location = location;
  listing.name = name;
  listing.description = description;
  listing.currentSong = song_.name;
  for (const ClientSlot& s : slots_) {
    if (!s.connected) continue;
    if (!listing.players.empty()) listing.players += '.';
    listing.players += s.name;
  }
  registeredOnce_ = true;
  registering_ = true;
  registrationThread_ = std::thread([this, listing = std::move(listing)] {
    registration_(listing);
    lastRegistration_ = platform::TimeGetTime();
    registering_ = false;
  });
}

bool GameServer::NewClientCheck() {
  int32_t free = -1;
  for (int32_t i = 0; i < kServerSlots; ++i)
    if (!slots_[static_cast<size_t>(i)].connected) {
      free = i;
      break;
    }
  if (free < 0) {
    RefuseWhenFull();
    return false;
  }
  noFreeSocketsLogged_ = false;
  const int fd = platform::net::Accept(listener_);
  if (fd == platform::net::kNoSocket) return true;
  const uint32_t now = platform::TimeGetTime();
  ClientSlot& slot = slots_[static_cast<size_t>(free)];
  slot.ResetAsNew();
  slot.socket = fd;
  slot.connected = true;
  slot.lastSendProgress = now;
  dropPending_[static_cast<size_t>(free)] = false;
  acceptedAt_[static_cast<size_t>(free)] = now;
  floodWindowStart_[static_cast<size_t>(free)] = now;
  floodCount_[static_cast<size_t>(free)] = 0;
  relayRefusalLogged_[static_cast<size_t>(free)] = false;
  relayBudget_[static_cast<size_t>(free)] = kRelayBudgetPerSecond;
  relayBudgetStamp_[static_cast<size_t>(free)] = now;
  Log("New Client Check:Client: " + Num(free) + " connected!");
  if (ConnectedCount() > playerLimit) {
    Send(free, Header(kControlMessage, control::kServerFull));
    Log("New Client Check:Server Full!");
    Log("Recieve:Disconnecting User");
    KillSocket(free);
    return false;
  }
  Log("New Client Check:Requesting Version");
  Send(free, Header(kControlMessage, control::kVersionRequest));
  return true;
}

void GameServer::RefuseWhenFull() {
  if (!noFreeSocketsLogged_) Log("New Client Check:No Free Sockets!");
  noFreeSocketsLogged_ = true;
  const int fd = platform::net::Accept(listener_);
  if (fd == platform::net::kNoSocket) return;
  const uint8_t full[4] = {1, static_cast<uint8_t>(control::kServerFull), 1, 2};
  platform::net::Send(fd, full, sizeof full);
  platform::net::Close(fd);
}

bool GameServer::Send(int32_t slot, const NetMessage& message) {
  if (slot < 0 || slot >= kServerSlots || !Live(slot)) return false;
  ClientSlot& s = slots_[static_cast<size_t>(slot)];
  uint8_t buffer[kNetBufferSize];
  size_t pos = 0;
  if (!message.Pack(buffer, sizeof buffer, pos)) {
    Log("Send:Message Too Large: " + Num(message.type) + "/" + Num(message.code));
    return false;
  }
  if (s.SendAll(buffer, pos, platform::TimeGetTime())) return true;
  Log("Send:Winsock error code: " + Num(s.lastError));
  Log("Send:Client:" + Num(slot) + " disconnected!");
  Drop(slot);
  return false;
}

void GameServer::SendToOthers(int32_t sender, const NetMessage& m) {
  for (int32_t j = 0; j < kServerSlots; ++j)
    if (j != sender && Authenticated(j)) Send(j, m);
}

void GameServer::SendToAll(const NetMessage& m) {
  for (int32_t j = 0; j < kServerSlots; ++j)
    if (Authenticated(j)) Send(j, m);
}

void GameServer::Drop(int32_t slot) { dropPending_[static_cast<size_t>(slot)] = true; }

void GameServer::ReapDropped() {
  // Dropping one slot sends to the others, which may find more that must go.
  for (int guard = 0; guard <= kServerSlots; ++guard) {
    bool any = false;
    for (int32_t i = 0; i < kServerSlots; ++i) {
      if (!dropPending_[static_cast<size_t>(i)]) continue;
      dropPending_[static_cast<size_t>(i)] = false;
      any = true;
      KillSocket(i);
    }
    if (!any) return;
  }
}

int32_t GameServer::FindFreePlayer() const {
  for (int32_t p = 0; p < kPlayerNumbers; ++p)
    if (!players_[static_cast<size_t>(p)].inUse) return p;
  return -1;
}

void GameServer::KillSocket(int32_t s) {
  if (s < 0 || s >= kServerSlots || !slots_[static_cast<size_t>(s)].connected) return;
  dropPending_[static_cast<size_t>(s)] = false;
  for (int32_t p = 0; p < kPlayerNumbers; ++p) {
    PlayerEntry& e = players_[static_cast<size_t>(p)];
    if (e.inUse && e.owner == s) {
      Log("Kill Socket:Killed Player:" + Num(p));
      e = PlayerEntry();
      --playerCount_;
    }
  }
  slots_[static_cast<size_t>(s)].Close();
  if (s == leader_) NextLeader();
  SendRoster();
  SendConnectNotice(false);
  if (ConnectedCount() < 1) ResetGame();
}

void GameServer::KillAllPlayers() {
  for (PlayerEntry& p : players_) p = PlayerEntry();
  playerCount_ = 0;
  Log("KillAllPlayers:Killed All Players");
}

void GameServer::DropStaleSlots(uint32_t now) {
  for (int32_t i = 0; i < kServerSlots; ++i) {
    const ClientSlot& s = slots_[static_cast<size_t>(i)];
    if (!Live(i)) continue;
    if (s.state != SlotState::kAuthenticated && Elapsed(now, acceptedAt_[static_cast<size_t>(i)]) > handshakeTimeoutMs_) {
      Log("New Client Check:Client: " + Num(i) + " Handshake Timed Out");
      Drop(i);
    } else if (s.HasQueued() && Elapsed(now, s.lastSendProgress) > kSendStallMs) {
      Log("Send:Client:" + Num(i) + " Not Reading, disconnected!");
      Drop(i);
    }
  }
}

void GameServer::FlushSlots(uint32_t now) {
  for (int32_t i = 0; i < kServerSlots; ++i) {
    ClientSlot& s = slots_[static_cast<size_t>(i)];
    if (!Live(i) || !s.HasQueued()) continue;
    if (!s.Flush(now)) {
      Log("Send:Winsock error code: " + Num(s.lastError));
      Log("Send:Client:" + Num(i) + " disconnected!");
      Drop(i);
    }
  }
}

void GameServer::Recieve() {
  const uint32_t now = platform::TimeGetTime();
  for (int32_t i = 0; i < kServerSlots; ++i) {
    if (!Live(i)) continue;
    ReceiveFrom(i, now);
    ReapDropped();
  }
}

void GameServer::ReceiveFrom(int32_t i, uint32_t now) {
  ClientSlot& s = slots_[static_cast<size_t>(i)];
  const size_t idx = static_cast<size_t>(i);
  if (Elapsed(now, floodWindowStart_[idx]) >= 1000) {
    floodWindowStart_[idx] = now;
    floodCount_[idx] = 0;
  }
  for (int reads = 0; reads < kReadsPerTick && Live(i); ++reads) {
    const size_t room = kNetBufferSize - s.kept;
    const platform::net::IoResult r = platform::net::Receive(s.socket, s.inbox.data() + s.kept, room);
    if (r.kind == platform::net::IoResult::kWouldBlock) return;
    if (r.kind == platform::net::IoResult::kError) {
      Log("Receive:Winsock error code: " + Num(r.error));
      Log("Recieve:Client:" + Num(i) + " disconnected!");
      Drop(i);
      return;
    }
    if (r.kind == platform::net::IoResult::kClosed) {
      Log("Recieve:Client:" + Num(i) + " disconnected!");
      Drop(i);
      return;
    }
    s.bytesReceived += static_cast<uint32_t>(r.bytes);
    const size_t total = s.kept + r.bytes;
    int32_t count = 0;
    bool badType = false;
    const size_t consumed = UnpackMessages(s.inbox.data(), total, received_.data(), received_.size(), count, &badType);
    if (count > static_cast<int32_t>(kMaxNetMessages)) Log("New Data Count Overloaded!!!");
    std::copy(s.inbox.begin() + static_cast<std::ptrdiff_t>(consumed), s.inbox.begin() + static_cast<std::ptrdiff_t>(total),
              s.inbox.begin());
    s.kept = total - consumed;
    floodCount_[idx] += static_cast<uint32_t>(count);
    for (int32_t k = 0; k < count && Live(i); ++k) Handle(i, received_[static_cast<size_t>(k)]);
    if (!Live(i)) return;
    if (badType || s.kept == kNetBufferSize) {
      // Either no message at all or one that can never fit in a buffer.
      Log("Receive:Protocol error");
      Log("Recieve:Client:" + Num(i) + " disconnected!");
      Drop(i);
      return;
    }
    if (floodCount_[idx] > kFloodMessagesPerSecond) {
      Log("Receive:Client:" + Num(i) + " Flooding, disconnected!");
      Drop(i);
      return;
    }
    if (r.bytes < room) return;  // the socket had no more for now
  }
}

void GameServer::Handle(int32_t i, const NetMessage& m) {
  if (m.type == kControlMessage) {
    HandleControl(i, m);
  } else if (m.type == kGameMessage && Authenticated(i)) {
    Relay(i, m);
  }
}

void GameServer::Relay(int32_t i, const NetMessage& received) {
  const size_t idx = static_cast<size_t>(i);
  const uint32_t now = platform::TimeGetTime();
  relayBudget_[idx] = std::min(kRelayBudgetPerSecond,
                               relayBudget_[idx] + kRelayBudgetPerSecond * Elapsed(now, relayBudgetStamp_[idx]) / 1000.0);
  relayBudgetStamp_[idx] = now;
  if (relayBudget_[idx] < 1.0) {
    if (!relayRefusalLogged_[idx]) Log("Recieve:Client:" + Num(i) + " Over Its Relay Budget, Not Relayed");
    relayRefusalLogged_[idx] = true;
    return;
  }
  relayBudget_[idx] -= 1.0;
  if (!IsClientGameCode(received.code)) {
    if (!relayRefusalLogged_[static_cast<size_t>(i)])
      Log("Recieve:Client:" + Num(i) + " Sent Server Game Message " + Num(received.code) + ", Not Relayed");
    relayRefusalLogged_[static_cast<size_t>(i)] = true;
    return;
  }
  const NetMessage* m = &received;
  NetMessage cut;
  if (received.code == Code(GameCode::kChat) && received.str1.size() > kMaxChatBytes) {
    cut = received;
    Truncate(cut.str1, kMaxChatBytes);
    m = &cut;
  }
  for (int32_t j = 0; j < kServerSlots; ++j) {
    if (j == i || !Authenticated(j)) continue;
    if (!slots_[static_cast<size_t>(j)].inGame && !PassesToLobby(m->code)) continue;
    Send(j, *m);
  }
}

void GameServer::HandleVersion(int32_t i, const NetMessage& m) {
  ClientSlot& s = slots_[static_cast<size_t>(i)];
  if (s.state == SlotState::kNew && m.A6AsFloat() == kNetVersion) {
    s.state = SlotState::kVersionAccepted;
    Send(i, Header(kControlMessage, control::kPasswordRequest));
    Log("Recieve:Requesting Password");
    return;
  }
  Send(i, Header(kControlMessage, control::kWrongVersion));
  Log("Recieve:Wrong Version");
  Log("Recieve:Disconnecting User");
  Drop(i);
}

void GameServer::HandlePassword(int32_t i, const NetMessage& m) {
  ClientSlot& s = slots_[static_cast<size_t>(i)];
  if (s.state != SlotState::kVersionAccepted || m.str1 != password_) {
    Send(i, Header(kControlMessage, control::kWrongPassword));
    Log("Recieve:Password Failed");
    Log("Recieve:Disconnecting User");
    Drop(i);
    return;
  }
  s.state = SlotState::kAuthenticated;
  NetMessage ok = Header(kControlMessage, control::kAuthenticated);
  ok.a3 = i;
  Send(i, ok);
  Log("Recieve:User Authenticated");
  if (leader_ < 0) leader_ = i;
  AnnounceLeader();
  SendRoster();
  SendConnectNotice(true);
  if (!song_.name.empty()) SendCurrentSong(i);
  if (Live(i)) Send(i, Header(kControlMessage, locked_ ? control::kLimboOn : control::kLimboOff));
  if (songListRequest_) {
    Send(i, Header(kGameMessage, Code(GameCode::kSongListRequest)));
    Log("Recieve:Requesting Song List");
  }
}

void GameServer::HandleControl(int32_t i, const NetMessage& m) {
  ClientSlot& s = slots_[static_cast<size_t>(i)];
  switch (m.code) {
    case control::kFarewell:
      Log("Recieve:Client: " + Num(i) + " Disconnected");
      Drop(i);
      return;
    case control::kVersion: HandleVersion(i, m); return;
    case control::kPassword: HandlePassword(i, m); return;
    case control::kNetName:
      s.name = m.str1;
      Truncate(s.name, kMaxNameBytes);
      Log("Recieve:Client: " + Num(i) + " ComputerName:" + s.name);
      return;
    default: break;
  }
  if (m.code < 17 || s.state != SlotState::kAuthenticated) return;
  const bool leader = i == leader_;
  // While a game runs, only its players steer it.
  const bool mayPlay = !locked_ || s.inGame;
  switch (m.code) {
    case control::kPlayerInfo: {
      if (!mayPlay) return;
      NetMessage out = m;
      out.type = 2;
      out.code = Code(GameCode::kPlayerInfo);
      Truncate(out.str1, kMaxNameBytes);
      SendToOthers(i, out);
      return;
    }
    case control::kJoinPlayer: {
      if (!mayPlay) return;
      int32_t owned = 0;
      for (const PlayerEntry& e : players_) owned += (e.inUse && e.owner == i) ? 1 : 0;
      const int32_t p = owned < kMaxPlayersPerSlot ? FindFreePlayer() : -1;
      if (p < 0) {
        Log("Recieve:No Free Player For Client " + Num(i));
        return;
      }
      players_[static_cast<size_t>(p)] = PlayerEntry{true, i};
      ++playerCount_;
      NetMessage mine = Header(kGameMessage, Code(GameCode::kYourPlayerJoined));
      mine.a2 = p;
      mine.a3 = m.a3;
      Send(i, mine);
      NetMessage theirs = Header(kGameMessage, Code(GameCode::kOtherPlayerJoined));
      theirs.a2 = p;
      SendToOthers(i, theirs);
      Log("Recieve:Player " + Num(p) + " Added");
      return;
    }
    case control::kLeavePlayer: {
      const int32_t p = m.a2;
      if (p < 0 || p >= kPlayerNumbers) return;
      PlayerEntry& e = players_[static_cast<size_t>(p)];
      if (!e.inUse || e.owner != i) return;  // only one's own players leave
      e = PlayerEntry();
      --playerCount_;
      NetMessage mine = Header(kGameMessage, Code(GameCode::kYourPlayerLeft));
      mine.a2 = p;
      Send(i, mine);
      NetMessage theirs = Header(kGameMessage, Code(GameCode::kOtherPlayerLeft));
      theirs.a2 = p;
      SendToOthers(i, theirs);
      Log("Recieve:Player " + Num(p) + " Killed");
      return;
    }
    case control::kLoadGame:
      if (!mayPlay) return;
      Log("Recieve:Game Loading");
      Send(i, Header(kGameMessage, Code(GameCode::kLoadingSender)));
      SendToOthers(i, Header(kGameMessage, Code(GameCode::kLoadingOthers)));
      return;
    case control::kReady:
      Log("Recieve:Client " + Num(i) + " Is Good To Go!");
      s.ready = true;
      return;
    case control::kRestart:
      if (!mayPlay) return;
      Log("Recieve:Restarting Game");
      SendToOthers(i, Header(kGameMessage, Code(GameCode::kRestart)));
      return;
    case control::kBackToMenus:
      if (!mayPlay) return;
      Log("Recieve:Returning To Menu");
      ServerLock(false);
      SendToOthers(i, Header(kGameMessage, Code(GameCode::kBackToMenus)));
      KillAllPlayers();
      NextLeader();
      return;
    case control::kChooseSong:
      if (!leader) return;
      song_.name = m.str1;
      song_.hash = m.str2;
      song_.value = m.a3;
      Truncate(song_.name, kMaxSongNameBytes);
      Truncate(song_.hash, kHashBytes);
      for (int32_t j = 0; j < kServerSlots; ++j)
        if (Authenticated(j)) SendCurrentSong(j);
      Log("New Song: " + song_.name);
      return;
    case control::kRosterState: {
      const uint32_t state = static_cast<uint32_t>(std::clamp(m.a3, 0, 2));
      const bool changed = s.rosterState != state;
      s.rosterState = state;
      if (changed) SendRoster();
      Log("Recieve:Player Roster State Change: " + Num(m.a3));
      return;
    }
    case control::kStartGame:
      if (!leader || locked_) return;
      ServerLock(true);
      SendToOthers(i, Header(kGameMessage, Code(GameCode::kLocked)));
      return;
    case control::kLeavePlayerSelect:
      if (!mayPlay) return;
      ServerLock(false);
      SendToOthers(i, Header(kGameMessage, Code(GameCode::kUnlocked)));
      KillAllPlayers();
      return;
    case control::kResignLead:
      Log("Recieve:Client " + Num(i) + " Is Good To Go!");
      if (leader) NextLeader();
      return;
    case control::kGameType: {
      if (!leader) return;
      NetMessage out = Header(kGameMessage, Code(GameCode::kGameType));
      out.a3 = m.a3;
      SendToOthers(i, out);
      return;
    }
    case control::kCrowdSound:
      Log("Recieve:Winning Cow Bell!");
      SendToOthers(i, Header(kGameMessage, Code(GameCode::kCrowdSound)));
      return;
    case control::kSongListBegin: s.songList.clear(); return;
    case control::kSongListHash:
      if (s.songList.size() < kMaxSongListEntries && IsLowerHexHash(m.str1)) s.songList.push_back(m.str1);
      return;
    case control::kSongListEnd:
      IntersectSongLists();
      SendCommonSongList();
      return;
    case control::kSessionStatus:
      if (!leader) return;
      for (int32_t j = 0; j < kServerSlots; ++j)
        if (Authenticated(j)) Send(j, m);
      return;
    default: return;
  }
}

void GameServer::GameCheck() {
  int32_t ready = 0, inGame = 0;
  for (const ClientSlot& s : slots_) {
    if (!s.connected) continue;
    inGame += s.inGame ? 1 : 0;
    ready += (s.inGame && s.ready) ? 1 : 0;
  }
  if (inGame == 0 || ready < inGame) return;
  Log("GameCheck:All Clients Are Good To Go!");
  for (int32_t i = 0; i < kServerSlots; ++i) {
    if (!slots_[static_cast<size_t>(i)].connected) continue;
    slots_[static_cast<size_t>(i)].ready = false;
    if (Authenticated(i)) Send(i, Header(kGameMessage, Code(GameCode::kStartSignal)));
  }
  Log("GameCheck:Game Start Signal Sent");
}

bool GameServer::ServerLock(bool lock) {
  locked_ = lock;
  if (lock) {
    for (int32_t i = 0; i < kServerSlots; ++i) {
      ClientSlot& s = slots_[static_cast<size_t>(i)];
      if (Authenticated(i) && s.rosterState == 2) {
        Send(i, Header(kControlMessage, control::kLimboOff));
        s.inGame = true;
      } else {
        if (Authenticated(i)) Send(i, Header(kControlMessage, control::kLimboOn));
        s.inGame = false;
      }
    }
    Log("ServerLock:Server Is Now Locked");
  } else {
    Log("ServerLock:Server Is Now Un-Locked");
    for (int32_t i = 0; i < kServerSlots; ++i) {
      slots_[static_cast<size_t>(i)].inGame = false;
      slots_[static_cast<size_t>(i)].ready = false;
      if (Authenticated(i)) Send(i, Header(kControlMessage, control::kLimboOff));
    }
  }
  SendRoster();
  return true;
}

void GameServer::AnnounceLeader() {
  NetMessage m = Header(kGameMessage, Code(GameCode::kLeader));
  m.a3 = leader_;
  SendToAll(m);
}

bool GameServer::NextLeader() {
  int32_t start = (leader_ < 0 || leader_ >= kServerSlots - 1) ? 0 : leader_ + 1;
  for (int32_t k = 0; k <= kServerSlots; ++k) {
    const int32_t candidate = (start + k) % kServerSlots;
    if (Live(candidate) && Authenticated(candidate)) {
      leader_ = candidate;
      AnnounceLeader();
      return true;
    }
  }
  leader_ = -1;
  return false;
}

bool GameServer::SendRoster() {
  SendToAll(Header(kGameMessage, Code(GameCode::kRosterBegin)));
  for (int32_t r = 0; r < kServerSlots; ++r) {
    if (!Authenticated(r)) continue;
    for (int32_t s = 0; s < kServerSlots; ++s) {
      if (!Authenticated(s) || !Live(s)) continue;
      const ClientSlot& slot = slots_[static_cast<size_t>(s)];
      NetMessage m = Header(kGameMessage, Code(GameCode::kRosterEntry));
      m.a3 = s;
      m.a4 = slot.inGame ? 3 : static_cast<int32_t>(slot.rosterState);
      m.str1 = slot.name;
      Send(r, m);
    }
  }
  return true;
}

bool GameServer::SendCurrentSong(int32_t slot) {
  if (slot < 0 || slot >= kServerSlots || !Live(slot)) return true;
  NetMessage m = Header(kGameMessage, Code(GameCode::kCurrentSong));
  m.str1 = song_.name;
  m.str2 = song_.hash;
  m.a3 = song_.value;
  Send(slot, m);
  return true;
}

void GameServer::SendConnectNotice(bool joined) {
  SendToAll(Header(kGameMessage, joined ? Code(GameCode::kClientJoined) : Code(GameCode::kClientDropped)));
}

void GameServer::IntersectSongLists() {
  commonSongs_.clear();
  bool first = true;
  for (const ClientSlot& s : slots_) {
    if (!s.connected) continue;
    if (first) {
      commonSongs_ = s.songList;
      first = false;
      continue;
    }
    const std::unordered_set<std::string> have(s.songList.begin(), s.songList.end());
    std::erase_if(commonSongs_, [&](const std::string& h) { return !have.count(h); });
  }
}

void GameServer::SendCommonSongList() {
  for (int32_t j = 0; j < kServerSlots; ++j) {
    if (!Authenticated(j)) continue;
    Send(j, Header(kGameMessage, Code(GameCode::kCommonListBegin)));
    for (const std::string& hash : commonSongs_) {
      NetMessage m = Header(kGameMessage, Code(GameCode::kCommonListHash));
      m.str1 = hash;
      if (!Send(j, m)) break;
    }
    Send(j, Header(kGameMessage, Code(GameCode::kCommonListEnd)));
  }
}

}  // namespace net
