// Writes the pictures of one job of the picture list into the run folder:
//   velorin_pictures <picture list> <run folder> <bold font file> <job>
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

std::optional<Canvas> PaintEntry(const PictureEntry& entry, const Lettering& bold) {
  const std::string name = entry.Name();
  const std::string& job = entry.job;
  if (job == "notes") return PaintNote(name);
  if (job == "board") return PaintBoard(name);
  if (job == "frets") return PaintFret(name);
  if (job == "tails") return PaintTail(name);
  if (job == "meters") return PaintMeter(name, bold);
  if (job == "numbers") return PaintNumber(name, bold);
  if (job == "necks") return PaintNeck(name);
  if (job == "loading") return PaintLoading(name, bold);
  if (job.rfind("backdrop_", 0) == 0) return PaintBackdrop(name);
  if (job == "abstract") return PaintAbstract(name);
  return std::nullopt;
}

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
    std::optional<Canvas> canvas = PaintEntry(entry, bold);
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
