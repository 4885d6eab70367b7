#include "core/kvfile.h"

#include "platform/text.h"

namespace {
const std::u16string kSeparator = u" = \"";
}

std::u16string ReadIniLine(const char16_t* buffer, int32_t count, int32_t& cursor) {
  if (!buffer || cursor >= count || cursor < 0) return std::u16string();
  for (int32_t i = cursor; i < count - 1; ++i) {
    if (buffer[i] == u'\r' && buffer[i + 1] == u'\n') {
      std::u16string line(buffer + cursor, buffer + i);
      cursor = i + 2;
      return line;
    }
  }
  std::u16string line(buffer + cursor, buffer + count);
  cursor = count;
  return line;
}

bool SplitIniLine(std::u16string line, std::u16string& key, std::u16string& value) {
  const size_t p = line.find(kSeparator);
  const size_t q = line.rfind(u'"');
  if (p == std::u16string::npos || q == std::u16string::npos) return false;
  key = line.substr(0, p);
  if (q == p + 3) value = line.substr(p + 4);
  else value = line.substr(p + 4, q - (p + 4));
  return true;
}

void WriteIniLine(platform::AtomicFile& file, std::u16string_view key, std::u16string_view value) {
  std::u16string line(key);
  line += kSeparator;
  for (char16_t c : value) line.push_back((c == u'\r' || c == u'\n') ? u' ' : c);
  line += u"\"\r\n";
  file.Write(platform::EncodeUtf16LE(line));
}

const char16_t* BoolToText(bool value) { return value ? u"TRUE" : u"FALSE"; }

KeyValueRead ReadKeyValueFile(std::u16string_view path,
                              const std::function<void(const std::u16string&, const std::u16string&)>& onPair) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes, size_t(64) << 20)) return KeyValueRead::kCannotOpen;
  return ParseKeyValueBytes(bytes, onPair);
}

KeyValueRead ParseKeyValueBytes(std::string_view bytes,
                                const std::function<void(const std::u16string&, const std::u16string&)>& onPair) {
  const std::u16string units = platform::DecodeUtf16LE(bytes);
  if (units.empty()) return KeyValueRead::kEmpty;
  if (units[0] != 0xFEFF) return KeyValueRead::kNoByteOrderMark;
  const int32_t count = static_cast<int32_t>(units.size());
  int32_t cursor = 1;
  std::u16string key, value;
  while (cursor < count) {
    std::u16string line = ReadIniLine(units.data(), count, cursor);
    if (SplitIniLine(std::move(line), key, value)) onPair(key, value);
  }
  return KeyValueRead::kOk;
}

bool KeyValueWriter::Open(std::u16string_view path) {
  if (!file_.Open(path)) return false;
  static const char bom[2] = {static_cast<char>(0xFF), static_cast<char>(0xFE)};
  file_.Write(bom, 2);
  return true;
}

void KeyValueWriter::Int(std::u16string_view key, int32_t value) { Line(key, platform::FormatIntW(value)); }
