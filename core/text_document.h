// UTF-16 tag documents: a UTF-16LE file with a byte-order mark, read whole and
// walked forward with a cursor (tags in angle brackets, values, quoted strings).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TextDocument {
 public:
  // Replaces the contents with the file; true when it was read and begins with the mark.
  bool Load(std::u16string_view path);
  void Free();

  std::u16string ReadTo(char16_t delimiter);
  std::u16string NextTag();
  std::u16string NextValue();
  std::u16string NextQuoted();

  int32_t byteSize = 0;
  int32_t count = 0;   // code units, the mark included
  int32_t cursor = 0;  // next unit to read

 private:
  std::vector<char16_t> text_;
};
