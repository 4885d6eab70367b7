// The rasteriser of canvas.h.
#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <zlib.h>

namespace {
// zlib's deflate at its strongest: the pictures come out about a third smaller than
// with the writer's own deflate.
unsigned char* ZlibDeflate(unsigned char* data, int length, int* outLength, int /*quality*/) {
  uLongf size = compressBound(uLong(length));
  auto* out = static_cast<unsigned char*>(std::malloc(size));
  if (!out) return nullptr;
  if (compress2(out, &size, data, uLong(length), Z_BEST_COMPRESSION) != Z_OK) {
    std::free(out);
    return nullptr;
  }
  *outLength = int(size);
  return out;
}
}  // namespace

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBIW_ZLIB_COMPRESS ZlibDeflate
#include <stb/stb_image_write.h>

namespace velorin::pictures {

Colour Hex(uint32_t rgb, float alpha) {
  return {((rgb >> 16) & 0xff) / 255.0f, ((rgb >> 8) & 0xff) / 255.0f, (rgb & 0xff) / 255.0f, alpha};
}

Colour Mix(const Colour& a, const Colour& b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Colour Scaled(const Colour& c, float factor) {
  return {Clamp01(c.r * factor), Clamp01(c.g * factor), Clamp01(c.b * factor), c.a};
}

Colour WithAlpha(const Colour& c, float alpha) { return {c.r, c.g, c.b, alpha}; }

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

float SmoothStep(float edge0, float edge1, float v) {
  float t = Clamp01((v - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

float Coverage(float d) { return Clamp01(0.5f - d); }

float CircleDistance(float x, float y, float cx, float cy, float radius) {
  return std::hypot(x - cx, y - cy) - radius;
}

float BoxDistance(float x, float y, float cx, float cy, float half_w, float half_h, float corner) {
  float qx = std::fabs(x - cx) - half_w + corner;
  float qy = std::fabs(y - cy) - half_h + corner;
  float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - corner;
}

float SegmentDistance(float x, float y, float ax, float ay, float bx, float by) {
  float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
  float len2 = dx * dx + dy * dy;
  float t = len2 > 0 ? Clamp01((px * dx + py * dy) / len2) : 0.0f;
  return std::hypot(px - dx * t, py - dy * t);
}

float PolygonDistance(float x, float y, const std::vector<Point>& polygon) {
  size_t n = polygon.size();
  if (n < 3) return 1e9f;
  float best = 1e18f;
  bool inside = false;
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const Point& a = polygon[i];
    const Point& b = polygon[j];
    best = std::min(best, SegmentDistance(x, y, a.x, a.y, b.x, b.y));
    if (((a.y > y) != (b.y > y)) && (x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x)) inside = !inside;
  }
  return inside ? -best : best;
}

std::vector<Point> StarPoints(float cx, float cy, float radius, int tips, float inner_ratio, float turn) {
  std::vector<Point> points;
  int corners = inner_ratio < 1.0f ? tips * 2 : tips;
  for (int i = 0; i < corners; ++i) {
    float angle = turn + 6.2831853f * i / corners - 1.5707963f;
    float r = (inner_ratio < 1.0f && (i % 2 == 1)) ? radius * inner_ratio : radius;
    points.push_back({cx + r * std::cos(angle), cy + r * std::sin(angle)});
  }
  return points;
}

namespace {

float Hash(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return (h & 0xffffff) / float(0x1000000);
}

}  // namespace

float Noise(float x, float y, uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
  float tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  float a = Hash(ix, iy, seed), b = Hash(ix + 1, iy, seed);
  float c = Hash(ix, iy + 1, seed), d = Hash(ix + 1, iy + 1, seed);
  return a + (b - a) * tx + (c - a) * ty + (a - b - c + d) * tx * ty;
}

float FractalNoise(float x, float y, float scale, int octaves, uint32_t seed) {
  float sum = 0, weight = 0, amplitude = 1;
  for (int i = 0; i < octaves; ++i) {
    sum += Noise(x / scale, y / scale, seed + i * 7919u) * amplitude;
    weight += amplitude;
    amplitude *= 0.5f;
    scale *= 0.5f;
  }
  return sum / weight;
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height * 4, 0.0f) {}

void Canvas::Over(int x0, int y0, int x1, int y1, const Paint& paint) {
  x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, width_), y1 = std::min(y1, height_);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      Colour c = paint(x + 0.5f, y + 0.5f);
      float a = Clamp01(c.a);
      if (a <= 0) continue;
      float* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
      p[0] = c.r * a + p[0] * (1 - a);
      p[1] = c.g * a + p[1] * (1 - a);
      p[2] = c.b * a + p[2] * (1 - a);
      p[3] = a + p[3] * (1 - a);
    }
  }
}

void Canvas::Add(int x0, int y0, int x1, int y1, const Paint& paint) {
  x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, width_), y1 = std::min(y1, height_);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      Colour c = paint(x + 0.5f, y + 0.5f);
      float a = Clamp01(c.a);
      if (a <= 0) continue;
      float* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
      p[0] = std::min(1.0f, p[0] + c.r * a);
      p[1] = std::min(1.0f, p[1] + c.g * a);
      p[2] = std::min(1.0f, p[2] + c.b * a);
      p[3] = std::min(1.0f, p[3] + a);
      for (int k = 0; k < 3; ++k) p[k] = std::min(p[k], p[3]);
    }
  }
}

