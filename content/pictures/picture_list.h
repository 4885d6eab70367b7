// The list of every picture the generator writes ("pictures.txt" beside this file):
// the job that paints it, its path under the run folder and, for the asset store's
// fixed textures, its table and slot. The build, the generator and the tests all
// read the same list.
#pragma once

#include <string>
#include <vector>

namespace velorin::pictures {

struct PictureEntry {
  std::string job;
  std::string path;   // relative to the run folder, '/' separated
  std::string table;  // "note", "fret", "tail", "meter", "number" or "-"
  int slot = -1;
  // The file name without folder and ".png".
  std::string Name() const;
};

// Reads the list; false with a message on stderr when a line is malformed.
bool ReadPictureList(const std::string& list_path, std::vector<PictureEntry>* entries);

}  // namespace velorin::pictures
