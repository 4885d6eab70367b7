// A small anti-aliased rasteriser for the generated pictures: shapes are signed
// distance functions in pixel units, painted over a premultiplied float canvas, and
// written as 8-bit straight-alpha PNGs whose nearly clear texels are cut to zero so
// that alpha testing discards them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velorin::pictures {

// Straight (not premultiplied) colour, components 0..1.
struct Colour {
  float r = 0, g = 0, b = 0, a = 1;
};

Colour Hex(uint32_t rgb, float alpha = 1.0f);
Colour Mix(const Colour& a, const Colour& b, float t);
// Multiplies the colour's brightness by factor, keeping its alpha.
Colour Scaled(const Colour& c, float factor);
Colour WithAlpha(const Colour& c, float alpha);
float Clamp01(float v);
float SmoothStep(float edge0, float edge1, float v);

// Coverage of a pixel by a shape whose signed distance at its centre is d (pixels).
float Coverage(float d);

// Signed distances (negative inside), all in pixels.
float CircleDistance(float x, float y, float cx, float cy, float radius);
float BoxDistance(float x, float y, float cx, float cy, float half_w, float half_h, float corner);
float SegmentDistance(float x, float y, float ax, float ay, float bx, float by);
struct Point {
  float x = 0, y = 0;
};
float PolygonDistance(float x, float y, const std::vector<Point>& polygon);
// A regular star (points tips, inner radius ratio) or polygon (ratio 1) about a centre.
std::vector<Point> StarPoints(float cx, float cy, float radius, int tips, float inner_ratio, float turn);

// Deterministic value noise in 0..1 and its fractal sum (octaves halve the scale).
float Noise(float x, float y, uint32_t seed);
float FractalNoise(float x, float y, float scale, int octaves, uint32_t seed);

// Paint returns the colour to lay at a pixel centre, its alpha already holding the
// coverage; a fully clear result leaves the pixel alone.
using Paint = std::function<Colour(float x, float y)>;

class Canvas {
 public:
  Canvas(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }

  // Lays paint over the pixels of the rectangle [x0,x1) x [y0,y1) (clipped).
  void Over(int x0, int y0, int x1, int y1, const Paint& paint);
  void Over(const Paint& paint) { Over(0, 0, width_, height_, paint); }
  // Adds light: colour × alpha is added to the colour, alpha grows the same way.
  void Add(int x0, int y0, int x1, int y1, const Paint& paint);
  void Add(const Paint& paint) { Add(0, 0, width_, height_, paint); }
  // Multiplies every pixel's alpha by the factor paint gives for it.
  void MultiplyAlpha(const std::function<float(float x, float y)>& factor);

  // Straight-alpha colour of one pixel.
  Colour At(int x, int y) const;
  // Copies another canvas scaled to fit the rectangle, over this one.
  void Place(const Canvas& picture, float x, float y, float w, float h);

  // 8-bit RGBA, straight alpha; texels below 3/255 alpha become fully clear.
  std::vector<uint8_t> ToRgba8() const;
  bool WritePng(const std::string& path) const;

 private:
  int width_;
  int height_;
  std::vector<float> pixels_;  // premultiplied RGBA
};

}  // namespace velorin::pictures
