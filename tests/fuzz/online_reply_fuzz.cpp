// Replies of the web service, as a forged or broken service could send them: the
// version check's tags and the server list.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/log.h"
#include "net/online/server_list.h"
#include "net/online/version_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    SetLogEcho(false);
    SetLogFolder(u"/nonexistent-fuzz-log-folder");
    return true;
  }();
  (void)quiet;
  const std::string reply(reinterpret_cast<const char*>(data), size);
  net::online::ParseVersionReply(reply);
  std::unique_ptr<net::online::ServerInfo> head;
  const int n = net::online::ServerList::ParseList(reply, &head);
  int walked = 0;
  for (const net::online::ServerInfo* s = head.get(); s; s = s->next.get()) ++walked;
  if (walked != n || n > net::online::kMaxListedServers) __builtin_trap();
  return 0;
}
