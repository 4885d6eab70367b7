// Files of the platform layer: opening with the case-insensitive resolver, whole-file
// reads with a size bound, and saves that replace a file only once the new content is
// safely on disk.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// fopen through the resolver. For writing and appending the folder part is resolved
// and an existing file of another case is reused.
FILE* OpenFile(std::string_view path, const char* mode);
FILE* OpenFile(std::u16string_view path, const char* mode);

// Reads a whole file. Fails (false, `out` cleared) when it cannot be opened, cannot be
// read, or is larger than maxBytes.
bool ReadWholeFile(std::string_view path, std::string& out, size_t maxBytes = size_t(1) << 30);
bool ReadWholeFile(std::u16string_view path, std::string& out, size_t maxBytes = size_t(1) << 30);

// Writes to a temporary file beside the target and renames it over the target on
// Commit. Every write, the flush, the sync and the close are checked; any failure
// makes Commit return false and leaves the old file as it was.
class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool Open(std::string_view path);
  bool Open(std::u16string_view path);
  bool IsOpen() const { return file_ != nullptr; }
  bool Write(const void* data, size_t size);
  bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
  bool Commit();
  void Abort();

 private:
  FILE* file_ = nullptr;
  std::string target_;
  std::string temp_;
  bool failed_ = false;
};

bool WriteFileAtomic(std::string_view path, std::string_view bytes);
bool WriteFileAtomic(std::u16string_view path, std::string_view bytes);

// UTF-16LE encoding of a text, as bytes.
std::string EncodeUtf16LE(std::u16string_view text);
// Decodes UTF-16LE bytes into code units; a trailing odd byte is ignored.
std::u16string DecodeUtf16LE(std::string_view bytes);

namespace testing {
// Makes the atomic writer fail once this many more bytes were written (-1: never).
void FailWritesAfter(long long bytes);
}  // namespace testing

}  // namespace platform
