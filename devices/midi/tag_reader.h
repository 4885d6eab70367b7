// The tag stream of the device description files: narrow text in which tags stand
// between '<' and '>', a value is the text after a tag up to the next '<', and a
// comment is a tag that begins with "!--" and ends with "--" (it may contain '>').
// The reader works on bytes in memory and never reads past them, whatever they hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TagReader {
 public:
  explicit TagReader(std::string_view text) : text_(text) {}

  // Moves past the next tag that is not a comment and gives its name. False at the
  // end of the text (an unterminated tag at the end also ends it).
  bool NextTag(std::string* name);
  // The text from here up to the next '<' (or the end), then moves past the closing
  // tag that follows it. At most maxLength bytes are kept.
  std::string Value(size_t maxLength = std::string::npos);

  bool AtEnd() const { return pos_ >= text_.size(); }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// Reads the device files' numbers: at most 40 characters, decimal (a fraction is cut
// toward zero), clamped to the 32-bit range; text that is not a number reads 0.
int32_t ParseDeviceNumber(std::string_view text);
// The comma-separated numbers of a value, at most maxCount of them.
std::vector<int32_t> ParseNumberList(std::string_view text, size_t maxCount);

// Reads one of the "settings/" files whole; false when it cannot be opened. Files
// over 8 MiB are refused as unreadable.
bool ReadDeviceFile(std::string_view path, std::string* text);
