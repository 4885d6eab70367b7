// The keyboard text-entry field. A screen binds it to a narrow string of its own;
// the window's key handler then hands every key-down to OnKey, which edits the
// string in place: letters, digits and symbols up to the maximum length, removal of
// the last character, paste and copy, Enter (keep) and Esc (restore). Keys are
// virtual-key codes of a United Kingdom layout (platform/input/keys.h). Narrow text
// is UTF-8 and lengths count characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TextField {
 public:
  TextField() { Reset(); }

  void Reset();
  // Ends the entry without touching the target.
  void Clear();
  bool Bind(std::string* target);
  void OnKey(uint32_t vk);

  // Whether typing could put this character into the field with its current options
  // (pasted text goes through the same rule).
  bool Accepts(char32_t c) const;

  uint8_t active = 0;
  int32_t maxLength = 12;
  std::string* target = nullptr;
  std::string saved;
  uint8_t allowPeriod = 0;
  uint8_t allowSymbols = 0;
  uint8_t digitsOnly = 0;
  uint8_t noSpaces = 0;
  uint8_t done = 0;
  uint8_t cancelled = 0;

 private:
  bool Room() const;
  void Append(char32_t c);
  void Paste();
};

// The one field of the program.
extern TextField g_TextField;

namespace TextEntry {
void Reset();
void Clear();
void OnKey(uint32_t vk);
}  // namespace TextEntry

// Characters (UTF-8 sequences; a stray byte counts as one) in a narrow text.
size_t Utf8Length(std::string_view text);
