// The message bytes on the wire: hand-written byte vectors for every code that
// carries fields, the unpacker's answers on cut, bad and extreme runs, and a stream
// split at every byte offset coming back whole.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "net/protocol/net_message.h"
#include "tests/net/net_test_support.h"
#include "tests/support/test_support.h"

namespace {

using net::NetMessage;
using nettest::Bytes;

std::string Hex(const std::string& bytes) {
  static const char k[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) {
    if (!s.empty()) s += ' ';
    s += k[c >> 4];
    s += k[c & 15];
  }
  return s;
}

std::string Packed(const NetMessage& m) {
  uint8_t buf[net::kNetBufferSize];
  size_t pos = 0;
  EXPECT_TRUE(m.Pack(buf, sizeof buf, pos));
  return std::string(reinterpret_cast<char*>(buf), pos);
}

// A message with every field set to a value of its own, so that a field sent that
// should not be (or the other way round) shows in the bytes.
NetMessage Full(uint32_t type, uint32_t code) {
  NetMessage m;
  m.type = type;
  m.code = code;
  m.a2 = 0x02020202;
  m.a3 = 0x03030303;
  m.a4 = 0x04040404;
  m.a5 = 0x05050505;
  m.a6 = 0x06060606;
  m.a7 = 0x07070707;
  m.str1 = "one";
  m.str2 = "second";
  return m;
}

TEST(WireFormat, GoldenVectors) {
  struct Case {
    const char* what;
    NetMessage message;
    std::string bytes;
  };
  NetMessage auth;
  auth.type = 1, auth.code = 5, auth.a3 = 3;
  NetMessage chat;
  chat.type = 2, chat.code = 25, chat.str1 = "hi";
  NetMessage version;
  version.type = 1, version.code = 11;
  version.SetA6Float(1.27f);
  NetMessage name;
  name.type = 1, name.code = 16, name.str1 = "Anon";
  NetMessage roster;
  roster.type = 2, roster.code = 30, roster.a3 = 0, roster.a4 = 2, roster.str1 = "Anon";
  NetMessage empty;
  empty.type = 1, empty.code = 13;
  const Case cases[] = {
      {"1/5", auth, std::string("\x01\x05\x03\x00\x00\x00", 6)},
      {"2/25", chat, std::string("\x02\x19\x02\x00\x00\x00hi", 8)},
      {"1/11", version, std::string("\x01\x0B\x5C\x8F\xA2\x3F", 6)},
      {"1/16", name, std::string("\x01\x10\x04\x00\x00\x00" "Anon", 10)},
      {"2/30", roster, std::string("\x02\x1E\x00\x00\x00\x00\x02\x00\x00\x00\x04\x00\x00\x00" "Anon", 18)},
      {"1/13 empty", empty, std::string("\x01\x0D\x00\x00\x00\x00", 6)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Hex(Packed(c.message)), Hex(c.bytes));
  }
  // Header-only codes, including pairs the table does not list and other types.
  for (auto [type, code] : std::vector<std::pair<uint32_t, uint32_t>>{
           {1, 10}, {1, 12}, {1, 2}, {1, 38}, {1, 37}, {1, 101}, {1, 103}, {1, 105}, {1, 99}, {2, 255}, {3, 5}}) {
    SCOPED_TRACE(testing::Message() << type << "/" << code);
    EXPECT_EQ(Hex(Packed(Full(type, code))), Hex(Bytes().Header(static_cast<uint8_t>(type), static_cast<uint8_t>(code)).str()));
  }
  // Only the low eight bits of type and code travel.
  EXPECT_EQ(Hex(Packed(Full(0x101, 0x20A))), "01 0A");
}

TEST(WireFormat, EveryCodeCarriesExactlyItsFields) {
  struct Row {
    uint32_t type, code;
    std::string bytes;
  };
  const std::string one = Bytes().Str("one").str(), second = Bytes().Str("second").str();
  auto I = [](int32_t v) { return Bytes().Int(v).str(); };
  const std::string A2 = I(0x02020202), A3 = I(0x03030303), A4 = I(0x04040404), A5 = I(0x05050505),
                    A6 = I(0x06060606), A7 = I(0x07070707);
  const Row rows[] = {
      {1, 5, A3},  {1, 11, A6}, {1, 13, one}, {1, 15, A3}, {1, 16, one}, {1, 17, A2 + A3 + A4 + A5 + one},
      {1, 20, A3}, {1, 22, A2}, {1, 27, A3 + one + second}, {1, 28, A3}, {1, 32, A3}, {1, 35, one},
      {1, 39, A6 + A7},
      {2, 10, A2 + A3}, {2, 11, A2 + A3 + A4}, {2, 12, A2 + A3}, {2, 13, A2}, {2, 14, A2 + A3},
      {2, 15, A2 + A3}, {2, 16, A2}, {2, 17, A2 + A3}, {2, 18, A2}, {2, 19, A2 + A3 + A4 + A5}, {2, 25, one},
      {2, 26, A3}, {2, 27, A2}, {2, 28, A3 + one + second}, {2, 30, A3 + A4 + one},
      {2, 33, A2 + A3 + A4 + A5 + one}, {2, 34, A2 + A3 + A4 + A6 + A7}, {2, 35, A2 + A3}, {2, 36, A3},
      {2, 42, one},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.type << "/" << r.code);
    const NetMessage m = Full(r.type, r.code);
    const std::string expected =
        Bytes().Header(static_cast<uint8_t>(r.type), static_cast<uint8_t>(r.code)).Raw(r.bytes).str();
    EXPECT_EQ(Hex(Packed(m)), Hex(expected));
    EXPECT_EQ(m.PackedSize(), expected.size());
    // Unpacked, the carried fields come back and the others stay empty.
    std::vector<NetMessage> out(4);
    int32_t count = 0;
    EXPECT_EQ(net::UnpackMessages(reinterpret_cast<const uint8_t*>(expected.data()), expected.size(), out.data(),
                                  out.size(), count),
              expected.size());
    ASSERT_EQ(count, 1);
    EXPECT_EQ(Hex(Packed(out[0])), Hex(expected));
  }
  // Code 34 skips a5 entirely.
  const std::string b34 = Packed(Full(2, 34));
  EXPECT_EQ(b34.size(), 22u);
  EXPECT_EQ(b34.find(std::string(4, '\x05')), std::string::npos);
}

