#include "platform/online/http.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <cstdlib>
#include <mutex>

namespace platform::online {

namespace {

struct Sink {
  std::string* body;
  size_t cap;
  bool truncated = false;
};

size_t Write(char* data, size_t size, size_t count, void* user) {
  Sink* sink = static_cast<Sink*>(user);
  const size_t n = size * count;
  const size_t room = sink->cap > sink->body->size() ? sink->cap - sink->body->size() : 0;
  if (n > room) {
    sink->body->append(data, room);
    sink->truncated = true;
    return 0;  // ends the transfer: the cap is reached
  }
  sink->body->append(data, n);
  return n;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* cancel = static_cast<const std::atomic<bool>*>(user);
  return cancel && cancel->load() ? 1 : 0;
}

HttpFailure FailureOf(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return HttpFailure::kResolve;
    case CURLE_COULDNT_CONNECT:
      return HttpFailure::kConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return HttpFailure::kTimeOut;
    case CURLE_ABORTED_BY_CALLBACK:
      return HttpFailure::kCancelled;
    case CURLE_FAILED_INIT:
    case CURLE_OUT_OF_MEMORY:
      return HttpFailure::kSocket;
    default:
      return HttpFailure::kOther;
  }
}

}  // namespace

void StartHttp() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpReply HttpFetch(const HttpRequest& request, const HttpOptions& options) {
  StartHttp();
  HttpReply reply;
  CURL* curl = curl_easy_init();
  if (!curl) {
    reply.failure = HttpFailure::kSocket;
    reply.error = "no transfer handle";
    return reply;
  }
  curl_slist* headers = nullptr;
  for (const std::string& h : request.headers) headers = curl_slist_append(headers, h.c_str());
  if (request.noCache) {
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
  }
  // libcurl adds "Expect: 100-continue" to larger POSTs; the service expects none.
  headers = curl_slist_append(headers, "Expect:");
  Sink sink{&reply.body, options.maxBodyBytes};
  curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // time-outs without signals: safe on any thread
#if LIBCURL_VERSION_NUM >= 0x075700
  // A cancelled request returns at once instead of waiting for a name look-up that
  // has not answered (up to the resolver's own time-outs, ten seconds or more); the
  // look-up's thread ends on its own.
  curl_easy_setopt(curl, CURLOPT_QUICK_EXIT, 1L);
#endif
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, options.totalTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, options.maxRedirects > 0 ? 1L : 0L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, options.maxRedirects);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Write);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(options.cancel));
  if (!request.userAgent.empty()) curl_easy_setopt(curl, CURLOPT_USERAGENT, request.userAgent.c_str());
  if (request.post) {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  }
  const CURLcode code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  reply.truncated = sink.truncated;
  // A reply cut at the cap is still a reply: the caller reads what fits.
  if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && sink.truncated)) {
    reply.failure = FailureOf(code);
    reply.error = curl_easy_strerror(code);
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return reply;
}

bool IsDottedIPv4(const std::string& text) {
  in_addr parsed{};
  return inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

std::string ServiceHost() {
  const char* host = std::getenv("VELORIN_WEB_HOST");
  if (host && *host) return host;
  return VELORIN_DEFAULT_WEB_HOST;
}

}  // namespace platform::online
