// Keys typed on standard input for the console programs: one byte at a time, without
// waiting for Enter. While a ConsoleKeys lives, a terminal on standard input is put in
// non-canonical mode without echo and restored afterwards; a pipe or file is read as
// it is. Nothing here waits longer than asked, so a program with nobody at the
// keyboard never blocks on it.
#pragma once

namespace platform {

class ConsoleKeys {
 public:
  static constexpr int kNoKey = -1;   // nothing typed within the time
  static constexpr int kClosed = -2;  // standard input has ended (or is not open)
  static constexpr int kEscape = 0x1B;

  ConsoleKeys();
  ~ConsoleKeys();
  ConsoleKeys(const ConsoleKeys&) = delete;
  ConsoleKeys& operator=(const ConsoleKeys&) = delete;

  // The next byte typed within timeoutMs, kNoKey, or kClosed. Once standard input
  // has ended this only sleeps for the time and answers kClosed.
  int Wait(int timeoutMs);
  bool IsTerminal() const { return terminal_; }

 private:
  bool terminal_ = false;
  bool closed_ = false;
  bool restore_ = false;
  unsigned char saved_[64] = {};  // the terminal's settings before, as the system keeps them
};

// The pause at the end of a console program: prints "Press any key to continue . . . "
// and waits for one key when standard input is a terminal; a pipe or a closed input
// does not wait.
void ConsolePause();

}  // namespace platform
