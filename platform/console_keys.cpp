#include "platform/console_keys.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace platform {

static_assert(sizeof(termios) <= 64, "the saved terminal settings must fit");

ConsoleKeys::ConsoleKeys() {
  terminal_ = isatty(STDIN_FILENO) == 1;
  if (!terminal_) return;
  termios t{};
  if (tcgetattr(STDIN_FILENO, &t) != 0) return;
  std::memcpy(saved_, &t, sizeof t);
  t.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  restore_ = tcsetattr(STDIN_FILENO, TCSANOW, &t) == 0;
}

ConsoleKeys::~ConsoleKeys() {
  if (!restore_) return;
  termios t{};
  std::memcpy(&t, saved_, sizeof t);
  tcsetattr(STDIN_FILENO, TCSANOW, &t);
}

int ConsoleKeys::Wait(int timeoutMs) {
  if (closed_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    return kClosed;
  }
  pollfd p{STDIN_FILENO, POLLIN, 0};
  const int ready = poll(&p, 1, timeoutMs);
  if (ready <= 0) return kNoKey;
  if (p.revents & POLLNVAL) {
    closed_ = true;
    return kClosed;
  }
  unsigned char byte = 0;
  const ssize_t n = read(STDIN_FILENO, &byte, 1);
  if (n == 1) return byte;
  if (n == 0 && !terminal_) closed_ = true;  // end of a pipe or file
  if (n < 0 && errno != EINTR && errno != EAGAIN) closed_ = true;
  return closed_ ? kClosed : kNoKey;
}

void ConsolePause() {
  std::fputs("Press any key to continue . . . ", stdout);
  std::fflush(stdout);
  if (isatty(STDIN_FILENO) != 1) {
    std::fputc('\n', stdout);
    std::fflush(stdout);
    return;
  }
  ConsoleKeys keys;
  while (keys.Wait(1000) == ConsoleKeys::kNoKey) {
  }
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace platform
