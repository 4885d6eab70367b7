// Reader of the picture list.
#include "picture_list.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace velorin::pictures {

std::string PictureEntry::Name() const {
  size_t slash = path.find_last_of('/');
  std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  if (file.size() > 4 && file.compare(file.size() - 4, 4, ".png") == 0) file.resize(file.size() - 4);
  return file;
}

bool ReadPictureList(const std::string& list_path, std::vector<PictureEntry>* entries) {
  std::ifstream in(list_path);
  if (!in) {
    std::fprintf(stderr, "could not read %s\n", list_path.c_str());
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    PictureEntry entry;
    std::string slot;
    if (!(fields >> entry.job >> entry.path >> entry.table >> slot)) {
      std::fprintf(stderr, "%s:%d: expected <job> <path> <table> <slot>\n", list_path.c_str(), number);
      return false;
    }
    if (entry.table != "-") {
      try {
        entry.slot = std::stoi(slot);
      } catch (...) {
        std::fprintf(stderr, "%s:%d: bad slot %s\n", list_path.c_str(), number, slot.c_str());
        return false;
      }
    }
    entries->push_back(std::move(entry));
  }
  return true;
}

}  // namespace velorin::pictures
