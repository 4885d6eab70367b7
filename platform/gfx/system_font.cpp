// Rasterising the system face with FreeType into an atlas, and drawing lines of it.
#include "platform/gfx/system_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <filesystem>

namespace platform::gfx {

namespace {
constexpr int kAtlasWidth = 1024;
constexpr const char* kFontFolder = "/usr/share/fonts/truetype/dejavu/";
}  // namespace

std::string SystemFontFile(std::u16string_view, int weight) {
  // Every face name maps onto the sans face; its bold cut above normal weight.
  return std::string(kFontFolder) + (weight >= 700 ? "DejaVuSans-Bold.ttf" : "DejaVuSans.ttf");
}

SystemFont::~SystemFont() = default;

std::unique_ptr<SystemFont> SystemFont::Create(RenderDevice* device, int height, int weight,
                                               std::u16string_view face) {
  if (!device || height <= 0 || height > 512) return nullptr;
  std::string path = SystemFontFile(face, weight);
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library)) return nullptr;
  FT_Face ftFace = nullptr;
  if (FT_New_Face(library, path.c_str(), 0, &ftFace)) {
    FT_Done_FreeType(library);
    return nullptr;
  }
  FT_Set_Pixel_Sizes(ftFace, 0, FT_UInt(height));
  std::unique_ptr<SystemFont> font(new SystemFont());
  font->device_ = device;
  font->facePath_ = path;
  font->ascender_ = int(ftFace->size->metrics.ascender >> 6);
  font->lineHeight_ = int(ftFace->size->metrics.height >> 6);
  // Shelf packing, rows of the line height.
  std::vector<std::vector<uint8_t>> bitmaps(256);
  int penX = 1, penY = 1, rowHeight = 0;
  for (int code = 32; code < 256; ++code) {
    if (FT_Load_Char(ftFace, FT_ULong(code), FT_LOAD_RENDER)) continue;
    FT_GlyphSlot g = ftFace->glyph;
    Glyph& out = font->glyphs_[size_t(code)];
    out.w = int(g->bitmap.width);
    out.h = int(g->bitmap.rows);
    out.bearingX = g->bitmap_left;
    out.bearingY = g->bitmap_top;
    out.advance = int(g->advance.x >> 6);
    if (penX + out.w + 1 > kAtlasWidth) {
      penX = 1;
      penY += rowHeight + 1;
      rowHeight = 0;
    }
    out.x = penX;
    out.y = penY;
    penX += out.w + 1;
    rowHeight = std::max(rowHeight, out.h);
    auto& bits = bitmaps[size_t(code)];
    bits.resize(size_t(out.w) * size_t(out.h));
    for (int r = 0; r < out.h; ++r)
      for (int c = 0; c < out.w; ++c)
        bits[size_t(r) * out.w + c] = g->bitmap.buffer[r * g->bitmap.pitch + c];
  }
  int atlasHeight = penY + rowHeight + 1;
  ImageData atlas;
  atlas.width = kAtlasWidth;
  atlas.height = atlasHeight;
  atlas.rgba.assign(size_t(kAtlasWidth) * atlasHeight * 4, 0);
  for (int code = 32; code < 256; ++code) {
    const Glyph& gl = font->glyphs_[size_t(code)];
    const auto& bits = bitmaps[size_t(code)];
    for (int r = 0; r < gl.h; ++r)
      for (int c = 0; c < gl.w; ++c) {
        uint8_t* px = &atlas.rgba[(size_t(gl.y + r) * kAtlasWidth + size_t(gl.x + c)) * 4];
        px[0] = px[1] = px[2] = 255;
        px[3] = bits[size_t(r) * gl.w + c];
      }
  }
  FT_Done_Face(ftFace);
  FT_Done_FreeType(library);
  font->atlas_ = device->CreateTexture(std::move(atlas));
  if (!font->atlas_) return nullptr;
  return font;
}

int SystemFont::TextWidth(std::string_view text) const {
  int w = 0;
  for (unsigned char c : text)
    if (c >= 32) w += glyphs_[c].advance;
  return w;
}

int SystemFont::DrawText(Sprite* sprite, std::string_view text, Rect& box, uint32_t format, uint32_t argb) {
  int width = TextWidth(text);
  if (format & text_format::kCalcRect) {
    box.right = box.left + width;
    box.bottom = box.top + lineHeight_;
    return lineHeight_;
  }
  Sprite own(device_);
  Sprite* s = sprite ? sprite : &own;
  bool began = !s->InScene();
  if (began) s->Begin(sprite_flags::kAlphaBlend);
  Matrix saved = s->GetTransform();
  s->SetTransform(Matrix());
  int penX = box.left;
  if (format & text_format::kCenter) penX = box.left + (box.Width() - width) / 2;
  int baseline = box.top + ascender_;
  for (unsigned char c : text) {
    if (c < 32) continue;
    const Glyph& g = glyphs_[c];
    if (g.w > 0 && g.h > 0) {
      Rect src{g.x, g.y, g.x + g.w, g.y + g.h};
      Vec3 at(float(penX + g.bearingX), float(baseline - g.bearingY), 0.0f);
      s->Draw(atlas_.get(), &src, nullptr, &at, argb);
    }
    penX += g.advance;
  }
  s->SetTransform(saved);
  if (began) s->End();
  return lineHeight_;
}

}  // namespace platform::gfx
