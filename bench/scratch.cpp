#include "bench/scratch.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace benchscratch {

namespace {

std::mutex& Guard() {
  static auto* m = new std::mutex;
  return *m;
}

std::vector<std::string>& Paths() {
  static auto* paths = new std::vector<std::string>;
  return *paths;
}

void RemoveAll() {
  std::lock_guard<std::mutex> lock(Guard());
  for (const std::string& p : Paths()) {
    std::error_code ec;
    std::filesystem::remove_all(p, ec);
  }
  Paths().clear();
}

}  // namespace

void RemoveAtExit(const std::string& path) {
  static const bool registered = std::atexit(RemoveAll) == 0;
  (void)registered;
  std::lock_guard<std::mutex> lock(Guard());
  Paths().push_back(path);
}

}  // namespace benchscratch
