#include "net/protocol/net_message.h"

#include <array>
#include <bit>
#include <cstring>

#include "core/log.h"

namespace net {
namespace {

using F = Field;

struct PairFields {
  uint32_t type;
  uint32_t code;
  std::array<Field, 5> fields;
  uint8_t count;
};

// Every pair that carries fields; any other pair is the header alone.
constexpr PairFields kTable[] = {
    {1, 5, {F::kA3}, 1},
    {1, 11, {F::kA6}, 1},
    {1, 13, {F::kStr1}, 1},
    {1, 15, {F::kA3}, 1},
    {1, 16, {F::kStr1}, 1},
    {1, 17, {F::kA2, F::kA3, F::kA4, F::kA5, F::kStr1}, 5},
    {1, 20, {F::kA3}, 1},
    {1, 22, {F::kA2}, 1},
    {1, 27, {F::kA3, F::kStr1, F::kStr2}, 3},
    {1, 28, {F::kA3}, 1},
    {1, 32, {F::kA3}, 1},
    {1, 35, {F::kStr1}, 1},
    {1, 39, {F::kA6, F::kA7}, 2},
    {2, Code(GameCode::kNoteHit), {F::kA2, F::kA3}, 2},
    {2, Code(GameCode::kPress), {F::kA2, F::kA3, F::kA4}, 3},
    {2, Code(GameCode::kFretState), {F::kA2, F::kA3}, 2},
    {2, Code(GameCode::kEnergy), {F::kA2}, 1},
    {2, Code(GameCode::kMiss), {F::kA2, F::kA3}, 2},
    {2, Code(GameCode::kReserved), {F::kA2, F::kA3}, 2},
    {2, Code(GameCode::kOtherPlayerLeft), {F::kA2}, 1},
    {2, Code(GameCode::kYourPlayerJoined), {F::kA2, F::kA3}, 2},
    {2, Code(GameCode::kYourPlayerLeft), {F::kA2}, 1},
    {2, Code(GameCode::kSlotState), {F::kA2, F::kA3, F::kA4, F::kA5}, 4},
    {2, Code(GameCode::kChat), {F::kStr1}, 1},
    {2, Code(GameCode::kLeader), {F::kA3}, 1},
    {2, Code(GameCode::kOtherPlayerJoined), {F::kA2}, 1},
    {2, Code(GameCode::kCurrentSong), {F::kA3, F::kStr1, F::kStr2}, 3},
    {2, Code(GameCode::kRosterEntry), {F::kA3, F::kA4, F::kStr1}, 3},
    {2, Code(GameCode::kPlayerInfo), {F::kA2, F::kA3, F::kA4, F::kA5, F::kStr1}, 5},
    {2, Code(GameCode::kScoreState), {F::kA2, F::kA3, F::kA4, F::kA6, F::kA7}, 5},
    {2, Code(GameCode::kEnergyFlag), {F::kA2, F::kA3}, 2},
    {2, Code(GameCode::kGameType), {F::kA3}, 1},
    {2, Code(GameCode::kCommonListHash), {F::kStr1}, 1},
};

int32_t& IntField(NetMessage& m, Field f) {
  switch (f) {
    case F::kA2: return m.a2;
    case F::kA3: return m.a3;
    case F::kA4: return m.a4;
    case F::kA5: return m.a5;
    case F::kA6: return m.a6;
    default: return m.a7;
  }
}

int32_t IntField(const NetMessage& m, Field f) { return IntField(const_cast<NetMessage&>(m), f); }

bool IsString(Field f) { return f == F::kStr1 || f == F::kStr2; }

std::string& StringField(NetMessage& m, Field f) { return f == F::kStr1 ? m.str1 : m.str2; }
const std::string& StringField(const NetMessage& m, Field f) { return f == F::kStr1 ? m.str1 : m.str2; }

void WriteU32(uint8_t* buffer, size_t& pos, uint32_t v) {
  for (int i = 0; i < 4; ++i) buffer[pos++] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t ReadU32(const uint8_t* buffer, size_t pos) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(buffer[pos + static_cast<size_t>(i)]) << (8 * i);
  return v;
}

}  // namespace

std::span<const Field> FieldsOf(uint32_t type, uint32_t code) {
  type &= 0xFFu;
  code &= 0xFFu;
  for (const PairFields& p : kTable)
    if (p.type == type && p.code == code) return {p.fields.data(), p.count};
  return {};
}

void NetMessage::Clear() { *this = NetMessage(); }

size_t NetMessage::PackedSize() const {
  size_t size = 2;
  for (Field f : FieldsOf(type, code)) size += IsString(f) ? 4 + StringField(*this, f).size() : 4;
  return size;
}

bool NetMessage::Pack(uint8_t* buffer, size_t capacity, size_t& pos) const {
  if (pos > capacity || PackedSize() > capacity - pos) return false;
  buffer[pos++] = static_cast<uint8_t>(type);
  buffer[pos++] = static_cast<uint8_t>(code);
  for (Field f : FieldsOf(type, code)) {
    if (IsString(f)) {
      WriteStringField(buffer, pos, StringField(*this, f));
    } else {
      WriteU32(buffer, pos, static_cast<uint32_t>(IntField(*this, f)));
    }
  }
  return true;
}

float NetMessage::A6AsFloat() const { return std::bit_cast<float>(a6); }
float NetMessage::A7AsFloat() const { return std::bit_cast<float>(a7); }
void NetMessage::SetA6Float(float value) { a6 = std::bit_cast<int32_t>(value); }
void NetMessage::SetA7Float(float value) { a7 = std::bit_cast<int32_t>(value); }

void WriteStringField(uint8_t* buffer, size_t& pos, const std::string& text) {
  WriteU32(buffer, pos, static_cast<uint32_t>(text.size()));
  if (!text.empty()) std::memcpy(buffer + pos, text.data(), text.size());
  pos += text.size();
}

bool ReadStringField(const uint8_t* buffer, size_t& pos, size_t n, std::string& target) {
  target.clear();
  if (pos > n || n - pos < 4) return false;
  const uint32_t length = ReadU32(buffer, pos);
  if (length > n - pos - 4) return false;
  target.assign(reinterpret_cast<const char*>(buffer + pos + 4), length);
  pos += 4 + length;
  return true;
}

size_t UnpackMessages(const uint8_t* buffer, size_t n, NetMessage* out, size_t capacity, int32_t& count,
                      bool* badType) {
  count = 0;
  if (badType) *badType = false;
  size_t pos = 0;
  while (pos < n) {
    const size_t start = pos;
    if (static_cast<size_t>(count) >= capacity) return start;
    if (n - pos < 2) return start;
    NetMessage& m = out[count];
    m.Clear();
    m.type = buffer[pos];
    m.code = buffer[pos + 1];
    pos += 2;
    if (m.type != kControlMessage && m.type != kGameMessage) {
      LogNarrow("Error Unpacking Data!");
      if (badType) *badType = true;
      return n;
    }
    for (Field f : FieldsOf(m.type, m.code)) {
      if (IsString(f)) {
        if (!ReadStringField(buffer, pos, n, StringField(m, f))) return start;
      } else {
        if (n - pos < 4) return start;
        IntField(m, f) = static_cast<int32_t>(ReadU32(buffer, pos));
        pos += 4;
      }
    }
    ++count;
  }
  return n;
}

}  // namespace net
