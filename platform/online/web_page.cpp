#include "platform/online/web_page.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

extern char** environ;

namespace platform::online {

namespace {

std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

}  // namespace

bool OpenWebPage(const std::string& url) {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((!x || !*x) && (!wayland || !*wayland)) return false;
  std::string opener = FindOnPath("xdg-open");
  if (opener.empty()) return false;
  std::string address = url;
  char* argv[] = {opener.data(), address.data(), nullptr};
  // The opener runs detached: an intermediate child starts it and ends at once, so
  // nothing is left for the game to wait for.
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    if (fork() == 0) {
      setsid();
      execve(argv[0], argv, environ);
      _exit(127);
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return true;
}

}  // namespace platform::online
