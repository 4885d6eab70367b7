// Non-blocking IPv4 TCP sockets as the game server and client use them: a listener
// that takes connections without waiting, a connect with a time-out, sends and
// receives that never block, and error numbers in the form the network log lines
// print. A socket is an int handle; kNoSocket means none (0 is a valid handle).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::net {

constexpr int kNoSocket = -1;

// Makes a write to a closed peer an error instead of a signal that ends the process.
// Safe to call more than once.
void IgnoreBrokenPipe();

// Why opening a listener failed.
enum class ListenError { kNone, kSocket, kBind };

// A non-blocking listener on every IPv4 address at the port (address reuse on, no
// delay for small writes); kNoSocket with the reason on failure.
int Listen(uint16_t port, ListenError& error);

// Takes one pending connection, already non-blocking with the small-write delay off;
// kNoSocket when none waits.
int Accept(int listener);

enum class ConnectError { kNone, kSocket, kResolve, kConnect };

// Resolves the host (IPv4 only) and connects within the time-out; the socket is
// non-blocking with the small-write delay off. kNoSocket with the reason on failure.
int Connect(const std::string& host, uint16_t port, int timeoutMs, ConnectError& error);

// The result of one send or receive.
struct IoResult {
  enum Kind { kDone, kWouldBlock, kClosed, kError } kind = kDone;
  size_t bytes = 0;
  int error = 0;  // the error number as the log lines print it
};

// One non-blocking send of at most `length` bytes; kDone may have sent only part.
IoResult Send(int socket, const void* data, size_t length);
// One non-blocking receive; kClosed when the peer has closed its side.
IoResult Receive(int socket, void* data, size_t capacity);

// Shuts both directions down and closes; nothing for kNoSocket.
void Close(int socket);

// Waits up to `timeoutMs` until one of the sockets has something to read (or, for a
// listener, a connection waiting). Handles of kNoSocket are skipped.
void WaitReadable(const int* sockets, size_t count, int timeoutMs);

// The local port a socket is bound to; 0 when unknown.
uint16_t LocalPort(int socket);

}  // namespace platform::net
