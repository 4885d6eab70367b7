#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/paths.h"
#include "platform/text.h"

namespace platform {

namespace {
std::atomic<long long> g_failAfter{-1};

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
  std::string p = writing ? ResolveForWrite(path) : ResolvePath(path);
  FILE* f = std::fopen(p.c_str(), mode);
  if (f && !writing) {
    struct stat st {};
    if (::fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
      std::fclose(f);
      return nullptr;
    }
  }
  return f;
}

FILE* OpenFile(std::u16string_view path, const char* mode) { return OpenFile(PathToNative(path), mode); }

bool ReadWholeFile(std::string_view path, std::string& out, size_t maxBytes) {
  out.clear();
  FILE* f = OpenFile(path, "rb");
  if (!f) return false;
  std::string data;
  char buf[65536];
  bool ok = true;
  for (;;) {
    size_t n = std::fread(buf, 1, sizeof buf, f);
    if (n > 0) {
      if (data.size() + n > maxBytes) {
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
