// Writes the pictures of one job of the picture list into the run folder:
//   velorin_pictures_<family> <picture list> <run folder> <bold font file> <job>
// One program per family of painters (VELORIN_JOB_PAINTER names its entry point),
// so that changing one family's painter repaints only that family's pictures.
// Every picture is painted from this folder's sources; nothing depends on the time
// or on unseeded randomness, so two runs write the same bytes.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "lettering.h"
#include "painters.h"
#include "picture_list.h"

namespace fs = std::filesystem;
using namespace velorin::pictures;

namespace {

const JobPainter kPainter = VELORIN_JOB_PAINTER;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <picture list> <run folder> <bold font> <job>\n", argv[0]);
    return 2;
  }
  std::vector<PictureEntry> entries;
  if (!ReadPictureList(argv[1], &entries)) return 1;
  Lettering bold(argv[3]);
  if (!bold.ok()) return 1;
  const std::string job = argv[4];
  int written = 0, failed = 0;
  for (const PictureEntry& entry : entries) {
    if (entry.job != job) continue;
    std::optional<Canvas> canvas = kPainter(entry.job, entry.Name(), bold);
    if (!canvas) {
      std::fprintf(stderr, "no painter draws %s\n", entry.path.c_str());
      ++failed;
      continue;
    }
    fs::path path = fs::path(argv[2]) / entry.path;
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (canvas->WritePng(path.string())) ++written;
    else ++failed;
  }
  if (written == 0 && failed == 0) {
    std::fprintf(stderr, "the picture list has no job %s\n", job.c_str());
    return 1;
  }
  return failed == 0 ? 0 : 1;
}
