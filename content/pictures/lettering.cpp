// FreeType rendering for lettering.h.
#include "lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velorin::pictures {

struct Lettering::Face {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
};

Lettering::Lettering(const std::string& font_path) : face_(std::make_unique<Face>()) {
  if (FT_Init_FreeType(&face_->library) != 0) {
    face_->library = nullptr;
    return;
  }
  if (FT_New_Face(face_->library, font_path.c_str(), 0, &face_->face) != 0) {
    std::fprintf(stderr, "could not open font %s\n", font_path.c_str());
    face_->face = nullptr;
  }
}

Lettering::~Lettering() {
  if (face_->face) FT_Done_Face(face_->face);
  if (face_->library) FT_Done_FreeType(face_->library);
}

bool Lettering::ok() const { return face_->face != nullptr; }

TextMask Lettering::Render(const std::string& text, int pixel_size) const {
  TextMask mask;
  if (!ok() || text.empty()) return mask;
  FT_Face face = face_->face;
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_size));
  // First pass: the pen positions and the inked box; second: the coverage.
  int ascent = static_cast<int>(face->size->metrics.ascender >> 6);
  int line = static_cast<int>((face->size->metrics.ascender - face->size->metrics.descender) >> 6) + 2;
  int pen = 0;
  int left = 1 << 30, right = -(1 << 30), top = 1 << 30, bottom = -(1 << 30);
  std::vector<float> wide;
  struct Placed {
    int x, y, w, h;
    std::vector<unsigned char> bits;
  };
  std::vector<Placed> placed;
  for (unsigned char ch : text) {
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER) != 0) continue;
    FT_GlyphSlot g = face->glyph;
    Placed p{pen + g->bitmap_left, ascent - g->bitmap_top, static_cast<int>(g->bitmap.width),
             static_cast<int>(g->bitmap.rows), {}};
    p.bits.resize(static_cast<size_t>(p.w) * p.h);
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) p.bits[static_cast<size_t>(y) * p.w + x] = g->bitmap.buffer[y * g->bitmap.pitch + x];
    if (p.w > 0 && p.h > 0) {
      left = std::min(left, p.x), right = std::max(right, p.x + p.w);
      top = std::min(top, p.y), bottom = std::max(bottom, p.y + p.h);
    }
    pen += static_cast<int>(g->advance.x >> 6);
    placed.push_back(std::move(p));
  }
  (void)line;
  if (right <= left || bottom <= top) return mask;
  mask.width = right - left;
  mask.height = bottom - top;
  mask.coverage.assign(static_cast<size_t>(mask.width) * mask.height, 0.0f);
  for (const Placed& p : placed) {
    for (int y = 0; y < p.h; ++y) {
      for (int x = 0; x < p.w; ++x) {
        float& c = mask.coverage[static_cast<size_t>(p.y + y - top) * mask.width + (p.x + x - left)];
        c = std::min(1.0f, c + p.bits[static_cast<size_t>(y) * p.w + x] / 255.0f);
      }
    }
  }
  return mask;
}

void Lettering::Draw(Canvas& canvas, const std::string& text, float cx, float cy, int pixel_size,
                     const TextStyle& style, float max_width) const {
  TextMask mask = Render(text, pixel_size);
  float room = max_width - 2 * style.outline;
  if (max_width > 0 && mask.width > room && mask.width > 0) {
    int fitted = std::max(4, static_cast<int>(pixel_size * room / mask.width));
    mask = Render(text, fitted);
  }
  DrawMask(canvas, mask, cx, cy, style);
}

void DrawMask(Canvas& canvas, const TextMask& mask, float cx, float cy, const TextStyle& style) {
  if (mask.width == 0) return;
  int x0 = static_cast<int>(std::lround(cx - mask.width / 2.0f));
  int y0 = static_cast<int>(std::lround(cy - mask.height / 2.0f));
  int margin = static_cast<int>(std::ceil(style.outline + std::fabs(style.shadow))) + 2;
  auto grown = [&](int mx, int my) {
    // Outline coverage: the strongest coverage within the outline radius.
    float best = mask.At(mx, my);
    int r = static_cast<int>(std::ceil(style.outline));
    for (int dy = -r; dy <= r; ++dy) {
      for (int dx = -r; dx <= r; ++dx) {
        float d = std::hypot(float(dx), float(dy));
        if (d > style.outline + 0.5f) continue;
        float fade = Clamp01(style.outline + 0.5f - d);
        best = std::max(best, mask.At(mx + dx, my + dy) * fade);
      }
    }
    return best;
  };
  int bx0 = x0 - margin, by0 = y0 - margin, bx1 = x0 + mask.width + margin, by1 = y0 + mask.height + margin;
  if (style.shadow != 0) {
    int s = static_cast<int>(std::lround(style.shadow));
    canvas.Over(bx0, by0, bx1, by1, [&](float x, float y) {
      int mx = static_cast<int>(x) - x0 - s, my = static_cast<int>(y) - y0 - s;
      float c = style.outline > 0 ? grown(mx, my) : mask.At(mx, my);
      return WithAlpha(style.shadow_colour, style.shadow_colour.a * c);
    });
  }
  if (style.outline > 0) {
    canvas.Over(bx0, by0, bx1, by1, [&](float x, float y) {
      int mx = static_cast<int>(x) - x0, my = static_cast<int>(y) - y0;
      return WithAlpha(style.outline_colour, style.outline_colour.a * grown(mx, my));
    });
  }
  canvas.Over(bx0, by0, bx1, by1, [&](float x, float y) {
    int mx = static_cast<int>(x) - x0, my = static_cast<int>(y) - y0;
    float t = mask.height > 1 ? Clamp01(float(my) / (mask.height - 1)) : 0.0f;
    Colour fill = Mix(style.top, style.bottom, t);
    return WithAlpha(fill, fill.a * mask.At(mx, my));
  });
}

}  // namespace velorin::pictures
