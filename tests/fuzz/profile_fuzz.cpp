// Profiles from any bytes: every number read is inside the range the game uses, a
// profile that reads saves to a file that reads back the same, and a file that
// could not be read is kept whole beside the one that replaces it.
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/log.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "song/profile.h"
#include "tests/fuzz/scratch_folder.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void CheckRanges(const Profile& p) {
  Check(p.NECKSPEED >= 2 && p.NECKSPEED <= 50);
  Check(p.NECKSPEEDREALGUITAR >= 2 && p.NECKSPEEDREALGUITAR <= 50);
  Check(p.NECKANGLE >= 0 && p.NECKANGLE <= 9);
  Check(p.REALKEYSLANECOUNT >= 13 && p.REALKEYSLANECOUNT <= 88);
  Check(p.FAVOURITEGUITARSKILL >= 0 && p.FAVOURITEGUITARSKILL <= 4);
  Check(p.FAVOURITEDRUMS >= 0 && p.FAVOURITEDRUMS <= 14);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    const std::string f = fuzzsupport::ScratchFolder("profilefuzz");
    SetLogFolder(u"/dev/null/velorin_profile_fuzz");  // no log file: the runs stay fast
    std::freopen("/dev/null", "w", stdout);
    return f;
  }();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string file = folder + "/p.dat";
  std::remove(file.c_str());
  std::remove((file + ".bad").c_str());
  if (!platform::WriteFileAtomic(file, bytes)) return 0;

  Profile p;
  const bool read = p.Load(platform::PathFromNative(file));
  CheckRanges(p);
  if (!p.Save()) return 0;
  if (!read && size >= 2) {
    std::string kept;
    // A file of two bytes or more that was not read is never lost.
    Check(platform::ReadWholeFile(file + ".bad", kept) && kept == bytes);
  }
  Profile again;
  Check(again.Load(platform::PathFromNative(file)));
  CheckRanges(again);
  Check(again.NECKSPEED == p.NECKSPEED && again.NECKANGLE == p.NECKANGLE && again.PLAYERNAME == p.PLAYERNAME);
  std::string first, second;
  platform::ReadWholeFile(file, first);
  Check(again.Save());
  platform::ReadWholeFile(file, second);
  Check(first == second);
  return 0;
}
