// The fixed gameplay models. Sizes follow the board: lanes 48 units wide at z = 0,
// notes travelling along -z, the board an arc of radius 1000 from x -120 to 120 and z
// -150 to 715. Gems are solid: a darker base, a white rim and a bevelled coloured top,
// and the hammer-on and tap gems differ from the plain gem by shape. The texture
// each material names is the picture the game uses for that model, relative to the
// model's folder; the game replaces it with the lane's picture where it draws a model
// for several colours.
#include "content/models/gameplay_models.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>
#include <functional>

namespace models {

namespace {

constexpr float kPi = 3.14159265f;

// The palette of the generated content.
const glm::vec3 kGreen(0.180f, 0.800f, 0.251f);
const glm::vec3 kRed(1.000f, 0.231f, 0.188f);
const glm::vec3 kYellow(1.000f, 0.839f, 0.039f);
const glm::vec3 kBlue(0.039f, 0.518f, 1.000f);
const glm::vec3 kOrange(1.000f, 0.624f, 0.039f);
const glm::vec3 kPurple(0.749f, 0.353f, 0.949f);
const glm::vec3 kBoardDark(0.086f, 0.094f, 0.114f);
const glm::vec3 kBoardGrey(0.165f, 0.176f, 0.208f);
const glm::vec3 kWhite(0.961f, 0.961f, 0.969f);
const glm::vec3 kAccent(1.000f, 0.702f, 0.251f);

// A lit surface: emissive about a third of its colour so that it reads under the
// game's single light.
Material Lit(const std::string& name, const glm::vec3& colour, const std::string& texture, float alpha = 1.0f,
             float glow = 0.35f) {
  Material m;
  m.name = name;
  m.diffuse = glm::vec4(colour, alpha);
  m.power = 24.0f;
  m.specular = glm::vec3(0.45f);
  m.emissive = colour * glow;
  m.texture = texture;
  return m;
}

// A light effect: fully self-lit, no highlight.
Material Glow(const std::string& name, const glm::vec3& colour, const std::string& texture, float alpha) {
  Material m = Lit(name, colour, texture, alpha, 1.0f);
  m.specular = glm::vec3(0.0f);
  m.power = 1.0f;
  return m;
}

// Builds one model: a root frame named after the model holding one mesh.
struct Builder {
  Model model;
  Mesh mesh;

  explicit Builder(const std::string& name) { model.root.name = name; }

  uint32_t Add(const Material& m) {
    model.materials.push_back(m);
    return static_cast<uint32_t>(model.materials.size() - 1);
  }

