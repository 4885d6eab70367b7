#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <atomic>
#include <cstring>
#include <ctime>

#include "platform/paths.h"
#include "platform/text.h"

namespace platform {

namespace {
std::atomic<long long> g_failAfter{-1};
std::atomic<FileNoticeSink> g_noticeSink{nullptr};

// Opens for reading without blocking on a FIFO, and keeps the descriptor only when it
// names a regular file.
FILE* OpenRegularForReading(const std::string& p, const char* mode) {
  const int access = std::strchr(mode, '+') ? O_RDWR : O_RDONLY;
  const int fd = ::open(p.c_str(), access | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const bool folder = S_ISDIR(st.st_mode);
    ::close(fd);
    if (!folder) FileNotice("Not a regular file, not read: " + p);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  FILE* f = ::fdopen(fd, mode);
  if (!f) ::close(fd);
  return f;
}

// For writing: resolve the folder, and reuse an existing file that differs in case.
std::string ResolveForWrite(std::string_view path) {
  std::string p = ToSlashes(path);
  std::string resolved = ResolvePath(p);
  if (PathExists(resolved)) return resolved;
  size_t slash = p.rfind('/');
  if (slash == std::string::npos) return p;
  return ResolvePath(p.substr(0, slash)) + p.substr(slash);
}
}  // namespace

FILE* OpenFile(std::string_view path, const char* mode) {
  if (path.empty()) return nullptr;
  const bool writing = std::strchr(mode, 'w') || std::strchr(mode, 'a');
  if (!writing) return OpenRegularForReading(ResolvePath(path), mode);
  return std::fopen(ResolveForWrite(path).c_str(), mode);
}

void SetFileNoticeSink(FileNoticeSink sink) { g_noticeSink = sink; }

void FileNotice(const std::string& line) {
  if (FileNoticeSink sink = g_noticeSink.load()) sink(line);
}

FILE* OpenFile(std::u16string_view path, const char* mode) { return OpenFile(PathToNative(path), mode); }

bool ReadWholeFile(std::string_view path, std::string& out, size_t maxBytes) {
  out.clear();
  FILE* f = OpenFile(path, "rb");
  if (!f) return false;
  std::string data;
  char buf[65536];
  bool ok = true;
  struct stat st {};
  if (::fstat(fileno(f), &st) == 0 && static_cast<unsigned long long>(st.st_size) > maxBytes) {
    FileNotice("File too large, not read: " + ToSlashes(path) + " (" + std::to_string(st.st_size) +
               " bytes, at most " + std::to_string(maxBytes) + ")");
    std::fclose(f);
    return false;
  }
  for (;;) {
    size_t n = std::fread(buf, 1, sizeof buf, f);
    if (n > 0) {
      if (data.size() + n > maxBytes) {
        FileNotice("File too large, not read: " + ToSlashes(path));
        ok = false;
        break;
      }
      data.append(buf, n);
    }
    if (n < sizeof buf) {
      if (std::ferror(f)) ok = false;
      break;
    }
  }
  std::fclose(f);
  if (!ok) return false;
  out = std::move(data);
  return true;
}

bool ReadWholeFile(std::u16string_view path, std::string& out, size_t maxBytes) {
  return ReadWholeFile(PathToNative(path), out, maxBytes);
}

AtomicFile::~AtomicFile() { Abort(); }

bool AtomicFile::Open(std::u16string_view path) { return Open(PathToNative(path)); }

bool AtomicFile::Open(std::string_view path) {
  Abort();
  if (path.empty()) return false;
  target_ = ResolveForWrite(path);
  refusedReadOnly_ = IsWriteProtected(target_);
  if (refusedReadOnly_) {
    FileNotice("File is read-only, not saved: " + target_);
    return false;
  }
  static std::atomic<unsigned> counter{0};
  temp_ = target_ + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
  int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    ::close(fd);
    ::unlink(temp_.c_str());
    return false;
  }
  failed_ = false;
  return true;
}

bool AtomicFile::Write(const void* data, size_t size) {
  if (!file_ || failed_) return false;
  long long budget = g_failAfter.load();
  if (budget >= 0) {
    if (static_cast<long long>(size) > budget) {
      // Simulated full disk: part of the data reaches the file, then the write fails.
      std::fwrite(data, 1, static_cast<size_t>(budget), file_);
      g_failAfter = 0;
      failed_ = true;
      return false;
    }
    g_failAfter = budget - static_cast<long long>(size);
  }
  if (size > 0 && std::fwrite(data, 1, size, file_) != size) failed_ = true;
  return !failed_;
}

bool AtomicFile::Commit() {
  if (!file_) return false;
  bool ok = !failed_;
  if (std::fflush(file_) != 0) ok = false;
  if (ok && ::fsync(fileno(file_)) != 0) ok = false;
  if (std::fclose(file_) != 0) ok = false;
  file_ = nullptr;
  if (ok) {
    // Keep the permissions of the file being replaced.
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) ::chmod(temp_.c_str(), st.st_mode & 07777);
    if (::rename(temp_.c_str(), target_.c_str()) != 0) ok = false;
  }
  if (!ok) ::unlink(temp_.c_str());
  return ok;
}

