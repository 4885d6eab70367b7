#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/log.h"
#include "core/utils.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace testsupport {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "velorin_test_XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  const char* made = ::mkdtemp(buf.data());
  EXPECT_NE(made, nullptr);
  path_ = made ? made : "";
  oldCwd_ = platform::CurrentDirectory();
  platform::SetCurrentDirectory(path_);
  SetLogFolder(platform::PathFromNative(path_));
  SetExeFolderOverride(platform::PathFromNative(path_));
}

TempDir::~TempDir() {
  SetLogFolder(u"");
  SetExeFolderOverride(u"");
  platform::SetCurrentDirectory(oldCwd_);
  platform::InvalidatePathCache();
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::u16string TempDir::WPath(std::string_view relative) const { return platform::PathFromNative(Path(relative)); }

void TempDir::MakeDir(std::string_view relative) const { std::filesystem::create_directories(Path(relative)); }

void TempDir::WriteBytes(std::string_view relative, std::string_view bytes) const {
  std::filesystem::path p = Path(relative);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void TempDir::WriteUtf16(std::string_view relative, std::string_view utf8, bool withBom) const {
  WriteBytes(relative, Utf16Bytes(platform::Utf8ToUtf16(utf8), withBom));
}

std::string TempDir::ReadBytes(std::string_view relative) const {
  std::ifstream f(Path(relative), std::ios::binary);
  std::ostringstream os;
  os << f.rdbuf();
  return os.str();
}

std::string TempDir::ReadUtf16(std::string_view relative) const {
  std::u16string units = platform::DecodeUtf16LE(ReadBytes(relative));
  if (!units.empty() && units[0] == 0xFEFF) units.erase(0, 1);
  return platform::Utf16ToUtf8(units);
}

std::vector<std::string> TempDir::GameLogTexts() const { return LogTexts("game_log.txt"); }
std::vector<std::string> TempDir::ServerLogTexts() const { return LogTexts("server_log.txt"); }

std::vector<std::string> TempDir::LogTexts(std::string_view file) const {
  std::vector<std::string> out;
  std::string all = ReadUtf16(file);
  size_t pos = 0;
  while (pos < all.size()) {
    size_t end = all.find("\r\n", pos);
    if (end == std::string::npos) end = all.size();
    std::string line = all.substr(pos, end - pos);
    // "Www Mmm dd hh:mm:ss yyyy - " is 27 characters.
    out.push_back(line.size() >= 27 ? line.substr(27) : line);
    pos = end + 2;
  }
  return out;
}

std::string Utf16Bytes(std::u16string_view text, bool withBom) {
  std::string bytes = withBom ? std::string("\xFF\xFE", 2) : std::string();
  return bytes + platform::EncodeUtf16LE(text);
}

}  // namespace testsupport
