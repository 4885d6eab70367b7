#include "tests/tools/console_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>

extern char** environ;

namespace toolstest {

namespace {
using Clock = std::chrono::steady_clock;
int Left(Clock::time_point end) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return ms > 0 ? static_cast<int>(ms) : 0;
}
}  // namespace

bool ConsoleProcess::Start(const std::string& exe, const std::vector<std::pair<std::string, std::string>>& env) {
  int inPipe[2], outPipe[2];
  if (pipe(inPipe) != 0) return false;
  if (pipe(outPipe) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_addclose(&actions, inPipe[1]);
  posix_spawn_file_actions_addclose(&actions, outPipe[0]);
  std::vector<std::string> vars;
  for (char** e = environ; *e; ++e) vars.emplace_back(*e);
  for (const auto& [name, value] : env) vars.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& v : vars) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::string path = exe;
  char* argv[] = {path.data(), nullptr};
  const bool ok = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(inPipe[0]);
  close(outPipe[1]);
  in_ = inPipe[1];
  out_ = outPipe[0];
  if (!ok) pid_ = -1;
  signal(SIGPIPE, SIG_IGN);
  return ok;
}

ConsoleProcess::~ConsoleProcess() {
  if (pid_ > 0) WaitForExit(0);
  if (in_ >= 0) close(in_);
  if (out_ >= 0) close(out_);
}

void ConsoleProcess::Type(const std::string& bytes) {
  if (in_ >= 0 && write(in_, bytes.data(), bytes.size()) < 0) CloseInput();
}

void ConsoleProcess::CloseInput() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

bool ConsoleProcess::Pump(int timeoutMs) {
  if (out_ < 0) return false;
  pollfd p{out_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return true;
  char buf[4096];
  const ssize_t n = read(out_, buf, sizeof buf);
  if (n <= 0) {
    close(out_);
    out_ = -1;
    return false;
  }
  output_.append(buf, static_cast<size_t>(n));
  return true;
}

std::vector<std::string> ConsoleProcess::WaitForLines(size_t lines, int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (SplitLines(output_).size() < lines && Left(end) > 0 && Pump(Left(end))) {
  }
  return SplitLines(output_);
}

std::string ConsoleProcess::ReadToEnd(int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Left(end) > 0 && Pump(Left(end))) {
  }
  return output_;
}

int ConsoleProcess::WaitForExit(int timeoutMs) {
  if (pid_ <= 0) return -1;
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) break;
    if (Left(end) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      pid_ = -1;
      return -1;
    }
    usleep(2000);
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void ConsoleProcess::Signal(int sig) {
  if (pid_ > 0) kill(pid_, sig);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  return lines;
}

}  // namespace toolstest
