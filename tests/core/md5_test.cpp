#include "core/md5.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/test_support.h"

TEST(Md5, KnownVectors) {
  struct Case {
    std::string input;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    EXPECT_EQ(Md5Hex(c.input.data(), c.input.size()), c.digest);
    dir.WriteBytes("f.bin", c.input);
    EXPECT_EQ(GetFileMD5(dir.WPath("f.bin")), c.digest);
  }
}

TEST(Md5, BlockAndChunkBoundaries) {
  // Digests of n bytes of the pattern i % 251, at the padding, block and chunk edges.
  struct Case {
    size_t size;
    const char* digest;
  } cases[] = {
      {55, "6912ee65fff2d9f9ce2508cddf8bcda0"},    {56, "51fdd1acda72405dfdfa03fcb85896d7"},
      {63, "48a6295221902e8e0938f773a7185e72"},    {64, "b2d3f56bc197fd985d5965079b5e7148"},
      {1023, "7437d7a881387db7c41cf6930ab5e35d"},  {1024, "9ee0a0e0c0bc0f1ff29d663d1fdf0743"},
      {1025, "3f3789452b88cb32b8cbfbafe715e29a"},  {100000, "28cb595c158e9b74e34ae9e8da710fff"},
  };
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    std::string data(c.size, '\0');
    for (size_t i = 0; i < c.size; ++i) data[i] = static_cast<char>(i % 251);
    // Fed in uneven pieces, the digest is the same as in one piece.
    Md5 m;
    for (size_t pos = 0; pos < data.size();) {
      size_t n = std::min<size_t>(data.size() - pos, 1 + pos % 97);
      m.Update(data.data() + pos, n);
      pos += n;
    }
    uint8_t d[16];
    m.Final(d);
    const std::string whole = Md5Hex(data.data(), data.size());
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", d[i]);
    EXPECT_EQ(std::string(hex), whole) << c.size;
    dir.WriteBytes("f.bin", data);
    EXPECT_EQ(GetFileMD5(dir.WPath("f.bin")), whole) << c.size;
    EXPECT_EQ(whole, c.digest) << c.size;
  }
}

TEST(Md5, UnreadableFilesGiveMinusOne) {
  testsupport::TempDir dir;
  // A chart far larger than any the game reads (sparse: no disk is used) is not hashed.
  dir.WriteBytes("huge.mid", "MThd");
  ASSERT_EQ(truncate(dir.Path("huge.mid").c_str(), static_cast<off_t>(kMaxHashedFileBytes) + 1), 0);
  EXPECT_EQ(GetFileMD5(dir.WPath("huge.mid")), "-1");
  bool logged = false;
  for (const std::string& line : dir.GameLogTexts()) logged = logged || line.rfind("File too large to hash: ", 0) == 0;
  EXPECT_TRUE(logged);
  // One at the limit still is.
  ASSERT_EQ(truncate(dir.Path("huge.mid").c_str(), static_cast<off_t>(kMaxHashedFileBytes)), 0);
  EXPECT_NE(GetFileMD5(dir.WPath("huge.mid")), "-1");
  EXPECT_EQ(GetFileMD5(dir.WPath("missing.mid")), "-1");
  dir.MakeDir("folder.mid");
  EXPECT_EQ(GetFileMD5(dir.WPath("folder.mid")), "-1");
}
