// Writes the guest profile every player starts with: the profile defaults under the
// name "Guest". The menus fall back to it when the default profile is missing and give
// it to every player after the first, so the run folder must hold it from the start.
#include <cstdio>

#include "core/utils.h"
#include "song/profile.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <profiles/Guest.dat>\n", argv[0]);
    return 2;
  }
  Profile guest;
  guest.SetDefaults();
  guest.PLAYERNAME = "Guest";
  guest.path = ToWide(argv[1]);
  if (!guest.Save()) {
    std::fprintf(stderr, "could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
