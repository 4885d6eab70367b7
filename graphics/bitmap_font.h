// Bitmap fonts: a font is a folder of pictures named by character code (32-255); the
// font manager loads font folders into a list and draws one line of text in 3D, one
// picture per character on its own unit square, placed and coloured by a Transform.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "graphics/image.h"
#include "graphics/transform.h"

namespace graphics {

class GameAssets;

struct BitmapFont {
  std::array<Image, 256> glyphs;
  std::u16string name;
  std::u16string folder;  // ends with '/'
};

enum class TextCase : int32_t { kAsWritten = 0, kUpper = 1, kLower = 2 };

class FontManager {
 public:
  // device and assets are not owned.
  void Init(platform::gfx::RenderDevice* device, GameAssets* assets);
  void Release();

  BitmapFont* AppendFont();
  bool LoadFont(std::u16string_view folder, std::u16string_view name);
  // Every sub-folder of fontsFolder (ending with '/') becomes a font of that name.
  bool LoadAll(std::u16string_view fontsFolder);
  // One line of text; false when nothing could be drawn (no such font, no fonts,
  // invisible transform). Characters highlightFirst..highlightLast (indices) take the
  // highlight colour.
  bool DrawText(const Transform* transform, int32_t textCase, int32_t maxLength, int32_t highlightFirst,
                int32_t highlightLast, std::u16string_view text, std::u16string_view fontName, float size);

  // The width the text takes (before scale): the sum of its drawable glyphs' widths.
  static float MeasureText(const BitmapFont& font, std::u16string_view text, float size);
  // The last loaded font of that name (ignoring case), or null.
  const BitmapFont* FindFont(std::u16string_view name) const;
  size_t FontCount() const { return fonts_.size(); }
  Quad* GetQuad() { return quad_.get(); }

  platform::gfx::Material material;
  platform::gfx::Material highlightMaterial;

 private:
  std::unique_ptr<Quad> quad_;
  platform::gfx::RenderDevice* device_ = nullptr;
  GameAssets* assets_ = nullptr;
  std::list<BitmapFont> fonts_;
  std::u16string line_;  // the line as drawn (cut, case changed); kept to reuse its storage
};

}  // namespace graphics
