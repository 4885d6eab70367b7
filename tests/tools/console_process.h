// Runs a built console program as a person would in a terminal window: its standard
// input is a pipe the test types into, and its standard output is collected.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace toolstest {

class ConsoleProcess {
 public:
  // Starts `exe` with the extra environment variables; false when it cannot start.
  bool Start(const std::string& exe, const std::vector<std::pair<std::string, std::string>>& env);
  ~ConsoleProcess();

  void Type(const std::string& bytes);
  void CloseInput();
  // Reads output until it holds `lines` complete lines or the time runs out; the
  // lines read so far either way.
  std::vector<std::string> WaitForLines(size_t lines, int timeoutMs);
  // Everything printed until the program ends (or the time runs out).
  std::string ReadToEnd(int timeoutMs);
  // The exit code, 128 + the signal, or -1 when it had not ended in time (then killed).
  int WaitForExit(int timeoutMs);
  void Signal(int sig);

 private:
  bool Pump(int timeoutMs);  // false at the end of the output
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string output_;
};

std::vector<std::string> SplitLines(const std::string& text);

}  // namespace toolstest
