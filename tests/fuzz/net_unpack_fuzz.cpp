// Network bytes into messages: the unpacker must stay inside the run and the record
// array, and every message it yields must pack back to the bytes it came from.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <filesystem>
#include <vector>

#include "core/log.h"
#include "net/protocol/net_message.h"
#include "platform/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    // In the temporary folder the run names (TMPDIR), which the fuzz run removes after.
    const std::string f =
        (std::filesystem::temp_directory_path() / ("velorin_netfuzz_" + std::to_string(::getpid()))).string();
    platform::MakeDirectories(f);
    SetLogFolder(platform::PathFromNative(f));
    std::freopen("/dev/null", "w", stdout);
    return true;
  }();
  (void)ready;
  if (size > net::kNetBufferSize) size = net::kNetBufferSize;
  static std::vector<net::NetMessage> out(net::kMaxNetMessages);
  int32_t count = 0;
  bool badType = false;
  const size_t used = net::UnpackMessages(data, size, out.data(), out.size(), count, &badType);
  if (used > size || count < 0 || static_cast<size_t>(count) > out.size()) std::abort();
  uint8_t packed[net::kNetBufferSize];
  size_t pos = 0;
  for (int32_t i = 0; i < count; ++i)
    if (!out[static_cast<size_t>(i)].Pack(packed, sizeof packed, pos)) std::abort();
  // Without a bad type, the repacked messages are exactly the bytes consumed.
  if (!badType && (pos != used || std::memcmp(packed, data, used) != 0)) std::abort();
  return 0;
}
