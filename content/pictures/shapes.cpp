// Shared drawing recipes of shapes.h.
#include "shapes.h"

#include <algorithm>
#include <cmath>

namespace velorin::pictures {

void FillShape(Canvas& canvas, const Distance& shape, const Paint& paint) {
  canvas.Over([&](float x, float y) {
    float cover = Coverage(shape(x, y));
    if (cover <= 0) return Colour{0, 0, 0, 0};
    Colour c = paint(x, y);
    c.a *= cover;
    return c;
  });
}

void FillShape(Canvas& canvas, const Distance& shape, const Colour& colour) {
  FillShape(canvas, shape, [&](float, float) { return colour; });
}

void AddGlow(Canvas& canvas, const Distance& shape, const Colour& colour, float radius) {
  canvas.Add([&](float x, float y) {
    float d = std::max(0.0f, shape(x, y));
    float fall = std::exp(-(d * d) / (radius * radius) * 2.5f);
    return WithAlpha(colour, colour.a * fall);
  });
}

Distance Outline(const Distance& shape, float width) {
  return [shape, width](float x, float y) { return std::fabs(shape(x, y)) - width / 2; };
}

Colour Grainy(const Colour& c, float x, float y, float strength, uint32_t seed) {
  float n = FractalNoise(x, y, 24.0f, 3, seed) - 0.5f;
  return Scaled(c, 1.0f + n * 2.0f * strength);
}

void DrawGem(Canvas& canvas, const Distance& shape, float cx, float cy, float size, const GemLook& look) {
  const float bevel = look.bevel * size;
  const float rim = look.rim * size;
  const Colour base = Scaled(look.colour, 0.45f);
  // Light from the top left, a little towards the viewer.
  const float lx = -0.6f, ly = -0.7f;
  FillShape(canvas, shape, [&](float x, float y) {
    float d = shape(x, y);
    Colour c;
    if (-d < bevel) {
      // Bevel: shade by the edge's slope towards the light.
      float e = 0.75f;
      float gx = (shape(x + e, y) - shape(x - e, y)) / (2 * e);
      float gy = (shape(x, y + e) - shape(x, y - e)) / (2 * e);
      float len = std::max(1e-4f, std::hypot(gx, gy));
      float facing = -(gx * lx + gy * ly) / len;  // 1 where the bevel faces the light
      float t = Clamp01(-d / bevel);
      c = Mix(base, Scaled(look.colour, 0.85f + 0.45f * facing), 0.35f + 0.65f * t);
    } else {
      // Top face: brighter towards the light, a touch darker away from it.
      float u = ((x - cx) * lx + (y - cy) * ly) / size;
      c = Scaled(look.colour, 1.0f + 0.18f * u);
    }
    return Grainy(c, x, y, look.grain, look.seed);
  });
  if (rim > 0) {
    FillShape(canvas, [&](float x, float y) { return std::fabs(shape(x, y) + bevel) - rim / 2; },
              Hex(0xF5F5F7, 0.9f));
  }
  if (look.highlight > 0) {
    float hx = cx - 0.32f * size, hy = cy - 0.36f * size;
    canvas.Add([&](float x, float y) {
      if (shape(x, y) > -bevel) return Colour{0, 0, 0, 0};
      float dx = (x - hx) / (0.42f * size), dy = (y - hy) / (0.22f * size);
      float r2 = dx * dx + dy * dy;
      return Colour{1, 1, 1, look.highlight * std::exp(-r2 * 2.0f)};
    });
  }
}

}  // namespace velorin::pictures
