// Career files from any bytes: "career.ini" and the tier reader must stay inside the
// buffer and end; a tier that reads whole saves to a file that reads back to the same
// tier (the second save equals the first).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/log.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "tests/fuzz/scratch_folder.h"
#include "song/career.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    std::string f = fuzzsupport::ScratchFolder("careerfuzz");
    SetLogFolder(platform::PathFromNative(f));
    std::freopen("/dev/null", "w", stdout);  // the log copies every line to the console
    return f;
  }();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  Career career;
  career.folder = platform::PathFromNative(folder + "/");
  career.ParseIni(bytes);

  CareerTier tier;
  const std::u16string first = platform::PathFromNative(folder + "/tier_0.ini");
  if (!tier.LoadFromBytes(bytes, first)) return 0;
  if (tier.songCount < 0 || tier.songCount > kTierSongSlots) __builtin_trap();
  for (int32_t i = 0; i < tier.songCount; ++i) {
    const std::u16string& p = tier.songs[static_cast<size_t>(i)].path;
    if (!p.empty() && p.back() != u'/') __builtin_trap();
  }
  if (tier.holdsMore) {
    // Such a tier is never rewritten.
    if (tier.Save()) __builtin_trap();
    return 0;
  }
  if (!tier.Save()) return 0;
  CareerTier again;
  if (!again.Load(first) || again.holdsMore || again.songCount != tier.songCount) __builtin_trap();
  again.file = platform::PathFromNative(folder + "/tier_1.ini");
  if (!again.Save()) return 0;
  CareerTier third;
  if (!third.Load(again.file) || !third.Save()) return 0;
  std::string a, b;
  platform::ReadWholeFile(again.file, a);
  platform::ReadWholeFile(third.file, b);
  if (a != b) __builtin_trap();
  return 0;
}
