#include "net/online/server_list.h"

#include <cctype>
#include <cmath>
#include <vector>

#include "core/log.h"
#include "core/version.h"
#include "platform/online/http.h"
#include "platform/text.h"

namespace net::online {

namespace {

// The longest text a listed field keeps; the screen shows much less.
constexpr size_t kMaxFieldText = 256;

// Commas and line breaks would shift or add fields in every reader's list.
std::string ListSafe(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c == ',' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return out;
}

// The form encoding: letters, digits and "*-._" as they are, a space as '+', every
// other byte as %XX.
std::string FormEncode(const std::string& text) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '*' || c == '-' || c == '.' || c == '_') out += static_cast<char>(c);
    else if (c == ' ') out += '+';
    else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// A listed text without control bytes, at most kMaxFieldText bytes.
std::string Sanitised(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (out.size() >= kMaxFieldText) break;
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) out += c;
  }
  return out;
}

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

}  // namespace

bool ServerInfo::Parse(const std::string& line) {
  const std::vector<std::string> f = SplitFields(line);
  auto field = [&](size_t i) -> const std::string* { return i < f.size() ? &f[i] : nullptr; };
  if (auto* v = field(0)) state = platform::AtoI(*v);
  if (auto* v = field(1)) name = Sanitised(*v);
  if (auto* v = field(2)) ip = *v;
  if (auto* v = field(3)) port = platform::AtoI(*v);
  if (auto* v = field(4)) playerCount = platform::AtoI(*v);
  if (auto* v = field(5)) {
    const double d = platform::StrToD(*v);
    version = std::isfinite(d) ? static_cast<float>(d) : 0.0f;
  }
  if (auto* v = field(6)) passwordProtected = *v == "1";
  if (auto* v = field(7)) description = Sanitised(*v);
  if (auto* v = field(8)) playerLimit = platform::AtoI(*v);
  if (auto* v = field(9)) currentSong = Sanitised(*v);
  if (auto* v = field(10)) location = platform::AtoI(*v);
  if (auto* v = field(11)) players = Sanitised(*v);
  // The screen connects to what a line names: only a plain address and a real port.
  return platform::online::IsDottedIPv4(ip) && port >= 1 && port <= 65535;
}

std::string RegistrationBody(const ServerRegistration& r) {
  auto text = [](const std::string& s) { return FormEncode(ListSafe(s)); };
  return "name=" + text(r.name) + "&port=" + std::to_string(r.port) + "&state=" + std::to_string(r.state) +
         "&playercount=" + std::to_string(r.playerCount) + "&version=" + platform::FormatNumber(r.version) +
         "&pwprotected=" + (r.passwordProtected ? "1" : "0") + "&description=" + text(r.description) +
         "&playerlimit=" + std::to_string(r.playerLimit) + "&currentsong=" + text(r.currentSong) +
         "&location=" + std::to_string(r.location) + "&players=" + text(r.players);
}

void ServerList::Register(const ServerRegistration& r) {
  connection.options.maxBodyBytes = 2000;  // "[added]" or "[updated]": either way the server goes on
  if (!connection.Request("/online/vl_server.php?page=2", RegistrationBody(r), true))
    LogNarrow("Could NOT Handshake Server Post");
}

int ServerList::Download(std::unique_ptr<ServerInfo>* head) {
  head->reset();
  connection.options.maxBodyBytes = kMaxListReply;
  const std::string path = "/online/vl_server.php?page=1&c_version=" + platform::FormatNumber(kGameVersion);
  if (!connection.Request(path, std::string(), false)) {
    LogNarrow("Could NOT Handshake Serverlist");
    return 0;
  }
  return ParseList(connection.reply(), head);
}

int ServerList::ParseList(const std::string& reply, std::unique_ptr<ServerInfo>* head) {
  head->reset();
  std::unique_ptr<ServerInfo>* tail = head;
  int count = 0;
  bool started = false;
  bool overlong = false;
  std::string line;
  for (char c : reply) {
    if (c == '\r') continue;
    if (c != '\n') {
      // A line past the cap is dropped whole when it ends.
      if (line.size() < kMaxListLine) line += c;
      else overlong = true;
      continue;
    }
    if (started && line.size() > 5 && !overlong && count < kMaxListedServers) {
      auto server = std::make_unique<ServerInfo>();
      if (server->Parse(line)) {
        *tail = std::move(server);
        tail = &(*tail)->next;
        ++count;
      }
    } else if (!started && line.find("[start]") != std::string::npos) {
      started = true;
    }
    line.clear();
    overlong = false;
  }
  return count;
}

}  // namespace net::online