  Model Finish(bool mask_uv = false, const std::function<glm::vec2(const glm::vec3&)>& mask = {}) {
    if (mask_uv) {
      model.second_uv = true;
      mesh.MapSecondUv(mask);
    }
    model.root.mesh = std::move(mesh);
    return std::move(model);
  }
};

// ---- board-space texture mappings -----------------------------------------------

constexpr float kBoardHalf = 120.0f;
constexpr float kBoardNear = -150.0f;
constexpr float kBoardFar = 715.0f;
constexpr float kNeckRepeat = 715.0f;

// The neck picture repeats once every 715 units along the board.
glm::vec2 NeckUv(const glm::vec3& p) { return {(p.x + kBoardHalf) / (2.0f * kBoardHalf), -p.z / kNeckRepeat}; }
// The mask spans the whole board once: v 0 at the far end, 1 at the near end. Rails
// just outside the board take the mask's edge column.
glm::vec2 BoardMaskUv(const glm::vec3& p) {
  return {std::clamp((p.x + kBoardHalf) / (2.0f * kBoardHalf), 0.0f, 1.0f),
          (kBoardFar - p.z) / (kBoardFar - kBoardNear)};
}

// A picture spread once over a rectangle of the xz plane.
UvMap SpanUv(float x0, float x1, float z0, float z1) {
  return [=](const glm::vec3& p) { return glm::vec2((p.x - x0) / (x1 - x0), (z1 - p.z) / (z1 - z0)); };
}

glm::mat4 RotateY(float a) { return glm::rotate(glm::mat4(1.0f), a, glm::vec3(0, 1, 0)); }
glm::mat4 Move(float x, float y, float z) { return glm::translate(glm::mat4(1.0f), glm::vec3(x, y, z)); }
// Turns a shape built lying in the xz plane (facing up) upright, facing -z.
glm::mat4 StandUp() { return glm::rotate(glm::mat4(1.0f), -kPi / 2.0f, glm::vec3(1, 0, 0)); }

// ---- notes ------------------------------------------------------------------------

constexpr float kGemRadius = 18.0f;

enum class GemStyle { kStrum, kHammerOn, kTap };

// A round gem: dark base, white rim, bevelled coloured top. Hammer-ons get a raised
// collar and a white centre stud; tap gems are hollow rings.
Model Gem(const std::string& name, const std::string& texture, const glm::vec3& colour, GemStyle style) {
  Builder b(name);
  const uint32_t base = b.Add(Lit(name + "_Base", colour * 0.3f, texture));
  const uint32_t rim = b.Add(Lit(name + "_Rim", kWhite, texture));
  const uint32_t top = b.Add(Lit(name + "_Top", colour, texture));
  const float r = kGemRadius;
  const UvMap uv = TopDownUv(2.0f * r + 2.0f);
  AddLathe(b.mesh, base, {{0.0f, 0.0f}, {r - 1.0f, 0.0f}, {r, 1.0f}, {r, 2.5f}, {0.0f, 2.5f}}, 32, uv);
  const float collar = style == GemStyle::kHammerOn ? 7.5f : 5.0f;
  AddLathe(b.mesh, rim, {{r - 3.5f, 2.5f}, {r, 2.5f}, {r, collar - 0.8f}, {r - 0.8f, collar}, {r - 3.5f, collar}}, 32,
           uv);
  switch (style) {
    case GemStyle::kStrum:
      AddLathe(b.mesh, top,
               {{r - 3.5f, 4.5f}, {r - 3.5f, 6.0f}, {r - 6.0f, 7.6f}, {r - 10.0f, 8.2f}, {0.0f, 8.4f}}, 32, uv);
      break;
    case GemStyle::kHammerOn:
      AddLathe(b.mesh, top, {{r - 3.5f, 6.5f}, {r - 3.5f, 8.0f}, {r - 6.5f, 9.0f}, {6.0f, 9.0f}, {0.0f, 9.0f}}, 32,
               uv);
      AddBevelledCylinder(b.mesh, rim, 4.5f, 8.5f, 11.0f, 1.2f, 24, uv);
      break;
    case GemStyle::kTap:
      AddLathe(b.mesh, top,
               {{r - 3.5f, 4.5f}, {r - 3.5f, 6.5f}, {r - 5.0f, 7.5f}, {7.0f, 7.5f}, {6.0f, 6.5f}, {6.0f, 3.0f}}, 32,
               uv);
      AddLathe(b.mesh, base, {{6.0f, 3.0f}, {0.0f, 3.0f}}, 24, uv);  // the dark hollow
      break;
  }
  return b.Finish();
}

// A drum pad: flat coloured head in a white hoop; the rimshot has a tall hoop.
Model DrumPad(const std::string& name, const std::string& texture, const glm::vec3& colour, bool rimshot) {
  Builder b(name);
  const uint32_t base = b.Add(Lit(name + "_Shell", colour * 0.3f, texture));
  const uint32_t hoop = b.Add(Lit(name + "_Hoop", kWhite, texture));
  const uint32_t head = b.Add(Lit(name + "_Head", colour, texture));
  const float r = 20.0f;
  const UvMap uv = TopDownUv(2.0f * r + 2.0f);
  AddLathe(b.mesh, base, {{0.0f, 0.0f}, {r, 0.0f}, {r, 2.0f}, {0.0f, 2.0f}}, 36, uv);
  AddBevelledCylinder(b.mesh, head, r - 2.0f, 2.0f, 5.0f, 0.8f, 36, uv);
  const float hoop_top = rimshot ? 9.0f : 5.8f;
  AddRing(b.mesh, hoop, r - 2.0f, r, 2.0f, hoop_top, 36, uv);
  if (rimshot) AddRing(b.mesh, hoop, r - 7.0f, r - 5.5f, 5.0f, 6.5f, 36, uv);  // inner ring: hit the rim
  return b.Finish();
}

enum class CymbalStyle { kClosed, kOpen, kPedal, kSizzle };

void AddCymbalDisc(Mesh& mesh, uint32_t top, uint32_t edge, float y, const UvMap& uv) {
  // Bell and bow on top, a white edge, the underside back to the centre.
  AddLathe(mesh, top, {{0.0f, y + 9.0f}, {4.0f, y + 9.0f}, {5.5f, y + 7.0f}, {8.0f, y + 5.6f}, {18.0f, y + 3.2f}},
           36, uv);
  AddLathe(mesh, edge, {{18.0f, y + 3.2f}, {21.0f, y + 2.4f}, {21.0f, y + 1.8f}, {18.0f, y + 2.4f}}, 36, uv);
  AddLathe(mesh, top, {{18.0f, y + 2.4f}, {8.0f, y + 4.6f}, {5.0f, y + 6.0f}, {0.0f, y + 6.4f}}, 36, uv);
}

Model Cymbal(const std::string& name, const std::string& texture, const glm::vec3& colour, CymbalStyle style) {
  Builder b(name);
  const uint32_t top = b.Add(Lit(name + "_Bronze", colour, texture));
  const uint32_t edge = b.Add(Lit(name + "_Edge", kWhite, texture));
  const uint32_t stand = b.Add(Lit(name + "_Stand", kBoardGrey, texture));
  const UvMap uv = TopDownUv(44.0f);
  AddLathe(b.mesh, stand, {{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 7.0f}, {0.0f, 7.0f}}, 12, uv);
  switch (style) {
    case CymbalStyle::kClosed:
      AddCymbalDisc(b.mesh, top, edge, 0.0f, uv);
      break;
    case CymbalStyle::kOpen:  // two plates held apart
      AddCymbalDisc(b.mesh, top, edge, -1.5f, uv);
      AddCymbalDisc(b.mesh, top, edge, 5.5f, uv);
      break;
    case CymbalStyle::kPedal:  // a foot plate in front of it
      AddCymbalDisc(b.mesh, top, edge, 0.0f, uv);
      AddExtrusion(b.mesh, edge, {{-9.0f, -23.0f}, {9.0f, -23.0f}, {6.0f, -16.0f}, {-6.0f, -16.0f}}, 0.0f, 3.0f,
                   0.8f, uv);
      break;
    case CymbalStyle::kSizzle:  // a serrated edge
      AddCymbalDisc(b.mesh, top, edge, 0.0f, uv);
      for (int i = 0; i < 12; ++i) {
        const float a = 2.0f * kPi * static_cast<float>(i) / 12.0f;
        Mesh tooth;
        AddExtrusion(tooth, edge, {{20.0f, -1.6f}, {23.5f, 0.0f}, {20.0f, 1.6f}}, 1.8f, 2.6f, 0.0f, uv);
        b.mesh.Append(tooth, RotateY(a));
      }
      break;
  }
  return b.Finish();
}

// The dance arrows point left, down, up and right (+z is away from the player).
Model DanceArrow(const std::string& name, const glm::vec3& colour, float turn) {
  Builder b(name);
  const std::string texture = name + ".png";
  const uint32_t rim = b.Add(Lit(name + "_Rim", kWhite, texture));
  const uint32_t body = b.Add(Lit(name + "_Body", colour, texture));
  const std::vector<glm::vec2> arrow = {{0.0f, 20.0f}, {-19.0f, 1.0f}, {-8.0f, 1.0f}, {-8.0f, -19.0f},
                                        {8.0f, -19.0f}, {8.0f, 1.0f},   {19.0f, 1.0f}};
  std::vector<glm::vec2> outline;
  for (const glm::vec2& p : arrow) outline.push_back(p * 1.12f);
  Mesh shape;
  const UvMap uv = TopDownUv(46.0f);
  AddExtrusion(shape, rim, outline, 0.0f, 4.5f, 0.8f, uv);
  AddExtrusion(shape, body, arrow, 0.0f, 7.0f, 1.8f, uv);
  b.mesh.Append(shape, RotateY(turn));
  return b.Finish();
}

// A rectangular gem (keys, real guitar) on a white plate over a dark base; `mark`
// adds the shape that tells its variant apart.
enum class PlateMark { kNone, kChevron, kCross };

Model PlateGem(const std::string& name, const std::string& texture, const glm::vec3& colour, float half_x,
               float half_z, PlateMark mark, bool window) {
  Builder b(name);
  const uint32_t base = b.Add(Lit(name + "_Base", colour * 0.3f, texture));
  const uint32_t rim = b.Add(Lit(name + "_Rim", kWhite, texture));
  const uint32_t top = b.Add(Lit(name + "_Top", colour, texture));
  const uint32_t dark = b.Add(Lit(name + "_Window", kBoardDark, texture));
  const UvMap uv = TopDownUv(2.0f * half_x + 4.0f);
  AddExtrusion(b.mesh, base, RoundedRectOutline(half_x, half_z, 3.0f, 3), 0.0f, 2.0f, 0.0f, uv);
  AddExtrusion(b.mesh, rim, RoundedRectOutline(half_x, half_z, 3.0f, 3), 2.0f, 4.0f, 0.6f, uv);
  AddExtrusion(b.mesh, top, RoundedRectOutline(half_x - 2.0f, half_z - 2.0f, 2.5f, 3), 3.5f, 7.0f, 1.4f, uv);
  if (window) AddFlatPolygon(b.mesh, dark, RoundedRectOutline(half_x * 0.5f, half_z * 0.5f, 2.0f, 3), 7.05f, true, uv);
  if (mark == PlateMark::kChevron) {
    AddExtrusion(b.mesh, rim, {{0.0f, half_z - 1.0f}, {-9.0f, 0.0f}, {9.0f, 0.0f}}, 6.5f, 9.5f, 0.8f, uv);
  } else if (mark == PlateMark::kCross) {
    for (float turn : {kPi / 4.0f, -kPi / 4.0f}) {
      Mesh bar;
      AddBox(bar, rim, {-11.0f, 6.5f, -1.6f}, {11.0f, 9.0f, 1.6f});
      b.mesh.Append(bar, RotateY(turn));
    }
  }
  return b.Finish();
}

// The open-lane note: a bar following the board's curve across it.
Model OpenBar(const std::string& name, const std::string& texture, const glm::vec3& colour, float half_depth,
              float height, bool end_caps) {
  Builder b(name);
  const uint32_t body = b.Add(Lit(name + "_Body", colour, texture));
  const uint32_t rim = b.Add(Lit(name + "_Rim", kWhite, texture));
  const UvMap uv = SpanUv(-112.0f, 112.0f, -half_depth, half_depth);
  AddArcBar(b.mesh, rim, -112.0f, 112.0f, -half_depth, half_depth, 0.0f, height * 0.4f, 32, uv);
  AddArcBar(b.mesh, body, -110.0f, 110.0f, -half_depth + 1.0f, half_depth - 1.0f, height * 0.4f, height * 0.6f, 32,
            uv);
  if (end_caps) {
    for (float x : {-106.0f, 106.0f}) {
      Mesh cap;
      AddBevelledCylinder(cap, rim, half_depth + 1.5f, 0.0f, height + 1.5f, 1.0f, 20, TopDownUv(2.0f * half_depth));
      const glm::vec3 at = OnBoardArc(ArcAngleOfX(x), 0.0f, 0.0f);
      b.mesh.Append(cap, Move(at.x, at.y, at.z));
    }
  }
  return b.Finish();
}

Model ActivationGem() {
  Builder b("Note_Activate");
  const std::string texture = "Note_Activate_On.png";
  const uint32_t base = b.Add(Lit("Note_Activate_Base", kBoardGrey, texture));
  const uint32_t body = b.Add(Lit("Note_Activate_Star", kAccent, texture));
  const UvMap uv = TopDownUv(44.0f);
  AddLathe(b.mesh, base, {{0.0f, 0.0f}, {17.0f, 0.0f}, {17.0f, 2.5f}, {0.0f, 2.5f}}, 32, uv);
  AddExtrusion(b.mesh, body, StarOutline(8, 21.0f, 12.0f, kPi / 2.0f), 2.0f, 8.0f, 2.0f, uv);
  return b.Finish();
}

Model Mine() {
  Builder b("Note_Mine");
  const std::string texture = "Note_Mine.png";
  const uint32_t shell = b.Add(Lit("Note_Mine_Shell", kBoardGrey, texture));
  const uint32_t spike = b.Add(Lit("Note_Mine_Spike", kRed, texture, 1.0f, 0.6f));
  const UvMap uv = TopDownUv(40.0f);
  std::vector<ProfilePoint> sphere;
  for (int i = 0; i <= 10; ++i) {
    const float t = -kPi / 2.0f + kPi * static_cast<float>(i) / 10.0f;
    sphere.push_back({9.0f * std::cos(t), 11.0f + 9.0f * std::sin(t)});
  }
  AddLathe(b.mesh, shell, sphere, 24, uv);
  for (int i = 0; i < 8; ++i) {
    Mesh cone;
    AddLathe(cone, spike, {{0.0f, 0.0f}, {3.0f, 0.0f}, {0.0f, 9.0f}}, 10, uv);  // along +y
    const float a = 2.0f * kPi * static_cast<float>(i) / 8.0f;
    const glm::mat4 lay = glm::rotate(glm::mat4(1.0f), -kPi / 2.0f, glm::vec3(0, 0, 1));  // +y -> +x
    b.mesh.Append(cone, Move(0.0f, 11.0f, 0.0f) * RotateY(a) * lay * Move(0.0f, 6.5f, 0.0f));
  }
  Mesh crown;
  AddLathe(crown, spike, {{0.0f, 0.0f}, {3.0f, 0.0f}, {0.0f, 8.0f}}, 10, uv);
  b.mesh.Append(crown, Move(0.0f, 17.5f, 0.0f));
  return b.Finish();
}

Model ChordBar(int notes) {
  const std::string name = "Chord_" + std::to_string(notes);
  Builder b(name);
  const std::string texture = "Chord_Bar.png";
  const uint32_t bar = b.Add(Lit(name + "_Bar", kWhite, texture, 0.9f));
  const uint32_t end = b.Add(Lit(name + "_End", kBoardGrey, texture));
  const float half = 24.0f * static_cast<float>(notes - 1) + 6.0f;
  AddExtrusion(b.mesh, bar, RoundedRectOutline(half, 4.0f, 2.0f, 2), 0.0f, 2.5f, 0.6f, SpanUv(-half, half, -4, 4));
  for (float x : {-half + 3.0f, half - 3.0f}) {
    Mesh cap;
    AddBevelledCylinder(cap, end, 4.5f, 0.0f, 3.5f, 0.8f, 16, TopDownUv(9.0f));
    b.mesh.Append(cap, Move(x, 0.0f, 0.0f));
  }
  return b.Finish();
}

Model MissTrail(const std::string& name, const std::string& texture, float half_x) {
  Builder b(name);
  const uint32_t streak = b.Add(Glow(name + "_Streak", glm::vec3(0.55f, 0.57f, 0.62f), texture, 0.6f));
  AddArcStrip(b.mesh, streak, -half_x, half_x, 0.0f, 90.0f, 0.4f, half_x > 50.0f ? 24 : 2, 6,
              SpanUv(-half_x, half_x, 0.0f, 90.0f));
  return b.Finish();
}

Model NumberPlate() {
  Builder b("Fret_Number");
  const uint32_t plate = b.Add(Lit("Fret_Number_Plate", kWhite, "../other/0.png", 1.0f, 0.6f));
  AddUprightPlane(b.mesh, plate, 28.0f, 0.0f, 28.0f, 0.0f);
  return b.Finish();
}

// ---- frets ------------------------------------------------------------------------

Model FretRing(const std::string& name, const std::string& texture) {
  Builder b(name);
  const uint32_t base = b.Add(Lit(name + "_Base", kBoardDark, texture));
  const uint32_t ring = b.Add(Lit(name + "_Ring", kGreen, texture));
  const uint32_t rim = b.Add(Lit(name + "_Rim", kWhite, texture));
  const UvMap uv = TopDownUv(44.0f);
  AddLathe(b.mesh, base, {{0.0f, 0.0f}, {21.0f, 0.0f}, {21.0f, 2.0f}, {0.0f, 2.0f}}, 36, uv);
  AddLathe(b.mesh, ring,
           {{13.0f, 2.0f}, {21.0f, 2.0f}, {21.0f, 4.5f}, {19.5f, 6.0f}, {14.5f, 6.0f}, {13.0f, 4.5f}, {13.0f, 2.0f}},
           36, uv);
  AddRing(b.mesh, rim, 21.0f, 22.0f, 0.0f, 4.0f, 36, uv);
  return b.Finish();
}

Model FretButton(const std::string& name, const std::string& texture) {
  Builder b(name);
  const uint32_t cap = b.Add(Lit(name + "_Cap", kGreen, texture, 1.0f, 0.6f));
  const uint32_t dot = b.Add(Lit(name + "_Dot", kWhite, texture, 1.0f, 0.6f));
  const UvMap uv = TopDownUv(44.0f);
  AddBevelledCylinder(b.mesh, cap, 12.5f, 2.0f, 7.5f, 1.5f, 32, uv);
  AddBevelledCylinder(b.mesh, dot, 4.0f, 7.0f, 8.5f, 0.6f, 16, uv);
  return b.Finish();
}

// The dance frets are diamonds: an outline, or filled when held.
Model DanceFret(const std::string& name, const std::string& texture, bool filled) {
  Builder b(name);
  const uint32_t base = b.Add(Lit(name + "_Base", kBoardDark, texture));
  const uint32_t frame = b.Add(Lit(name + "_Frame", kGreen, texture, 1.0f, filled ? 0.6f : 0.35f));
  const UvMap uv = TopDownUv(46.0f);
  const std::vector<glm::vec2> outer = StarOutline(4, 22.0f, 0.0f, 0.0f);
  const std::vector<glm::vec2> inner = StarOutline(4, 14.0f, 0.0f, 0.0f);
  AddExtrusion(b.mesh, base, outer, 0.0f, 2.0f, 0.0f, uv);
  if (filled) {
    AddExtrusion(b.mesh, frame, StarOutline(4, 20.0f, 0.0f, 0.0f), 2.0f, 8.0f, 1.5f, uv);
  } else {
    for (int i = 0; i < 4; ++i) {
      const int j = (i + 1) % 4;
      AddExtrusion(b.mesh, frame, {outer[i], outer[j], inner[j], inner[i]}, 2.0f, 6.0f, 0.0f, uv);
    }
  }
  return b.Finish();
}

// Keys pivot about their back edge at z = 15 and reach 60 units towards the player.
constexpr float kKeyBack = 15.0f;
constexpr float kKeyFront = -45.0f;
constexpr float kKeyStep = -15.0f;  // where the front part of a real-keys white key begins

Model Key(const std::string& name, const std::string& texture, const glm::vec3& colour, float front_x0, float front_x1,
          float back_half, float front_z, float height, float front = kKeyFront) {
  Builder b(name);
  const uint32_t top = b.Add(Lit(name + "_Key", colour, texture));
  const UvMap uv = [](const glm::vec3& p) {
    return glm::vec2(p.x / 48.0f + 0.5f, (kKeyBack - p.z) / (kKeyBack - kKeyFront));
  };
  std::vector<glm::vec2> outline;
  if (front_z <= front + 0.01f) {  // a plain rectangle
    outline = {{-back_half, front}, {back_half, front}, {back_half, kKeyBack}, {-back_half, kKeyBack}};
  } else {
    // Wide front, narrow back; corners that coincide are left out.
    outline.push_back({front_x0, front});
    outline.push_back({front_x1, front});
    outline.push_back({front_x1, front_z});
    if (front_x1 > back_half + 0.01f) outline.push_back({back_half, front_z});
    outline.push_back({back_half, kKeyBack});
    outline.push_back({-back_half, kKeyBack});
    if (front_x0 < -back_half - 0.01f) outline.push_back({-back_half, front_z});
    outline.push_back({front_x0, front_z});
  }
  AddExtrusion(b.mesh, top, outline, 0.0f, height, 1.2f, uv);
  return b.Finish();
}

Model KickBar(const std::string& name, const std::string& texture, bool held) {
  Builder b(name);
  const uint32_t body = b.Add(Lit(name + "_Bar", kOrange, texture, 1.0f, held ? 0.7f : 0.35f));
  const uint32_t rim = b.Add(Lit(name + "_Rim", kWhite, texture));
  const float half_x = held ? 116.0f : 114.0f;
  const float half_z = held ? 6.0f : 5.0f;
  const UvMap uv = SpanUv(-half_x, half_x, -half_z, half_z);
  AddArcBar(b.mesh, rim, -half_x, half_x, -half_z, half_z, 0.0f, 1.5f, 32, uv);
  AddArcBar(b.mesh, body, -half_x + 1.5f, half_x - 1.5f, -half_z + 1.0f, half_z - 1.0f, 1.5f, held ? 4.5f : 3.0f, 32,
            uv);
  return b.Finish();
}

Model HitGlow() {
  Builder b("Fret_Hit_Glow");
  const uint32_t glow = b.Add(Glow("Fret_Hit_Glow_Light", kWhite, "Fret_Green_Glow.png", 1.0f));
  AddLathe(b.mesh, glow, {{2.4f, 0.8f}, {0.0f, 0.8f}}, 24, TopDownUv(4.8f));
  return b.Finish();
}

// Flat light streaks along the lane, from the fret towards the far end.
Model Streak(const std::string& name, const std::string& texture, float half_x, float length, float lift,
             float alpha) {
  Builder b(name);
  const uint32_t light = b.Add(Glow(name + "_Light", kWhite, texture, alpha));
  AddArcStrip(b.mesh, light, -half_x, half_x, 0.0f, length, lift, 2, 8, SpanUv(-half_x, half_x, 0.0f, length));
  return b.Finish();
}

Model Beam() {
  Builder b("Fret_Beam");
  const std::string texture = "Fret_Beam_White.png";
  const uint32_t light = b.Add(Glow("Fret_Beam_Light", kWhite, texture, 0.7f));
  AddArcStrip(b.mesh, light, -20.0f, 20.0f, kKeyBack, 420.0f, 0.5f, 2, 12, SpanUv(-20.0f, 20.0f, kKeyBack, 420.0f));
  return b.Finish();
}

// Sparks spin about z, so they stand upright facing the player, centred on the fret.
Model Spark(const std::string& name, const std::string& texture, bool burst) {
  Builder b(name);
  const uint32_t light = b.Add(Glow(name + "_Light", kWhite, texture, 1.0f));
  Mesh flat;
  const UvMap uv = TopDownUv(56.0f);
  if (burst) {
    for (int i = 0; i < 8; ++i) {
      const float a = 2.0f * kPi * static_cast<float>(i) / 8.0f;
      std::vector<glm::vec2> diamond;
      for (const glm::vec2& p : StarOutline(4, 5.0f, 0.0f, a)) {
        diamond.push_back(p + glm::vec2(20.0f * std::cos(a), 20.0f * std::sin(a)));
      }
      AddFlatPolygon(flat, light, diamond, 0.0f, true, uv);
    }
  } else {
    AddFlatPolygon(flat, light, StarOutline(10, 27.0f, 9.0f, 0.0f), 0.0f, true, uv);
  }
  b.mesh.Append(flat, StandUp());
  return b.Finish();
}

Model FretSides() {
  Builder b("Fret_Sides");
  const uint32_t block = b.Add(Lit("Fret_Sides_Block", kBoardGrey, "../board/Board_Sides.png"));
  const uint32_t light = b.Add(Lit("Fret_Sides_Light", kAccent, "../board/Board_Sides.png", 1.0f, 0.6f));
  for (float side : {-1.0f, 1.0f}) {
    const float x0 = side < 0 ? -130.0f : 119.0f;
    AddBox(b.mesh, block, {x0, -10.0f, -12.0f}, {x0 + 11.0f, 5.0f, 12.0f});
    AddBox(b.mesh, light, {x0 + 2.0f, 5.0f, -3.0f}, {x0 + 9.0f, 6.5f, 3.0f});
  }
  return b.Finish();
}

Model StrikeBand(const std::string& name, const std::string& texture, float half_x, float z0, float z1) {
  Builder b(name);
  const uint32_t band = b.Add(Lit(name + "_Band", kBoardGrey, texture, 0.85f));
  const uint32_t line = b.Add(Lit(name + "_Line", kWhite, texture, 1.0f, 0.5f));
  const UvMap uv = SpanUv(-half_x, half_x, z0, z1);
  AddArcBar(b.mesh, band, -half_x, half_x, z0, z1, 0.1f, 0.8f, 32, uv);
  AddArcBar(b.mesh, line, -half_x, half_x, -1.0f, 1.0f, 0.9f, 0.6f, 32, uv);
  return b.Finish();
}

Model KillBox() {
  Builder b("Fret_Kill_Box");
  // Drawn for depth only: fully transparent, covering the board in front of the keys.
  const uint32_t hidden = b.Add(Lit("Fret_Kill_Box_Occluder", kBoardDark, "Fret_Kill_Box.png", 0.0f, 0.0f));
  AddBox(b.mesh, hidden, {-130.0f, -12.0f, -170.0f}, {130.0f, 40.0f, kKeyFront - 2.0f});
  return b.Finish();
}

// ---- board --------------------------------------------------------------------------

Model Board() {
  Builder b("Board");
  const uint32_t neck = b.Add(Lit("Board_Neck", kBoardGrey, "Neck_Practice.png"));
  AddArcStrip(b.mesh, neck, -kBoardHalf, kBoardHalf, kBoardNear, kBoardFar, 0.0f, 24, 24, NeckUv);
  return b.Finish(true, BoardMaskUv);
}

Model Rails(const std::string& name, const std::string& texture, float inner, float outer, float height) {
  Builder b(name);
  const uint32_t rail = b.Add(Lit(name + "_Rail", kBoardGrey, texture));
  for (float side : {-1.0f, 1.0f}) {
    const float x0 = side < 0 ? -outer : inner;
    const float x1 = side < 0 ? -inner : outer;
    const UvMap uv = [=](const glm::vec3& p) { return glm::vec2((p.x - x0) / (x1 - x0), -p.z / kNeckRepeat); };
    AddArcBar(b.mesh, rail, x0, x1, kBoardNear, kBoardFar, -1.0f, height + 1.0f, 2, uv);
  }
  return b.Finish(true, BoardMaskUv);
}

Model LaneLine() {
  Builder b("Lane");
  const uint32_t line = b.Add(Lit("Lane_Line", kWhite, "Lane_Normal.png", 1.0f, 0.5f));
  const UvMap uv = [](const glm::vec3& p) { return glm::vec2((p.x + 1.5f) / 3.0f, -p.z / kNeckRepeat); };
  AddArcStrip(b.mesh, line, -1.5f, 1.5f, kBoardNear, kBoardFar, 0.3f, 1, 12, uv);
  // The line moves across the board with its lane, so its mask lookup stays central.
  return b.Finish(true, [](const glm::vec3& p) { return glm::vec2(0.5f, BoardMaskUv(p).y); });
}

Model LaneSides() {
  Builder b("Lane_Sides");
  const uint32_t glow = b.Add(Glow("Lane_Sides_Glow", kWhite, "Lane_VL.png", 1.0f));
  for (float side : {-1.0f, 1.0f}) {
    const float x0 = side < 0 ? -121.0f : 111.0f;
    const float x1 = x0 + 10.0f;
    const UvMap uv = [=](const glm::vec3& p) { return glm::vec2((p.x - x0) / (x1 - x0), -p.z / kNeckRepeat); };
    AddArcStrip(b.mesh, glow, x0, x1, kBoardNear, kBoardFar, 0.35f, 2, 12, uv);
  }
  return b.Finish(true, BoardMaskUv);
}

Model BeatLine() {
  Builder b("Beat_Line");
  const uint32_t line = b.Add(Glow("Beat_Line_Light", kWhite, "Beat_Line.png", 1.0f));
  AddArcBar(b.mesh, line, -118.0f, 118.0f, -2.0f, 2.0f, 0.2f, 0.4f, 32, SpanUv(-118.0f, 118.0f, -2.0f, 2.0f));
  return b.Finish();
}

Model IconPlane() {
  Builder b("Plane_Large");
  const uint32_t plane = b.Add(Lit("Plane_Large_Face", kWhite, "../2d/icon_net.png", 1.0f, 0.8f));
  AddUprightPlane(b.mesh, plane, 64.0f, -32.0f, 32.0f, 0.0f);
  return b.Finish();
}

// ---- meters -------------------------------------------------------------------------
// Beside the board, above the strike line: to the right the multiplier badge, the
// chunk bar above it and the rock meter standing up the board; to the left the energy
// bar in its housing with its two halves. The two-hand keyboard's set sits further out,
// around both of its boards. The meters are authored where they are seen, for a
// neutral placement.
//
// The rock meter and the energy bar show their level through the mask stage. The mask
// picture's left half is clear in its top half and solid in its bottom half; its right
// half is solid throughout. A fill maps its length onto the left half's lower half (v
// 0.5 at the far end, 1 at the near end), so the game, moving the mask by up to half
// its height, uncovers the fill from the near end up; housings and bezels map to the
// right half and always show.

constexpr float kMaskFillU = 0.25f;
constexpr float kMaskSolidU = 0.75f;
// A texel of room at both ends of the fill's span keeps the filtering off the edges.
constexpr float kMaskEdge = 0.004f;

// The second set of a fill running from z0 (near end) to z1 (far end).
UvMap FillMaskUv(float z0, float z1) {
  return [=](const glm::vec3& p) {
    const float t = std::clamp((z1 - p.z) / (z1 - z0), 0.0f, 1.0f);
    return glm::vec2(kMaskFillU, 0.5f + kMaskEdge + t * (0.5f - 2.0f * kMaskEdge));
  };
}
glm::vec2 SolidMaskUv(const glm::vec3&) { return {kMaskSolidU, 0.75f}; }

// A rounded slab from (x0, z0) to (x1, z1), y0 to y1, its picture mapped by `uv` (by
// default spread once over it).
Mesh Slab(uint32_t material, float x0, float x1, float z0, float z1, float y0, float y1, float corner,
          UvMap uv = {}) {
  if (!uv) uv = SpanUv(x0, x1, z0, z1);
  const float hx = 0.5f * (x1 - x0), hz = 0.5f * (z1 - z0);
  const UvMap local = [=](const glm::vec3& p) { return uv(p + glm::vec3(x0 + hx, 0.0f, z0 + hz)); };
  Mesh shape;
  AddExtrusion(shape, material, RoundedRectOutline(hx, hz, corner, 2), y0, y1, std::min(0.6f, 0.5f * (y1 - y0)),
               local);
  Mesh placed;
  placed.Append(shape, Move(x0 + hx, 0.0f, z0 + hz));
  return placed;
}

void AppendWithMask(Mesh& into, Mesh piece, const UvMap& mask) {
  piece.MapSecondUv(mask);
  into.Append(piece);
}

// A flat strip with a bezel (the chunk bar and the accuracy mark); no mask.
Model Strip(const std::string& name, const std::string& texture, const glm::vec3& colour, float x0, float x1,
            float z0, float z1, float height) {
  Builder b(name);
  const uint32_t bezel = b.Add(Lit(name + "_Bezel", kBoardDark, texture));
  const uint32_t face = b.Add(Lit(name + "_Face", colour, texture));
  b.mesh.Append(Slab(bezel, x0, x1, z0, z1, 0.0f, 0.6f * height, 2.0f));
  b.mesh.Append(Slab(face, x0 + 1.0f, x1 - 1.0f, z0 + 1.0f, z1 - 1.0f, 0.0f, height, 1.5f));
  return b.Finish();
}

// A picture laid along a bar that runs up the board: u from the near end z0 to the far
// end z1, v across it.
UvMap AlongUv(float x0, float x1, float z0, float z1) {
  return [=](const glm::vec3& p) { return glm::vec2((p.z - z0) / (z1 - z0), (p.x - x0) / (x1 - x0)); };
}

// The rock meter: a dark housing with the fill standing in it. Its picture holds both:
// the housing's look in the left half, the fill's in the right.
Model RockMeter(const std::string& name, const std::string& texture, float x0, float x1, float z0, float z1) {
  Builder b(name);
  const uint32_t frame = b.Add(Lit(name + "_Housing", kBoardDark, texture, 1.0f, 0.2f));
  const uint32_t fill = b.Add(Lit(name + "_Fill", kWhite, texture, 1.0f, 0.15f));
  const UvMap left = [=](const glm::vec3& p) {
    return glm::vec2(0.5f * (p.x - x0) / (x1 - x0), (z1 - p.z) / (z1 - z0));
  };
  AppendWithMask(b.mesh, Slab(frame, x0, x1, z0, z1, 0.0f, 2.0f, 3.0f, left), SolidMaskUv);
  const float fx0 = x0 + 3.0f, fx1 = x1 - 3.0f, fz0 = z0 + 3.0f, fz1 = z1 - 3.0f;
  const UvMap right = [=](const glm::vec3& p) {
    return glm::vec2(0.5f + 0.5f * (p.x - fx0) / (fx1 - fx0), (fz1 - p.z) / (fz1 - fz0));
  };
  AppendWithMask(b.mesh, Slab(fill, fx0, fx1, fz0, fz1, 1.0f, 3.0f, 1.5f, right), FillMaskUv(fz0, fz1));
  b.model.second_uv = true;
  return b.Finish();
}

// One half of the energy bar: the fill of z0..z1, with the bar's picture laid along
// the whole bar from bar_z0 to bar_z1.
Model EnergyHalf(const std::string& name, float x0, float x1, float z0, float z1, float bar_z0, float bar_z1) {
  Builder b(name);
  const uint32_t fill = b.Add(Lit(name + "_Fill", kWhite, "Meter_Energy_Bar.png", 1.0f, 0.6f));
  AppendWithMask(b.mesh, Slab(fill, x0, x1, z0, z1, 2.2f, 3.4f, 1.5f, AlongUv(x0, x1, bar_z0, bar_z1)),
                 FillMaskUv(z0, z1));
  b.model.second_uv = true;
  return b.Finish();
}

// The energy bar's housing takes the housing half of the rock meter's picture.
Model EnergyHousing(const std::string& name, float x0, float x1, float z0, float z1) {
  Builder b(name);
  const uint32_t frame = b.Add(Lit(name + "_Housing", kBoardDark, "Meter_Main.png", 1.0f, 0.2f));
  const UvMap left = [=](const glm::vec3& p) {
    return glm::vec2(0.5f * (p.x - x0) / (x1 - x0), (z1 - p.z) / (z1 - z0));
  };
  AppendWithMask(b.mesh, Slab(frame, x0, x1, z0, z1, 0.0f, 2.0f, 3.0f, left), SolidMaskUv);
  b.model.second_uv = true;
  return b.Finish();
}

Model MultiplierBadge(const std::string& name, float x, float z) {
  Builder b(name);
  const std::string texture = "Meter_Multiplier_1.png";
  const uint32_t face = b.Add(Lit(name + "_Face", kWhite, texture, 1.0f, 0.6f));
  const uint32_t rim = b.Add(Lit(name + "_Rim", kWhite, texture));
  Mesh badge;
  // The badge's picture fills the face; the rim takes the picture's own ring.
  const UvMap uv = TopDownUv(32.0f);
  AddBevelledCylinder(badge, face, 15.0f, 0.0f, 3.5f, 1.0f, 32, uv);
  AddRing(badge, rim, 14.0f, 16.0f, 0.0f, 3.8f, 32, uv);
  b.mesh.Append(badge, Move(x, 0.0f, z));
  return b.Finish();
}

Model KeysRange(const std::string& name, const std::string& texture, bool active) {
  Builder b(name);
  const uint32_t strip = b.Add(active ? Glow(name + "_Window", kAccent, texture, 0.8f)
                                      : Lit(name + "_Keys", kWhite, texture));
  if (active) {
    AddBox(b.mesh, strip, {-231.0f, 1.5f, -76.0f}, {231.0f, 2.0f, -62.0f});
  } else {
    AddBox(b.mesh, strip, {-231.0f, 0.0f, -75.0f}, {231.0f, 1.5f, -63.0f});
  }
  return b.Finish();
}

Model Meter(const std::string& name) {
  const bool real_keys = name.find("_Real_Keys") != std::string::npos;
  const float out = real_keys ? 110.0f : 0.0f;  // the keyboard's two boards span about 500 units
  const std::string base = real_keys ? name.substr(0, name.size() - std::string("_Real_Keys").size()) : name;
  // Right column: the badge, the chunk bar above it, the rock meter up the board. The
  // board's view is narrow at the strike line and widens further up, so the columns
  // start a little above the frets and keep close to the rails.
  const float rx0 = 134.0f + out, rx1 = 174.0f + out;
  if (base == "Meter_Multiplier_Bar") return MultiplierBadge(name, 0.5f * (rx0 + rx1), 72.0f);
  if (base == "Meter_Chunk_Bar") return Strip(name, "Meter_Chunk_Bar_0.png", kWhite, rx0, rx1, 94.0f, 104.0f, 2.5f);
  if (base == "Meter_Main") {
    return RockMeter(name, real_keys ? "Meter_Main_Real_Keys.png" : "Meter_Main.png", rx0 + 6.0f, rx1 - 6.0f, 114.0f,
                     320.0f);
  }
  // Left column: the energy bar's housing and its two halves, the near half first.
  const float lx0 = -168.0f - out, lx1 = -140.0f - out;
  const float e0 = 72.0f, e1 = 318.0f, emid = 0.5f * (e0 + e1);
  if (base == "Meter_Energy_Bar") return EnergyHousing(name, lx0, lx1, e0 - 3.0f, e1 + 3.0f);
  if (base == "Meter_VL_Bar_1") return EnergyHalf(name, lx0 + 3.0f, lx1 - 3.0f, e0, emid, e0, e1);
  if (base == "Meter_VL_Bar_2") return EnergyHalf(name, lx0 + 3.0f, lx1 - 3.0f, emid, e1, e0, e1);
  if (base == "Meter_Accuracy") {
    // One lane's mark, placed by the game at its lane, just in front of the strike line.
    return Strip(name, "Accuracy_Perfect.png", kWhite, -23.0f, 23.0f, -38.0f, -21.0f, 1.5f);
  }
  if (base == "Meter_Keys_Layout") return KeysRange(name, "Meter_Keys_Layout.png", false);
  if (base == "Meter_Keys_Layout_Active") return KeysRange(name, "Meter_Keys_Layout_Right.png", true);
  return Model{};
}

// Real-keys white keys: where each key's wide front reaches, from the lane centre,
// given that a white key's front shares the width of the black keys beside it.
struct WhiteKey {
  const char* letter;
  float front_x0;
  float front_x1;
};
constexpr WhiteKey kWhiteKeys[] = {{"C", -24.0f, 56.0f}, {"D", -40.0f, 40.0f}, {"E", -56.0f, 24.0f},
                                   {"F", -24.0f, 60.0f}, {"G", -36.0f, 48.0f}, {"A", -48.0f, 36.0f},
                                   {"B", -60.0f, 24.0f}};

using Factory = std::function<Model()>;

std::map<std::string, Factory> Factories() {
  std::map<std::string, Factory> f;
  f["Note_Guitar"] = [] { return Gem("Note_Guitar", "Note_Guitar_Green.png", kGreen, GemStyle::kStrum); };
  f["Note_Guitar_Hopo"] = [] { return Gem("Note_Guitar_Hopo", "Note_Guitar_Green.png", kGreen, GemStyle::kHammerOn); };
  f["Note_Slider"] = [] { return Gem("Note_Slider", "Note_Green_Slider.png", kGreen, GemStyle::kTap); };
  f["Note_Guitar_Bass"] = [] { return OpenBar("Note_Guitar_Bass", "Note_Guitar_Bass.png", kPurple, 6.0f, 6.0f, false); };
  f["Note_Drum_Bass"] = [] { return OpenBar("Note_Drum_Bass", "Note_Drum_Bass.png", kOrange, 5.0f, 4.0f, true); };
  f["Note_Drum"] = [] { return DrumPad("Note_Drum", "Note_Drum_Red.png", kRed, false); };
  f["Note_Drum_Rimshot"] = [] { return DrumPad("Note_Drum_Rimshot", "Note_Rimshot_Red.png", kRed, true); };
  f["Note_Dance_Green"] = [] { return DanceArrow("Note_Dance_Green", kGreen, -kPi / 2.0f); };
  f["Note_Dance_Red"] = [] { return DanceArrow("Note_Dance_Red", kRed, kPi); };
  f["Note_Dance_Yellow"] = [] { return DanceArrow("Note_Dance_Yellow", kYellow, 0.0f); };
  f["Note_Dance_Blue"] = [] { return DanceArrow("Note_Dance_Blue", kBlue, kPi / 2.0f); };
  f["Note_Activate"] = ActivationGem;
  f["Note_Mine"] = Mine;
  f["Fret_Number"] = NumberPlate;
  f["Note_Keys"] = [] {
    return PlateGem("Note_Keys", "Note_Keys_Green.png", kGreen, 20.0f, 9.0f, PlateMark::kNone, false);
  };
  f["Note_Guitar_Real"] = [] {
    return PlateGem("Note_Guitar_Real", "Note_Guitar_Real_Green.png", kGreen, 19.0f, 12.0f, PlateMark::kNone, true);
  };
  f["Note_HOPO_Guitar_Real"] = [] {
    return PlateGem("Note_HOPO_Guitar_Real", "Note_Guitar_Real_Green.png", kGreen, 19.0f, 12.0f, PlateMark::kChevron,
                    false);
  };
  f["Note_Muted_Guitar_Real"] = [] {
    return PlateGem("Note_Muted_Guitar_Real", "Note_Guitar_Real_Green.png", kBoardGrey, 19.0f, 12.0f,
                    PlateMark::kCross, false);
  };
  f["Note_Miss_Trail"] = [] { return MissTrail("Note_Miss_Trail", "Note_Guitar_Miss.png", 14.0f); };
  f["Note_Bass_Miss_Trail"] = [] { return MissTrail("Note_Bass_Miss_Trail", "Note_Guitar_Bass_Miss.png", 110.0f); };
  for (int n = 2; n <= 6; ++n) f["Chord_" + std::to_string(n)] = [n] { return ChordBar(n); };
  f["Note_Cymbal_Closed"] = [] { return Cymbal("Note_Cymbal_Closed", "Note_Cymbal_Yellow.png", kYellow, CymbalStyle::kClosed); };
  f["Note_Cymbal_Open"] = [] { return Cymbal("Note_Cymbal_Open", "Note_Cymbal_Yellow_Open.png", kYellow, CymbalStyle::kOpen); };
  f["Note_Cymbal_Pedal"] = [] { return Cymbal("Note_Cymbal_Pedal", "Note_Cymbal_Yellow_Pedal.png", kYellow, CymbalStyle::kPedal); };
  f["Note_Cymbal_Sizzle"] = [] {
    return Cymbal("Note_Cymbal_Sizzle", "Note_Cymbal_Yellow_Sizzle.png", kYellow, CymbalStyle::kSizzle);
  };

  f["Fret"] = [] { return FretRing("Fret", "Fret_Green.png"); };
  f["Fret_Hold"] = [] { return FretButton("Fret_Hold", "Fret_Green_Hold.png"); };
  f["Fret_Dance"] = [] { return DanceFret("Fret_Dance", "Fret_Dance_Green.png", false); };
  f["Fret_Dance_Hold"] = [] { return DanceFret("Fret_Dance_Hold", "Fret_Dance_Green_Hold.png", true); };
  f["Fret_Bass"] = [] { return KickBar("Fret_Bass", "Fret_Bass.png", false); };
  f["Fret_Bass_Hold"] = [] { return KickBar("Fret_Bass_Hold", "Fret_Bass_Hold.png", true); };
  f["Fret_Keys_White"] = [] {
    return Key("Fret_Keys_White", "Fret_Keys_White.png", kWhite, 0, 0, 22.0f, kKeyFront, 9.0f);
  };
  f["Fret_Keys_Black"] = [] {
    // Black keys are short and tall: their front edge stops at z = -15.
    return Key("Fret_Keys_Black", "Fret_Keys_Black.png", kBoardDark, 0, 0, 14.0f, kKeyStep, 15.0f, kKeyStep);
  };
  for (const WhiteKey& k : kWhiteKeys) {
    const std::string name = std::string("Fret_Keys_") + k.letter;
    f[name] = [name, k] {
      return Key(name, "Fret_Keys_White.png", kWhite, k.front_x0 + 0.75f, k.front_x1 - 0.75f, 22.5f, kKeyStep, 9.0f);
    };
  }
  f["Fret_Hit_Glow"] = HitGlow;
  f["Fret_Sides"] = FretSides;
  f["Fret_Bottom"] = [] { return StrikeBand("Fret_Bottom", "", 118.0f, -14.0f, 14.0f); };
  f["Fret_Bottom_Keys"] = [] { return StrikeBand("Fret_Bottom_Keys", "Fret_Bottom_Keys.png", 118.0f, -50.0f, 18.0f); };
  f["Fret_Bottom_Keys_Real"] = [] {
    return StrikeBand("Fret_Bottom_Keys_Real", "Fret_Bottom_Keys_Real.png", 121.0f, -50.0f, 18.0f);
  };
  f["Fret_Kill_Box"] = KillBox;
  f["Fret_Ray_A"] = [] { return Streak("Fret_Ray_A", "Fret_Ray_Green_A.png", 20.0f, 140.0f, 0.6f, 0.8f); };
  f["Fret_Ray_B"] = [] { return Streak("Fret_Ray_B", "Fret_Ray_Green_B.png", 11.0f, 220.0f, 0.7f, 0.9f); };
  f["Fret_Beam"] = Beam;
  f["Fret_Spark_A"] = [] { return Spark("Fret_Spark_A", "Fret_Green_Spark_A.png", false); };
  f["Fret_Spark_B"] = [] { return Spark("Fret_Spark_B", "Fret_Green_Spark_B.png", true); };

  f["Board"] = Board;
  f["Board_Sides"] = [] { return Rails("Board_Sides", "Board_Sides.png", 118.0f, 126.0f, 5.0f); };
  f["Board_Sides_Real_Keys"] = [] {
    return Rails("Board_Sides_Real_Keys", "Board_Sides_Real_Keys.png", 119.0f, 125.0f, 7.0f);
  };
  f["Lane"] = LaneLine;
  f["Lane_Sides"] = LaneSides;
  f["Beat_Line"] = BeatLine;
  f["Plane_Large"] = IconPlane;
  return f;
}

}  // namespace

bool BuildGameplayModel(const std::string& name, Model& out) {
  static const std::map<std::string, Factory> factories = Factories();
  const auto it = factories.find(name);
  if (it != factories.end()) {
    out = it->second();
    return true;
  }
  if (name.rfind("Meter_", 0) == 0) {
    out = Meter(name);
    return !out.root.mesh.empty();
  }
  return false;
}

}  // namespace models
