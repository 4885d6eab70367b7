// The 3D stage: a venue room around a raised stage, three layout files of placing
// frames named "DO-<model>-<key>-<flags>" (and "IO-<key>-<newkey>" copies) for the
// detail levels, the objects they call for, and a cat that sits at the side of the
// stage. The light rigs and the drum kit are animated: each has the sets "activate",
// "active", "deactivate" and "unactive" that the stage switches between while a
// player's energy runs. The stage cameras look on from -z towards the stage; world
// units match the camera shots (the floor at y = -200, the stage top at y = -100).
#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <map>

#include "content/models/gameplay_models.h"

namespace models {

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kFloor = -200.0f;
constexpr float kStageTop = -100.0f;
constexpr uint32_t kTicks = 4800;  // animation ticks per second

std::map<std::string, glm::vec3>& Swatches() {
  static std::map<std::string, glm::vec3> swatches;
  return swatches;
}

// A surface of the stage. A model drawn through a mesh hierarchy takes its diffuse
// colour from the hierarchy (white unless an owner tints it), so the surface's own
// colour comes from its picture: a swatch of that colour, written beside the models.
// The emissive level is white, so the picture gives the glow its colour too.
Material Paint(const std::string& name, const glm::vec3& colour, float glow = 0.35f) {
  Material m;
  m.name = name;
  m.diffuse = glm::vec4(colour, 1.0f);
  m.power = 16.0f;
  m.specular = glm::vec3(0.2f);
  m.emissive = glm::vec3(glow);
  std::string file = "stage_";
  for (char c : name) file += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  m.texture = file + ".png";
  Swatches()[m.texture] = colour;
  return m;
}

uint32_t AddMaterial(Model& model, const Material& m) {
  model.materials.push_back(m);
  return static_cast<uint32_t>(model.materials.size() - 1);
}

const UvMap kNoUv = [](const glm::vec3& p) { return glm::vec2(p.x * 0.01f, p.z * 0.01f); };

glm::mat4 Move(float x, float y, float z) { return glm::translate(glm::mat4(1.0f), glm::vec3(x, y, z)); }
glm::mat4 Turn(float angle, const glm::vec3& axis) { return glm::rotate(glm::mat4(1.0f), angle, axis); }

// A wall of the room seen from inside: the quad faces `inward`.
void InnerWall(Mesh& mesh, uint32_t material, const glm::vec3& a, const glm::vec3& b, const glm::vec3& c,
               const glm::vec3& d, const glm::vec3& inward) {
  const std::array<glm::vec2, 4> uv = {glm::vec2(0, 1), glm::vec2(1, 1), glm::vec2(1, 0), glm::vec2(0, 0)};
  if (glm::dot(glm::cross(b - a, c - a), inward) >= 0.0f) {
    AddQuad(mesh, material, a, b, c, d, uv);
  } else {
    AddQuad(mesh, material, a, d, c, b, uv);
  }
}

Model Venue() {
  Model m;
  m.root.name = "Venue";
  const uint32_t floor = AddMaterial(m, Paint("Venue_Floor", glm::vec3(0.10f, 0.10f, 0.12f)));
  const uint32_t wall = AddMaterial(m, Paint("Venue_Wall", glm::vec3(0.13f, 0.12f, 0.17f)));
  const uint32_t stage = AddMaterial(m, Paint("Venue_Stage", glm::vec3(0.20f, 0.17f, 0.14f)));
  const uint32_t trim = AddMaterial(m, Paint("Venue_Trim", glm::vec3(1.0f, 0.70f, 0.25f), 0.6f));
  const uint32_t panel = AddMaterial(m, Paint("Venue_Panel", glm::vec3(0.04f, 0.52f, 1.0f), 0.6f));
  const uint32_t truss = AddMaterial(m, Paint("Venue_Truss", glm::vec3(0.55f, 0.56f, 0.60f)));
  Mesh& mesh = m.root.mesh;
  const float X = 1500.0f, Z0 = -1300.0f, Z1 = 1400.0f, Y1 = 900.0f;
  InnerWall(mesh, floor, {-X, kFloor, Z0}, {X, kFloor, Z0}, {X, kFloor, Z1}, {-X, kFloor, Z1}, {0, 1, 0});
  InnerWall(mesh, wall, {-X, Y1, Z0}, {X, Y1, Z0}, {X, Y1, Z1}, {-X, Y1, Z1}, {0, -1, 0});
  InnerWall(mesh, wall, {-X, kFloor, Z1}, {X, kFloor, Z1}, {X, Y1, Z1}, {-X, Y1, Z1}, {0, 0, -1});
  InnerWall(mesh, wall, {-X, kFloor, Z0}, {X, kFloor, Z0}, {X, Y1, Z0}, {-X, Y1, Z0}, {0, 0, 1});
  InnerWall(mesh, wall, {-X, kFloor, Z0}, {-X, kFloor, Z1}, {-X, Y1, Z1}, {-X, Y1, Z0}, {1, 0, 0});
  InnerWall(mesh, wall, {X, kFloor, Z0}, {X, kFloor, Z1}, {X, Y1, Z1}, {X, Y1, Z0}, {-1, 0, 0});
  // The stage, its lit front edge and the steps at its sides.
  AddBox(mesh, stage, {-750.0f, kFloor, 200.0f}, {750.0f, kStageTop, 1150.0f});
  AddBox(mesh, trim, {-750.0f, kStageTop - 8.0f, 194.0f}, {750.0f, kStageTop + 1.0f, 200.0f});
  for (float side : {-1.0f, 1.0f}) {
    for (int step = 0; step < 3; ++step) {
      const float h = kFloor + 33.0f * static_cast<float>(step + 1);
      const float x0 = side * (750.0f + 60.0f * static_cast<float>(3 - step));
      AddBox(mesh, stage, {std::min(x0, side * 750.0f), kFloor, 300.0f}, {std::max(x0, side * 750.0f), h, 500.0f});
    }
  }
  // Coloured panels on the back wall and a truss frame over the stage.
  for (int i = -3; i <= 3; ++i) {
    const float x = 300.0f * static_cast<float>(i);
    AddBox(mesh, panel, {x - 110.0f, 0.0f, Z1 - 12.0f}, {x + 110.0f, 600.0f, Z1 - 2.0f});
  }
  AddBox(mesh, truss, {-800.0f, 620.0f, 180.0f}, {-770.0f, 650.0f, 1150.0f});
  AddBox(mesh, truss, {770.0f, 620.0f, 180.0f}, {800.0f, 650.0f, 1150.0f});
  AddBox(mesh, truss, {-800.0f, 620.0f, 180.0f}, {800.0f, 650.0f, 210.0f});
  for (float x : {-785.0f, 785.0f}) {
    for (float z : {195.0f, 1135.0f}) AddBox(mesh, truss, {x - 15.0f, kFloor, z - 15.0f}, {x + 15.0f, 620.0f, z + 15.0f});
  }
  return m;
}

// ---- objects --------------------------------------------------------------------

Model Amp() {
  Model m;
  m.root.name = "Amp";
  const uint32_t cab = AddMaterial(m, Paint("Amp_Cabinet", glm::vec3(0.08f, 0.08f, 0.09f)));
  const uint32_t grille = AddMaterial(m, Paint("Amp_Grille", glm::vec3(0.25f, 0.25f, 0.28f)));
  const uint32_t cone = AddMaterial(m, Paint("Amp_Cone", glm::vec3(0.45f, 0.45f, 0.50f)));
  const uint32_t badge = AddMaterial(m, Paint("Amp_Badge", glm::vec3(0.96f, 0.96f, 0.97f), 0.6f));
  Mesh& mesh = m.root.mesh;
  for (int level = 0; level < 2; ++level) {
    const float y = 120.0f * static_cast<float>(level);
    AddBox(mesh, cab, {-70.0f, y, -40.0f}, {70.0f, y + 118.0f, 40.0f});
    AddBox(mesh, grille, {-62.0f, y + 8.0f, -42.0f}, {62.0f, y + 110.0f, -40.0f});
    for (float cx : {-30.0f, 30.0f}) {
      for (float cy : {32.0f, 86.0f}) {
        Mesh speaker;
        AddLathe(speaker, cone, {{22.0f, 0.0f}, {22.0f, 2.0f}, {6.0f, 6.0f}, {0.0f, 6.0f}}, 20, kNoUv);
        mesh.Append(speaker, Move(cx, y + cy, -42.0f) * Turn(-kPi / 2.0f, {1, 0, 0}));
      }
    }
  }
  AddBox(mesh, badge, {-20.0f, 228.0f, -43.0f}, {20.0f, 234.0f, -41.0f});
  return m;
}

Model Microphone() {
  Model m;
  m.root.name = "Mic";
  const uint32_t metal = AddMaterial(m, Paint("Mic_Stand", glm::vec3(0.55f, 0.56f, 0.60f)));
  const uint32_t head = AddMaterial(m, Paint("Mic_Head", glm::vec3(0.15f, 0.15f, 0.17f)));
  Mesh& mesh = m.root.mesh;
  AddLathe(mesh, metal, {{0.0f, 0.0f}, {25.0f, 0.0f}, {25.0f, 3.0f}, {2.0f, 5.0f}, {2.0f, 150.0f}, {0.0f, 150.0f}}, 16,
           kNoUv);
  Mesh capsule;
  std::vector<ProfilePoint> ball;
  for (int i = 0; i <= 8; ++i) {
    const float t = -kPi / 2.0f + kPi * static_cast<float>(i) / 8.0f;
    ball.push_back({6.0f * std::cos(t), 6.0f * std::sin(t)});
  }
  AddLathe(capsule, head, ball, 14, kNoUv);
  mesh.Append(capsule, Move(0.0f, 158.0f, -4.0f));
  return m;
}

Model Screen() {
  Model m;
  m.root.name = "Screen";
  const uint32_t frame = AddMaterial(m, Paint("Screen_Frame", glm::vec3(0.08f, 0.08f, 0.09f)));
  const uint32_t light = AddMaterial(m, Paint("Screen_Light", glm::vec3(0.75f, 0.35f, 0.95f), 0.9f));
  AddBox(m.root.mesh, frame, {-460.0f, 0.0f, 0.0f}, {460.0f, 280.0f, 20.0f});
  AddBox(m.root.mesh, light, {-440.0f, 20.0f, -2.0f}, {440.0f, 260.0f, 0.0f});
  return m;
}

Model Keyboard() {
  Model m;
  m.root.name = "Keyboard";
  const uint32_t stand = AddMaterial(m, Paint("Keyboard_Stand", glm::vec3(0.45f, 0.46f, 0.50f)));
  const uint32_t body = AddMaterial(m, Paint("Keyboard_Body", glm::vec3(0.08f, 0.08f, 0.09f)));
  const uint32_t keys = AddMaterial(m, Paint("Keyboard_Keys", glm::vec3(0.96f, 0.96f, 0.97f), 0.5f));
  Mesh& mesh = m.root.mesh;
  for (float x : {-60.0f, 60.0f}) {
    Mesh leg;
    AddBox(leg, stand, {-3.0f, 0.0f, -3.0f}, {3.0f, 110.0f, 3.0f});
    mesh.Append(leg, Move(x, 0.0f, 0.0f) * Turn(0.3f, {0, 0, 1}));
    mesh.Append(leg, Move(x, 0.0f, 0.0f) * Turn(-0.3f, {0, 0, 1}));
  }
  AddBox(mesh, body, {-90.0f, 100.0f, -25.0f}, {90.0f, 112.0f, 15.0f});
  AddBox(mesh, keys, {-84.0f, 112.0f, -24.0f}, {84.0f, 114.0f, -4.0f});
  return m;
}

// Animation helpers: keys at whole ticks, sampled from a function of time.
FrameTrack Sample(const std::string& frame, float seconds, int steps, const std::function<glm::mat4(float)>& pose) {
  FrameTrack track;
  track.frame = frame;
  for (int i = 0; i <= steps; ++i) {
    const float t = seconds * static_cast<float>(i) / static_cast<float>(steps);
    track.keys.push_back({static_cast<uint32_t>(std::lround(t * static_cast<float>(kTicks))), pose(t)});
  }
  return track;
}

float Ease(float t) { return t * t * (3.0f - 2.0f * t); }

// A light rig: a bar of lamps that hangs still and sways while inactive, swings down
// and sweeps fast while energy runs.
Model LightRig() {
  Model m;
  m.root.name = "LightRig";
  m.ticks_per_second = kTicks;
  const uint32_t bar = AddMaterial(m, Paint("LightRig_Bar", glm::vec3(0.55f, 0.56f, 0.60f)));
  const uint32_t can = AddMaterial(m, Paint("LightRig_Can", glm::vec3(0.10f, 0.10f, 0.12f)));
  const uint32_t lens = AddMaterial(m, Paint("LightRig_Lens", glm::vec3(1.0f, 0.84f, 0.04f), 1.0f));
  AddBox(m.root.mesh, bar, {-320.0f, -8.0f, -8.0f}, {320.0f, 8.0f, 8.0f});
  Frame lamps;
  lamps.name = "Lamps";
  for (int i = -3; i <= 3; ++i) {
    Mesh lamp;
    AddLathe(lamp, can, {{0.0f, 0.0f}, {14.0f, 0.0f}, {18.0f, -40.0f}, {16.0f, -40.0f}}, 16, kNoUv);
    AddLathe(lamp, lens, {{16.0f, -39.0f}, {0.0f, -39.0f}}, 16, kNoUv);
    lamps.mesh.Append(lamp, Move(90.0f * static_cast<float>(i), -8.0f, 0.0f));
  }
  auto tilt = [](float a) { return Turn(a, {1, 0, 0}); };
  const float rest = 0.35f, aim = -0.25f;
  lamps.local = tilt(rest);  // the resting pose the inactive sway starts from
  m.root.children.push_back(std::move(lamps));

  m.animations.push_back({"unactive", {Sample("Lamps", 4.0f, 16, [&](float t) {
                            return tilt(rest + 0.12f * std::sin(2.0f * kPi * t / 4.0f));
                          })}});
  m.animations.push_back({"activate", {Sample("Lamps", 1.0f, 8, [&](float t) {
                            return tilt(rest + (aim - rest) * Ease(t));
                          })}});
  m.animations.push_back({"active", {Sample("Lamps", 1.0f, 16, [&](float t) {
                            return tilt(aim + 0.45f * std::sin(2.0f * kPi * t)) * Turn(0.3f * std::sin(4.0f * kPi * t), {0, 0, 1});
                          })}});
  m.animations.push_back({"deactivate", {Sample("Lamps", 1.0f, 8, [&](float t) {
                            return tilt(aim + (rest - aim) * Ease(t));
                          })}});
  return m;
}

// A drum kit on a riser; its cymbals wobble gently, and hard while energy runs.
Model DrumKit() {
  Model m;
  m.root.name = "DrumKit";
  m.ticks_per_second = kTicks;
  const uint32_t riser = AddMaterial(m, Paint("DrumKit_Riser", glm::vec3(0.16f, 0.16f, 0.19f)));
  const uint32_t shell = AddMaterial(m, Paint("DrumKit_Shell", glm::vec3(1.0f, 0.23f, 0.19f)));
  const uint32_t skin = AddMaterial(m, Paint("DrumKit_Skin", glm::vec3(0.96f, 0.96f, 0.97f), 0.5f));
  const uint32_t bronze = AddMaterial(m, Paint("DrumKit_Bronze", glm::vec3(1.0f, 0.70f, 0.25f)));
  Mesh& mesh = m.root.mesh;
  AddBox(mesh, riser, {-200.0f, 0.0f, -150.0f}, {200.0f, 40.0f, 150.0f});
  // Bass drum lying on its side, facing the crowd.
  Mesh kick;
  AddLathe(kick, shell, {{0.0f, -30.0f}, {55.0f, -30.0f}, {55.0f, 30.0f}, {0.0f, 30.0f}}, 24, kNoUv);
  AddLathe(kick, skin, {{50.0f, -31.0f}, {0.0f, -31.0f}}, 24, kNoUv);
  mesh.Append(kick, Move(0.0f, 95.0f, -40.0f) * Turn(kPi / 2.0f, {1, 0, 0}));
  const glm::vec3 drums[] = {{-90.0f, 110.0f, -40.0f}, {-40.0f, 140.0f, 10.0f}, {40.0f, 140.0f, 10.0f},
                             {100.0f, 100.0f, -30.0f}};
  for (const glm::vec3& d : drums) {
    Mesh tom;
    AddLathe(tom, shell, {{0.0f, -30.0f}, {24.0f, -30.0f}, {24.0f, 0.0f}}, 18, kNoUv);
    AddLathe(tom, skin, {{24.0f, 0.0f}, {0.0f, 0.0f}}, 18, kNoUv);
    mesh.Append(tom, Move(d.x, d.y, d.z));
  }
  Frame cymbals;
  cymbals.name = "Cymbals";
  for (float x : {-150.0f, 150.0f}) {
    Mesh c;
    AddLathe(c, riser, {{0.0f, -150.0f}, {2.0f, -150.0f}, {2.0f, 0.0f}, {0.0f, 0.0f}}, 8, kNoUv);
    AddLathe(c, bronze, {{0.0f, 6.0f}, {8.0f, 5.0f}, {40.0f, 0.0f}, {40.0f, -1.0f}, {8.0f, 3.0f}, {0.0f, 4.0f}}, 24,
             kNoUv);
    cymbals.mesh.Append(c, Move(x, 0.0f, 0.0f));
  }
  cymbals.local = Move(0.0f, 200.0f, 20.0f);
  m.root.children.push_back(std::move(cymbals));

  auto wobble = [](float amount, float t, float hz) {
    return Turn(amount * std::sin(2.0f * kPi * hz * t), {0, 0, 1}) * Turn(amount * 0.5f * std::cos(2.0f * kPi * hz * t), {1, 0, 0});
  };
  const glm::mat4 at = Move(0.0f, 200.0f, 20.0f);
  m.animations.push_back({"unactive", {Sample("Cymbals", 2.0f, 16, [&](float t) { return at * wobble(0.03f, t, 0.5f); })}});
  m.animations.push_back({"activate", {Sample("Cymbals", 0.5f, 8, [&](float t) {
                            return at * Move(0.0f, 20.0f * Ease(t * 2.0f > 1.0f ? 1.0f : t * 2.0f), 0.0f) *
                                   wobble(0.15f * t * 2.0f, t, 2.0f);
                          })}});
  m.animations.push_back({"active", {Sample("Cymbals", 0.5f, 16, [&](float t) {
                            return at * Move(0.0f, 20.0f, 0.0f) * wobble(0.15f, t, 2.0f);
                          })}});
  m.animations.push_back({"deactivate", {Sample("Cymbals", 0.5f, 8, [&](float t) {
                            return at * Move(0.0f, 20.0f * (1.0f - Ease(t * 2.0f)), 0.0f) * wobble(0.15f * (1.0f - 2.0f * t), t, 2.0f);
                          })}});
  return m;
}

// A cat sitting up, about 60 units tall.
Model Cat() {
  Model m;
  m.root.name = "Cat";
  const uint32_t fur = AddMaterial(m, Paint("Cat_Fur", glm::vec3(0.35f, 0.33f, 0.36f)));
  const uint32_t eye = AddMaterial(m, Paint("Cat_Eye", glm::vec3(1.0f, 0.84f, 0.04f), 0.9f));
  Mesh& mesh = m.root.mesh;
  AddLathe(mesh, fur,
           {{0.0f, 0.0f}, {16.0f, 0.0f}, {19.0f, 8.0f}, {17.0f, 22.0f}, {11.0f, 34.0f}, {7.0f, 40.0f}, {0.0f, 41.0f}}, 20,
           kNoUv);
  std::vector<ProfilePoint> head;
  for (int i = 0; i <= 10; ++i) {
    const float t = -kPi / 2.0f + kPi * static_cast<float>(i) / 10.0f;
    head.push_back({11.0f * std::cos(t), 10.0f * std::sin(t)});
  }
  Mesh skull;
  AddLathe(skull, fur, head, 18, kNoUv);
  mesh.Append(skull, Move(0.0f, 48.0f, -2.0f));
  for (float side : {-1.0f, 1.0f}) {
    Mesh ear;
    AddLathe(ear, fur, {{0.0f, 0.0f}, {4.5f, 0.0f}, {0.0f, 10.0f}}, 4, kNoUv);
    mesh.Append(ear, Move(side * 6.5f, 55.0f, -2.0f) * Turn(side * -0.3f, {0, 0, 1}));
    AddBox(mesh, eye, {side * 4.0f - 1.8f, 49.0f, -12.6f}, {side * 4.0f + 1.8f, 52.0f, -11.0f});
  }
  // The tail curls from the back round the right side to the front paws.
  for (int i = 0; i < 9; ++i) {
    const float a = 2.7f - 2.4f * static_cast<float>(i) / 8.0f;
    Mesh part;
    AddBox(part, fur, {-2.0f, 0.0f, -4.0f}, {2.0f, 3.5f, 4.0f});
    mesh.Append(part, Move(21.0f * std::sin(a), 0.0f, -21.0f * std::cos(a) + 2.0f) * Turn(-a, {0, 1, 0}));
  }
  return m;
}

// ---- layouts ----------------------------------------------------------------------

Frame Placer(const std::string& name, const glm::mat4& local) {
  Frame f;
  f.name = name;
  f.local = local;
  return f;
}

// The layout of one detail level. Its own mesh is the crowd barrier in front of the
// stage; the placing frames carry no mesh.
Model Layout(const std::string& name, int detail) {
  Model m;
  m.root.name = "Layout";
  const uint32_t barrier = AddMaterial(m, Paint(name + "_Barrier", glm::vec3(0.45f, 0.46f, 0.50f)));
  const uint32_t stripe = AddMaterial(m, Paint(name + "_Stripe", glm::vec3(1.0f, 0.70f, 0.25f), 0.6f));
  AddBox(m.root.mesh, barrier, {-700.0f, kFloor, 60.0f}, {700.0f, kFloor + 90.0f, 70.0f});
  AddBox(m.root.mesh, stripe, {-700.0f, kFloor + 70.0f, 58.0f}, {700.0f, kFloor + 80.0f, 60.0f});
  if (detail >= 2) {
    for (float x : {-700.0f, 700.0f}) AddBox(m.root.mesh, barrier, {x - 10.0f, kFloor, 60.0f}, {x + 10.0f, kFloor + 100.0f, 190.0f});
  }
  auto& kids = m.root.children;
  kids.push_back(Placer("DO-amp-ampL-b", Move(-560.0f, kStageTop, 950.0f) * Turn(0.2f, {0, 1, 0})));
  kids.push_back(Placer("IO-ampL-ampR", Move(560.0f, kStageTop, 950.0f) * Turn(-0.2f, {0, 1, 0})));
  kids.push_back(Placer("DO-drumkit-drums-a", Move(0.0f, kStageTop, 900.0f)));
  if (detail >= 2) {
    kids.push_back(Placer("DO-lightrig-rigFront-a", Move(0.0f, 600.0f, 300.0f)));
    kids.push_back(Placer("IO-rigFront-rigBack", Move(0.0f, 600.0f, 1000.0f)));
    kids.push_back(Placer("DO-mic-micLead-", Move(0.0f, kStageTop, 400.0f)));
  }
  if (detail >= 3) {
    kids.push_back(Placer("IO-micLead-micLeft", Move(-320.0f, kStageTop, 450.0f)));
    kids.push_back(Placer("DO-keyboard-keysLeft-c", Move(-380.0f, kStageTop, 700.0f) * Turn(0.5f, {0, 1, 0})));
    kids.push_back(Placer("DO-screen-screenBack-", Move(0.0f, 20.0f, 1250.0f)));
    kids.push_back(Placer("IO-ampR-ampFar", Move(400.0f, kStageTop, 1050.0f)));
  }
  return m;
}

}  // namespace

std::map<std::string, Model> BuildStageModels() {
  std::map<std::string, Model> files;
  files["background"] = Venue();
  files["dummy_low"] = Layout("dummy_low", 1);
  files["dummy_medium"] = Layout("dummy_medium", 2);
  files["dummy_high"] = Layout("dummy_high", 3);
  files["cat_medium"] = Cat();
  files["amp"] = Amp();
  files["drumkit"] = DrumKit();
  files["lightrig"] = LightRig();
  files["mic"] = Microphone();
  files["keyboard"] = Keyboard();
  files["screen"] = Screen();
  return files;
}

std::map<std::string, glm::vec3> StageSwatches() {
  BuildStageModels();
  return Swatches();
}

}  // namespace models