TEST(WireFormat, UnpackCases) {
  struct Case {
    const char* what;
    std::string bytes;
    size_t consumed;
    int32_t count;
  };
  std::string headers;
  for (int i = 0; i < 1000; ++i) headers += std::string("\x01\x0A", 2);
  const std::string auth = Bytes().Header(1, 5).Int(3).str();
  const Case cases[] = {
      {"empty", "", 0, 0},
      {"1000 header-only messages", headers, 2000, 1000},
      {"one byte", std::string("\x01", 1), 0, 0},
      {"2/10 cut inside a2", std::string("\x02\x0A\x01\x02", 4), 0, 0},
      {"whole then cut", auth + std::string("\x02\x0A\x01", 3), auth.size(), 1},
      {"type 3 in the middle", auth + std::string("\x03\x05", 2) + auth, auth.size() * 2 + 2, 1},
      {"empty string", Bytes().Header(2, 25).Str("").str(), 6, 1},
      {"length past the end", Bytes().Header(2, 25).U32(5).Raw("abc").str(), 0, 0},
      {"length 0xFFFFFFFF", Bytes().Header(2, 25).U32(0xFFFFFFFFu).Raw("abc").str(), 0, 0},
      {"length 0x80000000", Bytes().Header(2, 25).U32(0x80000000u).Raw("abc").str(), 0, 0},
      {"string length cut", std::string("\x02\x19\x02\x00", 4), 0, 0},
  };
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<NetMessage> out(net::kMaxNetMessages);
    int32_t count = -1;
    const size_t used =
        net::UnpackMessages(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), out.data(), out.size(), count);
    EXPECT_EQ(used, c.consumed);
    EXPECT_EQ(count, c.count);
  }
  const auto log = dir.GameLogTexts();
  EXPECT_EQ(std::count(log.begin(), log.end(), "Error Unpacking Data!"), 1);

  // A full record array stops before the next message instead of writing past it.
  std::vector<NetMessage> two(2);
  int32_t count = 0;
  const std::string three = auth + auth + auth;
  EXPECT_EQ(net::UnpackMessages(reinterpret_cast<const uint8_t*>(three.data()), three.size(), two.data(), 2, count),
            auth.size() * 2);
  EXPECT_EQ(count, 2);
}

