// Letters and digits for the generated pictures, rendered at build time with
// FreeType from a free font file: text becomes a coverage mask that is laid on a
// canvas centred on a point, with an optional outline and drop shadow.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "canvas.h"

namespace velorin::pictures {

// Coverage 0..1 of a rendered line of text, cropped to its inked box.
struct TextMask {
  int width = 0;
  int height = 0;
  std::vector<float> coverage;
  float At(int x, int y) const {
    return (x < 0 || y < 0 || x >= width || y >= height) ? 0.0f : coverage[static_cast<size_t>(y) * width + x];
  }
};

struct TextStyle {
  Colour top{1, 1, 1, 1};       // fill at the top of the letters
  Colour bottom{1, 1, 1, 1};    // fill at their bottom (a vertical gradient)
  float outline = 0;            // outline width in pixels, 0 for none
  Colour outline_colour{0, 0, 0, 1};
  float shadow = 0;             // drop shadow offset in pixels, 0 for none
  Colour shadow_colour{0, 0, 0, 0.6f};
};

class Lettering {
 public:
  // Opens the font file; ok() tells whether it could be read.
  explicit Lettering(const std::string& font_path);
  ~Lettering();
  Lettering(const Lettering&) = delete;
  Lettering& operator=(const Lettering&) = delete;

  bool ok() const;
  TextMask Render(const std::string& text, int pixel_size) const;
  // Draws text centred on (cx, cy), shrunk until it fits max_width (0: no limit).
  void Draw(Canvas& canvas, const std::string& text, float cx, float cy, int pixel_size, const TextStyle& style,
            float max_width = 0) const;

 private:
  struct Face;
  std::unique_ptr<Face> face_;
};

// Lays a mask centred on (cx, cy).
void DrawMask(Canvas& canvas, const TextMask& mask, float cx, float cy, const TextStyle& style);

}  // namespace velorin::pictures
