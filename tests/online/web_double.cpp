#include "tests/online/web_double.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sstream>

namespace onlinetest {

bool SeenRequest::HasHeader(const std::string& line) const {
  return std::find(headers.begin(), headers.end(), line) != headers.end();
}

WebDouble::WebDouble(Handler handler) : handler_(std::move(handler)) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  listen(listener_, 16);
  socklen_t len = sizeof addr;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread(&WebDouble::Serve, this);
}

WebDouble::~WebDouble() {
  stop_.store(true);
  thread_.join();
  close(listener_);
}

std::vector<SeenRequest> WebDouble::requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

void WebDouble::Serve() {
  while (!stop_.load()) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) continue;
    Respond(fd);
    close(fd);
  }
}

namespace {

// Reads until the headers and the body they announce are in (or the peer stops).
bool ReadRequest(int fd, SeenRequest* r, const std::atomic<bool>& stop) {
  std::string data;
  char buf[65536];
  size_t headerEnd = std::string::npos;
  size_t want = 0;
  while (!stop.load()) {
    if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + want) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    data.append(buf, static_cast<size_t>(n));
    if (headerEnd == std::string::npos && (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
      std::istringstream lines(data.substr(0, headerEnd));
      std::string line;
      std::getline(lines, line);
      std::istringstream first(line);
      first >> r->method >> r->target;
      while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        r->headers.push_back(line);
        if (strncasecmp(line.c_str(), "Content-Length:", 15) == 0) want = std::strtoul(line.c_str() + 15, nullptr, 10);
      }
    }
  }
  if (headerEnd == std::string::npos) return false;
  r->body = data.substr(headerEnd + 4, want);
  return true;
}

void SendAll(int fd, const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (n <= 0) return;
    at += static_cast<size_t>(n);
  }
}

}  // namespace

void WebDouble::Respond(int fd) {
  SeenRequest request;
  if (!ReadRequest(fd, &request, stop_)) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.push_back(request);
  }
  const CannedReply reply = handler_(request);
  if (reply.hang) {
    while (!stop_.load()) usleep(10000);
    return;
  }
  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + (reply.status < 300 ? " OK" : " Other") + "\r\n";
  if (!reply.location.empty()) head += "Location: " + reply.location + "\r\n";
  head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n";
  SendAll(fd, head + reply.body);
}

ScopedServiceHost::ScopedServiceHost(const std::string& host) { setenv("VELORIN_WEB_HOST", host.c_str(), 1); }
ScopedServiceHost::~ScopedServiceHost() { unsetenv("VELORIN_WEB_HOST"); }

}  // namespace onlinetest
