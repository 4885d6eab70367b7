// Meter pictures (streak chunks, multiplier badges, the meter panel, energy bars,
// key-range strips, accuracy markers), the 2D icons, and the fret numbers of the
// real-guitar notes. Bold and legible at 720p; the digits come from the same
// font family as the menus.
#include <cmath>

#include "painters.h"
#include "palette.h"
#include "shapes.h"

namespace velorin::pictures {

namespace {

TextStyle BoldText(const Colour& colour, float outline) {
  TextStyle style;
  style.top = Mix(colour, Hex(0xFFFFFF), 0.35f);
  style.bottom = colour;
  style.outline = outline;
  style.outline_colour = Hex(0x0B0C10, 0.9f);
  style.shadow = outline > 0 ? outline * 0.6f : 0;
  return style;
}

Distance Rounded(float cx, float cy, float hw, float hh, float r) {
  return [=](float x, float y) { return BoxDistance(x, y, cx, cy, hw, hh, r); };
}

Canvas ChunkBar(int lit) {
  Canvas canvas(512, 64);
  FillShape(canvas, Rounded(256, 32, 252, 28, 12), Hex(Palette::kBoardDark, 0.85f));
  for (int i = 0; i < 10; ++i) {
    float cx = 28 + i * 50.6f;
    Distance chunk = Rounded(cx, 32, 21, 18, 5);
    if (i < lit) {
      AddGlow(canvas, chunk, Hex(Palette::kAccent, 0.35f), 8);
      DrawGem(canvas, chunk, cx, 32, 18, {Hex(Palette::kAccent), 0.2f, 0.0f, 0.45f, 0.03f, 51});
    } else {
      FillShape(canvas, chunk, Hex(Palette::kBoardLight));
    }
  }
  return canvas;
}

// Multiplier badges grow warmer and then cooler as the multiplier rises.
Colour MultiplierColour(int value) {
  if (value <= 1) return Hex(Palette::kText);
  if (value == 2) return Hex(Palette::kAccent);
  if (value == 3) return HueColour(Hue::Green);
  if (value == 4) return HueColour(Hue::Blue);
  if (value <= 6) return HueColour(Hue::Purple);
  return HueColour(Hue::Energy);
}

Canvas Multiplier(int value, const Lettering& bold) {
  Canvas canvas(256, 256);
  Colour colour = MultiplierColour(value);
  auto disc = [](float x, float y) { return CircleDistance(x, y, 128, 128, 112); };
  AddGlow(canvas, disc, WithAlpha(colour, 0.4f), 12);
  FillShape(canvas, disc, Hex(Palette::kBoardDark, 0.92f));
  FillShape(canvas, [](float x, float y) { return std::fabs(CircleDistance(x, y, 128, 128, 104)) - 6; }, colour);
  bold.Draw(canvas, "\xD7" + std::to_string(value), 128, 132, value >= 10 ? 96 : 120, BoldText(colour, 5), 180);
  return canvas;
}

// The rock meter's picture holds two looks side by side: the left half is the dark
// housing the meter stands in, the right half the fill (light, so that the game's tint
// by the player's standing shows), with a tick every tenth of its height.
Canvas RockMeter(int width) {
  Canvas canvas(width, 512);
  const float half = width / 2.0f;
  Distance housing = Rounded(half / 2.0f, 256, half / 2.0f - 2, 254, 10);
  FillShape(canvas, housing, [&](float, float y) {
    return Mix(Hex(Palette::kBoardDark), Hex(0x05060A), y / 512.0f);
  });
  FillShape(canvas, Outline(housing, 3), Hex(0x8E8E93));
  canvas.Over(int(half), 0, width, 512, [&](float x, float y) {
    const float across = (x - half) / half;
    const float shine = 0.8f + 0.2f * std::exp(-std::pow((across - 0.35f) / 0.25f, 2.0f));
    const bool tick = std::fmod(y, 51.2f) < 3.0f && y > 4.0f;
    return tick ? Hex(0x3A3A3C) : Scaled(Hex(0xF2F2F7), shine);
  });
  return canvas;
}

// The mask the level bars are shown through: its left half is clear above the middle
// and solid below it, its right half solid everywhere (see the meter models).
Canvas LevelMask() {
  Canvas canvas(64, 256);
  canvas.Over(0, 128, 32, 256, [](float, float) { return Colour{1, 1, 1, 1}; });
  canvas.Over(32, 0, 64, 256, [](float, float) { return Colour{1, 1, 1, 1}; });
  return canvas;
}

Canvas EnergyBar(const Colour& colour) {
  Canvas canvas(512, 64);
  Distance bar = Rounded(256, 32, 250, 26, 26);
  FillShape(canvas, bar, [&](float x, float y) {
    float stripe = std::fmod(x + y + 512.0f, 40.0f) < 20.0f ? 1.0f : 0.82f;
    float shine = 1.0f + 0.35f * std::exp(-std::pow((y - 20) / 7.0f, 2.0f));
    return Scaled(colour, stripe * shine);
  });
  FillShape(canvas, Outline(bar, 3), Mix(colour, Hex(0xFFFFFF), 0.6f));
  return canvas;
}

Canvas KeysLayout(int lit_from, int lit_to) {
  Canvas canvas(1024, 128);
  const int whites = 14;
  float w = 1024.0f / whites;
  for (int i = 0; i < whites; ++i) {
    float cx = (i + 0.5f) * w;
    bool lit = i >= lit_from && i < lit_to;
    FillShape(canvas, Rounded(cx, 64, w / 2 - 3, 58, 6), lit ? Mix(Hex(0xF2F0EA), Hex(Palette::kAccent), 0.45f) : Hex(0xC7C7CC, 0.85f));
  }
  const int black_after[] = {0, 1, 3, 4, 5};
  for (int o = 0; o < 2; ++o)
    for (int k : black_after) {
      float cx = (o * 7 + k + 1) * w;
      FillShape(canvas, Rounded(cx, 42, w * 0.3f, 36, 4), Hex(0x1C1C1E));
    }
  return canvas;
}

Canvas Accuracy(const std::string& label, const Colour& colour, int arrows, bool late, const Lettering& bold) {
  Canvas canvas(256, 96);
  Distance pill = Rounded(128, 48, 120, 40, 40);
  FillShape(canvas, pill, Hex(Palette::kBoardDark, 0.85f));
  FillShape(canvas, Outline(pill, 4), colour);
  bold.Draw(canvas, label, 128, 48, 40, BoldText(colour, 2), 150);
  for (int i = 0; i < arrows; ++i) {
    float ax = late ? 214 + i * 14.0f - 7 * (arrows - 1) : 42 - i * 14.0f + 7 * (arrows - 1);
    float dir = late ? 1.0f : -1.0f;
    std::vector<Point> tri = {{ax - 6 * dir, 36}, {ax + 6 * dir, 48}, {ax - 6 * dir, 60}};
    FillShape(canvas, [tri](float x, float y) { return PolygonDistance(x, y, tri); }, colour);
  }
  return canvas;
}

// A round robot face; its badge shows what the bot plays.
Canvas BotIcon(const std::string& badge, const Lettering& bold) {
  Canvas canvas(128, 128);
  Distance head = Rounded(64, 60, 46, 40, 16);
  FillShape(canvas, [](float x, float y) { return SegmentDistance(x, y, 64, 8, 64, 22) - 3; }, Hex(0x8E8E93));
  FillShape(canvas, [](float x, float y) { return CircleDistance(x, y, 64, 8, 6); }, Hex(Palette::kAccent));
  DrawGem(canvas, head, 64, 60, 44, {Hex(0xAEAEB2), 0.1f, 0.0f, 0.4f, 0.02f, 61});
  FillShape(canvas, Rounded(64, 54, 34, 16, 10), Hex(0x1C1C1E));
  for (float ex : {50.0f, 78.0f}) AddGlow(canvas, [=](float x, float y) { return CircleDistance(x, y, ex, 54, 5); }, Hex(0x5AC8FA), 6);
  if (!badge.empty()) {
    Distance tag = Rounded(64, 108, 40, 16, 16);
    FillShape(canvas, tag, Hex(Palette::kAccent));
    TextStyle style = BoldText(Hex(0x1C1C1E), 0);
    style.top = style.bottom = Hex(0x1C1C1E);
    bold.Draw(canvas, badge, 64, 108, 24, style, 72);
  }
  return canvas;
}

Canvas NetIcon() {
  Canvas canvas(128, 128);
  const Point nodes[] = {{64, 24}, {24, 96}, {104, 96}};
  for (int i = 0; i < 3; ++i) {
    Point a = nodes[i], b = nodes[(i + 1) % 3];
    FillShape(canvas, [=](float x, float y) { return SegmentDistance(x, y, a.x, a.y, b.x, b.y) - 4; }, Hex(0x8E8E93));
  }
  for (const Point& n : nodes)
    DrawGem(canvas, [=](float x, float y) { return CircleDistance(x, y, n.x, n.y, 16); }, n.x, n.y, 16,
            {HueColour(Hue::Blue), 0.2f, 0.06f, 0.5f, 0.02f, 62});
  return canvas;
}

Canvas FretNumber(const std::string& text, const Colour& colour, const Lettering& bold) {
  Canvas canvas(128, 128);
  bold.Draw(canvas, text, 64, 64, text.size() > 1 ? 76 : 92, BoldText(colour, 6), 116);
  return canvas;
}

enum class Mark { Frame, Hopo, Palm, Harmonic, Tappable };

Canvas NumberMark(Mark mark, bool frame, const Lettering& bold) {
  Canvas canvas(128, 128);
  const Colour white = Hex(Palette::kText);
  Distance square = Rounded(64, 64, 56, 56, 16);
  auto diamond_points = StarPoints(64, 64, 60, 4, 1.0f, 0.0f);
  Distance diamond = [diamond_points](float x, float y) { return PolygonDistance(x, y, diamond_points); };
  switch (mark) {
    case Mark::Frame:
      FillShape(canvas, square, Hex(Palette::kBoardDark, 0.55f));
      FillShape(canvas, Outline(square, 6), white);
      break;
    case Mark::Hopo:
      if (frame) {
        FillShape(canvas, square, Hex(0xFFFFFF, 0.25f));
        FillShape(canvas, Outline(square, 10), white);
      } else {
        std::vector<Point> chevron = {{64, 20}, {104, 60}, {88, 60}, {64, 36}, {40, 60}, {24, 60}};
        FillShape(canvas, [chevron](float x, float y) { return PolygonDistance(x, y, chevron); }, white);
      }
      break;
    case Mark::Palm:
      if (frame) {
        FillShape(canvas, square, [](float x, float y) {
          return Hex(0x8E8E93, std::fmod(x + y, 16.0f) < 5.0f ? 0.55f : 0.2f);
        });
        FillShape(canvas, Outline(square, 6), Hex(0xAEAEB2));
      } else {
        bold.Draw(canvas, "PM", 64, 64, 56, BoldText(white, 4), 112);
      }
      break;
    case Mark::Harmonic:
      if (frame) {
        FillShape(canvas, diamond, Hex(Palette::kBoardDark, 0.55f));
        FillShape(canvas, Outline(diamond, 6), Hex(0x5AC8FA));
      } else {
        FillShape(canvas, [=](float x, float y) { return diamond(x, y) + 30; }, Hex(0x5AC8FA));
      }
      break;
    case Mark::Tappable:
      if (frame) {
        FillShape(canvas, square, Hex(Palette::kBoardDark, 0.7f));
        FillShape(canvas, Outline(square, 6), Hex(Palette::kAccent));
        for (float cx : {20.0f, 108.0f})
          for (float cy : {20.0f, 108.0f})
            FillShape(canvas, [=](float x, float y) { return CircleDistance(x, y, cx, cy, 7); }, Hex(Palette::kAccent));
      } else {
        bold.Draw(canvas, "T", 64, 64, 80, BoldText(Hex(Palette::kAccent), 5), 112);
      }
      break;
  }
  return canvas;
}

}  // namespace

std::optional<Canvas> PaintMeter(const std::string& name, const Lettering& bold) {
  const std::string chunk = "Meter_Chunk_Bar_", multiplier = "Meter_Multiplier_";
  if (name.rfind(chunk, 0) == 0) {
    int lit = std::atoi(name.c_str() + chunk.size());
    if (lit < 0 || lit > 10 || std::to_string(lit) != name.substr(chunk.size())) return std::nullopt;
    return ChunkBar(lit);
  }
  if (name.rfind(multiplier, 0) == 0) {
    int value = std::atoi(name.c_str() + multiplier.size());
    if (value <= 0 || std::to_string(value) != name.substr(multiplier.size())) return std::nullopt;
    return Multiplier(value, bold);
  }
  if (name == "Meter_Main") return RockMeter(128);
  if (name == "Meter_Main_Real_Keys") return RockMeter(192);
  if (name == "Meter_Energy_Bar_mask") return LevelMask();
  if (name == "Meter_Energy_Bar") return EnergyBar(HueColour(Hue::Energy));
  if (name == "Meter_VL_Bar") return EnergyBar(Hex(Palette::kAccent));
  if (name == "Meter_Keys_Layout") return KeysLayout(0, 14);
  if (name == "Meter_Keys_Layout_Left") return KeysLayout(0, 7);
  if (name == "Meter_Keys_Layout_Right") return KeysLayout(7, 14);
  struct AccuracyRow {
    const char* name;
    const char* label;
    Hue hue;
    int arrows;
    bool late;
  };
  static const AccuracyRow kAccuracy[] = {
      {"Accuracy_Very_Early", "EARLY", Hue::Blue, 2, false}, {"Accuracy_Early", "EARLY", Hue::Energy, 1, false},
      {"Accuracy_Perfect", "PERFECT", Hue::Green, 0, false}, {"Accuracy_Late", "LATE", Hue::Orange, 1, true},
      {"Accuracy_Very_Late", "LATE", Hue::Red, 2, true},
  };
  for (const AccuracyRow& row : kAccuracy)
    if (name == row.name) return Accuracy(row.label, HueColour(row.hue), row.arrows, row.late, bold);
  if (name == "icon_net") return NetIcon();
  struct BotRow {
    const char* name;
    const char* badge;
  };
  static const BotRow kBots[] = {{"bot_full", ""},        {"bot_kick", "KICK"},     {"bot_hihat", "HAT"},
                                 {"bot_kick_hihat", "K+H"}, {"bot_left_hand", "LEFT"}, {"bot_right_hand", "RIGHT"}};
  for (const BotRow& row : kBots)
    if (name == row.name) return BotIcon(row.badge, bold);
  return std::nullopt;
}

std::optional<Canvas> PaintNumber(const std::string& name, const Lettering& bold) {
  std::string base = name;
  bool energy = false;
  if (base.size() > 3 && base.compare(base.size() - 3, 3, "_vl") == 0) {
    energy = true;
    base.resize(base.size() - 3);
  }
  Colour colour = energy ? HueColour(Hue::Energy) : Hex(Palette::kText);
  if (!base.empty() && base.find_first_not_of("0123456789") == std::string::npos) {
    int value = std::atoi(base.c_str());
    if (value > 22 || std::to_string(value) != base) return std::nullopt;
    return FretNumber(base, colour, bold);
  }
  if (base == "number_muted") return FretNumber("X", colour, bold);
  if (energy) return std::nullopt;
  struct MarkRow {
    const char* name;
    Mark mark;
    bool frame;
  };
  static const MarkRow kMarks[] = {
      {"number_frame", Mark::Frame, true},       {"number_hopo", Mark::Hopo, false},
      {"number_frame_hopo", Mark::Hopo, true},    {"number_palm", Mark::Palm, false},
      {"number_frame_palm", Mark::Palm, true},    {"number_harmonic", Mark::Harmonic, false},
      {"number_frame_harmonic", Mark::Harmonic, true}, {"number_tappable", Mark::Tappable, false},
      {"number_frame_tappable", Mark::Tappable, true},
  };
  for (const MarkRow& row : kMarks)
    if (base == row.name) return NumberMark(row.mark, row.frame, bold);
  return std::nullopt;
}

std::optional<Canvas> PaintMetersJob(const std::string& job, const std::string& name, const Lettering& bold) {
  if (job == "meters") return PaintMeter(name, bold);
  if (job == "numbers") return PaintNumber(name, bold);
  return std::nullopt;
}

}  // namespace velorin::pictures
