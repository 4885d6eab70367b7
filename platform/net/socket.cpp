#include "platform/net/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace platform::net {
namespace {

// The numbers the log lines have always printed for the common socket errors.
int ErrorNumber(int err) {
  switch (err) {
    case EWOULDBLOCK: return 10035;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: return 10055;
    case ENOTCONN: return 10057;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case EHOSTUNREACH: return 10065;
    case EPIPE: return 10054;
    default: return err;
  }
}

void NoDelay(int fd) {
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool NonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL, 0);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

void IgnoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

int Listen(uint16_t port, ListenError& error) {
  error = ListenError::kNone;
  IgnoreBrokenPipe();
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    error = ListenError::kSocket;
    return kNoSocket;
  }
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, SOMAXCONN) != 0) {
    close(fd);
    error = ListenError::kBind;
    return kNoSocket;
  }
  NoDelay(fd);
  return fd;
}

int Accept(int listener) {
  if (listener == kNoSocket) return kNoSocket;
  for (;;) {
    const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      NoDelay(fd);
      int one = 1;
      setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
      return fd;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    return kNoSocket;
  }
}

int Connect(const std::string& host, uint16_t port, int timeoutMs, ConnectError& error) {
  error = ConnectError::kNone;
  IgnoreBrokenPipe();
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    error = ConnectError::kSocket;
    return kNoSocket;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
    if (found) freeaddrinfo(found);
    close(fd);
    error = ConnectError::kResolve;
    return kNoSocket;
  }
  sockaddr_in address{};
  std::memcpy(&address, found->ai_addr, sizeof address);
  freeaddrinfo(found);
  address.sin_port = htons(port);

  int result = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  if (result != 0 && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    int ready;
    do {
      ready = poll(&p, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    int err = ETIMEDOUT;
    socklen_t len = sizeof err;
    if (ready == 1) getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    result = err == 0 ? 0 : -1;
  }
  if (result != 0) {
    close(fd);
    error = ConnectError::kConnect;
    return kNoSocket;
  }
  NonBlocking(fd);
  NoDelay(fd);
  return fd;
}

IoResult Send(int socket, const void* data, size_t length) {
  IoResult r;
  if (length == 0) return r;
  for (;;) {
    const ssize_t n = send(socket, data, length, MSG_NOSIGNAL);
    if (n >= 0) {
      r.bytes = static_cast<size_t>(n);
      return r;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      r.kind = IoResult::kWouldBlock;
    } else {
      r.kind = IoResult::kError;
      r.error = ErrorNumber(errno);
    }
    return r;
  }
}

IoResult Receive(int socket, void* data, size_t capacity) {
  IoResult r;
  for (;;) {
    const ssize_t n = recv(socket, data, capacity, 0);
    if (n > 0) {
      r.bytes = static_cast<size_t>(n);
      return r;
    }
    if (n == 0) {
      r.kind = IoResult::kClosed;
      return r;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      r.kind = IoResult::kWouldBlock;
    } else {
      r.kind = IoResult::kError;
      r.error = ErrorNumber(errno);
    }
    return r;
  }
}

void Close(int socket) {
  if (socket == kNoSocket) return;
  shutdown(socket, SHUT_RDWR);
  close(socket);
}

void WaitReadable(const int* sockets, size_t count, int timeoutMs) {
  std::vector<pollfd> fds;
  fds.reserve(count);
  for (size_t i = 0; i < count; ++i)
    if (sockets[i] != kNoSocket) fds.push_back(pollfd{sockets[i], POLLIN, 0});
  poll(fds.data(), fds.size(), timeoutMs);
}

uint16_t LocalPort(int socket) {
  sockaddr_in address{};
  socklen_t len = sizeof address;
  if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &len) != 0) return 0;
  return ntohs(address.sin_port);
}

}  // namespace platform::net
