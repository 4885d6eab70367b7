// The logical buttons of a controller description: 29 slots, each with up to ten
// device codes (a DirectInput data offset, a keyboard code or a MIDI note) that act
// as the button, with the values that mean pressed and released and, for MIDI, a
// channel and a threshold per code.
#pragma once

#include <cstddef>
#include <cstdint>

struct ButtonSlot {
  static constexpr int kCodes = 10;
  int32_t codes[kCodes];
  int32_t pressedValue;
  int32_t releasedValue;
  int32_t second[kCodes];  // MIDI channel per code
  int32_t third[kCodes];   // MIDI threshold per code

  ButtonSlot() { Reset(); }
  void Reset();
  // The first code position that is still -1, or -1 when all ten are used.
  int FirstFree() const;
};

// Slot indexes.
namespace slot {
constexpr int kGreen = 0, kRed = 1, kYellow = 2, kBlue = 3, kOrange = 4, kBass = 5;
constexpr int kUp = 6, kDown = 7, kLeft = 8, kRight = 9, kStrumUp = 10, kStrumDown = 11;
constexpr int kBack = 12, kStart = 13, kWhammy = 14, kSlider = 15, kXGyro = 16, kYGyro = 17;
constexpr int kYellowTom = 18, kBlueTom = 19, kGreenTom = 20, kBass2 = 21, kCymbal = 22, kTom = 23;
constexpr int kYellowC = 24, kYellowO = 25, kYellowP = 26, kYellowS = 27, kRim = 28;
constexpr int kCount = 29;
}  // namespace slot

struct ButtonMap {
  ButtonSlot slots[slot::kCount];

  ButtonMap() = default;
  void Reset();
  ButtonSlot& operator[](int i) { return slots[i]; }
  const ButtonSlot& operator[](int i) const { return slots[i]; }
};

// A button name of a device file and the slot it fills.
struct ButtonName {
  const char* name;
  int slot;
};
// The slot of `name` in a table, or -1.
int FindButton(const ButtonName* table, int count, const char* name, size_t length);