void Canvas::MultiplyAlpha(const std::function<float(float x, float y)>& factor) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      float f = Clamp01(factor(x + 0.5f, y + 0.5f));
      float* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
      for (int k = 0; k < 4; ++k) p[k] *= f;
    }
  }
}

Colour Canvas::At(int x, int y) const {
  x = std::clamp(x, 0, width_ - 1);
  y = std::clamp(y, 0, height_ - 1);
  const float* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
  if (p[3] <= 0) return {0, 0, 0, 0};
  return {p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

void Canvas::Place(const Canvas& picture, float x, float y, float w, float h) {
  if (w <= 0 || h <= 0) return;
  float sx = picture.width() / w, sy = picture.height() / h;
  // Box filter over the source texels one target pixel covers.
  Over(static_cast<int>(x), static_cast<int>(y), static_cast<int>(std::ceil(x + w)),
       static_cast<int>(std::ceil(y + h)), [&](float px, float py) {
         float u0 = (px - 0.5f - x) * sx, v0 = (py - 0.5f - y) * sy;
         int iu0 = std::max(0, static_cast<int>(u0)), iv0 = std::max(0, static_cast<int>(v0));
         int iu1 = std::min(picture.width(), std::max(iu0 + 1, static_cast<int>(u0 + sx)));
         int iv1 = std::min(picture.height(), std::max(iv0 + 1, static_cast<int>(v0 + sy)));
         float r = 0, g = 0, b = 0, a = 0;
         int n = 0;
         for (int v = iv0; v < iv1; ++v) {
           for (int u = iu0; u < iu1; ++u) {
             const float* p = &picture.pixels_[(static_cast<size_t>(v) * picture.width_ + u) * 4];
             r += p[0], g += p[1], b += p[2], a += p[3];
             ++n;
           }
         }
         if (n == 0 || a <= 0) return Colour{0, 0, 0, 0};
         return Colour{r / a, g / a, b / a, a / n};
       });
}

std::vector<uint8_t> Canvas::ToRgba8() const {
  std::vector<uint8_t> out(static_cast<size_t>(width_) * height_ * 4);
  for (size_t i = 0; i < out.size(); i += 4) {
    const float* p = &pixels_[i];
    int a = static_cast<int>(std::lround(Clamp01(p[3]) * 255.0f));
    if (a < 3) {
      out[i] = out[i + 1] = out[i + 2] = out[i + 3] = 0;
      continue;
    }
    for (int k = 0; k < 3; ++k) out[i + k] = static_cast<uint8_t>(std::lround(Clamp01(p[k] / p[3]) * 255.0f));
    out[i + 3] = static_cast<uint8_t>(a);
  }
  return out;
}

bool Canvas::WritePng(const std::string& path) const {
  std::vector<uint8_t> rgba = ToRgba8();
  // Every row filtered against the row above: about as small as letting the writer pick a
  // filter per row (it mostly picks Paeth), and much cheaper for the game to undo
  // when it loads hundreds of pictures.
  stbi_write_force_png_filter = 2;
  if (!stbi_write_png(path.c_str(), width_, height_, 4, rgba.data(), width_ * 4)) {
    std::fprintf(stderr, "could not write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace velorin::pictures
