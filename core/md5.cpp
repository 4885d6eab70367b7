#include "core/md5.h"

#include <cstdio>
#include <cstring>

#include "core/log.h"
#include "platform/file.h"

namespace {

inline uint32_t Rotl(uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

inline uint32_t Load32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

const uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

Md5::~Md5() {
  // The context holds file content; leave nothing of it behind.
  volatile uint8_t* p = buffer_;
  for (size_t i = 0; i < sizeof buffer_; ++i) p[i] = 0;
}

void Md5::Transform(const uint8_t* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = Load32(block + 4 * i);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
#define VL_STEP(f, a, b, c, d, k, s, i) a = b + Rotl(a + f(b, c, d) + x[k] + kT[i], s)
#define VL_F(u, v, w) (w ^ (u & (v ^ w)))
#define VL_G(u, v, w) (v ^ (w & (u ^ v)))
#define VL_H(u, v, w) (u ^ v ^ w)
#define VL_I(u, v, w) (v ^ (u | ~w))
  for (int i = 0; i < 16; i += 4) {
    VL_STEP(VL_F, a, b, c, d, i, 7, i);
    VL_STEP(VL_F, d, a, b, c, i + 1, 12, i + 1);
    VL_STEP(VL_F, c, d, a, b, i + 2, 17, i + 2);
    VL_STEP(VL_F, b, c, d, a, i + 3, 22, i + 3);
  }
  for (int i = 16; i < 32; i += 4) {
    VL_STEP(VL_G, a, b, c, d, (5 * i + 1) % 16, 5, i);
    VL_STEP(VL_G, d, a, b, c, (5 * (i + 1) + 1) % 16, 9, i + 1);
    VL_STEP(VL_G, c, d, a, b, (5 * (i + 2) + 1) % 16, 14, i + 2);
    VL_STEP(VL_G, b, c, d, a, (5 * (i + 3) + 1) % 16, 20, i + 3);
  }
  for (int i = 32; i < 48; i += 4) {
    VL_STEP(VL_H, a, b, c, d, (3 * i + 5) % 16, 4, i);
    VL_STEP(VL_H, d, a, b, c, (3 * (i + 1) + 5) % 16, 11, i + 1);
    VL_STEP(VL_H, c, d, a, b, (3 * (i + 2) + 5) % 16, 16, i + 2);
    VL_STEP(VL_H, b, c, d, a, (3 * (i + 3) + 5) % 16, 23, i + 3);
  }
  for (int i = 48; i < 64; i += 4) {
    VL_STEP(VL_I, a, b, c, d, (7 * i) % 16, 6, i);
    VL_STEP(VL_I, d, a, b, c, (7 * (i + 1)) % 16, 10, i + 1);
    VL_STEP(VL_I, c, d, a, b, (7 * (i + 2)) % 16, 15, i + 2);
    VL_STEP(VL_I, b, c, d, a, (7 * (i + 3)) % 16, 21, i + 3);
  }
#undef VL_STEP
#undef VL_F
#undef VL_G
#undef VL_H
#undef VL_I
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md5::Update(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  bits_ += static_cast<uint64_t>(size) * 8;
  if (used_ > 0) {
    size_t take = 64 - used_ < size ? 64 - used_ : size;
    std::memcpy(buffer_ + used_, p, take);
    used_ += take;
    p += take;
    size -= take;
    if (used_ < 64) return;
    Transform(buffer_);
    used_ = 0;
  }
  while (size >= 64) {
    Transform(p);
    p += 64;
    size -= 64;
  }
  if (size > 0) {
    std::memcpy(buffer_, p, size);
    used_ = size;
  }
}

void Md5::Final(uint8_t digest[16]) {
  const uint64_t bits = bits_;
  uint8_t pad[72] = {0x80};
  const size_t padLen = used_ < 56 ? 56 - used_ : 120 - used_;
  Update(pad, padLen);
  uint8_t len[8];
  for (int i = 0; i < 8; ++i) len[i] = static_cast<uint8_t>(bits >> (8 * i));
  Update(len, 8);
  for (int i = 0; i < 4; ++i)
    for (int k = 0; k < 4; ++k) digest[4 * i + k] = static_cast<uint8_t>(state_[i] >> (8 * k));
  volatile uint32_t* s = state_;
  for (int i = 0; i < 4; ++i) s[i] = 0;
  bits_ = 0;
}

namespace {
std::string ToHex(const uint8_t digest[16]) {
  static const char kHex[] = "0123456789abcdef";
  std::string out(32, '0');
  for (int i = 0; i < 16; ++i) {
    out[2 * i] = kHex[digest[i] >> 4];
    out[2 * i + 1] = kHex[digest[i] & 15];
  }
  return out;
}
}  // namespace

std::string Md5Hex(const void* data, size_t size) {
  Md5 md5;
  md5.Update(data, size);
  uint8_t digest[16];
  md5.Final(digest);
  return ToHex(digest);
}

std::string GetFileMD5(std::u16string_view path) {
  FILE* f = platform::OpenFile(path, "rb");
  if (!f) return "-1";
  Md5 md5;
  // One fixed buffer for the whole file; nothing is allocated per chunk.
  static thread_local uint8_t chunk[64 * 1024];
  size_t n;
  uint64_t total = 0;
  bool tooLarge = false;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    total += n;
    if (total > kMaxHashedFileBytes) {
      tooLarge = true;
      break;
    }
    md5.Update(chunk, n);
  }
  // A read error would make the digest of a prefix look like the file's identity.
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  uint8_t digest[16];
  md5.Final(digest);
  if (tooLarge) Log(0, u"File too large to hash: " + std::u16string(path));
  if (failed || tooLarge) return "-1";
  return ToHex(digest);
}
