#include "net/online/version_info.h"

#include <cmath>

#include "core/log.h"
#include "core/version.h"
#include "net/online/http_connection.h"
#include "platform/online/web_page.h"
#include "platform/text.h"

namespace net::online {

namespace {

constexpr size_t kReplyBytes = 1000;

// The text between the first opening tag and the first closing tag after it (the rest
// of the reply when there is none); false when the opening tag is missing.
bool TagText(const std::string& reply, const std::string& name, std::string* out) {
  const std::string open = "<" + name + ">";
  const size_t start = reply.find(open);
  if (start == std::string::npos) return false;
  const size_t from = start + open.size();
  const size_t end = reply.find("</" + name + ">", from);
  *out = reply.substr(from, end == std::string::npos ? std::string::npos : end - from);
  return true;
}

}  // namespace

VersionReply ParseVersionReply(std::string reply) {
  if (reply.size() > kReplyBytes) reply.resize(kReplyBytes);
  VersionReply r;
  std::string text;
  if (TagText(reply, "version", &text)) {
    const double v = platform::StrToD(text);
    r.version = std::isfinite(v) ? static_cast<float>(v) : 0.0f;
  } else {
    LogNarrow("Could Not Find Latest Version Tag");
  }
  struct Field {
    const char* tag;
    std::string* into;
    const char* missing;
  };
  const Field fields[] = {{"info_1", &r.info1, "Could Not Find Info_1 Tag"},
                          {"info_2", &r.info2, "Could Not Find Info_2 Tag"},
                          {"info_3", &r.info3, "Could Not Find Info_3 Tag"},
                          {"url", &r.url, "Could Not Find URL Tag"}};
  for (const Field& f : fields)
    if (!TagText(reply, f.tag, f.into)) LogNarrow(f.missing);
  return r;
}

bool IsSafeDownloadUrl(const std::string& url) {
  if (url.size() > 1024) return false;
  if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) return false;
  for (char c : url)
    if (c <= ' ' || c > '~' || c == '"' || c == '\'' || c == '`' || c == '\\') return false;
  return true;
}

VersionInfo::~VersionInfo() { Stop(); }

void VersionInfo::Stop() {
  if (!thread_.joinable()) return;
  cancel_.store(true);
  thread_.join();
}

bool VersionInfo::StartCheck() {
  if (thread_.joinable()) thread_.join();  // a check that still runs ends first
  result_ = VersionReply();
  done_.store(false);
  cancel_.store(false);
  running_.store(true);
  thread_ = std::thread([this] {
    RunCheck();
    running_.store(false);
    done_.store(true);
  });
  return true;
}

void VersionInfo::RunCheck() {
  const std::string path = "/online/version.php?cver=" + platform::FormatNumber(kGameVersion);
  const std::string reply = FetchServicePage(path, kReplyBytes, &cancel_);
  // No reply at all is not a reply without tags: nothing to say.
  if (reply.empty()) return;
  result_ = ParseVersionReply(reply);
  if (result_.version > kGameVersion)
    LogNarrow("New Version Available: " + platform::FormatNumber(result_.version) + " " + result_.url);
}

bool VersionInfo::NewerAvailable() const { return done() && result_.version > kGameVersion; }

bool VersionInfo::OpenDownloadPage() const {
  if (!IsSafeDownloadUrl(result_.url)) {
    LogNarrow("Version Check: Download Address Refused: Not A Web Address");
    return false;
  }
  return platform::online::OpenWebPage(result_.url);
}

}  // namespace net::online
