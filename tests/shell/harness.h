// Runs the game's entry in this process on the null framework with recording
// services, under a time-out: a run that does not end in time aborts the test
// program with a message (a hang must fail, not stall the suite).
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/shell/shell.h"
#include "platform/gfx/framework.h"
#include "tests/shell/fake_services.h"
#include "tests/support/test_support.h"

namespace shelltest {

struct GameRun {
  FakeWorld world;
  platform::gfx::NullFramework framework;
  std::vector<std::string> relaunched;
  int exitCode = -1;
  long long elapsedMs = 0;

  // Runs RunGame with the arguments (argument 0 added); `during` runs on a thread
  // of its own while the game runs (it usually ends with a close request).
  void Run(std::vector<std::string> args, const std::function<void()>& during, int timeoutMs = 20000);
};

// Writes a settings file with these lines (KEY = "value") into the temp folder.
void WriteConfig(const testsupport::TempDir& dir, const std::vector<std::pair<std::string, std::string>>& values);

// Index of the first log text starting with the prefix at or after `from`, or -1.
int FindLog(const std::vector<std::string>& lines, const std::string& prefix, int from = 0);

// Framework callbacks as the entry sets them, for tests that drive the shell
// without the entry.
void InstallShellCallbacks(platform::gfx::Framework& framework);

}  // namespace shelltest
