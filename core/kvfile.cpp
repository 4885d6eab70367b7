#include "core/kvfile.h"

#include "core/log.h"
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
  if (!platform::ReadWholeFile(path, bytes, kMaxKeyValueFileBytes)) return KeyValueRead::kCannotOpen;
  return ParseKeyValueBytes(bytes, onPair);
}

namespace {

// UTF-8 text, one key-value line per LF (a CR before it dropped).
void ParseUtf8Lines(std::string_view text,
                    const std::function<void(const std::u16string&, const std::u16string&)>& onPair) {
  std::u16string key, value;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (SplitIniLine(platform::Utf8ToUtf16(line), key, value)) onPair(key, value);
    start = end + 1;
  }
}

}  // namespace

KeyValueRead ParseKeyValueBytes(std::string_view bytes,
                                const std::function<void(const std::u16string&, const std::u16string&)>& onPair) {
  if (bytes.size() < 2) return KeyValueRead::kEmpty;
  const bool utf16 = static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE;
  if (!utf16) {
    // Text saved by an editor: UTF-8, its mark optional. Zero bytes mean UTF-16
    // without its mark or no text at all; neither is guessed at.
    if (bytes.find('\0') != std::string_view::npos) return KeyValueRead::kNoByteOrderMark;
    if (static_cast<unsigned char>(bytes[0]) == 0xFE && static_cast<unsigned char>(bytes[1]) == 0xFF)
      return KeyValueRead::kNoByteOrderMark;  // big-endian UTF-16's mark
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    ParseUtf8Lines(bytes, onPair);
    return KeyValueRead::kOk;
  }
  const std::u16string units = platform::DecodeUtf16LE(bytes);
  const int32_t count = static_cast<int32_t>(units.size());
  int32_t cursor = 1;
  std::u16string key, value;
  while (cursor < count) {
    std::u16string line = ReadIniLine(units.data(), count, cursor);
    if (SplitIniLine(std::move(line), key, value)) onPair(key, value);
  }
  return KeyValueRead::kOk;
}

bool KeepUnreadFile(std::u16string_view path) {
  if (platform::KeepDamagedCopy(path)) return true;
  Log(0, u"File not saved, its old content could not be kept: " + std::u16string(path));
  return false;
}

RepeatedComplaint::~RepeatedComplaint() {
  if (count_ > 1) LogEx(0, text_ + " (" + std::to_string(count_) + " times in all)");
}

void RepeatedComplaint::Add() {
  if (count_++ == 0) LogEx(0, text_);
}

int32_t ClampToRange(const ValueRange* table, size_t rows, std::u16string_view key, int32_t value) {
  for (size_t i = 0; i < rows; ++i) {
    const ValueRange& r = table[i];
    if (key != r.key) continue;
    if (value >= r.min && value <= r.max) return value;
    const int32_t held = value < r.min ? r.min : r.max;
    Log(0, u"Value out of range, " + std::u16string(key) + u" set to " + platform::FormatIntW(held));
    return held;
  }
  return value;
}

bool KeyValueWriter::Open(std::u16string_view path) {
  if (!file_.Open(path)) {
    if (file_.RefusedReadOnly()) Log(0, u"File is read-only, not saved: " + std::u16string(path));
    return false;
  }
  static const char bom[2] = {static_cast<char>(0xFF), static_cast<char>(0xFE)};
  file_.Write(bom, 2);
  return true;
}

void KeyValueWriter::Int(std::u16string_view key, int32_t value) { Line(key, platform::FormatIntW(value)); }
