// The command line from any bytes (arguments split at zero bytes): every argument
// reads back as given, widened, and asking past the end gives nothing.
#include <cstdint>
#include <string>
#include <vector>

#include "core/utils.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args{"velorin"};
  std::string current;
  for (size_t i = 0; i < size && args.size() < 64; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  args.push_back(current);
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  SetCommandLine(static_cast<int>(argv.size()), argv.data());
  const int count = GetCommandLineArgCount();
  if (count != static_cast<int>(argv.size())) __builtin_trap();
  for (int i = 0; i < count; ++i) {
    if (GetCommandLineArg(i) != platform::Utf8ToUtf16(args[static_cast<size_t>(i)])) __builtin_trap();
  }
  if (!GetCommandLineArg(count).empty() || !GetCommandLineArg(-1).empty()) __builtin_trap();
  return 0;
}
