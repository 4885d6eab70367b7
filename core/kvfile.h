// Key-value line files: UTF-16LE with a byte-order mark, one `KEY = "value"` line
// each, CR LF ends. Used by the settings, the profiles and the career files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file.h"

// The line at the cursor; only CR LF ends a line. The cursor moves past it.
std::u16string ReadIniLine(const char16_t* buffer, int32_t count, int32_t& cursor);

// Splits at the first ` = "`; the value ends at the line's last '"'.
bool SplitIniLine(std::u16string line, std::u16string& key, std::u16string& value);

// Writes key + ` = "` + value + `"` + CR LF. A CR or LF inside the value would end
// the line early and let the rest be read as another key, so each becomes a space.
void WriteIniLine(platform::AtomicFile& file, std::u16string_view key, std::u16string_view value);

const char16_t* BoolToText(bool value);

enum class KeyValueRead {
  kOk,           // read; every split line was handed over
  kCannotOpen,   // missing or unreadable
  kEmpty,        // fewer than one whole code unit
  kNoByteOrderMark,
};

// Reads a key-value file and hands each line that splits to `onPair`, in file order.
// Lines that do not split are skipped. Files larger than 64 MiB are refused as
// unreadable.
KeyValueRead ReadKeyValueFile(std::u16string_view path,
                              const std::function<void(const std::u16string& key, const std::u16string& value)>& onPair);

// The same over bytes already in memory.
KeyValueRead ParseKeyValueBytes(std::string_view bytes,
                                const std::function<void(const std::u16string& key, const std::u16string& value)>& onPair);

// Writes a key-value file: the byte-order mark, then the lines, replacing the old
// file only when everything was written.
class KeyValueWriter {
 public:
  bool Open(std::u16string_view path);
  void Line(std::u16string_view key, std::u16string_view value) { WriteIniLine(file_, key, value); }
  void Int(std::u16string_view key, int32_t value);
  void Bool(std::u16string_view key, bool value) { Line(key, BoolToText(value)); }
  bool Close() { return file_.Commit(); }

 private:
  platform::AtomicFile file_;
};
