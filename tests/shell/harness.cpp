#include "tests/shell/harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/threads.h"

namespace shelltest {

void GameRun::Run(std::vector<std::string> args, const std::function<void()>& during, int timeoutMs) {
  args.insert(args.begin(), "/opt/velorin/velorin");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  platform::ClearNamedMutexes();
  platform::gfx::Framework::ResetCloseRequest();

  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(m);
    if (!cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done; })) {
      std::fprintf(stderr, "the game did not end within %d ms: a hang\n", timeoutMs);
      std::abort();
    }
  });
  std::thread helper;
  if (during) helper = std::thread(during);
  const auto start = std::chrono::steady_clock::now();
  exitCode = shell::RunGame(static_cast<int>(argv.size()), argv.data(), framework, MakeServices(world),
                            [this](const std::string& exe) {
                              relaunched.push_back(exe);
                              return true;
                            });
  elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  if (helper.joinable()) helper.join();
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_all();
  watchdog.join();
}

void WriteConfig(const testsupport::TempDir& dir, const std::vector<std::pair<std::string, std::string>>& values) {
  std::string text;
  for (const auto& [k, v] : values) text += k + " = \"" + v + "\"\r\n";
  dir.WriteUtf16("settings/config.ini", text);
}

int FindLog(const std::vector<std::string>& lines, const std::string& prefix, int from) {
  for (int i = std::max(from, 0); i < static_cast<int>(lines.size()); ++i)
    if (lines[static_cast<size_t>(i)].rfind(prefix, 0) == 0) return i;
  return -1;
}

void InstallShellCallbacks(platform::gfx::Framework& fw) {
  platform::gfx::FrameworkCallbacks cb;
  cb.deviceCreated = shell::OnCreateDevice;
  cb.deviceReset = shell::OnResetDevice;
  cb.frameRender = shell::OnFrameRender;
  cb.deviceLost = shell::OnLostDevice;
  cb.deviceDestroyed = shell::OnDestroyDevice;
  cb.msgProc = shell::MsgProc;
  cb.frameMove = shell::OnFrameMove;
  cb.modifyDeviceSettings = shell::ModifyDeviceSettings;
  fw.SetCallbacks(std::move(cb));
}

}  // namespace shelltest
