// The online version check: at start-up, when UPDATECHECK is on, one short-lived
// thread asks the web service for the newest version and three lines about it. When
// the answer names a version greater than the game's own, the menus show a message
// box whose confirm opens the answer's web page.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace net::online {

// What a reply of the service says. A missing opening tag leaves a field empty (and is
// logged); a missing closing tag takes the rest of the reply.
struct VersionReply {
  float version = 0;  // 0 when the reply names none (or names no finite number)
  std::string info1, info2, info3, url;
};
// The reply is read as the service sent it, cut at 1000 bytes first.
VersionReply ParseVersionReply(std::string reply);

// A page the confirm may open: http or https, printable ASCII without spaces or
// quotes, at most 1024 characters. Anything else (a local file, a script address)
// is refused, since the reply comes over plain HTTP and could be forged.
bool IsSafeDownloadUrl(const std::string& url);

class VersionInfo {
 public:
  VersionInfo() = default;
  ~VersionInfo();
  VersionInfo(const VersionInfo&) = delete;
  VersionInfo& operator=(const VersionInfo&) = delete;

  // Waits for a check that still runs, clears the fields and starts a check.
  bool StartCheck();
  // Cancels a check that still runs and waits for its thread, which a cancel ends
  // at once. Nothing happens when no check runs.
  void Stop();
  // The check as the thread runs it (also callable directly).
  void RunCheck();

  bool running() const { return running_.load(); }
  bool done() const { return done_.load(); }
  void ClearDone() { done_.store(false); }
  // Read only once done() is true.
  const VersionReply& result() const { return result_; }
  // True once done when the service names a version greater than the game's.
  bool NewerAvailable() const;
  // Opens the result's page in the user's browser when it is a safe address; false
  // (and a log line) otherwise.
  bool OpenDownloadPage() const;

 private:
  VersionReply result_;
  std::atomic<bool> running_{false};
  std::atomic<bool> done_{false};
  std::atomic<bool> cancel_{false};
  std::thread thread_;
};

}  // namespace net::online
