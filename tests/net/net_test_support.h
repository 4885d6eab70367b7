// Test helpers for network play: a free loopback port, a byte builder that encodes
// messages by hand (independent of the production packer), and a scripted peer
// that talks raw bytes to a server and reads its answers with deadlines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/protocol/net_message.h"

namespace nettest {

// A port on 127.0.0.1 that nothing listens on right now.
uint16_t FreePort();

// Little-endian message bytes written field by field.
class Bytes {
 public:
  Bytes& Header(uint8_t type, uint8_t code);
  Bytes& Int(int32_t v);
  Bytes& U32(uint32_t v);
  Bytes& Str(const std::string& s);
  Bytes& Raw(const std::string& s);
  const std::string& str() const { return bytes_; }

 private:
  std::string bytes_;
};

// Common messages a client sends, built by hand.
std::string VersionBytes(float version = 1.27f);
std::string NameBytes(const std::string& name);
std::string PasswordBytes(const std::string& password);
std::string ControlBytes(uint8_t code);
std::string ControlA3Bytes(uint8_t code, int32_t a3);

// Called while a peer waits (ticks an in-process server); may be empty.
using Pump = std::function<void()>;

class RawPeer {
 public:
  explicit RawPeer(Pump pump = {}) : pump_(std::move(pump)) {}
  ~RawPeer();
  RawPeer(const RawPeer&) = delete;
  RawPeer& operator=(const RawPeer&) = delete;

  bool Connect(uint16_t port, int timeoutMs = 5000);
  bool Send(const std::string& bytes);
  void Close();
  bool Open() const { return fd_ >= 0; }

  // Waits for the next message matching (type, code); every message read on the way
  // is kept in `seen`. False on time-out or when the server closed.
  bool WaitFor(uint32_t type, uint32_t code, net::NetMessage* out = nullptr, int timeoutMs = 5000);
  // Reads whatever arrives for `ms` (pumping), adding it to `seen`.
  void Drain(int ms);
  // Waits until the server closes the connection.
  bool WaitClosed(int timeoutMs = 5000);
  // name + version + password, then waits for 1/5; the slot number or -1.
  int32_t Join(const std::string& name, const std::string& password, int timeoutMs = 5000);

  std::vector<net::NetMessage> seen;
  int receiveBuffer = 0;  // SO_RCVBUF set before connecting when not 0
  bool closedByServer = false;

 private:
  bool ReadSome(int waitMs);
  Pump pump_;
  int fd_ = -1;
  std::string inbox_;
  size_t next_ = 0;  // first message in `seen` not yet returned by WaitFor
};

// Messages of (type, code) in a list.
std::vector<net::NetMessage> OfCode(const std::vector<net::NetMessage>& list, uint32_t type, uint32_t code);

}  // namespace nettest
