// A stand-in for the game's web service on the loopback: it records every request
// and answers each with what the test's handler says, including the ways a real
// service fails (slow, silent, huge, redirecting).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace onlinetest {

struct SeenRequest {
  std::string method;  // "GET" or "POST"
  std::string target;  // path and query
  std::vector<std::string> headers;
  std::string body;
  bool HasHeader(const std::string& line) const;
};

struct CannedReply {
  int status = 200;
  std::string body;
  std::string location;  // a redirect's target, with status 302
  bool hang = false;     // accept, read, then answer nothing until the double ends
};

// A plain answer with a status and a body.
inline CannedReply Answer(int status, std::string body) {
  CannedReply r;
  r.status = status;
  r.body = std::move(body);
  return r;
}

class WebDouble {
 public:
  using Handler = std::function<CannedReply(const SeenRequest&)>;
  explicit WebDouble(Handler handler);
  ~WebDouble();
  // "127.0.0.1:<port>", for VELORIN_WEB_HOST.
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  std::vector<SeenRequest> requests();

 private:
  void Serve();
  void Respond(int fd);

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<SeenRequest> seen_;
  std::thread thread_;
};

// Points the game's service host at the double while it lives.
class ScopedServiceHost {
 public:
  explicit ScopedServiceHost(const std::string& host);
  ~ScopedServiceHost();
};

}  // namespace onlinetest
