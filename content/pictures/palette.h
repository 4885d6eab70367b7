// The one palette of the generated pictures: every painter takes its colours from
// here, so a theme that wants other colours changes them in this table only.
#pragma once

#include <string>

#include "canvas.h"

namespace velorin::pictures {

// Lane hues by the names the picture files use.
enum class Hue { Bass, Green, Red, Yellow, Blue, Orange, Purple, Yellow2, Blue2, Green2, White, Black, Energy, Miss };

struct HueEntry {
  Hue hue;
  const char* name;  // as in file names: "Green", "Yellow_2", ...
  uint32_t rgb;
};

// The "_2" hues are 25 % darker than their lane colour; Bass is the open/kick hue,
// Energy the colour of the energy (VL) state.
inline constexpr HueEntry kHues[] = {
    {Hue::Bass, "Bass", 0xFF6B9E},   {Hue::Green, "Green", 0x2ECC40},   {Hue::Red, "Red", 0xFF3B30},
    {Hue::Yellow, "Yellow", 0xFFD60A}, {Hue::Blue, "Blue", 0x0A84FF},   {Hue::Orange, "Orange", 0xFF9F0A},
    {Hue::Purple, "Purple", 0xBF5AF2}, {Hue::Yellow2, "Yellow_2", 0xBFA008}, {Hue::Blue2, "Blue_2", 0x0863BF},
    {Hue::Green2, "Green_2", 0x23992F}, {Hue::White, "White", 0xF5F5F7}, {Hue::Black, "Black", 0x2A2D35},
    {Hue::Energy, "VL", 0x5AC8FA},     {Hue::Miss, "Miss", 0x7C7C84},
};

struct Palette {
  static constexpr uint32_t kBoardDark = 0x16181D;
  static constexpr uint32_t kBoardMid = 0x20232A;
  static constexpr uint32_t kBoardLight = 0x2A2D35;
  static constexpr uint32_t kText = 0xF5F5F7;
  static constexpr uint32_t kAccent = 0xFFB340;
  static constexpr uint32_t kWarning = 0xFF453A;
  static constexpr uint32_t kSolo = 0x64D2FF;
  static constexpr uint32_t kFreestyle = 0xBF5AF2;
};

Colour HueColour(Hue hue);
// Finds a hue by its file-name spelling ("Green", "Yellow_2", "VL", ...).
bool HueByName(const std::string& name, Hue* hue);

}  // namespace velorin::pictures
