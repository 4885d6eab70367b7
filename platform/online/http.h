// Requests to the game's web service over HTTP, through libcurl. Every request is
// bounded: a connect time-out, a total time-out, a cap on the reply's size and on
// redirects, and an optional cancel flag that ends it at once (a program that exits
// never waits for a stalled service). Only http and https are spoken.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace platform::online {

struct HttpOptions {
  long connectTimeoutMs = 5000;
  long totalTimeoutMs = 10000;
  size_t maxBodyBytes = 1 << 20;  // more is cut here and flagged
  long maxRedirects = 0;          // 0: a redirect is the answer itself
  const std::atomic<bool>* cancel = nullptr;
};

struct HttpRequest {
  bool post = false;
  std::string url;
  std::string body;                  // sent as is; its length is the Content-Length
  std::vector<std::string> headers;  // "Name: value", in order
  std::string userAgent;
  bool noCache = false;  // ask caches between here and the service for a fresh copy
};

enum class HttpFailure { kNone, kResolve, kConnect, kSocket, kTimeOut, kCancelled, kOther };

struct HttpReply {
  HttpFailure failure = HttpFailure::kNone;  // kNone: a reply arrived (any status)
  long status = 0;
  std::string body;  // at most maxBodyBytes
  bool truncated = false;
  std::string error;  // libcurl's words, for a log line
  bool ok() const { return failure == HttpFailure::kNone; }
};

// libcurl's set-up, and with it the TLS library's, which registers its own clean-up
// to run at exit. Called on the main thread before any request thread starts, that
// clean-up runs after every object made later is gone, never under a request still
// running. HttpFetch calls it too; the second call does nothing.
void StartHttp();

HttpReply HttpFetch(const HttpRequest& request, const HttpOptions& options);

// True for a dotted IPv4 address ("203.0.113.7"), nothing more or less.
bool IsDottedIPv4(const std::string& text);

// The web service's host (with ":port" when not 80): VELORIN_WEB_HOST from the
// environment when set, else the host the build was configured with.
std::string ServiceHost();

}  // namespace platform::online
