#include "devices/midi/button_map.h"

#include <cstring>

void ButtonSlot::Reset() {
  for (int i = 0; i < kCodes; ++i) {
    codes[i] = -1;
    second[i] = 0;
    third[i] = 0;
  }
  pressedValue = 0;
  releasedValue = 0;
}

int ButtonSlot::FirstFree() const {
  for (int i = 0; i < kCodes; ++i)
    if (codes[i] == -1) return i;
  return -1;
}

void ButtonMap::Reset() {
  for (ButtonSlot& s : slots) s.Reset();
}

int FindButton(const ButtonName* table, int count, const char* name, size_t length) {
  for (int i = 0; i < count; ++i)
    if (std::strlen(table[i].name) == length && std::memcmp(table[i].name, name, length) == 0) return table[i].slot;
  return -1;
}
