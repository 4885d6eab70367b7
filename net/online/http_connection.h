// The two ways the game asks its web service for something: a request whose reply the
// caller reads whole (server-list registration and download), and a plain page fetch
// (the public address, the version check). Both go to the service host of the build
// (platform::online::ServiceHost) and are bounded in time and size, so a service that
// stalls delays only the line on screen that waits for it.
#pragma once

#include <atomic>
#include <string>

#include "platform/online/http.h"

namespace net::online {

class HttpConnection {
 public:
  // Sends a GET or (post) a POST of the form-encoded body to the path (with any query)
  // and reads the reply. False, with one log line ("Could NOT Resolve Hostname",
  // "Could NOT Connect To Socket" or "Could NOT Set Socket"), when no reply came.
  bool Request(const std::string& path, const std::string& body, bool post);
  // The reply of the last request that succeeded (its body: status line and headers
  // are not part of it), at most the cap.
  const std::string& reply() const { return reply_; }

  platform::online::HttpOptions options;  // time-outs, cap, cancel flag

 private:
  std::string reply_;
};

// "http://" + the service host + path.
std::string ServiceUrl(const std::string& path);

// The first `maxBytes` of a page of the service ("" when it cannot be fetched), as a
// fresh copy, following up to five redirects.
std::string FetchServicePage(const std::string& path, size_t maxBytes, const std::atomic<bool>* cancel = nullptr);

// The caller's public IPv4 address as the service sees it; "" unless the service
// answered with a dotted IPv4 address (at most 15 characters are read).
std::string GetPublicIP();

}  // namespace net::online
