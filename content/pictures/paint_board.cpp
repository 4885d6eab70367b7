// Board pictures: beat lines, the neck mask and overlays, side rails, lane lines,
// sustain ribbons and the player necks. Pictures that the board models repeat along
// v tile seamlessly in that direction.
#include <cmath>

#include "painters.h"
#include "palette.h"
#include "shapes.h"

namespace velorin::pictures {

namespace {

// Noise that repeats every period pixels along y.
float TiledNoise(float x, float y, float period, float scale, uint32_t seed) {
  float t = y / period;
  return FractalNoise(x, y, scale, 3, seed) * (1 - t) + FractalNoise(x, y - period, scale, 3, seed) * t;
}

Canvas BeatLine(bool small, const Colour& colour) {
  Canvas canvas(512, 64);
  float half = small ? 2.5f : 5.0f;
  canvas.Over([&](float x, float y) {
    float d = std::fabs(y - 32) - half;
    float core = Coverage(d);
    float halo = std::exp(-std::pow(std::max(0.0f, d) / (small ? 5.0f : 10.0f), 2.0f)) * 0.5f;
    float ends = SmoothStep(0, 24, x) * SmoothStep(512, 488, x);
    return WithAlpha(Mix(colour, Hex(0xFFFFFF), core * 0.5f), Clamp01(core * (small ? 0.6f : 0.95f) + halo) * ends);
  });
  return canvas;
}

Canvas Rail(const Colour& colour, float glow) {
  Canvas canvas(64, 512);
  canvas.Over([&](float x, float y) {
    float u = x / 64.0f;
    float shine = 0.55f + 0.45f * std::exp(-std::pow((u - 0.35f) / 0.12f, 2.0f));
    float edge = std::exp(-std::pow((u - 0.85f) / 0.04f, 2.0f));
    Colour c = Mix(Scaled(colour, shine), Hex(0xFFFFFF), edge * 0.6f);
    float grain = 1.0f + (TiledNoise(x * 4, y, 512, 6, 41) - 0.5f) * 0.12f;
    return WithAlpha(Scaled(c, grain), Clamp01(0.85f + glow * 0.15f));
  });
  return canvas;
}

// A thin line along v at the centre of a lane picture.
Canvas LaneLine(const Colour& colour, float width, float glow, float alpha, bool dashed) {
  Canvas canvas(64, 512);
  canvas.Over([&](float x, float y) {
    float d = std::fabs(x - 32) - width / 2;
    float a = Coverage(d) * alpha + std::exp(-std::pow(std::max(0.0f, d) / std::max(1.0f, glow), 2.0f)) * glow / 16.0f;
    if (dashed) a *= 0.35f + 0.65f * SmoothStep(-0.2f, 0.2f, std::sin(y / 512.0f * 6.2831853f * 8));
    a *= 1.0f - SmoothStep(28.0f, 31.0f, std::fabs(x - 32));  // clear margins
    return WithAlpha(Mix(colour, Hex(0xFFFFFF), Coverage(d) * 0.4f), Clamp01(a));
  });
  return canvas;
}

// A translucent wash over the whole neck with something that moves along v.
enum class Wash { Glow, Hazard, Shimmer, ChevronLeft, ChevronRight, Waves };

Canvas NeckWash(const Colour& colour, Wash pattern, float strength) {
  Canvas canvas(256, 512);
  canvas.Over([&](float x, float y) {
    float u = x / 256.0f, v = y / 512.0f;
    float sides = 0.35f + 0.65f * std::pow(std::fabs(u - 0.5f) * 2, 2.0f);
    float a = strength * sides;
    switch (pattern) {
      case Wash::Glow:
        a *= 0.8f + 0.2f * std::sin(v * 6.2831853f * 4);
        break;
      case Wash::Hazard: {
        float stripe = std::fmod(x + y + 2048.0f, 64.0f) < 32.0f ? 1.0f : 0.35f;
        a = strength * (std::fabs(u - 0.5f) > 0.38f ? stripe : 0.3f);
        break;
      }
      case Wash::Shimmer:
        a *= 0.6f + 0.4f * std::pow(std::sin(v * 6.2831853f * 8 + u * 3), 2.0f);
        break;
      case Wash::ChevronLeft:
      case Wash::ChevronRight: {
        // Arrow heads in rows, pointing the way the range moves.
        float dir = pattern == Wash::ChevronLeft ? -1.0f : 1.0f;
        float cx = std::fmod(x, 128.0f) - 64.0f, cy = std::fmod(y, 128.0f) - 64.0f;
        float arm = std::min(SegmentDistance(cx, cy, -dir * 18, -36, dir * 18, 0),
                             SegmentDistance(cx, cy, -dir * 18, 36, dir * 18, 0));
        a = strength * (0.1f + 0.9f * Coverage(arm - 10.0f));
        break;
      }
      case Wash::Waves: {
        float wave = 0.5f + 0.25f * std::sin(v * 6.2831853f * 6);
        a = strength * std::exp(-std::pow((u - wave) / 0.08f, 2.0f)) + strength * 0.15f;
        break;
      }
    }
    return WithAlpha(colour, Clamp01(a));
  });
  return canvas;
}

struct NeckStyle {
  const char* name;
  uint32_t base;
  uint32_t streak;
  uint32_t line;
  float streakiness;  // 0 speckled stone .. 1 long wood streaks
  bool inlays;
  uint32_t seed;
};

// The player necks: one row per picture in the "necks" folder.
constexpr NeckStyle kNecks[] = {
    {"Midnight", 0x1B1F2A, 0x2C3447, 0x8FA3C8, 0.6f, false, 101},
    {"Ember", 0x2A1712, 0x4A2418, 0xFFB340, 0.8f, true, 102},
    {"Slate", 0x23262D, 0x3A3E48, 0xF5F5F7, 0.0f, false, 103},
    {"Walnut", 0x3B2618, 0x553822, 0xE8DCC0, 1.0f, true, 104},
    {"Aurora", 0x141C24, 0x1F3B45, 0x64D2FF, 0.3f, false, 105},
};

Canvas Neck(const NeckStyle& style, int width, int height) {
  Canvas canvas(width, height);
  const float period = static_cast<float>(height);
  const Colour base = Hex(style.base), streak = Hex(style.streak), line = Hex(style.line);
  canvas.Over([&](float x, float y) {
    float u = x / width;
    // Grain stretched along v for wood, round for stone.
    float stretch = 1.0f + 7.0f * style.streakiness;
    float n = TiledNoise(x * stretch, y, period, 40.0f * stretch, style.seed);
    float fine = TiledNoise(x * 2.0f, y * 0.5f, period, 3.0f, style.seed + 9);
    Colour c = Mix(base, streak, SmoothStep(0.35f, 0.75f, n));
    c = Scaled(c, 0.92f + 0.16f * fine);
    // Darker towards the edges so the lanes in the middle stand out.
    c = Scaled(c, 1.0f - 0.35f * std::pow(std::fabs(u - 0.5f) * 2, 3.0f));
    if (style.name[0] == 'A') c = Mix(c, Hex(0x5E3AA8), 0.25f * (0.5f + 0.5f * std::sin(u * 5 + y / period * 6.2831853f)));
    return c;
  });
  // Beat-like lines: a strong one at each repeat, three lighter between.
  for (int i = 0; i < 4; ++i) {
    float ly = (i + 0.5f) * period / 4;
    float half = i == 0 ? 5.0f : 2.5f;
    canvas.Over([&](float, float y) {
      float d = std::fabs(y - ly) - half;
      float a = Coverage(d) * (i == 0 ? 0.9f : 0.55f) + std::exp(-std::pow(std::max(0.0f, d) / 6.0f, 2.0f)) * 0.25f;
      return WithAlpha(line, Clamp01(a));
    });
  }
  if (style.inlays) {
    for (int i = 0; i < 2; ++i) {
      float iy = (i * 2 + 1) * period / 4;
      DrawGem(canvas, [=](float x, float y) { return CircleDistance(x, y, width / 2.0f, iy, 18); }, width / 2.0f, iy, 18,
              {Hex(0xE8DCC0), 0.2f, 0.0f, 0.4f, 0.05f, style.seed});
    }
  }
  // Edge binding.
  canvas.Over([&](float x, float) {
    float d = std::min(x, width - x);
    return WithAlpha(Hex(0xD8D8DC), Coverage(d - 6) * 0.7f);
  });
  return canvas;
}

Canvas Tail(const Colour& colour, bool hit) {
  Canvas canvas(64, 256);
  canvas.Over([&](float x, float y) {
    float u = std::fabs(x - 32) / 32.0f;
    float band = Coverage((u - 0.5f) * 32.0f);
    float core = std::exp(-std::pow(u / 0.1f, 2.0f));
    float ripple = 0.9f + 0.1f * std::sin(y / 256.0f * 6.2831853f * 4);
    Colour c = Mix(Scaled(colour, hit ? 1.2f : 1.0f), Hex(0xFFFFFF), core * (hit ? 0.85f : 0.5f));
    float a = band * (hit ? 0.9f : 0.7f) * ripple + core * 0.3f;
    a *= Clamp01((30.0f - std::fabs(x - 32)) / 2.0f);
    return WithAlpha(c, Clamp01(a));
  });
  return canvas;
}

}  // namespace

std::optional<Canvas> PaintBoard(const std::string& name) {
  std::vector<std::string> parts = NameParts(name);
  bool energy = TakeWord(parts, "VL");
  Colour energy_colour = HueColour(Hue::Energy);
  std::string n;
  for (const std::string& p : parts) n += (n.empty() ? "" : "_") + p;
  if (n == "Beat_Line" || n == "Beat_Line_Small")
    return BeatLine(n == "Beat_Line_Small", energy ? energy_colour : Hex(Palette::kText));
  if (n == "Neck_Mask") {
    Canvas canvas(256, 512);
    canvas.Over([](float, float y) { return Colour{1, 1, 1, SmoothStep(0.02f, 0.4f, y / 512.0f)}; });
    return canvas;
  }
  if (n == "Neck" && energy) return NeckWash(energy_colour, Wash::Shimmer, 0.45f);
  if (n == "Neck_Warning") return NeckWash(Hex(Palette::kWarning), Wash::Hazard, 0.4f);
  if (n == "Neck_Solo") return NeckWash(Hex(Palette::kSolo), Wash::Glow, 0.35f);
  if (n == "Neck_Freestyle") return NeckWash(Hex(Palette::kFreestyle), Wash::Shimmer, 0.35f);
  if (n == "Neck_Roll_Left") return NeckWash(Hex(Palette::kAccent), Wash::ChevronLeft, 0.35f);
  if (n == "Neck_Roll_Right") return NeckWash(Hex(Palette::kAccent), Wash::ChevronRight, 0.35f);
  if (n == "Neck_Practice") return Neck({"Practice", 0x1E2A2A, 0x2A3B3B, 0x7FE0C0, 0.2f, false, 110}, 512, 1024);
  if (n == "Neck_Left") return Neck({"Left", 0x1C1D24, 0x2A2C36, 0xBF5AF2, 0.1f, false, 111}, 512, 1024);
  if (n == "Neck_Right") return Neck({"Right", 0x1C1D24, 0x2A2C36, 0x0A84FF, 0.1f, false, 112}, 512, 1024);
  if (n == "Board_Sides") return Rail(energy ? energy_colour : Hex(0x8E8E93), energy ? 1.0f : 0.0f);
  if (n == "Board_Sides_Real_Keys") return Rail(Hex(0xC7C7CC), 0.0f);
  if (n == "Board_Sides_Section_Active") return Rail(Hex(Palette::kAccent), 1.0f);
  if (n == "Lane_Normal") return LaneLine(Hex(0xC7C7CC), 3.0f, 2.0f, 0.7f, false);
  if (n == "Lane_Octave") return LaneLine(Hex(Palette::kText), 4.0f, 4.0f, 0.8f, false);
  if (n == "Lane" && energy) return LaneLine(energy_colour, 3.0f, 8.0f, 0.9f, false);
  if (n == "Lane_Glow") return LaneLine(Hex(0xFFFFFF), 4.0f, 12.0f, 1.0f, false);
  if (n == "Lane_Miss") return LaneLine(Hex(Palette::kWarning), 4.0f, 10.0f, 0.9f, false);
  if (n == "Lane_Roll_Edge") return LaneLine(Hex(Palette::kAccent), 4.0f, 6.0f, 1.0f, true);
  if (n == "Lane_Tremolo") return NeckWash(Hex(Palette::kText), Wash::Waves, 0.5f);
  if (n == "Lane_Tremolo_Bass") return NeckWash(HueColour(Hue::Bass), Wash::Waves, 0.5f);
  return std::nullopt;
}

std::optional<Canvas> PaintTail(const std::string& name) {
  std::vector<std::string> parts = NameParts(name);
  if (parts.empty() || parts[0] != "Tail") return std::nullopt;
  parts.erase(parts.begin());
  bool hit = TakeWord(parts, "Hit");
  Colour colour;
  if (TakeWord(parts, "VL")) colour = HueColour(Hue::Energy);
  else if (TakeWord(parts, "Miss")) colour = HueColour(Hue::Miss);
  else colour = HueOfWords(parts, HueColour(Hue::White));
  if (!parts.empty()) return std::nullopt;
  return Tail(colour, hit);
}

std::optional<Canvas> PaintNeck(const std::string& name) {
  for (const NeckStyle& style : kNecks)
    if (name == style.name) return Neck(style, 512, 1024);
  return std::nullopt;
}

std::optional<Canvas> PaintBoardJob(const std::string& job, const std::string& name, const Lettering&) {
  if (job == "board") return PaintBoard(name);
  if (job == "tails") return PaintTail(name);
  if (job == "necks") return PaintNeck(name);
  return std::nullopt;
}

}  // namespace velorin::pictures
