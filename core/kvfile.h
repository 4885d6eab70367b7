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
  kNoByteOrderMark,  // neither UTF-16LE with its mark nor text (zero bytes without a mark)
};

// The largest key-value file read: settings and profiles hold a few kilobytes.
constexpr size_t kMaxKeyValueFileBytes = size_t(4) << 20;

// Reads a key-value file and hands each line that splits to `onPair`, in file order.
// Lines that do not split are skipped. The file is UTF-16LE with its byte-order
// mark as the game writes it, or UTF-8 (with or without a mark) as a text editor
// saves it, lines ending in LF or CR LF. Files larger than kMaxKeyValueFileBytes are
// refused as unreadable.
KeyValueRead ReadKeyValueFile(std::u16string_view path,
                              const std::function<void(const std::u16string& key, const std::u16string& value)>& onPair);

// The same over bytes already in memory.
KeyValueRead ParseKeyValueBytes(std::string_view bytes,
                                const std::function<void(const std::u16string& key, const std::u16string& value)>& onPair);

// The one kept copy and the line in the log for a file that the last read could not
// take whole: call before a save replaces it. False when the copy could not be made
// (then the save must not go ahead).
bool KeepUnreadFile(std::u16string_view path);

// A repeated complaint of a reader (an unknown key on every line of a bad file): the
// first is logged as it is, the rest only counted and logged once at the end.
class RepeatedComplaint {
 public:
  explicit RepeatedComplaint(std::string text) : text_(std::move(text)) {}
  ~RepeatedComplaint();
  void Add();

 private:
  std::string text_;
  long long count_ = 0;
};

// Numeric values of a file with the range the game can use: one row per key that
// has a limit. Keys without a row are taken as they are.
struct ValueRange {
  const char16_t* key;
  int32_t min;
  int32_t max;
};

// The value held to its key's row of the table (logged once when it was outside).
int32_t ClampToRange(const ValueRange* table, size_t rows, std::u16string_view key, int32_t value);
template <size_t N>
int32_t ClampToRange(const ValueRange (&table)[N], std::u16string_view key, int32_t value) {
  return ClampToRange(table, N, key, value);
}

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
