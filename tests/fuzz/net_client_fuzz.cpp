// Any bytes from a server into the game client's receive path: the frame step must
// return, handle only whole messages, and end the connection cleanly on a stream
// that cannot be messages; the next input connects again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/log.h"
#include "net/client/game_client.h"
#include "platform/net/socket.h"
#include "platform/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int listener = -1;
  static uint16_t port = 0;
  static net::GameClient* client = [] {
    // In the temporary folder the run names (TMPDIR), which the fuzz run removes after.
    const std::string f =
        (std::filesystem::temp_directory_path() / ("velorin_netclifuzz_" + std::to_string(::getpid()))).string();
    platform::MakeDirectories(f);
    SetLogFolder(platform::PathFromNative(f));
    std::freopen("/dev/null", "w", stdout);
    for (port = 42000; port < 42100 && listener < 0; ++port) {
      platform::net::ListenError e;
      listener = platform::net::Listen(port, e);
      if (listener >= 0) break;
    }
    auto* c = new net::GameClient;
    c->SetMessageHandler([](const net::NetMessage& m) {
      if (m.type != 2) std::abort();
    });
    return c;
  }();
  static int peer = -1;
  if (!client->Connected()) {
    platform::net::Close(peer);
    peer = -1;
    if (!client->Connect(port, "127.0.0.1")) return 0;
    for (int i = 0; i < 1000 && peer < 0; ++i) peer = platform::net::Accept(listener);
    if (peer < 0) return 0;
  }
  platform::net::Send(peer, data, size);
  for (int i = 0; i < 4 && client->Connected(); ++i) client->Receive();
  char sink[4096];
  while (platform::net::Receive(peer, sink, sizeof sink).kind == platform::net::IoResult::kDone) {
  }
  if (client->OwnId() < -1 || client->OwnId() >= 20) std::abort();
  return 0;
}
