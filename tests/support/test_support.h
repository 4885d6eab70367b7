// Helpers shared by the tests: a temporary folder that the program's file code is
// pointed at, UTF-16LE file fixtures, and reading back the game log.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed at the end. While it
// lives, the log files and the program folder point into it, and it is the current
// directory (restored afterwards).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string Path(std::string_view relative) const { return path_ + "/" + std::string(relative); }
  std::u16string WPath(std::string_view relative) const;

  void WriteBytes(std::string_view relative, std::string_view bytes) const;
  // BOM + UTF-16LE of the UTF-8 text.
  void WriteUtf16(std::string_view relative, std::string_view utf8, bool withBom = true) const;
  std::string ReadBytes(std::string_view relative) const;
  // The file decoded from UTF-16LE (BOM dropped) and encoded as UTF-8.
  std::string ReadUtf16(std::string_view relative) const;
  void MakeDir(std::string_view relative) const;

  // The game log's lines without their time stamps.
  std::vector<std::string> GameLogTexts() const;
  std::vector<std::string> ServerLogTexts() const;

 private:
  std::vector<std::string> LogTexts(std::string_view file) const;
  std::string path_;
  std::string oldCwd_;
};

std::string Utf16Bytes(std::u16string_view text, bool withBom = true);

}  // namespace testsupport
