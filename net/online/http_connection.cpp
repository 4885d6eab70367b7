#include "net/online/http_connection.h"

#include "core/log.h"

namespace net::online {

namespace {
constexpr const char* kRequestAgent = "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";
constexpr const char* kFetchAgent = "Some USER-AGENT";
}  // namespace

std::string ServiceUrl(const std::string& path) { return "http://" + platform::online::ServiceHost() + path; }

bool HttpConnection::Request(const std::string& path, const std::string& body, bool post) {
  platform::online::HttpRequest request;
  request.post = post;
  request.url = ServiceUrl(path);
  request.body = body;
  request.userAgent = kRequestAgent;
  request.headers = {"Accept: */*", "Connection: close", "Content-Type: application/x-www-form-urlencoded"};
  // A GET has no body, yet says so as the service expects.
  if (!post) request.headers.push_back("Content-Length: " + std::to_string(body.size()));
  platform::online::HttpReply reply = platform::online::HttpFetch(request, options);
  reply_.clear();
  switch (reply.failure) {
    case platform::online::HttpFailure::kNone:
      reply_ = std::move(reply.body);
      return true;
    case platform::online::HttpFailure::kResolve:
      LogNarrow("Could NOT Resolve Hostname");
      return false;
    case platform::online::HttpFailure::kSocket:
      LogNarrow("Could NOT Set Socket");
      return false;
    default:
      LogNarrow("Could NOT Connect To Socket");
      return false;
  }
}

std::string FetchServicePage(const std::string& path, size_t maxBytes, const std::atomic<bool>* cancel) {
  platform::online::HttpRequest request;
  request.url = ServiceUrl(path);
  request.userAgent = kFetchAgent;
  request.noCache = true;
  platform::online::HttpOptions options;
  options.maxBodyBytes = maxBytes;
  options.maxRedirects = 5;
  options.cancel = cancel;
  platform::online::HttpReply reply = platform::online::HttpFetch(request, options);
  // An error page is no answer.
  return reply.ok() && reply.status >= 200 && reply.status < 300 ? reply.body : std::string();
}

std::string GetPublicIP() {
  std::string text = FetchServicePage("/online/ip.php", 15);
  text = text.substr(0, text.find('\0'));
  return platform::online::IsDottedIPv4(text) ? text : std::string();
}

}  // namespace net::online
