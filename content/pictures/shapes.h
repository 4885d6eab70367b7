// Drawing recipes the painters share: shapes filled with a paint, soft glows, lit
// gem faces with a bevel, a white rim and a highlight, grain and brushed metal.
#pragma once

#include <functional>

#include "canvas.h"

namespace velorin::pictures {

using Distance = std::function<float(float x, float y)>;

// Lays paint over the inside of the shape, anti-aliased at its edge.
void FillShape(Canvas& canvas, const Distance& shape, const Paint& paint);
void FillShape(Canvas& canvas, const Distance& shape, const Colour& colour);
// Adds a soft light that falls off over radius pixels outside the shape (and is
// full inside it).
void AddGlow(Canvas& canvas, const Distance& shape, const Colour& colour, float radius);
// A stroke of the given width along the shape's edge.
Distance Outline(const Distance& shape, float width);

// A solid, lit face: a bevel lit from the top left, a darker base showing below,
// a white rim inside the bevel and a soft highlight.
struct GemLook {
  Colour colour;
  float bevel = 0.14f;      // bevel width as a fraction of the face's size
  float rim = 0.035f;       // white rim width, same unit (0 for none)
  float highlight = 0.45f;  // strength of the specular spot
  float grain = 0.05f;      // strength of the surface noise
  uint32_t seed = 1;
};
// size: the face's half extent in pixels (scales bevel, rim and highlight).
void DrawGem(Canvas& canvas, const Distance& shape, float cx, float cy, float size, const GemLook& look);

// Multiplies paint with a little grain noise.
Colour Grainy(const Colour& c, float x, float y, float strength, uint32_t seed);

}  // namespace velorin::pictures
