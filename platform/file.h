// Files of the platform layer: opening with the case-insensitive resolver, whole-file
// reads with a size bound, and saves that replace a file only once the new content is
// safely on disk.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// One line about a file the platform layer refused or set aside (a FIFO, an
// oversize file, a read-only target, a damaged file kept). The game's log installs
// itself here; without a sink the lines go nowhere.
using FileNoticeSink = void (*)(const std::string& line);
void SetFileNoticeSink(FileNoticeSink sink);
void FileNotice(const std::string& line);

// fopen through the resolver. Reading opens regular files only: a FIFO would block
// for ever and a device such as /dev/zero never ends, so both are refused (logged). For writing and appending the folder part is resolved
// and an existing file of another case is reused.
FILE* OpenFile(std::string_view path, const char* mode);
FILE* OpenFile(std::u16string_view path, const char* mode);

// Reads a whole file. Fails (false, `out` cleared) when it cannot be opened, cannot be
// read, or is larger than maxBytes (logged, and never allocated).
bool ReadWholeFile(std::string_view path, std::string& out, size_t maxBytes = size_t(1) << 30);
bool ReadWholeFile(std::u16string_view path, std::string& out, size_t maxBytes = size_t(1) << 30);

// Writes to a temporary file beside the target and renames it over the target on
// Commit. Every write, the flush, the sync and the close are checked; any failure
// makes Commit return false and leaves the old file as it was.
// Open refuses to replace a file that its owner made read-only (no write permission
// bit at all in its mode, or no write access for this process): the rename would
// otherwise replace it anyway. The refusal is logged and `RefusedReadOnly` says so.
class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool Open(std::string_view path);
  bool Open(std::u16string_view path);
  bool IsOpen() const { return file_ != nullptr; }
  bool RefusedReadOnly() const { return refusedReadOnly_; }
  bool Write(const void* data, size_t size);
  bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
  bool Commit();
  void Abort();

 private:
  FILE* file_ = nullptr;
  std::string target_;
  std::string temp_;
  bool failed_ = false;
  bool refusedReadOnly_ = false;
};

// True when an existing file may not be replaced: its mode has no write bit, or this
// process may not write it. Root passes every access check, so the mode bits are
// what tells a file the user protected.
bool IsWriteProtected(std::string_view path);

// A file that could not be read whole is about to be replaced: keep its bytes beside
// it as path + ".bad" (".bad2", ".bad3"... when that is taken) and log where. True
// when the copy exists afterwards, or when there was no file to keep.
bool KeepDamagedCopy(std::string_view path);
bool KeepDamagedCopy(std::u16string_view path);

// Removes the temporary files of saves that never finished (the process was killed
// between writing and renaming) from a folder: only names of the atomic writer's own
// form ("<name>.tmp<pid>_<n>") whose last change is at least `minAgeSeconds` old.
// Returns how many were removed.
int RemoveStaleTempFiles(std::string_view folder, long long minAgeSeconds = 3600);

// True when the name has the atomic writer's temporary form.
bool IsAtomicTempName(std::string_view name);

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
