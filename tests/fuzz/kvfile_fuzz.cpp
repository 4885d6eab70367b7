// Key-value files from any bytes: the line reader and splitter must stay inside the
// buffer and end, and the settings reader must survive whatever the file holds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/kvfile.h"
#include "core/log.h"
#include "core/settings.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "tests/fuzz/scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    std::string f = fuzzsupport::ScratchFolder("kvfuzz");
    SetLogFolder(platform::PathFromNative(f));
    std::freopen("/dev/null", "w", stdout);  // the log copies every line to the console
    return f;
  }();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  size_t pairs = 0;
  ParseKeyValueBytes(bytes, [&](const std::u16string& k, const std::u16string& v) { pairs += k.size() + v.size(); });

  const std::string path = folder + "/config.ini";
  if (!platform::WriteFileAtomic(path, bytes)) return 0;
  static Settings settings;
  settings.Load(platform::PathFromNative(path));
  settings.configPath = platform::PathFromNative(folder + "/saved.ini");
  if (!settings.Save()) return 0;
  // A saved file reads back to a record that saves to the same bytes.
  Settings again;
  again.Load(settings.configPath);
  again.configPath = platform::PathFromNative(folder + "/again.ini");
  if (!again.Save()) return 0;
  std::string first, second;
  platform::ReadWholeFile(folder + "/saved.ini", first);
  platform::ReadWholeFile(folder + "/again.ini", second);
  if (first != second) __builtin_trap();
  return 0;
}
