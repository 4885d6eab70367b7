// Full-screen and 2D pictures: the loading screen (background, the ten logo
// variants, progress frame and bar at the pixel sizes the loading screen draws),
// the window icon, the 2D backgrounds and the abstract background's layers.
#include <cmath>

#include "painters.h"
#include "palette.h"
#include "shapes.h"

namespace velorin::pictures {

namespace {

// Full-screen pictures are twice 1280 x 720.
constexpr int kScreenW = 2560;
constexpr int kScreenH = 1440;

constexpr Hue kLaneHues[] = {Hue::Green, Hue::Red, Hue::Yellow, Hue::Blue, Hue::Orange};

void DarkGround(Canvas& canvas, uint32_t centre, uint32_t edge, uint32_t seed) {
  float cx = canvas.width() / 2.0f, cy = canvas.height() / 2.0f;
  float reach = std::hypot(cx, cy);
  canvas.Over([&](float x, float y) {
    float d = std::hypot(x - cx, y - cy) / reach;
    Colour c = Mix(Hex(centre), Hex(edge), SmoothStep(0.0f, 1.0f, d));
    return Grainy(c, x, y, 0.035f, seed);
  });
}

void SoftSpot(Canvas& canvas, float sx, float sy, float radius, const Colour& colour) {
  int x0 = static_cast<int>(sx - radius * 1.6f), y0 = static_cast<int>(sy - radius * 1.6f);
  int x1 = static_cast<int>(sx + radius * 1.6f) + 1, y1 = static_cast<int>(sy + radius * 1.6f) + 1;
  canvas.Add(x0, y0, x1, y1, [&](float x, float y) {
    float d = std::hypot(x - sx, y - sy) / radius;
    return WithAlpha(colour, colour.a * std::max(0.0f, std::exp(-d * d * 2.0f) - std::exp(-2.0f * 2.56f)));
  });
}

uint32_t Scramble(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352du;
  v ^= v >> 15;
  v *= 0x846ca68bu;
  v ^= v >> 16;
  return v;
}
float Random01(uint32_t& state) {
  state = Scramble(state + 0x9e3779b9u);
  return (state & 0xffffff) / float(0x1000000);
}

Canvas LoadingBackground() {
  Canvas canvas(kScreenW, kScreenH);
  DarkGround(canvas, 0x23262F, 0x07080B, 71);
  // Five lane-coloured light streaks falling diagonally behind the logo.
  for (int i = 0; i < 5; ++i) {
    Colour colour = WithAlpha(HueColour(kLaneHues[i]), 0.22f);
    float x0 = 700.0f + i * 290.0f;
    canvas.Add([&](float x, float y) {
      float d = std::fabs((x - x0) - (y - 720.0f) * 0.35f);
      float fade = SmoothStep(0.0f, 500.0f, y) * SmoothStep(kScreenH, kScreenH - 300.0f, y);
      return WithAlpha(colour, colour.a * std::exp(-d * d / (2 * 40.0f * 40.0f)) * fade);
    });
  }
  SoftSpot(canvas, kScreenW / 2.0f, kScreenH / 2.0f, 700, Hex(Palette::kAccent, 0.08f));
  return canvas;
}

// Each logo variant lights the word mark with another pair of palette colours.
Canvas Logo(int variant, const Lettering& bold) {
  Canvas canvas(768, 256);
  static const Hue kPairs[10][2] = {{Hue::Orange, Hue::Yellow}, {Hue::Blue, Hue::Energy},  {Hue::Red, Hue::Orange},
                                    {Hue::Green, Hue::Yellow},  {Hue::Purple, Hue::Blue},  {Hue::Energy, Hue::Green},
                                    {Hue::Yellow, Hue::White},  {Hue::Bass, Hue::Purple},  {Hue::Red, Hue::Purple},
                                    {Hue::White, Hue::Energy}};
  Colour top = HueColour(kPairs[variant][1]), bottom = HueColour(kPairs[variant][0]);
  AddGlow(canvas, [](float x, float y) { return BoxDistance(x, y, 384, 110, 280, 40, 40); }, WithAlpha(bottom, 0.25f), 60);
  TextStyle style;
  style.top = Mix(top, Hex(0xFFFFFF), 0.3f);
  style.bottom = bottom;
  style.outline = 6;
  style.outline_colour = Hex(0x0B0C10, 0.95f);
  style.shadow = 6;
  bold.Draw(canvas, "VELORIN", 384, 110, 150, style, 700);
  // Five lane gems under the word.
  for (int i = 0; i < 5; ++i) {
    float gx = 384 + (i - 2) * 64.0f, gy = 214;
    DrawGem(canvas, [=](float x, float y) { return CircleDistance(x, y, gx, gy, 22); }, gx, gy, 22,
            {HueColour(kLaneHues[i]), 0.16f, 0.05f, 0.5f, 0.02f, 80u + i});
  }
  return canvas;
}

// Drawn at its pixel size around the 244-pixel progress bar.
Canvas LoadingFrame() {
  Canvas canvas(256, 28);
  Distance frame = [](float x, float y) { return BoxDistance(x, y, 128, 14, 126, 12, 12); };
  FillShape(canvas, frame, Hex(Palette::kBoardDark, 0.85f));
  FillShape(canvas, Outline(frame, 2), Hex(0xAEAEB2));
  return canvas;
}

Canvas LoadingBar() {
  Canvas canvas(244, 16);
  Distance bar = [](float x, float y) { return BoxDistance(x, y, 122, 8, 122, 8, 8); };
  FillShape(canvas, bar, [](float, float y) {
    float shine = 1.0f + 0.4f * std::exp(-std::pow((y - 5) / 3.0f, 2.0f));
    return Scaled(Hex(Palette::kAccent), shine);
  });
  return canvas;
}

Canvas WindowIcon() {
  Canvas canvas(256, 256);
  Distance tile = [](float x, float y) { return BoxDistance(x, y, 128, 128, 120, 120, 48); };
  FillShape(canvas, tile, [](float, float y) { return Mix(Hex(0x2A2D35), Hex(0x101216), y / 256.0f); });
  FillShape(canvas, Outline(tile, 4), Hex(0x48484A));
  // A V of two strokes in the accent colour, with a green gem at its foot.
  for (float s : {-1.0f, 1.0f}) {
    FillShape(canvas, [=](float x, float y) { return SegmentDistance(x, y, 128 + s * 70, 52, 128, 170) - 16; },
              [](float, float y) { return Mix(Hex(0xFFD60A), Hex(Palette::kAccent), y / 256.0f); });
  }
  DrawGem(canvas, [](float x, float y) { return CircleDistance(x, y, 128, 192, 34); }, 128, 192, 34,
          {HueColour(Hue::Green), 0.16f, 0.05f, 0.55f, 0.02f, 90});
  return canvas;
}

Canvas Spotlights() {
  Canvas canvas(kScreenW, kScreenH);
  DarkGround(canvas, 0x1A1C24, 0x050608, 72);
  for (int i = 0; i < 5; ++i) {
    Colour colour = WithAlpha(HueColour(kLaneHues[i]), 0.28f);
    float ox = 400.0f + i * 440.0f, tilt = (i - 2) * 0.18f;
    canvas.Add([&](float x, float y) {
      float along = y / kScreenH;
      float centre = ox + tilt * y;
      float spread = 30.0f + 330.0f * along;
      float d = (x - centre) / spread;
      float haze = 0.8f + 0.2f * FractalNoise(x, y, 200.0f, 2, 73);
      return WithAlpha(colour, colour.a * std::exp(-d * d * 2.0f) * (1.0f - 0.6f * along) * haze);
    });
  }
  // A stage floor edge.
  canvas.Over(0, 1180, kScreenW, kScreenH, [](float, float y) {
    return Hex(0x0B0C10, SmoothStep(1180.0f, 1240.0f, y) * 0.9f);
  });
  return canvas;
}

Canvas Horizon() {
  Canvas canvas(kScreenW, kScreenH);
  const float horizon = 860;
  canvas.Over([&](float x, float y) {
    float t = Clamp01(y / horizon);
    Colour sky = Mix(Hex(0x0B0C1E), Hex(0x5E2A6E), t * t);
    return Grainy(sky, x, y, 0.03f, 74);
  });
  // A striped sun sinking into the horizon.
  FillShape(canvas, [&](float x, float y) {
    float d = CircleDistance(x, y, kScreenW / 2.0f, horizon - 80, 320);
    float band = y > horizon - 260 && std::fmod(y, 36.0f) < 10.0f ? 6.0f : -1e3f;
    return std::max(d, std::max(band, y - horizon));
  }, [&](float, float y) { return Mix(Hex(0xFFD60A), Hex(0xFF3B30), Clamp01((y - 420) / 440.0f)); });
  SoftSpot(canvas, kScreenW / 2.0f, horizon - 80, 650, Hex(0xFF9F0A, 0.22f));
  // The floor: a perspective grid.
  canvas.Over(0, static_cast<int>(horizon), kScreenW, kScreenH, [&](float x, float y) {
    float depth = (y - horizon) / (kScreenH - horizon);
    float z = 1.0f / std::max(0.02f, depth);
    float gx = (x - kScreenW / 2.0f) * z / 320.0f;
    float gz = z * 4.0f;
    float lx = std::fabs(gx - std::round(gx)) / (z * 0.004f + 0.002f);
    float lz = std::fabs(gz - std::round(gz)) / (0.014f * z * z);
    float line = std::max(std::exp(-lx * lx * 0.5f), std::exp(-lz * lz * 0.5f));
    Colour floor = Mix(Hex(0x120A1E), Hex(0x1A0F2A), depth);
    return Mix(floor, Hex(0xBF5AF2), line * Clamp01(depth * 3.0f) * 0.9f);
  });
  return canvas;
}

Canvas Bokeh() {
  Canvas canvas(kScreenW, kScreenH);
  DarkGround(canvas, 0x141B2A, 0x06080C, 75);
  uint32_t state = 2026;
  for (int i = 0; i < 70; ++i) {
    float x = Random01(state) * kScreenW, y = Random01(state) * kScreenH;
    float radius = 30.0f + 110.0f * Random01(state) * Random01(state);
    Colour colour = HueColour(kLaneHues[static_cast<int>(Random01(state) * 5) % 5]);
    float alpha = 0.08f + 0.14f * Random01(state);
    int x0 = static_cast<int>(x - radius - 4), y0 = static_cast<int>(y - radius - 4);
    canvas.Add(x0, y0, static_cast<int>(x + radius + 5), static_cast<int>(y + radius + 5), [&](float px, float py) {
      float d = CircleDistance(px, py, x, y, radius);
      float disc = Clamp01(0.5f - d / 3.0f);
      float rim = std::exp(-std::pow(d / 4.0f, 2.0f)) * 0.6f;
      return WithAlpha(colour, alpha * Clamp01(disc * 0.7f + rim));
    });
  }
  return canvas;
}

}  // namespace

std::optional<Canvas> PaintLoading(const std::string& name, const Lettering& bold) {
  if (name == "loading_background") return LoadingBackground();
  if (name == "loading_frame") return LoadingFrame();
  if (name == "loading_bar") return LoadingBar();
  if (name == "velorin") return WindowIcon();
  if (name.size() == 6 && name.rfind("logo_", 0) == 0 && name[5] >= '0' && name[5] <= '9') return Logo(name[5] - '0', bold);
  return std::nullopt;
}

std::optional<Canvas> PaintBackdrop(const std::string& name) {
  if (name == "spotlights") return Spotlights();
  if (name == "horizon") return Horizon();
  if (name == "bokeh") return Bokeh();
  return std::nullopt;
}

std::optional<Canvas> PaintAbstract(const std::string& name) {
  if (name == "backdrop") {
    Canvas canvas(kScreenW, kScreenH);
    DarkGround(canvas, 0x1B1530, 0x050409, 76);
    SoftSpot(canvas, kScreenW * 0.3f, kScreenH * 0.4f, 800, Hex(0x0A84FF, 0.12f));
    SoftSpot(canvas, kScreenW * 0.7f, kScreenH * 0.6f, 900, Hex(0xBF5AF2, 0.12f));
    return canvas;
  }
  if (name == "ring") {
    Canvas canvas(512, 512);
    AddGlow(canvas, [](float x, float y) { return std::fabs(CircleDistance(x, y, 256, 256, 200)) - 6; }, Hex(0x5AC8FA, 0.9f), 40);
    canvas.MultiplyAlpha([](float x, float y) { return Clamp01((252.0f - std::hypot(x - 256, y - 256)) / 12.0f); });
    return canvas;
  }
  if (name == "beam") {
    Canvas canvas(128, 1024);
    canvas.Add([](float x, float y) {
      float u = (x - 64) / 40.0f;
      float fade = SmoothStep(0, 200, y) * SmoothStep(1024, 824, y);
      return Colour{0.75f, 0.9f, 1.0f, (std::exp(-u * u * 2.5f) - std::exp(-2.5f * 2.56f)) * fade};
    });
    return canvas;
  }
  if (name == "spark") {
    Canvas canvas(128, 128);
    canvas.Add([](float x, float y) {
      float dx = std::fabs(x - 64) / 64, dy = std::fabs(y - 64) / 64;
      float ray = std::exp(-dx * 40) * (1 - dy) + std::exp(-dy * 40) * (1 - dx);
      float core = std::exp(-(dx * dx + dy * dy) * 30);
      return Colour{1, 0.95f, 0.8f, Clamp01(ray + core) * Clamp01((1 - std::hypot(dx, dy)) * 5)};
    });
    return canvas;
  }
  if (name == "grid") {
    Canvas canvas(1024, 512);
    canvas.Over([](float x, float y) {
      float depth = y / 512.0f;
      float z = 1.0f / std::max(0.03f, depth);
      float gx = (x - 512) * z / 128.0f;
      float gz = z * 3.0f;
      float lx = std::fabs(gx - std::round(gx)) / (0.025f * z);
      float lz = std::fabs(gz - std::round(gz)) / (0.009f * z * z);
      float line = std::max(std::exp(-lx * lx * 0.5f), std::exp(-lz * lz * 0.5f));
      float edge = SmoothStep(0, 60, x) * SmoothStep(1024, 964, x) * SmoothStep(0.0f, 0.3f, depth);
      return Colour{0.35f, 0.78f, 0.98f, line * edge};
    });
    return canvas;
  }
  return std::nullopt;
}

std::optional<Canvas> PaintScreensJob(const std::string& job, const std::string& name, const Lettering& bold) {
  if (job == "loading_background" || job == "logos") return PaintLoading(name, bold);
  if (job.rfind("backdrop_", 0) == 0) return PaintBackdrop(name);
  if (job == "abstract") return PaintAbstract(name);
  return std::nullopt;
}

}  // namespace velorin::pictures
