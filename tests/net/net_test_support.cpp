#include "tests/net/net_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <random>

namespace nettest {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

uint16_t FreePort() {
  // Below the kernel's range for outgoing connections, so that no client of another
  // test process takes it between this check and the server's bind.
  static std::mt19937 random(static_cast<unsigned>(getpid()) * 7919u + static_cast<unsigned>(NowMs()));
  for (int attempt = 0; attempt < 200; ++attempt) {
    const uint16_t port = static_cast<uint16_t>(20000 + random() % 12000);
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(port);
    const bool free = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    if (free) return port;
  }
  return 0;
}

Bytes& Bytes::Header(uint8_t type, uint8_t code) {
  bytes_ += static_cast<char>(type);
  bytes_ += static_cast<char>(code);
  return *this;
}

Bytes& Bytes::U32(uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes_ += static_cast<char>((v >> (8 * i)) & 0xFF);
  return *this;
}

Bytes& Bytes::Int(int32_t v) { return U32(static_cast<uint32_t>(v)); }

Bytes& Bytes::Str(const std::string& s) {
  U32(static_cast<uint32_t>(s.size()));
  bytes_ += s;
  return *this;
}

Bytes& Bytes::Raw(const std::string& s) {
  bytes_ += s;
  return *this;
}

std::string VersionBytes(float version) {
  uint32_t bits;
  std::memcpy(&bits, &version, 4);
  return Bytes().Header(1, 11).U32(bits).str();
}
std::string NameBytes(const std::string& name) { return Bytes().Header(1, 16).Str(name).str(); }
std::string PasswordBytes(const std::string& password) { return Bytes().Header(1, 13).Str(password).str(); }
std::string ControlBytes(uint8_t code) { return Bytes().Header(1, code).str(); }
std::string ControlA3Bytes(uint8_t code, int32_t a3) { return Bytes().Header(1, code).Int(a3).str(); }

RawPeer::~RawPeer() { Close(); }

bool RawPeer::Connect(uint16_t port, int timeoutMs) {
  Close();
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  int one = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (receiveBuffer > 0) setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return true;
  if (errno != EINPROGRESS) {
    Close();
    return false;
  }
  const int64_t end = NowMs() + timeoutMs;
  while (NowMs() < end) {
    if (pump_) pump_();
    pollfd p{fd_, POLLOUT, 0};
    if (poll(&p, 1, 1) == 1) {
      int err = 0;
      socklen_t len = sizeof err;
      getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
      if (err == 0) return true;
      break;
    }
  }
  Close();
  return false;
}

bool RawPeer::Send(const std::string& bytes) {
  size_t done = 0;
  const int64_t end = NowMs() + 5000;
  while (done < bytes.size() && fd_ >= 0) {
    const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (NowMs() > end) return false;
      if (pump_) pump_();
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, 1);
    } else {
      return false;
    }
  }
  return done == bytes.size();
}

void RawPeer::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool RawPeer::ReadSome(int waitMs) {
  if (fd_ < 0) return false;
  if (pump_) pump_();
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, waitMs) <= 0) return true;
  // Everything the socket holds now.
  for (;;) {
    char buf[8192];
    const ssize_t n = recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
      closedByServer = true;
      Close();
      break;
    }
    if (n < 0) break;
    inbox_.append(buf, static_cast<size_t>(n));
  }
  std::vector<net::NetMessage> out(1000);
  for (;;) {
    int32_t count = 0;
    const size_t used = net::UnpackMessages(reinterpret_cast<const uint8_t*>(inbox_.data()), inbox_.size(),
                                            out.data(), out.size(), count);
    inbox_.erase(0, used);
    for (int32_t i = 0; i < count; ++i) seen.push_back(out[static_cast<size_t>(i)]);
    if (count < static_cast<int32_t>(out.size())) break;
  }
  return fd_ >= 0;
}

bool RawPeer::WaitFor(uint32_t type, uint32_t code, net::NetMessage* out, int timeoutMs) {
  const int64_t end = NowMs() + timeoutMs;
  for (;;) {
    for (; next_ < seen.size(); ++next_) {
      if (seen[next_].type == type && seen[next_].code == code) {
        if (out) *out = seen[next_];
        ++next_;
        return true;
      }
    }
    if (NowMs() > end) return false;
    if (!ReadSome(1) && fd_ < 0) {
      // Whatever arrived before the close is still looked through once.
      for (; next_ < seen.size(); ++next_)
        if (seen[next_].type == type && seen[next_].code == code) {
          if (out) *out = seen[next_];
          ++next_;
          return true;
        }
      return false;
    }
  }
}

void RawPeer::Drain(int ms) {
  const int64_t end = NowMs() + ms;
  do {
    ReadSome(ms > 0 ? 1 : 0);
  } while (NowMs() < end && fd_ >= 0);
}

bool RawPeer::WaitClosed(int timeoutMs) {
  const int64_t end = NowMs() + timeoutMs;
  while (fd_ >= 0 && NowMs() < end) ReadSome(1);
  return fd_ < 0 && closedByServer;
}

int32_t RawPeer::Join(const std::string& name, const std::string& password, int timeoutMs) {
  if (!Send(NameBytes(name))) return -1;
  if (!WaitFor(1, 10, nullptr, timeoutMs)) return -1;
  Send(VersionBytes());
  if (!WaitFor(1, 12, nullptr, timeoutMs)) return -1;
  Send(PasswordBytes(password));
  net::NetMessage ok;
  if (!WaitFor(1, 5, &ok, timeoutMs)) return -1;
  return ok.a3;
}

std::vector<net::NetMessage> OfCode(const std::vector<net::NetMessage>& list, uint32_t type, uint32_t code) {
  std::vector<net::NetMessage> out;
  for (const net::NetMessage& m : list)
    if (m.type == type && m.code == code) out.push_back(m);
  return out;
}

}  // namespace nettest
