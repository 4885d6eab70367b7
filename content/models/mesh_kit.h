// A small kit for building the game's default models out of simple solids: boxes,
// bevelled cylinders and other lathed profiles, extruded outlines, curved strips that
// follow the board's arc, flat planes. Every solid gets flat-shaded normals where its
// faces meet at an edge and texture coordinates fitted to how the game maps its
// pictures onto it. Triangles wind so that (b - a) x (c - a) points out of the solid,
// which is the clockwise-front order of the model files' left-handed space.
#pragma once

#include <glm/glm.hpp>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace models {

struct Vertex {
  glm::vec3 position{0.0f};
  glm::vec3 normal{0.0f, 1.0f, 0.0f};
  glm::vec2 uv{0.0f};
  // The second texture-coordinate set (the mask stage); only written for the models
  // that ask for it.
  glm::vec2 uv2{0.0f};
};

struct Triangle {
  std::array<uint32_t, 3> index{};
  uint32_t material = 0;
};

struct Material {
  std::string name;
  glm::vec4 diffuse{1.0f};
  float power = 20.0f;
  glm::vec3 specular{0.3f};
  glm::vec3 emissive{0.0f};
  std::string texture;  // empty: no picture
};

// How a solid gets its first texture-coordinate set from a position.
using UvMap = std::function<glm::vec2(const glm::vec3&)>;

// A picture seen from above, centred on the origin and `size` wide: u runs with x and
// v against z, so that the top of the picture lies away from the player.
UvMap TopDownUv(float size);
// The same for a picture seen from the front (an upright plane facing -z).
UvMap FrontUv(float width, float height, float bottom);

struct Mesh {
  std::vector<Vertex> vertices;
  std::vector<Triangle> triangles;

  bool empty() const { return triangles.empty(); }
  // Appends another mesh, its vertices moved by `transform` (normals by its inverse
  // transpose).
  void Append(const Mesh& other, const glm::mat4& transform = glm::mat4(1.0f));
  // Gives every vertex a second texture-coordinate set from its position.
  void MapSecondUv(const std::function<glm::vec2(const glm::vec3&)>& map);
};

// One flat quad a-b-c-d (in order around it); the normal follows the winding.
void AddQuad(Mesh& mesh, uint32_t material, const glm::vec3& a, const glm::vec3& b, const glm::vec3& c,
             const glm::vec3& d, const std::array<glm::vec2, 4>& uv);
// One flat polygon (convex or not, no holes), given in the xz plane at height y,
// facing up (+y) or down; triangulated by ear clipping.
void AddFlatPolygon(Mesh& mesh, uint32_t material, const std::vector<glm::vec2>& outline_xz, float y, bool up,
                    const UvMap& uv);

// An axis-aligned box.
void AddBox(Mesh& mesh, uint32_t material, const glm::vec3& lo, const glm::vec3& hi);

// A profile of (radius, height) points turned around the y axis. Each span between
// two points is one band with its own slope, so bevels keep crisp edges; a point with
// radius 0 closes the solid there. `start`/`sweep` (radians) allow partial turns.
struct ProfilePoint {
  float radius;
  float height;
};
void AddLathe(Mesh& mesh, uint32_t material, const std::vector<ProfilePoint>& profile, int segments,
              const UvMap& uv, float start = 0.0f, float sweep = 6.2831853f);
// A closed, flat-topped cylinder with a bevel of `bevel` on its top edge.
void AddBevelledCylinder(Mesh& mesh, uint32_t material, float radius, float y0, float y1, float bevel, int segments,
                         const UvMap& uv);
// A flat ring (annulus) of the given height, open in its middle.
void AddRing(Mesh& mesh, uint32_t material, float inner, float outer, float y0, float y1, int segments,
             const UvMap& uv);

// An outline in the xz plane pushed up from y0 to y1 with a bevelled top edge (the
// top face is the outline moved inwards by `bevel`). The outline goes counter-
// clockwise seen from above (+y).
void AddExtrusion(Mesh& mesh, uint32_t material, const std::vector<glm::vec2>& outline_xz, float y0, float y1,
                  float bevel, const UvMap& uv);

// The board's arc: a point at angle `a` (radians, 0 = centre) and height `lift` above
// the board surface of radius 1000 centred at (0, -1000).
glm::vec3 OnBoardArc(float angle, float lift, float z);
// The angle on the board arc whose point lies at x.
float ArcAngleOfX(float x);
// A strip lying on the board's arc from x0 to x1 (measured on the chord) and z0 to
// z1, raised by `lift`, split into `columns` by `rows` quads; texture coordinates by
// `uv` from the flat (x, z) position.
void AddArcStrip(Mesh& mesh, uint32_t material, float x0, float x1, float z0, float z1, float lift, int columns,
                 int rows, const UvMap& uv);
// A bar of rectangular section following the board's arc from x0 to x1, from z0 to
// z1, from `lift` to `lift + height` above the surface, closed at both ends.
void AddArcBar(Mesh& mesh, uint32_t material, float x0, float x1, float z0, float z1, float lift, float height,
               int columns, const UvMap& uv);

// An upright plane facing -z (towards the player) centred on x = 0.
void AddUprightPlane(Mesh& mesh, uint32_t material, float width, float y0, float y1, float z);

// Points of a regular star or polygon in the xz plane, counter-clockwise from above.
std::vector<glm::vec2> StarOutline(int points, float outer, float inner, float phase);
std::vector<glm::vec2> RoundedRectOutline(float half_x, float half_z, float corner, int corner_segments);

}  // namespace models
