// The system font of the debug and status lines: a TrueType face that ships with the
// system, rasterised once into an atlas texture (codes 32-255), drawn as sprite quads.
// Measures and draws one-line texts into a box, left-aligned or centred.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/gfx/sprite.h"

namespace platform::gfx {

namespace text_format {
constexpr uint32_t kLeft = 0x0;
constexpr uint32_t kCenter = 0x1;
constexpr uint32_t kCalcRect = 0x400;
}  // namespace text_format

class SystemFont {
 public:
  // height in pixels; weight 700 and more picks the bold face. Null when no face
  // file can be read.
  static std::unique_ptr<SystemFont> Create(RenderDevice* device, int height, int weight, std::u16string_view face);
  ~SystemFont();

  // kCalcRect: box.right and box.bottom are set to fit the text (box.left and
  // box.top kept) and nothing is drawn. Otherwise the text is drawn in the box (kCenter
  // centres it across). Returns the text's height. Codes outside 32-255 draw nothing.
  int DrawText(Sprite* sprite, std::string_view text, Rect& box, uint32_t format, uint32_t argb);
  int LineHeight() const { return lineHeight_; }
  void OnLostDevice() {}
  void OnResetDevice() {}
  const std::string& FacePath() const { return facePath_; }

 private:
  struct Glyph {
    int x = 0, y = 0, w = 0, h = 0;   // in the atlas
    int bearingX = 0, bearingY = 0;   // from the pen and the baseline
    int advance = 0;
  };
  SystemFont() = default;
  int TextWidth(std::string_view text) const;

  RenderDevice* device_ = nullptr;
  std::unique_ptr<Texture> atlas_;
  std::array<Glyph, 256> glyphs_{};
  int lineHeight_ = 0, ascender_ = 0;
  std::string facePath_;
};

// The face file used for a face name (a DejaVu face of the system).
std::string SystemFontFile(std::u16string_view face, int weight);

}  // namespace platform::gfx