TEST(WireFormat, AStreamSplitAtEveryOffsetComesBackWhole) {
  // A run of messages of every shape, fed in two pieces at every cut point the way a
  // receiver keeps the incomplete tail and reads the rest behind it.
  std::vector<NetMessage> sent;
  for (auto [type, code] : std::vector<std::pair<uint32_t, uint32_t>>{
           {1, 16}, {1, 11}, {2, 34}, {2, 25}, {1, 27}, {2, 10}, {1, 2}, {2, 33}, {1, 39}}) {
    sent.push_back(Full(type, code));
  }
  std::string stream;
  for (const NetMessage& m : sent) stream += Packed(m);
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    SCOPED_TRACE(cut);
    std::string buffer = stream.substr(0, cut);
    std::vector<NetMessage> got;
    std::vector<NetMessage> out(net::kMaxNetMessages);
    for (int piece = 0; piece < 2; ++piece) {
      int32_t count = 0;
      const size_t used = net::UnpackMessages(reinterpret_cast<const uint8_t*>(buffer.data()), buffer.size(),
                                              out.data(), out.size(), count);
      for (int32_t i = 0; i < count; ++i) got.push_back(out[static_cast<size_t>(i)]);
      buffer.erase(0, used);
      if (piece == 0) buffer += stream.substr(cut);
    }
    EXPECT_TRUE(buffer.empty());
    ASSERT_EQ(got.size(), sent.size());
    for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(Packed(got[i]), Packed(sent[i]));
  }
}

TEST(WireFormat, AMessageThatDoesNotFitIsNotWritten) {
  NetMessage m;
  m.type = 2;
  m.code = 25;
  m.str1.assign(net::kNetBufferSize, 'x');
  uint8_t buf[net::kNetBufferSize];
  std::memset(buf, 0xAB, sizeof buf);
  size_t pos = 0;
  EXPECT_FALSE(m.Pack(buf, sizeof buf, pos));
  EXPECT_EQ(pos, 0u);
  EXPECT_EQ(buf[0], 0xAB);
  // Exactly full fits.
  m.str1.assign(net::kNetBufferSize - 6, 'x');
  EXPECT_TRUE(m.Pack(buf, sizeof buf, pos));
  EXPECT_EQ(pos, net::kNetBufferSize);
  // Behind other bytes, the room left is what counts.
  size_t later = 10;
  EXPECT_FALSE(m.Pack(buf, sizeof buf, later));
  EXPECT_EQ(later, 10u);
}

TEST(WireFormat, TheVersionTravelsAsFloatBits) {
  NetMessage m;
  m.SetA6Float(net::kNetVersion);
  EXPECT_EQ(static_cast<uint32_t>(m.a6), 0x3FA28F5Cu);
  EXPECT_EQ(m.A6AsFloat(), 1.27f);
  m.a6 = static_cast<int32_t>(0x3FA28F5Du);  // the next float up is another version
  EXPECT_NE(m.A6AsFloat(), net::kNetVersion);
}

TEST(WireFormat, ReadStringFieldKeepsThePositionOnFailure) {
  const std::string b = Bytes().U32(4).Raw("ab").str();
  size_t pos = 0;
  std::string target = "old";
  EXPECT_FALSE(net::ReadStringField(reinterpret_cast<const uint8_t*>(b.data()), pos, b.size(), target));
  EXPECT_EQ(pos, 0u);
  EXPECT_TRUE(target.empty());
  const std::string ok = Bytes().U32(2).Raw("ab").str();
  EXPECT_TRUE(net::ReadStringField(reinterpret_cast<const uint8_t*>(ok.data()), pos, ok.size(), target));
  EXPECT_EQ(pos, 6u);
  EXPECT_EQ(target, "ab");
}

}  // namespace
