// Note pictures: the faces of the gems the note models wear. A gem fills the centre
// of its picture; the rest is the gem's darker body colour, so whatever part of the
// picture a model's sides map stays solid. Families differ by shape and marks, not
// only by colour: round guitar gems, hexagonal real-guitar gems, arrows for dance,
// long keys, wide drum pads, grooved cymbals with articulation marks.
#include <cmath>

#include "painters.h"
#include "palette.h"
#include "shapes.h"

namespace velorin::pictures {

namespace {

enum class NoteFamily { Guitar, GuitarBass, GuitarReal, Dance, Keys, Drum, DrumBass, Cymbal, Rimshot, Activate, Slider, ChordBar, Mine };
enum class Articulation { None, Open, Pedal, Sizzle };
enum class NoteState { Normal, Energy, Missed };

struct NoteLook {
  NoteFamily family = NoteFamily::Guitar;
  Articulation articulation = Articulation::None;
  NoteState state = NoteState::Normal;
  Colour colour;
};

bool ParseNote(const std::string& name, NoteLook* look) {
  std::vector<std::string> parts = NameParts(name);
  if (parts.size() >= 2 && parts[0] == "Chord" && parts[1] == "Bar") {
    look->family = NoteFamily::ChordBar;
    look->state = parts.size() > 2 && parts[2] == "VL" ? NoteState::Energy : NoteState::Normal;
    look->colour = look->state == NoteState::Energy ? HueColour(Hue::Energy) : HueColour(Hue::White);
    return true;
  }
  if (parts.empty() || parts[0] != "Note") return false;
  parts.erase(parts.begin());
  if (TakeWord(parts, "Slider")) look->family = NoteFamily::Slider;
  else if (TakeWord(parts, "Mine")) look->family = NoteFamily::Mine;
  else if (TakeWord(parts, "Activate")) look->family = NoteFamily::Activate;
  else if (TakeWord(parts, "Dance")) look->family = NoteFamily::Dance;
  else if (TakeWord(parts, "Keys")) look->family = NoteFamily::Keys;
  else if (TakeWord(parts, "Cymbal")) look->family = NoteFamily::Cymbal;
  else if (TakeWord(parts, "Rimshot")) look->family = NoteFamily::Rimshot;
  else if (TakeWord(parts, "Drum")) look->family = TakeWord(parts, "Bass") ? NoteFamily::DrumBass : NoteFamily::Drum;
  else if (TakeWord(parts, "Guitar")) {
    if (TakeWord(parts, "Real")) look->family = NoteFamily::GuitarReal;
    else if (TakeWord(parts, "Bass")) look->family = NoteFamily::GuitarBass;
    else look->family = NoteFamily::Guitar;
  } else {
    return false;
  }
  if (TakeWord(parts, "Open")) look->articulation = Articulation::Open;
  if (TakeWord(parts, "Pedal")) look->articulation = Articulation::Pedal;
  if (TakeWord(parts, "Sizzle")) look->articulation = Articulation::Sizzle;
  bool on = TakeWord(parts, "On");
  bool off = TakeWord(parts, "Off");
  Colour fallback = HueColour(Hue::Bass);
  if (look->family == NoteFamily::Activate) fallback = on ? HueColour(Hue::Energy) : HueColour(Hue::Miss);
  if (off) look->state = NoteState::Missed;
  if (TakeWord(parts, "Black")) fallback = HueColour(Hue::Black);
  if (TakeWord(parts, "VL")) look->state = NoteState::Energy;
  if (TakeWord(parts, "Miss")) look->state = NoteState::Missed;
  look->colour = HueOfWords(parts, fallback);
  if (look->state == NoteState::Energy) look->colour = HueColour(Hue::Energy);
  if (look->state == NoteState::Missed && look->family != NoteFamily::Activate) look->colour = HueColour(Hue::Miss);
  return parts.empty();
}

bool IsBar(NoteFamily family) {
  return family == NoteFamily::GuitarBass || family == NoteFamily::DrumBass || family == NoteFamily::ChordBar;
}

Distance FaceShape(NoteFamily family, float cx, float cy, float r) {
  switch (family) {
    case NoteFamily::GuitarReal: {
      auto hexagon = StarPoints(cx, cy, r, 6, 1.0f, 0.5236f);
      return [hexagon](float x, float y) { return PolygonDistance(x, y, hexagon); };
    }
    case NoteFamily::Dance: {
      std::vector<Point> arrow = {{cx, cy - r},           {cx + r, cy},          {cx + 0.42f * r, cy},
                                  {cx + 0.42f * r, cy + r}, {cx - 0.42f * r, cy + r}, {cx - 0.42f * r, cy},
                                  {cx - r, cy}};
      return [arrow, r](float x, float y) { return PolygonDistance(x, y, arrow) - 0.06f * r; };
    }
    case NoteFamily::Keys:
      return [=](float x, float y) { return BoxDistance(x, y, cx, cy, 0.62f * r, r, 0.18f * r); };
    case NoteFamily::Drum:
    case NoteFamily::Rimshot:
      return [=](float x, float y) { return BoxDistance(x, y, cx, cy, r, 0.7f * r, 0.3f * r); };
    case NoteFamily::Activate: {
      auto star = StarPoints(cx, cy, r, 5, 0.48f, 0.0f);
      return [star, r](float x, float y) { return PolygonDistance(x, y, star) - 0.05f * r; };
    }
    case NoteFamily::GuitarBass:
    case NoteFamily::DrumBass:
    case NoteFamily::ChordBar:
      return [=](float x, float y) { return BoxDistance(x, y, cx, cy, 3.6f * r, 0.8f * r, 0.4f * r); };
    default:
      return [=](float x, float y) { return CircleDistance(x, y, cx, cy, r); };
  }
}

void DrawMarks(Canvas& canvas, const NoteLook& look, float cx, float cy, float r) {
  const Colour white = Hex(Palette::kText, 0.95f);
  const Colour dark = Hex(Palette::kBoardDark, 0.85f);
  switch (look.family) {
    case NoteFamily::Cymbal: {
      // Turned grooves and a raised bell.
      for (int i = 1; i <= 4; ++i) {
        float rr = r * (0.2f + 0.17f * i);
        FillShape(canvas, [=](float x, float y) { return std::fabs(CircleDistance(x, y, cx, cy, rr)) - 0.012f * r; },
                  WithAlpha(Scaled(look.colour, 0.55f), 0.7f));
      }
      DrawGem(canvas, [=](float x, float y) { return CircleDistance(x, y, cx, cy, 0.24f * r); }, cx, cy, 0.24f * r,
              {Scaled(look.colour, 1.1f), 0.3f, 0.0f, 0.5f, 0.03f, 7});
      break;
    }
    case NoteFamily::Drum:
      FillShape(canvas, [=](float x, float y) { return std::fabs(BoxDistance(x, y, cx, cy, 0.62f * r, 0.36f * r, 0.2f * r)) - 0.025f * r; },
                WithAlpha(white, 0.5f));
      break;
    case NoteFamily::Rimshot:
      FillShape(canvas, [=](float x, float y) { return std::fabs(BoxDistance(x, y, cx, cy, 0.86f * r, 0.56f * r, 0.26f * r)) - 0.07f * r; },
                white);
      break;
    case NoteFamily::GuitarReal:
      FillShape(canvas, [=](float x, float y) { return CircleDistance(x, y, cx, cy, 0.42f * r); }, dark);
      break;
    case NoteFamily::Slider:
      // Tap notes: a dark well with a white centre dot.
      FillShape(canvas, [=](float x, float y) { return CircleDistance(x, y, cx, cy, 0.52f * r); }, dark);
      FillShape(canvas, [=](float x, float y) { return CircleDistance(x, y, cx, cy, 0.18f * r); }, white);
      break;
    case NoteFamily::Mine: {
      auto spikes = StarPoints(cx, cy, 0.95f * r, 8, 0.55f, 0.0f);
      FillShape(canvas, [spikes](float x, float y) { return PolygonDistance(x, y, spikes); }, Hex(Palette::kWarning));
      FillShape(canvas, [=](float x, float y) { return CircleDistance(x, y, cx, cy, 0.58f * r); }, Hex(0x111216));
      for (float s : {-1.0f, 1.0f}) {
        FillShape(canvas, [=](float x, float y) {
          return SegmentDistance(x, y, cx - 0.3f * r, cy - 0.3f * s * r, cx + 0.3f * r, cy + 0.3f * s * r) - 0.07f * r;
        }, Hex(Palette::kWarning));
      }
      break;
    }
    default:
      break;
  }
  switch (look.articulation) {
    case Articulation::Open:
      FillShape(canvas, [=](float x, float y) { return std::fabs(CircleDistance(x, y, cx, cy, 0.55f * r)) - 0.07f * r; }, white);
      break;
    case Articulation::Pedal:
      FillShape(canvas, [=](float x, float y) { return BoxDistance(x, y, cx, cy + 0.55f * r, 0.6f * r, 0.09f * r, 0.09f * r); }, white);
      break;
    case Articulation::Sizzle:
      FillShape(canvas, [=](float x, float y) {
        float wave = cy + 0.55f * r + 0.08f * r * std::sin((x - cx) / r * 12.0f);
        return std::max(std::fabs(y - wave) - 0.05f * r, std::fabs(x - cx) - 0.6f * r);
      }, white);
      break;
    case Articulation::None:
      break;
  }
}

}  // namespace

std::optional<Canvas> PaintNote(const std::string& name) {
  NoteLook look;
  if (!ParseNote(name, &look)) return std::nullopt;
  bool bar = IsBar(look.family);
  Canvas canvas(bar ? 512 : 256, bar ? 128 : 256);
  float cx = canvas.width() / 2.0f, cy = canvas.height() / 2.0f;
  float r = bar ? 64.0f : 112.0f;  // a bar's half height is 0.8 r
  // The body: the gem's darker side colour under everything.
  Colour body = Scaled(look.colour, look.family == NoteFamily::Mine ? 0.25f : 0.4f);
  canvas.Over([&](float x, float y) { return Grainy(body, x, y, 0.05f, 3); });
  Distance face = FaceShape(look.family, cx, cy, bar ? r * 0.95f : r);
  if (look.family == NoteFamily::Mine) {
    DrawMarks(canvas, look, cx, cy, r);
    return canvas;
  }
  GemLook gem{look.colour};
  if (look.state == NoteState::Missed) gem.highlight = 0.15f;
  if (look.family == NoteFamily::ChordBar) gem.rim = 0.0f;
  DrawGem(canvas, face, cx, cy, bar ? 0.8f * r : r, gem);
  if (look.state == NoteState::Energy) {
    // Energy notes shimmer: a white inner glow on the face.
    canvas.Add([&](float x, float y) {
      if (face(x, y) >= 0) return Colour{0, 0, 0, 0};
      float d = std::hypot(x - cx, y - cy) / (bar ? 3.0f * r : r);
      return Colour{1, 1, 1, 0.4f * std::exp(-d * d * 3.0f)};
    });
  }
  DrawMarks(canvas, look, cx, cy, r);
  return canvas;
}

std::optional<Canvas> PaintNotesJob(const std::string& job, const std::string& name, const Lettering&) {
  if (job == "notes") return PaintNote(name);
  return std::nullopt;
}

}  // namespace velorin::pictures
