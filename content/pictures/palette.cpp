// Look-ups into the palette table.
#include "palette.h"

namespace velorin::pictures {

Colour HueColour(Hue hue) {
  for (const HueEntry& entry : kHues)
    if (entry.hue == hue) return Hex(entry.rgb);
  return Hex(Palette::kText);
}

bool HueByName(const std::string& name, Hue* hue) {
  for (const HueEntry& entry : kHues) {
    if (name == entry.name) {
      *hue = entry.hue;
      return true;
    }
  }
  return false;
}

}  // namespace velorin::pictures
