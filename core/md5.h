// MD5 (RFC 1321) of files: the identity of a song's chart across folders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Md5 {
 public:
  Md5();
  ~Md5();
  void Update(const void* data, size_t size);
  // Pads, appends the length and gives the 16 digest bytes; the state is wiped.
  void Final(uint8_t digest[16]);

 private:
  void Transform(const uint8_t* block);
  uint32_t state_[4];
  uint64_t bits_ = 0;
  uint8_t buffer_[64];
  size_t used_ = 0;
};

std::string Md5Hex(const void* data, size_t size);

// The largest file hashed: the largest chart the chart reader takes. A bigger file is
// no chart the game can play, and hashing gigabytes would stall the song scan.
constexpr uint64_t kMaxHashedFileBytes = uint64_t(16) << 20;

// 32 lower-case hexadecimal digits, or "-1" when the file cannot be opened or read, or
// is larger than kMaxHashedFileBytes (logged).
std::string GetFileMD5(std::u16string_view path);
