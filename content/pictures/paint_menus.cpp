// The default theme's menu pictures: the background every screen sits on, the title
// bar, the row highlight and scroll bar of lists, the message box panel, the
// controller and keyboard button icons of the button legend, and the layers of the
// practice background.
#include <algorithm>
#include <cmath>

#include "painters.h"
#include "palette.h"
#include "shapes.h"

namespace velorin::pictures {

namespace {

Canvas MenuBackground() {
  Canvas canvas(1280, 720);
  canvas.Over([](float x, float y) {
    const float t = Clamp01(y / 720.0f);
    Colour ground = Mix(Hex(0x1A1F3A), Hex(0x07080F), t);
    // Broad diagonal light bands, faint enough to stay behind text.
    const float band = 0.5f + 0.5f * std::sin((x + y * 0.6f) / 90.0f);
    ground = Mix(ground, Hex(0x2B3570), 0.10f * band * band * (1.0f - t));
    return Grainy(ground, x, y, 0.025f, 91);
  });
  canvas.Add([](float x, float y) {
    const float dx = (x - 320) / 520.0f, dy = (y - 160) / 360.0f;
    return Hex(Palette::kAccent, 0.10f * std::exp(-(dx * dx + dy * dy) * 2.0f));
  });
  canvas.Add([](float x, float y) {
    const float dx = (x - 1040) / 600.0f, dy = (y - 620) / 300.0f;
    return Hex(0x5AC8FA, 0.08f * std::exp(-(dx * dx + dy * dy) * 2.0f));
  });
  return canvas;
}

Canvas HeaderBar() {
  Canvas canvas(1024, 96);
  canvas.Over([](float x, float y) {
    const float fade = SmoothStep(0, 160, x) * SmoothStep(1024, 864, x);
    const float line = std::exp(-std::pow((y - 88.0f) / 2.5f, 2.0f));
    Colour c = Mix(Hex(0x0B0D18, 0.78f * fade), Hex(Palette::kAccent, fade), line);
    return c;
  });
  return canvas;
}

Canvas RowHighlight() {
  Canvas canvas(640, 48);
  const Distance box = [](float x, float y) { return BoxDistance(x, y, 320, 24, 300, 16, 14); };
  AddGlow(canvas, box, Hex(Palette::kAccent, 0.35f), 18);
  FillShape(canvas, box, [](float x, float y) {
    const float centre = 1.0f - std::fabs(x - 320) / 320.0f;
    return Mix(Hex(0xC47A10, 0.55f), Hex(Palette::kAccent, 0.75f), centre * (1.0f - y / 64.0f));
  });
  FillShape(canvas, Outline(box, 2), Hex(0xFFE0A0, 0.9f));
  return canvas;
}

Canvas ScrollTrack() {
  Canvas canvas(16, 512);
  FillShape(canvas, [](float x, float y) { return BoxDistance(x, y, 8, 256, 3, 250, 3); }, Hex(0xFFFFFF, 0.18f));
  return canvas;
}

Canvas ScrollThumb() {
  Canvas canvas(16, 96);
  const Distance thumb = [](float x, float y) { return BoxDistance(x, y, 8, 48, 6, 44, 6); };
  FillShape(canvas, thumb, [](float, float y) { return Mix(Hex(0xFFD37A), Hex(Palette::kAccent), y / 96.0f); });
  return canvas;
}

Canvas MessagePanel() {
  Canvas canvas(768, 384);
  const Distance panel = [](float x, float y) { return BoxDistance(x, y, 384, 192, 360, 168, 24); };
  AddGlow(canvas, panel, Hex(0x000000, 0.6f), 20);
  FillShape(canvas, panel, [](float x, float y) {
    return Grainy(Mix(Hex(0x242A48, 0.95f), Hex(0x10121E, 0.95f), y / 384.0f), x, y, 0.02f, 93);
  });
  FillShape(canvas, [&](float x, float y) { return std::max(panel(x, y), y - 40.0f); }, Hex(Palette::kAccent, 0.9f));
  FillShape(canvas, Outline(panel, 2.5f), Hex(0xFFFFFF, 0.35f));
  return canvas;
}

// The song-load screen's banner for a song that brings none of its own: the message
// panel's frame around a small stage at night, two spotlights crossing over a row of
// level-meter bars, so the space reads as a stage waiting for the song.
Canvas SongBanner() {
  Canvas canvas(768, 384);
  const Distance panel = [](float x, float y) { return BoxDistance(x, y, 384, 192, 360, 168, 24); };
  AddGlow(canvas, panel, Hex(0x000000, 0.6f), 20);
  FillShape(canvas, panel, [](float x, float y) {
    const float t = Clamp01((y - 24.0f) / 336.0f);
    return Grainy(Mix(Hex(0x1C2150, 0.97f), Hex(0x090A14, 0.97f), t), x, y, 0.02f, 97);
  });
  // Spotlight cones from the top corners meeting over the stage.
  for (const float source : {120.0f, 648.0f}) {
    canvas.Add([source](float x, float y) {
      if (y < 24.0f || y > 360.0f) return Hex(0, 0.0f);
      const float toward = source < 384.0f ? 1.0f : -1.0f;
      const float axisX = source + toward * (y - 24.0f) * 0.75f;
      const float halfWidth = 10.0f + (y - 24.0f) * 0.22f;
      const float across = std::fabs(x - axisX) / halfWidth;
      const float fade = Clamp01(1.0f - (y - 24.0f) / 380.0f);
      return Hex(0xFFD37A, 0.22f * Clamp01(1.0f - across * across) * fade);
    });
  }
  // Level-meter bars along the stage floor, tallest in the middle.
  constexpr int kBars = 24;
  for (int i = 0; i < kBars; ++i) {
    const float cx = 132.0f + 21.0f * static_cast<float>(i);
    const float wave = 0.5f + 0.5f * std::sin(static_cast<float>(i) * 0.9f);
    const float middle = 1.0f - std::fabs(static_cast<float>(i) - (kBars - 1) / 2.0f) / kBars;
    const float height = 30.0f + 120.0f * middle * (0.45f + 0.55f * wave);
    const float top = 322.0f - height;
    const Distance bar = [cx, top](float x, float y) {
      return BoxDistance(x, y, cx, (top + 322.0f) / 2.0f, 7.0f, (322.0f - top) / 2.0f, 2.5f);
    };
    FillShape(canvas, bar, [top](float, float y) {
      return Mix(Hex(0xFFF0B8, 0.95f), Hex(Palette::kAccent, 0.85f), Clamp01((y - top) / 140.0f));
    });
  }
  // The stage's edge, lit.
  canvas.Add(24, 322, 744, 336, [](float x, float y) {
    const float line = std::exp(-std::pow((y - 326.0f) / 2.5f, 2.0f));
    return Hex(Palette::kAccent, 0.8f * line * SmoothStep(24, 160, x) * SmoothStep(744, 608, x));
  });
  FillShape(canvas, [&](float x, float y) { return std::max(panel(x, y), y - 40.0f); }, Hex(Palette::kAccent, 0.9f));
  FillShape(canvas, Outline(panel, 2.5f), Hex(0xFFFFFF, 0.35f));
  return canvas;
}

// A round lit button in a lane colour.
Canvas RoundButton(Hue hue) {
  Canvas canvas(64, 64);
  GemLook look;
  look.colour = HueColour(hue);
  DrawGem(canvas, [](float x, float y) { return CircleDistance(x, y, 32, 32, 28); }, 32, 32, 28, look);
  return canvas;
}

// A dark rounded key with a symbol painted by `symbol` (a distance, or none).
Canvas KeyCap(const Distance& symbol) {
  Canvas canvas(64, 64);
  GemLook look;
  look.colour = Hex(0x3A3F4E);
  look.highlight = 0.25f;
  const Distance cap = [](float x, float y) { return BoxDistance(x, y, 32, 32, 27, 27, 9); };
  DrawGem(canvas, cap, 32, 32, 27, look);
  if (symbol) FillShape(canvas, symbol, Hex(Palette::kText));
  return canvas;
}

Distance Triangle(float cx, float cy, float size, float turn) {
  const std::vector<Point> points = StarPoints(cx, cy, size, 3, 1.0f, turn);
  return [points](float x, float y) { return PolygonDistance(x, y, points); };
}

// A five-point star for the rank list of the play screen: lit (gold, with a glow) for a
// reached rank, or the dim slot a rank fills up in.
Canvas RankStar(bool lit) {
  Canvas canvas(64, 64);
  const std::vector<Point> points = StarPoints(32, 33, 26, 5, 0.45f, -1.5707963f);
  const Distance star = [points](float x, float y) { return PolygonDistance(x, y, points); };
  if (lit) {
    AddGlow(canvas, star, Hex(Palette::kAccent, 0.45f), 6);
    FillShape(canvas, star, [](float, float y) { return Mix(Hex(0xFFF0B8), Hex(0xE08A10), Clamp01((y - 8.0f) / 50.0f)); });
    FillShape(canvas, Outline(star, 1.5f), Hex(0xFFF8E0, 0.9f));
  } else {
    FillShape(canvas, star, Hex(0x0A0C16, 0.55f));
    FillShape(canvas, Outline(star, 2.0f), Hex(0xFFFFFF, 0.28f));
  }
  return canvas;
}

Canvas PracticeGlow() {
  Canvas canvas(512, 512);
  canvas.Add([](float x, float y) {
    const float d = std::hypot(x - 256, y - 256) / 256.0f;
    return Hex(0x30D158, Clamp01(1.0f - d) * Clamp01(1.0f - d) * 0.8f);
  });
  return canvas;
}

Canvas PracticeBar() {
  Canvas canvas(1024, 32);
  canvas.Add([](float x, float y) {
    const float v = std::exp(-std::pow((y - 16.0f) / 5.0f, 2.0f));
    return Hex(0x64D2FF, v * SmoothStep(0, 200, x) * SmoothStep(1024, 824, x));
  });
  return canvas;
}

// A short bright glint that travels along the title band's accent line. Kept small on
// purpose: the line itself stays still, so an idle screen redraws only the strip the
// glint crosses each frame instead of the whole band.
Canvas HeaderGlint() {
  Canvas canvas(256, 32);
  canvas.Add([](float x, float y) {
    const float along = std::exp(-std::pow((x - 128.0f) / 48.0f, 2.0f));
    const float across = std::exp(-std::pow((y - 16.0f) / 5.0f, 2.0f));
    const float core = std::exp(-std::pow((x - 128.0f) / 14.0f, 2.0f));
    return Mix(Hex(Palette::kAccent, along * across), Hex(0xFFF4D8, along * across), 0.6f * core);
  });
  return canvas;
}

std::optional<Canvas> PaintMenuPicture(const std::string& name) {
  if (name == "menu_background") return MenuBackground();
  if (name == "header_bar") return HeaderBar();
  if (name == "row_hilite") return RowHighlight();
  if (name == "scroll_track") return ScrollTrack();
  if (name == "scroll_thumb") return ScrollThumb();
  if (name == "message_panel") return MessagePanel();
  if (name == "song_banner") return SongBanner();
  if (name == "button_green") return RoundButton(Hue::Green);
  if (name == "button_red") return RoundButton(Hue::Red);
  if (name == "button_orange") return RoundButton(Hue::Orange);
  if (name == "button_start") return KeyCap(Triangle(30, 32, 14, 1.5707963f));
  if (name == "button_select") {
    return KeyCap([](float x, float y) {
      return std::min(BoxDistance(x, y, 32, 26, 12, 3, 1.5f), BoxDistance(x, y, 32, 38, 12, 3, 1.5f));
    });
  }
  if (name == "button_leftright") {
    const Distance left = Triangle(22, 32, 10, -1.5707963f);
    const Distance right = Triangle(42, 32, 10, 1.5707963f);
    return KeyCap([left, right](float x, float y) { return std::min(left(x, y), right(x, y)); });
  }
  if (name == "key_cap") return KeyCap(nullptr);
  if (name == "practice_glow") return PracticeGlow();
  if (name == "practice_bar") return PracticeBar();
  if (name == "header_glint") return HeaderGlint();
  if (name == "rank_star") return RankStar(true);
  if (name == "rank_slot") return RankStar(false);
  return std::nullopt;
}

}  // namespace

// A demo song's album cover: a night-sky gradient in the album's own colours, a few
// soft light discs, a horizon band and the album's title.
struct CoverLook {
  const char* title;
  uint32_t sky, ground, light;
  float sun;  // the main disc's height, 0 top .. 1 bottom
};

Canvas AlbumCover(const CoverLook& look, const Lettering& bold) {
  constexpr int kSize = 256;
  Canvas canvas(kSize, kSize);
  canvas.Over([&look](float x, float y) {
    const float t = y / kSize;
    const Colour sky = Mix(Hex(look.sky), Hex(look.ground), SmoothStep(0.35f, 0.95f, t));
    return Grainy(sky, x, y, 0.025f, look.light);
  });
  const float sunY = 40.0f + look.sun * 120.0f;
  canvas.Add([&look, sunY](float x, float y) {
    const float d = std::hypot(x - 168.0f, y - sunY) / 70.0f;
    return Hex(look.light, Clamp01(1.0f - d) * 0.9f);
  });
  for (int i = 0; i < 5; ++i) {
    const float cx = 30.0f + 47.0f * static_cast<float>(i);
    const float cy = 60.0f + static_cast<float>((i * 37) % 60);
    canvas.Add([&look, cx, cy](float x, float y) {
      const float d = std::hypot(x - cx, y - cy) / 9.0f;
      return Hex(look.light, Clamp01(1.0f - d) * 0.35f);
    });
  }
  canvas.Over(0, 176, kSize, kSize, [&look](float, float y) {
    return Hex(look.ground, 0.55f + 0.45f * SmoothStep(176.0f, 256.0f, y));
  });
  TextStyle style;
  style.top = Hex(0xFFF4D6);
  style.bottom = Hex(look.light);
  style.shadow = 2;
  bold.Draw(canvas, look.title, kSize / 2.0f, 214.0f, 26, style, kSize - 24.0f);
  return canvas;
}

std::optional<Canvas> PaintMenusJob(const std::string& job, const std::string& name, const Lettering& bold) {
  if (job == "menu_theme") return PaintMenuPicture(name);
  if (name != "album") return std::nullopt;
  if (job == "cover_copper_lanterns") return AlbumCover({"Harbour Lights", 0x1B2A4A, 0x3A2418, 0xF2A65A, 0.55f}, bold);
  if (job == "cover_night_signal") return AlbumCover({"Frequencies After Dark", 0x0B0F2A, 0x1E0F3A, 0x6FD3FF, 0.2f}, bold);
  if (job == "cover_slow_river_waltz") return AlbumCover({"Mill Town Evenings", 0x34284A, 0x1C3A3A, 0xF7D774, 0.8f}, bold);
  return std::nullopt;
}

}  // namespace velorin::pictures