void AtomicFile::Abort() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
    ::unlink(temp_.c_str());
  }
}

bool IsWriteProtected(std::string_view path) {
  struct stat st {};
  const std::string p = ResolvePath(path);
  if (::stat(p.c_str(), &st) != 0) return false;  // nothing there to protect
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(p.c_str(), W_OK) != 0;
}

namespace {
// A copy that shares nothing with the original: the replacement renames a new file
// over the old name, so a hard link would do, but not every file system has them.
bool CopyBytes(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return false;
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0 || ::write(out, buf, static_cast<size_t>(n)) != n) {
      ok = false;
      break;
    }
  }
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (!ok) ::unlink(to.c_str());
  return ok;
}
}  // namespace

bool KeepDamagedCopy(std::string_view path) {
  const std::string p = ResolvePath(path);
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return true;
  if (!S_ISREG(st.st_mode)) return false;  // not a file this game writes: leave it alone
  for (int n = 1; n <= 99; ++n) {
    const std::string copy = p + ".bad" + (n == 1 ? std::string() : std::to_string(n));
    if (::access(copy.c_str(), F_OK) == 0) continue;
    if (::link(p.c_str(), copy.c_str()) == 0 || CopyBytes(p, copy)) {
      FileNotice("Damaged file kept as: " + copy);
      return true;
    }
    break;
  }
  FileNotice("Damaged file could not be kept, not replaced: " + p);
  return false;
}

bool KeepDamagedCopy(std::u16string_view path) { return KeepDamagedCopy(PathToNative(path)); }

bool IsAtomicTempName(std::string_view name) {
  const size_t tmp = name.rfind(".tmp");
  if (tmp == std::string_view::npos || tmp == 0) return false;
  const std::string_view tail = name.substr(tmp + 4);
  const size_t underscore = tail.find('_');
  if (underscore == std::string_view::npos || underscore == 0 || underscore + 1 == tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i)
    if (i != underscore && (tail[i] < '0' || tail[i] > '9')) return false;
  return true;
}

int RemoveStaleTempFiles(std::string_view folder, long long minAgeSeconds) {
  const std::string dir = ResolvePath(folder);
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return 0;
  const std::time_t now = std::time(nullptr);
  int removed = 0;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (!IsAtomicTempName(name)) continue;
    const std::string full = (dir.empty() ? std::string() : dir + "/") + name;
    struct stat st {};
    if (::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (static_cast<long long>(now - st.st_mtime) < minAgeSeconds) continue;  // a save may be running
    if (::unlink(full.c_str()) == 0) {
      FileNotice("Removed unfinished save: " + full);
      ++removed;
    }
  }
  ::closedir(d);
  return removed;
}

bool WriteFileAtomic(std::string_view path, std::string_view bytes) {
  AtomicFile f;
  if (!f.Open(path)) return false;
  f.Write(bytes);
  return f.Commit();
}

bool WriteFileAtomic(std::u16string_view path, std::string_view bytes) {
  return WriteFileAtomic(PathToNative(path), bytes);
}

std::string EncodeUtf16LE(std::u16string_view text) {
  std::string out;
  out.resize(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    out[2 * i] = static_cast<char>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return out;
}

std::u16string DecodeUtf16LE(std::string_view bytes) {
  std::u16string out;
  out.resize(bytes.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return out;
}

namespace testing {
void FailWritesAfter(long long bytes) { g_failAfter = bytes; }
}  // namespace testing

}  // namespace platform
