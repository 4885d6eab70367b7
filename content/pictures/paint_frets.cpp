// Fret pictures (the strike line): rings in the lane colour, their pressed forms
// filled and brighter, keys, light rays and beams, sparks, glows and particles with
// soft additive edges that fade out well before the picture's border.
#include <cmath>

#include "painters.h"
#include "palette.h"
#include "shapes.h"

namespace velorin::pictures {

namespace {

Distance Ring(float cx, float cy, float radius, float width) {
  return [=](float x, float y) { return std::fabs(CircleDistance(x, y, cx, cy, radius)) - width / 2; };
}

Canvas FretRing(const Colour& colour, bool pressed, bool arrow) {
  Canvas canvas(256, 256);
  const float c = 128, r = 112;
  Distance outer;
  if (arrow) {
    std::vector<Point> a = {{c, c - r}, {c + r, c}, {c + 0.42f * r, c}, {c + 0.42f * r, c + r},
                            {c - 0.42f * r, c + r}, {c - 0.42f * r, c}, {c - r, c}};
    outer = [a](float x, float y) { return PolygonDistance(x, y, a) - 4.0f; };
  } else {
    outer = [=](float x, float y) { return CircleDistance(x, y, c, c, r); };
  }
  // Dark housing, then the coloured ring, then the well or the lit pad.
  canvas.Over([&](float x, float y) { return Grainy(Hex(Palette::kBoardLight), x, y, 0.06f, 11); });
  DrawGem(canvas, outer, c, c, r, {Scaled(colour, pressed ? 1.15f : 0.95f), 0.1f, 0.03f, 0.35f, 0.04f, 5});
  auto inner = [outer](float x, float y) { return outer(x, y) + 30.0f; };
  if (pressed) {
    DrawGem(canvas, inner, c, c, r - 30, {Mix(colour, Hex(0xFFFFFF), 0.35f), 0.12f, 0.0f, 0.6f, 0.02f, 6});
    AddGlow(canvas, [=](float x, float y) { return CircleDistance(x, y, c, c, 10); }, Hex(0xFFFFFF, 0.5f), 40);
  } else {
    FillShape(canvas, inner, [&](float x, float y) {
      float t = Clamp01(std::hypot(x - c, y - c) / (r - 30));
      return Mix(Hex(Palette::kBoardDark), Scaled(colour, 0.35f), t * t);
    });
  }
  return canvas;
}

Canvas Glow(const Colour& colour, int size, float core) {
  Canvas canvas(size, size);
  float c = size / 2.0f;
  canvas.Add([&](float x, float y) {
    float d = std::hypot(x - c, y - c) / c;
    float a = std::exp(-d * d * 5.0f) - std::exp(-5.0f);
    Colour tint = Mix(colour, Hex(0xFFFFFF), core * std::exp(-d * d * 30.0f));
    return WithAlpha(tint, Clamp01(a * 1.05f));
  });
  return canvas;
}

Canvas Spark(const Colour& colour, bool ring) {
  Canvas canvas(256, 256);
  const float c = 128;
  if (!ring) {
    // A four-pointed flash with a soft halo.
    canvas.Add([&](float x, float y) {
      float dx = std::fabs(x - c) / c, dy = std::fabs(y - c) / c;
      float ray = std::exp(-dx * 60.0f) * std::max(0.0f, 1 - dy * 1.15f) + std::exp(-dy * 60.0f) * std::max(0.0f, 1 - dx * 1.15f);
      float halo = std::exp(-(dx * dx + dy * dy) * 14.0f);
      float edge = Clamp01((1.0f - std::hypot(dx, dy)) * 6.0f);
      return WithAlpha(Mix(colour, Hex(0xFFFFFF), std::exp(-(dx * dx + dy * dy) * 60.0f)), Clamp01(ray + halo) * edge);
    });
  } else {
    // A ring of small sparks.
    for (int i = 0; i < 10; ++i) {
      float angle = 6.2831853f * i / 10 + 0.3f * (i % 2);
      float rr = (i % 2 ? 80.0f : 95.0f);
      float sx = c + rr * std::cos(angle), sy = c + rr * std::sin(angle);
      AddGlow(canvas, [=](float x, float y) { return CircleDistance(x, y, sx, sy, 3); }, Mix(colour, Hex(0xFFFFFF), 0.4f), 14);
    }
    AddGlow(canvas, Ring(c, c, 60, 2), WithAlpha(colour, 0.5f), 10);
    canvas.MultiplyAlpha([&](float x, float y) { return Clamp01((124.0f - std::hypot(x - c, y - c)) / 8.0f); });
  }
  return canvas;
}

Canvas Ray(const Colour& colour, bool narrow) {
  Canvas canvas(128, 512);
  const float width = narrow ? 0.22f : 0.45f;
  canvas.Add([&](float x, float y) {
    float u = std::fabs(x / 64.0f - 1.0f) / width;
    float v = y / 512.0f;  // 0 far end, 1 at the fret
    float across = std::exp(-u * u * 3.0f) - std::exp(-3.0f / (width * width));
    float along = SmoothStep(0.0f, 0.55f, v) * SmoothStep(1.0f, 0.93f, v);
    float streak = narrow ? 0.75f + 0.25f * std::sin(v * 40.0f) : 1.0f;
    Colour tint = Mix(colour, Hex(0xFFFFFF), std::exp(-u * u * 20.0f) * 0.7f);
    return WithAlpha(tint, Clamp01(across * along * streak));
  });
  return canvas;
}

Canvas Key(bool black, bool pressed_beam) {
  Canvas canvas(128, 512);
  if (pressed_beam) return Ray(black ? Hex(0x8E8E93) : Hex(Palette::kText), false);
  Colour face = black ? Hex(0x1C1C1E) : Hex(0xF2F0EA);
  FillShape(canvas, [](float x, float y) { return BoxDistance(x, y, 64, 256, 60, 252, 10); }, [&](float x, float y) {
    float shade = black ? 0.9f + 0.5f * std::exp(-std::pow((x - 44) / 14.0f, 2.0f)) : 1.0f - 0.12f * (y / 512.0f);
    return Grainy(Scaled(face, shade), x, y, 0.02f, 21);
  });
  FillShape(canvas, [](float x, float y) { return std::fabs(BoxDistance(x, y, 64, 256, 60, 252, 10)) - 2.0f; },
            black ? Hex(0x48484A) : Hex(0xB8B4AC));
  return canvas;
}

Canvas KeyStrip(int octaves) {
  Canvas canvas(1024, 128);
  canvas.Over([](float, float) { return Hex(Palette::kBoardDark); });
  int whites = octaves * 7;
  float w = 1024.0f / whites;
  for (int i = 0; i < whites; ++i) {
    float cx = (i + 0.5f) * w;
    FillShape(canvas, [=](float x, float y) { return BoxDistance(x, y, cx, 64, w / 2 - 2, 60, 4); },
              [](float, float y) { return Scaled(Hex(0xF2F0EA), 1.0f - 0.15f * y / 128.0f); });
  }
  const int black_after[] = {0, 1, 3, 4, 5};
  for (int o = 0; o < octaves; ++o) {
    for (int k : black_after) {
      float cx = (o * 7 + k + 1) * w;
      FillShape(canvas, [=](float x, float y) { return BoxDistance(x, y, cx, 40, w * 0.3f, 38, 3); }, Hex(0x1C1C1E));
    }
  }
  return canvas;
}

Canvas HiHat(bool sizzle) {
  Canvas canvas(256, 256);
  const float c = 128;
  DrawGem(canvas, [=](float x, float y) { return CircleDistance(x, y, c, c, 116); }, c, c, 116,
          {Hex(0xD4B45A), 0.08f, 0.0f, 0.5f, 0.08f, 31});
  for (int i = 1; i <= 6; ++i)
    FillShape(canvas, Ring(c, c, 20.0f + 15.0f * i, 2.0f), Hex(0x8A6D28, 0.6f));
  FillShape(canvas, [=](float x, float y) { return CircleDistance(x, y, c, c, 14); }, Hex(0x3A3A3C));
  if (sizzle) {
    for (int i = 0; i < 8; ++i) {
      float a = 6.2831853f * i / 8;
      float sx = c + 96 * std::cos(a), sy = c + 96 * std::sin(a);
      FillShape(canvas, [=](float x, float y) { return CircleDistance(x, y, sx, sy, 6); }, Hex(0xF5F5F7));
    }
  }
  return canvas;
}

}  // namespace

std::optional<Canvas> PaintFret(const std::string& name) {
  std::vector<std::string> parts = NameParts(name);
  if (parts.size() < 2) return std::nullopt;
  std::string kind = parts[0];
  parts.erase(parts.begin());
  if (kind == "Particle") {
    Colour colour = HueOfWords(parts, HueColour(Hue::White));
    if (!parts.empty()) return std::nullopt;
    return Glow(colour, 64, 0.9f);
  }
  if (kind != "Fret") return std::nullopt;
  if (parts.size() == 2 && parts[0] == "Kill" && parts[1] == "Box") {
    // Depth-only occluder: every texel clear.
    return Canvas(64, 64);
  }
  if (parts.size() == 2 && parts[0] == "Keys") return Key(parts[1] == "Black", false);
  if (parts.size() == 2 && parts[0] == "Beam") return Key(parts[1] == "Black", true);
  if (parts[0] == "Bottom") return KeyStrip(parts.back() == "Real" ? 2 : 1);
  if (parts[0] == "HH") return HiHat(parts.size() > 1 && parts[1] == "Sizzle");
  if (parts.size() == 2 && parts[0] == "Mine" && parts[1] == "Glow") return Glow(Hex(Palette::kWarning), 256, 0.5f);
  bool dance = TakeWord(parts, "Dance");
  bool hold = TakeWord(parts, "Hold");
  bool glow = TakeWord(parts, "Glow");
  bool spark = TakeWord(parts, "Spark");
  bool ray = TakeWord(parts, "Ray");
  bool variant_a = TakeWord(parts, "A");
  bool variant_b = TakeWord(parts, "B");
  Colour colour = HueOfWords(parts, HueColour(Hue::Bass));
  if (!parts.empty()) return std::nullopt;
  if (glow) return Glow(colour, 256, 0.5f);
  if (spark && (variant_a || variant_b)) return Spark(colour, variant_b);
  if (ray && (variant_a || variant_b)) return Ray(colour, variant_b);
  if (spark || ray) return std::nullopt;
  return FretRing(colour, hold, dance);
}

std::optional<Canvas> PaintFretsJob(const std::string& job, const std::string& name, const Lettering&) {
  if (job == "frets") return PaintFret(name);
  return std::nullopt;
}

}  // namespace velorin::pictures
