// A scratch folder for fuzz targets whose readers take a path: made once per process
// under $TMPDIR (the runner points that into its own work folder) and removed when
// the process exits, so runs leave nothing behind.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzzsupport {

inline const std::string& ScratchFolder(const char* name) {
  static const std::string folder = [name] {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    const std::string f = (base / ("velorin_" + std::string(name) + "_" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(f, ec);
    return f;
  }();
  static const bool cleanup = [] {
    return std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    }) == 0;
  }();
  (void)cleanup;
  return folder;
}

}  // namespace fuzzsupport
